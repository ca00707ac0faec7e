// The input engine: creation and destruction, start-up with and without
// controllers, polling periods on the fake clock (strictly more than 50 ms
// for the keyboard and 25 ms for the mouse), acquisition of everything, and
// Esc reaching the default state and ending the main loop. Scenarios that
// replace the engine or run the loop do so in a forked child.
#include "GameStateManager.h"
#include "InputEngine/Joystick.h"
#include "InputEngine/Keyboard.h"
#include "InputEngine/Mouse.h"
#include "InputTestSupport.h"
#include "platform/DirectInput.h"
#include "platform/User.h"

using input_test::Recorder;
using namespace qndx::sim;

namespace {

// A new engine started now (on the fake clock), in place of the process's.
CQNDXInputEngine* FreshEngine() {
    CQNDXGameManager* gm = input_test::Manager();
    CQNDXInputEngine::Destroy();
    CQNDXInputEngine* engine = CQNDXInputEngine::Create(gm);
    EXPECT_NE(nullptr, engine);
    EXPECT_EQ(nullptr, engine->GetKeyboard());
    EXPECT_EQ(nullptr, engine->GetMouse());
    EXPECT_GE(engine->Init(), 0);
    return engine;
}

}  // namespace

TEST(InputEngineLife, CreateGivesOneEngineOnlyWithAGameManager) {
    EXPECT_EQ(nullptr, CQNDXInputEngine::Create(nullptr));
    CQNDXInputEngine* engine = input_test::Engine();
    ASSERT_NE(nullptr, engine);
    EXPECT_EQ(engine, CQNDXInputEngine::Create(input_test::Manager()));
    EXPECT_EQ(1, CQNDXInputEngine::IsCreated());
    QNDX_IN_CHILD({
        CQNDXInputEngine::Destroy();
        EXPECT_EQ(0, CQNDXInputEngine::IsCreated());
        CQNDXInputEngine::Destroy();  // nothing left: nothing happens
    });
}

TEST(InputEngineLife, StartUpWithoutControllers) {
    QNDX_IN_CHILD({
        input_test::StartClock();
        CQNDXInputEngine* engine = FreshEngine();
        EXPECT_NE(nullptr, engine->GetDirectInput());
        EXPECT_NE(nullptr, engine->GetKeyboard());
        EXPECT_NE(nullptr, engine->GetMouse());
        EXPECT_EQ(0u, engine->GetJoystickCount());
        EXPECT_EQ(nullptr, engine->GetJoystick(0));
        EXPECT_EQ(1, engine->GetKeyboard()->IsAttached());
    });
}

TEST(InputEngineLife, TwoControllersInEnumerationOrderEachWithItsOwnGuid) {
    QNDX_IN_CHILD({
        input_test::StartClock();
        ASSERT_GE(AttachController("First", 2, 4, 0), 0);
        ASSERT_GE(AttachController("Second", 2, 4, 0, true), 0);
        CQNDXInputEngine* engine = FreshEngine();
        ASSERT_EQ(2u, engine->GetJoystickCount());
        EXPECT_STREQ("First", engine->GetJoystick(0)->GetProductName());
        EXPECT_STREQ("Second", engine->GetJoystick(1)->GetProductName());
        EXPECT_NE(engine->GetJoystick(0)->GetGUID(), engine->GetJoystick(1)->GetGUID());
        EXPECT_EQ(1, engine->GetJoystick(1)->IsGamepad());
        EXPECT_EQ(nullptr, engine->GetJoystick(2));
        EXPECT_EQ(0, engine->GetJoystick(0)->IsEnabled());
    });
}

TEST(InputEngineLife, FailuresAtStartUp) {
    QNDX_IN_CHILD({
        input_test::StartClock();
        CQNDXGameManager* gm = input_test::Manager();
        CQNDXInputEngine::Destroy();
        FailNext("DirectInput8Create", 1, DIERR_OUTOFMEMORY);
        CQNDXInputEngine* engine = CQNDXInputEngine::Create(gm);
        EXPECT_EQ(DIERR_OUTOFMEMORY, engine->Init());
        EXPECT_EQ(nullptr, engine->GetKeyboard());
        EXPECT_EQ(-1, engine->AcquireAll());

        // A keyboard that cannot be acquired fails start-up; the mouse's
        // failure alone would not.
        CQNDXInputEngine::Destroy();
        engine = CQNDXInputEngine::Create(gm);
        FailNext("IDirectInputDevice8A::Acquire", 2 * CQNDXInputDevice::kAcquireAttempts, DIERR_OTHERAPPHASPRIO);
        EXPECT_EQ(DIERR_OTHERAPPHASPRIO, engine->Init());
        ClearFaults();
        CQNDXInputEngine::Destroy();
        engine = CQNDXInputEngine::Create(gm);
        FailNext("IDirectInputDevice8A::Acquire", CQNDXInputDevice::kAcquireAttempts, DIERR_OTHERAPPHASPRIO);
        EXPECT_GE(engine->Init(), 0);
    });
}

