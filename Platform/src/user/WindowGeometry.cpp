// Window manager, second half: rectangles and frames, styles and longs,
// showing and hiding, painting state, activation and minimising, and keeping
// the host window in step.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/Kernel.h"
#include "sim/SimInternal.h"
#include "user/HostEvents.h"
#include "user/WindowManager.h"

namespace qndx {
namespace platform {
namespace {

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

}  // namespace

// ---------------------------------------------------------------------------
// Frames and the host window.

void WindowManager::RecomputeFrame(WindowRec& w) {
    w.client = ClientFromOuter(w.outer, FrameFor(w.style, w.exStyle, w.menu != nullptr));
    w.frameStyle = w.style;
    w.frameExStyle = w.exStyle;
}

HostWindowState WindowManager::HostStateOf(const WindowRec& w) {
    HostWindowState s;
    s.title = w.title;
    s.client = w.client;
    s.visible = w.visible;
    s.minimised = w.minimised;
    s.borderless = IsBorderlessStyle(w.frameStyle, w.frameExStyle);
    s.topmost = (w.exStyle & WS_EX_TOPMOST) != 0;
    SIZE desk = DesktopSize();
    s.fullScreen = s.borderless && w.client.left <= 0 && w.client.top <= 0 && w.client.right >= desk.cx &&
                   w.client.bottom >= desk.cy;
    return s;
}

void WindowManager::SyncHost(HWND hwnd) {
    WindowRec* w = Find(hwnd);
    if (!w) return;
    HostWindowState state = HostStateOf(*w);
    WindowBackend& backend = Backend();
    if (!w->hostId) {
        w->hostId = backend.CreateHostWindow(state);
        if (!w->hostId) return;  // the backend said why; the window lives on in the manager
    }
    backend.UpdateHostWindow(w->hostId, state);
}

// ---------------------------------------------------------------------------
// Visibility, position and size.

bool WindowManager::Show(HWND hwnd, int command) {
    WindowRec* w = Find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    const bool was = w->visible;
    if (command == SW_HIDE) {
        if (!was) return false;
        w->visible = false;
        SyncHost(hwnd);
        if (m_active == hwnd) SetActive(nullptr);
        return true;
    }
    if (command < SW_HIDE || command > SW_SHOWDEFAULT) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return was;
    }

