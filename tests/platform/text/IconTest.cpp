// Cursor pictures: the stock arrow's hot spot, bitmaps and drawing, cursors
// made through the sim panel, and the bitmaps GetIconInfo hands out.
#include <gtest/gtest.h>

#include "platform/Icon.h"
#include "platform/User.h"
#include "platform/sim/Icon.h"
#include "platform/text/TextTestSupport.h"

using namespace texttest;

namespace {

const DWORD kGround = RGB(10, 200, 30);

// The arrow, row by row, as a person would draw it: '#' black outline,
// 'o' white inside; blanks leave the destination alone.
const char* const kExpectedArrowTip[] = {
    "#    ",
    "##   ",
    "#o#  ",
    "#oo# ",
    "#ooo#",
};

}  // namespace

TEST(StockArrow, HasItsHotSpotOnTheTipAndA32By32MaskAndColourBitmap) {
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    ASSERT_NE(nullptr, arrow);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(arrow, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(0u, info.xHotspot);
    EXPECT_EQ(0u, info.yHotspot);
    ASSERT_NE(nullptr, info.hbmMask);
    ASSERT_NE(nullptr, info.hbmColor);
    BITMAP mask = {}, colour = {};
    ASSERT_NE(0, GetObjectA(info.hbmMask, sizeof mask, &mask));
    ASSERT_NE(0, GetObjectA(info.hbmColor, sizeof colour, &colour));
    EXPECT_EQ(32, mask.bmWidth);
    EXPECT_EQ(32, mask.bmHeight);
    EXPECT_EQ(32, colour.bmWidth);
    EXPECT_EQ(32, colour.bmHeight);

    // Mask: white where transparent, black under the arrow.
    const uint32_t* m = static_cast<const uint32_t*>(mask.bmBits);
    EXPECT_EQ(0u, m[0] & 0xFFFFFF);
    EXPECT_EQ(0xFFFFFFu, m[31] & 0xFFFFFF);
    EXPECT_EQ(0xFFFFFFu, m[31 * 32 + 31] & 0xFFFFFF);

    EXPECT_EQ(2, qndx::sim::LiveIconInfoBitmaps());
    EXPECT_TRUE(DeleteObject(info.hbmMask));
    EXPECT_TRUE(DeleteObject(info.hbmColor));
    EXPECT_EQ(0, qndx::sim::LiveIconInfoBitmaps());
}

TEST(StockArrow, DrawsABlackOutlinedWhiteArrowAndLeavesTheRestAlone) {
    for (int kind : kKinds) {
        Canvas c(kind, 40, 40);
        c.Fill(kGround);
        ASSERT_TRUE(DrawIcon(c.Dc(), 3, 2, LoadCursorA(nullptr, IDC_ARROW)));
        c.Release();
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 5; ++x) {
                char want = kExpectedArrowTip[y][x];
                DWORD expected = want == '#' ? c.Native(0) : want == 'o' ? c.Native(RGB(255, 255, 255)) : c.Native(kGround);
                EXPECT_EQ(expected, c.At(3 + x, 2 + y)) << "bpp " << kind << " at " << x << "," << y;
            }
        // The arrow is about 12 by 19: its ink ends well inside the 32x32 picture.
        RECT ink = Ink(c, c.Native(kGround));
        EXPECT_EQ(3, ink.left);
        EXPECT_EQ(2, ink.top);
        EXPECT_EQ(3 + 12, ink.right);
        EXPECT_EQ(2 + 19, ink.bottom);
    }
}

TEST(StockArrow, DrawingAcrossTheEdgesStaysInsideTheSurface) {
    Canvas c(24, 10, 10);
    c.Fill(kGround);
    EXPECT_TRUE(DrawIcon(c.Dc(), -5, -5, LoadCursorA(nullptr, IDC_ARROW)));
    EXPECT_TRUE(DrawIcon(c.Dc(), 8, 8, LoadCursorA(nullptr, IDC_ARROW)));
    EXPECT_TRUE(DrawIcon(c.Dc(), 100000, -100000, LoadCursorA(nullptr, IDC_ARROW)));
    c.Release();
    EXPECT_TRUE(c.PaddingIntact());
    EXPECT_EQ(c.Native(0), c.At(8, 8));
}

TEST(Icons, UnknownHandlesAndStockPicturesWithoutDrawingAreRefused) {
    ICONINFO info = {};
    EXPECT_FALSE(GetIconInfo(nullptr, &info));
    EXPECT_FALSE(GetIconInfo(reinterpret_cast<HICON>(0x1234), &info));
    EXPECT_FALSE(GetIconInfo(LoadCursorA(nullptr, IDC_ARROW), nullptr));
    EXPECT_FALSE(GetIconInfo(LoadIconA(nullptr, IDI_APPLICATION), &info));
    Canvas c(32, 8, 8);
    EXPECT_FALSE(DrawIcon(c.Dc(), 0, 0, reinterpret_cast<HICON>(0x1234)));
    EXPECT_FALSE(DrawIcon(nullptr, 0, 0, LoadCursorA(nullptr, IDC_ARROW)));
    EXPECT_EQ(0, qndx::sim::LiveIconInfoBitmaps());
    // Stock pictures are never destroyed.
    EXPECT_TRUE(DestroyCursor(LoadCursorA(nullptr, IDC_ARROW)));
    EXPECT_NE(nullptr, LoadCursorA(nullptr, IDC_ARROW));
}

TEST(Icons, MadeCursorsKeepTheirSizeHotSpotAndPixels) {
    qndx::sim::SimCursorPicture p;
    p.width = 5;
    p.height = 3;
    p.hotX = 4;
    p.hotY = 2;
    p.pixels.assign(15, 0);                // transparent
    p.pixels[0] = 0xFF0000FF;              // blue
    p.pixels[14] = 0xFFFF0000;             // red
    HCURSOR cursor = qndx::sim::MakeCursor(p);
    ASSERT_NE(nullptr, cursor);

    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(cursor, &info));
    EXPECT_EQ(4u, info.xHotspot);
    EXPECT_EQ(2u, info.yHotspot);
    BITMAP bm = {};
    ASSERT_NE(0, GetObjectA(info.hbmMask, sizeof bm, &bm));
    EXPECT_EQ(5, bm.bmWidth);
    EXPECT_EQ(3, bm.bmHeight);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);

    Canvas c(16, 10, 10);
    c.Fill(kGround);
    ASSERT_TRUE(DrawIcon(c.Dc(), 1, 1, cursor));
    c.Release();
    EXPECT_EQ(c.Native(RGB(0, 0, 255)), c.At(1, 1));
    EXPECT_EQ(c.Native(RGB(255, 0, 0)), c.At(5, 3));
    EXPECT_EQ(c.Native(kGround), c.At(2, 1));

    EXPECT_TRUE(DestroyCursor(cursor));
    EXPECT_FALSE(GetIconInfo(cursor, &info));
    EXPECT_FALSE(DestroyCursor(cursor));

    p.pixels.pop_back();
    EXPECT_EQ(nullptr, qndx::sim::MakeCursor(p));
}
