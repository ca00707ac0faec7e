// Application window on the layer's window manager: generated class names,
// caller class descriptions, the class procedure's routing and results, the
// hidden cursor, the full-screen switch and exact client sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "FrameworkTestUtil.h"
#include "Util/Window.h"
#include "platform/Kernel.h"
#include "platform/User.h"
#include "platform/sim/Window.h"

namespace {

int ClassNumber(const CQNDXWindow& w) {
    std::smatch m;
    const std::string name = w.GetClassName();
    if (!std::regex_match(name, m, std::regex("QUENDRIX_WINDOW_([0-9]+)"))) return -1;
    return std::stoi(m[1]);
}

RECT ClientOf(HWND hwnd) {
    RECT r = {0, 0, 0, 0};
    GetClientRect(hwnd, &r);
    return r;
}

RECT OuterOf(HWND hwnd) {
    RECT r = {0, 0, 0, 0};
    GetWindowRect(hwnd, &r);
    return r;
}

// A handler whose result a test chooses, recording what reaches it.
std::vector<UINT> g_handled;
int g_handlerResult = 1;
int CALLBACK RecordingHandler(HWND, UINT msg, WPARAM, LPARAM) {
    g_handled.push_back(msg);
    return g_handlerResult;
}

std::vector<UINT> g_callerSeen;
LRESULT CALLBACK CallerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    g_callerSeen.push_back(msg);
    if (msg == WM_USER + 1) return 42;
    if (msg == WM_USER + 2) return -7;
    if (msg == WM_USER + 3) return (LRESULT)wParam + lParam;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_handled.clear();
        g_handlerResult = 1;
        g_callerSeen.clear();
    }
    static RECT Rect(int l, int t, int r, int b) {
        RECT x = {l, t, r, b};
        return x;
    }
};

TEST_F(WindowTest, ClassNamesCountUpFromOneInAFreshProcess) {
    QNDX_IN_CHILD({
        CQNDXWindow first("a");
        CQNDXWindow second("b");
        QNDX_CHILD_CHECK_EQ_STR(first.GetClassName(), "QUENDRIX_WINDOW_1");
        QNDX_CHILD_CHECK_EQ_STR(second.GetClassName(), "QUENDRIX_WINDOW_2");
    });
}

TEST_F(WindowTest, DefaultClassIsRegisteredUnderTheGeneratedNameAndGoesWithTheObject) {
    const int classesBefore = qndx::sim::ClassCount();
    int first, second;
    {
        CQNDXWindow a("a");
        CQNDXWindow b("b");
        first = ClassNumber(a);
        second = ClassNumber(b);
        EXPECT_GT(first, 0);
        EXPECT_EQ(second, first + 1);
        WNDCLASSEXA info;
        ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), a.GetClassName(), &info));
        EXPECT_EQ(info.lpfnWndProc, &CQNDXWindow::WindowProc);
        EXPECT_EQ(info.style, (UINT)(CS_HREDRAW | CS_VREDRAW));
        EXPECT_EQ(a.GetMessageHandler(), &CQNDXWindow::DefaultMessageHandler);
        EXPECT_EQ(qndx::sim::ClassCount(), classesBefore + 2);
    }
    EXPECT_EQ(qndx::sim::ClassCount(), classesBefore);
}

TEST_F(WindowTest, CallerClassWorksUnderTheGeneratedNameThroughItsOwnProcedure) {
    WNDCLASSEXA wc = {};
    wc.cbSize = 48;
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = &CallerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "CallerClass";
    CQNDXWindow w(&wc, "caller");
    // The caller's description is left as it was.
    EXPECT_STREQ(wc.lpszClassName, "CallerClass");
    EXPECT_EQ(wc.lpfnWndProc, &CallerProc);

    WNDCLASSEXA info;
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), w.GetClassName(), &info));
    EXPECT_EQ(info.lpfnWndProc, &CQNDXWindow::WindowProc);
    EXPECT_EQ(info.style, (UINT)CS_OWNDC);
    EXPECT_FALSE(GetClassInfoExA(GetModuleHandleA(nullptr), "CallerClass", &info));
    EXPECT_NE(w.GetMessageHandler(), &CQNDXWindow::DefaultMessageHandler);

    RECT r = Rect(10, 10, 330, 250);
    ASSERT_EQ(w.Create(WS_OVERLAPPEDWINDOW, &r), 1);
    HWND hwnd = w.GetHWND();
    // The caller's results come back unchanged, whatever their sign.
    EXPECT_EQ(SendMessageA(hwnd, WM_USER + 1, 0, 0), 42);
    EXPECT_EQ(SendMessageA(hwnd, WM_USER + 2, 0, 0), -7);
    EXPECT_EQ(SendMessageA(hwnd, WM_USER + 3, 5, 6), 11);
    EXPECT_EQ(std::count(g_callerSeen.begin(), g_callerSeen.end(), (UINT)(WM_USER + 1)), 1);

    // A description that already names the class procedure changes no handler.
    WNDCLASSEXA own = wc;
    own.lpfnWndProc = &CQNDXWindow::WindowProc;
    CQNDXWindow plain(&own, "plain");
    EXPECT_EQ(plain.GetMessageHandler(), &CQNDXWindow::DefaultMessageHandler);
}

