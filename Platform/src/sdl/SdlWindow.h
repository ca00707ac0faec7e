// The SDL window that mirrors a layer window, for the SDL side's own use and
// for tests that look at what a window shows.
#pragma once

#include <SDL.h>

#include "platform/Types.h"

namespace qndx {
namespace platform {

// The SDL window mirroring hwnd: null for an unknown handle and when the
// layer runs without SDL video (no display at all). Under SDL's dummy driver
// windows are real SDL windows of that driver. Its size is the client size
// (or the whole display while full screen).
SDL_Window* SdlWindowFor(HWND hwnd);

}  // namespace platform
}  // namespace qndx
