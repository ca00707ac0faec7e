// TGA decoder. Header fields are read byte by byte; the colour map, the raw
// rows and every run-length packet are checked against the data before they
// are read, and runs stop at the end of the pixel buffer.
#include "GraphicEngine/ImageLoader/TGAImageLoader.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <cstring>

namespace {

const char* const kWho = "CQNDXTGAImageLoader::Load";

unsigned int ReadLE16(const unsigned char* p) { return (unsigned int)(p[0] | (p[1] << 8)); }

bool IsColourMapped(int type) { return type == 1 || type == 9; }
bool IsGrey(int type) { return type == 3 || type == 11; }
bool IsRunLength(int type) { return type >= 9 && type <= 11; }

// Bytes per colour-map entry; 15-bit entries take two bytes.
unsigned int EntryBytes(int entrySize) { return entrySize == 15 ? 2u : (unsigned int)entrySize / 8u; }

// `count` file pixels into the buffer: 5-5-5 widened to blue, green, red,
// every other depth as it lies (GDI ignores the alpha byte of 32-bit rows).
void PutPixels(unsigned char* out, const unsigned char* in, unsigned int count, int bytes) {
    if (bytes == 2)
        CQNDXTGAImageLoader::Convert555To888(out, in, count);
    else
        std::memcpy(out, in, (size_t)count * (size_t)bytes);
}

// Reverses the pixels of every row: the file stored them right to left.
void MirrorRows(unsigned char* pixels, int width, int height, unsigned int stride, int bytes) {
    if (!pixels || width < 2) return;
    for (int y = 0; y < height; ++y) {
        unsigned char* left = pixels + (size_t)y * stride;
        unsigned char* right = left + (size_t)(width - 1) * (size_t)bytes;
        for (; left < right; left += bytes, right -= bytes)
            for (int i = 0; i < bytes; ++i) std::swap(left[i], right[i]);
    }
}

}  // namespace

CQNDXTGAImageLoader::CQNDXTGAImageLoader() : m_pPalette(nullptr) { std::memset(m_Header, 0, sizeof m_Header); }

CQNDXTGAImageLoader::~CQNDXTGAImageLoader() { __ReleasePalette(); }

void CQNDXTGAImageLoader::__ReleasePalette() {
    std::free(m_pPalette);
    m_pPalette = nullptr;
}

int CQNDXTGAImageLoader::CanLoad(const unsigned char* head, int headLen, const unsigned char* tail, int tailLen) {
    if (!head || !tail || headLen < 17 || tailLen < 18) return 0;
    if (std::strncmp(reinterpret_cast<const char*>(tail + tailLen - 18), "TRUEVISION-XFILE", 16) != 0) return 0;
    const unsigned char depth = head[16];
    return depth == 8 || depth == 16 || depth == 24 || depth == 32 ? 1 : 0;
}

unsigned int CQNDXTGAImageLoader::ReadWord(const unsigned char** cursor) {
    const unsigned int value = ReadLE16(*cursor);
    *cursor += 2;
    return value;
}

void CQNDXTGAImageLoader::Convert555To888(unsigned char* out, const unsigned char* in, unsigned int count) {
    for (unsigned int i = 0; i < count; ++i, in += 2, out += 3) {
        const unsigned int w = ReadLE16(in);
        out[0] = (unsigned char)((w & 31) * 8);
        out[1] = (unsigned char)(((w >> 5) & 31) * 8);
        out[2] = (unsigned char)(((w >> 10) & 31) * 8);
    }
}

