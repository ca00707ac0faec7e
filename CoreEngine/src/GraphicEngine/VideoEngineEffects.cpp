// The video engine's effect blits: mirrors (the platform's mirroring Blt,
// with a software mirror when the platform refuses), zooms and stretches
// (the platform's stretching Blt only), and the alpha and translucent blends
// (software only, through the blend frame: clip, lock, blend in place, cache
// the source). The per-pixel work is in the pixel library; the shared steps of
// every blit in BlitFrame. The channel scaling behind BlitBlend lives with
// the copies in VideoEngineBlit.
#include <cmath>
#include <cstdint>

#include "GraphicEngine/BlitFrame.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/VideoEngine.h"
#include "pixels/Pixels.h"

namespace fx = qndx::pixels;
namespace frame = qndx::gfx::frame;
using fx::Effect;

namespace {

const DWORD kMirrorFlags = DDBLT_DDFX | DDBLT_WAIT;                         // 0x1000800
const DWORD kMirrorKeyedFlags = DDBLT_DDFX | DDBLT_KEYSRC | DDBLT_WAIT;     // 0x1008800
const DWORD kStretchFlags = DDBLT_WAIT;                                     // 0x1000000
const DWORD kStretchKeyedFlags = DDBLT_KEYSRC | DDBLT_WAIT;                 // 0x1008000

bool IsEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

// A float result as a coordinate, truncated toward zero. Values beyond what
// a rectangle can hold are held at a bound far outside any surface, so the
// clipping that follows treats them as off-surface instead of overflowing.
LONG TruncCoord(double v) {
    const double limit = 1 << 30;
    if (std::isnan(v)) return 0;
    if (v > limit) return static_cast<LONG>(limit);
    if (v < -limit) return static_cast<LONG>(-limit);
    return static_cast<LONG>(std::trunc(v));
}

// One effect loop over a block of two locked surfaces, for the
// destination's pixel kind and a source of the same kind (or none read).
void RunEffect(Effect effect, const frame::LockPair& locks, const RECT& r, int x, int y, fx::EffectArgs args) {
    fx::Job job;
    job.op = fx::Op::Effect;
    job.effect = effect;
    job.weight = args.weight;
    job.key = args.key;
    locks.Blit(r, x, y, job);
}

}  // namespace

// ---------------------------------------------------------------------------
// Mirrors

namespace {

int Mirror(CQNDXVideoEngine* engine, CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect,
           bool leftRight, bool keyed) {
    if (!frame::HaveSurfaces(dest, src)) return -1;
    RECT r = frame::SourceRect(src, srcRect);
    // Cut to the source's clip rectangle first: the correction below puts
    // back what the clip took from the far edge, which must never reach
    // beyond the source.
    if (IsEmpty(r) || !src->ClipRect(&r)) return 0;
    const int x0 = x, y0 = y;
    LONG far0 = leftRight ? r.right : r.bottom;
    if (!src->ClipBlit(dest, &x, &y, &r) || IsEmpty(r)) return 0;

    // A cut from the destination's left (top) belongs to the source's right
    // (bottom) in a mirrored copy, and the other way round.
    LONG& nearEdge = leftRight ? r.left : r.top;
    LONG& farEdge = leftRight ? r.right : r.bottom;
    const int moved = leftRight ? x - x0 : y - y0;
    nearEdge -= moved;
    farEdge -= moved;
    far0 -= moved;
    nearEdge += far0 - farEdge;
    farEdge = far0;
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    RECT destRect = {x, y, x + w, y + h};

    bool fromCache = false;
    IDirectDrawSurface7* source = frame::PlatformSource(engine, dest, src, &fromCache);
    DDBLTFX bltFx = {};
    bltFx.dwSize = 100;
    bltFx.dwDDFX = leftRight ? DDBLTFX_MIRRORLEFTRIGHT : DDBLTFX_MIRRORUPDOWN;
    const HRESULT hr =
        dest->GetDDSurface()->Blt(&destRect, source, &r, keyed ? kMirrorKeyedFlags : kMirrorFlags, &bltFx);
    if (hr == DDERR_SURFACELOST) return frame::RestoreLostSource(engine, src, source, fromCache);
    if (hr >= 0) return hr;

    // The platform would not mirror: do it here, pixel values unchanged.
    const frame::ReadSource read = frame::SourceToRead(engine, dest, src);
    {
        frame::LockPair locks(read, dest);
        if (!locks.ok()) return locks.failure();
        const Effect effect = leftRight ? (keyed ? Effect::MirrorLeftRightKeyed : Effect::MirrorLeftRight)
                                        : (keyed ? Effect::MirrorUpDownKeyed : Effect::MirrorUpDown);
        // The key comes from the source itself, also when its copy is read.
        const fx::EffectArgs args{0, keyed ? frame::SourceKey(src) : 0};
        RunEffect(effect, locks, r, x, y, args);
    }
    frame::CacheAfterRead(engine, dest, read);
    return 0;
}

}  // namespace

