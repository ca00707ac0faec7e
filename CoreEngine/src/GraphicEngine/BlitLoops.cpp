// Software copy loops of the blit family. The plain forms are the obvious
// per-pixel loops; the fast forms copy rows with memmove and select keyed
// pixels sixteen bytes at a time with SSE2 (baseline on x86-64), each with a
// scalar tail. The wider keyed copies are in BlitWide.cpp; which vector forms
// run is decided here. Pixel loads and stores go through memcpy: pitches and 24-bit
// pixels give no alignment guarantee.
#include "GraphicEngine/BlitLoops.h"

#include <cstdlib>
#include <cstring>

#include "GraphicEngine/BlitWide.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define QNDX_BLIT_SSE2 1
#endif

namespace qndx {
namespace gfx {
namespace blit {

namespace {

inline uint16_t Load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void Store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
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

// Per-pixel copy in an order that is safe when the blocks overlap with equal
// pitches: downwards in memory when the destination lies below the source,
// upwards otherwise. Each pixel is read whole before it is written.
template <int Bpp>
void CopyPixels(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h) {
    if (dst > src) {
        for (int row = h - 1; row >= 0; --row) {
            uint8_t* d = dst + row * dstPitch;
            const uint8_t* s = src + row * srcPitch;
            for (int x = w - 1; x >= 0; --x) {
                uint8_t px[Bpp];
                for (int b = 0; b < Bpp; ++b) px[b] = s[x * Bpp + b];
                for (int b = 0; b < Bpp; ++b) d[x * Bpp + b] = px[b];
            }
        }
        return;
    }
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = src + row * srcPitch;
        for (int x = 0; x < w; ++x) {
            uint8_t px[Bpp];
            for (int b = 0; b < Bpp; ++b) px[b] = s[x * Bpp + b];
            for (int b = 0; b < Bpp; ++b) d[x * Bpp + b] = px[b];
        }
    }
}

int& FastFlag() {
    static int flag = [] {
        const char* env = std::getenv("QNDX_BLIT_NO_FAST");
        return (env && *env && std::strcmp(env, "0") != 0) ? 0 : 1;
    }();
    return flag;
}

Simd DetectSimd() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    __builtin_cpu_init();  // may run before the library's own initialiser
    if (wide::Built() && __builtin_cpu_supports("avx2")) {
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) return Simd::Avx512;
        return Simd::Avx2;
    }
#endif
#if QNDX_BLIT_SSE2
    return Simd::Sse2;
#else
    return Simd::None;
#endif
}

// The forms in use (lowered by LimitSimd), at first the CPU's best.
Simd& ActiveLevel() {
    static Simd level = BestSimd();
    return level;
}

inline uint32_t ClampFactor(uint32_t factor) { return factor > 256 ? 256 : factor; }

}  // namespace

int BytesPerPixel(uint32_t kind) {
    switch (kind) {
    case 15:
    case 16: return 2;
    case 24: return 3;
    case 32: return 4;
    default: return 0;
    }
}

void SetFastPaths(bool on) { FastFlag() = on ? 1 : 0; }
bool FastPaths() { return FastFlag() != 0; }

Simd BestSimd() {
    static const Simd best = DetectSimd();
    return best;
}
void LimitSimd(Simd most) {
    ActiveLevel() = static_cast<int>(most) < static_cast<int>(BestSimd()) ? most : BestSimd();
}
Simd ActiveSimd() { return ActiveLevel(); }

bool BlocksOverlap(const uint8_t* a, ptrdiff_t aPitch, const uint8_t* b, ptrdiff_t bPitch, size_t rowBytes, int h) {
    if (h <= 0 || rowBytes == 0) return false;
    // Compare the spans first: blocks of different surfaces never share one.
    const uint8_t* aLo = aPitch >= 0 ? a : a + (h - 1) * aPitch;
    const uint8_t* aHi = (aPitch >= 0 ? a + (h - 1) * aPitch : a) + rowBytes;
    const uint8_t* bLo = bPitch >= 0 ? b : b + (h - 1) * bPitch;
    const uint8_t* bHi = (bPitch >= 0 ? b + (h - 1) * bPitch : b) + rowBytes;
    if (aHi <= bLo || bHi <= aLo) return false;
    if (aPitch != bPitch) return true;  // conservative
    // Equal pitches: rows i of a and j of b overlap when their starts are
    // less than a row apart; the row gaps may let interleaved blocks pass.
    ptrdiff_t d = b - a;
    ptrdiff_t pitch = aPitch < 0 ? -aPitch : aPitch;
    if (pitch == 0) return true;
    for (ptrdiff_t k = -(h - 1); k <= h - 1; ++k) {
        ptrdiff_t off = d + k * aPitch;  // start of some b row minus start of some a row
        if (off > -static_cast<ptrdiff_t>(rowBytes) && off < static_cast<ptrdiff_t>(rowBytes)) return true;
    }
    return false;
}

