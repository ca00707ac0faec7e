// Row conversions between desktop pixels and window surfaces (see
// WindowPixels.h): plain loops, and SSE2 rows for the copy or widening
// every frame pays.
#include "sdl/WindowPixels.h"

#include <SDL.h>

#include <cstring>

#include "ddraw/BlitLoops.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qndx {
namespace platform {

namespace {

using blit::Load;
using blit::Store;

inline uint32_t Widen5(uint32_t c) { return c << 3 | c >> 2; }
inline uint32_t Widen6(uint32_t c) { return c << 2 | c >> 4; }

template <int Bytes>
void CopyRow(uint8_t* dst, const uint8_t* src, int count) {
    std::memcpy(dst, src, static_cast<size_t>(count) * Bytes);
}

void Rgb565ToXrgb(uint8_t* dst, const uint8_t* src, int count) {
    for (int i = 0; i < count; ++i, src += 2, dst += 4) {
        const uint32_t p = Load<2>(src);
        Store<4>(dst, Widen5(p >> 11) << 16 | Widen6(p >> 5 & 63) << 8 | Widen5(p & 31));
    }
}

void Rgb555ToXrgb(uint8_t* dst, const uint8_t* src, int count) {
    for (int i = 0; i < count; ++i, src += 2, dst += 4) {
        const uint32_t p = Load<2>(src);
        Store<4>(dst, (p & 0x8000) << 16 | Widen5(p >> 10 & 31) << 16 | Widen5(p >> 5 & 31) << 8 | Widen5(p & 31));
    }
}

void Bgr24ToXrgb(uint8_t* dst, const uint8_t* src, int count) {
    for (int i = 0; i < count; ++i, src += 3, dst += 4)
        Store<4>(dst, static_cast<uint32_t>(src[0]) | static_cast<uint32_t>(src[1]) << 8 |
                         static_cast<uint32_t>(src[2]) << 16);
}

void XrgbToRgb565(uint8_t* dst, const uint8_t* src, int count) {
    for (int i = 0; i < count; ++i, src += 4, dst += 2) {
        const uint32_t p = Load<4>(src);
        Store<2>(dst, static_cast<uint16_t>((p >> 19 & 31) << 11 | (p >> 10 & 63) << 5 | (p >> 3 & 31)));
    }
}

void XrgbToRgb555(uint8_t* dst, const uint8_t* src, int count) {
    for (int i = 0; i < count; ++i, src += 4, dst += 2) {
        const uint32_t p = Load<4>(src);
        Store<2>(dst, static_cast<uint16_t>((p >> 16 & 0x8000) | (p >> 19 & 31) << 10 | (p >> 11 & 31) << 5 |
                                           (p >> 3 & 31)));
    }
}

void XrgbToBgr24(uint8_t* dst, const uint8_t* src, int count) {
    for (int i = 0; i < count; ++i, src += 4, dst += 3) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
    }
}

#if defined(__SSE2__)
// Rows go into the window with non-temporal 16-byte stores: the display
// server reads that memory from another core between frames, and stores
// that first pull each line back into this core's cache measured two to
// three times slower (the C library's copy included) than streaming past
// it. The caller fences once after the last row (FinishWindowRows): a fence
// per row costs as much as the copy.
void VectorBytes(uint8_t* dst, const uint8_t* src, size_t n) {
    size_t head = (16 - (reinterpret_cast<uintptr_t>(dst) & 15)) & 15;
    if (head > n) head = n;
    std::memcpy(dst, src, head);
    size_t i = head;
    for (; i + 64 <= n; i += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 32));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 48));
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i), a);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 16), b);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 32), c);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 48), d);
    }
    for (; i + 16 <= n; i += 16)
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)));
    std::memcpy(dst + i, src + i, n - i);
}

template <int Bytes>
void VectorRow(uint8_t* dst, const uint8_t* src, int count) {
    VectorBytes(dst, src, static_cast<size_t>(count) * Bytes);
}

