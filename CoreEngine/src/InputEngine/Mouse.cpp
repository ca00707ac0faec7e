// The mouse: positions from relative movement (acceleration, sensitivity,
// clamping), the wheel, eight buttons with change times and the swap of the
// first two, and the listener calls.
#include "InputEngine/Mouse.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "GameManager.h"
#include "InputListeners.h"
#include "platform/Kernel.h"
#include "platform/User.h"

namespace {

void Log(const char* message, bool error) {
    CQNDXGameManager* manager = CQNDXGameManager::GetInstance();
    if (!manager) return;
    if (error)
        manager->LogError(message, 1);
    else
        manager->LogInfo(message, 1);
}

// Truncation toward zero that stays inside int: a runaway movement or factor
// must not be undefined.
int TruncateToInt(double value) {
    if (!(value == value)) return 0;
    if (value >= 2147483647.0) return INT_MAX;
    if (value <= -2147483648.0) return INT_MIN;
    return static_cast<int>(value);
}

int AddSaturated(int a, int b) {
    int64_t sum = static_cast<int64_t>(a) + b;
    if (sum > INT_MAX) return INT_MAX;
    if (sum < INT_MIN) return INT_MIN;
    return static_cast<int>(sum);
}

// One inside an upper or lower bound, without leaving int at its ends.
int Below(int bound) { return bound == INT_MIN ? INT_MIN : bound - 1; }
int Above(int bound) { return bound == INT_MAX ? INT_MAX : bound + 1; }

}  // namespace

CQNDXMouse::CQNDXMouse(GUID guid) : CQNDXInputDevice(guid) {
    m_Guid = guid;
    InitDefaults();
}

CQNDXMouse::~CQNDXMouse() { m_Listeners.clear(); }

void CQNDXMouse::InitDefaults() {
    std::fill(std::begin(m_ButtonStates), std::end(m_ButtonStates), 0);
    std::fill(std::begin(m_ButtonTimes), std::end(m_ButtonTimes), 0u);
    std::fill(std::begin(m_Reported), std::end(m_Reported), 0);
    m_Listeners.clear();
    m_fSensitivity = 0.5f;
    m_iMinX = m_iMinY = m_iMinZ = INT_MIN;
    m_iMaxX = m_iMaxY = m_iMaxZ = INT_MAX;
    m_iX = m_iY = m_iZ = 0;
    m_iThreshold1 = 5;
    m_iThreshold2 = 10;
    m_iRawX = m_iRawY = m_iRawZ = 0;
    m_dFactor1 = 1.2;
    m_dFactor2 = 1.5;
    m_bAcceleration = 1;
    m_bSwapButtons = 0;
}

HRESULT CQNDXMouse::Create(CQNDXInputEngine* engine, int exclusive, int foreground) {
    DWORD flags = 0;
    HRESULT level = __MouseLevel(exclusive, foreground, &flags);
    HRESULT hr = __CreateDevice(engine, &c_dfDIMouse2, level, flags, kBufferSize);
    if (hr != 0) return hr;
    hr = Acquire();
    // Lost input is worth another try, but not for ever.
    for (int retry = 0; hr == DIERR_INPUTLOST && retry < kLostRetries; ++retry) hr = Acquire();
    if (hr == DIERR_INPUTLOST) Log("CQNDXMouse::Create: the mouse stays lost; it is acquired again when read", true);
    return hr;
}

HRESULT CQNDXMouse::SetCooperation(int exclusive, int foreground) {
    DWORD flags = 0;
    HRESULT level = __MouseLevel(exclusive, foreground, &flags);
    return __Relevel(&c_dfDIMouse2, level, flags);
}

int CQNDXMouse::__Accelerate(int movement) const {
    if (!m_bAcceleration) return movement;
    int64_t magnitude = movement < 0 ? -static_cast<int64_t>(movement) : movement;
    if (magnitude > m_iThreshold2) return TruncateToInt(movement * m_dFactor2);
    if (magnitude > m_iThreshold1) return TruncateToInt(movement * m_dFactor1);
    return movement;
}

int CQNDXMouse::__Swapped(int button) const {
    if (m_bSwapButtons && (button == 0 || button == 1)) return 1 - button;
    return button;
}

