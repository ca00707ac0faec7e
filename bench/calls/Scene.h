// The game side of the public-call benchmark: the engine started the way a
// game starts it (game manager, CreateWindowed(800, 600, 0)), sprites loaded
// from BMP files in memory with a magenta key, a textured background, and the
// same pixels copied into SDL surfaces of the same format for the peers.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

class CQNDXSurface;
class CQNDXVideoEngine;

namespace qndx {
namespace bench {

constexpr int kScreenW = 800;
constexpr int kScreenH = 600;

// The game manager and a windowed 800 x 600 display. The main loop is asked
// to end before it starts, so the bench drives the frame itself with the
// calls a game state's Render makes. Null with the reason on failure.
CQNDXVideoEngine* StartEngine(std::string* why);

// SDL's format of an engine pixel kind (15: x1r5g5b5, 16: r5g6b5, 24: bytes
// b, g, r, 32: x8r8g8b8); 0 for any other kind.
Uint32 SdlFormatOf(int kind);

// A sprite w x h: a textured disc (an ellipse filling the box) on the key
// colour, with two small holes unless `plainEllipse` (then one opaque run a
// row), loaded through LoadFromMemory from a 24-bit BMP, keyed with
// SetColorKeyRGB. Null with the reason on failure.
CQNDXSurface* LoadSprite(CQNDXVideoEngine* ve, int w, int h, std::string* why, bool plainEllipse = false);

// A new SDL surface holding a copy of the engine surface's pixels.
SDL_Surface* CopyToSdl(CQNDXSurface* s, Uint32 format);
// Writes an SDL surface's pixels into the engine surface at (0, 0).
bool CopyFromSdl(const SDL_Surface* from, CQNDXSurface* to);

// The background a frame starts from, a pattern in every pixel.
SDL_Surface* MakeBackground(Uint32 format);

// The largest channel difference between two blocks w x h at (0, 0) of two
// surfaces of the same format (channels in their own units), and how many
// pixels of `a` differ from `base`.
struct Comparison {
    int maxDiff = 0;
    long changed = 0;
};
Comparison Compare(const SDL_Surface* a, const SDL_Surface* b, const SDL_Surface* base, int w, int h);

}  // namespace bench
}  // namespace qndx
