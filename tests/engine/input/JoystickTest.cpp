// The joystick: block-by-block notifications, button states and buffered
// button events, the first poll after creation, the axis properties and an
// unplugged controller.
#include "InputEngine/Joystick.h"
#include "InputTestSupport.h"
#include "platform/DirectInput.h"

using input_test::Recorder;
using namespace qndx::sim;

class JoystickTest : public ::testing::Test {
protected:
    void SetUp() override {
        input_test::StartClock();
        engine = input_test::Engine();
        ASSERT_NE(nullptr, engine);
        id = AttachController("Joy", 6, 16, 2);
        ASSERT_GE(id, 0);
        struct Found {
            GUID guid{};
            int n = 0;
        } found;
        engine->GetDirectInput()->EnumDevices(
            DI8DEVCLASS_GAMECTRL,
            [](LPCDIDEVICEINSTANCEA inst, LPVOID p) -> BOOL {
                auto* f = static_cast<Found*>(p);
                f->guid = inst->guidInstance;
                ++f->n;
                return DIENUM_CONTINUE;
            },
            &found, DIEDFL_ATTACHEDONLY);
        ASSERT_EQ(1, found.n);
        joy = new CQNDXJoystick(found.guid);
        ASSERT_GE(joy->Init(engine, 1, 1), 0);
        joy->AddListener(&rec);
    }
    void TearDown() override { delete joy; }

    int id = -1;
    CQNDXInputEngine* engine = nullptr;
    CQNDXJoystick* joy = nullptr;
    Recorder rec;
};

TEST_F(JoystickTest, CreatedDisabledAndDoesNothingUntilEnabled) {
    EXPECT_EQ(0, joy->IsEnabled());
    SetControllerButton(id, 1, true);
    rec.Clear();
    EXPECT_EQ(0, joy->Update());
    EXPECT_TRUE(rec.calls.empty());
    EXPECT_EQ(0, joy->GetButton(1));
}

