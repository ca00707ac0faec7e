// The wide vector forms (see BlitWide.h). The AVX2 keyed copies select
// sixteen 16-bit or eight 32-bit pixels a step between source and
// destination; the AVX-512 ones compare 64 bytes a step and store the
// visible pixels through the comparison's mask, so key pixels are neither
// read nor written and a row's last partial step is a masked one. The AVX2
// effect loops do the SSE2 forms' arithmetic on twice the lanes, keyed steps
// of nothing but key skipped; a row's rest is done in 16-, 8-, 4- and 2-byte
// steps loaded into the low lanes, so nothing outside the block is touched.
#include "GraphicEngine/BlitWide.h"

#include <cstring>

#include "GraphicEngine/BlitLoops.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define QNDX_HAVE_WIDE 1
#define QNDX_AVX2 __attribute__((target("avx2")))
#define QNDX_AVX512 __attribute__((target("avx2,avx512f,avx512bw")))
#endif

namespace qndx {
namespace gfx {

#if QNDX_HAVE_WIDE

namespace {

QNDX_AVX2 inline __m256i Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
QNDX_AVX2 inline void Store(uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
QNDX_AVX2 inline __m128i Load4(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
QNDX_AVX2 inline void Store4(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// Writes `put` where the key mask is clear, the destination's own pixels
// elsewhere.
QNDX_AVX2 inline void PutUnkeyed(uint8_t* d, __m256i put, __m256i isKey) {
    Store(d, _mm256_blendv_epi8(put, Load(d), isKey));
}

}  // namespace

namespace blit {
namespace wide {

bool Built() { return true; }

}  // namespace wide

namespace avx2 {

QNDX_AVX2 void Keyed16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                       uint32_t key) {
    // A key wider than the pixel matches nothing: every pixel is written.
    if (key > 0xFFFFu) {
        fast::Copy16(dst, dstPitch, src, srcPitch, w, h);
        return;
    }
    const uint16_t k16 = static_cast<uint16_t>(key);
    const __m256i k = _mm256_set1_epi16(static_cast<short>(k16));
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = src + row * srcPitch;
        int x = 0;
        for (; x + 16 <= w; x += 16) {
            const __m256i sv = Load(s + 2 * x);
            PutUnkeyed(d + 2 * x, sv, _mm256_cmpeq_epi16(sv, k));
        }
        if (x + 8 <= w) {
            const __m128i sv = Load4(s + 2 * x);
            const __m128i m = _mm_cmpeq_epi16(sv, _mm256_castsi256_si128(k));
            Store4(d + 2 * x, _mm_blendv_epi8(sv, Load4(d + 2 * x), m));
            x += 8;
        }
        for (; x < w; ++x) {
            uint16_t p;
            std::memcpy(&p, s + 2 * x, 2);
            if (p != k16) std::memcpy(d + 2 * x, &p, 2);
        }
    }
}

QNDX_AVX2 void Keyed32(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                       uint32_t key) {
    const __m256i k = _mm256_set1_epi32(static_cast<int>(key));
    const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = src + row * srcPitch;
        int x = 0;
        for (; x + 8 <= w; x += 8) {
            const __m256i sv = _mm256_and_si256(Load(s + 4 * x), colour);
            PutUnkeyed(d + 4 * x, sv, _mm256_cmpeq_epi32(sv, k));
        }
        if (x + 4 <= w) {
            const __m128i sv = _mm_and_si128(Load4(s + 4 * x), _mm256_castsi256_si128(colour));
            const __m128i m = _mm_cmpeq_epi32(sv, _mm256_castsi256_si128(k));
            Store4(d + 4 * x, _mm_blendv_epi8(sv, Load4(d + 4 * x), m));
            x += 4;
        }
        for (; x < w; ++x) {
            uint32_t p;
            std::memcpy(&p, s + 4 * x, 4);
            p &= 0x00FFFFFFu;
            if (p != key) std::memcpy(d + 4 * x, &p, 4);
        }
    }
}

}  // namespace avx2

namespace avx512 {

QNDX_AVX512 void Keyed16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                         uint32_t key) {
    if (key > 0xFFFFu) {
        fast::Copy16(dst, dstPitch, src, srcPitch, w, h);
        return;
    }
    const __m512i k = _mm512_set1_epi16(static_cast<short>(key));
    const int whole = w & ~31;
    const __mmask32 rest = static_cast<__mmask32>((1u << (w & 31)) - 1);
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = src + row * srcPitch;
        for (int x = 0; x < whole; x += 32) {
            const __m512i sv = _mm512_loadu_si512(s + 2 * x);
            _mm512_mask_storeu_epi16(d + 2 * x, _mm512_cmpneq_epi16_mask(sv, k), sv);
        }
        if (rest) {
            const __m512i sv = _mm512_maskz_loadu_epi16(rest, s + 2 * whole);
            _mm512_mask_storeu_epi16(d + 2 * whole, _mm512_mask_cmpneq_epi16_mask(rest, sv, k), sv);
        }
    }
}

QNDX_AVX512 void Keyed32(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                         uint32_t key) {
    const __m512i k = _mm512_set1_epi32(static_cast<int>(key));
    const __m512i colour = _mm512_set1_epi32(0x00FFFFFF);
    const int whole = w & ~15;
    const __mmask16 rest = static_cast<__mmask16>((1u << (w & 15)) - 1);
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = src + row * srcPitch;
        for (int x = 0; x < whole; x += 16) {
            const __m512i sv = _mm512_and_si512(_mm512_loadu_si512(s + 4 * x), colour);
            _mm512_mask_storeu_epi32(d + 4 * x, _mm512_cmpneq_epi32_mask(sv, k), sv);
        }
        if (rest) {
            const __m512i sv = _mm512_and_si512(_mm512_maskz_loadu_epi32(rest, s + 4 * whole), colour);
            _mm512_mask_storeu_epi32(d + 4 * whole, _mm512_mask_cmpneq_epi32_mask(rest, sv, k), sv);
        }
    }
}

}  // namespace avx512
}  // namespace blit

