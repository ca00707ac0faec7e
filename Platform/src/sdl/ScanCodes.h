// SDL scancodes (USB usage positions) to the keyboard's set-1 scan codes, the
// key codes of the DirectInput keyboard.
#pragma once

#include "platform/Types.h"

namespace qndx {
namespace platform {
namespace dinput {

// 0 for a key the set-1 keyboard has no code for.
BYTE DikFromSdlScancode(int sdlScancode);

}  // namespace dinput
}  // namespace platform
}  // namespace qndx
