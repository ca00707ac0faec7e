// The system keyboard: a table of the 256 key states with the time of each
// change, and key-down / key-up calls on the listeners from DirectInput's
// buffered records, in the order the keys moved. The input engine reads it
// once every 50 ms (kKeyboardPeriod), so a key's state changes at that pace
// and a press shorter than that still comes as a down and an up event.
#pragma once

#include <vector>

#include "InputEngine/InputDevice.h"

class CQNDXKeyboardListener;

class CQNDXKeyboard : public CQNDXInputDevice {
public:
    static constexpr DWORD kBufferSize = 128;

    explicit CQNDXKeyboard(GUID guid);
    ~CQNDXKeyboard() override;

    HRESULT Create(CQNDXInputEngine* engine, int exclusive, int foreground, int noWinKey);
    HRESULT SetMode(int exclusive, int foreground, int noWinKey);

    HRESULT Update() override;
    HRESULT Acquire() override;

    // For held keys, once a frame: the key is a DirectInput key code (DIK_LEFT,
    // DIK_SPACE, ... of platform/DirectInput.h). 0x80 while the key is down
    // (test it as a truth value), 0 when up or outside 0..255. time gets the
    // tick count (GetTickCount, milliseconds) of its last change.
    int IsKeyDown(int key, DWORD* time = nullptr);

    void AddListener(CQNDXKeyboardListener* listener);
    void RemoveListener(CQNDXKeyboardListener* listener);
    void RemoveAllListeners();

    void NotifyKeyDown(int key);
    void NotifyKeyUp(int key);
    void NotifyReacquired();

    void ClearState();

private:
    // Takes a fresh immediate state into the table without events.
    void __Resynchronise(const BYTE* state);
    // After an overflow: tells the listeners of every key whose state differs
    // from what they were last told, releases first.
    void __ReportDifferences();

    BYTE m_KeyStates[256];
    DWORD m_KeyTimes[256];
    std::vector<CQNDXKeyboardListener*> m_Listeners;
    // What the listeners were last told of each key (1 down, 0 up).
    BYTE m_Reported[256];
};
