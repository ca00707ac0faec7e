// The device base: the 51 acquisition attempts, the attachment test, the
// cooperative-level rows of the mouse and the joystick, and a device whose
// level failed keeping (and releasing) its platform device.
#include "InputEngine/Joystick.h"
#include "InputEngine/Keyboard.h"
#include "InputEngine/Mouse.h"
#include "InputTestSupport.h"
#include "platform/DirectInput.h"

namespace {

std::vector<std::string> Levels() {
    std::vector<std::string> out;
    const std::string call = "IDirectInputDevice8A::SetCooperativeLevel(";
    for (const std::string& e : qndx::sim::JournalEntries())
        if (e.rfind(call, 0) == 0) out.push_back(e.substr(call.size(), e.size() - call.size() - 1));
    return out;
}

class DeviceBaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        input_test::StartClock();
        engine = input_test::Engine();
        ASSERT_NE(nullptr, engine);
    }
    CQNDXInputEngine* engine = nullptr;
};

}  // namespace

TEST_F(DeviceBaseTest, AcquireMakesFiftyOneAttemptsThenGivesTheLastFailure) {
    CQNDXKeyboard kb(GUID_SysKeyboard);
    ASSERT_GE(kb.Create(engine, 0, 0, 0), 0);
    ASSERT_GE(kb.Unacquire(), 0);
    qndx::sim::EnableJournal(true);
    qndx::sim::FailNext("IDirectInputDevice8A::Acquire", 1000, DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(DIERR_OTHERAPPHASPRIO, kb.CQNDXInputDevice::Acquire());
    EXPECT_EQ(51, qndx::sim::JournalCount("IDirectInputDevice8A::Acquire"));
    qndx::sim::ClearFaults();
    qndx::sim::ClearJournal();
    qndx::sim::FailNext("IDirectInputDevice8A::Acquire", 2, DIERR_INPUTLOST);
    EXPECT_EQ(DI_OK, kb.CQNDXInputDevice::Acquire());
    EXPECT_EQ(3, qndx::sim::JournalCount("IDirectInputDevice8A::Acquire"));
}

TEST_F(DeviceBaseTest, AttachmentFollowsTheCapabilityQuery) {
    CQNDXMouse mouse(GUID_SysMouse);
    EXPECT_EQ(0, mouse.IsAttached());
    EXPECT_EQ(-1, mouse.Acquire());
    EXPECT_EQ(-1, mouse.Unacquire());
    ASSERT_GE(mouse.Create(engine, 0, 0), 0);
    EXPECT_EQ(1, mouse.IsAttached());
    qndx::sim::FailNext("IDirectInputDevice8A::GetCapabilities", 1, DIERR_GENERIC);
    EXPECT_EQ(0, mouse.IsAttached());
    EXPECT_EQ(1, mouse.GetFlag1());
    EXPECT_EQ(1, mouse.GetFlag2());
    EXPECT_EQ(GUID_SysMouse, mouse.GetGUID());
    EXPECT_STREQ("Mouse", mouse.GetInstanceName());
}

TEST_F(DeviceBaseTest, MouseAndJoystickRowsOfTheLevelTable) {
    int pad = qndx::sim::AttachController("Level Pad", 2, 2, 0);
    ASSERT_GE(pad, 0);
    qndx::sim::EnableJournal(true);
    CQNDXMouse mouse(GUID_SysMouse);
    ASSERT_GE(mouse.Create(engine, 0, 0), 0);
    ASSERT_GE(mouse.SetCooperation(0, 1), 0);
    ASSERT_GE(mouse.SetCooperation(1, 1), 0);
    EXPECT_EQ(E_NOTIMPL, mouse.SetCooperation(1, 0));
    EXPECT_EQ((std::vector<std::string>{"10", "6", "5"}), Levels());

    qndx::sim::ClearJournal();
    struct Found {
        GUID guid{};
    } found;
    engine->GetDirectInput()->EnumDevices(
        DI8DEVCLASS_GAMECTRL,
        [](LPCDIDEVICEINSTANCEA inst, LPVOID p) -> BOOL {
            static_cast<Found*>(p)->guid = inst->guidInstance;
            return DIENUM_STOP;
        },
        &found, DIEDFL_ATTACHEDONLY);
    CQNDXJoystick joy(found.guid);
    ASSERT_GE(joy.Init(engine, 1, 1), 0);
    ASSERT_GE(joy.SetCooperativeLevel(0, 0), 0);
    ASSERT_GE(joy.SetCooperativeLevel(0, 1), 0);
    // Any other pair, a wish of 2 included, is exclusive in the background.
    ASSERT_GE(joy.SetCooperativeLevel(1, 0), 0);
    ASSERT_GE(joy.SetCooperativeLevel(2, 1), 0);
    EXPECT_EQ((std::vector<std::string>{"5", "10", "6", "9", "9"}), Levels());
}

TEST_F(DeviceBaseTest, FailedLevelKeepsTheDeviceAndItsRelease) {
    qndx::sim::FailNext("IDirectInputDevice8A::SetCooperativeLevel", 1, DIERR_INVALIDPARAM);
    CQNDXKeyboard* kb = new CQNDXKeyboard(GUID_SysKeyboard);
    EXPECT_EQ(DIERR_INVALIDPARAM, kb->Create(engine, 0, 1, 1));
    EXPECT_NE(nullptr, kb->GetDevice());
    EXPECT_EQ(nullptr, kb->GetProductName());
    delete kb;  // releases the device: the leak checker of the sanitizer build sees it
}

TEST_F(DeviceBaseTest, CreatingTwiceReplacesTheDevice) {
    CQNDXKeyboard kb(GUID_SysKeyboard);
    ASSERT_GE(kb.Create(engine, 0, 0, 0), 0);
    IDirectInputDevice8A* first = kb.GetDevice();
    ASSERT_GE(kb.Create(engine, 0, 0, 0), 0);
    EXPECT_NE(nullptr, kb.GetDevice());
    (void)first;  // released by the second creation; the sanitizer build would report a leak
    EXPECT_STREQ("Keyboard", kb.GetInstanceName());
}
