// Blt and BltFast: fills, copies, stretches, mirrors, source keys,
// overlapping copies on one surface, refused rectangles that touch nothing,
// and the clipper's clipping.
#include <vector>

#include "DDrawTestUtil.h"

using namespace ddtest;

namespace {

const DWORD kDepths[] = {8, 15, 16, 24, 32};

// A pixel value that tells position apart in every depth.
DWORD Mark(DWORD bits, int x, int y) {
    DWORD v = static_cast<DWORD>(x + 1) | static_cast<DWORD>(y + 1) << 5;
    switch (bits) {
        case 8: return (v * 7u) & 0xFF;
        case 15: return v & 0x7FFF;
        case 16: return v & 0xFFFF;
        default: return (v | static_cast<DWORD>(x * 3) << 16) & (bits == 24 ? 0xFFFFFF : 0xFFFFFFFF);
    }
}

class BlitTest : public ::testing::TestWithParam<DWORD> {
protected:
    void SetUp() override {
        qndx::sim::SetPitchAlignment(16);  // pitches wider than the rows
        dd = MakeDirectDraw();
    }
    Ref<IDirectDrawSurface7> Make(DWORD w, DWORD h) { return MakeSurface(dd.get(), DescIn(GetParam(), w, h)); }
    Ref<IDirectDraw7> dd;
};

}  // namespace

TEST_P(BlitTest, ColorFillWritesExactlyTheRectangle) {
    auto s = Make(9, 7);
    FillBytes(s.get(), 0xAB);
    const std::vector<uint8_t> before = Snapshot(s.get());
    DDBLTFX fx = Fx();
    fx.dwFillColor = Mark(GetParam(), 2, 3);
    RECT r = Rect(2, 1, 6, 5);
    ASSERT_EQ(DD_OK, s->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx));
    qndx::platform::SurfaceMemory m = Mem(s.get());
    const int bytes = BytesOf(m);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < m.pitch; ++x) {
            const bool inside = x / bytes >= 2 && x / bytes < 6 && x < 9 * bytes && y >= 1 && y < 5;
            if (!inside) {
                ASSERT_EQ(before[y * m.pitch + x], m.bits[y * m.pitch + x]) << x << "," << y;
            }
        }
    for (int y = 1; y < 5; ++y)
        for (int x = 2; x < 6; ++x) EXPECT_EQ(Mark(GetParam(), 2, 3), Peek(s.get(), x, y));
    // The whole surface without a rectangle.
    ASSERT_EQ(DD_OK, s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx));
    EXPECT_EQ(Mark(GetParam(), 2, 3), Peek(s.get(), 8, 6));
}

TEST_P(BlitTest, PlainCopyBetweenSurfaces) {
    auto src = Make(8, 6);
    auto dst = Make(10, 10);
    PaintAll(src.get(), [&](int x, int y) { return Mark(GetParam(), x, y); });
    FillBytes(dst.get(), 0);
    RECT from = Rect(1, 2, 5, 5);
    ASSERT_EQ(DD_OK, dst->BltFast(6, 7, src.get(), &from, DDBLTFAST_WAIT));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool inside = x >= 6 && y >= 7;
            EXPECT_EQ(inside ? Mark(GetParam(), x - 5, y - 5) : 0u, Peek(dst.get(), x, y)) << x << "," << y;
        }
    RECT to = Rect(0, 0, 4, 3);
    ASSERT_EQ(DD_OK, dst->Blt(&to, src.get(), &from, DDBLT_WAIT, nullptr));
    EXPECT_EQ(Mark(GetParam(), 1, 2), Peek(dst.get(), 0, 0));
    EXPECT_EQ(Mark(GetParam(), 4, 4), Peek(dst.get(), 3, 2));
}

