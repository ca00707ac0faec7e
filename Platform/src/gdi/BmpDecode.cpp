// BMP and packed-DIB decoding with every offset and size checked.
#include "gdi/BmpDecode.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace qndx {
namespace platform {

namespace {

const int64_t kMaxSide = 32768;
const int64_t kMaxPixels = int64_t(1) << 26;

uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
int32_t I32(const uint8_t* p) { return static_cast<int32_t>(U32(p)); }

bool Fail(std::string* why, const char* text) {
    if (why) *why = text;
    return false;
}

// A channel read through a bit-field mask, widened to 8 bits.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    bool Set(uint32_t m) {
        mask = m;
        shift = 0;
        bits = 0;
        if (m == 0) return true;
        while (!((m >> shift) & 1)) ++shift;
        while (shift + bits < 32 && ((m >> (shift + bits)) & 1)) ++bits;
        // Bits must be contiguous.
        return (static_cast<uint64_t>(m) >> shift) == ((uint64_t(1) << bits) - 1);
    }

    uint32_t Read(uint32_t pixel) const {
        if (bits == 0) return 0;
        uint32_t v = (pixel & mask) >> shift;
        if (bits >= 8) return v >> (bits - 8);
        // Repeat the value's bits down to fill 8 bits (31 of 5 bits -> 255).
        uint32_t out = 0;
        int filled = 0;
        while (filled < 8) {
            out = (out << bits) | v;
            filled += bits;
        }
        return out >> (filled - 8);
    }
};

}  // namespace

