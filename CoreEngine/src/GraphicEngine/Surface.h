// The engine's drawable image: a platform surface plus what the engine keeps
// about it (size, pixel format, clip rectangle, colour key, file name, surface
// ID, lock and device-context nesting, font, per-kind pixel routines).
// Surfaces are created blank or loaded from images, drawn on in software,
// blitted onto each other through the video engine's blit routines, and
// register with the video engine to get a surface ID. The video engine's own
// front, back and third buffers are surfaces too, with IDs -8, -16 and -32.
#pragma once

#include <cstdint>
#include <cstdio>

#include "EngineLink.h"
#include "GraphicEngine/DDUtils.h"
#include "platform/DirectDraw.h"
#include "platform/Gdi.h"

class CQNDXVideoEngine;
class CQNDXFont;
class CQNDXFile;

// Surface IDs with a fixed meaning.
enum {
    QNDX_SURFACE_UNREGISTERED = -1,
    QNDX_SURFACE_FRONT = -8,
    QNDX_SURFACE_BACK = -16,
    QNDX_SURFACE_THIRD = -32,
    QNDX_SURFACE_NO_FREE_ID = -100,
    QNDX_SURFACE_COPY_UNREGISTERED = -20000,
};

namespace qndx {
namespace gfx {

// A drawing position moved by an offset (a tile's hot spot, a glyph's
// advance), held to the int range: a picture placed past it lies off every
// surface, and placed at the bound it still does, so the blit's clip drops it.
inline int OffsetPosition(int position, int64_t offset) {
    const int64_t moved = position + offset;
    return moved > INT32_MAX ? INT32_MAX : moved < INT32_MIN ? INT32_MIN : static_cast<int>(moved);
}

}  // namespace gfx
}  // namespace qndx

class CQNDXSurface {
public:
    // Per-kind pixel routines, chosen once by SetupPixelFunctions.
    typedef int (CQNDXSurface::*PutPixelFunc)(int x, int y, DWORD colour);
    typedef int (CQNDXSurface::*BlendPixelFunc)(int x, int y, DWORD colour, WORD alpha);
    typedef DWORD (CQNDXSurface::*GetPixelFunc)(int x, int y);
    typedef int (CQNDXSurface::*VLineFunc)(int y1, int y2, int x, DWORD colour);
    typedef int (CQNDXSurface::*HLineFunc)(int x1, int x2, int y, DWORD colour);

    CQNDXSurface();
    // Wraps an existing platform surface and takes over the caller's
    // reference. Size, clip rectangle, engine and ID are the creator's to set.
    explicit CQNDXSurface(IDirectDrawSurface7* surface);
    // A new surface of the same size, format and contents, registered.
    CQNDXSurface(const CQNDXSurface& other);
    CQNDXSurface& operator=(const CQNDXSurface&) = delete;

    virtual ~CQNDXSurface();

    virtual int GetID() const { return m_iID; }

    // Loads return 1 on success, 0 when they did nothing (no engine, or a
    // platform surface is already held) and a negative code on failure; a
    // failed decode writes an ERROR line naming the file to the log. The
    // picture is converted to the display's pixel format, so load once the
    // display exists (a state's Initialize). format: 0 detects the type by
    // content, 1 BMP, 2 JPEG, 3 PCX, 4 TGA, 5 PNG. Detection knows PNG, BMP,
    // PCX, JPEG files with a JFIF header and TGA files with the version-2
    // footer; an Exif or Adobe JPEG (from a camera or an editor) and a TGA
    // without footer load only when their code is given. A loaded surface's
    // colour key is black until the game sets another.
    virtual int LoadFromMemory(CQNDXVideoEngine* engine, int size, const BYTE* data, int format);
    virtual int LoadFromFileObject(CQNDXVideoEngine* engine, int size, CQNDXFile* file, int format);
    virtual int LoadFromFILE(CQNDXVideoEngine* engine, int size, FILE* file, int format);
    // A name without a backslash is read from the program's graphics folder
    // ("tiles.png" is graphics/tiles.png); one with a backslash is a path from
    // the program's folder. When no file can be read, a bitmap resource of
    // that name is tried.
    virtual int Load(CQNDXVideoEngine* engine, const char* name, int format);
    // A blank system-memory surface of width x height pixels in the display's
    // format, colour key black. Unlike the loads it answers 0 on success, also
    // when nothing was done (no engine, or a surface already held), and a
    // negative code on failure.
    virtual int Create(CQNDXVideoEngine* engine, int width, int height);

