// Host window events as the program sees them: focus and minimise become
// WM_ACTIVATE with the right LOWORD and HIWORD, close becomes WM_CLOSE that
// the default procedure turns into destruction, exposure makes WM_PAINT
// pending; and input events reach the input listener in order, never lost.
#include <SDL.h>

#include "UserTestSupport.h"
#include "platform/sim/Window.h"
#include "sdl/InputEvents.h"
#include "platform/sim/Sim.h"
#include "user/WindowQueries.h"

using namespace usertest;
namespace qp = qndx::platform;

namespace {

// The engine's reading of WM_ACTIVATE: active when activated and not minimised.
int g_engineActive = 1;

class WindowEvents : public UserTest {
protected:
    void SetUp() override {
        UserTest::SetUp();
        g_engineActive = 1;
        Rec().answer = [](HWND, UINT m, WPARAM w, LPARAM, LRESULT*) {
            if (m == WM_ACTIVATE) g_engineActive = LOWORD(w) != 0 && HIWORD(w) == 0;
            return false;
        };
    }
    std::vector<Received> Activations() const { return Rec().Of(WM_ACTIVATE); }
};

TEST_F(WindowEvents, ShowingActivatesOnce) {
    HWND hwnd = MakeWindow();
    Rec().Clear();
    ShowWindow(hwnd, SW_SHOW);
    ASSERT_EQ(Activations().size(), 1u);
    EXPECT_EQ(LOWORD(Activations()[0].wParam), WA_ACTIVE);
    EXPECT_EQ(HIWORD(Activations()[0].wParam), 0);
    EXPECT_EQ(GetForegroundWindow(), hwnd);
    EXPECT_TRUE(qp::IsWindowForeground(hwnd));
    ShowWindow(hwnd, SW_SHOW);
    EXPECT_EQ(Activations().size(), 1u);
    // Showing without activation leaves the foreground alone.
    HWND quiet = MakeWindow();
    ShowWindow(quiet, SW_SHOWNA);
    EXPECT_EQ(GetForegroundWindow(), hwnd);
}

TEST_F(WindowEvents, FocusLostAndGainedMapToInactiveAndActive) {
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    Rec().Clear();
    ASSERT_TRUE(qndx::sim::InjectFocus(hwnd, false));
    EXPECT_TRUE(Activations().empty());  // handled by the pump, not at injection
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    ASSERT_EQ(Activations().size(), 1u);
    EXPECT_EQ(Activations()[0].wParam, static_cast<WPARAM>(MAKEWPARAM(WA_INACTIVE, 0)));
    EXPECT_EQ(g_engineActive, 0);
    EXPECT_EQ(GetForegroundWindow(), nullptr);

    qndx::sim::InjectFocus(hwnd, false);  // repeated: nothing new
    qndx::sim::PumpWindowEvents();
    EXPECT_EQ(Activations().size(), 1u);

    qndx::sim::InjectFocus(hwnd, true);
    qndx::sim::PumpWindowEvents();
    ASSERT_EQ(Activations().size(), 2u);
    EXPECT_EQ(Activations()[1].wParam, static_cast<WPARAM>(MAKEWPARAM(WA_ACTIVE, 0)));
    EXPECT_EQ(g_engineActive, 1);
    EXPECT_EQ(GetForegroundWindow(), hwnd);
}

TEST_F(WindowEvents, MinimiseAndRestoreReportTheMinimisedFlag) {
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    Rec().Clear();
    qndx::sim::InjectMinimise(hwnd, true);
    qndx::sim::PumpWindowEvents();
    ASSERT_EQ(Activations().size(), 1u);
    EXPECT_EQ(LOWORD(Activations()[0].wParam), WA_INACTIVE);
    EXPECT_NE(HIWORD(Activations()[0].wParam), 0);
    EXPECT_EQ(g_engineActive, 0);
    EXPECT_TRUE(IsIconic(hwnd));
    EXPECT_TRUE(qp::IsWindowMinimised(hwnd));
    ASSERT_FALSE(Rec().Of(WM_SIZE).empty());
    EXPECT_EQ(Rec().Of(WM_SIZE).back().wParam, static_cast<WPARAM>(SIZE_MINIMIZED));
    EXPECT_NE(static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)) & WS_MINIMIZE, 0u);

    // Focus while still minimised: active, but the engine stays paused.
    qndx::sim::InjectFocus(hwnd, true);
    qndx::sim::PumpWindowEvents();
    ASSERT_EQ(Activations().size(), 2u);
    EXPECT_EQ(LOWORD(Activations()[1].wParam), WA_ACTIVE);
    EXPECT_NE(HIWORD(Activations()[1].wParam), 0);
    EXPECT_EQ(g_engineActive, 0);

    // Restore: active and no longer minimised, although the window was
    // already the active one.
    qndx::sim::InjectMinimise(hwnd, false);
    qndx::sim::PumpWindowEvents();
    ASSERT_EQ(Activations().size(), 3u);
    EXPECT_EQ(Activations()[2].wParam, static_cast<WPARAM>(MAKEWPARAM(WA_ACTIVE, 0)));
    EXPECT_EQ(g_engineActive, 1);
    EXPECT_FALSE(IsIconic(hwnd));
    EXPECT_EQ(Rec().Of(WM_SIZE).back().wParam, static_cast<WPARAM>(SIZE_RESTORED));
}

