// Drawing one tile: which tile an index picks, where the tile lands (its hot
// spot on the point given), the blit each draw operation goes through, and
// real pixels once the engine's copies exist.
#include <gtest/gtest.h>

#include <climits>

#include "GraphicEngine/Tileset.h"
#include "engine/tileset/SheetTestSupport.h"

using namespace sheettest;

namespace {

class TilesetDraw : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        sheet = Keep(new RecordingTileset());
        ASSERT_EQ(0, sheet->Create(engine, 64, 64));
        sheet->CutGrid(32, 32, -1);  // tiles at (0,0) (32,0) (0,32) (32,32)
        dest = NewSurface(200, 200);
    }
    const BlitCall& Last() { return sheet->calls.back(); }

    RecordingTileset* sheet = nullptr;
    CQNDXSurface* dest = nullptr;
};

}  // namespace

TEST_F(TilesetDraw, AnIndexInRangeIsDrawnAndBecomesCurrent) {
    ASSERT_EQ(0, sheet->DrawTile(dest, 10, 20, 2, 1));
    ASSERT_EQ(1u, sheet->calls.size());
    EXPECT_TRUE(SameRect(RECT{0, 32, 32, 64}, Last().rect));
    EXPECT_EQ(2, sheet->GetCurrentTile());

    // -1 and the tile count draw the current tile again.
    ASSERT_EQ(0, sheet->DrawTile(dest, 0, 0, -1, 1));
    EXPECT_TRUE(SameRect(RECT{0, 32, 32, 64}, Last().rect));
    ASSERT_EQ(0, sheet->DrawTile(dest, 0, 0, 4, 1));
    EXPECT_TRUE(SameRect(RECT{0, 32, 32, 64}, Last().rect));

    // Beyond the tile count nothing is drawn.
    EXPECT_EQ(-1, sheet->DrawTile(dest, 0, 0, 5, 1));
    EXPECT_EQ(3u, sheet->calls.size());
    EXPECT_EQ(2, sheet->GetCurrentTile());
}

TEST_F(TilesetDraw, AGridTileIsDrawnWhereItLiesInTheSheetShiftedByThePoint) {
    sheet->DrawTile(dest, 10, 20, 3, 0);
    EXPECT_EQ(10 + 32, Last().x);
    EXPECT_EQ(20 + 32, Last().y);
    EXPECT_EQ(dest, Last().dest);
    EXPECT_EQ(0, Last().keyed);
}

TEST_F(TilesetDraw, ATileIsPlacedWithItsHotSpotOnThePoint) {
    // A tile cut from (40, 30) with its hot spot 5 right and 7 down of its
    // corner, in sheet coordinates.
    CQNDXTile tile;
    tile.SetRect(40, 30, 50, 45);
    tile.SetHotSpot(45, 37);
    sheet->SetTiles(1, &tile);
    sheet->DrawTile(dest, 100, 100, 0, 1);
    EXPECT_EQ(95, Last().x);
    EXPECT_EQ(93, Last().y);
    EXPECT_TRUE(SameRect(RECT{40, 30, 50, 45}, Last().rect));
}

TEST_F(TilesetDraw, APlacePastTheIntRangeIsHeldAtItsBound) {
    // Grid tile 3 goes 32 right of and below the point; past the int range it
    // is held at the bound, where nothing shows, rather than wrapping round.
    sheet->DrawTile(dest, INT_MAX - 5, INT_MAX, 3, 0);
    EXPECT_EQ(INT_MAX, Last().x);
    EXPECT_EQ(INT_MAX, Last().y);
    CQNDXTile tile;
    tile.SetRect(40, 30, 50, 45);
    tile.SetHotSpot(45, 37);
    sheet->SetTiles(1, &tile);
    sheet->DrawTileMirrorUpDown(dest, INT_MIN + 2, INT_MIN + 7, 0, 0);
    EXPECT_EQ(INT_MIN, Last().x);
    EXPECT_EQ(INT_MIN, Last().y);
}

