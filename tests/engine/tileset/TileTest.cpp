// A tile's rectangle, hot spot and the offset rectangle derived from them.
#include <gtest/gtest.h>

#include "GraphicEngine/Tileset.h"
#include "engine/tileset/SheetTestSupport.h"

using sheettest::SameRect;

TEST(Tile, OffsetRectIsTheRectMovedByMinusTheHotSpot) {
    POINT hot = {5, 7};
    RECT rect = {10, 20, 42, 52};
    CQNDXTile tile(&hot, &rect);
    EXPECT_TRUE(SameRect(RECT{5, 13, 37, 45}, *tile.GetOffsetRect()));

    tile.SetHotSpot(0, 0);
    EXPECT_TRUE(SameRect(rect, *tile.GetOffsetRect()));
    tile.SetRect(1, 2, 3, 4);
    tile.SetHotSpot(3, 4);
    EXPECT_TRUE(SameRect(RECT{-2, -2, 0, 0}, *tile.GetOffsetRect()));
}

TEST(Tile, NullArgumentsLeaveTheirFieldAlone) {
    POINT hot = {2, 3};
    RECT rect = {0, 0, 8, 8};
    CQNDXTile onlyRect(nullptr, &rect);
    EXPECT_EQ(0, onlyRect.GetHotSpot()->x);
    EXPECT_TRUE(SameRect(rect, *onlyRect.GetOffsetRect()));

    CQNDXTile tile(&hot, &rect);
    tile.Set(nullptr, nullptr);
    tile.SetRect(nullptr);
    tile.SetHotSpot(nullptr);
    EXPECT_EQ(2, tile.GetHotSpot()->x);
    EXPECT_EQ(3, tile.GetHotSpot()->y);
    EXPECT_TRUE(SameRect(RECT{-2, -3, 6, 5}, *tile.GetOffsetRect()));

    CQNDXTile empty;
    EXPECT_TRUE(SameRect(RECT{0, 0, 0, 0}, *empty.GetRect()));
    tile.Clear();
    EXPECT_TRUE(SameRect(RECT{0, 0, 0, 0}, *tile.GetOffsetRect()));
    EXPECT_EQ(0, tile.GetHotSpot()->y);
}

