// The system mouse: clamped and unclamped positions from DirectInput's
// relative movement (two-step acceleration, then sensitivity), the wheel, the
// eight buttons with their change times and the swap of the first two, and
// move and button calls on the listeners. Once the display exists the
// position is clamped to it and starts at its centre, in display pixels.
#pragma once

#include <vector>

#include "InputEngine/InputDevice.h"

class CQNDXMouseListener;

class CQNDXMouse : public CQNDXInputDevice {
public:
    static constexpr DWORD kBufferSize = 128;
    static constexpr int kWheelDelta = 120;
    // Acquisitions that Create makes while the device reports lost input.
    static constexpr int kLostRetries = 10;

    explicit CQNDXMouse(GUID guid);
    ~CQNDXMouse() override;

    HRESULT Create(CQNDXInputEngine* engine, int exclusive, int foreground);
    HRESULT SetCooperation(int exclusive, int foreground);

    HRESULT Update() override;
    HRESULT Acquire() override;

    int HasWheel();
    int GetButtonCount();

    void SetBounds(int x1, int y1, int x2, int y2);
    void SetBounds(int x1, int y1, int x2, int y2, int z1, int z2);
    void SetSensitivity(float sensitivity);
    float GetSensitivity();
    void SetAcceleration(int threshold1, double factor1, int threshold2, double factor2);
    void GetAcceleration(int* threshold1, double* factor1, int* threshold2, double* factor2);
    void EnableAcceleration(int enable);
    int IsAccelerationEnabled();
    void SetSwapButtons(int swap);
    int AreButtonsSwapped();

    void SetPosition(int x, int y);
    void SetPosition(int x, int y, int z);
    void SetRawPosition(int x, int y);
    void SetRawPosition(int x, int y, int z);
    void GetPosition(int* x, int* y);
    void GetPosition(int* x, int* y, int* z);
    void GetRawPosition(int* x, int* y);
    void GetRawPosition(int* x, int* y, int* z);
    // Button 0 left, 1 right, 2 middle, up to 7: 1 while down, else 0. time
    // gets the tick count of its last change.
    int GetButtonState(int button, DWORD* time = nullptr);

    void AddListener(CQNDXMouseListener* listener);
    void RemoveListener(CQNDXMouseListener* listener);
    void RemoveAllListeners();

    void NotifyMove(int x, int y, int z);
    void NotifyRawMove(int x, int y, int z);
    void NotifyButtonDown(int button);
    void NotifyButtonUp(int button);
    void NotifyReacquired();

private:
    void InitDefaults();
    int __Accelerate(int movement) const;
    void __TakeButtons(const BYTE* buttons);
    void __ReportButtonDifferences();
    int __Swapped(int button) const;

    int m_ButtonStates[8];
    DWORD m_ButtonTimes[8];
    std::vector<CQNDXMouseListener*> m_Listeners;
    float m_fSensitivity;
    int m_iMinX, m_iMinY, m_iMinZ;
    int m_iMaxX, m_iMaxY, m_iMaxZ;
    int m_iX, m_iY, m_iZ;
    int m_iThreshold1;
    int m_iThreshold2;
    int m_iRawX, m_iRawY, m_iRawZ;
    double m_dFactor1;
    double m_dFactor2;
    int m_bAcceleration;
    int m_bSwapButtons;
    // What the listeners were last told of each device button (1 down).
    int m_Reported[8];
};
