// Windows on a real X server: each case starts its own Xvfb (on a free
// display chosen by the server), runs the window side in a child process
// with SDL's X11 driver, and checks what the X server shows with xwininfo
// and what focus changes made with xdotool turn into. Skipped, with the
// reason, when Xvfb or the X tools are missing. One case runs with no
// display at all, where windows live in the window manager only.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "platform/User.h"
#include "platform/sim/Window.h"

#include "support/ChildProgram.h"
#include "support/Xvfb.h"

namespace {

using qndx::test::OnPath;
using qndx::test::RunOnDisplay;
using qndx::test::Xvfb;

// --- helpers used inside the child ------------------------------------------

int g_activations[2] = {0, 0};  // WM_ACTIVATE wParam last seen per window slot
HWND g_slots[2] = {nullptr, nullptr};

LRESULT CALLBACK ChildProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_ACTIVATE)
        for (int i = 0; i < 2; ++i)
            if (g_slots[i] == hwnd) g_activations[i] = static_cast<int>(wParam);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool RegisterChildClass() {
    WNDCLASSEXA wc{};
    wc.cbSize = 48;
    wc.lpfnWndProc = ChildProc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "QNDX_X11_TEST";
    return RegisterClassExA(&wc) != 0;
}

// Takes and dispatches messages for a while so SDL's X11 events arrive.
void PumpFor(int ms, const std::function<bool()>& done = nullptr) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    MSG msg;
    while (std::chrono::steady_clock::now() < end) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (done && done()) return;
        SDL_Delay(10);
    }
}

std::string RunCommand(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buf[256];
    while (std::fgets(buf, sizeof buf, pipe)) out += buf;
    pclose(pipe);
    return out;
}

// The size the X server gives the window of that title, from xwininfo.
bool XSize(const std::string& title, int* w, int* h) {
    std::string info = RunCommand("xwininfo -name '" + title + "' 2>/dev/null");
    size_t pw = info.find("Width:"), ph = info.find("Height:");
    if (pw == std::string::npos || ph == std::string::npos) return false;
    *w = std::atoi(info.c_str() + pw + 6);
    *h = std::atoi(info.c_str() + ph + 7);
    return true;
}

// Waits until the X server reports the size (window managers and the server
// answer asynchronously).
bool WaitXSize(const std::string& title, int w, int h) {
    int xw = -1, xh = -1;
    for (int i = 0; i < 100; ++i) {
        PumpFor(20);
        if (XSize(title, &xw, &xh) && xw == w && xh == h) return true;
    }
    std::fprintf(stderr, "X size of '%s' is %dx%d, wanted %dx%d\n", title.c_str(), xw, xh, w, h);
    return false;
}

// --- the cases ----------------------------------------------------------------

