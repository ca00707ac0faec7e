// GDI objects inside the layer: bitmaps, brushes, pens, fonts, behind
// never-reused handles. Stock objects live as long as the process and are
// never deleted. The text code derives its fonts from FontObject; the icon
// code makes its bitmaps with CreateBitmapObject.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "gdi/DeviceContext.h"
#include "platform/Gdi.h"

namespace qndx {
namespace platform {

struct GdiObject {
    enum class Kind { Bitmap, Brush, Pen, Font };
    explicit GdiObject(Kind k) : kind(k) {}
    virtual ~GdiObject() = default;

    const Kind kind;
    bool stock = false;
    HDC selectedInto = nullptr;  // bitmaps: the memory DC holding it
};

// A 32-bit top-down bitmap: each pixel 0x00RRGGBB (bytes blue, green, red, 0),
// rows width * 4 bytes apart.
struct BitmapObject : GdiObject {
    BitmapObject() : GdiObject(Kind::Bitmap) {}
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;

    PixelTarget Target();
};

struct BrushObject : GdiObject {
    BrushObject() : GdiObject(Kind::Brush) {}
    COLORREF color = 0;
    bool hollow = false;
};

struct PenObject : GdiObject {
    PenObject() : GdiObject(Kind::Pen) {}
    COLORREF color = 0;
    bool empty = false;
};

// What a font asks for. The text code derives from it to keep its rendering
// state; stock fonts are plain FontObjects.
struct FontObject : GdiObject {
    FontObject() : GdiObject(Kind::Font) {}
    LOGFONTA desc = {};
};

// Takes ownership; the handle is never reused.
HGDIOBJ RegisterGdiObject(std::unique_ptr<GdiObject> object);
GdiObject* LookupGdiObject(HGDIOBJ handle);
template <class T>
T* LookupGdiObjectAs(HGDIOBJ handle, GdiObject::Kind kind) {
    GdiObject* o = LookupGdiObject(handle);
    return o && o->kind == kind ? static_cast<T*>(o) : nullptr;
}
// Frees a non-stock object that no DC holds; false otherwise.
bool DestroyGdiObject(HGDIOBJ handle);

// A zeroed (black) bitmap; null for sizes outside 1..32768 or when memory
// runs out.
HBITMAP CreateBitmapObject(int width, int height);
// The placeholder bitmap selected into a fresh memory DC (1x1).
HBITMAP DefaultBitmap();

}  // namespace platform
}  // namespace qndx
