// Base of the keyboard, mouse and joystick: one DirectInput device with its
// identity and enable flag, acquisition with retries, the attachment test,
// and the creation and re-levelling steps the three devices share.
#pragma once

#include "platform/DirectInput.h"

class CQNDXInputEngine;

class CQNDXInputDevice {
public:
    // Attempts that Acquire makes before giving up.
    static constexpr int kAcquireAttempts = 51;

    CQNDXInputDevice();
    explicit CQNDXInputDevice(GUID guid);
    virtual ~CQNDXInputDevice();

    virtual IDirectInputDevice8A* GetDevice();
    virtual int GetFlag1();
    virtual int GetFlag2();
    virtual GUID GetGUID();
    virtual int IsEnabled();
    virtual const char* GetInstanceName();
    virtual const char* GetProductName();
    virtual DWORD GetDeviceType();
    virtual void SetEnabled(int enabled);
    virtual int IsAttached();
    virtual HRESULT Acquire();
    virtual HRESULT Unacquire();
    virtual HRESULT Update() = 0;

protected:
    // Cooperative-level tables: S_OK with the flags, or E_NOTIMPL for a pair
    // of wishes the device does not support.
    static HRESULT __MouseLevel(int exclusive, int foreground, DWORD* flags);
    static HRESULT __KeyboardCreateLevel(int exclusive, int foreground, int noWinKey, DWORD* flags);
    static HRESULT __KeyboardRelevel(int exclusive, int foreground, int noWinKey, DWORD* flags);
    static HRESULT __JoystickLevel(int exclusive, int foreground, DWORD* flags);

    // Creation up to (not including) the final acquisition: device, format,
    // level, buffer size, names. levelResult is the table's answer.
    HRESULT __CreateDevice(CQNDXInputEngine* engine, const DIDATAFORMAT* format, HRESULT levelResult, DWORD levelFlags,
                           DWORD bufferSize);
    // Unacquire, format, level, then the device's own Acquire.
    HRESULT __Relevel(const DIDATAFORMAT* format, HRESULT levelResult, DWORD levelFlags);
    // The game window's handle, or null without a game manager or window.
    static HWND __GameWindow();

    IDirectInputDevice8A* m_pDevice;
    int m_iFlag1;
    int m_iFlag2;
    char* m_pInstanceName;
    char* m_pProductName;
    DWORD m_dwDevType;
    GUID m_Guid;
    int m_bEnabled;

private:
    CQNDXInputDevice(const CQNDXInputDevice&) = delete;
    CQNDXInputDevice& operator=(const CQNDXInputDevice&) = delete;
};
