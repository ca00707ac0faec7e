// Windows bitmap decoder. Header fields are read byte by byte (little-endian)
// and every offset, count and run is checked against the data and the pixel
// buffer before it is used.
#include "GraphicEngine/ImageLoader/BMPImageLoader.h"

#include <cassert>
#include <cstdlib>
#include <cstring>

namespace {

const char* const kWho = "CQNDXBMPImageLoader::Load";

uint16_t ReadLE16(const unsigned char* p) { return (uint16_t)(p[0] | (p[1] << 8)); }

uint32_t ReadLE32(const unsigned char* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

}  // namespace

CQNDXBMPImageLoader::CQNDXBMPImageLoader() : m_pColorInfo(nullptr), m_iColorCount(0) {
    std::memset(&m_InfoHeader, 0, sizeof m_InfoHeader);
    std::memset(&m_FileHeader, 0, sizeof m_FileHeader);
}

CQNDXBMPImageLoader::~CQNDXBMPImageLoader() { __ReleaseColorInfo(); }

void CQNDXBMPImageLoader::__ReleaseColorInfo() {
    std::free(m_pColorInfo);
    m_pColorInfo = nullptr;
}

int CQNDXBMPImageLoader::CanLoad(const unsigned char* head, int headLen, const unsigned char*, int) {
    return head && headLen >= 2 && ReadLE16(head) == 0x4D42 ? 1 : 0;
}

const BITMAPINFO* CQNDXBMPImageLoader::GetDescription() const {
    if (m_pColorInfo) return reinterpret_cast<const BITMAPINFO*>(m_pColorInfo);
    // Above 8 bits GDI reads the header only.
    return reinterpret_cast<const BITMAPINFO*>(&m_InfoHeader);
}

int CQNDXBMPImageLoader::Decode(unsigned int size, const unsigned char* data, bool copy) {
    FreePixels();
    __ReleaseColorInfo();
    m_iColorCount = 0;

    if (!data || size < 14 + 40) {
        LogLoadError("%s: truncated: %u bytes are shorter than the bitmap headers", kWho, data ? size : 0u);
        return 0;
    }
    m_FileHeader.bfType = ReadLE16(data);
    m_FileHeader.bfSize = ReadLE32(data + 2);
    m_FileHeader.bfReserved1 = ReadLE16(data + 6);
    m_FileHeader.bfReserved2 = ReadLE16(data + 8);
    m_FileHeader.bfOffBits = ReadLE32(data + 10);
    if (m_FileHeader.bfType != 0x4D42) {
        LogLoadError("%s: not a bitmap file (no BM signature)", kWho);
        return 0;
    }

    const unsigned char* ih = data + 14;
    const uint32_t headerSize = ReadLE32(ih);
    // Later header versions (108, 124 bytes) start with the same 40 bytes;
    // their colour table follows the whole header.
    if (headerSize < 40 || headerSize > size - 14) {
        LogLoadError("%s: info header of %u bytes is not supported or passes the end of the data", kWho,
                     headerSize);
        return 0;
    }
    m_InfoHeader.biSize = 40;
    m_InfoHeader.biWidth = (LONG)ReadLE32(ih + 4);
    m_InfoHeader.biHeight = (LONG)ReadLE32(ih + 8);
    m_InfoHeader.biPlanes = ReadLE16(ih + 12);
    m_InfoHeader.biBitCount = ReadLE16(ih + 14);
    m_InfoHeader.biCompression = ReadLE32(ih + 16);
    m_InfoHeader.biSizeImage = ReadLE32(ih + 20);
    m_InfoHeader.biXPelsPerMeter = (LONG)ReadLE32(ih + 24);
    m_InfoHeader.biYPelsPerMeter = (LONG)ReadLE32(ih + 28);
    m_InfoHeader.biClrUsed = ReadLE32(ih + 32);
    m_InfoHeader.biClrImportant = ReadLE32(ih + 36);

    const int64_t width = m_InfoHeader.biWidth;
    const int64_t height = m_InfoHeader.biHeight;
    const int bits = m_InfoHeader.biBitCount;
    const uint32_t compression = m_InfoHeader.biCompression;

    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        LogLoadError("%s: %d bits per pixel is not supported", kWho, bits);
        return 0;
    }
    const int topDown = height < 0 ? 1 : 0;
    const int64_t rows = topDown ? -height : height;
    if (width < 1 || width > MAX_SIDE || rows < 1 || rows > MAX_SIDE) {
        LogLoadError("%s: size %lld x %lld refused as too large or empty (sides 1 to %d)", kWho, (long long)width,
                     (long long)height, (int)MAX_SIDE);
        return 0;
    }
    if (compression == BI_RLE8) {
        if (bits != 8 || topDown) {
            LogLoadError("%s: run-length data needs a bottom-up 8-bit bitmap", kWho);
            return 0;
        }
    } else if (compression != BI_RGB) {
        LogLoadError("%s: compression %u is not supported", kWho, compression);
        return 0;
    }
    const uint64_t bufferSize = ComputeBufferSize(width, rows, bits);
    if (bufferSize == 0) {
        LogLoadError("%s: too large: %lld x %lld at %d bits needs more than 256 MiB", kWho, (long long)width,
                     (long long)rows, bits);
        return 0;
    }
    if (!CheckSurfaceSize(width, rows, kWho)) return 0;
    // Everything the file must hold is checked before the buffer exists.
    const uint32_t most = bits <= 8 ? 1u << bits : 0;
    const uint32_t used = m_InfoHeader.biClrUsed;
    const uint32_t count = (used != 0 && used < most) ? used : most;
    const uint64_t tableOffset = 14ull + headerSize;
    if (bits <= 8 && tableOffset + 4ull * count > size) {
        LogLoadError("%s: truncated: colour table of %u entries passes the end of the data", kWho, count);
        return 0;
    }
    const uint32_t offset = m_FileHeader.bfOffBits;
    if (compression == BI_RGB && (offset > size || bufferSize > size - offset)) {
        LogLoadError("%s: truncated: pixel data (%llu bytes at offset %u) passes the end of the %u-byte data", kWho,
                     (unsigned long long)bufferSize, offset, size);
        return 0;
    }
    if (compression != BI_RGB && offset >= size) {
        LogLoadError("%s: truncated: run-length data at offset %u lies past the end of the %u-byte data", kWho,
                     offset, size);
        return 0;
    }
    SetWidth((int)width);
    SetHeight((int)rows);
    SetBitsPerPixel((unsigned char)bits);
    SetTopDown(topDown);
    m_pFilePixels = nullptr;
    if ((copy || compression != BI_RGB) && !AllocPixels((unsigned int)bufferSize)) return 0;