TEST_P(BlitTest, StretchIsNearestNeighbour) {
    auto src = Make(4, 2);
    auto dst = Make(8, 6);
    PaintAll(src.get(), [&](int x, int y) { return Mark(GetParam(), x, y); });
    FillBytes(dst.get(), 0);
    RECT to = Rect(0, 0, 8, 6);
    ASSERT_EQ(DD_OK, dst->Blt(&to, src.get(), nullptr, DDBLT_WAIT, nullptr));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(Mark(GetParam(), x / 2, y / 3), Peek(dst.get(), x, y));
    // Shrinking takes every other column.
    auto small = Make(2, 1);
    RECT one = Rect(0, 0, 2, 1);
    RECT row = Rect(0, 1, 4, 2);
    ASSERT_EQ(DD_OK, small->Blt(&one, src.get(), &row, DDBLT_WAIT, nullptr));
    EXPECT_EQ(Mark(GetParam(), 0, 1), Peek(small.get(), 0, 0));
    EXPECT_EQ(Mark(GetParam(), 2, 1), Peek(small.get(), 1, 0));
}

TEST_P(BlitTest, MirrorsBothWays) {
    auto src = Make(3, 2);
    auto dst = Make(3, 2);
    PaintAll(src.get(), [&](int x, int y) { return Mark(GetParam(), x, y); });
    DDBLTFX fx = Fx();
    fx.dwDDFX = DDBLTFX_MIRRORLEFTRIGHT;
    ASSERT_EQ(DD_OK, dst->Blt(nullptr, src.get(), nullptr, DDBLT_DDFX | DDBLT_WAIT, &fx));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(Mark(GetParam(), 2 - x, y), Peek(dst.get(), x, y));
    fx.dwDDFX = DDBLTFX_MIRRORUPDOWN;
    ASSERT_EQ(DD_OK, dst->Blt(nullptr, src.get(), nullptr, DDBLT_DDFX | DDBLT_WAIT, &fx));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(Mark(GetParam(), x, 1 - y), Peek(dst.get(), x, y));
    fx.dwDDFX = DDBLTFX_MIRRORLEFTRIGHT | DDBLTFX_MIRRORUPDOWN;
    ASSERT_EQ(DD_OK, dst->Blt(nullptr, src.get(), nullptr, DDBLT_DDFX | DDBLT_WAIT, &fx));
    EXPECT_EQ(Mark(GetParam(), 2, 1), Peek(dst.get(), 0, 0));
    fx.dwDDFX = DDBLTFX_ROTATE90;
    EXPECT_EQ(DDERR_NOROTATIONHW, dst->Blt(nullptr, src.get(), nullptr, DDBLT_DDFX, &fx));
}

TEST_P(BlitTest, SourceKeyLeavesKeyPixelsOfTheDestination) {
    const DWORD bits = GetParam();
    auto src = Make(4, 1);
    auto dst = Make(4, 1);
    const DWORD key = Mark(bits, 9, 9);
    const DWORD a = Mark(bits, 1, 0), b = Mark(bits, 2, 0), under = Mark(bits, 7, 3);
    Poke(src.get(), 0, 0, a);
    Poke(src.get(), 1, 0, key);
    Poke(src.get(), 2, 0, b);
    Poke(src.get(), 3, 0, key);
    DDCOLORKEY ck = {key, key};
    ASSERT_EQ(DD_OK, src->SetColorKey(DDCKEY_SRCBLT, &ck));

    auto check = [&](const char* what) {
        SCOPED_TRACE(what);
        EXPECT_EQ(a, Peek(dst.get(), 0, 0));
        EXPECT_EQ(under, Peek(dst.get(), 1, 0));
        EXPECT_EQ(b, Peek(dst.get(), 2, 0));
        EXPECT_EQ(under, Peek(dst.get(), 3, 0));
    };
    PaintAll(dst.get(), [&](int, int) { return under; });
    ASSERT_EQ(DD_OK, dst->BltFast(0, 0, src.get(), nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT));
    check("BltFast");
    PaintAll(dst.get(), [&](int, int) { return under; });
    ASSERT_EQ(DD_OK, dst->Blt(nullptr, src.get(), nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr));
    check("Blt KEYSRC");

    // The override key replaces the surface's.
    PaintAll(dst.get(), [&](int, int) { return under; });
    DDBLTFX fx = Fx();
    fx.ddckSrcColorkey = {a, a};
    ASSERT_EQ(DD_OK, dst->Blt(nullptr, src.get(), nullptr, DDBLT_KEYSRCOVERRIDE | DDBLT_WAIT, &fx));
    EXPECT_EQ(under, Peek(dst.get(), 0, 0));
    EXPECT_EQ(key, Peek(dst.get(), 1, 0));

    // Keyed stretch: doubled, key pixels still skipped.
    auto wide = Make(8, 1);
    PaintAll(wide.get(), [&](int, int) { return under; });
    ASSERT_EQ(DD_OK, wide->Blt(nullptr, src.get(), nullptr, DDBLT_KEYSRC, nullptr));
    const DWORD expected[] = {a, a, under, under, b, b, under, under};
    for (int x = 0; x < 8; ++x) EXPECT_EQ(expected[x], Peek(wide.get(), x, 0)) << x;
}

