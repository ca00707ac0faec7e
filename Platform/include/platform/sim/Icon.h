// Test control of cursor and icon pictures: cursors of any size and hot spot
// made from pixels, and a count of the bitmaps GetIconInfo handed out that
// were not deleted yet. Reset() destroys the cursors made here and forgets
// the handed-out bitmaps.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Types.h"

namespace qndx {
namespace sim {

struct SimCursorPicture {
    int width = 0;
    int height = 0;
    int hotX = 0;
    int hotY = 0;
    // width * height pixels 0xAARRGGBB, row by row; alpha 0 leaves the
    // destination alone, anything else draws the colour.
    std::vector<uint32_t> pixels;
    // GetIconInfo then hands out a colour bitmap but no mask bitmap, as a
    // damaged picture would.
    bool withoutMaskBitmap = false;
};

// A cursor the icon calls know; null for sizes outside 1..256 or a pixel
// count that does not match.
HCURSOR MakeCursor(const SimCursorPicture& picture);

// Bitmaps from GetIconInfo still alive.
int LiveIconInfoBitmaps();

}  // namespace sim
}  // namespace qndx
