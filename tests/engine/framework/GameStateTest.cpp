// Game-state manager without a running game manager: the target rule, the
// flags that gate each event kind, SetCurrentState bounds, removal, and
// states that the application deletes while they are still in a table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DefaultGameState.h"
#include "GameState.h"
#include "GameStateManager.h"

namespace {

// Records every call it receives as "name" or "name(args)".
class RecordingState : public CQNDXGameState {
public:
    explicit RecordingState(std::vector<std::string>* calls, const char* tag = "")
        : m_calls(calls), m_tag(tag) {}
    ~RecordingState() override { Note("destroyed"); }

    void OnKeyDown(int key) override { Note("OnKeyDown(" + std::to_string(key) + ")"); }
    void OnKeyUp(int key) override { Note("OnKeyUp(" + std::to_string(key) + ")"); }
    void OnKeyboardReacquired() override { Note("OnKeyboardReacquired"); }
    void Initialize() override { Note("Initialize"); }
    void OnActivate() override { Note("OnActivate"); }
    void OnDeactivate() override { Note("OnDeactivate"); }
    void Release() override { Note("Release"); }
    int Render() override {
        Note("Render");
        return 0;
    }
    int OnWindowMessage(HWND, UINT msg, WPARAM, LPARAM) override {
        Note("OnWindowMessage(" + std::to_string(msg) + ")");
        return windowResult;
    }
    void OnMouseMove(int x, int y, int z) override { Note("OnMouseMove"); }
    void OnMouseRawMove(int x, int y, int z) override { Note("OnMouseRawMove"); }
    void OnMouseButtonDown(int b) override { Note("OnMouseButtonDown(" + std::to_string(b) + ")"); }
    void OnMouseButtonUp(int b) override { Note("OnMouseButtonUp"); }
    void OnMouseReacquired() override { Note("OnMouseReacquired"); }
    void OnJoystickAxes(CQNDXJoystick*, LONG x, LONG, LONG) override { Note("Axes(" + std::to_string(x) + ")"); }
    void OnJoystickRotation(CQNDXJoystick*, LONG, LONG, LONG) override { Note("Rotation"); }
    void OnJoystickSliders(CQNDXJoystick*, const LONG s[2]) override { Note("Sliders(" + std::to_string(s[1]) + ")"); }
    void OnJoystickPOV(CQNDXJoystick*, const DWORD p[4]) override { Note("POV(" + std::to_string(p[3]) + ")"); }
    void OnJoystickButtonUp(CQNDXJoystick*, int) override { Note("ButtonUp"); }
    void OnJoystickButtonDown(CQNDXJoystick*, int) override { Note("ButtonDown"); }
    void OnJoystickVelocity(CQNDXJoystick*, LONG, LONG, LONG) override { Note("Velocity"); }
    void OnJoystickAngularVelocity(CQNDXJoystick*, LONG, LONG, LONG) override { Note("AngularVelocity"); }
    void OnJoystickVelocitySliders(CQNDXJoystick*, const LONG[2]) override { Note("VelocitySliders"); }
    void OnJoystickAcceleration(CQNDXJoystick*, LONG, LONG, LONG) override { Note("Acceleration"); }
    void OnJoystickAngularAcceleration(CQNDXJoystick*, LONG, LONG, LONG) override { Note("AngularAcceleration"); }
    void OnJoystickAccelerationSliders(CQNDXJoystick*, const LONG[2]) override { Note("AccelerationSliders"); }
    void OnJoystickForce(CQNDXJoystick*, LONG, LONG, LONG) override { Note("Force"); }
    void OnJoystickTorque(CQNDXJoystick*, LONG, LONG, LONG) override { Note("Torque"); }
    void OnJoystickForceSliders(CQNDXJoystick*, const LONG[2]) override { Note("ForceSliders"); }
    void OnJoystickAcquired(CQNDXJoystick*) override { Note("Acquired"); }

