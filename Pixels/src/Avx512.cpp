// The AVX-512 (F and BW) keyed copies, compiled for AVX-512 and chosen only
// on processors that have it: sixty-four bytes compared a step and the
// pixels that are not the key stored through the comparison's mask, so key
// pixels are never written and a row's last partial step is a masked one.
// 24-bit pixels go sixteen (48 bytes) a step, the byte comparison folded
// over each pixel's three bytes in a mask register. Everything else keeps
// its AVX2 form but the span form's run copies.
#include <immintrin.h>

#include "Vector128.h"

namespace qndx {
namespace pixels {

namespace {

// The first n (0 to 63) bits.
inline uint64_t LowBits(int n) { return (uint64_t(1) << n) - 1; }

// Keyed rows of 2- and 4-byte pixels: L pixels a step, the write mask
// applied to every pixel written (it clears byte 3 of a 32-bit pixel).
template <int B>
struct Keyed512 {
    static constexpr int L = 64 / B;
    __m512i k, colour, write;
    Keyed512(uint32_t key, uint32_t writeMask)
        : k(B == 4 ? _mm512_set1_epi32(static_cast<int>(key)) : _mm512_set1_epi16(static_cast<short>(key))),
          colour(_mm512_set1_epi32(B == 4 ? 0x00FFFFFF : -1)),
          write(_mm512_set1_epi32(B == 4 ? static_cast<int>(writeMask) : -1)) {}

