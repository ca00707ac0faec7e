// The headless desktop and the SDL windows that mirror layer windows under
// SDL's dummy driver: system metrics, system parameters, and host windows of
// the client size that follow showing, moving, borders, topmost and full
// screen.
#include <SDL.h>

#include <cstring>

#include "UserTestSupport.h"
#include "platform/sim/Window.h"
#include "platform/sim/Sim.h"
#include "sdl/SdlWindow.h"
#include "user/WindowQueries.h"

using namespace usertest;
namespace qp = qndx::platform;

namespace {

class HeadlessDesktop : public UserTest {};

TEST_F(HeadlessDesktop, MetricsGiveTheFixedDesktop) {
    EXPECT_TRUE(qp::IsHeadlessDesktop());
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
    EXPECT_EQ(GetSystemMetrics(SM_CXFULLSCREEN), 1024);
    EXPECT_EQ(GetSystemMetrics(SM_CYFULLSCREEN), 768 - GetSystemMetrics(SM_CYCAPTION));
    EXPECT_GT(GetSystemMetrics(SM_CYCAPTION), 0);
    EXPECT_EQ(GetSystemMetrics(SM_CXCURSOR), 32);
    EXPECT_EQ(GetSystemMetrics(9999), 0);
    RECT work{};
    EXPECT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.right, 1024);
    EXPECT_EQ(work.bottom, 768);
}

TEST_F(HeadlessDesktop, SimPanelAndDisplayModeSetTheDesktopUntilReset) {
    qndx::sim::SetDesktopSize(1280, 720);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 720);
    EXPECT_EQ(qp::DesktopSize().cx, 1280);
    // An exclusive mode change wins over it, until set back.
    qp::SetDisplayModeSize(640, 480);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
    EXPECT_EQ(GetSystemMetrics(SM_CYFULLSCREEN), 480 - GetSystemMetrics(SM_CYCAPTION));
    qp::SetDisplayModeSize(0, 0);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
    qndx::sim::SetDesktopSize(0, 0);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    qndx::sim::SetDesktopSize(1600, 900);
    qndx::sim::Reset();
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
}

TEST_F(HeadlessDesktop, MouseParameters) {
    int values[3] = {-1, -1, -1};
    EXPECT_TRUE(SystemParametersInfoA(SPI_GETMOUSE, 0, values, 0));
    EXPECT_EQ(values[0], 6);
    EXPECT_EQ(values[1], 10);
    EXPECT_EQ(values[2], 1);
    qndx::sim::SetMouseParameters(4, 12, 2);
    EXPECT_TRUE(SystemParametersInfoA(SPI_GETMOUSE, 0, values, 0));
    EXPECT_EQ(values[0], 4);
    EXPECT_EQ(values[1], 12);
    EXPECT_EQ(values[2], 2);
    EXPECT_FALSE(SystemParametersInfoA(SPI_GETMOUSE, 0, nullptr, 0));
    EXPECT_FALSE(SystemParametersInfoA(0x7777, 0, values, 0));
}

// ---------------------------------------------------------------------------
// Host windows under the dummy driver.

class DummyDriverWindow : public UserTest {
protected:
    SDL_Window* Host(HWND hwnd) { return qp::SdlWindowFor(hwnd); }
    Uint32 Flags(HWND hwnd) { return SDL_GetWindowFlags(Host(hwnd)); }
};

TEST_F(DummyDriverWindow, IsARealSdlWindowOfTheClientSize) {
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW, 40, 30, 816, 639);
    ASSERT_NE(Host(hwnd), nullptr);
    ASSERT_NE(SDL_GetCurrentVideoDriver(), nullptr);
    EXPECT_STREQ(SDL_GetCurrentVideoDriver(), "dummy");
    RECT c;
    GetClientRect(hwnd, &c);
    int w = 0, h = 0;
    SDL_GetWindowSize(Host(hwnd), &w, &h);
    EXPECT_EQ(w, c.right);
    EXPECT_EQ(h, c.bottom);
    EXPECT_EQ(qp::WindowIdFor(hwnd), SDL_GetWindowID(Host(hwnd)));
    EXPECT_EQ(qp::HwndForWindowId(qp::WindowIdFor(hwnd)), hwnd);
    EXPECT_NE(Flags(hwnd) & SDL_WINDOW_HIDDEN, 0u);
    EXPECT_EQ(Flags(hwnd) & SDL_WINDOW_BORDERLESS, 0u);

    ShowWindow(hwnd, SW_SHOW);
    EXPECT_NE(Flags(hwnd) & SDL_WINDOW_SHOWN, 0u);
    MoveWindow(hwnd, 0, 0, 656, 519, TRUE);
    GetClientRect(hwnd, &c);
    SDL_GetWindowSize(Host(hwnd), &w, &h);
    EXPECT_EQ(w, c.right);
    EXPECT_EQ(h, c.bottom);
    SetWindowTextA(hwnd, "Ambrixo");
    EXPECT_STREQ(SDL_GetWindowTitle(Host(hwnd)), "Ambrixo");
    ShowWindow(hwnd, SW_HIDE);
    EXPECT_NE(Flags(hwnd) & SDL_WINDOW_HIDDEN, 0u);

    Uint32 id = SDL_GetWindowID(Host(hwnd));
    DestroyWindow(hwnd);
    EXPECT_EQ(Host(hwnd), nullptr);
    EXPECT_EQ(SDL_GetWindowFromID(id), nullptr);
}