TEST_F(WindowEvents, ShowWindowMinimiseAndRestoreMatchTheHostEvents) {
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    ShowWindow(hwnd, SW_MINIMIZE);
    EXPECT_EQ(g_engineActive, 0);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    qndx::sim::InjectMinimise(hwnd, true);  // the host confirming it changes nothing
    size_t before = Activations().size();
    qndx::sim::PumpWindowEvents();
    EXPECT_EQ(Activations().size(), before);
    ShowWindow(hwnd, SW_RESTORE);
    EXPECT_EQ(g_engineActive, 1);
    EXPECT_EQ(GetForegroundWindow(), hwnd);
}

TEST_F(WindowEvents, ActivatingAnotherWindowDeactivatesTheFirst) {
    HWND a = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND b = MakeWindow();
    Rec().Clear();
    ShowWindow(b, SW_SHOW);
    std::vector<Received> acts = Activations();
    ASSERT_EQ(acts.size(), 2u);
    EXPECT_EQ(acts[0].hwnd, a);
    EXPECT_EQ(LOWORD(acts[0].wParam), WA_INACTIVE);
    EXPECT_EQ(acts[0].lParam, reinterpret_cast<LPARAM>(b));
    EXPECT_EQ(acts[1].hwnd, b);
    EXPECT_EQ(LOWORD(acts[1].wParam), WA_ACTIVE);
    EXPECT_EQ(acts[1].lParam, reinterpret_cast<LPARAM>(a));
    // Hiding the active window leaves none active.
    ShowWindow(b, SW_HIDE);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    EXPECT_EQ(LOWORD(Activations().back().wParam), WA_INACTIVE);
}

TEST_F(WindowEvents, CloseBecomesWmCloseAndTheDefaultProcedureDestroys) {
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    // Like the engine: the destroy message posts the quit message.
    Rec().answer = [](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (m == WM_DESTROY) {
            PostQuitMessage(0);
            *r = 0;
            return true;
        }
        return false;
    };
    ASSERT_TRUE(qndx::sim::InjectClose(hwnd));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    // A paint may be pending too, but the posted close comes first.
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(msg.hwnd, hwnd);
    EXPECT_TRUE(IsWindow(hwnd));
    Rec().Clear();
    DispatchMessageA(&msg);
    EXPECT_FALSE(IsWindow(hwnd));
    std::vector<UINT> seen = Rec().Messages();
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen[0], static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(seen[seen.size() - 2], static_cast<UINT>(WM_DESTROY));
    EXPECT_EQ(seen.back(), static_cast<UINT>(WM_NCDESTROY));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
}

TEST_F(WindowEvents, ExposureMakesPaintPending) {
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    PumpAll();  // the first paint, validated by the default procedure
    MSG msg;
    ASSERT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    ASSERT_TRUE(qndx::sim::InjectExpose(hwnd));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    EXPECT_EQ(msg.hwnd, hwnd);
}

TEST_F(WindowEvents, InjectionNeedsALiveWindow) {
    HWND hwnd = MakeWindow();
    DestroyWindow(hwnd);
    EXPECT_FALSE(qndx::sim::InjectFocus(hwnd, true));
    EXPECT_FALSE(qndx::sim::InjectClose(nullptr));
}

TEST_F(WindowEvents, DesktopQuitRequestClosesEveryWindow) {
    HWND a = MakeWindow();
    HWND b = MakeWindow();
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    qp::QueueSdlEvent(quit);
    MSG msg;
    std::vector<HWND> closed;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message == WM_CLOSE) closed.push_back(msg.hwnd);
    EXPECT_EQ(closed, (std::vector<HWND>{a, b}));
}

// ---------------------------------------------------------------------------
// The input listener.

struct Collector : qp::InputEventListener {
    std::vector<SDL_Event> events;
    void OnSdlEvent(const SDL_Event& e) override { events.push_back(e); }
};

SDL_Event Key(SDL_Scancode code, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.keysym.scancode = code;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    return e;
}

class InputHandOver : public WindowEvents {
protected:
    void TearDown() override {
        qp::SetInputEventListener(nullptr);
        WindowEvents::TearDown();
    }
};