TEST_F(JoystickTest, FirstPollReportsEveryBlockThatIsNotZero) {
    joy->SetEnabled(1);
    rec.Clear();
    ASSERT_EQ(0, joy->Update());
    // Centred axes sit in the middle of 0..65535; the hats are centred
    // (0xFFFFFFFF); nothing else moved from 0.
    EXPECT_EQ((std::vector<std::string>{"axes 32768 32768 32768", "rotation 32768 32768 32768",
                                        "pov 4294967295 4294967295 4294967295 4294967295"}),
              rec.calls);
    rec.Clear();
    ASSERT_EQ(0, joy->Update());
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(JoystickTest, OnlyTheChangedBlockIsReportedWithAllItsValues) {
    joy->SetEnabled(1);
    joy->Update();
    rec.Clear();
    SetControllerAxis(id, 0, 32767);
    joy->Update();
    EXPECT_EQ((std::vector<std::string>{"axes 65535 32768 32768"}), rec.calls);
    rec.Clear();
    SetControllerHat(id, 1, 4);
    joy->Update();
    EXPECT_EQ((std::vector<std::string>{"pov 4294967295 18000 4294967295 4294967295"}), rec.calls);
    LONG x = 0, z = 0;
    joy->GetAxes(&x, nullptr, &z);
    EXPECT_EQ(65535, x);
    EXPECT_EQ(32768, z);
    DWORD pov[4] = {};
    joy->GetPOV(pov);
    EXPECT_EQ(18000u, pov[1]);
}

TEST_F(JoystickTest, ButtonPressedAndReleasedBetweenPolls) {
    joy->SetEnabled(1);
    joy->Update();
    rec.Clear();
    DWORD before = 9;
    joy->GetButton(5, &before);
    AdvanceFakeTimeMs(30);
    SetControllerButton(id, 5, true);
    SetControllerButton(id, 5, false);
    SetControllerButton(id, 7, true);
    ASSERT_EQ(0, joy->Update());
    EXPECT_EQ((std::vector<std::string>{"joy down 5", "joy up 5", "joy down 7"}), rec.calls);
    DWORD time = 0;
    EXPECT_EQ(0, joy->GetButton(5, &time));
    EXPECT_EQ(before, time);
    EXPECT_EQ(1, joy->GetButton(7, &time));
    EXPECT_EQ(1030u, time);
    EXPECT_EQ(0, joy->GetButton(128));
    EXPECT_EQ(0, joy->GetButton(-1));
}

TEST_F(JoystickTest, StateIsKeptWithoutListeners) {
    joy->ClearListeners();
    joy->SetEnabled(1);
    SetControllerAxis(id, 3, -32768);
    SetControllerButton(id, 15, true);
    joy->Update();
    LONG rx = 1;
    joy->GetRotation(&rx, nullptr, nullptr);
    EXPECT_EQ(0, rx);
    EXPECT_EQ(1, joy->GetButton(15));
}

TEST_F(JoystickTest, CapabilitiesAndAxisProperties) {
    EXPECT_EQ(16, joy->GetButtonCount());
    EXPECT_EQ(2, joy->GetPOVCount());
    EXPECT_EQ(6, joy->GetAxisCount());
    EXPECT_EQ(0, joy->IsGamepad());

    ASSERT_EQ(DI_OK, joy->SetAxisX(10000, 0, 10, 90));
    LONG lo = 0, hi = 0;
    DWORD dead = 0, sat = 0;
    ASSERT_EQ(DI_OK, joy->GetRangeX(&lo, &hi));
    ASSERT_EQ(DI_OK, joy->GetDeadZoneX(&dead));
    ASSERT_EQ(DI_OK, joy->GetSaturationX(&sat));
    EXPECT_EQ(0, lo);
    EXPECT_EQ(10000, hi);
    EXPECT_EQ(1000u, dead);
    EXPECT_EQ(9000u, sat);
    EXPECT_EQ(-1, joy->GetRangeY(nullptr, &hi));
    EXPECT_EQ(-1, joy->GetDeadZoneY(nullptr));

    // -800 as a dead zone is no valid dead zone: the platform's answer comes back.
    EXPECT_EQ(DIERR_INVALIDPARAM, joy->SetAxisY(1000, -1000, 10, 90));
    ASSERT_EQ(DI_OK, joy->GetRangeY(&lo, &hi));
    EXPECT_EQ(-1000, lo);
    EXPECT_EQ(1000, hi);

    // The new range shows in the state.
    joy->SetEnabled(1);
    SetControllerAxis(id, 0, 32767);
    joy->Update();
    LONG x = 0;
    joy->GetAxes(&x, nullptr, nullptr);
    EXPECT_EQ(10000, x);
}

TEST_F(JoystickTest, UnpluggedControllerFailsItsPolls) {
    joy->SetEnabled(1);
    joy->Update();
    DetachController(id);
    EXPECT_LT(joy->Update(), 0);
    EXPECT_LT(joy->Update(), 0);
    EXPECT_EQ(0, joy->GetButtonCount());
}

TEST_F(JoystickTest, OverflowLosesNoButtonRelease) {
    joy->SetEnabled(1);
    SetControllerButton(id, 2, true);
    joy->Update();
    rec.Clear();
    // 260 records for a 256-record buffer; the release of button 2 and the
    // press of button 3 come after them and would be lost.
    for (int i = 0; i < 130; ++i) {
        SetControllerButton(id, 1, true);
        SetControllerButton(id, 1, false);
    }
    SetControllerButton(id, 2, false);
    SetControllerButton(id, 3, true);
    // The read overflowed, and the poll still succeeds.
    EXPECT_EQ(0, joy->Update());
    ASSERT_EQ(256u + 2u, rec.calls.size());
    EXPECT_EQ("joy down 1", rec.calls[0]);
    EXPECT_EQ("joy up 1", rec.calls[255]);
    EXPECT_EQ("joy up 2", rec.calls[256]);
    EXPECT_EQ("joy down 3", rec.calls[257]);
    EXPECT_EQ(0, joy->GetButton(2));
    EXPECT_EQ(1, joy->GetButton(3));

    // Nothing is told twice: the next release arrives alone.
    rec.Clear();
    SetControllerButton(id, 3, false);
    EXPECT_EQ(0, joy->Update());
    EXPECT_EQ((std::vector<std::string>{"joy up 3"}), rec.calls);
}

TEST_F(JoystickTest, FailedReadsReacquireAndOnlyAFailedStateReadIsReported) {
    joy->SetEnabled(1);
    joy->Update();
    // A failed buffered read re-acquires and the poll succeeds; the state was
    // read before it, and the records wait for the next poll.
    for (HRESULT code : {DIERR_NOTACQUIRED, DIERR_INPUTLOST, E_FAIL}) {
        const int button = code == DIERR_NOTACQUIRED ? 4 : code == DIERR_INPUTLOST ? 5 : 6;
        rec.Clear();
        SetControllerButton(id, button, true);
        FailNext("IDirectInputDevice8A::GetDeviceData", 1, code);
        EXPECT_EQ(0, joy->Update()) << code;
        EXPECT_EQ(0, rec.Count("joy ")) << code;
        EXPECT_EQ(1, rec.Count("joystick acquired")) << code;
        EXPECT_EQ(1, joy->GetButton(button)) << code;
        rec.Clear();
        EXPECT_EQ(0, joy->Update()) << code;
        EXPECT_EQ((std::vector<std::string>{"joy down " + std::to_string(button)}), rec.calls) << code;
    }

    // A failed state read is the poll's failure, after re-acquiring.
    for (HRESULT code : {DIERR_INPUTLOST, DIERR_NOTACQUIRED}) {
        rec.Clear();
        FailNext("IDirectInputDevice8A::GetDeviceState", 1, code);
        EXPECT_EQ(code, joy->Update());
        EXPECT_EQ((std::vector<std::string>{"joystick acquired"}), rec.calls);
    }
    // A disabled joystick is not read at all.
    joy->SetEnabled(0);
    FailNext("IDirectInputDevice8A::GetDeviceState", 1, DIERR_INPUTLOST);
    EXPECT_EQ(0, joy->Update());
    EXPECT_EQ(1, PendingFaults("IDirectInputDevice8A::GetDeviceState"));
}

TEST(JoystickWithoutDevice, EverythingNeedingTheDeviceFails) {
    CQNDXJoystick joy(GUID_SysMouse);
    EXPECT_EQ(-1, joy.Update());
    EXPECT_EQ(-1, joy.Acquire());
    EXPECT_EQ(-1, joy.SetCooperativeLevel(1, 1));
    EXPECT_EQ(-1, joy.SetAxisX(0, 1, 0, 0));
    EXPECT_EQ(0, joy.GetAxisCount());
    EXPECT_EQ(-1, joy.Init(nullptr, 1, 1));
}
