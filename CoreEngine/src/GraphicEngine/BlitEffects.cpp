// Mirror, alpha and translucent pixel loops. The plain forms are written per
// pixel kind from the blending rules (the 15/16-bit blends on pixel pairs in
// 32-bit words, as the masks allow); the fast forms do eight 16-bit or four
// 32-bit pixels per SSE2 step (baseline on x86-64) with a scalar tail that
// uses the plain per-pixel rule. 24-bit blends without a key are byte-wise
// (every byte is a channel), so they run sixteen bytes per step. Pixel
// loads and stores go through memcpy: pitches, odd start columns and 24-bit
// pixels give no alignment guarantee.
//
// The weighted blend is computed as (s * (256 - a) + d * a) >> 8, which is
// s + ((a * (d - s)) >> 8) rounded down, without signed arithmetic, and fits
// 16-bit lanes: at most 255 * 256.
#include "GraphicEngine/BlitEffects.h"

#include <cstring>

#include "GraphicEngine/BlitWide.h"
#include "GraphicEngine/BlitLoops.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define QNDX_EFFECTS_SSE2 1
#endif

namespace qndx {
namespace gfx {
namespace effects {

namespace {

// ------------------------------------------------------------ pixel access

inline uint32_t Load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void Store16(uint8_t* p, uint32_t v) {
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(p, &w, 2);
}
inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
inline uint32_t Load24(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
}
inline void Store24(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
}

template <int Kind>
constexpr int Bpp() {
    return Kind == 24 ? 3 : Kind == 32 ? 4 : 2;
}

template <int Kind>
inline uint32_t LoadPx(const uint8_t* p) {
    return Kind == 24 ? Load24(p) : Kind == 32 ? Load32(p) : Load16(p);
}
template <int Kind>
inline void StorePx(uint8_t* p, uint32_t v) {
    if (Kind == 24)
        Store24(p, v);
    else if (Kind == 32)
        Store32(p, v);
    else
        Store16(p, v);
}

// ------------------------------------------------------------ channel rules

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
inline uint32_t KeyBits(uint32_t p) {
    return Kind == 32 ? (p & 0x00FFFFFFu) : p;
}
// A key no source pixel can equal: the keyed loop is the unkeyed one.
template <int Kind>
inline bool KeyPossible(uint32_t key) {
    return key <= ((Kind == 15 || Kind == 16) ? 0xFFFFu : 0xFFFFFFu);
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
inline uint32_t HalfPixel(uint32_t s, uint32_t d) {
    const uint32_t m = HalvingMask<Kind>();
    return (((s & m) >> 1) + ((d & m) >> 1)) | (d & KeptBits<Kind>());
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

template <int Kind>
inline uint32_t HalvePixel(uint32_t d) {
    return ((d & HalvingMask<Kind>()) >> 1) | (d & KeptBits<Kind>());
}

// The per-pixel rules as small objects the loops are written over. Apply
// gives the new destination pixel; ApplyPair two 16-bit pixels at once.
template <int Kind>
struct HalfAlphaOp {
    static constexpr bool kReadsSource = true;
    explicit HalfAlphaOp(const EffectArgs&) {}
    uint32_t Apply(uint32_t s, uint32_t d) const { return HalfPixel<Kind>(s, d); }
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
    uint32_t Apply(uint32_t, uint32_t d) const { return HalvePixel<Kind>(d); }
    uint32_t ApplyPair(uint32_t, uint32_t d) const {
        return (d & (HalvingMask<Kind>() | HalvingMask<Kind>() << 16)) >> 1;
    }
    uint32_t ApplyByte(uint32_t, uint32_t d) const { return d >> 1; }
};

// ------------------------------------------------------------- plain loops

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
            if (Keyed && KeyBits<Kind>(sp) == key) continue;
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
void PlainLoop(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
               const EffectArgs& args) {
    if constexpr (Keyed) {
        if (!KeyPossible<Kind>(args.key)) {
            PlainLoop<Kind, false, OpT>(dst, dstPitch, src, srcPitch, w, h, args);
            return;
        }
    }
    const OpT<Kind> op(args);
    if constexpr (Kind == 15 || Kind == 16)
        RunPairs<Kind, Keyed>(dst, dstPitch, src, srcPitch, w, h, op, args.key);
    else
        RunPixels<Kind, Keyed>(dst, dstPitch, src, srcPitch, w, h, op, args.key);
}

// Mirrors move whole pixel values; only the key test looks at the colour bits.
template <int Kind, bool Keyed, bool LeftRight>
void PlainMirror(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                 const EffectArgs& args) {
    constexpr int bpp = Bpp<Kind>();
    const uint32_t key = args.key;
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = src + (LeftRight ? row : h - 1 - row) * srcPitch;
        for (int c = 0; c < w; ++c) {
            const uint32_t p = LoadPx<Kind>(s + (LeftRight ? w - 1 - c : c) * bpp);
            if (Keyed && KeyBits<Kind>(p) == key) continue;
            StorePx<Kind>(d + c * bpp, p);
        }
    }
}

#if QNDX_EFFECTS_SSE2

// -------------------------------------------------------------- SSE2 forms

inline __m128i LoadV(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void StoreV(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
// Lanes of `keep` where the mask is set, of `put` elsewhere.
inline __m128i Select(__m128i mask, __m128i keep, __m128i put) {
    return _mm_or_si128(_mm_and_si128(mask, keep), _mm_andnot_si128(mask, put));
}

// Eight 16-bit pixels: the three channels apart, each in its own lanes.
template <int Kind>
struct Channels16 {
    __m128i c[3];
    explicit Channels16(__m128i p) {
        for (int i = 0; i < 3; ++i)
            c[i] = _mm_and_si128(ShiftRight(p, ChannelShift<Kind>(i)),
                                 _mm_set1_epi16(static_cast<short>(ChannelMask<Kind>(i))));
    }
    static __m128i ShiftRight(__m128i p, int n) { return _mm_srl_epi16(p, _mm_cvtsi32_si128(n)); }
    static __m128i Join(const __m128i (&ch)[3]) {
        __m128i out = ch[0];
        for (int i = 1; i < 3; ++i) out = _mm_or_si128(out, _mm_sll_epi16(ch[i], _mm_cvtsi32_si128(ChannelShift<Kind>(i))));
        return out;
    }
};

template <int Kind>
struct HalfAlphaV16 {
    explicit HalfAlphaV16(const EffectArgs&) : m(_mm_set1_epi16(static_cast<short>(HalvingMask<Kind>()))) {}
    __m128i operator()(__m128i s, __m128i d) const {
        return _mm_add_epi16(_mm_srli_epi16(_mm_and_si128(s, m), 1), _mm_srli_epi16(_mm_and_si128(d, m), 1));
    }
    __m128i m;
};

template <int Kind>
struct AlphaV16 {
    explicit AlphaV16(const EffectArgs& args)
        : a(_mm_set1_epi16(static_cast<short>(ClampWeight(args.weight)))),
          ia(_mm_set1_epi16(static_cast<short>(256 - ClampWeight(args.weight)))) {}
    __m128i operator()(__m128i s, __m128i d) const {
        Channels16<Kind> sc(s), dc(d);
        __m128i out[3];
        for (int i = 0; i < 3; ++i)
            out[i] = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(sc.c[i], ia), _mm_mullo_epi16(dc.c[i], a)), 8);
        return Channels16<Kind>::Join(out);
    }
    __m128i a, ia;
};

template <int Kind>
struct ScaleV16 {
    explicit ScaleV16(const EffectArgs& args) : v(_mm_set1_epi16(static_cast<short>(ClampWeight(args.weight)))) {}
    __m128i operator()(__m128i, __m128i d) const {
        Channels16<Kind> dc(d);
        __m128i out[3];
        for (int i = 0; i < 3; ++i) out[i] = _mm_srli_epi16(_mm_mullo_epi16(dc.c[i], v), 8);
        return Channels16<Kind>::Join(out);
    }
    __m128i v;
};

template <int Kind>
struct HalveV16 {
    explicit HalveV16(const EffectArgs&) : m(_mm_set1_epi16(static_cast<short>(HalvingMask<Kind>()))) {}
    __m128i operator()(__m128i, __m128i d) const { return _mm_srli_epi16(_mm_and_si128(d, m), 1); }
    __m128i m;
};

// Sixteen 8-bit channels at a time (24- and 32-bit pixels).
inline __m128i BlendBytes(__m128i s, __m128i d, __m128i a, __m128i ia) {
    const __m128i z = _mm_setzero_si128();
    __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, z), ia), _mm_mullo_epi16(_mm_unpacklo_epi8(d, z), a));
    __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, z), ia), _mm_mullo_epi16(_mm_unpackhi_epi8(d, z), a));
    return _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8));
}
inline __m128i ScaleBytes(__m128i d, __m128i v) {
    const __m128i z = _mm_setzero_si128();
    __m128i lo = _mm_mullo_epi16(_mm_unpacklo_epi8(d, z), v);
    __m128i hi = _mm_mullo_epi16(_mm_unpackhi_epi8(d, z), v);
    return _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8));
}
inline __m128i HalveBytes(__m128i d) { return _mm_and_si128(_mm_srli_epi16(d, 1), _mm_set1_epi8(0x7F)); }

