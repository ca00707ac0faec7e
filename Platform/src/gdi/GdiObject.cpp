// The GDI object table, stock objects and the object calls: GetStockObject,
// SelectObject, DeleteObject, GetObjectA, CreateSolidBrush.
#include "gdi/GdiObject.h"

#include <cstring>
#include <new>
#include <unordered_map>

#include "gdi/HandleTable.h"
#include "sim/SimInternal.h"

namespace qndx {
namespace platform {

namespace {

std::unordered_map<uintptr_t, std::unique_ptr<GdiObject>>& Table() {
    static auto* table = new std::unordered_map<uintptr_t, std::unique_ptr<GdiObject>>();
    return *table;
}

const int kStockCount = DEFAULT_GUI_FONT + 1;

HGDIOBJ MakeStockFont(const char* face, LONG height, LONG weight, BYTE pitch) {
    std::unique_ptr<FontObject> font(new FontObject());
    font->stock = true;
    font->desc.lfHeight = height;
    font->desc.lfWeight = weight;
    font->desc.lfCharSet = ANSI_CHARSET;
    font->desc.lfPitchAndFamily = pitch;
    std::strncpy(font->desc.lfFaceName, face, LF_FACESIZE - 1);
    return RegisterGdiObject(std::move(font));
}

HGDIOBJ MakeStockBrush(COLORREF color, bool hollow) {
    std::unique_ptr<BrushObject> brush(new BrushObject());
    brush->stock = true;
    brush->color = color;
    brush->hollow = hollow;
    return RegisterGdiObject(std::move(brush));
}

HGDIOBJ MakeStockPen(COLORREF color, bool empty) {
    std::unique_ptr<PenObject> pen(new PenObject());
    pen->stock = true;
    pen->color = color;
    pen->empty = empty;
    return RegisterGdiObject(std::move(pen));
}

struct Stock {
    HGDIOBJ objects[kStockCount] = {};
    HBITMAP placeholder = nullptr;
};

Stock& Stocks() {
    static Stock* stock = [] {
        Stock* s = new Stock();
        s->objects[WHITE_BRUSH] = MakeStockBrush(RGB(255, 255, 255), false);
        s->objects[LTGRAY_BRUSH] = MakeStockBrush(RGB(192, 192, 192), false);
        s->objects[GRAY_BRUSH] = MakeStockBrush(RGB(128, 128, 128), false);
        s->objects[DKGRAY_BRUSH] = MakeStockBrush(RGB(64, 64, 64), false);
        s->objects[BLACK_BRUSH] = MakeStockBrush(RGB(0, 0, 0), false);
        s->objects[NULL_BRUSH] = MakeStockBrush(RGB(0, 0, 0), true);
        s->objects[WHITE_PEN] = MakeStockPen(RGB(255, 255, 255), false);
        s->objects[BLACK_PEN] = MakeStockPen(RGB(0, 0, 0), false);
        s->objects[NULL_PEN] = MakeStockPen(RGB(0, 0, 0), true);
        s->objects[OEM_FIXED_FONT] = MakeStockFont("Courier New", 12, FW_NORMAL, FIXED_PITCH | FF_MODERN);
        s->objects[ANSI_FIXED_FONT] = MakeStockFont("Courier New", 12, FW_NORMAL, FIXED_PITCH | FF_MODERN);
        s->objects[ANSI_VAR_FONT] = MakeStockFont("Arial", 12, FW_NORMAL, VARIABLE_PITCH | FF_SWISS);
        s->objects[SYSTEM_FONT] = MakeStockFont("Arial", 16, FW_BOLD, VARIABLE_PITCH | FF_SWISS);
        s->objects[DEVICE_DEFAULT_FONT] = MakeStockFont("Arial", 16, FW_NORMAL, VARIABLE_PITCH | FF_SWISS);
        s->objects[SYSTEM_FIXED_FONT] = MakeStockFont("Courier New", 16, FW_NORMAL, FIXED_PITCH | FF_MODERN);
        s->objects[DEFAULT_GUI_FONT] = MakeStockFont("Arial", 13, FW_NORMAL, VARIABLE_PITCH | FF_SWISS);
        std::unique_ptr<BitmapObject> placeholder(new BitmapObject());
        placeholder->stock = true;
        placeholder->width = 1;
        placeholder->height = 1;
        placeholder->pixels.assign(1, 0);
        s->placeholder = static_cast<HBITMAP>(RegisterGdiObject(std::move(placeholder)));
        return s;
    }();
    return *stock;
}

}  // namespace

uintptr_t NextHandleValue() {
    // Small, aligned, never zero, never reused.
    static uintptr_t next = 0x10000;
    next += 4;
    return next;
}

PixelTarget BitmapObject::Target() {
    PixelTarget t;
    t.bits = reinterpret_cast<uint8_t*>(pixels.data());
    t.pitch = width * 4;
    t.width = width;
    t.height = height;
    t.kind = qndx::pixels::kXrgb8888;
    return t;
}

HGDIOBJ RegisterGdiObject(std::unique_ptr<GdiObject> object) {
    if (!object) return nullptr;
    uintptr_t value = NextHandleValue();
    Table()[value] = std::move(object);
    return reinterpret_cast<HGDIOBJ>(value);
}

GdiObject* LookupGdiObject(HGDIOBJ handle) {
    auto& table = Table();
    auto it = table.find(reinterpret_cast<uintptr_t>(handle));
    return it == table.end() ? nullptr : it->second.get();
}

bool DestroyGdiObject(HGDIOBJ handle) {
    auto& table = Table();
    auto it = table.find(reinterpret_cast<uintptr_t>(handle));
    if (it == table.end() || it->second->stock || it->second->selectedInto || AnyDCSelects(handle)) return false;
    table.erase(it);
    return true;
}

HBITMAP CreateBitmapObject(int width, int height) {
    if (width <= 0 || height <= 0 || width > 32768 || height > 32768) return nullptr;
    if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > (uint64_t(1) << 27)) return nullptr;
    std::unique_ptr<BitmapObject> bmp(new (std::nothrow) BitmapObject());
    if (!bmp) return nullptr;
    try {
        bmp->pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    bmp->width = width;
    bmp->height = height;
    return static_cast<HBITMAP>(RegisterGdiObject(std::move(bmp)));
}

HBITMAP DefaultBitmap() { return Stocks().placeholder; }

}  // namespace platform
}  // namespace qndx