// ------------------------------------------------------------ effect loops

namespace effects {
namespace {

inline uint32_t ClampWeight(uint32_t w) { return w > 256 ? 256 : w; }

// The channel fields of the 16-bit kinds: blue, green, red.
template <int Kind>
constexpr int Shift(int i) {
    return Kind == 15 ? 5 * i : (i == 0 ? 0 : i == 1 ? 5 : 11);
}
template <int Kind>
constexpr short FieldMask(int i) {
    return (Kind == 16 && i == 1) ? 0x3F : 0x1F;
}
// Clears the lowest bit of every channel and the bits outside them.
template <int Kind>
constexpr uint32_t HalvingMask() {
    return Kind == 15 ? 0x7BDEu : Kind == 16 ? 0xF7DEu : 0xFEFEFEu;
}
template <int Kind>
bool KeyPossible(uint32_t key) {
    return key <= (Kind == 32 ? 0xFFFFFFu : 0xFFFFu);
}

template <int N>
QNDX_AVX2 inline __m256i Srl16(__m256i v) {
    return _mm256_srli_epi16(v, N);
}
template <int N>
QNDX_AVX2 inline __m256i Sll16(__m256i v) {
    return _mm256_slli_epi16(v, N);
}

// Sixteen 16-bit pixels split into their three fields, each in its own
// lanes, and joined again.
template <int Kind>
struct Fields16 {
    __m256i c[3];
    QNDX_AVX2 Fields16(__m256i p, const __m256i (&mask)[3]) {
        c[0] = _mm256_and_si256(p, mask[0]);
        c[1] = _mm256_and_si256(Srl16<Shift<Kind>(1)>(p), mask[1]);
        c[2] = _mm256_and_si256(Srl16<Shift<Kind>(2)>(p), mask[2]);
    }
    QNDX_AVX2 static __m256i Join(__m256i b, __m256i g, __m256i r) {
        return _mm256_or_si256(b, _mm256_or_si256(Sll16<Shift<Kind>(1)>(g), Sll16<Shift<Kind>(2)>(r)));
    }
};

template <int Kind>
struct FieldMasks {
    __m256i m[3];
    QNDX_AVX2 FieldMasks() {
        for (int i = 0; i < 3; ++i) m[i] = _mm256_set1_epi16(FieldMask<Kind>(i));
    }
};

// The per-kind vector rules. kReads says whether the rule reads the source.
template <int Kind>
struct HalfAlphaV {
    static constexpr bool kReads = true;
    __m256i m;
    QNDX_AVX2 explicit HalfAlphaV(const EffectArgs&) : m(_mm256_set1_epi16(static_cast<short>(HalvingMask<Kind>()))) {}
    QNDX_AVX2 __m256i operator()(__m256i s, __m256i d) const {
        return _mm256_add_epi16(_mm256_srli_epi16(_mm256_and_si256(s, m), 1),
                                _mm256_srli_epi16(_mm256_and_si256(d, m), 1));
    }
};

template <int Kind>
struct AlphaV {
    static constexpr bool kReads = true;
    __m256i a, ia;
    FieldMasks<Kind> fm;
    QNDX_AVX2 explicit AlphaV(const EffectArgs& args)
        : a(_mm256_set1_epi16(static_cast<short>(ClampWeight(args.weight)))),
          ia(_mm256_set1_epi16(static_cast<short>(256 - ClampWeight(args.weight)))) {}
    QNDX_AVX2 __m256i Mix(__m256i s, __m256i d) const {
        return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(s, ia), _mm256_mullo_epi16(d, a)), 8);
    }
    QNDX_AVX2 __m256i operator()(__m256i s, __m256i d) const {
        const Fields16<Kind> sc(s, fm.m), dc(d, fm.m);
        return Fields16<Kind>::Join(Mix(sc.c[0], dc.c[0]), Mix(sc.c[1], dc.c[1]), Mix(sc.c[2], dc.c[2]));
    }
};