// ---------------------------------------------------------------- plain forms

namespace plain {

void Copy16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h) {
    CopyPixels<2>(dst, dstPitch, src, srcPitch, w, h);
}
void Copy24(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h) {
    CopyPixels<3>(dst, dstPitch, src, srcPitch, w, h);
}
void Copy32(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h) {
    CopyPixels<4>(dst, dstPitch, src, srcPitch, w, h);
}

// One pixel at a time: read, compare with the key, write when different.
// Mask drops what the comparison ignores (byte 3 of 32-bit pixels).
template <int Bytes, uint32_t Mask>
void KeyedPixels(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                 uint32_t key) {
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = src + row * srcPitch;
        for (int x = 0; x < w; ++x) {
            const uint8_t* from = s + Bytes * x;
            uint32_t p = (Bytes == 2 ? Load16(from) : Bytes == 3 ? Load24(from) : Load32(from)) & Mask;
            if (p == key) continue;
            uint8_t* to = d + Bytes * x;
            if (Bytes == 2)
                Store16(to, static_cast<uint16_t>(p));
            else if (Bytes == 3)
                Store24(to, p);
            else
                Store32(to, p);
        }
    }
}

void Keyed16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, uint32_t key) {
    KeyedPixels<2, 0xFFFFu>(dst, dstPitch, src, srcPitch, w, h, key);
}
void Keyed24(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, uint32_t key) {
    KeyedPixels<3, 0xFFFFFFu>(dst, dstPitch, src, srcPitch, w, h, key);
}
void Keyed32(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, uint32_t key) {
    KeyedPixels<4, 0x00FFFFFFu>(dst, dstPitch, src, srcPitch, w, h, key);
}

}  // namespace plain

// ----------------------------------------------------------------- fast forms

namespace fast {

namespace {

// A move of n bytes (1 to 64) done inline: a library call per row costs more
// than a small sprite's row. The head and tail pieces overlap where n is not
// a power of two, and every piece is read before any is written, so the
// ranges may overlap as with memmove.
template <size_t N>
struct Piece {
    uint8_t b[N];
};
template <size_t N>
inline void MoveEnds(uint8_t* dst, const uint8_t* src, size_t n) {
    Piece<N> head, tail;
    std::memcpy(&head, src, N);
    std::memcpy(&tail, src + n - N, N);
    std::memcpy(dst, &head, N);
    std::memcpy(dst + n - N, &tail, N);
}
inline void SmallMove(uint8_t* dst, const uint8_t* src, size_t n) {
    if (n >= 32)
        MoveEnds<32>(dst, src, n);
    else if (n >= 16)
        MoveEnds<16>(dst, src, n);
    else if (n >= 8)
        MoveEnds<8>(dst, src, n);
    else if (n >= 4)
        MoveEnds<4>(dst, src, n);
    else if (n >= 2)
        MoveEnds<2>(dst, src, n);
    else
        *dst = *src;
}

template <bool Small>
void MoveRows(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, size_t rowBytes, int h) {
    auto move = [rowBytes](uint8_t* d, const uint8_t* s) {
        if (Small)
            SmallMove(d, s, rowBytes);
        else
            std::memmove(d, s, rowBytes);
    };
    if (dst > src) {
        for (int row = h - 1; row >= 0; --row) move(dst + row * dstPitch, src + row * srcPitch);
    } else {
        for (int row = 0; row < h; ++row) move(dst + row * dstPitch, src + row * srcPitch);
    }
}

}  // namespace

void CopyRows(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, size_t rowBytes, int h) {
    if (h <= 0 || rowBytes == 0) return;
    if (dstPitch == srcPitch && static_cast<size_t>(dstPitch) == rowBytes) {
        std::memmove(dst, src, rowBytes * static_cast<size_t>(h));
        return;
    }
    if (rowBytes <= 64)
        MoveRows<true>(dst, dstPitch, src, srcPitch, rowBytes, h);
    else
        MoveRows<false>(dst, dstPitch, src, srcPitch, rowBytes, h);
}

void Copy16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h) {
    CopyRows(dst, dstPitch, src, srcPitch, static_cast<size_t>(w) * 2, h);
}
void Copy24(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h) {
    CopyRows(dst, dstPitch, src, srcPitch, static_cast<size_t>(w) * 3, h);
}
void Copy32(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h) {
    CopyRows(dst, dstPitch, src, srcPitch, static_cast<size_t>(w) * 4, h);
}