using namespace qndx::platform;

HGDIOBJ GetStockObject(int i) {
    if (i < 0 || i >= kStockCount) return nullptr;
    return Stocks().objects[i];  // null for the unused slots (9, DEFAULT_PALETTE)
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h) {
    DeviceContext* dc = LookupDC(hdc);
    GdiObject* object = LookupGdiObject(h);
    if (!dc || !object) return nullptr;
    HGDIOBJ previous = nullptr;
    switch (object->kind) {
        case GdiObject::Kind::Bitmap: {
            if (dc->kind != DeviceContext::Kind::Memory) return nullptr;
            if (dc->bitmap == h) return h;
            if (object->selectedInto && object->selectedInto != hdc) return nullptr;
            previous = dc->bitmap;
            if (GdiObject* old = LookupGdiObject(previous)) old->selectedInto = nullptr;
            if (!object->stock) object->selectedInto = hdc;
            dc->bitmap = h;
            dc->target = static_cast<BitmapObject*>(object)->Target();
            return previous;
        }
        case GdiObject::Kind::Font:
            previous = dc->font;
            dc->font = h;
            return previous;
        case GdiObject::Kind::Brush:
            previous = dc->brush;
            dc->brush = h;
            return previous;
        case GdiObject::Kind::Pen:
            previous = dc->pen;
            dc->pen = h;
            return previous;
    }
    return nullptr;
}

BOOL DeleteObject(HGDIOBJ ho) {
    qndx::sim::internal::Record("DeleteObject");
    GdiObject* object = LookupGdiObject(ho);
    if (!object) return FALSE;
    if (object->stock) return TRUE;
    return DestroyGdiObject(ho) ? TRUE : FALSE;
}

namespace {

// GetObjectA's answer: the size alone without a buffer, 0 when it is short.
int CopyOut(const void* from, int bytes, int c, void* pv) {
    if (!pv) return bytes;
    if (c < bytes) return 0;
    std::memcpy(pv, from, static_cast<size_t>(bytes));
    return bytes;
}

}  // namespace

int GetObjectA(HANDLE h, int c, LPVOID pv) {
    GdiObject* object = LookupGdiObject(h);
    if (!object) return 0;
    if (object->kind == GdiObject::Kind::Bitmap) {
        BitmapObject* bmp = static_cast<BitmapObject*>(object);
        BITMAP info = {};
        info.bmType = 0;
        info.bmWidth = bmp->width;
        info.bmHeight = bmp->height;
        info.bmWidthBytes = bmp->width * 4;
        info.bmPlanes = 1;
        info.bmBitsPixel = 32;
        info.bmBits = bmp->pixels.data();
        return CopyOut(&info, static_cast<int>(sizeof info), c, pv);
    }
    if (object->kind == GdiObject::Kind::Font)
        return CopyOut(&static_cast<FontObject*>(object)->desc, static_cast<int>(sizeof(LOGFONTA)), c, pv);
    return 0;
}

HBRUSH CreateSolidBrush(COLORREF color) {
    std::unique_ptr<BrushObject> brush(new BrushObject());
    brush->color = color & 0xFFFFFF;
    return static_cast<HBRUSH>(RegisterGdiObject(std::move(brush)));
}
