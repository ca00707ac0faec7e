// Pixel-format analysis, native/RGB conversions, colour matching through GDI,
// bitmap loading into surfaces, a plain memory copy and the table of
// DirectDraw result names.
#include "GraphicEngine/DDUtils.h"

#include <cstring>

#include "platform/Kernel.h"

namespace {

// Lowest set bit of a mask and the mask shifted down to bit 0; an empty mask
// gives shift 32 and nothing else, so no caller ever shifts by 32.
void AnalyseMask(DWORD mask, uint8_t* maxOut, uint8_t* shiftOut) {
    if (mask == 0) {
        *maxOut = 0;
        *shiftOut = 32;
        return;
    }
    int shift = 0;
    while (shift < 32 && ((mask >> shift) & 1u) == 0) ++shift;
    *shiftOut = static_cast<uint8_t>(shift);
    *maxOut = static_cast<uint8_t>(mask >> shift);
}

DWORD InfoMask(uint8_t max, uint8_t shift) {
    if (max == 0 || shift >= 32) return 0;
    return static_cast<DWORD>(static_cast<uint64_t>(max) << shift);
}

// 64-bit products: a channel in the top byte would overflow 32 bits.
DWORD ChannelToByte(DWORD pixel, DWORD mask) {
    if (mask == 0) return 0;
    return static_cast<DWORD>((static_cast<uint64_t>(pixel & mask) * 255u) / mask);
}

DWORD ByteToChannel(DWORD value, DWORD mask) {
    return static_cast<DWORD>((static_cast<uint64_t>(value) * mask) / 255u) & mask;
}

COLORREF MasksToRGB(DWORD pixel, DWORD red, DWORD green, DWORD blue) {
    return ChannelToByte(pixel, red) | (ChannelToByte(pixel, green) << 8) | (ChannelToByte(pixel, blue) << 16);
}

DWORD RGBToMasks(COLORREF colour, DWORD red, DWORD green, DWORD blue) {
    return ByteToChannel(colour & 0xFF, red) | ByteToChannel((colour >> 8) & 0xFF, green) |
           ByteToChannel((colour >> 16) & 0xFF, blue);
}

// The first pixel of a locked surface, read with no more bytes than a pixel
// holds and without assuming the pointer is aligned.
DWORD ReadFirstPixel(const void* bits, DWORD bitCount) {
    DWORD value = 0;
    size_t bytes = bitCount >= 32 ? 4 : (bitCount + 7) / 8;
    if (bytes == 0) bytes = 1;
    std::memcpy(&value, bits, bytes);  // little-endian: low bytes first
    if (bitCount < 32) value &= (1u << bitCount) - 1u;
    return value;
}

HBITMAP LoadBitmapEither(const char* name, int cx, int cy) {
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), name, IMAGE_BITMAP, cx, cy, LR_CREATEDIBSECTION));
    if (!bitmap)
        bitmap = static_cast<HBITMAP>(
            LoadImageA(nullptr, name, IMAGE_BITMAP, cx, cy, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    return bitmap;
}

IDirectDrawSurface7* LoadBitmapCommon(IDirectDraw7* dd, const char* name, int cx, int cy, int* width,
                                      int* height) {
    if (!dd || !name) return nullptr;
    HBITMAP bitmap = LoadBitmapEither(name, cx, cy);
    if (!bitmap) return nullptr;
    BITMAP bm;
    std::memset(&bm, 0, sizeof(bm));
    if (GetObjectA(bitmap, sizeof(bm), &bm) == 0 || bm.bmWidth <= 0 || bm.bmHeight == 0) {
        DeleteObject(bitmap);
        return nullptr;
    }
    int w = bm.bmWidth;
    int h = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    IDirectDrawSurface7* surface = CreateSystemSurface(dd, w, h);
    if (!surface) {
        DeleteObject(bitmap);
        return nullptr;
    }
    CopyBitmapToSurface(surface, bitmap, 0, 0, 0, 0);
    if (width) *width = w;
    if (height) *height = h;
    DeleteObject(bitmap);
    return surface;
}

struct ErrorRow {
    HRESULT code;
    const char* name;
    const char* description;
};

const ErrorRow kErrorRows[] = {
    {DD_OK, "DD_OK",
     "The request completed successfully."},
    {DDERR_ALREADYINITIALIZED, "DDERR_ALREADYINITIALIZED",
     "The object has already been initialized."},
    {DDERR_BLTFASTCANTCLIP, "DDERR_BLTFASTCANTCLIP",
     "A fast blit cannot be used on a surface with a clipper attached."},
    {DDERR_CANNOTATTACHSURFACE, "DDERR_CANNOTATTACHSURFACE",
     "The surface cannot be attached to the requested surface."},
    {DDERR_CANNOTDETACHSURFACE, "DDERR_CANNOTDETACHSURFACE",
     "The surface cannot be detached from the requested surface."},
    {DDERR_CANTCREATEDC, "DDERR_CANTCREATEDC",
     "Windows cannot create any more device contexts."},
    {DDERR_CANTDUPLICATE, "DDERR_CANTDUPLICATE",
     "Primary and 3D surfaces, and surfaces that are implicitly created, cannot be duplicated."},
    {DDERR_CANTLOCKSURFACE, "DDERR_CANTLOCKSURFACE",
     "Access to this surface is refused because no driver exists that can supply a pointer to the surface."},
    {DDERR_CANTPAGELOCK, "DDERR_CANTPAGELOCK",
     "The surface could not be page locked."},
    {DDERR_CANTPAGEUNLOCK, "DDERR_CANTPAGEUNLOCK",
     "The surface could not be page unlocked."},
    {DDERR_CLIPPERISUSINGHWND, "DDERR_CLIPPERISUSINGHWND",
     "A clip list cannot be set on a clipper that is already watching a window."},
    {DDERR_COLORKEYNOTSET, "DDERR_COLORKEYNOTSET",
     "No source colour key is set for this operation."},
    {DDERR_CURRENTLYNOTAVAIL, "DDERR_CURRENTLYNOTAVAIL",
     "No support is currently available for this operation."},
    {DDERR_DCALREADYCREATED, "DDERR_DCALREADYCREATED",
     "A device context has already been returned for this surface."},
    {DDERR_DIRECTDRAWALREADYCREATED, "DDERR_DIRECTDRAWALREADYCREATED",
     "A DirectDraw object representing this driver has already been created for this process."},
    {DDERR_EXCEPTION, "DDERR_EXCEPTION",
     "An exception was encountered while performing the requested operation."},
    {DDERR_EXCLUSIVEMODEALREADYSET, "DDERR_EXCLUSIVEMODEALREADYSET",
     "Exclusive mode has already been set by another caller."},
    {DDERR_GENERIC, "DDERR_GENERIC",
     "There is an undefined error condition."},
    {DDERR_HEIGHTALIGN, "DDERR_HEIGHTALIGN",
     "The height of the rectangle is not a multiple of the required alignment."},
    {DDERR_HWNDALREADYSET, "DDERR_HWNDALREADYSET",
     "The cooperative-level window handle has already been set and cannot be reset while surfaces or palettes exist."},
    {DDERR_HWNDSUBCLASSED, "DDERR_HWNDSUBCLASSED",
     "The cooperative-level window has been subclassed and cannot be changed."},
    {DDERR_IMPLICITLYCREATED, "DDERR_IMPLICITLYCREATED",
     "The surface cannot be restored because it is an implicitly created surface."},
    {DDERR_INCOMPATIBLEPRIMARY, "DDERR_INCOMPATIBLEPRIMARY",
     "The primary surface creation request does not match the existing primary surface."},
    {DDERR_INVALIDCAPS, "DDERR_INVALIDCAPS",
     "One or more of the capability bits passed to the callback are incorrect."},
    {DDERR_INVALIDCLIPLIST, "DDERR_INVALIDCLIPLIST",
     "The clip list is not supported."},
    {DDERR_INVALIDDIRECTDRAWGUID, "DDERR_INVALIDDIRECTDRAWGUID",
     "The GUID passed to the create call is not a valid driver identifier."},
    {DDERR_INVALIDMODE, "DDERR_INVALIDMODE",
     "The requested display mode is not supported."},
    {DDERR_INVALIDOBJECT, "DDERR_INVALIDOBJECT",
     "An invalid object was passed to the call."},
    {DDERR_INVALIDPARAMS, "DDERR_INVALIDPARAMS",
     "One or more of the parameters passed to the method are incorrect."},
    {DDERR_INVALIDPIXELFORMAT, "DDERR_INVALIDPIXELFORMAT",
     "The pixel format was invalid as specified."},
    {DDERR_INVALIDPOSITION, "DDERR_INVALIDPOSITION",
     "The position of the overlay on the destination is no longer legal."},
    {DDERR_INVALIDSURFACETYPE, "DDERR_INVALIDSURFACETYPE",
     "The requested operation could not be performed because the surface was of the wrong type."},
    {DDERR_LOCKEDSURFACES, "DDERR_LOCKEDSURFACES",
     "The operation failed because one or more surfaces are locked."},
    {DDERR_NO3D, "DDERR_NO3D",
     "No 3D hardware or emulation is present."},
    {DDERR_NOALPHAHW, "DDERR_NOALPHAHW",
     "No alpha acceleration hardware is present or available."},
    {DDERR_NOBLTHW, "DDERR_NOBLTHW",
     "No blitter hardware is present."},
    {DDERR_NOCLIPLIST, "DDERR_NOCLIPLIST",
     "No clip list is available."},
    {DDERR_NOCLIPPERATTACHED, "DDERR_NOCLIPPERATTACHED",
     "No clipper object is attached to the surface."},
    {DDERR_NOCOLORCONVHW, "DDERR_NOCOLORCONVHW",
     "No colour-conversion hardware is present or available."},
    {DDERR_NOCOLORKEY, "DDERR_NOCOLORKEY",
     "The surface does not currently have a colour key."},
    {DDERR_NOCOLORKEYHW, "DDERR_NOCOLORKEYHW",
     "There is no hardware support for the destination colour key."},
    {DDERR_NOCOOPERATIVELEVELSET, "DDERR_NOCOOPERATIVELEVELSET",
     "A create function was called before the cooperative level was set."},
    {DDERR_NODC, "DDERR_NODC",
     "No device context was ever created for this surface."},
    {DDERR_NODDROPSHW, "DDERR_NODDROPSHW",
     "No DirectDraw raster-operation hardware is available."},
    {DDERR_NODIRECTDRAWHW, "DDERR_NODIRECTDRAWHW",
     "Hardware-only DirectDraw object creation is not possible; the driver does not support any hardware."},
    {DDERR_NODIRECTDRAWSUPPORT, "DDERR_NODIRECTDRAWSUPPORT",
     "DirectDraw support is not possible with the current display driver."},
    {DDERR_NOEMULATION, "DDERR_NOEMULATION",
     "Software emulation is not available."},
    {DDERR_NOEXCLUSIVEMODE, "DDERR_NOEXCLUSIVEMODE",
     "The operation requires the application to have exclusive mode, but it does not."},
    {DDERR_NOFLIPHW, "DDERR_NOFLIPHW",
     "Flipping visible surfaces is not supported."},
    {DDERR_NOGDI, "DDERR_NOGDI",
     "No GDI is present."},
    {DDERR_NOHWND, "DDERR_NOHWND",
     "The clipper notification requires a window handle, or no window handle was set as the cooperative level."},
    {DDERR_NOMIPMAPHW, "DDERR_NOMIPMAPHW",
     "No mipmap-capable texture mapping hardware is present or available."},
    {DDERR_NOMIRRORHW, "DDERR_NOMIRRORHW",
     "No mirroring hardware is present or available."},
    {DDERR_NOOVERLAYDEST, "DDERR_NOOVERLAYDEST",
     "The overlay has not been given a destination surface."},
    {DDERR_NOOVERLAYHW, "DDERR_NOOVERLAYHW",
     "No overlay hardware is present or available."},
    {DDERR_NOPALETTEATTACHED, "DDERR_NOPALETTEATTACHED",
     "No palette object is attached to this surface."},
    {DDERR_NOPALETTEHW, "DDERR_NOPALETTEHW",
     "There is no hardware support for 16- or 256-colour palettes."},
    {DDERR_NORASTEROPHW, "DDERR_NORASTEROPHW",
     "No appropriate raster-operation hardware is present or available."},
    {DDERR_NOROTATIONHW, "DDERR_NOROTATIONHW",
     "No rotation hardware is present or available."},
    {DDERR_NOSTRETCHHW, "DDERR_NOSTRETCHHW",
     "There is no hardware support for stretching."},
    {DDERR_NOT4BITCOLOR, "DDERR_NOT4BITCOLOR",
     "The surface uses a 4-bit palette and the operation requires a different palette."},
    {DDERR_NOT4BITCOLORINDEX, "DDERR_NOT4BITCOLORINDEX",
     "The surface is not using a 4-bit colour index palette and the operation requires one."},
    {DDERR_NOT8BITCOLOR, "DDERR_NOT8BITCOLOR",
     "The surface is not using an 8-bit colour palette and the operation requires one."},
    {DDERR_NOTAOVERLAYSURFACE, "DDERR_NOTAOVERLAYSURFACE",
     "An overlay operation was called on a surface that is not an overlay."},
    {DDERR_NOTEXTUREHW, "DDERR_NOTEXTUREHW",
     "No texture-mapping hardware is present or available."},
    {DDERR_NOTFLIPPABLE, "DDERR_NOTFLIPPABLE",
     "A flip was attempted on a surface that cannot be flipped."},
    {DDERR_NOTFOUND, "DDERR_NOTFOUND",
     "The requested item was not found."},
    {DDERR_NOTINITIALIZED, "DDERR_NOTINITIALIZED",
     "A method was called on an object that has not been initialized."},
    {DDERR_NOTLOCKED, "DDERR_NOTLOCKED",
     "An attempt is made to unlock a surface that was not locked."},
    {DDERR_NOTPAGELOCKED, "DDERR_NOTPAGELOCKED",
     "An attempt was made to page unlock a surface that had no outstanding page locks."},
    {DDERR_NOTPALETTIZED, "DDERR_NOTPALETTIZED",
     "The surface being used is not a palette-based surface."},
    {DDERR_NOVSYNCHW, "DDERR_NOVSYNCHW",
     "There is no hardware support for vertical-blank operations."},
    {DDERR_NOZBUFFERHW, "DDERR_NOZBUFFERHW",
     "There is no hardware support for depth buffers."},
    {DDERR_NOZOVERLAYHW, "DDERR_NOZOVERLAYHW",
     "The overlay surfaces cannot be z-layered in hardware."},
    {DDERR_OUTOFCAPS, "DDERR_OUTOFCAPS",
     "The hardware needed for the operation has already been allocated."},
    {DDERR_OUTOFMEMORY, "DDERR_OUTOFMEMORY",
     "DirectDraw does not have enough memory to perform the operation."},
    {DDERR_OUTOFVIDEOMEMORY, "DDERR_OUTOFVIDEOMEMORY",
     "DirectDraw does not have enough display memory to perform the operation."},
    {DDERR_OVERLAYCANTCLIP, "DDERR_OVERLAYCANTCLIP",
     "The hardware does not support clipped overlays."},
    {DDERR_OVERLAYCOLORKEYONLYONEACTIVE, "DDERR_OVERLAYCOLORKEYONLYONEACTIVE",
     "Only one colour key can be active on an overlay."},
    {DDERR_OVERLAYNOTVISIBLE, "DDERR_OVERLAYNOTVISIBLE",
     "The overlay position was queried while the overlay was hidden."},
    {DDERR_PALETTEBUSY, "DDERR_PALETTEBUSY",
     "Access to this palette is refused because it is locked by another thread."},
    {DDERR_PRIMARYSURFACEALREADYEXISTS, "DDERR_PRIMARYSURFACEALREADYEXISTS",
     "This process has already created a primary surface."},
    {DDERR_REGIONTOOSMALL, "DDERR_REGIONTOOSMALL",
     "The region passed to the clip-list query is too small."},
    {DDERR_SURFACEALREADYATTACHED, "DDERR_SURFACEALREADYATTACHED",
     "The surface is already attached to the surface it is being attached to."},
    {DDERR_SURFACEALREADYDEPENDENT, "DDERR_SURFACEALREADYDEPENDENT",
     "The surface is already a dependency of the surface it is being made a dependency of."},
    {DDERR_SURFACEBUSY, "DDERR_SURFACEBUSY",
     "Access to the surface is refused because the surface is locked by another thread."},
    {DDERR_SURFACEISOBSCURED, "DDERR_SURFACEISOBSCURED",
     "Access to the surface is refused because the surface is obscured."},
    {DDERR_SURFACELOST, "DDERR_SURFACELOST",
     "Access to the surface is refused because the surface memory is gone. The DirectDrawSurface object representing this surface should have the IDirectDrawSurface3::Restore method called on it."},
    {DDERR_SURFACENOTATTACHED, "DDERR_SURFACENOTATTACHED",
     "The requested surface is not attached."},
    {DDERR_TOOBIGHEIGHT, "DDERR_TOOBIGHEIGHT",
     "The height requested by DirectDraw is too large."},
    {DDERR_TOOBIGSIZE, "DDERR_TOOBIGSIZE",
     "The size requested by DirectDraw is too large, although the height and width may each be acceptable."},
    {DDERR_TOOBIGWIDTH, "DDERR_TOOBIGWIDTH",
     "The width requested by DirectDraw is too large."},
    {DDERR_UNSUPPORTED, "DDERR_UNSUPPORTED",
     "The operation is not supported."},
    {DDERR_UNSUPPORTEDFORMAT, "DDERR_UNSUPPORTEDFORMAT",
     "The pixel format requested is not supported by DirectDraw."},
    {DDERR_UNSUPPORTEDMASK, "DDERR_UNSUPPORTEDMASK",
     "The bitmask in the pixel format requested is not supported by DirectDraw."},
    {DDERR_UNSUPPORTEDMODE, "DDERR_UNSUPPORTEDMODE",
     "The display is currently in an unsupported mode."},
    {DDERR_VERTICALBLANKINPROGRESS, "DDERR_VERTICALBLANKINPROGRESS",
     "A vertical blank is in progress."},
    {DDERR_WASSTILLDRAWING, "DDERR_WASSTILLDRAWING",
     "The previous blit operation that is transferring information to or from this surface is incomplete."},
    {DDERR_WRONGMODE, "DDERR_WRONGMODE",
     "This surface cannot be restored because it was created in a different mode."},
    {DDERR_XALIGN, "DDERR_XALIGN",
     "The rectangle was not horizontally aligned on a required boundary."},
};

const int kErrorRowCount = static_cast<int>(sizeof(kErrorRows) / sizeof(kErrorRows[0]));
static_assert(sizeof(kErrorRows) / sizeof(kErrorRows[0]) == 100, "the error table has 100 rows");

const ErrorRow* FindError(HRESULT hr) {
    for (int i = 0; i < kErrorRowCount; ++i)
        if (kErrorRows[i].code == hr) return &kErrorRows[i];
    return nullptr;
}

}  // namespace

