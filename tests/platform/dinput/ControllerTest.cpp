// Game controllers through SDL virtual joysticks: capabilities, the extended
// state with axis range, dead zone and saturation, hats, buttons, buffered
// records and unplugging.
#include <cstring>

#include "DInputFixture.h"

using namespace qndx::sim;

namespace {

constexpr DWORD kExclusiveFg = DISCL_EXCLUSIVE | DISCL_FOREGROUND;

GUID FirstControllerGuid(IDirectInput8A* di) {
    struct Ctx {
        GUID guid{};
        bool found = false;
    } ctx;
    di->EnumDevices(
        DI8DEVCLASS_GAMECTRL,
        [](LPCDIDEVICEINSTANCEA inst, LPVOID p) -> BOOL {
            auto* c = static_cast<Ctx*>(p);
            c->guid = inst->guidInstance;
            c->found = true;
            return DIENUM_STOP;
        },
        &ctx, DIEDFL_ATTACHEDONLY);
    EXPECT_TRUE(ctx.found);
    return ctx.guid;
}

HRESULT SetAxisDword(IDirectInputDevice8A* d, REFGUID prop, DWORD ofs, DWORD how, DWORD value) {
    DIPROPDWORD p{};
    p.diph.dwSize = sizeof(p);
    p.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    p.diph.dwObj = ofs;
    p.diph.dwHow = how;
    p.dwData = value;
    return d->SetProperty(prop, &p.diph);
}

HRESULT SetRange(IDirectInputDevice8A* d, DWORD ofs, DWORD how, LONG lo, LONG hi) {
    DIPROPRANGE r{};
    r.diph.dwSize = sizeof(r);
    r.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    r.diph.dwObj = ofs;
    r.diph.dwHow = how;
    r.lMin = lo;
    r.lMax = hi;
    return d->SetProperty(DIPROP_RANGE, &r.diph);
}

}  // namespace

class ControllerTest : public DInputTest {
protected:
    void SetUp() override {
        DInputTest::SetUp();
        id = AttachController("Test Pad", 6, 12, 2, true);
        ASSERT_GE(id, 0);
        hwnd = MakeWindow();
        pad = Ready(FirstControllerGuid(di), &c_dfDIJoystick2, hwnd, kExclusiveFg, 32);
        ASSERT_NE(nullptr, pad);
    }

    DIJOYSTATE2 State() {
        DIJOYSTATE2 st;
        std::memset(&st, 0xCC, sizeof(st));
        EXPECT_EQ(DI_NOEFFECT, pad->Poll());
        EXPECT_EQ(DI_OK, pad->GetDeviceState(sizeof(st), &st));
        return st;
    }

    int id = -1;
    HWND hwnd = nullptr;
    IDirectInputDevice8A* pad = nullptr;
};

TEST_F(ControllerTest, CapabilitiesAndDescriptionComeFromTheController) {
    DIDEVCAPS caps{};
    caps.dwSize = sizeof(caps);
    ASSERT_EQ(DI_OK, pad->GetCapabilities(&caps));
    EXPECT_TRUE(caps.dwFlags & DIDC_ATTACHED);
    EXPECT_EQ(6u, caps.dwAxes);
    EXPECT_EQ(12u, caps.dwButtons);
    EXPECT_EQ(2u, caps.dwPOVs);
    DIDEVICEINSTANCEA inst{};
    inst.dwSize = sizeof(inst);
    ASSERT_EQ(DI_OK, pad->GetDeviceInfo(&inst));
    EXPECT_STREQ("Test Pad", inst.tszProductName);
    EXPECT_EQ(DI8DEVTYPE_GAMEPAD, GET_DIDEVICE_TYPE(inst.dwDevType));
    // The keyboard's format is not a controller's.
    EXPECT_EQ(DI_OK, pad->Unacquire());
    EXPECT_EQ(DIERR_INVALIDPARAM, pad->SetDataFormat(&c_dfDIKeyboard));
}

TEST_F(ControllerTest, AxesScaleToTheRangeWithDeadZoneAndSaturation) {
    SetControllerAxis(id, 0, 32767);
    SetControllerAxis(id, 1, -32768);
    DIJOYSTATE2 st = State();
    EXPECT_EQ(65535, st.lX);  // default range 0..65535
    EXPECT_EQ(0, st.lY);
    EXPECT_EQ(32768, st.lZ);        // centred axis
    EXPECT_EQ(0, st.rglSlider[0]);  // no seventh axis on this controller

    ASSERT_EQ(DI_OK, SetRange(pad, DIJOFS_X, DIPH_BYOFFSET, -1000, 1000));
    ASSERT_EQ(DI_OK, SetAxisDword(pad, DIPROP_DEADZONE, DIJOFS_X, DIPH_BYOFFSET, 1000));
    ASSERT_EQ(DI_OK, SetAxisDword(pad, DIPROP_SATURATION, DIJOFS_X, DIPH_BYOFFSET, 9000));
    SetControllerAxis(id, 0, 3000);  // inside the 10% dead zone
    EXPECT_EQ(0, State().lX);
    SetControllerAxis(id, 0, 31000);  // past 90%: full deflection
    EXPECT_EQ(1000, State().lX);
    SetControllerAxis(id, 0, -16384);  // half way left: (0.5 - 0.1) / 0.8 of the half range
    EXPECT_NEAR(-500, State().lX, 2);

    DIPROPRANGE r{};
    r.diph.dwSize = sizeof(r);
    r.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    r.diph.dwObj = DIJOFS_X;
    r.diph.dwHow = DIPH_BYOFFSET;
    ASSERT_EQ(DI_OK, pad->GetProperty(DIPROP_RANGE, &r.diph));
    EXPECT_EQ(-1000, r.lMin);
    EXPECT_EQ(1000, r.lMax);
    r.diph.dwObj = DIJOFS_Y;
    ASSERT_EQ(DI_OK, pad->GetProperty(DIPROP_RANGE, &r.diph));
    EXPECT_EQ(65535, r.lMax);
}

