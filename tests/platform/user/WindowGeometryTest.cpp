// Window and client rectangles: the client area asked for through
// AdjustWindowRectEx is exactly the one reported for every style, a changed
// style takes effect at SWP_FRAMECHANGED, and moves and resizes report
// WM_SIZE and WM_MOVE.
#include "UserTestSupport.h"
#include "platform/sim/Window.h"

using namespace usertest;

namespace {

class WindowGeometry : public UserTest {};

struct StyleCase {
    DWORD style;
    DWORD exStyle;
    bool menu;
};

RECT ClientOf(HWND hwnd) {
    RECT r{-1, -1, -1, -1};
    GetClientRect(hwnd, &r);
    return r;
}

RECT OuterOf(HWND hwnd) {
    RECT r{-1, -1, -1, -1};
    GetWindowRect(hwnd, &r);
    return r;
}

POINT ClientOrigin(HWND hwnd) {
    POINT p{0, 0};
    ClientToScreen(hwnd, &p);
    return p;
}

TEST_F(WindowGeometry, ClientAreaIsExactlyWhatAdjustWindowRectExAskedFor) {
    const StyleCase cases[] = {
        {static_cast<DWORD>(WS_OVERLAPPEDWINDOW), 0, false},
        {static_cast<DWORD>(WS_OVERLAPPEDWINDOW), WS_EX_WINDOWEDGE, false},
        {static_cast<DWORD>(WS_OVERLAPPEDWINDOW), WS_EX_CLIENTEDGE, false},
        {static_cast<DWORD>(WS_OVERLAPPEDWINDOW), 0, true},
        {WS_POPUP, 0, false},
        {WS_POPUP, WS_EX_TOPMOST, false},
        {static_cast<DWORD>(WS_POPUPWINDOW), 0, false},
        {static_cast<DWORD>(WS_CAPTION | WS_SYSMENU), 0, false},
        {static_cast<DWORD>(WS_POPUP | WS_DLGFRAME), WS_EX_STATICEDGE, false},
    };
    const SIZE sizes[] = {{800, 600}, {640, 480}, {333, 77}, {1, 1}};
    HMENU fakeMenu = reinterpret_cast<HMENU>(static_cast<uintptr_t>(0x5150));
    for (const StyleCase& c : cases) {
        for (const SIZE& s : sizes) {
            RECT r{0, 0, s.cx, s.cy};
            ASSERT_TRUE(AdjustWindowRectEx(&r, c.style, c.menu, c.exStyle));
            EXPECT_LE(r.left, 0);
            EXPECT_LE(r.top, 0);
            HWND hwnd = CreateWindowExA(c.exStyle, "QNDX_TEST_CLASS", "g", c.style, 100, 50, r.right - r.left,
                                        r.bottom - r.top, nullptr, c.menu ? fakeMenu : nullptr, nullptr, nullptr);
            ASSERT_NE(hwnd, nullptr);
            RECT client = ClientOf(hwnd);
            EXPECT_EQ(client.left, 0);
            EXPECT_EQ(client.top, 0);
            EXPECT_EQ(client.right, s.cx) << "style " << std::hex << c.style << " ex " << c.exStyle;
            EXPECT_EQ(client.bottom, s.cy) << "style " << std::hex << c.style << " ex " << c.exStyle;
            POINT origin = ClientOrigin(hwnd);
            EXPECT_EQ(origin.x, 100 - r.left);
            EXPECT_EQ(origin.y, 50 - r.top);
            RECT outer = OuterOf(hwnd);
            EXPECT_EQ(outer.left, 100);
            EXPECT_EQ(outer.top, 50);
            EXPECT_EQ(outer.right - outer.left, r.right - r.left);
            DestroyWindow(hwnd);
        }
    }
}

TEST_F(WindowGeometry, FramedAndPopupFramesDiffer) {
    RECT framed{0, 0, 800, 600};
    AdjustWindowRectEx(&framed, WS_OVERLAPPEDWINDOW, FALSE, 0);
    EXPECT_GT(framed.right - framed.left, 800);
    EXPECT_GT(-framed.top, framed.bottom - 600);  // the caption is on top
    EXPECT_EQ(-framed.left, framed.right - 800);   // sides alike
    RECT popup{0, 0, 800, 600};
    AdjustWindowRectEx(&popup, WS_POPUP, FALSE, WS_EX_TOPMOST);
    EXPECT_EQ(popup.left, 0);
    EXPECT_EQ(popup.top, 0);
    EXPECT_EQ(popup.right, 800);
    EXPECT_EQ(popup.bottom, 600);
    RECT menu{0, 0, 800, 600};
    AdjustWindowRectEx(&menu, WS_OVERLAPPEDWINDOW, TRUE, 0);
    EXPECT_LT(menu.top, framed.top);
    EXPECT_FALSE(AdjustWindowRectEx(nullptr, WS_POPUP, FALSE, 0));
}

TEST_F(WindowGeometry, AStyleChangeTakesEffectAtFrameChanged) {
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW, 0, 0, 816, 639);
    RECT before = ClientOf(hwnd);
    SetWindowLongA(hwnd, GWL_STYLE, WS_POPUP);
    // The frame is cached until the frame-changed notice.
    RECT cached = ClientOf(hwnd);
    EXPECT_EQ(cached.right, before.right);
    EXPECT_EQ(cached.bottom, before.bottom);
    Rec().Clear();
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
    RECT popup = ClientOf(hwnd);
    EXPECT_EQ(popup.right, 816);
    EXPECT_EQ(popup.bottom, 639);
    ASSERT_EQ(Rec().Of(WM_SIZE).size(), 1u);
    EXPECT_EQ(Rec().Of(WM_SIZE)[0].lParam, MAKELPARAM(816, 639));
    EXPECT_EQ(OuterOf(hwnd).right, 816);  // neither moved nor resized