TEST_F(TilesetDraw, EachDrawOperationGoesThroughItsOwnBlitWithItsArguments) {
    CQNDXTile tile;
    tile.SetRect(8, 8, 16, 16);
    tile.SetHotSpot(10, 12);
    sheet->SetTiles(1, &tile);
    const int x = 50, y = 60, bx = 48, by = 56;

    struct Case {
        const char* kind;
        BOOL keyed;
        double extra1;
        double extra2;
    };
    sheet->result = 7;
    EXPECT_EQ(7, sheet->DrawTileClipToSurface(dest, x, y, 0, 1));
    EXPECT_EQ(7, sheet->DrawTileMirrorLeftRight(dest, x, y, 0, 1));
    EXPECT_EQ(7, sheet->DrawTileMirrorUpDown(dest, x, y, 0, 0));
    EXPECT_EQ(7, sheet->DrawTileAlpha(dest, x, y, 0, 200, 1));
    EXPECT_EQ(7, sheet->DrawTileTranslucent(dest, x, y, 0, 30, 1));
    EXPECT_EQ(0, sheet->DrawTileReserved(dest, x, y, 0));
    EXPECT_EQ(7, sheet->DrawTileScaled(dest, x, y, 0, 2.5f, 1));
    EXPECT_EQ(7, sheet->DrawTileStretched(dest, x, y, 0, 33, 44, 0));
    EXPECT_EQ(7, sheet->DrawTileBlend(dest, x, y, 0, 128));
    const Case expected[] = {{"ClipToSurface", 1, 0, 0}, {"MirrorLeftRight", 1, 0, 0}, {"MirrorUpDown", 0, 0, 0},
                             {"Alpha", 1, 200, 0},       {"Translucent", 1, 30, 0},    {"Scaled", 1, 2.5, 0},
                             {"Stretched", 0, 33, 44},   {"Blend", 0, 128, 0}};
    ASSERT_EQ(8u, sheet->calls.size()) << "the reserved slot must not draw";
    for (size_t i = 0; i < 8; ++i) {
        const BlitCall& c = sheet->calls[i];
        EXPECT_EQ(expected[i].kind, c.kind);
        EXPECT_EQ(bx, c.x) << c.kind;
        EXPECT_EQ(by, c.y) << c.kind;
        EXPECT_TRUE(SameRect(RECT{8, 8, 16, 16}, c.rect)) << c.kind;
        EXPECT_EQ(expected[i].keyed, c.keyed) << c.kind;
        EXPECT_DOUBLE_EQ(expected[i].extra1, c.extra1) << c.kind;
        EXPECT_DOUBLE_EQ(expected[i].extra2, c.extra2) << c.kind;
    }
}

TEST_F(TilesetDraw, AFailingBlitsResultIsReturned) {
    sheet->result = DDERR_SURFACELOST;
    EXPECT_EQ(DDERR_SURFACELOST, sheet->DrawTile(dest, 0, 0, 1, 1));
}

TEST_F(TilesetDraw, EveryDrawFailsWithoutASheetSurface) {
    RecordingTileset bare;
    CQNDXTile tile;
    tile.SetRect(0, 0, 4, 4);
    bare.SetTiles(1, &tile);
    EXPECT_EQ(-1, bare.DrawTile(dest, 0, 0, 0, 1));
    EXPECT_EQ(-1, bare.DrawTileAlpha(dest, 0, 0, 0, 10, 1));
    EXPECT_EQ(-1, bare.DrawTileBlend(dest, 0, 0, 0, 10));
    EXPECT_TRUE(bare.calls.empty());
}

TEST_F(TilesetDraw, KeyedTileDrawsOnlyItsOwnPixels) {
    SKIP_WITHOUT_COPIES();
    CQNDXTileset real;
    ASSERT_EQ(0, real.Create(engine, 8, 4));
    real.CutGrid(4, 4, -1);
    {
        Pixels p(&real);
        p.Fill(0);            // black: the key set by Create
        p.Set(5, 1, 0xFF0000);  // tile 1, one red pixel
        p.Set(1, 1, 0x00FF00);  // tile 0, one green pixel
    }
    {
        Pixels d(dest);
        d.Fill(0x0000FF);
    }
    ASSERT_EQ(0, real.DrawTile(dest, 10, 10, 1, 1));
    Pixels d(dest);
    // Tile 1 lies at (4, 0) in the sheet: its red pixel lands at (10+5, 10+1).
    EXPECT_EQ(0xFF0000u, d.At(15, 11) & 0xFFFFFF);
    EXPECT_EQ(0x0000FFu, d.At(14, 11) & 0xFFFFFF);
    EXPECT_EQ(0x0000FFu, d.At(11, 11) & 0xFFFFFF) << "tile 0 must not be drawn";
}