TEST_F(ControllerTest, BadPropertiesAreRefused) {
    EXPECT_EQ(DIERR_INVALIDPARAM, SetRange(pad, DIJOFS_X, DIPH_BYOFFSET, 10, 10));
    EXPECT_EQ(DIERR_INVALIDPARAM, SetAxisDword(pad, DIPROP_DEADZONE, DIJOFS_X, DIPH_BYOFFSET, 10001));
    EXPECT_EQ(DIERR_INVALIDPARAM, SetAxisDword(pad, DIPROP_SATURATION, DIJOFS_Y, DIPH_BYOFFSET, DWORD(-800)));
    EXPECT_EQ(DIERR_OBJECTNOTFOUND, SetRange(pad, 2, DIPH_BYOFFSET, 0, 10));
    EXPECT_EQ(DIERR_OBJECTNOTFOUND, SetRange(pad, DIJOFS_BUTTON(0), DIPH_BYOFFSET, 0, 10));
    // The whole device at once.
    ASSERT_EQ(DI_OK, SetRange(pad, 0, DIPH_DEVICE, -10, 10));
    SetControllerAxis(id, 4, 32767);
    EXPECT_EQ(10, State().lRy);
}

TEST_F(ControllerTest, HatsAndButtonsInStateAndRecords) {
    SetControllerHat(id, 0, 1 | 2);  // up and right
    SetControllerButton(id, 5, true);
    SetControllerButton(id, 5, false);
    SetControllerButton(id, 11, true);
    DIJOYSTATE2 st = State();
    EXPECT_EQ(4500u, st.rgdwPOV[0]);
    EXPECT_EQ(0xFFFFFFFFu, st.rgdwPOV[1]);  // centred
    EXPECT_EQ(0xFFFFFFFFu, st.rgdwPOV[2]);  // not on this controller
    EXPECT_EQ(0, st.rgbButtons[5]);
    EXPECT_EQ(0x80, st.rgbButtons[11]);

    HRESULT hr;
    auto recs = Read(pad, &hr);
    ASSERT_EQ(DI_OK, hr);
    ASSERT_EQ(4u, recs.size());
    EXPECT_EQ(DWORD(DIJOFS_POV(0)), recs[0].dwOfs);
    EXPECT_EQ(4500u, recs[0].dwData);
    EXPECT_EQ(DWORD(DIJOFS_BUTTON(5)), recs[1].dwOfs);
    EXPECT_EQ(0x80u, recs[1].dwData);
    EXPECT_EQ(DWORD(DIJOFS_BUTTON(5)), recs[2].dwOfs);
    EXPECT_EQ(0u, recs[2].dwData);
    EXPECT_EQ(DWORD(DIJOFS_BUTTON(11)), recs[3].dwOfs);
}

TEST_F(ControllerTest, UnpluggedControllerIsLostThenRefusesAcquisition) {
    DetachController(id);
    DIJOYSTATE2 st;
    EXPECT_EQ(DIERR_INPUTLOST, pad->GetDeviceState(sizeof(st), &st));
    EXPECT_EQ(DIERR_NOTACQUIRED, pad->GetDeviceState(sizeof(st), &st));
    EXPECT_EQ(DIERR_UNPLUGGED, pad->Acquire());
    DIDEVCAPS caps{};
    caps.dwSize = sizeof(caps);
    ASSERT_EQ(DI_OK, pad->GetCapabilities(&caps));
    EXPECT_FALSE(caps.dwFlags & DIDC_ATTACHED);
    IDirectInputDevice8A* again = nullptr;
    DIDEVICEINSTANCEA inst{};
    inst.dwSize = sizeof(inst);
    ASSERT_EQ(DI_OK, pad->GetDeviceInfo(&inst));
    EXPECT_EQ(DIERR_DEVICENOTREG, di->CreateDevice(inst.guidInstance, &again, nullptr));
}

TEST_F(ControllerTest, OlderJoystickFormatHasThirtyTwoButtons) {
    ASSERT_EQ(DI_OK, pad->Unacquire());
    ASSERT_EQ(DI_OK, pad->SetDataFormat(&c_dfDIJoystick));
    ASSERT_EQ(DI_OK, pad->Acquire());
    SetControllerButton(id, 3, true);
    DIJOYSTATE st;
    ASSERT_EQ(DI_OK, pad->GetDeviceState(sizeof(st), &st));
    EXPECT_EQ(0x80, st.rgbButtons[3]);
    EXPECT_EQ(DIERR_INVALIDPARAM, pad->GetDeviceState(sizeof(DIJOYSTATE2), &st));
}
