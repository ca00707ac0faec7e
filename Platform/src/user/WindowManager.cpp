// Window manager, first half: the object itself, its reset, the host backend
// and desktop, the class registry, and creating, destroying and sending to
// windows.
#include "user/WindowManager.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/Kernel.h"
#include "sim/SimInternal.h"
#include "user/HostEvents.h"

namespace qndx {
namespace platform {
namespace {

constexpr int kHeadlessWidth = 1024;
constexpr int kHeadlessHeight = 768;
constexpr int kMaxExtraBytes = 1024;

void ResetHook() { WindowManager::Get().Reset(); }

std::string HandleText(const void* p) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%p", p);
    return buf;
}

}  // namespace

WindowManager& WindowManager::Get() {
    // Never destroyed: procedures and static destructors may still call in
    // while the process ends.
    static WindowManager* manager = [] {
        sim::internal::AddResetHook(&ResetHook);
        return new WindowManager();
    }();
    return *manager;
}

void WindowManager::Reset() {
    for (auto& entry : m_windows)
        if (m_backend && entry.second->hostId) m_backend->DestroyHostWindow(entry.second->hostId);
    m_windows.clear();
    m_classes.clear();
    m_active = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_queueLock);
        m_queue.clear();
        m_postable.clear();
        m_quit = false;
        m_quitCode = 0;
    }
    m_cursor = nullptr;
    m_cursorInit = false;
    m_cursorCount = 0;
    m_cursorPos = POINT{-1, -1};
    m_simDesktop = SIZE{0, 0};
    m_modeSize = SIZE{0, 0};
    m_mouse[0] = 6, m_mouse[1] = 10, m_mouse[2] = 1;
    m_boxes.clear();
    if (m_backend) ApplyPointer();
    // Host events about the windows just dropped must not reach the next user.
    DiscardPendingWindowEvents();
}

// ---------------------------------------------------------------------------
// Host backend and desktop.

WindowBackend& WindowManager::Backend() {
    if (!m_backend) {
        m_backend = CreateWindowBackend();
        ApplyPointer();
    }
    return *m_backend;
}

bool WindowManager::HeadlessDesktop() {
    SIZE size;
    RECT work;
    return !Backend().HostDesktop(&size, &work);
}

SIZE WindowManager::DesktopSize() {
    if (m_modeSize.cx > 0 && m_modeSize.cy > 0) return m_modeSize;
    if (m_simDesktop.cx > 0 && m_simDesktop.cy > 0) return m_simDesktop;
    SIZE size;
    RECT work;
    if (Backend().HostDesktop(&size, &work) && size.cx > 0 && size.cy > 0) return size;
    return SIZE{kHeadlessWidth, kHeadlessHeight};
}

RECT WindowManager::WorkArea() {
    SIZE desk = DesktopSize();
    RECT whole{0, 0, desk.cx, desk.cy};
    if (m_modeSize.cx > 0 || m_simDesktop.cx > 0) return whole;
    SIZE size;
    RECT work;
    if (Backend().HostDesktop(&size, &work) && work.right > work.left && work.bottom > work.top) return work;
    return whole;
}

void WindowManager::SetSimDesktop(int width, int height) {
    m_simDesktop = (width > 0 && height > 0) ? SIZE{width, height} : SIZE{0, 0};
    for (const auto& entry : m_windows) SyncHost(entry.second->hwnd);
}

void WindowManager::SetModeSize(int width, int height) {
    m_modeSize = (width > 0 && height > 0) ? SIZE{width, height} : SIZE{0, 0};
    for (const auto& entry : m_windows) SyncHost(entry.second->hwnd);
}

// ---------------------------------------------------------------------------
// Classes.

WindowClassRec* WindowManager::FindClass(LPCSTR name) {
    if (!name) return nullptr;
    for (auto& c : m_classes) {
        if (IS_INTRESOURCE(name)) {
            if (c->atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name))) return c.get();
        } else if (strcasecmp(c->name.c_str(), name) == 0) {
            return c.get();
        }
    }
    return nullptr;
}

