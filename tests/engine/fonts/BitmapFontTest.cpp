// The bitmap font: glyph rectangles and the glyph surface (measured and
// rendered once, keyed on the background colour with no fringe), measuring,
// rebuilding, and keyed drawing onto a coloured background.
#include <gtest/gtest.h>

#include <climits>
#include <set>

#include "GraphicEngine/Font.h"
#include "engine/fonts/FontTestSupport.h"
#include "platform/sim/Sim.h"

using namespace fonttest;
using sheettest::EngineTest;
using sheettest::NativeOf;

namespace {

class BitmapFont : public EngineTest {};

class BitmapFontKinds : public EngineTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override { StartEngine(GetParam()); }
};

std::string KindName(const ::testing::TestParamInfo<int>& info) { return "Bpp" + std::to_string(info.param); }

int Width(const RECT* r) { return r->right - r->left; }

}  // namespace

TEST_F(BitmapFont, GlyphsOfTheFirst128CharactersLieSideBySide) {
    CQNDXBitmapFont font(engine);
    CQNDXSurface* glyphs = font.GetGlyphSurface();
    ASSERT_NE(nullptr, glyphs);
    EXPECT_EQ(0xFFFFFFu, font.GetTextColor());
    EXPECT_EQ(0u, font.GetBkColor());

    // Each glyph is as wide as the platform measures that character.
    CQNDXSurface* probe = NewSurface(10, 10);
    HDC dc = probe->GetDC();
    HGDIOBJ previous = SelectObject(dc, font.GetHFONT());
    LONG x = 0;
    for (int c = 0; c < 128; ++c) {
        char ch = static_cast<char>(c);
        SIZE size;
        ASSERT_TRUE(GetTextExtentPoint32A(dc, &ch, 1, &size));
        const RECT* r = font.GetGlyphRect(static_cast<unsigned char>(c));
        EXPECT_EQ(x, r->left) << "character " << c;
        EXPECT_EQ(size.cx, Width(r)) << "character " << c;
        EXPECT_EQ(0, r->top);
        EXPECT_EQ(12, r->bottom);
        x += size.cx;
    }
    SelectObject(dc, previous);
    probe->ReleaseDC();
    EXPECT_EQ(x, glyphs->GetWidth());
    EXPECT_EQ(12, glyphs->GetHeight());
    for (int c = 128; c < 256; ++c) EXPECT_EQ(0, Width(font.GetGlyphRect(static_cast<unsigned char>(c))));
}

TEST_F(BitmapFont, ExtentIsTheSumOfGlyphWidthsAndTheTallestGlyph) {
    CQNDXBitmapFont font(engine, "Arial", 0, 18, 700, nullptr);
    SIZE ab, a3, clamped, high;
    ASSERT_EQ(1, font.GetTextExtent(nullptr, "ab", -1, &ab));
    EXPECT_EQ(Width(font.GetGlyphRect('a')) + Width(font.GetGlyphRect('b')), ab.cx);
    EXPECT_EQ(18, ab.cy);
    ASSERT_EQ(1, font.GetTextExtent(nullptr, "abc", 2, &a3));
    EXPECT_EQ(ab.cx, a3.cx);
    ASSERT_EQ(1, font.GetTextExtent(nullptr, "ab", 50, &clamped));
    EXPECT_EQ(ab.cx, clamped.cx);
    // Characters above 127 have no glyph and no width.
    ASSERT_EQ(1, font.GetTextExtent(nullptr, "a\xE9\x80", -1, &high));
    EXPECT_EQ(Width(font.GetGlyphRect('a')), high.cx);
    EXPECT_EQ(1, font.GetTextExtent(nullptr, "ab", -1, nullptr));
    ASSERT_EQ(1, font.GetTextExtent(nullptr, nullptr, -1, &high));
    EXPECT_EQ(0, high.cx);
}

TEST_F(BitmapFont, WithoutAnEngineThereIsNoGlyphSurfaceAndDrawingFails) {
    CQNDXBitmapFont font(nullptr);
    EXPECT_NE(nullptr, font.GetHFONT());
    EXPECT_EQ(nullptr, font.GetGlyphSurface());
    CQNDXSurface* dest = NewSurface(20, 20);
    EXPECT_EQ(-1, font.DrawText(dest, 0, 0, "abc", -1));
    EXPECT_EQ(-1, font.DrawTextAligned(dest, 0, 0, "abc", 1));
}

TEST_F(BitmapFont, ColourChangesRebuildTheGlyphs) {
    CQNDXBitmapFont font(engine);
    font.SetTextColor(RGB(255, 0, 0));
    std::set<DWORD> values;
    for (DWORD p : All(font.GetGlyphSurface())) values.insert(p);
    EXPECT_EQ((std::set<DWORD>{0u, 0xFF0000u}), values);

    font.SetBkColor(RGB(0, 0, 255));
    values.clear();
    for (DWORD p : All(font.GetGlyphSurface())) values.insert(p);
    EXPECT_EQ((std::set<DWORD>{0x0000FFu, 0xFF0000u}), values);
}

TEST_F(BitmapFont, ALostGlyphSurfaceIsRebuiltBeforeDrawing) {
    CQNDXBitmapFont font(engine);
    font.GetGlyphSurface()->SetNeedsReload(1);
    CQNDXSurface* dest = NewSurface(50, 20);
    font.DrawText(dest, 0, 0, "x", -1);
    ASSERT_NE(nullptr, font.GetGlyphSurface());
    EXPECT_EQ(0, font.GetGlyphSurface()->NeedsReload());
    EXPECT_GT(font.GetGlyphSurface()->GetWidth(), 0);
}

