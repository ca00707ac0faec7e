// Test pictures for the image loaders, made in memory: reference pictures as
// 0x00RRGGBB words, BMP files of every depth and layout written from them,
// hand-made run-length streams, and JPEG files encoded with libjpeg.
// Header-only so that the platform tests, the fuzz harnesses and the
// benchmark can share it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

namespace qndx {
namespace testimg {

// A picture, top row first, each pixel 0x00RRGGBB.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> px;

    uint32_t At(int x, int y) const { return px[(size_t)y * width + x]; }
};

inline uint8_t Red(uint32_t c) { return (uint8_t)(c >> 16); }
inline uint8_t Green(uint32_t c) { return (uint8_t)(c >> 8); }
inline uint8_t Blue(uint32_t c) { return (uint8_t)c; }
inline uint32_t Rgb(int r, int g, int b) { return ((uint32_t)r << 16) | ((uint32_t)g << 8) | (uint32_t)b; }

// Small deterministic generator (the tests' pictures never depend on the library's rand).
struct Lcg {
    uint32_t state;
    explicit Lcg(uint32_t seed) : state(seed * 2654435761u + 1) {}
    uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
};

// Every pixel different in a way that shows flips, shifts and swapped channels.
inline Image Pattern(int w, int h, uint32_t seed = 1) {
    Image img;
    img.width = w;
    img.height = h;
    img.px.resize((size_t)w * h);
    Lcg rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.px[(size_t)y * w + x] = Rgb((x * 37 + y * 3) & 0xFF, (y * 53 + x) & 0xFF, rng.Next() & 0xFF);
    return img;
}

// Smooth gradients that JPEG keeps close: red grows to the right, green
// downwards, blue along the diagonal.
inline Image Smooth(int w, int h) {
    Image img;
    img.width = w;
    img.height = h;
    img.px.resize((size_t)w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int r = w > 1 ? 30 + x * 195 / (w - 1) : 128;
            int g = h > 1 ? 30 + y * 195 / (h - 1) : 128;
            int b = (w + h > 2) ? 220 - (x + y) * 180 / (w + h - 2) : 128;
            img.px[(size_t)y * w + x] = Rgb(r, g, b);
        }
    return img;
}

// A picture of palette indices.
struct Indexed {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> idx;       // top row first
    std::vector<uint32_t> palette;  // entries stored in the file

    // The picture as drawn: indices past the stored table are black.
    Image ToImage() const {
        Image img;
        img.width = width;
        img.height = height;
        img.px.resize(idx.size());
        for (size_t i = 0; i < idx.size(); ++i) img.px[i] = idx[i] < palette.size() ? palette[idx[i]] : 0;
        return img;
    }
};

// Indices 0 .. (1 << bits) - 1 spread over the picture; `stored` entries in the table.
inline Indexed IndexedPattern(int w, int h, int bits, int stored, uint32_t seed = 7) {
    Indexed p;
    p.width = w;
    p.height = h;
    p.idx.resize((size_t)w * h);
    Lcg rng(seed);
    const int most = 1 << bits;
    for (auto& v : p.idx) v = (uint8_t)(rng.Next() % most);
    for (int i = 0; i < stored; ++i) p.palette.push_back(Rgb((i * 67 + 20) & 0xFF, (i * 29 + 90) & 0xFF, (255 - i * 13) & 0xFF));
    return p;
}

// `a` followed by `b`, made at its final size (GCC 12 warns falsely about
// inserting a vector's range at the end of a short one).
inline std::vector<uint8_t> Concat(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    std::vector<uint8_t> out(a.size() + b.size());
    std::copy(a.begin(), a.end(), out.begin());
    std::copy(b.begin(), b.end(), out.begin() + static_cast<std::ptrdiff_t>(a.size()));
    return out;
}

inline void PutLE16(std::vector<uint8_t>& v, size_t at, uint32_t value) {
    v[at] = (uint8_t)value;
    v[at + 1] = (uint8_t)(value >> 8);
}
inline void PutLE32(std::vector<uint8_t>& v, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) v[at + i] = (uint8_t)(value >> (8 * i));
}

struct BmpLayout {
    bool topDown = false;
    uint32_t clrUsed = 0;      // written into the header; 0 means a full table
    uint32_t headerSize = 40;  // 108 and 124 write the longer header forms (zeros past 40 bytes)
    uint32_t compression = 0;
};

