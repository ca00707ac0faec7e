// Saving surfaces as 24-bit BMP files: the file layout (headers, padding,
// bottom-up rows), each pixel kind's conversion on random pixels with odd
// widths and padded pitches, 8-bit surfaces through the display's palette,
// and every failure code, with what the file holds afterwards.
#include <sys/resource.h>

#include <csignal>
#include <random>

#include "SurfaceFilesTestSupport.h"

namespace qndx_test {
namespace {

// The three bytes (blue, green, red) a native pixel should become.
void ExpectedTriple(int kind, DWORD v, BYTE out[3]) {
    switch (kind) {
    case 15:
        out[0] = static_cast<BYTE>((v & 0x1F) * 8);
        out[1] = static_cast<BYTE>(((v >> 5) & 0x1F) * 8);
        out[2] = static_cast<BYTE>(((v >> 10) & 0x1F) * 8);
        break;
    case 16:
        out[0] = static_cast<BYTE>((v & 0x1F) * 8);
        out[1] = static_cast<BYTE>(((v >> 5) & 0x3F) * 4);
        out[2] = static_cast<BYTE>(((v >> 11) & 0x1F) * 8);
        break;
    default:
        out[0] = static_cast<BYTE>(v);
        out[1] = static_cast<BYTE>(v >> 8);
        out[2] = static_cast<BYTE>(v >> 16);
        break;
    }
}

class SaveBmp : public FilesTest {};

class SaveBmpKinds : public FilesTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        FilesTest::SetUp();
        StartEngine(GetParam());
    }
};

TEST_P(SaveBmpKinds, RandomPixelsConvertRowByRowBottomUp) {
    std::mt19937 rng(0x5A7E + GetParam());
    // Odd widths give every padding amount; a wide pitch alignment keeps the
    // surface's own row padding out of the file.
    for (int width : {1, 2, 3, 5, 13}) {
        qndx::sim::SetPitchAlignment(width == 13 ? 64 : 4);
        CQNDXSurface* s = NewSurface(width, 7);
        FillRandom(s->GetDDSurface(), rng);
        const Snapshot snap = Take(s->GetDDSurface());
        const std::string path = dir / "random.bmp";
        ASSERT_EQ(1, s->SaveBMP(path.c_str()));
        const std::vector<BYTE> file = ReadAll(path);
        const size_t row = (3u * width + 3u) & ~3u;
        ASSERT_EQ(54 + row * 7, file.size()) << "width " << width;
        int reported = 0;
        for (int y = 0; y < 7; ++y) {
            const BYTE* fileRow = &file[54 + row * static_cast<size_t>(6 - y)];
            for (int x = 0; x < width; ++x) {
                BYTE want[3];
                ExpectedTriple(GetParam(), snap.At(x, y), want);
                if (std::memcmp(want, fileRow + 3 * x, 3) != 0 && reported++ < 5)
                    ADD_FAILURE() << "width " << width << ": pixel (" << x << ", " << y << ") native 0x" << std::hex
                                  << snap.At(x, y);
            }
            for (size_t b = 3u * width; b < row; ++b) EXPECT_EQ(0, fileRow[b]) << "padding of row " << y;
        }
        EXPECT_EQ(0u, s->GetLockCount());
        delete s;
    }
}

TEST_P(SaveBmpKinds, WhiteAndKnownValues) {
    CQNDXSurface* s = NewSurface(2, 1);
    const int kind = GetParam();
    Poke(s->GetDDSurface(), 0, 0, kind == 15 ? 0x7FFF : kind == 16 ? 0xFFFF : 0xAB112233);
    Poke(s->GetDDSurface(), 1, 0, kind == 15 ? 0x8000 : kind == 16 ? 0x0821 : 0x00000000);
    const std::string path = dir / "known.bmp";
    ASSERT_EQ(1, s->SaveBMP(path.c_str()));
    const std::vector<BYTE> file = ReadAll(path);
    ASSERT_EQ(62u, file.size());
    std::vector<BYTE> pixels(file.begin() + 54, file.begin() + 60);
    if (kind == 15)  // white is F8 F8 F8; bit 15 alone is no colour
        EXPECT_EQ((std::vector<BYTE>{0xF8, 0xF8, 0xF8, 0, 0, 0}), pixels);
    else if (kind == 16)  // the low bits are not filled from the high ones
        EXPECT_EQ((std::vector<BYTE>{0xF8, 0xFC, 0xF8, 0x08, 0x04, 0x08}), pixels);
    else  // 0x..112233 gives 33 22 11 whatever byte 3 holds
        EXPECT_EQ((std::vector<BYTE>{0x33, 0x22, 0x11, 0, 0, 0}), pixels);
    delete s;
}

INSTANTIATE_TEST_SUITE_P(AllKinds, SaveBmpKinds, ::testing::Values(15, 16, 24, 32),
                         [](const ::testing::TestParamInfo<int>& info) { return "Bpp" + std::to_string(info.param); });

