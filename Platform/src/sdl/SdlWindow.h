// What the other areas of the layer may ask the window side about a window
// and the desktop: the SDL window that mirrors a layer window (for presenting
// pixels), the window behind an event's windowID, foreground and minimised
// state, and the desktop size that the system metrics report.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "platform/Types.h"

namespace qndx {
namespace platform {

// The SDL window mirroring hwnd: null for an unknown handle and when the
// layer runs without SDL video (no display at all). Under SDL's dummy driver
// windows are real SDL windows of that driver. Its size is the client size
// (or the whole display while full screen).
SDL_Window* SdlWindowFor(HWND hwnd);

// The layer window whose id is `windowId` (SDL_Event window.windowID, or the
// id in the focus events of InputEvents.h); null when none.
HWND HwndForWindowId(uint32_t windowId);
// The id that events name hwnd by; 0 for an unknown handle.
uint32_t WindowIdFor(HWND hwnd);

// hwnd is the foreground (active) window of the layer.
bool IsWindowForeground(HWND hwnd);
// hwnd is minimised.
bool IsWindowMinimised(HWND hwnd);

// Desktop size as GetSystemMetrics(SM_CXSCREEN / SM_CYSCREEN) reports it:
// a display-mode size set below, else the sim panel's size, else 1024 x 768
// without a real display (dummy driver, none), else the display's desktop.
SIZE DesktopSize();
// True when the desktop is the fixed headless one (dummy driver or no display).
bool IsHeadlessDesktop();

// An exclusive full-screen mode change makes the desktop this size until it
// is set back with (0, 0). A popup window covering the whole desktop is shown
// full screen.
void SetDisplayModeSize(int width, int height);

}  // namespace platform
}  // namespace qndx
