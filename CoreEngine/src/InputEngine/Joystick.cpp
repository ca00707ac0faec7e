// A game controller: value blocks compared and notified one by one, button
// states and times from the immediate state, button events from the buffered
// records, and the axis properties.
#include "InputEngine/Joystick.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "InputListeners.h"
#include "platform/Kernel.h"

namespace {

// Copies n values into the mirror when any differs; true when it did.
template <class T>
bool TakeBlock(T* mirror, const T* fresh, int n) {
    bool changed = false;
    for (int i = 0; i < n; ++i)
        if (mirror[i] != fresh[i]) changed = true;
    if (changed)
        for (int i = 0; i < n; ++i) mirror[i] = fresh[i];
    return changed;
}

bool TakeTriple(LONG* a, LONG* b, LONG* c, LONG x, LONG y, LONG z) {
    if (*a == x && *b == y && *c == z) return false;
    *a = x;
    *b = y;
    *c = z;
    return true;
}

// The smaller end plus p percent of the range, truncated toward zero; kept
// inside 32 bits where the arithmetic would leave them.
LONG PercentOfRange(LONG a, LONG b, int p) {
    int64_t low = std::min(a, b);
    int64_t span = static_cast<int64_t>(a) - b;
    if (span < 0) span = -span;
    int64_t value = low + span * p / 100;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<LONG>(value);
}

void WriteTriple(LONG* x, LONG* y, LONG* z, LONG a, LONG b, LONG c) {
    if (x) *x = a;
    if (y) *y = b;
    if (z) *z = c;
}

}  // namespace

CQNDXJoystick::CQNDXJoystick(GUID guid) : CQNDXInputDevice(guid) {
    m_Guid = guid;
    SetEnabled(0);
    ResetState();
}

CQNDXJoystick::~CQNDXJoystick() { m_Listeners.clear(); }

void CQNDXJoystick::ResetState() {
    std::fill(std::begin(m_ButtonStates), std::end(m_ButtonStates), 0);
    std::fill(std::begin(m_ButtonTimes), std::end(m_ButtonTimes), 0u);
    std::fill(std::begin(m_Reported), std::end(m_Reported), 0);
    std::memset(&m_State, 0, sizeof(m_State));
}

HRESULT CQNDXJoystick::Init(CQNDXInputEngine* engine, int exclusive, int foreground) {
    DWORD flags = 0;
    HRESULT level = __JoystickLevel(exclusive, foreground, &flags);
    HRESULT hr = __CreateDevice(engine, &c_dfDIJoystick2, level, flags, kBufferSize);
    if (hr != 0) return hr;
    return Acquire();
}

HRESULT CQNDXJoystick::SetCooperativeLevel(int exclusive, int foreground) {
    DWORD flags = 0;
    HRESULT level = __JoystickLevel(exclusive, foreground, &flags);
    return __Relevel(&c_dfDIJoystick2, level, flags);
}

void CQNDXJoystick::__TakeButtons(const BYTE* buttons) {
    DWORD now = GetTickCount();
    for (int b = 0; b < kButtons; ++b) {
        int pressed = (buttons[b] & 0x80) ? 1 : 0;
        if (pressed != m_ButtonStates[b]) {
            m_ButtonStates[b] = pressed;
            m_ButtonTimes[b] = now;
        }
    }
}

void CQNDXJoystick::__ReportButtonDifferences() {
    for (int b = 0; b < kButtons; ++b) {
        if (m_Reported[b] && !m_ButtonStates[b]) {
            m_Reported[b] = 0;
            NotifyButtonUp(b);
        }
    }
    for (int b = 0; b < kButtons; ++b) {
        if (!m_Reported[b] && m_ButtonStates[b]) {
            m_Reported[b] = 1;
            NotifyButtonDown(b);
        }
    }
}

