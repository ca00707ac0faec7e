// The blit routines of the video engine. Plain and keyed copies share one
// frame: check the surfaces, take and clip the source rectangle, choose the
// hardware path (BltFast, when both surfaces count as video memory) or the
// software path (locked memory and the pixel library's loops), restore a lost
// source, and cache a registered source drawn onto an engine buffer so its
// next blits can take the hardware path. The channel scaling used by
// BlitBlend (and the fades) is a software loop of the same family.
// Mirrors, stretches, alpha and translucent blits are in VideoEngineEffects.cpp.
#include <optional>

#include "GraphicEngine/BlitFrame.h"
#include "pixels/Pixels.h"
#include "GraphicEngine/Cache.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/VideoEngine.h"

namespace pixels = qndx::pixels;
namespace frame = qndx::gfx::frame;

namespace {

// The engine's software loops serve the four colour kinds only.
bool ColourKind(uint32_t kind) { return kind == 15 || kind == 16 || kind == 24 || kind == 32; }

const DWORD kBltFastWait = DDBLTFAST_WAIT;                          // 0x10
const DWORD kBltFastKeyed = DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT;  // 0x11

}  // namespace

// ---------------------------------------------------------------------------
// Dispatch

namespace {

// The hardware copy: BltFast from the source, or from its cached copy when a
// registered source is drawn onto an engine surface; a lost source is
// restored (keyed: the engine's surfaces too, whose result is returned); a
// source not read from its copy is cached afterwards. `p` is the placement
// of the two surfaces, worked out before the clip.
int HwCopy(CQNDXVideoEngine* engine, int mode, CQNDXSurface* dest, CQNDXSurface* src, int x, int y,
           const RECT* srcRect, bool keyed, const frame::Placement& p) {
    RECT r = frame::SourceRect(src, srcRect);
    if (!frame::ClipByMode(mode, dest, src, &x, &y, &r)) return 0;
    IDirectDrawSurface7* copy = p.ReadsCopy() ? p.cache->GetCached(p.srcId) : nullptr;
    IDirectDrawSurface7* source = copy ? copy : src->GetDDSurface();
    bool fromCache = copy != nullptr;
    int result = dest->GetDDSurface()->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), source, &r,
                                               keyed ? kBltFastKeyed : kBltFastWait);
    // A source read from its cached copy is cached, unless a restore dropped the copy.
    if (result == DDERR_SURFACELOST) {
        result = frame::RestoreLostSource(engine, src, source, fromCache);
        if (keyed) result = engine->RestoreSurfaces();
        fromCache = false;
    }
    if (!fromCache) frame::CacheSource(engine, dest, src);
    return result;
}

// Both surfaces in video memory take the platform's copy, the rest the
// software loops.
int Dispatch(CQNDXVideoEngine* engine, int mode, CQNDXSurface* dest, CQNDXSurface* src, int x, int y,
             const RECT* srcRect, bool keyed) {
    if (!frame::HaveSurfaces(dest, src)) return -1;
    const frame::Placement p = frame::Place(engine, dest, src);
    if (p.inVideoMemory) return HwCopy(engine, mode, dest, src, x, y, srcRect, keyed, p);
    return keyed ? engine->BlitKeyedSw(mode, dest, src, x, y, srcRect)
                 : engine->BlitPlainSw(mode, dest, src, x, y, srcRect);
}

}  // namespace

int CQNDXVideoEngine::BlitPlain(int mode, CQNDXSurface* dest, CQNDXSurface* src, int x, int y,
                                const RECT* srcRect) {
    return Dispatch(this, mode, dest, src, x, y, srcRect, false);
}

int CQNDXVideoEngine::BlitKeyed(int mode, CQNDXSurface* dest, CQNDXSurface* src, int x, int y,
                                const RECT* srcRect) {
    return Dispatch(this, mode, dest, src, x, y, srcRect, true);
}

// ---------------------------------------------------------------------------
// Hardware copies

