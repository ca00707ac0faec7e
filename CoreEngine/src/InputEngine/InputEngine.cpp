// The input engine: DirectInput, the keyboard, the mouse and the game
// controllers found at start-up (two enumeration passes: count, then
// collect), polled from the main loop at most once per period each.
#include "InputEngine/InputEngine.h"

#include <new>

#include "GameManager.h"
#include "InputEngine/Joystick.h"
#include "InputEngine/Keyboard.h"
#include "InputEngine/Mouse.h"
#include "platform/Kernel.h"

CQNDXInputEngine* CQNDXInputEngine::s_pInstance = nullptr;

namespace {

struct CountContext {
    IDirectInput8A* directInput;
    DWORD count;
};

struct CollectContext {
    IDirectInput8A* directInput;
    DWORD count;
    DWORD capacity;
    GUID* guids;
};

// Whether the instance can be opened: a trial device, released at once.
bool CanOpen(IDirectInput8A* directInput, LPCDIDEVICEINSTANCEA instance) {
    IDirectInputDevice8A* trial = nullptr;
    if (FAILED(directInput->CreateDevice(instance->guidInstance, &trial, nullptr)) || !trial) return false;
    trial->Release();
    return true;
}

}  // namespace

CQNDXInputEngine* CQNDXInputEngine::Create(CQNDXGameManager* manager) {
    if (!manager || !CQNDXGameManager::IsCreated()) return nullptr;
    if (!s_pInstance) {
        s_pInstance = new (std::nothrow) CQNDXInputEngine();
        // The manager polls and hands out the engine that exists now.
        if (s_pInstance) manager->__AdoptInputEngine(s_pInstance);
    }
    return s_pInstance;
}

void CQNDXInputEngine::Destroy() {
    if (!s_pInstance) return;
    delete s_pInstance;
    s_pInstance = nullptr;
}

int CQNDXInputEngine::IsCreated() { return s_pInstance ? 1 : 0; }

CQNDXInputEngine::CQNDXInputEngine() {
    ResetFields();
    m_KeyboardTimer.Start();
    m_MouseTimer.Start();
    m_JoystickTimer.Start();
}

CQNDXInputEngine::~CQNDXInputEngine() {
    delete m_pMouse;
    m_pMouse = nullptr;
    delete m_pKeyboard;
    m_pKeyboard = nullptr;
    if (m_ppJoysticks) {
        for (DWORD i = 0; i < m_iJoystickCount; ++i) {
            delete m_ppJoysticks[i];
            m_ppJoysticks[i] = nullptr;
        }
        delete[] m_ppJoysticks;
        m_ppJoysticks = nullptr;
    }
    if (m_pDirectInput) {
        m_pDirectInput->Release();
        m_pDirectInput = nullptr;
    }
    if (CQNDXGameManager* gm = CQNDXGameManager::GetInstance()) gm->__ForgetEngine(this);
}

void CQNDXInputEngine::ResetFields() {
    m_pDirectInput = nullptr;
    m_iJoystickCount = 0;
    m_pKeyboard = nullptr;
    m_pMouse = nullptr;
    m_ppJoysticks = nullptr;
}

HRESULT CQNDXInputEngine::Init() {
    HRESULT hr = DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                    reinterpret_cast<LPVOID*>(&m_pDirectInput), nullptr);
    if (FAILED(hr)) {
        m_pDirectInput = nullptr;
        return hr;
    }

    m_pMouse = new (std::nothrow) CQNDXMouse(GUID_SysMouse);
    if (m_pMouse) m_pMouse->Create(this, 0, 0);

    HRESULT keyboard = -1;
    m_pKeyboard = new (std::nothrow) CQNDXKeyboard(GUID_SysKeyboard);
    if (m_pKeyboard) keyboard = m_pKeyboard->Create(this, 0, 1, 1);

    EnumerateJoysticks();
    if (CQNDXGameManager* gm = CQNDXGameManager::GetInstance()) gm->__InputDevicesMade(this);
    return keyboard;
}

BOOL CALLBACK CQNDXInputEngine::CountDevicesCallback(LPCDIDEVICEINSTANCEA instance, LPVOID context) {
    auto* ctx = static_cast<CountContext*>(context);
    if (instance && CanOpen(ctx->directInput, instance)) ++ctx->count;
    return DIENUM_CONTINUE;
}