ATOM WindowManager::RegisterClass(const WNDCLASSEXA& wc) {
    if (!wc.lpszClassName || IS_INTRESOURCE(wc.lpszClassName) || !wc.lpszClassName[0] || !wc.lpfnWndProc ||
        wc.cbClsExtra < 0 || wc.cbWndExtra < 0 || wc.cbClsExtra > kMaxExtraBytes || wc.cbWndExtra > kMaxExtraBytes) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (FindClass(wc.lpszClassName)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    // Atoms wrap within their range but skip those still in use.
    ATOM atom = 0;
    for (int tries = 0; tries < 0x4000 && !atom; ++tries) {
        ATOM candidate = m_nextAtom;
        m_nextAtom = m_nextAtom == 0xFFFF ? 0xC000 : static_cast<ATOM>(m_nextAtom + 1);
        bool used = std::any_of(m_classes.begin(), m_classes.end(),
                                [&](const std::unique_ptr<WindowClassRec>& c) { return c->atom == candidate; });
        if (!used) atom = candidate;
    }
    if (!atom) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    std::unique_ptr<WindowClassRec> c(new WindowClassRec());
    c->name = wc.lpszClassName;
    c->atom = atom;
    c->style = wc.style;
    c->proc = wc.lpfnWndProc;
    c->wndExtra = wc.cbWndExtra;
    c->instance = wc.hInstance;
    c->icon = wc.hIcon;
    c->iconSm = wc.hIconSm;
    c->cursor = wc.hCursor;
    c->background = wc.hbrBackground;
    c->menuName = wc.lpszMenuName;
    c->extra.assign(static_cast<size_t>(wc.cbClsExtra), 0);
    m_classes.push_back(std::move(c));
    sim::internal::Record("RegisterClassExA", wc.lpszClassName);
    return atom;
}

bool WindowManager::UnregisterClass(LPCSTR name) {
    WindowClassRec* c = FindClass(name);
    if (!c) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return false;
    }
    if (c->windows > 0) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return false;
    }
    m_classes.erase(std::find_if(m_classes.begin(), m_classes.end(),
                                 [&](const std::unique_ptr<WindowClassRec>& p) { return p.get() == c; }));
    return true;
}

// ---------------------------------------------------------------------------
// Windows.

WindowRec* WindowManager::Find(HWND hwnd) {
    auto it = m_windows.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == m_windows.end() ? nullptr : it->second.get();
}

WindowRec* WindowManager::FindByHostId(uint32_t id) {
    if (!id) return nullptr;
    for (auto& entry : m_windows)
        if (entry.second->hostId == id) return entry.second.get();
    return nullptr;
}

std::vector<HWND> WindowManager::Windows() const {
    std::vector<HWND> out;
    for (const auto& entry : m_windows) out.push_back(entry.second->hwnd);
    return out;
}

LRESULT WindowManager::Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowRec* w = Find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    WNDPROC proc = w->proc;  // w may be gone once the procedure returns
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

