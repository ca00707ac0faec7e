// TextOutA, GetTextExtentPoint32A and DrawTextA on surfaces of every pixel
// kind: colours written exactly, monochrome versus antialiased edges, opaque
// cells, clipping, alignment, wrapping and the glyph cache.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "platform/Gdi.h"
#include "platform/sim/Sim.h"
#include "platform/sim/Text.h"
#include "platform/text/TextTestSupport.h"

using namespace texttest;

namespace {

class TextKinds : public ::testing::TestWithParam<int> {};

std::string KindName(const ::testing::TestParamInfo<int>& info) { return "Bpp" + std::to_string(info.param); }

}  // namespace

// ---------------------------------------------------------------------------
// Measuring

TEST(TextExtent, CellHeightIsTheHeightAskedForAndWidthsAdd) {
    Canvas c(32, 64, 32);
    HDC dc = c.Dc();
    Selected font(dc, MakeFont("Arial", 12, NONANTIALIASED_QUALITY));
    SIZE a = {0, 0}, b = {0, 0}, ab = {0, 0}, empty = {-1, -1};
    ASSERT_TRUE(GetTextExtentPoint32A(dc, "a", 1, &a));
    ASSERT_TRUE(GetTextExtentPoint32A(dc, "b", 1, &b));
    ASSERT_TRUE(GetTextExtentPoint32A(dc, "ab", 2, &ab));
    ASSERT_TRUE(GetTextExtentPoint32A(dc, "", 0, &empty));
    EXPECT_EQ(12, a.cy);
    EXPECT_EQ(a.cx + b.cx, ab.cx);
    EXPECT_GT(a.cx, 0);
    EXPECT_EQ(0, empty.cx);
    EXPECT_EQ(12, empty.cy);

    SIZE wide = {0, 0}, narrow = {0, 0};
    GetTextExtentPoint32A(dc, "WWWW", 4, &wide);
    GetTextExtentPoint32A(dc, "iiii", 4, &narrow);
    EXPECT_GT(wide.cx, narrow.cx);
    // Only the count given is measured.
    SIZE part = {0, 0};
    GetTextExtentPoint32A(dc, "abXYZ", 2, &part);
    EXPECT_EQ(ab.cx, part.cx);
}

TEST(TextExtent, NegativeHeightIsAnEmSizeAndGivesATallerCell) {
    Canvas c(32, 16, 16);
    HDC dc = c.Dc();
    SIZE cell = {0, 0}, em = {0, 0};
    {
        Selected font(dc, MakeFont("Arial", 20, NONANTIALIASED_QUALITY));
        GetTextExtentPoint32A(dc, "x", 1, &cell);
    }
    {
        Selected font(dc, MakeFont("Arial", -20, NONANTIALIASED_QUALITY));
        GetTextExtentPoint32A(dc, "x", 1, &em);
    }
    EXPECT_EQ(20, cell.cy);
    EXPECT_GT(em.cy, 20);
}

TEST(TextExtent, BadArgumentsFail) {
    Canvas c(32, 16, 16);
    HDC dc = c.Dc();
    SIZE s;
    EXPECT_FALSE(GetTextExtentPoint32A(dc, "a", 1, nullptr));
    EXPECT_FALSE(GetTextExtentPoint32A(dc, nullptr, 3, &s));
    EXPECT_FALSE(GetTextExtentPoint32A(dc, "a", -1, &s));
    EXPECT_FALSE(GetTextExtentPoint32A(reinterpret_cast<HDC>(0x99), "a", 1, &s));
    qndx::sim::FailNext("GetTextExtentPoint32A", 1, 0);
    EXPECT_FALSE(GetTextExtentPoint32A(dc, "a", 1, &s));
    EXPECT_TRUE(GetTextExtentPoint32A(dc, "a", 1, &s));
}

// ---------------------------------------------------------------------------
// Colours written

