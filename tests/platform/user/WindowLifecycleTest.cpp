// Window classes and the life of a window: the messages sent while it is
// created and destroyed, refusals, handle identity, and the window and class
// longs.
#include <cstring>

#include "UserTestSupport.h"
#include "platform/Kernel.h"
#include "platform/sim/Sim.h"
#include "platform/sim/Window.h"

using namespace usertest;

namespace {

class WindowLifecycle : public UserTest {};

// Seen from inside the procedure while a creation message is handled.
struct CreationView {
    void* nccreateParam = nullptr;
    void* createParam = nullptr;
    bool isWindowDuringCreate = false;
    bool isWindowDuringNcDestroy = false;
    int classNameMatches = 0;
};
CreationView g_view;

TEST_F(WindowLifecycle, CreationSendsNcCreateThenCreateWithTheCreateParameter) {
    g_view = CreationView{};
    int token = 42;
    Rec().answer = [](HWND h, UINT m, WPARAM, LPARAM l, LRESULT*) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(l);
        if (m == WM_NCCREATE) {
            g_view.nccreateParam = cs->lpCreateParams;
            g_view.classNameMatches += std::strcmp(cs->lpszClass, "QNDX_TEST_CLASS") == 0;
        }
        if (m == WM_CREATE) {
            g_view.createParam = cs->lpCreateParams;
            g_view.isWindowDuringCreate = IsWindow(h) != FALSE;
            g_view.classNameMatches += cs->cx == 300 && cs->cy == 200 && cs->x == 5 && cs->y == 6;
        }
        return false;
    };
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW, 5, 6, 300, 200, 0, &token);
    ASSERT_NE(hwnd, nullptr);

    std::vector<UINT> seen = Rec().Messages();
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0], static_cast<UINT>(WM_NCCREATE));
    EXPECT_EQ(seen[1], static_cast<UINT>(WM_CREATE));
    EXPECT_EQ(g_view.nccreateParam, &token);
    EXPECT_EQ(g_view.createParam, &token);
    EXPECT_TRUE(g_view.isWindowDuringCreate);
    EXPECT_EQ(g_view.classNameMatches, 2);
    // Every message so far went to the new window, none through the queue.
    for (const Received& r : Rec().log) EXPECT_EQ(r.hwnd, hwnd);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_NCCREATE, WM_CREATE, PM_NOREMOVE));
}

TEST_F(WindowLifecycle, DestructionSendsDestroyThenNcDestroyAndTheHandleDies) {
    HWND hwnd = MakeWindow();
    ASSERT_NE(hwnd, nullptr);
    g_view = CreationView{};
    Rec().Clear();
    Rec().answer = [](HWND h, UINT m, WPARAM, LPARAM, LRESULT*) {
        if (m == WM_NCDESTROY) g_view.isWindowDuringNcDestroy = IsWindow(h) != FALSE;
        return false;
    };
    EXPECT_TRUE(DestroyWindow(hwnd));
    std::vector<UINT> seen = Rec().Messages();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], static_cast<UINT>(WM_DESTROY));
    EXPECT_EQ(seen[1], static_cast<UINT>(WM_NCDESTROY));
    EXPECT_TRUE(g_view.isWindowDuringNcDestroy);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(ShowWindow(hwnd, SW_SHOW));
    EXPECT_EQ(qndx::sim::WindowCount(), 0);
}

TEST_F(WindowLifecycle, DestroyingAShownActiveWindowDeactivatesItFirst) {
    HWND hwnd = MakeWindow();
    ShowWindow(hwnd, SW_SHOW);
    Rec().Clear();
    DestroyWindow(hwnd);
    std::vector<UINT> seen = Rec().Messages();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], static_cast<UINT>(WM_ACTIVATE));
    EXPECT_EQ(LOWORD(Rec().log[0].wParam), WA_INACTIVE);
    EXPECT_EQ(seen[1], static_cast<UINT>(WM_DESTROY));
    EXPECT_EQ(seen[2], static_cast<UINT>(WM_NCDESTROY));
    EXPECT_EQ(GetForegroundWindow(), nullptr);
}

