// LoadImageA for bitmaps: BMP files (LR_LOADFROMFILE) and RT_BITMAP
// resources of the program. A resource may hold a packed DIB (as the
// platform stores bitmaps) or a whole BMP file; both are read. The result is
// a 32-bit bitmap object.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "gdi/BmpDecode.h"
#include "gdi/GdiObject.h"
#include "kernel/Path.h"
#include "platform/Gdi.h"
#include "platform/Kernel.h"
#include "sim/SimInternal.h"

using namespace qndx::platform;

namespace {

// Larger files are no bitmap we would load (32768 x 2048 x 4 bytes).
const std::streamoff kMaxFileBytes = std::streamoff(256) << 20;

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0 || size > kMaxFileBytes) return false;
    in.seekg(0, std::ios::beg);
    bytes->resize(static_cast<size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(bytes->data()), size)) return false;
    return true;
}

std::string NameText(LPCSTR name) {
    if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<uintptr_t>(name));
    return name;
}

HANDLE MakeBitmap(DecodedBitmap& decoded, int cx, int cy) {
    if (cx < 0 || cy < 0 || cx > 32768 || cy > 32768) return nullptr;
    if (cx || cy) {
        int32_t w = cx ? cx : decoded.width, h = cy ? cy : decoded.height;
        if (w != decoded.width || h != decoded.height) decoded = ResizeBitmap(decoded, w, h);
    }
    HBITMAP handle = CreateBitmapObject(decoded.width, decoded.height);
    BitmapObject* bmp = LookupGdiObjectAs<BitmapObject>(handle, GdiObject::Kind::Bitmap);
    if (!bmp) return nullptr;
    bmp->pixels.swap(decoded.pixels);
    return handle;
}

}  // namespace

HANDLE LoadImageA(HINSTANCE hInst, LPCSTR name, UINT type, int cx, int cy, UINT fuLoad) {
    HRESULT fault;
    if (qndx::sim::internal::TakeFault("LoadImageA", &fault)) return nullptr;
    if (!name) return nullptr;
    qndx::sim::internal::Record("LoadImageA", [&] { return NameText(name); });
    if (type != IMAGE_BITMAP) {
        std::fprintf(stderr, "LoadImageA: only bitmaps can be loaded (type %u asked for %s)\n", type,
                     NameText(name).c_str());
        return nullptr;
    }
    DecodedBitmap decoded;
    std::string why;
    if (fuLoad & LR_LOADFROMFILE) {
        if (IS_INTRESOURCE(name)) return nullptr;
        std::string path = ToHostPath(name);
        std::vector<uint8_t> bytes;
        if (path.empty() || !ReadWholeFile(path, &bytes)) return nullptr;
        if (!DecodeBmp(bytes.data(), bytes.size(), &decoded, &why)) {
            std::fprintf(stderr, "LoadImageA: %s is not a readable bitmap: %s\n", name, why.c_str());
            return nullptr;
        }
    } else {
        // Without a module there are no bitmaps of the system's own here.
        if (!hInst) return nullptr;
        HRSRC found = FindResourceA(hInst, name, RT_BITMAP);
        if (!found) return nullptr;
        HGLOBAL loaded = LoadResource(hInst, found);
        const uint8_t* bytes = static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
        DWORD size = SizeofResource(hInst, found);
        if (!bytes || size == 0) return nullptr;
        if (!DecodeBmp(bytes, size, &decoded, &why)) {
            std::fprintf(stderr, "LoadImageA: bitmap resource %s is not readable: %s\n", NameText(name).c_str(),
                         why.c_str());
            return nullptr;
        }
    }
    return MakeBitmap(decoded, cx, cy);
}
