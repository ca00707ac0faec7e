// Windowed display creation on an engine without a game manager: the result
// codes with the sim panel's failures, memory modes, the engine surfaces'
// IDs and sizes, that every failure leaves nothing behind so a later
// creation works, the third surface, and restoring lost engine surfaces.
#include "DisplayTestSupport.h"

namespace display_test {
namespace {

int EngineSurfaceCount(CQNDXVideoEngine* e) {
    return (e->GetFrontSurface() ? 1 : 0) + (e->GetBackBuffer() ? 1 : 0) + (e->GetThirdSurface() ? 1 : 0);
}

DWORD CapsOf(CQNDXSurface* s) {
    DDSCAPS2 caps{};
    EXPECT_EQ(DD_OK, s->GetDDSurface()->GetCaps(&caps));
    return caps.dwCaps;
}

// ---- result codes -----------------------------------------------------------

TEST_F(DisplayTest, EightBitDesktopIsRefused) {
    Start(8);
    EXPECT_EQ(-1, engine->CreateWindowed(640, 480, 0));
    EXPECT_EQ(0, EngineSurfaceCount(engine));
}

TEST_F(DisplayTest, NoDirectDrawObjectGivesMinusTwo) {
    Start();
    engine->DropDirectDraw();
    EXPECT_EQ(QNDX_VE_NO_DIRECTDRAW, engine->CreateWindowed(640, 480, 0));
    EXPECT_EQ(QNDX_VE_NO_DIRECTDRAW, engine->CreateFullScreen(640, 480, 32, 0, 0));
}

TEST_F(DisplayTest, ASecondCreationIsRefusedWhileADisplayExists) {
    Start();
    ASSERT_EQ(0, engine->CreateWindowed(640, 480, 0));
    CQNDXSurface* front = engine->GetFrontSurface();
    EXPECT_EQ(QNDX_VE_DISPLAY_EXISTS, engine->CreateWindowed(800, 600, 0));
    EXPECT_EQ(front, engine->GetFrontSurface());
    EXPECT_EQ(640, engine->GetWidth());
}

TEST_F(DisplayTest, CooperativeLevelFailureGivesMinusFour) {
    Start();
    qndx::sim::FailNext("IDirectDraw7::SetCooperativeLevel", 1, DDERR_GENERIC);
    EXPECT_EQ(QNDX_VE_COOPERATIVE_LEVEL, engine->CreateWindowed(640, 480, 0));
    EXPECT_EQ(0, EngineSurfaceCount(engine));
    EXPECT_EQ(0, engine->CreateWindowed(640, 480, 0));
}

TEST_F(DisplayTest, PrimaryFailureGivesMinusFiveAndLeavesNothing) {
    Start();
    qndx::sim::FailNext("IDirectDraw7::CreateSurface", 1, DDERR_OUTOFMEMORY);
    EXPECT_EQ(QNDX_VE_NO_PRIMARY, engine->CreateWindowed(640, 480, 0));
    EXPECT_EQ(0, EngineSurfaceCount(engine));
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
    EXPECT_EQ(0, engine->CreateWindowed(640, 480, 0));
}

TEST_F(DisplayTest, BackBufferFailureGivesMinusSixAndLeavesNothing) {
    Start();
    // The primary (the desktop) does not count against video memory; a
    // 640 x 480 back buffer does not fit.
    qndx::sim::SetVideoMemoryBudget(64 * 1024);
    EXPECT_EQ(QNDX_VE_NO_BACKBUFFER, engine->CreateWindowed(640, 480, 1));
    EXPECT_EQ(0, EngineSurfaceCount(engine));
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

TEST_F(DisplayTest, SystemMemoryFallbackWhenVideoMemoryIsShort) {
    Start();
    qndx::sim::SetVideoMemoryBudget(64 * 1024);
    ASSERT_EQ(0, engine->CreateWindowed(640, 480, 0));
    ASSERT_NE(nullptr, engine->GetBackBuffer());
    EXPECT_EQ(QNDX_SURFACE_BACK, engine->GetBackBuffer()->GetID());
    EXPECT_EQ(0, engine->GetBackBufferHwFlag());
    EXPECT_TRUE(CapsOf(engine->GetBackBuffer()) & DDSCAPS_SYSTEMMEMORY);
}

TEST_F(DisplayTest, MemoryModesSetTheBackBufferFlag) {
    Start();
    ASSERT_EQ(0, engine->CreateWindowed(320, 200, 0));
    EXPECT_EQ(1, engine->GetBackBufferHwFlag());
    EXPECT_TRUE(CapsOf(engine->GetBackBuffer()) & DDSCAPS_VIDEOMEMORY);
    CQNDXVideoEngine::Destroy();

    engine = Engine::Install();
    ASSERT_EQ(0, engine->CreateWindowed(320, 200, 2));
    // Mode 2 makes a system-memory buffer yet sets the flag: a quirk callers see.
    EXPECT_EQ(1, engine->GetBackBufferHwFlag());
    EXPECT_TRUE(CapsOf(engine->GetBackBuffer()) & DDSCAPS_SYSTEMMEMORY);
}

TEST_F(DisplayTest, ClipperFailureCleansUpLikeEveryOtherFailure) {
    const char* steps[] = {"IDirectDraw7::CreateClipper", "IDirectDrawClipper::SetHWnd",
                           "IDirectDrawSurface7::SetClipper"};
    Start();
    for (const char* step : steps) {
        qndx::sim::FailNext(step, 1, DDERR_GENERIC);
        EXPECT_EQ(QNDX_VE_CLIPPER, engine->CreateWindowed(640, 480, 0)) << step;
        EXPECT_EQ(0, EngineSurfaceCount(engine)) << step;
        EXPECT_EQ(nullptr, engine->Clipper()) << step;
        EXPECT_EQ(0, qndx::sim::LiveSurfaceCount()) << step;
    }
    EXPECT_EQ(0, engine->CreateWindowed(640, 480, 0)) << "a later creation works";
    EXPECT_NE(nullptr, engine->Clipper());
}

TEST_F(DisplayTest, FullScreenModeMissingFromTheListsGivesMinusTen) {
    Start();
    EXPECT_EQ(QNDX_VE_MODE_NOT_LISTED, engine->CreateFullScreen(641, 480, 32, 0, 0));
    EXPECT_EQ(QNDX_VE_MODE_NOT_LISTED, engine->CreateFullScreen(640, 480, 8, 0, 0));
    EXPECT_EQ(QNDX_VE_MODE_NOT_LISTED, engine->CreateFullScreen(640, 480, 32, 61, 0));
    EXPECT_EQ(0, EngineSurfaceCount(engine));
}

// ---- what a windowed creation makes -------------------------------------------

TEST_F(DisplayTest, WindowedFrontIsTheScreenAndBackIsTheRequestedSize) {
    Start(16, 1280, 1024);
    ASSERT_EQ(0, engine->CreateWindowed(800, 600, 0));
    CQNDXSurface* front = engine->GetFrontSurface();
    CQNDXSurface* back = engine->GetBackBuffer();
    ASSERT_TRUE(front && back);
    EXPECT_EQ(QNDX_SURFACE_FRONT, front->GetID());
    EXPECT_EQ(QNDX_SURFACE_BACK, back->GetID());
    EXPECT_EQ(1280, front->GetWidth());
    EXPECT_EQ(1024, front->GetHeight());
    EXPECT_EQ(1280, front->GetRectPtr()->right);
    EXPECT_EQ(1024, front->GetRectPtr()->bottom);
    EXPECT_EQ(800, back->GetWidth());
    EXPECT_EQ(600, back->GetHeight());
    EXPECT_EQ(600, back->GetRectPtr()->bottom);
    EXPECT_EQ(engine, back->GetVideoEngine());
    EXPECT_EQ(0, engine->IsFullScreen());
    EXPECT_EQ(16, engine->GetBitsPerPixel());
    EXPECT_EQ(16u, back->GetPixelKind());
}

// ---- third surface -----------------------------------------------------------

TEST_F(DisplayTest, ThirdSurfaceNeedsABackBuffer) {
    Start();
    EXPECT_EQ(-1, engine->RecreateSurfaces(0));
}

TEST_F(DisplayTest, ThirdSurfaceTakesTheBackBufferSizeAndIsReplacedNotLeaked) {
    Start();
    ASSERT_EQ(0, engine->CreateWindowed(400, 300, 0));
    ASSERT_EQ(0, engine->RecreateSurfaces(0));
    CQNDXSurface* third = engine->GetThirdSurface();
    ASSERT_NE(nullptr, third);
    EXPECT_EQ(QNDX_SURFACE_THIRD, third->GetID());
    EXPECT_EQ(400, third->GetWidth());
    EXPECT_EQ(300, third->GetRectPtr()->bottom);
    EXPECT_EQ(1, engine->GetThirdSurfaceHwFlag());
    const int live = qndx::sim::LiveSurfaceCount();
    ASSERT_EQ(0, engine->RecreateSurfaces(0));
    EXPECT_EQ(live, qndx::sim::LiveSurfaceCount()) << "the first third surface was released";
}

TEST_F(DisplayTest, ThirdSurfaceMemoryModes) {
    Start();
    ASSERT_EQ(0, engine->CreateWindowed(400, 300, 2));
    qndx::sim::SetVideoMemoryBudget(qndx::sim::VideoMemoryUsed() + 1024);
    EXPECT_EQ(QNDX_VE_NO_THIRD_SURFACE, engine->RecreateSurfaces(1));
    EXPECT_EQ(nullptr, engine->GetThirdSurface());
    ASSERT_EQ(0, engine->RecreateSurfaces(0));
    EXPECT_EQ(0, engine->GetThirdSurfaceHwFlag());
    EXPECT_TRUE(CapsOf(engine->GetThirdSurface()) & DDSCAPS_SYSTEMMEMORY);
    ASSERT_EQ(0, engine->RecreateSurfaces(2));
    EXPECT_EQ(0, engine->GetThirdSurfaceHwFlag());
}

// ---- lost surfaces --------------------------------------------------------------

TEST_F(DisplayTest, RestoreWithNothingLostReturnsZero) {
    Start();
    EXPECT_EQ(0, engine->RestoreSurfaces());
    ASSERT_EQ(0, engine->CreateWindowed(320, 240, 0));
    ASSERT_EQ(0, engine->RecreateSurfaces(0));
    qndx::sim::EnableJournal(true);
    EXPECT_EQ(0, engine->RestoreSurfaces());
    EXPECT_EQ(0, qndx::sim::JournalCount("IDirectDrawSurface7::Restore"));
}

TEST_F(DisplayTest, RestoreBringsBackEveryLostEngineSurfaceInWindowedMode) {
    Start();
    ASSERT_EQ(0, engine->CreateWindowed(320, 240, 0));
    ASSERT_EQ(0, engine->RecreateSurfaces(0));
    qndx::sim::LoseVideoMemorySurfaces();
    ASSERT_NE(DD_OK, engine->GetFrontSurface()->GetDDSurface()->IsLost());
    ASSERT_NE(DD_OK, engine->GetBackBuffer()->GetDDSurface()->IsLost());
    EXPECT_EQ(0, engine->RestoreSurfaces());
    EXPECT_EQ(DD_OK, engine->GetFrontSurface()->GetDDSurface()->IsLost());
    EXPECT_EQ(DD_OK, engine->GetBackBuffer()->GetDDSurface()->IsLost());
    EXPECT_EQ(DD_OK, engine->GetThirdSurface()->GetDDSurface()->IsLost());
}

TEST_F(DisplayTest, RestoreReturnsTheLastRestoreResult) {
    Start();
    ASSERT_EQ(0, engine->CreateWindowed(320, 240, 0));
    ASSERT_TRUE(qndx::sim::MarkSurfaceLost(engine->GetBackBuffer()->GetDDSurface()));
    qndx::sim::FailNext("IDirectDrawSurface7::Restore", 1, DDERR_WRONGMODE);
    EXPECT_EQ(DDERR_WRONGMODE, engine->RestoreSurfaces());
}

}  // namespace
}  // namespace display_test
