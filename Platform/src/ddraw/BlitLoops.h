// Pixel loops behind Blt and BltFast. The callers validate and clip; these
// take plain pointers, pitches and sizes and trust them. Pixels are 1 to 4
// bytes, little-endian; loads and stores go through memcpy so odd pitches
// and 24-bit pixels need no alignment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/Types.h"

namespace qndx {
namespace platform {
namespace blit {

// One pixel of B bytes (1 to 4), little-endian, at any alignment.
template <int B>
inline DWORD Load(const uint8_t* p) {
    DWORD v = 0;
    std::memcpy(&v, p, B);
    return v;
}

template <int B>
inline void Store(uint8_t* p, DWORD v) {
    std::memcpy(p, &v, B);
}

// Fills w x h pixels with the low `bytesPerPixel` bytes of value.
void Fill(uint8_t* dst, LONG pitch, int bytesPerPixel, int w, int h, DWORD value);

// Copies h rows of rowBytes. Source and destination may overlap (one
// surface): rows run bottom-up when the destination lies below the source,
// and each row moves as by memmove.
void Copy(uint8_t* dst, LONG dstPitch, const uint8_t* src, LONG srcPitch, size_t rowBytes, int h);

// Copies w x h pixels, skipping those whose colour bits (value & colorMask)
// equal the key's. Source and destination must not overlap.
void CopyKeyed(uint8_t* dst, LONG dstPitch, const uint8_t* src, LONG srcPitch, int bytesPerPixel, int w, int h,
               DWORD key, DWORD colorMask);

// Nearest-neighbour stretch of a srcW x srcH block onto a dstW x dstH block,
// optionally mirrored and keyed. Destination column x (0 <= x < dstW) reads
// source column x * srcW / dstW (srcW - 1 minus that when mirrored); rows
// likewise. Only destination pixels in [x0, x1) x [y0, y1) are written, so a
// clipped blit maps exactly as the unclipped one. `dst` and `src` point at
// the blocks' top-left pixels; they must not overlap.
struct StretchArgs {
    int srcW, srcH;
    int dstW, dstH;
    int x0, y0, x1, y1;
    bool mirrorX, mirrorY;
    bool keyed;
    DWORD key;
    DWORD colorMask;
};
void Stretch(uint8_t* dst, LONG dstPitch, const uint8_t* src, LONG srcPitch, int bytesPerPixel,
             const StretchArgs& args);

// True when a stretch would write nothing (or its sizes are not usable).
inline bool NothingToStretch(const StretchArgs& a) {
    return a.x1 <= a.x0 || a.y1 <= a.y0 || a.srcW <= 0 || a.srcH <= 0 || a.dstW <= 0 || a.dstH <= 0;
}

}  // namespace blit
}  // namespace platform
}  // namespace qndx
