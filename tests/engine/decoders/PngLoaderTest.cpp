// The PNG decoder: every colour type and bit depth, interlaced or not, with
// and without transparency, in every surface pixel kind; the buffer layout
// it hands GDI; truncated and hostile files; ancillary chunks, which change
// no pixel and cost nothing however much text they carry.
#include <gtest/gtest.h>

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "GraphicEngine/ImageLoader/PNGImageLoader.h"
#include "engine/decoders/DecoderFiles.h"
#include "engine/images/LoaderTestSupport.h"
#include "platform/sim/Sim.h"
#include "support/AllocationCounter.h"

namespace {

namespace ti = qndx::testimg;

// A picture of random samples; palette pictures get a table as long as the
// depth allows (at most 256).
ti::PngPicture Picture(int w, int h, int type, int depth, uint32_t seed = 3) {
    ti::PngPicture p;
    p.width = w;
    p.height = h;
    p.colourType = type;
    p.bitDepth = depth;
    ti::Lcg rng(seed);
    const uint32_t most = depth == 16 ? 65536u : 1u << depth;
    p.samples.resize((size_t)w * h * p.Channels());
    for (auto& s : p.samples) s = (uint16_t)(rng.Next() % most);
    if (type == 3)
        for (uint32_t i = 0; i < most && i < 256; ++i) p.palette.push_back(ti::Rgb((i * 71 + 9) & 0xFF, (i * 13) & 0xFF, 255 - i));
    return p;
}

// The picture as it must be drawn: samples to 8 bits (low-depth grey spread
// over the full range), alpha and transparency ignored.
ti::Image Expected(const ti::PngPicture& p) {
    ti::Image img;
    img.width = p.width;
    img.height = p.height;
    auto level = [&](uint16_t v) -> int {
        if (p.bitDepth == 16) return v >> 8;
        if (p.bitDepth < 8) return v * 255 / ((1 << p.bitDepth) - 1);
        return v;
    };
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            uint32_t c;
            if (p.colourType == 3) {
                c = p.palette[p.Sample(x, y, 0)];
            } else if (p.colourType == 0 || p.colourType == 4) {
                int g = level(p.Sample(x, y, 0));
                c = ti::Rgb(g, g, g);
            } else {
                c = ti::Rgb(level(p.Sample(x, y, 0)), level(p.Sample(x, y, 1)), level(p.Sample(x, y, 2)));
            }
            img.px.push_back(c);
        }
    return img;
}

struct PngCase {
    std::string name;
    ti::PngPicture pic;
};

