// The frame every blit routine of the video engine shares: take the source
// rectangle, clip it by mode, decide where a surface lives (video memory or
// not), pick the platform surface a platform blit reads (a registered
// source's cached copy when drawing onto an engine buffer), restore a lost
// source, cache a registered source drawn onto an engine buffer, and for the
// software paths: the surface to read (the cached copy in a temporary
// wrapper), both surfaces locked in order, the block as pointers cut to the
// locked memory, and an overlapping source copied aside.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/DirectDraw.h"

class CQNDXVideoEngine;
class CQNDXSurface;

namespace qndx {
namespace gfx {
namespace frame {

// Both surfaces exist and hold a platform surface.
bool HaveSurfaces(const CQNDXSurface* dest, const CQNDXSurface* src);

// The caller's rectangle copied, or the whole source when it is null.
RECT SourceRect(const CQNDXSurface* src, const RECT* srcRect);

// Mode 1 bounds the destination only (and keeps reads inside the source);
// any other mode clips with the source's ClipBlit. False when nothing is left,
// empty and inverted rectangles included.
bool ClipByMode(int mode, CQNDXSurface* dest, CQNDXSurface* src, int* x, int* y, RECT* r);

// The back buffer and third surface by the engine's flags, registered
// surfaces by the cache, every other surface never.
bool InVideoMemory(CQNDXVideoEngine* engine, CQNDXSurface* s);

// A registered source drawn onto an engine surface (negative ID) reads its
// cached copy when it has one.
bool ReadsCachedCopy(CQNDXVideoEngine* engine, CQNDXSurface* dest, CQNDXSurface* src);

// The platform surface a platform blit reads; *fromCache says whether it is
// the cache's copy (which this lookup makes the most recently used).
IDirectDrawSurface7* PlatformSource(CQNDXVideoEngine* engine, CQNDXSurface* dest, CQNDXSurface* src,
                                    bool* fromCache);

// After DDERR_SURFACELOST: restores what the blit read (the cached copy, then
// refreshes it; or the source surface). The restore's result.
int RestoreLostSource(CQNDXVideoEngine* engine, CQNDXSurface* src, IDirectDrawSurface7* used, bool fromCache);

// The native key a software keyed copy compares with, always the source's own
// (also when its cached copy is read): the key set on its platform surface
// (what the hardware path keys with) cut to the pixel's bits (colour bits in
// 24 and 32 bits), else its stored colour in its format. The stored colour
// alone can miss: a native key such as the cursor's 9 does not survive the
// trip to RGB and back in 15 and 16 bits.
DWORD SourceKey(const CQNDXSurface* src);

// Gives a registered source drawn onto an engine surface a video-memory copy.
void CacheSource(CQNDXVideoEngine* engine, CQNDXSurface* dest, CQNDXSurface* src);

// The surface a software path reads: the cached copy in a temporary wrapper
// holding its own reference (so the cache's copy survives it), or the source.
class ReadSurface {
public:
    ReadSurface(CQNDXVideoEngine* engine, CQNDXSurface* dest, CQNDXSurface* src);
    ~ReadSurface();
    ReadSurface(const ReadSurface&) = delete;
    ReadSurface& operator=(const ReadSurface&) = delete;
    CQNDXSurface* get() const { return m_read; }

private:
    CQNDXSurface* m_read;
    CQNDXSurface* m_temp = nullptr;
};

// Locks the read surface, then the destination; unlocks in the same order.
// When either lock fails nothing may be touched: ok() is false and result()
// holds the failure.
class LockPair {
public:
    LockPair(CQNDXSurface* read, CQNDXSurface* dest);
    ~LockPair();
    LockPair(const LockPair&) = delete;
    LockPair& operator=(const LockPair&) = delete;
    bool ok() const;
    // The failing lock's result, or -1 when a lock gave no memory.
    int failure() const { return m_result < 0 ? m_result : -1; }
    const DDSURFACEDESC2& read() const { return m_readDesc; }
    const DDSURFACEDESC2& dest() const { return m_destDesc; }

private:
    CQNDXSurface* m_read;
    CQNDXSurface* m_dest;
    bool m_readLocked = false;
    bool m_destLocked = false;
    int m_result = 0;
    DDSURFACEDESC2 m_readDesc{};
    DDSURFACEDESC2 m_destDesc{};
};

// A copy area as pointers into two locked surfaces.
struct Block {
    uint8_t* dst = nullptr;
    ptrdiff_t dstPitch = 0;
    const uint8_t* src = nullptr;
    ptrdiff_t srcPitch = 0;
    int w = 0;
    int h = 0;
};

// The block of source rectangle r at (x, y), cut to both surfaces' locked
// memory (their width and height fields are the engine's; the memory is the
// platform's). False when nothing is left.
bool MakeBlock(const DDSURFACEDESC2& read, const DDSURFACEDESC2& dest, const RECT& r, int x, int y, int bpp,
               Block* out);

// When the blocks share memory (one surface), copies the source block into
// `scratch` and points the block at it, so nothing is read after it was
// overwritten.
void DetachIfOverlapping(Block* b, int bpp, std::vector<uint8_t>* scratch);

}  // namespace frame
}  // namespace gfx
}  // namespace qndx