HRESULT CQNDXJoystick::Update() {
    if (!GetDevice()) return -1;
    if (!IsEnabled()) return 0;

    m_pDevice->Poll();
    DIJOYSTATE2 st;
    std::memset(&st, 0, sizeof(st));
    HRESULT hr = m_pDevice->GetDeviceState(sizeof(DIJOYSTATE2), &st);
    if (FAILED(hr)) {
        Acquire();
        return hr;
    }

    QNDXJoystickValues& m = m_State;
    if (TakeTriple(&m.lX, &m.lY, &m.lZ, st.lX, st.lY, st.lZ)) NotifyAxes();
    if (TakeTriple(&m.lRx, &m.lRy, &m.lRz, st.lRx, st.lRy, st.lRz)) NotifyRotation();
    if (TakeBlock(m.rglSlider, st.rglSlider, 2)) NotifySliders();
    if (TakeBlock(m.rgdwPOV, st.rgdwPOV, 4)) NotifyPOV();
    __TakeButtons(st.rgbButtons);
    if (TakeTriple(&m.lVX, &m.lVY, &m.lVZ, st.lVX, st.lVY, st.lVZ)) NotifyVelocity();
    if (TakeTriple(&m.lVRx, &m.lVRy, &m.lVRz, st.lVRx, st.lVRy, st.lVRz)) NotifyAngularVelocity();
    if (TakeBlock(m.rglVSlider, st.rglVSlider, 2)) NotifyVelocitySliders();
    if (TakeTriple(&m.lAX, &m.lAY, &m.lAZ, st.lAX, st.lAY, st.lAZ)) NotifyAcceleration();
    if (TakeTriple(&m.lARx, &m.lARy, &m.lARz, st.lARx, st.lARy, st.lARz)) NotifyAngularAcceleration();
    if (TakeBlock(m.rglASlider, st.rglASlider, 2)) NotifyAccelerationSliders();
    if (TakeTriple(&m.lFX, &m.lFY, &m.lFZ, st.lFX, st.lFY, st.lFZ)) NotifyForce();
    if (TakeTriple(&m.lFRx, &m.lFRy, &m.lFRz, st.lFRx, st.lFRy, st.lFRz)) NotifyTorque();
    if (TakeBlock(m.rglFSlider, st.rglFSlider, 2)) NotifyForceSliders();

    DIDEVICEOBJECTDATA records[kBufferSize];
    DWORD count = kBufferSize;
    hr = m_pDevice->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), records, &count, 0);
    if (FAILED(hr)) {
        // The state above was read; the next poll reads the records again.
        Acquire();
        return 0;
    }
    if (count > kBufferSize) count = kBufferSize;
    for (DWORD i = 0; i < count; ++i) {
        DWORD ofs = records[i].dwOfs;
        if (ofs < DIJOFS_BUTTON(0) || ofs > DIJOFS_BUTTON(kButtons - 1)) continue;
        int button = static_cast<int>(ofs - DIJOFS_BUTTON(0));
        bool down = (records[i].dwData & 0x80) != 0;
        m_Reported[button] = down ? 1 : 0;
        if (down)
            NotifyButtonDown(button);
        else
            NotifyButtonUp(button);
    }
    // Records were lost: the buttons whose change went with them are told
    // from the state read above, so no release goes missing.
    if (hr == DI_BUFFEROVERFLOW) __ReportButtonDifferences();
    return 0;
}

HRESULT CQNDXJoystick::Acquire() {
    if (!GetDevice()) return -1;
    HRESULT hr = CQNDXInputDevice::Acquire();
    if (FAILED(hr)) return hr;
    DIJOYSTATE2 st;
    std::memset(&st, 0, sizeof(st));
    hr = m_pDevice->GetDeviceState(sizeof(DIJOYSTATE2), &st);
    if (FAILED(hr)) return hr;
    __TakeButtons(st.rgbButtons);
    for (int b = 0; b < kButtons; ++b) m_Reported[b] = static_cast<BYTE>(m_ButtonStates[b]);
    NotifyAcquired();
    return hr;
}

bool CQNDXJoystick::__Caps(DIDEVCAPS* caps) {
    if (!GetDevice()) return false;
    std::memset(caps, 0, sizeof(*caps));
    caps->dwSize = sizeof(DIDEVCAPS);
    if (FAILED(m_pDevice->GetCapabilities(caps))) return false;
    return (caps->dwFlags & DIDC_ATTACHED) != 0;
}