int CQNDXVideoEngine::BlitMirrorLeftRight(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect) {
    return Mirror(this, dest, src, x, y, srcRect, true, false);
}

int CQNDXVideoEngine::BlitMirrorLeftRightKeyed(CQNDXSurface* dest, CQNDXSurface* src, int x, int y,
                                               const RECT* srcRect) {
    return Mirror(this, dest, src, x, y, srcRect, true, true);
}

int CQNDXVideoEngine::BlitMirrorUpDown(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect) {
    return Mirror(this, dest, src, x, y, srcRect, false, false);
}

int CQNDXVideoEngine::BlitMirrorUpDownKeyed(CQNDXSurface* dest, CQNDXSurface* src, int x, int y,
                                            const RECT* srcRect) {
    return Mirror(this, dest, src, x, y, srcRect, false, true);
}

// ---------------------------------------------------------------------------
// Zoom and stretch

namespace {

// The platform's stretching Blt of a clipped pair of rectangles, with the
// lost-surface restore and, when asked, the source cached afterwards.
int StretchBlt(CQNDXVideoEngine* engine, CQNDXSurface* dest, CQNDXSurface* src, RECT* destRect, RECT* r, bool keyed,
               bool cacheAfter) {
    bool fromCache = false;
    IDirectDrawSurface7* source = frame::PlatformSource(engine, dest, src, &fromCache);
    int result = dest->GetDDSurface()->Blt(destRect, source, r, keyed ? kStretchKeyedFlags : kStretchFlags, nullptr);
    if (result == DDERR_SURFACELOST) result = frame::RestoreLostSource(engine, src, source, fromCache);
    if (cacheAfter) frame::CacheSource(engine, dest, src);
    return result;
}

int Zoom(CQNDXVideoEngine* engine, CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect,
         float scale, bool keyed) {
    if (!frame::HaveSurfaces(dest, src)) return -1;
    RECT r = frame::SourceRect(src, srcRect);
    if (!src->ClipRect(&r)) return 0;
    const float fw = static_cast<float>(r.right - r.left);
    const float fh = static_cast<float>(r.bottom - r.top);
    // Negative (and not-a-number) scales draw as 0.
    if (!(scale >= 0.0f)) scale = 0.0f;

    // Centred where the unscaled copy would be centred.
    RECT d;
    d.left = TruncCoord(static_cast<float>(x) + fw / 2 - fw * scale / 2);
    d.top = TruncCoord(static_cast<float>(y) + fh / 2 - fh * scale / 2);
    d.right = TruncCoord(static_cast<double>(d.left) + TruncCoord(fw * scale));
    d.bottom = TruncCoord(static_cast<double>(d.top) + TruncCoord(fh * scale));
    const RECT d0 = d;
    if (!dest->ClipRect(&d)) return 0;

    // Each destination edge the clip moved moves the same source edge by the
    // distance over the scale (a clip leaves scale 0 nothing to move).
    auto moved = [scale](LONG now, LONG before) -> LONG {
        const LONG delta = now - before;
        return (delta == 0 || scale == 0.0f) ? 0 : TruncCoord(static_cast<float>(delta) / scale);
    };
    r.top += moved(d.top, d0.top);
    r.left += moved(d.left, d0.left);
    r.bottom += moved(d.bottom, d0.bottom);
    r.right += moved(d.right, d0.right);
    return StretchBlt(engine, dest, src, &d, &r, keyed, true);
}

int StretchToSize(CQNDXVideoEngine* engine, CQNDXSurface* dest, CQNDXSurface* src, int x, int y,
                  const RECT* srcRect, int width, int height, bool keyed) {
    if (!frame::HaveSurfaces(dest, src)) return -1;
    RECT r = frame::SourceRect(src, srcRect);
    if (!src->ClipRect(&r)) return 0;
    const float fw = static_cast<float>(r.right - r.left);
    const float fh = static_cast<float>(r.bottom - r.top);
    if (width <= 0 || height <= 0) return 0;

    RECT d = {x, y, TruncCoord(static_cast<double>(x) + width), TruncCoord(static_cast<double>(y) + height)};
    const RECT d0 = d;
    if (!dest->ClipRect(&d)) return 0;
    r.top += TruncCoord(static_cast<float>(d.top - d0.top) * fh / static_cast<float>(height));
    r.left += TruncCoord(static_cast<float>(d.left - d0.left) * fw / static_cast<float>(width));
    r.bottom += TruncCoord(static_cast<float>(d.bottom - d0.bottom) * fh / static_cast<float>(height));
    r.right += TruncCoord(static_cast<float>(d.right - d0.right) * fw / static_cast<float>(width));
    // Only the plain stretch caches its source.
    return StretchBlt(engine, dest, src, &d, &r, keyed, !keyed);
}

}  // namespace