    if (bits <= 8) {
        m_iColorCount = (int)count;
        m_pColorInfo = static_cast<unsigned char*>(std::calloc(count * 4 + 44, 1));
        if (!m_pColorInfo) {
            LogLoadError("%s: out of memory for the colour table", kWho);
            FreePixels();
            return 0;
        }
        BITMAPINFOHEADER header = m_InfoHeader;
        // GDI reads exactly this many entries after the 40 bytes.
        header.biClrUsed = used != 0 ? count : 0;
        header.biClrImportant = 0;
        header.biCompression = BI_RGB;  // the buffer holds plain pixels even for run-length files
        std::memcpy(m_pColorInfo, &header, 40);
        const unsigned char* in = data + tableOffset;
        unsigned char* out = m_pColorInfo + 40;
        for (uint32_t i = 0; i < count; ++i, in += 4, out += 4) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = 0;
        }
    } else {
        m_InfoHeader.biClrUsed = 0;
        m_InfoHeader.biClrImportant = 0;
    }

    if (compression == BI_RGB) {
        if (copy) std::memcpy(m_pPixels, data + offset, (size_t)bufferSize);
        else m_pFilePixels = data + offset;
    } else {
        if (!DecodeRLE8(data, size, offset)) {
            LogLoadError("%s: truncated: run-length data ends before the picture does", kWho);
            FreePixels();
            __ReleaseColorInfo();
            return 0;
        }
    }
    return 1;
}

int CQNDXBMPImageLoader::DecodeRLE8(const unsigned char* data, unsigned int size, unsigned int offset) {
    const unsigned int stride = GetStride();
    if (!m_pPixels || !data || stride == 0 || m_BitsPerPixel != 8 || offset > size) return 0;
    const unsigned int width = (unsigned int)m_iWidth;
    const unsigned int height = (unsigned int)m_iHeight;
    unsigned int pos = offset;
    unsigned int x = 0;
    unsigned int r = 0;
    unsigned char* row = m_pPixels;

    for (;;) {
        if (size - pos < 2) return 0;
        const unsigned int count = data[pos];
        const unsigned int value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            // An encoded run; whatever passes the row's end is dropped.
            unsigned int n = count < width - x ? count : width - x;
            unsigned char* Ptr = row + x;
            assert(Ptr);
            std::memset(Ptr, (int)value, n);
            x += n;
            continue;
        }
        switch (value) {
            case 0:  // end of line
                if (++r >= height) return 1;
                row += stride;
                x = 0;
                break;
            case 1:  // end of bitmap; the rest stays index 0
                return 1;
            case 2: {  // delta: skipped pixels stay index 0
                if (size - pos < 2) return 0;
                const unsigned int dx = data[pos];
                const unsigned int dy = data[pos + 1];
                pos += 2;
                r += dy;
                if (r >= height) return 1;
                row = m_pPixels + (size_t)r * stride;
                x = dx < width - x ? x + dx : width;
                break;
            }
            default: {  // absolute run of `value` bytes, padded to 16 bits
                if (size - pos < value) return 0;
                unsigned int n = value < width - x ? value : width - x;
                unsigned char* Ptr = row + x;
                assert(Ptr);
                std::memcpy(Ptr, data + pos, n);
                x += n;
                const unsigned int padded = value + (value & 1);
                pos += padded < size - pos ? padded : size - pos;
                break;
            }
        }
    }
}

IDirectDrawSurface7* CQNDXBMPImageLoader::Load(IDirectDraw7* dd, unsigned int size, const unsigned char* data) {
    SetSurfaceBits(SurfaceBitsOf(dd));
    if (!Decode(size, data, false)) return nullptr;
    if (!CreateSurface(dd)) {
        FreePixels();
        __ReleaseColorInfo();
        return nullptr;
    }
    IDirectDrawSurface7* surface = __DrawPixels(GetDescription(), kWho, m_pFilePixels);
    __ReleaseColorInfo();
    return surface;
}