TEST_P(BlitTest, KeyedBlitWithoutAKeyIsRefused) {
    auto src = Make(4, 4);
    auto dst = Make(4, 4);
    EXPECT_EQ(DDERR_NOCOLORKEY, dst->BltFast(0, 0, src.get(), nullptr, DDBLTFAST_SRCCOLORKEY));
    EXPECT_EQ(DDERR_NOCOLORKEY, dst->Blt(nullptr, src.get(), nullptr, DDBLT_KEYSRC, nullptr));
}

TEST_P(BlitTest, OverlappingCopiesOnOneSurfaceAreCorrectInEveryDirection) {
    const DWORD bits = GetParam();
    struct Move {
        int dx, dy;
    };
    const Move moves[] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {2, 2}, {-2, -1}, {3, -2}, {-1, 2}};
    for (Move mv : moves) {
        SCOPED_TRACE(testing::Message() << mv.dx << "," << mv.dy);
        for (int fast = 0; fast < 2; ++fast) {
            auto s = Make(12, 10);
            PaintAll(s.get(), [&](int x, int y) { return Mark(bits, x, y); });
            RECT from = Rect(3, 3, 9, 7);
            if (fast) {
                ASSERT_EQ(DD_OK, s->BltFast(3 + mv.dx, 3 + mv.dy, s.get(), &from, DDBLTFAST_WAIT));
            } else {
                RECT to = Rect(3 + mv.dx, 3 + mv.dy, 9 + mv.dx, 7 + mv.dy);
                ASSERT_EQ(DD_OK, s->Blt(&to, s.get(), &from, DDBLT_WAIT, nullptr));
            }
            for (int y = 0; y < 10; ++y)
                for (int x = 0; x < 12; ++x) {
                    const int sx = x - mv.dx, sy = y - mv.dy;
                    const bool moved = x >= 3 + mv.dx && x < 9 + mv.dx && y >= 3 + mv.dy && y < 7 + mv.dy;
                    ASSERT_EQ(moved ? Mark(bits, sx, sy) : Mark(bits, x, y), Peek(s.get(), x, y))
                        << (fast ? "BltFast " : "Blt ") << x << "," << y;
                }
        }
    }
}

TEST_P(BlitTest, OverlappingMirrorAndKeyOnOneSurfaceReadTheOriginal) {
    const DWORD bits = GetParam();
    auto s = Make(6, 1);
    PaintAll(s.get(), [&](int x, int y) { return Mark(bits, x, y); });
    DDBLTFX fx = Fx();
    fx.dwDDFX = DDBLTFX_MIRRORLEFTRIGHT;
    RECT from = Rect(0, 0, 4, 1), to = Rect(1, 0, 5, 1);
    ASSERT_EQ(DD_OK, s->Blt(&to, s.get(), &from, DDBLT_DDFX, &fx));
    EXPECT_EQ(Mark(bits, 0, 0), Peek(s.get(), 0, 0));
    for (int x = 1; x < 5; ++x) EXPECT_EQ(Mark(bits, 4 - x, 0), Peek(s.get(), x, 0)) << x;
    EXPECT_EQ(Mark(bits, 5, 0), Peek(s.get(), 5, 0));

    PaintAll(s.get(), [&](int x, int y) { return Mark(bits, x, y); });
    DDCOLORKEY ck = {Mark(bits, 2, 0), Mark(bits, 2, 0)};
    ASSERT_EQ(DD_OK, s->SetColorKey(DDCKEY_SRCBLT, &ck));
    ASSERT_EQ(DD_OK, s->BltFast(1, 0, s.get(), &from, DDBLTFAST_SRCCOLORKEY));
    const DWORD expected[] = {Mark(bits, 0, 0), Mark(bits, 0, 0), Mark(bits, 1, 0),
                              Mark(bits, 3, 0), Mark(bits, 3, 0), Mark(bits, 5, 0)};
    for (int x = 0; x < 6; ++x) EXPECT_EQ(expected[x], Peek(s.get(), x, 0)) << x;
}