TEST(InputEnginePolling, KeyboardOnlyAfterMoreThanFiftyMilliseconds) {
    QNDX_IN_CHILD({
        input_test::StartClock();
        CQNDXInputEngine* engine = FreshEngine();
        Recorder rec;
        engine->GetKeyboard()->AddListener(&rec);
        InjectKey(DIK_A, true);
        AdvanceFakeTimeMs(50);
        engine->Update();
        EXPECT_TRUE(rec.calls.empty()) << "polled at exactly 50 ms";
        AdvanceFakeTimeMs(1);
        engine->Update();
        EXPECT_EQ((std::vector<std::string>{"down 30"}), rec.calls);
        // The period starts again at the poll.
        InjectKey(DIK_A, false);
        AdvanceFakeTimeMs(50);
        engine->Update();
        EXPECT_EQ(1u, rec.calls.size());
        AdvanceFakeTimeMs(1);
        engine->Update();
        EXPECT_EQ(2u, rec.calls.size());
        engine->GetKeyboard()->RemoveListener(&rec);
    });
}

TEST(InputEnginePolling, MouseOnlyAfterMoreThanTwentyFiveMilliseconds) {
    QNDX_IN_CHILD({
        input_test::StartClock();
        CQNDXInputEngine* engine = FreshEngine();
        Recorder rec;
        engine->GetMouse()->AddListener(&rec);
        InjectMouseButton(0, true);
        AdvanceFakeTimeMs(25);
        engine->Update();
        EXPECT_TRUE(rec.calls.empty()) << "polled at exactly 25 ms";
        AdvanceFakeTimeMs(1);
        engine->Update();
        EXPECT_EQ((std::vector<std::string>{"button down 0"}), rec.calls);
        engine->GetMouse()->RemoveListener(&rec);
    });
}

TEST(InputEnginePolling, DisabledKeyboardKeepsItsTimerRunning) {
    QNDX_IN_CHILD({
        input_test::StartClock();
        CQNDXInputEngine* engine = FreshEngine();
        Recorder rec;
        engine->GetKeyboard()->AddListener(&rec);
        engine->GetKeyboard()->SetEnabled(0);
        InjectKey(DIK_G, true);
        AdvanceFakeTimeMs(200);
        engine->Update();
        EXPECT_TRUE(rec.calls.empty());
        engine->GetKeyboard()->SetEnabled(1);
        engine->Update();  // no time passed, but the timer was never restarted
        EXPECT_EQ((std::vector<std::string>{"down 34"}), rec.calls);
        engine->GetKeyboard()->RemoveListener(&rec);
    });
}

TEST(InputEnginePolling, JoysticksArePolledOnceEnabled) {
    QNDX_IN_CHILD({
        input_test::StartClock();
        int id = AttachController("Polled", 2, 8, 0);
        ASSERT_GE(id, 0);
        CQNDXInputEngine* engine = FreshEngine();
        ASSERT_EQ(1u, engine->GetJoystickCount());
        CQNDXJoystick* joy = engine->GetJoystick(0);
        Recorder rec;
        joy->AddListener(&rec);
        SetControllerButton(id, 2, true);
        AdvanceFakeTimeMs(26);
        engine->Update();
        EXPECT_TRUE(rec.calls.empty());
        joy->SetEnabled(1);
        AdvanceFakeTimeMs(26);
        engine->Update();
        EXPECT_EQ(1, rec.Count("axes"));
        EXPECT_EQ(1, joy->GetButton(2));
        // AcquireAll takes in the enabled joystick; its result is the last call's.
        EXPECT_GE(engine->AcquireAll(), 0);
        EXPECT_EQ(1, rec.Count("joystick acquired"));
        EXPECT_GE(engine->UnacquireAll(), 0);
        joy->RemoveListener(&rec);
    });
}

TEST(InputEngineLoop, EscReachesTheDefaultStateAndEndsTheLoop) {
    QNDX_IN_CHILD({
        input_test::StartClock();
        CQNDXGameManager* gm = input_test::Manager();
        CQNDXInputEngine* engine = CQNDXInputEngine::Create(gm);
        ASSERT_NE(nullptr, engine);
        ASSERT_NE(nullptr, engine->GetKeyboard());
        // Whatever earlier tests left: the keyboard is acquired now, and
        // more than a period has passed when the loop starts.
        alarm(30);  // a loop that never ends fails the test instead of hanging it
        engine->AcquireAll();
        // Handled, not just taken: a paint message comes back until validated.
        MSG msg;
        for (int i = 0; i < 100 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        InjectKey(DIK_ESCAPE, true);
        AdvanceFakeTimeMs(1000);
        gm->Run();  // returns only when the loop ends
        alarm(0);
        EXPECT_EQ(1, gm->IsQuitRequested());
        EXPECT_EQ(0x80, engine->GetKeyboard()->IsKeyDown(DIK_ESCAPE));
    });
}
