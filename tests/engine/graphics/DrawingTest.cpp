// The surface's drawing operations on every pixel kind: rectangles, fills,
// lines, anti-aliased lines, circles, rounded rectangles and blended
// rectangles, checked against pixels worked out by hand.
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <utility>

#include "platform/sim/Display.h"
#include "GraphicsTestSupport.h"

namespace qndx_test {
namespace {

const BYTE kFill = 0xA5;

// One channel blended from d towards c by a/256, rounding down; channels at
// the kind's fixed positions. A plain float reference.
DWORD ReferenceBlend(int kind, DWORD d, DWORD c, int a) {
    struct Ch {
        int shift, max;
    };
    std::vector<Ch> chans = kind == 15   ? std::vector<Ch>{{0, 31}, {5, 31}, {10, 31}}
                            : kind == 16 ? std::vector<Ch>{{0, 31}, {5, 63}, {11, 31}}
                                         : std::vector<Ch>{{0, 255}, {8, 255}, {16, 255}};
    DWORD out = 0;
    for (const Ch& ch : chans) {
        double dv = (d >> ch.shift) & ch.max, cv = (c >> ch.shift) & ch.max;
        out |= static_cast<DWORD>(std::floor(dv + a * (cv - dv) / 256.0)) << ch.shift;
    }
    return out;
}

class Drawing : public KindTest {
protected:
    void SetUp() override {
        KindTest::SetUp();
        qndx::sim::SetPitchAlignment(16);
        surface = NewSurface(12, 12);
        FillBytes(surface->GetDDSurface(), kFill);
    }
    void TearDown() override {
        delete surface;
        KindTest::TearDown();
    }
    Snapshot Shot() { return Take(surface->GetDDSurface()); }
    PointSet Rect(int l, int t, int r, int b) {
        PointSet s;
        for (int y = t; y < b; ++y)
            for (int x = l; x < r; ++x) s.insert({x, y});
        return s;
    }

