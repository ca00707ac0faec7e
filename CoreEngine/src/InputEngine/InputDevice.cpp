// Device base: acquisition with retries, the attachment test, release, and
// the creation and re-levelling steps shared by the keyboard, mouse and
// joysticks, with their cooperative-level tables.
#include "InputEngine/InputDevice.h"

#include <cstring>

#include "GameManager.h"
#include "InputEngine/InputEngine.h"
#include "Util/Window.h"

namespace {

constexpr DWORD kNameLength = MAX_PATH;

char* CopyName(const char* src) {
    char* name = new char[kNameLength];
    std::strncpy(name, src, kNameLength - 1);
    name[kNameLength - 1] = '\0';
    return name;
}

}  // namespace

CQNDXInputDevice::CQNDXInputDevice()
    : m_pDevice(nullptr),
      m_iFlag1(1),
      m_iFlag2(1),
      m_pInstanceName(nullptr),
      m_pProductName(nullptr),
      m_dwDevType(0),
      m_Guid(),
      m_bEnabled(1) {}

CQNDXInputDevice::CQNDXInputDevice(GUID guid) : CQNDXInputDevice() { m_Guid = guid; }

CQNDXInputDevice::~CQNDXInputDevice() {
    if (m_pDevice) {
        CQNDXInputDevice::Unacquire();
        m_pDevice->Release();
        m_pDevice = nullptr;
    }
    delete[] m_pInstanceName;
    delete[] m_pProductName;
    m_pInstanceName = nullptr;
    m_pProductName = nullptr;
}

IDirectInputDevice8A* CQNDXInputDevice::GetDevice() { return m_pDevice; }
int CQNDXInputDevice::GetFlag1() { return m_iFlag1; }
int CQNDXInputDevice::GetFlag2() { return m_iFlag2; }
GUID CQNDXInputDevice::GetGUID() { return m_Guid; }
int CQNDXInputDevice::IsEnabled() { return m_bEnabled; }
const char* CQNDXInputDevice::GetInstanceName() { return m_pInstanceName; }
const char* CQNDXInputDevice::GetProductName() { return m_pProductName; }
DWORD CQNDXInputDevice::GetDeviceType() { return m_dwDevType; }
void CQNDXInputDevice::SetEnabled(int enabled) { m_bEnabled = enabled; }

int CQNDXInputDevice::IsAttached() {
    if (!GetDevice()) return 0;
    DIDEVCAPS caps;
    std::memset(&caps, 0, sizeof(caps));
    caps.dwSize = sizeof(DIDEVCAPS);
    if (FAILED(m_pDevice->GetCapabilities(&caps))) return 0;
    return (caps.dwFlags & DIDC_ATTACHED) ? 1 : 0;
}

HRESULT CQNDXInputDevice::Acquire() {
    if (!GetDevice()) return -1;
    HRESULT hr = m_pDevice->Acquire();
    for (int attempt = 1; FAILED(hr) && attempt < kAcquireAttempts; ++attempt) hr = m_pDevice->Acquire();
    return hr;
}

HRESULT CQNDXInputDevice::Unacquire() {
    if (!GetDevice()) return -1;
    return m_pDevice->Unacquire();
}

HRESULT CQNDXInputDevice::__MouseLevel(int exclusive, int foreground, DWORD* flags) {
    if (exclusive == 0 && foreground == 0) {
        *flags = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
    } else if (exclusive == 0 && foreground == 1) {
        *flags = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND;
    } else if (exclusive == 1 && foreground == 1) {
        *flags = DISCL_EXCLUSIVE | DISCL_FOREGROUND;
    } else {
        *flags = 0;
        return E_NOTIMPL;
    }
    return S_OK;
}

HRESULT CQNDXInputDevice::__KeyboardCreateLevel(int exclusive, int foreground, int noWinKey, DWORD* flags) {
    if (exclusive == 0 && foreground == 0) {
        *flags = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
        return S_OK;
    }
    return __KeyboardRelevel(exclusive, foreground, noWinKey, flags);
}

