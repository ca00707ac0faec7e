// DIB drawing into device contexts (StretchDIBits) and information contexts
// for the display (CreateICA).
//
// Source rows go into the target's pixel kind in one pass (the pixel
// library's picture rows); stretching picks the nearest source pixel of
// each destination pixel's centre. Source coordinates follow the DIB's own origin:
// the top-left corner of a top-down DIB, the bottom-left corner of a
// bottom-up one; either way the picture is drawn upright, and extents of
// opposite signs mirror. Indices past the colour table draw black; 16-bit
// sources are 5-5-5 with each channel widened by repeating its top bits.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gdi/DeviceContext.h"
#include "platform/Gdi.h"
#include "platform/Kernel.h"
#include "pixels/Pixels.h"
#include "platform/sim/Sim.h"
#include "sim/SimInternal.h"

namespace qndx {
namespace platform {
namespace {

// Largest DIB side accepted; the caller's buffer must hold what the header says.
constexpr int64_t kMaxDibSide = 65536;

struct DibSource {
    const uint8_t* bits = nullptr;
    int64_t width = 0;
    int64_t height = 0;  // rows, always positive
    bool bottomUp = true;
    int bpp = 0;
    size_t stride = 0;
    uint32_t palette[256] = {};  // 0x00RRGGBB, black past the table

    const uint8_t* Row(int64_t uprightRow) const {
        int64_t memRow = bottomUp ? height - 1 - uprightRow : uprightRow;
        return bits + (size_t)memRow * stride;
    }
};

bool Fail(DWORD error) {
    SetLastError(error);
    return false;
}

bool ReadSource(const void* lpBits, const BITMAPINFO* bmi, UINT usage, DibSource* src) {
    if (!lpBits || !bmi) return Fail(ERROR_INVALID_PARAMETER);
    // Copied out: a packed DIB inside a file buffer need not be aligned.
    BITMAPINFOHEADER h;
    std::memcpy(&h, bmi, sizeof h);
    // Later header versions share the first 40 bytes; the colours follow the whole header.
    if (h.biSize < 40 || h.biSize > 124) return Fail(ERROR_INVALID_PARAMETER);
    if (usage != DIB_RGB_COLORS) return Fail(ERROR_NOT_SUPPORTED);
    if (h.biCompression != BI_RGB) return Fail(ERROR_NOT_SUPPORTED);
    switch (h.biBitCount) {
        case 1: case 4: case 8: case 16: case 24: case 32: break;
        default: return Fail(ERROR_INVALID_PARAMETER);
    }
    const int64_t width = h.biWidth;
    const int64_t height = h.biHeight < 0 ? -(int64_t)h.biHeight : (int64_t)h.biHeight;
    if (width < 1 || width > kMaxDibSide || height < 1 || height > kMaxDibSide) return Fail(ERROR_INVALID_PARAMETER);

    src->bits = static_cast<const uint8_t*>(lpBits);
    src->width = width;
    src->height = height;
    src->bottomUp = h.biHeight > 0;
    src->bpp = h.biBitCount;
    src->stride = (size_t)(((uint64_t)width * (uint64_t)h.biBitCount + 31) / 32) * 4;
    std::memset(src->palette, 0, sizeof src->palette);
    if (src->bpp <= 8) {
        uint32_t most = 1u << src->bpp;
        uint32_t count = (h.biClrUsed != 0 && h.biClrUsed < most) ? h.biClrUsed : most;
        const uint8_t* table = reinterpret_cast<const uint8_t*>(bmi) + h.biSize;
        for (uint32_t i = 0; i < count; ++i)
            src->palette[i] = (uint32_t)table[4 * i] | ((uint32_t)table[4 * i + 1] << 8) |
                              ((uint32_t)table[4 * i + 2] << 16);
    }
    return true;
}

// QNDX_DIB_PLAIN=1 sends one-to-one rows through the general path too, so
// that tests can hold the two against each other.
bool DirectRowsOn() {
    const char* plain = std::getenv("QNDX_DIB_PLAIN");
    return !(plain && plain[0] == '1');
}

// The target's pixel kind for the row conversions; an indexed target takes
// 32-bit rows and looks each colour up after.
uint32_t RowKind(pixels::Kind kind) {
    switch (kind) {
        case pixels::kRgb555: return 15;
        case pixels::kRgb565: return 16;
        case pixels::kRgb888: return 24;
        default: return 32;
    }
}

// Source pixels [first, first + count) of row `row` in the target's kind at d.
struct RowConverter {
    pixels::PictureRowFn convert = nullptr;
    uint32_t table[256];
    std::vector<uint8_t> wide;  // 32-bit rows for an indexed target
    const PixelTarget* target = nullptr;

