// SDL scancodes (USB usage positions) to the keyboard's set-1 scan codes, the
// key codes of the DirectInput keyboard.
#pragma once

#include "platform/Types.h"

namespace qndx {
namespace platform {
namespace dinput {

// 0 for a key the set-1 keyboard has no code for.
BYTE DikFromSdlScancode(int sdlScancode);
// The set-1 code of an X server's key code where the server numbers its keys
// as evdev does (the kernel's key code + 8); 0 for a key without one, and
// always 0 in a build without libX11.
BYTE DikFromX11Keycode(int keycode);

}  // namespace dinput
}  // namespace platform
}  // namespace qndx
