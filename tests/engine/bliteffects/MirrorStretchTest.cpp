// Mirror, zoom and stretch blits through the video engine: where every
// source pixel lands when the destination cuts the picture on either side
// (the platform's mirror and the software mirror agreeing pixel for pixel),
// keys, the rectangles handed to the platform's stretching blit, sizes that
// draw nothing, lost sources, failures passed through, and which routines
// give a registered source its video-memory copy.
#include <cmath>
#include <functional>
#include <limits>

#include "engine/blit/BlitTestSupport.h"

namespace blit_test {
namespace {

const int kKinds[] = {15, 16, 24, 32};

// A pixel value that tells its column and row apart (bit 15 clear).
uint32_t Encode(int kind, int x, int y) {
    if (kind == 15 || kind == 16) return static_cast<uint32_t>(x + 131 * y + 1) & 0x7FFF;
    return static_cast<uint32_t>(x + 1) | static_cast<uint32_t>(y) << 12;
}

void FillEncoded(IDirectDrawSurface7* s, int kind) {
    Pixels p = Read(s);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) p.Set(x, y, Encode(kind, x, y));
    Write(s, p);
}

void FillSolid(IDirectDrawSurface7* s, uint32_t v) {
    Pixels p = Read(s);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) p.Set(x, y, v);
    Write(s, p);
}

const uint32_t kBackground = 0x0A0A;

std::string LastBlt() {
    std::string last;
    for (const std::string& e : qndx::sim::JournalEntries())
        if (e.rfind("IDirectDrawSurface7::Blt(", 0) == 0) last = e;
    return last;
}

// ---------------------------------------------------------------- mirrors

class MirrorTest : public BlitTest {
protected:
    // The destination as the unclipped mirror seen through the
    // destination's bounds: column X shows source column x + w - 1 - X.
    Pixels Expected(const Pixels& dest, const Pixels& src, int x, int y, bool leftRight, bool keyed, uint32_t key) {
        Pixels want = dest;
        for (int r = 0; r < src.height; ++r)
            for (int c = 0; c < src.width; ++c) {
                const int dx = leftRight ? x + src.width - 1 - c : x + c;
                const int dy = leftRight ? y + r : y + src.height - 1 - r;
                if (dx < 0 || dy < 0 || dx >= dest.width || dy >= dest.height) continue;
                const uint32_t p = src.At(c, r);
                if (keyed && ((Kind() == 24 || Kind() == 32) ? (p & 0xFFFFFF) : p) == key) continue;
                want.Set(dx, dy, p);
            }
        return want;
    }
    int Run(CQNDXSurface* src, CQNDXSurface* dest, int x, int y, bool leftRight, bool keyed,
            const RECT* rect = nullptr) {
        return leftRight ? src->BlitMirrorLeftRight(dest, x, y, rect, keyed)
                         : src->BlitMirrorUpDown(dest, x, y, rect, keyed);
    }
};