void Keyed16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, uint32_t key) {
    // A key wider than the pixel matches nothing: every pixel is written.
    if (key > 0xFFFFu) {
        Copy16(dst, dstPitch, src, srcPitch, w, h);
        return;
    }
    const uint16_t k16 = static_cast<uint16_t>(key);
#if QNDX_BLIT_SSE2
    const __m128i k = _mm_set1_epi16(static_cast<short>(k16));
#endif
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = src + row * srcPitch;
        int x = 0;
#if QNDX_BLIT_SSE2
        for (; x + 8 <= w; x += 8) {
            __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * x));
            __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 2 * x));
            __m128i m = _mm_cmpeq_epi16(sv, k);
            __m128i r = _mm_or_si128(_mm_and_si128(m, dv), _mm_andnot_si128(m, sv));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * x), r);
        }
#endif
        for (; x < w; ++x) {
            uint16_t p = Load16(s + 2 * x);
            if (p != k16) Store16(d + 2 * x, p);
        }
    }
}

void Keyed24(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, uint32_t key) {
    if (key > 0xFFFFFFu) {
        Copy24(dst, dstPitch, src, srcPitch, w, h);
        return;
    }
#if QNDX_BLIT_SSE2
    // Five pixels (15 bytes) per step from a 16-byte load. Byte equality is
    // folded over each 3-byte group onto its first byte, masked to the group
    // starts, and spread back over the group. Byte 15 belongs to the next
    // pixel and is stored back unchanged.
    alignas(16) uint8_t pattern[16];
    alignas(16) uint8_t starts[16];
    alignas(16) uint8_t last[16];
    for (int i = 0; i < 16; ++i) {
        pattern[i] = static_cast<uint8_t>(key >> (8 * (i % 3)));
        starts[i] = (i < 15 && i % 3 == 0) ? 0xFF : 0x00;
        last[i] = i == 15 ? 0xFF : 0x00;
    }
    const __m128i kp = _mm_load_si128(reinterpret_cast<const __m128i*>(pattern));
    const __m128i groupStarts = _mm_load_si128(reinterpret_cast<const __m128i*>(starts));
    const __m128i keepLast = _mm_load_si128(reinterpret_cast<const __m128i*>(last));
#endif
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = src + row * srcPitch;
        int x = 0;
#if QNDX_BLIT_SSE2
        // Needs 16 readable bytes of the row: five pixels and one more. The
        // next step's destination bytes are loaded before this step's store
        // (which overlaps them by the one byte it leaves unchanged), so no
        // load waits on a partly overlapping store.
        __m128i dv = _mm_setzero_si128();
        if (w >= 6) dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
        for (; x + 6 <= w; x += 5) {
            __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * x));
            __m128i dnext = dv;
            if (x + 11 <= w) dnext = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 3 * (x + 5)));
            __m128i eq = _mm_cmpeq_epi8(sv, kp);
            __m128i m = _mm_and_si128(eq, _mm_and_si128(_mm_srli_si128(eq, 1), _mm_srli_si128(eq, 2)));
            m = _mm_and_si128(m, groupStarts);
            m = _mm_or_si128(m, _mm_or_si128(_mm_slli_si128(m, 1), _mm_slli_si128(m, 2)));
            m = _mm_or_si128(m, keepLast);
            __m128i r = _mm_or_si128(_mm_and_si128(m, dv), _mm_andnot_si128(m, sv));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * x), r);
            dv = dnext;
        }
#endif
        for (; x < w; ++x) {
            uint32_t p = Load24(s + 3 * x);
            if (p != key) Store24(d + 3 * x, p);
        }
    }
}

void Keyed32(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, uint32_t key) {
#if QNDX_BLIT_SSE2
    const __m128i k = _mm_set1_epi32(static_cast<int>(key));
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
#endif
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = src + row * srcPitch;
        int x = 0;
#if QNDX_BLIT_SSE2
        for (; x + 4 <= w; x += 4) {
            __m128i sv = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * x)), colour);
            __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 4 * x));
            __m128i m = _mm_cmpeq_epi32(sv, k);
            __m128i r = _mm_or_si128(_mm_and_si128(m, dv), _mm_andnot_si128(m, sv));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * x), r);
        }
#endif
        for (; x < w; ++x) {
            uint32_t p = Load32(s + 4 * x) & 0x00FFFFFFu;
            if (p != key) Store32(d + 4 * x, p);
        }
    }
}

}  // namespace fast

