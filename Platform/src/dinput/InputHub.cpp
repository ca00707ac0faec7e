// The hub: turns events into immediate state and into records for every
// acquired device of the matching kind.
#include "dinput/InputHub.h"

#include <algorithm>

#include "dinput/Device.h"
#include "dinput/InputSource.h"
#include "platform/DirectInput.h"
#include "platform/User.h"
#include "sim/SimInternal.h"
#include "user/WindowQueries.h"

namespace qndx {
namespace platform {
namespace dinput {
namespace {

void ResetHook() { InputHub::Get().Reset(); }

}  // namespace

InputHub& InputHub::Get() {
    static InputHub* hub = new InputHub();  // outlives static destructors
    return *hub;
}

InputHub::InputHub() : m_controllers(MakeControllerBackend()) { sim::internal::AddResetHook(&ResetHook); }

void InputHub::Register(Device* device) { m_devices.push_back(device); }

void InputHub::Unregister(Device* device) {
    m_devices.erase(std::remove(m_devices.begin(), m_devices.end(), device), m_devices.end());
}

void InputHub::__Broadcast(DeviceKind kind, int32_t controller, DWORD ofs, DWORD data, DWORD sequence) {
    for (Device* d : m_devices)
        if (d->Kind() == kind && d->Controller() == controller) d->Push(ofs, data, sequence);
}

void InputHub::Key(BYTE dik, bool down, bool repeat) {
    if (dik == 0) return;
    // The host's events know this key again: they report its release.
    if (m_heldUnseen[dik]) {
        m_heldUnseen[dik] = false;
        --m_heldUnseenCount;
    }
    // A held key repeating makes no record; a state it already has changes
    // nothing (a key found held at a focus gain makes no second down).
    if (repeat) return;
    BYTE value = down ? 0x80 : 0x00;
    if (m_keys[dik] == value) return;
    m_keys[dik] = value;
    __Broadcast(DeviceKind::Keyboard, -1, dik, value, NextSequence());
}

void InputHub::MouseMotion(int dx, int dy) {
    if (dx == 0 && dy == 0) return;
    DWORD seq = NextSequence();
    for (Device* d : m_devices) {
        if (d->Kind() != DeviceKind::Mouse) continue;
        d->AddMotion(dx, dy, 0);
        if (dx != 0) d->Push(DIMOFS_X, static_cast<DWORD>(dx), seq);
        if (dy != 0) d->Push(DIMOFS_Y, static_cast<DWORD>(dy), seq);
    }
}

void InputHub::MouseWheel(int delta) {
    if (delta == 0) return;
    DWORD seq = NextSequence();
    for (Device* d : m_devices) {
        if (d->Kind() != DeviceKind::Mouse) continue;
        d->AddMotion(0, 0, delta);
        d->Push(DIMOFS_Z, static_cast<DWORD>(delta), seq);
    }
}

void InputHub::MouseButton(int button, bool down) {
    if (button < 0 || button > 7) return;
    BYTE value = down ? 0x80 : 0x00;
    if (m_mouseButtons[button] == value) return;
    m_mouseButtons[button] = value;
    __Broadcast(DeviceKind::Mouse, -1, static_cast<DWORD>(DIMOFS_BUTTON0 + button), value, NextSequence());
}

bool InputHub::IsForeground(HWND window) const {
    if (!m_panelFocus) return false;
    // A handle the window side does not know (gone, or never made there)
    // is judged by the panel's focus alone.
    return !IsWindow(window) || IsWindowForeground(window);
}

void InputHub::FocusChanged() {
    for (Device* d : m_devices)
        if (d->IsAcquired() && d->IsForegroundLevel() && !IsForeground(d->Window())) d->Lose();
}

void InputHub::SetPanelFocus(bool focused) {
    const bool gained = focused && !m_panelFocus;
    m_panelFocus = focused;
    FocusChanged();
    if (gained) FocusGained();
}

bool InputHub::__ReadPhysicalKeys(BYTE* keys) const {
    if (m_panelKeysSet) {
        std::copy(std::begin(m_panelKeys), std::end(m_panelKeys), keys);
        return true;
    }
    return ReadHostKeys(keys);
}

void InputHub::FocusGained() {
    BYTE now[256];
    if (!__ReadPhysicalKeys(now)) return;
    for (int k = 1; k < 256; ++k) {
        const BYTE value = now[k] & 0x80;
        const bool unseen = value != 0 && m_keys[k] == 0;
        m_keys[k] = value;
        if (value == 0 && m_heldUnseen[k]) {
            m_heldUnseen[k] = false;
            --m_heldUnseenCount;
        } else if (unseen && !m_heldUnseen[k]) {
            m_heldUnseen[k] = true;
            ++m_heldUnseenCount;
        }
    }
}

void InputHub::ReleaseKeysUpOnHost() {
    if (m_heldUnseenCount == 0) return;
    BYTE now[256];
    if (!__ReadPhysicalKeys(now)) return;
    for (int k = 1; k < 256; ++k) {
        if (!m_heldUnseen[k] || (now[k] & 0x80) != 0) continue;
        m_heldUnseen[k] = false;
        --m_heldUnseenCount;
        m_keys[k] = 0;
        __Broadcast(DeviceKind::Keyboard, -1, static_cast<DWORD>(k), 0, NextSequence());
    }
}

void InputHub::SetPanelKeys(const BYTE* keys) {
    m_panelKeysSet = keys != nullptr;
    if (keys) std::copy(keys, keys + 256, m_panelKeys);
}

void InputHub::ControllerAxis(int32_t id, int axis, int value) {
    DWORD seq = NextSequence();
    for (Device* d : m_devices) {
        if (d->Kind() != DeviceKind::Controller || d->Controller() != id) continue;
        int ofs = d->AxisOffset(axis);
        if (ofs >= 0) d->Push(static_cast<DWORD>(ofs), static_cast<DWORD>(d->ScaleAxis(axis, value)), seq);
    }
}

void InputHub::ControllerButton(int32_t id, int button, bool down) {
    DWORD seq = NextSequence();
    for (Device* d : m_devices) {
        if (d->Kind() != DeviceKind::Controller || d->Controller() != id) continue;
        if (d->HasButtonOffset(button)) d->Push(static_cast<DWORD>(DIJOFS_BUTTON(button)), down ? 0x80 : 0x00, seq);
    }
}

void InputHub::ControllerHat(int32_t id, int hat, int bits) {
    DWORD seq = NextSequence();
    for (Device* d : m_devices) {
        if (d->Kind() != DeviceKind::Controller || d->Controller() != id) continue;
        if (d->HasPovOffset(hat)) d->Push(static_cast<DWORD>(DIJOFS_POV(hat)), PovFromHatBits(bits), seq);
    }
}

void InputHub::ControllerRemoved(int32_t id) {
    for (Device* d : m_devices)
        if (d->Kind() == DeviceKind::Controller && d->Controller() == id) d->Lose();
}

void InputHub::ExclusiveMouseChanged() {
    bool capture = false;
    for (Device* d : m_devices)
        if (d->Kind() == DeviceKind::Mouse && d->IsAcquired() && d->IsExclusive()) capture = true;
    if (capture == m_mouseCaptured) return;
    m_mouseCaptured = capture;
    SetPointerCapture(capture);
}

void InputHub::Reset() {
    std::fill(std::begin(m_keys), std::end(m_keys), 0);
    std::fill(std::begin(m_heldUnseen), std::end(m_heldUnseen), false);
    m_heldUnseenCount = 0;
    m_panelKeysSet = false;
    std::fill(std::begin(m_mouseButtons), std::end(m_mouseButtons), 0);
    m_panelFocus = true;
    m_sequence = 0;
    for (Device* d : m_devices) d->ClearData();
}

DWORD PovFromHatBits(int bits) {
    switch (bits & 0x0F) {
        case 1: return 0;
        case 1 | 2: return 4500;
        case 2: return 9000;
        case 2 | 4: return 13500;
        case 4: return 18000;
        case 4 | 8: return 22500;
        case 8: return 27000;
        case 8 | 1: return 31500;
        default: return 0xFFFFFFFF;  // centred, or opposite directions at once
    }
}

}  // namespace dinput
}  // namespace platform
}  // namespace qndx
