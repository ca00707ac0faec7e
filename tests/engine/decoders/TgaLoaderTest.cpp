// The TGA decoder: colour-mapped, true-colour and grey images, uncompressed
// and run-length, both origins, in every surface pixel kind; packets and
// pixel conversions; truncated files and hostile headers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "GraphicEngine/ImageLoader/TGAImageLoader.h"
#include "engine/decoders/DecoderFiles.h"
#include "engine/images/LoaderTestSupport.h"
#include "platform/sim/Sim.h"
#include "support/TempDir.h"
#include "support/Xvfb.h"

namespace {

namespace ti = qndx::testimg;

struct TgaCase {
    std::string name;
    std::vector<uint8_t> file;
    ti::Image expected;
    size_t imageEnd;  // bytes up to the end of the pixel data
};

ti::Image FromValues(int w, int h, const std::vector<uint32_t>& v, uint32_t (*colour)(uint32_t, const ti::TgaLayout&),
                     const ti::TgaLayout& l) {
    ti::Image img;
    img.width = w;
    img.height = h;
    for (uint32_t x : v) img.px.push_back(colour(x, l));
    return img;
}

// A 5-5-5 colour as converted: each channel's top five bits times 8.
uint32_t Narrow(uint32_t c) { return c & 0xF8F8F8; }

uint32_t TrueColour(uint32_t c, const ti::TgaLayout& l) { return l.depth == 16 ? Narrow(c) : c; }
uint32_t Grey(uint32_t v, const ti::TgaLayout&) { return ti::Rgb(v, v, v); }
uint32_t Mapped(uint32_t v, const ti::TgaLayout& l) {
    if (v < (uint32_t)l.firstEntry || v >= l.firstEntry + l.map.size()) return 0;  // past the map: black
    uint32_t c = l.map[v - l.firstEntry];
    return l.entrySize <= 16 ? Narrow(c) : c;
}

// Pixel values with repeats, so that run-length files hold both kinds of packet.
std::vector<uint32_t> Values(int w, int h, uint32_t range, uint32_t seed, bool colours) {
    std::vector<uint32_t> v;
    ti::Lcg rng(seed);
    ti::Image pic = ti::Pattern(w, h, seed);
    for (int i = 0; i < w * h; ++i) {
        if (i % 7 >= 4 && i > 0) {
            v.push_back(v.back());
            continue;
        }
        v.push_back(colours ? pic.px[i] : rng.Next() % range);
    }
    return v;
}

TgaCase Make(const std::string& name, int w, int h, const ti::TgaLayout& l) {
    const bool mapped = l.imageType == 1 || l.imageType == 9;
    const bool grey = l.imageType == 3 || l.imageType == 11;
    // Mapped pictures also use a few indices past the map (never past 255).
    const uint32_t range = mapped ? std::min<uint32_t>(256, (uint32_t)(l.firstEntry + l.map.size() + 8)) : 256;
    std::vector<uint32_t> v = Values(w, h, range, (uint32_t)(w * 31 + l.depth + l.imageType), !mapped && !grey && l.depth > 8);
    std::vector<uint8_t> file = ti::WriteTga(w, h, v, l);
    ti::Image expected = FromValues(w, h, v, mapped ? Mapped : grey ? Grey : TrueColour, l);
    return {name, file, expected, l.footer ? file.size() - 26 : file.size()};
}

std::vector<uint32_t> Map(int n, uint32_t seed) {
    ti::Image pic = ti::Pattern(n, 1, seed);
    return pic.px;
}

std::vector<TgaCase> AllVariants() {
    std::vector<TgaCase> cases;
    for (bool topDown : {false, true}) {
        const std::string order = topDown ? ", top-down" : "";
        for (int type : {1, 9}) {
            const std::string kind = type == 1 ? "mapped" : "run-length mapped";
            for (int entry : {15, 16, 24, 32}) {
                ti::TgaLayout l;
                l.imageType = type;
                l.depth = 8;
                l.topDown = topDown;
                l.map = Map(entry == 24 ? 256 : 40, (uint32_t)entry);
                l.entrySize = entry;
                cases.push_back(Make(kind + ", " + std::to_string(entry) + "-bit map" + order, 13, 7, l));
            }
        }
        for (int type : {2, 10})
            for (int depth : {16, 24, 32}) {
                ti::TgaLayout l;
                l.imageType = type;
                l.depth = depth;
                l.topDown = topDown;
                cases.push_back(Make((type == 2 ? "true colour " : "run-length true colour ") + std::to_string(depth) +
                                         " bits" + order,
                                     13, 7, l));
            }
        for (int type : {3, 11}) {
            ti::TgaLayout l;
            l.imageType = type;
            l.depth = 8;
            l.topDown = topDown;
            cases.push_back(Make(type == 3 ? "grey" + order : "run-length grey" + order, 13, 7, l));
        }
    }
    ti::TgaLayout offset;
    offset.imageType = 1;
    offset.depth = 8;
    offset.map = Map(16, 3);
    offset.firstEntry = 100;
    offset.idLength = 9;
    cases.push_back(Make("map from entry 100, image ID", 9, 5, offset));
    ti::TgaLayout small;
    small.imageType = 9;
    small.depth = 8;
    small.map = Map(16, 4);
    cases.push_back(Make("16-entry map, indices past it", 11, 3, small));
    ti::TgaLayout plain;
    cases.push_back(Make("24 bits, 1 x 1", 1, 1, plain));
    cases.push_back(Make("24 bits, 3 wide", 3, 2, plain));
    plain.footer = false;
    cases.push_back(Make("24 bits without the footer", 5, 4, plain));
    ti::TgaLayout wide;
    wide.imageType = 10;
    wide.depth = 32;
    cases.push_back(Make("run-length 32 bits, 300 wide", 300, 3, wide));
    return cases;
}

TEST(TgaLoader, EveryVariantDecodesToTheExpectedPixelsInEveryKind) {
    const std::vector<TgaCase> cases = AllVariants();
    for (int bpp : ti::kSurfaceKinds) {
        ti::DisplayAt display(bpp);
        for (const TgaCase& c : cases) {
            const std::string what = c.name + " into " + std::to_string(bpp) + " bits";
            ti::ExactCopy data(c.file);
            ti::ErrorLines errors;
            CQNDXTGAImageLoader loader;
            IDirectDrawSurface7* s = loader.Load(display.Get(), data.Size(), data.Data());
            EXPECT_TRUE(errors.Take().empty()) << what;
            ASSERT_NE(nullptr, s) << what;
            ti::ExpectExactly(ti::ReadSurface(s), c.expected, what);
            EXPECT_EQ(0u, s->Release());
        }
    }
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

// A header for a hand-made file.
std::vector<uint8_t> Header(int type, int w, int h, int depth, uint8_t descriptor = 0) {
    std::vector<uint8_t> f(18, 0);
    f[2] = (uint8_t)type;
    ti::PutLE16(f, 12, (uint32_t)w);
    ti::PutLE16(f, 14, (uint32_t)h);
    f[16] = (uint8_t)depth;
    f[17] = descriptor;
    return f;
}

TEST(TgaLoader, RowsPacketsAndConversionsFillTheBuffer) {
    CQNDXTGAImageLoader loader;
    // 3 pixels of 24 bits, bottom-left origin: 12-byte rows, the file's first row first.
    std::vector<uint8_t> f = Header(2, 3, 2, 24);
    for (int i = 0; i < 18; ++i) f.push_back((uint8_t)(i + 1));
    ASSERT_EQ(1, loader.Decode((unsigned)f.size(), f.data()));
    EXPECT_EQ(12u, loader.GetStride());
    EXPECT_EQ(0, loader.IsTopDown());
    EXPECT_EQ(9, loader.GetPixels()[8]);
    EXPECT_EQ(10, loader.GetPixels()[12]);
    f[17] = 0x20;
    ASSERT_EQ(1, loader.Decode((unsigned)f.size(), f.data()));
    EXPECT_EQ(1, loader.IsTopDown());

    // 0x83: one pixel four times; 0x02: three pixels as they come.
    f = Header(10, 7, 1, 24);
    f.insert(f.end(), {0x83, 1, 2, 3, 0x02, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    ASSERT_EQ(1, loader.Decode((unsigned)f.size(), f.data()));
    const uint8_t want[] = {1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_EQ(0, std::memcmp(want, loader.GetPixels(), sizeof want));
    // A run past the last pixel ends at the buffer's end.
    f = Header(10, 2, 1, 24);
    f.insert(f.end(), {0xFF, 1, 2, 3});
    ASSERT_EQ(1, loader.Decode((unsigned)f.size(), f.data()));

    // 16 bits: 0x7C00 is pure red at 248; bit 15 does not matter.
    f = Header(2, 2, 1, 16);
    f.insert(f.end(), {0x00, 0x7C, 0x1F, 0x80});
    ASSERT_EQ(1, loader.Decode((unsigned)f.size(), f.data()));
    EXPECT_EQ(24, loader.GetBitsPerPixel());
    const uint8_t want16[] = {0, 0, 248, 248, 0, 0};
    EXPECT_EQ(0, std::memcmp(want16, loader.GetPixels(), sizeof want16));

    // A 16-entry map leaves the rest of the table black; grey images get a ramp.
    ti::TgaLayout l;
    l.imageType = 1;
    l.depth = 8;
    l.map = Map(16, 9);
    f = ti::WriteTga(2, 1, {3, 20}, l);
    ASSERT_EQ(1, loader.Decode((unsigned)f.size(), f.data()));
    ASSERT_NE(nullptr, loader.GetPalette());
    EXPECT_EQ(ti::Red(l.map[15]), loader.GetPalette()[45]);
    for (int i = 48; i < 768; ++i) EXPECT_EQ(0, loader.GetPalette()[i]) << i;
    f = Header(3, 1, 1, 8);
    f.push_back(77);
    ASSERT_EQ(1, loader.Decode((unsigned)f.size(), f.data()));
    EXPECT_EQ(200, loader.GetPalette()[601]);

    const unsigned char words[] = {0x34, 0x12};
    const unsigned char* cursor = words;
    EXPECT_EQ(0x1234u, CQNDXTGAImageLoader::ReadWord(&cursor));
    EXPECT_EQ(words + 2, cursor);
}

TEST(TgaLoader, EveryTruncationOfTheImageFailsWithOneErrorLine) {
    ti::DisplayAt display(15);
    for (const TgaCase& c : AllVariants()) {
        for (size_t cut = 0; cut < c.file.size(); ++cut) {
            ti::ExactCopy data(c.file.data(), cut);
            ti::ErrorLines errors;
            CQNDXTGAImageLoader loader;
            IDirectDrawSurface7* s = loader.Load(display.Get(), data.Size(), data.Data());
            const size_t lines = errors.Take().size();
            if (cut >= c.imageEnd) {
                // The footer is not part of the picture.
                EXPECT_NE(nullptr, s) << c.name << ", cut at " << cut;
            } else {
                EXPECT_EQ(nullptr, s) << c.name << ", cut at " << cut << " of " << c.file.size();
                EXPECT_EQ(1u, lines) << c.name << ", cut at " << cut;
            }
            if (s) s->Release();
        }
    }
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

TEST(TgaLoader, HostileHeadersAreRefusedWithOneErrorLine) {
    std::vector<uint8_t> plain = Header(2, 4, 4, 24);
    plain.resize(18 + 48, 0x40);
    ti::TgaLayout mapped;
    mapped.imageType = 1;
    mapped.depth = 8;
    mapped.map = Map(8, 2);
    const std::vector<uint8_t> withMap = ti::WriteTga(4, 4, std::vector<uint32_t>(16, 1), mapped);
    auto patched = [](std::vector<uint8_t> f, size_t at, std::vector<uint8_t> bytes) {
        std::copy(bytes.begin(), bytes.end(), f.begin() + (long)at);
        return f;
    };
    std::vector<uint8_t> bigRle = Header(11, 16384, 16384, 8);
    bigRle.insert(bigRle.end(), 200, 0xFF);
    const struct {
        const char* what;
        std::vector<uint8_t> file;
    } cases[] = {
        {"no image data (type 0)", patched(plain, 2, {0})},
        {"type 4", patched(plain, 2, {4})},
        {"type 32", patched(plain, 2, {32})},
        {"depth 15", patched(plain, 16, {15})},
        {"depth 0", patched(plain, 16, {0})},
        {"depth 64", patched(plain, 16, {64})},
        {"zero width", patched(plain, 12, {0, 0})},
        {"zero height", patched(plain, 14, {0, 0})},
        {"largest sides with a few bytes", patched(plain, 12, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"sides at the cap, 48 bytes of pixels", patched(plain, 12, {0x00, 0x40, 0x00, 0x40})},
        {"run-length sides at the cap, 200 bytes", bigRle},
        {"mapped with 24-bit indices", patched(withMap, 16, {24})},
        {"mapped without a map", patched(withMap, 1, {0})},
        {"grey at 16 bits", patched(Header(3, 2, 2, 16), 0, {0})},
        {"8-bit map entries", patched(withMap, 7, {8})},
        {"image ID past the end", patched(plain, 0, {255})},
        {"map past the end", patched(withMap, 5, {0xFF, 0xFF})},
        {"shorter than the header", std::vector<uint8_t>(plain.begin(), plain.begin() + 17)},
    };
    ti::DisplayAt display(32);
    for (const auto& c : cases) {
        ti::ExactCopy data(c.file);
        ti::ErrorLines errors;
        CQNDXTGAImageLoader loader;
        IDirectDrawSurface7* s = loader.Load(display.Get(), data.Size(), data.Data());
        EXPECT_EQ(nullptr, s) << c.what;
        EXPECT_EQ(1u, errors.Take().size()) << c.what;
        if (s) s->Release();
    }
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

TEST(TgaLoader, RecognisesTheFooterAndADepthOnly) {
    ti::TgaLayout l;
    std::vector<uint8_t> f = ti::WriteTga(2, 2, std::vector<uint32_t>(4, 0x123456), l);
    auto can = [](const std::vector<uint8_t>& v) {
        CQNDXTGAImageLoader loader;
        const int tail = v.size() < 64 ? (int)v.size() : 64;
        return loader.CanLoad(v.data(), (int)v.size(), v.data() + v.size() - tail, tail);
    };
    EXPECT_EQ(1, can(f));
    std::vector<uint8_t> odd = f;
    odd[16] = 12;
    EXPECT_EQ(0, can(odd));
    l.footer = false;
    EXPECT_EQ(0, can(ti::WriteTga(2, 2, std::vector<uint32_t>(4, 0x123456), l)));
    CQNDXTGAImageLoader loader;
    EXPECT_EQ(0, loader.CanLoad(f.data(), 16, f.data(), 18));
    EXPECT_EQ(0, loader.CanLoad(f.data(), 17, f.data() + f.size() - 17, 17));
}

// Rows stored right to left (descriptor bit 4), plain and run-length, either
// row order, colour and grey, each read as ImageMagick reads the same pixels
// stored left to right with the top row first (the one layout its TGA reader
// takes as it stands).
TEST(TgaLoader, RightToLeftRowsDecodeAsImageMagickReadsTheirLeftToRightTwin) {
    if (!qndx::test::OnPath("convert")) GTEST_SKIP() << "ImageMagick's convert is not installed";
    qndx::test::TempDir dir("qndx-tga-rtl");
    ASSERT_FALSE(dir.path().empty());
    const int w = 13, h = 6;
    // Runs of three along each row: run-length files repeat and cross rows.
    std::vector<uint32_t> colour, grey;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            colour.push_back(ti::Rgb((uint8_t)((x / 3) * 50 + y), (uint8_t)(y * 40), (uint8_t)(x * 19)));
            grey.push_back((uint32_t)(((x / 3) * 37 + y * 11) & 0xFF));
        }
    struct Picture {
        const char* name;
        const std::vector<uint32_t>* values;
        int plain, packed, depth;
    };
    const Picture pictures[] = {{"colour", &colour, 2, 10, 24}, {"grey", &grey, 3, 11, 8}};
    for (const Picture& p : pictures) {
        ti::TgaLayout twin;
        twin.imageType = p.plain;
        twin.depth = p.depth;
        twin.topDown = true;
        const std::string tga = dir / (std::string(p.name) + ".tga"), rgb = tga + ".rgb";
        const std::vector<uint8_t> twinFile = ti::WriteTga(w, h, *p.values, twin);
        std::ofstream(tga, std::ios::binary).write(reinterpret_cast<const char*>(twinFile.data()), (long)twinFile.size());
        ASSERT_EQ(0, std::system(("convert '" + tga + "' -depth 8 rgb:'" + rgb + "' 2>/dev/null").c_str())) << p.name;
        std::ifstream in(rgb, std::ios::binary);
        const std::vector<uint8_t> decoded((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_EQ((size_t)w * h * 3, decoded.size()) << p.name << ": ImageMagick's decode";
        ti::Image want;
        want.width = w;
        want.height = h;
        for (size_t i = 0; i < decoded.size(); i += 3) want.px.push_back(ti::Rgb(decoded[i], decoded[i + 1], decoded[i + 2]));

        for (int type : {p.plain, p.packed})
            for (bool topDown : {false, true}) {
                ti::TgaLayout l;
                l.imageType = type;
                l.depth = p.depth;
                l.topDown = topDown;
                l.rightToLeft = true;
                const std::vector<uint8_t> file = ti::WriteTga(w, h, *p.values, l);
                for (int bpp : ti::kSurfaceKinds) {
                    const std::string what = std::string(p.name) + " type " + std::to_string(type) +
                                             (topDown ? " top row first" : " bottom row first") + " into " +
                                             std::to_string(bpp) + " bits";
                    ti::DisplayAt display(bpp);
                    ti::ExactCopy data(file);
                    ti::ErrorLines errors;
                    IDirectDrawSurface7* s = CQNDXTGAImageLoader().Load(display.Get(), data.Size(), data.Data());
                    EXPECT_TRUE(errors.Take().empty()) << what;
                    ASSERT_NE(nullptr, s) << what;
                    ti::ExpectExactly(ti::ReadSurface(s), want, what);
                    EXPECT_EQ(0u, s->Release());
                }
            }
    }
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

}  // namespace
