// The layer's own window manager: window classes, windows with their styles,
// rectangles and longs, activation, painting state, the message queue, the
// pointer and the desktop. It is authoritative; the host backend only mirrors
// it. One object, created on first use; sim::Reset() empties it (handles and
// atoms keep counting, so a handle is never handed out twice).
//
// Window procedures may re-enter the manager (destroy a window, create one,
// post or send messages) from inside any message sent here, so callers never
// keep a WindowRec pointer across a Send: they look the handle up again.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/User.h"
#include "platform/sim/Window.h"
#include "user/Frame.h"
#include "user/WindowBackend.h"

namespace qndx {
namespace platform {

struct WindowClassRec {
    std::string name;
    ATOM atom = 0;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int wndExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HICON iconSm = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    LPCSTR menuName = nullptr;  // kept as given (a string or an integer name)
    std::vector<unsigned char> extra;
    int windows = 0;
};

struct WindowRec {
    HWND hwnd = nullptr;
    WindowClassRec* cls = nullptr;
    std::string title;
    DWORD style = 0;  // without WS_VISIBLE and WS_MINIMIZE, kept below
    DWORD exStyle = 0;
    bool visible = false;
    bool minimised = false;
    RECT outer{0, 0, 0, 0};   // screen coordinates
    RECT client{0, 0, 0, 0};  // screen coordinates, as of the last frame computation
    // The frame is recomputed only when the size or position changes, the
    // menu changes or SWP_FRAMECHANGED asks; until then a changed style keeps
    // the old frame, as the platform caches it.
    DWORD frameStyle = 0;
    DWORD frameExStyle = 0;
    HMENU menu = nullptr;
    HWND parent = nullptr;
    HINSTANCE instance = nullptr;
    LONG_PTR id = 0;
    LONG_PTR userData = 0;
    WNDPROC proc = nullptr;
    std::vector<unsigned char> extra;
    bool paintPending = false;
    RECT update{0, 0, 0, 0};  // client coordinates
    bool destroying = false;
    bool created = false;  // WM_CREATE succeeded
    bool activationSent = false;
    WPARAM lastActivation = 0;
    bool foregroundReported = false;
    uint32_t hostId = 0;
    uint64_t order = 0;
};

class WindowManager {
public:
    // The one manager; made on first use, which also registers its reset hook.
    static WindowManager& Get();

    // --- host backend and desktop ---------------------------------------
    WindowBackend& Backend();
    SIZE DesktopSize();
    RECT WorkArea();
    bool HeadlessDesktop();
    void SetSimDesktop(int width, int height);
    void SetModeSize(int width, int height);

    // --- classes ----------------------------------------------------------
    ATOM RegisterClass(const WNDCLASSEXA& wc);
    bool UnregisterClass(LPCSTR name);
    WindowClassRec* FindClass(LPCSTR name);
    int ClassCount() const { return static_cast<int>(m_classes.size()); }

    // --- windows ----------------------------------------------------------
    WindowRec* Find(HWND hwnd);
    WindowRec* FindByHostId(uint32_t id);
    HWND Create(DWORD exStyle, LPCSTR className, LPCSTR name, DWORD style, int x, int y, int w, int h, HWND parent,
                HMENU menu, HINSTANCE instance, LPVOID param);
    bool Destroy(HWND hwnd);
    LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    int WindowCount() const { return static_cast<int>(m_windows.size()); }
    std::vector<HWND> Windows() const;

    // Geometry, styles and visibility.
    bool Show(HWND hwnd, int command);
    bool SetPos(HWND hwnd, HWND after, int x, int y, int cx, int cy, UINT flags);
    LONG_PTR SetLong(HWND hwnd, int index, LONG_PTR value, bool* ok);
    LONG_PTR GetLong(HWND hwnd, int index, bool* ok);
    bool SetMenu(HWND hwnd, HMENU menu);
    void SetTitle(HWND hwnd, const char* text);

    // Painting.
    void Invalidate(HWND hwnd, const RECT* rect);
    void Validate(HWND hwnd, const RECT* rect);

    // Activation. The active window is the foreground window.
    HWND Active() const { return m_active; }
    void SetActive(HWND hwnd);
    void SetMinimised(HWND hwnd, bool minimised);
    void OnHostFocus(HWND hwnd, bool gained);

    // --- message queue ------------------------------------------------------
    bool Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void PostQuit(int code);
    bool Peek(MSG* out, HWND filter, UINT first, UINT last, UINT flags);

    // --- pointer ------------------------------------------------------------
    HCURSOR SetCursor(HCURSOR cursor);
    HCURSOR Cursor();
    int ShowCursor(bool show);
    int CursorCount() const { return m_cursorCount; }
    POINT CursorPos();
    void SetCursorPos(int x, int y);

    // --- message boxes and system parameters ------------------------------
    void RecordMessageBox(HWND owner, const std::string& caption, const std::string& text, UINT type);
    std::vector<sim::MessageBoxRecord> MessageBoxes() const { return m_boxes; }
    void ClearMessageBoxes() { m_boxes.clear(); }
    void SetMouseParameters(int t1, int t2, int level) { m_mouse[0] = t1, m_mouse[1] = t2, m_mouse[2] = level; }
    void MouseParameters(int out[3]) const { out[0] = m_mouse[0], out[1] = m_mouse[1], out[2] = m_mouse[2]; }

    // Drops every window (no messages), class, queued message and override.
    void Reset();

private:
    WindowManager() = default;
    void RecomputeFrame(WindowRec& w);
    HostWindowState HostStateOf(const WindowRec& w);
    void SyncHost(HWND hwnd);
    void NotifyActivation(HWND hwnd, HWND other);
    void ReportForeground(WindowRec& w);
    void ApplyPointer();
    void SendSizeMove(HWND hwnd, bool sizeChanged, bool moved);
    void DropWindow(HWND hwnd);

    std::unique_ptr<WindowBackend> m_backend;
    std::map<uintptr_t, std::unique_ptr<WindowRec>> m_windows;
    std::vector<std::unique_ptr<WindowClassRec>> m_classes;
    uintptr_t m_nextHandle = 0x10004;
    ATOM m_nextAtom = 0xC000;
    uint64_t m_nextOrder = 1;
    HWND m_active = nullptr;

    std::mutex m_queueLock;  // posting may come from another thread
    std::deque<MSG> m_queue;
    // The live handles, for posters on other threads (m_windows is the main
    // thread's alone).
    std::set<uintptr_t> m_postable;
    bool m_quit = false;
    int m_quitCode = 0;

    HCURSOR m_cursor = nullptr;
    bool m_cursorInit = false;
    int m_cursorCount = 0;
    POINT m_cursorPos{-1, -1};

    SIZE m_simDesktop{0, 0};
    SIZE m_modeSize{0, 0};
    int m_mouse[3] = {6, 10, 1};
    std::vector<sim::MessageBoxRecord> m_boxes;
};

// Shorthand for WindowManager::Get().
inline WindowManager& Wm() { return WindowManager::Get(); }

}  // namespace platform
}  // namespace qndx