int GetPixelFormatInfo(IDirectDrawSurface7* surface, CQNDXPixelFormatInfo* out) {
    if (!surface || !out) return 0;
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = 124;
    desc.dwFlags = DDSD_PIXELFORMAT;
    if (surface->GetSurfaceDesc(&desc) != DD_OK) return 0;

    const DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
    DWORD bits = pf.dwRGBBitCount;
    if (bits <= 8) {
        std::memset(out, 0, sizeof(*out));
        out->Kind = bits;
        return 1;
    }
    AnalyseMask(pf.dwRBitMask, &out->RedMax, &out->RedShift);
    AnalyseMask(pf.dwGBitMask, &out->GreenMax, &out->GreenShift);
    AnalyseMask(pf.dwBBitMask, &out->BlueMax, &out->BlueShift);
    if (!(pf.dwFlags & DDPF_RGB)) {
        out->Kind = 0;
        return 0;
    }
    switch (bits) {
        case 16:
            out->Kind = (out->RedMax + out->GreenMax + out->BlueMax == 93) ? 15 : 16;
            break;
        case 24:
            out->Kind = 24;
            break;
        case 32:
            out->Kind = 32;
            break;
        default:
            out->Kind = 0;
            break;
    }
    return 1;
}

COLORREF PixelToRGB(DWORD pixel, const DDPIXELFORMAT* format) {
    if (!format) return 0;
    return MasksToRGB(pixel, format->dwRBitMask, format->dwGBitMask, format->dwBBitMask);
}

