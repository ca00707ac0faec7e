// The statistics overlay on an engine without a game manager: the exact line
// texts, the frames-per-second counting on the fake clock, the darkened box
// (84 rows high with the frames line, 70 without), and a present without a
// display failing instead of drawing through nothing.
#define QNDX_ALLOCATION_COUNTER_DEFINE
#include "support/AllocationCounter.h"

#include "DisplayTestSupport.h"

#include "GraphicEngine/Font.h"
#include "GraphicEngine/SurfaceManager.h"
#include "platform/sim/Clock.h"

namespace display_test {
namespace {

class OverlayTest : public DisplayTest {
protected:
    void Lines(char lines[7][32], char fps[32]) { engine->FormatOverlay(lines, fps); }
};

TEST_F(OverlayTest, LinesBeforeADisplayExists) {
    Start();
    char lines[7][32];
    char fps[32];
    Lines(lines, fps);
    EXPECT_STREQ("QNDX Version: 0.57  build 1", lines[0]);
    EXPECT_STREQ("Video Mode: 0x0x0", lines[1]);
    char expect[64];
    std::snprintf(expect, sizeof expect, "Free VMem: %d KB", static_cast<int>(engine->GetFreeVideoMemory() >> 10));
    EXPECT_STREQ(expect, lines[2]);
    std::snprintf(expect, sizeof expect, "Total VMem: %d KB", static_cast<int>(engine->GetTotalVideoMemory() >> 10));
    EXPECT_STREQ(expect, lines[3]);
    EXPECT_STREQ("HTC support: Yes", lines[4]) << "the engine's timer runs on the performance counter";
    // No game manager: no processor features to name.
    EXPECT_STREQ("CPU Ext:   ", lines[5]);
    EXPECT_STREQ("", lines[6]) << "no cache yet: the surfaces line stays empty";
    EXPECT_STREQ("FPS = 0", fps);
}

TEST_F(OverlayTest, LinesOfAWindowedDisplay) {
    Start(16);
    qndx::sim::SetVideoMemoryBudget(8u << 20);
    ASSERT_EQ(0, engine->CreateWindowed(800, 600, 0));
    CQNDXSurface a, b;
    ASSERT_EQ(0, a.Create(engine, 8, 8));
    ASSERT_EQ(0, b.Create(engine, 8, 8));
    ASSERT_EQ(0, engine->GetCache()->Cache(&a));
    char lines[7][32];
    char fps[32];
    Lines(lines, fps);
    EXPECT_STREQ("Video Mode: 800x600x16", lines[1]);
    EXPECT_STREQ("Total VMem: 8192 KB", lines[3]);
    char expect[64];
    std::snprintf(expect, sizeof expect, "Free VMem: %d KB",
                  static_cast<int>((engine->GetTotalVideoMemory() - qndx::sim::VideoMemoryUsed()) >> 10));
    EXPECT_STREQ(expect, lines[2]);
    // The cursor's image is a registered surface too.
    std::snprintf(expect, sizeof expect, "Sur: %d  Cache: 1 Max: 256", engine->GetSurfaceManager()->GetCount());
    EXPECT_STREQ(expect, lines[6]);
    EXPECT_GE(engine->GetSurfaceManager()->GetCount(), 2);
}

TEST_F(OverlayTest, FramesPerSecondChangeOnlyAfterMoreThanASecond) {
    qndx::sim::EnableFakeClock(true);
    Start();
    ASSERT_EQ(0, engine->CreateWindowed(320, 240, 0));
    // Waiting for the retrace would move the fake clock.
    engine->SetWaitForVSync(false);
    // The windowed present has no window to go to here; the overlay and the
    // counting happen before that.
    for (int i = 0; i < 60; ++i) engine->Flip();
    EXPECT_EQ(60, engine->FrameCount());
    EXPECT_EQ(0, engine->FPS());

    qndx::sim::SetFakeTimeMs(1000);
    engine->Flip();
    EXPECT_EQ(0, engine->FPS()) << "exactly one second does not update";
    EXPECT_EQ(61, engine->FrameCount());
}

TEST_F(OverlayTest, SixtyFramesInOnePointZeroOneSecondsGiveFiftyNine) {
    qndx::sim::EnableFakeClock(true);
    Start();
    ASSERT_EQ(0, engine->CreateWindowed(320, 240, 0));
    engine->SetWaitForVSync(false);
    for (int i = 0; i < 60; ++i) engine->Flip();
    qndx::sim::SetFakeTimeMs(1010);
    engine->Flip();
    EXPECT_EQ(59, engine->FPS());
    EXPECT_EQ(1, engine->FrameCount()) << "the counter restarts and counts this frame";
    char lines[7][32];
    char fps[32];
    Lines(lines, fps);
    EXPECT_STREQ("FPS = 59", fps);
}

// Rows of column 6 (inside the box, left of the text) that the present
// darkened on an all-white back buffer.
int DarkenedRows(Engine* engine) {
    CQNDXSurface* back = engine->GetBackBuffer();
    back->Clear(back->RGBToNative(RGB(255, 255, 255)));
    engine->Flip();
    Pixels p = Read(back->GetDDSurface());
    const uint32_t white = back->RGBToNative(RGB(255, 255, 255));
    int rows = 0;
    for (int y = 0; y < 120; ++y)
        if (p.At(6, y) != white) ++rows;
    EXPECT_NE(white, p.At(6, 2)) << "the box starts at row 2";
    EXPECT_EQ(white, p.At(6, 1));
    EXPECT_EQ(white, p.At(4, 10)) << "and at column 5";
    return rows;
}

TEST_F(OverlayTest, BoxIsEightyFourRowsWithTheFramesLineAndSeventyWithout) {
    Start();
    ASSERT_EQ(0, engine->CreateWindowed(320, 240, 0));
    ASSERT_EQ(1, engine->ShowsStatistics());
    EXPECT_EQ(84, DarkenedRows(engine));
    engine->ShowStatistics(false);
    EXPECT_EQ(70, DarkenedRows(engine));
}

TEST_F(OverlayTest, BoxIsAsWideAsTheWidestLinePlusEight) {
    Start();
    ASSERT_EQ(0, engine->CreateWindowed(400, 240, 0));
    CQNDXSurface* back = engine->GetBackBuffer();
    char lines[7][32];
    char fps[32];
    Lines(lines, fps);
    int widest = 0;
    for (int i = 0; i < 7; ++i) {
        SIZE s = {0, 0};
        ASSERT_TRUE(engine->GetDefaultFont()->GetTextExtent(back, lines[i], -1, &s));
        widest = std::max<int>(widest, s.cx);
    }
    ASSERT_GT(widest, 50);
    const uint32_t white = back->RGBToNative(RGB(255, 255, 255));
    back->Clear(white);
    engine->Flip();
    Pixels p = Read(back->GetDDSurface());
    // Row 80 lies below the seven lines, beside the frames line's start.
    EXPECT_NE(white, p.At(5 + widest + 8 - 1, 3));
    EXPECT_EQ(white, p.At(5 + widest + 8 + 2, 3));
}

TEST_F(OverlayTest, ASourceLargerThanAllVideoMemoryIsNeitherCopiedNorMakesRoomAtEveryPresent) {
    // A big glyph sheet blitted onto the back buffer each frame, with a
    // 3 MB budget: its copy can never fit, so no frame allocates one or
    // evicts the copies that do fit.
    Start(16);
    qndx::sim::SetVideoMemoryBudget(3u << 20);
    ASSERT_EQ(0, engine->CreateWindowed(320, 240, 0));
    engine->SetWaitForVSync(false);
    engine->ShowStatistics(true);
    CQNDXSurface small, sheet;
    ASSERT_EQ(0, small.Create(engine, 8, 8));
    ASSERT_EQ(0, sheet.Create(engine, 1819, 2604));
    ASSERT_EQ(0, engine->GetCache()->Cache(&small));
    const uint64_t sheetBytes = 1819ull * 2604 * 2;
    CQNDXSurface* back = engine->GetBackBuffer();
    ASSERT_NE(nullptr, back);
    qndx::sim::EnableJournal(true);
    uint64_t largest = 0;
    for (int frame = 0; frame < 3; ++frame) {
        qndx_test::AllocationCounter counter;
        RECT glyph = {1000, 2000, 1040, 2060};
        ASSERT_EQ(0, sheet.Blit(back, 10, 10, &glyph, 1));
        engine->Flip();  // no window to show it in here; the overlay is drawn before that
        largest = std::max(largest, counter.Largest());
    }
    EXPECT_LT(largest, sheetBytes / 4) << "a frame allocated room for the sheet";
    EXPECT_EQ(1, engine->GetCache()->IsCached(&small)) << "a copy that fits was evicted";
    EXPECT_EQ(0, engine->GetCache()->IsCached(&sheet));
    // One refused request a frame, not one more after each eviction.
    EXPECT_EQ(3, qndx::sim::JournalCount("IDirectDraw7::CreateSurface(0x7 0x4040 1819x2604)"));
}

TEST_F(OverlayTest, PresentWithoutADisplayFails) {
    Start();
    EXPECT_LT(engine->Flip(), 0);
}

}  // namespace
}  // namespace display_test