int CQNDXTGAImageLoader::__ReadColourMap(const unsigned char* data) {
    m_pPalette = static_cast<unsigned char*>(std::calloc(PALETTE_BYTES, 1));
    if (!m_pPalette) {
        LogLoadError("%s: out of memory for the palette", kWho);
        return 0;
    }
    if (m_Header[1] == 0) {
        // No map: an 8-bit image without one is grey.
        for (int i = 0; i < 256; ++i) m_pPalette[3 * i] = m_pPalette[3 * i + 1] = m_pPalette[3 * i + 2] = (unsigned char)i;
        return 1;
    }
    const unsigned int first = ReadLE16(m_Header + 3);
    const unsigned int length = ReadLE16(m_Header + 5);
    const int entrySize = m_Header[7];
    // The caller has checked that the whole map lies inside the data.
    const unsigned char* entry = data + HEADER_BYTES + m_Header[0];
    for (unsigned int j = 0; j < length; ++j) {
        const unsigned int i = first + j;
        if (i > 255) break;
        unsigned char* rgb = m_pPalette + 3 * i;
        if (entrySize == 15 || entrySize == 16) {
            const unsigned char* at = entry;
            const unsigned int w = ReadWord(&at);
            rgb[0] = (unsigned char)(((w >> 10) & 31) * 8);
            rgb[1] = (unsigned char)(((w >> 5) & 31) * 8);
            rgb[2] = (unsigned char)((w & 31) * 8);
        } else {  // 24 or 32 bits: blue, green, red[, alpha]
            rgb[0] = entry[2];
            rgb[1] = entry[1];
            rgb[2] = entry[0];
        }
        entry += EntryBytes(entrySize);
    }
    return 1;
}

int CQNDXTGAImageLoader::__DecodePackets(const unsigned char* cursor, const unsigned char* end, int bytesPerPixel) {
    const unsigned int stride = GetStride();
    const int outBytes = m_BitsPerPixel / 8;
    const unsigned int rowBytes = (unsigned int)m_iWidth * (unsigned int)outBytes;
    int y = 0;
    unsigned int x = 0;  // byte offset within the row
    unsigned char* row = m_pPixels;
    const size_t pixelBytes = (size_t)bytesPerPixel;

    while (y < m_iHeight) {
        if (cursor >= end) return 0;
        const unsigned int header = *cursor++;
        unsigned int count = (header & 0x7F) + 1;
        const bool repeated = (header & 0x80) != 0;
        if (repeated) {
            if ((size_t)(end - cursor) < pixelBytes) return 0;
        }
        // Packets may cross rows; whatever passes the last row is dropped.
        while (count > 0 && y < m_iHeight) {
            const unsigned int n = std::min(count, (rowBytes - x) / (unsigned int)outBytes);
            unsigned char* out = row + x;
            if (repeated) {
                PutPixels(out, cursor, 1, bytesPerPixel);
                for (unsigned int i = 1; i < n; ++i) std::memcpy(out + (size_t)i * outBytes, out, (size_t)outBytes);
            } else {
                if ((size_t)(end - cursor) / pixelBytes < n) return 0;
                PutPixels(out, cursor, n, bytesPerPixel);
                cursor += n * pixelBytes;
            }
            x += n * (unsigned int)outBytes;
            count -= n;
            if (x >= rowBytes) {
                x = 0;
                ++y;
                row += stride;
            }
        }
        if (repeated) cursor += pixelBytes;
    }
    return 1;
}

