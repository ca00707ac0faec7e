// The class, window, geometry, activation and painting calls: argument
// checks and handle lookups in front of the window manager.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/Kernel.h"
#include "sim/SimInternal.h"
#include "user/Frame.h"
#include "user/WindowManager.h"

using qndx::platform::WindowClassRec;
using qndx::platform::WindowRec;
using qndx::platform::Wm;

namespace {

WindowRec* Lookup(HWND hwnd) {
    WindowRec* w = Wm().Find(hwnd);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

}  // namespace

// ---------------------------------------------------------------------------
// Classes.

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass) {
    HRESULT code = 0;
    if (qndx::sim::internal::TakeFault("RegisterClassExA", &code)) {
        SetLastError(static_cast<DWORD>(code));
        return 0;
    }
    if (!windowClass || (windowClass->cbSize != QNDX_WNDCLASSEXA_TAG && windowClass->cbSize != sizeof(WNDCLASSEXA))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return Wm().RegisterClass(*windowClass);
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance) {
    (void)instance;  // one registry for the process
    return Wm().UnregisterClass(className) ? TRUE : FALSE;
}

BOOL GetClassInfoExA(HINSTANCE instance, LPCSTR className, WNDCLASSEXA* out) {
    (void)instance;
    WindowClassRec* c = Wm().FindClass(className);
    if (!c || !out) {
        SetLastError(c ? ERROR_INVALID_PARAMETER : ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    out->style = c->style;
    out->lpfnWndProc = c->proc;
    out->cbClsExtra = static_cast<int>(c->extra.size());
    out->cbWndExtra = c->wndExtra;
    out->hInstance = c->instance;
    out->hIcon = c->icon;
    out->hCursor = c->cursor;
    out->hbrBackground = c->background;
    out->lpszMenuName = c->menuName;
    out->lpszClassName = className;
    out->hIconSm = c->iconSm;
    return TRUE;
}

namespace {

// The class slot for a class long, or null (with the last error set).
ULONG_PTR* ClassSlot(WindowClassRec* c, int index, ULONG_PTR* scratch) {
    switch (index) {
        case GCL_HICON:
            *scratch = reinterpret_cast<ULONG_PTR>(c->icon);
            return scratch;
        case GCL_HICONSM:
            *scratch = reinterpret_cast<ULONG_PTR>(c->iconSm);
            return scratch;
        case GCL_HCURSOR:
            *scratch = reinterpret_cast<ULONG_PTR>(c->cursor);
            return scratch;
        case GCL_HBRBACKGROUND:
            *scratch = reinterpret_cast<ULONG_PTR>(c->background);
            return scratch;
        case GCL_STYLE:
            *scratch = c->style;
            return scratch;
        case GCL_WNDPROC:
            *scratch = reinterpret_cast<ULONG_PTR>(c->proc);
            return scratch;
        case GCL_HMODULE:
            *scratch = reinterpret_cast<ULONG_PTR>(c->instance);
            return scratch;
        case GCL_MENUNAME:
            *scratch = reinterpret_cast<ULONG_PTR>(c->menuName);
            return scratch;
        case GCL_CBWNDEXTRA:
            *scratch = static_cast<ULONG_PTR>(c->wndExtra);
            return scratch;
        case GCL_CBCLSEXTRA:
            *scratch = static_cast<ULONG_PTR>(c->extra.size());
            return scratch;
        default:
            break;
    }
    if (index >= 0 && static_cast<size_t>(index) + sizeof(ULONG_PTR) <= c->extra.size()) {
        std::memcpy(scratch, c->extra.data() + index, sizeof *scratch);
        return scratch;
    }
    SetLastError(ERROR_INVALID_INDEX);
    return nullptr;
}

}  // namespace

ULONG_PTR GetClassLongA(HWND hwnd, int index) {
    WindowRec* w = Lookup(hwnd);
    if (!w) return 0;
    ULONG_PTR value = 0;
    return ClassSlot(w->cls, index, &value) ? value : 0;
}

ULONG_PTR SetClassLongA(HWND hwnd, int index, LONG_PTR value) {
    WindowRec* w = Lookup(hwnd);
    if (!w) return 0;
    WindowClassRec* c = w->cls;
    ULONG_PTR old = 0;
    if (!ClassSlot(c, index, &old)) return 0;
    switch (index) {
        case GCL_HICON:
            c->icon = reinterpret_cast<HICON>(value);
            break;
        case GCL_HICONSM:
            c->iconSm = reinterpret_cast<HICON>(value);
            break;
        case GCL_HCURSOR:
            c->cursor = reinterpret_cast<HCURSOR>(value);
            break;
        case GCL_HBRBACKGROUND:
            c->background = reinterpret_cast<HBRUSH>(value);
            break;
        case GCL_STYLE:
            c->style = static_cast<UINT>(value);
            break;
        case GCL_WNDPROC:
            if (!value) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return 0;
            }
            c->proc = reinterpret_cast<WNDPROC>(value);
            break;
        case GCL_HMODULE:
            c->instance = reinterpret_cast<HINSTANCE>(value);
            break;
        case GCL_MENUNAME:
            c->menuName = reinterpret_cast<LPCSTR>(value);
            break;
        case GCL_CBWNDEXTRA:
        case GCL_CBCLSEXTRA:
            // Sizes of memory already handed out do not change.
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        default:
            std::memcpy(c->extra.data() + index, &value, sizeof value);
            break;
    }
    return old;
}

// ---------------------------------------------------------------------------
// Windows.

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    return Wm().Create(exStyle, className, windowName, style, x, y, width, height, parent, menu, instance, param);
}

BOOL DestroyWindow(HWND hwnd) {
    qndx::sim::internal::Record("DestroyWindow", [&] {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%p", static_cast<void*>(hwnd));
        return std::string(buf);
    });
    return Wm().Destroy(hwnd) ? TRUE : FALSE;
}

BOOL IsWindow(HWND hwnd) { return Wm().Find(hwnd) ? TRUE : FALSE; }

BOOL ShowWindow(HWND hwnd, int command) {
    qndx::sim::internal::Record("ShowWindow", [&] {
        char buf[48];
        std::snprintf(buf, sizeof buf, "%p, %d", static_cast<void*>(hwnd), command);
        return std::string(buf);
    });
    return Wm().Show(hwnd, command) ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hwnd) {
    WindowRec* w = Lookup(hwnd);
    if (!w) return FALSE;
    if (w->paintPending && w->visible && !w->minimised) Wm().Send(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL IsWindowVisible(HWND hwnd) {
    WindowRec* w = Wm().Find(hwnd);
    return w && w->visible ? TRUE : FALSE;
}

BOOL IsIconic(HWND hwnd) {
    WindowRec* w = Wm().Find(hwnd);
    return w && w->minimised ? TRUE : FALSE;
}

BOOL SetWindowTextA(HWND hwnd, LPCSTR text) {
    if (!Lookup(hwnd)) return FALSE;
    Wm().SetTitle(hwnd, text);
    return TRUE;
}

int GetWindowTextA(HWND hwnd, LPSTR buffer, int bufferSize) {
    WindowRec* w = Lookup(hwnd);
    if (!w || !buffer || bufferSize <= 0) return 0;
    size_t n = std::min(w->title.size(), static_cast<size_t>(bufferSize - 1));
    std::memcpy(buffer, w->title.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

int GetWindowTextLengthA(HWND hwnd) {
    WindowRec* w = Lookup(hwnd);
    return w ? static_cast<int>(w->title.size()) : 0;
}

LONG_PTR GetWindowLongA(HWND hwnd, int index) {
    bool ok = false;
    return Wm().GetLong(hwnd, index, &ok);
}

LONG_PTR SetWindowLongA(HWND hwnd, int index, LONG_PTR value) {
    bool ok = false;
    return Wm().SetLong(hwnd, index, value, &ok);
}

// ---------------------------------------------------------------------------
// Geometry.

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
    WindowRec* w = Lookup(hwnd);
    if (!w || !rect) return FALSE;
    *rect = w->outer;
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
    WindowRec* w = Lookup(hwnd);
    if (!w || !rect) return FALSE;
    *rect = RECT{0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point) {
    WindowRec* w = Lookup(hwnd);
    if (!w || !point) return FALSE;
    point->x += w->client.left;
    point->y += w->client.top;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point) {
    WindowRec* w = Lookup(hwnd);
    if (!w || !point) return FALSE;
    point->x -= w->client.left;
    point->y -= w->client.top;
    return TRUE;
}

BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle) {
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    qndx::platform::FrameInsets f = qndx::platform::FrameFor(style, exStyle, menu != FALSE);
    rect->left -= f.left;
    rect->top -= f.top;
    rect->right += f.right;
    rect->bottom += f.bottom;
    return TRUE;
}

BOOL AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) { return AdjustWindowRectEx(rect, style, menu, 0); }

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    qndx::sim::internal::Record("MoveWindow", [&] {
        char buf[96];
        std::snprintf(buf, sizeof buf, "%p, %d, %d, %d, %d, %d", static_cast<void*>(hwnd), x, y, width, height,
                      repaint);
        return std::string(buf);
    });
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW);
    return Wm().SetPos(hwnd, nullptr, x, y, width, height, flags) ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    qndx::sim::internal::Record("SetWindowPos", [&] {
        char buf[128];
        std::snprintf(buf, sizeof buf, "%p, %p, %d, %d, %d, %d, 0x%x", static_cast<void*>(hwnd),
                      static_cast<void*>(insertAfter), x, y, cx, cy, flags);
        return std::string(buf);
    });
    return Wm().SetPos(hwnd, insertAfter, x, y, cx, cy, flags) ? TRUE : FALSE;
}

HMENU GetMenu(HWND hwnd) {
    WindowRec* w = Wm().Find(hwnd);
    return w ? w->menu : nullptr;
}

BOOL SetMenu(HWND hwnd, HMENU menu) { return Wm().SetMenu(hwnd, menu) ? TRUE : FALSE; }

// ---------------------------------------------------------------------------
// Activation and focus: one window is active, foreground and focused at once.

HWND GetForegroundWindow() { return Wm().Active(); }

BOOL SetForegroundWindow(HWND hwnd) {
    if (!Lookup(hwnd)) return FALSE;
    Wm().SetActive(hwnd);
    return TRUE;
}

HWND GetActiveWindow() { return Wm().Active(); }

HWND SetActiveWindow(HWND hwnd) {
    HWND old = Wm().Active();
    if (hwnd && !Lookup(hwnd)) return nullptr;
    Wm().SetActive(hwnd);
    return old;
}

HWND GetFocus() { return Wm().Active(); }

HWND SetFocus(HWND hwnd) { return SetActiveWindow(hwnd); }

// ---------------------------------------------------------------------------
// Painting.

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
    if (!hwnd) return TRUE;
    if (!Lookup(hwnd)) return FALSE;
    Wm().Validate(hwnd, rect);
    return TRUE;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    (void)erase;
    if (!hwnd) {
        for (HWND h : Wm().Windows()) Wm().Invalidate(h, nullptr);
        return TRUE;
    }
    if (!Lookup(hwnd)) return FALSE;
    Wm().Invalidate(hwnd, rect);
    return TRUE;
}
