// The PCX decoder: 8-bit palette and 24-bit three-plane images in every
// surface pixel kind, the run-length line expander, the palette at the end
// of the file, truncated files and hostile headers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "GraphicEngine/ImageLoader/PCXImageLoader.h"
#include "engine/decoders/DecoderFiles.h"
#include "engine/images/LoaderTestSupport.h"
#include "platform/sim/Sim.h"

namespace {

namespace ti = qndx::testimg;

// Long runs (past the 63 a code can hold) beside single pixels.
ti::Image Banded(int w, int h) {
    ti::Image img = ti::Pattern(w, h, 4);
    for (int y = 0; y < h; y += 2)
        for (int x = 0; x < w; ++x) img.px[(size_t)y * w + x] = ti::Rgb(0xC5, 0x10 * (y & 7), 0xFF);
    return img;
}

ti::Indexed BandedIndices(int w, int h) {
    ti::Indexed p = ti::IndexedPattern(w, h, 8, 256, 2);
    for (int y = 1; y < h; y += 2)
        for (int x = 0; x < w; ++x) p.idx[(size_t)y * w + x] = 0xC7;  // a value that needs a run code
    return p;
}

struct PcxCase {
    std::string name;
    std::vector<uint8_t> file;
    ti::Image expected;
};

std::vector<PcxCase> AllVariants() {
    std::vector<PcxCase> cases;
    ti::Indexed p = ti::IndexedPattern(13, 7, 8, 256, 1);
    cases.push_back({"8 bits, 13 x 7", ti::WritePcx8(p), p.ToImage()});
    ti::Indexed wide = BandedIndices(150, 4);
    cases.push_back({"8 bits, long runs", ti::WritePcx8(wide), wide.ToImage()});
    ti::Image pic = ti::Pattern(13, 7);
    cases.push_back({"24 bits, 13 x 7", ti::WritePcx24(pic), pic});
    ti::Image banded = Banded(140, 5);
    cases.push_back({"24 bits, long runs", ti::WritePcx24(banded), banded});
    ti::PcxLayout shifted;
    shifted.xmin = -3;
    shifted.ymin = 100;
    shifted.extraBytes = 0;
    cases.push_back({"24 bits, shifted origin, no padding", ti::WritePcx24(pic, shifted), pic});
    ti::Indexed one = ti::IndexedPattern(1, 1, 8, 256, 3);
    cases.push_back({"8 bits, 1 x 1", ti::WritePcx8(one), one.ToImage()});
    // Without the palette the colour table is black.
    ti::PcxLayout bare;
    bare.palette = false;
    ti::Image black = p.ToImage();
    for (auto& c : black.px) c = 0;
    cases.push_back({"8 bits without a palette", ti::WritePcx8(p, bare), black});
    return cases;
}

TEST(PcxLoader, EveryVariantDecodesToTheExpectedPixelsInEveryKind) {
    const std::vector<PcxCase> cases = AllVariants();
    for (int bpp : ti::kSurfaceKinds) {
        ti::DisplayAt display(bpp);
        for (const PcxCase& c : cases) {
            const std::string what = c.name + " into " + std::to_string(bpp) + " bits";
            ti::ExactCopy data(c.file);
            ti::ErrorLines errors;
            CQNDXPCXImageLoader loader;
            IDirectDrawSurface7* s = loader.Load(display.Get(), data.Size(), data.Data());
            EXPECT_TRUE(errors.Take().empty()) << what;
            ASSERT_NE(nullptr, s) << what;
            ti::ExpectExactly(ti::ReadSurface(s), c.expected, what);
            EXPECT_EQ(0u, s->Release());
        }
    }
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

TEST(PcxLoader, BufferRowsAreTopDownBlueGreenRed) {
    ti::Image flat;
    flat.width = 640;
    flat.height = 2;
    flat.px.assign(1280, ti::Rgb(0x10, 0x20, 0x30));
    flat.px[640] = ti::Rgb(1, 2, 3);
    std::vector<uint8_t> f = ti::WritePcx24(flat);
    CQNDXPCXImageLoader loader;
    ASSERT_EQ(1, loader.Decode((unsigned)f.size(), f.data()));
    EXPECT_EQ(640, loader.GetWidth());  // Xmin 0, Xmax 639
    EXPECT_EQ(24, loader.GetBitsPerPixel());
    EXPECT_EQ(1, loader.IsTopDown());
    const uint8_t* px = loader.GetPixels();
    EXPECT_EQ(0x30, px[0]);
    EXPECT_EQ(0x20, px[1]);
    EXPECT_EQ(0x10, px[2]);
    EXPECT_EQ(3, px[loader.GetStride()]);  // row 0 is the top row
    EXPECT_EQ(1, px[loader.GetStride() + 2]);

    ti::Indexed p = ti::IndexedPattern(5, 3, 8, 256);
    f = ti::WritePcx8(p);
    ASSERT_EQ(1, loader.Decode((unsigned)f.size(), f.data()));
    EXPECT_EQ(8, loader.GetBitsPerPixel());
    EXPECT_EQ(1, loader.HasPalette());
    EXPECT_EQ(p.idx[7], loader.GetPixels()[8 + 2]);
    EXPECT_EQ(ti::Red(p.palette[200]), loader.GetPalette()[600]);
    EXPECT_EQ(ti::Blue(p.palette[200]), loader.GetPalette()[602]);

    // A byte other than 12 where the palette's code belongs: no palette.
    f[f.size() - 769] = 11;
    ASSERT_EQ(1, loader.Decode((unsigned)f.size(), f.data()));
    EXPECT_EQ(0, loader.HasPalette());
    EXPECT_EQ(0, loader.GetPalette()[600]);
}

TEST(PcxLoader, LineExpanderStopsAtTheLineAndTheData) {
    uint8_t out[8];
    auto expand = [&out](std::vector<uint8_t> codes, int count, int* used) {
        std::memset(out, 0xAA, sizeof out);
        const unsigned char* cursor = codes.data();
        int n = CQNDXPCXImageLoader::DecodeLine(out, &cursor, codes.data() + codes.size(), count);
        *used = (int)(cursor - codes.data());
        return n;
    };
    int used = 0;
    EXPECT_EQ(4, expand({0xC3, 0x07, 0x3F}, 4, &used));
    EXPECT_EQ(3, used);
    EXPECT_EQ(7, out[2]);
    EXPECT_EQ(0x3F, out[3]);
    EXPECT_EQ(0xAA, out[4]);
    // A run two bytes past the line: reported, but never written past it.
    EXPECT_EQ(6, expand({0x01, 0xC5, 0x09}, 4, &used));
    EXPECT_EQ(9, out[3]);
    EXPECT_EQ(0xAA, out[4]);
    // Codes left for the next line stay unread.
    EXPECT_EQ(2, expand({0xC2, 0x05, 0x06}, 2, &used));
    EXPECT_EQ(2, used);
    // The data runs out: fewer bytes, and a count with no value after it is not used.
    EXPECT_EQ(1, expand({0x04}, 3, &used));
    EXPECT_EQ(1, expand({0x04, 0xC2}, 3, &used));
    EXPECT_EQ(0xAA, out[1]);
    // Zero-length runs produce nothing.
    EXPECT_EQ(2, expand({0xC0, 0x01, 0xC2, 0x08}, 2, &used));
    EXPECT_EQ(8, out[0]);
}

TEST(PcxLoader, EveryTruncationFailsWithOneErrorLine) {
    ti::DisplayAt display(24);
    for (const PcxCase& c : AllVariants()) {
        const bool palette = c.name.find("8 bits") == 0 && c.name.find("without") == std::string::npos;
        // An 8-bit file cut where the palette starts is a whole file without one.
        const size_t whole = palette ? c.file.size() - 769 : c.file.size();
        for (size_t cut = 0; cut < c.file.size(); ++cut) {
            ti::ExactCopy data(c.file.data(), cut);
            ti::ErrorLines errors;
            CQNDXPCXImageLoader loader;
            IDirectDrawSurface7* s = loader.Load(display.Get(), data.Size(), data.Data());
            const size_t lines = errors.Take().size();
            if (cut == whole) {
                EXPECT_NE(nullptr, s) << c.name;
                EXPECT_EQ(0u, lines) << c.name;
            } else {
                EXPECT_EQ(nullptr, s) << c.name << ", cut at " << cut << " of " << c.file.size();
                EXPECT_EQ(1u, lines) << c.name << ", cut at " << cut;
            }
            if (s) s->Release();
        }
    }
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

TEST(PcxLoader, HostileHeadersAndRunsAreRefusedWithOneErrorLine) {
    const std::vector<uint8_t> base = ti::WritePcx24(ti::Pattern(6, 4));
    const struct {
        const char* what;
        size_t at;
        int width;  // bytes
        uint32_t value;
    } patches[] = {
        {"1 bit per pixel", 3, 1, 1},
        {"4 bits per pixel", 3, 1, 4},
        {"four planes", 65, 1, 4},
        {"two planes", 65, 1, 2},
        {"no planes", 65, 1, 0},
        {"Xmax before Xmin", 8, 2, 0xFFFE},
        {"Ymax before Ymin", 10, 2, 0xFFFF},
        {"width past the cap", 8, 2, 20000},
        {"widest signed span", 4, 2, 0x8000},
        {"bytes per line below the width", 66, 2, 5},
        {"negative bytes per line", 66, 2, 0xFFF9},
        {"more rows than the data holds", 10, 2, 3000},
    };
    ti::DisplayAt display(32);
    auto refused = [&display](const std::vector<uint8_t>& f, const std::string& what) {
        ti::ExactCopy data(f);
        ti::ErrorLines errors;
        CQNDXPCXImageLoader loader;
        IDirectDrawSurface7* s = loader.Load(display.Get(), data.Size(), data.Data());
        EXPECT_EQ(nullptr, s) << what;
        EXPECT_EQ(1u, errors.Take().size()) << what;
        if (s) s->Release();
    };
    for (const auto& p : patches) {
        std::vector<uint8_t> f = base;
        if (p.width == 1)
            f[p.at] = (uint8_t)p.value;
        else
            ti::PutLE16(f, p.at, p.value);
        if (std::string(p.what) == "widest signed span") ti::PutLE16(f, 8, 0x7FFF);
        refused(f, p.what);
    }
    // A run that crosses the end of a plane line.
    std::vector<uint8_t> crossing = ti::PcxHeader(4, 1, 1, 4, ti::PcxLayout());
    crossing.insert(crossing.end(), {0x01, 0xC5, 0x09});
    refused(crossing, "run past the plane line");
    // The palette's code right after the scan lines, its colours cut off.
    std::vector<uint8_t> cutPalette = ti::WritePcx8(ti::IndexedPattern(4, 2, 8, 256));
    cutPalette.resize(cutPalette.size() - 100);
    refused(cutPalette, "palette cut short");
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

TEST(PcxLoader, RecognisesManufacturerVersionAndEncoding) {
    CQNDXPCXImageLoader loader;
    const unsigned char good[] = {10, 5, 1};
    const unsigned char v3[] = {10, 3, 1};
    const unsigned char raw[] = {10, 5, 0};
    EXPECT_EQ(1, loader.CanLoad(good, 3, good, 3));
    EXPECT_EQ(0, loader.CanLoad(good, 2, good, 2));
    EXPECT_EQ(0, loader.CanLoad(v3, 3, v3, 3));
    EXPECT_EQ(0, loader.CanLoad(raw, 3, raw, 3));
    EXPECT_EQ(0, loader.CanLoad(nullptr, 0, nullptr, 0));
}

}  // namespace