    SetWindowLongA(hwnd, GWL_STYLE, WS_OVERLAPPEDWINDOW);
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
    RECT back = ClientOf(hwnd);
    EXPECT_EQ(back.right, before.right);
    EXPECT_EQ(back.bottom, before.bottom);
}

// The engine's switch to a windowed display: hide, restore the framed style,
// size the outer rectangle for the client size from the current window and
// client rectangles, apply the frame, centre in the full-screen client area.
void SwitchToWindowed(HWND hwnd, int width, int height) {
    ShowWindow(hwnd, SW_HIDE);
    SetWindowLongA(hwnd, GWL_STYLE, WS_OVERLAPPEDWINDOW);
    SetWindowLongA(hwnd, GWL_EXSTYLE, WS_EX_WINDOWEDGE);
    RECT w, c;
    GetWindowRect(hwnd, &w);
    GetClientRect(hwnd, &c);
    RECT r{w.left, w.top, w.right - (c.right - width), w.bottom - (c.bottom - height)};
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
    int rw = r.right - r.left, rh = r.bottom - r.top;
    MoveWindow(hwnd, (GetSystemMetrics(SM_CXFULLSCREEN) - rw) / 2, (GetSystemMetrics(SM_CYFULLSCREEN) - rh) / 2, rw,
               rh, TRUE);
    ShowWindow(hwnd, SW_SHOW);
}

// The engine's switch to full screen: borderless topmost, menu removed, not moved.
void SwitchToFullScreen(HWND hwnd) {
    ShowWindow(hwnd, SW_HIDE);
    SetWindowLongA(hwnd, GWL_STYLE, WS_POPUP);
    SetWindowLongA(hwnd, GWL_EXSTYLE, WS_EX_TOPMOST);
    SetMenu(hwnd, nullptr);
    ShowWindow(hwnd, SW_SHOW);
}

TEST_F(WindowGeometry, TheEnginesWindowedSwitchGivesTheExactClientArea) {
    // The window starts as large as the screen.
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    ShowWindow(hwnd, SW_SHOW);
    SwitchToWindowed(hwnd, 800, 600);
    RECT c = ClientOf(hwnd);
    EXPECT_EQ(c.right, 800);
    EXPECT_EQ(c.bottom, 600);
    RECT w = OuterOf(hwnd);
    EXPECT_EQ(w.left, (GetSystemMetrics(SM_CXFULLSCREEN) - (w.right - w.left)) / 2);
    EXPECT_EQ(w.top, (GetSystemMetrics(SM_CYFULLSCREEN) - (w.bottom - w.top)) / 2);
    EXPECT_TRUE(IsWindowVisible(hwnd));

    // Full screen and back keeps the client size.
    SwitchToFullScreen(hwnd);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE)), static_cast<DWORD>(WS_EX_TOPMOST));
    SwitchToWindowed(hwnd, 800, 600);
    c = ClientOf(hwnd);
    EXPECT_EQ(c.right, 800);
    EXPECT_EQ(c.bottom, 600);
    SwitchToWindowed(hwnd, 640, 480);
    c = ClientOf(hwnd);
    EXPECT_EQ(c.right, 640);
    EXPECT_EQ(c.bottom, 480);
}

