// The cursor: its image built from a cursor handle (the arrow and made
// cursors), failures that leave no image and no leaked bitmaps, rebuilding a
// lost image, adopting a tileset, hot-spot placement and frame animation.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "GraphicEngine/Cursor.h"
#include "GraphicEngine/Tileset.h"
#include "engine/tileset/SheetTestSupport.h"
#include "platform/Icon.h"
#include "platform/User.h"
#include "platform/sim/Icon.h"
#include "platform/sim/Sim.h"

using namespace sheettest;

namespace {

class Cursor : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        dest = NewSurface(200, 200);
    }
    // A tileset of `count` 32 by 32 frames side by side, recording its draws.
    RecordingTileset* Frames(int count) {
        RecordingTileset* t = Keep(new RecordingTileset());
        EXPECT_EQ(0, t->Create(engine, 32 * count, 32));
        t->CutGrid(32, 32, -1);
        return t;
    }
    // The frame each recorded draw showed.
    static std::vector<int> DrawnFrames(const RecordingTileset& t) {
        std::vector<int> frames;
        for (const BlitCall& c : t.calls) frames.push_back(c.rect.left / 32);
        return frames;
    }
    // A red picture; with `checkered` only the pixels whose x + y is even
    // are opaque, the others leave the destination alone.
    static HCURSOR Made(int w, int h, int hotX, int hotY, bool withoutMask = false, bool checkered = false) {
        qndx::sim::SimCursorPicture p;
        p.width = w;
        p.height = h;
        p.hotX = hotX;
        p.hotY = hotY;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) p.pixels.push_back(checkered && (x + y) % 2 ? 0 : 0xFFFF0000);
        p.withoutMaskBitmap = withoutMask;
        return qndx::sim::MakeCursor(p);
    }

    CQNDXSurface* dest = nullptr;
};

class CursorKinds : public Cursor, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        StartEngine(GetParam());
        dest = NewSurface(200, 200);
    }
};

std::string KindName(const ::testing::TestParamInfo<int>& info) { return "Bpp" + std::to_string(info.param); }

}  // namespace

// ---------------------------------------------------------------------------
// Building the image from a handle

TEST_P(CursorKinds, TheArrowBecomesOneKeyedTileOfItsMaskSize) {
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    CQNDXCursor cursor(engine, arrow);
    CQNDXTileset* image = cursor.GetImage();
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(34, image->GetWidth());
    EXPECT_EQ(34, image->GetHeight());
    ASSERT_EQ(1, image->GetTileCount());
    EXPECT_TRUE(SameRect(RECT{0, 0, 32, 32}, *image->GetTile(0)->GetRect()));
    int hx = -1, hy = -1;
    cursor.GetHotSpot(&hx, &hy);
    EXPECT_EQ(0, hx);
    EXPECT_EQ(0, hy);
    EXPECT_EQ(arrow, cursor.GetHCURSOR());
    EXPECT_EQ(1, cursor.OwnsImage());
    EXPECT_EQ(0, cursor.GetFrame());

    DDCOLORKEY key = {};
    ASSERT_EQ(DD_OK, image->GetDDSurface()->GetColorKey(DDCKEY_SRCBLT, &key));
    EXPECT_EQ(9u, key.dwColorSpaceLowValue);
    Pixels p(image);
    EXPECT_EQ(NativeOf(GetParam(), RGB(0, 0, 0)), p.At(0, 0)) << "the tip is black";
    EXPECT_EQ(NativeOf(GetParam(), RGB(255, 255, 255)), p.At(1, 2)) << "the inside is white";
    EXPECT_EQ(9u, p.At(20, 5)) << "beside the arrow stays transparent";
    EXPECT_EQ(9u, p.At(33, 33)) << "so does the border";
    EXPECT_EQ(0, qndx::sim::LiveIconInfoBitmaps()) << "the icon's bitmaps are freed";
}

INSTANTIATE_TEST_SUITE_P(AllKinds, CursorKinds, ::testing::ValuesIn(kKinds), KindName);