TEST_F(InputHandOver, EventsWaitForAListenerAndKeepTheirOrder) {
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    qp::SetInputEventListener(nullptr);
    qp::QueueSdlEvent(Key(SDL_SCANCODE_A, true));
    ASSERT_TRUE(qndx::sim::InjectFocus(hwnd, false));
    qp::QueueSdlEvent(Key(SDL_SCANCODE_A, false));
    SDL_Event wheel{};
    wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.y = -2;
    qp::QueueSdlEvent(wheel);
    SDL_Event ignored{};
    ignored.type = SDL_USEREVENT;
    qp::QueueSdlEvent(ignored);
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);

    Collector collector;
    qp::SetInputEventListener(&collector);
    EXPECT_EQ(qp::GetInputEventListener(), &collector);
    // Showing the window at its creation made it the foreground window first.
    ASSERT_EQ(collector.events.size(), 5u);
    EXPECT_EQ(collector.events[0].type, static_cast<Uint32>(SDL_WINDOWEVENT));
    EXPECT_EQ(collector.events[0].window.event, SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_EQ(collector.events[1].type, static_cast<Uint32>(SDL_KEYDOWN));
    EXPECT_EQ(collector.events[2].type, static_cast<Uint32>(SDL_WINDOWEVENT));
    EXPECT_EQ(collector.events[2].window.event, SDL_WINDOWEVENT_FOCUS_LOST);
    EXPECT_EQ(qp::HwndForWindowId(collector.events[2].window.windowID), hwnd);
    EXPECT_EQ(collector.events[3].type, static_cast<Uint32>(SDL_KEYUP));
    EXPECT_EQ(collector.events[4].type, static_cast<Uint32>(SDL_MOUSEWHEEL));
    EXPECT_EQ(collector.events[4].wheel.y, -2);

    // With a listener set, events go straight through, focus changes included.
    collector.events.clear();
    ShowWindow(hwnd, SW_SHOW);  // visible already: activates it again
    SetForegroundWindow(hwnd);
    qp::QueueSdlEvent(Key(SDL_SCANCODE_ESCAPE, true));
    qndx::sim::PumpWindowEvents();
    ASSERT_EQ(collector.events.size(), 2u);
    EXPECT_EQ(collector.events[0].window.event, SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_EQ(collector.events[0].window.windowID, qp::WindowIdFor(hwnd));
    EXPECT_EQ(collector.events[1].key.keysym.scancode, SDL_SCANCODE_ESCAPE);
}

TEST_F(InputHandOver, PeekMessageReadsSdlsOwnQueue) {
    // Events that SDL itself holds (not injected through the sim panel) are
    // read by the pump inside PeekMessageA: window events become messages,
    // input events reach the listener, in SDL's order.
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    Collector collector;
    qp::SetInputEventListener(&collector);
    collector.events.clear();
    SDL_Event down = Key(SDL_SCANCODE_F, true);
    ASSERT_EQ(SDL_PushEvent(&down), 1);
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.windowID = qp::WindowIdFor(hwnd);
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    ASSERT_EQ(SDL_PushEvent(&close), 1);
    SDL_Event up = Key(SDL_SCANCODE_F, false);
    ASSERT_EQ(SDL_PushEvent(&up), 1);

    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(msg.hwnd, hwnd);
    ASSERT_EQ(collector.events.size(), 2u);
    EXPECT_EQ(collector.events[0].type, static_cast<Uint32>(SDL_KEYDOWN));
    EXPECT_EQ(collector.events[1].type, static_cast<Uint32>(SDL_KEYUP));
    EXPECT_EQ(collector.events[1].key.keysym.scancode, SDL_SCANCODE_F);
    // Taken once: SDL's queue is empty now.
    EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT), 0);
}

TEST_F(InputHandOver, NothingIsLostInALongBurst) {
    qp::SetInputEventListener(nullptr);
    constexpr int kBurst = 5000;
    for (int i = 0; i < kBurst; ++i) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.xrel = i;
        qp::QueueSdlEvent(e);
    }
    qndx::sim::PumpWindowEvents();
    Collector collector;
    qp::SetInputEventListener(&collector);
    ASSERT_EQ(collector.events.size(), static_cast<size_t>(kBurst));
    for (int i = 0; i < kBurst; ++i) ASSERT_EQ(collector.events[i].motion.xrel, i);
}

TEST_F(InputHandOver, ResetDropsEventsStillWaiting) {
    qp::SetInputEventListener(nullptr);
    qp::QueueSdlEvent(Key(SDL_SCANCODE_B, true));
    qndx::sim::PumpWindowEvents();
    qndx::sim::Reset();
    Collector collector;
    qp::SetInputEventListener(&collector);
    EXPECT_TRUE(collector.events.empty());
}

}  // namespace
