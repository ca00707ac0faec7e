// The AVX2 forms, compiled for AVX2 and chosen only on processors that
// have it: keyed copies thirty-two bytes a step (the last step of a row
// overlapping the one before, rows too short for a step done sixteen bytes
// at a time), the 15-, 16- and 32-bit blends and shades (the SSE2 forms'
// arithmetic on twice the lanes, keyed steps of nothing but key skipped, a
// row's rest in 16-, 8-, 4- and 2-byte steps in the low lanes, so nothing
// outside the block is touched) and run copies for the span form. Each
// gives exactly the bytes of its scalar twin.
#include <immintrin.h>

#include <cstring>

#include "Vector128.h"
#include "VectorRules.h"

namespace qndx {
namespace pixels {

namespace {

inline __m256i Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
inline void Store(uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
// Thirty-two-byte pieces for CopyRun.
struct Vector256 {
    typedef __m256i Vec;
    static __m256i Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void Store(uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
};
inline __m128i Load4(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store4(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// ------------------------------------------------------------ keyed copies

template <int B>
inline __m256i Splat256(uint32_t v) {
    return B == 4   ? _mm256_set1_epi32(static_cast<int>(v))
           : B == 2 ? _mm256_set1_epi16(static_cast<short>(v))
                    : _mm256_set1_epi8(static_cast<char>(v));
}

// Keyed rows of 1-, 2- and 4-byte pixels, thirty-two bytes a step; the
// write mask clears what a 32-bit pixel must not carry. Writing a step
// again over pixels already done gives the same bytes, so a row's last step
// overlaps the one before it; rows shorter than a step go sixteen bytes a
// step.
template <int B>
struct KeyedStep256 {
    __m256i kv, colour, write;
    KeyedStep256(uint32_t key, uint32_t writeMask)
        : kv(Splat256<B>(key)), colour(_mm256_set1_epi32(B == 4 ? 0x00FFFFFF : -1)),
          write(_mm256_set1_epi32(B == 4 ? static_cast<int>(writeMask) : -1)) {}
    // Source vector p (already in destination order) onto d.
    void Put(uint8_t* d, __m256i p) const {
        const __m256i c = _mm256_and_si256(p, colour);
        const __m256i m = B == 4 ? _mm256_cmpeq_epi32(c, kv) : B == 2 ? _mm256_cmpeq_epi16(c, kv) : _mm256_cmpeq_epi8(c, kv);
        const unsigned bits = static_cast<unsigned>(_mm256_movemask_epi8(m));
        if (bits == 0xFFFFFFFFu) return;  // all key
        const __m256i v = _mm256_and_si256(p, write);
        Store(d, bits == 0 ? v : _mm256_blendv_epi8(v, Load(d), m));
    }
};

template <int B>
void KeyedRow256(uint8_t* d, const uint8_t* s, int w, uint32_t key, uint32_t writeMask) {
    constexpr int V = 32 / B;
    if (w < V) {
        KeyedRow128<B>(d, s, w, key, writeMask);
        return;
    }
    const KeyedStep256<B> step(key, writeMask);
    int x = 0;
    for (; x + V <= w; x += V) step.Put(d + x * B, Load(s + x * B));
    if (x < w) step.Put(d + (w - V) * B, Load(s + (w - V) * B));
}

template <int B>
void KeyedBlock(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                uint32_t key) {
    if (B < 4 && !KeyPossible<B>(key)) {
        CopyRows(dst, dstPitch, src, srcPitch, static_cast<size_t>(w) * B, h);
        return;
    }
    KeyedRowBlock<KeyedRow256<B>>(dst, dstPitch, src, srcPitch, w, h, key, KeyMask<B>());
}

// ------------------------------------------------------------ mirrored rows

// A vector's pixels in reverse order (1-, 2- and 4-byte pixels).
template <int B>
inline __m256i Reverse256(__m256i v) {
    if (B == 4) return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0));
    const __m256i inLane = B == 2 ? _mm256_setr_epi8(14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1, 14, 15, 12,
                                                     13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1)
                                  : _mm256_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13,
                                                     12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    return _mm256_permute4x64_epi64(_mm256_shuffle_epi8(v, inLane), _MM_SHUFFLE(1, 0, 3, 2));
}

// d[i] = s[n - 1 - i]. The last step may overlap the one before it (the
// bytes written depend on the source alone).
template <int B>
void ReverseRow256(uint8_t* d, const uint8_t* s, int n) {
    constexpr int V = 32 / B;
    if (n < V) {
        ReverseRow128<B>(d, s, n);
        return;
    }
    int i = 0;
    for (; i + V <= n; i += V) Store(d + i * B, Reverse256<B>(Load(s + (n - i - V) * B)));
    if (i < n) Store(d + (n - V) * B, Reverse256<B>(Load(s)));
}

template <int B>
void ReverseKeyedRow256(uint8_t* d, const uint8_t* s, int n, uint32_t key, uint32_t writeMask) {
    constexpr int V = 32 / B;
    if (n < V) {
        ReverseKeyedRow128<B>(d, s, n, key, writeMask);
        return;
    }
    const KeyedStep256<B> step(key, writeMask);
    int i = 0;
    for (; i + V <= n; i += V) step.Put(d + i * B, Reverse256<B>(Load(s + (n - i - V) * B)));
    if (i < n) step.Put(d + (n - V) * B, Reverse256<B>(Load(s)));
}

// 24-bit pixels, five a step: a 16-byte load ending at the last of five
// source pixels (its first byte belongs to the pixel before them) is
// reversed by a byte shuffle into destination order, leaving byte 15 for the
// next pixel, which the following step or the row's last pixels write.
inline __m128i Reverse24(__m128i v) {
    return _mm_shuffle_epi8(v, _mm_setr_epi8(13, 14, 15, 10, 11, 12, 7, 8, 9, 4, 5, 6, 1, 2, 3, -128));
}

void ReverseRow24(uint8_t* d, const uint8_t* s, int n) {
    int i = 0;
    for (; i + 6 <= n; i += 5) Store4(d + 3 * i, Reverse24(Load4(s + 3 * (n - i - 5) - 1)));
    for (; i < n; ++i) Store24(d + 3 * i, Load24(s + 3 * (n - 1 - i)));
}

// Keyed: key pixels and byte 15 keep the destination, loaded one step ahead
// as in the forward keyed rows. Three-byte pixels are written whole, so the
// write mask has nothing to clear.
void ReverseKeyedRow24(uint8_t* d, const uint8_t* s, int n, uint32_t key, uint32_t) {
    const Keyed24Masks masks(key);
    int i = 0;
    __m128i dv = _mm_setzero_si128();
    if (n >= 6) dv = Load4(d);
    for (; i + 6 <= n; i += 5) {
        const __m128i sv = Reverse24(Load4(s + 3 * (n - i - 5) - 1));
        __m128i dnext = dv;
        if (i + 11 <= n) dnext = Load4(d + 3 * (i + 5));
        Store4(d + 3 * i, Select(masks.KeyBytes(sv), dv, sv));
        dv = dnext;
    }
    for (; i < n; ++i) {
        const uint32_t p = Load24(s + 3 * (n - 1 - i));
        if (p != key) Store24(d + 3 * i, p);
    }
}

// -------------------------------------------------------- blends and shades

// The lane operations VectorRules.h writes the rules with, on 32 bytes.
struct W256 : Vector256 {
    static Vec Set8(int v) { return _mm256_set1_epi8(static_cast<char>(v)); }
    static Vec Set16(uint32_t v) { return _mm256_set1_epi16(static_cast<short>(v)); }
    static Vec Set32(uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
    static Vec Zero() { return _mm256_setzero_si256(); }
    static Vec And(Vec a, Vec b) { return _mm256_and_si256(a, b); }
    static Vec Or(Vec a, Vec b) { return _mm256_or_si256(a, b); }
    static Vec Add8(Vec a, Vec b) { return _mm256_add_epi8(a, b); }
    static Vec Add16(Vec a, Vec b) { return _mm256_add_epi16(a, b); }
    static Vec Add32(Vec a, Vec b) { return _mm256_add_epi32(a, b); }
    static Vec Mul16(Vec a, Vec b) { return _mm256_mullo_epi16(a, b); }
    template <int N>
    static Vec Srl16(Vec a) { return _mm256_srli_epi16(a, N); }
    template <int N>
    static Vec Sll16(Vec a) { return _mm256_slli_epi16(a, N); }
    template <int N>
    static Vec Srl32(Vec a) { return _mm256_srli_epi32(a, N); }
    static Vec Low8(Vec a) { return _mm256_unpacklo_epi8(a, Zero()); }
    static Vec High8(Vec a) { return _mm256_unpackhi_epi8(a, Zero()); }
    static Vec Pack16(Vec lo, Vec hi) { return _mm256_packus_epi16(lo, hi); }
    static Vec Select(Vec mask, Vec keep, Vec put) { return _mm256_blendv_epi8(put, keep, mask); }
};

// Which lanes of a source step hold the key (all bits set there).
template <int Kind>
struct KeyTest {
    __m256i k;
    explicit KeyTest(uint32_t key) : k(_mm256_set1_epi16(static_cast<short>(key))) {}
    __m256i operator()(__m256i s) const { return _mm256_cmpeq_epi16(s, k); }
};
template <>
struct KeyTest<32> {
    __m256i k, colour;
    explicit KeyTest(uint32_t key)
        : k(_mm256_set1_epi32(static_cast<int>(key))), colour(_mm256_set1_epi32(0x00FFFFFF)) {}
    __m256i operator()(__m256i s) const { return _mm256_cmpeq_epi32(_mm256_and_si256(s, colour), k); }
};

// The first N bytes at p in the low lanes of a vector (the rest zero), and
// back. Steps of fewer than 32 bytes end a row.
template <int N>
struct Part;
template <>
struct Part<32> {
    static __m256i Get(const uint8_t* p) { return Load(p); }
    static void Put(uint8_t* p, __m256i v) { Store(p, v); }
};
template <>
struct Part<16> {
    static __m256i Get(const uint8_t* p) { return _mm256_set_m128i(_mm_setzero_si128(), Load4(p)); }
    static void Put(uint8_t* p, __m256i v) { Store4(p, _mm256_castsi256_si128(v)); }
};
template <>
struct Part<8> {
    static __m256i Get(const uint8_t* p) {
        return _mm256_set_m128i(_mm_setzero_si128(), _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    }
    static void Put(uint8_t* p, __m256i v) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(v));
    }
};
template <>
struct Part<4> {
    static __m256i Get(const uint8_t* p) {
        int32_t v;
        std::memcpy(&v, p, 4);
        return _mm256_set_m128i(_mm_setzero_si128(), _mm_cvtsi32_si128(v));
    }
    static void Put(uint8_t* p, __m256i v) {
        const int32_t x = _mm_cvtsi128_si32(_mm256_castsi256_si128(v));
        std::memcpy(p, &x, 4);
    }
};
template <>
struct Part<2> {
    static __m256i Get(const uint8_t* p) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return _mm256_set_m128i(_mm_setzero_si128(), _mm_cvtsi32_si128(v));
    }
    static void Put(uint8_t* p, __m256i v) {
        const uint16_t x = static_cast<uint16_t>(_mm_cvtsi128_si32(_mm256_castsi256_si128(v)));
        std::memcpy(p, &x, 2);
    }
};

// One step of N bytes at d (and s when the rule reads the source).
template <int N, bool Keyed, bool Reads, class Op, class Key>
inline void Step(uint8_t* d, const uint8_t* s, const Op& op, const Key& key) {
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

// Two rows of sixteen bytes as one step, a row in each half.
template <bool Keyed, bool Reads, class Op, class Key>
inline void PairStep(uint8_t* d, ptrdiff_t dp, const uint8_t* s, ptrdiff_t sp, const Op& op, const Key& key) {
    const __m256i sv = Reads ? _mm256_set_m128i(Load4(s + sp), Load4(s)) : _mm256_setzero_si256();
    const __m256i dv = _mm256_set_m128i(Load4(d + dp), Load4(d));
    const __m256i out = Keyed ? _mm256_blendv_epi8(op(sv, dv), dv, key(sv)) : op(sv, dv);
    Store4(d, _mm256_castsi256_si128(out));
    Store4(d + dp, _mm256_extracti128_si256(out, 1));
}

template <int Kind, bool Keyed, template <int> class OpT>
struct WideLoop {
    static void Run(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                    const EffectArgs& args);
};

template <int Kind, bool Keyed, template <int> class OpT>
void WideLoop<Kind, Keyed, OpT>::Run(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w,
                                     int h, const EffectArgs& args) {
    if (Keyed && !EffectKeyPossible<Kind>(args.key)) {
        WideLoop<Kind, false, OpT>::Run(dst, dstPitch, src, srcPitch, w, h, args);
        return;
    }
    constexpr bool reads = Keyed || OpT<Kind>::kReadsSource;
    const VectorRule<W256, Kind, OpT> op(args);
    const KeyTest<Kind> key(args.key);
    const size_t rowBytes = static_cast<size_t>(w) * (Kind == 32 ? 4 : 2);
    const size_t whole = rowBytes & ~static_cast<size_t>(31);
    const size_t rest = rowBytes & 31;
    int row = 0;
    if (rowBytes == 16)
        for (; row + 1 < h; row += 2)
            PairStep<Keyed, reads>(dst + row * dstPitch, dstPitch, reads ? src + row * srcPitch : nullptr, srcPitch,
                                   op, key);
    for (; row < h; ++row) {
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


// 24 bits without a key: every byte is a channel, so a row is one run of
// bytes, thirty-two a step, then sixteen, then the rest one by one.

// One step of N bytes of a 24-bit row where N more are left (s is null
// when the rule does not read the source); the next byte's index.
template <int N, class V>
inline int BytesStep(uint8_t* d, const uint8_t* s, int i, int n, const V& vop) {
    if (i + N > n) return i;
    const __m256i sv = s ? Part<N>::Get(s + i) : _mm256_setzero_si256();
    Part<N>::Put(d + i, vop(sv, Part<N>::Get(d + i)));
    return i + N;
}

template <template <int> class OpT>
void Bytes24(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
             const EffectArgs& args) {
    constexpr bool reads = OpT<24>::kReadsSource;
    const OpT<24> op(args);
    const VectorRule<W256, 24, OpT> vop(args);
    const int n = 3 * w;
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = reads ? src + row * srcPitch : nullptr;
        int i = 0;
        while (i + 32 <= n) i = BytesStep<32>(d, s, i, n, vop);
        i = BytesStep<16>(d, s, i, n, vop);
        i = BytesStep<8>(d, s, i, n, vop);
        i = BytesStep<4>(d, s, i, n, vop);
        i = BytesStep<2>(d, s, i, n, vop);
        if (i < n) d[i] = static_cast<uint8_t>(op.ApplyByte(reads ? s[i] : 0, d[i]));
    }
}

void FillBytes24(EffectFn (&row)[kEffects]) {
    row[static_cast<int>(Effect::HalfAlpha)] = Bytes24<HalfAlphaOp>;
    row[static_cast<int>(Effect::Alpha)] = Bytes24<AlphaOp>;
    row[static_cast<int>(Effect::Translucent)] = Bytes24<ScaleOp>;
    row[static_cast<int>(Effect::HalfTranslucent)] = Bytes24<HalveOp>;
}

// -------------------------------------------------------------- span runs

struct CopyAvx2 {
    // Sixteen pixels a step: each lane takes four pixels' twelve bytes and
    // spreads them to sixteen. A step reads eight bytes past its last
    // pixel (the span form keeps padding there).
    static inline void Widen(uint8_t* d, const uint8_t* s, size_t count) {
        const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0);
        const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                                0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
        auto eight = [&](const uint8_t* from) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from));
            return _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(v, lanes), spread);
        };
        size_t i = 0;
        for (; i + 16 <= count; i += 16, s += 48, d += 64) {
            const __m256i a = eight(s);
            const __m256i b = eight(s + 24);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), a);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 32), b);
        }
        if (i + 8 <= count) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), eight(s));
            i += 8;
            s += 24;
            d += 32;
        }
        WidenPixels(d, s, count - i);
    }
    static inline void Bytes(uint8_t* d, const uint8_t* s, size_t n) { CopyRun<Vector256, 768>(d, s, n); }
};


