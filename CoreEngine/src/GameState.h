// Base class of the application's game states. A state receives its
// initialisation, activation and deactivation, release, one Render per frame,
// and keyboard, mouse, joystick events and window messages for each kind it
// has switched on with its flags (all off after construction).
#pragma once

#include "InputListeners.h"
#include "platform/Types.h"

class CQNDXGameManager;
class CQNDXVideoEngine;
class CQNDXInputEngine;
class CQNDXSoundEngine;

class CQNDXGameState : public CQNDXKeyboardListener, public CQNDXMouseListener, public CQNDXJoystickListener {
public:
    CQNDXGameState();

    // key is a DirectInput key code, DIK_ESCAPE, DIK_SPACE, DIK_LEFT, ... of
    // platform/DirectInput.h. Called only for the current state, and only
    // after SetKeyboardEvents(1). The keyboard is read once every 50 ms, so
    // events come in bursts at that pace, in the order the keys moved.
    void OnKeyDown(int key) override {}
    void OnKeyUp(int key) override {}
    void OnKeyboardReacquired() override {}

    // Leaves every game-state manager's table, so nothing calls into a state
    // the application has deleted.
    virtual ~CQNDXGameState();

    // Once per state when the main loop starts; the display exists by then,
    // so this is where a state loads its pictures, fonts and sounds.
    virtual void Initialize() {}
    virtual void OnActivate() {}
    virtual void OnDeactivate() {}
    // Before the state leaves the table; the first state gets it when the main
    // loop ends. Delete what the state made here.
    virtual void Release() {}
    // Once per frame while this is the current state; the result is not used.
    // Draw the whole frame onto the video engine's back buffer: afterwards the
    // engine draws its statistics box and the mouse cursor onto it and shows
    // it. Frames are paced by the display's vertical blank unless
    // the video engine's SetWaitForVSync(false): measure time to move things.
    virtual int Render() { return 0; }
    // 0: handled (the window procedure returns 0); 1: not handled.
    virtual int OnWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) { return 1; }

    // Mouse positions are in display pixels, clamped to the display; buttons
    // are 0 (left) to 7. SetMouseEvents(1) switches these on.
    void OnMouseMove(int x, int y, int z) override {}
    void OnMouseRawMove(int x, int y, int z) override {}
    void OnMouseButtonDown(int button) override {}
    void OnMouseButtonUp(int button) override {}
    void OnMouseReacquired() override {}

    void OnJoystickAxes(CQNDXJoystick* joystick, LONG x, LONG y, LONG z) override {}
    void OnJoystickRotation(CQNDXJoystick* joystick, LONG rx, LONG ry, LONG rz) override {}
    void OnJoystickSliders(CQNDXJoystick* joystick, const LONG sliders[2]) override {}
    void OnJoystickPOV(CQNDXJoystick* joystick, const DWORD pov[4]) override {}
    void OnJoystickButtonUp(CQNDXJoystick* joystick, int button) override {}
    void OnJoystickButtonDown(CQNDXJoystick* joystick, int button) override {}
    void OnJoystickVelocity(CQNDXJoystick* joystick, LONG x, LONG y, LONG z) override {}
    void OnJoystickAngularVelocity(CQNDXJoystick* joystick, LONG x, LONG y, LONG z) override {}
    void OnJoystickVelocitySliders(CQNDXJoystick* joystick, const LONG sliders[2]) override {}
    void OnJoystickAcceleration(CQNDXJoystick* joystick, LONG x, LONG y, LONG z) override {}
    void OnJoystickAngularAcceleration(CQNDXJoystick* joystick, LONG x, LONG y, LONG z) override {}
    void OnJoystickAccelerationSliders(CQNDXJoystick* joystick, const LONG sliders[2]) override {}
    void OnJoystickForce(CQNDXJoystick* joystick, LONG x, LONG y, LONG z) override {}
    void OnJoystickTorque(CQNDXJoystick* joystick, LONG x, LONG y, LONG z) override {}
    void OnJoystickForceSliders(CQNDXJoystick* joystick, const LONG sliders[2]) override {}

    // Each kind of event is off until switched on with 1.
    void SetMouseEvents(int on) { m_bMouseEvents = on; }
    void SetKeyboardEvents(int on) { m_bKeyboardEvents = on; }
    void SetWindowMessages(int on) { m_bWindowMessages = on; }
    void SetJoystickEvents(int on) { m_bJoystickEvents = on; }
    int GetMouseEvents() const { return m_bMouseEvents; }
    int GetKeyboardEvents() const { return m_bKeyboardEvents; }
    int GetWindowMessages() const { return m_bWindowMessages; }
    int GetJoystickEvents() const { return m_bJoystickEvents; }

    // The game manager and its engines, or none without a game manager. The
    // sound engine is only read here, never created.
    CQNDXGameManager* GetGameManager() const;
    CQNDXVideoEngine* GetVideoEngine() const;
    CQNDXInputEngine* GetInputEngine() const;
    CQNDXSoundEngine* GetSoundEngine() const;

private:
    int m_bMouseEvents;
    int m_bKeyboardEvents;
    int m_bWindowMessages;
    int m_bJoystickEvents;
};
