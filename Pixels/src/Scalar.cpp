// The scalar forms of every loop: the references the vector forms are
// checked against, and what runs with QNDX_SIMD=none or on processors
// without x86 vectors. Written per pixel from the rules in Pixels.h; the
// 15/16-bit blends work on pixel pairs in 32-bit words, as the rules allow.
#include <cstring>

#include "Levels.h"

namespace qndx {
namespace pixels {

namespace {

// ------------------------------------------------------------------ copies

// Per-pixel copy in an order that is safe when the blocks overlap with
// equal pitches: downwards in memory when the destination lies below the
// source, upwards otherwise. Each pixel is read whole before it is written.
template <int B>
void CopyPixels(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h) {
    const bool backwards = dst > src;
    for (int i = 0; i < h; ++i) {
        const int row = backwards ? h - 1 - i : i;
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = src + row * srcPitch;
        for (int j = 0; j < w; ++j) {
            const int x = backwards ? w - 1 - j : j;
            Store<B>(d + x * B, Load<B>(s + x * B));
        }
    }
}

// One pixel at a time: read, compare with the key, write when different.
template <int B>
void KeyedRow(uint8_t* d, const uint8_t* s, int n, uint32_t key, uint32_t writeMask) {
    KeyedPixelsRow<B>(d, s, n, key, writeMask);
}

template <int B>
void KeyedPixels(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                 uint32_t key) {
    // An impossible key leaves every pixel to be written; at 32 bits no
    // masked pixel can equal it anyway.
    if (B < 4 && !KeyPossible<B>(key)) {
        CopyRows(dst, dstPitch, src, srcPitch, static_cast<size_t>(w) * B, h);
        return;
    }
    for (int row = 0; row < h; ++row) KeyedRow<B>(dst + row * dstPitch, src + row * srcPitch, w, key, KeyMask<B>());
}

template <int B>
void ReverseRow(uint8_t* d, const uint8_t* s, int n) {
    for (int i = 0; i < n; ++i) Store<B>(d + i * B, Load<B>(s + (n - 1 - i) * B));
}

template <int B>
void ReverseKeyedRow(uint8_t* d, const uint8_t* s, int n, uint32_t key, uint32_t writeMask) {
    for (int i = 0; i < n; ++i) {
        const uint32_t p = Load<B>(s + (n - 1 - i) * B);
        if ((p & KeyMask<B>()) != key) Store<B>(d + i * B, p & writeMask);
    }
}

// ------------------------------------------------------------ blend loops

// One pixel at a time (24 and 32 bits).
template <int Kind, bool Keyed, class Op>
void RunPixels(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, const Op& op,
               uint32_t key) {
    constexpr int bpp = Bpp<Kind>();
    constexpr bool reads = Keyed || Op::kReadsSource;
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = reads ? src + row * srcPitch : nullptr;
        for (int x = 0; x < w; ++x, d += bpp) {
            const uint32_t sp = reads ? LoadPx<Kind>(s + x * bpp) : 0;
            if (Keyed && KeyBitsOf<Kind>(sp) == key) continue;
            StorePx<Kind>(d, op.Apply(sp, LoadPx<Kind>(d)));
        }
    }
}

// 16-bit kinds: a row of odd width starts with its first pixel alone, the
// rest goes in pairs. A pair whose two source pixels are the key is skipped
// without touching the destination; otherwise each half is decided alone.
template <int Kind, bool Keyed, class Op>
void RunPairs(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, const Op& op,
              uint32_t key) {
    constexpr bool reads = Keyed || Op::kReadsSource;
    const uint32_t keyPair = key | key << 16;
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = reads ? src + row * srcPitch : nullptr;
        int x = 0;
        if (w & 1) {
            const uint32_t sp = reads ? Load16(s) : 0;
            if (!(Keyed && sp == key)) Store16(d, op.Apply(sp, Load16(d)));
            x = 1;
        }
        for (; x < w; x += 2) {
            const uint32_t sw = reads ? Load32(s + 2 * x) : 0;
            if (Keyed && sw == keyPair) continue;
            const uint32_t dw = Load32(d + 2 * x);
            uint32_t out = op.ApplyPair(sw, dw);
            if (Keyed) {
                if ((sw & 0xFFFF) == key) out = (out & 0xFFFF0000u) | (dw & 0xFFFFu);
                if ((sw >> 16) == key) out = (out & 0xFFFFu) | (dw & 0xFFFF0000u);
            }
            Store32(d + 2 * x, out);
        }
    }
}

template <int Kind, bool Keyed, template <int> class OpT>
struct PlainLoop {
    static void Run(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                    const EffectArgs& args) {
        if (Keyed && !EffectKeyPossible<Kind>(args.key)) {
            PlainLoop<Kind, false, OpT>::Run(dst, dstPitch, src, srcPitch, w, h, args);
            return;
        }
        const OpT<Kind> op(args);
        if constexpr (Kind == 15 || Kind == 16)
            RunPairs<Kind, Keyed>(dst, dstPitch, src, srcPitch, w, h, op, args.key);
        else
            RunPixels<Kind, Keyed>(dst, dstPitch, src, srcPitch, w, h, op, args.key);
    }
};

// -------------------------------------------------------------- span runs

struct CopyBytes {
    static void Bytes(uint8_t* d, const uint8_t* s, size_t n) { std::memcpy(d, s, n); }
    static void Widen(uint8_t* d, const uint8_t* s, size_t count) { WidenPixels(d, s, count); }
};

// -------------------------------------------------------------- window rows

template <int B>
void CopyRow(uint8_t* dst, const uint8_t* src, int count) {
    std::memcpy(dst, src, static_cast<size_t>(count) * B);
}

void Bgr24ToXrgb(uint8_t* dst, const uint8_t* src, int count) {
    for (int i = 0; i < count; ++i, src += 3, dst += 4) Store32(dst, Load24(src));
}

void XrgbToRgb565(uint8_t* dst, const uint8_t* src, int count) {
    for (int i = 0; i < count; ++i, src += 4, dst += 2) {
        const uint32_t p = Load32(src);
        Store16(dst, (p >> 19 & 31) << 11 | (p >> 10 & 63) << 5 | (p >> 3 & 31));
    }
}

void XrgbToRgb555(uint8_t* dst, const uint8_t* src, int count) {
    for (int i = 0; i < count; ++i, src += 4, dst += 2) {
        const uint32_t p = Load32(src);
        Store16(dst, (p >> 16 & 0x8000) | (p >> 19 & 31) << 10 | (p >> 11 & 31) << 5 | (p >> 3 & 31));
    }
}

void XrgbToBgr24(uint8_t* dst, const uint8_t* src, int count) {
    for (int i = 0; i < count; ++i, src += 4, dst += 3) Store24(dst, Load32(src));
}

void NoFence() {}

void ColourRect(uint8_t* dst, ptrdiff_t pitch, int w, int h, uint32_t kind, uint32_t colour, uint32_t alpha) {
    for (int y = 0; y < h; ++y) BlendColourTail(dst + y * pitch, 0, w, kind, colour, alpha);
}

template <int Kind>
void FillKind(Loops* l) {
    constexpr int B = Bpp<Kind>();
    const int k = KindIndexOf(Kind);
    l->copy[k] = CopyPixels<B>;
    l->keyed[k] = KeyedPixels<B>;
    l->keyedRow[k] = KeyedRow<B>;
    l->reverseRow[k] = ReverseRow<B>;
    l->reverseKeyedRow[k] = ReverseKeyedRow<B>;
    l->keyedBlock[k] = KeyedRowBlock<KeyedRow<B>>;
    l->reverseBlock[k] = RowBlock<ReverseRow<B>>;
    l->reverseKeyedBlock[k] = KeyedRowBlock<ReverseKeyedRow<B>>;
    if constexpr (Kind != 8) FillEffects<Kind, PlainLoop>(l->effect[k]);
}

}  // namespace

