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

// The channel value (8 bits) placed under `mask`: its top bits when the
// mask is narrower than 8 bits, shifted up when wider. An empty mask gives 0.
DWORD PlaceChannel(DWORD value, DWORD mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (shift < 32 && !((mask >> shift) & 1u)) ++shift;
    int width = 0;
    while (shift + width < 32 && ((mask >> (shift + width)) & 1u)) ++width;
    uint64_t placed = static_cast<uint64_t>(value) << shift;
    placed = width <= 8 ? placed >> (8 - width) : placed << (width - 8);
    return static_cast<DWORD>(placed) & mask;
}

COLORREF MasksToRGB(DWORD pixel, DWORD red, DWORD green, DWORD blue) {
    return ChannelToByte(pixel, red) | (ChannelToByte(pixel, green) << 8) | (ChannelToByte(pixel, blue) << 16);
}

DWORD RGBToMasks(COLORREF colour, DWORD red, DWORD green, DWORD blue) {
    return ByteToChannel(colour & 0xFF, red) | ByteToChannel((colour >> 8) & 0xFF, green) |
           ByteToChannel((colour >> 16) & 0xFF, blue);
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
    IDirectDrawSurface7* surface = nullptr;
    if (GetObjectA(bitmap, sizeof(bm), &bm) != 0 && bm.bmWidth > 0 && bm.bmHeight != 0) {
        const int w = bm.bmWidth;
        const int h = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
        surface = CreateSystemSurface(dd, w, h);
        if (surface) {
            CopyBitmapToSurface(surface, bitmap, 0, 0, 0, 0);
            if (width) *width = w;
            if (height) *height = h;
        }
    }
    DeleteObject(bitmap);  // the surface holds its own copy of the pixels
    return surface;
}

struct ErrorRow {
    HRESULT code;
    const char* name;
    const char* description;
};