class X11Window : public ::testing::Test {
protected:
    void SetUp() override {
        if (!OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed; real X window tests skipped";
        if (!OnPath("xwininfo") || !OnPath("xdotool"))
            GTEST_SKIP() << "xwininfo or xdotool is not installed; real X window tests skipped";
        std::string why;
        if (!m_server.Start(&why)) GTEST_SKIP() << "could not start Xvfb: " << why;
    }
    Xvfb m_server;
};

TEST_F(X11Window, ClientAreaIsTheSizeAsked) {
    int code = RunOnDisplay(m_server.Display(), [] {
        QNDX_CHILD_CHECK(RegisterChildClass());
        QNDX_CHILD_CHECK(GetSystemMetrics(SM_CXSCREEN) == 1024);
        QNDX_CHILD_CHECK(GetSystemMetrics(SM_CYSCREEN) == 768);
        RECT r{0, 0, 640, 480};
        AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
        const char* title = "QNDX framed 640x480";
        HWND hwnd = CreateWindowExA(0, "QNDX_X11_TEST", title, WS_OVERLAPPEDWINDOW, 60, 40, r.right - r.left,
                                    r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
        QNDX_CHILD_CHECK(hwnd != nullptr);
        ShowWindow(hwnd, SW_SHOW);
        QNDX_CHILD_CHECK(WaitXSize(title, 640, 480));
        int w = 0, h = 0;
        // The SDL window mirrors the client area.
        SDL_Window* sdl = SDL_GetWindowFromID(1);
        for (Uint32 id = 1; id < 16 && !sdl; ++id) sdl = SDL_GetWindowFromID(id);
        QNDX_CHILD_CHECK(sdl != nullptr);
        SDL_GetWindowSize(sdl, &w, &h);
        QNDX_CHILD_CHECK(w == 640);
        QNDX_CHILD_CHECK(h == 480);
        QNDX_CHILD_CHECK((SDL_GetWindowFlags(sdl) & SDL_WINDOW_BORDERLESS) == 0);

        // Resized through the engine's path: same client size rule.
        MoveWindow(hwnd, 10, 10, 816, 639, TRUE);
        QNDX_CHILD_CHECK(WaitXSize(title, 800, 600));
        DestroyWindow(hwnd);
        return 0;
    }).code;
    EXPECT_EQ(code, 0);
}

TEST_F(X11Window, PopupTopmostAndFullScreen) {
    int code = RunOnDisplay(m_server.Display(), [] {
        QNDX_CHILD_CHECK(RegisterChildClass());
        const char* title = "QNDX popup";
        HWND hwnd = CreateWindowExA(WS_EX_TOPMOST, "QNDX_X11_TEST", title, WS_POPUP | WS_VISIBLE, 100, 100, 300,
                                    200, nullptr, nullptr, nullptr, nullptr);
        QNDX_CHILD_CHECK(hwnd != nullptr);
        QNDX_CHILD_CHECK(WaitXSize(title, 300, 200));
        SDL_Window* sdl = nullptr;
        for (Uint32 id = 1; id < 16 && !sdl; ++id) sdl = SDL_GetWindowFromID(id);
        QNDX_CHILD_CHECK(sdl != nullptr);
        QNDX_CHILD_CHECK((SDL_GetWindowFlags(sdl) & SDL_WINDOW_BORDERLESS) != 0);
        QNDX_CHILD_CHECK((SDL_GetWindowFlags(sdl) & SDL_WINDOW_ALWAYS_ON_TOP) != 0);

        // Covering the whole desktop: full screen on the X server.
        SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                     SWP_SHOWWINDOW);
        QNDX_CHILD_CHECK((SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP);
        QNDX_CHILD_CHECK(WaitXSize(title, 1024, 768));

        // Back to a framed window with an 800 x 600 client area.
        ShowWindow(hwnd, SW_HIDE);
        SetWindowLongA(hwnd, GWL_STYLE, WS_OVERLAPPEDWINDOW);
        SetWindowLongA(hwnd, GWL_EXSTYLE, WS_EX_WINDOWEDGE);
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
        RECT r{0, 0, 800, 600};
        AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_WINDOWEDGE);
        MoveWindow(hwnd, 20, 20, r.right - r.left, r.bottom - r.top, TRUE);
        ShowWindow(hwnd, SW_SHOW);
        QNDX_CHILD_CHECK(WaitXSize(title, 800, 600));
        Uint32 flags = SDL_GetWindowFlags(sdl);
        QNDX_CHILD_CHECK((flags & SDL_WINDOW_FULLSCREEN) == 0);
        QNDX_CHILD_CHECK((flags & SDL_WINDOW_BORDERLESS) == 0);
        QNDX_CHILD_CHECK((flags & SDL_WINDOW_ALWAYS_ON_TOP) == 0);
        return 0;
    }).code;
    EXPECT_EQ(code, 0);
}

TEST_F(X11Window, RealFocusChangesBecomeActivation) {
    int code = RunOnDisplay(m_server.Display(), [] {
        QNDX_CHILD_CHECK(RegisterChildClass());
        HWND a = CreateWindowExA(0, "QNDX_X11_TEST", "QNDX focus A", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                 nullptr, nullptr, nullptr);
        HWND b = CreateWindowExA(0, "QNDX_X11_TEST", "QNDX focus B", WS_OVERLAPPEDWINDOW, 400, 0, 300, 200,
                                 nullptr, nullptr, nullptr, nullptr);
        QNDX_CHILD_CHECK(a);
        QNDX_CHILD_CHECK(b);
        g_slots[0] = a;
        g_slots[1] = b;
        ShowWindow(a, SW_SHOW);
        ShowWindow(b, SW_SHOW);
        PumpFor(300);

        RunCommand("timeout 10 xdotool search --name 'QNDX focus A' windowfocus --sync >/dev/null 2>&1");
        PumpFor(3000, [&] { return GetForegroundWindow() == a; });
        QNDX_CHILD_CHECK(GetForegroundWindow() == a);
        QNDX_CHILD_CHECK(LOWORD(g_activations[0]) == WA_ACTIVE);
        QNDX_CHILD_CHECK(HIWORD(g_activations[0]) == 0);
        QNDX_CHILD_CHECK(LOWORD(g_activations[1]) == WA_INACTIVE);

        RunCommand("timeout 10 xdotool search --name 'QNDX focus B' windowfocus --sync >/dev/null 2>&1");
        PumpFor(3000, [&] { return GetForegroundWindow() == b; });
        QNDX_CHILD_CHECK(GetForegroundWindow() == b);
        QNDX_CHILD_CHECK(LOWORD(g_activations[0]) == WA_INACTIVE);
        QNDX_CHILD_CHECK(LOWORD(g_activations[1]) == WA_ACTIVE);
        return 0;
    }).code;
    EXPECT_EQ(code, 0);
}

TEST_F(X11Window, TheEnginesStartUpLeavesTheWindowActive) {
    // Screen-sized framed window, shown, then hidden, resized for an 800 x 600
    // client area, centred and shown again, as the engine's start-up does.
    // Stale host focus events of the hide must not leave it inactive.
    int code = RunOnDisplay(m_server.Display(), [] {
        QNDX_CHILD_CHECK(RegisterChildClass());
        const char* title = "QNDX start-up";
        HWND hwnd = CreateWindowExA(0, "QNDX_X11_TEST", title, WS_OVERLAPPEDWINDOW, 0, 0,
                                    GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                    nullptr, nullptr);
        QNDX_CHILD_CHECK(hwnd != nullptr);
        g_slots[0] = hwnd;
        ShowWindow(hwnd, SW_SHOW);
        PumpFor(200);
        ShowWindow(hwnd, SW_HIDE);
        RECT w, c;
        GetWindowRect(hwnd, &w);
        GetClientRect(hwnd, &c);
        int rw = (w.right - (c.right - 800)) - w.left, rh = (w.bottom - (c.bottom - 600)) - w.top;
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
        MoveWindow(hwnd, (GetSystemMetrics(SM_CXFULLSCREEN) - rw) / 2, (GetSystemMetrics(SM_CYFULLSCREEN) - rh) / 2,
                   rw, rh, TRUE);
        ShowWindow(hwnd, SW_SHOW);
        QNDX_CHILD_CHECK(WaitXSize(title, 800, 600));
        PumpFor(1000);
        QNDX_CHILD_CHECK(GetForegroundWindow() == hwnd);
        QNDX_CHILD_CHECK(LOWORD(g_activations[0]) == WA_ACTIVE);
        QNDX_CHILD_CHECK(HIWORD(g_activations[0]) == 0);
        return 0;
    }).code;
    EXPECT_EQ(code, 0);
}

// No display at all: SDL video cannot start, windows live in the window
// manager only, and everything but the host mirror still works.
TEST(NoDisplay, WindowsWorkWithoutSdlVideo) {
    int code = RunOnDisplay("", [] {
        unsetenv("DISPLAY");
        QNDX_CHILD_CHECK(RegisterChildClass());
        QNDX_CHILD_CHECK(GetSystemMetrics(SM_CXSCREEN) == 1024);
        QNDX_CHILD_CHECK(GetSystemMetrics(SM_CYSCREEN) == 768);
        QNDX_CHILD_CHECK(SDL_WasInit(SDL_INIT_VIDEO) == 0);
        HWND hwnd = CreateWindowExA(0, "QNDX_X11_TEST", "none", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300,
                                    nullptr, nullptr, nullptr, nullptr);
        QNDX_CHILD_CHECK(hwnd != nullptr);
        QNDX_CHILD_CHECK(IsWindowVisible(hwnd));
        g_slots[0] = hwnd;
        QNDX_CHILD_CHECK(GetForegroundWindow() == hwnd);
        QNDX_CHILD_CHECK(qndx::sim::InjectMinimise(hwnd, true));
        PumpFor(10);
        QNDX_CHILD_CHECK(LOWORD(g_activations[0]) == WA_INACTIVE);
        QNDX_CHILD_CHECK(HIWORD(g_activations[0]) != 0);
        QNDX_CHILD_CHECK(qndx::sim::InjectClose(hwnd));
        PumpFor(10);
        QNDX_CHILD_CHECK(!IsWindow(hwnd));
        QNDX_CHILD_CHECK(MessageBoxA(nullptr, "text", "caption", MB_OK) == IDOK);
        return 0;
    }).code;
    EXPECT_EQ(code, 0);
}

TEST_F(X11Window, MessageBoxOnADisplayDoesNotBlockANonInteractiveRun) {
    int code = RunOnDisplay(m_server.Display(), [] {
        int answer = MessageBoxA(nullptr, "Could not initialize the video system.", "Application failure",
                                 MB_ICONHAND);
        QNDX_CHILD_CHECK(answer == IDOK);
        return 0;
    }).code;
    EXPECT_EQ(code, 0);
}

}  // namespace