inline size_t BmpStride(int w, int bits) { return (((size_t)w * bits + 31) / 32) * 4; }

// File header, info header and colour table; pixel bytes appended by the caller.
inline std::vector<uint8_t> BmpHeaders(int w, int h, int bits, const std::vector<uint32_t>& table,
                                       const BmpLayout& layout, size_t pixelBytes) {
    const size_t tableBytes = table.size() * 4;
    const size_t offBits = 14 + layout.headerSize + tableBytes;
    std::vector<uint8_t> f(offBits, 0);
    f[0] = 'B';
    f[1] = 'M';
    PutLE32(f, 2, (uint32_t)(offBits + pixelBytes));
    PutLE32(f, 10, (uint32_t)offBits);
    PutLE32(f, 14, layout.headerSize);
    PutLE32(f, 18, (uint32_t)w);
    PutLE32(f, 22, (uint32_t)(layout.topDown ? -h : h));
    PutLE16(f, 26, 1);
    PutLE16(f, 28, (uint32_t)bits);
    PutLE32(f, 30, layout.compression);
    PutLE32(f, 34, (uint32_t)pixelBytes);
    PutLE32(f, 38, 2835);
    PutLE32(f, 42, 2835);
    PutLE32(f, 46, layout.clrUsed);
    for (size_t i = 0; i < table.size(); ++i) {
        size_t at = 14 + layout.headerSize + 4 * i;
        f[at] = Blue(table[i]);
        f[at + 1] = Green(table[i]);
        f[at + 2] = Red(table[i]);
        f[at + 3] = 0xA5;  // reserved byte: must not matter
    }
    return f;
}

// 1, 4 or 8 bits per pixel. The table holds p.palette's entries.
inline std::vector<uint8_t> WriteBmpIndexed(const Indexed& p, int bits, BmpLayout layout = BmpLayout()) {
    const size_t stride = BmpStride(p.width, bits);
    std::vector<uint8_t> pixels(stride * p.height, 0);
    for (int y = 0; y < p.height; ++y) {
        int fileRow = layout.topDown ? y : p.height - 1 - y;
        uint8_t* row = pixels.data() + stride * fileRow;
        for (int x = 0; x < p.width; ++x) {
            uint8_t v = p.idx[(size_t)y * p.width + x];
            if (bits == 8) row[x] = v;
            else if (bits == 4) row[x / 2] |= (uint8_t)(x & 1 ? v : v << 4);
            else row[x / 8] |= (uint8_t)((v & 1) << (7 - x % 8));
        }
        // Padding bytes carry junk that must never show.
        for (size_t b = ((size_t)p.width * bits + 7) / 8; b < stride; ++b) row[b] = 0xEE;
    }
    if (layout.clrUsed == 0 && p.palette.size() != (size_t)(1 << bits)) layout.clrUsed = (uint32_t)p.palette.size();
    std::vector<uint8_t> f = BmpHeaders(p.width, p.height, bits, p.palette, layout, pixels.size());
    f.insert(f.end(), pixels.begin(), pixels.end());
    return f;
}

// 16 (5-5-5), 24 or 32 bits per pixel.
inline std::vector<uint8_t> WriteBmpRgb(const Image& img, int bits, BmpLayout layout = BmpLayout()) {
    const size_t stride = BmpStride(img.width, bits);
    std::vector<uint8_t> pixels(stride * img.height, 0xEE);
    for (int y = 0; y < img.height; ++y) {
        int fileRow = layout.topDown ? y : img.height - 1 - y;
        uint8_t* row = pixels.data() + stride * fileRow;
        for (int x = 0; x < img.width; ++x) {
            uint32_t c = img.At(x, y);
            if (bits == 16) {
                uint32_t w = ((Red(c) >> 3) << 10) | ((Green(c) >> 3) << 5) | (Blue(c) >> 3) | 0x8000;
                row[2 * x] = (uint8_t)w;
                row[2 * x + 1] = (uint8_t)(w >> 8);
            } else if (bits == 24) {
                row[3 * x] = Blue(c);
                row[3 * x + 1] = Green(c);
                row[3 * x + 2] = Red(c);
            } else {
                row[4 * x] = Blue(c);
                row[4 * x + 1] = Green(c);
                row[4 * x + 2] = Red(c);
                row[4 * x + 3] = 0x5A;  // unused byte
            }
        }
    }
    return Concat(BmpHeaders(img.width, img.height, bits, {}, layout, pixels.size()), pixels);
}

