// DirectDraw surfaces: creation and placement against the video-memory
// budget, locks, device contexts, colour keys, blits, flip chains, lost
// surfaces, clipper and palette attachment.
#include "ddraw/SurfaceImpl.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <new>
#include <string>

#include "pixels/Pixels.h"
#include "ddraw/DirectDrawImpl.h"
#include "ddraw/DisplayState.h"
#include "sim/SimInternal.h"

namespace qndx {
namespace platform {

namespace {

const DWORD kMaxSide = 32768;
const size_t kMaxBytes = size_t(512) << 20;  // one surface; larger requests are hostile or mistaken

const DWORD kRequestableCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX |
                               DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM |
                               DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE | DDSCAPS_WRITEONLY | DDSCAPS_OWNDC |
                               DDSCAPS_VISIBLE | DDSCAPS_ALLOCONLOAD;
const DWORD kAcceptedDescFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_BACKBUFFERCOUNT |
                                 DDSD_PIXELFORMAT | DDSD_CKSRCBLT | DDSD_REFRESHRATE | DDSD_TEXTURESTAGE;
const DWORD kUnsupportedDescFlags = DDSD_LPSURFACE | DDSD_ZBUFFERBITDEPTH | DDSD_ALPHABITDEPTH | DDSD_CKDESTOVERLAY |
                                    DDSD_CKDESTBLT | DDSD_CKSRCOVERLAY | DDSD_MIPMAPCOUNT | DDSD_LINEARSIZE;

std::string RectText(const RECT* r) {
    if (!r) return "NULL";
    char buf[64];
    std::snprintf(buf, sizeof buf, "{%d,%d,%d,%d}", r->left, r->top, r->right, r->bottom);
    return buf;
}

bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

bool Inside(const RECT& r, DWORD w, DWORD h) {
    return r.left >= 0 && r.top >= 0 && static_cast<int64_t>(r.right) <= w && static_cast<int64_t>(r.bottom) <= h;
}

RECT Whole(DWORD w, DWORD h) { return RECT{0, 0, static_cast<LONG>(w), static_cast<LONG>(h)}; }

bool ByAddress(const SurfaceImpl* a, const IDirectDrawSurface7* b) {
    return std::less<const IDirectDrawSurface7*>()(a, b);
}

}  // namespace

// ---------------------------------------------------------------------------
// Creation and lifetime.

SurfaceImpl::SurfaceImpl(DirectDrawImpl* owner, DWORD width, DWORD height, const DDPIXELFORMAT& format, DWORD caps)
    : m_owner(owner), m_width(width), m_height(height), m_format(format), m_kind(KindOfFormat(format)),
      m_caps(caps), m_bytesPerPixel(BytesPerPixel(m_kind)),
      m_keyBits(pixels::KeyBits(m_kind)) {
    if (m_owner) m_owner->AddRef();
    DisplayState& st = DisplayState::Get();
    st.surfaces.push_back(this);
    st.surfacesByAddress.insert(
        std::lower_bound(st.surfacesByAddress.begin(), st.surfacesByAddress.end(), this, ByAddress), this);
}

SurfaceImpl::~SurfaceImpl() {
    if (m_held && DisplayState::Get().presenter) DisplayState::Get().presenter->Forget(this);
    for (SurfaceImpl* back : m_backs) delete back;
    m_backs.clear();
    if (m_dc) DestroyDC(m_dc);
    if (m_clipper) m_clipper->Release();
    if (m_palette) m_palette->Release();
    DisplayState& st = DisplayState::Get();
    if (m_countsAgainstBudget) st.used -= std::min<uint64_t>(st.used, m_bytes);
    st.surfaces.erase(std::remove(st.surfaces.begin(), st.surfaces.end(), this), st.surfaces.end());
    auto at = std::lower_bound(st.surfacesByAddress.begin(), st.surfacesByAddress.end(), this, ByAddress);
    if (at != st.surfacesByAddress.end() && *at == this) st.surfacesByAddress.erase(at);
    if (st.lastFound == this) st.lastFound = nullptr;
    if (m_owner) {
        if (m_owner->primary == this) m_owner->primary = nullptr;
        m_owner->Release();
    }
}

namespace {

// The pitch of a surface of this width and kind.
size_t RowBytes(DWORD width, pixels::Kind kind) {
    const size_t bpp = static_cast<size_t>(BytesPerPixel(kind));
    const size_t align = DisplayState::Get().pitchAlign;
    return (static_cast<size_t>(width) * bpp + align - 1) / align * align;
}

}  // namespace

bool SurfaceImpl::Allocate() {
    const size_t row = RowBytes(m_width, m_kind);
    m_pitch = static_cast<LONG>(row);
    m_bytes = row * m_height;
    if (m_bytes > kMaxBytes) return false;
    // A plain surface is cleared at its first use, unless that use writes
    // every pixel (a picture drawn onto it whole): see Settle.
    m_unwritten = !(m_caps & (DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_BACKBUFFER | DDSCAPS_COMPLEX));
    m_bits.reset(m_unwritten ? new (std::nothrow) uint8_t[m_bytes] : new (std::nothrow) uint8_t[m_bytes]());
    return m_bits != nullptr;
}

HRESULT SurfaceImpl::Create(DirectDrawImpl* owner, const DDSURFACEDESC2& desc, SurfaceImpl** out) {
    *out = nullptr;
    DisplayState& st = DisplayState::Get();
    const DWORD flags = desc.dwFlags;
    if (flags & kUnsupportedDescFlags) return DDERR_UNSUPPORTED;
    if (flags & ~(kAcceptedDescFlags | kUnsupportedDescFlags)) return DDERR_INVALIDPARAMS;

    DWORD caps = (flags & DDSD_CAPS) ? desc.ddsCaps.dwCaps : DDSCAPS_OFFSCREENPLAIN;
    if (caps & ~kRequestableCaps) return DDERR_INVALIDCAPS;
    if ((caps & DDSCAPS_SYSTEMMEMORY) && (caps & DDSCAPS_VIDEOMEMORY)) return DDERR_INVALIDCAPS;

    const bool primary = (caps & DDSCAPS_PRIMARYSURFACE) != 0;
    DWORD width, height, backCount = 0;
    DDPIXELFORMAT format;
    if (primary) {
        if (owner->primary) return DDERR_PRIMARYSURFACEALREADYEXISTS;
        if (flags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT)) return DDERR_INVALIDPARAMS;
        if (caps & DDSCAPS_TEXTURE) return DDERR_INVALIDCAPS;
        const bool flip = (caps & DDSCAPS_FLIP) != 0;
        if (flip != ((caps & DDSCAPS_COMPLEX) != 0)) return DDERR_INVALIDCAPS;
        if (flip) {
            if (!(flags & DDSD_BACKBUFFERCOUNT) || desc.dwBackBufferCount == 0 || desc.dwBackBufferCount > 3)
                return DDERR_INVALIDPARAMS;
            if (!owner->Exclusive()) return DDERR_NOEXCLUSIVEMODE;
            backCount = desc.dwBackBufferCount;
        } else if (flags & DDSD_BACKBUFFERCOUNT) {
            return DDERR_INVALIDPARAMS;
        }
        width = st.current.width;
        height = st.current.height;
        format = FormatForBits(st.current.bitsPerPixel);
    } else {
        if (caps & (DDSCAPS_FLIP | DDSCAPS_COMPLEX)) return DDERR_INVALIDCAPS;
        if (flags & DDSD_BACKBUFFERCOUNT) return DDERR_INVALIDPARAMS;
        if ((flags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
        if (desc.dwWidth == 0 || desc.dwHeight == 0) return DDERR_INVALIDPARAMS;
        if (desc.dwWidth > kMaxSide) return DDERR_TOOBIGWIDTH;
        if (desc.dwHeight > kMaxSide) return DDERR_TOOBIGHEIGHT;
        width = desc.dwWidth;
        height = desc.dwHeight;
        if (flags & DDSD_PIXELFORMAT) {
            if (KindOfFormat(desc.ddpfPixelFormat) == pixels::kNone) return DDERR_INVALIDPIXELFORMAT;
            format = FormatForBits(KindOfFormat(desc.ddpfPixelFormat));
        } else {
            format = FormatForBits(st.current.bitsPerPixel);
        }
    }
    if (KindOfFormat(format) == pixels::kNone) return DDERR_INVALIDPIXELFORMAT;

    // Where it lives: asked-for video memory must fit in the budget; with no
    // memory asked for, video memory when it fits, else system memory.
    const DWORD asked = caps & (DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY);
    caps &= ~(DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM);

    // Video memory that is not there is refused before anything is
    // allocated: a cache asks again on every blit.
    const uint64_t total = static_cast<uint64_t>(RowBytes(width, KindOfFormat(format))) * height * (1 + backCount);
    if (asked == DDSCAPS_VIDEOMEMORY && st.used + total > st.budget) return DDERR_OUTOFVIDEOMEMORY;

    DWORD frontCaps = caps, backCaps = 0;
    if (backCount) {
        frontCaps |= DDSCAPS_FRONTBUFFER | DDSCAPS_VISIBLE;
        backCaps = (caps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_VISIBLE)) | DDSCAPS_BACKBUFFER;
    } else if (primary) {
        frontCaps |= DDSCAPS_VISIBLE;
    }
    SurfaceImpl* front = new (std::nothrow) SurfaceImpl(owner, width, height, format, frontCaps);
    if (!front) return DDERR_OUTOFMEMORY;
    if (!front->Allocate()) {
        delete front;
        return DDERR_OUTOFMEMORY;
    }
    for (DWORD i = 0; i < backCount; ++i) {
        SurfaceImpl* back = new (std::nothrow) SurfaceImpl(owner, width, height, format, backCaps);
        if (!back || !back->Allocate()) {
            delete back;
            delete front;
            return DDERR_OUTOFMEMORY;
        }
        back->m_refs = 0;  // lives as long as the front
        back->m_front = front;
        front->m_backs.push_back(back);
    }

    bool video;
    if (asked == DDSCAPS_VIDEOMEMORY) {
        video = true;
    } else if (asked == DDSCAPS_SYSTEMMEMORY) {
        video = false;
    } else {
        video = st.used + total <= st.budget;
    }
    const DWORD memCaps = video ? (DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM) : DDSCAPS_SYSTEMMEMORY;
    front->m_caps |= memCaps;
    front->m_countsAgainstBudget = video;
    for (SurfaceImpl* back : front->m_backs) {
        back->m_caps |= memCaps;
        back->m_countsAgainstBudget = video;
    }
    if (video) st.used += total;

    if (flags & DDSD_CKSRCBLT) {
        front->m_hasKey = true;
        front->m_key = desc.ddckCKSrcBlt;
        front->m_key.dwColorSpaceHighValue = front->m_key.dwColorSpaceLowValue;
    }
    if (primary) owner->primary = front;
    *out = front;
    return DD_OK;
}

SurfaceImpl* SurfaceImpl::FromInterface(IDirectDrawSurface7* surface) {
    if (!surface) return nullptr;
    DisplayState& st = DisplayState::Get();
    // A game blits one source many times in a row; the last one found is
    // forgotten when it dies.
    if (static_cast<IDirectDrawSurface7*>(st.lastFound) == surface) return st.lastFound;
    const std::vector<SurfaceImpl*>& all = st.surfacesByAddress;
    auto at = std::lower_bound(all.begin(), all.end(), surface, ByAddress);
    if (at != all.end() && static_cast<IDirectDrawSurface7*>(*at) == surface) return st.lastFound = *at;
    return nullptr;
}

HRESULT SurfaceImpl::QueryInterface(REFIID riid, void** ppvObject) {
    if (!ppvObject) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirectDrawSurface7) {
        AddRef();
        *ppvObject = static_cast<IDirectDrawSurface7*>(this);
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

ULONG SurfaceImpl::AddRef() { return ++m_refs; }

ULONG SurfaceImpl::Release() {
    if (m_refs == 0) return 0;  // a back buffer nobody holds: it belongs to its front
    ULONG left = --m_refs;
    if (left == 0 && !m_front) delete this;
    return left;
}

// ---------------------------------------------------------------------------
// Helpers.

PixelTarget SurfaceImpl::Target(bool settle) const {
    PixelTarget t;
    t.bits = m_bits.get();
    t.unwritten = m_unwritten ? &m_unwritten : nullptr;
    if (settle) t.Settle();
    t.pitch = m_pitch;
    t.width = static_cast<int32_t>(m_width);
    t.height = static_cast<int32_t>(m_height);
    t.kind = m_kind;
    t.palette = (m_kind == pixels::kIndexed8 && m_palette) ? m_palette->Entries() : nullptr;
    return t;
}

SurfaceMemory SurfaceImpl::Memory() const {
    SurfaceMemory m;
    m.bits = m_bits.get();
    m.pitch = m_pitch;
    m.width = m_width;
    m.height = m_height;
    m.format = m_format;
    m.kind = m_kind;
    m.palette = (m_kind == pixels::kIndexed8 && m_palette) ? m_palette->Entries() : nullptr;
    return m;
}

bool GetSurfaceMemory(IDirectDrawSurface7* surface, SurfaceMemory* out) {
    SurfaceImpl* s = SurfaceImpl::FromInterface(surface);
    if (!s || !out) return false;
    s->Settle();
    s->DropSpans();
    *out = s->Memory();
    return true;
}

SurfaceImpl* SurfaceImpl::Front() { return m_front ? m_front : this; }

void SurfaceImpl::MarkLost(bool wrongMode) {
    SurfaceImpl* front = Front();
    front->m_lost = true;
    front->m_wrongMode = front->m_wrongMode || wrongMode;
    for (SurfaceImpl* back : front->m_backs) back->m_lost = true;
    front->DropChainSpans();
}

void SurfaceImpl::DropSpans() { m_spans.Drop(); }

void SurfaceImpl::DropChainSpans() {
    SurfaceImpl* front = Front();
    front->DropSpans();
    for (SurfaceImpl* back : front->m_backs) back->DropSpans();
}

pixels::Plane SurfaceImpl::Plane() const {
    pixels::Plane p;
    p.bits = m_bits.get();
    p.pitch = m_pitch;
    p.width = static_cast<int>(m_width);
    p.height = static_cast<int>(m_height);
    p.kind = m_kind;
    return p;
}

HRESULT SurfaceImpl::CheckUsable() const { return m_lost ? DDERR_SURFACELOST : DD_OK; }

HRESULT SurfaceImpl::CheckSource(IDirectDrawSurface7* lpSrc, const RECT* lpSrcRect, SurfaceImpl** out,
                                 pixels::Area* area) {
    SurfaceImpl* src = FromInterface(lpSrc);
    if (!lpSrc) return DDERR_INVALIDPARAMS;
    if (!src) return DDERR_INVALIDOBJECT;
    if (src->m_lost) return DDERR_SURFACELOST;
    if (src->m_kind != m_kind) return DDERR_INVALIDPIXELFORMAT;
    // Edge by edge: the caller has just written them one by one, and a load
    // of the whole rectangle would wait for those stores.
    const RECT r = lpSrcRect ? RECT{lpSrcRect->left, lpSrcRect->top, lpSrcRect->right, lpSrcRect->bottom}
                             : Whole(src->m_width, src->m_height);
    if (Empty(r) || !Inside(r, src->m_width, src->m_height)) return DDERR_INVALIDPARAMS;
    *area = pixels::Area{r.left, r.top, 0, 0, r.right - r.left, r.bottom - r.top};
    *out = src;
    return DD_OK;
}

void SurfaceImpl::FillGarbage() {
    // What a restored surface holds: memory nobody wrote. A fixed pattern
    // keeps tests repeatable.
    DropSpans();
    m_unwritten = false;
    uint32_t state = 0x9E3779B9u ^ m_width ^ (m_height << 16);
    for (size_t i = 0; i < m_bytes; ++i) {
        state = state * 1664525u + 1013904223u;
        m_bits[i] = static_cast<uint8_t>(state >> 24);
    }
}

void SurfaceImpl::NotifyWrite(const RECT* dirty) {
    if (!IsPrimary()) return;
    if (Presenter* presenter = DisplayState::Get().presenter) presenter->PrimaryWritten(this, dirty);
}

void SurfaceImpl::SettleHeld() {
    if (Presenter* presenter = DisplayState::Get().presenter) presenter->GiveBack(this);
    // Without a presenter nothing can be held any more.
    m_held = false;
}

bool SurfaceImpl::OfferToHolder(SurfaceImpl* src, const RECT& dst, const RECT& srcRect, const RECT& clip,
                                DWORD ddfx, bool keyed) {
    Presenter* presenter = DisplayState::Get().presenter;
    if (!presenter || src == this || src->m_held || keyed || ddfx != 0) return false;
    // Someone drawing into the memory directly keeps it.
    if (m_locked || m_dc) return false;
    if (srcRect.right - srcRect.left != dst.right - dst.left || srcRect.bottom - srcRect.top != dst.bottom - dst.top)
        return false;
    // The clipped part of a 1:1 copy: the source moves with the clip.
    const RECT from = {srcRect.left + (clip.left - dst.left), srcRect.top + (clip.top - dst.top),
                       srcRect.left + (clip.right - dst.left), srcRect.top + (clip.bottom - dst.top)};
    return presenter->Hold(this, src, from, clip);
}

// ---------------------------------------------------------------------------
// Locks and device contexts.

static void FillDescription(const SurfaceImpl& s, DDSURFACEDESC2* d, void* bits, bool hasKey, const DDCOLORKEY& key,
                            DWORD backCount) {
    // Field by field rather than a memset first: this is on every lock, and
    // a memset of the whole description compiles to a string store whose
    // start-up costs as much as a small blit's pixels.
    d->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
    // Height and width in one store: a reader loading both at once would
    // wait for two narrower stores.
    const uint64_t size = static_cast<uint64_t>(s.Width()) << 32 | s.Height();
    std::memcpy(&d->dwHeight, &size, sizeof size);
    d->lPitch = s.Pitch();
    d->dwBackBufferCount = backCount;
    d->dwMipMapCount = 0;
    d->dwAlphaBitDepth = 0;
    d->dwReserved = 0;
    d->lpSurface = bits;
    d->ddckCKDestOverlay = DDCOLORKEY{};
    d->ddckCKDestBlt = DDCOLORKEY{};
    d->ddckCKSrcOverlay = DDCOLORKEY{};
    d->ddckCKSrcBlt = hasKey ? key : DDCOLORKEY{};
    d->ddpfPixelFormat = s.Format();
    d->ddsCaps = DDSCAPS2{};
    d->ddsCaps.dwCaps = s.Caps();
    d->dwTextureStage = 0;
    if (bits) d->dwFlags |= DDSD_LPSURFACE;
    if (hasKey) d->dwFlags |= DDSD_CKSRCBLT;
    if (backCount) d->dwFlags |= DDSD_BACKBUFFERCOUNT;
}

HRESULT SurfaceImpl::Lock(LPRECT lpDestRect, LPDDSURFACEDESC2 desc, DWORD dwFlags, HANDLE) {
    HRESULT hr;
    if (sim::internal::Enter("IDirectDrawSurface7::Lock", &hr,
                             [&] { return RectText(lpDestRect) + " " + Hex(dwFlags); }))
        return hr;
    if (!desc || !SizeTagOk(desc->dwSize, QNDX_DDSURFACEDESC2_TAG, sizeof(DDSURFACEDESC2))) return DDERR_INVALIDPARAMS;
    if (m_lost) return DDERR_SURFACELOST;
    if (m_locked || m_dc) return DDERR_SURFACEBUSY;
    // The whole surface (the usual lock) needs no checks or offsets.
    const RECT r = lpDestRect ? *lpDestRect : Whole(m_width, m_height);
    if (lpDestRect && (Empty(r) || !Inside(r, m_width, m_height))) return DDERR_INVALIDPARAMS;
    Settle();
    uint8_t* bits = m_bits.get();
    if (lpDestRect) bits += static_cast<ptrdiff_t>(r.top) * m_pitch + static_cast<ptrdiff_t>(r.left) * m_bytesPerPixel;
    FillDescription(*this, desc, bits, m_hasKey, m_key, static_cast<DWORD>(m_backs.size()));
    m_locked = true;
    m_lockReadOnly = (dwFlags & DDLOCK_READONLY) != 0;
    // A reader may blit from the memory through the pixel library's frame,
    // which then finds the span form; a writer may change the pixels.
    if (m_lockReadOnly)
        m_spans.Attach(Plane());
    else
        m_spans.HoldOff(true);
    m_lockRect = r;
    return DD_OK;
}

HRESULT SurfaceImpl::Unlock(LPRECT) {
    HRESULT hr;
    if (sim::internal::Enter("IDirectDrawSurface7::Unlock", &hr)) return hr;
    if (!m_locked) return DDERR_NOTLOCKED;
    // A surface lost while locked stays locked until restored, so that the
    // caller's restore-and-retry ends in a real unlock.
    if (m_lost) return DDERR_SURFACELOST;
    m_locked = false;
    if (m_lockReadOnly) return DD_OK;
    m_spans.HoldOff(false);
    NotifyWrite(&m_lockRect);
    return DD_OK;
}

bool SurfaceImpl::RelockUnchanged(const DDSURFACEDESC2& held, bool write) {
    if (sim::internal::Armed() || m_lost || m_locked || m_dc || IsPrimary()) return false;
    // What a whole-surface lock fills in that can change after creation.
    const DWORD flags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_LPSURFACE |
                        (m_hasKey ? DDSD_CKSRCBLT : 0) | (m_backs.empty() ? 0 : DDSD_BACKBUFFERCOUNT);
    const DDCOLORKEY key = m_hasKey ? m_key : DDCOLORKEY{};
    if (!SizeTagOk(held.dwSize, QNDX_DDSURFACEDESC2_TAG, sizeof(DDSURFACEDESC2)) || held.dwFlags != flags || held.lpSurface != m_bits.get() ||
        held.lPitch != m_pitch || held.dwWidth != m_width || held.dwHeight != m_height ||
        held.ddckCKSrcBlt.dwColorSpaceLowValue != key.dwColorSpaceLowValue ||
        held.ddckCKSrcBlt.dwColorSpaceHighValue != key.dwColorSpaceHighValue)
        return false;
    Settle();
    // As Lock then Unlock: a write drops the span form, a read finds it.
    if (write)
        m_spans.HoldOff(false);
    else
        m_spans.Attach(Plane());
    return true;
}

HRESULT SurfaceImpl::GetDC(HDC* lphDC) {
    HRESULT hr;
    if (sim::internal::Enter("IDirectDrawSurface7::GetDC", &hr)) return hr;
    if (!lphDC) return DDERR_INVALIDPARAMS;
    *lphDC = nullptr;
    if (m_lost) return DDERR_SURFACELOST;
    if (m_dc) return DDERR_DCALREADYCREATED;
    if (m_locked) return DDERR_SURFACEBUSY;
    std::unique_ptr<DeviceContext> dc(new (std::nothrow) DeviceContext(DeviceContext::Kind::Surface));
    if (!dc) return DDERR_OUTOFMEMORY;
    dc->owner = this;
    Settle(false);
    dc->target = Target(false);
    m_dc = RegisterDC(std::move(dc));
    if (!m_dc) return DDERR_CANTCREATEDC;
    m_spans.HoldOff(true);
    *lphDC = m_dc;
    return DD_OK;
}

HRESULT SurfaceImpl::ReleaseDC(HDC hDC) {
    HRESULT hr;
    if (sim::internal::Enter("IDirectDrawSurface7::ReleaseDC", &hr)) return hr;
    if (!m_dc) return DDERR_NODC;
    if (hDC != m_dc) return DDERR_INVALIDPARAMS;
    DestroyDC(m_dc);
    m_dc = nullptr;
    m_spans.HoldOff(false);
    NotifyWrite(nullptr);
    return DD_OK;
}

// ---------------------------------------------------------------------------
// Colour keys.

HRESULT SurfaceImpl::SetColorKey(DWORD dwFlags, LPDDCOLORKEY key) {
    HRESULT hr;
    if (sim::internal::Enter("IDirectDrawSurface7::SetColorKey", &hr, [&] {
            return Hex(dwFlags) + " " + (key ? Hex(key->dwColorSpaceLowValue) : std::string("NULL"));
        }))
        return hr;
    if (dwFlags & (DDCKEY_DESTBLT | DDCKEY_DESTOVERLAY | DDCKEY_SRCOVERLAY)) return DDERR_UNSUPPORTED;
    if (!(dwFlags & DDCKEY_SRCBLT) || (dwFlags & ~(DDCKEY_SRCBLT | DDCKEY_COLORSPACE))) return DDERR_INVALIDPARAMS;
    if (!key) {
        m_hasKey = false;
        DropSpans();
        return DD_OK;
    }
    if ((dwFlags & DDCKEY_COLORSPACE) && key->dwColorSpaceHighValue != key->dwColorSpaceLowValue)
        return DDERR_NOCOLORKEYHW;
    DropSpans();
    m_hasKey = true;
    m_key.dwColorSpaceLowValue = key->dwColorSpaceLowValue;
    m_key.dwColorSpaceHighValue = key->dwColorSpaceLowValue;
    return DD_OK;
}

HRESULT SurfaceImpl::GetColorKey(DWORD dwFlags, LPDDCOLORKEY key) {
    HRESULT hr;
    if (sim::internal::TakeFault("IDirectDrawSurface7::GetColorKey", &hr)) return hr;
    if (!key) return DDERR_INVALIDPARAMS;
    if (dwFlags != DDCKEY_SRCBLT) {
        if (dwFlags & (DDCKEY_DESTBLT | DDCKEY_DESTOVERLAY | DDCKEY_SRCOVERLAY)) return DDERR_NOCOLORKEY;
        return DDERR_INVALIDPARAMS;
    }
    if (!m_hasKey) return DDERR_NOCOLORKEY;
    *key = m_key;
    return DD_OK;
}

// ---------------------------------------------------------------------------
// Blits.

void SurfaceImpl::CopyFrom(SurfaceImpl* src, const pixels::Area& a, bool keyed, DWORD key) {
    Settle();
    src->Settle();
    DropSpans();
    pixels::Job job;
    job.op = keyed ? pixels::Op::Keyed : pixels::Op::Copy;
    // Keys compare and write what the keyed copies do: the whole pixel at 8,
    // 15 and 16 bits, the colour bytes at 24 and 32 (written with a top
    // byte of 0).
    job.key = key & m_keyBits;
    job.spans = &src->m_spans;
    pixels::Blit(Plane(), src->Plane(), a, job);
}

HRESULT SurfaceImpl::BlitFrom(SurfaceImpl* src, const RECT& dst, const RECT& srcRect, const RECT& clip, DWORD ddfx,
                              bool keyed, DWORD key) {
    const int sw = srcRect.right - srcRect.left, sh = srcRect.bottom - srcRect.top;
    const int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
    const bool mirrorX = (ddfx & DDBLTFX_MIRRORLEFTRIGHT) != 0;
    const bool mirrorY = (ddfx & DDBLTFX_MIRRORUPDOWN) != 0;
    if (sw == dw && sh == dh && !mirrorX && !mirrorY) {
        pixels::Area a{srcRect.left, srcRect.top, dst.left, dst.top, sw, sh};
        if (pixels::ClipArea(&a, clip.left, clip.top, clip.right, clip.bottom)) CopyFrom(src, a, keyed, key);
        return DD_OK;
    }
    Settle();
    src->Settle();
    DropSpans();
    pixels::StretchArgs args;
    args.srcW = sw;
    args.srcH = sh;
    args.dstW = dw;
    args.dstH = dh;
    // Only the clip's part is drawn; it maps as the whole rectangle would.
    args.x0 = clip.left - dst.left;
    args.y0 = clip.top - dst.top;
    args.x1 = clip.right - dst.left;
    args.y1 = clip.bottom - dst.top;
    args.mirrorX = mirrorX;
    args.mirrorY = mirrorY;
    args.keyed = keyed;
    args.key = key & m_keyBits;
    pixels::StretchBlit(Plane(), src->Plane(), srcRect.left, srcRect.top, dst.left, dst.top, args);
    return DD_OK;
}

HRESULT SurfaceImpl::Blt(LPRECT lpDestRect, LPDIRECTDRAWSURFACE7 lpSrc, LPRECT lpSrcRect, DWORD dwFlags,
                         LPDDBLTFX fx) {
    HRESULT hr;
    if (sim::internal::Enter("IDirectDrawSurface7::Blt", &hr,
                             [&] { return RectText(lpDestRect) + " " + RectText(lpSrcRect) + " " + Hex(dwFlags); }))
        return hr;
    const DWORD supported = DDBLT_COLORFILL | DDBLT_DDFX | DDBLT_KEYSRC | DDBLT_KEYSRCOVERRIDE | DDBLT_ROP |
                            DDBLT_WAIT | DDBLT_ASYNC | DDBLT_DONOTWAIT;
    if (dwFlags & ~supported) return DDERR_UNSUPPORTED;
    const bool needFx = (dwFlags & (DDBLT_COLORFILL | DDBLT_DDFX | DDBLT_KEYSRCOVERRIDE | DDBLT_ROP)) != 0;
    if (needFx && (!fx || !SizeTagOk(fx->dwSize, QNDX_DDBLTFX_TAG, sizeof(DDBLTFX)))) return DDERR_INVALIDPARAMS;
    if (m_lost) return DDERR_SURFACELOST;

    const RECT bounds = Whole(m_width, m_height);
    RECT dst = lpDestRect ? *lpDestRect : bounds;
    if (Empty(dst)) return DDERR_INVALIDPARAMS;
    // With a clipper the visible part is drawn (a window partly off screen);
    // without one the rectangle must lie inside the surface.
    RECT clip = dst;
    if (m_clipper) {
        clip.left = std::max(clip.left, bounds.left);
        clip.top = std::max(clip.top, bounds.top);
        clip.right = std::min(clip.right, bounds.right);
        clip.bottom = std::min(clip.bottom, bounds.bottom);
    } else if (!Inside(dst, m_width, m_height)) {
        return DDERR_INVALIDPARAMS;
    }

    if (dwFlags & DDBLT_COLORFILL) {
        if (dwFlags & (DDBLT_DDFX | DDBLT_KEYSRC | DDBLT_KEYSRCOVERRIDE | DDBLT_ROP)) return DDERR_INVALIDPARAMS;
        if (Empty(clip)) return DD_OK;
        Settle();
        DropSpans();
        const int bpp = BytesPerPixel(m_kind);
        pixels::Fill(m_bits.get() + static_cast<ptrdiff_t>(clip.top) * m_pitch + static_cast<ptrdiff_t>(clip.left) * bpp,
                   m_pitch, bpp, clip.right - clip.left, clip.bottom - clip.top, fx->dwFillColor);
        NotifyWrite(&clip);
        return DD_OK;
    }
    if ((dwFlags & DDBLT_ROP) && fx->dwROP != SRCCOPY) return DDERR_NORASTEROPHW;

    SurfaceImpl* src = nullptr;
    pixels::Area from;
    if ((hr = CheckSource(lpSrc, lpSrcRect, &src, &from)) != DD_OK) return hr;
    const RECT srcRect = {from.sx, from.sy, from.sx + from.w, from.sy + from.h};

    DWORD ddfx = 0;
    if (dwFlags & DDBLT_DDFX) {
        ddfx = fx->dwDDFX;
        if (ddfx & (DDBLTFX_ROTATE90 | DDBLTFX_ROTATE180 | DDBLTFX_ROTATE270)) return DDERR_NOROTATIONHW;
        if (ddfx & ~(DDBLTFX_MIRRORLEFTRIGHT | DDBLTFX_MIRRORUPDOWN | DDBLTFX_ARITHSTRETCHY | DDBLTFX_NOTEARING))
            return DDERR_UNSUPPORTED;
    }
    bool keyed = false;
    DWORD key = 0;
    if (dwFlags & DDBLT_KEYSRCOVERRIDE) {
        keyed = true;
        key = fx->ddckSrcColorkey.dwColorSpaceLowValue;
    } else if (dwFlags & DDBLT_KEYSRC) {
        if (!src->m_hasKey) return DDERR_NOCOLORKEY;
        keyed = true;
        key = src->m_key.dwColorSpaceLowValue;
    }
    if (Empty(clip)) return DD_OK;
    if (IsPrimary() && OfferToHolder(src, dst, srcRect, clip, ddfx, keyed)) return DD_OK;
    hr = BlitFrom(src, dst, srcRect, clip, ddfx, keyed, key);
    if (SUCCEEDED(hr)) NotifyWrite(&clip);
    return hr;
}

HRESULT SurfaceImpl::BltFast(DWORD dwX, DWORD dwY, LPDIRECTDRAWSURFACE7 lpSrc, LPRECT lpSrcRect, DWORD dwTrans) {
    HRESULT hr;
    if (sim::internal::Enter("IDirectDrawSurface7::BltFast", &hr, [&] {
            return std::to_string(dwX) + "," + std::to_string(dwY) + " " + RectText(lpSrcRect) + " " + Hex(dwTrans);
        }))
        return hr;
    if (dwTrans & ~(DDBLTFAST_SRCCOLORKEY | DDBLTFAST_DESTCOLORKEY | DDBLTFAST_WAIT | DDBLTFAST_DONOTWAIT))
        return DDERR_INVALIDPARAMS;
    if (dwTrans & DDBLTFAST_DESTCOLORKEY) return DDERR_UNSUPPORTED;
    if (m_lost) return DDERR_SURFACELOST;
    if (m_clipper) return DDERR_BLTFASTCANTCLIP;
    SurfaceImpl* src = nullptr;
    pixels::Area a;
    if ((hr = CheckSource(lpSrc, lpSrcRect, &src, &a)) != DD_OK) return hr;
    const uint64_t right = static_cast<uint64_t>(dwX) + static_cast<uint64_t>(a.w);
    const uint64_t bottom = static_cast<uint64_t>(dwY) + static_cast<uint64_t>(a.h);
    if (right > m_width || bottom > m_height) return DDERR_INVALIDPARAMS;
    a.dx = static_cast<int>(dwX);
    a.dy = static_cast<int>(dwY);
    bool keyed = false;
    if (dwTrans & DDBLTFAST_SRCCOLORKEY) {
        if (!src->m_hasKey) return DDERR_NOCOLORKEY;
        keyed = true;
    }
    CopyFrom(src, a, keyed, src->m_key.dwColorSpaceLowValue);
    if (IsPrimary()) {
        const RECT dst = {a.dx, a.dy, a.dx + a.w, a.dy + a.h};
        NotifyWrite(&dst);
    }
    return DD_OK;
}

// ---------------------------------------------------------------------------
// Flip chains and lost surfaces.

HRESULT SurfaceImpl::Flip(LPDIRECTDRAWSURFACE7 lpOverride, DWORD dwFlags) {
    HRESULT hr;
    if (sim::internal::Enter("IDirectDrawSurface7::Flip", &hr, [&] { return Hex(dwFlags); })) return hr;
    if (m_backs.empty()) return DDERR_NOTFLIPPABLE;
    if (dwFlags & ~(DDFLIP_WAIT | DDFLIP_NOVSYNC | DDFLIP_DONOTWAIT)) return DDERR_INVALIDPARAMS;
    SurfaceImpl* target = nullptr;
    if (lpOverride) {
        for (SurfaceImpl* back : m_backs)
            if (static_cast<IDirectDrawSurface7*>(back) == lpOverride) target = back;
        if (!target) return DDERR_INVALIDPARAMS;
    }
    if (m_lost) return DDERR_SURFACELOST;
    if (m_locked || m_dc) return DDERR_SURFACEBUSY;
    for (SurfaceImpl* back : m_backs)
        if (back->m_locked || back->m_dc) return DDERR_SURFACEBUSY;
    Settle();
    DropChainSpans();
    if (target) {
        std::swap(m_bits, target->m_bits);
    } else {
        // front <- back 1 <- back 2 ... <- front
        std::swap(m_bits, m_backs[0]->m_bits);
        for (size_t i = 1; i < m_backs.size(); ++i) std::swap(m_backs[i - 1]->m_bits, m_backs[i]->m_bits);
    }
    NotifyWrite(nullptr);
    return DD_OK;
}

HRESULT SurfaceImpl::GetAttachedSurface(LPDDSCAPS2 caps, LPDIRECTDRAWSURFACE7* out) {
    HRESULT hr;
    if (sim::internal::Enter("IDirectDrawSurface7::GetAttachedSurface", &hr,
                             [&] { return caps ? Hex(caps->dwCaps) : "NULL"; }))
        return hr;
    if (!caps || !out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    for (SurfaceImpl* back : m_backs) {
        if ((back->m_caps & caps->dwCaps) == caps->dwCaps) {
            back->AddRef();
            *out = back;
            return DD_OK;
        }
    }
    return DDERR_NOTFOUND;
}

HRESULT SurfaceImpl::IsLost() {
    HRESULT hr;
    if (sim::internal::TakeFault("IDirectDrawSurface7::IsLost", &hr)) return hr;
    return m_lost ? DDERR_SURFACELOST : DD_OK;
}

HRESULT SurfaceImpl::Restore() {
    HRESULT hr;
    if (sim::internal::Enter("IDirectDrawSurface7::Restore", &hr)) return hr;
    if (m_front) return DDERR_IMPLICITLYCREATED;  // the chain restores through its front
    if (!m_lost) return DD_OK;
    if (m_wrongMode) return DDERR_WRONGMODE;
    Settle();
    FillGarbage();
    m_lost = false;
    for (SurfaceImpl* back : m_backs) {
        back->FillGarbage();
        back->m_lost = false;
    }
    NotifyWrite(nullptr);
    return DD_OK;
}

// ---------------------------------------------------------------------------
// Attachments and descriptions.

HRESULT SurfaceImpl::SetClipper(LPDIRECTDRAWCLIPPER lpDDClipper) {
    HRESULT hr;
    if (sim::internal::Enter("IDirectDrawSurface7::SetClipper", &hr, lpDDClipper ? "clipper" : "NULL")) return hr;
    ClipperImpl* clipper = nullptr;
    if (lpDDClipper) {
        clipper = dynamic_cast<ClipperImpl*>(lpDDClipper);
        if (!clipper) return DDERR_INVALIDOBJECT;
        clipper->AddRef();
    }
    if (m_clipper) m_clipper->Release();
    m_clipper = clipper;
    return DD_OK;
}

HRESULT SurfaceImpl::GetClipper(LPDIRECTDRAWCLIPPER* out) {
    HRESULT hr;
    if (sim::internal::TakeFault("IDirectDrawSurface7::GetClipper", &hr)) return hr;
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!m_clipper) return DDERR_NOCLIPPERATTACHED;
    m_clipper->AddRef();
    *out = m_clipper;
    return DD_OK;
}

HWND SurfaceImpl::ClipperWindow() const { return m_clipper ? m_clipper->Window() : nullptr; }

HRESULT SurfaceImpl::SetPalette(LPDIRECTDRAWPALETTE lpDDPalette) {
    HRESULT hr;
    if (sim::internal::TakeFault("IDirectDrawSurface7::SetPalette", &hr)) return hr;
    PaletteImpl* palette = nullptr;
    if (lpDDPalette) {
        palette = dynamic_cast<PaletteImpl*>(lpDDPalette);
        if (!palette) return DDERR_INVALIDOBJECT;
        palette->AddRef();
    }
    if (m_palette) m_palette->Release();
    m_palette = palette;
    return DD_OK;
}

HRESULT SurfaceImpl::GetPalette(LPDIRECTDRAWPALETTE* out) {
    HRESULT hr;
    if (sim::internal::TakeFault("IDirectDrawSurface7::GetPalette", &hr)) return hr;
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!m_palette) return DDERR_NOPALETTEATTACHED;
    m_palette->AddRef();
    *out = m_palette;
    return DD_OK;
}

HRESULT SurfaceImpl::GetPixelFormat(LPDDPIXELFORMAT pf) {
    HRESULT hr;
    if (sim::internal::TakeFault("IDirectDrawSurface7::GetPixelFormat", &hr)) return hr;
    if (!pf || pf->dwSize != QNDX_DDPIXELFORMAT_TAG) return DDERR_INVALIDPARAMS;
    *pf = m_format;
    return DD_OK;
}

HRESULT SurfaceImpl::GetSurfaceDesc(LPDDSURFACEDESC2 desc) {
    HRESULT hr;
    if (sim::internal::TakeFault("IDirectDrawSurface7::GetSurfaceDesc", &hr)) return hr;
    if (!desc || !SizeTagOk(desc->dwSize, QNDX_DDSURFACEDESC2_TAG, sizeof(DDSURFACEDESC2))) return DDERR_INVALIDPARAMS;
    FillDescription(*this, desc, nullptr, m_hasKey, m_key, static_cast<DWORD>(m_backs.size()));
    return DD_OK;
}

HRESULT SurfaceImpl::GetCaps(LPDDSCAPS2 caps) {
    if (!caps) return DDERR_INVALIDPARAMS;
    std::memset(caps, 0, sizeof *caps);
    caps->dwCaps = m_caps;
    return DD_OK;
}

}  // namespace platform
}  // namespace qndx
