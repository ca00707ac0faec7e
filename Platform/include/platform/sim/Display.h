// Test control of the display side: desktop size and format, the display
// modes and drivers DirectDraw reports, the video-memory budget, surface
// pitch padding, lost surfaces, and what the display currently is.
// Reset() puts everything back: desktop 1024x768 at QNDX_DESKTOP_BPP (15,
// 16, 24 or 32; default 32), the default mode list, the primary driver
// alone, a 64 MiB budget, 4-byte pitch alignment, the fast blit loops as the
// environment asks.
#pragma once

#include <string>
#include <vector>

#include "platform/DirectDraw.h"

namespace qndx {
namespace sim {

// bitsPerPixel: 8, 15 (16-bit 5-5-5), 16 (5-6-5), 24 or 32.
struct SimDisplayMode {
    DWORD width;
    DWORD height;
    DWORD bitsPerPixel;
    DWORD refreshRate;
};

// The desktop: the windowed primary surface's size and format, and what
// GetDeviceCaps(BITSPIXEL, HORZRES, VERTRES) of the screen answer (8 is
// accepted so that refusals of 8-bit desktops can be tested).
void SetDesktop(DWORD width, DWORD height, DWORD bitsPerPixel);

// The modes EnumDisplayModes reports, in this order. The default list holds
// the usual 640x480 to 1600x1200 modes at 16 and 32 bits and 60/75/85 Hz,
// plus 8-bit and 320x240 modes a game's filter has to drop.
void SetDisplayModes(const std::vector<SimDisplayMode>& modes);
std::vector<SimDisplayMode> DefaultDisplayModes();

// Extra drivers reported by DirectDrawEnumerateExA after the primary one.
struct SimDisplayDriver {
    enum Kind { AttachedSecondary, DetachedSecondary, NonDisplay };
    GUID guid;
    std::string description;
    std::string name;
    HMONITOR monitor = nullptr;
    Kind kind = AttachedSecondary;
    HRESULT createResult = DD_OK;  // what DirectDrawCreate(Ex) of it returns
    HRESULT capsResult = DD_OK;    // what its GetCaps returns
};
void AddDisplayDriver(const SimDisplayDriver& driver);

// Video memory: surfaces asking for DDSCAPS_VIDEOMEMORY must fit in it.
void SetVideoMemoryBudget(DWORD bytes);
DWORD VideoMemoryBudget();
DWORD VideoMemoryUsed();

// The pixel loops' vector forms, for the engine and the layer alike (one
// switch): "none" (the scalar loops, which give the same pixels; the span
// form of keyed sources is off too), "sse2", "avx2" or "avx512". A level
// beyond what the processor and build offer gives their best, and the call
// answers false. Reset() goes back to what the environment asks: QNDX_SIMD,
// or QNDX_BLIT_NO_FAST set to anything but "0" for none.
bool SetPixelSimd(const char* level);
const char* PixelSimd();
// The same as on (the best level) or off (none).
void SetBlitFastPaths(bool on);
bool BlitFastPaths();
// Keyed blits take the span form of their source (built at the second
// keyed blit since it changed) only for blocks where it beats the level's
// keyed loop. On: for blocks of every size, so small test surfaces reach
// it. Reset() turns it off.
void SetKeySpansForAllSizes(bool on);

// Row pitch alignment of new surfaces in bytes (a power of two, at least 4),
// so tests can make pitch differ from width * bytes per pixel.
void SetPitchAlignment(DWORD bytes);

// Marks a surface lost (a flip chain as a whole): calls answer
// DDERR_SURFACELOST until Restore, which refills the memory with garbage.
// False for a pointer that is not a live surface.
bool MarkSurfaceLost(IDirectDrawSurface7* surface);
// Loses every primary surface and every surface in video memory, as a mode
// switch by another program would.
void LoseVideoMemorySurfaces();

// Live objects, to catch leaks.
int LiveSurfaceCount();

// The display as DirectDraw has set it (the desktop unless SetDisplayMode
// changed it), and whether some DirectDraw object holds exclusive mode.
SimDisplayMode CurrentDisplayMode();
bool ExclusiveModeHeld();

}  // namespace sim
}  // namespace qndx