TEST_P(TextKinds, MonochromeTextWritesOnlyTheTextColourKeepingTheTopBits) {
    Canvas c(GetParam(), 120, 30);
    const COLORREF ground = RGB(0x31, 0x9C, 0x47), ink = RGB(0x87, 0x45, 0xC3);
    c.Fill(ground);
    HDC dc = c.Dc();
    Selected font(dc, MakeFont("Arial", 20, NONANTIALIASED_QUALITY));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ink);
    ASSERT_TRUE(TextOutA(dc, 3, 4, "Wag&08", 6));
    c.Release();

    // The native value keeps each channel's top bits.
    DWORD expected = 0;
    switch (GetParam()) {
        case 15: expected = (0x87 >> 3) << 10 | (0x45 >> 3) << 5 | (0xC3 >> 3); break;
        case 16: expected = (0x87 >> 3) << 11 | (0x45 >> 2) << 5 | (0xC3 >> 3); break;
        default: expected = 0x874 << 12 | 0x5C3; break;
    }
    EXPECT_EQ(expected, c.Native(ink));
    int inked = 0;
    for (DWORD p : c.Pixels()) {
        if (p == expected)
            ++inked;
        else
            ASSERT_EQ(c.Native(ground), p) << "a pixel between text and background colour";
    }
    EXPECT_GT(inked, 40);
    EXPECT_TRUE(c.PaddingIntact());
}

TEST_P(TextKinds, OpaqueMonochromeTextFillsItsCellWithExactlyTheBackgroundColour) {
    Canvas c(GetParam(), 100, 40);
    const COLORREF ground = RGB(200, 10, 10), back = RGB(0x13, 0x57, 0x9B), ink = RGB(255, 255, 255);
    c.Fill(ground);
    HDC dc = c.Dc();
    Selected font(dc, MakeFont("Arial", 16, NONANTIALIASED_QUALITY));
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, back);
    SetTextColor(dc, ink);
    SIZE size;
    ASSERT_TRUE(GetTextExtentPoint32A(dc, "Hello", 5, &size));
    ASSERT_TRUE(TextOutA(dc, 10, 5, "Hello", 5));
    c.Release();

    int inked = 0;
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x) {
            bool inCell = x >= 10 && x < 10 + size.cx && y >= 5 && y < 5 + size.cy;
            DWORD p = c.At(x, y);
            if (!inCell) {
                ASSERT_EQ(c.Native(ground), p) << "outside the cell at " << x << "," << y;
            } else if (p == c.Native(ink)) {
                ++inked;
            } else {
                ASSERT_EQ(c.Native(back), p) << "inside the cell at " << x << "," << y;
            }
        }
    EXPECT_GT(inked, 20);
}

TEST_P(TextKinds, AntialiasedTextBlendsItsEdgesWithTheBackground) {
    Canvas c(GetParam(), 100, 40);
    c.Fill(RGB(0, 0, 0));
    HDC dc = c.Dc();
    Selected font(dc, MakeFont("Arial", 24, ANTIALIASED_QUALITY));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    ASSERT_TRUE(TextOutA(dc, 2, 2, "Sow", 3));
    c.Release();
    std::set<DWORD> values;
    for (DWORD p : c.Pixels()) values.insert(p);
    EXPECT_GT(values.size(), 4u) << "an antialiased font wrote only a few distinct values";
}

INSTANTIATE_TEST_SUITE_P(AllKinds, TextKinds, ::testing::ValuesIn(kKinds), KindName);

// ---------------------------------------------------------------------------
// TextOutA placement and clipping