    RowConverter(const DibSource& src, const PixelTarget& t) : target(&t) {
        const uint32_t kind = RowKind(t.kind);
        convert = pixels::PictureRow(src.bpp == 16 ? 15 : src.bpp, kind);
        uint8_t native[256 * 4];
        pixels::PictureRow(32, kind)(native, reinterpret_cast<const uint8_t*>(src.palette), 0, 256, nullptr);
        const int bytes = pixels::BytesPerPixel(kind);
        for (int i = 0; i < 256; ++i) {
            table[i] = 0;
            std::memcpy(&table[i], native + i * bytes, (size_t)bytes);
        }
    }
    void Row(uint8_t* d, const uint8_t* row, int64_t first, int count) {
        if (target->kind != pixels::kIndexed8) {
            convert(d, row, (int)first, count, table);
            return;
        }
        wide.resize((size_t)count * 4);
        convert(wide.data(), row, (int)first, count, table);
        for (int i = 0; i < count; ++i) {
            const uint8_t* p = &wide[(size_t)i * 4];
            d[i] = (uint8_t)ColorToNative(*target, RGB(p[2], p[1], p[0]));
        }
    }
};

// Nearest source index of destination step k of n over a source run of m
// starting at `first` (pixel centres: k + 1/2 scaled by m / n).
// Sides come from int arguments, so the product needs more than 64 bits.
inline int64_t SourceIndex(int64_t first, int64_t k, int64_t m, int64_t n) {
    return first + (int64_t)(((__int128)(2 * k + 1) * m) / (2 * n));
}

int Draw(DeviceContext* dc, int xDest, int yDest, int destW, int destH, int xSrc, int ySrc, int srcW, int srcH,
         const DibSource& src) {
    const PixelTarget& t = dc->target;
    const bool mirrorX = (srcW < 0) != (destW < 0);
    const bool mirrorY = (srcH < 0) != (destH < 0);
    const int64_t dw = destW < 0 ? -(int64_t)destW : destW;
    const int64_t dh = destH < 0 ? -(int64_t)destH : destH;
    const int64_t sw = srcW < 0 ? -(int64_t)srcW : srcW;
    const int64_t sh = srcH < 0 ? -(int64_t)srcH : srcH;
    const int64_t dx0 = destW < 0 ? (int64_t)xDest + destW : xDest;
    const int64_t dy0 = destH < 0 ? (int64_t)yDest + destH : yDest;
    const int64_t sx0 = srcW < 0 ? (int64_t)xSrc + srcW : xSrc;
    const int64_t sy0 = srcH < 0 ? (int64_t)ySrc + srcH : ySrc;
    // The source rectangle's top row counted from the picture's top.
    const int64_t vTop = src.bottomUp ? src.height - sy0 - sh : sy0;

    // Destination columns and rows inside the target.
    const int64_t i0 = dx0 < 0 ? -dx0 : 0;
    const int64_t i1 = dx0 + dw > t.width ? t.width - dx0 : dw;
    const int64_t j0 = dy0 < 0 ? -dy0 : 0;
    const int64_t j1 = dy0 + dh > t.height ? t.height - dy0 : dh;
    if (i0 >= i1 || j0 >= j1) return (int)sh;
    const int count = (int)(i1 - i0);

    // Source column of each drawn destination column; the run of source
    // columns they need is converted once per source row.
    std::vector<int64_t> columns((size_t)count);
    std::vector<uint8_t> skip((size_t)count, 0);
    bool anySkip = false;
    int64_t uMin = INT64_MAX, uMax = -1;
    for (int i = 0; i < count; ++i) {
        int64_t k = i0 + i;
        if (mirrorX) k = dw - 1 - k;
        int64_t u = SourceIndex(sx0, k, sw, dw);
        if (u < 0 || u >= src.width) {
            skip[(size_t)i] = 1;
            anySkip = true;
            continue;
        }
        columns[(size_t)i] = u;
        if (u < uMin) uMin = u;
        if (u > uMax) uMax = u;
    }
    if (uMax < 0) return (int)sh;
    // One source pixel per column, in order: rows go straight into the target.
    const bool direct = !anySkip && !mirrorX && sw == dw && DirectRowsOn();
    const int bytes = t.kind == pixels::kIndexed8 ? 1 : pixels::BytesPerPixel(RowKind(t.kind));

    // Memory still to be cleared need not be when every pixel is drawn.
    const bool covers = direct && dx0 + i0 == 0 && count == t.width && dy0 + j0 == 0 && j1 - j0 == t.height &&
                        sh == dh && vTop >= 0 && vTop + sh <= src.height;
    if (covers && t.unwritten) *t.unwritten = false;
    t.Settle();
    RowConverter rows(src, t);
    std::vector<uint8_t> converted(direct ? 0 : (size_t)(uMax - uMin + 1) * bytes);
    int64_t cachedRow = -1;
    int64_t drawnTop = -1, drawnBottom = -1;
    for (int64_t j = j0; j < j1; ++j) {
        int64_t k = mirrorY ? dh - 1 - j : j;
        int64_t v = SourceIndex(vTop, k, sh, dh);
        if (v < 0 || v >= src.height) continue;
        const int y = (int)(dy0 + j);
        uint8_t* d = t.bits + (ptrdiff_t)y * t.pitch + (ptrdiff_t)(dx0 + i0) * bytes;
        if (direct) {
            rows.Row(d, src.Row(v), uMin, count);
        } else {
            if (v != cachedRow) {
                rows.Row(converted.data(), src.Row(v), uMin, (int)(uMax - uMin + 1));
                cachedRow = v;
            }
            for (int i = 0; i < count; ++i)
                if (!skip[(size_t)i])
                    std::memcpy(d + (ptrdiff_t)i * bytes, &converted[(size_t)(columns[(size_t)i] - uMin) * bytes],
                                (size_t)bytes);
        }
        if (drawnTop < 0) drawnTop = y;
        drawnBottom = y + 1;
    }
    if (drawnTop >= 0) dc->MarkDirty((LONG)(dx0 + i0), (LONG)drawnTop, (LONG)(dx0 + i1), (LONG)drawnBottom);
    return (int)sh;
}

bool IsDisplayDriver(const char* name) {
    if (!name) return false;
    const char* display = "display";
    size_t i = 0;
    for (; name[i] && display[i]; ++i)
        if (std::tolower((unsigned char)name[i]) != display[i]) return false;
    return name[i] == 0 && display[i] == 0;
}

}  // namespace
}  // namespace platform
}  // namespace qndx