// Eight 16-bit pixels a step; the plain loop does the rest. Kind565 picks
// the 5-6-5 layout, else 5-5-5 with bit 15 carried into the top byte.
template <bool Kind565>
void Widen16Fast(uint8_t* dst, const uint8_t* src, int count) {
    const __m128i five = _mm_set1_epi16(31);
    const __m128i six = _mm_set1_epi16(63);
    const __m128i top = _mm_set1_epi16(static_cast<short>(0x8000));
    // Plain pixels up to a 16-byte boundary of the window row, then
    // aligned stores.
    int i = 0;
    while (i < count && (reinterpret_cast<uintptr_t>(dst) & 15) != 0) {
        if (Kind565)
            Rgb565ToXrgb(dst, src, 1);
        else
            Rgb555ToXrgb(dst, src, 1);
        ++i;
        src += 2;
        dst += 4;
    }
    for (; i + 8 <= count; i += 8, src += 16, dst += 32) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        __m128i r, g, b;
        b = _mm_and_si128(p, five);
        if (Kind565) {
            r = _mm_srli_epi16(p, 11);
            g = _mm_and_si128(_mm_srli_epi16(p, 5), six);
            g = _mm_or_si128(_mm_slli_epi16(g, 2), _mm_srli_epi16(g, 4));
        } else {
            r = _mm_and_si128(_mm_srli_epi16(p, 10), five);
            g = _mm_and_si128(_mm_srli_epi16(p, 5), five);
            g = _mm_or_si128(_mm_slli_epi16(g, 3), _mm_srli_epi16(g, 2));
        }
        r = _mm_or_si128(_mm_slli_epi16(r, 3), _mm_srli_epi16(r, 2));
        b = _mm_or_si128(_mm_slli_epi16(b, 3), _mm_srli_epi16(b, 2));
        // Low halves blue | green << 8, high halves red | (bit 15 << 8).
        const __m128i low = _mm_or_si128(b, _mm_slli_epi16(g, 8));
        __m128i high = r;
        if (!Kind565) high = _mm_or_si128(high, _mm_and_si128(p, top));
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst), _mm_unpacklo_epi16(low, high));
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 16), _mm_unpackhi_epi16(low, high));
    }
    if (Kind565)
        Rgb565ToXrgb(dst, src, count - i);
    else
        Rgb555ToXrgb(dst, src, count - i);
}
#endif

}  // namespace

void FinishWindowRows() {
#if defined(__SSE2__)
    _mm_sfence();
#endif
}

bool ExactWindowRowCopy(PixelKind desktop, uint32_t windowFormat, bool fast, WindowRowCopy* out) {
    WindowRowCopy c;
    switch (desktop) {
        case PixelKind::Rgb555:
            if (windowFormat == SDL_PIXELFORMAT_RGB555) {
                c = {&CopyRow<2>, &CopyRow<2>, 2, 2};
            } else if (windowFormat == SDL_PIXELFORMAT_RGB888) {
                c = {&Rgb555ToXrgb, &XrgbToRgb555, 2, 4};
#if defined(__SSE2__)
                if (fast) c.toWindow = &Widen16Fast<false>;
#endif
            }
            break;
        case PixelKind::Rgb565:
            if (windowFormat == SDL_PIXELFORMAT_RGB565) {
                c = {&CopyRow<2>, &CopyRow<2>, 2, 2};
            } else if (windowFormat == SDL_PIXELFORMAT_RGB888) {
                c = {&Rgb565ToXrgb, &XrgbToRgb565, 2, 4};
#if defined(__SSE2__)
                if (fast) c.toWindow = &Widen16Fast<true>;
#endif
            }
            break;
        case PixelKind::Rgb888:
            if (windowFormat == SDL_PIXELFORMAT_BGR24)
                c = {&CopyRow<3>, &CopyRow<3>, 3, 3};
            else if (windowFormat == SDL_PIXELFORMAT_RGB888)
                c = {&Bgr24ToXrgb, &XrgbToBgr24, 3, 4};
            break;
        case PixelKind::Xrgb8888:
            if (windowFormat == SDL_PIXELFORMAT_RGB888) c = {&CopyRow<4>, &CopyRow<4>, 4, 4};
            break;
        default: break;
    }
#if defined(__SSE2__)
    // Same formats copy with vector stores (see VectorBytes).
    if (fast && c.toWindow == &CopyRow<2>) c.toWindow = &VectorRow<2>;
    if (fast && c.toWindow == &CopyRow<3>) c.toWindow = &VectorRow<3>;
    if (fast && c.toWindow == &CopyRow<4>) c.toWindow = &VectorRow<4>;
#endif
    (void)fast;
    if (!c.toWindow) return false;
    *out = c;
    return true;
}

}  // namespace platform
}  // namespace qndx
