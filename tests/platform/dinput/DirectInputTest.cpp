// The DirectInput object: creation checks, enumeration of attached game
// controllers (and only those with the controller class), device creation by
// GUID, device descriptions.
#include <cstring>
#include <string>

#include "DInputFixture.h"

namespace {

struct Seen {
    std::vector<std::string> names;
    std::vector<GUID> guids;
    std::vector<DWORD> types;
    IDirectInput8A* di = nullptr;
    int stopAfter = -1;
    int created = 0;
};

BOOL CALLBACK Collect(LPCDIDEVICEINSTANCEA inst, LPVOID context) {
    auto* seen = static_cast<Seen*>(context);
    seen->names.push_back(inst->tszInstanceName);
    seen->guids.push_back(inst->guidInstance);
    seen->types.push_back(inst->dwDevType);
    if (seen->di) {
        // Creating a device from inside the callback must not disturb the walk.
        IDirectInputDevice8A* trial = nullptr;
        if (SUCCEEDED(seen->di->CreateDevice(inst->guidInstance, &trial, nullptr))) {
            ++seen->created;
            trial->Release();
        }
    }
    if (seen->stopAfter >= 0 && static_cast<int>(seen->names.size()) >= seen->stopAfter) return DIENUM_STOP;
    return DIENUM_CONTINUE;
}

}  // namespace

TEST(DirectInputCreate, RefusesWrongVersionInterfaceAggregationAndMissingOutput) {
    HINSTANCE inst = GetModuleHandleA(nullptr);
    LPVOID out = reinterpret_cast<LPVOID>(1);
    EXPECT_EQ(DIERR_OLDDIRECTINPUTVERSION, DirectInput8Create(inst, 0x0700, IID_IDirectInput8A, &out, nullptr));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(DIERR_BETADIRECTINPUTVERSION, DirectInput8Create(inst, 0x0900, IID_IDirectInput8A, &out, nullptr));
    EXPECT_EQ(DIERR_NOINTERFACE, DirectInput8Create(inst, 0x0800, IID_IDirectInputDevice8A, &out, nullptr));
    EXPECT_EQ(DIERR_INVALIDPARAM, DirectInput8Create(inst, 0x0800, IID_IDirectInput8A, nullptr, nullptr));
    EXPECT_EQ(DIERR_INVALIDPARAM, DirectInput8Create(nullptr, 0x0800, IID_IDirectInput8A, &out, nullptr));
    IUnknown* outer = reinterpret_cast<IUnknown*>(&out);
    EXPECT_EQ(DIERR_NOAGGREGATION, DirectInput8Create(inst, 0x0800, IID_IDirectInput8A, &out, outer));
    EXPECT_EQ(nullptr, out);
}

TEST(DirectInputCreate, InjectedFailureIsReturned) {
    qndx::sim::FailNext("DirectInput8Create", 1, DIERR_OUTOFMEMORY);
    LPVOID out = nullptr;
    EXPECT_EQ(DIERR_OUTOFMEMORY,
              DirectInput8Create(GetModuleHandleA(nullptr), 0x0800, IID_IDirectInput8A, &out, nullptr));
    EXPECT_EQ(nullptr, out);
}

TEST_F(DInputTest, EnumeratesOnlyAttachedControllersForTheControllerClass) {
    Seen none;
    ASSERT_EQ(DI_OK, di->EnumDevices(DI8DEVCLASS_GAMECTRL, &Collect, &none, DIEDFL_ATTACHEDONLY));
    EXPECT_TRUE(none.names.empty());

    int a = qndx::sim::AttachController("Pad One", 2, 4, 1, true);
    int b = qndx::sim::AttachController("Stick Two", 3, 8, 0, false);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    Seen seen;
    seen.di = di;
    ASSERT_EQ(DI_OK, di->EnumDevices(DI8DEVCLASS_GAMECTRL, &Collect, &seen, DIEDFL_ATTACHEDONLY));
    ASSERT_EQ(2u, seen.names.size());
    EXPECT_EQ("Pad One", seen.names[0]);
    EXPECT_EQ("Stick Two", seen.names[1]);
    EXPECT_EQ(DI8DEVTYPE_GAMEPAD, GET_DIDEVICE_TYPE(seen.types[0]));
    EXPECT_EQ(DI8DEVTYPE_JOYSTICK, GET_DIDEVICE_TYPE(seen.types[1]));
    EXPECT_NE(seen.guids[0], seen.guids[1]);
    EXPECT_EQ(2, seen.created);

    // The whole list holds the keyboard and the mouse as well; the stop
    // answer ends the walk.
    Seen all;
    ASSERT_EQ(DI_OK, di->EnumDevices(DI8DEVCLASS_ALL, &Collect, &all, DIEDFL_ATTACHEDONLY));
    EXPECT_EQ(4u, all.names.size());
    Seen first;
    first.stopAfter = 1;
    ASSERT_EQ(DI_OK, di->EnumDevices(DI8DEVCLASS_ALL, &Collect, &first, 0));
    EXPECT_EQ(1u, first.names.size());
    EXPECT_EQ(DIERR_INVALIDPARAM, di->EnumDevices(DI8DEVCLASS_ALL, nullptr, nullptr, 0));

    qndx::sim::DetachController(a);
    Seen after;
    ASSERT_EQ(DI_OK, di->EnumDevices(DI8DEVCLASS_GAMECTRL, &Collect, &after, DIEDFL_ATTACHEDONLY));
    ASSERT_EQ(1u, after.names.size());
    EXPECT_EQ("Stick Two", after.names[0]);
    EXPECT_EQ(DI_NOTATTACHED, di->GetDeviceStatus(seen.guids[0]));
    EXPECT_EQ(DI_OK, di->GetDeviceStatus(seen.guids[1]));
}