void CQNDXMouse::__TakeButtons(const BYTE* buttons) {
    DWORD now = GetTickCount();
    for (int b = 0; b < 8; ++b) {
        int pressed = (buttons[b] & 0x80) ? 1 : 0;
        if (pressed != m_ButtonStates[b]) {
            m_ButtonStates[b] = pressed;
            m_ButtonTimes[b] = now;
        }
    }
}

void CQNDXMouse::__ReportButtonDifferences() {
    for (int b = 0; b < 8; ++b) {
        if (m_Reported[b] && !m_ButtonStates[b]) {
            m_Reported[b] = 0;
            NotifyButtonUp(__Swapped(b));
        }
    }
    for (int b = 0; b < 8; ++b) {
        if (!m_Reported[b] && m_ButtonStates[b]) {
            m_Reported[b] = 1;
            NotifyButtonDown(__Swapped(b));
        }
    }
}

HRESULT CQNDXMouse::Update() {
    if (!GetDevice()) return -1;
    if (!IsEnabled()) return 0;

    DIMOUSESTATE2 state;
    std::memset(&state, 0, sizeof(state));
    HRESULT hr = m_pDevice->GetDeviceState(sizeof(DIMOUSESTATE2), &state);
    if (FAILED(hr)) {
        Acquire();
        if (hr == DIERR_OTHERAPPHASPRIO) {
            Log("Lost", false);
            return hr;
        }
        Acquire();
        return hr;
    }

    int moveX = __Accelerate(state.lX);
    int moveY = __Accelerate(state.lY);

    int oldX = m_iX, oldY = m_iY, oldZ = m_iZ;
    int oldRawX = m_iRawX, oldRawY = m_iRawY, oldRawZ = m_iRawZ;

    int dx = TruncateToInt(static_cast<double>(moveX * m_fSensitivity));
    int dy = TruncateToInt(static_cast<double>(moveY * m_fSensitivity));
    m_iRawX = AddSaturated(m_iRawX, dx);
    m_iRawY = AddSaturated(m_iRawY, dy);
    m_iX = AddSaturated(m_iX, dx);
    m_iY = AddSaturated(m_iY, dy);

    if (m_iX >= m_iMaxX) m_iX = Below(m_iMaxX);
    if (m_iY >= m_iMaxY) m_iY = Below(m_iMaxY);
    if (m_iX <= m_iMinX) m_iX = m_iMinX;
    if (m_iY <= m_iMinY) m_iY = m_iMinY;

    __TakeButtons(state.rgbButtons);

    // The wheel position is set from this poll's notches, not added: a
    // quirk callers rely on.
    if (state.lZ != 0) {
        int notches = state.lZ / kWheelDelta;
        m_iRawZ = notches;
        m_iZ = notches;
        if (state.lZ > 0 && m_iZ >= m_iMaxZ) m_iZ = Below(m_iMaxZ);
        if (state.lZ < 0 && m_iZ <= m_iMinZ) m_iZ = m_iMinZ;
    }

    if (m_iX != oldX || m_iY != oldY || m_iZ != oldZ) NotifyMove(m_iX, m_iY, m_iZ);
    if (m_iRawX != oldRawX || m_iRawY != oldRawY || m_iRawZ != oldRawZ) NotifyRawMove(m_iRawX, m_iRawY, m_iRawZ);

    DIDEVICEOBJECTDATA records[kBufferSize];
    DWORD count = kBufferSize;
    hr = m_pDevice->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), records, &count, 0);
    if (FAILED(hr)) {
        Acquire();
        return hr;
    }
    if (count > kBufferSize) count = kBufferSize;
    for (DWORD i = 0; i < count; ++i) {
        DWORD ofs = records[i].dwOfs;
        if (ofs < DIMOFS_BUTTON0 || ofs > DIMOFS_BUTTON7) continue;
        int device = static_cast<int>(ofs - DIMOFS_BUTTON0);
        bool down = (records[i].dwData & 0x80) != 0;
        m_Reported[device] = down ? 1 : 0;
        if (down)
            NotifyButtonDown(__Swapped(device));
        else
            NotifyButtonUp(__Swapped(device));
    }
    // Clicks lost to an overflow are made good from the immediate state.
    if (hr == DI_BUFFEROVERFLOW) {
        __ReportButtonDifferences();
        return hr;
    }
    return 0;
}

