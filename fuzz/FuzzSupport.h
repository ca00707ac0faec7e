// Shared set-up of the decoder harnesses: one DirectDraw object whose new
// surfaces take the 32-bit desktop format, and the size rule below. The
// loaders print an error line for every refused input; run the harnesses
// with -close_fd_mask=2 to keep them quiet (libFuzzer still reports crashes).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/DirectDraw.h"

inline IDirectDraw7* FuzzDirectDraw() {
    static IDirectDraw7* dd = [] {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        IDirectDraw7* d = nullptr;
        if (DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&d), IID_IDirectDraw7, nullptr) != DD_OK ||
            d->SetCooperativeLevel(nullptr, DDSCL_NORMAL) != DD_OK) {
            std::fprintf(stderr, "fuzz: no DirectDraw object\n");
            std::abort();
        }
        return d;
    }();
    return dd;
}

// A few bytes can describe a large picture that the loaders rightly accept
// (run-length BMP, progressive JPEG, deflate): decoding 40 million pixels
// under the sanitizers takes seconds and would turn every such input into a
// timeout, and even a million pixels slows a run tenfold. Pictures whose
// sides lie within the engine's cap (16384) are decoded up to 2^18 pixels
// (any width or height alone); larger ones are skipped. Sides past the cap
// still reach the loaders, which must refuse them cheaply.
inline bool FuzzSkipsPicture(int64_t width, int64_t height) {
    if (width < 0) width = -width;
    if (height < 0) height = -height;
    return width <= 16384 && height <= 16384 && width * height > (int64_t(1) << 18);
}

inline uint32_t FuzzLe16(const uint8_t* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8; }
inline uint32_t FuzzLe32(const uint8_t* p) { return FuzzLe16(p) | FuzzLe16(p + 2) << 16; }
inline uint32_t FuzzBe32(const uint8_t* p) {
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}