TEST_P(MirrorTest, PlatformAndSoftwareMirrorsPutEveryPixelWhereTheCutPictureShowsIt) {
    struct Case {
        bool leftRight;
        int srcW, srcH, destW, destH, x, y;
    };
    const Case cases[] = {
        {true, 100, 3, 800, 3, -10, 0},   // left cut: columns 0..89 show 89..0
        {true, 100, 3, 800, 3, 750, 0},   // right cut: 750..799 show 99..50
        {true, 100, 3, 50, 3, -10, 0},    // both: 0..49 show 89..40
        {true, 9, 4, 20, 6, 5, 1},        // no cut
        {false, 3, 40, 3, 300, 0, -7},    // top cut takes the source's bottom rows
        {false, 3, 40, 3, 300, 0, 280},   // bottom cut takes its top rows
        {false, 4, 40, 4, 20, 0, -10},    // both
    };
    for (const Case& c : cases)
        for (bool keyed : {false, true})
            for (bool software : {false, true}) {
                CQNDXSurface* src = Registered(c.srcW, c.srcH);
                CQNDXSurface* dest = Registered(c.destW, c.destH);
                FillEncoded(src->GetDDSurface(), Kind());
                // A key colour that survives the trip to RGB and back, at
                // every seventh pixel.
                ASSERT_EQ(0, src->SetColorKeyRGB(0x00FF00FF));
                const uint32_t key = src->RGBToNative(0x00FF00FF);
                Pixels sp = Read(src->GetDDSurface());
                for (int i = 0; i < c.srcW * c.srcH; i += 7) sp.Set(i % c.srcW, i / c.srcW, key);
                Write(src->GetDDSurface(), sp);
                FillSolid(dest->GetDDSurface(), kBackground);
                const Pixels want =
                    Expected(Read(dest->GetDDSurface()), Read(src->GetDDSurface()), c.x, c.y, c.leftRight, keyed, key);
                if (software) qndx::sim::FailNext("IDirectDrawSurface7::Blt", 1, DDERR_NOMIRRORHW);
                EXPECT_EQ(0, Run(src, dest, c.x, c.y, c.leftRight, keyed));
                EXPECT_EQ("", FirstDifference(Read(dest->GetDDSurface()), want))
                    << (c.leftRight ? "left-right" : "up-down") << " at " << c.x << "," << c.y << " onto " << c.destW
                    << "x" << c.destH << (keyed ? " keyed" : "") << (software ? " software" : " platform");
            }
}

TEST_P(MirrorTest, BothPathsAgreeOnNativeKeysAndOnOneSurfaceMirroredOntoItself) {
    Pixels results[2];
    for (bool software : {false, true}) {
        CQNDXSurface* s = Registered(24, 12);
        FillEncoded(s->GetDDSurface(), Kind());
        // A native key that does not survive the trip to RGB and back in
        // 15 and 16 bits.
        Pixels p = Read(s->GetDDSurface());
        for (int i = 0; i < 24 * 12; i += 5) p.Set(i % 24, i / 24, 9);
        Write(s->GetDDSurface(), p);
        ASSERT_EQ(0, s->SetColorKeyNative(9));
        const RECT rect = {0, 0, 16, 8};
        if (software) qndx::sim::FailNext("IDirectDrawSurface7::Blt", 2, DDERR_NOMIRRORHW);
        EXPECT_EQ(0, s->BlitMirrorLeftRight(s, 5, 2, &rect, TRUE));
        EXPECT_EQ(0, s->BlitMirrorUpDown(s, 3, 3, &rect, FALSE));
        results[software] = Read(s->GetDDSurface());
    }
    EXPECT_EQ("", FirstDifference(results[1], results[0]));
}

TEST_P(MirrorTest, PlatformCallCarriesTheMirrorFlags) {
    CQNDXSurface* src = Registered(8, 8);
    CQNDXSurface* dest = Registered(16, 16);
    qndx::sim::EnableJournal(true);
    ASSERT_EQ(0, src->BlitMirrorLeftRight(dest, 2, 3, nullptr, FALSE));
    EXPECT_EQ("IDirectDrawSurface7::Blt({2,3,10,11} {0,0,8,8} 0x1000800)", LastBlt());
    ASSERT_EQ(0, src->BlitMirrorUpDown(dest, 2, 3, nullptr, TRUE));
    EXPECT_EQ("IDirectDrawSurface7::Blt({2,3,10,11} {0,0,8,8} 0x1008800)", LastBlt());
}

TEST_P(MirrorTest, ARectangleReachingPastTheSourceIsCutToIt) {
    for (bool software : {false, true}) {
        CQNDXSurface* src = Registered(10, 2);
        CQNDXSurface* dest = Registered(40, 2);
        FillEncoded(src->GetDDSurface(), Kind());
        FillSolid(dest->GetDDSurface(), kBackground);
        const Pixels want = Expected(Read(dest->GetDDSurface()), Read(src->GetDDSurface()), 3, 0, true, false, 0);
        const RECT wide = {0, 0, 25, 2};
        if (software) qndx::sim::FailNext("IDirectDrawSurface7::Blt", 1, DDERR_NOMIRRORHW);
        EXPECT_EQ(0, src->BlitMirrorLeftRight(dest, 3, 0, &wide, FALSE));
        EXPECT_EQ("", FirstDifference(Read(dest->GetDDSurface()), want)) << (software ? "software" : "platform");
    }
}