HRESULT CQNDXMouse::Acquire() {
    if (!GetDevice()) return -1;
    HRESULT hr = CQNDXInputDevice::Acquire();
    DIMOUSESTATE2 state;
    std::memset(&state, 0, sizeof(state));
    if (SUCCEEDED(hr)) hr = m_pDevice->GetDeviceState(sizeof(DIMOUSESTATE2), &state);
    if (FAILED(hr)) return hr;
    __TakeButtons(state.rgbButtons);
    for (int b = 0; b < 8; ++b) m_Reported[b] = m_ButtonStates[b];
    NotifyReacquired();
    return hr;
}

int CQNDXMouse::HasWheel() {
    if (!GetDevice()) return 0;
    DIDEVCAPS caps;
    std::memset(&caps, 0, sizeof(caps));
    caps.dwSize = sizeof(DIDEVCAPS);
    if (FAILED(m_pDevice->GetCapabilities(&caps))) return 0;
    return ((caps.dwFlags & DIDC_ATTACHED) && caps.dwAxes >= 3) ? 1 : 0;
}

int CQNDXMouse::GetButtonCount() {
    if (!GetDevice()) return 0;
    DIDEVCAPS caps;
    std::memset(&caps, 0, sizeof(caps));
    caps.dwSize = sizeof(DIDEVCAPS);
    if (FAILED(m_pDevice->GetCapabilities(&caps))) return 0;
    return (caps.dwFlags & DIDC_ATTACHED) ? static_cast<int>(caps.dwButtons) : 0;
}

void CQNDXMouse::SetBounds(int x1, int y1, int x2, int y2) {
    m_iMinX = std::min(x1, x2);
    m_iMaxX = std::max(x1, x2);
    m_iMinY = std::min(y1, y2);
    m_iMaxY = std::max(y1, y2);
}

void CQNDXMouse::SetBounds(int x1, int y1, int x2, int y2, int z1, int z2) {
    SetBounds(x1, y1, x2, y2);
    m_iMinZ = std::min(z1, z2);
    m_iMaxZ = std::max(z1, z2);
}

void CQNDXMouse::SetSensitivity(float sensitivity) { m_fSensitivity = sensitivity >= 0.0f ? sensitivity : 0.0f; }
float CQNDXMouse::GetSensitivity() { return m_fSensitivity; }

void CQNDXMouse::SetAcceleration(int threshold1, double factor1, int threshold2, double factor2) {
    if (threshold1 == 0 && threshold2 == 0) {
        int mouse[3] = {0, 0, 0};
        SystemParametersInfoA(SPI_GETMOUSE, 0, mouse, 0);
        m_iThreshold1 = mouse[2] >= 1 ? mouse[0] : 999;
        m_iThreshold2 = mouse[2] == 2 ? mouse[1] : 999;
        m_dFactor1 = 2.0;
        m_dFactor2 = 4.0;
        return;
    }
    if (threshold1 <= threshold2) {
        m_iThreshold1 = threshold1;
        m_dFactor1 = factor1;
        m_iThreshold2 = threshold2;
        m_dFactor2 = factor2;
    } else {
        m_iThreshold1 = threshold2;
        m_dFactor1 = factor2;
        m_iThreshold2 = threshold1;
        m_dFactor2 = factor1;
    }
}

void CQNDXMouse::GetAcceleration(int* threshold1, double* factor1, int* threshold2, double* factor2) {
    if (!threshold1 || !factor1 || !threshold2 || !factor2) return;
    *threshold1 = m_iThreshold1;
    *factor1 = m_dFactor1;
    *threshold2 = m_iThreshold2;
    *factor2 = m_dFactor2;
}

void CQNDXMouse::EnableAcceleration(int enable) { m_bAcceleration = enable; }
int CQNDXMouse::IsAccelerationEnabled() { return m_bAcceleration; }
void CQNDXMouse::SetSwapButtons(int swap) { m_bSwapButtons = swap; }
int CQNDXMouse::AreButtonsSwapped() { return m_bSwapButtons; }