int CQNDXTGAImageLoader::Decode(unsigned int size, const unsigned char* data) {
    FreePixels();
    __ReleasePalette();
    SetTopDown(0);
    if (!data || size < HEADER_BYTES) {
        LogLoadError("%s: truncated: %u bytes are shorter than the TGA header", kWho, data ? size : 0u);
        return 0;
    }
    std::memcpy(m_Header, data, HEADER_BYTES);
    const unsigned int idLength = m_Header[0];
    const int mapType = m_Header[1];
    const int imageType = m_Header[2];
    const unsigned int mapLength = ReadLE16(m_Header + 5);
    const int entrySize = m_Header[7];
    const int width = (int)ReadLE16(m_Header + 12);
    const int height = (int)ReadLE16(m_Header + 14);
    const int depth = m_Header[16];

    if (imageType != 1 && imageType != 2 && imageType != 3 && imageType != 9 && imageType != 10 && imageType != 11) {
        LogLoadError("%s: image type %d is not supported", kWho, imageType);
        return 0;
    }
    if (depth != 8 && depth != 16 && depth != 24 && depth != 32) {
        LogLoadError("%s: pixel depth %d is not supported", kWho, depth);
        return 0;
    }
    if ((IsColourMapped(imageType) && (depth != 8 || mapType == 0)) || (IsGrey(imageType) && depth != 8)) {
        LogLoadError("%s: image type %d with pixel depth %d and colour-map type %d is not supported", kWho,
                     imageType, depth, mapType);
        return 0;
    }
    if (mapType != 0 && mapLength > 0 && entrySize != 15 && entrySize != 16 && entrySize != 24 && entrySize != 32) {
        LogLoadError("%s: colour-map entries of %d bits are not supported", kWho, entrySize);
        return 0;
    }
    // The pixels follow the ID and the map, counted even when the map type is 0.
    const uint64_t pixelOffset = (uint64_t)HEADER_BYTES + idLength + (uint64_t)mapLength * EntryBytes(entrySize);
    if (pixelOffset > size) {
        LogLoadError("%s: truncated: the image ID and colour map (%llu bytes) pass the end of the %u-byte data", kWho,
                     (unsigned long long)pixelOffset, size);
        return 0;
    }
    if (!CheckSurfaceSize(width, height, kWho)) return 0;
    const int bytesPerPixel = depth / 8;
    const uint64_t rawBytes = (uint64_t)width * (uint64_t)height * (uint64_t)bytesPerPixel;
    const uint64_t available = size - pixelOffset;
    // A packet of one header byte and one pixel gives at most 128 pixels, so
    // data that could not hold the picture even so is refused before the
    // buffer is allocated.
    const uint64_t leastBytes =
        IsRunLength(imageType) ? ((uint64_t)width * height + 127) / 128 * (1 + (uint64_t)bytesPerPixel) : rawBytes;
    if (width > 0 && height > 0 && leastBytes > available) {
        LogLoadError("%s: truncated: %llu bytes of pixel data cannot hold a %d x %d image at %d bits", kWho,
                     (unsigned long long)available, width, height, depth);
        return 0;
    }
    // Every pixel is written below (a load that runs out of data fails), so
    // the buffer is not cleared first.
    if (!Create(width, height, (unsigned char)(depth == 16 ? 24 : depth), false)) return 0;
    if ((m_Header[17] & 0x20) != 0) SetTopDown(1);

    if (depth == 8 && !__ReadColourMap(data)) {
        FreePixels();
        return 0;
    }

    const unsigned char* pixels = data + pixelOffset;
    const bool rightToLeft = (m_Header[17] & 0x10) != 0;
    if (IsRunLength(imageType)) {
        if (!__DecodePackets(pixels, data + size, bytesPerPixel)) {
            LogLoadError("%s: truncated: the run-length data ends before the %d x %d image is filled", kWho, width,
                         height);
            FreePixels();
            __ReleasePalette();
            return 0;
        }
        if (rightToLeft) MirrorRows(m_pPixels, width, height, GetStride(), m_BitsPerPixel / 8);
        return 1;
    }
    // Uncompressed: the size check above covers every row read here.
    const unsigned int stride = GetStride();
    const size_t fileRow = (size_t)width * (size_t)bytesPerPixel;
    for (int y = 0; y < height; ++y, pixels += fileRow) {
        unsigned char* row = m_pPixels + (size_t)y * stride;
        PutPixels(row, pixels, (unsigned int)width, bytesPerPixel);
    }
    if (rightToLeft) MirrorRows(m_pPixels, width, height, stride, m_BitsPerPixel / 8);
    return 1;
}

IDirectDrawSurface7* CQNDXTGAImageLoader::Load(IDirectDraw7* dd, unsigned int size, const unsigned char* data) {
    SetSurfaceBits(SurfaceBitsOf(dd));
    if (!Decode(size, data)) return nullptr;
    IDirectDrawSurface7* surface = __FinishLoad(dd, m_pPalette);
    __ReleasePalette();
    return surface;
}
