// Listener interfaces of the input devices. The keyboard, mouse and joysticks
// call them; the game-state manager and the cursor manager implement them.
// Every operation has an empty body, so an implementer overrides only what it
// wants. The interfaces are never deleted through, so their destructors are
// protected and not virtual.
#pragma once

#include "platform/Types.h"

class CQNDXJoystick;

class CQNDXKeyboardListener {
public:
    // key is the keyboard scan code (1 Esc, 0x21 F, 0x22 G).
    virtual void OnKeyDown(int key) {}
    virtual void OnKeyUp(int key) {}
    // The keyboard was reacquired and its key states read afresh.
    virtual void OnKeyboardReacquired() {}

protected:
    ~CQNDXKeyboardListener() = default;
};

class CQNDXMouseListener {
public:
    // Clamped pointer position changed; z is the wheel position.
    virtual void OnMouseMove(int x, int y, int z) {}
    // Unclamped position changed.
    virtual void OnMouseRawMove(int x, int y, int z) {}
    // button is 0 to 7.
    virtual void OnMouseButtonDown(int button) {}
    virtual void OnMouseButtonUp(int button) {}
    virtual void OnMouseReacquired() {}

protected:
    ~CQNDXMouseListener() = default;
};

class CQNDXJoystickListener {
public:
    virtual void OnJoystickAxes(CQNDXJoystick* joystick, LONG x, LONG y, LONG z) {}
    virtual void OnJoystickRotation(CQNDXJoystick* joystick, LONG rx, LONG ry, LONG rz) {}
    virtual void OnJoystickSliders(CQNDXJoystick* joystick, const LONG sliders[2]) {}
    virtual void OnJoystickPOV(CQNDXJoystick* joystick, const DWORD pov[4]) {}
    // button is 0 to 127; up comes before down in this interface.
    virtual void OnJoystickButtonUp(CQNDXJoystick* joystick, int button) {}
    virtual void OnJoystickButtonDown(CQNDXJoystick* joystick, int button) {}
    virtual void OnJoystickVelocity(CQNDXJoystick* joystick, LONG x, LONG y, LONG z) {}
    virtual void OnJoystickAngularVelocity(CQNDXJoystick* joystick, LONG x, LONG y, LONG z) {}
    virtual void OnJoystickVelocitySliders(CQNDXJoystick* joystick, const LONG sliders[2]) {}
    virtual void OnJoystickAcceleration(CQNDXJoystick* joystick, LONG x, LONG y, LONG z) {}
    virtual void OnJoystickAngularAcceleration(CQNDXJoystick* joystick, LONG x, LONG y, LONG z) {}
    virtual void OnJoystickAccelerationSliders(CQNDXJoystick* joystick, const LONG sliders[2]) {}
    virtual void OnJoystickForce(CQNDXJoystick* joystick, LONG x, LONG y, LONG z) {}
    virtual void OnJoystickTorque(CQNDXJoystick* joystick, LONG x, LONG y, LONG z) {}
    virtual void OnJoystickForceSliders(CQNDXJoystick* joystick, const LONG sliders[2]) {}
    virtual void OnJoystickAcquired(CQNDXJoystick* joystick) {}

protected:
    ~CQNDXJoystickListener() = default;
};
