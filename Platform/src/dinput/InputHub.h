// Shared state of the DirectInput stand-in, above the event sources: the
// key table, the mouse buttons, the test panel's focus, the live device objects
// and the record sequence. The SDL event listener and the test panel both
// feed it through the same entry points; it hands records to every acquired
// device of the matching kind.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "dinput/Controllers.h"
#include "platform/Types.h"

namespace qndx {
namespace platform {
namespace dinput {

class Device;

enum class DeviceKind { Keyboard, Mouse, Controller };

class InputHub {
public:
    // Created on first use; lives until the process ends (devices released
    // from static destructors still find it).
    static InputHub& Get();

    // Events, in the order they happened. Key codes are set-1 codes; mouse
    // buttons 0..7 in DirectInput order; the wheel in platform units (120 a
    // notch); axes -32768..32767; hats as direction bits.
    void Key(BYTE dik, bool down, bool repeat);
    void MouseMotion(int dx, int dy);
    void MouseWheel(int delta);
    void MouseButton(int button, bool down);
    // The window side says the foreground window changed: foreground-level
    // devices whose window is no longer in front are taken away.
    void FocusChanged();
    // A window came to the front: the key table takes the keys as they are
    // physically held (where the host can tell), without records, as keys
    // pressed and released meanwhile never reached this side.
    void FocusGained();
    // The test panel's focus: while it is off no window is in front.
    void SetPanelFocus(bool focused);
    // Keys the table holds down since a focus gain and that the host's
    // events never saw go down: their release makes no event either, so a
    // keyboard read asks the host and records the release itself.
    void ReleaseKeysUpOnHost();
    // The test panel stands in for the host's physical key reading (null
    // goes back to the host's own).
    void SetPanelKeys(const BYTE* keys);
    void ControllerAxis(int32_t id, int axis, int value);
    void ControllerButton(int32_t id, int button, bool down);
    void ControllerHat(int32_t id, int hat, int bits);
    void ControllerRemoved(int32_t id);

    // Whether a foreground-level device bound to window may hold its data:
    // the window is the layer's foreground window (a window counts as in
    // front from when it is shown until it loses the focus), and the test
    // panel has not taken the focus away.
    bool IsForeground(HWND window) const;
    const BYTE* Keys() const { return m_keys; }
    const BYTE* MouseButtons() const { return m_mouseButtons; }
    DWORD NextSequence() { return ++m_sequence; }

    ControllerBackend& Controllers() { return *m_controllers; }

    void Register(Device* device);
    void Unregister(Device* device);
    const std::vector<Device*>& Devices() const { return m_devices; }

    // An exclusive mouse hides and captures the pointer.
    void ExclusiveMouseChanged();

    // Back to the start state; live devices stay valid but lose their data.
    void Reset();

private:
    InputHub();
    void __Broadcast(DeviceKind kind, int32_t controller, DWORD ofs, DWORD data, DWORD sequence);
    bool __ReadPhysicalKeys(BYTE* keys) const;

    BYTE m_keys[256] = {};
    bool m_heldUnseen[256] = {};  // down in the table without a down event (see ReleaseKeysUpOnHost)
    int m_heldUnseenCount = 0;
    bool m_panelKeysSet = false;
    BYTE m_panelKeys[256] = {};
    BYTE m_mouseButtons[8] = {};
    bool m_panelFocus = true;
    DWORD m_sequence = 0;
    bool m_mouseCaptured = false;
    std::vector<Device*> m_devices;
    std::unique_ptr<ControllerBackend> m_controllers;
};

// Converts a controller's hat bits into a point-of-view value (hundredths of
// a degree clockwise from north, 0xFFFFFFFF centred).
DWORD PovFromHatBits(int bits);

}  // namespace dinput
}  // namespace platform
}  // namespace qndx
