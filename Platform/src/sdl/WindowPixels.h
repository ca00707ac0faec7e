// Rows between the desktop's pixel kinds and a window surface's format, for
// the windowed present. Only pairs that convert back exactly are offered:
// the window may hold part of the desktop's picture and give it back later
// (see Presenter), so desktop -> window -> desktop must return every
// bit. Same formats copy; 5-5-5, 5-6-5 and 24-bit desktops widen into a
// 32-bit XRGB window (5- and 6-bit channels by repeating their top bits, the
// unused bit 15 of 5-5-5 kept in the window's unused top byte).
#pragma once

#include <cstdint>

#include "gdi/DeviceContext.h"

namespace qndx {
namespace platform {

struct WindowRowCopy {
    pixels::RowFn toWindow = nullptr;    // desktop row -> window row
    pixels::RowFn fromWindow = nullptr;  // and exactly back
    int desktopBytes = 0;             // bytes per pixel on each side
    int windowBytes = 0;
};

// The copy between a desktop kind and an SDL window format (an
// SDL_PIXELFORMAT_* value); false when they do not convert back exactly.
// `fast` picks the pixel library's rows in use (vector ones where there are
// some), else its scalar ones.
bool ExactWindowRowCopy(pixels::Kind desktop, uint32_t windowFormat, bool fast, WindowRowCopy* out);

// Orders the fast rows' non-temporal stores before anything that follows
// (the display server reads the window's memory next). Once per copy.
void FinishWindowRows();

}  // namespace platform
}  // namespace qndx