TEST_P(MirrorTest, OnlyTheSoftwareFallbackCachesTheSource) {
    engine->MakeCache();
    CQNDXSurface* back = Buffer(QNDX_SURFACE_BACK, 64, 64, false);
    engine->SetBack(back, false);
    CQNDXSurface* src = Registered(8, 8);
    ASSERT_EQ(0, src->BlitMirrorLeftRight(back, 0, 0, nullptr, FALSE));
    EXPECT_EQ(0, engine->GetCache()->IsCached(src));
    qndx::sim::FailNext("IDirectDrawSurface7::Blt", 1, DDERR_NOMIRRORHW);
    ASSERT_EQ(0, src->BlitMirrorUpDown(back, 0, 0, nullptr, FALSE));
    EXPECT_EQ(1, engine->GetCache()->IsCached(src));
}

TEST_P(MirrorTest, ALostSourceIsRestoredAndNothingIsDrawn) {
    CQNDXSurface* src = Registered(8, 8);
    CQNDXSurface* dest = Registered(16, 16);
    FillSolid(dest->GetDDSurface(), kBackground);
    const Pixels before = Read(dest->GetDDSurface());
    ASSERT_TRUE(qndx::sim::MarkSurfaceLost(src->GetDDSurface()));
    // The source has no name to reload from: its Restore says so.
    EXPECT_EQ(-1, src->BlitMirrorLeftRight(dest, 0, 0, nullptr, TRUE));
    EXPECT_EQ(1, src->NeedsReload());
    EXPECT_EQ(DD_OK, src->GetDDSurface()->IsLost());
    EXPECT_EQ("", FirstDifference(Read(dest->GetDDSurface()), before));
}

TEST_P(MirrorTest, RefusalsTouchNothing) {
    CQNDXSurface* src = Registered(8, 8);
    CQNDXSurface* dest = Registered(16, 16);
    CQNDXSurface empty;
    EXPECT_EQ(-1, engine->BlitMirrorLeftRight(nullptr, src, 0, 0, nullptr));
    EXPECT_EQ(-1, engine->BlitMirrorUpDownKeyed(dest, &empty, 0, 0, nullptr));
    FillSolid(dest->GetDDSurface(), kBackground);
    const Pixels before = Read(dest->GetDDSurface());
    qndx::sim::EnableJournal(true);
    EXPECT_EQ(0, src->BlitMirrorLeftRight(dest, 16, 0, nullptr, FALSE));   // wholly outside
    const RECT inverted = {5, 0, 2, 8};
    EXPECT_EQ(0, src->BlitMirrorUpDown(dest, 0, 0, &inverted, FALSE));
    EXPECT_EQ(0, qndx::sim::JournalCount("IDirectDrawSurface7::Blt"));
    // The fallback with a failed lock draws nothing and says so.
    qndx::sim::FailNext("IDirectDrawSurface7::Blt", 1, DDERR_NOMIRRORHW);
    qndx::sim::FailNext("IDirectDrawSurface7::Lock", 1, DDERR_SURFACEBUSY);
    EXPECT_GT(0, src->BlitMirrorLeftRight(dest, 0, 0, nullptr, FALSE));
    EXPECT_EQ("", FirstDifference(Read(dest->GetDDSurface()), before));
}