int StretchDIBits(HDC hdc, int xDest, int yDest, int DestWidth, int DestHeight, int xSrc, int ySrc, int SrcWidth,
                  int SrcHeight, const VOID* lpBits, const BITMAPINFO* lpbmi, UINT iUsage, DWORD rop) {
    using namespace qndx;
    using namespace qndx::platform;
    sim::internal::Record("StretchDIBits", [&] {
        WORD bits = 0;
        if (lpbmi) std::memcpy(&bits, reinterpret_cast<const uint8_t*>(lpbmi) + 14, sizeof bits);
        char args[160];
        std::snprintf(args, sizeof args, "%d, %d, %d, %d, %d, %d, %d, %d, %d bits", xDest, yDest, DestWidth,
                      DestHeight, xSrc, ySrc, SrcWidth, SrcHeight, (int)bits);
        return std::string(args);
    });
    HRESULT fault;
    if (sim::internal::TakeFault("StretchDIBits", &fault)) {
        SetLastError((DWORD)fault);
        return GDI_ERROR;
    }
    DeviceContext* dc = LookupDC(hdc, false);  // Draw settles the memory when it needs to
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return GDI_ERROR;
    }
    if (!dc->target.HasPixels() || rop != SRCCOPY) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return GDI_ERROR;
    }
    DibSource src;
    if (!ReadSource(lpBits, lpbmi, iUsage, &src)) return GDI_ERROR;
    if (DestWidth == 0 || DestHeight == 0 || SrcWidth == 0 || SrcHeight == 0) return 0;
    return Draw(dc, xDest, yDest, DestWidth, DestHeight, xSrc, ySrc, SrcWidth, SrcHeight, src);
}

HDC CreateICA(LPCSTR pszDriver, LPCSTR pszDevice, LPCSTR pszPort, const void* pdm) {
    using namespace qndx;
    using namespace qndx::platform;
    sim::internal::Record("CreateICA", pszDriver ? pszDriver : "(null)");
    HRESULT fault;
    if (sim::internal::TakeFault("CreateICA", &fault)) {
        SetLastError((DWORD)fault);
        return nullptr;
    }
    // Only the display is a device here; printers and other drivers are not.
    if (!IsDisplayDriver(pszDriver)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return RegisterDC(std::unique_ptr<DeviceContext>(new DeviceContext(DeviceContext::Kind::Info)));
}