int CQNDXJoystick::GetButtonCount() {
    DIDEVCAPS caps;
    return __Caps(&caps) ? static_cast<int>(caps.dwButtons) : 0;
}

int CQNDXJoystick::GetPOVCount() {
    DIDEVCAPS caps;
    return __Caps(&caps) ? static_cast<int>(caps.dwPOVs) : 0;
}

int CQNDXJoystick::GetAxisCount() {
    DIDEVCAPS caps;
    return __Caps(&caps) ? static_cast<int>(caps.dwAxes) : 0;
}

int CQNDXJoystick::IsGamepad() { return GET_DIDEVICE_TYPE(m_dwDevType) == DI8DEVTYPE_GAMEPAD ? 1 : 0; }

HRESULT CQNDXJoystick::__GetRange(DWORD offset, LONG* min, LONG* max) {
    if (!GetDevice() || !min || !max) return -1;
    DIPROPRANGE range;
    std::memset(&range, 0, sizeof(range));
    range.diph.dwSize = sizeof(DIPROPRANGE);
    range.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    range.diph.dwObj = offset;
    range.diph.dwHow = DIPH_BYOFFSET;
    HRESULT hr = m_pDevice->GetProperty(DIPROP_RANGE, &range.diph);
    if (SUCCEEDED(hr)) {
        *min = range.lMin;
        *max = range.lMax;
    }
    return hr;
}

HRESULT CQNDXJoystick::__GetDword(REFGUID prop, DWORD offset, DWORD* value) {
    if (!GetDevice() || !value) return -1;
    DIPROPDWORD dw;
    std::memset(&dw, 0, sizeof(dw));
    dw.diph.dwSize = sizeof(DIPROPDWORD);
    dw.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    dw.diph.dwObj = offset;
    dw.diph.dwHow = DIPH_BYOFFSET;
    HRESULT hr = m_pDevice->GetProperty(prop, &dw.diph);
    if (SUCCEEDED(hr)) *value = dw.dwData;
    return hr;
}

HRESULT CQNDXJoystick::GetRangeX(LONG* min, LONG* max) { return __GetRange(DIJOFS_X, min, max); }
HRESULT CQNDXJoystick::GetRangeY(LONG* min, LONG* max) { return __GetRange(DIJOFS_Y, min, max); }
HRESULT CQNDXJoystick::GetRangeZ(LONG* min, LONG* max) { return __GetRange(DIJOFS_Z, min, max); }
HRESULT CQNDXJoystick::GetDeadZoneX(DWORD* value) { return __GetDword(DIPROP_DEADZONE, DIJOFS_X, value); }
HRESULT CQNDXJoystick::GetDeadZoneY(DWORD* value) { return __GetDword(DIPROP_DEADZONE, DIJOFS_Y, value); }
HRESULT CQNDXJoystick::GetSaturationX(DWORD* value) { return __GetDword(DIPROP_SATURATION, DIJOFS_X, value); }
HRESULT CQNDXJoystick::GetSaturationY(DWORD* value) { return __GetDword(DIPROP_SATURATION, DIJOFS_Y, value); }

HRESULT CQNDXJoystick::__SetAxis(DWORD offset, LONG a, LONG b, int deadZone, int saturation) {
    if (!GetDevice()) return -1;
    DIPROPRANGE range;
    range.diph.dwSize = sizeof(DIPROPRANGE);
    range.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    range.diph.dwObj = offset;
    range.diph.dwHow = DIPH_BYOFFSET;
    range.lMin = std::min(a, b);
    range.lMax = std::max(a, b);
    HRESULT hr = m_pDevice->SetProperty(DIPROP_RANGE, &range.diph);
    if (FAILED(hr)) return hr;

    DIPROPDWORD dw;
    dw.diph.dwSize = sizeof(DIPROPDWORD);
    dw.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    dw.diph.dwObj = offset;
    dw.diph.dwHow = DIPH_BYOFFSET;
    dw.dwData = static_cast<DWORD>(PercentOfRange(a, b, deadZone));
    hr = m_pDevice->SetProperty(DIPROP_DEADZONE, &dw.diph);
    if (FAILED(hr)) return hr;
    dw.dwData = static_cast<DWORD>(PercentOfRange(a, b, saturation));
    return m_pDevice->SetProperty(DIPROP_SATURATION, &dw.diph);
}