void CQNDXMouse::SetPosition(int x, int y) {
    m_iX = x;
    m_iY = y;
    if (m_iX >= m_iMaxX) m_iX = Below(m_iMaxX);
    if (m_iX <= m_iMinX) m_iX = Above(m_iMinX);
    if (m_iY >= m_iMaxY) m_iY = Below(m_iMaxY);
    if (m_iY <= m_iMinY) m_iY = Above(m_iMinY);
    NotifyMove(m_iX, m_iY, m_iZ);
}

void CQNDXMouse::SetPosition(int x, int y, int z) {
    SetPosition(x, y);
    m_iZ = z;
    if (m_iZ >= m_iMaxZ) m_iZ = Below(m_iMaxZ);
    if (m_iZ <= m_iMinZ) m_iZ = Above(m_iMinZ);
    NotifyMove(m_iX, m_iY, m_iZ);
}

void CQNDXMouse::SetRawPosition(int x, int y) {
    m_iRawX = x;
    m_iRawY = y;
    NotifyRawMove(m_iRawX, m_iRawY, m_iRawZ);
}

void CQNDXMouse::SetRawPosition(int x, int y, int z) {
    m_iRawX = x;
    m_iRawY = y;
    m_iRawZ = z;
    NotifyRawMove(m_iRawX, m_iRawY, m_iRawZ);
}

void CQNDXMouse::GetPosition(int* x, int* y) {
    if (!x || !y) return;
    *x = m_iX;
    *y = m_iY;
}

void CQNDXMouse::GetPosition(int* x, int* y, int* z) {
    if (!x || !y || !z) return;
    *x = m_iX;
    *y = m_iY;
    *z = m_iZ;
}

void CQNDXMouse::GetRawPosition(int* x, int* y) {
    if (!x || !y) return;
    *x = m_iRawX;
    *y = m_iRawY;
}

void CQNDXMouse::GetRawPosition(int* x, int* y, int* z) {
    if (!x || !y || !z) return;
    *x = m_iRawX;
    *y = m_iRawY;
    *z = m_iRawZ;
}

int CQNDXMouse::GetButtonState(int button, DWORD* time) {
    if (button < 0 || button > 7) return 0;
    int device = __Swapped(button);
    if (time) *time = m_ButtonTimes[device];
    return m_ButtonStates[device];
}

void CQNDXMouse::AddListener(CQNDXMouseListener* listener) {
    if (!listener) return;
    if (std::find(m_Listeners.begin(), m_Listeners.end(), listener) != m_Listeners.end()) return;
    m_Listeners.push_back(listener);
}

void CQNDXMouse::RemoveListener(CQNDXMouseListener* listener) {
    if (!listener) return;
    auto it = std::find(m_Listeners.begin(), m_Listeners.end(), listener);
    if (it != m_Listeners.end()) m_Listeners.erase(it);
}

void CQNDXMouse::RemoveAllListeners() { m_Listeners.clear(); }

// Walked by index: a listener may add or remove listeners during the call.
void CQNDXMouse::NotifyMove(int x, int y, int z) {
    for (size_t i = 0; i < m_Listeners.size(); ++i) m_Listeners[i]->OnMouseMove(x, y, z);
}

void CQNDXMouse::NotifyRawMove(int x, int y, int z) {
    for (size_t i = 0; i < m_Listeners.size(); ++i) m_Listeners[i]->OnMouseRawMove(x, y, z);
}

void CQNDXMouse::NotifyButtonDown(int button) {
    for (size_t i = 0; i < m_Listeners.size(); ++i) m_Listeners[i]->OnMouseButtonDown(button);
}

void CQNDXMouse::NotifyButtonUp(int button) {
    for (size_t i = 0; i < m_Listeners.size(); ++i) m_Listeners[i]->OnMouseButtonUp(button);
}

void CQNDXMouse::NotifyReacquired() {
    for (size_t i = 0; i < m_Listeners.size(); ++i) m_Listeners[i]->OnMouseReacquired();
}
