// Sixteen-byte keyed rows and reversals, shared by the SSE2 file and by the
// wider levels for the rows too short for their own steps. Included only by
// the vector files, each compiled for its level (internal linkage).
#pragma once

#include <emmintrin.h>

#include "Levels.h"

namespace qndx {
namespace pixels {
namespace {

inline __m128i LoadV(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void StoreV(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
// Sixteen-byte pieces for CopyRun.
struct Vector128 {
    typedef __m128i Vec;
    static __m128i Load(const uint8_t* p) { return LoadV(p); }
    static void Store(uint8_t* p, __m128i v) { StoreV(p, v); }
};
// Lanes of `keep` where the mask is set, of `put` elsewhere.
inline __m128i Select(__m128i mask, __m128i keep, __m128i put) {
    return _mm_or_si128(_mm_and_si128(mask, keep), _mm_andnot_si128(mask, put));
}

template <int B>
inline __m128i Splat128(uint32_t v) {
    return B == 4   ? _mm_set1_epi32(static_cast<int>(v))
           : B == 2 ? _mm_set1_epi16(static_cast<short>(v))
                    : _mm_set1_epi8(static_cast<char>(v));
}

// All ones in the lanes of the pixels whose compared bits are the key.
template <int B>
inline __m128i KeyLanes128(__m128i v, __m128i kv) {
    if (B == 4) return _mm_cmpeq_epi32(_mm_and_si128(v, _mm_set1_epi32(0x00FFFFFF)), kv);
    return B == 2 ? _mm_cmpeq_epi16(v, kv) : _mm_cmpeq_epi8(v, kv);
}

// One vector of source `v` onto d: key pixels keep the destination, the
// others are written through the write mask (32-bit pixels only).
template <int B>
inline void KeyedStore128(uint8_t* d, __m128i v, __m128i kv, __m128i wv) {
    const __m128i m = KeyLanes128<B>(v, kv);
    const int bits = _mm_movemask_epi8(m);
    if (bits == 0xFFFF) return;  // all key
    if (B == 4) v = _mm_and_si128(v, wv);
    if (bits == 0) {
        StoreV(d, v);
        return;
    }
    StoreV(d, Select(m, LoadV(d), v));
}

// A keyed row of 1-, 2- or 4-byte pixels. Writing a vector back over pixels
// already done gives the same bytes, so the last vector of a row may overlap
// the one before it instead of falling to a scalar tail.
template <int B>
inline void KeyedRow128(uint8_t* d, const uint8_t* s, int n, uint32_t key, uint32_t writeMask) {
    constexpr int V = 16 / B;
    if (n < V) {
        KeyedPixelsRow<B>(d, s, n, key, writeMask);
        return;
    }
    const __m128i kv = Splat128<B>(key), wv = _mm_set1_epi32(static_cast<int>(writeMask));
    int x = 0;
    for (; x + V <= n; x += V) KeyedStore128<B>(d + x * B, LoadV(s + x * B), kv, wv);
    if (x < n) {
        x = n - V;
        KeyedStore128<B>(d + x * B, LoadV(s + x * B), kv, wv);
    }
}

template <int B>
inline __m128i Reverse128(__m128i v) {
    if (B == 4) return _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3));
    v = _mm_shufflelo_epi16(v, _MM_SHUFFLE(0, 1, 2, 3));
    v = _mm_shufflehi_epi16(v, _MM_SHUFFLE(0, 1, 2, 3));
    v = _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2));
    if (B == 1) v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
    return v;
}

// d[i] = s[n - 1 - i] for 1-, 2- and 4-byte pixels.
template <int B>
void ReverseRow128(uint8_t* d, const uint8_t* s, int n) {
    constexpr int V = 16 / B;
    int i = 0;
    for (; i + V <= n; i += V) StoreV(d + i * B, Reverse128<B>(LoadV(s + (n - i - V) * B)));
    for (; i < n; ++i) Store<B>(d + i * B, Load<B>(s + (n - 1 - i) * B));
}

template <int B>
void ReverseKeyedRow128(uint8_t* d, const uint8_t* s, int n, uint32_t key, uint32_t writeMask) {
    constexpr int V = 16 / B;
    const __m128i kv = Splat128<B>(key), wv = _mm_set1_epi32(static_cast<int>(writeMask));
    int i = 0;
    for (; i + V <= n; i += V) KeyedStore128<B>(d + i * B, Reverse128<B>(LoadV(s + (n - i - V) * B)), kv, wv);
    for (; i < n; ++i) {
        const uint32_t p = Load<B>(s + (n - 1 - i) * B);
        if ((p & KeyMask<B>()) != key) Store<B>(d + i * B, p & writeMask);
    }
}

// 24-bit keyed rows, five pixels (15 bytes) per step from a 16-byte load.
// Byte equality is folded over each 3-byte group onto its first byte,
// masked to the group starts, and spread back over the group. Byte 15
// belongs to the next pixel and is stored back unchanged. Three-byte pixels
// are written whole, so the write mask has nothing to clear.
struct Keyed24Masks {
    __m128i pattern, starts, last;
    explicit Keyed24Masks(uint32_t key) {
        alignas(16) uint8_t p[16], g[16], l[16];
        for (int i = 0; i < 16; ++i) {
            p[i] = static_cast<uint8_t>(key >> (8 * (i % 3)));
            g[i] = (i < 15 && i % 3 == 0) ? 0xFF : 0x00;
            l[i] = i == 15 ? 0xFF : 0x00;
        }
        pattern = _mm_load_si128(reinterpret_cast<const __m128i*>(p));
        starts = _mm_load_si128(reinterpret_cast<const __m128i*>(g));
        last = _mm_load_si128(reinterpret_cast<const __m128i*>(l));
    }
    // All ones over the bytes of the key pixels among the first five, and
    // over byte 15.
    __m128i KeyBytes(__m128i v) const {
        const __m128i eq = _mm_cmpeq_epi8(v, pattern);
        __m128i m = _mm_and_si128(eq, _mm_and_si128(_mm_srli_si128(eq, 1), _mm_srli_si128(eq, 2)));
        m = _mm_and_si128(m, starts);
        m = _mm_or_si128(m, _mm_or_si128(_mm_slli_si128(m, 1), _mm_slli_si128(m, 2)));
        return _mm_or_si128(m, last);
    }
};

inline void KeyedRow24(uint8_t* d, const uint8_t* s, int w, const Keyed24Masks& masks, uint32_t key) {
    int x = 0;
    // Needs 16 readable bytes of the row: five pixels and one more. The
    // next step's destination bytes are loaded before this step's store
    // (which overlaps them by the one byte it leaves unchanged), so no
    // load waits on a partly overlapping store.
    __m128i dv = _mm_setzero_si128();
    if (w >= 6) dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
    for (; x + 6 <= w; x += 5) {
        const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * x));
        __m128i dnext = dv;
        if (x + 11 <= w) dnext = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 3 * (x + 5)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * x), Select(masks.KeyBytes(sv), dv, sv));
        dv = dnext;
    }
    KeyedPixelsRow<3>(d + 3 * x, s + 3 * x, w - x, key, KeyMask<3>());
}