TEST(TextOut, TextSitsInItsCellBelowAndRightOfThePoint) {
    Canvas c(32, 100, 50);
    HDC dc = c.Dc();
    Selected font(dc, MakeFont("Arial", 20, NONANTIALIASED_QUALITY));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    SIZE size;
    GetTextExtentPoint32A(dc, "Hxg", 3, &size);
    ASSERT_TRUE(TextOutA(dc, 30, 12, "Hxg", 3));
    c.Release();
    RECT ink = Ink(c, 0);
    EXPECT_GE(ink.left, 30);
    EXPECT_GE(ink.top, 12);
    EXPECT_LE(ink.right, 30 + size.cx + 1);
    EXPECT_LE(ink.bottom, 12 + size.cy);
    // The descender of 'g' reaches below the middle of the cell.
    EXPECT_GT(ink.bottom, 12 + size.cy / 2);
}

TEST(TextOut, TextAcrossEveryEdgeIsClippedToTheSurface) {
    for (int kind : kKinds) {
        Canvas c(kind, 40, 20);
        HDC dc = c.Dc();
        Selected font(dc, MakeFont("Arial", 30, ANTIALIASED_QUALITY));
        SetBkMode(dc, OPAQUE);
        SetTextColor(dc, RGB(255, 255, 255));
        SetBkColor(dc, RGB(0, 0, 255));
        EXPECT_TRUE(TextOutA(dc, -15, -12, "WMW", 3));
        EXPECT_TRUE(TextOutA(dc, 25, 10, "WMW", 3));
        EXPECT_TRUE(TextOutA(dc, -100000, 5, "W", 1));
        EXPECT_TRUE(TextOutA(dc, 2147483000, 2147483000, "W", 1));
        c.Release();
        EXPECT_TRUE(c.PaddingIntact()) << "bpp " << kind;
    }
}

TEST(TextOut, CountsAndArgumentsAreChecked) {
    Canvas c(32, 40, 20);
    HDC dc = c.Dc();
    Selected font(dc, MakeFont("Arial", 12, NONANTIALIASED_QUALITY));
    SetTextColor(dc, RGB(255, 255, 255));
    EXPECT_TRUE(TextOutA(dc, 0, 0, "abc", 0));
    EXPECT_FALSE(TextOutA(dc, 0, 0, "abc", -1));
    EXPECT_FALSE(TextOutA(dc, 0, 0, nullptr, 3));
    EXPECT_FALSE(TextOutA(nullptr, 0, 0, "abc", 3));
    qndx::sim::FailNext("TextOutA", 1, 0);
    EXPECT_FALSE(TextOutA(dc, 0, 0, "abc", 3));
    c.Release();
    EXPECT_EQ(0, Ink(c, 0).right) << "nothing drawn by the calls that failed";

    // A screen DC has no pixels to draw into.
    HDC screen = GetDC(nullptr);
    EXPECT_FALSE(TextOutA(screen, 0, 0, "abc", 3));
    SIZE s;
    EXPECT_TRUE(GetTextExtentPoint32A(screen, "abc", 3, &s));
    ReleaseDC(nullptr, screen);
}

TEST(TextOut, BytesAbove127AreWindows1252) {
    Canvas c(32, 60, 30);
    HDC dc = c.Dc();
    Selected font(dc, MakeFont("Arial", 20, NONANTIALIASED_QUALITY));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    auto draw = [&](const char* s) {
        c.Fill(0);
        EXPECT_TRUE(TextOutA(dc, 5, 2, s, 1));
        return c.Pixels();
    };
    std::vector<DWORD> euro = draw("\x80"), unassigned = draw("\x81"), e = draw("e"), eAcute = draw("\xE9");
    EXPECT_NE(euro, unassigned);
    EXPECT_NE(e, eAcute);
    // e-acute is the e with an accent above: it has ink higher up than e.
    c.Fill(0);
    TextOutA(dc, 5, 2, "e", 1);
    RECT plain = Ink(c, 0);
    c.Fill(0);
    TextOutA(dc, 5, 2, "\xE9", 1);
    RECT accented = Ink(c, 0);
    EXPECT_LT(accented.top, plain.top);
    EXPECT_EQ(plain.bottom, accented.bottom);
}

// ---------------------------------------------------------------------------
// DrawTextA

