// The thread's message queue and the calls around it. Retrieval order is the
// platform's: posted messages first in first out, then WM_QUIT once the
// posted messages are gone, then WM_PAINT for a visible window with an update
// rectangle (it stays until validated). Sent messages never queue: they call
// the procedure at once.
#include <cstdio>

#include "platform/Kernel.h"
#include "sim/SimInternal.h"
#include "user/HostEvents.h"
#include "user/WindowManager.h"

namespace qndx {
namespace platform {
namespace {

bool InRange(UINT msg, UINT first, UINT last) { return (first == 0 && last == 0) || (msg >= first && msg <= last); }

// hwnd filter: null takes everything, (HWND)-1 only messages posted without a window.
bool Matches(HWND filter, HWND hwnd) {
    if (!filter) return true;
    if (filter == reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) return hwnd == nullptr;
    return filter == hwnd;
}

}  // namespace

bool WindowManager::Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    MSG m{};
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = GetTickCount();
    m.pt = m_cursorPos;
    std::lock_guard<std::mutex> guard(m_queueLock);
    if (hwnd && !m_postable.count(reinterpret_cast<uintptr_t>(hwnd))) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    m_queue.push_back(m);
    return true;
}

void WindowManager::PostQuit(int code) {
    std::lock_guard<std::mutex> guard(m_queueLock);
    m_quit = true;
    m_quitCode = code;
}

bool WindowManager::Peek(MSG* out, HWND filter, UINT first, UINT last, UINT flags) {
    {
        std::lock_guard<std::mutex> guard(m_queueLock);
        for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
            if (!Matches(filter, it->hwnd) || !InRange(it->message, first, last)) continue;
            *out = *it;
            if (flags & PM_REMOVE) m_queue.erase(it);
            return true;
        }
        if (m_quit && InRange(WM_QUIT, first, last)) {
            MSG m{};
            m.message = WM_QUIT;
            m.wParam = static_cast<WPARAM>(m_quitCode);
            m.time = GetTickCount();
            m.pt = m_cursorPos;
            *out = m;
            if (flags & PM_REMOVE) m_quit = false;
            return true;
        }
    }
    if (!InRange(WM_PAINT, first, last)) return false;
    WindowRec* best = nullptr;
    for (auto& entry : m_windows) {
        WindowRec* w = entry.second.get();
        if (!w->paintPending || !w->visible || w->minimised || w->destroying || !Matches(filter, w->hwnd))
            continue;
        if (!best || w->order < best->order) best = w;
    }
    if (!best) return false;
    MSG m{};
    m.hwnd = best->hwnd;
    m.message = WM_PAINT;
    m.time = GetTickCount();
    m.pt = m_cursorPos;
    *out = m;
    return true;
}

}  // namespace platform
}  // namespace qndx

using qndx::platform::Wm;

BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (!msg) return FALSE;
    qndx::platform::PumpHostEvents();
    return Wm().Peek(msg, hwnd, filterMin, filterMax, removeFlags) ? TRUE : FALSE;
}

BOOL GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (!msg) return -1;
    if (hwnd && !Wm().Find(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    while (!PeekMessageA(msg, hwnd, filterMin, filterMax, PM_REMOVE)) {
        // Wakes on the next host event or after a short wait, for messages
        // posted from other threads.
        qndx::platform::WaitForHostEvents(10);
    }
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return Wm().Post(hwnd, message, wParam, lParam) ? TRUE : FALSE;
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return Wm().Send(hwnd, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
    qndx::sim::internal::Record("PostQuitMessage", [&] { return std::to_string(exitCode); });
    Wm().PostQuit(exitCode);
}

BOOL TranslateMessage(const MSG* msg) {
    // Key messages are not generated (keys reach the input devices), so
    // there is never a character message to make.
    (void)msg;
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg || !msg->hwnd) return 0;
    return Wm().Send(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    qndx::platform::WindowManager& wm = Wm();
    qndx::platform::WindowRec* w = wm.Find(hwnd);
    if (!w) return 0;
    switch (message) {
        case WM_NCCREATE:
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_PAINT:
            wm.Validate(hwnd, nullptr);
            return 0;
        case WM_SETCURSOR:
            SetCursor(w->cls ? w->cls->cursor : nullptr);
            return TRUE;
        case WM_ERASEBKGND:
            return TRUE;
        case WM_NCACTIVATE:
            return TRUE;
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(w->title.size());
        case WM_GETTEXT:
            return GetWindowTextA(hwnd, reinterpret_cast<LPSTR>(lParam), static_cast<int>(wParam));
        case WM_SETTEXT:
            wm.SetTitle(hwnd, reinterpret_cast<LPCSTR>(lParam));
            return TRUE;
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_CLOSE:
                    return SendMessageA(hwnd, WM_CLOSE, 0, 0);
                case SC_MINIMIZE:
                    ShowWindow(hwnd, SW_MINIMIZE);
                    return 0;
                case SC_RESTORE:
                    ShowWindow(hwnd, SW_RESTORE);
                    return 0;
                default:
                    return 0;
            }
        default:
            return 0;
    }
}
