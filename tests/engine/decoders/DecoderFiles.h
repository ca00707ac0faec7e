// Writers of PNG, PCX and TGA test files, made in memory from the pictures of
// engine/images/TestImages.h. The PNG writer needs no zlib: its image data is
// a zlib stream of stored deflate blocks, with its own CRC-32 and Adler-32.
// Compressed text chunks come from libpng's own writer.
// Header-only so that the fuzz harnesses can build seed inputs from it.
#pragma once

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../images/TestImages.h"  // relative: the fuzz harnesses have no tests include root

namespace qndx {
namespace testimg {

inline void PutBE32(std::vector<uint8_t>& v, uint32_t value) {
    for (int s = 24; s >= 0; s -= 8) v.push_back((uint8_t)(value >> s));
}

inline uint32_t Crc32(const uint8_t* p, size_t n, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

inline uint32_t Adler32(const std::vector<uint8_t>& v) {
    uint32_t a = 1, b = 0;
    for (uint8_t c : v) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

// A zlib stream of stored blocks holding `raw`.
inline std::vector<uint8_t> ZlibStored(const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> z = {0x78, 0x01};
    size_t at = 0;
    do {
        const size_t n = raw.size() - at < 65535 ? raw.size() - at : 65535;
        const bool last = at + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back((uint8_t)n);
        z.push_back((uint8_t)(n >> 8));
        z.push_back((uint8_t)~n);
        z.push_back((uint8_t)(~n >> 8));
        z.insert(z.end(), raw.begin() + (long)at, raw.begin() + (long)(at + n));
        at += n;
    } while (at < raw.size());
    PutBE32(z, Adler32(raw));
    return z;
}

inline void PngChunk(std::vector<uint8_t>& f, const char* type, const std::vector<uint8_t>& data) {
    PutBE32(f, (uint32_t)data.size());
    const size_t start = f.size();
    f.insert(f.end(), type, type + 4);
    f.insert(f.end(), data.begin(), data.end());
    PutBE32(f, Crc32(f.data() + start, f.size() - start));
}

// A PNG picture as samples: `channels` values per pixel, top row first, each
// below 1 << bitDepth.
struct PngPicture {
    int width = 0;
    int height = 0;
    int colourType = 2;  // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<uint16_t> samples;
    std::vector<uint32_t> palette;  // PLTE entries (colour type 3)
    std::vector<uint8_t> trns;      // tRNS chunk bytes, written when not empty

    int Channels() const { return colourType == 0 || colourType == 3 ? 1 : colourType == 4 ? 2 : colourType == 2 ? 3 : 4; }
    uint16_t Sample(int x, int y, int c) const { return samples[((size_t)y * width + x) * Channels() + c]; }
};

// The raw (unfiltered) bytes of pixels x0, x0 + step, ... of row y.
inline std::vector<uint8_t> PngRowBytes(const PngPicture& p, int y, int x0, int step) {
    std::vector<uint8_t> out;
    int bits = 0;
    uint32_t acc = 0;
    for (int x = x0; x < p.width; x += step)
        for (int c = 0; c < p.Channels(); ++c) {
            const uint16_t v = p.Sample(x, y, c);
            if (p.bitDepth == 16) {
                out.push_back((uint8_t)(v >> 8));
                out.push_back((uint8_t)v);
            } else if (p.bitDepth == 8) {
                out.push_back((uint8_t)v);
            } else {
                acc = (acc << p.bitDepth) | v;
                bits += p.bitDepth;
                if (bits == 8) {
                    out.push_back((uint8_t)acc);
                    acc = 0;
                    bits = 0;
                }
            }
        }
    if (bits) out.push_back((uint8_t)(acc << (8 - bits)));
    return out;
}

// The filtered scan lines: rows alternate between filters None and Sub.
inline std::vector<uint8_t> PngScanLines(const PngPicture& p) {
    static const int passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                     {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    const int whole[1][4] = {{0, 0, 1, 1}};
    const int(*list)[4] = p.interlaced ? passes : whole;
    const int count = p.interlaced ? 7 : 1;
    const size_t bpp = (size_t)(p.Channels() * p.bitDepth + 7) / 8;
    std::vector<uint8_t> raw;
    int n = 0;
    for (int i = 0; i < count; ++i) {
        const int x0 = list[i][0], y0 = list[i][1], dx = list[i][2], dy = list[i][3];
        if (x0 >= p.width) continue;
        for (int y = y0; y < p.height; y += dy) {
            std::vector<uint8_t> row = PngRowBytes(p, y, x0, dx);
            const bool sub = (n++ & 1) != 0;
            raw.push_back(sub ? 1 : 0);
            for (size_t b = 0; b < row.size(); ++b)
                raw.push_back((uint8_t)(row[b] - (sub && b >= bpp ? row[b - bpp] : 0)));
        }
    }
    return raw;
}

// Writes every chunk's CRC again (after a deliberate change to its data).
inline void FixPngCrcs(std::vector<uint8_t>& f) {
    for (size_t at = 8; at + 12 <= f.size();) {
        const size_t len = ((size_t)f[at] << 24) | ((size_t)f[at + 1] << 16) | ((size_t)f[at + 2] << 8) | f[at + 3];
        if (len > f.size() - at - 12) return;
        const uint32_t crc = Crc32(f.data() + at + 4, len + 4);
        for (int i = 0; i < 4; ++i) f[at + 8 + len + i] = (uint8_t)(crc >> (24 - 8 * i));
        at += 12 + len;
    }
}

inline std::vector<uint8_t> EncodePng(const PngPicture& p) {
    std::vector<uint8_t> f = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> ihdr;
    PutBE32(ihdr, (uint32_t)p.width);
    PutBE32(ihdr, (uint32_t)p.height);
    ihdr.insert(ihdr.end(), {(uint8_t)p.bitDepth, (uint8_t)p.colourType, 0, 0, (uint8_t)(p.interlaced ? 1 : 0)});
    PngChunk(f, "IHDR", ihdr);
    if (!p.palette.empty()) {
        std::vector<uint8_t> plte;
        for (uint32_t c : p.palette) plte.insert(plte.end(), {Red(c), Green(c), Blue(c)});
        PngChunk(f, "PLTE", plte);
    }
    if (!p.trns.empty()) PngChunk(f, "tRNS", p.trns);
    PngChunk(f, "IDAT", ZlibStored(PngScanLines(p)));
    PngChunk(f, "IEND", {});
    return f;
}

namespace detail {

inline void AppendWrittenBytes(png_structp png, png_bytep data, png_size_t length) {
    std::vector<uint8_t>* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

// A 1 x 1 grey PNG with one text entry; false on a libpng error. Holds
// nothing that libpng's jump back would need to destroy.
inline bool WriteTextPng(png_structp png, png_infop info, png_textp text, std::vector<uint8_t>* out) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, out, AppendWrittenBytes, nullptr);
    png_set_IHDR(png, info, 1, 1, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_text(png, info, text, 1);
    png_write_info(png, info);
    png_byte row[1] = {0};
    png_write_row(png, row);
    png_write_end(png, nullptr);
    return true;
}

}  // namespace detail

// One compressed text chunk (zTXt, or iTXt with PNG_ITXT_COMPRESSION_zTXt),
// whole with its framing, of `length` letters as libpng's writer makes it: a
// few kilobytes that inflate to `length` bytes. Empty on a libpng error.
inline std::vector<uint8_t> LibpngTextChunk(int compression, size_t length) {
    std::string letters(length, 'a');
    char key[] = "Comment";
    png_text text;
    std::memset(&text, 0, sizeof text);
    text.compression = compression;
    text.key = key;
    text.text = &letters[0];
    text.text_length = length;
    std::vector<uint8_t> file;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const bool ok = info && detail::WriteTextPng(png, info, &text, &file);
    png_destroy_write_struct(&png, &info);
    const char* type = compression == PNG_TEXT_COMPRESSION_zTXt ? "zTXt" : "iTXt";
    for (size_t at = 8; ok && at + 12 <= file.size();) {
        const size_t len =
            ((size_t)file[at] << 24) | ((size_t)file[at + 1] << 16) | ((size_t)file[at + 2] << 8) | file[at + 3];
        if (len > file.size() - at - 12) break;
        if (std::memcmp(&file[at + 4], type, 4) == 0)
            return std::vector<uint8_t>(file.begin() + (long)at, file.begin() + (long)(at + 12 + len));
        at += 12 + len;
    }
    return {};
}

// ---------------------------------------------------------------------------
// PCX

// The run-length codes of one plane line: runs of up to 63 bytes, and single
// bytes with both top bits set written as runs of one.
inline void PcxEncodeLine(const uint8_t* line, int n, std::vector<uint8_t>& out) {
    for (int i = 0; i < n;) {
        int run = 1;
        while (i + run < n && run < 63 && line[i + run] == line[i]) ++run;
        if (run > 1 || (line[i] & 0xC0) == 0xC0) {
            out.push_back((uint8_t)(0xC0 | run));
            out.push_back(line[i]);
        } else {
            out.push_back(line[i]);
        }
        i += run;
    }
}

struct PcxLayout {
    int xmin = 0, ymin = 0;   // the origin written into the header
    int extraBytes = 1;       // plane-line bytes past the width (filled with 0xEE)
    bool palette = true;      // one-plane images: the 769-byte palette at the end
};

inline std::vector<uint8_t> PcxHeader(int w, int h, int planes, int bytesPerLine, const PcxLayout& l) {
    std::vector<uint8_t> f(128, 0);
    f[0] = 10;
    f[1] = 5;
    f[2] = 1;
    f[3] = 8;
    PutLE16(f, 4, (uint32_t)(l.xmin & 0xFFFF));
    PutLE16(f, 6, (uint32_t)(l.ymin & 0xFFFF));
    PutLE16(f, 8, (uint32_t)((l.xmin + w - 1) & 0xFFFF));
    PutLE16(f, 10, (uint32_t)((l.ymin + h - 1) & 0xFFFF));
    f[65] = (uint8_t)planes;
    PutLE16(f, 66, (uint32_t)bytesPerLine);
    return f;
}

// One plane of indices with the palette at the end.
inline std::vector<uint8_t> WritePcx8(const Indexed& p, PcxLayout l = PcxLayout()) {
    const int bpl = p.width + l.extraBytes;
    std::vector<uint8_t> f = PcxHeader(p.width, p.height, 1, bpl, l);
    std::vector<uint8_t> line((size_t)bpl, 0xEE);
    for (int y = 0; y < p.height; ++y) {
        std::copy(p.idx.begin() + (long)y * p.width, p.idx.begin() + (long)(y + 1) * p.width, line.begin());
        PcxEncodeLine(line.data(), bpl, f);
    }
    if (l.palette) {
        f.push_back(12);
        for (int i = 0; i < 256; ++i) {
            uint32_t c = i < (int)p.palette.size() ? p.palette[i] : 0;
            f.insert(f.end(), {Red(c), Green(c), Blue(c)});
        }
    }
    return f;
}

// Three planes per row: red, green, blue.
inline std::vector<uint8_t> WritePcx24(const Image& img, PcxLayout l = PcxLayout()) {
    const int bpl = img.width + l.extraBytes;
    std::vector<uint8_t> f = PcxHeader(img.width, img.height, 3, bpl, l);
    std::vector<uint8_t> line((size_t)bpl, 0xEE);
    for (int y = 0; y < img.height; ++y)
        for (int plane = 0; plane < 3; ++plane) {
            for (int x = 0; x < img.width; ++x) {
                uint32_t c = img.At(x, y);
                line[x] = plane == 0 ? Red(c) : plane == 1 ? Green(c) : Blue(c);
            }
            PcxEncodeLine(line.data(), bpl, f);
        }
    return f;
}

// ---------------------------------------------------------------------------
// TGA

struct TgaLayout {
    int imageType = 2;     // 1, 2, 3 plain; 9, 10, 11 run-length
    int depth = 24;        // 8, 16, 24, 32
    bool topDown = false;  // descriptor bit 5
    bool rightToLeft = false;  // descriptor bit 4
    int idLength = 0;      // bytes of image ID (0x5A) after the header
    std::vector<uint32_t> map;  // colour-map entries (written when not empty)
    int entrySize = 24;    // 15, 16, 24 or 32 bits
    int firstEntry = 0;    // first colour-map entry index
    bool footer = true;    // the TGA 2.0 footer
};

inline std::vector<uint8_t> TgaPixelBytes(uint32_t v, int depth) {
    switch (depth) {
        case 8: return {(uint8_t)v};
        case 16: {  // 5-5-5 with the attribute bit set: it must not matter
            uint32_t w = ((Red(v) >> 3) << 10) | ((Green(v) >> 3) << 5) | (Blue(v) >> 3) | 0x8000;
            return {(uint8_t)w, (uint8_t)(w >> 8)};
        }
        case 24: return {Blue(v), Green(v), Red(v)};
        default: return {Blue(v), Green(v), Red(v), 0x77};  // alpha is dropped
    }
}

// `values` holds indices or grey levels at depth 8, colours otherwise; top row first.
inline std::vector<uint8_t> WriteTga(int w, int h, const std::vector<uint32_t>& values, const TgaLayout& l) {
    std::vector<uint8_t> f(18, 0);
    f[0] = (uint8_t)l.idLength;
    f[1] = l.map.empty() ? 0 : 1;
    f[2] = (uint8_t)l.imageType;
    if (!l.map.empty()) {
        PutLE16(f, 3, (uint32_t)l.firstEntry);
        PutLE16(f, 5, (uint32_t)l.map.size());
        f[7] = (uint8_t)l.entrySize;
    }
    PutLE16(f, 12, (uint32_t)w);
    PutLE16(f, 14, (uint32_t)h);
    f[16] = (uint8_t)l.depth;
    f[17] = (l.topDown ? 0x20 : 0) | (l.rightToLeft ? 0x10 : 0);
    f.insert(f.end(), (size_t)l.idLength, 0x5A);
    for (uint32_t c : l.map) {
        std::vector<uint8_t> e = TgaPixelBytes(c, l.entrySize == 15 ? 16 : l.entrySize);
        f.insert(f.end(), e.begin(), e.end());
    }
    // File order: bottom row first unless top-down.
    std::vector<uint32_t> order;
    for (int r = 0; r < h; ++r) {
        int y = l.topDown ? r : h - 1 - r;
        order.insert(order.end(), values.begin() + (long)y * w, values.begin() + (long)(y + 1) * w);
        if (l.rightToLeft) std::reverse(order.end() - w, order.end());
    }
    if (l.imageType < 9) {
        for (uint32_t v : order) {
            std::vector<uint8_t> b = TgaPixelBytes(v, l.depth);
            f.insert(f.end(), b.begin(), b.end());
        }
    } else {
        // One stream for the whole picture, so packets cross rows.
        for (size_t i = 0; i < order.size();) {
            size_t run = 1;
            while (i + run < order.size() && run < 128 && order[i + run] == order[i]) ++run;
            if (run > 1) {
                f.push_back((uint8_t)(0x80 | (run - 1)));
                std::vector<uint8_t> b = TgaPixelBytes(order[i], l.depth);
                f.insert(f.end(), b.begin(), b.end());
                i += run;
                continue;
            }
            size_t raw = 1;
            while (i + raw < order.size() && raw < 128 && order[i + raw] != order[i + raw - 1]) ++raw;
            if (i + raw < order.size() && raw > 1) --raw;  // leave the start of the next run to it
            f.push_back((uint8_t)(raw - 1));
            for (size_t k = 0; k < raw; ++k) {
                std::vector<uint8_t> b = TgaPixelBytes(order[i + k], l.depth);
                f.insert(f.end(), b.begin(), b.end());
            }
            i += raw;
        }
    }
    if (l.footer) {
        f.insert(f.end(), 8, 0);
        const char sig[] = "TRUEVISION-XFILE.";
        f.insert(f.end(), sig, sig + 18);
    }
    return f;
}

}  // namespace testimg
}  // namespace qndx
