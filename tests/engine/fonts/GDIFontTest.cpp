// The GDI font: its default font, ownership of fonts and font files,
// drawing through the surface's device context (lengths, colours,
// alignment, wrapping) and measuring.
#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "GraphicEngine/Font.h"
#include "engine/fonts/FontTestSupport.h"
#include "platform/sim/Sim.h"

using namespace fonttest;
using sheettest::EngineTest;
using sheettest::NativeOf;

namespace {

LOGFONTA Describe(HFONT font) {
    LOGFONTA lf = {};
    EXPECT_EQ(static_cast<int>(sizeof lf), GetObjectA(font, sizeof lf, &lf));
    return lf;
}

bool Alive(HFONT font) {
    LOGFONTA lf;
    return GetObjectA(font, sizeof lf, &lf) != 0;
}

class GDIFontDraw : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        surface = NewSurface(200, 60);
        FillSurface(surface, 0);
    }
    std::vector<DWORD> Drawn(CQNDXFont& font, const char* text, int len) {
        FillSurface(surface, 0);
        EXPECT_EQ(0, font.DrawText(surface, 4, 4, text, len));
        return All(surface);
    }
    CQNDXSurface* surface = nullptr;
};

}  // namespace

// ---------------------------------------------------------------------------
// Fonts and ownership

TEST(GDIFont, DefaultIsTwelvePixelArialInWhiteWithANearBlackBackground) {
    CQNDXGDIFont font;
    ASSERT_NE(nullptr, font.GetHFONT());
    LOGFONTA lf = Describe(font.GetHFONT());
    EXPECT_STREQ("Arial", lf.lfFaceName);
    EXPECT_EQ(12, lf.lfHeight);
    EXPECT_EQ(0, lf.lfWidth);
    EXPECT_EQ(400, lf.lfWeight);
    EXPECT_EQ(NONANTIALIASED_QUALITY, lf.lfQuality);
    EXPECT_EQ(0xFFFFFFu, font.GetTextColor());
    EXPECT_EQ(0x010000u, font.GetBkColor());
    EXPECT_EQ(1, font.OwnsFont());
    EXPECT_EQ(nullptr, font.GetFontFile());
    font.SetTextColor(0x123456);
    font.SetBkColor(0x654321);
    EXPECT_EQ(0x123456u, font.GetTextColor());
    EXPECT_EQ(0x654321u, font.GetBkColor());
}

TEST(GDIFont, AnAdoptedFontIsNeverDeleted) {
    HFONT mine = CreateFontA(20, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0, "Times New Roman");
    {
        CQNDXGDIFont font(mine);
        EXPECT_EQ(mine, font.GetHFONT());
        EXPECT_EQ(0, font.OwnsFont());
        // Replaced by a font of its own: the adopted one lives on.
        ASSERT_EQ(0, font.CreateFont("Arial", 0, 10, 400, nullptr));
        EXPECT_TRUE(Alive(mine));
        EXPECT_EQ(1, font.OwnsFont());
    }
    {
        CQNDXGDIFont font(mine);
        // Handing the same font in again changes nothing.
        EXPECT_EQ(0, font.SetFont(mine));
        EXPECT_EQ(mine, font.GetHFONT());
    }
    EXPECT_TRUE(Alive(mine));
    EXPECT_TRUE(DeleteObject(mine));
}

TEST(GDIFont, OwnFontsGoWhenReplacedOrDestroyed) {
    HFONT own = nullptr;
    {
        CQNDXGDIFont font("Arial", 0, 16, 400, nullptr);
        own = font.GetHFONT();
        ASSERT_TRUE(Alive(own));
        ASSERT_EQ(0, font.CreateFont("Arial", 0, 20, 400, nullptr));
        EXPECT_FALSE(Alive(own));
        own = font.GetHFONT();
        // Owning its font, handing it back must not delete it.
        EXPECT_EQ(0, font.SetFont(own));
        EXPECT_TRUE(Alive(own));
        EXPECT_EQ(1, font.OwnsFont());
    }
    EXPECT_FALSE(Alive(own));
}

