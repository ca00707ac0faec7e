// Device contexts inside the layer: what a DC draws into (a surface's
// memory, a memory DC's selected bitmap, or nothing for screen, window and
// information contexts), what is selected into it, and its text state.
// Other parts of the layer (DIB drawing, text, icons) draw through
// LookupDC(hdc)->target with the pixel helpers below.
//
// GDI runs on the engine's thread; a DeviceContext* is valid until the DC is
// deleted or released.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include "pixels/Pixels.h"
#include "platform/Gdi.h"

namespace qndx {
namespace platform {

// The pixels a DC draws into, in one of the pixel library's kinds: 8 is an
// index into `palette`, 15 leaves bit 15 unused (written 0), 24 is three bytes
// blue, green, red, and 32 is 0x00RRGGBB with a top byte that is not colour.
// Channels: blue in the lowest bits. `bits` points at the top row; rows are
// `pitch` bytes apart. Everything outside 0..width-1 x 0..height-1 is
// off limits.
struct PixelTarget {
    uint8_t* bits = nullptr;
    int32_t pitch = 0;
    int32_t width = 0;
    int32_t height = 0;
    pixels::Kind kind = pixels::kNone;
    // 256 entries for Indexed8; null means the fixed 3-3-2 colour cube
    // (index = r >> 5 << 5 | g >> 5 << 2 | b >> 6).
    const PALETTEENTRY* palette = nullptr;
    // Set while a surface's memory is still to be cleared: drawing that
    // covers every pixel clears the flag instead, anything else Settle()s.
    bool* unwritten = nullptr;

    void Settle() const {
        if (unwritten && *unwritten) {
            std::memset(bits, 0, (size_t)pitch * (size_t)height);
            *unwritten = false;
        }
    }
    bool HasPixels() const { return bits != nullptr && width > 0 && height > 0 && kind != pixels::kNone; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

// Colour conversions as the display driver does them. Writing keeps the top
// bits of each 8-bit channel; reading widens a 5- or 6-bit channel by
// repeating its top bits in the new low bits (31 -> 255, 16 -> 132), so a
// read colour written back gives the same pixel. Indexed targets take the
// nearest palette entry (squared distance, lowest index on a tie).
DWORD ColorToNative(const PixelTarget& target, COLORREF color);
COLORREF NativeToColor(const PixelTarget& target, DWORD native);

// Raw pixel access; the caller checks Contains(x, y). Values are the
// target's native pixels (the 24-bit kind as blue | green << 8 | red << 16).
DWORD LoadPixel(const PixelTarget& target, int x, int y);
void StorePixel(const PixelTarget& target, int x, int y, DWORD native);

class DeviceContext {
public:
    enum class Kind {
        Screen,   // GetDC(NULL)
        Window,   // GetDC(hwnd)
        Memory,   // CreateCompatibleDC: draws into the selected bitmap
        Surface,  // IDirectDrawSurface7::GetDC: draws into the surface
        Info,     // CreateICA: device capabilities only
    };

    explicit DeviceContext(Kind k) : kind(k) {}
    virtual ~DeviceContext() = default;

    const Kind kind;
    HWND hwnd = nullptr;       // Window DCs
    void* owner = nullptr;     // Surface DCs: the surface object that made it
    PixelTarget target;        // no pixels unless Memory (with a bitmap) or Surface

    // Selected objects (always valid handles once the DC is registered).
    HGDIOBJ bitmap = nullptr;  // Memory DCs only
    HGDIOBJ font = nullptr;
    HGDIOBJ brush = nullptr;
    HGDIOBJ pen = nullptr;

    COLORREF textColor = 0x000000;
    COLORREF bkColor = 0xFFFFFF;
    int bkMode = OPAQUE;

    // Union of the areas drawn through this DC, so that whoever shows a
    // surface can tell what changed. Drawing code calls MarkDirty.
    RECT dirty = {0, 0, 0, 0};
    bool hasDirty = false;
    void MarkDirty(LONG left, LONG top, LONG right, LONG bottom);
};

// The DC behind a handle; null for handles that are not live DCs. Its
// target's memory is settled unless `settle` is false.
DeviceContext* LookupDC(HDC hdc, bool settle = true);
// Takes ownership, selects the stock font, brush and pen (and the
// placeholder bitmap for Memory DCs), and returns a handle that is never
// reused.
HDC RegisterDC(std::unique_ptr<DeviceContext> dc);
// Deletes a DC made by RegisterDC; a bitmap selected into it becomes free to
// select elsewhere. False for unknown handles.
bool DestroyDC(HDC hdc);

}  // namespace platform
}  // namespace qndx