HWND WindowManager::Create(DWORD exStyle, LPCSTR className, LPCSTR name, DWORD style, int x, int y, int width,
                           int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    HRESULT code = 0;
    if (sim::internal::TakeFault("CreateWindowExA", &code)) {
        SetLastError(static_cast<DWORD>(code));
        return nullptr;
    }
    WindowClassRec* cls = FindClass(className);
    if (!cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }

    SIZE desk = DesktopSize();
    if (x == CW_USEDEFAULT) {
        int n = static_cast<int>(m_windows.size() % 8);
        x = 26 * (n + 1);
        y = 26 * (n + 1);
    }
    if (width == CW_USEDEFAULT) {
        width = desk.cx * 3 / 4;
        height = desk.cy * 3 / 4;
    }
    x = ClampCoordinate(x);
    y = ClampCoordinate(y);
    width = ClampExtent(width);
    height = ClampExtent(height);

    std::unique_ptr<WindowRec> rec(new WindowRec());
    HWND hwnd = reinterpret_cast<HWND>(m_nextHandle);
    m_nextHandle += 4;
    rec->hwnd = hwnd;
    rec->cls = cls;
    rec->title = name && !IS_INTRESOURCE(name) ? name : "";
    rec->style = style & ~static_cast<DWORD>(WS_VISIBLE | WS_MINIMIZE);
    rec->exStyle = exStyle;
    rec->outer = RECT{x, y, x + width, y + height};
    rec->menu = menu;
    rec->parent = parent;
    rec->instance = instance;
    rec->id = reinterpret_cast<LONG_PTR>(menu);
    rec->proc = cls->proc;
    rec->extra.assign(static_cast<size_t>(cls->wndExtra), 0);
    rec->order = m_nextOrder++;
    RecomputeFrame(*rec);
    cls->windows++;
    m_windows[reinterpret_cast<uintptr_t>(hwnd)] = std::move(rec);
    {
        std::lock_guard<std::mutex> guard(m_queueLock);
        m_postable.insert(reinterpret_cast<uintptr_t>(hwnd));
    }

    sim::internal::Record("CreateWindowExA", [&] {
        return cls->name + ", " + (name && !IS_INTRESOURCE(name) ? name : "") + ", " + HandleText(hwnd);
    });

    CREATESTRUCTA cs;
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parent;
    cs.cy = height;
    cs.cx = width;
    cs.y = y;
    cs.x = x;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = name;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;

    if (!Send(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        // Refused before it existed: only the last non-client message.
        if (Find(hwnd)) {
            Find(hwnd)->destroying = true;
            Send(hwnd, WM_NCDESTROY, 0, 0);
            DropWindow(hwnd);
        }
        return nullptr;
    }
    if (!Find(hwnd)) return nullptr;
    if (Send(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        Destroy(hwnd);
        return nullptr;
    }
    WindowRec* w = Find(hwnd);
    if (!w || w->destroying) return nullptr;
    w->created = true;
    SendSizeMove(hwnd, true, true);
    if (!Find(hwnd)) return nullptr;
    SyncHost(hwnd);
    if (style & WS_VISIBLE) Show(hwnd, (style & WS_MINIMIZE) ? SW_SHOWMINIMIZED : SW_SHOW);
    return Find(hwnd) ? hwnd : nullptr;
}

bool WindowManager::Destroy(HWND hwnd) {
    WindowRec* w = Find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    if (w->destroying) return true;  // asked again from inside its own destruction
    w->destroying = true;
    if (w->visible) {
        w->visible = false;
        SyncHost(hwnd);
    }
    if (m_active == hwnd) SetActive(nullptr);
    if (Find(hwnd)) Send(hwnd, WM_DESTROY, 0, 0);
    if (Find(hwnd)) Send(hwnd, WM_NCDESTROY, 0, 0);
    DropWindow(hwnd);
    return true;
}

void WindowManager::DropWindow(HWND hwnd) {
    WindowRec* w = Find(hwnd);
    if (!w) return;
    if (w->hostId && m_backend) m_backend->DestroyHostWindow(w->hostId);
    if (w->cls) w->cls->windows--;
    if (m_active == hwnd) m_active = nullptr;
    m_windows.erase(reinterpret_cast<uintptr_t>(hwnd));
    std::lock_guard<std::mutex> guard(m_queueLock);
    m_postable.erase(reinterpret_cast<uintptr_t>(hwnd));
    m_queue.erase(std::remove_if(m_queue.begin(), m_queue.end(), [&](const MSG& m) { return m.hwnd == hwnd; }),
                  m_queue.end());
}

// ---------------------------------------------------------------------------
// Message boxes.

void WindowManager::RecordMessageBox(HWND owner, const std::string& caption, const std::string& text, UINT type) {
    constexpr size_t kKept = 1000;
    if (m_boxes.size() >= kKept) m_boxes.erase(m_boxes.begin());
    m_boxes.push_back(sim::MessageBoxRecord{owner, caption, text, type});
}

}  // namespace platform
}  // namespace qndx