TEST_F(BitmapFont, NullTextOrDestinationFails) {
    CQNDXBitmapFont font(engine);
    CQNDXSurface* dest = NewSurface(20, 20);
    EXPECT_EQ(-1, font.DrawText(dest, 0, 0, nullptr, 3));
    EXPECT_EQ(-1, font.DrawText(nullptr, 0, 0, "abc", 3));
    EXPECT_EQ(-1, font.DrawTextAligned(dest, 0, 0, nullptr, 0));
}

// The glyph surface holds exactly two values: the key (the background colour
// in the surface's format) and the text colour. Nothing in between, so no
// fringe shows around keyed glyphs.
TEST_P(BitmapFontKinds, GlyphSurfaceIsKeyedOnTheBackgroundAndHoldsNoOtherShade) {
    const COLORREF text = RGB(0xF0, 0xE8, 0x31), back = RGB(0x13, 0x57, 0x9B);
    CQNDXBitmapFont font(engine);
    font.SetTextColor(text);
    font.SetBkColor(back);
    CQNDXSurface* glyphs = font.GetGlyphSurface();
    ASSERT_NE(nullptr, glyphs);
    DDCOLORKEY key = {};
    ASSERT_EQ(DD_OK, glyphs->GetDDSurface()->GetColorKey(DDCKEY_SRCBLT, &key));
    EXPECT_EQ(NativeOf(GetParam(), back), key.dwColorSpaceLowValue);

    int inked = 0;
    for (DWORD p : All(glyphs)) {
        if (p == NativeOf(GetParam(), text))
            ++inked;
        else
            ASSERT_EQ(NativeOf(GetParam(), back), p);
    }
    EXPECT_GT(inked, 500);
}

// Drawn keyed onto a coloured background, every pixel is either the
// background or the text colour.
TEST_P(BitmapFontKinds, KeyedGlyphsOnAColouredBackgroundShowNoHalo) {
    SKIP_WITHOUT_COPIES();
    CQNDXBitmapFont font(engine);
    font.SetTextColor(RGB(255, 255, 255));
    CQNDXSurface* dest = NewSurface(160, 30);
    const DWORD ground = NativeOf(GetParam(), RGB(40, 90, 200));
    FillSurface(dest, ground);
    ASSERT_EQ(0, font.DrawText(dest, 3, 5, "Halo? WMgj", -1));
    int inked = 0;
    for (DWORD p : All(dest)) {
        if (p == NativeOf(GetParam(), RGB(255, 255, 255)))
            ++inked;
        else
            ASSERT_EQ(ground, p) << "a fringe pixel";
    }
    EXPECT_GT(inked, 40);
    // The alignment is ignored.
    std::vector<DWORD> plain = All(dest);
    FillSurface(dest, ground);
    ASSERT_EQ(0, font.DrawTextAligned(dest, 3, 5, "Halo? WMgj", 1));
    EXPECT_EQ(plain, All(dest));
}

// The glyphs' own background need not be black: whatever it is, it is keyed
// out exactly.
TEST_P(BitmapFontKinds, AColouredGlyphBackgroundIsKeyedOutToo) {
    SKIP_WITHOUT_COPIES();
    CQNDXBitmapFont font(engine);
    font.SetBkColor(RGB(0x13, 0x57, 0x9B));
    CQNDXSurface* dest = NewSurface(120, 30);
    const DWORD ground = NativeOf(GetParam(), RGB(200, 30, 30));
    FillSurface(dest, ground);
    ASSERT_EQ(0, font.DrawText(dest, 3, 5, "Keyed", -1));
    for (DWORD p : All(dest)) {
        if (p != NativeOf(GetParam(), RGB(255, 255, 255))) {
            ASSERT_EQ(ground, p) << "the glyph background shows";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllKinds, BitmapFontKinds, ::testing::ValuesIn(sheettest::kKinds), KindName);

TEST_F(BitmapFont, DrawingStopsAtTheLengthAndAtTheEndOfTheText) {
    SKIP_WITHOUT_COPIES();
    CQNDXBitmapFont font(engine);
    CQNDXSurface* dest = NewSurface(120, 20);
    FillSurface(dest, 0);
    ASSERT_EQ(0, font.DrawText(dest, 0, 0, "abcdef", 3));
    std::vector<DWORD> three = All(dest);
    FillSurface(dest, 0);
    ASSERT_EQ(0, font.DrawText(dest, 0, 0, "abc", 99));
    EXPECT_EQ(three, All(dest));
    FillSurface(dest, 0);
    EXPECT_EQ(0, font.DrawText(dest, 0, 0, "abc", 0));
    EXPECT_EQ(0, Ink(dest, 0).right);
}

TEST_F(BitmapFont, TextRunningPastTheIntRangeDrawsNothing) {
    SKIP_WITHOUT_COPIES();
    CQNDXBitmapFont font(engine);
    CQNDXSurface* dest = NewSurface(60, 20);
    FillSurface(dest, 0);
    const std::vector<DWORD> blank = All(dest);
    // The pen passes INT_MAX a few glyphs in; nothing shows either way.
    EXPECT_EQ(0, font.DrawText(dest, INT_MAX - 20, 0, "abcdefghijklmnop", -1));
    EXPECT_EQ(0, font.DrawText(dest, INT_MIN, INT_MAX, "abcdefghijklmnop", -1));
    EXPECT_EQ(blank, All(dest));
}
