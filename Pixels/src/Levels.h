// Inside the pixel library: the table of loops that one vector level
// offers, how each level's file fills it, and the per-pixel rules that the
// scalar loops and the vector loops' tails share.
//
// The rules have internal linkage (an unnamed namespace): the vector files
// are compiled with wider instruction sets, and a shared out-of-line copy
// built there must never serve the scalar code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "pixels/Access.h"
#include "pixels/Pixels.h"

namespace qndx {
namespace pixels {

// The table and the level files' entry points are shared between files;
// everything else below is per file.
namespace detail {

// Kinds in table order: 8, 15, 16, 24, 32.
const int kKinds = 5;
const int kEffects = static_cast<int>(Effect::Count);
const int kRows = static_cast<int>(Row::Count);
const int kPictureSources = 7;  // 1, 4, 8, 15, 16, 24, 32 bits

}  // namespace detail

namespace {

using namespace detail;

inline int KindIndexOf(uint32_t kind) {
    switch (kind) {
        case 8: return 0;
        case 15: return 1;
        case 16: return 2;
        case 24: return 3;
        case 32: return 4;
        default: return -1;
    }
}

inline int SourceIndexOf(int bits) {
    switch (bits) {
        case 1: return 0;
        case 4: return 1;
        case 8: return 2;
        case 15: return 3;
        case 16: return 4;
        case 24: return 5;
        case 32: return 6;
        default: return -1;
    }
}

template <int Kind>
constexpr int Bpp() {
    return Kind == 8 ? 1 : Kind == 24 ? 3 : Kind == 32 ? 4 : 2;
}

// What a keyed copy compares (and writes) of a pixel of B bytes.
template <int B>
constexpr uint32_t KeyMask() {
    return B == 1 ? 0xFFu : B == 2 ? 0xFFFFu : 0xFFFFFFu;
}
// A key with bits beyond the compared ones: no pixel is the key.
template <int B>
inline bool KeyPossible(uint32_t key) {
    return key <= KeyMask<B>();
}


// One keyed row, a pixel at a time: d[i] = s[i] & writeMask where s[i]'s
// compared bits are not the key.
template <int B>
inline void KeyedPixelsRow(uint8_t* d, const uint8_t* s, int n, uint32_t key, uint32_t writeMask) {
    for (int x = 0; x < n; ++x) {
        const uint32_t p = Load<B>(s + x * B);
        if ((p & KeyMask<B>()) != key) Store<B>(d + x * B, p & writeMask);
    }
}

}  // namespace

namespace detail {

// One keyed row for the stretch: d[i] = s[i] & writeMask where s[i]'s
// compared bits are not the key (the key is a possible one).
typedef void (*KeyedRowFn)(uint8_t* d, const uint8_t* s, int n, uint32_t key, uint32_t writeMask);
// d[i] = s[n - 1 - i], `s` at the lowest source column.
typedef void (*ReverseRowFn)(uint8_t* d, const uint8_t* s, int n);
typedef void (*ReverseKeyedRowFn)(uint8_t* d, const uint8_t* s, int n, uint32_t key, uint32_t writeMask);
// The same over whole blocks of h rows, each pointer moving by its pitch (a
// negative source pitch walks the source upwards): the stretch's 1:1 forms,
// so a mirror makes one call per blit instead of one per row.
typedef void (*ReverseBlockFn)(uint8_t* d, ptrdiff_t dPitch, const uint8_t* s, ptrdiff_t sPitch, int w, int h);
typedef void (*KeyedBlockFn)(uint8_t* d, ptrdiff_t dPitch, const uint8_t* s, ptrdiff_t sPitch, int w, int h,
                             uint32_t key, uint32_t writeMask);

// The span runs [first, last) of source rows top.. onto a destination block
// whose row r starts at dst + r * pitch; the block's left edge is `left`
// bytes into a source row.
struct RunBlock {
    const KeySpans::Run* first;
    const KeySpans::Run* last;
    const uint8_t* pixels;
    uint8_t* dst;
    ptrdiff_t pitch;
    uint32_t top;
    uint32_t left, right;  // bytes
    bool whole;            // the block spans every column
    bool packed;           // 32-bit pixels kept as their three low bytes
    bool prefetch;         // fetch each run's destination while the run before it copies
};
typedef void (*RunsFn)(const RunBlock& block);

// BlendColourRect.
typedef void (*ColourRectFn)(uint8_t* dst, ptrdiff_t pitch, int w, int h, uint32_t kind, uint32_t colour,
                             uint32_t alpha);

struct Loops {
    CopyFn copy[kKinds];
    KeyedFn keyed[kKinds];
    KeyedRowFn keyedRow[kKinds];
    ReverseRowFn reverseRow[kKinds];
    ReverseKeyedRowFn reverseKeyedRow[kKinds];
    KeyedBlockFn keyedBlock[kKinds];
    ReverseBlockFn reverseBlock[kKinds];
    KeyedBlockFn reverseKeyedBlock[kKinds];
    EffectFn effect[kKinds][kEffects];  // the mirrors are the stretch's
    RunsFn runs;
    // What `keyed` costs per source byte, in hundredths of a byte that the
    // span form copies (per kind; KeySpans::Build weighs the two forms of a
    // sprite with it), keyedRowCost what it costs a row in such bytes.
    // noSpans: the level never takes span forms.
    uint16_t keyedCost[kKinds], keyedRowCost[kKinds];
    bool noSpans;
    // 32-bit span forms of blocks of at least this many bytes keep three
    // bytes a pixel (PackSpans).
    size_t packFrom;
    ColourRectFn colourRect;
    RowFn rows[kRows];
    void (*finishRows)();
    PictureRowFn pictureRows[kPictureSources][kKinds];
};

// A block size no form is taken from.
const size_t kNeverFrom = ~size_t(0);

// Whether a 32-bit span form of this many bytes keeps three bytes a pixel
// at the level in use (always with SetSpansForAllSizes).
bool PackSpans(uint64_t bytes);

// What the keyed loop of the level in use would cost on a sprite of
// `rowBytes` x `rows`, in bytes the span form copies in the same time (a
// run costs kRunCost of them, a row the level's keyedRowCost); the largest
// value with SetSpansForAllSizes, so every span form is built.
const uint64_t kRunCost = 96;
uint64_t KeyedLoopCost(uint32_t kind, uint64_t rowBytes, uint64_t rows);

// Each level's file sets the loops it has and leaves the others as the
// level below gave them.
void FillScalar(Loops* loops);
void FillSse2(Loops* loops);
void FillAvx2(Loops* loops);
void FillAvx512(Loops* loops);

// The scalar blend of a colour over pixels [from, count) of a row
// (BlendColourRect's rules; 15/16-bit rows start at 0).
void BlendColourTail(uint8_t* row, int from, int count, uint32_t kind, uint32_t colour, uint32_t alpha);

}  // namespace detail

namespace {

// Blocks made of a level's row loops, the row inlined into the block's loop
// (flatten: a small sprite's rows are a few vector steps each, where a call
// per row costs as much as the row).
template <void (*Row)(uint8_t*, const uint8_t*, int)>
__attribute__((flatten)) void RowBlock(uint8_t* d, ptrdiff_t dPitch, const uint8_t* s, ptrdiff_t sPitch, int w, int h) {
    for (int y = 0; y < h; ++y, d += dPitch, s += sPitch) Row(d, s, w);
}
template <void (*Row)(uint8_t*, const uint8_t*, int, uint32_t, uint32_t)>
__attribute__((flatten)) void KeyedRowBlock(uint8_t* d, ptrdiff_t dPitch, const uint8_t* s, ptrdiff_t sPitch, int w, int h, uint32_t key,
                   uint32_t writeMask) {
    for (int y = 0; y < h; ++y, d += dPitch, s += sPitch) Row(d, s, w, key, writeMask);
}

// ------------------------------------------------------------ channel rules

template <int Kind>
inline uint32_t LoadPx(const uint8_t* p) {
    return Load<Bpp<Kind>()>(p);
}
template <int Kind>
inline void StorePx(uint8_t* p, uint32_t v) {
    Store<Bpp<Kind>()>(p, v);
}

template <int Kind>
constexpr int ChannelShift(int i) {
    return Kind == 15 ? 5 * i : Kind == 16 ? (i == 0 ? 0 : i == 1 ? 5 : 11) : 8 * i;
}
template <int Kind>
constexpr uint32_t ChannelMask(int i) {
    return (Kind == 16 && i == 1) ? 0x3Fu : (Kind == 15 || Kind == 16) ? 0x1Fu : 0xFFu;
}
// Clears the lowest bit of every channel and the bits outside the channels.
template <int Kind>
constexpr uint32_t HalvingMask() {
    return Kind == 15 ? 0x7BDEu : Kind == 16 ? 0xF7DEu : 0xFEFEFEu;
}
// What of the destination survives a blend: byte 3 of a 32-bit pixel.
template <int Kind>
constexpr uint32_t KeptBits() {
    return Kind == 32 ? 0xFF000000u : 0u;
}
// The part of a source pixel that is compared with the key.
template <int Kind>
inline uint32_t KeyBitsOf(uint32_t p) {
    return Kind == 32 ? (p & 0x00FFFFFFu) : p;
}

inline uint32_t ClampWeight(uint32_t w) { return w > 256 ? 256 : w; }

template <int Kind>
inline uint32_t BlendPixel(uint32_t s, uint32_t d, uint32_t a) {
    const uint32_t ia = 256 - a;
    uint32_t out = d & KeptBits<Kind>();
    for (int i = 0; i < 3; ++i) {
        const int sh = ChannelShift<Kind>(i);
        const uint32_t m = ChannelMask<Kind>(i);
        out |= ((((s >> sh) & m) * ia + ((d >> sh) & m) * a) >> 8) << sh;
    }
    return out;
}

template <int Kind>
inline uint32_t ScalePixel(uint32_t d, uint32_t v) {
    uint32_t out = d & KeptBits<Kind>();
    for (int i = 0; i < 3; ++i) {
        const int sh = ChannelShift<Kind>(i);
        out |= ((((d >> sh) & ChannelMask<Kind>(i)) * v) >> 8) << sh;
    }
    return out;
}

// The per-pixel rules as small objects the loops are written over. Apply
// gives the new destination pixel; ApplyPair two 16-bit pixels at once;
// ApplyByte one channel byte.
template <int Kind>
struct HalfAlphaOp {
    static constexpr bool kReadsSource = true;
    explicit HalfAlphaOp(const EffectArgs&) {}
    uint32_t Apply(uint32_t s, uint32_t d) const {
        const uint32_t m = HalvingMask<Kind>();
        return (((s & m) >> 1) + ((d & m) >> 1)) | (d & KeptBits<Kind>());
    }
    uint32_t ApplyPair(uint32_t s, uint32_t d) const {
        const uint32_t m = HalvingMask<Kind>() | HalvingMask<Kind>() << 16;
        return ((s & m) >> 1) + ((d & m) >> 1);
    }
    uint32_t ApplyByte(uint32_t s, uint32_t d) const { return (s >> 1) + (d >> 1); }
};

template <int Kind>
struct AlphaOp {
    static constexpr bool kReadsSource = true;
    explicit AlphaOp(const EffectArgs& args) : a(ClampWeight(args.weight)) {}
    uint32_t Apply(uint32_t s, uint32_t d) const { return BlendPixel<Kind>(s, d, a); }
    uint32_t ApplyPair(uint32_t s, uint32_t d) const {
        return BlendPixel<Kind>(s & 0xFFFF, d & 0xFFFF, a) | BlendPixel<Kind>(s >> 16, d >> 16, a) << 16;
    }
    uint32_t ApplyByte(uint32_t s, uint32_t d) const { return (s * (256 - a) + d * a) >> 8; }
    uint32_t a;
};

template <int Kind>
struct ScaleOp {
    static constexpr bool kReadsSource = false;
    explicit ScaleOp(const EffectArgs& args) : v(ClampWeight(args.weight)) {}
    uint32_t Apply(uint32_t, uint32_t d) const { return ScalePixel<Kind>(d, v); }
    uint32_t ApplyPair(uint32_t, uint32_t d) const {
        return ScalePixel<Kind>(d & 0xFFFF, v) | ScalePixel<Kind>(d >> 16, v) << 16;
    }
    uint32_t ApplyByte(uint32_t, uint32_t d) const { return (d * v) >> 8; }
    uint32_t v;
};

template <int Kind>
struct HalveOp {
    static constexpr bool kReadsSource = false;
    explicit HalveOp(const EffectArgs&) {}
    uint32_t Apply(uint32_t, uint32_t d) const { return ((d & HalvingMask<Kind>()) >> 1) | (d & KeptBits<Kind>()); }
    uint32_t ApplyPair(uint32_t, uint32_t d) const {
        return (d & (HalvingMask<Kind>() | HalvingMask<Kind>() << 16)) >> 1;
    }
    uint32_t ApplyByte(uint32_t, uint32_t d) const { return d >> 1; }
};

// A keyed effect whose key no source pixel can equal is its unkeyed twin.
template <int Kind>
inline bool EffectKeyPossible(uint32_t key) {
    return key <= ((Kind == 15 || Kind == 16) ? 0xFFFFu : 0xFFFFFFu);
}

// Fills the eight blend and shade entries of one kind's row of the effect
// table with Loop<Kind, Keyed, Op>.
template <int Kind, template <int, bool, template <int> class> class Loop>
inline void FillEffects(EffectFn (&row)[kEffects]) {
    row[static_cast<int>(Effect::HalfAlpha)] = Loop<Kind, false, HalfAlphaOp>::Run;
    row[static_cast<int>(Effect::HalfAlphaKeyed)] = Loop<Kind, true, HalfAlphaOp>::Run;
    row[static_cast<int>(Effect::Alpha)] = Loop<Kind, false, AlphaOp>::Run;
    row[static_cast<int>(Effect::AlphaKeyed)] = Loop<Kind, true, AlphaOp>::Run;
    row[static_cast<int>(Effect::Translucent)] = Loop<Kind, false, ScaleOp>::Run;
    row[static_cast<int>(Effect::TranslucentKeyed)] = Loop<Kind, true, ScaleOp>::Run;
    row[static_cast<int>(Effect::HalfTranslucent)] = Loop<Kind, false, HalveOp>::Run;
    row[static_cast<int>(Effect::HalfTranslucentKeyed)] = Loop<Kind, true, HalveOp>::Run;
}


// 5- and 6-bit channels widened to 8 bits by repeating their top bits; the
// 5-5-5 pixel's bit 15 goes into the top byte, so it comes back.
inline uint32_t Widen5(uint32_t c) { return c << 3 | c >> 2; }
inline uint32_t Widen6(uint32_t c) { return c << 2 | c >> 4; }
inline uint32_t XrgbOf565(uint32_t p) { return Widen5(p >> 11) << 16 | Widen6(p >> 5 & 63) << 8 | Widen5(p & 31); }
inline uint32_t XrgbOf555(uint32_t p) {
    return (p & 0x8000) << 16 | Widen5(p >> 10 & 31) << 16 | Widen5(p >> 5 & 31) << 8 | Widen5(p & 31);
}
template <bool Kind565>
inline void WidenRow(uint8_t* dst, const uint8_t* src, int count) {
    for (int i = 0; i < count; ++i, src += 2, dst += 4) {
        const uint32_t p = Load16(src);
        Store32(dst, Kind565 ? XrgbOf565(p) : XrgbOf555(p));
    }
}

// Picture pixel i of a row: 0x00RRGGBB, or the table's entry for an index.
template <int Bits>
inline uint32_t PicturePixel(const uint8_t* s, int i, const uint32_t* table) {
    if (Bits == 1) return table[s[i >> 3] >> (7 - (i & 7)) & 1];
    if (Bits == 4) return table[(i & 1) ? (s[i >> 1] & 15) : (s[i >> 1] >> 4)];
    if (Bits == 8) return table[s[i]];
    if (Bits == 15) return XrgbOf555(Load16(s + 2 * i)) & 0xFFFFFF;
    if (Bits == 16) return XrgbOf565(Load16(s + 2 * i));
    if (Bits == 24) return Load24(s + 3 * i);
    return Load32(s + 4 * i) & 0xFFFFFF;
}
template <int Kind>
inline uint32_t PackXrgb(uint32_t c) {
    if (Kind == 15) return (c >> 9 & 0x7C00) | (c >> 6 & 0x3E0) | (c >> 3 & 0x1F);
    if (Kind == 16) return (c >> 8 & 0xF800) | (c >> 5 & 0x7E0) | (c >> 3 & 0x1F);
    return c;
}
// The reference picture row, and the tail of the vector forms.
template <int Bits, int Kind>
void PictureRowOf(uint8_t* d, const uint8_t* s, int first, int count, const uint32_t* table) {
    // 24-bit rows already lie as the 24-bit kind keeps them.
    if constexpr (Bits == 24 && Kind == 24) {
        std::memcpy(d, s + (ptrdiff_t)first * 3, (size_t)count * 3);
        return;
    }
    d -= (ptrdiff_t)first * Bpp<Kind>();
    for (int i = first; i < first + count; ++i) {
        const uint32_t c = PicturePixel<Bits>(s, i, table);
        Store<Bpp<Kind>()>(d + (ptrdiff_t)i * Bpp<Kind>(), Bits <= 8 ? c : PackXrgb<Kind>(c));
    }
}
template <int Bits>
inline void FillPictureRows(PictureRowFn (&row)[kKinds]) {
    row[KindIndexOf(15)] = PictureRowOf<Bits, 15>;
    row[KindIndexOf(16)] = PictureRowOf<Bits, 16>;
    row[KindIndexOf(24)] = PictureRowOf<Bits, 24>;
    row[KindIndexOf(32)] = PictureRowOf<Bits, 32>;
}

// Bytes kept after a packed span form's last pixel for the widening
// copies' reads.
const size_t kWidenPadding = 8;

// count 32-bit pixels from their three low bytes at s, with a top byte of 0.
inline void WidenPixels(uint8_t* d, const uint8_t* s, size_t count) {
    for (size_t i = 0; i < count; ++i, s += 3, d += 4) Store32(d, Load24(s));
}

// One run's bytes: n destination bytes from s, which holds three bytes a
// pixel when Packed (the top byte written is 0).
template <class C, bool Packed>
inline void PutRun(uint8_t* d, const uint8_t* s, uint32_t n) {
    if (Packed)
        C::Widen(d, s, n / 4);
    else
        C::Bytes(d, s, n);
}

// Where the source of destination byte `skip` of a run lies.
template <bool Packed>
inline uint32_t SourceSkip(uint32_t skip) {
    return Packed ? skip / 4 * 3 : skip;
}

// Asks for the lines of n destination bytes at p: a run's destination row
// is new to the cache, and asked for while the run before it copies, it is
// there by the time its stores come.
inline void FetchLines(const uint8_t* p, size_t n) {
    const uintptr_t from = reinterpret_cast<uintptr_t>(p);
    for (uintptr_t line = from & ~uintptr_t(63); line < from + n; line += 64)
        __builtin_prefetch(reinterpret_cast<const void*>(line), 1);
}

// Every run's place comes from its own fields, so the processor can work
// out the next run's addresses while this one's bytes are still moving (a
// row table read first, then the run, made each row wait for two loads).
template <class C, bool Packed>
inline void CopyRunsOf(const RunBlock& b) {
    const KeySpans::Run* const last = b.last;
    const uint8_t* const pixels = b.pixels;
    uint8_t* const dst = b.dst;
    const ptrdiff_t pitch = b.pitch;
    const uint32_t top = b.top, left = b.left, right = b.right;
    auto row = [&](const KeySpans::Run* run) { return dst + static_cast<ptrdiff_t>(run->y - top) * pitch; };
    if (b.whole) {
        for (const KeySpans::Run* run = b.first; run != last; ++run) {
            if (b.prefetch && run + 1 != last) FetchLines(row(run + 1) + run[1].x, run[1].n);
            PutRun<C, Packed>(row(run) + run->x, pixels + run->offset, run->n);
        }
        return;
    }
    // The run's bytes within the block's columns, [lo, hi) of its row.
    auto cut = [&](const KeySpans::Run* run, uint32_t* lo, uint32_t* hi) {
        *lo = run->x > left ? run->x : left;
        *hi = run->x + run->n < right ? run->x + run->n : right;
        return *lo < *hi;
    };
    for (const KeySpans::Run* run = b.first; run != last; ++run) {
        uint32_t lo, hi, nextLo, nextHi;
        if (!cut(run, &lo, &hi)) continue;
        if (b.prefetch && run + 1 != last && cut(run + 1, &nextLo, &nextHi))
            FetchLines(row(run + 1) + (nextLo - left), nextHi - nextLo);
        PutRun<C, Packed>(row(run) + (lo - left), pixels + run->offset + SourceSkip<Packed>(lo - run->x), hi - lo);
    }
}

// Copies a block's span runs with C::Bytes (C::Widen for packed 32-bit
// pixels), clipped to the block's columns.
template <class C>
inline void CopyRuns(const RunBlock& b) {
    if (b.packed)
        CopyRunsOf<C, true>(b);
    else
        CopyRunsOf<C, false>(b);
}

}  // namespace
}  // namespace pixels
}  // namespace qndx
