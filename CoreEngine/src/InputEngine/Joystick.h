// One attached game controller read through the extended joystick state. It
// mirrors every value block except the buttons, tells its listeners block by
// block what changed, keeps 128 button states with their change times, and
// turns buffered button records into button calls. Created disabled: nothing
// happens until the application enables it (SetEnabled(1)). The input engine
// owns it and reads it every 25 ms.
#pragma once

#include <vector>

#include "InputEngine/InputDevice.h"

class CQNDXJoystickListener;

// The value blocks of the extended joystick state without its buttons, in
// the platform's order.
struct QNDXJoystickValues {
    LONG lX, lY, lZ;
    LONG lRx, lRy, lRz;
    LONG rglSlider[2];
    DWORD rgdwPOV[4];
    LONG lVX, lVY, lVZ;
    LONG lVRx, lVRy, lVRz;
    LONG rglVSlider[2];
    LONG lAX, lAY, lAZ;
    LONG lARx, lARy, lARz;
    LONG rglASlider[2];
    LONG lFX, lFY, lFZ;
    LONG lFRx, lFRy, lFRz;
    LONG rglFSlider[2];
};

class CQNDXJoystick : public CQNDXInputDevice {
public:
    static constexpr DWORD kBufferSize = 256;
    static constexpr int kButtons = 128;

    explicit CQNDXJoystick(GUID guid);
    ~CQNDXJoystick() override;

    HRESULT Init(CQNDXInputEngine* engine, int exclusive, int foreground);
    HRESULT SetCooperativeLevel(int exclusive, int foreground);

    // -1 without a device; a failed state read's result (after re-acquiring);
    // else 0, also when the buffered read failed (re-acquired) or overflowed.
    HRESULT Update() override;
    HRESULT Acquire() override;

    int GetButtonCount();
    int GetPOVCount();
    int GetAxisCount();
    int IsGamepad();

    HRESULT GetRangeX(LONG* min, LONG* max);
    HRESULT GetRangeY(LONG* min, LONG* max);
    HRESULT GetRangeZ(LONG* min, LONG* max);
    HRESULT GetDeadZoneX(DWORD* value);
    HRESULT GetDeadZoneY(DWORD* value);
    HRESULT GetSaturationX(DWORD* value);
    HRESULT GetSaturationY(DWORD* value);
    // Range from the two ends in either order; dead zone and saturation as
    // percentages of that range.
    HRESULT SetAxisX(LONG a, LONG b, int deadZone, int saturation);
    HRESULT SetAxisY(LONG a, LONG b, int deadZone, int saturation);

    void GetAxes(LONG* x, LONG* y, LONG* z);
    void GetRotation(LONG* x, LONG* y, LONG* z);
    void GetVelocity(LONG* x, LONG* y, LONG* z);
    void GetAngularVelocity(LONG* x, LONG* y, LONG* z);
    void GetAcceleration(LONG* x, LONG* y, LONG* z);
    void GetAngularAcceleration(LONG* x, LONG* y, LONG* z);
    void GetForce(LONG* x, LONG* y, LONG* z);
    void GetTorque(LONG* x, LONG* y, LONG* z);
    void GetSliders(LONG* sliders);
    void GetVelocitySliders(LONG* sliders);
    void GetAccelerationSliders(LONG* sliders);
    void GetForceSliders(LONG* sliders);
    void GetPOV(DWORD* pov);
    // Button 0 to 127: 1 while down, else 0.
    int GetButton(int button, DWORD* time = nullptr);

    void AddListener(CQNDXJoystickListener* listener);
    void RemoveListener(CQNDXJoystickListener* listener);
    void ClearListeners();

    void NotifyAxes();
    void NotifyRotation();
    void NotifySliders();
    void NotifyPOV();
    void NotifyButtonUp(int button);
    void NotifyButtonDown(int button);
    void NotifyVelocity();
    void NotifyAngularVelocity();
    void NotifyVelocitySliders();
    void NotifyAcceleration();
    void NotifyAngularAcceleration();
    void NotifyAccelerationSliders();
    void NotifyForce();
    void NotifyTorque();
    void NotifyForceSliders();
    void NotifyAcquired();

    void ResetState();

private:
    // Capabilities of an attached device, or false.
    bool __Caps(DIDEVCAPS* caps);
    HRESULT __GetRange(DWORD offset, LONG* min, LONG* max);
    HRESULT __GetDword(REFGUID prop, DWORD offset, DWORD* value);
    HRESULT __SetAxis(DWORD offset, LONG a, LONG b, int deadZone, int saturation);
    void __TakeButtons(const BYTE* buttons);
    void __ReportButtonDifferences();

    int m_ButtonStates[kButtons];
    DWORD m_ButtonTimes[kButtons];
    std::vector<CQNDXJoystickListener*> m_Listeners;
    QNDXJoystickValues m_State;
    // What the listeners were last told of each button (1 down).
    BYTE m_Reported[kButtons];
};