bool DecodeBmp(const uint8_t* data, size_t size, DecodedBitmap* out, std::string* why) {
    if (!data || !out) return Fail(why, "no data");
    size_t dib = 0;
    bool fileForm = false;
    uint32_t offBits = 0;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
        if (size < 14) return Fail(why, "file header cut short");
        fileForm = true;
        offBits = U32(data + 10);
        dib = 14;
    }
    if (size - dib < 4) return Fail(why, "info header cut short");
    const uint32_t headerSize = U32(data + dib);
    if (headerSize != 12 && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 &&
        headerSize != 124)
        return Fail(why, "unknown info header size");
    if (size - dib < headerSize) return Fail(why, "info header cut short");
    const uint8_t* h = data + dib;

    int64_t width, height;
    uint32_t bitCount, compression = 0, colorsUsed = 0;
    size_t entrySize = 4;
    if (headerSize == 12) {
        width = U16(h + 4);
        height = static_cast<int16_t>(U16(h + 6));
        bitCount = U16(h + 10);
        entrySize = 3;
    } else {
        width = I32(h + 4);
        height = I32(h + 8);
        bitCount = U16(h + 14);
        compression = U32(h + 16);
        colorsUsed = U32(h + 32);
    }
    const bool topDown = height < 0;
    if (topDown) height = -height;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || width * height > kMaxPixels)
        return Fail(why, "size out of range");
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return Fail(why, "unsupported bit count");
    if (compression == 1 || compression == 2) return Fail(why, "run-length compressed bitmaps are not supported");
    if (compression != 0 && compression != 3) return Fail(why, "unsupported compression");
    if (compression == 3 && bitCount != 16 && bitCount != 32) return Fail(why, "bit fields need 16 or 32 bits");

    size_t pos = dib + headerSize;
    Channel red, green, blue;
    if (compression == 3) {
        uint32_t masks[3];
        if (headerSize >= 52) {
            for (int i = 0; i < 3; ++i) masks[i] = U32(h + 40 + 4 * i);
        } else {
            if (size - pos < 12) return Fail(why, "bit-field masks cut short");
            for (int i = 0; i < 3; ++i) masks[i] = U32(data + pos + 4 * i);
            pos += 12;
        }
        if (!red.Set(masks[0]) || !green.Set(masks[1]) || !blue.Set(masks[2]))
            return Fail(why, "bit-field masks not contiguous");
    } else if (bitCount == 16) {
        red.Set(0x7C00);
        green.Set(0x03E0);
        blue.Set(0x001F);
    }

    // Colour table: what the file holds, and what the pixels may index.
    uint64_t tableEntries = colorsUsed;
    if (bitCount <= 8 && tableEntries == 0) tableEntries = uint64_t(1) << bitCount;
    if (tableEntries > 65536) return Fail(why, "colour table too large");
    if (static_cast<uint64_t>(size - pos) < tableEntries * entrySize) return Fail(why, "colour table cut short");
    std::vector<uint32_t> palette;
    if (bitCount <= 8) {
        const size_t usable = static_cast<size_t>(std::min<uint64_t>(tableEntries, uint64_t(1) << bitCount));
        palette.resize(size_t(1) << bitCount, 0);  // indexes beyond the table read black
        for (size_t i = 0; i < usable; ++i) {
            const uint8_t* e = data + pos + i * entrySize;
            palette[i] = static_cast<uint32_t>(e[2]) << 16 | static_cast<uint32_t>(e[1]) << 8 | e[0];
        }
    }
    pos += static_cast<size_t>(tableEntries * entrySize);

    size_t pixelStart = pos;
    if (fileForm) {
        if (offBits < 14 + headerSize || offBits > size) return Fail(why, "pixel offset outside the file");
        pixelStart = offBits;
    }
    const uint64_t stride = ((static_cast<uint64_t>(width) * bitCount + 31) / 32) * 4;
    if (static_cast<uint64_t>(size - pixelStart) < stride * static_cast<uint64_t>(height))
        return Fail(why, "pixel data cut short");

    DecodedBitmap result;
    result.width = static_cast<int32_t>(width);
    result.height = static_cast<int32_t>(height);
    try {
        result.pixels.resize(static_cast<size_t>(width * height));
    } catch (const std::bad_alloc&) {
        return Fail(why, "out of memory");
    }
    for (int64_t row = 0; row < height; ++row) {
        const uint8_t* src = data + pixelStart + static_cast<size_t>(stride * static_cast<uint64_t>(row));
        const int64_t y = topDown ? row : height - 1 - row;
        uint32_t* dst = &result.pixels[static_cast<size_t>(y * width)];
        for (int64_t x = 0; x < width; ++x) {
            uint32_t value;
            switch (bitCount) {
                case 1: value = palette[(src[x >> 3] >> (7 - (x & 7))) & 1]; break;
                case 4: value = palette[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]; break;
                case 8: value = palette[src[x]]; break;
                case 16: {
                    const uint32_t p = U16(src + 2 * x);
                    value = red.Read(p) << 16 | green.Read(p) << 8 | blue.Read(p);
                    break;
                }
                case 24: value = static_cast<uint32_t>(src[3 * x + 2]) << 16 | src[3 * x + 1] << 8 | src[3 * x]; break;
                default: {
                    const uint32_t p = U32(src + 4 * x);
                    value = compression == 3 ? (red.Read(p) << 16 | green.Read(p) << 8 | blue.Read(p))
                                             : (p & 0xFFFFFF);
                    break;
                }
            }
            dst[x] = value;
        }
    }
    *out = std::move(result);
    return true;
}

DecodedBitmap ResizeBitmap(const DecodedBitmap& in, int32_t width, int32_t height) {
    DecodedBitmap out;
    out.width = width;
    out.height = height;
    out.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y) {
        const int32_t sy = static_cast<int32_t>(static_cast<int64_t>(y) * in.height / height);
        for (int32_t x = 0; x < width; ++x) {
            const int32_t sx = static_cast<int32_t>(static_cast<int64_t>(x) * in.width / width);
            out.pixels[static_cast<size_t>(y) * width + x] = in.pixels[static_cast<size_t>(sy) * in.width + sx];
        }
    }
    return out;
}

}  // namespace platform
}  // namespace qndx
