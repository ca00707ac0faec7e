// Pixel formats and the DirectDraw helpers the graphics engine shares: the
// pixel-format record every software pixel loop switches on, conversions
// between native pixels and RGB colours, colour matching through GDI, loading
// bitmaps into surfaces, a plain memory copy, and the names and descriptions
// of DirectDraw result codes.
#pragma once

#include <cstdint>

#include "platform/DirectDraw.h"
#include "platform/Gdi.h"

// Channel maxima and shifts of a pixel format, and the pixel kind the software
// routines switch on: 15 (5-5-5), 16 (5-6-5), 24, 32, 1 to 8 for palettized
// formats, 0 for anything without software routines. Blue sits in the lowest
// bits, red in the highest. A channel's mask is its maximum shifted left by
// its shift; an empty mask has maximum 0 and shift 32.
struct CQNDXPixelFormatInfo {
    uint8_t BlueMax;
    uint8_t GreenMax;
    uint8_t RedMax;
    uint8_t BlueShift;
    uint8_t GreenShift;
    uint8_t RedShift;
    uint32_t Kind;
};

// Fills `out` from the surface's pixel format; 0 (record untouched) when the
// surface cannot describe itself or the format is not RGB.
int GetPixelFormatInfo(IDirectDrawSurface7* surface, CQNDXPixelFormatInfo* out);

// Native pixel <-> RGB colour (0x00BBGGRR). Each channel is scaled by 255 over
// its mask with truncating division; a channel without a mask gives 0.
COLORREF PixelToRGB(DWORD pixel, const DDPIXELFORMAT* format);
COLORREF PixelToRGBFromInfo(DWORD pixel, const CQNDXPixelFormatInfo* info);
DWORD RGBToPixel(COLORREF colour, const DDPIXELFORMAT* format);
DWORD RGBToPixelFromInfo(COLORREF colour, const CQNDXPixelFormatInfo* info);
// RGB colour -> native pixel by each channel's top bits under its mask
// (shifted up under a mask wider than 8 bits); a channel without a mask gives 0.
DWORD PlaceRGB(COLORREF colour, DWORD red, DWORD green, DWORD blue);

// The native value the display driver gives `colour` on this surface (written
// through GDI into pixel 0,0 and read back); CLR_INVALID when it cannot lock.
DWORD MatchColor(IDirectDrawSurface7* surface, COLORREF colour);
// Sets the surface's source colour key to MatchColor(surface, colour).
HRESULT SetColorKeyRGB(IDirectDrawSurface7* surface, COLORREF colour);

// Bitmaps from the program's resources or, failing that, from a BMP file.
IDirectDrawSurface7* LoadBitmapSurface(IDirectDraw7* dd, const char* name, int cx, int cy);
IDirectDrawSurface7* LoadBitmapSurfaceGetSize(IDirectDraw7* dd, const char* name, int* width, int* height);
HRESULT ReloadBitmap(IDirectDrawSurface7* surface, const char* name);
HRESULT CopyBitmapToSurface(IDirectDrawSurface7* surface, HBITMAP bitmap, int x, int y, int dx, int dy);
IDirectDrawSurface7* CreateOffscreenSurface(IDirectDraw7* dd, int width, int height, DDSURFACEDESC2* desc);
// A cleared description with its size field set; one of a surface of these
// caps and size (the caps, width and height fields set); and a surface made
// from one: null on failure, nothing held.
DDSURFACEDESC2 EmptyDescription();
DDSURFACEDESC2 DescribeSurface(DWORD caps, int width, int height);
IDirectDrawSurface7* CreateSurfaceFrom(IDirectDraw7* dd, DDSURFACEDESC2* desc);
// A system-memory offscreen surface of the display's format; null on failure.
IDirectDrawSurface7* CreateSystemSurface(IDirectDraw7* dd, int width, int height);

// The first pixel of locked memory, read with no more bytes than a pixel of
// `bitCount` bits holds (one for an unknown count) and without assuming the
// pointer is aligned.
DWORD ReadFirstPixel(const void* bits, DWORD bitCount);

// Releases what the pointer holds, if anything, and clears the pointer.
template <class Object>
inline void ReleaseHeld(Object*& held) {
    if (held) held->Release();
    held = nullptr;
}

// Plain memory copy; returns dest.
void* CopyBytes(void* dest, const void* src, int count);

// Symbolic name and one-sentence description of a DirectDraw result; codes
// outside the table give "**UNKNOWN**" and a fixed text.
const char* DDErrorName(HRESULT hr);
const char* DDErrorDescription(HRESULT hr);
// Number of rows of the table (100) and the code of row `index` (tests and
// diagnostics walk the table with these).
int DDErrorTableSize();
HRESULT DDErrorTableCode(int index);
