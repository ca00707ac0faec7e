// The BMP decoder: every depth and layout in every surface pixel kind,
// run-length streams, truncated files and hostile header values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GraphicEngine/ImageLoader/BMPImageLoader.h"
#include "engine/images/LoaderTestSupport.h"
#include "platform/sim/Display.h"
#include "platform/sim/Sim.h"

namespace {

namespace ti = qndx::testimg;

struct BmpCase {
    std::string name;
    std::vector<uint8_t> file;
    ti::Image expected;
};

// One picture stored in every variant the decoder reads.
std::vector<BmpCase> AllVariants() {
    std::vector<BmpCase> cases;
    for (bool topDown : {false, true}) {
        ti::BmpLayout layout;
        layout.topDown = topDown;
        const std::string order = topDown ? ", top-down" : "";
        for (int bits : {1, 4, 8}) {
            const int most = 1 << bits;
            const int shortCount = bits == 1 ? 1 : bits == 4 ? 5 : 16;
            for (int stored : {most, shortCount}) {
                ti::Indexed p = ti::IndexedPattern(13, 7, bits, stored, (uint32_t)bits);
                cases.push_back({std::to_string(bits) + " bits, " + std::to_string(stored) + " colours" + order,
                                 ti::WriteBmpIndexed(p, bits, layout), p.ToImage()});
            }
        }
        ti::Image pic = ti::Pattern(13, 7);
        ti::Image widened = pic;
        for (auto& px : widened.px) px = ti::Widen555(px);
        cases.push_back({"16 bits" + order, ti::WriteBmpRgb(pic, 16, layout), widened});
        cases.push_back({"24 bits" + order, ti::WriteBmpRgb(pic, 24, layout), pic});
        cases.push_back({"32 bits" + order, ti::WriteBmpRgb(pic, 32, layout), pic});
    }
    for (int bits : {1, 4, 8}) {
        ti::Indexed wide = ti::IndexedPattern(33, 3, bits, 1 << bits, 11);
        cases.push_back({std::to_string(bits) + " bits, 33 wide", ti::WriteBmpIndexed(wide, bits), wide.ToImage()});
    }
    ti::Image one = ti::Pattern(1, 1, 5);
    cases.push_back({"24 bits, 1 x 1", ti::WriteBmpRgb(one, 24), one});
    ti::Image three = ti::Pattern(3, 2, 6);
    cases.push_back({"24 bits, 3 wide", ti::WriteBmpRgb(three, 24), three});
    ti::Indexed p8 = ti::IndexedPattern(13, 7, 8, 256, 4);
    for (uint32_t header : {108u, 124u}) {
        ti::BmpLayout longer;
        longer.headerSize = header;
        cases.push_back({"8 bits, " + std::to_string(header) + "-byte header", ti::WriteBmpIndexed(p8, 8, longer),
                         p8.ToImage()});
    }
    // More colours claimed than 4 bits can index: the table is cut to 16.
    ti::Indexed p4 = ti::IndexedPattern(13, 7, 4, 16, 8);
    std::vector<uint8_t> tooMany = ti::WriteBmpIndexed(p4, 4);
    ti::PutLE32(tooMany, 46, 300);
    cases.push_back({"4 bits claiming 300 colours", tooMany, p4.ToImage()});
    return cases;
}

// Index grid (top row first) and stream of a run-length test file.
struct RleCase {
    std::string name;
    int width, height;
    std::vector<uint8_t> stream;
    std::vector<uint8_t> rows;  // expected indices, top row first
};

std::vector<uint32_t> RleTable() {
    std::vector<uint32_t> t;
    for (int i = 0; i < 16; ++i) t.push_back(ti::Rgb(i * 16, 255 - i * 16, (i * 40) & 0xFF));
    return t;
}

std::vector<RleCase> RleCases() {
    std::vector<RleCase> cases;
    // 7 x 5: runs, odd and even absolute runs, end of line, delta, end of bitmap.
    cases.push_back({"runs, absolute runs, delta",
                     7,
                     5,
                     {3, 5, 0, 3, 1, 2, 3, 0, 1, 7, 0, 0,  // bottom row: 5 5 5 1 2 3 7
                      0, 2, 2, 1,                          // delta: right 2, up 1 (rest of row 1 stays 0)
                      2, 9, 0, 0,                          // row 2: 0 0 9 9 0 0 0
                      7, 4, 0, 0,                          // row 3: all 4
                      4, 1, 0, 4, 10, 11, 12, 13, 0, 1},   // top row: 1 1 1 1 10 11 12, 13 clipped; end
                     {1, 1, 1, 1, 10, 11, 12,  //
                      4, 4, 4, 4, 4, 4, 4,     //
                      0, 0, 9, 9, 0, 0, 0,     //
                      0, 0, 0, 0, 0, 0, 0,     //
                      5, 5, 5, 1, 2, 3, 7}});
    // The stream ends the picture halfway up: the rows above stay index 0.
    cases.push_back({"early end of bitmap", 5, 4, {5, 3, 0, 0, 2, 6, 0, 1}, {0, 0, 0, 0, 0,  //
                                                                              0, 0, 0, 0, 0,  //
                                                                              6, 6, 0, 0, 0,  //
                                                                              3, 3, 3, 3, 3}});
    // A run longer than its row and an absolute run passing the row's end are
    // cut at the row; the next codes still parse.
    cases.push_back({"runs cut at the row's end", 4, 2, {9, 2, 0, 0, 0, 5, 7, 8, 9, 10, 11, 0, 0, 1}, {7, 8, 9, 10,  //
                                                                                                        2, 2, 2, 2}});
    // End-of-line codes after the last row and a delta past the top end the picture.
    cases.push_back({"closing by rows", 2, 2, {2, 1, 0, 0, 1, 3, 0, 0, 2, 4, 0, 0, 0, 1}, {3, 0, 1, 1}});
    cases.push_back({"delta past the top", 3, 2, {1, 6, 0, 2, 1, 200, 3, 1, 0, 1}, {0, 0, 0, 6, 0, 0}});
    return cases;
}

TEST(BmpLoader, EveryVariantDecodesToTheExpectedPixelsInEveryKind) {
    std::vector<BmpCase> cases = AllVariants();
    for (int bpp : ti::kSurfaceKinds) {
        ti::DisplayAt display(bpp);
        for (const BmpCase& c : cases) {
            const std::string what = c.name + " into " + std::to_string(bpp) + " bits";
            ti::ExactCopy data(c.file);
            CQNDXBMPImageLoader loader;
            IDirectDrawSurface7* s = loader.Load(display.Get(), data.Size(), data.Data());
            ASSERT_NE(nullptr, s) << what;
            ti::SurfacePixels px = ti::ReadSurface(s);
            EXPECT_EQ(bpp, px.bpp) << what;
            ti::ExpectExactly(px, c.expected, what);
            EXPECT_EQ(0u, s->Release());
        }
    }
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

TEST(BmpLoader, RowsAreAlignedAndTheDescriptionKeepsTheFileTable) {
    // 3 pixels of 24 bits: 9 bytes padded to 12.
    ti::Image three = ti::Pattern(3, 2);
    std::vector<uint8_t> f24 = ti::WriteBmpRgb(three, 24);
    CQNDXBMPImageLoader loader;
    ASSERT_EQ(1, loader.Decode((unsigned int)f24.size(), f24.data()));
    EXPECT_EQ(12u, loader.GetStride());
    EXPECT_EQ(24u, loader.GetSizeInBytes());
    // The bottom row comes first in the buffer; its padding comes from the file.
    EXPECT_EQ(ti::Blue(three.At(0, 1)), loader.GetPixels()[0]);

    // 16 colours claimed by an 8-bit file: 16 entries, the count kept.
    ti::Indexed p = ti::IndexedPattern(5, 3, 8, 16);
    std::vector<uint8_t> f8 = ti::WriteBmpIndexed(p, 8);
    ASSERT_EQ(1, loader.Decode((unsigned int)f8.size(), f8.data()));
    EXPECT_EQ(16, loader.GetColorCount());
    const BITMAPINFO* info = loader.GetDescription();
    EXPECT_EQ(40u, info->bmiHeader.biSize);
    EXPECT_EQ(16u, info->bmiHeader.biClrUsed);
    EXPECT_EQ(ti::Red(p.palette[3]), info->bmiColors[3].rgbRed);
    EXPECT_EQ(0, info->bmiColors[3].rgbReserved);

    // A 1-bit file has rows of ((width + 31) div 32) x 4 bytes and two colours.
    ti::Indexed mono = ti::IndexedPattern(33, 2, 1, 2);
    std::vector<uint8_t> f1 = ti::WriteBmpIndexed(mono, 1);
    ASSERT_EQ(1, loader.Decode((unsigned int)f1.size(), f1.data()));
    EXPECT_EQ(8u, loader.GetStride());
    EXPECT_EQ(2, loader.GetColorCount());
}

TEST(BmpLoader, RunLengthStreamsExpandIntoTheirRows) {
    const std::vector<uint32_t> table = RleTable();
    for (const RleCase& c : RleCases()) {
        ti::Image want;
        want.width = c.width;
        want.height = c.height;
        for (uint8_t i : c.rows) want.px.push_back(table[i]);
        std::vector<uint8_t> file = ti::WriteBmpRle8(c.width, c.height, table, c.stream);
        for (int bpp : ti::kSurfaceKinds) {
            ti::DisplayAt display(bpp);
            ti::ExactCopy data(file);
            CQNDXBMPImageLoader loader;
            IDirectDrawSurface7* s = loader.Load(display.Get(), data.Size(), data.Data());
            ASSERT_NE(nullptr, s) << c.name;
            ti::ExpectExactly(ti::ReadSurface(s), want, c.name + " into " + std::to_string(bpp) + " bits");
            s->Release();
        }
    }
}

TEST(BmpLoader, RunLengthDataIsAcceptedOnlyForBottomUp8BitFiles) {
    const std::vector<uint32_t> table = RleTable();
    ti::DisplayAt display(32);
    std::vector<uint8_t> good = ti::WriteBmpRle8(2, 1, table, {2, 1, 0, 1});
    std::vector<uint8_t> fourBits = good;
    ti::PutLE16(fourBits, 28, 4);
    std::vector<uint8_t> topDown = good;
    ti::PutLE32(topDown, 22, (uint32_t)-1);
    std::vector<uint8_t> rle4 = good;
    ti::PutLE32(rle4, 30, 2);
    for (const auto* f : {&fourBits, &topDown, &rle4}) {
        ti::ErrorLines errors;
        CQNDXBMPImageLoader loader;
        EXPECT_EQ(nullptr, loader.Load(display.Get(), (unsigned int)f->size(), f->data()));
        EXPECT_EQ(1u, errors.Take().size());
    }
    CQNDXBMPImageLoader loader;
    IDirectDrawSurface7* s = loader.Load(display.Get(), (unsigned int)good.size(), good.data());
    ASSERT_NE(nullptr, s);
    s->Release();
}

TEST(BmpLoader, EveryTruncationFailsWithAnErrorLineAndNoSurface) {
    std::vector<std::vector<uint8_t>> files;
    for (const BmpCase& c : AllVariants()) files.push_back(c.file);
    // Run-length files whose stream ends exactly where the picture does
    // (the others carry codes past their end that a cut may drop harmlessly).
    for (const RleCase& c : RleCases())
        if (c.name != "closing by rows" && c.name != "delta past the top")
            files.push_back(ti::WriteBmpRle8(c.width, c.height, RleTable(), c.stream));
    ti::DisplayAt display(16);
    for (const auto& file : files) {
        for (size_t cut = 0; cut < file.size(); ++cut) {
            ti::ExactCopy data(file.data(), cut);
            ti::ErrorLines errors;
            CQNDXBMPImageLoader loader;
            IDirectDrawSurface7* s = loader.Load(display.Get(), data.Size(), data.Data());
            std::vector<std::string> lines = errors.Take();
            EXPECT_EQ(nullptr, s) << "cut at " << cut << " of " << file.size();
            EXPECT_EQ(1u, lines.size()) << "cut at " << cut;
            if (s) s->Release();
        }
    }
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

TEST(BmpLoader, HostileHeaderValuesAreRefusedWithAnErrorLine) {
    ti::Indexed p = ti::IndexedPattern(6, 4, 8, 16);
    const std::vector<uint8_t> base = ti::WriteBmpIndexed(p, 8);
    struct Patch {
        const char* what;
        size_t at;
        int width;
        uint32_t value;
    } patches[] = {
        {"not BM", 0, 2, 0x4E42},
        {"core header", 14, 4, 12},
        {"header larger than the file", 14, 4, 5000},
        {"header size at the top of the range", 14, 4, 0xFFFFFFFF},
        {"zero width", 18, 4, 0},
        {"negative width", 18, 4, (uint32_t)-6},
        {"width past the cap", 18, 4, 16385},
        {"zero height", 22, 4, 0},
        {"height past the cap", 22, 4, 16385},
        {"most negative height", 22, 4, 0x80000000u},
        {"huge width, pixels past the end", 18, 4, 16384},
        {"2 bits", 28, 2, 2},
        {"0 bits", 28, 2, 0},
        {"64 bits", 28, 2, 64},
        {"bit fields", 30, 4, 3},
        {"JPEG compression", 30, 4, 4},
        {"colour table past the end", 46, 4, 0xFFFFFFFF},
        {"pixels past the end", 10, 4, 400},
        {"pixel offset at the top of the range", 10, 4, 0xFFFFFFF0u},
    };
    ti::DisplayAt display(32);
    for (const Patch& patch : patches) {
        std::vector<uint8_t> f = base;
        if (patch.width == 4)
            ti::PutLE32(f, patch.at, patch.value);
        else
            ti::PutLE16(f, patch.at, patch.value);
        ti::ExactCopy data(f);
        ti::ErrorLines errors;
        CQNDXBMPImageLoader loader;
        IDirectDrawSurface7* s = loader.Load(display.Get(), data.Size(), data.Data());
        EXPECT_EQ(nullptr, s) << patch.what;
        EXPECT_EQ(1u, errors.Take().size()) << patch.what;
        if (s) s->Release();
    }
    // Sides within the caps whose buffer passes 256 MiB.
    std::vector<uint8_t> big = ti::WriteBmpRgb(ti::Pattern(2, 2), 32);
    ti::PutLE32(big, 18, 16384);
    ti::PutLE32(big, 22, 16384);
    ti::ErrorLines errors;
    CQNDXBMPImageLoader loader;
    EXPECT_EQ(nullptr, loader.Load(display.Get(), (unsigned int)big.size(), big.data()));
    EXPECT_EQ(1u, errors.Take().size());
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

TEST(BmpLoader, RecognisesTheSignatureOnly) {
    CQNDXBMPImageLoader loader;
    const unsigned char bm[] = {'B', 'M', 0};
    const unsigned char other[] = {'M', 'B', 0};
    EXPECT_EQ(1, loader.CanLoad(bm, 3, bm, 3));
    EXPECT_EQ(1, loader.CanLoad(bm, 2, nullptr, 0));
    EXPECT_EQ(0, loader.CanLoad(bm, 1, bm, 1));
    EXPECT_EQ(0, loader.CanLoad(other, 3, other, 3));
    EXPECT_EQ(0, loader.CanLoad(nullptr, 0, nullptr, 0));
}

TEST(BmpLoader, PlatformFailuresGiveNoSurfaceAndAnErrorLine) {
    std::vector<uint8_t> file = ti::WriteBmpRgb(ti::Pattern(5, 5), 24);
    ti::DisplayAt display(32);
    for (const char* call : {"IDirectDraw7::CreateSurface", "IDirectDrawSurface7::GetDC", "StretchDIBits"}) {
        qndx::sim::FailNext(call, 1, E_FAIL);
        ti::ErrorLines errors;
        CQNDXBMPImageLoader loader;
        IDirectDrawSurface7* s = loader.Load(display.Get(), (unsigned int)file.size(), file.data());
        EXPECT_EQ(nullptr, s) << call;
        EXPECT_EQ(1u, errors.Take().size()) << call;
        EXPECT_EQ(0, qndx::sim::PendingFaults(call));
        EXPECT_EQ(0, qndx::sim::LiveSurfaceCount()) << call;
    }
    ti::ErrorLines errors;
    CQNDXBMPImageLoader loader;
    EXPECT_EQ(nullptr, loader.Load(nullptr, (unsigned int)file.size(), file.data()));
    EXPECT_EQ(1u, errors.Take().size());
}

}  // namespace