    CQNDXSurface* surface = nullptr;
};

TEST_P(Drawing, DrawRectOutlinesBothCornersInclusive) {
    EXPECT_EQ(0, surface->DrawRect(0, 0, 9, 9, Red(Kind())));
    PointSet outline;
    for (int i = 0; i <= 9; ++i) outline.insert({{i, 0}, {i, 9}, {0, i}, {9, i}});
    ExpectOnly(Shot(), outline, Red(Kind()), kFill);
    EXPECT_EQ(0u, surface->GetLockCount());
}

TEST_P(Drawing, FillRectCoversTheSameSquareAsTheOutline) {
    EXPECT_EQ(0, surface->FillRect(0, 0, 10, 10, Red(Kind())));
    ExpectOnly(Shot(), Rect(0, 0, 10, 10), Red(Kind()), kFill);
}

TEST_P(Drawing, FillRectIsClippedAtEveryEdge) {
    RECT clip = {2, 3, 9, 10};
    surface->SetClipRect(&clip);
    EXPECT_EQ(0, surface->FillRect(-5, -5, 50, 50, Blue(Kind())));
    ExpectOnly(Shot(), Rect(2, 3, 9, 10), Blue(Kind()), kFill);
    // Wholly outside, or inverted: nothing, and 0.
    FillBytes(surface->GetDDSurface(), kFill);
    EXPECT_EQ(0, surface->FillRect(9, 0, 12, 12, Blue(Kind())));
    EXPECT_EQ(0, surface->FillRect(0, 10, 12, 12, Blue(Kind())));
    EXPECT_EQ(0, surface->FillRect(6, 6, 4, 4, Blue(Kind())));
    ExpectOnly(Shot(), {}, 0, kFill);
}

TEST_P(Drawing, ClearFillsTheWholeSurfaceWhateverTheClip) {
    RECT clip = {2, 2, 4, 4};
    surface->SetClipRect(&clip);
    EXPECT_EQ(0, surface->Clear(White(Kind())));
    Snapshot s = Shot();
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) ASSERT_EQ(White(Kind()), s.At(x, y)) << x << "," << y;
}

TEST_P(Drawing, DrawLineShallowAndSteepInEitherDirection) {
    EXPECT_EQ(0, surface->DrawLine(0, 0, 4, 2, Red(Kind())));
    EXPECT_EQ(0, surface->DrawLine(8, 9, 6, 5, Red(Kind())));  // steep, drawn from its lower end
    ExpectOnly(Shot(), {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {6, 5}, {6, 6}, {7, 7}, {7, 8}, {8, 9}}, Red(Kind()),
               kFill);
}

TEST_P(Drawing, DrawLineStraightLinesAndClipping) {
    RECT clip = {1, 1, 11, 11};
    surface->SetClipRect(&clip);
    EXPECT_EQ(0, surface->DrawLine(3, 0, 3, 4, Red(Kind())));    // vertical, row 0 clipped
    EXPECT_EQ(0, surface->DrawLine(20, 6, -4, 6, Red(Kind())));  // horizontal, cut at both sides
    EXPECT_EQ(0, surface->DrawLine(-3, -3, 2, 2, Red(Kind())));  // diagonal entering at the corner
    PointSet expected = {{3, 1}, {3, 2}, {3, 3}, {3, 4}, {1, 1}, {2, 2}};
    for (int x = 1; x <= 10; ++x) expected.insert({x, 6});
    ExpectOnly(Shot(), expected, Red(Kind()), kFill);
}

TEST_P(Drawing, DrawLineMatchesAnIntegerReferenceInEveryOctant) {
    RECT clip = {1, 2, 11, 10};
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<int> nearCoord(-30, 41), farCoord(-200000, 200000);
    int octants[8] = {};
    for (int n = 0; n < 1200; ++n) {
        int x1, y1, x2, y2;
        if (n == 0) {  // the long, nearly flat line that used to miss its end row
            x1 = 0, y1 = 0, x2 = 10, y2 = 1;
        } else if (n % 10 == 9) {  // far ends, crossing the surface or not
            x1 = farCoord(rng), y1 = nearCoord(rng), x2 = farCoord(rng), y2 = nearCoord(rng);
            if (n % 20 == 19) std::swap(x1, y1), std::swap(x2, y2);
        } else if (n == 1) {  // the widest spans there are
            x1 = INT_MIN, y1 = -7, x2 = INT_MAX, y2 = 15;
        } else {
            x1 = nearCoord(rng), y1 = nearCoord(rng), x2 = nearCoord(rng), y2 = nearCoord(rng);
        }
        if (x1 == x2 || y1 == y2) continue;  // straight lines: tested above
        const bool steep = std::abs((int64_t)y2 - y1) >= std::abs((int64_t)x2 - x1);
        octants[(x2 > x1) * 4 + (y2 > y1) * 2 + steep]++;
        // The whole surface, then a clip rectangle: pixels outside the clip stay.
        const RECT clips[2] = {{0, 0, 12, 12}, clip};
        for (const RECT& c : clips) {
            surface->SetClipRect(&c);
            FillBytes(surface->GetDDSurface(), kFill);
            ASSERT_EQ(0, surface->DrawLine(x1, y1, x2, y2, Red(Kind())));
            PointSet expected;
            for (int y = c.top; y < c.bottom; ++y)
                for (int x = c.left; x < c.right; ++x)
                    if (OnLine(x1, y1, x2, y2, x, y)) expected.insert({x, y});
            SCOPED_TRACE(::testing::Message() << "line (" << x1 << "," << y1 << ")-(" << x2 << "," << y2 << ")");
            ExpectOnly(Shot(), expected, Red(Kind()), kFill);
            if (HasFailure()) return;
        }
    }
    for (int o = 0; o < 8; ++o) EXPECT_GT(octants[o], 50) << "octant " << o;
    // The reference itself: both ends are on the line.
    EXPECT_TRUE(OnLine(0, 0, 10, 1, 10, 1) && OnLine(-5, 7, 3, -20, -5, 7) && OnLine(-5, 7, 3, -20, 3, -20));
}

TEST_P(Drawing, DrawLineAAShallowLineWeights) {
    const int k = Kind();
    surface->Clear(0);
    EXPECT_EQ(0, surface->DrawLineAA(0, 0, 4, 1, White(k)));
    Snapshot s = Shot();
    // Wu's steps for dx 4, dy 1: accumulator 64, 128, 192 (in 256ths).
    EXPECT_EQ(White(k), s.At(0, 0));
    EXPECT_EQ(White(k), s.At(4, 1));
    EXPECT_EQ(ReferenceBlend(k, 0, White(k), 191), s.At(1, 0));
    EXPECT_EQ(ReferenceBlend(k, 0, White(k), 64), s.At(1, 1));
    EXPECT_EQ(ReferenceBlend(k, 0, White(k), 127), s.At(2, 0));
    EXPECT_EQ(ReferenceBlend(k, 0, White(k), 128), s.At(2, 1));
    EXPECT_EQ(ReferenceBlend(k, 0, White(k), 63), s.At(3, 0));
    EXPECT_EQ(ReferenceBlend(k, 0, White(k), 192), s.At(3, 1));
    if (k == 32) {
        EXPECT_EQ(0xBEBEBEu, s.At(1, 0));
        EXPECT_EQ(0x3F3F3Fu, s.At(1, 1));
        EXPECT_EQ(0x7F7F7Fu, s.At(2, 1));
    }
    EXPECT_EQ(0u, s.At(0, 1));
    EXPECT_EQ(0u, s.At(4, 0));
    EXPECT_EQ(0u, s.At(5, 1));
}

TEST_P(Drawing, DrawLineAAOfADiagonalIsThePlainLine) {
    EXPECT_EQ(0, surface->DrawLineAA(5, 5, 1, 1, Red(Kind())));
    ExpectOnly(Shot(), {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}}, Red(Kind()), kFill);
}