// Each code with its own name spelled out.
#define ROW(code, description) {code, #code, description}
const ErrorRow kErrorRows[] = {
    ROW(DD_OK, "The request completed successfully."),
    ROW(DDERR_ALREADYINITIALIZED, "The object has already been initialized."),
    ROW(DDERR_BLTFASTCANTCLIP, "A fast blit cannot be used on a surface with a clipper attached."),
    ROW(DDERR_CANNOTATTACHSURFACE, "The surface cannot be attached to the requested surface."),
    ROW(DDERR_CANNOTDETACHSURFACE, "The surface cannot be detached from the requested surface."),
    ROW(DDERR_CANTCREATEDC, "Windows cannot create any more device contexts."),
    ROW(DDERR_CANTDUPLICATE,
        "Primary and 3D surfaces, and surfaces that are implicitly created, cannot be duplicated."),
    ROW(DDERR_CANTLOCKSURFACE,
        "Access to this surface is refused because no driver exists that can supply a pointer to the surface."),
    ROW(DDERR_CANTPAGELOCK, "The surface could not be page locked."),
    ROW(DDERR_CANTPAGEUNLOCK, "The surface could not be page unlocked."),
    ROW(DDERR_CLIPPERISUSINGHWND, "A clip list cannot be set on a clipper that is already watching a window."),
    ROW(DDERR_COLORKEYNOTSET, "No source colour key is set for this operation."),
    ROW(DDERR_CURRENTLYNOTAVAIL, "No support is currently available for this operation."),
    ROW(DDERR_DCALREADYCREATED, "A device context has already been returned for this surface."),
    ROW(DDERR_DIRECTDRAWALREADYCREATED,
        "A DirectDraw object representing this driver has already been created for this process."),
    ROW(DDERR_EXCEPTION, "An exception was encountered while performing the requested operation."),
    ROW(DDERR_EXCLUSIVEMODEALREADYSET, "Exclusive mode has already been set by another caller."),
    ROW(DDERR_GENERIC, "There is an undefined error condition."),
    ROW(DDERR_HEIGHTALIGN, "The height of the rectangle is not a multiple of the required alignment."),
    ROW(DDERR_HWNDALREADYSET,
        "The cooperative-level window handle has already been set and cannot be reset while surfaces or palettes exist."),
    ROW(DDERR_HWNDSUBCLASSED, "The cooperative-level window has been subclassed and cannot be changed."),
    ROW(DDERR_IMPLICITLYCREATED, "The surface cannot be restored because it is an implicitly created surface."),
    ROW(DDERR_INCOMPATIBLEPRIMARY, "The primary surface creation request does not match the existing primary surface."),
    ROW(DDERR_INVALIDCAPS, "One or more of the capability bits passed to the callback are incorrect."),
    ROW(DDERR_INVALIDCLIPLIST, "The clip list is not supported."),
    ROW(DDERR_INVALIDDIRECTDRAWGUID, "The GUID passed to the create call is not a valid driver identifier."),
    ROW(DDERR_INVALIDMODE, "The requested display mode is not supported."),
    ROW(DDERR_INVALIDOBJECT, "An invalid object was passed to the call."),
    ROW(DDERR_INVALIDPARAMS, "One or more of the parameters passed to the method are incorrect."),
    ROW(DDERR_INVALIDPIXELFORMAT, "The pixel format was invalid as specified."),
    ROW(DDERR_INVALIDPOSITION, "The position of the overlay on the destination is no longer legal."),
    ROW(DDERR_INVALIDSURFACETYPE,
        "The requested operation could not be performed because the surface was of the wrong type."),
    ROW(DDERR_LOCKEDSURFACES, "The operation failed because one or more surfaces are locked."),
    ROW(DDERR_NO3D, "No 3D hardware or emulation is present."),
    ROW(DDERR_NOALPHAHW, "No alpha acceleration hardware is present or available."),
    ROW(DDERR_NOBLTHW, "No blitter hardware is present."),
    ROW(DDERR_NOCLIPLIST, "No clip list is available."),
    ROW(DDERR_NOCLIPPERATTACHED, "No clipper object is attached to the surface."),
    ROW(DDERR_NOCOLORCONVHW, "No colour-conversion hardware is present or available."),
    ROW(DDERR_NOCOLORKEY, "The surface does not currently have a colour key."),
    ROW(DDERR_NOCOLORKEYHW, "There is no hardware support for the destination colour key."),
    ROW(DDERR_NOCOOPERATIVELEVELSET, "A create function was called before the cooperative level was set."),
    ROW(DDERR_NODC, "No device context was ever created for this surface."),
    ROW(DDERR_NODDROPSHW, "No DirectDraw raster-operation hardware is available."),
    ROW(DDERR_NODIRECTDRAWHW,
        "Hardware-only DirectDraw object creation is not possible; the driver does not support any hardware."),
    ROW(DDERR_NODIRECTDRAWSUPPORT, "DirectDraw support is not possible with the current display driver."),
    ROW(DDERR_NOEMULATION, "Software emulation is not available."),
    ROW(DDERR_NOEXCLUSIVEMODE, "The operation requires the application to have exclusive mode, but it does not."),
    ROW(DDERR_NOFLIPHW, "Flipping visible surfaces is not supported."),
    ROW(DDERR_NOGDI, "No GDI is present."),
    ROW(DDERR_NOHWND,
        "The clipper notification requires a window handle, or no window handle was set as the cooperative level."),
    ROW(DDERR_NOMIPMAPHW, "No mipmap-capable texture mapping hardware is present or available."),
    ROW(DDERR_NOMIRRORHW, "No mirroring hardware is present or available."),
    ROW(DDERR_NOOVERLAYDEST, "The overlay has not been given a destination surface."),
    ROW(DDERR_NOOVERLAYHW, "No overlay hardware is present or available."),
    ROW(DDERR_NOPALETTEATTACHED, "No palette object is attached to this surface."),
    ROW(DDERR_NOPALETTEHW, "There is no hardware support for 16- or 256-colour palettes."),
    ROW(DDERR_NORASTEROPHW, "No appropriate raster-operation hardware is present or available."),
    ROW(DDERR_NOROTATIONHW, "No rotation hardware is present or available."),
    ROW(DDERR_NOSTRETCHHW, "There is no hardware support for stretching."),
    ROW(DDERR_NOT4BITCOLOR, "The surface uses a 4-bit palette and the operation requires a different palette."),
    ROW(DDERR_NOT4BITCOLORINDEX,
        "The surface is not using a 4-bit colour index palette and the operation requires one."),
    ROW(DDERR_NOT8BITCOLOR, "The surface is not using an 8-bit colour palette and the operation requires one."),
    ROW(DDERR_NOTAOVERLAYSURFACE, "An overlay operation was called on a surface that is not an overlay."),
    ROW(DDERR_NOTEXTUREHW, "No texture-mapping hardware is present or available."),
    ROW(DDERR_NOTFLIPPABLE, "A flip was attempted on a surface that cannot be flipped."),
    ROW(DDERR_NOTFOUND, "The requested item was not found."),
    ROW(DDERR_NOTINITIALIZED, "A method was called on an object that has not been initialized."),
    ROW(DDERR_NOTLOCKED, "An attempt is made to unlock a surface that was not locked."),
    ROW(DDERR_NOTPAGELOCKED, "An attempt was made to page unlock a surface that had no outstanding page locks."),
    ROW(DDERR_NOTPALETTIZED, "The surface being used is not a palette-based surface."),
    ROW(DDERR_NOVSYNCHW, "There is no hardware support for vertical-blank operations."),
    ROW(DDERR_NOZBUFFERHW, "There is no hardware support for depth buffers."),
    ROW(DDERR_NOZOVERLAYHW, "The overlay surfaces cannot be z-layered in hardware."),
    ROW(DDERR_OUTOFCAPS, "The hardware needed for the operation has already been allocated."),
    ROW(DDERR_OUTOFMEMORY, "DirectDraw does not have enough memory to perform the operation."),
    ROW(DDERR_OUTOFVIDEOMEMORY, "DirectDraw does not have enough display memory to perform the operation."),
    ROW(DDERR_OVERLAYCANTCLIP, "The hardware does not support clipped overlays."),
    ROW(DDERR_OVERLAYCOLORKEYONLYONEACTIVE, "Only one colour key can be active on an overlay."),
    ROW(DDERR_OVERLAYNOTVISIBLE, "The overlay position was queried while the overlay was hidden."),
    ROW(DDERR_PALETTEBUSY, "Access to this palette is refused because it is locked by another thread."),
    ROW(DDERR_PRIMARYSURFACEALREADYEXISTS, "This process has already created a primary surface."),
    ROW(DDERR_REGIONTOOSMALL, "The region passed to the clip-list query is too small."),
    ROW(DDERR_SURFACEALREADYATTACHED, "The surface is already attached to the surface it is being attached to."),
    ROW(DDERR_SURFACEALREADYDEPENDENT,
        "The surface is already a dependency of the surface it is being made a dependency of."),
    ROW(DDERR_SURFACEBUSY, "Access to the surface is refused because the surface is locked by another thread."),
    ROW(DDERR_SURFACEISOBSCURED, "Access to the surface is refused because the surface is obscured."),
    ROW(DDERR_SURFACELOST,
        "Access to the surface is refused because the surface memory is gone. The DirectDrawSurface object representing this surface should have the IDirectDrawSurface3::Restore method called on it."),
    ROW(DDERR_SURFACENOTATTACHED, "The requested surface is not attached."),
    ROW(DDERR_TOOBIGHEIGHT, "The height requested by DirectDraw is too large."),
    ROW(DDERR_TOOBIGSIZE,
        "The size requested by DirectDraw is too large, although the height and width may each be acceptable."),
    ROW(DDERR_TOOBIGWIDTH, "The width requested by DirectDraw is too large."),
    ROW(DDERR_UNSUPPORTED, "The operation is not supported."),
    ROW(DDERR_UNSUPPORTEDFORMAT, "The pixel format requested is not supported by DirectDraw."),
    ROW(DDERR_UNSUPPORTEDMASK, "The bitmask in the pixel format requested is not supported by DirectDraw."),
    ROW(DDERR_UNSUPPORTEDMODE, "The display is currently in an unsupported mode."),
    ROW(DDERR_VERTICALBLANKINPROGRESS, "A vertical blank is in progress."),
    ROW(DDERR_WASSTILLDRAWING,
        "The previous blit operation that is transferring information to or from this surface is incomplete."),
    ROW(DDERR_WRONGMODE, "This surface cannot be restored because it was created in a different mode."),
    ROW(DDERR_XALIGN, "The rectangle was not horizontally aligned on a required boundary."),
};
#undef ROW

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
    DDSURFACEDESC2 desc = EmptyDescription();
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

