// What the input devices need from the host's event source (the window
// backend): its keyboard, mouse, wheel, controller and focus events handed to
// the hub (InputHub) in arrival order, the pointer held for an exclusive
// mouse, and how many keys its keyboard can report. The window backend
// implements them (sdl/InputListener.cpp, sdl/ScanCodes.cpp).
#pragma once

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

}  // namespace dinput
}  // namespace platform
}  // namespace qndx