    // Software drawing; colours are native pixel values of this surface
    // (the video engine's ColorToNative(RGB(r, g, b), false), or RGBToNative).
    // Rectangles are right and bottom exclusive, except DrawRect, which
    // outlines both corners. 0 on success, negative on failure.
    virtual int DrawRect(int x1, int y1, int x2, int y2, DWORD colour);
    virtual int FillRect(int left, int top, int right, int bottom, DWORD colour);
    // Mixes the colour into the rectangle; alpha is the colour's share in
    // 256ths: 0 leaves the pixels, 256 paints the colour, 127 and 128 both
    // give the exact half-and-half mix. This is the reverse of BlitAlpha.
    virtual int BlendRect(int left, int top, int right, int bottom, WORD alpha, DWORD colour);
    virtual int DrawLine(int x1, int y1, int x2, int y2, DWORD colour);
    virtual int DrawLineAA(int x1, int y1, int x2, int y2, DWORD colour);
    virtual int DrawCircle(int cx, int cy, int radius, DWORD colour);
    virtual int FillCircle(int cx, int cy, int radius, DWORD colour);
    virtual int DrawRoundRect(int x1, int y1, int x2, int y2, int radius, DWORD colour);
    virtual int Clear(DWORD colour);

    // Text through the surface's font, or the video engine's default font,
    // in the font's text colour; (x, y) is the top-left corner of the text.
    // len -1 draws the whole text. 0 on success, negative on failure.
    virtual int DrawText(int x, int y, const char* text, int len);
    // A GDI font aligns (QNDX_ALIGN_ of Font.h) and wraps words within the
    // area from (x, y) to the surface's right and bottom edges; bitmap and
    // tileset fonts draw as DrawText does.
    virtual int DrawTextEx(int x, int y, const char* text, int align);

    // A 24-bit BMP of the surface; the name is a path from the program's
    // folder. 1 on success, negative on failure.
    virtual int SaveBMP(const char* fileName);

    // Clipping; 1 when something is left, 0 otherwise. This surface is the
    // source in the first two.
    virtual int ClipBlit(CQNDXSurface* dest, int* x, int* y, RECT* srcRect);
    virtual int ClipToSurface(CQNDXSurface* dest, int* x, int* y, RECT* srcRect);
    virtual int ClipRect(RECT* rect);

    virtual int LoadAlphaMask(const char* fileName);

    // Blits with this surface as the source, through the video engine's
    // routines: the source rectangle (right and bottom exclusive; null means
    // the whole surface) is drawn with its top-left corner at (x, y) of dest,
    // clipped to both surfaces. keyed TRUE leaves the destination alone where
    // the source pixel is this surface's colour key. 0 on success (also when
    // nothing was left after clipping), negative on failure.
    virtual int Blit(CQNDXSurface* dest, int x, int y, const RECT* srcRect, BOOL keyed);
    virtual int BlitClipToSurface(CQNDXSurface* dest, int x, int y, const RECT* srcRect, BOOL keyed);
    // The rectangle flipped left to right (or top to bottom), in the same
    // place: a sprite drawn facing the other way.
    virtual int BlitMirrorLeftRight(CQNDXSurface* dest, int x, int y, const RECT* srcRect, BOOL keyed);
    virtual int BlitMirrorUpDown(CQNDXSurface* dest, int x, int y, const RECT* srcRect, BOOL keyed);
    // Mixes the source into the destination. alpha is the destination's
    // share in 256ths, the reverse of an opacity: 0 draws the source as it
    // is, 256 (or more) leaves the destination, and each channel becomes
    // s + ((alpha * (d - s)) >> 8) (rounded down). 127 gives the half-and-
    // half average floor(s / 2) + floor(d / 2). For an opacity o in 256ths
    // pass 256 - o.
    virtual int BlitAlpha(CQNDXSurface* dest, int x, int y, const RECT* srcRect, WORD alpha, BOOL keyed);
    // Darkens the destination under the rectangle: each channel becomes
    // (value * c) >> 8, so 256 (or more) leaves it and 0 makes it black; 50 is
    // special and halves it. The source's pixels are not drawn; keyed, only
    // the pixels under the source's non-key pixels darken (a shadow).
    virtual int BlitTranslucent(CQNDXSurface* dest, int x, int y, const RECT* srcRect, WORD value, BOOL keyed);
    // Zoomed by scale about the centre of where the unscaled copy would land.
    virtual int BlitScaled(CQNDXSurface* dest, int x, int y, const RECT* srcRect, float scale, BOOL keyed);
    // Stretched to width x height pixels with its top-left corner at (x, y).
    virtual int BlitStretched(CQNDXSurface* dest, int x, int y, const RECT* srcRect, int width, int height,
                              BOOL keyed);
    // A plain copy with each channel scaled by value in 256ths: 256 copies,
    // 128 at half brightness, 0 black. No key.
    virtual int BlitBlend(CQNDXSurface* dest, int x, int y, const RECT* srcRect, WORD value);

