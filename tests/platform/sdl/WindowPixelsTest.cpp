// The row conversions between desktop pixels and window surfaces: every
// pair offered converts like a plain per-channel reference (5- and 6-bit
// channels widened by repeating their top bits) and back to the very same
// bits, on the SSE2 rows and the plain ones, over random rows of every
// length and alignment.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "sdl/WindowPixels.h"

namespace {

using qndx::platform::ExactWindowRowCopy;
using qndx::platform::PixelKind;
using qndx::platform::WindowRowCopy;

uint32_t Widen(uint32_t c, int bits) { return bits == 5 ? (c << 3 | c >> 2) : bits == 6 ? (c << 2 | c >> 4) : c; }

// The window pixel a desktop pixel must become (only the bytes the window
// format has; the top byte of XRGB only for 5-5-5, which keeps bit 15 there).
uint32_t ReferenceToWindow(PixelKind kind, uint32_t windowFormat, uint32_t p) {
    // Same format: the bits as they are.
    if (windowFormat != SDL_PIXELFORMAT_RGB888 || kind == PixelKind::Xrgb8888) return p;
    switch (kind) {
        case PixelKind::Rgb565:
            return Widen(p >> 11 & 31, 5) << 16 | Widen(p >> 5 & 63, 6) << 8 | Widen(p & 31, 5);
        case PixelKind::Rgb555:
            return (p & 0x8000 ? 0x80000000u : 0u) | Widen(p >> 10 & 31, 5) << 16 | Widen(p >> 5 & 31, 5) << 8 |
                   Widen(p & 31, 5);
        default: return p & 0xFFFFFF;
    }
}

int DesktopBytes(PixelKind kind) {
    return kind == PixelKind::Rgb888 ? 3 : kind == PixelKind::Xrgb8888 ? 4 : 2;
}

TEST(WindowPixels, OfferedPairsConvertLikeTheReferenceAndBackExactly) {
    const PixelKind kinds[] = {PixelKind::Rgb555, PixelKind::Rgb565, PixelKind::Rgb888, PixelKind::Xrgb8888};
    const uint32_t formats[] = {SDL_PIXELFORMAT_RGB555, SDL_PIXELFORMAT_RGB565, SDL_PIXELFORMAT_BGR24,
                                SDL_PIXELFORMAT_RGB888, SDL_PIXELFORMAT_ARGB8888, SDL_PIXELFORMAT_BGR888};
    std::mt19937 rng(77);
    int offered = 0;
    for (PixelKind kind : kinds)
        for (uint32_t format : formats) {
            WindowRowCopy fast, plain;
            const bool has = ExactWindowRowCopy(kind, format, true, &fast);
            ASSERT_EQ(has, ExactWindowRowCopy(kind, format, false, &plain));
            const uint32_t same = kind == PixelKind::Rgb555   ? SDL_PIXELFORMAT_RGB555
                                  : kind == PixelKind::Rgb565 ? SDL_PIXELFORMAT_RGB565
                                  : kind == PixelKind::Rgb888 ? SDL_PIXELFORMAT_BGR24
                                                              : SDL_PIXELFORMAT_RGB888;
            // Only the desktop's own format and, from the narrower kinds,
            // 32-bit XRGB give every bit back.
            EXPECT_EQ(format == same || format == SDL_PIXELFORMAT_RGB888, has) << SDL_GetPixelFormatName(format);
            if (!has) continue;
            ++offered;
            const int db = DesktopBytes(kind), wb = format == SDL_PIXELFORMAT_RGB888 ? 4 : db;
            ASSERT_EQ(db, fast.desktopBytes);
            ASSERT_EQ(wb, fast.windowBytes);
            for (int round = 0; round < 200; ++round) {
                const int count = static_cast<int>(rng() % 70), skew = static_cast<int>(rng() % 4);
                std::vector<uint8_t> desk(count * db + 8), winFast(count * wb + 8, 0xCD), winPlain = winFast;
                for (uint8_t& b : desk) b = static_cast<uint8_t>(rng());
                const uint8_t* src = desk.data() + skew;
                fast.toWindow(winFast.data() + skew, src, count);
                plain.toWindow(winPlain.data() + skew, src, count);
                ASSERT_EQ(winPlain, winFast) << "fast and plain rows differ, " << count << " pixels";
                for (int i = 0; i < count; ++i) {
                    uint32_t p = 0, w = 0;
                    std::memcpy(&p, src + i * db, db);
                    std::memcpy(&w, winPlain.data() + skew + i * wb, wb);
                    ASSERT_EQ(ReferenceToWindow(kind, format, p), w) << "pixel " << i << " of " << count;
                }
                // Nothing beyond the row is touched.
                for (size_t b = skew + count * wb; b < winPlain.size(); ++b) ASSERT_EQ(0xCD, winPlain[b]);
                std::vector<uint8_t> back(count * db + 8, 0xEE);
                fast.fromWindow(back.data() + skew, winFast.data() + skew, count);
                ASSERT_EQ(0, std::memcmp(back.data() + skew, src, count * db)) << "not given back exactly";
                ASSERT_EQ(0xEE, back[skew + count * db]);
            }
        }
    EXPECT_EQ(7, offered);
}

}  // namespace
