// What DirectDraw needs from the window system to show the primary surface:
// where a window shows on the desktop, rows of a surface copied into it, the
// rows it keeps handed back, and the whole front of a flip chain shown full
// screen. Before the backend frees or replaces window memory that may hold
// rows (a resize, a destroyed window) it has the display state's presenter
// give them back. The window backend implements it (sdl/WindowPresenter.cpp, and a
// null one that shows nothing); the backend choice hands it over. What is
// shown when, and which pixels a window holds for the primary, is decided
// above it (ddraw/PrimaryPresent.cpp).
#pragma once

#include <cstdint>

#include "ddraw/SurfaceImpl.h"

namespace qndx {
namespace platform {

// How rows go into a window.
enum class RowCopy {
    Plain,  // any conversion the window can make, through the plain row loops
    Fast,   // the same through the fastest row loops
    // The fastest loops, and only a conversion that gives every bit back: the
    // window keeps the rows and TakeBackRows returns them exactly.
    Held,
};

class DisplayWindow {
public:
    virtual ~DisplayWindow() = default;

    // hwnd's client rectangle on the desktop while its window can show
    // pixels: false for a hidden or minimised window, or one the backend has
    // no host window for.
    virtual bool ShownClient(HWND hwnd, RECT* client) = 0;

    // Copies the rectangle of `src` whose top-left corner is `from` into
    // hwnd's window at `to` (client coordinates) and shows it; *shown
    // receives the part updated. False, nothing written, when the window
    // cannot take the rows as asked (a Held copy that does not fit or has no
    // exact conversion). Asking for a window's memory may replace it after
    // a size change: rows held there must be taken back first.
    virtual bool ShowRows(HWND hwnd, const SurfaceMemory& src, POINT from, const RECT& to, RowCopy copy,
                          RECT* shown) = 0;

    // Copies the rectangle `from` (client coordinates when they were shown)
    // of the last Held rows back into `dst`, rows of the source's kind
    // `dstPitch` bytes apart. False, nothing written, when that window is
    // gone.
    virtual bool TakeBackRows(const RECT& from, uint8_t* dst, LONG dstPitch) = 0;

    // Full screen: the whole of `src` in hwnd's window, scaled keeping its
    // shape when the window has another size; *shown receives the part
    // updated. `fast` as for RowCopy.
    virtual bool ShowWhole(HWND hwnd, const SurfaceMemory& src, bool fast, RECT* shown) = 0;
};

// The display window of the chosen window backend (defined where the backend
// is chosen). Lives as long as the process.
DisplayWindow& ChosenDisplayWindow();

// For runs without a window system: no window ever shows anything.
DisplayWindow& NullDisplayWindow();

}  // namespace platform
}  // namespace qndx
