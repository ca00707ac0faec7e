// Application window: class registration under a generated name, creation,
// the class procedure that routes messages to the object's handler, and the
// switch between a framed window and a borderless topmost one.
#include "Util/Window.h"

#include <cstdio>
#include <cstring>

#include "platform/Gdi.h"
#include "platform/Kernel.h"

int CQNDXWindow::ms_iWindowCount = 0;
int CQNDXWindow::ms_iSavedWidth = 0;
int CQNDXWindow::ms_iSavedHeight = 0;
HMENU CQNDXWindow::ms_hSavedMenu = nullptr;

namespace {

const char kClassPrefix[] = "QUENDRIX_WINDOW_";
const char kDashes66[] = "------------------------------------------------------------------\n";

char* CopyString(const char* s) {
    const size_t n = std::strlen(s);
    char* copy = new char[n + 1];
    std::memcpy(copy, s, n + 1);
    return copy;
}

}  // namespace

void CQNDXWindow::__InitFields() {
    m_hWnd = nullptr;
    m_szTitle = nullptr;
    m_szClassName = nullptr;
    m_pHandler = &CQNDXWindow::DefaultMessageHandler;
    m_dwStyle = 0;
    m_bFullScreen = 0;
    m_bCursorShown = 1;
    m_pCallerProc = nullptr;

    ++ms_iWindowCount;
    const size_t size = sizeof(kClassPrefix) - 1 + 33;
    m_szClassName = new char[size];
    std::snprintf(m_szClassName, size, "%s%d", kClassPrefix, ms_iWindowCount);
}

CQNDXWindow::CQNDXWindow(const char* title) {
    __InitFields();
    SetTitle(title);
    RegisterDefault();
}

CQNDXWindow::CQNDXWindow(WNDCLASSEXA* windowClass, const char* title) {
    __InitFields();
    SetTitle(title);
    Register(windowClass);
}

CQNDXWindow::CQNDXWindow(UINT style, HICON icon, HCURSOR cursor, HBRUSH background, LPCSTR menu, int,
                         HICON smallIcon) {
    __InitFields();
    Register(style, icon, cursor, background, menu, smallIcon);
}

CQNDXWindow::~CQNDXWindow() {
    Unregister();
    delete[] m_szClassName;
    delete[] m_szTitle;
}

void CQNDXWindow::Dump(std::ostream& os) const {
    os << kDashes66;
    os << "CQNDXWindow@" << static_cast<const void*>(this);
    os << "\nTitle: \"" << (m_szTitle ? m_szTitle : "") << "\"  Class: \"" << m_szClassName << "\"\n";
    os << "IsActive: " << IsCreated() << "  IsVisible: " << IsVisible() << "  IsFullScreen: " << IsFullScreen();
    os << kDashes66;
}

// Registration.

int CQNDXWindow::Register(WNDCLASSEXA* windowClass) {
    if (!windowClass) return RegisterDefault();
    WNDCLASSEXA copy = *windowClass;
    if (copy.lpfnWndProc != &CQNDXWindow::WindowProc) {
        // The caller's procedure keeps its own signature; it is called from
        // the class procedure, not through a handler-typed cast.
        if (copy.lpfnWndProc) {
            m_pCallerProc = copy.lpfnWndProc;
            SetMessageHandler(&CQNDXWindow::__CallerProcHandler);
        }
        copy.lpfnWndProc = &CQNDXWindow::WindowProc;
    }
    // Create asks for this window's generated name, so the class must carry it.
    copy.lpszClassName = m_szClassName;
    return RegisterClassExA(&copy) != 0 ? 1 : 0;
}

int CQNDXWindow::Register(UINT style, HICON icon, HCURSOR cursor, HBRUSH background, LPCSTR menu, HICON smallIcon) {
    WNDCLASSEXA wc;
    std::memset(&wc, 0, sizeof(wc));
    wc.cbSize = QNDX_WNDCLASSEXA_TAG;
    wc.style = style;
    wc.lpfnWndProc = &CQNDXWindow::WindowProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hIcon = icon;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszMenuName = menu;
    wc.lpszClassName = m_szClassName;
    wc.hIconSm = smallIcon;
    return Register(&wc);
}

int CQNDXWindow::RegisterDefault() {
    HICON icon = LoadIconA(nullptr, IDI_APPLICATION);
    return Register(CS_HREDRAW | CS_VREDRAW, icon, LoadCursorA(nullptr, IDC_ARROW),
                    (HBRUSH)GetStockObject(BLACK_BRUSH), nullptr, icon);
}

int CQNDXWindow::Unregister() {
    if (m_hWnd) Destroy();
    return UnregisterClassA(m_szClassName, GetModuleHandleA(nullptr)) ? 1 : 0;
}

// Creation and destruction.

