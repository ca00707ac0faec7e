// Alpha-mask files: a file of the surface's size loads byte for byte; the
// sizes in a file are only ever compared with the surface's, never trusted;
// short, empty and hostile files leave the surface without a mask; an
// existing mask is never replaced by a load.
#include "SurfaceFilesTestSupport.h"

namespace qndx_test {
namespace {

std::vector<BYTE> MaskFile(uint32_t w, uint32_t h, size_t dataBytes, BYTE seed = 0) {
    std::vector<BYTE> f(8 + dataBytes);
    for (int i = 0; i < 4; ++i) {
        f[i] = static_cast<BYTE>(w >> (8 * i));
        f[4 + i] = static_cast<BYTE>(h >> (8 * i));
    }
    for (size_t i = 0; i < dataBytes; ++i) f[8 + i] = static_cast<BYTE>(seed + i * 7);
    return f;
}

class AlphaMask : public FilesTest {
protected:
    void SetUp() override {
        FilesTest::SetUp();
        StartEngine(16);
        s = NewSurface(6, 5);
    }
    void TearDown() override {
        delete s;
        FilesTest::TearDown();
    }
    CQNDXSurface* s = nullptr;
};

TEST_F(AlphaMask, AFileOfTheSurfacesSizeLoadsRowsTopToBottom) {
    const std::vector<BYTE> file = MaskFile(6, 5, 30, 3);
    WriteAll(dir.File("mask.alpha"), file);
    EXPECT_EQ(1, s->LoadAlphaMask(dir.File("mask.alpha").c_str()));
    ASSERT_NE(nullptr, s->GetAlphaMask());
    EXPECT_EQ(0, std::memcmp(s->GetAlphaMask(), file.data() + 8, 30));
    // The mask goes with the surface into its copy.
    CQNDXSurface copy(*s);
    ASSERT_NE(nullptr, copy.GetAlphaMask());
    EXPECT_NE(s->GetAlphaMask(), copy.GetAlphaMask());
    EXPECT_EQ(0, std::memcmp(copy.GetAlphaMask(), file.data() + 8, 30));
}

TEST_F(AlphaMask, EnginePathsAndTrailingBytes) {
    // Bytes after the mask are not part of it and do no harm.
    std::vector<BYTE> file = MaskFile(6, 5, 40);
    WriteAll(dir.File("mask.alpha"), file);
    EXPECT_EQ(1, s->LoadAlphaMask((dir.path + "\\mask.alpha").c_str()));
    EXPECT_EQ(0, std::memcmp(s->GetAlphaMask(), file.data() + 8, 30));
}

TEST_F(AlphaMask, AnExistingMaskIsKept) {
    unsigned char* own = new unsigned char[30]();
    s->SetAlphaMask(own);
    WriteAll(dir.File("mask.alpha"), MaskFile(6, 5, 30, 9));
    EXPECT_EQ(0, s->LoadAlphaMask(dir.File("mask.alpha").c_str()));
    EXPECT_EQ(own, s->GetAlphaMask());
    EXPECT_EQ(0, own[0]);
}

TEST_F(AlphaMask, FilesThatDoNotFitAreRefused) {
    struct Case {
        const char* what;
        std::vector<BYTE> bytes;
    };
    std::vector<Case> cases = {
        {"width differs", MaskFile(5, 5, 25)},
        {"height differs", MaskFile(6, 6, 36)},
        {"sizes swapped", MaskFile(5, 6, 30)},
        {"hostile sizes", MaskFile(0xFFFFFFFFu, 0xFFFFFFFFu, 30)},
        {"width with a high bit set", MaskFile(0x80000006u, 5, 30)},
        {"empty file", {}},
        {"header cut short", std::vector<BYTE>{6, 0, 0, 0, 5}},
        {"header only", MaskFile(6, 5, 0)},
        {"data one byte short", MaskFile(6, 5, 29)},
    };
    for (const Case& c : cases) {
        WriteAll(dir.File("bad.alpha"), c.bytes);
        EXPECT_EQ(0, s->LoadAlphaMask(dir.File("bad.alpha").c_str())) << c.what;
        EXPECT_EQ(nullptr, s->GetAlphaMask()) << c.what;
    }
}

TEST_F(AlphaMask, NamesThatOpenNothing) {
    EXPECT_EQ(0, s->LoadAlphaMask(nullptr));
    EXPECT_EQ(0, s->LoadAlphaMask(dir.File("missing.alpha").c_str()));
    EXPECT_EQ(0, s->LoadAlphaMask("C:\\masks\\a.alpha"));
    EXPECT_EQ(0, s->LoadAlphaMask(dir.path.c_str()));  // a directory
    EXPECT_EQ(nullptr, s->GetAlphaMask());
    // A surface without pixels has no size a mask could match.
    CQNDXSurface empty;
    WriteAll(dir.File("zero.alpha"), MaskFile(0, 0, 0));
    EXPECT_EQ(0, empty.LoadAlphaMask(dir.File("zero.alpha").c_str()));
    EXPECT_EQ(nullptr, empty.GetAlphaMask());
}

}  // namespace
}  // namespace qndx_test