// ------------------------------------------------------------ channel scaling

namespace {

// One 5-5-5 or 5-6-5 pixel with each channel scaled; bit 15 of a 5-5-5
// result is clear.
template <int GreenBits>
inline uint16_t ScaleOne16(uint16_t p, uint32_t v) {
    constexpr int redShift = 5 + GreenBits;
    constexpr uint32_t greenMask = (1u << GreenBits) - 1;
    uint32_t b = ((p & 0x1Fu) * v) >> 8;
    uint32_t g = (((p >> 5) & greenMask) * v) >> 8;
    uint32_t r = (((p >> redShift) & 0x1Fu) * v) >> 8;
    return static_cast<uint16_t>(r << redShift | g << 5 | b);
}

// Two pixels in one 32-bit word; the masks drop what the multiply carries
// from one pixel's channel into the other's.
template <int GreenBits>
inline uint32_t ScalePair16(uint32_t p, uint32_t v) {
    constexpr int redShift = 5 + GreenBits;
    constexpr uint32_t greenMask = GreenBits == 6 ? 0x003F003Fu : 0x001F001Fu;
    uint32_t low = ((p & 0x001F001Fu) * v >> 8) & 0x001F001Fu;
    uint32_t middle = ((((p >> 5) & greenMask) * v >> 8) & greenMask) << 5;
    uint32_t high = ((((p >> redShift) & 0x001F001Fu) * v >> 8) & 0x001F001Fu) << redShift;
    return low | middle | high;
}

template <int GreenBits>
void ScalePairs(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                uint32_t factor) {
    const uint32_t v = ClampFactor(factor);
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = src + row * srcPitch;
        int x = 0;
        if (w & 1) {
            Store16(d, ScaleOne16<GreenBits>(Load16(s), v));
            x = 1;
        }
        for (; x < w; x += 2) Store32(d + 2 * x, ScalePair16<GreenBits>(Load32(s + 2 * x), v));
    }
}

template <int Bpp>
void ScaleBytes(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                uint32_t factor) {
    const uint32_t v = ClampFactor(factor);
    for (int row = 0; row < h; ++row) {
        uint8_t* d = dst + row * dstPitch;
        const uint8_t* s = src + row * srcPitch;
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < 3; ++c) d[x * Bpp + c] = static_cast<uint8_t>((s[x * Bpp + c] * v) >> 8);
        }
    }
}

}  // namespace

void Scale15(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
             uint32_t factor) {
    ScalePairs<5>(dst, dstPitch, src, srcPitch, w, h, factor);
}
void Scale16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
             uint32_t factor) {
    ScalePairs<6>(dst, dstPitch, src, srcPitch, w, h, factor);
}
void Scale24(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
             uint32_t factor) {
    ScaleBytes<3>(dst, dstPitch, src, srcPitch, w, h, factor);
}
void Scale32(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
             uint32_t factor) {
    ScaleBytes<4>(dst, dstPitch, src, srcPitch, w, h, factor);
}

// ------------------------------------------------------------------ dispatch

PlainCopyFn PlainCopyFor(uint32_t kind) {
    const bool f = FastPaths();
    switch (kind) {
    case 15:
    case 16: return f ? fast::Copy16 : plain::Copy16;
    case 24: return f ? fast::Copy24 : plain::Copy24;
    case 32: return f ? fast::Copy32 : plain::Copy32;
    default: return nullptr;
    }
}

KeyedCopyFn KeyedCopyFor(uint32_t kind) {
    const Simd simd = FastPaths() ? ActiveSimd() : Simd::None;
    switch (kind) {
    case 15:
    case 16:
        return simd == Simd::Avx512 ? avx512::Keyed16
               : simd == Simd::Avx2 ? avx2::Keyed16
               : simd == Simd::Sse2 ? fast::Keyed16
                                    : plain::Keyed16;
    case 24: return simd != Simd::None ? fast::Keyed24 : plain::Keyed24;
    case 32:
        return simd == Simd::Avx512 ? avx512::Keyed32
               : simd == Simd::Avx2 ? avx2::Keyed32
               : simd == Simd::Sse2 ? fast::Keyed32
                                    : plain::Keyed32;
    default: return nullptr;
    }
}

ScaleCopyFn ScaleCopyFor(uint32_t kind) {
    switch (kind) {
    case 15: return Scale15;
    case 16: return Scale16;
    case 24: return Scale24;
    case 32: return Scale32;
    default: return nullptr;
    }
}

}  // namespace blit
}  // namespace gfx
}  // namespace qndx