TEST_F(WindowTest, CreationBindsTheObjectAndCoversTheScreenWithoutARectangle) {
    CQNDXWindow w("Title");
    EXPECT_EQ(w.IsCreated(), 0);
    ASSERT_EQ(w.CreateScreenSized(), 1);
    HWND hwnd = w.GetHWND();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(w.GetStyle(), (DWORD)WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_USERDATA), (LONG_PTR)&w);
    const RECT outer = OuterOf(hwnd);
    EXPECT_EQ(outer.left, 0);
    EXPECT_EQ(outer.top, 0);
    EXPECT_EQ(outer.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(outer.bottom, GetSystemMetrics(SM_CYSCREEN));
    char text[64] = {};
    GetWindowTextA(hwnd, text, sizeof(text));
    EXPECT_STREQ(text, "Title");
    w.SetTitle("Other");
    GetWindowTextA(hwnd, text, sizeof(text));
    EXPECT_STREQ(text, "Other");
    EXPECT_STREQ(w.GetTitle(), "Other");

    // Creating again replaces the first window rather than orphaning it.
    RECT r = Rect(5, 6, 105, 106);
    ASSERT_EQ(w.Create(WS_POPUP, &r), 1);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(qndx::sim::WindowCount(), 1);

    EXPECT_EQ(w.Destroy(), 1);
    EXPECT_EQ(w.IsCreated(), 0);
    EXPECT_EQ(w.Destroy(), 0);
    EXPECT_EQ(qndx::sim::WindowCount(), 0);
}

TEST_F(WindowTest, OperationsWithoutAWindowDoNothing) {
    CQNDXWindow w("none");
    EXPECT_EQ(w.GetIcon(), nullptr);
    EXPECT_EQ(w.SetIcon(LoadIconA(nullptr, IDI_APPLICATION)), nullptr);
    EXPECT_EQ(w.GetCursor(), nullptr);
    EXPECT_EQ(w.SetBackground(nullptr), nullptr);
    EXPECT_EQ(w.IsVisible(), 0);
    EXPECT_EQ(w.ShowWindow(SW_SHOW), 0);
    w.Show(1);
    w.Move(0, 0, 10, 10, 1);
    w.MoveToRect(nullptr, 1);
    w.SetFullScreen(1, 640, 480, 1);
    EXPECT_EQ(w.IsFullScreen(), 0);
    RECT r = Rect(1, 2, 3, 4);
    w.GetWindowRect(&r);
    EXPECT_EQ(r.left, 1);
}