BOOL CALLBACK CQNDXInputEngine::CollectDevicesCallback(LPCDIDEVICEINSTANCEA instance, LPVOID context) {
    auto* ctx = static_cast<CollectContext*>(context);
    if (instance && CanOpen(ctx->directInput, instance) && ctx->count < ctx->capacity) {
        ctx->guids[ctx->count] = instance->guidInstance;
        ++ctx->count;
    }
    return DIENUM_CONTINUE;
}

HRESULT CQNDXInputEngine::EnumerateJoysticks() {
    if (!m_pDirectInput) return 0;
    CountContext counting{m_pDirectInput, 0};
    HRESULT hr =
        m_pDirectInput->EnumDevices(DI8DEVCLASS_GAMECTRL, &CountDevicesCallback, &counting, DIEDFL_ATTACHEDONLY);
    if (FAILED(hr)) return hr;
    if (counting.count == 0) return 0;

    GUID* guids = new (std::nothrow) GUID[counting.count];
    if (!guids) return -1;
    CollectContext collecting{m_pDirectInput, 0, counting.count, guids};
    hr = m_pDirectInput->EnumDevices(DI8DEVCLASS_GAMECTRL, &CollectDevicesCallback, &collecting, DIEDFL_ATTACHEDONLY);
    if (FAILED(hr)) {
        delete[] guids;
        return hr;
    }
    if (collecting.count > 0) {
        m_ppJoysticks = new (std::nothrow) CQNDXJoystick*[collecting.count];
        if (!m_ppJoysticks) {
            delete[] guids;
            return -1;
        }
        m_iJoystickCount = collecting.count;
        for (DWORD i = 0; i < m_iJoystickCount; ++i) {
            m_ppJoysticks[i] = new (std::nothrow) CQNDXJoystick(guids[i]);
            if (m_ppJoysticks[i]) m_ppJoysticks[i]->Init(this, 1, 1);
        }
    }
    delete[] guids;
    return hr;
}

void CQNDXInputEngine::Update() {
    if (m_KeyboardTimer.GetElapsed() > kKeyboardPeriod && m_pKeyboard && m_pKeyboard->IsEnabled()) {
        m_pKeyboard->Update();
        m_KeyboardTimer.Lap();
    }
    if (m_MouseTimer.GetElapsed() > kMousePeriod && m_pMouse && m_pMouse->IsEnabled()) {
        m_pMouse->Update();
        m_MouseTimer.Lap();
    }
    if (m_JoystickTimer.GetElapsed() > kJoystickPeriod) {
        m_JoystickTimer.Lap();
        for (DWORD i = 0; i < m_iJoystickCount; ++i)
            if (m_ppJoysticks[i] && m_ppJoysticks[i]->IsEnabled()) m_ppJoysticks[i]->Update();
    }
}

CQNDXJoystick* CQNDXInputEngine::GetJoystick(DWORD index) const {
    if (!m_ppJoysticks || index >= m_iJoystickCount) return nullptr;
    return m_ppJoysticks[index];
}

HRESULT CQNDXInputEngine::AcquireAll() {
    // Nothing acquired is not a success.
    HRESULT hr = -1;
    if (m_pKeyboard) hr = m_pKeyboard->Acquire();
    if (m_pMouse) hr = m_pMouse->Acquire();
    for (DWORD i = 0; i < m_iJoystickCount; ++i)
        if (m_ppJoysticks[i] && m_ppJoysticks[i]->IsEnabled()) hr = m_ppJoysticks[i]->Acquire();
    return hr;
}

HRESULT CQNDXInputEngine::UnacquireAll() {
    HRESULT hr = -1;
    if (m_pKeyboard) hr = m_pKeyboard->Unacquire();
    if (m_pMouse) hr = m_pMouse->Unacquire();
    for (DWORD i = 0; i < m_iJoystickCount; ++i)
        if (m_ppJoysticks[i] && m_ppJoysticks[i]->IsEnabled()) hr = m_ppJoysticks[i]->Unacquire();
    return hr;
}