TEST_F(SaveBmp, HeadersOfAThreeByTwoAndAFourByOneSurface) {
    StartEngine(32);
    CQNDXSurface* s = NewSurface(3, 2);
    for (int x = 0; x < 3; ++x) {
        Poke(s->GetDDSurface(), x, 0, 0x000010u * (x + 1));  // top row: blue
        Poke(s->GetDDSurface(), x, 1, 0x100000u * (x + 1));  // bottom row: red
    }
    const std::string path = dir / "three.bmp";
    ASSERT_EQ(1, s->SaveBMP(path.c_str()));
    const std::vector<BYTE> f = ReadAll(path);
    ASSERT_EQ(78u, f.size());
    EXPECT_EQ('B', f[0]);
    EXPECT_EQ('M', f[1]);
    EXPECT_EQ(78u, Le32(f, 2));
    EXPECT_EQ(0u, Le16(f, 6));
    EXPECT_EQ(0u, Le16(f, 8));
    EXPECT_EQ(54u, Le32(f, 10));
    EXPECT_EQ(40u, Le32(f, 14));
    EXPECT_EQ(3u, Le32(f, 18));
    EXPECT_EQ(2u, Le32(f, 22));
    EXPECT_EQ(1u, Le16(f, 26));
    EXPECT_EQ(24u, Le16(f, 28));
    EXPECT_EQ(0u, Le32(f, 30));
    EXPECT_EQ(0u, Le32(f, 34));
    EXPECT_EQ(10000u, Le32(f, 38));
    EXPECT_EQ(10000u, Le32(f, 42));
    EXPECT_EQ(0u, Le32(f, 46));
    EXPECT_EQ(0u, Le32(f, 50));
    // The bottom (red) row comes first, each row 9 bytes and 3 of padding.
    const std::vector<BYTE> first(f.begin() + 54, f.begin() + 66);
    EXPECT_EQ((std::vector<BYTE>{0, 0, 0x10, 0, 0, 0x20, 0, 0, 0x30, 0, 0, 0}), first);
    const std::vector<BYTE> second(f.begin() + 66, f.end());
    EXPECT_EQ((std::vector<BYTE>{0x10, 0, 0, 0x20, 0, 0, 0x30, 0, 0, 0, 0, 0}), second);
    delete s;

    CQNDXSurface* line = NewSurface(4, 1);
    ASSERT_EQ(1, line->SaveBMP((dir / "four.bmp").c_str()));
    const std::vector<BYTE> g = ReadAll(dir / "four.bmp");
    EXPECT_EQ(66u, g.size());
    EXPECT_EQ(66u, Le32(g, 2));
    delete line;
}

TEST_F(SaveBmp, ReplacesAnExistingFileAndTranslatesThePath) {
    StartEngine(16);
    const std::string path = dir / "old.bmp";
    WriteAll(path, std::vector<BYTE>(5000, 0xEE));
    CQNDXSurface* s = NewSurface(4, 1);
    // Engine paths keep their backslashes.
    std::string enginePath = dir.path() + "\\old.bmp";
    ASSERT_EQ(1, s->SaveBMP(enginePath.c_str()));
    EXPECT_EQ(66u, ReadAll(path).size());
    delete s;
}

TEST_F(SaveBmp, RefusalsBeforeAndAfterTheFileIsMade) {
    StartEngine(32);
    CQNDXSurface* s = NewSurface(4, 4);
    EXPECT_EQ(-1, s->SaveBMP(nullptr));
    EXPECT_EQ(-2, s->SaveBMP(dir.path().c_str()));       // a directory
    EXPECT_EQ(-2, s->SaveBMP("C:\\sshots\\a.bmp"));    // a drive names nothing here
    EXPECT_EQ(-2, s->SaveBMP((dir.path() + "/missing/a.bmp").c_str()));
    qndx::sim::FailNext("CreateFileA", 1, 0);
    EXPECT_EQ(-2, s->SaveBMP((dir / "x.bmp").c_str()));

    // Locks refused: -3, and the file holds the headers at most.
    qndx::sim::FailNext("IDirectDrawSurface7::Lock", 2, DDERR_SURFACEBUSY);
    const std::string path = dir / "locked.bmp";
    EXPECT_EQ(-3, s->SaveBMP(path.c_str()));
    EXPECT_LE(ReadAll(path).size(), 54u);
    EXPECT_EQ(0u, s->GetLockCount());

    // A surface with nothing behind it cannot be locked either.
    CQNDXSurface empty;
    EXPECT_EQ(-3, empty.SaveBMP((dir / "empty.bmp").c_str()));
    delete s;
}

TEST_F(SaveBmp, AWriteThatFailsIsNotReportedAsWritten) {
    StartEngine(32);
    CQNDXSurface* s = NewSurface(8, 8);
    qndx::sim::FailNext("WriteFile", 1, 0);
    EXPECT_EQ(-2, s->SaveBMP((dir / "a.bmp").c_str()));
    // The pixel write failing (second WriteFile) counts too.
    struct rlimit old;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old));
    void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 100;  // room for the headers, not the pixels
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    const int result = s->SaveBMP((dir / "b.bmp").c_str());
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(-2, result);
    EXPECT_EQ(0u, s->GetLockCount());
    delete s;
}