struct HalfAlphaVBytes {
    explicit HalfAlphaVBytes(const EffectArgs&) {}
    __m128i operator()(__m128i s, __m128i d) const { return _mm_add_epi8(HalveBytes(s), HalveBytes(d)); }
};
struct AlphaVBytes {
    explicit AlphaVBytes(const EffectArgs& args)
        : a(_mm_set1_epi16(static_cast<short>(ClampWeight(args.weight)))),
          ia(_mm_set1_epi16(static_cast<short>(256 - ClampWeight(args.weight)))) {}
    __m128i operator()(__m128i s, __m128i d) const { return BlendBytes(s, d, a, ia); }
    __m128i a, ia;
};
struct ScaleVBytes {
    explicit ScaleVBytes(const EffectArgs& args) : v(_mm_set1_epi16(static_cast<short>(ClampWeight(args.weight)))) {}
    __m128i operator()(__m128i, __m128i d) const { return ScaleBytes(d, v); }
    __m128i v;
};
struct HalveVBytes {
    explicit HalveVBytes(const EffectArgs&) {}
    __m128i operator()(__m128i, __m128i d) const { return HalveBytes(d); }
};

// Four 32-bit pixels: the halving rules work on whole words with the
// halving mask; the others on bytes, byte 3 put back from the destination.
struct HalfAlphaV32 {
    explicit HalfAlphaV32(const EffectArgs&)
        : m(_mm_set1_epi32(static_cast<int>(HalvingMask<32>()))), top(_mm_set1_epi32(static_cast<int>(KeptBits<32>()))) {}
    __m128i operator()(__m128i s, __m128i d) const {
        const __m128i sum =
            _mm_add_epi32(_mm_srli_epi32(_mm_and_si128(s, m), 1), _mm_srli_epi32(_mm_and_si128(d, m), 1));
        return _mm_or_si128(sum, _mm_and_si128(d, top));
    }
    __m128i m, top;
};
struct HalveV32 {
    explicit HalveV32(const EffectArgs&)
        : m(_mm_set1_epi32(static_cast<int>(HalvingMask<32>()))), top(_mm_set1_epi32(static_cast<int>(KeptBits<32>()))) {}
    __m128i operator()(__m128i, __m128i d) const {
        return _mm_or_si128(_mm_srli_epi32(_mm_and_si128(d, m), 1), _mm_and_si128(d, top));
    }
    __m128i m, top;
};
template <class VBytes>
struct BytesKeepingTop {
    explicit BytesKeepingTop(const EffectArgs& args) : v(args), colour(_mm_set1_epi32(0x00FFFFFF)) {}
    __m128i operator()(__m128i s, __m128i d) const { return Select(colour, v(s, d), d); }
    VBytes v;
    __m128i colour;
};