namespace {

struct DrawTextCase {
    Canvas canvas{32, 200, 80};
    HDC dc = nullptr;
    HGDIOBJ previous = nullptr;
    HFONT font = nullptr;
    DrawTextCase() {
        dc = canvas.Dc();
        font = MakeFont("Arial", 14, NONANTIALIASED_QUALITY);
        previous = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 255));
    }
    ~DrawTextCase() {
        SelectObject(dc, previous);
        DeleteObject(font);
    }
    int Draw(const char* text, RECT r, UINT format) {
        canvas.Fill(0);
        return DrawTextA(dc, text, -1, &r, format);
    }
    int Width(const char* text) {
        SIZE s;
        GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &s);
        return s.cx;
    }
};

}  // namespace

TEST(DrawText, AlignmentPlacesTheLineLeftCentredOrRight) {
    DrawTextCase t;
    const RECT r = {20, 10, 180, 70};
    ASSERT_EQ(14, t.Draw("Move", r, DT_LEFT | DT_SINGLELINE));
    RECT left = Ink(t.canvas, 0);
    ASSERT_EQ(14, t.Draw("Move", r, DT_CENTER | DT_SINGLELINE));
    RECT centre = Ink(t.canvas, 0);
    ASSERT_EQ(14, t.Draw("Move", r, DT_RIGHT | DT_SINGLELINE));
    RECT right = Ink(t.canvas, 0);

    const int w = t.Width("Move");
    EXPECT_NEAR(20, left.left, 2);
    EXPECT_NEAR(20 + (160 - w) / 2, centre.left, 2);
    EXPECT_NEAR(180 - w, right.left, 2);
    EXPECT_LE(right.right, 180);
    // Centred: about as much room on each side.
    EXPECT_NEAR(centre.left - 20, 180 - centre.right, 3);
    EXPECT_EQ(left.top, centre.top);
}

TEST(DrawText, WordBreakWrapsAtTheRightEdgeAndReturnsTheHeightOfAllLines) {
    DrawTextCase t;
    const char* text = "one two three four five six seven";
    RECT r = {0, 0, 60, 80};
    int height = t.Draw(text, r, DT_LEFT | DT_WORDBREAK);
    EXPECT_GT(height, 14);
    EXPECT_EQ(0, height % 14);
    EXPECT_EQ(height / 14, InkBands(t.canvas, 0));
    RECT ink = Ink(t.canvas, 0);
    EXPECT_LE(ink.right, 60);

    // Measuring gives the same height and draws nothing.
    t.canvas.Fill(0);
    RECT calc = {0, 0, 60, 0};
    EXPECT_EQ(height, DrawTextA(t.dc, text, -1, &calc, DT_LEFT | DT_WORDBREAK | DT_CALCRECT));
    EXPECT_EQ(height, calc.bottom);
    EXPECT_LE(calc.right, 60);
    EXPECT_GT(calc.right, 0);
    EXPECT_EQ(0, Ink(t.canvas, 0).right);

    // Unwrapped, the same text is one line.
    RECT wide = {0, 0, 60, 80};
    EXPECT_EQ(14, t.Draw(text, wide, DT_LEFT));
}

TEST(DrawText, CalcRectGivesTheWidthOfTheWidestLine) {
    DrawTextCase t;
    RECT r = {5, 7, 5, 7};
    EXPECT_EQ(28, DrawTextA(t.dc, "ab\nabcd", -1, &r, DT_LEFT | DT_CALCRECT));
    EXPECT_EQ(5 + t.Width("abcd"), r.right);
    EXPECT_EQ(7 + 28, r.bottom);
}