TEST_P(Drawing, DrawLineAASteepLinePutsBothEndsAtFullColour) {
    surface->Clear(0);
    EXPECT_EQ(0, surface->DrawLineAA(2, 8, 3, 0, White(Kind())));  // drawn from the top end
    Snapshot s = Shot();
    EXPECT_EQ(White(Kind()), s.At(3, 0));
    EXPECT_EQ(White(Kind()), s.At(2, 8));
    // dx 1, dy 8: the accumulator grows by 32/256 a row without wrapping, so
    // column 3 fades out while column 2 fades in.
    for (int y = 1; y <= 7; ++y) {
        EXPECT_EQ(ReferenceBlend(Kind(), 0, White(Kind()), (32 * y) ^ 255), s.At(3, y)) << "row " << y;
        EXPECT_EQ(ReferenceBlend(Kind(), 0, White(Kind()), 32 * y), s.At(2, y)) << "row " << y;
        EXPECT_EQ(0u, s.At(1, y));
        EXPECT_EQ(0u, s.At(4, y));
    }
}

TEST_P(Drawing, DrawCircleOfRadiusTwo) {
    EXPECT_EQ(0, surface->DrawCircle(5, 5, 2, Red(Kind())));
    ExpectOnly(Shot(),
               {{5, 3}, {5, 7}, {7, 5}, {3, 5}, {6, 3}, {4, 3}, {6, 7}, {4, 7}, {7, 4}, {3, 4}, {7, 6}, {3, 6}},
               Red(Kind()), kFill);
}

TEST_P(Drawing, DrawCircleOfRadiusZeroIsTheCentre) {
    EXPECT_EQ(0, surface->DrawCircle(4, 6, 0, Red(Kind())));
    ExpectOnly(Shot(), {{4, 6}}, Red(Kind()), kFill);
}

