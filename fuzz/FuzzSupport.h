// Shared set-up of the decoder harnesses: one DirectDraw object whose new
// surfaces take the 32-bit desktop format. The loaders print an error line
// for every refused input; run the harnesses with -close_fd_mask=2 to keep
// them quiet (libFuzzer still reports crashes).
#pragma once

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