template <int Kind>
void FillRows(Loops* l) {
    constexpr int B = Bpp<Kind>();
    const int k = KindIndexOf(Kind);
    if constexpr (B == 3) {
        l->reverseRow[k] = ReverseRow24;
        l->reverseKeyedRow[k] = ReverseKeyedRow24;
        l->reverseBlock[k] = RowBlock<ReverseRow24>;
        l->reverseKeyedBlock[k] = KeyedRowBlock<ReverseKeyedRow24>;
    } else {
        l->keyed[k] = KeyedBlock<B>;
        l->keyedRow[k] = KeyedRow256<B>;
        l->keyedBlock[k] = KeyedRowBlock<KeyedRow256<B>>;
        l->reverseRow[k] = ReverseRow256<B>;
        l->reverseKeyedRow[k] = ReverseKeyedRow256<B>;
        l->reverseBlock[k] = RowBlock<ReverseRow256<B>>;
        l->reverseKeyedBlock[k] = KeyedRowBlock<ReverseKeyedRow256<B>>;
    }
}

// ------------------------------------------------------------ picture rows

// Eight 24- or 32-bit pixels at s as lanes 0x00RRGGBB. A 24-bit step reads
// 28 bytes, so those forms step while ten pixels are left.
template <int Bits>
inline __m256i Xrgb8(const uint8_t* s) {
    if (Bits == 32) return _mm256_and_si256(Load(s), _mm256_set1_epi32(0x00FFFFFF));
    const __m256i v = _mm256_inserti128_si256(_mm256_castsi128_si256(Load4(s)), Load4(s + 12), 1);
    return _mm256_shuffle_epi8(v, _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1,
                                                   3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1));
}

