// The application window: registers a window class under a generated name,
// creates and destroys one top-level window, switches it between a framed
// window and a borderless topmost full-screen one, and routes every message
// through one class procedure to a replaceable message handler.
#pragma once

#include <ostream>

#include "platform/Types.h"
#include "platform/User.h"

// A window's message handler: 0 handled (the procedure returns 0), negative
// handled with result 1, positive not handled (the default procedure runs).
typedef int(CALLBACK* CQNDXMessageHandler)(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

class CQNDXWindow {
public:
    // Sets the title and registers the default class.
    explicit CQNDXWindow(const char* title);
    // Sets the title and registers the caller's class (none: the default).
    CQNDXWindow(WNDCLASSEXA* windowClass, const char* title);
    // Registers a class with these values; the sixth argument is unused and
    // no title is set.
    CQNDXWindow(UINT style, HICON icon, HCURSOR cursor, HBRUSH background, LPCSTR menu, int unused,
                HICON smallIcon);
    // Destroys the window and unregisters the class.
    virtual ~CQNDXWindow();

    virtual void Dump(std::ostream& os) const;
    // 1 when a window came; rect none means the whole screen.
    virtual int Create(DWORD style, const RECT* rect);
    virtual int CreateScreenSized();
    virtual int Destroy();
    virtual void SetFullScreen(int full, int width, int height, int centre);
    // 1 when the class was registered, else 0. A caller's class is registered
    // under this window's generated name, with the class procedure; the
    // caller's own procedure becomes the message handler.
    virtual int Register(WNDCLASSEXA* windowClass);
    virtual int Register(UINT style, HICON icon, HCURSOR cursor, HBRUSH background, LPCSTR menu, HICON smallIcon);
    virtual int RegisterDefault();
    virtual int Unregister();

    HWND GetHWND() const { return m_hWnd; }
    void SetHWND(HWND hwnd) { m_hWnd = hwnd; }
    int IsCreated() const { return m_hWnd != nullptr; }
    DWORD GetStyle() const { return m_dwStyle; }
    void SetStyle(DWORD style) { m_dwStyle = style; }
    const char* GetTitle() const { return m_szTitle; }
    const char* GetClassName() const { return m_szClassName; }
    void SetTitle(const char* title);

    HICON GetIcon() const;
    HICON GetSmallIcon() const;
    HCURSOR GetCursor() const;
    HBRUSH GetBackground() const;
    HICON SetIcon(HICON icon);
    HICON SetSmallIcon(HICON icon);
    HCURSOR SetCursor(HCURSOR cursor);
    HBRUSH SetBackground(HBRUSH brush);

    void SetMessageHandler(CQNDXMessageHandler handler) { m_pHandler = handler; }
    CQNDXMessageHandler GetMessageHandler() const { return m_pHandler; }

    int IsVisible() const;
    void Show(int show);
    int ShowWindow(int command);
    int IsFullScreen() const { return m_bFullScreen; }
    void GetWindowRect(RECT* rect) const;
    // A width or height below 1 keeps the current outer one.
    void Move(int x, int y, int width, int height, int repaint);
    void MoveToRect(const RECT* rect, int repaint);
    void ShowCursor(int shown);
    int IsCursorShown() const { return m_bCursorShown; }
    // The outer rectangle, at the window's position, whose client area is
    // width x height.
    void GetWindowRectForClient(RECT* out, HWND hwnd, int width, int height) const;

    // The class procedure of every window of this class.
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // WM_CLOSE posts the quit message; everything else is left to the default.
    static int CALLBACK DefaultMessageHandler(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static int CallMessageHandler(CQNDXWindow* window, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    CQNDXWindow(const CQNDXWindow&) = delete;
    CQNDXWindow& operator=(const CQNDXWindow&) = delete;

    void __InitFields();
    // Handler that forwards to a caller's window procedure kept in the object.
    static int CALLBACK __CallerProcHandler(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd;
    char* m_szTitle;
    char* m_szClassName;
    CQNDXMessageHandler m_pHandler;
    DWORD m_dwStyle;
    int m_bFullScreen;
    int m_bCursorShown;
    // The caller's window procedure when its class description named one.
    WNDPROC m_pCallerProc;

    static int ms_iWindowCount;
    static int ms_iSavedWidth;
    static int ms_iSavedHeight;
    static HMENU ms_hSavedMenu;
};