    // Asks the video engine's cache to refresh this surface's copy.
    virtual int NotifyChanged();

    // Source colour keys, the colour keyed blits leave out; stored as an RGB
    // colour. SetColorKeyRGB(RGB(255, 0, 255)) makes magenta transparent.
    // 0 on success, -1 without a picture.
    virtual int SetColorKeyFromFirstPixel();
    virtual int SetColorKeyNative(DWORD nativePixel);
    virtual int SetColorKeyRGB(COLORREF colour);
    virtual COLORREF GetColorKey() const { return m_ColorKey; }

    virtual int Restore();

    // The font DrawText uses; the game keeps owning it and keeps it alive
    // while the surface draws with it. -1 for null.
    virtual int SetFont(CQNDXFont* font);
    virtual CQNDXFont* GetFont() const { return m_pFont; }

    // Nested: only the outermost Lock/Unlock and GetDC/ReleaseDC reach the
    // platform. Lock and Unlock return the new depth (negative on failure).
    // GetPixel, PutPixel and GetBits need the surface locked.
    virtual int Lock();
    // A lock that only reads: the platform keeps what it learnt of the pixels.
    int LockToRead() { return LockWith(DDLOCK_WAIT | DDLOCK_READONLY); }
    // For a blit's lock and unlock at once while the platform says nothing
    // that pair does would change the description or answer otherwise: does
    // what the pair does besides, and is true. False leaves the pair to do.
    bool RelockUnchanged(bool write);
    virtual int Unlock();
    virtual HDC GetDC();
    virtual int ReleaseDC();

    virtual void SetTextureFlag(int flag) { m_bTexture = flag; }
    virtual int GetTextureFlag() const { return m_bTexture; }
    // Reads the image again by name (null: the stored name) into the surface.
    virtual int Reload(const char* name);
    virtual void SetCacheable(int flag) { m_bCacheable = flag; }
    virtual void SetUserFlag(int flag) { m_bUserFlag = flag; }
    virtual void SetNeedsReload(int flag) { m_bNeedsReload = flag; }

    // Chooses the five pixel routines from the pixel kind; all null for a kind
    // without routines.
    void SetupPixelFunctions();

    // Pixel dispatchers. They need the surface locked; on a kind without
    // routines they do nothing (GetPixel gives 0).
    int PutPixel(int x, int y, DWORD colour) { return m_pfnPutPixel ? (this->*m_pfnPutPixel)(x, y, colour) : 0; }
    int BlendPixel(int x, int y, DWORD colour, WORD alpha) {
        return m_pfnBlendPixel ? (this->*m_pfnBlendPixel)(x, y, colour, alpha) : 0;
    }
    DWORD GetPixel(int x, int y) { return m_pfnGetPixel ? (this->*m_pfnGetPixel)(x, y) : 0; }
    int VLine(int y1, int y2, int x, DWORD colour) { return m_pfnVLine ? (this->*m_pfnVLine)(y1, y2, x, colour) : 0; }
    int HLine(int x1, int x2, int y, DWORD colour) { return m_pfnHLine ? (this->*m_pfnHLine)(x1, x2, y, colour) : 0; }
    bool HasPixelFunctions() const { return m_pfnPutPixel != nullptr; }

    // Per-kind routines for Bytes-byte pixels (15 and 16 share everything but
    // the blend, which needs the Kind).
    template <int Bytes, int Kind>
    void UsePixelRoutines();
    template <int Bytes>
    int PutPixelOf(int x, int y, DWORD colour);
    template <int Bytes, int Kind>
    int BlendPixelOf(int x, int y, DWORD colour, WORD alpha);
    template <int Bytes>
    DWORD GetPixelOf(int x, int y);
    template <int Bytes>
    int VLineOf(int y1, int y2, int x, DWORD colour);
    template <int Bytes>
    int HLineOf(int x1, int x2, int y, DWORD colour);