int CQNDXVideoEngine::BlitPlainHw(int mode, CQNDXSurface* dest, CQNDXSurface* src, int x, int y,
                                  const RECT* srcRect) {
    if (!frame::HaveSurfaces(dest, src)) return -1;
    return HwCopy(this, mode, dest, src, x, y, srcRect, false, frame::Place(this, dest, src));
}

int CQNDXVideoEngine::BlitKeyedHw(int mode, CQNDXSurface* dest, CQNDXSurface* src, int x, int y,
                                  const RECT* srcRect) {
    if (!frame::HaveSurfaces(dest, src)) return -1;
    return HwCopy(this, mode, dest, src, x, y, srcRect, true, frame::Place(this, dest, src));
}

// ---------------------------------------------------------------------------
// Software copies

namespace {

// A software copy, keyed or not, of the source as ReadSource chooses it,
// through the pixel library's frame; the source cached afterwards.
int CopySw(CQNDXVideoEngine* engine, CQNDXSurface* dest, CQNDXSurface* src, const RECT& r, int x, int y,
           const pixels::Job& job) {
    const frame::ReadSource read = frame::SourceToRead(engine, dest, src);
    {
        frame::LockPair locks(read, dest);
        if (!locks.ok()) return locks.failure();
        locks.Blit(r, x, y, job);
    }
    frame::CacheAfterRead(engine, dest, read);
    return 0;
}

}  // namespace

int CQNDXVideoEngine::BlitPlainSw(int mode, CQNDXSurface* dest, CQNDXSurface* src, int x, int y,
                                  const RECT* srcRect) {
    if (!frame::HaveSurfaces(dest, src)) return -1;
    RECT r = frame::SourceRect(src, srcRect);
    if (!frame::ClipByMode(mode, dest, src, &x, &y, &r)) return 0;
    // Nothing converts between pixel kinds: mismatched surfaces are left alone.
    const uint32_t kind = dest->GetPixelKind();
    if (!ColourKind(kind) || src->GetPixelKind() != kind) return 0;
    return CopySw(this, dest, src, r, x, y, pixels::Job{});
}

int CQNDXVideoEngine::BlitKeyedSw(int mode, CQNDXSurface* dest, CQNDXSurface* src, int x, int y,
                                  const RECT* srcRect) {
    if (!frame::HaveSurfaces(dest, src)) return -1;
    RECT r = frame::SourceRect(src, srcRect);
    if (!frame::ClipByMode(mode, dest, src, &x, &y, &r)) return 0;
    const uint32_t kind = src->GetPixelKind();
    if (!ColourKind(kind) || dest->GetPixelKind() != kind) return 0;
    pixels::Job job;
    job.op = pixels::Op::Keyed;
    job.key = frame::SourceKey(src);
    job.findSpans = true;  // a cached copy, locked to be read, lends its span form
    return CopySw(this, dest, src, r, x, y, job);
}

// ---------------------------------------------------------------------------
// Channel scaling

int CQNDXVideoEngine::BlitBlend16(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect,
                                  WORD factor) {
    if (!frame::HaveSurfaces(dest, src)) return -1;
    RECT r = frame::SourceRect(src, srcRect);
    if (!frame::ClipByMode(0, dest, src, &x, &y, &r)) return 0;

    // Read in place (a source sharing memory with the destination is read
    // whole first). A source with a negative ID still takes a surface ID for
    // the call, as its temporary copy would; none free reads it all the same.
    std::optional<frame::WorkingCopyID> working;
    if (src->GetID() < 0) working.emplace(this);
    const uint32_t kind = dest->GetPixelKind();
    if (!pixels::ScaleCopy(kind) || src->GetPixelKind() != kind) return 0;
    frame::LockPair locks(src, nullptr, dest);
    if (!locks.ok()) return -1;
    pixels::Job job;
    job.op = pixels::Op::Scale;
    job.weight = factor;
    locks.Blit(r, x, y, job);
    return 0;
}