int CQNDXVideoEngine::BlitStretch(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect,
                                  float scale) {
    return Zoom(this, dest, src, x, y, srcRect, scale, false);
}

int CQNDXVideoEngine::BlitStretchKeyed(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect,
                                       float scale) {
    return Zoom(this, dest, src, x, y, srcRect, scale, true);
}

int CQNDXVideoEngine::BlitStretchToSize(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect,
                                        int width, int height) {
    return StretchToSize(this, dest, src, x, y, srcRect, width, height, false);
}

int CQNDXVideoEngine::BlitStretchToSizeKeyed(CQNDXSurface* dest, CQNDXSurface* src, int x, int y,
                                             const RECT* srcRect, int width, int height) {
    return StretchToSize(this, dest, src, x, y, srcRect, width, height, true);
}

// ---------------------------------------------------------------------------
// Alpha and translucent blends

namespace {

// For an engine buffer that cannot be blended in place: blend a working
// copy of the area and copy it back, both copies with BltFast. A surface
// held by a device context or locked outside the engine accepts those; one
// with a clipper (the windowed primary) refuses the copy back, as it always
// has, and keeps its pixels. The copy is not registered: the blend's
// WorkingCopyID already holds the one surface ID a copy takes.
int BlendThroughCopy(CQNDXVideoEngine* engine, CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT& r,
                     Effect effect, const fx::EffectArgs& args) {
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    IDirectDrawSurface7* made = engine->GetDirectDraw() ? CreateSystemSurface(engine->GetDirectDraw(), w, h) : nullptr;
    if (!made) return -1;
    CQNDXSurface copy(made);  // takes the reference
    RECT area = {x, y, x + w, y + h};
    if (copy.GetDDSurface()->BltFast(0, 0, dest->GetDDSurface(), &area, DDBLTFAST_WAIT) < 0) return -1;
    {
        frame::LockPair locks(src, nullptr, &copy);
        // No memory to work on: nothing is touched, and the copy is not put back.
        if (!locks.ok()) return -1;
        RunEffect(effect, locks, r, 0, 0, args);
    }
    RECT all = {0, 0, w, h};
    if (dest->GetDDSurface()->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), copy.GetDDSurface(), &all,
                                      DDBLTFAST_WAIT) < 0)
        return -1;
    return 0;
}

bool HasClipper(IDirectDrawSurface7* surface) {
    IDirectDrawClipper* clipper = nullptr;
    if (surface->GetClipper(&clipper) < 0 || !clipper) return false;
    clipper->Release();
    return true;
}

// Blends onto an engine buffer (negative ID) in place where it can, else
// through a copy of the area. -1 where the buffer's area could not have
// been copied: a lost buffer, no memory to work on.
int BlendOntoBuffer(CQNDXVideoEngine* engine, CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT& r,
                    Effect effect, const fx::EffectArgs& args) {
    if (dest->GetDDSurface()->IsLost() != DD_OK) return -1;
    if (!HasClipper(dest->GetDDSurface())) {
        frame::LockPair locks(src, nullptr, dest);
        if (locks.ok()) {
            RunEffect(effect, locks, r, x, y, args);
            return 0;
        }
        if (!locks.destBusy()) return -1;  // no memory to work on: nothing is touched
    }
    return BlendThroughCopy(engine, dest, src, x, y, r, effect, args);
}

