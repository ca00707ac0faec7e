// Cursor and icon pictures: GetIconInfo, DrawIcon, DestroyIcon and
// DestroyCursor. The stock arrow is drawn here (a black-outlined white arrow
// of 12 by 19 pixels with its hot spot on the tip, in a 32 by 32 picture);
// other stock pictures have no drawing and are refused with a message.
// Tests add pictures of their own through the sim panel.
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "gdi/DeviceContext.h"
#include "gdi/GdiObject.h"
#include "platform/Icon.h"
#include "platform/sim/Icon.h"
#include "sim/SimInternal.h"
#include "user/Icons.h"

namespace qndx {
namespace platform {
namespace {

// A picture as the icon calls see it: where the mask is set the
// destination is kept and XORed with the colour, elsewhere the colour is
// drawn.
struct IconPicture {
    int width = 0;
    int height = 0;
    int hotX = 0;
    int hotY = 0;
    bool isIcon = false;
    bool withoutMaskBitmap = false;
    std::vector<uint8_t> mask;      // 1: keep the destination
    std::vector<uint32_t> colour;   // COLORREF
};

const char* const kArrow[] = {
    "B           ", "BB          ", "BWB         ", "BWWB        ", "BWWWB       ", "BWWWWB      ",
    "BWWWWWB     ", "BWWWWWWB    ", "BWWWWWWWB   ", "BWWWWWWWWB  ", "BWWWWWWWWWB ", "BWWWWWWBBBBB",
    "BWWWBWWB    ", "BWWBBWWB    ", "BWB  BWWB   ", "BB   BWWB   ", "B     BWWB  ", "      BWWB  ",
    "       BB   ",
};

IconPicture MakeArrow() {
    IconPicture p;
    p.width = 32;
    p.height = 32;
    p.mask.assign(32 * 32, 1);
    p.colour.assign(32 * 32, 0);
    for (int y = 0; y < static_cast<int>(sizeof kArrow / sizeof kArrow[0]); ++y)
        for (int x = 0; kArrow[y][x] != '\0'; ++x) {
            char c = kArrow[y][x];
            if (c == ' ') continue;
            p.mask[y * 32 + x] = 0;
            p.colour[y * 32 + x] = c == 'W' ? RGB(255, 255, 255) : RGB(0, 0, 0);
        }
    return p;
}

class IconRegistry {
public:
    static IconRegistry& Get() {
        static IconRegistry* registry = [] {
            IconRegistry* r = new IconRegistry();
            sim::internal::AddResetHook(&ResetHook);
            return r;
        }();
        return *registry;
    }

    const IconPicture* Lookup(const void* handle) {
        if (const StockImage* stock = LookupStockImage(handle)) {
            if (stock->cursor && stock->id == 32512) return &m_arrow;
            std::fprintf(stderr, "icons: the stock %s %d has no picture in this layer\n",
                         stock->cursor ? "cursor" : "icon", stock->id);
            return nullptr;
        }
        auto it = m_made.find(reinterpret_cast<uintptr_t>(handle));
        return it == m_made.end() ? nullptr : it->second.get();
    }

    bool IsStock(const void* handle) const { return LookupStockImage(handle) != nullptr; }

    HICON Add(std::unique_ptr<IconPicture> picture) {
        m_next += 4;
        m_made[m_next] = std::move(picture);
        return reinterpret_cast<HICON>(m_next);
    }

    bool Remove(const void* handle) { return m_made.erase(reinterpret_cast<uintptr_t>(handle)) > 0; }

    void NoteIssued(HBITMAP bitmap) {
        if (!bitmap) return;
        // Forget the ones already deleted so the list stays short.
        m_issued.erase(std::remove_if(m_issued.begin(), m_issued.end(),
                                      [](HBITMAP b) { return LookupGdiObject(b) == nullptr; }),
                       m_issued.end());
        m_issued.push_back(bitmap);
    }

    int LiveIssued() const {
        return static_cast<int>(
            std::count_if(m_issued.begin(), m_issued.end(), [](HBITMAP b) { return LookupGdiObject(b) != nullptr; }));
    }

private:
    IconRegistry() : m_arrow(MakeArrow()) {}
    static void ResetHook() {
        IconRegistry& r = Get();
        r.m_made.clear();
        r.m_issued.clear();
    }