TEST_F(DummyDriverWindow, PopupIsBorderlessTopmostIsOnTopAndCoveringTheDesktopIsFullScreen) {
    HWND framed = MakeWindow(WS_OVERLAPPEDWINDOW, 100, 100, 320, 200);
    EXPECT_EQ(Flags(framed) & (SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP), 0u);
    HWND hwnd = MakeWindow(WS_POPUP | WS_VISIBLE, 100, 100, 320, 200, WS_EX_TOPMOST);
    EXPECT_NE(Flags(hwnd) & SDL_WINDOW_BORDERLESS, 0u);
    EXPECT_NE(Flags(hwnd) & SDL_WINDOW_ALWAYS_ON_TOP, 0u);
    EXPECT_EQ(Flags(hwnd) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);

    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                 SWP_SHOWWINDOW);
    EXPECT_EQ(Flags(hwnd) & SDL_WINDOW_FULLSCREEN_DESKTOP, static_cast<Uint32>(SDL_WINDOW_FULLSCREEN_DESKTOP));

    // Back to a framed window of a smaller size: windowed again. (The dummy
    // driver cannot change borders or stacking after creation; the X11 test
    // checks those.)
    SetWindowLongA(hwnd, GWL_STYLE, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    SetWindowLongA(hwnd, GWL_EXSTYLE, WS_EX_WINDOWEDGE);
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
    EXPECT_EQ(Flags(hwnd) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    MoveWindow(hwnd, 50, 50, 816, 639, TRUE);
    EXPECT_EQ(Flags(hwnd) & SDL_WINDOW_FULLSCREEN, 0u);
    int w = 0, h = 0;
    SDL_GetWindowSize(Host(hwnd), &w, &h);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
}

TEST_F(DummyDriverWindow, AHugeWindowStillGetsAHostWindowWithinTheHostsLimits) {
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 100000, 40000);
    ASSERT_NE(Host(hwnd), nullptr);
    int w = 0, h = 0;
    SDL_GetWindowSize(Host(hwnd), &w, &h);
    EXPECT_GE(w, 1024);
    EXPECT_LE(w, 16384);
    EXPECT_GE(h, 1024);
    EXPECT_LE(h, 16384);
    // Back to an ordinary size: the host follows exactly again.
    MoveWindow(hwnd, 0, 0, 320, 200, TRUE);
    RECT c;
    GetClientRect(hwnd, &c);
    SDL_GetWindowSize(Host(hwnd), &w, &h);
    EXPECT_EQ(w, c.right);
    EXPECT_EQ(h, c.bottom);
}

TEST_F(DummyDriverWindow, AModeChangeMakesAModeSizedPopupFullScreen) {
    HWND hwnd = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 640, 480);
    EXPECT_EQ(Flags(hwnd) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    qp::SetDisplayModeSize(640, 480);
    EXPECT_EQ(Flags(hwnd) & SDL_WINDOW_FULLSCREEN_DESKTOP, static_cast<Uint32>(SDL_WINDOW_FULLSCREEN_DESKTOP));
    qp::SetDisplayModeSize(0, 0);
    EXPECT_EQ(Flags(hwnd) & SDL_WINDOW_FULLSCREEN, 0u);
}

TEST_F(DummyDriverWindow, ForegroundAndMinimisedStateForOtherAreas) {
    HWND hwnd = MakeWindow();
    EXPECT_FALSE(qp::IsWindowForeground(hwnd));
    ShowWindow(hwnd, SW_SHOW);
    EXPECT_TRUE(qp::IsWindowForeground(hwnd));
    ShowWindow(hwnd, SW_MINIMIZE);
    EXPECT_TRUE(qp::IsWindowMinimised(hwnd));
    EXPECT_FALSE(qp::IsWindowForeground(hwnd));
    EXPECT_FALSE(qp::IsWindowForeground(nullptr));
    EXPECT_EQ(qp::SdlWindowFor(nullptr), nullptr);
    EXPECT_EQ(qp::WindowIdFor(nullptr), 0u);
}

}  // namespace
