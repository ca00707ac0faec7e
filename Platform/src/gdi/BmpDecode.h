// Decoding of bitmaps for LoadImageA: a whole BMP file ("BM" file header)
// or a packed DIB as resources hold them (info header, colour table,
// pixels). Uncompressed 1, 4, 8, 16, 24 and 32 bits, and bit-field 16/32.
// Every size in the data is checked against the bytes there are; anything
// truncated or inconsistent is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qndx {
namespace platform {

struct DecodedBitmap {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first
};

// False (with a reason in *why) when the data is not a bitmap we can read.
bool DecodeBmp(const uint8_t* data, size_t size, DecodedBitmap* out, std::string* why);

// Nearest-neighbour resize to width x height (both > 0).
DecodedBitmap ResizeBitmap(const DecodedBitmap& in, int32_t width, int32_t height);

}  // namespace platform
}  // namespace qndx