int CQNDXWindow::Create(DWORD style, const RECT* rect) {
    // A second window would keep pointing at this object after it is gone.
    if (m_hWnd) Destroy();
    m_dwStyle = style;
    RECT r;
    if (rect) {
        r = *rect;
    } else {
        r.left = 0;
        r.top = 0;
        r.right = GetSystemMetrics(SM_CXSCREEN);
        r.bottom = GetSystemMetrics(SM_CYSCREEN);
    }
    HWND hwnd = CreateWindowExA(0, m_szClassName, m_szTitle, style, r.left, r.top, r.right - r.left,
                                r.bottom - r.top, nullptr, nullptr, GetModuleHandleA(nullptr), this);
    m_hWnd = hwnd;
    return hwnd ? 1 : 0;
}

int CQNDXWindow::CreateScreenSized() { return Create(WS_OVERLAPPEDWINDOW, nullptr); }

int CQNDXWindow::Destroy() {
    int had = 0;
    if (m_hWnd && IsWindow(m_hWnd)) {
        had = 1;
        DestroyWindow(m_hWnd);
    }
    m_hWnd = nullptr;
    return had;
}

// Attributes.

void CQNDXWindow::SetTitle(const char* title) {
    if (title) {
        char* copy = CopyString(title);
        delete[] m_szTitle;
        m_szTitle = copy;
    }
    if (m_hWnd && m_szTitle) SetWindowTextA(m_hWnd, m_szTitle);
}

HICON CQNDXWindow::GetIcon() const { return m_hWnd ? (HICON)GetClassLongA(m_hWnd, GCL_HICON) : nullptr; }

HICON CQNDXWindow::GetSmallIcon() const { return m_hWnd ? (HICON)GetClassLongA(m_hWnd, GCL_HICONSM) : nullptr; }

HCURSOR CQNDXWindow::GetCursor() const { return m_hWnd ? (HCURSOR)GetClassLongA(m_hWnd, GCL_HCURSOR) : nullptr; }

HBRUSH CQNDXWindow::GetBackground() const {
    return m_hWnd ? (HBRUSH)GetClassLongA(m_hWnd, GCL_HBRBACKGROUND) : nullptr;
}

HICON CQNDXWindow::SetIcon(HICON icon) {
    if (!m_hWnd) return nullptr;
    HICON previous = (HICON)SetClassLongA(m_hWnd, GCL_HICON, (LONG_PTR)icon);
    PostMessageA(m_hWnd, WM_SETICON, ICON_BIG, (LPARAM)icon);
    return previous;
}

HICON CQNDXWindow::SetSmallIcon(HICON icon) {
    if (!m_hWnd) return nullptr;
    return (HICON)SetClassLongA(m_hWnd, GCL_HICONSM, (LONG_PTR)icon);
}

HCURSOR CQNDXWindow::SetCursor(HCURSOR cursor) {
    if (!m_hWnd) return nullptr;
    return (HCURSOR)SetClassLongA(m_hWnd, GCL_HCURSOR, (LONG_PTR)cursor);
}

HBRUSH CQNDXWindow::SetBackground(HBRUSH brush) {
    if (!m_hWnd) return nullptr;
    HBRUSH previous = (HBRUSH)SetClassLongA(m_hWnd, GCL_HBRBACKGROUND, (LONG_PTR)brush);
    InvalidateRect(m_hWnd, nullptr, TRUE);
    return previous;
}

int CQNDXWindow::IsVisible() const { return m_hWnd && IsWindowVisible(m_hWnd) ? 1 : 0; }

void CQNDXWindow::Show(int show) {
    if (m_hWnd) ::ShowWindow(m_hWnd, show ? SW_SHOW : SW_HIDE);
}

int CQNDXWindow::ShowWindow(int command) { return m_hWnd ? ::ShowWindow(m_hWnd, command) : 0; }

void CQNDXWindow::GetWindowRect(RECT* rect) const {
    if (m_hWnd && rect) ::GetWindowRect(m_hWnd, rect);
}

void CQNDXWindow::Move(int x, int y, int width, int height, int repaint) {
    if (!m_hWnd) return;
    if (width < 1 || height < 1) {
        RECT current;
        ::GetWindowRect(m_hWnd, &current);
        if (width < 1) width = current.right - current.left;
        if (height < 1) height = current.bottom - current.top;
    }
    MoveWindow(m_hWnd, x, y, width, height, repaint);
}

void CQNDXWindow::MoveToRect(const RECT* rect, int repaint) {
    if (!m_hWnd || !rect) return;
    MoveWindow(m_hWnd, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, repaint);
}

void CQNDXWindow::ShowCursor(int shown) {
    shown = shown ? 1 : 0;
    if (shown == m_bCursorShown) return;
    m_bCursorShown = shown;
    if (m_hWnd) PostMessageA(m_hWnd, WM_SETCURSOR, 0, 0);
}

