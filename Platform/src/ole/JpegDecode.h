// JPEG decoding for the picture object, on libjpeg-turbo: errors come back
// as a failed result with a reason (never an exit); scan data that ends
// inside a scan is refused, while a missing end marker or bytes after it do
// not matter once every scan there is whole (a progressive file that stops
// between scans shows what they hold); sides and memory are capped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qndx {
namespace platform {

// Caps on what a picture may hold.
constexpr int kMaxPictureSide = 16384;
constexpr uint64_t kMaxPictureBytes = 256ull << 20;
// Working memory libjpeg may use beyond the picture (progressive files keep
// every coefficient until the end).
constexpr long kMaxDecoderMemory = 512L << 20;
// Progressive files with more scans than this are refused (each scan is a
// pass over the whole picture).
constexpr int kMaxProgressiveScans = 500;

struct DecodedPicture {
    int width = 0;
    int height = 0;
    int stride = 0;               // bytes per row, a multiple of 4
    std::vector<uint8_t> pixels;  // top row first; blue, green, red per pixel
    int warnings = 0;             // data problems libjpeg worked around (damaged, not missing, data)
};

// Rows decoded into a caller's memory: row y at bits + y * pitch, in
// `layout` (24-bit blue, green, red; 32-bit blue, green, red, 255; or
// 5-6-5), or, when `finish` is set, decoded in that layout into a row of the
// decoder's that `finish` converts into the caller's (width pixels).
struct JpegRows {
    enum Layout { Bgr24, Bgrx32, Rgb565 } layout = Bgr24;
    uint8_t* bits = nullptr;
    ptrdiff_t pitch = 0;
    void (*finish)(uint8_t* row, const uint8_t* decoded, int width) = nullptr;
};

// True when data starts with a JPEG start-of-image marker.
bool LooksLikeJpeg(const uint8_t* data, size_t size);

// Decodes data into out. False with a reason in *error when it cannot; the
// reason starts with "too large", "truncated" or "unsupported format" where
// one of those is why.
bool DecodeJpeg(const uint8_t* data, size_t size, DecodedPicture* out, std::string* error);
// The same checks of the headers, sizes and amount of scan data, with no
// pixels decoded: out gets the sizes only.
bool CheckJpeg(const uint8_t* data, size_t size, DecodedPicture* out, std::string* error);
// Decodes into rows the caller's memory holds (at least the picture's size,
// which CheckJpeg gives); out gets the sizes and warnings, no pixels.
bool DecodeJpegRows(const uint8_t* data, size_t size, const JpegRows& rows, DecodedPicture* out, std::string* error);

}  // namespace platform
}  // namespace qndx
