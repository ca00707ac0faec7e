// The picture object: a JPEG whose headers have been checked, sized in
// HIMETRIC units at the display's logical resolution. Drawn whole and
// unscaled into a surface's device context it is decoded straight into the
// surface's rows; any other drawing decodes it once into a top-down 24-bit
// DIB drawn through StretchDIBits. Damaged scan data shows as the render's
// failure.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gdi/DeviceContext.h"
#include "ole/JpegDecode.h"
#include "pixels/Pixels.h"
#include "platform/Gdi.h"
#include "platform/Kernel.h"
#include "platform/OlePicture.h"
#include "sim/RefCounted.h"
#include "sim/SimInternal.h"

const IID IID_IPicture = {0x7BF80980, 0xBF32, 0x101A, {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};

namespace qndx {
namespace platform {
namespace {

constexpr int kHimetricPerInch = 2540;
// Input beyond this is refused before it is read: no picture within the caps
// needs that many bytes.
constexpr ULONGLONG kMaxPictureInput = 1ull << 30;

// HIMETRIC units per pixel follow the display's logical resolution.
int DisplayLogPixels(int index) {
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, index) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

LONG RoundDiv(LONGLONG num, LONGLONG den) {
    LONGLONG q = num >= 0 ? (num + den / 2) / den : -((-num + den / 2) / den);
    if (q > 0x7FFFFFFFLL) q = 0x7FFFFFFFLL;
    if (q < -0x7FFFFFFFLL) q = -0x7FFFFFFFLL;
    return (LONG)q;
}

// Rows libjpeg writes as 32-bit or 5-6-5 pixels put into the surface's own kind.
void ClearTopBytes(uint8_t* row, const uint8_t* decoded, int width) {
    pixels::PictureRow(32, 32)(row, decoded, 0, width, nullptr);
}
void To555(uint8_t* row, const uint8_t* decoded, int width) {
    pixels::PictureRow(16, 15)(row, decoded, 0, width, nullptr);
}

HRESULT Refuse(const std::string& error) {
    QndxSetLastErrorText(error.c_str());
    return error == "out of memory" ? E_OUTOFMEMORY : CTL_E_INVALIDPICTURE;
}

class Picture final : public RefCounted<IPicture> {
public:
    Picture(std::vector<uint8_t>&& bytes, const DecodedPicture& sizes) : m_bytes(std::move(bytes)) {
        m_image.width = sizes.width;
        m_image.height = sizes.height;
        m_hmWidth = RoundDiv((LONGLONG)m_image.width * kHimetricPerInch, DisplayLogPixels(LOGPIXELSX));
        m_hmHeight = RoundDiv((LONGLONG)m_image.height * kHimetricPerInch, DisplayLogPixels(LOGPIXELSY));
        std::memset(&m_info, 0, sizeof m_info);
        m_info.bmiHeader.biSize = 40;
        m_info.bmiHeader.biWidth = m_image.width;
        m_info.bmiHeader.biHeight = -m_image.height;  // rows top-down
        m_info.bmiHeader.biPlanes = 1;
        m_info.bmiHeader.biBitCount = 24;
        m_info.bmiHeader.biCompression = BI_RGB;
    }

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IPicture) {
            *ppv = static_cast<IPicture*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT get_Type(SHORT* pType) override {
        if (!pType) return E_POINTER;
        *pType = PICTYPE_BITMAP;
        return S_OK;
    }

    HRESULT get_Width(OLE_XSIZE_HIMETRIC* pWidth) override {
        if (!pWidth) return E_POINTER;
        *pWidth = m_hmWidth;
        return S_OK;
    }

    HRESULT get_Height(OLE_YSIZE_HIMETRIC* pHeight) override {
        if (!pHeight) return E_POINTER;
        *pHeight = m_hmHeight;
        return S_OK;
    }

    HRESULT Render(HDC hdc, LONG x, LONG y, LONG cx, LONG cy, OLE_XPOS_HIMETRIC xSrc, OLE_YPOS_HIMETRIC ySrc,
                   OLE_XSIZE_HIMETRIC cxSrc, OLE_YSIZE_HIMETRIC cySrc, LPCRECT) override {
        sim::internal::Record("IPicture::Render", [&] {
            char args[128];
            std::snprintf(args, sizeof args, "%d, %d, %d, %d, %d, %d, %d, %d", x, y, cx, cy, xSrc, ySrc, cxSrc, cySrc);
            return std::string(args);
        });
        HRESULT fault;
        if (sim::internal::TakeFault("IPicture::Render", &fault)) return fault;
        if (!hdc) return E_INVALIDARG;
        if (cx == 0 || cy == 0 || cxSrc == 0 || cySrc == 0) return E_INVALIDARG;

        // HIMETRIC y runs upward from the bottom edge; DIB rows run down from the top.
        const LONGLONG w = m_image.width, h = m_image.height;
        LONG left = RoundDiv((LONGLONG)xSrc * w, m_hmWidth);
        LONG right = RoundDiv(((LONGLONG)xSrc + cxSrc) * w, m_hmWidth);
        LONG top = RoundDiv(((LONGLONG)m_hmHeight - ySrc) * h, m_hmHeight);
        LONG bottom = RoundDiv(((LONGLONG)m_hmHeight - ySrc - cySrc) * h, m_hmHeight);
        LONG srcW = right - left;
        LONG srcH = bottom - top;
        // A source narrower than a pixel still shows the pixel it lies in.
        if (srcW == 0) srcW = cxSrc > 0 ? 1 : -1;
        if (srcH == 0) srcH = cySrc < 0 ? 1 : -1;

        if (left == 0 && top == 0 && srcW == w && srcH == h && cx == w && cy == h) {
            DeviceContext* dc = LookupDC(hdc, false);
            if (dc && dc->target.HasPixels() && dc->target.kind != pixels::kIndexed8 && x >= 0 && y >= 0 &&
                x + w <= dc->target.width && y + h <= dc->target.height)
                return RenderRows(dc, x, y);
        }
        if (m_image.pixels.empty()) {
            std::string error;
            if (!DecodeJpeg(m_bytes.data(), m_bytes.size(), &m_image, &error)) {
                m_image.width = (int)w;
                m_image.height = (int)h;
                return Refuse(error);
            }
        }
        int lines = StretchDIBits(hdc, x, y, cx, cy, left, top, srcW, srcH, m_image.pixels.data(), &m_info,
                                  DIB_RGB_COLORS, SRCCOPY);
        return lines == GDI_ERROR ? E_FAIL : S_OK;
    }

private:
    // The picture decoded straight into the target's rows at (x, y).
    HRESULT RenderRows(DeviceContext* dc, LONG x, LONG y) {
        const PixelTarget& t = dc->target;
        JpegRows rows;
        const int bytes = t.kind == pixels::kRgb888 ? 3 : t.kind == pixels::kXrgb8888 ? 4 : 2;
        rows.layout = bytes == 4 ? JpegRows::Bgrx32 : bytes == 3 ? JpegRows::Bgr24 : JpegRows::Rgb565;
        rows.finish = bytes == 4 ? ClearTopBytes : t.kind == pixels::kRgb555 ? To555 : nullptr;
        rows.bits = t.bits + (ptrdiff_t)y * t.pitch + (ptrdiff_t)x * bytes;
        rows.pitch = t.pitch;
        // Memory still to be cleared need not be when the picture covers it.
        if (t.unwritten && x == 0 && y == 0 && m_image.width == t.width && m_image.height == t.height)
            *t.unwritten = false;
        t.Settle();
        DecodedPicture decoded;
        std::string error;
        const bool ok = DecodeJpegRows(m_bytes.data(), m_bytes.size(), rows, &decoded, &error);
        dc->MarkDirty(x, y, x + m_image.width, y + m_image.height);
        return ok ? S_OK : Refuse(error);
    }

    std::vector<uint8_t> m_bytes;  // the file
    DecodedPicture m_image;        // its sizes; its pixels once a render needs them whole
    BITMAPINFO m_info;
    LONG m_hmWidth = 0;
    LONG m_hmHeight = 0;
};

}  // namespace
}  // namespace platform
}  // namespace qndx

HRESULT OleLoadPicture(LPSTREAM lpstream, LONG lSize, BOOL fRunmode, REFIID riid, LPVOID* lplpvObj) {
    using namespace qndx;
    using namespace qndx::platform;
    sim::internal::Record("OleLoadPicture", [&] { return std::to_string(lSize); });
    if (!lplpvObj) return E_POINTER;
    *lplpvObj = nullptr;
    if (!lpstream) return E_POINTER;
    HRESULT fault;
    if (sim::internal::TakeFault("OleLoadPicture", &fault)) return fault;
    if (!(riid == IID_IPicture || riid == IID_IUnknown)) return E_NOINTERFACE;

    // What is left of the stream from its current position.
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    ULARGE_INTEGER pos, end;
    if (FAILED(lpstream->Seek(zero, STREAM_SEEK_CUR, &pos))) return CTL_E_INVALIDPICTURE;
    if (FAILED(lpstream->Seek(zero, STREAM_SEEK_END, &end))) return CTL_E_INVALIDPICTURE;
    LARGE_INTEGER back;
    back.QuadPart = (LONGLONG)pos.QuadPart;
    lpstream->Seek(back, STREAM_SEEK_SET, nullptr);
    ULONGLONG available = end.QuadPart > pos.QuadPart ? end.QuadPart - pos.QuadPart : 0;
    ULONGLONG wanted = lSize > 0 && (ULONGLONG)lSize < available ? (ULONGLONG)lSize : available;
    if (wanted == 0) {
        QndxSetLastErrorText("truncated: the stream holds no picture data");
        return CTL_E_INVALIDPICTURE;
    }
    if (wanted > kMaxPictureInput) {
        QndxSetLastErrorText("too large: the picture data is over 1 GiB");
        return E_OUTOFMEMORY;
    }

    std::vector<uint8_t> bytes;
    try {
        bytes.resize((size_t)wanted);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    ULONG got = 0;
    HRESULT hr = lpstream->Read(bytes.data(), (ULONG)wanted, &got);
    if (FAILED(hr)) {
        QndxSetLastErrorText("the picture data cannot be read from the stream");
        return hr;
    }
    if (got == 0) {
        QndxSetLastErrorText("truncated: the stream holds no picture data");
        return CTL_E_INVALIDPICTURE;
    }

    DecodedPicture sizes;
    std::string error;
    if (!CheckJpeg(bytes.data(), got, &sizes, &error)) return Refuse(error);
    bytes.resize(got);
    *lplpvObj = static_cast<IPicture*>(new Picture(std::move(bytes), sizes));
    return S_OK;
}