HRESULT CQNDXJoystick::SetAxisX(LONG a, LONG b, int deadZone, int saturation) {
    return __SetAxis(DIJOFS_X, a, b, deadZone, saturation);
}

HRESULT CQNDXJoystick::SetAxisY(LONG a, LONG b, int deadZone, int saturation) {
    return __SetAxis(DIJOFS_Y, a, b, deadZone, saturation);
}

void CQNDXJoystick::GetAxes(LONG* x, LONG* y, LONG* z) { WriteTriple(x, y, z, m_State.lX, m_State.lY, m_State.lZ); }
void CQNDXJoystick::GetRotation(LONG* x, LONG* y, LONG* z) {
    WriteTriple(x, y, z, m_State.lRx, m_State.lRy, m_State.lRz);
}
void CQNDXJoystick::GetVelocity(LONG* x, LONG* y, LONG* z) {
    WriteTriple(x, y, z, m_State.lVX, m_State.lVY, m_State.lVZ);
}
void CQNDXJoystick::GetAngularVelocity(LONG* x, LONG* y, LONG* z) {
    WriteTriple(x, y, z, m_State.lVRx, m_State.lVRy, m_State.lVRz);
}
void CQNDXJoystick::GetAcceleration(LONG* x, LONG* y, LONG* z) {
    WriteTriple(x, y, z, m_State.lAX, m_State.lAY, m_State.lAZ);
}
void CQNDXJoystick::GetAngularAcceleration(LONG* x, LONG* y, LONG* z) {
    WriteTriple(x, y, z, m_State.lARx, m_State.lARy, m_State.lARz);
}
void CQNDXJoystick::GetForce(LONG* x, LONG* y, LONG* z) { WriteTriple(x, y, z, m_State.lFX, m_State.lFY, m_State.lFZ); }
void CQNDXJoystick::GetTorque(LONG* x, LONG* y, LONG* z) {
    WriteTriple(x, y, z, m_State.lFRx, m_State.lFRy, m_State.lFRz);
}

void CQNDXJoystick::GetSliders(LONG* sliders) {
    if (sliders) std::copy(m_State.rglSlider, m_State.rglSlider + 2, sliders);
}
void CQNDXJoystick::GetVelocitySliders(LONG* sliders) {
    if (sliders) std::copy(m_State.rglVSlider, m_State.rglVSlider + 2, sliders);
}
void CQNDXJoystick::GetAccelerationSliders(LONG* sliders) {
    if (sliders) std::copy(m_State.rglASlider, m_State.rglASlider + 2, sliders);
}
void CQNDXJoystick::GetForceSliders(LONG* sliders) {
    if (sliders) std::copy(m_State.rglFSlider, m_State.rglFSlider + 2, sliders);
}
void CQNDXJoystick::GetPOV(DWORD* pov) {
    if (pov) std::copy(m_State.rgdwPOV, m_State.rgdwPOV + 4, pov);
}

int CQNDXJoystick::GetButton(int button, DWORD* time) {
    if (button < 0 || button >= kButtons) return 0;
    if (time) *time = m_ButtonTimes[button];
    return m_ButtonStates[button];
}

void CQNDXJoystick::AddListener(CQNDXJoystickListener* listener) {
    if (!listener) return;
    if (std::find(m_Listeners.begin(), m_Listeners.end(), listener) != m_Listeners.end()) return;
    m_Listeners.push_back(listener);
}

void CQNDXJoystick::RemoveListener(CQNDXJoystickListener* listener) {
    if (!listener) return;
    auto it = std::find(m_Listeners.begin(), m_Listeners.end(), listener);
    if (it != m_Listeners.end()) m_Listeners.erase(it);
}

