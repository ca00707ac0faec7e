// Cutting a sheet into tiles: by a grid, by grid lines and marker pixels
// drawn into the image, and from a caller's list.
#include <gtest/gtest.h>

#include "GraphicEngine/Tileset.h"
#include "engine/tileset/SheetTestSupport.h"

using namespace sheettest;

namespace {

class TilesetCut : public EngineTest {
protected:
    CQNDXTileset* Sheet(int w, int h) {
        CQNDXTileset* t = Keep(new CQNDXTileset());
        EXPECT_EQ(0, t->Create(engine, w, h));
        return t;
    }
    static void ExpectTile(const CQNDXTileset& t, int index, RECT rect, POINT hot) {
        const CQNDXTile* tile = t.GetTile(index);
        ASSERT_NE(nullptr, tile) << "tile " << index;
        EXPECT_TRUE(SameRect(rect, *tile->GetRect()))
            << "tile " << index << " is (" << tile->GetRect()->left << ", " << tile->GetRect()->top << ", "
            << tile->GetRect()->right << ", " << tile->GetRect()->bottom << ")";
        EXPECT_EQ(hot.x, tile->GetHotSpot()->x) << "tile " << index;
        EXPECT_EQ(hot.y, tile->GetHotSpot()->y) << "tile " << index;
    }
};

// Marker colours as the sheet's last column carries them.
const DWORD kGrid = 0x00FF00FF, kUnused = 0x00123456, kHot = 0x00FF0000, kEdge = 0x000000FF, kBoth = 0x0000FF00,
            kBack = 0x00808080;

// Background, grid lines at the given columns (row 0) and rows (column 0),
// and the markers in the last column.
void DrawGrid(CQNDXTileset* t, std::initializer_list<int> columns, std::initializer_list<int> rows) {
    Pixels p(t);
    p.Fill(kBack);
    for (int x : columns) p.Set(x, 0, kGrid);
    for (int y : rows) p.Set(0, y, kGrid);
    const int last = p.Width() - 1;
    const DWORD markers[5] = {kGrid, kUnused, kHot, kEdge, kBoth};
    for (int i = 0; i < 5 && i < p.Height(); ++i) p.Set(last, i, markers[i]);
}

}  // namespace

// ---------------------------------------------------------------------------
// Grid

TEST_F(TilesetCut, GridTilesGoRowByRowLeftToRight) {
    CQNDXTileset* t = Sheet(64, 64);
    t->CutGrid(32, 32, -1);
    ASSERT_EQ(4, t->GetTileCount());
    ExpectTile(*t, 0, {0, 0, 32, 32}, {0, 0});
    ExpectTile(*t, 1, {32, 0, 64, 32}, {0, 0});
    ExpectTile(*t, 2, {0, 32, 32, 64}, {0, 0});
    ExpectTile(*t, 3, {32, 32, 64, 64}, {0, 0});
    EXPECT_EQ(1, t->OwnsTiles());
    EXPECT_EQ(nullptr, t->GetTile(4));
    EXPECT_EQ(nullptr, t->GetTile(-1));

    t->CutGrid(32, 32, 3);
    EXPECT_EQ(3, t->GetTileCount());
}

TEST_F(TilesetCut, PartialColumnsAndRowsAreNotCut) {
    CQNDXTileset* t = Sheet(70, 40);
    t->CutGrid(32, 32, -1);
    ASSERT_EQ(2, t->GetTileCount());
    ExpectTile(*t, 1, {32, 0, 64, 32}, {0, 0});
}

TEST_F(TilesetCut, ACursorSheetTwoPixelsLargerHoldsOneTile) {
    for (int size : {3, 16, 32}) {
        CQNDXTileset t;
        ASSERT_EQ(0, t.CreateAndCutGrid(engine, size + 2, size + 2, size, size));
        ASSERT_EQ(1, t.GetTileCount()) << size;
        ExpectTile(t, 0, {0, 0, size, size}, {0, 0});
    }
}