// Which vector rule goes with which scalar rule.
template <int Kind, template <int> class OpT>
struct VectorOf;
template <int Kind>
struct VectorOf<Kind, HalfAlphaOp> {
    typedef HalfAlphaV16<Kind> V16;
    typedef HalfAlphaVBytes VBytes;
    typedef HalfAlphaV32 V32;
};
template <int Kind>
struct VectorOf<Kind, AlphaOp> {
    typedef AlphaV16<Kind> V16;
    typedef AlphaVBytes VBytes;
    typedef BytesKeepingTop<AlphaVBytes> V32;
};
template <int Kind>
struct VectorOf<Kind, ScaleOp> {
    typedef ScaleV16<Kind> V16;
    typedef ScaleVBytes VBytes;
    typedef BytesKeepingTop<ScaleVBytes> V32;
};
template <int Kind>
struct VectorOf<Kind, HalveOp> {
    typedef HalveV16<Kind> V16;
    typedef HalveVBytes VBytes;
    typedef HalveV32 V32;
};

// 15/16 bits: eight pixels a step, keyed pixels put back from the destination.
template <int Kind, bool Keyed, template <int> class OpT>
void FastLoop16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                const EffectArgs& args) {
    constexpr bool reads = Keyed || OpT<Kind>::kReadsSource;
    const OpT<Kind> op(args);
    const typename VectorOf<Kind, OpT>::V16 vop(args);
    const uint32_t key = args.key;
    const __m128i k = _mm_set1_epi16(static_cast<short>(key));
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = reads ? src + row * srcPitch : nullptr;
        int x = 0;
        for (; x + 8 <= w; x += 8) {
            const __m128i sv = reads ? LoadV(s + 2 * x) : _mm_setzero_si128();
            const __m128i dv = LoadV(d + 2 * x);
            __m128i r = vop(sv, dv);
            if (Keyed) r = Select(_mm_cmpeq_epi16(sv, k), dv, r);
            StoreV(d + 2 * x, r);
        }
        for (; x < w; ++x) {
            const uint32_t sp = reads ? Load16(s + 2 * x) : 0;
            if (Keyed && sp == key) continue;
            Store16(d + 2 * x, op.Apply(sp, Load16(d + 2 * x)));
        }
    }
}