TEST_P(BlitTest, RefusedRectanglesTouchNothing) {
    auto src = Make(8, 8);
    auto dst = Make(8, 8);
    FillBytes(src.get(), 0x5A);
    FillBytes(dst.get(), 0xC3);
    const std::vector<uint8_t> guard = Snapshot(dst.get());
    const RECT bad[] = {Rect(-1, 0, 4, 4), Rect(0, -3, 4, 4), Rect(5, 0, 9, 4), Rect(0, 5, 4, 9),
                        Rect(4, 4, 4, 6), Rect(4, 4, 6, 4), Rect(6, 1, 2, 5), Rect(1, 6, 5, 2),
                        Rect(-100000, -100000, 100000, 100000)};
    DDBLTFX fx = Fx();
    fx.dwFillColor = 0;
    for (RECT r : bad) {
        SCOPED_TRACE(testing::Message() << r.left << "," << r.top << "," << r.right << "," << r.bottom);
        EXPECT_EQ(DDERR_INVALIDPARAMS, dst->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL, &fx));
        EXPECT_EQ(DDERR_INVALIDPARAMS, dst->Blt(&r, src.get(), nullptr, DDBLT_WAIT, nullptr));
        EXPECT_EQ(DDERR_INVALIDPARAMS, dst->Blt(nullptr, src.get(), &r, DDBLT_WAIT, nullptr));
        EXPECT_EQ(DDERR_INVALIDPARAMS, dst->BltFast(0, 0, src.get(), &r, DDBLTFAST_WAIT));
    }
    // Positions that push the copy over the edge, including ones that wrap.
    RECT four = Rect(0, 0, 4, 4);
    EXPECT_EQ(DDERR_INVALIDPARAMS, dst->BltFast(5, 0, src.get(), &four, 0));
    EXPECT_EQ(DDERR_INVALIDPARAMS, dst->BltFast(0, 5, src.get(), &four, 0));
    EXPECT_EQ(DDERR_INVALIDPARAMS, dst->BltFast(0xFFFFFFFE, 0, src.get(), &four, 0));
    EXPECT_EQ(DDERR_INVALIDPARAMS, dst->BltFast(0, 0x80000000, src.get(), &four, 0));
    EXPECT_EQ(guard, Snapshot(dst.get()));
    EXPECT_EQ(DD_OK, dst->BltFast(4, 4, src.get(), &four, 0));  // the last position that fits
}

INSTANTIATE_TEST_SUITE_P(AllDepths, BlitTest, ::testing::ValuesIn(kDepths));

TEST(Blt, FlagsAndArgumentsTheLayerDoesNotDoAreRefused) {
    auto dd = MakeDirectDraw();
    auto a = MakeSurface(dd.get(), DescIn(32, 4, 4));
    auto b = MakeSurface(dd.get(), DescIn(32, 4, 4));
    auto c = MakeSurface(dd.get(), DescIn(16, 4, 4));
    DDBLTFX fx = Fx();
    EXPECT_EQ(DDERR_INVALIDPIXELFORMAT, a->Blt(nullptr, c.get(), nullptr, DDBLT_WAIT, nullptr));
    EXPECT_EQ(DDERR_INVALIDPIXELFORMAT, a->BltFast(0, 0, c.get(), nullptr, 0));
    EXPECT_EQ(DDERR_INVALIDPARAMS, a->Blt(nullptr, nullptr, nullptr, DDBLT_WAIT, nullptr));
    EXPECT_EQ(DDERR_INVALIDPARAMS, a->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, nullptr));
    DDBLTFX untagged = {};
    EXPECT_EQ(DDERR_INVALIDPARAMS, a->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &untagged));
    EXPECT_EQ(DDERR_UNSUPPORTED, a->Blt(nullptr, b.get(), nullptr, DDBLT_ALPHASRC, &fx));
    EXPECT_EQ(DDERR_UNSUPPORTED, a->Blt(nullptr, b.get(), nullptr, DDBLT_KEYDEST, &fx));
    fx.dwROP = SRCCOPY;
    EXPECT_EQ(DD_OK, a->Blt(nullptr, b.get(), nullptr, DDBLT_ROP, &fx));
    fx.dwROP = SRCINVERT;
    EXPECT_EQ(DDERR_NORASTEROPHW, a->Blt(nullptr, b.get(), nullptr, DDBLT_ROP, &fx));
    EXPECT_EQ(DDERR_UNSUPPORTED, a->BltFast(0, 0, b.get(), nullptr, DDBLTFAST_DESTCOLORKEY));
    // Something that is not a surface of this layer.
    EXPECT_EQ(DDERR_INVALIDOBJECT,
              a->Blt(nullptr, reinterpret_cast<IDirectDrawSurface7*>(&fx), nullptr, DDBLT_WAIT, nullptr));
}

