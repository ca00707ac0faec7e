// The AVX-512 (F and BW) keyed copies, compiled for AVX-512 and chosen only
// on processors that have it: sixty-four bytes compared a step and the
// pixels that are not the key stored through the comparison's mask, so key
// pixels are neither read nor written and a row's last partial step is a
// masked one. Everything else keeps its AVX2 form.
#include <immintrin.h>

#include "Levels.h"

namespace qndx {
namespace pixels {

namespace {


void Keyed16Avx512(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                         uint32_t key) {
    if (!KeyPossible<2>(key)) {
        CopyRows(dst, dstPitch, src, srcPitch, static_cast<size_t>(w) * 2, h);
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

void Keyed32Avx512(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
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


}  // namespace

namespace detail {

void FillAvx512(Loops* l) {
    l->keyed[KindIndexOf(15)] = Keyed16Avx512;
    l->keyed[KindIndexOf(16)] = Keyed16Avx512;
    l->keyed[KindIndexOf(32)] = Keyed32Avx512;
}

}  // namespace detail
}  // namespace pixels
}  // namespace qndx