// 32 bits: four pixels a step; byte 3 of the destination is put back.
template <bool Keyed, template <int> class OpT>
void FastLoop32(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                const EffectArgs& args) {
    constexpr bool reads = Keyed || OpT<32>::kReadsSource;
    const OpT<32> op(args);
    const typename VectorOf<32, OpT>::V32 vop(args);
    const uint32_t key = args.key;
    const __m128i k = _mm_set1_epi32(static_cast<int>(key));
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = reads ? src + row * srcPitch : nullptr;
        int x = 0;
        for (; x + 4 <= w; x += 4) {
            const __m128i sv = reads ? LoadV(s + 4 * x) : _mm_setzero_si128();
            const __m128i dv = LoadV(d + 4 * x);
            __m128i r = vop(sv, dv);
            if (Keyed) r = Select(_mm_cmpeq_epi32(_mm_and_si128(sv, colour), k), dv, r);
            StoreV(d + 4 * x, r);
        }
        for (; x < w; ++x) {
            const uint32_t sp = reads ? Load32(s + 4 * x) : 0;
            if (Keyed && KeyBits<32>(sp) == key) continue;
            Store32(d + 4 * x, op.Apply(sp, Load32(d + 4 * x)));
        }
    }
}

// 24 bits without a key: every byte is a channel, so the row is one run of
// bytes, sixteen a step and the rest one by one.
template <template <int> class OpT>
void FastLoop24(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                const EffectArgs& args) {
    constexpr bool reads = OpT<24>::kReadsSource;
    const OpT<24> op(args);
    const typename VectorOf<24, OpT>::VBytes vop(args);
    const int n = 3 * w;
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = reads ? src + row * srcPitch : nullptr;
        int i = 0;
        for (; i + 16 <= n; i += 16) StoreV(d + i, vop(reads ? LoadV(s + i) : _mm_setzero_si128(), LoadV(d + i)));
        for (; i < n; ++i) d[i] = static_cast<uint8_t>(op.ApplyByte(reads ? s[i] : 0, d[i]));
    }
}