TEST_F(WindowGeometry, MovesAndResizesReportSizeAndMove) {
    HWND hwnd = MakeWindow(WS_POPUP, 10, 20, 300, 200);
    Rec().Clear();
    MoveWindow(hwnd, 30, 40, 300, 200, TRUE);
    EXPECT_TRUE(Rec().Of(WM_SIZE).empty());
    ASSERT_EQ(Rec().Of(WM_MOVE).size(), 1u);
    EXPECT_EQ(Rec().Of(WM_MOVE)[0].lParam, MAKELPARAM(30, 40));
    Rec().Clear();
    SetWindowPos(hwnd, nullptr, 0, 0, 320, 240, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_EQ(Rec().Of(WM_SIZE).size(), 1u);
    EXPECT_EQ(Rec().Of(WM_SIZE)[0].lParam, MAKELPARAM(320, 240));
    EXPECT_TRUE(Rec().Of(WM_MOVE).empty());
    RECT outer = OuterOf(hwnd);
    EXPECT_EQ(outer.left, 30);
    EXPECT_EQ(outer.top, 40);
    EXPECT_EQ(outer.right, 350);
    EXPECT_EQ(outer.bottom, 280);
    // Nothing changes: nothing reported.
    Rec().Clear();
    MoveWindow(hwnd, 30, 40, 320, 240, TRUE);
    EXPECT_TRUE(Rec().log.empty());
    // Sizes below zero count as zero; a frame larger than the window leaves
    // an empty client area, never an inverted one.
    SetWindowPos(hwnd, nullptr, 0, 0, -5, -5, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(ClientOf(hwnd).right, 0);
    HWND framed = MakeWindow(WS_OVERLAPPEDWINDOW, 0, 0, 4, 4);
    RECT tiny = ClientOf(framed);
    EXPECT_EQ(tiny.right, 0);
    EXPECT_EQ(tiny.bottom, 0);
}

TEST_F(WindowGeometry, ExtremePositionsAndSizesKeepConsistentRectangles) {
    // Each rectangle must stay ordered and the client area inside the outer
    // one; sums near the int limits must not wrap.
    auto check = [](HWND hwnd, bool roomForTheFrame = true) {
        RECT outer = OuterOf(hwnd), client = ClientOf(hwnd);
        POINT origin = ClientOrigin(hwnd);
        EXPECT_LE(outer.left, outer.right);
        EXPECT_LE(outer.top, outer.bottom);
        EXPECT_GE(client.right, 0);
        EXPECT_GE(client.bottom, 0);
        if (!roomForTheFrame) return;
        EXPECT_GE(origin.x, outer.left);
        EXPECT_GE(origin.y, outer.top);
        EXPECT_LE(origin.x + client.right, outer.right);
        EXPECT_LE(origin.y + client.bottom, outer.bottom);
    };
    const int kMax = 0x7FFFFFFF;
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW, kMax - 100, kMax - 100, kMax, kMax);
    ASSERT_NE(hwnd, nullptr);
    check(hwnd);
    EXPECT_GT(ClientOf(hwnd).right, 1024);  // still larger than any screen
    MoveWindow(hwnd, -kMax, -kMax, kMax, kMax, TRUE);
    check(hwnd);
    SetWindowPos(hwnd, nullptr, kMax, kMax, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    check(hwnd);
    SetWindowPos(hwnd, nullptr, 0, 0, -kMax - 1, kMax, SWP_NOMOVE | SWP_NOZORDER);
    check(hwnd, false);
    EXPECT_EQ(ClientOf(hwnd).right, 0);
    // An ordinary move afterwards behaves normally.
    MoveWindow(hwnd, 10, 20, 300, 200, TRUE);
    EXPECT_EQ(OuterOf(hwnd).left, 10);
    EXPECT_EQ(OuterOf(hwnd).right, 310);
    EXPECT_EQ(OuterOf(hwnd).bottom, 220);
}

TEST_F(WindowGeometry, ZOrderFlagsSetTopmost) {
    HWND hwnd = MakeWindow(WS_POPUP);
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_NE(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_NE(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    // SWP_SHOWWINDOW shows and activates.
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_EQ(GetForegroundWindow(), hwnd);
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_HIDEWINDOW);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_EQ(GetForegroundWindow(), nullptr);
}

TEST_F(WindowGeometry, AMenuTakesItsBarFromTheClientArea) {
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW, 0, 0, 500, 400);
    RECT before = ClientOf(hwnd);
    HMENU menu = reinterpret_cast<HMENU>(static_cast<uintptr_t>(0x7770));
    EXPECT_TRUE(SetMenu(hwnd, menu));
    EXPECT_EQ(GetMenu(hwnd), menu);
    RECT with = ClientOf(hwnd);
    EXPECT_EQ(with.right, before.right);
    EXPECT_EQ(with.bottom, before.bottom - GetSystemMetrics(SM_CYMENU));
    EXPECT_EQ(OuterOf(hwnd).bottom, 400);
    SetMenu(hwnd, nullptr);
    EXPECT_EQ(ClientOf(hwnd).bottom, before.bottom);
    EXPECT_EQ(GetMenu(nullptr), nullptr);
}

TEST_F(WindowGeometry, ScreenAndClientPointsConvertBothWays) {
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW, 70, 90, 400, 300);
    POINT p{5, 6};
    ClientToScreen(hwnd, &p);
    POINT origin = ClientOrigin(hwnd);
    EXPECT_EQ(p.x, origin.x + 5);
    EXPECT_EQ(p.y, origin.y + 6);
    ScreenToClient(hwnd, &p);
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 6);
    EXPECT_FALSE(ClientToScreen(hwnd, nullptr));
    EXPECT_FALSE(GetClientRect(hwnd, nullptr));
    RECT r;
    EXPECT_FALSE(GetWindowRect(nullptr, &r));
}

}  // namespace
