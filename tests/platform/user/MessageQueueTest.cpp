// The message queue: retrieval order (posted messages first in first out,
// WM_QUIT after them, WM_PAINT last and until validated), filters, removal,
// dispatch, and the default procedure's answers.
#include <thread>

#include "UserTestSupport.h"
#include "platform/Kernel.h"
#include "platform/sim/Window.h"

using namespace usertest;

namespace {

class MessageQueue : public UserTest {};

TEST_F(MessageQueue, EmptyQueueAnswersAtOnce) {
    MSG msg{};
    msg.message = 0x1234;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PeekMessageA(nullptr, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueue, PostedMessagesComeFirstInFirstOutAndQuitComesAfterThem) {
    HWND hwnd = MakeWindow();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(PostMessageA(hwnd, WM_USER + 1, 11, 111));
    PostQuitMessage(7);  // posted between the others, still taken after them
    EXPECT_TRUE(PostMessageA(hwnd, WM_USER + 2, 22, 222));
    EXPECT_TRUE(PostMessageA(nullptr, WM_USER + 3, 33, 333));

    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, hwnd);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(msg.wParam, 11u);
    EXPECT_EQ(msg.lParam, 111);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 3));
    EXPECT_EQ(msg.hwnd, nullptr);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueue, NoRemoveLeavesTheMessageAndFiltersSelect) {
    HWND a = MakeWindow();
    HWND b = MakeWindow();
    PostMessageA(a, WM_USER, 1, 0);
    PostMessageA(b, WM_USER + 5, 2, 0);
    PostQuitMessage(0);

    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, 1u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, 1u);

    // By window and by range: b's message is taken out of order.
    ASSERT_TRUE(PeekMessageA(&msg, b, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER + 1, WM_USER + 10, PM_REMOVE));
    // WM_QUIT waits while a posted message matches the filter.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    // A range without WM_QUIT does not take it.
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueue, MessagesOfADestroyedWindowAreDroppedAndCannotBePosted) {
    HWND a = MakeWindow();
    HWND b = MakeWindow();
    PostMessageA(a, WM_USER, 1, 0);
    PostMessageA(b, WM_USER, 2, 0);
    PostMessageA(a, WM_USER, 3, 0);
    DestroyWindow(a);
    EXPECT_FALSE(PostMessageA(a, WM_USER, 4, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, b);
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueue, SentMessagesCallTheProcedureAtOnce) {
    HWND hwnd = MakeWindow();
    Rec().Clear();
    Rec().answer = [](HWND, UINT m, WPARAM w, LPARAM, LRESULT* r) {
        *r = static_cast<LRESULT>(w * 2);
        return m == WM_USER;
    };
    EXPECT_EQ(SendMessageA(hwnd, WM_USER, 21, 0), 42);
    ASSERT_EQ(Rec().log.size(), 1u);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(SendMessageA(reinterpret_cast<HWND>(0x1234), WM_USER, 1, 0), 0);
}

TEST_F(MessageQueue, DispatchCallsTheProcedureOfTheMessagesWindow) {
    HWND a = MakeWindow();
    HWND b = MakeWindow();
    Rec().Clear();
    PostMessageA(b, WM_USER + 9, 5, 6);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(TranslateMessage(&msg));
    DispatchMessageA(&msg);
    ASSERT_EQ(Rec().log.size(), 1u);
    EXPECT_EQ(Rec().log[0].hwnd, b);
    EXPECT_EQ(Rec().log[0].wParam, 5u);
    EXPECT_EQ(Rec().log[0].lParam, 6);
    (void)a;
    // A thread message and a null message go nowhere.
    MSG thread{};
    thread.message = WM_USER;
    EXPECT_EQ(DispatchMessageA(&thread), 0);
    EXPECT_EQ(DispatchMessageA(nullptr), 0);
    EXPECT_EQ(Rec().log.size(), 1u);
}

TEST_F(MessageQueue, PaintComesLastAndStaysUntilValidated) {
    HWND hwnd = MakeWindow();
    MSG msg;
    // Hidden windows are not painted.
    InvalidateRect(hwnd, nullptr, TRUE);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));

    ShowWindow(hwnd, SW_SHOW);
    PostMessageA(hwnd, WM_USER, 0, 0);
    PostQuitMessage(0);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
        EXPECT_EQ(msg.hwnd, hwnd);
    }
    // A partial validation leaves it pending, the whole client clears it.
    RECT part{0, 0, 10, 10};
    ValidateRect(hwnd, &part);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    RECT client;
    GetClientRect(hwnd, &client);
    ValidateRect(hwnd, &client);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));

    // The default procedure validates.
    InvalidateRect(hwnd, &part, FALSE);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    DispatchMessageA(&msg);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    // An update rectangle outside the client area makes nothing pending.
    RECT outside{5000, 5000, 5010, 5010};
    InvalidateRect(hwnd, &outside, FALSE);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueue, UpdateWindowPaintsAtOnce) {
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    Rec().Clear();
    EXPECT_TRUE(UpdateWindow(hwnd));
    EXPECT_EQ(Rec().Messages(), std::vector<UINT>{WM_PAINT});
    EXPECT_TRUE(UpdateWindow(hwnd));
    EXPECT_EQ(Rec().log.size(), 1u);
}

TEST_F(MessageQueue, GetMessageReturnsFalseForQuit) {
    HWND hwnd = MakeWindow();
    PostMessageA(hwnd, WM_USER, 0, 0);
    PostQuitMessage(5);
    MSG msg;
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.wParam, 5u);
    EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
}

TEST_F(MessageQueue, DefaultProcedureAnswers) {
    HWND hwnd = MakeWindow();
    EXPECT_EQ(DefWindowProcA(hwnd, WM_NCCREATE, 0, 0), TRUE);
    EXPECT_EQ(DefWindowProcA(hwnd, WM_USER, 1, 2), 0);
    EXPECT_EQ(DefWindowProcA(hwnd, WM_CREATE, 0, 0), 0);

    // WM_SETCURSOR shows the class cursor.
    HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
    SetClassLongA(hwnd, GCL_HCURSOR, reinterpret_cast<LONG_PTR>(wait));
    SetCursor(nullptr);
    DefWindowProcA(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), wait);

    // WM_CLOSE destroys the window; WM_SYSCOMMAND SC_CLOSE goes through WM_CLOSE.
    Rec().Clear();
    EXPECT_EQ(DefWindowProcA(hwnd, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(Rec().Messages(), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    HWND other = MakeWindow();
    Rec().Clear();
    SendMessageA(other, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(Rec().Messages(), (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_EQ(DefWindowProcA(other, WM_CLOSE, 0, 0), 0);  // a dead handle is answered, not followed
}

TEST_F(MessageQueue, PostingFromAnotherThreadIsSafe) {
    HWND hwnd = MakeWindow();
    constexpr int kEach = 500;
    std::thread poster([&] {
        for (int i = 0; i < kEach; ++i) PostMessageA(hwnd, WM_USER, static_cast<WPARAM>(i), 0);
    });
    int taken = 0;
    WPARAM expected = 0;
    MSG msg;
    while (taken < kEach) {
        // Windows come and go on this thread meanwhile.
        DestroyWindow(MakeWindow());
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ASSERT_EQ(msg.wParam, expected);
            ++expected;
            ++taken;
        }
    }
    poster.join();
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

}  // namespace