// An 8-bit run-length file with the given stream and table.
inline std::vector<uint8_t> WriteBmpRle8(int w, int h, const std::vector<uint32_t>& table,
                                         const std::vector<uint8_t>& stream) {
    BmpLayout layout;
    layout.compression = 1;
    layout.clrUsed = table.size() == 256 ? 0 : (uint32_t)table.size();
    std::vector<uint8_t> f = BmpHeaders(w, h, 8, table, layout, stream.size());
    f.insert(f.end(), stream.begin(), stream.end());
    return f;
}

struct JpegOptions {
    int quality = 95;
    bool grey = false;
    bool subsample420 = false;  // 4:4:4 otherwise
    bool progressive = false;
    bool exif = false;  // an Exif APP1 segment first, no JFIF segment
    std::vector<jpeg_scan_info> scans;  // a scan script of its own, when not empty
};

// One entry of a scan script: the components, the spectral selection Ss to
// Se, and the successive approximation bits Ah and Al.
inline jpeg_scan_info JpegScan(std::initializer_list<int> components, int ss, int se, int ah, int al) {
    jpeg_scan_info scan = {};
    for (int ci : components) scan.component_index[scan.comps_in_scan++] = ci;
    scan.Ss = ss;
    scan.Se = se;
    scan.Ah = ah;
    scan.Al = al;
    return scan;
}

inline void JpegThrow(j_common_ptr cinfo) {
    char text[JMSG_LENGTH_MAX];
    cinfo->err->format_message(cinfo, text);
    throw std::runtime_error(text);
}

// Encodes with libjpeg into memory. Throws on a library error.
inline std::vector<uint8_t> EncodeJpeg(const Image& img, const JpegOptions& opt = JpegOptions()) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    err.error_exit = JpegThrow;
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    std::vector<uint8_t> result;
    try {
        jpeg_mem_dest(&c, &out, &outSize);
        c.image_width = (JDIMENSION)img.width;
        c.image_height = (JDIMENSION)img.height;
        c.input_components = opt.grey ? 1 : 3;
        c.in_color_space = opt.grey ? JCS_GRAYSCALE : JCS_RGB;
        jpeg_set_defaults(&c);
        jpeg_set_quality(&c, opt.quality, TRUE);
        if (!opt.grey) {
            int f = opt.subsample420 ? 2 : 1;
            c.comp_info[0].h_samp_factor = f;
            c.comp_info[0].v_samp_factor = f;
            c.comp_info[1].h_samp_factor = c.comp_info[1].v_samp_factor = 1;
            c.comp_info[2].h_samp_factor = c.comp_info[2].v_samp_factor = 1;
        }
        if (opt.progressive) jpeg_simple_progression(&c);
        if (!opt.scans.empty()) {
            c.scan_info = opt.scans.data();
            c.num_scans = (int)opt.scans.size();
        }
        if (opt.exif) c.write_JFIF_header = FALSE;
        jpeg_start_compress(&c, TRUE);
        if (opt.exif) {
            static const uint8_t exif[] = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0};
            jpeg_write_marker(&c, JPEG_APP0 + 1, exif, sizeof exif);
        }
        std::vector<uint8_t> row((size_t)img.width * 3);
        while (c.next_scanline < c.image_height) {
            int y = (int)c.next_scanline;
            for (int x = 0; x < img.width; ++x) {
                uint32_t p = img.At(x, y);
                if (opt.grey) {
                    row[x] = Green(p);
                } else {
                    row[3 * x] = Red(p);
                    row[3 * x + 1] = Green(p);
                    row[3 * x + 2] = Blue(p);
                }
            }
            JSAMPROW r = row.data();
            jpeg_write_scanlines(&c, &r, 1);
        }
        jpeg_finish_compress(&c);
        result.assign(out, out + outSize);
    } catch (...) {
        jpeg_destroy_compress(&c);
        std::free(out);
        throw;
    }
    jpeg_destroy_compress(&c);
    std::free(out);
    return result;
}

// Notes libjpeg's warning that scan data ended where the scan needs more.
inline void JpegNoteEarlyEnd(j_common_ptr cinfo, int level) {
    if (level == -1 && cinfo->err->msg_code == JWRN_HIT_MARKER && cinfo->client_data)
        *static_cast<bool*>(cinfo->client_data) = true;
}