TEST_P(Drawing, DrawCircleIsClippedAtTheSurfaceEdge) {
    EXPECT_EQ(0, surface->DrawCircle(0, 0, 2, Red(Kind())));
    ExpectOnly(Shot(), {{0, 2}, {2, 0}, {1, 2}, {2, 1}}, Red(Kind()), kFill);
}

TEST_P(Drawing, FillCircleRowsStopAboveTheBottom) {
    EXPECT_EQ(0, surface->FillCircle(5, 5, 2, Red(Kind())));
    PointSet rows = {{5, 3}};
    for (int y = 4; y <= 6; ++y)
        for (int x = 3; x <= 7; ++x) rows.insert({x, y});
    ExpectOnly(Shot(), rows, Red(Kind()), kFill);
}

TEST_P(Drawing, FillCircleOutsideTheClipDoesNothing) {
    RECT clip = {0, 0, 12, 6};
    surface->SetClipRect(&clip);
    EXPECT_EQ(0, surface->FillCircle(5, 20, 3, Red(Kind())));
    EXPECT_EQ(0, surface->FillCircle(5, 5, 3, Red(Kind())));  // cut at row 5
    PointSet expected;
    // Rows 2..5 of a radius-3 disc at (5, 5): half widths 0 and 2 and 3 and 3.
    expected.insert({5, 2});
    for (int x = 3; x <= 7; ++x) expected.insert({x, 3});
    for (int x = 2; x <= 8; ++x) expected.insert({{x, 4}, {x, 5}});
    ExpectOnly(Shot(), expected, Red(Kind()), kFill);
}

TEST_P(Drawing, DrawRoundRectLeavesTheCornersOut) {
    EXPECT_EQ(0, surface->DrawRoundRect(9, 9, 0, 0, 2, Red(Kind())));  // corners given swapped
    PointSet outline;
    for (int i = 1; i <= 8; ++i) outline.insert({{i, 0}, {i, 9}, {0, i}, {9, i}});
    ExpectOnly(Shot(), outline, Red(Kind()), kFill);
}

TEST_P(Drawing, BlendRectFullWeightAndAboveFillsWithTheColour) {
    surface->Clear(Blue(Kind()));
    EXPECT_EQ(0, surface->BlendRect(1, 1, 4, 3, 300, Red(Kind())));
    Snapshot s = Shot();
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            bool in = x >= 1 && x < 4 && y >= 1 && y < 3;
            ASSERT_EQ(in ? Red(Kind()) : Blue(Kind()), s.At(x, y)) << x << "," << y;
        }
}

TEST_P(Drawing, BlendRectHalfWeightsUseTheHalvingMask) {
    const int k = Kind();
    // A colour of one unit per channel: halving both drops it to 0, while
    // the general blend at 126 keeps it.
    DWORD unit = k == 15 ? 0x0421 : k == 16 ? 0x0821 : 0x010101;
    surface->Clear(unit);
    EXPECT_EQ(0, surface->BlendRect(0, 0, 3, 1, 127, unit));
    EXPECT_EQ(0, surface->BlendRect(0, 1, 3, 2, 128, unit));
    EXPECT_EQ(0, surface->BlendRect(0, 2, 3, 3, 126, unit));
    Snapshot s = Shot();
    for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(0u, s.At(x, 0));
        EXPECT_EQ(0u, s.At(x, 1));
        EXPECT_EQ(unit, s.At(x, 2));
    }
}

TEST_P(Drawing, BlendRectGeneralWeightOnOddAndEvenWidths) {
    const int k = Kind();
    surface->Clear(White(k));
    // Widths 1, 2 and 3 from even and odd columns; only their pixels change.
    EXPECT_EQ(0, surface->BlendRect(1, 0, 2, 3, 64, Red(k)));
    EXPECT_EQ(0, surface->BlendRect(4, 0, 6, 3, 64, Red(k)));
    EXPECT_EQ(0, surface->BlendRect(7, 0, 10, 3, 64, Red(k)));
    Snapshot s = Shot();
    DWORD mixed = ReferenceBlend(k, White(k), Red(k), 64);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 12; ++x) {
            bool in = y < 3 && (x == 1 || x == 4 || x == 5 || (x >= 7 && x <= 9));
            ASSERT_EQ(in ? mixed : White(k), s.At(x, y)) << x << "," << y;
        }
}

