// Per-pixel references of the pixel loops, written one channel at a time
// from the rules (the keyed copy's table, weights in 256ths rounding down,
// the bits outside the channels, channels widened by repeating their top
// bits), for the loop tests and the engine-level tests alike.
#pragma once

#include <cstdint>

namespace pixel_ref {

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

// The keyed copy's table: 8, 15 and 16 compare and write the whole pixel;
// 24 the three bytes; 32 compares the low 24 bits and writes them with a
// top byte of 0. False when the pixel is the key (nothing written).
inline bool RefKeyed(int kind, uint32_t s, uint32_t key, uint32_t* write) {
    const uint32_t bits = kind == 8 ? 0xFFu : (kind == 15 || kind == 16) ? 0xFFFFu : 0xFFFFFFu;
    if ((s & bits) == key) return false;
    *write = s & bits;
    return true;
}

// A colour drawn over a pixel with weight a (the colour's share): 127 and
// 128 average through the halving mask, else d + floor(a (c - d) / 256)
// per channel; 15-bit bit 15 becomes 0, 32-bit byte 3 stays.
inline uint32_t RefBlendColour(int kind, uint32_t d, uint32_t c, uint32_t alpha) {
    const int a = alpha > 256 ? 256 : static_cast<int>(alpha);
    const Layout l = LayoutOf(kind);
    int ch[3];
    for (int i = 0; i < 3; ++i) {
        const int dc = Get(d, l.f[i]), cc = Get(c, l.f[i]);
        ch[i] = (a == 127 || a == 128) ? dc / 2 + cc / 2 : dc + FloorDiv256(a * (cc - dc));
    }
    return Rebuild(kind, ch, d);
}

// A desktop pixel in a 32-bit XRGB window: 5- and 6-bit channels widened by
// repeating their top bits, bit 15 of 5-5-5 into bit 31, 24-bit with a top
// byte of 0.
inline uint32_t Widen(uint32_t c, int bits) { return bits == 5 ? (c << 3 | c >> 2) : (c << 2 | c >> 4); }
inline uint32_t RefToXrgb(int kind, uint32_t p) {
    if (kind == 16) return Widen(p >> 11 & 31, 5) << 16 | Widen(p >> 5 & 63, 6) << 8 | Widen(p & 31, 5);
    if (kind == 15)
        return (p & 0x8000 ? 0x80000000u : 0u) | Widen(p >> 10 & 31, 5) << 16 | Widen(p >> 5 & 31, 5) << 8 |
               Widen(p & 31, 5);
    return p & 0xFFFFFFu;
}

}  // namespace pixel_ref