COLORREF PixelToRGBFromInfo(DWORD pixel, const CQNDXPixelFormatInfo* info) {
    if (!info) return 0;
    return MasksToRGB(pixel, InfoMask(info->RedMax, info->RedShift), InfoMask(info->GreenMax, info->GreenShift),
                      InfoMask(info->BlueMax, info->BlueShift));
}

DWORD RGBToPixel(COLORREF colour, const DDPIXELFORMAT* format) {
    if (!format) return 0;
    return RGBToMasks(colour, format->dwRBitMask, format->dwGBitMask, format->dwBBitMask);
}

DWORD RGBToPixelFromInfo(COLORREF colour, const CQNDXPixelFormatInfo* info) {
    if (!info) return 0;
    return RGBToMasks(colour, InfoMask(info->RedMax, info->RedShift), InfoMask(info->GreenMax, info->GreenShift),
                      InfoMask(info->BlueMax, info->BlueShift));
}

DWORD MatchColor(IDirectDrawSurface7* surface, COLORREF colour) {
    if (!surface) return CLR_INVALID;
    COLORREF saved = 0;
    HDC dc = nullptr;
    if (colour != CLR_INVALID && surface->GetDC(&dc) == DD_OK) {
        saved = ::GetPixel(dc, 0, 0);
        ::SetPixel(dc, 0, 0, colour);
        surface->ReleaseDC(dc);
    }

    DWORD result = CLR_INVALID;
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = 124;
    HRESULT hr;
    // A blit still running finishes; a layer that never does must not hang us.
    int attempts = 0;
    while ((hr = surface->Lock(nullptr, &desc, 0, nullptr)) == DDERR_WASSTILLDRAWING && ++attempts < 1000) {
    }
    if (hr == DD_OK) {
        if (desc.lpSurface) result = ReadFirstPixel(desc.lpSurface, desc.ddpfPixelFormat.dwRGBBitCount);
        surface->Unlock(nullptr);
    }

    if (colour != CLR_INVALID && surface->GetDC(&dc) == DD_OK) {
        ::SetPixel(dc, 0, 0, saved);
        surface->ReleaseDC(dc);
    }
    return result;
}

