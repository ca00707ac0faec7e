// DirectInput8Create and the DirectInput object: device enumeration and
// device creation for the system keyboard, the system mouse and the game
// controllers attached now.
#include "platform/DirectInput.h"

#include <vector>

#include "dinput/Device.h"
#include "dinput/InputHub.h"
#include "dinput/InputSource.h"
#include "sim/RefCounted.h"
#include "sim/SimInternal.h"

namespace qndx {
namespace platform {
namespace dinput {
namespace {

struct Candidate {
    DeviceKind kind;
    int32_t controller;
    BYTE type;
};

// Whether a device of this type belongs to the class or type asked for.
bool Matches(DWORD devType, DeviceKind kind, BYTE type) {
    switch (devType) {
        case DI8DEVCLASS_ALL: return true;
        case DI8DEVCLASS_DEVICE: return false;
        case DI8DEVCLASS_POINTER: return kind == DeviceKind::Mouse;
        case DI8DEVCLASS_KEYBOARD: return kind == DeviceKind::Keyboard;
        case DI8DEVCLASS_GAMECTRL: return kind == DeviceKind::Controller;
        default: return devType == type;
    }
}

class DirectInput : public RefCounted<IDirectInput8A> {
public:
    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDirectInput8A) {
            AddRef();
            *out = static_cast<IDirectInput8A*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE8A* device, LPUNKNOWN outer) override {
        HRESULT hr;
        if (sim::internal::TakeFault("IDirectInput8A::CreateDevice", &hr)) return hr;
        if (!device) return DIERR_INVALIDPARAM;
        *device = nullptr;
        if (outer) return DIERR_NOAGGREGATION;
        DeviceKind kind;
        int32_t controller = -1;
        if (guid == GUID_SysKeyboard) {
            kind = DeviceKind::Keyboard;
        } else if (guid == GUID_SysMouse) {
            kind = DeviceKind::Mouse;
        } else {
            controller = Device::ControllerFromGuid(guid);
            if (controller < 0 || !InputHub::Get().Controllers().IsAttached(controller)) return DIERR_DEVICENOTREG;
            kind = DeviceKind::Controller;
        }
        Device* d = new Device(kind, controller, guid);
        if (!d->IsOpen()) {
            d->Release();
            return DIERR_DEVICENOTREG;
        }
        sim::internal::Record("IDirectInput8A::CreateDevice", kind == DeviceKind::Keyboard ? "keyboard"
                                                              : kind == DeviceKind::Mouse  ? "mouse"
                                                                                           : "controller");
        *device = d;
        return DI_OK;
    }

    HRESULT EnumDevices(DWORD devType, LPDIENUMDEVICESCALLBACKA callback, LPVOID context, DWORD flags) override {
        HRESULT hr;
        if (sim::internal::TakeFault("IDirectInput8A::EnumDevices", &hr)) return hr;
        if (!callback) return DIERR_INVALIDPARAM;
        // Nothing here has force feedback.
        if (flags & DIEDFL_FORCEFEEDBACK) return DI_OK;
        // Taken before the first call: a callback may create devices.
        std::vector<Candidate> list;
        list.push_back({DeviceKind::Keyboard, -1, DI8DEVTYPE_KEYBOARD});
        list.push_back({DeviceKind::Mouse, -1, DI8DEVTYPE_MOUSE});
        for (const ControllerInfo& c : InputHub::Get().Controllers().List())
            list.push_back(
                {DeviceKind::Controller, c.id, c.gamepad ? BYTE(DI8DEVTYPE_GAMEPAD) : BYTE(DI8DEVTYPE_JOYSTICK)});
        for (const Candidate& c : list) {
            if (!Matches(devType, c.kind, c.type)) continue;
            DIDEVICEINSTANCEA inst;
            if (!Device::Describe(c.kind, c.controller, &inst)) continue;
            if (callback(&inst, context) == DIENUM_STOP) break;
        }
        return DI_OK;
    }

    HRESULT GetDeviceStatus(REFGUID guid) override {
        if (guid == GUID_SysKeyboard || guid == GUID_SysMouse) return DI_OK;
        int32_t controller = Device::ControllerFromGuid(guid);
        if (controller < 0) return DIERR_DEVICENOTREG;
        return InputHub::Get().Controllers().IsAttached(controller) ? DI_OK : DI_NOTATTACHED;
    }
};

}  // namespace
}  // namespace dinput
}  // namespace platform
}  // namespace qndx

HRESULT DirectInput8Create(HINSTANCE hinst, DWORD version, REFIID riid, LPVOID* out, LPUNKNOWN outer) {
    using namespace qndx::platform::dinput;
    HRESULT hr;
    if (qndx::sim::internal::Enter("DirectInput8Create", &hr)) return hr;
    if (!out) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (outer) return DIERR_NOAGGREGATION;
    if (!hinst) return DIERR_INVALIDPARAM;
    if (version < DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
    if (version > DIRECTINPUT_VERSION) return DIERR_BETADIRECTINPUTVERSION;
    if (riid != IID_IDirectInput8A) return DIERR_NOINTERFACE;
    InputHub::Get();
    ConnectInputEvents();
    *out = static_cast<IDirectInput8A*>(new DirectInput());
    return DI_OK;
}
