// The surface object: construction and copying, creation and the four image
// loads with their bitmap-resource fallback, nested locks and device
// contexts, clipping, colour keys, restoring and reloading, change notices and
// the blit operations' hand-over to the video engine. Software drawing is in
// SurfaceDraw.cpp, text in SurfaceText.cpp, BMP saving and alpha-mask files in
// SurfaceFiles.cpp.
#include "GraphicEngine/Surface.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "GraphicEngine/Cache.h"
#include "GraphicEngine/GraphicsLog.h"
#include "GraphicEngine/ImageLoader/ImageLoader.h"
#include "GraphicEngine/VideoEngine.h"
#include "platform/Kernel.h"

namespace {

const int kLostRetries = 100;
const int kStillDrawingRetries = 1000;

void CopyName(char (&dest)[256], const char* src) {
    // Longer names are cut at 255 characters.
    std::snprintf(dest, sizeof dest, "%s", src ? src : "");
}

// A description for a new surface like `from`: its size, memory caps and
// pixel format only (never its pitch, bits pointer or chain caps).
DDSURFACEDESC2 CopyDescription(const DDSURFACEDESC2& from, int width, int height) {
    DWORD caps = from.ddsCaps.dwCaps & (DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY | DDSCAPS_TEXTURE);
    if (!(caps & (DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY))) caps |= DDSCAPS_SYSTEMMEMORY;
    DDSURFACEDESC2 desc = DescribeSurface(caps | DDSCAPS_OFFSCREENPLAIN, from.dwWidth ? from.dwWidth : width,
                                          from.dwHeight ? from.dwHeight : height);
    if ((from.dwFlags & DDSD_PIXELFORMAT) && from.ddpfPixelFormat.dwRGBBitCount != 0) {
        desc.dwFlags |= DDSD_PIXELFORMAT;
        desc.ddpfPixelFormat = from.ddpfPixelFormat;
    }
    return desc;
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and destruction

void CQNDXSurface::InitMembers() {
    m_pVideoEngine = nullptr;
    std::memset(&m_Desc, 0, sizeof(m_Desc));
    m_pDDSurface = nullptr;
    m_iWidth = 0;
    m_iHeight = 0;
    m_iImageFormat = 0;
    std::memset(m_szFileName, 0, sizeof(m_szFileName));
    m_hDC = nullptr;
    m_ColorKey = 0;
    m_ClipRect = RECT{0, 0, 0, 0};
    std::memset(&m_PixelFormat, 0, sizeof(m_PixelFormat));
    m_bTexture = 0;
    m_pAlphaMask = nullptr;
    m_LockCount = 0;
    m_DCCount = 0;
    m_iID = QNDX_SURFACE_UNREGISTERED;
    m_bCacheable = 1;
    m_bUserFlag = 0;
    m_bNeedsReload = 0;
    m_pFont = nullptr;
    m_bDirty = 0;
    m_pfnPutPixel = nullptr;
    m_pfnBlendPixel = nullptr;
    m_pfnGetPixel = nullptr;
    m_pfnVLine = nullptr;
    m_pfnHLine = nullptr;
}

CQNDXSurface::CQNDXSurface() { InitMembers(); }

CQNDXSurface::CQNDXSurface(IDirectDrawSurface7* surface) {
    InitMembers();
    m_pDDSurface = surface;
    // A wrapper around a surface that failed to be created stays empty.
    if (m_pDDSurface) ::GetPixelFormatInfo(m_pDDSurface, &m_PixelFormat);
    SetupPixelFunctions();
}

CQNDXSurface::CQNDXSurface(const CQNDXSurface& other) {
    InitMembers();
    m_ClipRect = other.m_ClipRect;
    m_ColorKey = other.m_ColorKey;
    m_Desc = other.m_Desc;
    m_Desc.lpSurface = nullptr;  // the source's memory is not ours
    m_Desc.lPitch = 0;
    CopyName(m_szFileName, other.m_szFileName);
    m_iWidth = other.m_iWidth;
    m_iHeight = other.m_iHeight;
    m_PixelFormat = other.m_PixelFormat;
    m_bTexture = other.m_bTexture;
    m_pVideoEngine = other.m_pVideoEngine;
    if (other.m_pAlphaMask && other.m_iWidth > 0 && other.m_iHeight > 0) {
        size_t bytes = static_cast<size_t>(other.m_iWidth) * static_cast<size_t>(other.m_iHeight);
        m_pAlphaMask = new (std::nothrow) unsigned char[bytes];
        if (m_pAlphaMask) std::memcpy(m_pAlphaMask, other.m_pAlphaMask, bytes);
    }
    m_pFont = other.m_pFont;
    SetupPixelFunctions();

    CQNDXVideoEngine* engine = CQNDXVideoEngine::GetInstance();
    IDirectDraw7* dd = engine ? engine->GetDirectDraw() : nullptr;
    if (!dd) {
        qndx::gfx::LogError("CQNDXSurface: cannot copy a surface without a DirectDraw object");
        return;
    }
    DDSURFACEDESC2 desc = CopyDescription(other.m_Desc, other.m_iWidth, other.m_iHeight);
    m_pDDSurface = CreateSurfaceFrom(dd, &desc);
    if (!m_pDDSurface) return;
    m_Desc = desc;
    // The platform decides the copy's real format; follow it.
    ::GetPixelFormatInfo(m_pDDSurface, &m_PixelFormat);
    SetupPixelFunctions();
    RECT all = {0, 0, other.m_iWidth, other.m_iHeight};
    // A source without an engine (one whose engine was destroyed) cannot
    // blit itself; its pixels still come over, through the platform.
    if (const_cast<CQNDXSurface&>(other).Blit(this, 0, 0, &all, FALSE) < 0 && other.m_pDDSurface)
        m_pDDSurface->BltFast(0, 0, other.m_pDDSurface, &all, DDBLTFAST_WAIT);
    if (engine->RegisterSurface(this) < 0) m_iID = QNDX_SURFACE_COPY_UNREGISTERED;
}

CQNDXSurface::~CQNDXSurface() {
    delete[] m_pAlphaMask;
    m_pAlphaMask = nullptr;
    ReleaseHeld(m_pDDSurface);
    if (m_iID >= 0) {
        if (CQNDXVideoEngine* engine = CQNDXVideoEngine::GetInstance()) engine->UnregisterSurface(this);
    }
    m_pVideoEngine = nullptr;
}

// ---------------------------------------------------------------------------
// Creation and loading

int CQNDXSurface::Create(CQNDXVideoEngine* engine, int width, int height) {
    if (!engine || !CQNDXVideoEngine::Exists()) return 0;
    m_pVideoEngine = engine;
    if (m_pDDSurface) return 0;
    IDirectDraw7* dd = engine->GetDirectDraw();
    if (!dd) return -1;

    m_Desc = DescribeSurface(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY | (m_bTexture == 1 ? DDSCAPS_TEXTURE : 0),
                             width, height);
    IDirectDrawSurface7* created = nullptr;
    HRESULT hr = dd->CreateSurface(&m_Desc, &created, nullptr);
    if (hr < 0 || !created) {
        if (created) created->Release();
        return hr < 0 ? hr : -1;
    }
    m_pDDSurface = created;
    m_iWidth = width;
    m_iHeight = height;
    m_ClipRect = RECT{0, 0, width, height};
    ::GetPixelFormatInfo(m_pDDSurface, &m_PixelFormat);

    int result = engine->RegisterSurface(this);
    if (result < 0) {
        ReleaseHeld(m_pDDSurface);
        return result;
    }
    SetupPixelFunctions();
    SetColorKeyNative(0);
    return result;
}

int CQNDXSurface::__LoadTail(const char* name) {
    // Lock and Unlock refresh the description from the platform; a surface
    // that refuses the lock still describes itself.
    if (Lock() >= 0)
        Unlock();
    else {
        m_Desc = EmptyDescription();
        m_pDDSurface->GetSurfaceDesc(&m_Desc);
    }
    m_iWidth = static_cast<int>(m_Desc.dwWidth);
    m_iHeight = static_cast<int>(m_Desc.dwHeight);
    m_ClipRect = RECT{0, 0, m_iWidth, m_iHeight};
    if (name) CopyName(m_szFileName, name);
    ::GetPixelFormatInfo(m_pDDSurface, &m_PixelFormat);
    if (m_pVideoEngine->RegisterSurface(this) < 0) {
        ReleaseHeld(m_pDDSurface);
        if (name) m_szFileName[0] = '\0';
        return -10;
    }
    SetupPixelFunctions();
    SetColorKeyNative(0);
    return 1;
}

int CQNDXSurface::__AdoptImage(IDirectDrawSurface7* image) {
    if (!image) return -1;
    m_pDDSurface = image;
    return __LoadTail(nullptr);
}

int CQNDXSurface::LoadFromMemory(CQNDXVideoEngine* engine, int size, const BYTE* data, int format) {
    if (!engine || !CQNDXVideoEngine::Exists()) return 0;
    m_pVideoEngine = engine;
    if (!data) return -1;
    if (m_pDDSurface) return 0;
    if (size <= 0) return -1;  // a negative size would be read as a huge one
    m_iImageFormat = format;
    IDirectDrawSurface7* image = CQNDXImageLoader().LoadFromBuffer(static_cast<unsigned int>(size), data, &m_iImageFormat);
    return __AdoptImage(image);
}

int CQNDXSurface::LoadFromFileObject(CQNDXVideoEngine* engine, int size, CQNDXFile* file, int format) {
    if (!file) return -1;
    if (!engine || !CQNDXVideoEngine::Exists()) return 0;
    m_pVideoEngine = engine;
    if (m_pDDSurface) return 0;
    if (size < 0) return -1;
    m_iImageFormat = format;
    IDirectDrawSurface7* image = CQNDXImageLoader().LoadFromFileObject(static_cast<unsigned int>(size), file, &m_iImageFormat);
    return __AdoptImage(image);
}

int CQNDXSurface::LoadFromFILE(CQNDXVideoEngine* engine, int size, FILE* file, int format) {
    if (!file) return -1;
    if (!engine || !CQNDXVideoEngine::Exists()) return 0;
    m_pVideoEngine = engine;
    if (m_pDDSurface) return 0;
    if (size < 0) return -1;
    m_iImageFormat = format;
    IDirectDrawSurface7* image = CQNDXImageLoader().LoadFromStream(static_cast<unsigned int>(size), file, &m_iImageFormat);
    return __AdoptImage(image);
}

int CQNDXSurface::Load(CQNDXVideoEngine* engine, const char* name, int format) {
    if (!engine || !CQNDXVideoEngine::Exists()) return 0;
    m_pVideoEngine = engine;
    if (m_pDDSurface) return 0;
    if (!name) return -1;
    m_iImageFormat = format;
    IDirectDrawSurface7* image = CQNDXImageLoader().LoadFromFile(name, &m_iImageFormat);
    if (!image) {
        // Not an image the loader reads: try a bitmap resource of that name.
        HRSRC resource = FindResourceA(nullptr, name, RT_BITMAP);
        if (!resource) return -2;
        HGLOBAL loaded = LoadResource(nullptr, resource);
        if (!loaded) return -3;
        if (!LockResource(loaded)) return -4;
        int width = 0, height = 0;
        image = LoadBitmapSurfaceGetSize(engine->GetDirectDraw(), name, &width, &height);
        if (!image) return -1;
        m_iWidth = width;
        m_iHeight = height;
    }
    m_pDDSurface = image;
    return __LoadTail(name);
}

// ---------------------------------------------------------------------------
// Locks and device contexts

int CQNDXSurface::Lock() { return LockWith(DDLOCK_WAIT); }

int CQNDXSurface::LockWith(DWORD flags) {
    if (m_LockCount > 0) return static_cast<int>(++m_LockCount);
    m_bDirty = 0;
    if (!m_pDDSurface) return -1;
    // A successful lock fills the whole description; a failed one leaves it
    // cleared. (Clearing it before every lock costs more than a small blit.)
    m_Desc.dwSize = 124;
    HRESULT hr = m_pDDSurface->Lock(nullptr, &m_Desc, flags, nullptr);
    for (int retry = 0; hr == DDERR_SURFACELOST && retry < kLostRetries; ++retry) {
        Restore();
        m_Desc.dwSize = 124;
        hr = m_pDDSurface ? m_pDDSurface->Lock(nullptr, &m_Desc, flags, nullptr) : -1;
    }
    if (hr < 0) {
        m_Desc = EmptyDescription();
        return hr;
    }
    m_LockCount = 1;
    return 1;
}

int CQNDXSurface::Unlock() {
    if (m_LockCount > 1) return static_cast<int>(--m_LockCount);
    // Not locked: nothing to give back, and the depth must not wrap.
    if (m_LockCount == 0) return DDERR_NOTLOCKED;
    if (!m_pDDSurface) return -1;
    HRESULT hr = m_pDDSurface->Unlock(nullptr);
    for (int retry = 0; hr == DDERR_SURFACELOST && retry < kLostRetries && m_pDDSurface; ++retry) {
        Restore();
        hr = m_pDDSurface ? m_pDDSurface->Unlock(nullptr) : -1;
    }
    if (hr >= 0) --m_LockCount;
    if (m_bDirty && m_pVideoEngine && m_iID >= 0) NotifyChanged();
    m_bDirty = 0;
    if (hr < 0) return hr;
    return static_cast<int>(m_LockCount);
}

bool CQNDXSurface::RelockUnchanged(bool write) {
    if (m_LockCount > 0 || !m_pDDSurface || !m_pDDSurface->RelockUnchanged(m_Desc, write)) return false;
    m_bDirty = 0;
    return true;
}

HDC CQNDXSurface::GetDC() {
    if (m_DCCount > 0) {
        ++m_DCCount;
        return m_hDC;
    }
    if (!m_pDDSurface) return nullptr;
    HDC dc = nullptr;
    if (m_pDDSurface->GetDC(&dc) == DD_OK && dc) {
        m_hDC = dc;
        m_DCCount = 1;
    } else {
        m_hDC = nullptr;
    }
    return m_hDC;
}

int CQNDXSurface::ReleaseDC() {
    if (m_DCCount >= 2) {
        --m_DCCount;
        return 0;
    }
    if (m_DCCount == 0 || !m_pDDSurface) return -1;
    if (m_pDDSurface->ReleaseDC(m_hDC) != DD_OK) return -1;
    --m_DCCount;
    m_hDC = nullptr;
    return 0;
}

// ---------------------------------------------------------------------------
// Clipping

int CQNDXSurface::ClipRect(RECT* rect) {
    if (!rect) return 0;
    if (rect->top >= m_ClipRect.bottom || rect->left >= m_ClipRect.right || rect->bottom <= m_ClipRect.top ||
        rect->right <= m_ClipRect.left)
        return 0;
    // An inverted or empty rectangle covers nothing; no caller may go on with
    // a negative width or height.
    if (rect->left >= rect->right || rect->top >= rect->bottom) return 0;
    rect->top = std::max(rect->top, m_ClipRect.top);
    rect->left = std::max(rect->left, m_ClipRect.left);
    rect->bottom = std::min(rect->bottom, m_ClipRect.bottom);
    rect->right = std::min(rect->right, m_ClipRect.right);
    return 1;
}

namespace {

// A rectangle with 64-bit edges: a blit's destination rectangle reaches past
// the int range when its position lies near the limits.
struct WideRect {
    int64_t left, top, right, bottom;
};

WideRect PlacedAt(int x, int y, const RECT& source) {
    return WideRect{x, y, static_cast<int64_t>(x) + (static_cast<int64_t>(source.right) - source.left),
                    static_cast<int64_t>(y) + (static_cast<int64_t>(source.bottom) - source.top)};
}

// An edge held to the range a RECT stores. Every surface lies well inside
// it, so a held edge clips exactly as the true one would.
LONG Held(int64_t v) {
    return static_cast<LONG>(std::min<int64_t>(std::max<int64_t>(v, INT32_MIN), INT32_MAX));
}

// Moves each edge of the source rectangle by as much as the same edge of the
// destination rectangle moved from `before` to `after`, and the position to
// the clipped corner. The clipped rectangle lies inside the unclipped one, so
// every moved edge stays between the source's old edges.
void MoveWithClip(const WideRect& before, const RECT& after, RECT* srcRect, int* x, int* y) {
    // Unclipped (the usual case): nothing moves, and a rectangle the clip
    // just wrote field by field is not read back whole, which stalls.
    if (after.left == before.left && after.top == before.top && after.right == before.right &&
        after.bottom == before.bottom)
        return;
    srcRect->left = static_cast<LONG>(srcRect->left + (after.left - before.left));
    srcRect->top = static_cast<LONG>(srcRect->top + (after.top - before.top));
    srcRect->right = static_cast<LONG>(srcRect->right + (after.right - before.right));
    srcRect->bottom = static_cast<LONG>(srcRect->bottom + (after.bottom - before.bottom));
    *x = after.left;
    *y = after.top;
}

}  // namespace

int CQNDXSurface::ClipBlit(CQNDXSurface* dest, int* x, int* y, RECT* srcRect) {
    if (!dest || !x || !y || !srcRect) return 0;
    // Most blits lie inside both clip rectangles: nothing to cut or move.
    const RECT& s = *srcRect;
    const RECT& c = m_ClipRect;
    const RECT& dc = dest->m_ClipRect;
    if (s.left < s.right && s.top < s.bottom && s.left >= c.left && s.top >= c.top && s.right <= c.right &&
        s.bottom <= c.bottom && *x >= dc.left && *y >= dc.top && int64_t{*x} + (s.right - s.left) <= dc.right &&
        int64_t{*y} + (s.bottom - s.top) <= dc.bottom)
        return 1;
    if (!ClipRect(srcRect)) return 0;
    const WideRect d0 = PlacedAt(*x, *y, *srcRect);
    RECT d = {Held(d0.left), Held(d0.top), Held(d0.right), Held(d0.bottom)};
    if (!dest->ClipRect(&d)) return 0;
    MoveWithClip(d0, d, srcRect, x, y);
    return 1;
}

int CQNDXSurface::ClipToSurface(CQNDXSurface* dest, int* x, int* y, RECT* srcRect) {
    if (!dest || !x || !y || !srcRect) return 0;
    const WideRect d = PlacedAt(*x, *y, *srcRect);
    RECT r;
    r.left = Held(std::max<int64_t>(d.left, 0));
    r.top = Held(std::max<int64_t>(d.top, 0));
    r.right = Held(std::min<int64_t>(d.right, dest->GetWidth()));
    r.bottom = Held(std::min<int64_t>(d.bottom, dest->GetHeight()));
    if (r.left >= r.right || r.top >= r.bottom) return 0;
    MoveWithClip(d, r, srcRect, x, y);
    return 1;
}

void CQNDXSurface::SetClipRect(const RECT* rect) {
    if (!rect) return;
    m_ClipRect = *rect;
    if (m_ClipRect.top < 0) m_ClipRect.top = 0;
    if (m_ClipRect.left < 0) m_ClipRect.left = 0;
    if (m_ClipRect.bottom > m_iHeight) m_ClipRect.bottom = m_iHeight;
    if (m_ClipRect.right > m_iWidth) m_ClipRect.right = m_iWidth;
}

// ---------------------------------------------------------------------------
// Colour keys

int CQNDXSurface::SetColorKeyNative(DWORD nativePixel) {
    if (!m_pDDSurface) return -1;
    DDCOLORKEY key;
    key.dwColorSpaceLowValue = nativePixel;
    key.dwColorSpaceHighValue = nativePixel;
    HRESULT hr = m_pDDSurface->SetColorKey(DDCKEY_SRCBLT, &key);
    m_ColorKey = PixelToRGBFromInfo(nativePixel, &m_PixelFormat);
    return hr;
}

int CQNDXSurface::SetColorKeyRGB(COLORREF colour) {
    if (!m_pDDSurface) return -1;
    const int hr = CQNDXSurface::SetColorKeyNative(RGBToPixelFromInfo(colour, &m_PixelFormat));
    m_ColorKey = colour;  // the colour asked for, not the native key's colour
    return hr;
}

int CQNDXSurface::SetColorKeyFromFirstPixel() {
    if (!m_pDDSurface) return -1;
    int locked;
    int attempts = 0;
    while ((locked = Lock()) == DDERR_WASSTILLDRAWING && ++attempts < kStillDrawingRetries) {
    }
    if (locked < 0) return -1;
    DWORD pixel = 0;
    if (m_Desc.lpSurface && m_iWidth > 0 && m_iHeight > 0)
        pixel = ReadFirstPixel(m_Desc.lpSurface, m_Desc.ddpfPixelFormat.dwRGBBitCount);
    Unlock();
    return SetColorKeyNative(pixel) < 0 ? -2 : 0;
}

// ---------------------------------------------------------------------------
// Restoring, reloading, change notices

int CQNDXSurface::Restore() {
    if (!m_pDDSurface || !m_pVideoEngine) return -1;
    HRESULT hr;
    CQNDXSurface* front = m_pVideoEngine->GetFrontSurface();
    if (m_pVideoEngine->GetBackBuffer() == this && m_pVideoEngine->IsFullScreen() == 1 && front &&
        front->GetDDSurface()) {
        hr = front->GetDDSurface()->Restore();  // the back buffer lives in the front's flip chain
    } else {
        hr = m_pDDSurface->Restore();
    }
    if (hr < 0) return hr;
    return Reload(nullptr);
}

int CQNDXSurface::Reload(const char* name) {
    RECT all = {0, 0, m_iWidth, m_iHeight};
    const char* source = name ? name : m_szFileName;
    if (!source[0]) {
        SetNeedsReload(1);
        return -1;
    }
    IDirectDrawSurface7* image = CQNDXImageLoader().LoadFromFile(source, &m_iImageFormat);
    if (!image) return -2;
    if (!m_pDDSurface) {
        image->Release();
        return -1;
    }
    HRESULT hr = m_pDDSurface->Blt(&all, image, &all, DDBLT_WAIT, nullptr);
    image->Release();
    m_bNeedsReload = 0;
    return hr;
}

int CQNDXSurface::NotifyChanged() {
    if (!m_pVideoEngine) return -1;
    CQNDXCache* cache = m_pVideoEngine->GetCache();
    if (!cache) return -1;
    return cache->Update(this);
}

int CQNDXSurface::SetFont(CQNDXFont* font) {
    if (!font) return -1;
    m_pFont = font;
    return 0;
}

// ---------------------------------------------------------------------------
// Blits: this surface is the source; the video engine's routine does the work
// and a registered destination is told once per call.

namespace {

int NotifyDestination(CQNDXSurface* dest, int result) {
    if (result >= 0 && dest && dest->GetID() >= 0) dest->NotifyChanged();
    return result;
}

}  // namespace

int CQNDXSurface::Blit(CQNDXSurface* dest, int x, int y, const RECT* srcRect, BOOL keyed) {
    if (!m_pVideoEngine) return -1;
    return NotifyDestination(dest, keyed ? m_pVideoEngine->BlitKeyed(0, dest, this, x, y, srcRect)
                                         : m_pVideoEngine->BlitPlain(0, dest, this, x, y, srcRect));
}

int CQNDXSurface::BlitClipToSurface(CQNDXSurface* dest, int x, int y, const RECT* srcRect, BOOL keyed) {
    if (!m_pVideoEngine) return -1;
    return NotifyDestination(dest, keyed ? m_pVideoEngine->BlitKeyed(1, dest, this, x, y, srcRect)
                                         : m_pVideoEngine->BlitPlain(1, dest, this, x, y, srcRect));
}

int CQNDXSurface::BlitMirrorLeftRight(CQNDXSurface* dest, int x, int y, const RECT* srcRect, BOOL keyed) {
    if (!m_pVideoEngine) return -1;
    return NotifyDestination(dest, keyed ? m_pVideoEngine->BlitMirrorLeftRightKeyed(dest, this, x, y, srcRect)
                                         : m_pVideoEngine->BlitMirrorLeftRight(dest, this, x, y, srcRect));
}

int CQNDXSurface::BlitMirrorUpDown(CQNDXSurface* dest, int x, int y, const RECT* srcRect, BOOL keyed) {
    if (!m_pVideoEngine) return -1;
    return NotifyDestination(dest, keyed ? m_pVideoEngine->BlitMirrorUpDownKeyed(dest, this, x, y, srcRect)
                                         : m_pVideoEngine->BlitMirrorUpDown(dest, this, x, y, srcRect));
}

int CQNDXSurface::BlitAlpha(CQNDXSurface* dest, int x, int y, const RECT* srcRect, WORD alpha, BOOL keyed) {
    if (!m_pVideoEngine) return -1;
    if (alpha == 127)
        return NotifyDestination(dest, keyed ? m_pVideoEngine->BlitHalfAlphaKeyed(dest, this, x, y, srcRect)
                                             : m_pVideoEngine->BlitHalfAlpha(dest, this, x, y, srcRect));
    return NotifyDestination(dest, keyed ? m_pVideoEngine->BlitAlphaKeyed(dest, this, x, y, srcRect, alpha)
                                         : m_pVideoEngine->BlitAlpha(dest, this, x, y, srcRect, alpha));
}

int CQNDXSurface::BlitTranslucent(CQNDXSurface* dest, int x, int y, const RECT* srcRect, WORD value, BOOL keyed) {
    if (!m_pVideoEngine) return -1;
    if (value == 50)
        return NotifyDestination(dest, keyed ? m_pVideoEngine->BlitHalfTranslucentKeyed(dest, this, x, y, srcRect)
                                             : m_pVideoEngine->BlitHalfTranslucent(dest, this, x, y, srcRect));
    return NotifyDestination(dest, keyed ? m_pVideoEngine->BlitTranslucentKeyed(dest, this, x, y, srcRect, value)
                                         : m_pVideoEngine->BlitTranslucent(dest, this, x, y, srcRect, value));
}

int CQNDXSurface::BlitScaled(CQNDXSurface* dest, int x, int y, const RECT* srcRect, float scale, BOOL keyed) {
    if (!m_pVideoEngine) return -1;
    return NotifyDestination(dest, keyed ? m_pVideoEngine->BlitStretchKeyed(dest, this, x, y, srcRect, scale)
                                         : m_pVideoEngine->BlitStretch(dest, this, x, y, srcRect, scale));
}

int CQNDXSurface::BlitStretched(CQNDXSurface* dest, int x, int y, const RECT* srcRect, int width, int height,
                                BOOL keyed) {
    if (!m_pVideoEngine) return -1;
    return NotifyDestination(
        dest, keyed ? m_pVideoEngine->BlitStretchToSizeKeyed(dest, this, x, y, srcRect, width, height)
                    : m_pVideoEngine->BlitStretchToSize(dest, this, x, y, srcRect, width, height));
}

int CQNDXSurface::BlitBlend(CQNDXSurface* dest, int x, int y, const RECT* srcRect, WORD value) {
    if (!m_pVideoEngine) return -1;
    return NotifyDestination(dest, m_pVideoEngine->BlitBlend16(dest, this, x, y, srcRect, value));
}

// ---------------------------------------------------------------------------
// Small accessors

void CQNDXSurface::GetSurfaceDesc(DDSURFACEDESC2* out) const {
    if (out) *out = m_Desc;
}

DDSURFACEDESC2* CQNDXSurface::GetLockedDesc() {
    if (Lock() >= 0) Unlock();
    return &m_Desc;
}

void CQNDXSurface::GetPixelFormatInfo(CQNDXPixelFormatInfo* out) const {
    if (out) *out = m_PixelFormat;
}

DWORD CQNDXSurface::RGBToNative(COLORREF colour) const {
    if (!m_pDDSurface) return colour;
    return RGBToPixelFromInfo(colour, &m_PixelFormat);
}

char* CQNDXSurface::GetFileName(char* out) const {
    if (out) std::strcpy(out, m_szFileName);
    return out;
}

int CQNDXSurface::SetAlphaMask(unsigned char* mask) {
    // Handing back the mask we hold must not free it under the caller.
    if (mask != m_pAlphaMask) delete[] m_pAlphaMask;
    m_pAlphaMask = mask;
    return 0;
}

void CQNDXSurface::ReleaseDDSurface() {
    ReleaseHeld(m_pDDSurface);
    // The next surface starts unlocked and without a device context.
    m_LockCount = 0;
    m_DCCount = 0;
    m_hDC = nullptr;
    m_Desc.lpSurface = nullptr;
}