TEST(Blt, FillValueIsCutToThePixelSize) {
    auto dd = MakeDirectDraw();
    auto s = MakeSurface(dd.get(), DescIn(16, 3, 1));
    auto neighbour = MakeSurface(dd.get(), DescIn(24, 3, 1));
    DDBLTFX fx = Fx();
    fx.dwFillColor = 0xABCD1234;
    RECT first = Rect(0, 0, 1, 1);
    ASSERT_EQ(DD_OK, s->Blt(&first, nullptr, nullptr, DDBLT_COLORFILL, &fx));
    EXPECT_EQ(0x1234u, Peek(s.get(), 0, 0));
    EXPECT_EQ(0u, Peek(s.get(), 1, 0));
    ASSERT_EQ(DD_OK, neighbour->Blt(&first, nullptr, nullptr, DDBLT_COLORFILL, &fx));
    EXPECT_EQ(0xCD1234u, Peek(neighbour.get(), 0, 0));
    EXPECT_EQ(0u, Peek(neighbour.get(), 1, 0));
}

TEST(Blt, WithAClipperTheVisiblePartIsDrawnAtTheSameScale) {
    auto dd = MakeDirectDraw();
    auto src = MakeSurface(dd.get(), DescIn(32, 4, 2));
    auto dst = MakeSurface(dd.get(), DescIn(32, 6, 4));
    PaintAll(src.get(), [](int x, int y) { return static_cast<DWORD>(0x100 * y + x + 1); });
    FillBytes(dst.get(), 0);
    RECT off = Rect(-4, 0, 4, 4);  // 2x stretch, half of it left of the surface
    EXPECT_EQ(DDERR_INVALIDPARAMS, dst->Blt(&off, src.get(), nullptr, DDBLT_WAIT, nullptr));
    Ref<IDirectDrawClipper> clipper;
    ASSERT_EQ(DD_OK, dd->CreateClipper(0, clipper.out(), nullptr));
    ASSERT_EQ(DD_OK, clipper->SetHWnd(0, FakeWindow()));
    HWND hwnd = nullptr;
    ASSERT_EQ(DD_OK, clipper->GetHWnd(&hwnd));
    EXPECT_EQ(FakeWindow(), hwnd);
    ASSERT_EQ(DD_OK, dst->SetClipper(clipper.get()));
    ASSERT_EQ(DD_OK, dst->Blt(&off, src.get(), nullptr, DDBLT_WAIT, nullptr));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            const DWORD want = x < 4 ? static_cast<DWORD>(0x100 * (y / 2) + (x + 4) / 2 + 1) : 0u;
            EXPECT_EQ(want, Peek(dst.get(), x, y)) << x << "," << y;
        }
    RECT away = Rect(100, 100, 104, 102);
    EXPECT_EQ(DD_OK, dst->Blt(&away, src.get(), nullptr, DDBLT_WAIT, nullptr));
    // BltFast never clips.
    EXPECT_EQ(DDERR_BLTFASTCANTCLIP, dst->BltFast(0, 0, src.get(), nullptr, 0));
    Ref<IDirectDrawClipper> got;
    ASSERT_EQ(DD_OK, dst->GetClipper(got.out()));
    EXPECT_EQ(clipper.get(), got.get());
    ASSERT_EQ(DD_OK, dst->SetClipper(nullptr));
    EXPECT_EQ(DDERR_NOCLIPPERATTACHED, dst->GetClipper(got.out()));
}
