// The blit frame shared by the video engine's blit routines (see
// BlitFrame.h).
#include "GraphicEngine/BlitFrame.h"

#include <algorithm>

#include "pixels/Pixels.h"
#include "GraphicEngine/Cache.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/SurfaceIDAllocator.h"
#include "GraphicEngine/SurfaceManager.h"
#include "GraphicEngine/VideoEngine.h"

namespace qndx {
namespace gfx {
namespace frame {

namespace {

bool IsEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

// Clip mode 1 only bounds the destination; the reads must still stay inside
// the source, so the rectangle is cut to the source's bounds and the
// position moves with its left and top edges. Nothing moves when nothing is
// left: a rectangle reaching far past the source would push it out of range.
bool KeepInsideSource(const CQNDXSurface* src, int* x, int* y, RECT* r) {
    const RECT cut = {std::max<LONG>(r->left, 0), std::max<LONG>(r->top, 0), std::min<LONG>(r->right, src->GetWidth()),
                      std::min<LONG>(r->bottom, src->GetHeight())};
    if (IsEmpty(cut)) return false;
    // The position stays left of the destination's right edge, as the
    // rectangle's right edge stays where it was.
    *x = static_cast<int>(*x + (static_cast<int64_t>(cut.left) - r->left));
    *y = static_cast<int>(*y + (static_cast<int64_t>(cut.top) - r->top));
    *r = cut;
    return true;
}

}  // namespace

bool ClipToSurfaceInside(CQNDXSurface* dest, CQNDXSurface* src, int* x, int* y, RECT* r) {
    return src->ClipToSurface(dest, x, y, r) && KeepInsideSource(src, x, y, r);
}

namespace {

// Whether a surface with this ID counts as video memory; `cached` says
// whether the cache holds a copy of it, asked only for registered IDs.
template <class Cached>
bool InVideoMemoryById(CQNDXVideoEngine* engine, int id, Cached cached) {
    if (id == QNDX_SURFACE_BACK) return engine->GetBackBufferHwFlag() != 0;
    if (id == QNDX_SURFACE_THIRD) return engine->GetThirdSurfaceHwFlag() != 0;
    return id >= 0 && cached();
}

}  // namespace

Placement Place(CQNDXVideoEngine* engine, CQNDXSurface* dest, CQNDXSurface* src) {
    Placement p;
    p.destId = dest->GetID();
    p.srcId = src->GetID();
    p.cache = engine->GetCache();
    p.srcCached = p.srcId >= 0 && p.cache && p.cache->IsCached(p.srcId);
    p.inVideoMemory = InVideoMemoryById(engine, p.srcId, [&] { return p.srcCached; }) &&
                      InVideoMemoryById(engine, p.destId, [&] { return p.cache && p.cache->IsCached(p.destId); });
    return p;
}

IDirectDrawSurface7* PlatformSource(CQNDXVideoEngine* engine, CQNDXSurface* dest, CQNDXSurface* src,
                                    bool* fromCache) {
    // GetCached answers null for a surface without a copy, and only a copy
    // it returns counts as a use: no IsCached before it.
    CQNDXCache* cache = engine->GetCache();
    IDirectDrawSurface7* copy = cache && dest->GetID() < 0 ? cache->GetCached(src) : nullptr;
    *fromCache = copy != nullptr;
    return copy ? copy : src->GetDDSurface();
}

int RestoreLostSource(CQNDXVideoEngine* engine, CQNDXSurface* src, IDirectDrawSurface7* used, bool fromCache) {
    if (fromCache) {
        HRESULT hr = used->Restore();
        if (hr >= 0) engine->GetCache()->Update(src);
        return hr;
    }
    return src->Restore();
}

DWORD SourceKey(const CQNDXSurface* src) {
    DDCOLORKEY key;
    IDirectDrawSurface7* dd = src->GetDDSurface();
    if (!dd || dd->GetColorKey(DDCKEY_SRCBLT, &key) < 0) return src->RGBToNative(src->GetColorKey());
    // Only the pixel's own bits take part; in 24 and 32 bits, its colour.
    const uint32_t bits = pixels::KeyBits(src->GetPixelKind());
    return bits ? key.dwColorSpaceLowValue & bits : key.dwColorSpaceLowValue;
}

void CacheSource(CQNDXVideoEngine* engine, CQNDXSurface* dest, CQNDXSurface* src) {
    CQNDXCache* cache = engine->GetCache();
    const int id = src->GetID();
    if (id >= 0 && dest->GetID() < 0 && cache && !cache->IsCached(id)) cache->Cache(src);
}

// ---------------------------------------------------------------------------

ReadSource SourceToRead(CQNDXVideoEngine* engine, CQNDXSurface* dest, CQNDXSurface* src) {
    ReadSource read{src, nullptr, false};
    CQNDXCache* cache = engine->GetCache();
    if (dest->GetID() < 0 && cache) {
        read.copy = cache->GetCached(src);
        read.uncached = read.copy == nullptr;
    }
    return read;
}

void CacheAfterRead(CQNDXVideoEngine* engine, CQNDXSurface* dest, const ReadSource& read) {
    if (read.copy) return;
    if (read.uncached) {
        if (read.source->GetID() >= 0) engine->GetCache()->Cache(read.source);
        return;
    }
    CacheSource(engine, dest, read.source);
}

WorkingCopyID::WorkingCopyID(CQNDXVideoEngine* engine) : m_ids(engine->GetSurfaceIDManager()) {
    CQNDXSurfaceManager* table = engine->GetSurfaceManager();
    if (!m_ids || !table) return;
    m_id = m_ids->GetNewID();
    // An ID outside the table, or one a live surface holds, could not have
    // registered a copy; it stays with whoever has it.
    m_held = m_id >= 0 && m_id < g_iMaxSurfaces && !table->GetSurface(m_id);
}

WorkingCopyID::~WorkingCopyID() {
    if (m_held) m_ids->ReleaseID(m_id);
}

namespace {

// Bytes per pixel a locked description shows, 0 when it is no RGB format.
int LockedBytesPerPixel(const DDSURFACEDESC2& desc) {
    const DWORD bits = desc.ddpfPixelFormat.dwRGBBitCount;
    return (bits == 16 || bits == 24 || bits == 32) ? static_cast<int>(bits / 8) : 0;
}

}  // namespace

LockPair::LockPair(CQNDXSurface* source, IDirectDrawSurface7* copy, CQNDXSurface* dest)
    : m_source(source), m_dest(dest), m_copy(copy), m_readDesc(&source->SurfaceDesc()) {
    // Memory that has not moved since both surfaces' last locks needs no
    // new pair; the source goes first, as its lock would.
    if (!copy && source != dest && source->RelockUnchanged(false) && dest->RelockUnchanged(true)) {
        m_readLocked = m_destLocked = m_relocked = true;
        return;
    }
    if (copy) {
        // A lock fills the whole description, and nothing reads it unless
        // the lock succeeded: no clearing first, which costs as much as a
        // small blit.
        m_copyDesc.dwSize = 124;
        m_readDesc = &m_copyDesc;
        m_result = copy->Lock(nullptr, &m_copyDesc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr);
    } else {
        // A writable lock would tell the platform the source may change,
        // which drops its span form; the blit only reads it (unless it is
        // also the destination).
        m_result = source == dest ? source->Lock() : source->LockToRead();
    }
    if (m_result < 0) return;
    m_readLocked = true;
    m_result = dest->Lock();
    if (m_result < 0) return;
    m_destLocked = true;
}

LockPair::~LockPair() {
    if (m_relocked) return;
    if (m_readLocked) {
        if (m_copy)
            m_copy->Unlock(nullptr);
        else
            m_source->Unlock();
    }
    if (m_destLocked) m_dest->Unlock();
}

namespace {

pixels::Plane PlaneOf(const DDSURFACEDESC2& desc, uint32_t kind) {
    pixels::Plane p;
    p.bits = static_cast<uint8_t*>(desc.lpSurface);
    p.pitch = desc.lPitch;
    p.width = static_cast<int>(desc.dwWidth);
    p.height = static_cast<int>(desc.dwHeight);
    p.kind = kind;
    return p;
}

}  // namespace

void LockPair::Blit(const RECT& r, int x, int y, const pixels::Job& job) const {
    pixels::Blit(PlaneOf(dest(), m_dest->GetPixelKind()), PlaneOf(read(), m_source->GetPixelKind()),
                 pixels::Area{r.left, r.top, x, y, r.right - r.left, r.bottom - r.top}, job);
}

bool LockPair::ok() const {
    if (!m_readLocked || !m_destLocked || !read().lpSurface || !dest().lpSurface) return false;
    // The copy is read with its source's pixel size; a copy of any other
    // format, or of a kind without loops, is never read.
    const uint32_t kind = m_source->GetPixelKind();
    return !m_copy || (kind != 8 && LockedBytesPerPixel(m_copyDesc) == pixels::BytesPerPixel(kind));
}

}  // namespace frame
}  // namespace gfx
}  // namespace qndx
