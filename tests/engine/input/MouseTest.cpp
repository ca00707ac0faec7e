// The mouse: acceleration and sensitivity, clamping to the display, the
// wheel (set from each poll, not added), buttons with the swap, overflow that
// must not lose a click, bounded creation on lost input, positions.
#include <climits>

#include "InputEngine/Mouse.h"
#include "LogEngine/Log.h"
#include "SystemMessager.h"
#include "InputTestSupport.h"
#include "platform/DirectInput.h"
#include "platform/sim/Window.h"

using input_test::Recorder;
using qndx::sim::InjectMouseButton;
using qndx::sim::InjectMouseMotion;
using qndx::sim::InjectMouseWheel;

class MouseTest : public ::testing::Test {
protected:
    void SetUp() override {
        input_test::StartClock();
        engine = input_test::Engine();
        ASSERT_NE(nullptr, engine);
        mouse = new CQNDXMouse(GUID_SysMouse);
        // As the engine makes it: non-exclusive, background.
        ASSERT_GE(mouse->Create(engine, 0, 0), 0);
        mouse->AddListener(&rec);
        rec.Clear();
    }
    void TearDown() override { delete mouse; }

    // Moves by dx in one poll and returns how far the position went.
    int MoveX(int dx) {
        int x0, y0, x1, y1;
        mouse->GetPosition(&x0, &y0);
        InjectMouseMotion(dx, 0);
        mouse->Update();
        mouse->GetPosition(&x1, &y1);
        return x1 - x0;
    }

    CQNDXInputEngine* engine = nullptr;
    CQNDXMouse* mouse = nullptr;
    Recorder rec;
};

TEST_F(MouseTest, DefaultAccelerationAndSensitivityTable) {
    EXPECT_EQ(0, MoveX(1));
    EXPECT_EQ(1, MoveX(2));
    EXPECT_EQ(2, MoveX(5));   // at the first threshold: not accelerated
    EXPECT_EQ(3, MoveX(6));   // 6 * 1.2 = 7, halved
    EXPECT_EQ(6, MoveX(10));  // at the second threshold: 10 * 1.2 = 12
    EXPECT_EQ(8, MoveX(11));  // 11 * 1.5 = 16
    EXPECT_EQ(-8, MoveX(-11));
    mouse->EnableAcceleration(0);
    EXPECT_EQ(5, MoveX(11));
}

TEST_F(MouseTest, ClampedAtTheDisplayBoundsWhileTheRawPositionRunsOn) {
    mouse->SetBounds(800, 600, 0, 0);  // either corner order
    mouse->SetPosition(400, 300);
    InjectMouseMotion(5000, 0);
    mouse->Update();
    int x, y, rx, ry;
    mouse->GetPosition(&x, &y);
    mouse->GetRawPosition(&rx, &ry);
    EXPECT_EQ(799, x);
    EXPECT_EQ(300, y);
    EXPECT_EQ(3750, rx);  // 5000 * 1.5 * 0.5 from 0: the raw position never saw SetPosition
    InjectMouseMotion(-20000, -20000);
    mouse->Update();
    mouse->GetPosition(&x, &y);
    EXPECT_EQ(0, x);
    EXPECT_EQ(0, y);

    // A set position stays one inside the lower bound too.
    mouse->SetPosition(0, 900);
    mouse->GetPosition(&x, &y);
    EXPECT_EQ(1, x);
    EXPECT_EQ(599, y);
    mouse->SetPosition(900, -5);
    mouse->GetPosition(&x, &y);
    EXPECT_EQ(799, x);
    EXPECT_EQ(1, y);
}