void CQNDXWindow::GetWindowRectForClient(RECT* out, HWND hwnd, int width, int height) const {
    if (!out) return;
    RECT w = {0, 0, 0, 0};
    RECT c = {0, 0, 0, 0};
    ::GetWindowRect(hwnd, &w);
    GetClientRect(hwnd, &c);
    out->left = w.left;
    out->top = w.top;
    out->right = w.right - (c.right - width);
    out->bottom = w.bottom - (c.bottom - height);
}

void CQNDXWindow::SetFullScreen(int full, int width, int height, int centre) {
    if (!m_hWnd) return;
    ::ShowWindow(m_hWnd, SW_HIDE);
    if (full) {
        if (!m_bFullScreen) {
            RECT outer;
            ::GetWindowRect(m_hWnd, &outer);
            ms_iSavedWidth = outer.right - outer.left;
            ms_iSavedHeight = outer.bottom - outer.top;
            SetWindowLongA(m_hWnd, GWL_STYLE, (LONG_PTR)(DWORD)WS_POPUP);
            SetWindowLongA(m_hWnd, GWL_EXSTYLE, WS_EX_TOPMOST);
            ms_hSavedMenu = GetMenu(m_hWnd);
            SetMenu(m_hWnd, nullptr);
            m_bFullScreen = 1;
        }
    } else {
        if (m_bFullScreen) {
            SetWindowLongA(m_hWnd, GWL_STYLE, (LONG_PTR)m_dwStyle);
            m_bFullScreen = 0;
            SetWindowLongA(m_hWnd, GWL_EXSTYLE, WS_EX_WINDOWEDGE);
            if (ms_hSavedMenu) SetMenu(m_hWnd, ms_hSavedMenu);
        }
        const int clientWidth = width >= 1 ? width : ms_iSavedWidth;
        const int clientHeight = height >= 1 ? height : ms_iSavedHeight;
        // The frame of the restored style applies only once the frame change
        // is made, and the outer rectangle must be measured with that frame:
        // measured before, a window coming back from full screen would end up
        // with a client area smaller than asked by the frame's size.
        SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
        RECT r;
        GetWindowRectForClient(&r, m_hWnd, clientWidth, clientHeight);
        const int w = r.right - r.left;
        const int h = r.bottom - r.top;
        if (centre) {
            MoveWindow(m_hWnd, (GetSystemMetrics(SM_CXFULLSCREEN) - w) / 2, (GetSystemMetrics(SM_CYFULLSCREEN) - h) / 2,
                       w, h, TRUE);
        } else {
            MoveWindow(m_hWnd, r.left, r.top, w, h, TRUE);
        }
    }
    ::ShowWindow(m_hWnd, SW_SHOW);
}

// Message routing.

int CQNDXWindow::CallMessageHandler(CQNDXWindow* window, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!window || !window->m_pHandler) return 1;
    return window->m_pHandler(hwnd, msg, wParam, lParam);
}

int CALLBACK CQNDXWindow::DefaultMessageHandler(HWND, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return 1;
}

int CALLBACK CQNDXWindow::__CallerProcHandler(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // Reached only when someone calls the handler directly; the class
    // procedure passes the caller's own result through unchanged.
    CQNDXWindow* window = (CQNDXWindow*)GetWindowLongA(hwnd, GWL_USERDATA);
    if (!window || !window->m_pCallerProc) return 1;
    const LRESULT r = window->m_pCallerProc(hwnd, msg, wParam, lParam);
    return r == 0 ? 0 : -1;
}

LRESULT CALLBACK CQNDXWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    int r = 1;
    if (msg == WM_NCCREATE) {
        const CREATESTRUCTA* cs = (const CREATESTRUCTA*)lParam;
        CQNDXWindow* window = cs ? (CQNDXWindow*)cs->lpCreateParams : nullptr;
        SetWindowLongA(hwnd, GWL_USERDATA, (LONG_PTR)window);
        if (window) window->SetHWND(hwnd);
    } else {
        CQNDXWindow* window = (CQNDXWindow*)GetWindowLongA(hwnd, GWL_USERDATA);
        if (window && msg == WM_SETCURSOR && !window->m_bCursorShown) {
            ::SetCursor(nullptr);
            return 1;
        }
        if (window) {
            // A caller's window procedure does its own default processing.
            if (window->m_pHandler == &CQNDXWindow::__CallerProcHandler && window->m_pCallerProc)
                return window->m_pCallerProc(hwnd, msg, wParam, lParam);
            r = CallMessageHandler(window, hwnd, msg, wParam, lParam);
        }
    }
    if (r == 0) return 0;
    if (r < 0) return 1;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