HRESULT SetColorKeyRGB(IDirectDrawSurface7* surface, COLORREF colour) {
    if (!surface) return E_FAIL;
    DDCOLORKEY key;
    key.dwColorSpaceLowValue = MatchColor(surface, colour);
    key.dwColorSpaceHighValue = key.dwColorSpaceLowValue;
    return surface->SetColorKey(DDCKEY_SRCBLT, &key);
}

IDirectDrawSurface7* LoadBitmapSurface(IDirectDraw7* dd, const char* name, int cx, int cy) {
    return LoadBitmapCommon(dd, name, cx, cy, nullptr, nullptr);
}

IDirectDrawSurface7* LoadBitmapSurfaceGetSize(IDirectDraw7* dd, const char* name, int* width, int* height) {
    return LoadBitmapCommon(dd, name, 0, 0, width, height);
}

HRESULT ReloadBitmap(IDirectDrawSurface7* surface, const char* name) {
    if (!name) return E_FAIL;
    HBITMAP bitmap = LoadBitmapEither(name, 0, 0);
    if (!bitmap) {
        OutputDebugStringA("handle is null\n");
        return E_FAIL;
    }
    HRESULT hr = CopyBitmapToSurface(surface, bitmap, 0, 0, 0, 0);
    if (hr != DD_OK) OutputDebugStringA("ddcopybitmap failed\n");
    DeleteObject(bitmap);
    return hr;
}