DWORD PlaceRGB(COLORREF colour, DWORD red, DWORD green, DWORD blue) {
    return PlaceChannel(colour & 0xFF, red) | PlaceChannel((colour >> 8) & 0xFF, green) |
           PlaceChannel((colour >> 16) & 0xFF, blue);
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
    DDSURFACEDESC2 desc = EmptyDescription();
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

    DDSURFACEDESC2 desc = EmptyDescription();
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

DDSURFACEDESC2 EmptyDescription() {
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = 124;
    return desc;
}

DDSURFACEDESC2 DescribeSurface(DWORD caps, int width, int height) {
    DDSURFACEDESC2 desc = EmptyDescription();
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.ddsCaps.dwCaps = caps;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    return desc;
}

IDirectDrawSurface7* CreateSurfaceFrom(IDirectDraw7* dd, DDSURFACEDESC2* desc) {
    IDirectDrawSurface7* surface = nullptr;
    if (!dd || dd->CreateSurface(desc, &surface, nullptr) != DD_OK || !surface) {
        if (surface) surface->Release();
        return nullptr;
    }
    return surface;
}

IDirectDrawSurface7* CreateSystemSurface(IDirectDraw7* dd, int width, int height) {
    DDSURFACEDESC2 desc = DescribeSurface(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, width, height);
    return CreateSurfaceFrom(dd, &desc);
}

IDirectDrawSurface7* CreateOffscreenSurface(IDirectDraw7* dd, int width, int height, DDSURFACEDESC2* desc) {
    if (!dd) return nullptr;
    DDSURFACEDESC2 local;
    DDSURFACEDESC2* d = desc ? desc : &local;
    *d = DescribeSurface(DDSCAPS_OFFSCREENPLAIN, width, height);
    return CreateSurfaceFrom(dd, d);
}

DWORD ReadFirstPixel(const void* bits, DWORD bitCount) {
    DWORD value = 0;
    size_t bytes = bitCount >= 32 ? 4 : (bitCount + 7) / 8;
    if (bytes == 0) bytes = 1;
    std::memcpy(&value, bits, bytes);  // little-endian: low bytes first
    if (bitCount > 0 && bitCount < 32) value &= (1u << bitCount) - 1u;
    return value;
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
