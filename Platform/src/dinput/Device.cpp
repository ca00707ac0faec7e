// The DirectInput device object: format, cooperative level, acquisition,
// properties, immediate state and the record buffer.
#include "dinput/Device.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "dinput/InputSource.h"
#include "platform/Kernel.h"
#include "sim/SimInternal.h"

namespace qndx {
namespace platform {
namespace dinput {
namespace {

constexpr DWORD kInstanceSize = sizeof(DIDEVICEINSTANCEA);
// The older, shorter description without the force-feedback and usage fields.
constexpr DWORD kInstanceSizeShort = 4 + 16 + 16 + 4 + 2 * MAX_PATH;
constexpr DWORD kCapsSize = sizeof(DIDEVCAPS);
constexpr WORD kControllerTag2 = 0x4A4F;
constexpr WORD kControllerTag3 = 0x5953;
constexpr BYTE kControllerTag4[8] = {'Q', 'N', 'D', 'X', 'C', 'T', 'R', 'L'};

bool SameFormat(const DIDATAFORMAT& a, const DIDATAFORMAT& b) {
    return a.dwSize == b.dwSize && a.dwObjSize == b.dwObjSize && a.dwFlags == b.dwFlags &&
           a.dwDataSize == b.dwDataSize && a.dwNumObjs == b.dwNumObjs && a.rgodf == b.rgodf;
}

void CopyName(char* dst, const char* src) {
    std::strncpy(dst, src, MAX_PATH - 1);
    dst[MAX_PATH - 1] = '\0';
}

}  // namespace

Device::Device(DeviceKind kind, int32_t controller, const GUID& instance)
    : m_kind(kind), m_controller(controller), m_instance(instance) {
    if (m_kind == DeviceKind::Controller) m_opened = InputHub::Get().Controllers().Open(m_controller);
    InputHub::Get().Register(this);
}

Device::~Device() {
    bool capturing = m_kind == DeviceKind::Mouse && IsAcquired() && IsExclusive();
    m_state = State::NotAcquired;
    InputHub& hub = InputHub::Get();
    hub.Unregister(this);
    if (m_opened) hub.Controllers().Close(m_controller);
    if (capturing) hub.ExclusiveMouseChanged();
}

HRESULT Device::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirectInputDevice8A) {
        AddRef();
        *out = static_cast<IDirectInputDevice8A*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

GUID Device::ControllerGuid(int32_t id) {
    GUID g{static_cast<DWORD>(id), kControllerTag2, kControllerTag3, {}};
    std::memcpy(g.Data4, kControllerTag4, 8);
    return g;
}

int32_t Device::ControllerFromGuid(const GUID& guid) {
    if (guid.Data2 != kControllerTag2 || guid.Data3 != kControllerTag3) return -1;
    if (std::memcmp(guid.Data4, kControllerTag4, 8) != 0) return -1;
    return static_cast<int32_t>(guid.Data1);
}

bool Device::Describe(DeviceKind kind, int32_t controller, DIDEVICEINSTANCEA* out) {
    std::memset(out, 0, sizeof(*out));
    out->dwSize = kInstanceSize;
    switch (kind) {
        case DeviceKind::Keyboard:
            out->guidInstance = GUID_SysKeyboard;
            out->guidProduct = GUID_SysKeyboard;
            out->dwDevType = DI8DEVTYPE_KEYBOARD | (DI8DEVTYPEKEYBOARD_PCENH << 8);
            CopyName(out->tszInstanceName, "Keyboard");
            CopyName(out->tszProductName, "Keyboard");
            out->wUsagePage = 1;
            out->wUsage = 6;
            return true;
        case DeviceKind::Mouse:
            out->guidInstance = GUID_SysMouse;
            out->guidProduct = GUID_SysMouse;
            out->dwDevType = DI8DEVTYPE_MOUSE | (DI8DEVTYPEMOUSE_TRADITIONAL << 8);
            CopyName(out->tszInstanceName, "Mouse");
            CopyName(out->tszProductName, "Mouse");
            out->wUsagePage = 1;
            out->wUsage = 2;
            return true;
        case DeviceKind::Controller: {
            ControllerInfo info;
            if (!InputHub::Get().Controllers().Find(controller, &info)) return false;
            out->guidInstance = ControllerGuid(controller);
            out->guidProduct = info.product;
            out->dwDevType = info.gamepad ? (DI8DEVTYPE_GAMEPAD | (DI8DEVTYPEGAMEPAD_STANDARD << 8))
                                          : (DI8DEVTYPE_JOYSTICK | (DI8DEVTYPEJOYSTICK_STANDARD << 8));
            out->dwDevType |= 0x00010000;  // a HID device
            CopyName(out->tszInstanceName, info.name.c_str());
            CopyName(out->tszProductName, info.name.c_str());
            out->wUsagePage = 1;
            out->wUsage = info.gamepad ? 5 : 4;
            return true;
        }
    }
    return false;
}

bool Device::__Attached() {
    if (m_kind != DeviceKind::Controller) return true;
    return m_opened && InputHub::Get().Controllers().IsAttached(m_controller);
}

HRESULT Device::GetCapabilities(LPDIDEVCAPS caps) {
    HRESULT hr;
    if (sim::internal::TakeFault("IDirectInputDevice8A::GetCapabilities", &hr)) return hr;
    if (!caps || caps->dwSize != kCapsSize) return DIERR_INVALIDPARAM;
    DIDEVICEINSTANCEA inst;
    std::memset(caps, 0, sizeof(*caps));
    caps->dwSize = kCapsSize;
    switch (m_kind) {
        case DeviceKind::Keyboard:
            caps->dwFlags = DIDC_ATTACHED;
            caps->dwDevType = DI8DEVTYPE_KEYBOARD | (DI8DEVTYPEKEYBOARD_PCENH << 8);
            caps->dwButtons = static_cast<DWORD>(KeyboardKeyCount());
            break;
        case DeviceKind::Mouse:
            caps->dwFlags = DIDC_ATTACHED;
            caps->dwDevType = DI8DEVTYPE_MOUSE | (DI8DEVTYPEMOUSE_TRADITIONAL << 8);
            caps->dwAxes = 3;
            caps->dwButtons = 5;  // left, right, middle and the two side buttons
            break;
        case DeviceKind::Controller: {
            ControllerInfo info;
            if (Describe(m_kind, m_controller, &inst)) caps->dwDevType = inst.dwDevType;
            if (__Attached() && InputHub::Get().Controllers().Find(m_controller, &info)) {
                caps->dwFlags = DIDC_ATTACHED;
                caps->dwAxes =
                    static_cast<DWORD>(info.axes < ControllerState::kAxes ? info.axes : ControllerState::kAxes);
                caps->dwButtons = static_cast<DWORD>(
                    info.buttons < ControllerState::kButtons ? info.buttons : ControllerState::kButtons);
                caps->dwPOVs =
                    static_cast<DWORD>(info.hats < ControllerState::kHats ? info.hats : ControllerState::kHats);
            }
            break;
        }
    }
    return DI_OK;
}

int Device::__AxisFromHeader(LPCDIPROPHEADER header) const {
    if (header->dwHow == DIPH_DEVICE) return header->dwObj == 0 ? -1 : -2;
    if (header->dwHow != DIPH_BYOFFSET || m_dataSize == 0) return -2;
    for (int axis = 0; axis < ControllerState::kAxes; ++axis)
        if (AxisOffset(axis) >= 0 && static_cast<DWORD>(AxisOffset(axis)) == header->dwObj) return axis;
    return -2;
}

HRESULT Device::GetProperty(REFGUID prop, LPDIPROPHEADER header) {
    HRESULT hr;
    if (sim::internal::TakeFault("IDirectInputDevice8A::GetProperty", &hr)) return hr;
    if (!header || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
    if (prop == DIPROP_BUFFERSIZE) {
        if (header->dwSize != sizeof(DIPROPDWORD)) return DIERR_INVALIDPARAM;
        if (header->dwHow != DIPH_DEVICE || header->dwObj != 0) return DIERR_INVALIDPARAM;
        reinterpret_cast<DIPROPDWORD*>(header)->dwData = m_bufferSize;
        return DI_OK;
    }
    bool range = prop == DIPROP_RANGE;
    bool dead = prop == DIPROP_DEADZONE;
    bool sat = prop == DIPROP_SATURATION;
    if (!range && !dead && !sat) return DIERR_UNSUPPORTED;
    if (m_kind != DeviceKind::Controller) return DIERR_UNSUPPORTED;
    if (header->dwSize != (range ? sizeof(DIPROPRANGE) : sizeof(DIPROPDWORD))) return DIERR_INVALIDPARAM;
    int axis = __AxisFromHeader(header);
    if (axis == -1) return DIERR_INVALIDPARAM;  // a value per axis: ask for one
    if (axis < 0) return DIERR_OBJECTNOTFOUND;
    const AxisProps& p = m_axes[axis];
    if (range) {
        auto* r = reinterpret_cast<DIPROPRANGE*>(header);
        r->lMin = p.min;
        r->lMax = p.max;
    } else {
        reinterpret_cast<DIPROPDWORD*>(header)->dwData = dead ? p.deadZone : p.saturation;
    }
    return DI_OK;
}

HRESULT Device::SetProperty(REFGUID prop, LPCDIPROPHEADER header) {
    HRESULT hr;
    if (sim::internal::TakeFault("IDirectInputDevice8A::SetProperty", &hr)) return hr;
    if (!header || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
    if (prop == DIPROP_BUFFERSIZE) {
        if (header->dwSize != sizeof(DIPROPDWORD)) return DIERR_INVALIDPARAM;
        if (header->dwHow != DIPH_DEVICE || header->dwObj != 0) return DIERR_INVALIDPARAM;
        if (IsAcquired()) return DIERR_ACQUIRED;
        m_bufferSize = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
        m_buffer.clear();
        m_overflow = false;
        sim::internal::Record("IDirectInputDevice8A::SetProperty",
                              [&] { return "DIPROP_BUFFERSIZE " + std::to_string(m_bufferSize); });
        return DI_OK;
    }
    bool range = prop == DIPROP_RANGE;
    bool dead = prop == DIPROP_DEADZONE;
    bool sat = prop == DIPROP_SATURATION;
    if (!range && !dead && !sat) return DIERR_UNSUPPORTED;
    if (m_kind != DeviceKind::Controller) return DIERR_UNSUPPORTED;
    if (header->dwSize != (range ? sizeof(DIPROPRANGE) : sizeof(DIPROPDWORD))) return DIERR_INVALIDPARAM;
    int axis = __AxisFromHeader(header);
    if (axis == -2) return DIERR_OBJECTNOTFOUND;
    int first = axis < 0 ? 0 : axis;
    int last = axis < 0 ? ControllerState::kAxes - 1 : axis;
    if (range) {
        const auto* r = reinterpret_cast<const DIPROPRANGE*>(header);
        if (r->lMin >= r->lMax) return DIERR_INVALIDPARAM;
        for (int a = first; a <= last; ++a) {
            m_axes[a].min = r->lMin;
            m_axes[a].max = r->lMax;
        }
    } else {
        DWORD value = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
        if (value > 10000) return DIERR_INVALIDPARAM;
        for (int a = first; a <= last; ++a) (dead ? m_axes[a].deadZone : m_axes[a].saturation) = value;
    }
    return DI_OK;
}

HRESULT Device::Acquire() {
    HRESULT hr;
    if (sim::internal::TakeFault("IDirectInputDevice8A::Acquire", &hr)) {
        sim::internal::Record("IDirectInputDevice8A::Acquire", "injected failure");
        return hr;
    }
    sim::internal::Record("IDirectInputDevice8A::Acquire");
    if (m_dataSize == 0) return DIERR_INVALIDPARAM;
    if (!__Attached()) return DIERR_UNPLUGGED;
    if (IsAcquired()) return DI_NOEFFECT;
    InputHub& hub = InputHub::Get();
    if (IsForegroundLevel() && !hub.IsForeground(m_hwnd)) return DIERR_OTHERAPPHASPRIO;
    if (IsExclusive()) {
        for (Device* other : hub.Devices()) {
            if (other != this && other->Kind() == m_kind && other->Controller() == m_controller &&
                other->IsAcquired() && other->IsExclusive())
                return DIERR_OTHERAPPHASPRIO;
        }
    }
    ClearData();
    m_state = State::Acquired;
    if (m_kind == DeviceKind::Mouse && IsExclusive()) hub.ExclusiveMouseChanged();
    return DI_OK;
}

HRESULT Device::Unacquire() {
    HRESULT hr;
    if (sim::internal::Enter("IDirectInputDevice8A::Unacquire", &hr)) return hr;
    if (!IsAcquired()) {
        m_state = State::NotAcquired;
        return DI_NOEFFECT;
    }
    m_state = State::NotAcquired;
    if (m_kind == DeviceKind::Mouse && IsExclusive()) InputHub::Get().ExclusiveMouseChanged();
    return DI_OK;
}

void Device::Lose() {
    if (!IsAcquired()) return;
    m_state = State::Lost;
    ClearData();
    if (m_kind == DeviceKind::Mouse && IsExclusive()) InputHub::Get().ExclusiveMouseChanged();
}

void Device::ClearData() {
    m_buffer.clear();
    m_overflow = false;
    m_motion[0] = m_motion[1] = m_motion[2] = 0;
}

HRESULT Device::__CheckAcquired() {
    if (m_state == State::Acquired) {
        if (__Attached()) return DI_OK;
        Lose();
    }
    if (m_state == State::Lost) {
        m_state = State::NotAcquired;
        return DIERR_INPUTLOST;
    }
    return DIERR_NOTACQUIRED;
}

void Device::Push(DWORD ofs, DWORD data, DWORD sequence) {
    if (!IsAcquired() || m_bufferSize == 0) return;
    if (m_buffer.size() >= m_bufferSize) {
        m_overflow = true;
        return;
    }
    m_buffer.push_back(DIDEVICEOBJECTDATA{ofs, data, GetTickCount(), sequence, 0});
}

void Device::AddMotion(int dx, int dy, int dz) {
    if (!IsAcquired()) return;
    // Wrapping arithmetic: a runaway count must not be undefined.
    m_motion[0] = static_cast<LONG>(static_cast<uint32_t>(m_motion[0]) + static_cast<uint32_t>(dx));
    m_motion[1] = static_cast<LONG>(static_cast<uint32_t>(m_motion[1]) + static_cast<uint32_t>(dy));
    m_motion[2] = static_cast<LONG>(static_cast<uint32_t>(m_motion[2]) + static_cast<uint32_t>(dz));
}

int Device::AxisOffset(int axis) const {
    if (m_kind != DeviceKind::Controller || m_dataSize == 0) return -1;
    if (axis < 0 || axis >= ControllerState::kAxes) return -1;
    return axis * 4;  // X, Y, Z, Rx, Ry, Rz, then the two sliders
}

bool Device::HasButtonOffset(int button) const {
    if (m_kind != DeviceKind::Controller || m_dataSize == 0 || button < 0) return false;
    return button < (m_dataSize == sizeof(DIJOYSTATE2) ? 128 : 32);
}

bool Device::HasPovOffset(int hat) const {
    return m_kind == DeviceKind::Controller && m_dataSize != 0 && hat >= 0 && hat < ControllerState::kHats;
}

LONG Device::ScaleAxis(int axis, int raw) const {
    if (axis < 0 || axis >= ControllerState::kAxes) return 0;
    const AxisProps& p = m_axes[axis];
    double centred = (static_cast<double>(raw) + 32768.0) / 65535.0 * 2.0 - 1.0;
    double magnitude = std::fabs(centred);
    double dead = p.deadZone / 10000.0;
    double sat = p.saturation / 10000.0;
    double scaled;
    if (magnitude <= dead)
        scaled = 0.0;
    else if (magnitude >= sat)
        scaled = 1.0;
    else
        scaled = (magnitude - dead) / (sat - dead);
    if (scaled > 1.0) scaled = 1.0;
    double signedValue = centred < 0 ? -scaled : scaled;
    double span = static_cast<double>(p.max) - static_cast<double>(p.min);
    return static_cast<LONG>(std::llround(static_cast<double>(p.min) + (signedValue + 1.0) / 2.0 * span));
}

void Device::__FillKeyboard(BYTE* out) {
    InputHub& hub = InputHub::Get();
    hub.ReleaseKeysUpOnHost();
    std::memcpy(out, hub.Keys(), 256);
}

void Device::__FillMouse(BYTE* out, DWORD size) {
    std::memset(out, 0, size);
    std::memcpy(out, m_motion, sizeof(m_motion));
    m_motion[0] = m_motion[1] = m_motion[2] = 0;
    DWORD buttons = size - sizeof(m_motion);
    std::memcpy(out + sizeof(m_motion), InputHub::Get().MouseButtons(), buttons);
}

HRESULT Device::__FillController(BYTE* out, DWORD size) {
    ControllerState st;
    if (!InputHub::Get().Controllers().Read(m_controller, &st)) return DIERR_INPUTLOST;
    std::memset(out, 0, size);
    LONG* longs = reinterpret_cast<LONG*>(out);
    int axes = st.axisCount < ControllerState::kAxes ? st.axisCount : ControllerState::kAxes;
    for (int a = 0; a < axes; ++a) longs[a] = ScaleAxis(a, st.axes[a]);
    DWORD* povs = reinterpret_cast<DWORD*>(out + DIJOFS_POV(0));
    for (int h = 0; h < ControllerState::kHats; ++h)
        povs[h] = h < st.hatCount ? PovFromHatBits(st.hats[h]) : 0xFFFFFFFF;
    int maxButtons = size == sizeof(DIJOYSTATE2) ? 128 : 32;
    int buttons = st.buttonCount < maxButtons ? st.buttonCount : maxButtons;
    for (int b = 0; b < buttons; ++b) out[DIJOFS_BUTTON(b)] = st.buttons[b] ? 0x80 : 0;
    return DI_OK;
}

HRESULT Device::GetDeviceState(DWORD cbData, LPVOID data) {
    HRESULT hr;
    if (sim::internal::TakeFault("IDirectInputDevice8A::GetDeviceState", &hr)) return hr;
    if (!data || m_dataSize == 0) return DIERR_INVALIDPARAM;
    hr = __CheckAcquired();
    if (FAILED(hr)) return hr;
    if (cbData != m_dataSize) return DIERR_INVALIDPARAM;
    BYTE* out = static_cast<BYTE*>(data);
    switch (m_kind) {
        case DeviceKind::Keyboard: __FillKeyboard(out); return DI_OK;
        case DeviceKind::Mouse: __FillMouse(out, cbData); return DI_OK;
        case DeviceKind::Controller:
            hr = __FillController(out, cbData);
            if (FAILED(hr)) {
                Lose();
                m_state = State::NotAcquired;
            }
            return hr;
    }
    return DIERR_GENERIC;
}

HRESULT Device::GetDeviceData(DWORD cbObjectData, LPDIDEVICEOBJECTDATA records, LPDWORD inOut, DWORD flags) {
    HRESULT hr;
    if (sim::internal::TakeFault("IDirectInputDevice8A::GetDeviceData", &hr)) return hr;
    if (!inOut || cbObjectData != sizeof(DIDEVICEOBJECTDATA) || (flags & ~DIGDD_PEEK) != 0) return DIERR_INVALIDPARAM;
    if (m_dataSize == 0) return DIERR_INVALIDPARAM;
    if (m_bufferSize == 0) return DIERR_NOTBUFFERED;
    hr = __CheckAcquired();
    if (FAILED(hr)) return hr;
    if (m_kind == DeviceKind::Keyboard) InputHub::Get().ReleaseKeysUpOnHost();
    bool peek = (flags & DIGDD_PEEK) != 0;
    size_t available = m_buffer.size();
    size_t n = *inOut < available ? *inOut : available;
    if (!records && peek) n = available;  // a count of what waits
    if (records)
        for (size_t i = 0; i < n; ++i) records[i] = m_buffer[i];
    if (!peek) m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(n));
    *inOut = static_cast<DWORD>(n);
    bool overflowed = m_overflow;
    if (!peek) m_overflow = false;
    return overflowed ? DI_BUFFEROVERFLOW : DI_OK;
}

HRESULT Device::SetDataFormat(LPCDIDATAFORMAT format) {
    HRESULT hr;
    if (sim::internal::TakeFault("IDirectInputDevice8A::SetDataFormat", &hr)) return hr;
    if (!format) return DIERR_INVALIDPARAM;
    if (IsAcquired()) return DIERR_ACQUIRED;
    const DIDATAFORMAT* accepted[2] = {nullptr, nullptr};
    switch (m_kind) {
        case DeviceKind::Keyboard: accepted[0] = &c_dfDIKeyboard; break;
        case DeviceKind::Mouse:
            accepted[0] = &c_dfDIMouse;
            accepted[1] = &c_dfDIMouse2;
            break;
        case DeviceKind::Controller:
            accepted[0] = &c_dfDIJoystick;
            accepted[1] = &c_dfDIJoystick2;
            break;
    }
    for (const DIDATAFORMAT* f : accepted) {
        if (f && (format == f || SameFormat(*format, *f))) {
            m_dataSize = f->dwDataSize;
            sim::internal::Record("IDirectInputDevice8A::SetDataFormat", [&] { return std::to_string(m_dataSize); });
            return DI_OK;
        }
    }
    std::fprintf(stderr, "DirectInput: only the predefined data formats are supported for this device\n");
    return DIERR_INVALIDPARAM;
}

HRESULT Device::SetCooperativeLevel(HWND hwnd, DWORD flags) {
    HRESULT hr;
    if (sim::internal::Enter("IDirectInputDevice8A::SetCooperativeLevel", &hr, [&] { return std::to_string(flags); }))
        return hr;
    DWORD known = DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_NOWINKEY;
    bool exclusive = (flags & DISCL_EXCLUSIVE) != 0;
    bool foreground = (flags & DISCL_FOREGROUND) != 0;
    if ((flags & ~known) != 0) return DIERR_INVALIDPARAM;
    if (exclusive == ((flags & DISCL_NONEXCLUSIVE) != 0)) return DIERR_INVALIDPARAM;
    if (foreground == ((flags & DISCL_BACKGROUND) != 0)) return DIERR_INVALIDPARAM;
    if ((flags & DISCL_NOWINKEY) && m_kind != DeviceKind::Keyboard) return DIERR_INVALIDPARAM;
    // The system keyboard and mouse cannot be held exclusively from the background.
    if (exclusive && !foreground && m_kind != DeviceKind::Controller) return DIERR_UNSUPPORTED;
    if ((exclusive || foreground) && !hwnd) return DIERR_INVALIDPARAM;
    if (IsAcquired()) return DIERR_ACQUIRED;
    m_level = flags;
    m_hwnd = hwnd;
    return DI_OK;
}

HRESULT Device::GetDeviceInfo(LPDIDEVICEINSTANCEA instance) {
    HRESULT hr;
    if (sim::internal::TakeFault("IDirectInputDevice8A::GetDeviceInfo", &hr)) return hr;
    if (!instance) return DIERR_INVALIDPARAM;
    DWORD size = instance->dwSize;
    if (size != kInstanceSize && size != kInstanceSizeShort) return DIERR_INVALIDPARAM;
    DIDEVICEINSTANCEA full;
    if (!Describe(m_kind, m_controller, &full)) {
        // The controller went away: keep what is known about this object.
        std::memset(&full, 0, sizeof(full));
        full.guidInstance = m_instance;
        full.dwDevType = DI8DEVTYPE_JOYSTICK | (DI8DEVTYPEJOYSTICK_STANDARD << 8);
        CopyName(full.tszInstanceName, "Game controller");
        CopyName(full.tszProductName, "Game controller");
    }
    full.dwSize = size;
    std::memcpy(instance, &full, size);
    return DI_OK;
}

HRESULT Device::Poll() {
    HRESULT hr;
    if (sim::internal::TakeFault("IDirectInputDevice8A::Poll", &hr)) return hr;
    hr = __CheckAcquired();
    if (FAILED(hr)) return hr;
    if (m_kind == DeviceKind::Controller) InputHub::Get().Controllers().Refresh();
    // Every device here reports by events; polling only refreshes.
    return DI_NOEFFECT;
}

}  // namespace dinput
}  // namespace platform
}  // namespace qndx