// 24 bits with a key: one pixel at a time, but the key decides by a mask
// instead of a branch (keys scattered through a picture defeat prediction).
template <template <int> class OpT>
void FastKeyed24(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                 const EffectArgs& args) {
    const OpT<24> op(args);
    const uint32_t key = args.key;
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = src + row * srcPitch;
        for (int x = 0; x < w; ++x, d += 3, s += 3) {
            const uint32_t sp = Load24(s);
            const uint32_t dp = Load24(d);
            const uint32_t keep = 0u - static_cast<uint32_t>(sp == key);
            Store24(d, (dp & keep) | (op.Apply(sp, dp) & ~keep));
        }
    }
}

template <int Kind, bool Keyed, template <int> class OpT>
void FastLoop(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
              const EffectArgs& args) {
    if constexpr (Keyed) {
        if (!KeyPossible<Kind>(args.key)) {
            FastLoop<Kind, false, OpT>(dst, dstPitch, src, srcPitch, w, h, args);
            return;
        }
    }
    if constexpr (Kind == 15 || Kind == 16)
        FastLoop16<Kind, Keyed, OpT>(dst, dstPitch, src, srcPitch, w, h, args);
    else if constexpr (Kind == 32)
        FastLoop32<Keyed, OpT>(dst, dstPitch, src, srcPitch, w, h, args);
    else if constexpr (!Keyed)
        FastLoop24<OpT>(dst, dstPitch, src, srcPitch, w, h, args);
    else
        FastKeyed24<OpT>(dst, dstPitch, src, srcPitch, w, h, args);
}

// Mirrors. Left-right reverses the lanes of each step; up-down walks the
// source rows backwards and copies plain rows whole.
inline __m128i Reverse16(__m128i v) {
    v = _mm_shufflelo_epi16(v, _MM_SHUFFLE(0, 1, 2, 3));
    v = _mm_shufflehi_epi16(v, _MM_SHUFFLE(0, 1, 2, 3));
    return _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2));
}
inline __m128i Reverse32(__m128i v) { return _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3)); }

template <int Kind, bool Keyed, bool LeftRight>
void FastMirrorSteps(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                     uint32_t key);

template <int Kind, bool Keyed, bool LeftRight>
void FastMirror(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                const EffectArgs& args) {
    constexpr int bpp = Bpp<Kind>();
    if constexpr (Keyed) {
        if (!KeyPossible<Kind>(args.key)) {
            FastMirror<Kind, false, LeftRight>(dst, dstPitch, src, srcPitch, w, h, args);
            return;
        }
    }
    if constexpr (!Keyed && !LeftRight) {
        for (int row = 0; row < h; ++row)
            std::memcpy(dst + row * dstPitch, src + (h - 1 - row) * srcPitch, static_cast<size_t>(w) * bpp);
    } else if constexpr (Kind == 24 && !Keyed) {
        PlainMirror<Kind, Keyed, LeftRight>(dst, dstPitch, src, srcPitch, w, h, args);
    } else if constexpr (Kind == 24) {
        // Keyed: the key decides by a mask, as in FastKeyed24.
        for (int row = 0; row < h; ++row) {
            uint8_t* d = dst + row * dstPitch;
            const uint8_t* s = src + (LeftRight ? row : h - 1 - row) * srcPitch;
            for (int c = 0; c < w; ++c, d += 3) {
                const uint32_t p = Load24(s + (LeftRight ? w - 1 - c : c) * 3);
                const uint32_t keep = 0u - static_cast<uint32_t>(p == args.key);
                Store24(d, (Load24(d) & keep) | (p & ~keep));
            }
        }
    } else {
        FastMirrorSteps<Kind, Keyed, LeftRight>(dst, dstPitch, src, srcPitch, w, h, args.key);
    }
}