TEST_F(MouseTest, WheelIsSetFromEachPollNotAdded) {
    InjectMouseWheel(240);
    mouse->Update();
    int x, y, z;
    mouse->GetPosition(&x, &y, &z);
    EXPECT_EQ(2, z);
    InjectMouseWheel(-120);
    mouse->Update();
    mouse->GetPosition(&x, &y, &z);
    EXPECT_EQ(-1, z);

    rec.Clear();
    InjectMouseWheel(120);
    mouse->Update();
    InjectMouseWheel(120);
    mouse->Update();
    mouse->GetPosition(&x, &y, &z);
    EXPECT_EQ(1, z);
    EXPECT_EQ(1, rec.Count("move "));
    EXPECT_EQ("move 0 0 1", rec.calls[0]);

    // Within the z bounds, the top bound exclusive.
    mouse->SetBounds(0, 0, 10, 10, -2, 3);
    InjectMouseWheel(120 * 5);
    mouse->Update();
    mouse->GetPosition(&x, &y, &z);
    EXPECT_EQ(2, z);
    InjectMouseWheel(-120 * 5);
    mouse->Update();
    mouse->GetPosition(&x, &y, &z);
    EXPECT_EQ(-2, z);
}

TEST_F(MouseTest, ClicksWithinOnePollAndTheButtonSwap) {
    InjectMouseButton(0, true);
    InjectMouseButton(0, false);
    EXPECT_EQ(0, mouse->Update());
    EXPECT_EQ((std::vector<std::string>{"button down 0", "button up 0"}), rec.calls);  // no move call

    rec.Clear();
    mouse->SetSwapButtons(1);
    InjectMouseButton(0, true);
    InjectMouseButton(0, false);
    InjectMouseButton(1, true);
    mouse->Update();
    EXPECT_EQ((std::vector<std::string>{"button down 1", "button up 1", "button down 0"}), rec.calls);
    DWORD time = 0;
    EXPECT_EQ(1, mouse->GetButtonState(0, &time));  // device button 1
    EXPECT_EQ(1000u, time);
    EXPECT_EQ(0, mouse->GetButtonState(1));
    EXPECT_EQ(0, mouse->GetButtonState(8));
    EXPECT_EQ(0, mouse->GetButtonState(-1));
}

TEST_F(MouseTest, OverflowLosesNoClick) {
    InjectMouseButton(0, true);
    mouse->Update();
    rec.Clear();
    for (int i = 0; i < 100; ++i) InjectMouseMotion(1, 1);  // 200 records
    InjectMouseButton(0, false);
    InjectMouseButton(2, true);
    EXPECT_EQ(DI_BUFFEROVERFLOW, mouse->Update());
    EXPECT_EQ(1, rec.Count("button up 0"));
    EXPECT_EQ(1, rec.Count("button down 2"));
    EXPECT_EQ(0, mouse->GetButtonState(0));
}

TEST_F(MouseTest, FailedBufferedReadIsAFailure) {
    qndx::sim::FailNext("IDirectInputDevice8A::GetDeviceData", 1, DIERR_NOTACQUIRED);
    EXPECT_EQ(DIERR_NOTACQUIRED, mouse->Update());
}