// The blend frame shared by the alpha and translucent blits: clip, lock the
// source and the destination, blend in place, cache the source. An engine
// buffer takes a surface ID for the call, as the working copy of its area
// does, and gives it back before the source is cached.
int Blend(CQNDXVideoEngine* engine, CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect,
          Effect effect, uint32_t weight) {
    if (!frame::HaveSurfaces(dest, src)) return -1;
    RECT r = frame::SourceRect(src, srcRect);
    if (IsEmpty(r) || !src->ClipBlit(dest, &x, &y, &r) || IsEmpty(r)) return 0;
    const fx::EffectArgs args{weight, fx::IsKeyed(effect) ? frame::SourceKey(src) : 0};
    if (dest->GetID() >= 0) {
        frame::LockPair locks(src, nullptr, dest);
        if (!locks.ok()) return -1;  // no memory to work on: nothing is touched
        RunEffect(effect, locks, r, x, y, args);
    } else {
        frame::WorkingCopyID working(engine);
        if (!working.held() || BlendOntoBuffer(engine, dest, src, x, y, r, effect, args) < 0) return -1;
    }
    frame::CacheSource(engine, dest, src);
    return 0;
}

}  // namespace

int CQNDXVideoEngine::BlitHalfAlpha(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect) {
    return Blend(this, dest, src, x, y, srcRect, Effect::HalfAlpha, 0);
}

int CQNDXVideoEngine::BlitHalfAlphaKeyed(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect) {
    return Blend(this, dest, src, x, y, srcRect, Effect::HalfAlphaKeyed, 0);
}

int CQNDXVideoEngine::BlitAlpha(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect,
                                WORD alpha) {
    return Blend(this, dest, src, x, y, srcRect, Effect::Alpha, alpha);
}

int CQNDXVideoEngine::BlitAlphaKeyed(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect,
                                     WORD alpha) {
    return Blend(this, dest, src, x, y, srcRect, Effect::AlphaKeyed, alpha);
}

int CQNDXVideoEngine::BlitTranslucent(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect,
                                      WORD value) {
    return Blend(this, dest, src, x, y, srcRect, Effect::Translucent, value);
}

int CQNDXVideoEngine::BlitTranslucentKeyed(CQNDXSurface* dest, CQNDXSurface* src, int x, int y,
                                           const RECT* srcRect, WORD value) {
    return Blend(this, dest, src, x, y, srcRect, Effect::TranslucentKeyed, value);
}

int CQNDXVideoEngine::BlitHalfTranslucent(CQNDXSurface* dest, CQNDXSurface* src, int x, int y,
                                          const RECT* srcRect) {
    return Blend(this, dest, src, x, y, srcRect, Effect::HalfTranslucent, 0);
}

int CQNDXVideoEngine::BlitHalfTranslucentKeyed(CQNDXSurface* dest, CQNDXSurface* src, int x, int y,
                                               const RECT* srcRect) {
    return Blend(this, dest, src, x, y, srcRect, Effect::HalfTranslucentKeyed, 0);
}

// The keyed halving straight onto the destination, whatever its ID, reading
// a registered source's cached copy when the destination is an engine buffer.
int CQNDXVideoEngine::BlitHalfTranslucentKeyedAlt(CQNDXSurface* dest, CQNDXSurface* src, int x, int y,
                                                  const RECT* srcRect) {
    if (!frame::HaveSurfaces(dest, src)) return -1;
    RECT r = frame::SourceRect(src, srcRect);
    if (IsEmpty(r) || !src->ClipBlit(dest, &x, &y, &r) || IsEmpty(r)) return 0;
    const fx::EffectArgs args{0, frame::SourceKey(src)};
    const frame::ReadSource read = frame::SourceToRead(this, dest, src);
    {
        frame::LockPair locks(read, dest);
        if (!locks.ok()) return -1;
        RunEffect(Effect::HalfTranslucentKeyed, locks, r, x, y, args);
    }
    frame::CacheAfterRead(this, dest, read);
    return 0;
}