void CQNDXJoystick::ClearListeners() { m_Listeners.clear(); }

namespace {

// Walks the list by index: a listener may change the list during the call.
template <class Call>
void EachListener(const std::vector<CQNDXJoystickListener*>& listeners, Call call) {
    for (size_t i = 0; i < listeners.size(); ++i) call(listeners[i]);
}

}  // namespace

void CQNDXJoystick::NotifyAxes() {
    EachListener(m_Listeners,
                 [&](CQNDXJoystickListener* l) { l->OnJoystickAxes(this, m_State.lX, m_State.lY, m_State.lZ); });
}
void CQNDXJoystick::NotifyRotation() {
    EachListener(m_Listeners,
                 [&](CQNDXJoystickListener* l) { l->OnJoystickRotation(this, m_State.lRx, m_State.lRy, m_State.lRz); });
}
void CQNDXJoystick::NotifySliders() {
    EachListener(m_Listeners, [&](CQNDXJoystickListener* l) { l->OnJoystickSliders(this, m_State.rglSlider); });
}
void CQNDXJoystick::NotifyPOV() {
    EachListener(m_Listeners, [&](CQNDXJoystickListener* l) { l->OnJoystickPOV(this, m_State.rgdwPOV); });
}
void CQNDXJoystick::NotifyButtonUp(int button) {
    EachListener(m_Listeners, [&](CQNDXJoystickListener* l) { l->OnJoystickButtonUp(this, button); });
}
void CQNDXJoystick::NotifyButtonDown(int button) {
    EachListener(m_Listeners, [&](CQNDXJoystickListener* l) { l->OnJoystickButtonDown(this, button); });
}
void CQNDXJoystick::NotifyVelocity() {
    EachListener(m_Listeners,
                 [&](CQNDXJoystickListener* l) { l->OnJoystickVelocity(this, m_State.lVX, m_State.lVY, m_State.lVZ); });
}
void CQNDXJoystick::NotifyAngularVelocity() {
    EachListener(m_Listeners, [&](CQNDXJoystickListener* l) {
        l->OnJoystickAngularVelocity(this, m_State.lVRx, m_State.lVRy, m_State.lVRz);
    });
}
void CQNDXJoystick::NotifyVelocitySliders() {
    EachListener(m_Listeners,
                 [&](CQNDXJoystickListener* l) { l->OnJoystickVelocitySliders(this, m_State.rglVSlider); });
}
void CQNDXJoystick::NotifyAcceleration() {
    EachListener(m_Listeners, [&](CQNDXJoystickListener* l) {
        l->OnJoystickAcceleration(this, m_State.lAX, m_State.lAY, m_State.lAZ);
    });
}
void CQNDXJoystick::NotifyAngularAcceleration() {
    EachListener(m_Listeners, [&](CQNDXJoystickListener* l) {
        l->OnJoystickAngularAcceleration(this, m_State.lARx, m_State.lARy, m_State.lARz);
    });
}
void CQNDXJoystick::NotifyAccelerationSliders() {
    EachListener(m_Listeners,
                 [&](CQNDXJoystickListener* l) { l->OnJoystickAccelerationSliders(this, m_State.rglASlider); });
}
void CQNDXJoystick::NotifyForce() {
    EachListener(m_Listeners,
                 [&](CQNDXJoystickListener* l) { l->OnJoystickForce(this, m_State.lFX, m_State.lFY, m_State.lFZ); });
}
void CQNDXJoystick::NotifyTorque() {
    EachListener(m_Listeners, [&](CQNDXJoystickListener* l) {
        l->OnJoystickTorque(this, m_State.lFRx, m_State.lFRy, m_State.lFRz);
    });
}
void CQNDXJoystick::NotifyForceSliders() {
    EachListener(m_Listeners, [&](CQNDXJoystickListener* l) { l->OnJoystickForceSliders(this, m_State.rglFSlider); });
}
void CQNDXJoystick::NotifyAcquired() {
    EachListener(m_Listeners, [&](CQNDXJoystickListener* l) { l->OnJoystickAcquired(this); });
}
