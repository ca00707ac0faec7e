// Per-pixel references of the effect blits, written one channel at a time
// from the blending rules (weights in 256ths, rounding down, the bits outside
// the channels), for the loop tests and the engine-level tests alike.
#pragma once

#include <cstdint>

namespace effect_ref {

struct Field {
    int shift;
    int bits;
};
struct Layout {
    Field f[3];  // blue, green, red
};
inline Layout LayoutOf(int kind) {
    if (kind == 15) return {{{0, 5}, {5, 5}, {10, 5}}};
    if (kind == 16) return {{{0, 5}, {5, 6}, {11, 5}}};
    return {{{0, 8}, {8, 8}, {16, 8}}};
}
inline int Get(uint32_t p, Field f) { return static_cast<int>((p >> f.shift) & ((1u << f.bits) - 1)); }

// Rebuilds a pixel from channel values; what lies outside the channels is
// 0, except byte 3 of a 32-bit pixel, which comes from `dest`.
inline uint32_t Rebuild(int kind, const int (&c)[3], uint32_t dest) {
    const Layout l = LayoutOf(kind);
    uint32_t p = kind == 32 ? (dest & 0xFF000000u) : 0;
    for (int i = 0; i < 3; ++i) p |= static_cast<uint32_t>(c[i]) << l.f[i].shift;
    return p;
}

inline int FloorDiv256(int x) { return x >= 0 ? x / 256 : -((-x + 255) / 256); }

inline uint32_t RefAlpha(int kind, uint32_t s, uint32_t d, uint32_t weight) {
    const int a = weight > 256 ? 256 : static_cast<int>(weight);
    const Layout l = LayoutOf(kind);
    int c[3];
    for (int i = 0; i < 3; ++i) {
        const int sc = Get(s, l.f[i]), dc = Get(d, l.f[i]);
        c[i] = sc + FloorDiv256(a * (dc - sc));
    }
    return Rebuild(kind, c, d);
}

inline uint32_t RefHalfAlpha(int kind, uint32_t s, uint32_t d) {
    const Layout l = LayoutOf(kind);
    int c[3];
    for (int i = 0; i < 3; ++i) c[i] = Get(s, l.f[i]) / 2 + Get(d, l.f[i]) / 2;
    return Rebuild(kind, c, d);
}

inline uint32_t RefScale(int kind, uint32_t d, uint32_t value) {
    const int v = value > 256 ? 256 : static_cast<int>(value);
    const Layout l = LayoutOf(kind);
    int c[3];
    for (int i = 0; i < 3; ++i) c[i] = (v * Get(d, l.f[i])) / 256;
    return Rebuild(kind, c, d);
}

inline uint32_t RefHalve(int kind, uint32_t d) { return RefScale(kind, d, 128); }

inline bool IsKey(int kind, uint32_t s, uint32_t key) {
    return (kind == 24 || kind == 32) ? (s & 0xFFFFFFu) == key : s == key;
}

}  // namespace effect_ref
