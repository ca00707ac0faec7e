// Device-context calls: screen and window DCs, memory DCs, device
// capabilities, pixel access and the stretching copy between DCs.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "ddraw/DisplayState.h"
#include "gdi/DeviceContext.h"
#include "gdi/GdiObject.h"
#include "platform/Gdi.h"
#include "sim/SimInternal.h"

using namespace qndx::platform;

namespace {

const int kLogicalDpi = 96;

HDC MakeDC(DeviceContext::Kind kind, HWND hwnd) {
    std::unique_ptr<DeviceContext> dc(new DeviceContext(kind));
    dc->hwnd = hwnd;
    return RegisterDC(std::move(dc));
}

}  // namespace

HDC GetDC(HWND hWnd) {
    qndx::sim::internal::Record("GetDC", hWnd ? "hwnd" : "NULL");
    return MakeDC(hWnd ? DeviceContext::Kind::Window : DeviceContext::Kind::Screen, hWnd);
}

int ReleaseDC(HWND, HDC hDC) {
    qndx::sim::internal::Record("ReleaseDC");
    DeviceContext* dc = LookupDC(hDC);
    if (!dc || (dc->kind != DeviceContext::Kind::Screen && dc->kind != DeviceContext::Kind::Window)) return 0;
    DestroyDC(hDC);
    return 1;
}

HDC CreateCompatibleDC(HDC) {
    qndx::sim::internal::Record("CreateCompatibleDC");
    return MakeDC(DeviceContext::Kind::Memory, nullptr);
}

BOOL DeleteDC(HDC hdc) {
    qndx::sim::internal::Record("DeleteDC");
    DeviceContext* dc = LookupDC(hdc);
    // Screen and window DCs go back with ReleaseDC, surface DCs with the
    // surface's ReleaseDC.
    if (!dc || (dc->kind != DeviceContext::Kind::Memory && dc->kind != DeviceContext::Kind::Info)) return FALSE;
    return DestroyDC(hdc) ? TRUE : FALSE;
}

int GetDeviceCaps(HDC hdc, int index) {
    DeviceContext* dc = LookupDC(hdc);
    if (!dc) return 0;
    const ModeEntry& mode = DisplayState::Get().current;
    DWORD bits = mode.bitsPerPixel;
    if (dc->kind == DeviceContext::Kind::Surface || dc->kind == DeviceContext::Kind::Memory)
        bits = dc->target.kind;
    if (bits == 15) bits = 16;  // both 16-bit layouts count as 16 bits
    switch (index) {
        case TECHNOLOGY: return DT_RASDISPLAY;
        case HORZRES: return static_cast<int>(mode.width);
        case VERTRES: return static_cast<int>(mode.height);
        case HORZSIZE: return static_cast<int>(mode.width * 254 / (kLogicalDpi * 10));
        case VERTSIZE: return static_cast<int>(mode.height * 254 / (kLogicalDpi * 10));
        case BITSPIXEL: return static_cast<int>(bits);
        case PLANES: return 1;
        case NUMCOLORS: return bits <= 8 ? 256 : -1;
        case SIZEPALETTE: return bits <= 8 ? 256 : 0;
        case LOGPIXELSX:
        case LOGPIXELSY: return kLogicalDpi;
        case VREFRESH: return static_cast<int>(mode.refreshRate);
        default: return 0;
    }
}

COLORREF GetPixel(HDC hdc, int x, int y) {
    DeviceContext* dc = LookupDC(hdc);
    if (!dc || !dc->target.HasPixels() || !dc->target.Contains(x, y)) return CLR_INVALID;
    return NativeToColor(dc->target, LoadPixel(dc->target, x, y));
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
    DeviceContext* dc = LookupDC(hdc);
    if (!dc || !dc->target.HasPixels() || !dc->target.Contains(x, y)) return CLR_INVALID;
    const DWORD native = ColorToNative(dc->target, color & 0xFFFFFF);
    StorePixel(dc->target, x, y, native);
    dc->MarkDirty(x, y, x + 1, y + 1);
    return NativeToColor(dc->target, native);
}

