// The frame every blit routine of the video engine shares: take the source
// rectangle, clip it by mode, decide where a surface lives (video memory or
// not), pick the platform surface a platform blit reads (a registered
// source's cached copy when drawing onto an engine buffer), restore a lost
// source, cache a registered source drawn onto an engine buffer, and for the
// software paths: the surface to read (the cached copy, locked directly), both
// surfaces locked in order, and their locked memory as the pixel library's
// blit frame takes it. Nothing here allocates on the common paths.
#pragma once

#include <cstddef>
#include <cstdint>

#include "GraphicEngine/Surface.h"
#include "pixels/Frame.h"
#include "platform/DirectDraw.h"

class CQNDXCache;
class CQNDXSurfaceIDManager;
class CQNDXVideoEngine;

namespace qndx {
namespace gfx {
namespace frame {

// Both surfaces exist and hold a platform surface.
inline bool HaveSurfaces(const CQNDXSurface* dest, const CQNDXSurface* src) {
    return dest && src && dest->GetDDSurface() && src->GetDDSurface();
}

// The caller's rectangle copied, or the whole source when it is null.
inline RECT SourceRect(const CQNDXSurface* src, const RECT* srcRect) {
    if (srcRect) return *srcRect;
    return RECT{0, 0, src->GetWidth(), src->GetHeight()};
}

// Mode 1 bounds the destination only (and keeps reads inside the source);
// any other mode clips with the source's ClipBlit. False when nothing is left,
// empty and inverted rectangles included. Inline: every blit clips.
bool ClipToSurfaceInside(CQNDXSurface* dest, CQNDXSurface* src, int* x, int* y, RECT* r);
inline bool ClipByMode(int mode, CQNDXSurface* dest, CQNDXSurface* src, int* x, int* y, RECT* r) {
    if (r->left >= r->right || r->top >= r->bottom) return false;
    if (mode == 1) return ClipToSurfaceInside(dest, src, x, y, r);
    return src->ClipBlit(dest, x, y, r) && r->left < r->right && r->top < r->bottom;
}

// Where the two surfaces of a copy live (the back buffer and third surface
// by the engine's flags, registered surfaces by the cache, every other
// surface never), worked out once per call: each
// surface's ID read once, each registered one looked up in the cache once
// (IsCached, which counts as no use), so the dispatch and the hardware
// path's choice of source ask nothing twice.
struct Placement {
    int destId = -1;
    int srcId = -1;
    CQNDXCache* cache = nullptr;
    bool srcCached = false;  // the cache holds a copy of the source
    bool inVideoMemory = false;  // both surfaces count as video memory
    // A registered source drawn onto an engine surface reads its copy.
    bool ReadsCopy() const { return destId < 0 && srcCached; }
};
Placement Place(CQNDXVideoEngine* engine, CQNDXSurface* dest, CQNDXSurface* src);

// The platform surface a platform blit reads: a registered source drawn onto
// an engine surface (negative ID) reads its cached copy when it has one.
// *fromCache says whether it is the copy (which this lookup makes the most
// recently used).
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

// What a software path reads: the source itself, or, for a registered source
// drawn onto an engine surface, its cached copy. The copy is locked straight
// on the platform (read-only), so no wrapper object is made per blit; the
// cache keeps the copy and its reference. The copy has its source's pixel
// kind: the cache fills it with BltFast, which refuses any other kind.
struct ReadSource {
    CQNDXSurface* source = nullptr;       // the surface blitted; its kind is the copy's
    IDirectDrawSurface7* copy = nullptr;  // read instead of the source when set
    bool uncached = false;                // looked up in the cache: no copy there
};

// The cached copy as PlatformSource finds it (which this makes the most
// recently used), else the source itself.
ReadSource SourceToRead(CQNDXVideoEngine* engine, CQNDXSurface* dest, CQNDXSurface* src);

// CacheSource after a software path read `read`, without asking the cache
// again what SourceToRead already asked.
void CacheAfterRead(CQNDXVideoEngine* engine, CQNDXSurface* dest, const ReadSource& read);

// Locks the read surface (`source`, or its cached `copy` when set), then the
// destination; unlocks in the same order. When either lock fails nothing may
// be touched: ok() is false and failure() holds it.
class LockPair {
public:
    LockPair(CQNDXSurface* source, IDirectDrawSurface7* copy, CQNDXSurface* dest);
    LockPair(const ReadSource& read, CQNDXSurface* dest) : LockPair(read.source, read.copy, dest) {}
    ~LockPair();
    LockPair(const LockPair&) = delete;
    LockPair& operator=(const LockPair&) = delete;
    bool ok() const;
    // The failing lock's result, or -1 when a lock gave no memory.
    int failure() const { return m_result < 0 ? m_result : -1; }
    // The destination's lock was refused because the surface is busy (held
    // by a device context or locked outside the engine).
    bool destBusy() const { return m_readLocked && !m_destLocked && m_result == DDERR_SURFACEBUSY; }
    // The locked descriptions (valid while the pair lives and ok() holds).
    const DDSURFACEDESC2& read() const { return *m_readDesc; }
    const DDSURFACEDESC2& dest() const { return m_dest->SurfaceDesc(); }
    // Source rectangle r of the locked memory onto (x, y), through the pixel
    // library's frame, each surface with its own pixel kind.
    void Blit(const RECT& r, int x, int y, const pixels::Job& job) const;

private:
    CQNDXSurface* m_source;
    CQNDXSurface* m_dest;
    IDirectDrawSurface7* m_copy;
    bool m_readLocked = false;
    bool m_destLocked = false;
    bool m_relocked = false;  // both pairs done at once: nothing to unlock
    int m_result = 0;
    const DDSURFACEDESC2* m_readDesc;
    DDSURFACEDESC2 m_copyDesc;  // filled only when the cached copy is read
};

// The surface ID a working copy of an engine buffer's area holds for the
// length of one blend: taken from the engine's allocator (whatever allocator
// the game set) and given back when the object goes. The blend itself may
// work in place without any copy, and no game code runs while the ID is
// held, so the ID only passes through the allocator. held() is false where
// a copy could not have been registered (no ID free, or a live one).
class WorkingCopyID {
public:
    explicit WorkingCopyID(CQNDXVideoEngine* engine);
    ~WorkingCopyID();
    WorkingCopyID(const WorkingCopyID&) = delete;
    WorkingCopyID& operator=(const WorkingCopyID&) = delete;
    bool held() const { return m_held; }

private:
    CQNDXSurfaceIDManager* m_ids;
    int m_id = -1;
    bool m_held = false;
};

}  // namespace frame
}  // namespace gfx
}  // namespace qndx