TEST_P(Drawing, BlendRectKeepsBitsOutsideTheChannels) {
    const int k = Kind();
    DWORD marked = k == 15 ? 0xFFFF : k == 32 ? 0xAAFFFFFF : White(k);
    for (int x = 0; x < 4; ++x) Poke(surface->GetDDSurface(), x, 0, marked);
    EXPECT_EQ(0, surface->BlendRect(0, 0, 2, 1, 100, 0));  // general path
    EXPECT_EQ(0, surface->BlendRect(2, 0, 4, 1, 128, 0));  // halving path
    Snapshot s = Shot();
    DWORD general = ReferenceBlend(k, White(k), 0, 100);
    DWORD halved = k == 15 ? 0x3DEF : k == 16 ? 0x7BEF : 0x7F7F7F;
    if (k == 32) {
        // Byte 3 of a 32-bit pixel keeps its value.
        general |= 0xAA000000;
        halved |= 0xAA000000;
    }
    // 15-bit results have bit 15 clear.
    EXPECT_EQ(general, s.At(0, 0));
    EXPECT_EQ(general, s.At(1, 0));
    EXPECT_EQ(halved, s.At(2, 0));
    EXPECT_EQ(halved, s.At(3, 0));
}

TEST_P(Drawing, BlendRectIsClippedAtEveryEdge) {
    RECT clip = {2, 3, 9, 10};
    surface->SetClipRect(&clip);
    surface->Clear(0);
    EXPECT_EQ(0, surface->BlendRect(-4, -4, 40, 40, 256, White(Kind())));
    EXPECT_EQ(0, surface->BlendRect(9, 0, 12, 12, 256, Red(Kind())));  // outside: nothing
    Snapshot s = Shot();
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            bool in = x >= 2 && x < 9 && y >= 3 && y < 10;
            ASSERT_EQ(in ? White(Kind()) : 0u, s.At(x, y)) << x << "," << y;
        }
}

TEST_P(Drawing, BlendRectOnAnEngineBufferWorksThroughACopy) {
    // A back-buffer wrapper (negative ID) is blended through a temporary
    // registered surface that is gone again afterwards.
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = 124;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = 8;
    desc.dwHeight = 8;
    IDirectDrawSurface7* dds = nullptr;
    ASSERT_EQ(DD_OK, engine->GetDirectDraw()->CreateSurface(&desc, &dds, nullptr));
    CQNDXSurface* back = engine->Wrap(dds, QNDX_SURFACE_BACK, 8, 8);
    back->Clear(White(Kind()));
    const int registered = engine->GetSurfaceManager()->GetCount();
    const int live = qndx::sim::LiveSurfaceCount();

    EXPECT_EQ(0, back->BlendRect(2, 2, 5, 4, 64, 0));
    Snapshot s = Take(dds);
    DWORD mixed = ReferenceBlend(Kind(), White(Kind()), 0, 64);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            bool in = x >= 2 && x < 5 && y >= 2 && y < 4;
            ASSERT_EQ(in ? mixed : White(Kind()), s.At(x, y)) << x << "," << y;
        }
    EXPECT_EQ(registered, engine->GetSurfaceManager()->GetCount());
    EXPECT_EQ(live, qndx::sim::LiveSurfaceCount());
    delete back;
}