TEST_P(MirrorTest, TheFallbackNeverCopiesBetweenPixelKinds) {
    const int other = Kind() == 32 ? 16 : 32;
    DDSURFACEDESC2 d{};
    d.dwSize = 124;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    d.dwWidth = d.dwHeight = 8;
    d.ddpfPixelFormat.dwSize = 32;
    d.ddpfPixelFormat.dwFlags = DDPF_RGB;
    d.ddpfPixelFormat.dwRGBBitCount = static_cast<DWORD>(other);
    d.ddpfPixelFormat.dwRBitMask = other == 16 ? 0xF800 : 0xFF0000;
    d.ddpfPixelFormat.dwGBitMask = other == 16 ? 0x07E0 : 0x00FF00;
    d.ddpfPixelFormat.dwBBitMask = other == 16 ? 0x001F : 0x0000FF;
    IDirectDrawSurface7* raw = nullptr;
    ASSERT_EQ(DD_OK, engine->GetDirectDraw()->CreateSurface(&d, &raw, nullptr));
    RawSurface foreign(raw);
    foreign.Setup(engine, -1, 8, 8);
    CQNDXSurface* dest = Registered(8, 8);
    FillSolid(dest->GetDDSurface(), kBackground);
    const Pixels before = Read(dest->GetDDSurface());
    EXPECT_EQ(0, foreign.BlitMirrorLeftRight(dest, 0, 0, nullptr, FALSE));
    EXPECT_EQ("", FirstDifference(Read(dest->GetDDSurface()), before));
}

INSTANTIATE_TEST_SUITE_P(Kinds, MirrorTest, ::testing::ValuesIn(kKinds), KindName);

// ------------------------------------------------------- zoom and stretch

class StretchTest : public BlitTest {
protected:
    void SetUp() override {
        BlitTest::SetUp();
        src = Registered(100, 50);
        dest = Registered(800, 600);
        FillEncoded(src->GetDDSurface(), Kind());
        FillSolid(dest->GetDDSurface(), kBackground);
        qndx::sim::EnableJournal(true);
    }
    CQNDXSurface* src = nullptr;
    CQNDXSurface* dest = nullptr;
};

TEST_P(StretchTest, ZoomIsCentredWhereTheUnscaledCopyWouldBe) {
    EXPECT_EQ(0, src->BlitScaled(dest, 200, 100, nullptr, 1.0f, FALSE));
    EXPECT_EQ("IDirectDrawSurface7::Blt({200,100,300,150} {0,0,100,50} 0x1000000)", LastBlt());
    EXPECT_EQ(0, src->BlitScaled(dest, 200, 100, nullptr, 2.0f, FALSE));
    EXPECT_EQ("IDirectDrawSurface7::Blt({150,75,350,175} {0,0,100,50} 0x1000000)", LastBlt());
    EXPECT_EQ(0, src->BlitScaled(dest, 200, 100, nullptr, 0.5f, TRUE));
    EXPECT_EQ("IDirectDrawSurface7::Blt({225,112,275,137} {0,0,100,50} 0x1008000)", LastBlt());
    // The pixels of the doubled picture fill exactly its rectangle.
    const Pixels p = Read(dest->GetDDSurface());
    EXPECT_EQ(Encode(Kind(), 0, 0), p.At(150, 75));
    EXPECT_EQ(Encode(Kind(), 99, 49), p.At(349, 174));
    EXPECT_EQ(kBackground, p.At(149, 75));
    EXPECT_EQ(kBackground, p.At(350, 174));
    EXPECT_EQ(kBackground, p.At(349, 175));
}

