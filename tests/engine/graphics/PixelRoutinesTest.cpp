// The per-kind pixel routines (put, blend, get, vertical and horizontal
// lines) on 15-, 16-, 24- and 32-bit surfaces: exact pixels, clipping at
// every edge, untouched neighbours and row padding, and the kinds without
// routines.
#include "GraphicsTestSupport.h"

namespace qndx_test {
namespace {

const BYTE kFill = 0xA5;

class PixelRoutines : public KindTest {
protected:
    void SetUp() override {
        KindTest::SetUp();
        qndx::sim::SetPitchAlignment(16);  // rows wider than their pixels
        surface = NewSurface(10, 6);
        FillBytes(surface->GetDDSurface(), kFill);
    }
    void TearDown() override {
        delete surface;
        KindTest::TearDown();
    }
    Snapshot Shot() { return Take(surface->GetDDSurface()); }

    CQNDXSurface* surface = nullptr;
};

TEST_P(PixelRoutines, PutPixelWritesOnlyItsOwnBytes) {
    ASSERT_EQ(1, surface->Lock());
    surface->PutPixel(3, 2, Red(Kind()));
    surface->PutPixel(9, 5, Red(Kind()));  // last pixel of the last row
    surface->PutPixel(0, 0, Red(Kind()));
    ASSERT_EQ(0, surface->Unlock());
    ExpectOnly(Shot(), {{3, 2}, {9, 5}, {0, 0}}, Red(Kind()), kFill);
}

TEST_P(PixelRoutines, PutPixelHonoursEveryClipEdge) {
    RECT clip = {2, 1, 8, 5};
    surface->SetClipRect(&clip);
    ASSERT_EQ(1, surface->Lock());
    // Just outside each edge, and far outside.
    for (auto p : PointSet{{1, 3}, {8, 3}, {4, 0}, {4, 5}, {-1, -1}, {100, 3}, {3, 100}, {-100000, 2}})
        surface->PutPixel(p.first, p.second, Blue(Kind()));
    // Just inside each edge.
    const PointSet inside = {{2, 3}, {7, 3}, {4, 1}, {4, 4}};
    for (auto p : inside) surface->PutPixel(p.first, p.second, Blue(Kind()));
    surface->Unlock();
    ExpectOnly(Shot(), inside, Blue(Kind()), kFill);
}

TEST_P(PixelRoutines, GetPixelReadsTheNativeValue) {
    DWORD value = Kind() == 15 ? 0x1234 : Kind() == 16 ? 0xBEEF : Kind() == 24 ? 0x123456 : 0x89ABCDEF;
    Poke(surface->GetDDSurface(), 5, 4, value);
    ASSERT_EQ(1, surface->Lock());
    EXPECT_EQ(value, surface->GetPixel(5, 4));
    // Outside the memory a read gives 0 and touches nothing.
    EXPECT_EQ(0u, surface->GetPixel(-1, 0));
    EXPECT_EQ(0u, surface->GetPixel(10, 0));
    EXPECT_EQ(0u, surface->GetPixel(0, 6));
    surface->Unlock();
}

TEST_P(PixelRoutines, NothingIsTouchedWhileUnlocked) {
    surface->PutPixel(1, 1, Red(Kind()));
    surface->HLine(0, 9, 2, Red(Kind()));
    surface->VLine(0, 5, 3, Red(Kind()));
    surface->BlendPixel(4, 4, Red(Kind()), 256);
    EXPECT_EQ(0u, surface->GetPixel(1, 1));
    ExpectOnly(Shot(), {}, 0, kFill);
}

TEST_P(PixelRoutines, VerticalLineRunsBetweenItsEndsInEitherOrder) {
    ASSERT_EQ(1, surface->Lock());
    surface->VLine(5, 2, 4, Red(Kind()));
    surface->Unlock();
    ExpectOnly(Shot(), {{4, 2}, {4, 3}, {4, 4}, {4, 5}}, Red(Kind()), kFill);
}

TEST_P(PixelRoutines, VerticalLineIsCutAtTheClip) {
    RECT clip = {1, 1, 9, 4};
    surface->SetClipRect(&clip);
    ASSERT_EQ(1, surface->Lock());
    surface->VLine(2, 50, 3, Red(Kind()));   // past the bottom: ends on row 3
    surface->VLine(-9, 0, 5, Red(Kind()));   // wholly above: nothing
    surface->VLine(-20, 20, 0, Red(Kind()));  // left of the clip: nothing
    surface->VLine(-20, 20, 9, Red(Kind()));  // right of the clip: nothing
    surface->VLine(-20, 20, 8, Red(Kind()));  // last column, rows 1..3
    surface->Unlock();
    ExpectOnly(Shot(), {{3, 2}, {3, 3}, {8, 1}, {8, 2}, {8, 3}}, Red(Kind()), kFill);
}

TEST_P(PixelRoutines, HorizontalLinesOfEveryLengthAndStartColumn) {
    // Lengths 1 to 4 from even and odd columns: the 16-bit routine writes a
    // single pixel first for odd counts and then pairs.
    ASSERT_EQ(1, surface->Lock());
    surface->HLine(1, 1, 0, Red(Kind()));
    surface->HLine(3, 2, 1, Red(Kind()));  // reversed ends
    surface->HLine(1, 3, 2, Red(Kind()));
    surface->HLine(2, 5, 3, Red(Kind()));
    surface->HLine(5, 9, 4, Red(Kind()));
    surface->Unlock();
    ExpectOnly(Shot(),
               {{1, 0}, {2, 1}, {3, 1}, {1, 2}, {2, 2}, {3, 2}, {2, 3}, {3, 3}, {4, 3}, {5, 3}, {5, 4}, {6, 4}, {7, 4},
                {8, 4}, {9, 4}},
               Red(Kind()), kFill);
}

TEST_P(PixelRoutines, HorizontalLineIsCutAtTheClip) {
    RECT clip = {2, 1, 7, 5};
    surface->SetClipRect(&clip);
    ASSERT_EQ(1, surface->Lock());
    surface->HLine(-30, 30, 1, Red(Kind()));  // first clip row, cut both sides
    surface->HLine(0, 3, 4, Red(Kind()));     // last clip row, cut on the left
    surface->HLine(0, 30, 0, Red(Kind()));    // above: nothing
    surface->HLine(0, 30, 5, Red(Kind()));    // below: nothing
    surface->HLine(7, 30, 2, Red(Kind()));    // right of the clip: nothing
    surface->HLine(-5, 1, 3, Red(Kind()));    // left of the clip: nothing
    surface->Unlock();
    ExpectOnly(Shot(), {{2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}, {2, 4}, {3, 4}}, Red(Kind()), kFill);
}

// Blend results per kind, worked out by hand from d + floor(a (c - d) / 256)
// per channel.
TEST_P(PixelRoutines, BlendPixelWeights) {
    const int k = Kind();
    const DWORD white = White(k);
    ASSERT_EQ(1, surface->Lock());
    surface->PutPixel(0, 0, 0);
    surface->BlendPixel(0, 0, white, 128);  // half way up from black
    surface->PutPixel(1, 0, white);
    surface->BlendPixel(1, 0, 0, 1);  // a small step down rounds down
    surface->PutPixel(2, 0, Blue(k));
    surface->BlendPixel(2, 0, white, 0);  // weight 0 keeps the pixel
    surface->PutPixel(3, 0, Blue(k));
    surface->BlendPixel(3, 0, Red(k), 256);  // weight 256 writes the colour
    surface->PutPixel(4, 0, Blue(k));
    surface->BlendPixel(4, 0, Red(k), 300);  // above 256 counts as 256
    surface->Unlock();

    Snapshot s = Shot();
    DWORD half = k == 15 ? 0x3DEF : k == 16 ? 0x7BEF : 0x7F7F7F;
    DWORD down = k == 15 ? 0x7BDE : k == 16 ? 0xF7DE : 0xFEFEFE;
    EXPECT_EQ(half, s.At(0, 0));
    EXPECT_EQ(down, s.At(1, 0));
    EXPECT_EQ(Blue(k), s.At(2, 0));
    EXPECT_EQ(Red(k), s.At(3, 0));
    EXPECT_EQ(Red(k), s.At(4, 0));
}

TEST_P(PixelRoutines, BlendPixelWritesTheColourFieldsOnly) {
    const int k = Kind();
    // Destination with the bits outside the channels set.
    DWORD marked = k == 15 ? 0x8000 : k == 32 ? 0xAA000000 : 0;
    Poke(surface->GetDDSurface(), 6, 3, marked);
    ASSERT_EQ(1, surface->Lock());
    surface->BlendPixel(6, 3, White(k), 128);
    surface->Unlock();
    Snapshot s = Shot();
    DWORD half = k == 15 ? 0x3DEF : k == 16 ? 0x7BEF : 0x7F7F7F;
    // Bit 15 of a 15-bit result and byte 3 of a 32-bit result are 0.
    EXPECT_EQ(half, s.At(6, 3));
    // A 24-bit blend writes three bytes: the neighbours keep the filler.
    EXPECT_EQ(s.At(5, 3), s.At(7, 3));
    DWORD filler = 0;
    std::memset(&filler, kFill, BytesPerPixel(k));
    EXPECT_EQ(filler, s.At(7, 3));
}

TEST_P(PixelRoutines, BlendPixelOutsideTheClipDoesNothing) {
    RECT clip = {3, 2, 6, 4};
    surface->SetClipRect(&clip);
    ASSERT_EQ(1, surface->Lock());
    surface->BlendPixel(2, 2, White(Kind()), 256);
    surface->BlendPixel(6, 2, White(Kind()), 256);
    surface->BlendPixel(3, 1, White(Kind()), 256);
    surface->BlendPixel(3, 4, White(Kind()), 256);
    surface->BlendPixel(3, 2, White(Kind()), 256);
    surface->Unlock();
    ExpectOnly(Shot(), {{3, 2}}, White(Kind()), kFill);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, PixelRoutines, ::testing::Values(15, 16, 24, 32));

// A palettized surface has no pixel routines: nothing draws, nothing is touched.
class NoRoutines : public GraphicsTest {};

TEST_F(NoRoutines, PalettizedSurfaceDrawsNothing) {
    StartEngine(32);
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = 124;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = 8;
    desc.dwHeight = 4;
    desc.ddpfPixelFormat.dwSize = 32;
    desc.ddpfPixelFormat.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
    desc.ddpfPixelFormat.dwRGBBitCount = 8;
    IDirectDrawSurface7* dds = nullptr;
    ASSERT_EQ(DD_OK, engine->GetDirectDraw()->CreateSurface(&desc, &dds, nullptr));
    FillBytes(dds, kFill);

    TestSurface s(dds);
    s.SetSize(8, 4);
    EXPECT_EQ(8u, s.GetPixelKind());
    EXPECT_FALSE(s.HasPixelFunctions());
    EXPECT_EQ(-1, s.DrawLine(0, 0, 7, 3, 1));
    EXPECT_EQ(-1, s.DrawLineAA(0, 0, 7, 2, 1));
    EXPECT_EQ(-1, s.DrawRect(0, 0, 7, 3, 1));
    EXPECT_EQ(-1, s.DrawCircle(3, 2, 2, 1));
    EXPECT_EQ(-1, s.FillCircle(3, 2, 2, 1));
    EXPECT_EQ(-1, s.DrawRoundRect(0, 0, 7, 3, 1, 1));
    EXPECT_EQ(0, s.GetLockCount());
    ASSERT_EQ(1, s.Lock());
    EXPECT_EQ(0, s.PutPixel(1, 1, 7));
    EXPECT_EQ(0, s.HLine(0, 7, 1, 7));
    EXPECT_EQ(0u, s.GetPixel(1, 1));
    s.Unlock();
    Snapshot snap = Take(dds);
    for (BYTE b : snap.bytes) ASSERT_EQ(kFill, b);
}

}  // namespace
}  // namespace qndx_test