template <int Kind>
struct ScaleV {
    static constexpr bool kReads = false;
    __m256i v;
    FieldMasks<Kind> fm;
    QNDX_AVX2 explicit ScaleV(const EffectArgs& args)
        : v(_mm256_set1_epi16(static_cast<short>(ClampWeight(args.weight)))) {}
    QNDX_AVX2 __m256i Mul(__m256i c) const { return _mm256_srli_epi16(_mm256_mullo_epi16(c, v), 8); }
    QNDX_AVX2 __m256i operator()(__m256i, __m256i d) const {
        const Fields16<Kind> dc(d, fm.m);
        return Fields16<Kind>::Join(Mul(dc.c[0]), Mul(dc.c[1]), Mul(dc.c[2]));
    }
};

template <int Kind>
struct HalveV {
    static constexpr bool kReads = false;
    __m256i m;
    QNDX_AVX2 explicit HalveV(const EffectArgs&) : m(_mm256_set1_epi16(static_cast<short>(HalvingMask<Kind>()))) {}
    QNDX_AVX2 __m256i operator()(__m256i, __m256i d) const { return _mm256_srli_epi16(_mm256_and_si256(d, m), 1); }
};

// 32-bit pixels: the halving rules on whole words, the weighted ones on
// bytes; byte 3 always comes from the destination.
struct Top32 {
    __m256i colour;  // bytes 0 to 2 of every pixel
    QNDX_AVX2 Top32() : colour(_mm256_set1_epi32(0x00FFFFFF)) {}
    QNDX_AVX2 __m256i Keep(__m256i channels, __m256i d) const { return _mm256_blendv_epi8(d, channels, colour); }
};

template <>
struct HalfAlphaV<32> {
    static constexpr bool kReads = true;
    __m256i m;
    Top32 top;
    QNDX_AVX2 explicit HalfAlphaV(const EffectArgs&) : m(_mm256_set1_epi32(static_cast<int>(HalvingMask<32>()))) {}
    QNDX_AVX2 __m256i operator()(__m256i s, __m256i d) const {
        const __m256i sum = _mm256_add_epi32(_mm256_srli_epi32(_mm256_and_si256(s, m), 1),
                                             _mm256_srli_epi32(_mm256_and_si256(d, m), 1));
        return top.Keep(sum, d);
    }
};

template <>
struct AlphaV<32> {
    static constexpr bool kReads = true;
    __m256i a, ia;
    Top32 top;
    QNDX_AVX2 explicit AlphaV(const EffectArgs& args)
        : a(_mm256_set1_epi16(static_cast<short>(ClampWeight(args.weight)))),
          ia(_mm256_set1_epi16(static_cast<short>(256 - ClampWeight(args.weight)))) {}
    QNDX_AVX2 __m256i operator()(__m256i s, __m256i d) const {
        const __m256i z = _mm256_setzero_si256();
        const __m256i lo = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(s, z), ia),
                                            _mm256_mullo_epi16(_mm256_unpacklo_epi8(d, z), a));
        const __m256i hi = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(s, z), ia),
                                            _mm256_mullo_epi16(_mm256_unpackhi_epi8(d, z), a));
        return top.Keep(_mm256_packus_epi16(_mm256_srli_epi16(lo, 8), _mm256_srli_epi16(hi, 8)), d);
    }
};