template <int Kind>
inline __m256i Pack16(__m256i c) {
    const __m256i b = _mm256_and_si256(_mm256_srli_epi32(c, 3), _mm256_set1_epi32(0x1F));
    const __m256i g = _mm256_and_si256(_mm256_srli_epi32(c, Kind == 16 ? 5 : 6),
                                       _mm256_set1_epi32(Kind == 16 ? 0x7E0 : 0x3E0));
    const __m256i r = _mm256_and_si256(_mm256_srli_epi32(c, Kind == 16 ? 8 : 9),
                                       _mm256_set1_epi32(Kind == 16 ? 0xF800 : 0x7C00));
    return _mm256_or_si256(_mm256_or_si256(r, g), b);
}

template <int Bits, int Kind>
void PictureRowAvx2(uint8_t* d, const uint8_t* s, int first, int count, const uint32_t* table) {
    constexpr int SB = Bits / 8, DB = Bpp<Kind>();
    const uint8_t* p = s + (ptrdiff_t)first * SB;
    int i = 0;
    if (Bits == 24 && Kind == 24) return PictureRowOf<24, 24>(d, s, first, count, table);
    for (; i + (Bits == 24 || Kind == 24 ? 10 : 8) <= count; i += 8, p += 8 * SB, d += 8 * DB) {
        const __m256i c = Xrgb8<Bits>(p);
        if (Kind == 32) {
            Store(d, c);
        } else if (Kind == 24) {
            // Twelve bytes from each half; the second store covers the first's spare bytes.
            const __m256i b = _mm256_shuffle_epi8(c, _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1,
                                                                      -1, -1, 0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14,
                                                                      -1, -1, -1, -1));
            Store4(d, _mm256_castsi256_si128(b));
            Store4(d + 12, _mm256_extracti128_si256(b, 1));
        } else {
            const __m256i w = _mm256_packus_epi32(Pack16<Kind>(c), c);
            Store4(d, _mm256_castsi256_si128(_mm256_permute4x64_epi64(w, 0x08)));
        }
    }
    PictureRowOf<Bits, Kind>(d, s, first + i, count - i, table);
}

