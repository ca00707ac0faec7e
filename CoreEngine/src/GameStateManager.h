// Keeps the application's game states in a table with a current index, and a
// built-in default state that is the target while the table is empty. It is
// the keyboard, mouse and joystick listener of the input devices and forwards
// each event to the target state when that state takes that kind of event.
#pragma once

#include <vector>

#include "InputListeners.h"
#include "platform/Types.h"

class CQNDXGameManager;
class CQNDXGameState;
class CQNDXDefaultGameState;

class CQNDXGameStateManager : public CQNDXKeyboardListener,
                              public CQNDXMouseListener,
                              public CQNDXJoystickListener {
public:
    CQNDXGameStateManager();

    void OnKeyDown(int key) override;
    void OnKeyUp(int key) override;
    void OnKeyboardReacquired() override;

    virtual ~CQNDXGameStateManager();

    void OnMouseMove(int x, int y, int z) override;
    void OnMouseRawMove(int x, int y, int z) override;
    void OnMouseButtonDown(int button) override;
    void OnMouseButtonUp(int button) override;
    void OnMouseReacquired() override;

    void OnJoystickAxes(CQNDXJoystick* joystick, LONG x, LONG y, LONG z) override;
    void OnJoystickRotation(CQNDXJoystick* joystick, LONG rx, LONG ry, LONG rz) override;
    void OnJoystickSliders(CQNDXJoystick* joystick, const LONG sliders[2]) override;
    void OnJoystickPOV(CQNDXJoystick* joystick, const DWORD pov[4]) override;
    void OnJoystickButtonUp(CQNDXJoystick* joystick, int button) override;
    void OnJoystickButtonDown(CQNDXJoystick* joystick, int button) override;
    void OnJoystickVelocity(CQNDXJoystick* joystick, LONG x, LONG y, LONG z) override;
    void OnJoystickAngularVelocity(CQNDXJoystick* joystick, LONG x, LONG y, LONG z) override;
    void OnJoystickVelocitySliders(CQNDXJoystick* joystick, const LONG sliders[2]) override;
    void OnJoystickAcceleration(CQNDXJoystick* joystick, LONG x, LONG y, LONG z) override;
    void OnJoystickAngularAcceleration(CQNDXJoystick* joystick, LONG x, LONG y, LONG z) override;
    void OnJoystickAccelerationSliders(CQNDXJoystick* joystick, const LONG sliders[2]) override;
    void OnJoystickForce(CQNDXJoystick* joystick, LONG x, LONG y, LONG z) override;
    void OnJoystickTorque(CQNDXJoystick* joystick, LONG x, LONG y, LONG z) override;
    void OnJoystickForceSliders(CQNDXJoystick* joystick, const LONG sliders[2]) override;
    // Not forwarded to the states.
    void OnJoystickAcquired(CQNDXJoystick* joystick) override;

    // Appends the state (the same one may be added twice); its index, or -1
    // for none.
    int AddState(CQNDXGameState* state);
    // Entry 0's Release, then it leaves the table; it is not deleted.
    void RemoveFirstState();
    CQNDXGameState* SetCurrentState(int index);
    CQNDXGameState* SetCurrentState(CQNDXGameState* state);
    // The target state: the entry at the current index, or the default state
    // while the index names no entry.
    CQNDXGameState* GetCurrentState() const;
    int GetCurrentIndex() const { return m_iCurrent; }
    int GetStateCount() const { return (int)m_States.size(); }
    CQNDXDefaultGameState* GetDefaultState() const { return m_pDefaultState; }

    // The target's Render.
    void Frame();
    // Initialize on the default state, then on every entry in order.
    void ForAllStates();
    // The target's OnWindowMessage when it takes window messages, else 1.
    int MsgProc(CQNDXGameManager* manager, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // Drops every entry for a state that is being destroyed, in every live
    // manager, without calling into it. Called by the state's destructor.
    static void ForgetState(CQNDXGameState* state);

private:
    CQNDXGameStateManager(const CQNDXGameStateManager&) = delete;
    CQNDXGameStateManager& operator=(const CQNDXGameStateManager&) = delete;

    void __Forget(CQNDXGameState* state);
    CQNDXGameState* __SwitchTo(int index);

    std::vector<CQNDXGameState*> m_States;
    CQNDXDefaultGameState* m_pDefaultState;
    int m_iCurrent;

    // Every live manager, so a dying state can leave all of them.
    CQNDXGameStateManager* m_pNextLive;
    static CQNDXGameStateManager* ms_pFirstLive;
};