TEST_P(StretchTest, ClippedZoomMovesTheSourceEdgeByTheCutOverTheScale) {
    // Doubled at x = -40 lands at -90: the left 90 columns go, 45 of the source.
    EXPECT_EQ(0, src->BlitScaled(dest, -40, 100, nullptr, 2.0f, FALSE));
    EXPECT_EQ("IDirectDrawSurface7::Blt({0,75,110,175} {45,0,100,50} 0x1000000)", LastBlt());
    // A cut of 10 moves the source's left edge by 5.
    EXPECT_EQ(0, src->BlitScaled(dest, 40, 100, nullptr, 2.0f, FALSE));
    EXPECT_EQ("IDirectDrawSurface7::Blt({0,75,190,175} {5,0,100,50} 0x1000000)", LastBlt());
    EXPECT_EQ(Encode(Kind(), 5, 0), Read(dest->GetDDSurface()).At(0, 75));
    // Right and bottom edges likewise.
    EXPECT_EQ(0, src->BlitScaled(dest, 760, 560, nullptr, 2.0f, FALSE));
    EXPECT_EQ("IDirectDrawSurface7::Blt({710,535,800,600} {0,0,45,33} 0x1000000)", LastBlt());
}

TEST_P(StretchTest, StretchToASizeMovesTheSourceByTheCutInProportion) {
    EXPECT_EQ(0, src->BlitStretched(dest, -20, 0, nullptr, 200, 100, FALSE));
    EXPECT_EQ("IDirectDrawSurface7::Blt({0,0,180,100} {10,0,100,50} 0x1000000)", LastBlt());
    EXPECT_EQ(0, src->BlitStretched(dest, -20, 0, nullptr, 50, 25, TRUE));
    EXPECT_EQ("IDirectDrawSurface7::Blt({0,0,30,25} {40,0,100,50} 0x1008000)", LastBlt());
    EXPECT_EQ(0, src->BlitStretched(dest, 700, 590, nullptr, 200, 100, FALSE));
    EXPECT_EQ("IDirectDrawSurface7::Blt({700,590,800,600} {0,0,50,5} 0x1000000)", LastBlt());
}

TEST_P(StretchTest, SizesThatDrawNothing) {
    const Pixels before = Read(dest->GetDDSurface());
    EXPECT_EQ(0, src->BlitStretched(dest, 0, 0, nullptr, 0, 10, FALSE));
    EXPECT_EQ(0, src->BlitStretched(dest, 0, 0, nullptr, 10, -1, TRUE));
    EXPECT_EQ(0, src->BlitScaled(dest, 10, 10, nullptr, -3.0f, FALSE));  // as scale 0: empty
    EXPECT_EQ(0, src->BlitScaled(dest, 10, 10, nullptr, std::numeric_limits<float>::quiet_NaN(), FALSE));
    EXPECT_EQ(0, src->BlitScaled(dest, 900, 10, nullptr, 1.0f, FALSE));  // outside
    const RECT inverted = {50, 0, 10, 50};
    EXPECT_EQ(0, src->BlitScaled(dest, 0, 0, &inverted, 1.0f, FALSE));
    EXPECT_EQ(0, src->BlitStretched(dest, 0, 0, &inverted, 20, 20, FALSE));
    EXPECT_EQ(0, qndx::sim::JournalCount("IDirectDrawSurface7::Blt"));
    EXPECT_EQ("", FirstDifference(Read(dest->GetDDSurface()), before));
}

TEST_P(StretchTest, ExtremeScalesAndSizesStayInsideTheSurfaces) {
    // Whatever the platform makes of them, nothing overflows or reads outside.
    src->BlitScaled(dest, 10, 10, nullptr, 1e30f, FALSE);
    src->BlitScaled(dest, 10, 10, nullptr, std::numeric_limits<float>::infinity(), TRUE);
    src->BlitScaled(dest, 10, 10, nullptr, 1e-30f, FALSE);
    src->BlitStretched(dest, 2000000000, 2000000000, nullptr, 2000000000, 2000000000, FALSE);
    src->BlitStretched(dest, -2000000000, -5, nullptr, 2100000000, 700, FALSE);
    const Pixels p = Read(dest->GetDDSurface());
    EXPECT_EQ(800, p.width);
}