template <int Bits>
void FillPictureAvx2(PictureRowFn (&row)[kKinds]) {
    row[KindIndexOf(15)] = PictureRowAvx2<Bits, 15>;
    row[KindIndexOf(16)] = PictureRowAvx2<Bits, 16>;
    row[KindIndexOf(24)] = PictureRowAvx2<Bits, 24>;
    row[KindIndexOf(32)] = PictureRowAvx2<Bits, 32>;
}

}  // namespace

namespace detail {

// 24-bit keyed copies keep their SSE2 forms.
void FillAvx2(Loops* l) {
    FillRows<8>(l);
    FillRows<15>(l);
    FillRows<16>(l);
    FillRows<24>(l);
    FillRows<32>(l);
    FillEffects<15, WideLoop>(l->effect[KindIndexOf(15)]);
    FillEffects<16, WideLoop>(l->effect[KindIndexOf(16)]);
    FillEffects<32, WideLoop>(l->effect[KindIndexOf(32)]);
    FillBytes24(l->effect[KindIndexOf(24)]);
    l->runs = CopyRuns<CopyAvx2>;
    // Thirty-two bytes a step: measured as at SSE2, 1.7 times the bytes
    // copied at 16 bits, 1.5 at 32.
    for (int k : {KindIndexOf(8), KindIndexOf(15), KindIndexOf(16)}) l->keyedCost[k] = 170;
    l->keyedCost[KindIndexOf(32)] = 150;
    // Rows of eight 32-bit pixels are one step too (8x8 sprites 0.83 of
    // SDL's time through their span forms, 0.9 through the keyed loop).
    l->keyedRowCost[KindIndexOf(32)] = kRunCost / 2;
    // Three bytes a pixel read a quarter less where the copy waits on
    // memory; in the core's own cache the widening costs more than that
    // saves (measured on 32-bit sprites: even at 362 x 362, 9% faster at
    // 420 x 420, 17-19% from 512 x 512). SSE2's widening never pays.
    l->packFrom = size_t(640) << 10;
    FillPictureAvx2<24>(l->pictureRows[SourceIndexOf(24)]);
    FillPictureAvx2<32>(l->pictureRows[SourceIndexOf(32)]);
    l->pictureRows[SourceIndexOf(16)][KindIndexOf(15)] = Picture565To555<W256>;
}

}  // namespace detail
}  // namespace pixels
}  // namespace qndx