TEST_F(TilesetCut, SheetsWithoutAWholeTileHaveNoTilesAndDrawNothing) {
    // Smaller than one tile; and narrower than a tile but tall enough for
    // several rows (no tile may reach outside the image).
    for (SIZE size : {SIZE{20, 20}, SIZE{10, 64}, SIZE{64, 10}}) {
        RecordingTileset t;
        ASSERT_EQ(0, t.Create(engine, size.cx, size.cy));
        t.CutGrid(32, 32, -1);
        EXPECT_EQ(0, t.GetTileCount()) << size.cx << "x" << size.cy;
        EXPECT_EQ(nullptr, t.GetTile(0));
        CQNDXSurface* dest = NewSurface(8, 8);
        EXPECT_EQ(-1, t.DrawTile(dest, 0, 0, 0, 1));
        EXPECT_EQ(-1, t.DrawTile(dest, 0, 0, -1, 1));
        EXPECT_TRUE(t.calls.empty());
    }
}

TEST_F(TilesetCut, GridCutNeedsASurfaceAndPositiveTileSizes) {
    CQNDXTileset noSurface;
    noSurface.CutGrid(8, 8, -1);
    EXPECT_EQ(0, noSurface.GetTileCount());

    CQNDXTileset* t = Sheet(32, 32);
    t->CutGrid(16, 16, -1);
    ASSERT_EQ(4, t->GetTileCount());
    t->CutGrid(0, 16, -1);
    t->CutGrid(16, -4, -1);
    EXPECT_EQ(4, t->GetTileCount()) << "a refused cut keeps the tiles";
}

// ---------------------------------------------------------------------------
// Markers

TEST_F(TilesetCut, MarkerSheetCellsWithoutMarkersSpanTheCellInsideTheLines) {
    CQNDXTileset* t = Sheet(21, 11);
    DrawGrid(t, {0, 10, 20}, {0, 10});
    t->CutByMarkers(-1);
    ASSERT_EQ(2, t->GetTileCount());
    ExpectTile(*t, 0, {1, 1, 10, 10}, {0, 0});
    ExpectTile(*t, 1, {11, 1, 20, 10}, {0, 0});
    // Grid lines become transparent: the grid colour is the source key.
    DDCOLORKEY key = {};
    ASSERT_EQ(DD_OK, t->GetDDSurface()->GetColorKey(DDCKEY_SRCBLT, &key));
    EXPECT_EQ(kGrid, key.dwColorSpaceLowValue);
    EXPECT_EQ(0u, t->GetLockCount());
}

TEST_F(TilesetCut, HotSpotAndEdgeMarkersShapeTheTile) {
    CQNDXTileset* t = Sheet(21, 11);
    DrawGrid(t, {0, 10, 20}, {0, 10});
    {
        Pixels p(t);
        // Cell 0: hot spot markers on its top and left lines.
        p.Set(5, 0, kHot);
        p.Set(0, 7, kHot);
        // Cell 1: edges at columns 13 and 16, and a marker that is both hot
        // spot and edge at row 3 of its left line.
        p.Set(13, 0, kEdge);
        p.Set(16, 0, kEdge);
        p.Set(10, 3, kBoth);
    }
    t->CutByMarkers(0);
    ASSERT_EQ(2, t->GetTileCount());
    ExpectTile(*t, 0, {1, 1, 10, 10}, {5, 7});
    ExpectTile(*t, 1, {13, 3, 17, 4}, {0, 3});
}

TEST_F(TilesetCut, AMaximumFixesTheTileCountEvenBeyondTheCells) {
    CQNDXTileset* t = Sheet(21, 21);
    DrawGrid(t, {0, 10, 20}, {0, 10, 20});
    t->CutByMarkers(10);
    ASSERT_EQ(10, t->GetTileCount());
    ExpectTile(*t, 3, {11, 11, 20, 20}, {0, 0});
    for (int i = 4; i < 10; ++i) ExpectTile(*t, i, {0, 0, 0, 0}, {0, 0});

    t->CutByMarkers(3);
    ASSERT_EQ(3, t->GetTileCount());
    ExpectTile(*t, 2, {1, 11, 10, 20}, {0, 0});
}