TEST_F(Cursor, AMadeCursorKeepsItsSizeAndHotSpot) {
    CQNDXCursor cursor(engine, Made(8, 6, 5, 3));
    ASSERT_NE(nullptr, cursor.GetImage());
    EXPECT_EQ(10, cursor.GetImage()->GetWidth());
    EXPECT_EQ(8, cursor.GetImage()->GetHeight());
    EXPECT_TRUE(SameRect(RECT{0, 0, 8, 6}, *cursor.GetImage()->GetTile(0)->GetRect()));
    int hx, hy;
    cursor.GetHotSpot(&hx, &hy);
    EXPECT_EQ(5, hx);
    EXPECT_EQ(3, hy);
    cursor.GetHotSpot(nullptr, &hy);  // needs both
}

TEST_F(Cursor, FailuresLeaveNoImageAndFreeTheIconBitmaps) {
    CQNDXCursor cursor(engine);
    EXPECT_EQ(-1, cursor.SetFromHCURSOR(nullptr));
    EXPECT_EQ(-1, cursor.SetFromHCURSOR(reinterpret_cast<HCURSOR>(0x4321)));

    CQNDXCursor noEngine(nullptr, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(nullptr, noEngine.GetImage());
    EXPECT_EQ(-1, noEngine.Draw(dest, 0, 0));

    // A picture whose mask cannot be read: its colour bitmap must still go.
    EXPECT_EQ(-1, cursor.SetFromHCURSOR(Made(8, 8, 0, 0, true)));
    EXPECT_EQ(0, qndx::sim::LiveIconInfoBitmaps());

    // The image surface cannot be made.
    qndx::sim::FailNext("IDirectDraw7::CreateSurface", 1, DDERR_OUTOFMEMORY);
    EXPECT_EQ(-1, cursor.SetFromHCURSOR(LoadCursorA(nullptr, IDC_ARROW)));
    EXPECT_EQ(nullptr, cursor.GetImage());
    EXPECT_EQ(0, qndx::sim::LiveIconInfoBitmaps());
    EXPECT_EQ(-1, cursor.Draw(dest, 10, 10));
}

TEST_F(Cursor, ALostImageIsBuiltAgainFromItsHandle) {
    CQNDXCursor cursor(engine, LoadCursorA(nullptr, IDC_ARROW));
    ASSERT_NE(nullptr, cursor.GetImage());
    cursor.GetImage()->SetNeedsReload(1);
    cursor.Draw(dest, 50, 50);
    ASSERT_NE(nullptr, cursor.GetImage());
    EXPECT_EQ(0, cursor.GetImage()->NeedsReload());
    EXPECT_EQ(1, cursor.GetImage()->GetTileCount());
}

TEST_F(Cursor, AFailedRebuildReportsFailureAndDrawsNothing) {
    HCURSOR made = Made(8, 8, 0, 0);
    CQNDXCursor cursor(engine, made);
    ASSERT_NE(nullptr, cursor.GetImage());

    // The picture is gone: the rebuild cannot read it.
    cursor.GetImage()->SetNeedsReload(1);
    ASSERT_TRUE(DestroyCursor(made));
    EXPECT_EQ(-1, cursor.Draw(dest, 50, 50));

    // The new image cannot be made: the cursor is left without one.
    CQNDXCursor arrow(engine, LoadCursorA(nullptr, IDC_ARROW));
    arrow.GetImage()->SetNeedsReload(1);
    qndx::sim::FailNext("IDirectDraw7::CreateSurface", 1, DDERR_OUTOFMEMORY);
    EXPECT_EQ(-1, arrow.Draw(dest, 50, 50));
    EXPECT_EQ(nullptr, arrow.GetImage());
    EXPECT_EQ(-1, arrow.Draw(dest, 50, 50));
}

// ---------------------------------------------------------------------------
// An application's tileset

TEST_F(Cursor, AnAdoptedTilesetGivesTheHotSpotOfTileZeroAndStaysTheCallers) {
    RecordingTileset* frames = Frames(2);
    CQNDXTile tiles[2];
    tiles[0].SetRect(0, 0, 32, 32);
    tiles[0].SetHotSpot(5, 3);
    tiles[1].SetRect(32, 0, 64, 32);
    tiles[1].SetHotSpot(40, 9);
    frames->SetTiles(2, tiles);
    {
        CQNDXCursor cursor(engine, LoadCursorA(nullptr, IDC_ARROW));
        ASSERT_EQ(0, cursor.SetImage(frames));
        EXPECT_EQ(frames, cursor.GetImage());
        EXPECT_EQ(0, cursor.OwnsImage());
        EXPECT_EQ(nullptr, cursor.GetHCURSOR());
        int hx, hy;
        cursor.GetHotSpot(&hx, &hy);
        EXPECT_EQ(5, hx);
        EXPECT_EQ(3, hy);
        // A lost image from the application is its owner's to rebuild.
        frames->SetNeedsReload(1);
        EXPECT_EQ(0, cursor.Draw(dest, 0, 0));
        EXPECT_EQ(frames, cursor.GetImage());
    }
    EXPECT_EQ(2, frames->GetTileCount()) << "the cursor did not delete the caller's tileset";
}

TEST_F(Cursor, SetImageRefusesNullAndCursorsWithoutEngine) {
    RecordingTileset* frames = Frames(1);
    CQNDXCursor cursor(engine);
    EXPECT_EQ(-1, cursor.SetImage(nullptr));
    CQNDXCursor noEngine(nullptr);
    EXPECT_EQ(-1, noEngine.SetImage(frames));
    EXPECT_EQ(nullptr, noEngine.GetImage());

    CQNDXTileset empty;
    ASSERT_EQ(0, cursor.SetImage(&empty));
    int hx = 1, hy = 1;
    cursor.GetHotSpot(&hx, &hy);
    EXPECT_EQ(0, hx);
    EXPECT_EQ(0, hy);
    EXPECT_EQ(-1, cursor.Draw(dest, 0, 0)) << "a tileset without tiles draws nothing";
}

TEST_F(Cursor, HandingBackItsOwnImageKeepsIt) {
    CQNDXCursor cursor(engine, LoadCursorA(nullptr, IDC_ARROW));
    CQNDXTileset* own = cursor.GetImage();
    ASSERT_EQ(0, cursor.SetImage(own));
    EXPECT_EQ(own, cursor.GetImage());
    EXPECT_EQ(1, own->GetTileCount());
    EXPECT_EQ(1, cursor.OwnsImage()) << "still deleted with the cursor";
}

// ---------------------------------------------------------------------------
// Placement

TEST_F(Cursor, TheHotSpotLandsOnThePointerOnceNotTwice) {
    RecordingTileset* frames = Frames(1);
    CQNDXTile tile;
    tile.SetRect(0, 0, 32, 32);
    tile.SetHotSpot(5, 3);
    frames->SetTiles(1, &tile);
    CQNDXCursor cursor(engine, frames);
    ASSERT_EQ(0, cursor.Draw(dest, 100, 100));
    EXPECT_EQ(95, frames->calls.back().x);
    EXPECT_EQ(97, frames->calls.back().y);
    EXPECT_EQ(1, frames->calls.back().keyed);

    // A hot spot set afterwards moves the picture by the difference.
    cursor.SetHotSpot(8, 8);
    cursor.Draw(dest, 100, 100);
    EXPECT_EQ(92, frames->calls.back().x);
    EXPECT_EQ(92, frames->calls.back().y);
}

TEST_F(Cursor, ExtremeHotSpotsPlaceThePictureAtThePointerLessTheHotSpotOrOffTheSurface) {
    RecordingTileset* frames = Frames(1);
    CQNDXTile tile;
    tile.SetRect(0, 0, 32, 32);
    tile.SetHotSpot(5, 3);
    frames->SetTiles(1, &tile);
    CQNDXCursor cursor(engine, frames);
    struct Case {
        int hotX, hotY, x, y;
    };
    const Case cases[] = {
        {INT_MIN, 0, 337, 0},
        {INT_MIN, INT_MIN, INT_MAX, INT_MAX},
        {INT_MAX, INT_MIN, -337, 337},
        {INT_MAX, INT_MAX, INT_MIN, INT_MIN},
        {INT_MIN, INT_MAX, INT_MIN + 10, INT_MAX - 20},
        {INT_MAX, INT_MIN, INT_MAX, INT_MIN + 7},
    };
    // Where the picture's corner belongs, worked out wide; a picture that
    // lies beyond the int range may land anywhere off the 200 by 200 surface.
    auto onSurface = [](int64_t at) { return at > -32 && at < 200; };
    for (const Case& c : cases) {
        cursor.SetHotSpot(c.hotX, c.hotY);
        ASSERT_EQ(0, cursor.Draw(dest, c.x, c.y));
        const int64_t wantX = (int64_t)c.x - c.hotX, wantY = (int64_t)c.y - c.hotY;
        const BlitCall& drawn = frames->calls.back();
        SCOPED_TRACE(::testing::Message() << "hot spot " << c.hotX << "," << c.hotY << " at " << c.x << "," << c.y);
        if (onSurface(wantX) && onSurface(wantY)) {
            EXPECT_EQ(wantX, drawn.x);
            EXPECT_EQ(wantY, drawn.y);
        } else {
            EXPECT_FALSE(onSurface(drawn.x) && onSurface(drawn.y)) << "drawn at " << drawn.x << "," << drawn.y;
        }
    }
}

TEST_P(CursorKinds, AHandleCursorIsDrawnWithItsHotSpotOnThePointerAndItsTransparentPartsKeyedOut) {
    SKIP_WITHOUT_COPIES();
    CQNDXCursor cursor(engine, Made(4, 4, 1, 2, false, true));
    const DWORD blue = NativeOf(GetParam(), RGB(0, 0, 255)), red = NativeOf(GetParam(), RGB(255, 0, 0));
    {
        Pixels d(dest);
        d.Fill(blue);
    }
    ASSERT_EQ(0, cursor.Draw(dest, 100, 100));
    Pixels d(dest);
    // The 4 by 4 checkered picture covers (99..102, 98..101); its
    // transparent pixels and everything around it keep the blue.
    for (int y = 94; y < 106; ++y)
        for (int x = 95; x < 107; ++x) {
            bool inside = x >= 99 && x < 103 && y >= 98 && y < 102;
            bool opaque = inside && (x - 99 + y - 98) % 2 == 0;
            EXPECT_EQ(opaque ? red : blue, d.At(x, y)) << x << "," << y;
        }
}

// ---------------------------------------------------------------------------
// Animation

TEST_F(Cursor, FramesAdvanceOncePerDrawAndStopAfterTheLoops) {
    RecordingTileset* frames = Frames(4);
    CQNDXCursor cursor(engine, frames);
    cursor.SetLoopCount(2);
    cursor.StartAnimation(0);
    for (int i = 0; i < 11; ++i) cursor.Draw(dest, 0, 0);
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 0, 1, 2, 3, 0, 0, 0}), DrawnFrames(*frames));
    EXPECT_EQ(0, cursor.GetLoopCount());
}

