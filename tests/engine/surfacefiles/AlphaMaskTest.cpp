// Alpha-mask files: a file of the surface's size loads byte for byte; the
// sizes in a file are only ever compared with the surface's, never trusted;
// a file whose data ends early loads with the rest opaque and one warning;
// empty, cut-header and hostile files leave the surface without a mask; an
// existing mask is never replaced by a load.
#include <algorithm>

#include "GameManager.h"
#include "LogEngine/Log.h"
#include "SurfaceFilesTestSupport.h"
#include "SystemMessager.h"
#include "platform/sim/Kernel.h"
#include "support/ChildProgram.h"

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
    WriteAll(dir / "mask.alpha", file);
    EXPECT_EQ(1, s->LoadAlphaMask((dir / "mask.alpha").c_str()));
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
    WriteAll(dir / "mask.alpha", file);
    EXPECT_EQ(1, s->LoadAlphaMask((dir.path() + "\\mask.alpha").c_str()));
    EXPECT_EQ(0, std::memcmp(s->GetAlphaMask(), file.data() + 8, 30));
}

TEST_F(AlphaMask, AnExistingMaskIsKept) {
    unsigned char* own = new unsigned char[30]();
    s->SetAlphaMask(own);
    WriteAll(dir / "mask.alpha", MaskFile(6, 5, 30, 9));
    EXPECT_EQ(0, s->LoadAlphaMask((dir / "mask.alpha").c_str()));
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
    };
    for (const Case& c : cases) {
        WriteAll(dir / "bad.alpha", c.bytes);
        EXPECT_EQ(0, s->LoadAlphaMask((dir / "bad.alpha").c_str())) << c.what;
        EXPECT_EQ(nullptr, s->GetAlphaMask()) << c.what;
    }
}

class WarningLog : public CQNDXLog {
public:
    int OnMessage(const char* msg, int type, int) override {
        lines.push_back(std::to_string(type) + " " + msg);
        return 0;
    }
    std::vector<std::string> lines;
};

// The warning goes through the game manager, a process singleton: the test
// runs in a forked child.
TEST(AlphaMaskShortFile, MissingBytesAreOpaqueWithOneWarning) {
    qndx::test::TempDir dir("qndx-surfacefiles");
    ASSERT_FALSE(dir.path().empty());
    // Checks each length of mask data with the log registered; the first
    // failure, or null.
    auto check = [&dir](CQNDXVideoEngine* ve, WarningLog& log) -> const char* {
        for (size_t dataBytes : {size_t(0), size_t(1), size_t(17), size_t(29), size_t(30)}) {
            const std::vector<BYTE> file = MaskFile(6, 5, dataBytes, 11);
            WriteAll(dir / "short.alpha", file);
            CQNDXSurface s;
            if (s.Create(ve, 6, 5) != 0) return "surface";
            log.lines.clear();
            if (s.LoadAlphaMask((dir / "short.alpha").c_str()) != 1) return "not loaded";
            const unsigned char* mask = s.GetAlphaMask();
            if (!mask) return "no mask";
            for (size_t i = 0; i < 30; ++i)
                if (mask[i] != (i < dataBytes ? file[8 + i] : 255)) return "mask bytes";
            const bool whole = dataBytes == 30;
            if (log.lines.size() != (whole ? 0u : 1u)) return "one log line for a short file, none otherwise";
            if (!whole && log.lines[0].rfind("2 CQNDXSurface::LoadAlphaMask: the mask is short", 0) != 0)
                return "the line is a warning about the short mask";
        }
        return nullptr;
    };
    auto body = [&dir, &check]() -> const char* {
        if (chdir(dir.path().c_str()) != 0) return "chdir";
        qndx::sim::SetCommandLine("game.exe");
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        if (!gm || !gm->GetVideoEngine()) return "no engine";
        CQNDXVideoEngine* ve = gm->GetVideoEngine();
        if (ve->GetDirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL) != DD_OK) return "cooperative level";
        WarningLog log;
        gm->GetMessenger()->Register(&log, 1, 1, 1, 1);
        const char* failed = check(ve, log);
        gm->GetMessenger()->Unregister(&log);
        return failed;
    };
    QNDX_IN_CHILD({
        const char* failed = body();
        QNDX_CHILD_CHECK(!failed) << failed;
    });
}

TEST_F(AlphaMask, NamesThatOpenNothing) {
    EXPECT_EQ(0, s->LoadAlphaMask(nullptr));
    EXPECT_EQ(0, s->LoadAlphaMask((dir / "missing.alpha").c_str()));
    EXPECT_EQ(0, s->LoadAlphaMask("C:\\masks\\a.alpha"));
    EXPECT_EQ(0, s->LoadAlphaMask(dir.path().c_str()));  // a directory
    EXPECT_EQ(nullptr, s->GetAlphaMask());
    // A surface without pixels has no size a mask could match.
    CQNDXSurface empty;
    WriteAll(dir / "zero.alpha", MaskFile(0, 0, 0));
    EXPECT_EQ(0, empty.LoadAlphaMask((dir / "zero.alpha").c_str()));
    EXPECT_EQ(nullptr, empty.GetAlphaMask());
}

}  // namespace
}  // namespace qndx_test
