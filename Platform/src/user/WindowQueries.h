// What the other areas of the layer may ask the window manager about a window
// and the desktop: the window behind a host window id (the id that host and
// focus events name), foreground and minimised state, and the desktop size
// that the system metrics report.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace qndx {
namespace platform {

// The layer window whose host window id is `windowId` (an SDL event's
// window.windowID, or the id in the focus events the input side receives);
// null when none.
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
