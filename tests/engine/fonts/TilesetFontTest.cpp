// The tileset font: its tileset (loaded and owned, or given and kept by the
// caller), characters drawn from tiles, and measuring.
#include <gtest/gtest.h>

#include <climits>

#include "GraphicEngine/Font.h"
#include "GraphicEngine/Tileset.h"
#include "engine/fonts/FontTestSupport.h"

using namespace sheettest;

namespace {

class TilesetFont : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        // Four 8 by 10 glyphs side by side: 'A' to 'D'.
        glyphs = Keep(new RecordingTileset());
        ASSERT_EQ(0, glyphs->Create(engine, 32, 10));
        glyphs->CutGrid(8, 10, -1);
        dest = NewSurface(100, 40);
    }
    RecordingTileset* glyphs = nullptr;
    CQNDXSurface* dest = nullptr;
};

}  // namespace

TEST_F(TilesetFont, CharactersAreDrawnFromTheirTilesSideBySide) {
    CQNDXTilesetFont font(engine);
    ASSERT_EQ(0, font.SetTileset(glyphs, 'A', 4));
    EXPECT_EQ('A', font.GetFirstChar());
    EXPECT_EQ(4, font.GetCharCount());
    ASSERT_EQ(0, font.DrawText(dest, 10, 20, "AB?D", -1));
    ASSERT_EQ(3u, glyphs->calls.size()) << "'?' has no tile";
    const int xs[] = {10, 18, 26};
    const RECT rects[] = {{0, 0, 8, 10}, {8, 0, 16, 10}, {24, 0, 32, 10}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(xs[i], glyphs->calls[i].x);
        EXPECT_EQ(20, glyphs->calls[i].y);
        EXPECT_TRUE(SameRect(rects[i], glyphs->calls[i].rect));
        EXPECT_EQ(1, glyphs->calls[i].keyed);
    }
    glyphs->calls.clear();
    ASSERT_EQ(0, font.DrawText(dest, 0, 0, "ABCD", 2));
    EXPECT_EQ(2u, glyphs->calls.size());
    glyphs->calls.clear();
    ASSERT_EQ(0, font.DrawTextAligned(dest, 0, 0, "DD", 2));
    EXPECT_EQ(2u, glyphs->calls.size());
    EXPECT_EQ(8, glyphs->calls[1].x);
}

TEST_F(TilesetFont, APenPastTheIntRangeStaysThere) {
    CQNDXTilesetFont font(engine);
    ASSERT_EQ(0, font.SetTileset(glyphs, 'A', 4));
    ASSERT_EQ(0, font.DrawText(dest, INT_MAX - 10, INT_MIN, "ABCDABCD", -1));
    ASSERT_EQ(8u, glyphs->calls.size());
    EXPECT_EQ(INT_MAX - 10, glyphs->calls[0].x);
    EXPECT_EQ(INT_MAX - 2, glyphs->calls[1].x);
    for (const auto& call : glyphs->calls) {
        EXPECT_GE(call.x, INT_MAX - 10) << "the pen wrapped round";
        EXPECT_EQ(INT_MIN, call.y);
    }
}

TEST_F(TilesetFont, TheCharacterCountLimitsTheTilesUsed) {
    CQNDXTilesetFont font(engine);
    ASSERT_EQ(0, font.SetTileset(glyphs, 'A', 2));
    ASSERT_EQ(0, font.DrawText(dest, 0, 0, "ABCD", -1));
    EXPECT_EQ(2u, glyphs->calls.size());
    SIZE size;
    ASSERT_EQ(1, font.GetTextExtent(dest, "ABCD", -1, &size));
    EXPECT_EQ(16, size.cx);
    EXPECT_EQ(10, size.cy);
    ASSERT_EQ(1, font.GetTextExtent(nullptr, "AB", 1, &size));
    EXPECT_EQ(8, size.cx);
    ASSERT_EQ(1, font.GetTextExtent(nullptr, "zz", -1, &size));
    EXPECT_EQ(0, size.cx);
    EXPECT_EQ(1, font.GetTextExtent(nullptr, "AB", -1, nullptr));
}

TEST_F(TilesetFont, AGivenTilesetStaysTheCallers) {
    {
        CQNDXTilesetFont font(engine);
        ASSERT_EQ(0, font.SetTileset(glyphs, 'A', 4));
        EXPECT_EQ(glyphs, font.GetTileset());
        // Handing it in again keeps it.
        ASSERT_EQ(0, font.SetTileset(glyphs, 'B', 3));
        EXPECT_EQ('B', font.GetFirstChar());
    }
    // Still ours: the font did not delete it.
    EXPECT_EQ(4, glyphs->GetTileCount());
}

TEST_F(TilesetFont, RefusalsAndEmptyFonts) {
    CQNDXTilesetFont noEngine(nullptr);
    EXPECT_EQ(-1, noEngine.SetTileset(glyphs, 'A', 4));
    EXPECT_EQ(-1, noEngine.LoadTileset("font.png", 8, 8, 'x', 10));
    EXPECT_EQ('x', noEngine.GetFirstChar());

    CQNDXTilesetFont font(engine);
    EXPECT_EQ(-1, font.SetTileset(nullptr, 'A', 4));
    EXPECT_LT(font.LoadTileset("no-such-font-sheet.png", 8, 8, 'A', 4), 0);
    EXPECT_EQ(nullptr, font.GetTileset());
    EXPECT_EQ(-1, font.DrawText(dest, 0, 0, "A", -1)) << "no tileset, nothing to draw";
    EXPECT_EQ(0u, font.GetTextColor());
    EXPECT_EQ(0u, font.GetBkColor());
    font.SetTextColor(0xFFFFFF);
    EXPECT_EQ(0u, font.GetTextColor());
    // A key for a font without tileset changes nothing and does not crash.
    font.SetTilesetColorKey(5);
    font.SetTilesetColorKeyRGB(RGB(1, 2, 3));
}

TEST_F(TilesetFont, ColourKeysReachTheTileset) {
    CQNDXTilesetFont font(engine);
    ASSERT_EQ(0, font.SetTileset(glyphs, 'A', 4));
    font.SetTilesetColorKey(0x00ABCDEF);
    DDCOLORKEY key = {};
    ASSERT_EQ(DD_OK, glyphs->GetDDSurface()->GetColorKey(DDCKEY_SRCBLT, &key));
    EXPECT_EQ(0x00ABCDEFu, key.dwColorSpaceLowValue);
    font.SetTilesetColorKeyRGB(RGB(0x11, 0x22, 0x33));
    ASSERT_EQ(DD_OK, glyphs->GetDDSurface()->GetColorKey(DDCKEY_SRCBLT, &key));
    EXPECT_EQ(0x00112233u, key.dwColorSpaceLowValue);
    EXPECT_EQ(RGB(0x11, 0x22, 0x33), glyphs->GetColorKey());
}