TEST_P(StretchTest, PlatformFailuresAndLostSources) {
    qndx::sim::FailNext("IDirectDrawSurface7::Blt", 1, DDERR_NOSTRETCHHW);
    EXPECT_EQ(DDERR_NOSTRETCHHW, src->BlitScaled(dest, 0, 0, nullptr, 2.0f, FALSE));
    ASSERT_TRUE(qndx::sim::MarkSurfaceLost(src->GetDDSurface()));
    const Pixels before = Read(dest->GetDDSurface());
    EXPECT_EQ(-1, src->BlitStretched(dest, 0, 0, nullptr, 30, 30, TRUE));  // Restore: no name to reload
    EXPECT_EQ(DD_OK, src->GetDDSurface()->IsLost());
    EXPECT_EQ("", FirstDifference(Read(dest->GetDDSurface()), before));
    CQNDXSurface empty;
    EXPECT_EQ(-1, engine->BlitStretch(dest, &empty, 0, 0, nullptr, 1.0f));
    EXPECT_EQ(-1, engine->BlitStretchToSizeKeyed(nullptr, src, 0, 0, nullptr, 5, 5));
}

TEST_P(StretchTest, WhichStretchesCacheTheirSource) {
    engine->MakeCache();
    CQNDXSurface* back = Buffer(QNDX_SURFACE_BACK, 200, 200, false);
    engine->SetBack(back, false);
    struct Case {
        const char* what;
        bool caches;
        std::function<int(CQNDXSurface*)> blit;
    };
    const Case cases[] = {
        {"zoom", true, [&](CQNDXSurface* s) { return s->BlitScaled(back, 0, 0, nullptr, 1.5f, FALSE); }},
        {"keyed zoom", true, [&](CQNDXSurface* s) { return s->BlitScaled(back, 0, 0, nullptr, 1.5f, TRUE); }},
        {"stretch", true, [&](CQNDXSurface* s) { return s->BlitStretched(back, 0, 0, nullptr, 20, 20, FALSE); }},
        {"keyed stretch", false,
         [&](CQNDXSurface* s) { return s->BlitStretched(back, 0, 0, nullptr, 20, 20, TRUE); }},
    };
    for (const Case& c : cases) {
        CQNDXSurface* s = Registered(10, 10);
        EXPECT_EQ(0, c.blit(s)) << c.what;
        EXPECT_EQ(c.caches ? 1 : 0, engine->GetCache()->IsCached(s)) << c.what;
    }
    // A failed zoom still caches; one onto a registered surface never does.
    CQNDXSurface* s = Registered(10, 10);
    qndx::sim::FailNext("IDirectDrawSurface7::Blt", 1, DDERR_NOSTRETCHHW);
    EXPECT_EQ(DDERR_NOSTRETCHHW, s->BlitScaled(back, 0, 0, nullptr, 1.0f, FALSE));
    EXPECT_EQ(1, engine->GetCache()->IsCached(s));
    CQNDXSurface* t = Registered(10, 10);
    EXPECT_EQ(0, t->BlitScaled(dest, 0, 0, nullptr, 1.0f, FALSE));
    EXPECT_EQ(0, engine->GetCache()->IsCached(t));
}

TEST_P(StretchTest, KeyedStretchLeavesKeyPixels) {
    CQNDXSurface* small = Registered(2, 1);
    Pixels p = Read(small->GetDDSurface());
    p.Set(0, 0, 0x0101);
    p.Set(1, 0, 0x0202);
    Write(small->GetDDSurface(), p);
    ASSERT_EQ(0, small->SetColorKeyNative(0x0101));
    EXPECT_EQ(0, small->BlitStretched(dest, 0, 0, nullptr, 4, 2, TRUE));
    const Pixels d = Read(dest->GetDDSurface());
    EXPECT_EQ(kBackground, d.At(0, 0));
    EXPECT_EQ(kBackground, d.At(1, 1));
    EXPECT_EQ(0x0202u, d.At(2, 0));
    EXPECT_EQ(0x0202u, d.At(3, 1));
}

INSTANTIATE_TEST_SUITE_P(Kinds, StretchTest, ::testing::ValuesIn(kKinds), KindName);

}  // namespace
}  // namespace blit_test