// One pixel of BlendRect worked out plainly: the halving mask at 127 and
// 128, else the float channel blend; bits outside the channels become 0,
// except byte 3 of a 32-bit pixel, which is kept.
DWORD ReferenceBlendRectPixel(int kind, DWORD d, DWORD c, int alpha) {
    const int a = alpha > 256 ? 256 : alpha;
    if (a == 127 || a == 128) {
        const DWORD mask = kind == 15 ? 0x7BDE : kind == 16 ? 0xF7DE : 0xFEFEFE;
        const DWORD v = ((d & mask) >> 1) + ((c & mask) >> 1);
        return kind == 32 ? (v | (d & 0xFF000000)) : v;
    }
    const DWORD v = ReferenceBlend(kind, d, c, a);
    return kind == 32 ? (v | (d & 0xFF000000)) : v;
}

TEST_P(Drawing, BlendRectMatchesTheReferenceOnRandomAreasWithFastPathsOnAndOff) {
    const int k = Kind();
    const int bpp = BytesPerPixel(k);
    // Odd widths and a pitch with padding; areas cut by the surface's edges.
    qndx::sim::SetPitchAlignment(4);
    CQNDXSurface* wide = NewSurface(83, 9);
    IDirectDrawSurface7* dds = wide->GetDDSurface();
    std::mt19937 rng(1234 + k);
    const int alphas[] = {0, 1, 64, 126, 127, 128, 129, 255, 256, 300};
    for (int round = 0; round < 120; ++round) {
        const bool fast = round % 2 == 0;
        qndx::sim::SetBlitFastPaths(fast);
        DDSURFACEDESC2 d;
        std::memset(&d, 0, sizeof(d));
        d.dwSize = 124;
        ASSERT_EQ(DD_OK, dds->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
        for (size_t i = 0; i < static_cast<size_t>(d.lPitch) * d.dwHeight; ++i)
            static_cast<BYTE*>(d.lpSurface)[i] = static_cast<BYTE>(rng());
        dds->Unlock(nullptr);
        const Snapshot before = Take(dds);
        const int left = static_cast<int>(rng() % 100) - 10, top = static_cast<int>(rng() % 12) - 2;
        const int right = left + static_cast<int>(rng() % 90), bottom = top + static_cast<int>(rng() % 10);
        const int alpha = round % 3 == 0 ? static_cast<int>(rng() % 300) : alphas[rng() % 10];
        const DWORD colour = static_cast<DWORD>(rng());
        ASSERT_EQ(0, wide->BlendRect(left, top, right, bottom, static_cast<WORD>(alpha), colour));
        const Snapshot after = Take(dds);
        for (int y = 0; y < before.height; ++y)
            for (int x = 0; x < before.width; ++x) {
                const bool in = x >= left && x < right && y >= top && y < bottom;
                const DWORD c = k == 15 || k == 16 ? (colour & 0xFFFF) : (colour & 0xFFFFFF);
                const DWORD want = in ? ReferenceBlendRectPixel(k, before.At(x, y), c, alpha) : before.At(x, y);
                ASSERT_EQ(want, after.At(x, y)) << "pixel (" << x << ", " << y << "), area " << left << "," << top
                                                << "-" << right << "," << bottom << ", alpha " << alpha
                                                << ", fast " << fast;
            }
        // Padding bytes are never touched.
        for (int y = 0; y < before.height; ++y)
            for (size_t b = static_cast<size_t>(before.width) * bpp; b < static_cast<size_t>(before.pitch); ++b)
                ASSERT_EQ(before.bytes[y * before.pitch + b], after.bytes[y * after.pitch + b]);
    }
    qndx::sim::SetBlitFastPaths(true);
    delete wide;
}

TEST_P(Drawing, DrawingKeepsTheLockBalancedInsideACallersLock) {
    ASSERT_EQ(1, surface->Lock());
    EXPECT_EQ(0, surface->DrawRect(1, 1, 3, 3, Red(Kind())));
    EXPECT_EQ(0, surface->DrawCircle(6, 6, 1, Red(Kind())));
    EXPECT_EQ(1u, surface->GetLockCount());
    EXPECT_EQ(0, surface->Unlock());
}

INSTANTIATE_TEST_SUITE_P(AllKinds, Drawing, ::testing::Values(15, 16, 24, 32));

}  // namespace
}  // namespace qndx_test