HRESULT CopyBitmapToSurface(IDirectDrawSurface7* surface, HBITMAP bitmap, int x, int y, int dx, int dy) {
    if (!surface || !bitmap) return E_FAIL;
    surface->Restore();

    HDC imageDC = CreateCompatibleDC(nullptr);
    if (!imageDC) OutputDebugStringA("createcompatible dc failed\n");
    HGDIOBJ previous = imageDC ? SelectObject(imageDC, bitmap) : nullptr;

    BITMAP bm;
    std::memset(&bm, 0, sizeof(bm));
    GetObjectA(bitmap, sizeof(bm), &bm);
    if (dx == 0) dx = bm.bmWidth;
    if (dy == 0) dy = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;

    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = 124;
    desc.dwFlags = DDSD_HEIGHT | DDSD_WIDTH;
    surface->GetSurfaceDesc(&desc);

    HDC dc = nullptr;
    HRESULT hr = surface->GetDC(&dc);
    if (hr == DD_OK) {
        if (imageDC)
            StretchBlt(dc, 0, 0, static_cast<int>(desc.dwWidth), static_cast<int>(desc.dwHeight), imageDC, x, y, dx,
                       dy, SRCCOPY);
        surface->ReleaseDC(dc);
    }
    if (imageDC) {
        SelectObject(imageDC, previous);  // never delete a DC with our bitmap still in it
        DeleteDC(imageDC);
    }
    return hr;
}