template <>
struct ScaleV<32> {
    static constexpr bool kReads = false;
    __m256i v;
    Top32 top;
    QNDX_AVX2 explicit ScaleV(const EffectArgs& args)
        : v(_mm256_set1_epi16(static_cast<short>(ClampWeight(args.weight)))) {}
    QNDX_AVX2 __m256i operator()(__m256i, __m256i d) const {
        const __m256i z = _mm256_setzero_si256();
        const __m256i lo = _mm256_mullo_epi16(_mm256_unpacklo_epi8(d, z), v);
        const __m256i hi = _mm256_mullo_epi16(_mm256_unpackhi_epi8(d, z), v);
        return top.Keep(_mm256_packus_epi16(_mm256_srli_epi16(lo, 8), _mm256_srli_epi16(hi, 8)), d);
    }
};

template <>
struct HalveV<32> {
    static constexpr bool kReads = false;
    __m256i m;
    Top32 top;
    QNDX_AVX2 explicit HalveV(const EffectArgs&) : m(_mm256_set1_epi32(static_cast<int>(HalvingMask<32>()))) {}
    QNDX_AVX2 __m256i operator()(__m256i, __m256i d) const {
        return top.Keep(_mm256_srli_epi32(_mm256_and_si256(d, m), 1), d);
    }
};

// Which lanes of a source step hold the key (all bits set there).
template <int Kind>
struct KeyTest {
    __m256i k;
    QNDX_AVX2 explicit KeyTest(uint32_t key) : k(_mm256_set1_epi16(static_cast<short>(key))) {}
    QNDX_AVX2 __m256i operator()(__m256i s) const { return _mm256_cmpeq_epi16(s, k); }
};
template <>
struct KeyTest<32> {
    __m256i k, colour;
    QNDX_AVX2 explicit KeyTest(uint32_t key)
        : k(_mm256_set1_epi32(static_cast<int>(key))), colour(_mm256_set1_epi32(0x00FFFFFF)) {}
    QNDX_AVX2 __m256i operator()(__m256i s) const { return _mm256_cmpeq_epi32(_mm256_and_si256(s, colour), k); }
};

// The first N bytes at p in the low lanes of a vector (the rest zero), and
// back. Steps of fewer than 32 bytes end a row.
template <int N>
struct Part;
template <>
struct Part<32> {
    QNDX_AVX2 static __m256i Get(const uint8_t* p) { return Load(p); }
    QNDX_AVX2 static void Put(uint8_t* p, __m256i v) { Store(p, v); }
};
template <>
struct Part<16> {
    QNDX_AVX2 static __m256i Get(const uint8_t* p) { return _mm256_set_m128i(_mm_setzero_si128(), Load4(p)); }
    QNDX_AVX2 static void Put(uint8_t* p, __m256i v) { Store4(p, _mm256_castsi256_si128(v)); }
};
template <>
struct Part<8> {
    QNDX_AVX2 static __m256i Get(const uint8_t* p) {
        return _mm256_set_m128i(_mm_setzero_si128(), _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    }
    QNDX_AVX2 static void Put(uint8_t* p, __m256i v) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(v));
    }
};
template <>
struct Part<4> {
    QNDX_AVX2 static __m256i Get(const uint8_t* p) {
        int32_t v;
        std::memcpy(&v, p, 4);
        return _mm256_set_m128i(_mm_setzero_si128(), _mm_cvtsi32_si128(v));
    }
    QNDX_AVX2 static void Put(uint8_t* p, __m256i v) {
        const int32_t x = _mm_cvtsi128_si32(_mm256_castsi256_si128(v));
        std::memcpy(p, &x, 4);
    }
};
template <>
struct Part<2> {
    QNDX_AVX2 static __m256i Get(const uint8_t* p) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return _mm256_set_m128i(_mm_setzero_si128(), _mm_cvtsi32_si128(v));
    }
    QNDX_AVX2 static void Put(uint8_t* p, __m256i v) {
        const uint16_t x = static_cast<uint16_t>(_mm_cvtsi128_si32(_mm256_castsi256_si128(v)));
        std::memcpy(p, &x, 2);
    }
};