    int windowResult = 1;

private:
    void Note(const std::string& what) { m_calls->push_back(m_tag + what); }
    std::vector<std::string>* m_calls;
    std::string m_tag;
};

void SendKeyboard(CQNDXGameStateManager& m) {
    m.OnKeyDown(0x21);
    m.OnKeyUp(0x21);
    m.OnKeyboardReacquired();
}
void SendMouse(CQNDXGameStateManager& m) {
    m.OnMouseMove(1, 2, 3);
    m.OnMouseRawMove(1, 2, 3);
    m.OnMouseButtonDown(4);
    m.OnMouseButtonUp(4);
    m.OnMouseReacquired();
}
void SendJoystick(CQNDXGameStateManager& m) {
    const LONG sliders[2] = {10, 20};
    const DWORD pov[4] = {0, 9000, 18000, 27000};
    CQNDXJoystick* j = nullptr;
    m.OnJoystickAxes(j, 7, 8, 9);
    m.OnJoystickRotation(j, 1, 2, 3);
    m.OnJoystickSliders(j, sliders);
    m.OnJoystickPOV(j, pov);
    m.OnJoystickButtonUp(j, 127);
    m.OnJoystickButtonDown(j, 0);
    m.OnJoystickVelocity(j, 1, 2, 3);
    m.OnJoystickAngularVelocity(j, 1, 2, 3);
    m.OnJoystickVelocitySliders(j, sliders);
    m.OnJoystickAcceleration(j, 1, 2, 3);
    m.OnJoystickAngularAcceleration(j, 1, 2, 3);
    m.OnJoystickAccelerationSliders(j, sliders);
    m.OnJoystickForce(j, 1, 2, 3);
    m.OnJoystickTorque(j, 1, 2, 3);
    m.OnJoystickForceSliders(j, sliders);
    m.OnJoystickAcquired(j);
}

using Calls = std::vector<std::string>;

TEST(GameStateFlags, AStateWithNoFlagsGetsOnlyLifecycleCallsAndRender) {
    Calls calls;
    RecordingState s(&calls);
    EXPECT_EQ(s.GetMouseEvents(), 0);
    EXPECT_EQ(s.GetKeyboardEvents(), 0);
    EXPECT_EQ(s.GetWindowMessages(), 0);
    EXPECT_EQ(s.GetJoystickEvents(), 0);
    CQNDXGameStateManager m;
    ASSERT_EQ(m.AddState(&s), 0);
    SendKeyboard(m);
    SendMouse(m);
    SendJoystick(m);
    s.windowResult = 0;
    EXPECT_EQ(m.MsgProc(nullptr, nullptr, 0x0100, 0, 0), 1);
    m.Frame();
    EXPECT_EQ(calls, (Calls{"Render"}));
}

TEST(GameStateFlags, EachFlagLetsThroughExactlyItsKind) {
    Calls calls;
    RecordingState s(&calls);
    CQNDXGameStateManager m;
    m.AddState(&s);

    s.SetKeyboardEvents(1);
    SendKeyboard(m);
    SendMouse(m);
    SendJoystick(m);
    EXPECT_EQ(calls, (Calls{"OnKeyDown(33)", "OnKeyUp(33)", "OnKeyboardReacquired"}));

    calls.clear();
    s.SetKeyboardEvents(0);
    s.SetMouseEvents(1);
    SendKeyboard(m);
    SendMouse(m);
    SendJoystick(m);
    EXPECT_EQ(calls, (Calls{"OnMouseMove", "OnMouseRawMove", "OnMouseButtonDown(4)", "OnMouseButtonUp",
                            "OnMouseReacquired"}));

    calls.clear();
    s.SetMouseEvents(0);
    s.SetJoystickEvents(1);
    SendKeyboard(m);
    SendMouse(m);
    SendJoystick(m);
    // Fifteen kinds forwarded with their values; the acquisition notice is not.
    EXPECT_EQ(calls, (Calls{"Axes(7)", "Rotation", "Sliders(20)", "POV(27000)", "ButtonUp", "ButtonDown", "Velocity",
                            "AngularVelocity", "VelocitySliders", "Acceleration", "AngularAcceleration",
                            "AccelerationSliders", "Force", "Torque", "ForceSliders"}));

    calls.clear();
    s.SetJoystickEvents(0);
    s.SetWindowMessages(1);
    s.windowResult = 0;
    EXPECT_EQ(m.MsgProc(nullptr, nullptr, 0x0010, 0, 0), 0);
    s.windowResult = 1;
    EXPECT_EQ(m.MsgProc(nullptr, nullptr, 0x0006, 0, 0), 1);
    EXPECT_EQ(calls, (Calls{"OnWindowMessage(16)", "OnWindowMessage(6)"}));
}

TEST(GameStateManagerTable, EmptyTableTargetsTheDefaultStateWhichTakesOnlyKeys) {
    CQNDXGameStateManager m;
    CQNDXGameState* target = m.GetCurrentState();
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target, m.GetDefaultState());
    EXPECT_EQ(target->GetKeyboardEvents(), 1);
    EXPECT_EQ(target->GetMouseEvents(), 0);
    EXPECT_EQ(target->GetWindowMessages(), 0);
    EXPECT_EQ(m.MsgProc(nullptr, nullptr, 0x0010, 0, 0), 1);
    // Without a game manager or a display these do nothing, and must not crash.
    m.OnKeyDown(1);
    m.Frame();
    EXPECT_EQ(target->Render(), 0);
}