    w->visible = true;
    SyncHost(hwnd);
    if (!was) Invalidate(hwnd, nullptr);
    switch (command) {
        case SW_MINIMIZE:
        case SW_SHOWMINNOACTIVE:
            SetMinimised(hwnd, true);
            break;
        case SW_SHOWMINIMIZED:
            SetMinimised(hwnd, true);
            SetActive(hwnd);
            break;
        case SW_SHOWNA:
            break;
        case SW_SHOWNOACTIVATE:
            if ((w = Find(hwnd)) && w->minimised) {
                w->minimised = false;
                SyncHost(hwnd);
                NotifyActivation(hwnd, nullptr);
            }
            break;
        case SW_SHOW:
            SetActive(hwnd);
            break;
        default:  // SW_SHOWNORMAL, SW_SHOWMAXIMIZED, SW_RESTORE, SW_SHOWDEFAULT
            if ((w = Find(hwnd)) && w->minimised)
                SetMinimised(hwnd, false);
            else
                SetActive(hwnd);
            break;
    }
    return was;
}

void WindowManager::SendSizeMove(HWND hwnd, bool sizeChanged, bool moved) {
    WindowRec* w = Find(hwnd);
    if (!w) return;
    RECT c = w->client;
    if (sizeChanged)
        Send(hwnd, WM_SIZE, w->minimised ? SIZE_MINIMIZED : SIZE_RESTORED, MAKELPARAM(Width(c), Height(c)));
    if (moved && Find(hwnd)) Send(hwnd, WM_MOVE, 0, MAKELPARAM(c.left, c.top));
}

bool WindowManager::SetPos(HWND hwnd, HWND after, int x, int y, int cx, int cy, UINT flags) {
    WindowRec* w = Find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    const RECT oldClient = w->client;
    RECT outer = w->outer;
    x = ClampCoordinate(x);
    y = ClampCoordinate(y);
    cx = ClampExtent(cx);
    cy = ClampExtent(cy);
    if (!(flags & SWP_NOMOVE)) {
        outer.right = x + Width(outer);
        outer.bottom = y + Height(outer);
        outer.left = x;
        outer.top = y;
    }
    if (!(flags & SWP_NOSIZE)) {
        outer.right = outer.left + cx;
        outer.bottom = outer.top + cy;
    }
    const bool outerChanged = !SameRect(outer, w->outer);
    w->outer = outer;
    if (!(flags & SWP_NOZORDER)) {
        if (after == HWND_TOPMOST) w->exStyle |= WS_EX_TOPMOST;
        if (after == HWND_NOTOPMOST) w->exStyle &= ~static_cast<DWORD>(WS_EX_TOPMOST);
    }
    if (outerChanged || (flags & SWP_FRAMECHANGED)) RecomputeFrame(*w);
    const bool sizeChanged =
        Width(w->client) != Width(oldClient) || Height(w->client) != Height(oldClient);
    const bool moved = w->client.left != oldClient.left || w->client.top != oldClient.top;

    bool shown = false, hidden = false;
    if ((flags & SWP_SHOWWINDOW) && !w->visible) w->visible = shown = true;
    if ((flags & SWP_HIDEWINDOW) && w->visible) {
        w->visible = false;
        hidden = true;
    }
    SyncHost(hwnd);
    if ((shown || sizeChanged) && !(flags & SWP_NOREDRAW)) Invalidate(hwnd, nullptr);
    if (hidden && m_active == hwnd) SetActive(nullptr);
    if (shown && !(flags & SWP_NOACTIVATE)) SetActive(hwnd);
    SendSizeMove(hwnd, sizeChanged, moved);
    return true;
}

bool WindowManager::SetMenu(HWND hwnd, HMENU menu) {
    WindowRec* w = Find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    if (w->menu == menu) return true;
    const RECT oldClient = w->client;
    w->menu = menu;
    RecomputeFrame(*w);
    const bool sizeChanged = Width(w->client) != Width(oldClient) || Height(w->client) != Height(oldClient);
    const bool moved = w->client.left != oldClient.left || w->client.top != oldClient.top;
    SyncHost(hwnd);
    SendSizeMove(hwnd, sizeChanged, moved);
    return true;
}

void WindowManager::SetTitle(HWND hwnd, const char* text) {
    WindowRec* w = Find(hwnd);
    if (!w) return;
    w->title = text && !IS_INTRESOURCE(text) ? text : "";
    SyncHost(hwnd);
}

// ---------------------------------------------------------------------------
// Window longs.

LONG_PTR WindowManager::GetLong(HWND hwnd, int index, bool* ok) {
    *ok = false;
    WindowRec* w = Find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    *ok = true;
    switch (index) {
        case GWL_STYLE: {
            DWORD s = w->style | (w->visible ? WS_VISIBLE : 0) | (w->minimised ? WS_MINIMIZE : 0);
            return static_cast<LONG_PTR>(s);
        }
        case GWL_EXSTYLE:
            return static_cast<LONG_PTR>(w->exStyle);
        case GWL_USERDATA:
            return w->userData;
        case GWL_WNDPROC:
            return reinterpret_cast<LONG_PTR>(w->proc);
        case GWL_ID:
            return w->id;
        case GWL_HINSTANCE:
            return reinterpret_cast<LONG_PTR>(w->instance);
        case GWL_HWNDPARENT:
            return reinterpret_cast<LONG_PTR>(w->parent);
        default:
            break;
    }
    if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= w->extra.size()) {
        LONG_PTR v;
        std::memcpy(&v, w->extra.data() + index, sizeof v);
        return v;
    }
    *ok = false;
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

LONG_PTR WindowManager::SetLong(HWND hwnd, int index, LONG_PTR value, bool* ok) {
    LONG_PTR old = GetLong(hwnd, index, ok);
    if (!*ok) return 0;
    WindowRec* w = Find(hwnd);
    sim::internal::Record("SetWindowLongA", [&] {
        char buf[96];
        std::snprintf(buf, sizeof buf, "%p, %d, 0x%llx", static_cast<void*>(hwnd), index,
                      static_cast<unsigned long long>(value));
        return std::string(buf);
    });
    switch (index) {
        case GWL_STYLE: {
            DWORD s = static_cast<DWORD>(value);
            w->style = s & ~static_cast<DWORD>(WS_VISIBLE | WS_MINIMIZE);
            bool visible = (s & WS_VISIBLE) != 0;
            bool changed = visible != w->visible;
            w->visible = visible;
            SyncHost(hwnd);
            if (changed && visible) Invalidate(hwnd, nullptr);
            if (changed && !visible && m_active == hwnd) SetActive(nullptr);
            return old;
        }
        case GWL_EXSTYLE:
            w->exStyle = static_cast<DWORD>(value);
            SyncHost(hwnd);
            return old;
        case GWL_USERDATA:
            w->userData = value;
            return old;
        case GWL_WNDPROC:
            if (!value) {
                *ok = false;
                SetLastError(ERROR_INVALID_PARAMETER);
                return 0;
            }
            w->proc = reinterpret_cast<WNDPROC>(value);
            return old;
        case GWL_ID:
            w->id = value;
            return old;
        case GWL_HINSTANCE:
            w->instance = reinterpret_cast<HINSTANCE>(value);
            return old;
        case GWL_HWNDPARENT:
            w->parent = reinterpret_cast<HWND>(value);
            return old;
        default:
            std::memcpy(w->extra.data() + index, &value, sizeof value);
            return old;
    }
}

// ---------------------------------------------------------------------------
// Painting state. One update rectangle per window: the bounding box of what
// was invalidated, cleared when a validation covers it.

void WindowManager::Invalidate(HWND hwnd, const RECT* rect) {
    WindowRec* w = Find(hwnd);
    if (!w) return;
    RECT whole{0, 0, Width(w->client), Height(w->client)};
    RECT r = rect ? *rect : whole;
    r.left = std::max(r.left, whole.left);
    r.top = std::max(r.top, whole.top);
    r.right = std::min(r.right, whole.right);
    r.bottom = std::min(r.bottom, whole.bottom);
    if (r.left >= r.right || r.top >= r.bottom) return;
    if (!w->paintPending) {
        w->update = r;
        w->paintPending = true;
        return;
    }
    w->update.left = std::min(w->update.left, r.left);
    w->update.top = std::min(w->update.top, r.top);
    w->update.right = std::max(w->update.right, r.right);
    w->update.bottom = std::max(w->update.bottom, r.bottom);
}

void WindowManager::Validate(HWND hwnd, const RECT* rect) {
    WindowRec* w = Find(hwnd);
    if (!w || !w->paintPending) return;
    if (!rect || (rect->left <= w->update.left && rect->top <= w->update.top && rect->right >= w->update.right &&
                  rect->bottom >= w->update.bottom))
        w->paintPending = false;
}

// ---------------------------------------------------------------------------
// Activation. WM_ACTIVATE is sent whenever what a window was last told
// (active or not, minimised or not) is no longer true, so repeated host
// events change nothing and a restore while active still reports HIWORD 0.

void WindowManager::NotifyActivation(HWND hwnd, HWND other) {
    WindowRec* w = Find(hwnd);
    if (!w) return;
    const bool foreground = m_active == hwnd;
    if (w->foregroundReported != foreground) {
        w->foregroundReported = foreground;
        ReportFocusToInput(w->hostId, foreground);
        if (!(w = Find(hwnd))) return;
    }
    WPARAM want = MAKEWPARAM(foreground ? WA_ACTIVE : WA_INACTIVE, w->minimised ? 1 : 0);
    if (w->activationSent && w->lastActivation == want) return;
    w->activationSent = true;
    w->lastActivation = want;
    Send(hwnd, WM_ACTIVATE, want, reinterpret_cast<LPARAM>(other));
}

void WindowManager::SetActive(HWND hwnd) {
    if (hwnd && !Find(hwnd)) return;
    HWND old = m_active;
    if (old == hwnd) {
        if (hwnd) NotifyActivation(hwnd, nullptr);
        return;
    }
    m_active = hwnd;
    if (old) NotifyActivation(old, hwnd);
    if (hwnd && m_active == hwnd) NotifyActivation(hwnd, old);
}

void WindowManager::SetMinimised(HWND hwnd, bool minimised) {
    WindowRec* w = Find(hwnd);
    if (!w || w->minimised == minimised) return;
    w->minimised = minimised;
    const RECT client = w->client;
    SyncHost(hwnd);
    if (minimised) {
        if (m_active == hwnd)
            SetActive(nullptr);
        else
            NotifyActivation(hwnd, nullptr);
        if (Find(hwnd)) Send(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
    } else {
        SetActive(hwnd);
        if (Find(hwnd)) Send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(Width(client), Height(client)));
        Invalidate(hwnd, nullptr);
    }
}

void WindowManager::OnHostFocus(HWND hwnd, bool gained) {
    if (!Find(hwnd)) return;
    if (gained)
        SetActive(hwnd);
    else if (m_active == hwnd)
        SetActive(nullptr);
}

}  // namespace platform
}  // namespace qndx