// One step of N bytes at d (and s when the rule reads the source).
template <int N, bool Keyed, bool Reads, class Op, class Key>
QNDX_AVX2 inline void Step(uint8_t* d, const uint8_t* s, const Op& op, const Key& key) {
    const __m256i sv = Reads ? Part<N>::Get(s) : _mm256_setzero_si256();
    if (Keyed) {
        const __m256i isKey = key(sv);
        if (static_cast<unsigned>(_mm256_movemask_epi8(isKey)) == 0xFFFFFFFFu) return;
        const __m256i dv = Part<N>::Get(d);
        Part<N>::Put(d, _mm256_blendv_epi8(op(sv, dv), dv, isKey));
    } else {
        Part<N>::Put(d, op(sv, Part<N>::Get(d)));
    }
}

template <int Kind, bool Keyed, template <int> class OpT>
QNDX_AVX2 void Loop(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                    const EffectArgs& args) {
    if constexpr (Keyed) {
        if (!KeyPossible<Kind>(args.key)) {
            Loop<Kind, false, OpT>(dst, dstPitch, src, srcPitch, w, h, args);
            return;
        }
    }
    constexpr bool reads = Keyed || OpT<Kind>::kReads;
    const OpT<Kind> op(args);
    const KeyTest<Kind> key(args.key);
    const size_t rowBytes = static_cast<size_t>(w) * (Kind == 32 ? 4 : 2);
    const size_t whole = rowBytes & ~static_cast<size_t>(31);
    const size_t rest = rowBytes & 31;
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = reads ? src + row * srcPitch : nullptr;
        size_t i = 0;
        for (; i < whole; i += 32) Step<32, Keyed, reads>(d + i, reads ? s + i : nullptr, op, key);
        if (rest & 16) {
            Step<16, Keyed, reads>(d + i, reads ? s + i : nullptr, op, key);
            i += 16;
        }
        if (rest & 8) {
            Step<8, Keyed, reads>(d + i, reads ? s + i : nullptr, op, key);
            i += 8;
        }
        if (rest & 4) {
            Step<4, Keyed, reads>(d + i, reads ? s + i : nullptr, op, key);
            i += 4;
        }
        if (Kind != 32 && (rest & 2)) Step<2, Keyed, reads>(d + i, reads ? s + i : nullptr, op, key);
    }
}

template <int Kind>
EffectFn FormOfKind(Effect effect) {
    switch (effect) {
    case Effect::HalfAlpha: return Loop<Kind, false, HalfAlphaV>;
    case Effect::HalfAlphaKeyed: return Loop<Kind, true, HalfAlphaV>;
    case Effect::Alpha: return Loop<Kind, false, AlphaV>;
    case Effect::AlphaKeyed: return Loop<Kind, true, AlphaV>;
    case Effect::Translucent: return Loop<Kind, false, ScaleV>;
    case Effect::TranslucentKeyed: return Loop<Kind, true, ScaleV>;
    case Effect::HalfTranslucent: return Loop<Kind, false, HalveV>;
    case Effect::HalfTranslucentKeyed: return Loop<Kind, true, HalveV>;
    default: return nullptr;  // mirrors keep their SSE2 forms
    }
}

}  // namespace

namespace avx2 {

EffectFn Form(Effect effect, uint32_t kind) {
    switch (kind) {
    case 15: return FormOfKind<15>(effect);
    case 16: return FormOfKind<16>(effect);
    case 32: return FormOfKind<32>(effect);
    default: return nullptr;  // 24-bit pixels keep their SSE2 forms
    }
}

}  // namespace avx2
}  // namespace effects

#else  // no wide forms in this build: none is chosen; the keyed copies fall back

namespace blit {
namespace wide {

bool Built() { return false; }

}  // namespace wide

namespace avx2 {

void Keyed16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, uint32_t key) {
    fast::Keyed16(dst, dstPitch, src, srcPitch, w, h, key);
}
void Keyed32(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, uint32_t key) {
    fast::Keyed32(dst, dstPitch, src, srcPitch, w, h, key);
}

}  // namespace avx2

namespace avx512 {

void Keyed16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, uint32_t key) {
    fast::Keyed16(dst, dstPitch, src, srcPitch, w, h, key);
}
void Keyed32(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, uint32_t key) {
    fast::Keyed32(dst, dstPitch, src, srcPitch, w, h, key);
}

}  // namespace avx512
}  // namespace blit

namespace effects {
namespace avx2 {

EffectFn Form(Effect, uint32_t) { return nullptr; }

}  // namespace avx2
}  // namespace effects

#endif

}  // namespace gfx
}  // namespace qndx
