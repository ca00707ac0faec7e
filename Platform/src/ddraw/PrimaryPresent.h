// Shows what DirectDraw writes to the primary surface in the windows, through
// the chosen backend's display window (ddraw/DisplayWindow.h). Windowed, the
// primary is the desktop: a write that touches a window's client rectangle
// copies that part into the window. Full screen, the exclusive window shows
// the whole front of the flip chain after each flip. An exclusive mode change
// also makes the exclusive window cover the new display.
//
// Windowed, a plain 1:1 blit of the back buffer onto the primary goes straight
// into the window, converted once, and the window holds that part of the
// desktop until the primary's memory is used (see Presenter); the
// frame is then copied once instead of twice.
#pragma once

#include "platform/Types.h"

namespace qndx {
namespace platform {

// Makes the window present the display state's presenter unless another one
// is set there; idempotent.
void InstallWindowPresenter();

// The direct present on (the default unless QNDX_PRESENT_PLAIN=1) or off
// (every write lands in the primary first and is copied to the window, and
// the fast row conversions give way to the plain ones).
void SetDirectPresent(bool on);

// Counters for tests: how many writes reached a window, and the last
// rectangle (window client coordinates) updated there.
struct PresenterStats {
    unsigned long presents = 0;
    RECT lastRect = {0, 0, 0, 0};
};
PresenterStats GetPresenterStats();
void ResetPresenterStats();

}  // namespace platform
}  // namespace qndx