TEST(GDIFont, MissingFacesAndRefusedFontFilesLeaveNoFont) {
    CQNDXGDIFont font;
    EXPECT_EQ(-1, font.CreateFont(nullptr, 0, 12, 400, nullptr));
    EXPECT_EQ(-1, font.SetFont(nullptr));
    EXPECT_EQ(-1, font.CreateFont("Arial", 0, 12, 400, "/no/such/file.ttf"));
    EXPECT_EQ(nullptr, font.GetHFONT());
    EXPECT_EQ(nullptr, font.GetFontFile());
}

TEST(GDIFont, AFontFileStaysAddedExactlyAsLongAsTheFontObject) {
    RenamedFontFile file;
    ASSERT_FALSE(file.Path().empty());
    qndx::sim::EnableJournal(true);
    {
        // Deleted through the interface, as the engine deletes its default font.
        std::unique_ptr<CQNDXFont> font(new CQNDXGDIFont("Quendrixxx Mono", 0, 14, 400, file.Path().c_str()));
        CQNDXGDIFont* gdi = static_cast<CQNDXGDIFont*>(font.get());
        ASSERT_NE(nullptr, gdi->GetHFONT());
        ASSERT_NE(nullptr, gdi->GetFontFile());
        EXPECT_EQ(file.Path(), gdi->GetFontFile());
        EXPECT_TRUE(file.Added());
        EXPECT_EQ(file.Path(), qndx::sim::ResolvedFontFile(gdi->GetHFONT()));
    }
    EXPECT_FALSE(file.Added());
    EXPECT_EQ(1, qndx::sim::JournalCount("RemoveFontResourceA"));
}

TEST(GDIFont, AFailedCreationRemovesTheFontFileAgain) {
    RenamedFontFile file;
    CQNDXGDIFont font;
    qndx::sim::FailNext("CreateFontA", 1, 0);
    EXPECT_EQ(-2, font.CreateFont("Quendrixxx Mono", 0, 14, 400, file.Path().c_str()));
    EXPECT_EQ(nullptr, font.GetHFONT());
    EXPECT_EQ(nullptr, font.GetFontFile());
    EXPECT_FALSE(file.Added());
}

// ---------------------------------------------------------------------------
// Drawing

TEST_F(GDIFontDraw, LengthsBeyondTheTextOrNegativeDrawTheWholeText) {
    CQNDXGDIFont font;
    std::vector<DWORD> whole = Drawn(font, "abcdef", -1);
    EXPECT_EQ(whole, Drawn(font, "abcdef", 6));
    EXPECT_EQ(whole, Drawn(font, "abcdef", 1000));
    EXPECT_NE(whole, Drawn(font, "abcdef", 3));
    EXPECT_EQ(Drawn(font, "abc", -1), Drawn(font, "abcdef", 3));

    FillSurface(surface, 0);
    EXPECT_EQ(0, font.DrawText(surface, 4, 4, "abcdef", 0));
    EXPECT_EQ(0, Ink(surface, 0).right);
}

TEST_F(GDIFontDraw, NullTextOrDestinationFails) {
    CQNDXGDIFont font;
    EXPECT_EQ(-1, font.DrawText(surface, 0, 0, nullptr, 3));
    EXPECT_EQ(-1, font.DrawText(nullptr, 0, 0, "abc", 3));
    EXPECT_EQ(-1, font.DrawTextAligned(surface, 0, 0, nullptr, 0));
    EXPECT_EQ(-1, font.DrawTextAligned(nullptr, 0, 0, "abc", 0));
    CQNDXSurface empty;
    EXPECT_EQ(-1, font.DrawText(&empty, 0, 0, "abc", 3));
    qndx::sim::FailNext("TextOutA", 1, 0);
    EXPECT_EQ(-1, font.DrawText(surface, 0, 0, "abc", 3));
}

TEST_F(GDIFontDraw, TextIsDrawnInTheTextColourOnATransparentBackground) {
    CQNDXGDIFont font;
    font.SetTextColor(RGB(255, 128, 0));
    const DWORD ground = 0x00336699;
    FillSurface(surface, ground);
    ASSERT_EQ(0, font.DrawText(surface, 2, 2, "Quendrix", -1));
    int inked = 0;
    for (DWORD p : All(surface)) {
        if (p == NativeOf(32, RGB(255, 128, 0)))
            ++inked;
        else
            ASSERT_EQ(ground, p);
    }
    EXPECT_GT(inked, 30);
    EXPECT_EQ(0u, surface->GetDCCount()) << "the device context is given back";
}