TEST_F(WindowTest, ClassProcedureMapsHandlerResults) {
    CQNDXWindow w("results");
    RECT r = Rect(0, 0, 200, 200);
    ASSERT_EQ(w.Create(WS_OVERLAPPEDWINDOW, &r), 1);
    HWND hwnd = w.GetHWND();
    w.SetMessageHandler(&RecordingHandler);

    g_handlerResult = 0;
    EXPECT_EQ(SendMessageA(hwnd, WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(IsWindow(hwnd));
    g_handlerResult = -5;
    EXPECT_EQ(SendMessageA(hwnd, WM_USER, 0, 0), 1);
    EXPECT_TRUE(IsWindow(hwnd));
    // Not handled: the default procedure runs, and closes the window.
    g_handlerResult = 3;
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_GE(std::count(g_handled.begin(), g_handled.end(), (UINT)WM_DESTROY), 1);
    // The object notices the window is gone.
    EXPECT_EQ(w.Destroy(), 0);
}

TEST_F(WindowTest, DefaultHandlerPostsQuitOnCloseAndKeepsTheWindow) {
    CQNDXWindow w("close");
    RECT r = Rect(0, 0, 100, 100);
    ASSERT_EQ(w.Create(WS_OVERLAPPEDWINDOW, &r), 1);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    EXPECT_EQ(SendMessageA(w.GetHWND(), WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(IsWindow(w.GetHWND()));
    bool quit = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message == WM_QUIT) quit = true;
    EXPECT_TRUE(quit);
    EXPECT_EQ(CQNDXWindow::DefaultMessageHandler(nullptr, WM_PAINT, 0, 0), 1);
    EXPECT_EQ(CQNDXWindow::CallMessageHandler(nullptr, nullptr, WM_CLOSE, 0, 0), 1);
}

TEST_F(WindowTest, HiddenCursorAnswersSetCursorWithoutTheHandler) {
    CQNDXWindow w("cursor");
    RECT r = Rect(0, 0, 100, 100);
    ASSERT_EQ(w.Create(WS_OVERLAPPEDWINDOW, &r), 1);
    HWND hwnd = w.GetHWND();
    w.SetMessageHandler(&RecordingHandler);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }

    EXPECT_EQ(w.IsCursorShown(), 1);
    w.ShowCursor(1);  // no change: nothing posted
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message == WM_SETCURSOR);
    w.ShowCursor(0);
    EXPECT_EQ(w.IsCursorShown(), 0);
    bool posted = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
        if (msg.message == WM_SETCURSOR && msg.hwnd == hwnd) posted = true;
    }
    EXPECT_TRUE(posted);

    g_handled.clear();
    EXPECT_EQ(SendMessageA(hwnd, WM_SETCURSOR, (WPARAM)hwnd, 0), 1);
    EXPECT_TRUE(g_handled.empty());
    EXPECT_EQ(qndx::sim::CurrentCursor(), nullptr);

    w.ShowCursor(1);
    g_handlerResult = 0;
    SendMessageA(hwnd, WM_SETCURSOR, (WPARAM)hwnd, 0);
    EXPECT_EQ(g_handled, (std::vector<UINT>{WM_SETCURSOR}));
}

TEST_F(WindowTest, WindowedSwitchGivesTheAskedClientSizeCentred) {
    CQNDXWindow w("sizes");
    RECT r = Rect(0, 0, 640, 480);
    ASSERT_EQ(w.Create(WS_OVERLAPPEDWINDOW, &r), 1);
    HWND hwnd = w.GetHWND();

    w.SetFullScreen(0, 800, 600, 1);
    RECT client = ClientOf(hwnd);
    EXPECT_EQ(client.right, 800);
    EXPECT_EQ(client.bottom, 600);
    const RECT outer = OuterOf(hwnd);
    const int ow = outer.right - outer.left;
    const int oh = outer.bottom - outer.top;
    EXPECT_GT(ow, 800);
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXFULLSCREEN) - ow) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYFULLSCREEN) - oh) / 2);
    EXPECT_EQ(w.IsVisible(), 1);

    // Without centring the window stays where it is.
    w.Move(30, 40, 0, 0, 1);
    w.SetFullScreen(0, 320, 200, 0);
    client = ClientOf(hwnd);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 200);
    EXPECT_EQ(OuterOf(hwnd).left, 30);
    EXPECT_EQ(OuterOf(hwnd).top, 40);
}