TEST(DrawText, DrawingIsClippedToTheRectangleUnlessNoClip) {
    DrawTextCase t;
    RECT r = {10, 10, 40, 20};
    t.Draw("Wide wide wide text", r, DT_LEFT | DT_SINGLELINE);
    RECT clipped = Ink(t.canvas, 0);
    EXPECT_GE(clipped.left, 10);
    EXPECT_GE(clipped.top, 10);
    EXPECT_LE(clipped.right, 40);
    EXPECT_LE(clipped.bottom, 20);

    t.Draw("Wide wide wide text", r, DT_LEFT | DT_SINGLELINE | DT_NOCLIP);
    RECT unclipped = Ink(t.canvas, 0);
    EXPECT_GT(unclipped.right, 40);
    EXPECT_GT(unclipped.bottom, 20);
}

TEST(DrawText, SingleLineCanBeCentredVertically) {
    DrawTextCase t;
    RECT r = {0, 0, 200, 80};
    int result = t.Draw("Hg", r, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
    EXPECT_EQ((80 - 14) / 2 + 14, result);
    RECT ink = Ink(t.canvas, 0);
    EXPECT_GE(ink.top, (80 - 14) / 2);
    EXPECT_LE(ink.bottom, (80 - 14) / 2 + 14);
}

TEST(DrawText, PrefixUnderlinesAndDoubleAmpersandShowsOne) {
    DrawTextCase t;
    RECT r = {0, 0, 200, 80};
    t.Draw("a&&b", r, DT_LEFT | DT_SINGLELINE);
    std::vector<DWORD> escaped = t.canvas.Pixels();
    t.Draw("a&b", r, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(escaped, t.canvas.Pixels());

    t.Draw("ab", r, DT_LEFT | DT_SINGLELINE);
    RECT plain = Ink(t.canvas, 0);
    t.Draw("a&b", r, DT_LEFT | DT_SINGLELINE);
    RECT underlined = Ink(t.canvas, 0);
    EXPECT_GT(underlined.bottom, plain.bottom);
    EXPECT_NE(plain.bottom, 0);
}

TEST(DrawText, BadArgumentsReturnZero) {
    DrawTextCase t;
    RECT r = {0, 0, 50, 50};
    EXPECT_EQ(0, DrawTextA(t.dc, "abc", 3, nullptr, DT_LEFT));
    EXPECT_EQ(0, DrawTextA(t.dc, nullptr, 3, &r, DT_LEFT));
    EXPECT_EQ(0, DrawTextA(nullptr, "abc", 3, &r, DT_LEFT));
    qndx::sim::FailNext("DrawTextA", 1, 0);
    EXPECT_EQ(0, DrawTextA(t.dc, "abc", 3, &r, DT_LEFT));
    // An empty text is one empty line.
    EXPECT_EQ(14, DrawTextA(t.dc, "", 0, &r, DT_LEFT));
}

// ---------------------------------------------------------------------------
// Glyph cache and device-context state

TEST(GlyphCache, TextDrawnAgainRendersNoGlyphAgain) {
    Canvas c(16, 200, 30);
    HDC dc = c.Dc();
    Selected font(dc, MakeFont("Arial", 12, NONANTIALIASED_QUALITY));
    SetTextColor(dc, RGB(255, 255, 255));
    const char* line = "FPS: 60 Surfaces: 12";
    ASSERT_TRUE(TextOutA(dc, 0, 0, line, 20));
    qndx::sim::GlyphCacheCounts first = qndx::sim::GetGlyphCacheCounts();
    EXPECT_GT(first.rendered, 0u);
    for (int frame = 0; frame < 5; ++frame) ASSERT_TRUE(TextOutA(dc, 0, 10, line, 20));
    qndx::sim::GlyphCacheCounts later = qndx::sim::GetGlyphCacheCounts();
    EXPECT_EQ(first.rendered, later.rendered);
    EXPECT_GE(later.reused, first.reused + 5 * 20);
}

TEST(TextState, StockFontDrawsWhenNoFontIsSelected) {
    Canvas c(32, 80, 30);
    HDC dc = c.Dc();
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    EXPECT_TRUE(TextOutA(dc, 0, 0, "Abc", 3));
    c.Release();
    EXPECT_GT(Ink(c, 0).right, 0);
}
