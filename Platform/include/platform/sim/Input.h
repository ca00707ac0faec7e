// Test control of input: key, mouse and focus events as the window's event
// pump would deliver them to the DirectInput devices, and game controllers
// attached and detached (SDL virtual joysticks), all without a display.
// Reset() clears the key and button states and the physical keys set here,
// gives the focus back, empties every device's buffer and detaches the
// controllers attached here.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace qndx {
namespace sim {

// A key by its keyboard code (DIK_ value). A repeat is a held key's
// auto-repeat: it makes no record.
void InjectKey(BYTE dik, bool down, bool repeat = false);
// Relative pointer movement in mickeys.
void InjectMouseMotion(int dx, int dy);
// Wheel movement in platform units: 120 per notch, positive away from the user.
void InjectMouseWheel(int delta);
// Buttons 0 to 7 in DirectInput order (0 left, 1 right, 2 middle).
void InjectMouseButton(int button, bool down);
// The panel's own focus switch: off, no window counts as in front, so
// foreground devices are taken away until they are acquired again (the
// window side's sim/Window.h moves the focus between real windows).
void SetInputFocus(bool focused);
// Stands in for the keyboard as the host reads it itself (the X server's
// keymap under X11), apart from its events: the 256 states by DIK_ code (0x80
// held). A focus gain takes these as the keys held, without records; a key
// found held that way and later absent here reads as released, with its up
// record, at the next keyboard read. Null goes back to the host's own reading.
void SetPhysicalKeys(const BYTE* keys);

// Attaches a controller; returns its id (>= 0), or -1 when SDL refuses.
// A gamepad reports the gamepad device type, anything else a joystick.
int AttachController(const char* name, int axes, int buttons, int hats, bool gamepad = false);
// Unplugs it: devices made for it report lost input.
void DetachController(int id);
// Values: axes -32768..32767; hats as direction bits (1 up, 2 right, 4 down,
// 8 left, 0 centred). Each change reaches the devices at once, with its record.
void SetControllerAxis(int id, int axis, int value);
void SetControllerButton(int id, int button, bool down);
void SetControllerHat(int id, int hat, int bits);

}  // namespace sim
}  // namespace qndx
