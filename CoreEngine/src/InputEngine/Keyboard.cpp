// The keyboard: immediate key table with change times, and key events from
// the buffered records, in the order the keys moved.
#include "InputEngine/Keyboard.h"

#include <algorithm>
#include <cstring>

#include "InputListeners.h"
#include "platform/Kernel.h"

CQNDXKeyboard::CQNDXKeyboard(GUID guid) : CQNDXInputDevice(guid) {
    m_Guid = guid;
    ClearState();
}

CQNDXKeyboard::~CQNDXKeyboard() { m_Listeners.clear(); }

HRESULT CQNDXKeyboard::Create(CQNDXInputEngine* engine, int exclusive, int foreground, int noWinKey) {
    DWORD flags = 0;
    HRESULT level = __KeyboardCreateLevel(exclusive, foreground, noWinKey, &flags);
    HRESULT hr = __CreateDevice(engine, &c_dfDIKeyboard, level, flags, kBufferSize);
    if (hr != 0) return hr;
    return Acquire();
}

HRESULT CQNDXKeyboard::SetMode(int exclusive, int foreground, int noWinKey) {
    DWORD flags = 0;
    HRESULT level = __KeyboardRelevel(exclusive, foreground, noWinKey, &flags);
    return __Relevel(&c_dfDIKeyboard, level, flags);
}

void CQNDXKeyboard::__Resynchronise(const BYTE* state) {
    DWORD now = GetTickCount();
    for (int key = 0; key < 256; ++key) {
        if (state[key] != m_KeyStates[key]) {
            m_KeyStates[key] = state[key];
            m_KeyTimes[key] = now;
        }
    }
}

void CQNDXKeyboard::__ReportDifferences() {
    // Releases first, so a listener never sees more keys down than there are.
    for (int key = 0; key < 256; ++key) {
        if (m_Reported[key] && !(m_KeyStates[key] & 0x80)) {
            m_Reported[key] = 0;
            NotifyKeyUp(key);
        }
    }
    for (int key = 0; key < 256; ++key) {
        if (!m_Reported[key] && (m_KeyStates[key] & 0x80)) {
            m_Reported[key] = 1;
            NotifyKeyDown(key);
        }
    }
}

HRESULT CQNDXKeyboard::Update() {
    if (!GetDevice()) return -1;
    if (!IsEnabled()) return 0;

    BYTE state[256];
    std::memset(state, 0, sizeof(state));
    HRESULT hr = m_pDevice->GetDeviceState(sizeof(state), state);
    if (FAILED(hr)) return Acquire();
    __Resynchronise(state);

    DIDEVICEOBJECTDATA records[kBufferSize];
    DWORD count = kBufferSize;
    hr = m_pDevice->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), records, &count, 0);
    if (FAILED(hr)) {
        // The device went away between the two reads: take it back, but
        // the poll itself failed.
        Acquire();
        return hr;
    }
    if (count > kBufferSize) count = kBufferSize;
    for (DWORD i = 0; i < count; ++i) {
        DWORD key = records[i].dwOfs;
        bool down = (records[i].dwData & 0x80) != 0;
        if (key < 256) m_Reported[key] = down ? 1 : 0;
        if (down)
            NotifyKeyDown(static_cast<int>(key));
        else
            NotifyKeyUp(static_cast<int>(key));
    }
    // More arrived than the buffer held: what was lost is made good from
    // the immediate state, so no key stays down for the listeners.
    if (hr == DI_BUFFEROVERFLOW) __ReportDifferences();
    return hr;
}

HRESULT CQNDXKeyboard::Acquire() {
    if (!GetDevice()) return -1;
    HRESULT hr = CQNDXInputDevice::Acquire();
    BYTE state[256];
    std::memset(state, 0, sizeof(state));
    if (SUCCEEDED(hr)) hr = m_pDevice->GetDeviceState(sizeof(state), state);
    if (FAILED(hr)) return hr;
    __Resynchronise(state);
    for (int key = 0; key < 256; ++key) m_Reported[key] = (state[key] & 0x80) ? 1 : 0;
    NotifyReacquired();
    return hr;
}

int CQNDXKeyboard::IsKeyDown(int key, DWORD* time) {
    if (key < 0 || key > 255) return 0;
    if (time) *time = m_KeyTimes[key];
    return m_KeyStates[key] & 0x80;
}

void CQNDXKeyboard::AddListener(CQNDXKeyboardListener* listener) {
    if (!listener) return;
    if (std::find(m_Listeners.begin(), m_Listeners.end(), listener) != m_Listeners.end()) return;
    m_Listeners.push_back(listener);
}

void CQNDXKeyboard::RemoveListener(CQNDXKeyboardListener* listener) {
    if (!listener) return;
    auto it = std::find(m_Listeners.begin(), m_Listeners.end(), listener);
    if (it != m_Listeners.end()) m_Listeners.erase(it);
}

void CQNDXKeyboard::RemoveAllListeners() { m_Listeners.clear(); }

// The notifications walk by index: a listener that adds or removes
// listeners during the call cannot make the walk read freed memory.
void CQNDXKeyboard::NotifyKeyDown(int key) {
    for (size_t i = 0; i < m_Listeners.size(); ++i) m_Listeners[i]->OnKeyDown(key);
}

void CQNDXKeyboard::NotifyKeyUp(int key) {
    for (size_t i = 0; i < m_Listeners.size(); ++i) m_Listeners[i]->OnKeyUp(key);
}

void CQNDXKeyboard::NotifyReacquired() {
    for (size_t i = 0; i < m_Listeners.size(); ++i) m_Listeners[i]->OnKeyboardReacquired();
}

void CQNDXKeyboard::ClearState() {
    std::memset(m_KeyStates, 0, sizeof(m_KeyStates));
    std::memset(m_KeyTimes, 0, sizeof(m_KeyTimes));
    std::memset(m_Reported, 0, sizeof(m_Reported));
}