TEST_F(WindowTest, FullScreenSwitchAndBackRestoresFrameAndExactClientSize) {
    CQNDXWindow w("full");
    RECT r = Rect(0, 0, 640, 480);
    ASSERT_EQ(w.Create(WS_OVERLAPPEDWINDOW, &r), 1);
    HWND hwnd = w.GetHWND();

    // A menu handle, when the window manager keeps one, is saved and restored.
    HMENU menu = (HMENU)(uintptr_t)0x4d;
    SetMenu(hwnd, menu);
    const bool keepsMenus = GetMenu(hwnd) == menu;

    w.SetFullScreen(1, 800, 600, 1);
    EXPECT_EQ(w.IsFullScreen(), 1);
    EXPECT_TRUE(GetWindowLongA(hwnd, GWL_STYLE) & WS_POPUP);
    EXPECT_FALSE(GetWindowLongA(hwnd, GWL_STYLE) & WS_CAPTION);
    EXPECT_TRUE(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetMenu(hwnd), nullptr);
    // Neither moved nor resized by the switch itself.
    EXPECT_EQ(OuterOf(hwnd).right - OuterOf(hwnd).left, 640);
    EXPECT_EQ(w.IsVisible(), 1);

    // A second switch while full screen saves nothing new.
    MoveWindow(hwnd, 0, 0, 1024, 768, TRUE);
    w.SetFullScreen(1, 1024, 768, 0);

    // Back with no size: the outer size saved by the first switch becomes the
    // client size.
    w.SetFullScreen(0, 0, 0, 0);
    EXPECT_EQ(w.IsFullScreen(), 0);
    EXPECT_TRUE(GetWindowLongA(hwnd, GWL_STYLE) & WS_CAPTION);
    EXPECT_FALSE(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_WINDOWEDGE);
    RECT client = ClientOf(hwnd);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
    if (keepsMenus) {
        EXPECT_EQ(GetMenu(hwnd), menu);
    }
    SetMenu(hwnd, nullptr);

    // From full screen straight to a given windowed size: the frame is back
    // and the client area is exactly what was asked.
    w.SetFullScreen(1, 800, 600, 0);
    w.SetFullScreen(0, 800, 600, 1);
    client = ClientOf(hwnd);
    EXPECT_EQ(client.right, 800);
    EXPECT_EQ(client.bottom, 600);
}

TEST_F(WindowTest, ClientRectangleHelperAndMoves) {
    CQNDXWindow w("helper");
    RECT r = Rect(20, 30, 420, 330);
    ASSERT_EQ(w.Create(WS_OVERLAPPEDWINDOW, &r), 1);
    HWND hwnd = w.GetHWND();
    RECT out;
    w.GetWindowRectForClient(&out, hwnd, 200, 100);
    EXPECT_EQ(out.left, 20);
    EXPECT_EQ(out.top, 30);
    MoveWindow(hwnd, out.left, out.top, out.right - out.left, out.bottom - out.top, TRUE);
    EXPECT_EQ(ClientOf(hwnd).right, 200);
    EXPECT_EQ(ClientOf(hwnd).bottom, 100);

    const RECT before = OuterOf(hwnd);
    w.Move(5, 6, 0, 0, 1);  // keeps the outer size
    RECT now;
    w.GetWindowRect(&now);
    EXPECT_EQ(now.left, 5);
    EXPECT_EQ(now.right - now.left, before.right - before.left);
    EXPECT_EQ(now.bottom - now.top, before.bottom - before.top);
    RECT target = Rect(1, 2, 301, 202);
    w.MoveToRect(&target, 1);
    w.GetWindowRect(&now);
    EXPECT_EQ(now.right, 301);
    EXPECT_EQ(now.bottom, 202);
}

TEST_F(WindowTest, SeventhArgumentFormRegistersItsValuesWithoutTitle) {
    HCURSOR cross = LoadCursorA(nullptr, IDC_CROSS);
    CQNDXWindow w(CS_DBLCLKS, nullptr, cross, nullptr, nullptr, 99, nullptr);
    EXPECT_EQ(w.GetTitle(), nullptr);
    WNDCLASSEXA info;
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), w.GetClassName(), &info));
    EXPECT_EQ(info.style, (UINT)CS_DBLCLKS);
    EXPECT_EQ(info.hCursor, cross);
    RECT r = Rect(0, 0, 50, 50);
    EXPECT_EQ(w.Create(WS_POPUP, &r), 1);
}

TEST_F(WindowTest, DumpFormat) {
    CQNDXWindow w("Dumped");
    RECT r = Rect(0, 0, 50, 50);
    ASSERT_EQ(w.Create(WS_OVERLAPPEDWINDOW, &r), 1);
    std::ostringstream os;
    w.Dump(os);
    std::ostringstream address;
    address << static_cast<const void*>(&w);
    const std::string dashes(66, '-');
    EXPECT_EQ(os.str(), dashes + "\nCQNDXWindow@" + address.str() + "\nTitle: \"Dumped\"  Class: \"" +
                            w.GetClassName() + "\"\nIsActive: 1  IsVisible: 0  IsFullScreen: 0" + dashes + "\n");
}

}  // namespace