TEST_F(MouseTest, FailedStateReadReacquiresAndNamesAnotherApplicationsHold) {
    struct Capture : CQNDXLog {
        std::vector<std::string> lines;
        int OnMessage(const char* msg, int type, int level) override {
            lines.push_back(std::to_string(type) + "/" + std::to_string(level) + " " + msg);
            return 0;
        }
    } log;
    CQNDXSystemMessagerControler* messenger = input_test::Manager()->GetMessenger();
    ASSERT_NE(nullptr, messenger);
    messenger->Register(&log, 1, 1, 1, 1);
    qndx::sim::EnableJournal(true);

    // Another application holds the mouse: one re-acquisition and the "Lost" line.
    InjectMouseMotion(40, 0);
    qndx::sim::FailNext("IDirectInputDevice8A::GetDeviceState", 1, DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(DIERR_OTHERAPPHASPRIO, mouse->Update());
    EXPECT_EQ(1, qndx::sim::JournalCount("IDirectInputDevice8A::Acquire"));
    EXPECT_EQ((std::vector<std::string>{"1/1 Lost"}), log.lines);
    EXPECT_EQ((std::vector<std::string>{"mouse reacquired"}), rec.calls);

    // Any other failure: two re-acquisitions, no line.
    qndx::sim::ClearJournal();
    rec.Clear();
    qndx::sim::FailNext("IDirectInputDevice8A::GetDeviceState", 1, DIERR_INPUTLOST);
    EXPECT_EQ(DIERR_INPUTLOST, mouse->Update());
    EXPECT_EQ(2, qndx::sim::JournalCount("IDirectInputDevice8A::Acquire"));
    EXPECT_EQ(1u, log.lines.size());
    EXPECT_EQ(0, rec.Count("move"));
    messenger->Unregister(&log);
}

TEST_F(MouseTest, LostFocusDoesNotTouchABackgroundMouse) {
    qndx::sim::SetInputFocus(false);
    InjectMouseButton(1, true);
    EXPECT_EQ(0, mouse->Update());
    EXPECT_EQ((std::vector<std::string>{"button down 1"}), rec.calls);
}

TEST_F(MouseTest, ReacquisitionResynchronisesButtonsWithoutEvents) {
    CQNDXMouse fg(GUID_SysMouse);
    ASSERT_GE(fg.Create(engine, 0, 1), 0);
    Recorder r;
    fg.AddListener(&r);
    qndx::sim::SetInputFocus(false);
    InjectMouseButton(2, true);
    EXPECT_EQ(DIERR_INPUTLOST, fg.Update());
    qndx::sim::SetInputFocus(true);
    EXPECT_EQ(DIERR_NOTACQUIRED, fg.Update());  // the read failed; the re-acquisition succeeded
    EXPECT_LE(1, r.Count("mouse reacquired"));
    EXPECT_EQ(0, r.Count("button"));
    EXPECT_EQ(1, fg.GetButtonState(2));
}

TEST_F(MouseTest, PositionsAndTheirNotifications) {
    mouse->SetBounds(0, 0, 100, 100);
    mouse->SetPosition(10, 10);
    mouse->SetPosition(10, 10);  // unchanged, still told
    mouse->SetPosition(20, 30, 4);
    EXPECT_EQ((std::vector<std::string>{"move 10 10 0", "move 10 10 0", "move 20 30 0", "move 20 30 4"}), rec.calls);
    rec.Clear();
    mouse->SetRawPosition(-500, 7);
    EXPECT_EQ((std::vector<std::string>{"raw -500 7 0"}), rec.calls);
    int a = 1, b = 2, c = 3;
    mouse->GetPosition(&a, nullptr);
    mouse->GetPosition(&a, &b, nullptr);
    mouse->GetRawPosition(nullptr, &b, &c);
    EXPECT_EQ(1, a);
    EXPECT_EQ(2, b);
    EXPECT_EQ(3, c);
}

TEST_F(MouseTest, SensitivityNeverNegative) {
    mouse->SetSensitivity(-1.0f);
    EXPECT_EQ(0.0f, mouse->GetSensitivity());
    InjectMouseMotion(50, 50);
    mouse->Update();
    int x, y, rx, ry;
    mouse->GetPosition(&x, &y);
    mouse->GetRawPosition(&rx, &ry);
    EXPECT_EQ(0, x);
    EXPECT_EQ(0, rx);
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(MouseTest, HugeMovementsStayInsideInt) {
    mouse->SetSensitivity(1000.0f);
    InjectMouseMotion(INT_MAX / 2, INT_MIN / 2);
    mouse->Update();
    InjectMouseMotion(INT_MAX / 2, INT_MIN / 2);
    mouse->Update();
    int rx, ry;
    mouse->GetRawPosition(&rx, &ry);
    EXPECT_EQ(INT_MAX, rx);
    EXPECT_EQ(INT_MIN, ry);
}

TEST_F(MouseTest, AccelerationSettings) {
    mouse->SetAcceleration(10, 1.5, 5, 1.2);
    int t1, t2;
    double f1, f2;
    mouse->GetAcceleration(&t1, &f1, &t2, &f2);
    EXPECT_EQ(5, t1);
    EXPECT_DOUBLE_EQ(1.2, f1);
    EXPECT_EQ(10, t2);
    EXPECT_DOUBLE_EQ(1.5, f2);

    qndx::sim::SetMouseParameters(6, 10, 0);  // system acceleration off
    mouse->SetAcceleration(0, 9.0, 0, 9.0);
    mouse->GetAcceleration(&t1, &f1, &t2, &f2);
    EXPECT_EQ(999, t1);
    EXPECT_EQ(999, t2);
    EXPECT_DOUBLE_EQ(2.0, f1);
    EXPECT_DOUBLE_EQ(4.0, f2);
    qndx::sim::SetMouseParameters(6, 10, 1);
    mouse->SetAcceleration(0, 0, 0, 0);
    mouse->GetAcceleration(&t1, &f1, &t2, &f2);
    EXPECT_EQ(6, t1);
    EXPECT_EQ(999, t2);
    qndx::sim::SetMouseParameters(6, 10, 2);
    mouse->SetAcceleration(0, 0, 0, 0);
    mouse->GetAcceleration(&t1, &f1, &t2, &f2);
    EXPECT_EQ(10, t2);

    t1 = -7;
    mouse->GetAcceleration(&t1, nullptr, &t2, &f2);
    EXPECT_EQ(-7, t1);
}

TEST(MouseCreate, RetriesLostInputABoundedNumberOfTimes) {
    input_test::StartClock();
    CQNDXInputEngine* engine = input_test::Engine();
    CQNDXMouse mouse(GUID_SysMouse);
    qndx::sim::EnableJournal(true);
    qndx::sim::FailNext("IDirectInputDevice8A::Acquire", 1000000, DIERR_INPUTLOST);
    EXPECT_EQ(DIERR_INPUTLOST, mouse.Create(engine, 0, 0));
    EXPECT_EQ(CQNDXInputDevice::kAcquireAttempts * (1 + CQNDXMouse::kLostRetries),
              qndx::sim::JournalCount("IDirectInputDevice8A::Acquire"));
    qndx::sim::ClearFaults();
    // The mouse stays usable: the next failing read takes it back.
    EXPECT_NE(nullptr, mouse.GetDevice());
    EXPECT_EQ(DIERR_NOTACQUIRED, mouse.Update());
    EXPECT_EQ(0, mouse.Update());
}

TEST(MouseCreate, OtherApplicationPriorityEndsCreationAtOnce) {
    input_test::StartClock();
    CQNDXInputEngine* engine = input_test::Engine();
    CQNDXMouse mouse(GUID_SysMouse);
    qndx::sim::EnableJournal(true);
    qndx::sim::FailNext("IDirectInputDevice8A::Acquire", 1000, DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(DIERR_OTHERAPPHASPRIO, mouse.Create(engine, 0, 0));
    EXPECT_EQ(CQNDXInputDevice::kAcquireAttempts, qndx::sim::JournalCount("IDirectInputDevice8A::Acquire"));
    qndx::sim::ClearFaults();
}

TEST(MouseCreate, UnsupportedWishesAndCapabilities) {
    input_test::StartClock();
    CQNDXMouse mouse(GUID_SysMouse);
    EXPECT_EQ(0, mouse.HasWheel());
    EXPECT_EQ(0, mouse.GetButtonCount());
    EXPECT_EQ(E_NOTIMPL, mouse.Create(input_test::Engine(), 1, 0));
    EXPECT_EQ(E_NOTIMPL, mouse.SetCooperation(2, 1));
    EXPECT_GE(mouse.SetCooperation(0, 0), 0);
    EXPECT_EQ(1, mouse.HasWheel());
    EXPECT_EQ(5, mouse.GetButtonCount());
    qndx::sim::FailNext("IDirectInputDevice8A::GetCapabilities", 1, DIERR_GENERIC);
    EXPECT_EQ(0, mouse.HasWheel());
}
