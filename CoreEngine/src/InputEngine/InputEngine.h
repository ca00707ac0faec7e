// The input engine: process-wide owner of DirectInput and of every input
// device (system keyboard, system mouse, the game controllers attached at
// start-up). The main loop calls Update on every pass; Update polls each
// device kind at most once per polling period. The game manager creates it
// and owns it: a game reads its devices through
// GetInputEngine()->GetKeyboard() and the like, or takes their events in its
// game states.
#pragma once

#include "Time.h"
#include "platform/DirectInput.h"

class CQNDXGameManager;
class CQNDXKeyboard;
class CQNDXMouse;
class CQNDXJoystick;

class CQNDXInputEngine {
public:
    // Polling periods in seconds; a device is polled only when strictly more
    // than its period has passed since its last poll.
    static constexpr float kKeyboardPeriod = 0.05f;
    static constexpr float kMousePeriod = 0.025f;
    static constexpr float kJoystickPeriod = 0.025f;

    // Null without a game manager; a second call returns the same engine.
    static CQNDXInputEngine* Create(CQNDXGameManager* manager);
    static void Destroy();
    static int IsCreated();

    virtual ~CQNDXInputEngine();

    // DirectInput, mouse, keyboard, joysticks; returns the keyboard's result.
    HRESULT Init();
    void Update();

    IDirectInput8A* GetDirectInput() const { return m_pDirectInput; }
    // The devices, owned here; null when there is none.
    CQNDXKeyboard* GetKeyboard() const { return m_pKeyboard; }
    CQNDXMouse* GetMouse() const { return m_pMouse; }
    // Game controllers attached at start-up, 0 to count - 1 (null past it);
    // each is off until the game calls its SetEnabled(1).
    DWORD GetJoystickCount() const { return m_iJoystickCount; }
    CQNDXJoystick* GetJoystick(DWORD index) const;

    HRESULT AcquireAll();
    HRESULT UnacquireAll();

private:
    CQNDXInputEngine();
    CQNDXInputEngine(const CQNDXInputEngine&) = delete;
    CQNDXInputEngine& operator=(const CQNDXInputEngine&) = delete;

    void ResetFields();
    HRESULT EnumerateJoysticks();
    static BOOL CALLBACK CountDevicesCallback(LPCDIDEVICEINSTANCEA instance, LPVOID context);
    static BOOL CALLBACK CollectDevicesCallback(LPCDIDEVICEINSTANCEA instance, LPVOID context);

    IDirectInput8A* m_pDirectInput;
    DWORD m_iJoystickCount;
    CQNDXKeyboard* m_pKeyboard;
    CQNDXMouse* m_pMouse;
    CQNDXJoystick** m_ppJoysticks;
    CQNDXTime m_KeyboardTimer;
    CQNDXTime m_MouseTimer;
    CQNDXTime m_JoystickTimer;

    static CQNDXInputEngine* s_pInstance;
};
