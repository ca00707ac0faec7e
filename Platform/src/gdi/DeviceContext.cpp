// The DC table and the pixel conversions every drawing call shares.
#include "gdi/DeviceContext.h"

#include <cstring>
#include <unordered_map>

#include "gdi/GdiObject.h"
#include "gdi/HandleTable.h"

namespace qndx {
namespace platform {

namespace {

std::unordered_map<uintptr_t, std::unique_ptr<DeviceContext>>& Table() {
    static auto* table = new std::unordered_map<uintptr_t, std::unique_ptr<DeviceContext>>();
    return *table;
}

// Colour of an index of the fixed 3-3-2 cube.
PALETTEENTRY CubeEntry(DWORD index) {
    PALETTEENTRY e;
    e.peRed = static_cast<BYTE>(((index >> 5) & 7) * 255 / 7);
    e.peGreen = static_cast<BYTE>(((index >> 2) & 7) * 255 / 7);
    e.peBlue = static_cast<BYTE>((index & 3) * 255 / 3);
    e.peFlags = 0;
    return e;
}

inline DWORD Widen5(DWORD v) { return (v << 3) | (v >> 2); }
inline DWORD Widen6(DWORD v) { return (v << 2) | (v >> 4); }

}  // namespace

DWORD ColorToNative(const PixelTarget& t, COLORREF color) {
    const DWORD r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
    switch (t.kind) {
        case pixels::kRgb555: return (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
        case pixels::kRgb565: return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
        case pixels::kRgb888:
        case pixels::kXrgb8888: return r << 16 | g << 8 | b;
        case pixels::kIndexed8: {
            if (!t.palette) return (r >> 5) << 5 | (g >> 5) << 2 | (b >> 6);
            DWORD best = 0, bestDistance = 0xFFFFFFFF;
            for (DWORD i = 0; i < 256; ++i) {
                const int dr = static_cast<int>(r) - t.palette[i].peRed;
                const int dg = static_cast<int>(g) - t.palette[i].peGreen;
                const int db = static_cast<int>(b) - t.palette[i].peBlue;
                const DWORD distance = static_cast<DWORD>(dr * dr + dg * dg + db * db);
                if (distance < bestDistance) {
                    bestDistance = distance;
                    best = i;
                }
            }
            return best;
        }
        default: return 0;
    }
}

COLORREF NativeToColor(const PixelTarget& t, DWORD p) {
    DWORD r = 0, g = 0, b = 0;
    switch (t.kind) {
        case pixels::kRgb555:
            r = Widen5((p >> 10) & 31);
            g = Widen5((p >> 5) & 31);
            b = Widen5(p & 31);
            break;
        case pixels::kRgb565:
            r = Widen5((p >> 11) & 31);
            g = Widen6((p >> 5) & 63);
            b = Widen5(p & 31);
            break;
        case pixels::kRgb888:
        case pixels::kXrgb8888:
            r = (p >> 16) & 0xFF;
            g = (p >> 8) & 0xFF;
            b = p & 0xFF;
            break;
        case pixels::kIndexed8: {
            PALETTEENTRY e = t.palette ? t.palette[p & 0xFF] : CubeEntry(p & 0xFF);
            r = e.peRed;
            g = e.peGreen;
            b = e.peBlue;
            break;
        }
        default: break;
    }
    return r | g << 8 | b << 16;
}

DWORD LoadPixel(const PixelTarget& t, int x, int y) {
    const int bpp = BytesPerPixel(t.kind);
    const uint8_t* p = t.bits + static_cast<ptrdiff_t>(y) * t.pitch + static_cast<ptrdiff_t>(x) * bpp;
    DWORD v = 0;
    std::memcpy(&v, p, static_cast<size_t>(bpp));
    return v;
}

void StorePixel(const PixelTarget& t, int x, int y, DWORD native) {
    const int bpp = BytesPerPixel(t.kind);
    uint8_t* p = t.bits + static_cast<ptrdiff_t>(y) * t.pitch + static_cast<ptrdiff_t>(x) * bpp;
    if (t.kind == pixels::kRgb555) native &= 0x7FFF;
    std::memcpy(p, &native, static_cast<size_t>(bpp));
}

void DeviceContext::MarkDirty(LONG left, LONG top, LONG right, LONG bottom) {
    if (right <= left || bottom <= top) return;
    if (!hasDirty) {
        dirty = {left, top, right, bottom};
        hasDirty = true;
        return;
    }
    if (left < dirty.left) dirty.left = left;
    if (top < dirty.top) dirty.top = top;
    if (right > dirty.right) dirty.right = right;
    if (bottom > dirty.bottom) dirty.bottom = bottom;
}

DeviceContext* LookupDC(HDC hdc, bool settle) {
    auto& table = Table();
    auto it = table.find(reinterpret_cast<uintptr_t>(hdc));
    if (it == table.end()) return nullptr;
    if (settle) it->second->target.Settle();
    return it->second.get();
}

HDC RegisterDC(std::unique_ptr<DeviceContext> dc) {
    if (!dc) return nullptr;
    dc->font = GetStockObject(SYSTEM_FONT);
    dc->brush = GetStockObject(WHITE_BRUSH);
    dc->pen = GetStockObject(BLACK_PEN);
    if (dc->kind == DeviceContext::Kind::Memory) {
        HBITMAP placeholder = DefaultBitmap();
        dc->bitmap = placeholder;
        if (auto* bmp = LookupGdiObjectAs<BitmapObject>(placeholder, GdiObject::Kind::Bitmap))
            dc->target = bmp->Target();
    }
    uintptr_t value = NextHandleValue();
    Table()[value] = std::move(dc);
    return reinterpret_cast<HDC>(value);
}

bool DestroyDC(HDC hdc) {
    auto& table = Table();
    auto it = table.find(reinterpret_cast<uintptr_t>(hdc));
    if (it == table.end()) return false;
    if (GdiObject* bmp = LookupGdiObject(it->second->bitmap))
        if (bmp->selectedInto == hdc) bmp->selectedInto = nullptr;
    table.erase(it);
    return true;
}

bool AnyDCSelects(HGDIOBJ object) {
    for (auto& entry : Table()) {
        const DeviceContext& dc = *entry.second;
        if (dc.bitmap == object || dc.font == object || dc.brush == object || dc.pen == object) return true;
    }
    return false;
}

}  // namespace platform
}  // namespace qndx