TEST_F(WindowLifecycle, DestroyWindowFromInsideWmDestroyDoesNotRecurse) {
    HWND hwnd = MakeWindow();
    Rec().Clear();
    Rec().answer = [](HWND h, UINT m, WPARAM, LPARAM, LRESULT*) {
        if (m == WM_DESTROY) DestroyWindow(h);
        return false;
    };
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_EQ(Rec().Of(WM_DESTROY).size(), 1u);
    EXPECT_EQ(Rec().Of(WM_NCDESTROY).size(), 1u);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(WindowLifecycle, RefusedCreationsGiveNull) {
    // Unknown class: nothing is called.
    SetLastError(0);
    EXPECT_EQ(MakeWindow(WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, 0, nullptr, "NO_SUCH_CLASS"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
    EXPECT_TRUE(Rec().log.empty());

    // WM_NCCREATE answered 0: only WM_NCDESTROY follows.
    Rec().answer = [](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
        *r = 0;
        return m == WM_NCCREATE;
    };
    EXPECT_EQ(MakeWindow(), nullptr);
    EXPECT_EQ(Rec().Messages(), (std::vector<UINT>{WM_NCCREATE, WM_NCDESTROY}));

    // WM_CREATE answered -1: the window is destroyed with its messages.
    Rec().Clear();
    Rec().answer = [](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
        *r = -1;
        return m == WM_CREATE;
    };
    EXPECT_EQ(MakeWindow(), nullptr);
    EXPECT_EQ(Rec().Messages(), (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_EQ(qndx::sim::WindowCount(), 0);

    // An injected fault.
    Rec().Clear();
    Rec().answer = nullptr;
    qndx::sim::FailNext("CreateWindowExA", 1, 1400);
    EXPECT_EQ(MakeWindow(), nullptr);
    EXPECT_TRUE(Rec().log.empty());
    EXPECT_NE(MakeWindow(), nullptr);
}

TEST_F(WindowLifecycle, HandlesAreNeverReused) {
    std::vector<HWND> seen;
    for (int i = 0; i < 20; ++i) {
        HWND h = MakeWindow();
        ASSERT_NE(h, nullptr);
        for (HWND old : seen) ASSERT_NE(h, old);
        seen.push_back(h);
        if (i % 2) DestroyWindow(h);
    }
    // Not even after the layer is reset.
    qndx::sim::Reset();
    ASSERT_NE(RegisterRecordingClass(), 0);
    HWND after = MakeWindow();
    for (HWND old : seen) EXPECT_NE(after, old);
    for (HWND old : seen) EXPECT_FALSE(IsWindow(old));
}

TEST_F(WindowLifecycle, ClassRegistryIsCaseInsensitiveAndGuardsItsClasses) {
    WNDCLASSEXA wc{};
    wc.cbSize = 48;
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "qndx_test_class";
    EXPECT_EQ(RegisterClassExA(&wc), 0);  // same name, other case
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, 0, nullptr, "Qndx_Test_Class");
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(UnregisterClassA("QNDX_TEST_CLASS", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
    DestroyWindow(hwnd);
    EXPECT_TRUE(UnregisterClassA("qndx_TEST_class", nullptr));
    EXPECT_FALSE(UnregisterClassA("QNDX_TEST_CLASS", nullptr));
    EXPECT_EQ(MakeWindow(), nullptr);
}

TEST_F(WindowLifecycle, ClassDescriptionsAreChecked) {
    WNDCLASSEXA wc{};
    wc.cbSize = 48;
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "OTHER";
    EXPECT_EQ(RegisterClassExA(nullptr), 0);
    wc.cbSize = 40;
    EXPECT_EQ(RegisterClassExA(&wc), 0);
    wc.cbSize = sizeof(WNDCLASSEXA);
    wc.lpfnWndProc = nullptr;
    EXPECT_EQ(RegisterClassExA(&wc), 0);
    wc.lpfnWndProc = RecordingProc;
    wc.cbWndExtra = -4;
    EXPECT_EQ(RegisterClassExA(&wc), 0);
    wc.cbWndExtra = 16;
    wc.lpszClassName = "";
    EXPECT_EQ(RegisterClassExA(&wc), 0);
    wc.lpszClassName = "OTHER";
    ATOM atom = RegisterClassExA(&wc);
    ASSERT_NE(atom, 0);
    EXPECT_NE(atom, RegisterRecordingClass("THIRD"));
    // A class may be named by its atom.
    HWND hwnd = CreateWindowExA(0, MAKEINTATOM(atom), "x", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    // Extra window bytes are zeroed, bounded, and hold a pointer-wide value.
    EXPECT_EQ(GetWindowLongA(hwnd, 8), 0);
    SetWindowLongA(hwnd, 8, static_cast<LONG_PTR>(0x123456789ABCLL));
    EXPECT_EQ(GetWindowLongA(hwnd, 8), static_cast<LONG_PTR>(0x123456789ABCLL));
    EXPECT_EQ(SetWindowLongA(hwnd, 12, 1), 0);  // would run past the 16 bytes
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
}

TEST_F(WindowLifecycle, WindowLongsArePointerWide) {
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW);
    static int object;
    LONG_PTR p = reinterpret_cast<LONG_PTR>(&object);
    EXPECT_EQ(SetWindowLongA(hwnd, GWL_USERDATA, p), 0);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_USERDATA), p);
    EXPECT_EQ(SetWindowLongA(hwnd, GWL_USERDATA, 7), p);

    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)), static_cast<DWORD>(WS_OVERLAPPEDWINDOW));
    ShowWindow(hwnd, SW_SHOW);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)),
              static_cast<DWORD>(WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    SetWindowLongA(hwnd, GWL_STYLE, WS_POPUP);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_STYLE), static_cast<LONG_PTR>(WS_POPUP));
    EXPECT_FALSE(IsWindowVisible(hwnd));  // the new style has no WS_VISIBLE
    SetWindowLongA(hwnd, GWL_EXSTYLE, WS_EX_TOPMOST);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_EXSTYLE), WS_EX_TOPMOST);

    EXPECT_EQ(GetWindowLongA(hwnd, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(&RecordingProc));
    EXPECT_EQ(GetWindowLongA(hwnd, -1000), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    EXPECT_EQ(GetWindowLongA(nullptr, GWL_USERDATA), 0);
}

TEST_F(WindowLifecycle, ClassLongsArePointerWideAndShared) {
    HWND a = MakeWindow();
    HWND b = MakeWindow();
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    HICON app = LoadIconA(nullptr, IDI_APPLICATION);
    EXPECT_EQ(GetClassLongA(a, GCL_HCURSOR), reinterpret_cast<ULONG_PTR>(arrow));
    EXPECT_EQ(GetClassLongA(a, GCL_HICON), reinterpret_cast<ULONG_PTR>(app));
    EXPECT_EQ(GetClassLongA(a, GCL_HICONSM), 0u);

    HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
    EXPECT_EQ(SetClassLongA(a, GCL_HCURSOR, reinterpret_cast<LONG_PTR>(wait)), reinterpret_cast<ULONG_PTR>(arrow));
    EXPECT_EQ(GetClassLongA(b, GCL_HCURSOR), reinterpret_cast<ULONG_PTR>(wait));
    LONG_PTR brush = static_cast<LONG_PTR>(0x7FFF12345678LL);
    SetClassLongA(a, GCL_HBRBACKGROUND, brush);
    EXPECT_EQ(GetClassLongA(b, GCL_HBRBACKGROUND), static_cast<ULONG_PTR>(brush));
    SetClassLongA(a, GCL_HICONSM, reinterpret_cast<LONG_PTR>(app));
    EXPECT_EQ(GetClassLongA(b, GCL_HICONSM), reinterpret_cast<ULONG_PTR>(app));
    EXPECT_EQ(GetClassLongA(nullptr, GCL_HICON), 0u);
}

TEST_F(WindowLifecycle, TitlesAreCopiedAndCutToTheBuffer) {
    HWND hwnd = MakeWindow();
    char text[8];
    EXPECT_EQ(GetWindowTextA(hwnd, text, sizeof text), 4);
    EXPECT_STREQ(text, "test");
    std::string title = "A longer title";
    SetWindowTextA(hwnd, title.c_str());
    title[0] = 'X';
    EXPECT_EQ(GetWindowTextLengthA(hwnd), 14);
    EXPECT_EQ(GetWindowTextA(hwnd, text, sizeof text), 7);
    EXPECT_STREQ(text, "A longe");
    EXPECT_EQ(GetWindowTextA(hwnd, text, 0), 0);
    SetWindowTextA(hwnd, nullptr);
    EXPECT_EQ(GetWindowTextLengthA(hwnd), 0);
}

TEST_F(WindowLifecycle, JournalRecordsEachCallOnceUnderItsOwnName) {
    qndx::sim::EnableJournal(true);
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    MoveWindow(hwnd, 1, 2, 300, 200, TRUE);
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
    SendMessageA(hwnd, WM_CLOSE, 0, 0);  // the default procedure destroys it
    EXPECT_EQ(qndx::sim::JournalCount("CreateWindowExA(QNDX_TEST_CLASS, test, "), 1);
    EXPECT_EQ(qndx::sim::JournalCount("ShowWindow("), 0);  // shown by its style, not by a call
    EXPECT_EQ(qndx::sim::JournalCount("MoveWindow("), 1);
    EXPECT_EQ(qndx::sim::JournalCount("SetWindowPos("), 1);
    EXPECT_EQ(qndx::sim::JournalCount("DestroyWindow("), 1);
    std::vector<std::string> entries = qndx::sim::JournalEntries();
    ASSERT_FALSE(entries.empty());
    EXPECT_NE(entries.back().find("DestroyWindow("), std::string::npos);
}

TEST_F(WindowLifecycle, ResetDropsWindowsAndClassesWithoutCallingProcedures) {
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    ASSERT_NE(hwnd, nullptr);
    PostMessageA(hwnd, WM_USER, 0, 0);
    PostQuitMessage(3);
    Rec().Clear();
    qndx::sim::Reset();
    EXPECT_TRUE(Rec().log.empty());
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(qndx::sim::WindowCount(), 0);
    EXPECT_EQ(qndx::sim::ClassCount(), 0);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(GetForegroundWindow(), nullptr);
}

}  // namespace