std::vector<PngCase> AllVariants() {
    std::vector<PngCase> cases;
    const struct {
        int type;
        std::vector<int> depths;
    } types[] = {{0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
    for (const auto& t : types)
        for (int depth : t.depths)
            cases.push_back({"type " + std::to_string(t.type) + ", " + std::to_string(depth) + " bits",
                             Picture(13, 7, t.type, depth, (uint32_t)(t.type * 20 + depth))});
    ti::PngPicture trns8 = Picture(13, 7, 3, 8, 5);
    for (int i = 0; i < 256; ++i) trns8.trns.push_back((uint8_t)(i * 7));
    cases.push_back({"palette, full transparency chunk", trns8});
    ti::PngPicture trns2 = Picture(13, 7, 3, 2, 6);
    trns2.trns = {0, 128};  // entries past the chunk are opaque
    cases.push_back({"2-bit palette, short transparency chunk", trns2});
    ti::PngPicture greyKey = Picture(13, 7, 0, 8, 8);
    greyKey.trns = {0, 9};
    cases.push_back({"grey with a transparent level", greyKey});
    ti::PngPicture rgbKey = Picture(13, 7, 2, 8, 9);
    rgbKey.trns = {0, 1, 0, 2, 0, 3};
    cases.push_back({"RGB with a transparent colour", rgbKey});
    for (ti::PngPicture p : {Picture(13, 7, 2, 8), Picture(13, 7, 0, 2), trns2, Picture(13, 7, 6, 16),
                             Picture(13, 7, 4, 8), Picture(1, 1, 2, 8), Picture(3, 2, 3, 4), Picture(9, 10, 0, 1)}) {
        p.interlaced = true;
        cases.push_back({"interlaced " + std::to_string(p.width) + " x " + std::to_string(p.height) + ", type " +
                             std::to_string(p.colourType) + ", " + std::to_string(p.bitDepth) + " bits",
                         p});
    }
    cases.push_back({"1 x 1", Picture(1, 1, 2, 8)});
    cases.push_back({"3 x 2", Picture(3, 2, 2, 8)});
    return cases;
}

// The data length of the chunk at `at`.
size_t ChunkLength(const std::vector<uint8_t>& f, size_t at) {
    return ((size_t)f[at] << 24) | ((size_t)f[at + 1] << 16) | ((size_t)f[at + 2] << 8) | f[at + 3];
}

// Offset of the first chunk of that type in a PNG file.
size_t FindChunk(const std::vector<uint8_t>& f, const char* type) {
    for (size_t at = 8; at + 8 <= f.size();) {
        const size_t len = ChunkLength(f, at);
        if (std::equal(type, type + 4, f.begin() + (long)at + 4)) return at;
        at += 12 + len;
    }
    ADD_FAILURE() << "no " << type << " chunk";
    return 0;
}

// Changes a chunk's data and writes its CRC again, so only the change is wrong.
std::vector<uint8_t> Patched(std::vector<uint8_t> f, const char* type, size_t offset, std::vector<uint8_t> bytes) {
    const size_t at = FindChunk(f, type);
    const size_t len = ChunkLength(f, at);
    std::copy(bytes.begin(), bytes.end(), f.begin() + (long)(at + 8 + offset));
    const uint32_t crc = ti::Crc32(f.data() + at + 4, len + 4);
    for (int i = 0; i < 4; ++i) f[at + 8 + len + i] = (uint8_t)(crc >> (24 - 8 * i));
    return f;
}

std::vector<uint8_t> Be32(uint32_t v) { return {(uint8_t)(v >> 24), (uint8_t)(v >> 16), (uint8_t)(v >> 8), (uint8_t)v}; }

// The file with chunks (whole, with their framing) put after the header,
// before the first data chunk and before the end chunk.
std::vector<uint8_t> WithChunks(std::vector<uint8_t> f, const std::vector<uint8_t>& afterHeader,
                                const std::vector<uint8_t>& beforeData, const std::vector<uint8_t>& afterData) {
    f.insert(f.end() - 12, afterData.begin(), afterData.end());
    f.insert(f.begin() + (long)FindChunk(f, "IDAT"), beforeData.begin(), beforeData.end());
    f.insert(f.begin() + 33, afterHeader.begin(), afterHeader.end());
    return f;
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Every standard ancillary chunk, valid for the picture's colour type, and
// one private chunk: colour management, significant bits (one below the
// depth), background, histogram, suggested palette, resolution, time and
// text of the three kinds, before and after the image data.
void AddAncillaryChunks(const ti::PngPicture& p, std::vector<uint8_t>* file) {
    const std::string z("\0", 1);
    std::vector<uint8_t> header, beforeData, afterData;
    ti::PngChunk(header, "gAMA", Be32(45455));
    ti::PngChunk(header, "cHRM", Cat({Be32(31270), Be32(32900), Be32(64000), Be32(33000), Be32(30000), Be32(60000),
                                      Be32(15000), Be32(6000)}));
    ti::PngChunk(header, "sRGB", {0});
    const int sampleDepth = p.colourType == 3 ? 8 : p.bitDepth;
    const int sbits[] = {1, 0, 3, 3, 2, 0, 4};
    const uint8_t significant = (uint8_t)std::max(1, sampleDepth - 1);
    ti::PngChunk(header, "sBIT", std::vector<uint8_t>((size_t)sbits[p.colourType], significant));
    ti::PngChunk(header, "tEXt", Bytes("Title" + z + "A picture"));
    ti::PngChunk(header, "zTXt", Cat({Bytes("Comment" + z), {0}, ti::ZlibStored(Bytes("made for a test"))}));
    ti::PngChunk(header, "iTXt", Cat({Bytes("Author" + z), {1, 0}, Bytes("en" + z + "Author" + z),
                                      ti::ZlibStored(Bytes("nobody in particular"))}));
    ti::PngChunk(header, "xvIz", Bytes("private data that no decoder knows"));
    if (p.colourType == 3) {
        ti::PngChunk(beforeData, "bKGD", {1});
        ti::PngChunk(beforeData, "hIST", std::vector<uint8_t>(2 * p.palette.size(), 3));
    } else if (p.colourType == 0 || p.colourType == 4) {
        ti::PngChunk(beforeData, "bKGD", {0, 1});
    } else {
        ti::PngChunk(beforeData, "bKGD", {0, 1, 0, 0, 0, 1});
    }
    ti::PngChunk(beforeData, "pHYs", Cat({Be32(2835), Be32(2835), {1}}));
    ti::PngChunk(beforeData, "sPLT", Cat({Bytes("Few" + z), {8, 10, 20, 30, 255, 0, 9, 200, 100, 50, 128, 0, 4}}));
    ti::PngChunk(afterData, "tIME", {0x07, 0xE6, 5, 17, 12, 30, 59});
    ti::PngChunk(afterData, "tEXt", Bytes("Software" + z + "a test"));
    ti::PngChunk(afterData, "zTXt", Cat({Bytes("Disclaimer" + z), {0}, ti::ZlibStored(Bytes("none"))}));
    ti::PngChunk(afterData, "iTXt", Cat({Bytes("Comment" + z), {0, 0}, Bytes(z + z + "plain text after the data")}));
    *file = WithChunks(*file, header, beforeData, afterData);
}

// Plain, and with every ancillary chunk, which changes no pixel.
TEST(PngLoader, EveryVariantDecodesToTheExpectedPixelsInEveryKind) {
    const std::vector<PngCase> cases = AllVariants();
    for (int bpp : ti::kSurfaceKinds) {
        ti::DisplayAt display(bpp);
        for (const PngCase& c : cases) {
            for (bool ancillary : {false, true}) {
                const std::string what = c.name + (ancillary ? " with every ancillary chunk" : "") + " into " +
                                         std::to_string(bpp) + " bits";
                std::vector<uint8_t> file = ti::EncodePng(c.pic);
                if (ancillary) AddAncillaryChunks(c.pic, &file);
                ti::ExactCopy data(file);
                ti::ErrorLines errors;
                CQNDXPNGImageLoader loader;
                IDirectDrawSurface7* s = loader.Load(display.Get(), data.Size(), data.Data());
                EXPECT_TRUE(errors.Take().empty()) << what;
                ASSERT_NE(nullptr, s) << what;
                ti::SurfacePixels px = ti::ReadSurface(s);
                EXPECT_EQ(bpp, px.bpp) << what;
                ti::ExpectExactly(px, Expected(c.pic), what);
                EXPECT_EQ(0u, s->Release());
            }
        }
    }
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

TEST(PngLoader, BufferIsBottomUpWithPaddedRowsAndOneLayoutPerColourType) {
    CQNDXPNGImageLoader loader;
    // 3 RGB pixels: 9 bytes padded to 12; the first PNG row is the last buffer row.
    ti::PngPicture rgb = Picture(3, 2, 2, 8);
    std::vector<uint8_t> f = ti::EncodePng(rgb);
    ASSERT_EQ(1, loader.Decode((unsigned)f.size(), f.data()));
    EXPECT_EQ(24, loader.GetBitsPerPixel());
    EXPECT_EQ(12u, loader.GetStride());
    EXPECT_EQ(0, loader.IsTopDown());
    const uint8_t* last = loader.GetPixels() + 12;
    EXPECT_EQ(rgb.Sample(0, 0, 2), last[0]);  // blue first
    EXPECT_EQ(rgb.Sample(0, 0, 0), last[2]);
    EXPECT_EQ(rgb.Sample(2, 1, 1), loader.GetPixels()[7]);

    // 16 bits per sample keep their high byte.
    ti::PngPicture deep = Picture(2, 1, 2, 16);
    f = ti::EncodePng(deep);
    ASSERT_EQ(1, loader.Decode((unsigned)f.size(), f.data()));
    EXPECT_EQ(24, loader.GetBitsPerPixel());
    EXPECT_EQ(deep.Sample(1, 0, 0) >> 8, loader.GetPixels()[5]);

    // 2-bit grey: one unscaled value a byte, spread by the colour table.
    ti::PngPicture grey2 = Picture(5, 1, 0, 2);
    f = ti::EncodePng(grey2);
    ASSERT_EQ(1, loader.Decode((unsigned)f.size(), f.data()));
    EXPECT_EQ(8, loader.GetBitsPerPixel());
    for (int x = 0; x < 5; ++x) EXPECT_EQ(grey2.Sample(x, 0, 0), loader.GetPixels()[x]);
    const int levels[] = {0, 85, 170, 255};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(levels[i], loader.GetPalette()[3 * i + 1]) << i;

    // 8-bit grey: table entry i is (i, i, i).
    f = ti::EncodePng(Picture(2, 2, 0, 8));
    ASSERT_EQ(1, loader.Decode((unsigned)f.size(), f.data()));
    EXPECT_EQ(200, loader.GetPalette()[600]);

    // Alpha stays in the fourth byte of 32-bit rows, grey widened to colour.
    ti::PngPicture ga = Picture(2, 1, 4, 8);
    f = ti::EncodePng(ga);
    ASSERT_EQ(1, loader.Decode((unsigned)f.size(), f.data()));
    EXPECT_EQ(32, loader.GetBitsPerPixel());
    const uint8_t* p = loader.GetPixels();
    EXPECT_EQ(ga.Sample(1, 0, 0), p[4]);
    EXPECT_EQ(ga.Sample(1, 0, 0), p[6]);
    EXPECT_EQ(ga.Sample(1, 0, 1), p[7]);
    ti::PngPicture rgba = Picture(2, 1, 6, 8);
    f = ti::EncodePng(rgba);
    ASSERT_EQ(1, loader.Decode((unsigned)f.size(), f.data()));
    EXPECT_EQ(32, loader.GetBitsPerPixel());
    EXPECT_EQ(rgba.Sample(1, 0, 3), loader.GetPixels()[7]);

    // A palette stays indices, one a byte at every depth and with a
    // transparency chunk; the table is the palette, black past its end.
    ti::PngPicture pal = Picture(5, 1, 3, 2);
    pal.palette.resize(3);
    for (int x = 0; x < 5; ++x) pal.samples[(size_t)x] = (uint16_t)(x % 4);
    pal.trns = {10, 20};
    f = ti::EncodePng(pal);
    ASSERT_EQ(1, loader.Decode((unsigned)f.size(), f.data()));
    EXPECT_EQ(8, loader.GetBitsPerPixel());
    EXPECT_EQ(8u, loader.GetStride());
    for (int x = 0; x < 5; ++x) EXPECT_EQ(x % 4, loader.GetPixels()[x]) << x;
    for (int i = 0; i < 256; ++i) {
        const uint32_t c = i < 3 ? pal.palette[(size_t)i] : 0;
        EXPECT_EQ(ti::Rgb(loader.GetPalette()[3 * i], loader.GetPalette()[3 * i + 1], loader.GetPalette()[3 * i + 2]),
                  c)
            << i;
    }
}

// libpng's own expansion of a palette file to RGB (transparency expanded to
// alpha and dropped), as the reference the engine's pixels must equal.
struct LibpngReader {
    const uint8_t* pos;
    const uint8_t* end;
};

void ReadForReference(png_structp png, png_bytep out, png_size_t n) {
    LibpngReader* r = static_cast<LibpngReader*>(png_get_io_ptr(png));
    if ((size_t)(r->end - r->pos) < n) png_error(png, "short");
    std::memcpy(out, r->pos, n);
    r->pos += n;
}

bool ExpandWithLibpng(const std::vector<uint8_t>& file, ti::Image* img) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> pixels;
    std::vector<png_bytep> rows;
    LibpngReader reader = {file.data(), file.data() + file.size()};
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &reader, ReadForReference);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_alpha(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    img->width = (int)png_get_image_width(png, info);
    img->height = (int)png_get_image_height(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    pixels.resize(rowBytes * (size_t)img->height);
    for (int y = 0; y < img->height; ++y) rows.push_back(pixels.data() + rowBytes * (size_t)y);
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    img->px.clear();
    for (size_t i = 0; i + 2 < pixels.size(); i += 3) img->px.push_back(ti::Rgb(pixels[i], pixels[i + 1], pixels[i + 2]));
    return img->px.size() == (size_t)img->width * (size_t)img->height;
}

// Palette files of every depth, with tables of one entry up to the depth's
// whole range (indices past the table included), with and without a
// transparency chunk, plain and interlaced: drawn in every kind exactly as
// libpng expands them.
TEST(PngLoader, PaletteFilesDrawAsLibpngExpandsThem) {
    std::vector<PngCase> cases;
    ti::Lcg rng(41);
    for (int depth : {1, 2, 4, 8}) {
        const int most = 1 << depth;
        std::vector<int> sizes = {1, most / 2 + 1, most - 1, most};
        sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
        for (int entries : sizes) {
            for (int variant = 0; variant < 3; ++variant) {
                ti::PngPicture p = Picture(17 + variant, 5 + depth, 3, depth, rng.Next());
                p.palette.clear();
                for (int i = 0; i < entries; ++i) p.palette.push_back(rng.Next() & 0xFFFFFF);
                // Indices stay inside the table but for a few past it when it is short.
                for (auto& sample : p.samples) {
                    const uint32_t r = rng.Next();
                    sample = (uint16_t)(entries < most && r % 16 == 0 ? entries + (r >> 8) % (most - entries)
                                                                       : (r >> 8) % entries);
                }
                if (variant >= 1)
                    for (int i = 0; i < (variant == 1 ? entries : (entries + 1) / 2); ++i)
                        p.trns.push_back((uint8_t)rng.Next());
                p.interlaced = variant == 2;
                cases.push_back({std::to_string(depth) + "-bit, " + std::to_string(entries) + " entries" +
                                     (p.trns.empty() ? "" : ", " + std::to_string(p.trns.size()) + " alpha values") +
                                     (p.interlaced ? ", interlaced" : ""),
                                 p});
            }
        }
    }
    for (int bpp : ti::kSurfaceKinds) {
        ti::DisplayAt display(bpp);
        for (const PngCase& c : cases) {
            const std::string what = c.name + " into " + std::to_string(bpp) + " bits";
            const std::vector<uint8_t> file = ti::EncodePng(c.pic);
            ti::Image want;
            ASSERT_TRUE(ExpandWithLibpng(file, &want)) << what;
            ti::ExactCopy data(file);
            CQNDXPNGImageLoader loader;
            IDirectDrawSurface7* s = loader.Load(display.Get(), data.Size(), data.Data());
            ASSERT_NE(nullptr, s) << what;
            ti::ExpectExactly(ti::ReadSurface(s), want, what);
            EXPECT_EQ(0u, s->Release());
        }
    }
}

TEST(PngLoader, EveryTruncationFailsWithOneErrorLineAndNoSurface) {
    ti::PngPicture trns = Picture(6, 5, 3, 4, 12);
    trns.trns = {0, 50, 100};
    ti::PngPicture interlaced = Picture(7, 6, 0, 2, 13);
    interlaced.interlaced = true;
    const std::vector<ti::PngPicture> pictures = {Picture(6, 5, 2, 8), trns, interlaced, Picture(5, 4, 4, 16)};
    ti::DisplayAt display(16);
    for (const ti::PngPicture& pic : pictures) {
        const std::vector<uint8_t> file = ti::EncodePng(pic);
        for (size_t cut = 0; cut < file.size(); ++cut) {
            ti::ExactCopy data(file.data(), cut);
            ti::ErrorLines errors;
            CQNDXPNGImageLoader loader;
            IDirectDrawSurface7* s = loader.Load(display.Get(), data.Size(), data.Data());
            EXPECT_EQ(nullptr, s) << "cut at " << cut << " of " << file.size();
            EXPECT_EQ(1u, errors.Take().size()) << "cut at " << cut;
            if (s) s->Release();
        }
    }
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

TEST(PngLoader, HostileAndCorruptFilesAreRefusedWithOneErrorLine) {
    const std::vector<uint8_t> rgb = ti::EncodePng(Picture(6, 5, 2, 8));
    ti::PngPicture noPlte = Picture(6, 5, 3, 8);
    noPlte.palette.clear();
    std::vector<uint8_t> badCrc = rgb;
    badCrc[29] ^= 1;  // IHDR's CRC
    const size_t idat = FindChunk(rgb, "IDAT"), idatLength = ChunkLength(rgb, idat);
    const struct {
        const char* what;
        std::vector<uint8_t> file;
    } cases[] = {
        {"zero width", Patched(rgb, "IHDR", 0, Be32(0))},
        {"zero height", Patched(rgb, "IHDR", 4, Be32(0))},
        {"width past the cap", Patched(rgb, "IHDR", 0, Be32(16385))},
        {"width with the top bit set", Patched(rgb, "IHDR", 0, Be32(0x80000006u))},
        {"largest sides with a few bytes of data", Patched(Patched(rgb, "IHDR", 0, Be32(16384)), "IHDR", 4, Be32(16384))},
        {"more rows than the data holds", Patched(rgb, "IHDR", 4, Be32(6))},
        {"bit depth 3", Patched(rgb, "IHDR", 8, {3})},
        {"colour type 5", Patched(rgb, "IHDR", 9, {5})},
        {"16-bit palette", Patched(rgb, "IHDR", 8, {16, 3})},
        {"compression method 1", Patched(rgb, "IHDR", 10, {1})},
        {"interlace method 2", Patched(rgb, "IHDR", 12, {2})},
        {"IHDR CRC wrong", badCrc},
        {"zlib header wrong", Patched(rgb, "IDAT", 0, {0x79})},
        {"stored block length wrong", Patched(rgb, "IDAT", 3, {0x00, 0x01})},
        // Under a CRC written again, zlib's checksum is what tells the change.
        {"a sample changed", Patched(rgb, "IDAT", 8, {(uint8_t)(rgb[idat + 16] ^ 0x5A)})},
        {"the zlib checksum changed", Patched(rgb, "IDAT", idatLength - 1, {(uint8_t)(rgb[idat + 7 + idatLength] ^ 1)})},
        {"palette image without PLTE", ti::EncodePng(noPlte)},
        {"junk after the signature", [] {
             std::vector<uint8_t> v = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
             v.resize(100, 0x11);
             return v;
         }()},
    };
    ti::DisplayAt display(32);
    for (const auto& c : cases) {
        ti::ExactCopy data(c.file);
        ti::ErrorLines errors;
        CQNDXPNGImageLoader loader;
        IDirectDrawSurface7* s = loader.Load(display.Get(), data.Size(), data.Data());
        EXPECT_EQ(nullptr, s) << c.what;
        EXPECT_EQ(1u, errors.Take().size()) << c.what;
        if (s) s->Release();
    }
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

// Text chunks that each inflate to 4 MB, a hundred before the image data or
// a hundred after it: the picture loads with its pixels, and the whole load
// asks the heap for less than 32 MiB (keeping the text would take 400 MB).
TEST(PngLoader, TextChunksAreNeitherInflatedNorKept) {
    const size_t kLetters = 4000000;  // under libpng's limit for one chunk
    const std::vector<uint8_t> ztxt = ti::LibpngTextChunk(PNG_TEXT_COMPRESSION_zTXt, kLetters);
    const std::vector<uint8_t> itxt = ti::LibpngTextChunk(PNG_ITXT_COMPRESSION_zTXt, kLetters);
    ASSERT_FALSE(ztxt.empty());
    ASSERT_FALSE(itxt.empty());
    ASSERT_LT(ztxt.size(), 16000u);  // compressed
    std::vector<uint8_t> hundredZ, hundredI;
    for (int i = 0; i < 100; ++i) {
        hundredZ.insert(hundredZ.end(), ztxt.begin(), ztxt.end());
        hundredI.insert(hundredI.end(), itxt.begin(), itxt.end());
    }
    const ti::PngPicture pic = Picture(16, 8, 2, 8);
    const std::vector<uint8_t> plain = ti::EncodePng(pic);
    const struct {
        const char* what;
        std::vector<uint8_t> file;
    } cases[] = {
        {"100 zTXt chunks before the data", WithChunks(plain, hundredZ, {}, {})},
        {"100 iTXt chunks after the data", WithChunks(plain, {}, {}, hundredI)},
    };
    ti::DisplayAt display(32);
    for (const auto& c : cases) {
        ti::ExactCopy data(c.file);
        ti::ErrorLines errors;
        IDirectDrawSurface7* s;
        uint64_t asked;
        {
            qndx_test::AllocationCounter counter;
            s = CQNDXPNGImageLoader().Load(display.Get(), data.Size(), data.Data());
            asked = counter.Bytes();
        }
        EXPECT_TRUE(errors.Take().empty()) << c.what;
        ASSERT_NE(nullptr, s) << c.what;
        EXPECT_LT(asked, 32u << 20) << c.what << ": bytes asked of the heap";
        ti::ExpectExactly(ti::ReadSurface(s), Expected(pic), c.what);
        s->Release();
    }
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

TEST(PngLoader, RecognisesTheEightByteSignatureOnly) {
    const std::vector<uint8_t> f = ti::EncodePng(Picture(2, 2, 2, 8));
    CQNDXPNGImageLoader loader;
    EXPECT_EQ(1, loader.CanLoad(f.data(), 8, nullptr, 0));
    EXPECT_EQ(0, loader.CanLoad(f.data(), 7, nullptr, 0));
    std::vector<uint8_t> other = f;
    other[4] = 0x0A;  // a signature mangled by a text-mode transfer
    EXPECT_EQ(0, loader.CanLoad(other.data(), 8, nullptr, 0));
    EXPECT_EQ(0, loader.CanLoad(nullptr, 0, nullptr, 0));
}

}  // namespace