IDirectDrawSurface7* CreateSystemSurface(IDirectDraw7* dd, int width, int height) {
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = 124;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    IDirectDrawSurface7* surface = nullptr;
    if (dd->CreateSurface(&desc, &surface, nullptr) != DD_OK) {
        if (surface) surface->Release();
        return nullptr;
    }
    return surface;
}

IDirectDrawSurface7* CreateOffscreenSurface(IDirectDraw7* dd, int width, int height, DDSURFACEDESC2* desc) {
    if (!dd) return nullptr;
    DDSURFACEDESC2 local;
    DDSURFACEDESC2* d = desc ? desc : &local;
    std::memset(d, 0, sizeof(*d));
    d->dwSize = 124;
    d->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    d->ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    d->dwWidth = static_cast<DWORD>(width);
    d->dwHeight = static_cast<DWORD>(height);
    IDirectDrawSurface7* surface = nullptr;
    if (dd->CreateSurface(d, &surface, nullptr) != DD_OK) {
        if (surface) surface->Release();
        return nullptr;
    }
    return surface;
}

void* CopyBytes(void* dest, const void* src, int count) {
    if (count > 0) std::memcpy(dest, src, static_cast<size_t>(count));
    return dest;
}

const char* DDErrorName(HRESULT hr) {
    const ErrorRow* row = FindError(hr);
    return row ? row->name : "**UNKNOWN**";
}

const char* DDErrorDescription(HRESULT hr) {
    const ErrorRow* row = FindError(hr);
    return row ? row->description : "Recieved an error not part of DirectX 5";
}

int DDErrorTableSize() { return kErrorRowCount; }

HRESULT DDErrorTableCode(int index) {
    if (index < 0 || index >= kErrorRowCount) return E_FAIL;
    return kErrorRows[index].code;
}
