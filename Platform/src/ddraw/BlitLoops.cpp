// Plain scalar pixel loops for fills, copies, keyed copies and stretches.
#include "ddraw/BlitLoops.h"

#include <cstring>
#include <vector>

namespace qndx {
namespace platform {
namespace blit {

namespace {

template <int B>
void FillT(uint8_t* dst, LONG pitch, int w, int h, DWORD value) {
    for (int y = 0; y < h; ++y) {
        uint8_t* row = dst + static_cast<ptrdiff_t>(y) * pitch;
        if (B == 1) {
            std::memset(row, static_cast<int>(value & 0xFF), static_cast<size_t>(w));
            continue;
        }
        for (int x = 0; x < w; ++x) Store<B>(row + x * B, value);
    }
}

template <int B>
void CopyKeyedT(uint8_t* dst, LONG dstPitch, const uint8_t* src, LONG srcPitch, int w, int h, DWORD key,
                DWORD mask) {
    const DWORD k = key & mask;
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = src + static_cast<ptrdiff_t>(y) * srcPitch;
        uint8_t* d = dst + static_cast<ptrdiff_t>(y) * dstPitch;
        for (int x = 0; x < w; ++x) {
            DWORD p = Load<B>(s + x * B);
            if ((p & mask) != k) Store<B>(d + x * B, p);
        }
    }
}

template <int B>
void StretchT(uint8_t* dst, LONG dstPitch, const uint8_t* src, LONG srcPitch, const StretchArgs& a) {
    std::vector<int> columns(static_cast<size_t>(a.x1 - a.x0));
    for (int x = a.x0; x < a.x1; ++x) {
        int sx = static_cast<int>(static_cast<int64_t>(x) * a.srcW / a.dstW);
        columns[static_cast<size_t>(x - a.x0)] = a.mirrorX ? a.srcW - 1 - sx : sx;
    }
    const DWORD k = a.key & a.colorMask;
    for (int y = a.y0; y < a.y1; ++y) {
        int sy = static_cast<int>(static_cast<int64_t>(y) * a.srcH / a.dstH);
        if (a.mirrorY) sy = a.srcH - 1 - sy;
        const uint8_t* s = src + static_cast<ptrdiff_t>(sy) * srcPitch;
        uint8_t* d = dst + static_cast<ptrdiff_t>(y) * dstPitch + static_cast<ptrdiff_t>(a.x0) * B;
        for (size_t i = 0; i < columns.size(); ++i, d += B) {
            DWORD p = Load<B>(s + static_cast<ptrdiff_t>(columns[i]) * B);
            if (a.keyed && (p & a.colorMask) == k) continue;
            Store<B>(d, p);
        }
    }
}

}  // namespace

void Fill(uint8_t* dst, LONG pitch, int bytesPerPixel, int w, int h, DWORD value) {
    switch (bytesPerPixel) {
        case 1: FillT<1>(dst, pitch, w, h, value); break;
        case 2: FillT<2>(dst, pitch, w, h, value); break;
        case 3: FillT<3>(dst, pitch, w, h, value); break;
        case 4: FillT<4>(dst, pitch, w, h, value); break;
        default: break;
    }
}

void Copy(uint8_t* dst, LONG dstPitch, const uint8_t* src, LONG srcPitch, size_t rowBytes, int h) {
    if (dst > src) {
        // The destination may start inside the source: take the last row first.
        for (int y = h - 1; y >= 0; --y)
            std::memmove(dst + static_cast<ptrdiff_t>(y) * dstPitch, src + static_cast<ptrdiff_t>(y) * srcPitch,
                         rowBytes);
    } else {
        for (int y = 0; y < h; ++y)
            std::memmove(dst + static_cast<ptrdiff_t>(y) * dstPitch, src + static_cast<ptrdiff_t>(y) * srcPitch,
                         rowBytes);
    }
}

void CopyKeyed(uint8_t* dst, LONG dstPitch, const uint8_t* src, LONG srcPitch, int bytesPerPixel, int w, int h,
               DWORD key, DWORD colorMask) {
    switch (bytesPerPixel) {
        case 1: CopyKeyedT<1>(dst, dstPitch, src, srcPitch, w, h, key, colorMask); break;
        case 2: CopyKeyedT<2>(dst, dstPitch, src, srcPitch, w, h, key, colorMask); break;
        case 3: CopyKeyedT<3>(dst, dstPitch, src, srcPitch, w, h, key, colorMask); break;
        case 4: CopyKeyedT<4>(dst, dstPitch, src, srcPitch, w, h, key, colorMask); break;
        default: break;
    }
}

void Stretch(uint8_t* dst, LONG dstPitch, const uint8_t* src, LONG srcPitch, int bytesPerPixel,
             const StretchArgs& args) {
    if (NothingToStretch(args)) return;
    switch (bytesPerPixel) {
        case 1: StretchT<1>(dst, dstPitch, src, srcPitch, args); break;
        case 2: StretchT<2>(dst, dstPitch, src, srcPitch, args); break;
        case 3: StretchT<3>(dst, dstPitch, src, srcPitch, args); break;
        case 4: StretchT<4>(dst, dstPitch, src, srcPitch, args); break;
        default: break;
    }
}

}  // namespace blit
}  // namespace platform
}  // namespace qndx