HRESULT CQNDXInputDevice::__KeyboardRelevel(int exclusive, int foreground, int noWinKey, DWORD* flags) {
    DWORD winKey = noWinKey ? DISCL_NOWINKEY : 0;
    if (exclusive == 0 && foreground == 0) {
        *flags = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND | winKey;
    } else if (exclusive == 0 && foreground == 1) {
        *flags = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | winKey;
    } else if (exclusive == 1 && foreground == 1) {
        *flags = DISCL_EXCLUSIVE | DISCL_FOREGROUND;
    } else {
        *flags = 0;
        return E_NOTIMPL;
    }
    return S_OK;
}

HRESULT CQNDXInputDevice::__JoystickLevel(int exclusive, int foreground, DWORD* flags) {
    if (__MouseLevel(exclusive, foreground, flags) != S_OK) *flags = DISCL_EXCLUSIVE | DISCL_BACKGROUND;
    return S_OK;
}

HWND CQNDXInputDevice::__GameWindow() {
    CQNDXGameManager* manager = CQNDXGameManager::GetInstance();
    if (!manager || !manager->GetWindow()) return nullptr;
    return manager->GetWindow()->GetHWND();
}

HRESULT CQNDXInputDevice::__CreateDevice(CQNDXInputEngine* engine, const DIDATAFORMAT* format, HRESULT levelResult,
                                         DWORD levelFlags, DWORD bufferSize) {
    if (!engine || !engine->GetDirectInput()) return -1;
    // A second creation replaces the device instead of leaking it.
    if (m_pDevice) {
        CQNDXInputDevice::Unacquire();
        m_pDevice->Release();
        m_pDevice = nullptr;
    }
    HRESULT hr = engine->GetDirectInput()->CreateDevice(m_Guid, &m_pDevice, nullptr);
    if (FAILED(hr)) {
        m_pDevice = nullptr;
        return hr;
    }
    hr = m_pDevice->SetDataFormat(format);
    if (FAILED(hr)) return hr;
    if (levelResult == E_NOTIMPL) return E_NOTIMPL;
    hr = m_pDevice->SetCooperativeLevel(__GameWindow(), levelFlags);
    if (FAILED(hr)) return hr;

    DIPROPDWORD buffer;
    buffer.diph.dwSize = sizeof(DIPROPDWORD);
    buffer.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    buffer.diph.dwObj = 0;
    buffer.diph.dwHow = DIPH_DEVICE;
    buffer.dwData = bufferSize;
    hr = m_pDevice->SetProperty(DIPROP_BUFFERSIZE, &buffer.diph);
    if (FAILED(hr)) return hr;

    DIDEVICEINSTANCEA instance;
    std::memset(&instance, 0, sizeof(instance));
    instance.dwSize = sizeof(DIDEVICEINSTANCEA);
    m_pDevice->GetDeviceInfo(&instance);
    delete[] m_pInstanceName;
    delete[] m_pProductName;
    m_pInstanceName = CopyName(instance.tszInstanceName);
    m_pProductName = CopyName(instance.tszProductName);
    m_dwDevType = instance.dwDevType;
    return 0;
}

HRESULT CQNDXInputDevice::__Relevel(const DIDATAFORMAT* format, HRESULT levelResult, DWORD levelFlags) {
    if (!GetDevice()) return -1;
    HRESULT hr = Unacquire();
    if (FAILED(hr)) return hr;
    hr = m_pDevice->SetDataFormat(format);
    if (FAILED(hr)) return hr;
    if (levelResult == E_NOTIMPL) return E_NOTIMPL;
    hr = m_pDevice->SetCooperativeLevel(__GameWindow(), levelFlags);
    if (FAILED(hr)) return hr;
    return Acquire();
}
