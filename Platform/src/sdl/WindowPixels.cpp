// Row conversions between desktop pixels and window surfaces (see
// WindowPixels.h): which pixel-library rows serve which pair of formats.
#include "sdl/WindowPixels.h"

#include <SDL.h>

#include "pixels/Pixels.h"

namespace qndx {
namespace platform {

void FinishWindowRows() { pixels::FinishRows(); }

bool ExactWindowRowCopy(pixels::Kind desktop, uint32_t windowFormat, bool fast, WindowRowCopy* out) {
    using pixels::Row;
    Row to = Row::Count, from = Row::Count;
    int desktopBytes = 0, windowBytes = 4;
    switch (desktop) {
        case pixels::kRgb555:
        case pixels::kRgb565: {
            const bool is555 = desktop == pixels::kRgb555;
            desktopBytes = 2;
            if (windowFormat == (is555 ? SDL_PIXELFORMAT_RGB555 : SDL_PIXELFORMAT_RGB565)) {
                to = from = Row::Copy16;
                windowBytes = 2;
            } else if (windowFormat == SDL_PIXELFORMAT_RGB888) {
                to = is555 ? Row::Rgb555ToXrgb : Row::Rgb565ToXrgb;
                from = is555 ? Row::XrgbToRgb555 : Row::XrgbToRgb565;
            }
            break;
        }
        case pixels::kRgb888:
            desktopBytes = 3;
            if (windowFormat == SDL_PIXELFORMAT_BGR24) {
                to = from = Row::Copy24;
                windowBytes = 3;
            } else if (windowFormat == SDL_PIXELFORMAT_RGB888) {
                to = Row::Bgr24ToXrgb;
                from = Row::XrgbToBgr24;
            }
            break;
        case pixels::kXrgb8888:
            desktopBytes = 4;
            if (windowFormat == SDL_PIXELFORMAT_RGB888) to = from = Row::Copy32;
            break;
        default: break;
    }
    if (to == Row::Count) return false;
    // Back from the window the plain rows serve: that copy is rare.
    *out = {pixels::RowFor(to, fast), pixels::RowFor(from, false), desktopBytes, windowBytes};
    return true;
}

}  // namespace platform
}  // namespace qndx