TEST_F(GDIFontDraw, AlignedTextSitsBetweenXAndTheSurfacesRightEdge) {
    CQNDXGDIFont font;
    SIZE size;
    ASSERT_EQ(1, font.GetTextExtent(surface, "Centre", -1, &size));
    auto inkFor = [&](int align) {
        FillSurface(surface, 0);
        EXPECT_EQ(0, font.DrawTextAligned(surface, 40, 10, "Centre", align));
        return Ink(surface, 0);
    };
    RECT left = inkFor(0), centre = inkFor(1), right = inkFor(2), other = inkFor(7);
    EXPECT_NEAR(40, left.left, 2);
    EXPECT_NEAR(40 + (200 - 40 - size.cx) / 2, centre.left, 2);
    EXPECT_NEAR(200 - size.cx, right.left, 2);
    EXPECT_LE(right.right, 200);
    EXPECT_EQ(left.left, other.left);
    EXPECT_GE(left.top, 10);
}

TEST_F(GDIFontDraw, TextAtTheIntLimitsThroughTheSurface) {
    CQNDXGDIFont font;
    ASSERT_EQ(0, surface->SetFont(&font));
    const std::vector<DWORD> blank = All(surface);
    const int limits[] = {INT_MIN, INT_MIN + 1, 10, INT_MAX - 1, INT_MAX};
    for (int x : limits)
        for (int y : limits) {
            // Plain text starts at (x, y): off the surface unless both are near.
            FillSurface(surface, 0);
            EXPECT_EQ(0, surface->DrawText(x, y, "Quendrix", -1)) << x << ", " << y;
            if (x != 10 || y != 10) {
                EXPECT_EQ(blank, All(surface)) << x << ", " << y;
            }
            // Aligned text lies between x and the right edge, so it may show.
            for (int align = 0; align < 3; ++align) {
                const int r = surface->DrawTextEx(x, y, "Quendrix", align);
                EXPECT_TRUE(r == 0 || r == -1) << x << ", " << y << ", " << align;
            }
        }
    EXPECT_EQ(0u, surface->GetDCCount());
}

TEST_F(GDIFontDraw, LongAlignedTextWrapsAtWordsAtTheRightEdge) {
    CQNDXGDIFont font;
    ASSERT_EQ(0, font.DrawTextAligned(surface, 120, 0, "You must implement a new state", 0));
    EXPECT_GE(InkBands(surface, 0), 3);
    EXPECT_LE(Ink(surface, 0).right, 200);
    EXPECT_GE(Ink(surface, 0).left, 120);
}

// ---------------------------------------------------------------------------
// Measuring

TEST_F(GDIFontDraw, ExtentsAddUpAndLengthsAreClampedToTheText) {
    CQNDXGDIFont font;
    SIZE a, b, ab, whole, longer, part;
    ASSERT_EQ(1, font.GetTextExtent(surface, "a", -1, &a));
    ASSERT_EQ(1, font.GetTextExtent(surface, "b", -1, &b));
    ASSERT_EQ(1, font.GetTextExtent(surface, "ab", -1, &ab));
    EXPECT_EQ(a.cx + b.cx, ab.cx);
    EXPECT_EQ(12, ab.cy);
    ASSERT_EQ(1, font.GetTextExtent(surface, "abcdef", -1, &whole));
    ASSERT_EQ(1, font.GetTextExtent(surface, "abcdef", 4096, &longer));
    ASSERT_EQ(1, font.GetTextExtent(surface, "abcdef", 2, &part));
    EXPECT_EQ(whole.cx, longer.cx);
    EXPECT_EQ(ab.cx, part.cx);
}

TEST_F(GDIFontDraw, ExtentEdgeCases) {
    CQNDXGDIFont font;
    SIZE size = {7, 7};
    EXPECT_EQ(1, font.GetTextExtent(surface, "abc", -1, nullptr));
    EXPECT_EQ(0, font.GetTextExtent(nullptr, "abc", -1, &size));
    EXPECT_EQ(1, font.GetTextExtent(surface, nullptr, 5, &size));
    EXPECT_EQ(0, size.cx);
    EXPECT_EQ(0, size.cy);
    qndx::sim::FailNext("GetTextExtentPoint32A", 1, 0);
    EXPECT_EQ(0, font.GetTextExtent(surface, "abc", -1, &size));
    EXPECT_EQ(0u, surface->GetDCCount());
}
