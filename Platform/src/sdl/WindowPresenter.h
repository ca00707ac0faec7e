// Shows what DirectDraw writes to the primary surface on the SDL windows.
// Windowed, the primary is the desktop: a write that touches a window's
// client rectangle copies that part into the window. Full screen, the
// exclusive window shows the whole front of the flip chain after each flip,
// scaled to the window when the host gave it another size. Each write is
// converted to the window's pixel format once, whatever the desktop's kind.
// An exclusive mode change also makes the exclusive window cover the new
// display, which the window side shows as an SDL full-screen window.
#pragma once

#include "platform/DirectDraw.h"

namespace qndx {
namespace platform {

// Hooks the presenter into DirectDraw's primary-write and display-mode
// notifications, each unless another hook is set there; idempotent.
void InstallWindowPresenter();

// Windowed, a plain blit of the back buffer onto the primary goes straight
// into the window, converted once, and the window holds that part of the
// desktop until the primary's memory is used (see PrimaryHoldHooks). Held
// pixels come back into the primary here; code that resizes or destroys an
// SDL window, or asks SDL for a window surface after a size change, calls it
// first.
void SettleWindowHeldPixels();
// The direct present on (the default unless QNDX_PRESENT_PLAIN=1) or off
// (every write lands in the primary first and is copied to the window, and
// the SSE2 row conversions give way to the plain ones).
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
