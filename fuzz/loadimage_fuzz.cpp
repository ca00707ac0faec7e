// Feeds arbitrary bytes to the bitmap decoder behind LoadImageA (whole BMP
// files and packed DIBs: headers, colour tables, bit fields, rows), then
// resizes what it decoded as LoadImageA does for a requested size.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gdi/BmpDecode.h"

using namespace qndx::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DecodedBitmap bitmap;
    std::string why;
    if (!DecodeBmp(data, size, &bitmap, &why)) {
        if (why.empty()) {
            std::fprintf(stderr, "loadimage_fuzz: refused without a reason\n");
            std::abort();
        }
        return 0;
    }
    if (bitmap.width <= 0 || bitmap.height <= 0 ||
        bitmap.pixels.size() != (size_t)bitmap.width * (size_t)bitmap.height) {
        std::fprintf(stderr, "loadimage_fuzz: %d x %d with %zu pixels\n", bitmap.width, bitmap.height,
                     bitmap.pixels.size());
        std::abort();
    }
    for (uint32_t p : bitmap.pixels)
        if (p > 0xFFFFFF) {
            std::fprintf(stderr, "loadimage_fuzz: pixel 0x%08X is not 0x00RRGGBB\n", p);
            std::abort();
        }
    // A size from the last bytes: smaller, larger, or one side kept.
    const int32_t w = 1 + data[size - 1] % 67;
    const int32_t h = 1 + data[size / 2] % 41;
    const DecodedBitmap resized = ResizeBitmap(bitmap, w, h);
    if (resized.pixels.size() != (size_t)w * (size_t)h) std::abort();
    return 0;
}