TEST_F(SaveBmp, KeepsTheCallersLockAndLeavesPixelsAlone) {
    StartEngine(24);
    CQNDXSurface* s = NewSurface(5, 3);
    std::mt19937 rng(7);
    FillRandom(s->GetDDSurface(), rng);
    const Snapshot before = Take(s->GetDDSurface());
    ASSERT_EQ(1, s->Lock());
    EXPECT_EQ(1, s->SaveBMP((dir / "locked.bmp").c_str()));
    EXPECT_EQ(1u, s->GetLockCount());
    EXPECT_EQ(0, s->Unlock());
    EXPECT_EQ(before.bytes, Take(s->GetDDSurface()).bytes);
    delete s;
}

// ----------------------------------------------------------------- 8-bit

class SaveBmpIndexed : public FilesTest {
protected:
    void SetUp() override {
        FilesTest::SetUp();
        StartEngine(32);
        indexed = new TestSurface(MakeIndexedSurface(engine->GetDirectDraw(), 5, 2));
        indexed->SetSize(5, 2);
        indexed->SetEngine(engine);
        for (int i = 0; i < 256; ++i)
            entries[i] = PALETTEENTRY{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i ^ 0x5A), 0};
        entries[5] = PALETTEENTRY{10, 20, 30, 0};
    }
    void TearDown() override {
        delete indexed;
        FilesTest::TearDown();
    }
    // A front surface holding a palette of `entries` (or none).
    void InstallFront(bool withPalette) {
        IDirectDrawSurface7* raw = MakePlainSurface(engine->GetDirectDraw(), 4, 4);
        if (withPalette) {
            IDirectDrawPalette* palette = nullptr;
            ASSERT_EQ(DD_OK, engine->GetDirectDraw()->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries,
                                                                    &palette, nullptr));
            ASSERT_EQ(DD_OK, raw->SetPalette(palette));
            palette->Release();
        }
        engine->SetFrontSurface(engine->Wrap(raw, QNDX_SURFACE_FRONT, 4, 4));
    }

    TestSurface* indexed = nullptr;
    PALETTEENTRY entries[256];
};

TEST_F(SaveBmpIndexed, IndicesTakeTheDisplaysPaletteColours) {
    InstallFront(true);
    for (int x = 0; x < 5; ++x) {
        Poke(indexed->GetDDSurface(), x, 0, 5);
        Poke(indexed->GetDDSurface(), x, 1, static_cast<DWORD>(200 + x));
    }
    const std::string path = dir / "indexed.bmp";
    ASSERT_EQ(1, indexed->SaveBMP(path.c_str()));
    const std::vector<BYTE> f = ReadAll(path);
    ASSERT_EQ(54u + 16u * 2u, f.size());
    EXPECT_EQ(24u, Le16(f, 28));
    // Bottom row first: indices 200..204.
    for (int x = 0; x < 5; ++x) {
        const PALETTEENTRY& e = entries[200 + x];
        EXPECT_EQ(e.peBlue, f[54 + 3 * x]);
        EXPECT_EQ(e.peGreen, f[54 + 3 * x + 1]);
        EXPECT_EQ(e.peRed, f[54 + 3 * x + 2]);
    }
    // Index 5 is red 10, green 20, blue 30: saved as 30, 20, 10.
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(30, f[70 + 3 * x]);
        EXPECT_EQ(20, f[70 + 3 * x + 1]);
        EXPECT_EQ(10, f[70 + 3 * x + 2]);
    }
    EXPECT_EQ(0, f[69]);
}

TEST_F(SaveBmpIndexed, PaletteAndLockFailures) {
    EXPECT_EQ(-4, indexed->SaveBMP((dir / "nofront.bmp").c_str()));
    InstallFront(false);
    EXPECT_EQ(-5, indexed->SaveBMP((dir / "nopalette.bmp").c_str()));
    delete engine->GetFrontSurface();
    engine->SetFrontSurface(nullptr);
    InstallFront(true);
    qndx::sim::FailNext("IDirectDrawSurface7::GetPalette", 1, DDERR_NOPALETTEATTACHED);
    EXPECT_EQ(-5, indexed->SaveBMP((dir / "nopalette2.bmp").c_str()));
    qndx::sim::FailNext("IDirectDrawSurface7::Lock", 2, DDERR_SURFACEBUSY);
    const std::string path = dir / "nolock.bmp";
    EXPECT_EQ(-6, indexed->SaveBMP(path.c_str()));
    EXPECT_LE(ReadAll(path).size(), 54u);
    EXPECT_EQ(1, indexed->SaveBMP(path.c_str()));
}

}  // namespace
}  // namespace qndx_test
