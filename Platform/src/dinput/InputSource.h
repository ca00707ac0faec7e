// What the input devices need from the host's event source (the window
// backend): its keyboard, mouse, wheel, controller and focus events handed to
// the hub (InputHub) in arrival order, the pointer held for an exclusive
// mouse, how many keys its keyboard can report and which keys are physically
// held. The window backend implements them (sdl/InputListener.cpp,
// sdl/ScanCodes.cpp, sdl/HostKeys.cpp).
#pragma once

#include "platform/Types.h"

namespace qndx {
namespace platform {
namespace dinput {

// Ties the hub to the host's events; called when DirectInput is created.
// Events that arrived before are delivered first.
void ConnectInputEvents();
// Hides and captures the pointer for an exclusive mouse, or lets it go.
void SetPointerCapture(bool on);
// The number of distinct key codes the host's key events can give.
int KeyboardKeyCount();
// The keys physically held right now, by set-1 code (0x80 down, else 0), read
// from the host itself rather than from its events, which stop while another
// window has the focus. False, with *keys untouched, where the host cannot
// tell (no focused window, a video driver without such a query).
bool ReadHostKeys(BYTE* keys);

}  // namespace dinput
}  // namespace platform
}  // namespace qndx
