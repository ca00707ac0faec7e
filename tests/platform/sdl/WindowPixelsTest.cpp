// Which desktop and window formats the windowed present pairs: only those
// that give every bit back, each with the pixel library's rows for them
// (whose conversions the pixel suite checks against the reference).
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "sdl/WindowPixels.h"

namespace {

using qndx::platform::ExactWindowRowCopy;
using qndx::platform::WindowRowCopy;

TEST(WindowPixels, OnlyPairsThatGiveEveryBitBackAreOffered) {
    const qndx::pixels::Kind kinds[] = {qndx::pixels::kRgb555, qndx::pixels::kRgb565, qndx::pixels::kRgb888, qndx::pixels::kXrgb8888};
    const uint32_t formats[] = {SDL_PIXELFORMAT_RGB555, SDL_PIXELFORMAT_RGB565, SDL_PIXELFORMAT_BGR24,
                                SDL_PIXELFORMAT_RGB888, SDL_PIXELFORMAT_ARGB8888, SDL_PIXELFORMAT_BGR888};
    std::mt19937 rng(77);
    int offered = 0;
    for (qndx::pixels::Kind kind : kinds)
        for (uint32_t format : formats)
            for (bool fast : {true, false}) {
                WindowRowCopy copy;
                const bool has = ExactWindowRowCopy(kind, format, fast, &copy);
                const uint32_t same = kind == qndx::pixels::kRgb555   ? SDL_PIXELFORMAT_RGB555
                                      : kind == qndx::pixels::kRgb565 ? SDL_PIXELFORMAT_RGB565
                                      : kind == qndx::pixels::kRgb888 ? SDL_PIXELFORMAT_BGR24
                                                                  : SDL_PIXELFORMAT_RGB888;
                // The desktop's own format and, from the narrower kinds, 32-bit XRGB.
                EXPECT_EQ(format == same || format == SDL_PIXELFORMAT_RGB888, has) << SDL_GetPixelFormatName(format);
                if (!has) continue;
                offered += fast;
                const int db = kind == qndx::pixels::kRgb888 ? 3 : kind == qndx::pixels::kXrgb8888 ? 4 : 2;
                const int wb = format == SDL_PIXELFORMAT_RGB888 ? 4 : db;
                ASSERT_EQ(db, copy.desktopBytes);
                ASSERT_EQ(wb, copy.windowBytes);
                std::vector<uint8_t> desk(37 * db), win(37 * wb), back(37 * db);
                for (uint8_t& b : desk) b = static_cast<uint8_t>(rng());
                copy.toWindow(win.data(), desk.data(), 37);
                copy.fromWindow(back.data(), win.data(), 37);
                EXPECT_EQ(desk, back) << SDL_GetPixelFormatName(format);
            }
    EXPECT_EQ(7, offered);
}

}  // namespace