template <int Kind, bool Keyed, bool LeftRight>
void FastMirrorSteps(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                     uint32_t key) {
    constexpr int bpp = Bpp<Kind>();
    constexpr int step = 16 / bpp;
    const __m128i k = bpp == 2 ? _mm_set1_epi16(static_cast<short>(key)) : _mm_set1_epi32(static_cast<int>(key));
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = src + (LeftRight ? row : h - 1 - row) * srcPitch;
        int c = 0;
        for (; c + step <= w; c += step) {
            __m128i sv;
            if (LeftRight) {
                sv = LoadV(s + (w - c - step) * bpp);
                sv = bpp == 2 ? Reverse16(sv) : Reverse32(sv);
            } else {
                sv = LoadV(s + c * bpp);
            }
            if (Keyed) {
                const __m128i m =
                    bpp == 2 ? _mm_cmpeq_epi16(sv, k) : _mm_cmpeq_epi32(_mm_and_si128(sv, colour), k);
                sv = Select(m, LoadV(d + c * bpp), sv);
            }
            StoreV(d + c * bpp, sv);
        }
        for (; c < w; ++c) {
            const uint32_t p = LoadPx<Kind>(s + (LeftRight ? w - 1 - c : c) * bpp);
            if (Keyed && KeyBits<Kind>(p) == key) continue;
            StorePx<Kind>(d + c * bpp, p);
        }
    }
}

#endif  // QNDX_EFFECTS_SSE2

// ---------------------------------------------------------------- tables

int KindIndex(uint32_t kind) {
    switch (kind) {
    case 15: return 0;
    case 16: return 1;
    case 24: return 2;
    case 32: return 3;
    default: return -1;
    }
}

const int kEffects = static_cast<int>(Effect::Count);

template <int Kind>
struct PlainRow {
    static void Fill(EffectFn (&row)[kEffects]) {
        row[static_cast<int>(Effect::MirrorLeftRight)] = PlainMirror<Kind, false, true>;
        row[static_cast<int>(Effect::MirrorLeftRightKeyed)] = PlainMirror<Kind, true, true>;
        row[static_cast<int>(Effect::MirrorUpDown)] = PlainMirror<Kind, false, false>;
        row[static_cast<int>(Effect::MirrorUpDownKeyed)] = PlainMirror<Kind, true, false>;
        row[static_cast<int>(Effect::HalfAlpha)] = PlainLoop<Kind, false, HalfAlphaOp>;
        row[static_cast<int>(Effect::HalfAlphaKeyed)] = PlainLoop<Kind, true, HalfAlphaOp>;
        row[static_cast<int>(Effect::Alpha)] = PlainLoop<Kind, false, AlphaOp>;
        row[static_cast<int>(Effect::AlphaKeyed)] = PlainLoop<Kind, true, AlphaOp>;
        row[static_cast<int>(Effect::Translucent)] = PlainLoop<Kind, false, ScaleOp>;
        row[static_cast<int>(Effect::TranslucentKeyed)] = PlainLoop<Kind, true, ScaleOp>;
        row[static_cast<int>(Effect::HalfTranslucent)] = PlainLoop<Kind, false, HalveOp>;
        row[static_cast<int>(Effect::HalfTranslucentKeyed)] = PlainLoop<Kind, true, HalveOp>;
    }
};

#if QNDX_EFFECTS_SSE2
template <int Kind>
struct FastRow {
    static void Fill(EffectFn (&row)[kEffects]) {
        row[static_cast<int>(Effect::MirrorLeftRight)] = FastMirror<Kind, false, true>;
        row[static_cast<int>(Effect::MirrorLeftRightKeyed)] = FastMirror<Kind, true, true>;
        row[static_cast<int>(Effect::MirrorUpDown)] = FastMirror<Kind, false, false>;
        row[static_cast<int>(Effect::MirrorUpDownKeyed)] = FastMirror<Kind, true, false>;
        row[static_cast<int>(Effect::HalfAlpha)] = FastLoop<Kind, false, HalfAlphaOp>;
        row[static_cast<int>(Effect::HalfAlphaKeyed)] = FastLoop<Kind, true, HalfAlphaOp>;
        row[static_cast<int>(Effect::Alpha)] = FastLoop<Kind, false, AlphaOp>;
        row[static_cast<int>(Effect::AlphaKeyed)] = FastLoop<Kind, true, AlphaOp>;
        row[static_cast<int>(Effect::Translucent)] = FastLoop<Kind, false, ScaleOp>;
        row[static_cast<int>(Effect::TranslucentKeyed)] = FastLoop<Kind, true, ScaleOp>;
        row[static_cast<int>(Effect::HalfTranslucent)] = FastLoop<Kind, false, HalveOp>;
        row[static_cast<int>(Effect::HalfTranslucentKeyed)] = FastLoop<Kind, true, HalveOp>;
        // A 24-bit left-right mirror has nothing faster than its plain loop.
        if (Kind == 24) row[static_cast<int>(Effect::MirrorLeftRight)] = PlainMirror<Kind, false, true>;
    }
};
#endif

