// The software copy loops behind the plain and keyed blits, and the channel
// scaling behind BlitBlend. They run on locked memory only: a pointer to the
// first pixel, a pitch in bytes, a width in pixels and a row count. The blit
// frame has already clipped and validated everything, so the loops trust
// their arguments.
//
// Each loop has a plain scalar form and, where it pays, a fast form (row
// memmove for plain copies; SSE2 selects for keyed copies, and on CPUs that
// have them AVX2 selects and AVX-512 masked stores). The fast forms can be
// switched off at run time (SetFastPaths, or QNDX_BLIT_NO_FAST=1 in the
// environment) so the forms can be compared byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qndx {
namespace gfx {
namespace blit {

// Plain copy of w x h pixels. Source and destination may overlap (one
// surface): the result is as if the whole source had been read first.
typedef void (*PlainCopyFn)(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w,
                            int h);
// Keyed copy: source pixels equal to `key` leave the destination alone. Kind
// 15/16 compare the 16-bit pixel, 24 the three bytes, 32 the low 24 bits (and
// write them with a top byte of 0). Source and destination must not overlap.
typedef void (*KeyedCopyFn)(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                            uint32_t key);
// Channel scaling: every colour channel becomes (channel * factor) >> 8.
// factor is at most 256. Kind 32 keeps the destination's fourth byte.
typedef void (*ScaleCopyFn)(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
                            uint32_t factor);

// Bytes per pixel of a pixel kind: 2 for 15 and 16, 3 for 24, 4 for 32, 0 otherwise.
int BytesPerPixel(uint32_t kind);

// The loop for a pixel kind (15, 16, 24, 32), honouring the fast-path switch;
// null for any other kind.
PlainCopyFn PlainCopyFor(uint32_t kind);
KeyedCopyFn KeyedCopyFor(uint32_t kind);
ScaleCopyFn ScaleCopyFor(uint32_t kind);

// Fast paths on (the default unless QNDX_BLIT_NO_FAST is set to something
// other than "0") or off.
void SetFastPaths(bool on);
bool FastPaths();

// The widest vector forms the fast paths may use: SSE2 (the x86-64
// baseline), AVX2, or AVX-512 (F and BW) for the keyed copies, the last two
// detected at run time. By default the best this CPU offers; tests lower the
// limit to check every form against the plain one.
enum class Simd { None = 0, Sse2 = 1, Avx2 = 2, Avx512 = 3 };
Simd BestSimd();
void LimitSimd(Simd most);
// The vector forms in use: the best within the limit (the fast-path switch
// is separate: when it is off, no fast form runs at all).
Simd ActiveSimd();

// The individual loops, for tests and benchmarks.
namespace plain {
void Copy16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h);
void Copy24(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h);
void Copy32(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h);
void Keyed16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, uint32_t key);
void Keyed24(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, uint32_t key);
void Keyed32(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, uint32_t key);
}  // namespace plain

namespace fast {
// One memmove per row (one for the whole block when both are contiguous).
void CopyRows(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, size_t rowBytes, int h);
void Copy16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h);
void Copy24(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h);
void Copy32(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h);
void Keyed16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, uint32_t key);
void Keyed24(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, uint32_t key);
void Keyed32(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, uint32_t key);
}  // namespace fast

// Wide keyed copies (call only when BestSimd() reaches their level).
namespace avx2 {
void Keyed16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, uint32_t key);
void Keyed32(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, uint32_t key);
}  // namespace avx2
namespace avx512 {
void Keyed16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, uint32_t key);
void Keyed32(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h, uint32_t key);
}  // namespace avx512

// Channel scaling has one form per kind (15 and 16 work on pixel pairs).
void Scale15(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
             uint32_t factor);
void Scale16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
             uint32_t factor);
void Scale24(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
             uint32_t factor);
void Scale32(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int w, int h,
             uint32_t factor);

// True when the byte ranges of two w x h blocks (given by their first pixel
// and pitches) share any byte.
bool BlocksOverlap(const uint8_t* a, ptrdiff_t aPitch, const uint8_t* b, ptrdiff_t bPitch, size_t rowBytes, int h);

}  // namespace blit
}  // namespace gfx
}  // namespace qndx