namespace detail {

void FillScalar(Loops* l) {
    *l = Loops();
    FillKind<8>(l);
    FillKind<15>(l);
    FillKind<16>(l);
    FillKind<24>(l);
    FillKind<32>(l);
    l->runs = CopyRuns<CopyBytes>;
    // A pixel at a time loses to copying runs by far.
    for (uint16_t& cost : l->keyedCost) cost = 1000;
    for (uint16_t& cost : l->keyedRowCost) cost = kRunCost;
    l->noSpans = false;
    l->packFrom = kNeverFrom;
    l->colourRect = ColourRect;
    RowFn* r = l->rows;
    r[static_cast<int>(Row::Copy16)] = CopyRow<2>;
    r[static_cast<int>(Row::Copy24)] = CopyRow<3>;
    r[static_cast<int>(Row::Copy32)] = CopyRow<4>;
    r[static_cast<int>(Row::Rgb555ToXrgb)] = WidenRow<false>;
    r[static_cast<int>(Row::Rgb565ToXrgb)] = WidenRow<true>;
    r[static_cast<int>(Row::Bgr24ToXrgb)] = Bgr24ToXrgb;
    r[static_cast<int>(Row::XrgbToRgb555)] = XrgbToRgb555;
    r[static_cast<int>(Row::XrgbToRgb565)] = XrgbToRgb565;
    r[static_cast<int>(Row::XrgbToBgr24)] = XrgbToBgr24;
    l->finishRows = NoFence;
    FillPictureRows<1>(l->pictureRows[0]);
    FillPictureRows<4>(l->pictureRows[1]);
    FillPictureRows<8>(l->pictureRows[2]);
    FillPictureRows<15>(l->pictureRows[3]);
    FillPictureRows<16>(l->pictureRows[4]);
    FillPictureRows<24>(l->pictureRows[5]);
    FillPictureRows<32>(l->pictureRows[6]);
}

}  // namespace detail
}  // namespace pixels
}  // namespace qndx