    IconPicture m_arrow;
    std::map<uintptr_t, std::unique_ptr<IconPicture>> m_made;
    uintptr_t m_next = 0x40000000;
    std::vector<HBITMAP> m_issued;
};

HBITMAP MakeBitmap(const IconPicture& p, bool maskPlane) {
    HBITMAP h = CreateBitmapObject(p.width, p.height);
    BitmapObject* bmp = LookupGdiObjectAs<BitmapObject>(h, GdiObject::Kind::Bitmap);
    if (!bmp) return nullptr;
    for (size_t i = 0; i < bmp->pixels.size(); ++i) {
        if (maskPlane) {
            bmp->pixels[i] = p.mask[i] ? 0x00FFFFFF : 0;
        } else {
            COLORREF c = p.colour[i];  // 0x00BBGGRR to the bitmap's 0x00RRGGBB
            bmp->pixels[i] = (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
        }
    }
    return h;
}

}  // namespace
}  // namespace platform
}  // namespace qndx

using namespace qndx::platform;

BOOL GetIconInfo(HICON icon, PICONINFO info) {
    qndx::sim::internal::Record("GetIconInfo");
    if (!info) return FALSE;
    const IconPicture* p = IconRegistry::Get().Lookup(icon);
    if (!p) return FALSE;

    HBITMAP mask = nullptr;
    if (!p->withoutMaskBitmap) {
        mask = MakeBitmap(*p, true);
        if (!mask) return FALSE;
    }
    HBITMAP colour = MakeBitmap(*p, false);
    if (!colour) {
        if (mask) DeleteObject(mask);
        return FALSE;
    }
    IconRegistry::Get().NoteIssued(mask);
    IconRegistry::Get().NoteIssued(colour);
    info->fIcon = p->isIcon ? TRUE : FALSE;
    info->xHotspot = static_cast<DWORD>(p->hotX);
    info->yHotspot = static_cast<DWORD>(p->hotY);
    info->hbmMask = mask;
    info->hbmColor = colour;
    return TRUE;
}

BOOL DrawIcon(HDC hdc, int x, int y, HICON icon) {
    qndx::sim::internal::Record("DrawIcon");
    DeviceContext* dc = LookupDC(hdc);
    const IconPicture* p = IconRegistry::Get().Lookup(icon);
    if (!dc || !p) return FALSE;
    const PixelTarget& t = dc->target;
    if (!t.HasPixels()) return FALSE;

    long long left = x, top = y;
    long long x0 = std::max<long long>(left, 0), y0 = std::max<long long>(top, 0);
    long long x1 = std::min<long long>(left + p->width, t.width), y1 = std::min<long long>(top + p->height, t.height);
    for (long long py = y0; py < y1; ++py)
        for (long long px = x0; px < x1; ++px) {
            size_t i = static_cast<size_t>((py - top) * p->width + (px - left));
            DWORD colour = ColorToNative(t, p->colour[i]);
            int ix = static_cast<int>(px), iy = static_cast<int>(py);
            if (p->mask[i]) {
                if (colour != 0) StorePixel(t, ix, iy, LoadPixel(t, ix, iy) ^ colour);
            } else {
                StorePixel(t, ix, iy, colour);
            }
        }
    if (x1 > x0 && y1 > y0)
        dc->MarkDirty(static_cast<LONG>(x0), static_cast<LONG>(y0), static_cast<LONG>(x1), static_cast<LONG>(y1));
    return TRUE;
}

BOOL DestroyIcon(HICON icon) {
    if (IconRegistry::Get().IsStock(icon)) return TRUE;
    return IconRegistry::Get().Remove(icon) ? TRUE : FALSE;
}

BOOL DestroyCursor(HCURSOR cursor) { return DestroyIcon(cursor); }

namespace qndx {
namespace sim {

HCURSOR MakeCursor(const SimCursorPicture& picture) {
    const int w = picture.width, h = picture.height;
    if (w < 1 || h < 1 || w > 256 || h > 256 || picture.pixels.size() != static_cast<size_t>(w) * h) return nullptr;
    std::unique_ptr<platform::IconPicture> p(new platform::IconPicture());
    p->width = w;
    p->height = h;
    p->hotX = picture.hotX;
    p->hotY = picture.hotY;
    p->withoutMaskBitmap = picture.withoutMaskBitmap;
    p->mask.resize(picture.pixels.size());
    p->colour.resize(picture.pixels.size());
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        uint32_t argb = picture.pixels[i];
        bool opaque = (argb >> 24) != 0;
        p->mask[i] = opaque ? 0 : 1;
        p->colour[i] = opaque ? RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF) : 0;
    }
    return reinterpret_cast<HCURSOR>(platform::IconRegistry::Get().Add(std::move(p)));
}

int LiveIconInfoBitmaps() { return platform::IconRegistry::Get().LiveIssued(); }

}  // namespace sim
}  // namespace qndx