TEST_F(DInputTest, CreatesTheSystemDevicesAndRefusesUnknownGuids) {
    IDirectInputDevice8A* d = nullptr;
    EXPECT_EQ(DI_OK, di->CreateDevice(GUID_SysKeyboard, &d, nullptr));
    ASSERT_NE(nullptr, d);
    DIDEVICEINSTANCEA inst;
    std::memset(&inst, 0, sizeof(inst));
    inst.dwSize = 580;
    EXPECT_EQ(DI_OK, d->GetDeviceInfo(&inst));
    EXPECT_EQ(GUID_SysKeyboard, inst.guidInstance);
    EXPECT_EQ(DI8DEVTYPE_KEYBOARD, GET_DIDEVICE_TYPE(inst.dwDevType));
    EXPECT_EQ(580u, inst.dwSize);
    inst.dwSize = 123;
    EXPECT_EQ(DIERR_INVALIDPARAM, d->GetDeviceInfo(&inst));
    EXPECT_EQ(0u, d->Release());

    EXPECT_EQ(DI_OK, di->CreateDevice(GUID_SysMouse, &d, nullptr));
    DIDEVCAPS caps;
    std::memset(&caps, 0, sizeof(caps));
    caps.dwSize = 44;
    EXPECT_EQ(DI_OK, d->GetCapabilities(&caps));
    EXPECT_TRUE(caps.dwFlags & DIDC_ATTACHED);
    EXPECT_EQ(3u, caps.dwAxes);
    caps.dwSize = 40;
    EXPECT_EQ(DIERR_INVALIDPARAM, d->GetCapabilities(&caps));
    d->Release();

    GUID unknown = GUID_SysMouse;
    unknown.Data1 ^= 0xFFFF;
    d = reinterpret_cast<IDirectInputDevice8A*>(1);
    EXPECT_EQ(DIERR_DEVICENOTREG, di->CreateDevice(unknown, &d, nullptr));
    EXPECT_EQ(nullptr, d);
    EXPECT_EQ(DIERR_DEVICENOTREG, di->GetDeviceStatus(unknown));
    EXPECT_EQ(DIERR_INVALIDPARAM, di->CreateDevice(GUID_SysMouse, nullptr, nullptr));
}

TEST_F(DInputTest, InterfacesAnswerOnlyTheirOwnIdentifiers) {
    void* out = nullptr;
    EXPECT_EQ(S_OK, di->QueryInterface(IID_IDirectInput8A, &out));
    EXPECT_EQ(di, out);
    static_cast<IUnknown*>(out)->Release();
    EXPECT_EQ(E_NOINTERFACE, di->QueryInterface(IID_IDirectInputDevice8A, &out));
    EXPECT_EQ(nullptr, out);
}

TEST_F(DInputTest, ResetUnplugsEveryPanelControllerEvenOneInUse) {
    int a = qndx::sim::AttachController("Pad One", 2, 4, 1, true);
    int b = qndx::sim::AttachController("Stick Two", 3, 8, 0, false);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    Seen seen;
    ASSERT_EQ(DI_OK, di->EnumDevices(DI8DEVCLASS_GAMECTRL, &Collect, &seen, DIEDFL_ATTACHEDONLY));
    ASSERT_EQ(2u, seen.names.size());
    IDirectInputDevice8A* pad = Ready(seen.guids[0], &c_dfDIJoystick2, nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
    ASSERT_NE(nullptr, pad);

    qndx::sim::Reset();
    Seen after;
    ASSERT_EQ(DI_OK, di->EnumDevices(DI8DEVCLASS_GAMECTRL, &Collect, &after, DIEDFL_ATTACHEDONLY));
    EXPECT_TRUE(after.names.empty());
    EXPECT_EQ(DI_NOTATTACHED, di->GetDeviceStatus(seen.guids[0]));
    EXPECT_EQ(DI_NOTATTACHED, di->GetDeviceStatus(seen.guids[1]));
    // The device still held reports its controller gone; the old ids move nothing.
    qndx::sim::SetControllerButton(a, 0, true);
    DIJOYSTATE2 st;
    EXPECT_EQ(DIERR_INPUTLOST, pad->GetDeviceState(sizeof(st), &st));
    // A controller attached afterwards is the only one listed.
    ASSERT_GE(qndx::sim::AttachController("Pad Three", 2, 2, 0, true), 0);
    Seen fresh;
    ASSERT_EQ(DI_OK, di->EnumDevices(DI8DEVCLASS_GAMECTRL, &Collect, &fresh, DIEDFL_ATTACHEDONLY));
    ASSERT_EQ(1u, fresh.names.size());
    EXPECT_EQ("Pad Three", fresh.names[0]);
}