struct Tables {
    EffectFn plain[4][kEffects];
    EffectFn fast[4][kEffects];  // SSE2
    EffectFn wide[4][kEffects];  // AVX2 where there is a form, else the SSE2 one
    Tables() {
        PlainRow<15>::Fill(plain[0]);
        PlainRow<16>::Fill(plain[1]);
        PlainRow<24>::Fill(plain[2]);
        PlainRow<32>::Fill(plain[3]);
#if QNDX_EFFECTS_SSE2
        FastRow<15>::Fill(fast[0]);
        FastRow<16>::Fill(fast[1]);
        FastRow<24>::Fill(fast[2]);
        FastRow<32>::Fill(fast[3]);
#else
        std::memcpy(fast, plain, sizeof(fast));
#endif
        const uint32_t kinds[4] = {15, 16, 24, 32};
        for (int k = 0; k < 4; ++k)
            for (int e = 0; e < kEffects; ++e) {
                EffectFn f = avx2::Form(static_cast<Effect>(e), kinds[k]);
                wide[k][e] = f ? f : fast[k][e];
            }
    }
};

const Tables& GetTables() {
    static const Tables tables;
    return tables;
}

}  // namespace

EffectFn PlainEffect(Effect effect, uint32_t kind) {
    const int k = KindIndex(kind);
    const int e = static_cast<int>(effect);
    if (k < 0 || e < 0 || e >= kEffects) return nullptr;
    return GetTables().plain[k][e];
}

EffectFn FastEffect(Effect effect, uint32_t kind) {
    const int k = KindIndex(kind);
    const int e = static_cast<int>(effect);
    if (k < 0 || e < 0 || e >= kEffects) return nullptr;
    switch (blit::ActiveSimd()) {
    case blit::Simd::Avx512:  // the effects have no forms wider than AVX2
    case blit::Simd::Avx2: return GetTables().wide[k][e];
    case blit::Simd::Sse2: return GetTables().fast[k][e];
    default: return GetTables().plain[k][e];
    }
}

bool HasFastForm(Effect effect, uint32_t kind) {
    EffectFn f = FastEffect(effect, kind);
    return f && f != PlainEffect(effect, kind);
}

EffectFn EffectFor(Effect effect, uint32_t kind) {
    return blit::FastPaths() ? FastEffect(effect, kind) : PlainEffect(effect, kind);
}

bool ReadsSource(Effect effect) { return effect != Effect::Translucent && effect != Effect::HalfTranslucent; }

bool IsKeyed(Effect effect) {
    switch (effect) {
    case Effect::MirrorLeftRightKeyed:
    case Effect::MirrorUpDownKeyed:
    case Effect::HalfAlphaKeyed:
    case Effect::AlphaKeyed:
    case Effect::TranslucentKeyed:
    case Effect::HalfTranslucentKeyed: return true;
    default: return false;
    }
}

const char* EffectName(Effect effect) {
    switch (effect) {
    case Effect::MirrorLeftRight: return "MirrorLeftRight";
    case Effect::MirrorLeftRightKeyed: return "MirrorLeftRightKeyed";
    case Effect::MirrorUpDown: return "MirrorUpDown";
    case Effect::MirrorUpDownKeyed: return "MirrorUpDownKeyed";
    case Effect::HalfAlpha: return "HalfAlpha";
    case Effect::HalfAlphaKeyed: return "HalfAlphaKeyed";
    case Effect::Alpha: return "Alpha";
    case Effect::AlphaKeyed: return "AlphaKeyed";
    case Effect::Translucent: return "Translucent";
    case Effect::TranslucentKeyed: return "TranslucentKeyed";
    case Effect::HalfTranslucent: return "HalfTranslucent";
    case Effect::HalfTranslucentKeyed: return "HalfTranslucentKeyed";
    default: return "?";
    }
}

}  // namespace effects
}  // namespace gfx
}  // namespace qndx