TEST_F(TilesetCut, TooFewGridLinesGiveNoTilesAndDrawingFails) {
    RecordingTileset t;
    ASSERT_EQ(0, t.Create(engine, 21, 11));
    DrawGrid(&t, {20}, {10});  // only the last column is a grid column
    t.CutByMarkers(-1);
    EXPECT_EQ(0, t.GetTileCount());
    CQNDXSurface* dest = NewSurface(8, 8);
    EXPECT_EQ(-1, t.DrawTile(dest, 0, 0, 0, 1));
    EXPECT_TRUE(t.calls.empty());
}

TEST_F(TilesetCut, SheetsLowerThanTheMarkerColumnAreReadOnlyInside) {
    // Three rows: the markers of rows 3 and 4 do not exist.
    CQNDXTileset* t = Sheet(21, 3);
    DrawGrid(t, {0, 10, 20}, {0, 2});
    t->CutByMarkers(-1);
    ASSERT_EQ(2, t->GetTileCount());
    ExpectTile(*t, 0, {1, 1, 10, 2}, {0, 0});

    CQNDXTileset* one = Sheet(1, 1);
    one->CutByMarkers(-1);
    EXPECT_EQ(0, one->GetTileCount());
}

TEST_F(TilesetCut, MarkersWorkOnSixteenBitSheets) {
    TearDown();
    StartEngine(16);
    CQNDXTileset* t = Sheet(21, 11);
    {
        Pixels p(t);
        p.Fill(0x1234);
        p.Set(0, 0, 0xF81F);
        p.Set(10, 0, 0xF81F);
        p.Set(20, 0, 0xF81F);
        p.Set(0, 10, 0xF81F);
        p.Set(20, 1, 0x0001);
        p.Set(20, 2, 0x07E0);  // hot spot marker
        p.Set(20, 3, 0x0002);
        p.Set(20, 4, 0x0003);
        p.Set(4, 0, 0x07E0);
    }
    t->CutByMarkers(-1);
    ASSERT_EQ(2, t->GetTileCount());
    ExpectTile(*t, 0, {1, 1, 10, 10}, {4, 0});
}

// ---------------------------------------------------------------------------
// A caller's list

TEST_F(TilesetCut, SetTilesCopiesTheCallersArray) {
    CQNDXTile mine[2];
    mine[0].SetRect(0, 0, 4, 4);
    mine[1].SetRect(4, 0, 8, 4);
    mine[1].SetHotSpot(6, 2);
    CQNDXTileset t;
    t.SetTiles(2, mine);
    mine[1].SetRect(99, 99, 100, 100);
    ASSERT_EQ(2, t.GetTileCount());
    EXPECT_EQ(1, t.OwnsTiles());
    ExpectTile(t, 1, {4, 0, 8, 4}, {6, 2});
    EXPECT_TRUE(SameRect(RECT{-2, -2, 2, 2}, *t.GetTile(1)->GetOffsetRect()));
    EXPECT_NE(mine, t.GetTiles());
}

TEST_F(TilesetCut, SetTilesGivenItsOwnArrayKeepsTheTiles) {
    CQNDXTileset* t = Sheet(64, 32);
    t->CutGrid(32, 32, -1);
    t->SetTiles(t->GetTileCount(), t->GetTiles());
    ASSERT_EQ(2, t->GetTileCount());
    ExpectTile(*t, 1, {32, 0, 64, 32}, {0, 0});
    // A shorter prefix of its own array.
    t->SetTiles(1, t->GetTiles() + 1);
    ASSERT_EQ(1, t->GetTileCount());
    ExpectTile(*t, 0, {32, 0, 64, 32}, {0, 0});
}

TEST_F(TilesetCut, AFailedLoadLeavesTheTilesAsTheyWere) {
    CQNDXTile one;
    one.SetRect(0, 0, 2, 2);
    CQNDXTileset t;
    t.SetTiles(1, &one);
    EXPECT_LT(t.LoadAndCutGrid(engine, "no-such-sheet-anywhere.png", 8, 8, 0), 0);
    EXPECT_LT(t.LoadAndSetTiles(engine, nullptr, 1, &one, 0), 0);
    EXPECT_EQ(1, t.GetTileCount());
    EXPECT_EQ(nullptr, t.GetDDSurface());
    EXPECT_EQ(0, t.CreateAndCutGrid(nullptr, 8, 8, 4, 4)) << "nothing done without an engine";
    EXPECT_EQ(1, t.GetTileCount()) << "nor is anything cut";
}