BOOL StretchBlt(HDC hdcDest, int xDestIn, int yDestIn, int wDestIn, int hDestIn, HDC hdcSrc, int xSrcIn, int ySrcIn,
                int wSrcIn, int hSrcIn, DWORD rop) {
    qndx::sim::internal::Record("StretchBlt");
    if (rop != SRCCOPY) {
        std::fprintf(stderr, "StretchBlt: raster operation 0x%08X is not supported (SRCCOPY only)\n", rop);
        return FALSE;
    }
    DeviceContext* dst = LookupDC(hdcDest);
    DeviceContext* src = LookupDC(hdcSrc);
    if (!dst || !src || !dst->target.HasPixels() || !src->target.HasPixels()) return FALSE;
    if (wDestIn == 0 || hDestIn == 0 || wSrcIn == 0 || hSrcIn == 0) return TRUE;
    // 64-bit from here on: no size or position can overflow.
    int64_t xDest = xDestIn, yDest = yDestIn, wDest = wDestIn, hDest = hDestIn;
    int64_t xSrc = xSrcIn, ySrc = ySrcIn, wSrc = wSrcIn, hSrc = hSrcIn;

    // A negative size runs the rectangle the other way: it mirrors.
    bool mirrorX = false, mirrorY = false;
    auto normalise = [](int64_t& pos, int64_t& size, bool& mirror) {
        if (size < 0) {
            pos += size + 1;
            size = -size;
            mirror = !mirror;
        }
    };
    normalise(xDest, wDest, mirrorX);
    normalise(yDest, hDest, mirrorY);
    normalise(xSrc, wSrc, mirrorX);
    normalise(ySrc, hSrc, mirrorY);

    PixelTarget from = src->target;
    const PixelTarget to = dst->target;
    // Copying within one picture: read from a snapshot.
    std::vector<uint8_t> snapshot;
    if (from.bits == to.bits) {
        snapshot.assign(from.bits, from.bits + static_cast<size_t>(from.pitch) * from.height);
        from.bits = snapshot.data();
    }
    const bool sameKind = from.kind == to.kind && from.kind != qndx::pixels::kIndexed8;

    // Only destination pixels inside the destination are visited.
    const int64_t dx0 = std::max<int64_t>(0, -static_cast<int64_t>(xDest));
    const int64_t dx1 = std::min<int64_t>(wDest, static_cast<int64_t>(to.width) - xDest);
    const int64_t dy0 = std::max<int64_t>(0, -static_cast<int64_t>(yDest));
    const int64_t dy1 = std::min<int64_t>(hDest, static_cast<int64_t>(to.height) - yDest);
    if (dx1 <= dx0 || dy1 <= dy0) return TRUE;
    std::vector<int64_t> columns(static_cast<size_t>(dx1 - dx0));
    for (int64_t dx = dx0; dx < dx1; ++dx) {
        const int64_t rel = dx * wSrc / wDest;
        columns[static_cast<size_t>(dx - dx0)] = xSrc + (mirrorX ? wSrc - 1 - rel : rel);
    }
    LONG left = to.width, top = to.height, right = 0, bottom = 0;
    for (int64_t dy = dy0; dy < dy1; ++dy) {
        const int ty = static_cast<int>(yDest + dy);
        const int64_t rel = dy * hSrc / hDest;
        const int64_t sy = ySrc + (mirrorY ? hSrc - 1 - rel : rel);
        if (sy < 0 || sy >= from.height) continue;
        for (int64_t dx = dx0; dx < dx1; ++dx) {
            const int tx = static_cast<int>(xDest + dx);
            const int64_t sx = columns[static_cast<size_t>(dx - dx0)];
            if (sx < 0 || sx >= from.width) continue;
            DWORD p = LoadPixel(from, static_cast<int>(sx), static_cast<int>(sy));
            if (!sameKind) p = ColorToNative(to, NativeToColor(from, p));
            StorePixel(to, tx, ty, p);
            if (tx < left) left = tx;
            if (tx >= right) right = tx + 1;
            if (ty < top) top = ty;
            if (ty >= bottom) bottom = ty + 1;
        }
    }
    dst->MarkDirty(left, top, right, bottom);
    return TRUE;
}

BOOL BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop) {
    return StretchBlt(hdc, x, y, cx, cy, hdcSrc, x1, y1, cx, cy, rop);
}