    void Row(uint8_t* d, const uint8_t* s, int w) const {
        const int whole = w & ~(L - 1);
        for (int x = 0; x < whole; x += L) Step(d + B * x, s + B * x, static_cast<uint64_t>(-1) >> (64 - L));
        if (w > whole) Step(d + B * whole, s + B * whole, LowBits(w - whole));
    }
    // The pixels of `lanes` at s onto d; the others are neither read nor written.
    void Step(uint8_t* d, const uint8_t* s, uint64_t lanes) const {
        if (B == 4) {
            const __mmask16 m = static_cast<__mmask16>(lanes);
            const __m512i v = _mm512_maskz_loadu_epi32(m, s);
            const __mmask16 put = _mm512_mask_cmpneq_epi32_mask(m, _mm512_and_si512(v, colour), k);
            _mm512_mask_storeu_epi32(d, put, _mm512_and_si512(v, write));
        } else {
            const __mmask32 m = static_cast<__mmask32>(lanes);
            const __m512i v = _mm512_maskz_loadu_epi16(m, s);
            _mm512_mask_storeu_epi16(d, _mm512_mask_cmpneq_epi16_mask(m, v, k), v);
        }
    }
};

template <int B>
void KeyedRowsMasked(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                     uint32_t key, uint32_t writeMask) {
    const Keyed512<B> keyed(key, writeMask);
    for (int row = 0; row < h; ++row) keyed.Row(dst + row * dstPitch, src + row * srcPitch, w);
}

template <int B>
void KeyedCopy512(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                  uint32_t key) {
    if (B < 4 && !KeyPossible<B>(key)) {
        CopyRows(dst, dstPitch, src, srcPitch, static_cast<size_t>(w) * B, h);
        return;
    }
    KeyedRowsMasked<B>(dst, dstPitch, src, srcPitch, w, h, key, KeyMask<B>());
}

// 24-bit pixels: bytes equal to the key's byte at their place give a mask
// bit each; a pixel is the key when its three bits are set, and then its
// three bytes are left out of the store. Three-byte pixels are written
// whole, so the write mask has nothing to clear.
struct Keyed24x16 {
    static constexpr uint64_t kStarts = 0x249249249249ull;  // bits 0, 3, ..., 45: each pixel's first byte
    __m512i pattern;
    // Byte i is the key's byte i % 3, shuffled out of the key in every
    // lane (a byte loop here cost an 8x8 block as much as its pixels).
    explicit Keyed24x16(uint32_t key)
        : pattern(_mm512_shuffle_epi8(_mm512_set1_epi32(static_cast<int>(key)),
                                      _mm512_setr_epi32(0x00020100, 0x01000201, 0x02010002, 0x00020100, 0x01000201,
                                                        0x02010002, 0x00020100, 0x01000201, 0x02010002, 0x00020100,
                                                        0x01000201, 0x02010002, 0x00020100, 0x01000201, 0x02010002,
                                                        0x00020100))) {}
    // n (1 to 16) pixels.
    void Step(uint8_t* d, const uint8_t* s, int n) const {
        const uint64_t bytes = LowBits(3 * n);
        const __m512i v = _mm512_maskz_loadu_epi8(bytes, s);
        const uint64_t eq = _mm512_cmpeq_epi8_mask(v, pattern);
        uint64_t key = eq & (eq >> 1) & (eq >> 2) & kStarts;
        key |= key << 1 | key << 2;
        _mm512_mask_storeu_epi8(d, bytes & ~key, v);
    }
    void Row(uint8_t* d, const uint8_t* s, int w) const {
        int x = 0;
        for (; x + 16 <= w; x += 16) Step(d + 3 * x, s + 3 * x, 16);
        if (x < w) Step(d + 3 * x, s + 3 * x, w - x);
    }
};

void KeyedRows24(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                 uint32_t key, uint32_t) {
    const Keyed24x16 keyed(key);
    for (int row = 0; row < h; ++row) keyed.Row(dst + row * dstPitch, src + row * srcPitch, w);
}

void KeyedCopy24(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                 uint32_t key) {
    if (!KeyPossible<3>(key)) {
        CopyRows(dst, dstPitch, src, srcPitch, static_cast<size_t>(w) * 3, h);
        return;
    }
    KeyedRows24(dst, dstPitch, src, srcPitch, w, h, key, KeyMask<3>());
}

struct CopyFar {
    typedef __m256i Vec;
    static __m256i Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void Store(uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    static void Bytes(uint8_t* d, const uint8_t* s, size_t n) { CopyRun<CopyFar, 768>(d, s, n); }
    static void Widen(uint8_t* d, const uint8_t* s, size_t count);
};

// Span runs held in the first-level cache: from 65 to 512 bytes the first
// and last 64-byte vectors overlapping, so a run's length picks a branch,
// not a loop's trip count. Runs that miss it, and shorter and longer ones,
// keep the 32-byte steps: a 64-byte store splits a line, and those waited
// on two lines (256 x 256 at 16 bits lost a tenth); masked stores of short
// runs cost more than the narrower steps.
struct CopyAvx512 {
    template <int K>
    static void Ends(uint8_t* d, const uint8_t* s, size_t n) {
        __m512i a[K], b[K];
        for (int j = 0; j < K; ++j) a[j] = _mm512_loadu_si512(s + 64 * j), b[j] = _mm512_loadu_si512(s + n - 64 * (K - j));
        for (int j = 0; j < K; ++j) _mm512_storeu_si512(d + 64 * j, a[j]), _mm512_storeu_si512(d + n - 64 * (K - j), b[j]);
    }
    static inline void Bytes(uint8_t* d, const uint8_t* s, size_t n) {
        if (n <= 64 || n > 512) {
            CopyFar::Bytes(d, s, n);
        } else if (n <= 128) {
            Ends<1>(d, s, n);
        } else if (n <= 256) {
            Ends<2>(d, s, n);
        } else {
            Ends<4>(d, s, n);
        }
    }
    // Sixteen pixels a step from their 48 bytes, each 128-bit lane spreading
    // four pixels' twelve; the last step masked, reading nothing past it.
    static inline void Widen(uint8_t* d, const uint8_t* s, size_t count) {
        const __m512i lanes = _mm512_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0, 6, 7, 8, 0, 9, 10, 11, 0);
        const __m512i spread = _mm512_setr4_epi32(static_cast<int>(0xFF020100), static_cast<int>(0xFF050403),
                                                  static_cast<int>(0xFF080706), static_cast<int>(0xFF0B0A09));
        for (size_t i = 0; i < count; i += 16, s += 48, d += 64) {
            const int n = count - i < 16 ? static_cast<int>(count - i) : 16;
            const __m512i v = _mm512_maskz_loadu_epi8(LowBits(3 * n), s);
            const __m512i w = _mm512_shuffle_epi8(_mm512_maskz_permutexvar_epi32(0xFFFF, lanes, v), spread);
            _mm512_mask_storeu_epi32(d, static_cast<__mmask16>(LowBits(n)), w);
        }
    }
};

void CopyFar::Widen(uint8_t* d, const uint8_t* s, size_t count) { CopyAvx512::Widen(d, s, count); }

void Runs512(const RunBlock& b) {
    if (b.prefetch)
        CopyRuns<CopyFar>(b);
    else
        CopyRuns<CopyAvx512>(b);
}

}  // namespace

namespace detail {

void FillAvx512(Loops* l) {
    l->keyed[KindIndexOf(15)] = KeyedCopy512<2>;
    l->keyed[KindIndexOf(16)] = KeyedCopy512<2>;
    l->keyed[KindIndexOf(24)] = KeyedCopy24;
    l->keyed[KindIndexOf(32)] = KeyedCopy512<4>;
    l->keyedBlock[KindIndexOf(15)] = KeyedRowsMasked<2>;
    l->keyedBlock[KindIndexOf(16)] = KeyedRowsMasked<2>;
    l->keyedBlock[KindIndexOf(24)] = KeyedRows24;
    l->keyedBlock[KindIndexOf(32)] = KeyedRowsMasked<4>;
    l->runs = Runs512;
    // Masked stores write no key pixel and need no blend: a step costs about
    // what copying its bytes does, at 24 bits half as much again.
    l->keyedCost[KindIndexOf(15)] = l->keyedCost[KindIndexOf(16)] = l->keyedCost[KindIndexOf(32)] = 100;
    l->keyedCost[KindIndexOf(24)] = 150;
    // A row is whole steps and one masked step, no tail of narrower steps:
    // half what a run costs (measured on 64 x 64 ellipses at 16 and 32 bits,
    // one run a row, against their span forms).
    for (int k : {KindIndexOf(15), KindIndexOf(16), KindIndexOf(32)}) l->keyedRowCost[k] = kRunCost / 2;
}

}  // namespace detail
}  // namespace pixels
}  // namespace qndx