TEST(GameStateManagerTable, AddStateIndicesAndNone) {
    Calls calls;
    RecordingState a(&calls), b(&calls);
    CQNDXGameStateManager m;
    EXPECT_EQ(m.AddState(nullptr), -1);
    EXPECT_EQ(m.GetStateCount(), 0);
    EXPECT_EQ(m.AddState(&a), 0);
    EXPECT_EQ(m.AddState(&b), 1);
    EXPECT_EQ(m.AddState(&a), 2);
    // The first state added becomes the target at once.
    EXPECT_EQ(m.GetCurrentState(), &a);
}

TEST(GameStateManagerTable, SetCurrentStateBoundsAndNoActivationBeforeTheLoop) {
    Calls calls;
    RecordingState a(&calls, "a."), b(&calls, "b.");
    CQNDXGameStateManager m;
    EXPECT_EQ(m.SetCurrentState(0), nullptr);  // empty table
    m.AddState(&a);
    m.AddState(&b);
    EXPECT_EQ(m.SetCurrentState(0), nullptr);  // already current
    EXPECT_EQ(m.SetCurrentState(-1), nullptr);
    EXPECT_EQ(m.SetCurrentState(2), nullptr);
    EXPECT_EQ(m.GetCurrentIndex(), 0);
    EXPECT_EQ(m.SetCurrentState(1), &b);
    EXPECT_EQ(m.GetCurrentState(), &b);
    EXPECT_TRUE(calls.empty());

    RecordingState stranger(&calls);
    EXPECT_EQ(m.SetCurrentState(&stranger), nullptr);
    EXPECT_EQ(m.SetCurrentState(&b), &b);
    EXPECT_EQ(m.SetCurrentState(&a), &a);
    EXPECT_EQ(m.GetCurrentIndex(), 0);
    EXPECT_EQ(m.SetCurrentState(nullptr), nullptr);
    EXPECT_TRUE(calls.empty());
}

TEST(GameStateManagerTable, ForAllStatesInitialisesTheDefaultFirstThenInOrder) {
    Calls calls;
    RecordingState a(&calls, "a."), b(&calls, "b.");
    CQNDXGameStateManager m;
    m.AddState(&a);
    m.AddState(&b);
    m.ForAllStates();
    EXPECT_EQ(calls, (Calls{"a.Initialize", "b.Initialize"}));
}

TEST(GameStateManagerRemoval, RemovingTheOnlyStateMakesTheDefaultTheTargetAgain) {
    Calls calls;
    RecordingState a(&calls);
    CQNDXGameStateManager m;
    m.RemoveFirstState();  // empty: nothing happens
    m.AddState(&a);
    m.RemoveFirstState();
    EXPECT_EQ(calls, (Calls{"Release"}));
    EXPECT_EQ(m.GetStateCount(), 0);
    EXPECT_EQ(m.GetCurrentState(), m.GetDefaultState());
}