// Decodes with libjpeg's default settings into an Image (the reference the
// loaders' output is held against). Throws on a library error; *endedEarly,
// when given, tells whether some scan's data ended before the scan did.
inline Image DecodeJpegReference(const std::vector<uint8_t>& file, bool* endedEarly = nullptr) {
    jpeg_decompress_struct d;
    jpeg_error_mgr err;
    d.err = jpeg_std_error(&err);
    err.error_exit = JpegThrow;
    err.emit_message = JpegNoteEarlyEnd;
    bool early = false;
    jpeg_create_decompress(&d);
    d.client_data = &early;
    Image img;
    try {
        jpeg_mem_src(&d, file.data(), (unsigned long)file.size());
        jpeg_read_header(&d, TRUE);
        d.out_color_space = JCS_RGB;
        jpeg_start_decompress(&d);
        img.width = (int)d.output_width;
        img.height = (int)d.output_height;
        img.px.resize((size_t)img.width * img.height);
        std::vector<uint8_t> row((size_t)img.width * 3);
        while (d.output_scanline < d.output_height) {
            int y = (int)d.output_scanline;
            JSAMPROW r = row.data();
            jpeg_read_scanlines(&d, &r, 1);
            for (int x = 0; x < img.width; ++x)
                img.px[(size_t)y * img.width + x] = Rgb(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
        }
        jpeg_finish_decompress(&d);
    } catch (...) {
        jpeg_destroy_decompress(&d);
        throw;
    }
    jpeg_destroy_decompress(&d);
    if (endedEarly) *endedEarly = early;
    return img;
}

// Whether libjpeg shows the data whole (no error, no scan cut short), and
// its picture when it does.
struct JpegVerdict {
    bool whole = false;
    Image image;
};

inline JpegVerdict JudgeJpeg(const std::vector<uint8_t>& file) {
    JpegVerdict v;
    try {
        bool early = false;
        v.image = DecodeJpegReference(file, &early);
        v.whole = !early;
    } catch (const std::runtime_error&) {
        v.whole = false;
    }
    if (!v.whole) v.image = Image();
    return v;
}

// Where each scan's entropy-coded data lies: [begin, end) in the file.
struct ScanData {
    size_t begin, end;
};

inline std::vector<ScanData> JpegScans(const std::vector<uint8_t>& f) {
    std::vector<ScanData> scans;
    size_t i = 2;
    while (i + 3 < f.size() && f[i] == 0xFF) {
        const uint8_t m = f[i + 1];
        if (m == 0xFF) {  // fill byte
            ++i;
            continue;
        }
        if (m == 0xD9) break;
        if (m == 0x01 || (m >= 0xD0 && m <= 0xD7)) {
            i += 2;
            continue;
        }
        const size_t next = i + 2 + ((size_t)f[i + 2] << 8 | f[i + 3]);
        if (m != 0xDA) {
            i = next;
            continue;
        }
        // Entropy data runs to the first marker that is not a stuffed zero
        // or a restart.
        size_t j = next;
        while (j + 1 < f.size() && !(f[j] == 0xFF && f[j + 1] != 0 && (f[j + 1] < 0xD0 || f[j + 1] > 0xD7))) ++j;
        if (j + 1 >= f.size()) j = f.size();
        scans.push_back({next, j});
        i = j;
    }
    return scans;
}

// A minimal but valid header for a JPEG whose frame claims the given size;
// the data stops after the frame header (for hostile-size tests).
inline std::vector<uint8_t> JpegWithFrameSize(const std::vector<uint8_t>& jpeg, int w, int h) {
    std::vector<uint8_t> out = jpeg;
    for (size_t i = 2; i + 8 < out.size();) {
        if (out[i] != 0xFF) break;
        uint8_t m = out[i + 1];
        size_t len = ((size_t)out[i + 2] << 8) | out[i + 3];
        if (m == 0xC0 || m == 0xC1 || m == 0xC2) {
            out[i + 5] = (uint8_t)(h >> 8);
            out[i + 6] = (uint8_t)h;
            out[i + 7] = (uint8_t)(w >> 8);
            out[i + 8] = (uint8_t)w;
            return out;
        }
        i += 2 + len;
    }
    return out;
}

}  // namespace testimg
}  // namespace qndx
