// PCX decoder: one scan buffer holds a row's plane lines, each expanded from
// its run-length codes and then laid into the pixel buffer (indices for one
// plane, blue-green-red for three).
#include "GraphicEngine/ImageLoader/PCXImageLoader.h"

#include <cstdlib>
#include <cstring>

namespace {

const char* const kWho = "CQNDXPCXImageLoader::Load";
const unsigned char kPaletteCode = 12;

int ReadI16(const unsigned char* p) { return (int)(int16_t)(uint16_t)(p[0] | (p[1] << 8)); }

}  // namespace

CQNDXPCXImageLoader::CQNDXPCXImageLoader() : m_iPlanes(0), m_bPaletteFound(0) {
    std::memset(m_Header, 0, sizeof m_Header);
    std::memset(m_Palette, 0, sizeof m_Palette);
}

CQNDXPCXImageLoader::~CQNDXPCXImageLoader() {}

int CQNDXPCXImageLoader::CanLoad(const unsigned char* head, int headLen, const unsigned char*, int) {
    return head && headLen >= 3 && head[0] == 10 && head[1] == 5 && head[2] == 1 ? 1 : 0;
}

int CQNDXPCXImageLoader::DecodeLine(unsigned char* out, const unsigned char** cursor, const unsigned char* end,
                                    int count) {
    const unsigned char* p = *cursor;
    int n = 0;
    while (n < count && p < end) {
        // Bytes that are not counts stand for themselves: a stretch of them
        // goes in one copy.
        const unsigned char* literal = p;
        const ptrdiff_t room = count - n;
        while (p < end && p - literal < room && (*p & 0xC0) != 0xC0) ++p;
        if (p > literal) {
            std::memcpy(out + n, literal, (size_t)(p - literal));
            n += (int)(p - literal);
            continue;
        }
        const int repeat = *p++ & 0x3F;
        if (p >= end) break;  // a count with no byte to repeat
        const unsigned char value = *p++;
        for (int i = 0, k = repeat < room ? repeat : (int)room; i < k; ++i) out[n + i] = value;
        n += repeat;
    }
    *cursor = p;
    return n;
}

int CQNDXPCXImageLoader::Decode(unsigned int size, const unsigned char* data) {
    FreePixels();
    m_iPlanes = 0;
    m_bPaletteFound = 0;
    std::memset(m_Palette, 0, sizeof m_Palette);
    if (!data || size < HEADER_BYTES) {
        LogLoadError("%s: truncated: %u bytes are shorter than the PCX header", kWho, data ? size : 0u);
        return 0;
    }
    std::memcpy(m_Header, data, HEADER_BYTES);
    const int bitsPerPlane = m_Header[3];
    const int planes = m_Header[65];
    const int64_t width = (int64_t)ReadI16(m_Header + 8) - ReadI16(m_Header + 4) + 1;
    const int64_t height = (int64_t)ReadI16(m_Header + 10) - ReadI16(m_Header + 6) + 1;
    const int bytesPerLine = ReadI16(m_Header + 66);

    if (bitsPerPlane != 8 || (planes != 1 && planes != 3)) {
        LogLoadError("%s: %d bits per pixel in %d planes is not supported (8 bits in 1 or 3 planes)", kWho,
                     bitsPerPlane, planes);
        return 0;
    }
    const int bpp = bitsPerPlane * planes;
    if (ComputeBufferSize(width, height, bpp) == 0) {
        LogLoadError("%s: size %lld x %lld refused as too large or empty (sides 1 to %d, at most 256 MiB)", kWho,
                     (long long)width, (long long)height, (int)MAX_SIDE);
        return 0;
    }
    if (!CheckSurfaceSize(width, height, kWho)) return 0;
    if (bytesPerLine < width) {
        LogLoadError("%s: %d bytes per plane line cannot hold %lld pixels", kWho, bytesPerLine, (long long)width);
        return 0;
    }
    // Every plane line takes at least one code byte per 63 pixels: a header
    // claiming more lines than the data could hold is refused before any
    // allocation.
    const uint64_t leastCodeBytes = (uint64_t)height * (uint64_t)planes * (((uint64_t)bytesPerLine + 62) / 63);
    if (leastCodeBytes > size - HEADER_BYTES) {
        LogLoadError("%s: truncated: %u bytes cannot hold %lld scan lines of %d planes", kWho, size,
                     (long long)height, planes);
        return 0;
    }

    unsigned char* scan = static_cast<unsigned char*>(std::malloc((size_t)planes * bytesPerLine + 1));
    if (!scan) {
        LogLoadError("%s: out of memory for a scan line of %d bytes", kWho, planes * bytesPerLine);
        return 0;
    }
    if (!Create((int)width, (int)height, (unsigned char)bpp)) {
        std::free(scan);
        return 0;
    }
    SetTopDown(1);  // row 0 is the top row
    m_iPlanes = planes;

    const unsigned int stride = GetStride();
    const unsigned char* cursor = data + HEADER_BYTES;
    const unsigned char* end = data + size;
    const int w = (int)width;
    for (int y = 0; y < m_iHeight; ++y) {
        for (int p = 0; p < planes; ++p) {
            const int n = DecodeLine(scan + (size_t)p * bytesPerLine, &cursor, end, bytesPerLine);
            if (n != bytesPerLine) {
                if (n < bytesPerLine)
                    LogLoadError("%s: truncated: the data ends in scan line %d, plane %d", kWho, y, p);
                else
                    LogLoadError("%s: a run crosses the end of scan line %d, plane %d", kWho, y, p);
                std::free(scan);
                FreePixels();
                return 0;
            }
        }
        unsigned char* row = m_pPixels + (size_t)y * stride;
        if (planes == 1) {
            std::memcpy(row, scan, (size_t)w);
        } else {
            const unsigned char* red = scan;
            const unsigned char* green = scan + bytesPerLine;
            const unsigned char* blue = scan + 2 * (size_t)bytesPerLine;
            for (int x = 0; x < w; ++x) {
                row[3 * x] = blue[x];
                row[3 * x + 1] = green[x];
                row[3 * x + 2] = red[x];
            }
        }
    }
    std::free(scan);

    if (planes == 1) {
        const unsigned int scanEnd = (unsigned int)(cursor - data);
        const unsigned int tableBytes = PALETTE_BYTES + 1;
        if (size >= tableBytes && size - tableBytes >= scanEnd && data[size - tableBytes] == kPaletteCode) {
            std::memcpy(m_Palette, data + size - PALETTE_BYTES, PALETTE_BYTES);
            m_bPaletteFound = 1;
        } else if (scanEnd < size && data[scanEnd] == kPaletteCode && size - scanEnd < tableBytes) {
            // The palette's code follows the scan lines but its colours do not.
            LogLoadError("%s: truncated: the 256-colour palette is cut short (%u of %u bytes)", kWho,
                         size - scanEnd - 1,
                         (unsigned)PALETTE_BYTES);
            FreePixels();
            return 0;
        }
        // Otherwise the image has no palette and is drawn with a black table.
    }
    return 1;
}

IDirectDrawSurface7* CQNDXPCXImageLoader::Load(IDirectDraw7* dd, unsigned int size, const unsigned char* data) {
    SetSurfaceBits(SurfaceBitsOf(dd));
    if (!Decode(size, data)) return nullptr;
    return __FinishLoad(dd, m_iPlanes == 1 ? m_Palette : nullptr);
}