    // The locked bits pointer and pitch (valid while locked).
    void* GetBits() const { return m_Desc.lpSurface; }
    LONG GetPitch() const { return m_Desc.lPitch; }
    IDirectDrawSurface7* GetDDSurface() const { return m_pDDSurface; }
    CQNDXVideoEngine* GetVideoEngine() const { return m_pVideoEngine; }
    int GetWidth() const { return m_iWidth; }
    int GetHeight() const { return m_iHeight; }
    RECT* GetRectPtr() { return &m_ClipRect; }
    int IsCacheable() const { return m_bCacheable; }
    int NeedsReload() const { return m_bNeedsReload; }
    int GetUserFlag() const { return m_bUserFlag; }
    int GetImageFormat() const { return m_iImageFormat; }
    DWORD GetPixelKind() const { return m_PixelFormat.Kind; }
    unsigned int GetLockCount() const { return m_LockCount; }
    unsigned int GetDCCount() const { return m_DCCount; }
    unsigned char* GetAlphaMask() const { return m_pAlphaMask; }
    void GetSurfaceDesc(DDSURFACEDESC2* out) const;
    // The description itself, without a copy (the blit frame reads it while locked).
    const DDSURFACEDESC2& SurfaceDesc() const { return m_Desc; }
    // Lock and Unlock (refreshing the description), then the description.
    DDSURFACEDESC2* GetLockedDesc();
    void GetPixelFormatInfo(CQNDXPixelFormatInfo* out) const;
    // The colour in this surface's format; unchanged without a platform surface.
    DWORD RGBToNative(COLORREF colour) const;
    char* GetFileName(char* out) const;
    void SetClipRect(const RECT* rect);
    // Takes ownership of a width x height mask (or null), freeing the old one.
    int SetAlphaMask(unsigned char* mask);
    // Releases and forgets the platform surface (surface re-creation).
    void ReleaseDDSurface();

protected:
    friend class CQNDXVideoEngine;
    friend class CQNDXSurfaceManager;

    void InitMembers();
    int LockWith(DWORD flags);
    // Shared ending of the four loads.
    int __LoadTail(const char* name);
    // Takes a surface made by the image loader (none: -1) and finishes the load.
    int __AdoptImage(IDirectDrawSurface7* image);
    // Bytes per pixel of the kind (0 for kinds without routines).
    int __BytesPerPixel() const;
    // Address of pixel (x, y) in the locked memory.
    BYTE* __PixelAddress(int x, int y) const {
        return static_cast<BYTE*>(m_Desc.lpSurface) + static_cast<ptrdiff_t>(y) * m_Desc.lPitch +
               static_cast<ptrdiff_t>(x) * __BytesPerPixel();
    }
    // The clip rectangle cut to the locked memory; false while not locked.
    bool __LockedClip(RECT* bounds) const;
    // The part of a horizontal (row y, x1..x2) or vertical (column x,
    // y1..y2) line inside the locked clip rectangle: its first pixel and its
    // length; false when nothing of it is inside.
    bool __RowSpan(int x1, int x2, int y, BYTE** first, int* count) const;
    bool __ColumnSpan(int y1, int y2, int x, BYTE** first, int* count) const;

    // Cleared when the engine is destroyed (the surface is then unregistered).
    CQNDXEngineLink<CQNDXVideoEngine> m_pVideoEngine;
    DDSURFACEDESC2 m_Desc;
    IDirectDrawSurface7* m_pDDSurface;
    int m_iWidth;
    int m_iHeight;
    int m_iImageFormat;
    char m_szFileName[256];
    HDC m_hDC;
    COLORREF m_ColorKey;
    RECT m_ClipRect;
    CQNDXPixelFormatInfo m_PixelFormat;
    int m_bTexture;
    unsigned char* m_pAlphaMask;
    uint32_t m_LockCount;
    uint32_t m_DCCount;
    int m_iID;
    int m_bCacheable;
    int m_bUserFlag;
    int m_bNeedsReload;
    CQNDXFont* m_pFont;
    int m_bDirty;
    PutPixelFunc m_pfnPutPixel;
    BlendPixelFunc m_pfnBlendPixel;
    GetPixelFunc m_pfnGetPixel;
    VLineFunc m_pfnVLine;
    HLineFunc m_pfnHLine;
};