// Copies of n bytes between blocks that do not overlap, for span runs.
// Sprite rows are runs of tens to hundreds of bytes, where a library call
// per run costs more than its bytes: those go inline, in one plain loop (a
// tree of size cases before it measured a third slower on sprites whose run
// lengths change from row to row). Runs of CallFrom bytes and more go to
// the C library's memcpy, which picks its form for the processor; measured
// here it beats thirty-two-byte steps from about 768 bytes and sixteen-byte
// ones from 128. Its call stays out of line: inlined, its register saves
// slowed every run.
__attribute__((noinline)) inline void LongRun(uint8_t* d, const uint8_t* s, size_t n) { std::memcpy(d, s, n); }

inline void CopySmall(uint8_t* d, const uint8_t* s, size_t n) {
    if (n >= 8) {
        uint64_t a, b;
        std::memcpy(&a, s, 8);
        std::memcpy(&b, s + n - 8, 8);
        std::memcpy(d, &a, 8);
        std::memcpy(d + n - 8, &b, 8);
    } else if (n >= 4) {
        uint32_t a, b;
        std::memcpy(&a, s, 4);
        std::memcpy(&b, s + n - 4, 4);
        std::memcpy(d, &a, 4);
        std::memcpy(d + n - 4, &b, 4);
    } else {
        for (size_t i = 0; i < n; ++i) d[i] = s[i];
    }
}

// n bytes in pieces of vector V (16 or 32 bytes, Load/Store): sixty-four
// bytes a step, the rest as the last sixty-four bytes again.
template <class V, size_t CallFrom>
inline void CopyRun(uint8_t* d, const uint8_t* s, size_t n) {
    constexpr size_t W = sizeof(typename V::Vec), S = 64 / W;
    if (n < 64) {
        if (n >= 32 && W == 32) {
            const auto a = V::Load(s), b = V::Load(s + n - 32);
            V::Store(d, a);
            V::Store(d + n - 32, b);
        } else if (n >= 32) {
            const __m128i a = LoadV(s), b = LoadV(s + 16), c = LoadV(s + n - 32), e = LoadV(s + n - 16);
            StoreV(d, a);
            StoreV(d + 16, b);
            StoreV(d + n - 32, c);
            StoreV(d + n - 16, e);
        } else if (n >= 16) {
            const __m128i a = LoadV(s), b = LoadV(s + n - 16);
            StoreV(d, a);
            StoreV(d + n - 16, b);
        } else {
            CopySmall(d, s, n);
        }
        return;
    }
    if (__builtin_expect(n >= CallFrom, 0)) {
        LongRun(d, s, n);
        return;
    }
    size_t i = 0;
#pragma GCC unroll 1
    for (; i + 64 <= n; i += 64) {
        typename V::Vec v[S];
        for (size_t j = 0; j < S; ++j) v[j] = V::Load(s + i + j * W);
        for (size_t j = 0; j < S; ++j) V::Store(d + i + j * W, v[j]);
    }
    if (i < n) {
        typename V::Vec v[S];
        for (size_t j = 0; j < S; ++j) v[j] = V::Load(s + n - 64 + j * W);
        for (size_t j = 0; j < S; ++j) V::Store(d + n - 64 + j * W, v[j]);
    }
}

}  // namespace
}  // namespace pixels
}  // namespace qndx