TEST(GameStateManagerRemoval, AnIndexLeftPastTheTableNeverReadsOutsideIt) {
    Calls calls;
    RecordingState a(&calls, "a."), b(&calls, "b.");
    CQNDXGameStateManager m;
    m.AddState(&a);
    m.AddState(&b);
    ASSERT_EQ(m.SetCurrentState(1), &b);
    m.RemoveFirstState();
    // The index (1) is not adjusted and now names no entry.
    EXPECT_EQ(m.GetCurrentIndex(), 1);
    EXPECT_EQ(m.GetStateCount(), 1);
    EXPECT_EQ(m.GetCurrentState(), m.GetDefaultState());
    b.SetKeyboardEvents(1);
    b.SetMouseEvents(1);
    b.SetWindowMessages(1);
    calls.clear();
    m.Frame();
    m.OnMouseMove(1, 1, 0);
    EXPECT_EQ(m.MsgProc(nullptr, nullptr, 0x10, 0, 0), 1);
    EXPECT_TRUE(calls.empty());
    // Switching back in range works as usual.
    EXPECT_EQ(m.SetCurrentState(0), &b);
    m.Frame();
    EXPECT_EQ(calls, (Calls{"b.Render"}));
}

TEST(GameStateManagerRemoval, ReleaseThatDeletesTheStateLeavesTheTableConsistent) {
    Calls calls;
    struct SelfDeleting : RecordingState {
        using RecordingState::RecordingState;
        void Release() override { delete this; }
    };
    RecordingState keep(&calls, "keep.");
    CQNDXGameStateManager m;
    m.AddState(new SelfDeleting(&calls, "gone."));
    m.AddState(&keep);
    m.RemoveFirstState();
    EXPECT_EQ(m.GetStateCount(), 1);
    EXPECT_EQ(m.GetCurrentState(), &keep);
    EXPECT_EQ(calls, (Calls{"gone.destroyed"}));
}

TEST(GameStateManagerRemoval, StatesDeletedByTheApplicationAreNeverCalledAgain) {
    Calls calls;
    auto* a = new RecordingState(&calls, "a.");
    auto* b = new RecordingState(&calls, "b.");
    RecordingState c(&calls, "c.");
    {
        CQNDXGameStateManager m;
        m.AddState(a);
        m.AddState(b);
        m.AddState(&c);
        m.AddState(a);
        ASSERT_EQ(m.SetCurrentState(2), &c);
        delete a;
        // Both entries of a are gone, and c is still the target.
        EXPECT_EQ(m.GetStateCount(), 2);
        EXPECT_EQ(m.GetCurrentState(), &c);
        delete b;
        EXPECT_EQ(m.GetCurrentState(), &c);
        calls.clear();
        m.ForAllStates();
        m.Frame();
        // Destroying the manager releases the live first entry only.
    }
    EXPECT_EQ(calls, (Calls{"c.Initialize", "c.Render", "c.Release"}));
}

TEST(GameStateManagerRemoval, DeletingAStateListedTwiceBeforeTheCurrentOneKeepsTheCurrentOne) {
    Calls calls;
    auto* a = new RecordingState(&calls, "a.");
    RecordingState b(&calls, "b."), c(&calls, "c.");
    CQNDXGameStateManager m;
    m.AddState(a);
    m.AddState(&b);
    m.AddState(a);
    m.AddState(&c);
    ASSERT_EQ(m.SetCurrentState(3), &c);
    delete a;
    ASSERT_EQ(m.GetStateCount(), 2);
    EXPECT_EQ(m.GetCurrentIndex(), 1);
    EXPECT_EQ(m.GetCurrentState(), &c);

    // The current entry itself going leaves the index on the entry after it.
    auto* d = new RecordingState(&calls, "d.");
    CQNDXGameStateManager m2;
    m2.AddState(&b);
    m2.AddState(d);
    m2.AddState(&c);
    ASSERT_EQ(m2.SetCurrentState(1), d);
    delete d;
    EXPECT_EQ(m2.GetCurrentState(), &c);
}

TEST(GameStateManagerRemoval, AStateOutlivingItsManagerIsFine) {
    Calls calls;
    RecordingState s(&calls);
    {
        CQNDXGameStateManager m1, m2;
        m1.AddState(&s);
        m2.AddState(&s);
    }
    // Each manager released its first entry; the state leaves no table behind.
    EXPECT_EQ(calls, (Calls{"Release", "Release"}));
}

}  // namespace