TEST_F(Cursor, EndlessLoopsCycleAndStoppedOrSingleFramesStay) {
    RecordingTileset* frames = Frames(3);
    CQNDXCursor cursor(engine, frames);
    cursor.StartAnimation(1);
    for (int i = 0; i < 7; ++i) cursor.Draw(dest, 0, 0);
    EXPECT_EQ((std::vector<int>{1, 2, 0, 1, 2, 0, 1}), DrawnFrames(*frames));

    frames->calls.clear();
    cursor.StopAnimation(2);
    EXPECT_EQ(0, cursor.IsAnimating());
    for (int i = 0; i < 3; ++i) cursor.Draw(dest, 0, 0);
    EXPECT_EQ((std::vector<int>{2, 2, 2}), DrawnFrames(*frames));

    RecordingTileset* single = Frames(1);
    CQNDXCursor still(engine, single);
    still.StartAnimation(0);
    for (int i = 0; i < 3; ++i) still.Draw(dest, 0, 0);
    EXPECT_EQ((std::vector<int>{0, 0, 0}), DrawnFrames(*single));
}

TEST_F(Cursor, FramesOutsideTheImageAreIgnoredButTheAnimationSwitches) {
    RecordingTileset* frames = Frames(4);
    CQNDXCursor cursor(engine, frames);
    cursor.StartAnimation(2);
    cursor.StopAnimation(7);
    EXPECT_EQ(2, cursor.GetFrame());
    EXPECT_EQ(0, cursor.IsAnimating());
    cursor.StartAnimation(7);
    EXPECT_EQ(2, cursor.GetFrame());
    EXPECT_EQ(1, cursor.IsAnimating());
    cursor.StartAnimation(-1);
    EXPECT_EQ(2, cursor.GetFrame());
    // Loop count 0 holds the frame.
    cursor.SetLoopCount(0);
    cursor.Draw(dest, 0, 0);
    cursor.Draw(dest, 0, 0);
    EXPECT_EQ((std::vector<int>{2, 2}), DrawnFrames(*frames));
}

