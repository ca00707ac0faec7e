// The plain and keyed blits through the engine: which path a blit takes
// (software first, then the cached hardware path; engine buffers by their
// flags), clipping in both modes, keyed copies in the four pixel kinds, and
// the cases that must touch nothing (empty or inverted rectangles, failed
// locks, mismatched pixel kinds), overlapping copies on one surface, lost
// surfaces, and the channel scaling used by the fades.
#include "BlitTestSupport.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "platform/sim/Display.h"

namespace blit_test {
namespace {

const int kKinds[] = {15, 16, 24, 32};

int Count(const char* prefix) { return qndx::sim::JournalCount(prefix); }

// ---- which path ------------------------------------------------------------

class BlitPathTest : public BlitTest {};

TEST_P(BlitPathTest, RegisteredSourceGoesSoftwareFirstThenHardwareFromItsCachedCopy) {
    CQNDXSurface* back = Buffer(QNDX_SURFACE_BACK, 64, 48, true);
    engine->SetBack(back, true);
    engine->MakeCache();
    CQNDXSurface* sprite = Registered(16, 12);
    Randomise(sprite->GetDDSurface(), 1);
    Randomise(back->GetDDSurface(), 2);
    Pixels want = Read(back->GetDDSurface());
    RefCopy(Kind(), &want, 5, 7, Read(sprite->GetDDSurface()), 0, 0, 16, 12, false, 0);

    qndx::sim::EnableJournal(true);
    ASSERT_EQ(0, sprite->Blit(back, 5, 7, nullptr, FALSE));
    // Software: both surfaces locked; the only BltFast is the cache filling
    // its new copy from the sprite.
    EXPECT_GE(Count("IDirectDrawSurface7::Lock"), 2);
    EXPECT_EQ(1, Count("IDirectDrawSurface7::BltFast"));
    EXPECT_EQ(1, engine->GetCache()->IsCached(sprite));
    EXPECT_EQ("", FirstDifference(Read(back->GetDDSurface()), want));

    Randomise(back->GetDDSurface(), 3);
    want = Read(back->GetDDSurface());
    RefCopy(Kind(), &want, 20, 1, Read(sprite->GetDDSurface()), 0, 0, 16, 12, false, 0);
    qndx::sim::ClearJournal();
    ASSERT_EQ(0, sprite->Blit(back, 20, 1, nullptr, FALSE));
    EXPECT_EQ(0, Count("IDirectDrawSurface7::Lock"));
    EXPECT_EQ(1, Count("IDirectDrawSurface7::BltFast"));
    EXPECT_EQ("", FirstDifference(Read(back->GetDDSurface()), want));
}

TEST_P(BlitPathTest, BackBufferInSystemMemoryAlwaysTakesTheSoftwarePath) {
    CQNDXSurface* back = Buffer(QNDX_SURFACE_BACK, 32, 32, false);
    engine->SetBack(back, false);
    engine->MakeCache();
    CQNDXSurface* sprite = Registered(8, 8);
    Randomise(sprite->GetDDSurface(), 4);
    ASSERT_EQ(0, sprite->Blit(back, 0, 0, nullptr, FALSE));
    ASSERT_EQ(1, engine->GetCache()->IsCached(sprite));
    qndx::sim::EnableJournal(true);
    ASSERT_EQ(0, sprite->Blit(back, 3, 3, nullptr, TRUE));
    EXPECT_GE(Count("IDirectDrawSurface7::Lock"), 2);
    EXPECT_EQ(0, Count("IDirectDrawSurface7::BltFast"));
}

TEST_P(BlitPathTest, FrontSurfaceIsNeverDrawnByHardware) {
    CQNDXSurface* front = Buffer(QNDX_SURFACE_FRONT, 32, 32, true);
    CQNDXSurface* back = Buffer(QNDX_SURFACE_BACK, 32, 32, true);
    engine->SetBack(back, true);
    qndx::sim::EnableJournal(true);
    ASSERT_EQ(0, back->Blit(front, 0, 0, nullptr, FALSE));
    EXPECT_EQ(0, Count("IDirectDrawSurface7::BltFast"));
}

TEST_P(BlitPathTest, EngineBuffersCountAsVideoMemoryByTheirFlags) {
    CQNDXSurface* back = Buffer(QNDX_SURFACE_BACK, 40, 30, true);
    CQNDXSurface* third = Buffer(QNDX_SURFACE_THIRD, 40, 30, true);
    Randomise(third->GetDDSurface(), 5);
    Randomise(back->GetDDSurface(), 6);
    Pixels want = Read(back->GetDDSurface());
    RefCopy(Kind(), &want, 1, 2, Read(third->GetDDSurface()), 3, 4, 20, 10, false, 0);
    RECT r = {3, 4, 23, 14};

    engine->SetBack(back, true);
    engine->SetThird(third, true);
    qndx::sim::EnableJournal(true);
    ASSERT_EQ(0, third->Blit(back, 1, 2, &r, FALSE));
    EXPECT_EQ(1, Count("IDirectDrawSurface7::BltFast"));
    EXPECT_EQ(0, Count("IDirectDrawSurface7::Lock"));
    EXPECT_EQ("", FirstDifference(Read(back->GetDDSurface()), want));

    engine->SetThird(third, false);
    qndx::sim::ClearJournal();
    ASSERT_EQ(0, third->Blit(back, 1, 2, &r, FALSE));
    EXPECT_EQ(0, Count("IDirectDrawSurface7::BltFast"));
}

TEST_P(BlitPathTest, SoftwarePathReadsTheCachedCopyAndLeavesItToTheCache) {
    CQNDXSurface* back = Buffer(QNDX_SURFACE_BACK, 32, 32, false);
    engine->SetBack(back, false);
    engine->MakeCache();
    CQNDXSurface* sprite = Registered(8, 8);
    Randomise(sprite->GetDDSurface(), 7);
    const Pixels original = Read(sprite->GetDDSurface());
    ASSERT_EQ(0, engine->GetCache()->Cache(sprite));
    // Changed behind the cache's back: only the copy still has the original.
    Randomise(sprite->GetDDSurface(), 8);
    const int live = qndx::sim::LiveSurfaceCount();

    Pixels want = Read(back->GetDDSurface());
    RefCopy(Kind(), &want, 2, 2, original, 0, 0, 8, 8, false, 0);
    ASSERT_EQ(0, sprite->Blit(back, 2, 2, nullptr, FALSE));
    EXPECT_EQ("", FirstDifference(Read(back->GetDDSurface()), want));
    EXPECT_EQ(live, qndx::sim::LiveSurfaceCount());
    ASSERT_EQ(1, engine->GetCache()->IsCached(sprite));
    // The copy is still usable.
    Pixels copy = Read(engine->GetCache()->GetCached(sprite));
    EXPECT_EQ("", FirstDifference(copy, original));
}

INSTANTIATE_TEST_SUITE_P(Kinds, BlitPathTest, ::testing::ValuesIn(kKinds), KindName);

// ---- clipping ----------------------------------------------------------------

class BlitClipTest : public BlitTest {
protected:
    void SetUp() override {
        BlitTest::SetUp();
        src = Registered(20, 20);
        dst = Registered(50, 40);
        Randomise(src->GetDDSurface(), 11);
        Randomise(dst->GetDDSurface(), 12);
        before = Read(dst->GetDDSurface());
    }
    Pixels Expect(int dx, int dy, int sx, int sy, int w, int h) {
        Pixels want = before;
        RefCopy(Kind(), &want, dx, dy, Read(src->GetDDSurface()), sx, sy, w, h, false, 0);
        return want;
    }
    CQNDXSurface* src = nullptr;
    CQNDXSurface* dst = nullptr;
    Pixels before;
};

TEST_P(BlitClipTest, NullRectangleBlitsTheWholeSource) {
    ASSERT_EQ(0, src->Blit(dst, 3, 4, nullptr, FALSE));
    EXPECT_EQ("", FirstDifference(Read(dst->GetDDSurface()), Expect(3, 4, 0, 0, 20, 20)));
}

TEST_P(BlitClipTest, ModeZeroCutsTheSourceToItsClipRectangleAndTheDestinationToItsOwn) {
    RECT clip = {2, 3, 15, 18};
    src->SetClipRect(&clip);
    RECT r = {0, 0, 20, 20};
    ASSERT_EQ(0, src->Blit(dst, 10, 10, &r, FALSE));
    EXPECT_EQ("", FirstDifference(Read(dst->GetDDSurface()), Expect(10, 10, 2, 3, 13, 15)));
    EXPECT_EQ(0, r.left) << "the caller's rectangle is never changed";
}

TEST_P(BlitClipTest, ModeZeroAtNegativePositionCutsTheLeftAndTopOfTheSource) {
    ASSERT_EQ(0, src->Blit(dst, -5, -7, nullptr, FALSE));
    EXPECT_EQ("", FirstDifference(Read(dst->GetDDSurface()), Expect(0, 0, 5, 7, 15, 13)));
}

TEST_P(BlitClipTest, ModeZeroRespectsTheDestinationClipRectangle) {
    RECT clip = {10, 10, 30, 25};
    dst->SetClipRect(&clip);
    ASSERT_EQ(0, src->Blit(dst, 0, 0, nullptr, FALSE));
    EXPECT_EQ("", FirstDifference(Read(dst->GetDDSurface()), Expect(10, 10, 10, 10, 10, 10)));
}

TEST_P(BlitClipTest, BlitsWhollyOutsideTheDestinationDrawNothing) {
    EXPECT_EQ(0, src->Blit(dst, 50, 0, nullptr, FALSE));
    EXPECT_EQ(0, src->Blit(dst, -20, 0, nullptr, TRUE));
    EXPECT_EQ(0, src->BlitClipToSurface(dst, 0, 40, nullptr, FALSE));
    EXPECT_EQ(0, src->BlitClipToSurface(dst, -21, -30, nullptr, TRUE));
    EXPECT_EQ("", FirstDifference(Read(dst->GetDDSurface()), before));
}

TEST_P(BlitClipTest, InvertedOrEmptySourceRectanglesNeverReachACopy) {
    const RECT bad[] = {{10, 10, 5, 15}, {10, 10, 15, 5}, {8, 8, 8, 12}, {25, 25, 30, 30}, {-10, -10, -2, -2}};
    for (const RECT& r : bad) {
        for (BOOL keyed : {FALSE, TRUE}) {
            EXPECT_EQ(0, src->Blit(dst, 5, 5, &r, keyed));
            EXPECT_EQ(0, src->BlitClipToSurface(dst, 5, 5, &r, keyed));
        }
    }
    EXPECT_EQ("", FirstDifference(Read(dst->GetDDSurface()), before));
}

TEST_P(BlitClipTest, ModeOneIgnoresClipRectanglesButKeepsReadsInsideTheSource) {
    RECT clip = {10, 10, 20, 20};
    dst->SetClipRect(&clip);
    src->SetClipRect(&clip);
    // Reaches 4 pixels past every edge of the 20 x 20 source.
    RECT r = {-4, -4, 24, 24};
    ASSERT_EQ(0, src->BlitClipToSurface(dst, 10, 6, &r, FALSE));
    // The part inside the source lands where it would have: 4 further in.
    EXPECT_EQ("", FirstDifference(Read(dst->GetDDSurface()), Expect(14, 10, 0, 0, 20, 20)));
}

TEST_P(BlitClipTest, ModeOneCutsOnlyToTheDestinationBounds) {
    RECT clip = {0, 0, 5, 5};
    dst->SetClipRect(&clip);
    ASSERT_EQ(0, src->BlitClipToSurface(dst, 40, 30, nullptr, FALSE));
    EXPECT_EQ("", FirstDifference(Read(dst->GetDDSurface()), Expect(40, 30, 0, 0, 10, 10)));
}

// Where a copy of source rectangle r at (x, y) puts each source pixel,
// worked out in 64 bits: mode 0 cuts r to the source's clip without moving
// the position and shows what lands in the destination's clip (a mirror
// turns the cut rectangle about its middle); mode 1 shows what of the
// source's bounds lands in the destination's bounds. `landed` marks the
// destination pixels written.
struct Landing {
    int mode = 0;
    bool mirrorLR = false, mirrorUD = false;
};

Pixels Landed(const Landing& how, const Pixels& before, const Pixels& src, const RECT& srcClip, const RECT& dstClip,
              const RECT& r, int64_t x, int64_t y, std::vector<bool>* landed) {
    Pixels want = before;
    landed->assign(static_cast<size_t>(before.width) * before.height, false);
    if (r.left >= r.right || r.top >= r.bottom) return want;
    const RECT sc = how.mode == 0 ? srcClip : RECT{0, 0, src.width, src.height};
    const RECT dc = how.mode == 0 ? dstClip : RECT{0, 0, before.width, before.height};
    const int64_t cl = std::max(r.left, sc.left), ct = std::max(r.top, sc.top);
    const int64_t cr = std::min(r.right, sc.right), cb = std::min(r.bottom, sc.bottom);
    // Mode 0 places the cut rectangle at (x, y); mode 1 keeps the caller's.
    const int64_t ox = how.mode == 0 ? cl : r.left, oy = how.mode == 0 ? ct : r.top;
    for (int64_t sy = ct; sy < cb; ++sy)
        for (int64_t sx = cl; sx < cr; ++sx) {
            const int64_t dx = how.mirrorLR ? x + (cr - 1 - sx) : x + (sx - ox);
            const int64_t dy = how.mirrorUD ? y + (cb - 1 - sy) : y + (sy - oy);
            if (dx < dc.left || dx >= dc.right || dy < dc.top || dy >= dc.bottom) continue;
            want.Set(static_cast<int>(dx), static_cast<int>(dy), src.At(static_cast<int>(sx), static_cast<int>(sy)));
            (*landed)[static_cast<size_t>(dy) * before.width + static_cast<size_t>(dx)] = true;
        }
    return want;
}

TEST_P(BlitClipTest, BlitsAnywhereInTheIntRangeDrawWhatLandsOnTheDestination) {
    const int64_t limits[] = {INT_MIN, INT_MIN + 1, -25, -3, 0, 9, 33, INT_MAX - 1, INT_MAX};
    std::mt19937 rng(5150 + Kind());
    auto pick = [&]() -> int {
        return static_cast<int>(rng() % 3 ? limits[rng() % 9] : static_cast<int64_t>(rng() % 70) - 30);
    };
    const Pixels sp = Read(src->GetDDSurface());
    for (int n = 0; n < 500; ++n) {
        const RECT srcClip = n % 3 == 1 ? RECT{3, 2, 17, 15} : RECT{0, 0, 20, 20};
        const RECT dstClip = n % 4 == 2 ? RECT{5, 4, 41, 33} : RECT{0, 0, 50, 40};
        src->SetClipRect(&srcClip);
        dst->SetClipRect(&dstClip);
        const int x = n % 2 ? pick() : static_cast<int>(rng() % 70) - 30;
        const int y = n % 3 ? pick() : static_cast<int>(rng() % 60) - 20;
        RECT r = n % 5 == 0 ? RECT{0, 0, 20, 20} : RECT{pick(), pick(), pick(), pick()};
        if (n % 7 != 0) {  // mostly the right way round
            if (r.left > r.right) std::swap(r.left, r.right);
            if (r.top > r.bottom) std::swap(r.top, r.bottom);
        }
        SCOPED_TRACE(::testing::Message() << "at (" << x << ", " << y << "), source {" << r.left << ", " << r.top
                                          << ", " << r.right << ", " << r.bottom << "}");
        std::vector<bool> landed;
        auto check = [&](const char* what, int result, const Landing& how, bool exact) {
            EXPECT_GE(result, 0) << what;
            const Pixels got = Read(dst->GetDDSurface());
            const Pixels want = Landed(how, before, sp, srcClip, dstClip, r, x, y, &landed);
            if (exact) {
                EXPECT_EQ("", FirstDifference(got, want)) << what;
            } else {
                // The blends may change only what the copy would have.
                for (int py = 0; py < got.height; ++py)
                    for (int px = 0; px < got.width; ++px)
                        if (!landed[static_cast<size_t>(py) * got.width + px]) {
                            ASSERT_EQ(before.At(px, py), got.At(px, py)) << what << " at " << px << ", " << py;
                        }
            }
            Write(dst->GetDDSurface(), before);
        };
        check("Blit", src->Blit(dst, x, y, &r, FALSE), Landing{0, false, false}, true);
        check("BlitClipToSurface", src->BlitClipToSurface(dst, x, y, &r, FALSE), Landing{1, false, false}, true);
        check("BlitMirrorLeftRight", src->BlitMirrorLeftRight(dst, x, y, &r, FALSE), Landing{0, true, false}, true);
        check("BlitMirrorUpDown", src->BlitMirrorUpDown(dst, x, y, &r, FALSE), Landing{0, false, true}, true);
        check("BlitAlpha", src->BlitAlpha(dst, x, y, &r, 100, FALSE), Landing{}, false);
        check("BlitTranslucent", src->BlitTranslucent(dst, x, y, &r, 30, FALSE), Landing{}, false);
        check("BlitBlend", src->BlitBlend(dst, x, y, &r, 128), Landing{}, false);
        // Zooms and stretches leave the scaling to the platform; run here for
        // the sanitizers.
        src->BlitStretched(dst, x, y, &r, pick(), pick(), FALSE);
        src->BlitScaled(dst, x, y, &r, n % 2 ? 3.0f : 1e9f, FALSE);
        Write(dst->GetDDSurface(), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, BlitClipTest, ::testing::ValuesIn(kKinds), KindName);

// ---- keyed copies ----------------------------------------------------------------

class KeyedBlitTest : public BlitTest {};

TEST_P(KeyedBlitTest, KeyColouredPixelsLeaveTheDestinationAlone) {
    CQNDXSurface* src = Registered(37, 9);
    CQNDXSurface* dst = Registered(60, 20);
    Randomise(src->GetDDSurface(), 21);
    Randomise(dst->GetDDSurface(), 22);
    const COLORREF keyColour = RGB(255, 0, 255);
    ASSERT_EQ(0, src->SetColorKeyRGB(keyColour));
    const uint32_t key = src->RGBToNative(keyColour);
    // Every third pixel carries the key; in 32 bits with a random top byte,
    // which the comparison must ignore.
    Pixels sp = Read(src->GetDDSurface());
    std::mt19937 rng(23);
    for (int y = 0; y < sp.height; ++y)
        for (int x = 0; x < sp.width; ++x)
            if ((x + y) % 3 == 0) sp.Set(x, y, Kind() == 32 ? (key | (rng() << 24)) : key);
    Write(src->GetDDSurface(), sp);

    for (bool fast : {true, false}) {
        qndx::sim::SetBlitFastPaths(fast);
        Randomise(dst->GetDDSurface(), 24);
        Pixels want = Read(dst->GetDDSurface());
        RefCopy(Kind(), &want, 3, 5, sp, 0, 0, 37, 9, true, key);
        EXPECT_EQ(0, src->Blit(dst, 3, 5, nullptr, TRUE));
        EXPECT_EQ("", FirstDifference(Read(dst->GetDDSurface()), want)) << (fast ? "fast" : "plain");
    }
    qndx::sim::SetBlitFastPaths(true);
}

class Keyed32BlitTest : public BlitFixture {
protected:
    void SetUp() override { Start(32); }
};

TEST_F(Keyed32BlitTest, KeyedCopyClearsTheTopByteWhilePlainCopyKeepsIt) {
    CQNDXSurface* src = Registered(4, 1);
    CQNDXSurface* dst = Registered(4, 1);
    Pixels sp = Read(src->GetDDSurface());
    for (int x = 0; x < 4; ++x) sp.Set(x, 0, 0xAB123456);
    Write(src->GetDDSurface(), sp);
    ASSERT_EQ(0, src->SetColorKeyNative(0));
    ASSERT_EQ(0, src->Blit(dst, 0, 0, nullptr, TRUE));
    EXPECT_EQ(0x00123456u, Read(dst->GetDDSurface()).At(2, 0));
    ASSERT_EQ(0, src->Blit(dst, 0, 0, nullptr, FALSE));
    EXPECT_EQ(0xAB123456u, Read(dst->GetDDSurface()).At(2, 0));
}

TEST_P(KeyedBlitTest, NativeKeysKeyTheSameOnBothPaths) {
    // 9 (blue 9 in 15 and 16 bits) comes back from RGB as 8: the key must be
    // the native value itself, as the hardware path uses it.
    CQNDXSurface* back = Buffer(QNDX_SURFACE_BACK, 16, 16, true);
    CQNDXSurface* third = Buffer(QNDX_SURFACE_THIRD, 16, 16, true);
    Pixels tp = Read(third->GetDDSurface());
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) tp.Set(x, y, x < 8 ? 9 : 0x0F);
    Write(third->GetDDSurface(), tp);
    ASSERT_EQ(0, third->SetColorKeyNative(9));
    for (bool hw : {true, false}) {
        engine->SetBack(back, hw);
        engine->SetThird(third, hw);
        Pixels bp = Read(back->GetDDSurface());
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) bp.Set(x, y, 0x1234);
        Write(back->GetDDSurface(), bp);
        ASSERT_EQ(0, third->Blit(back, 0, 0, nullptr, TRUE));
        const Pixels got = Read(back->GetDDSurface());
        EXPECT_EQ(0x1234u, got.At(3, 3)) << (hw ? "hardware" : "software");
        EXPECT_EQ(0x0Fu, got.At(12, 3)) << (hw ? "hardware" : "software");
    }
}

// The first keyed blit of a registered sprite onto the back buffer runs the
// engine's software copy; later ones copy its cached copy through the
// platform (the span form from the third on). Every one draws the same
// pixels, bits outside the channels included: a 5-5-5 pixel that differs
// from the key in bit 15 only is drawn, a 32-bit one that differs in the
// top byte only is not, and 32-bit pixels are written with a top byte of 0.
TEST_P(KeyedBlitTest, FirstAndCachedKeyedBlitsAgreeOnTheBitsOutsideTheChannels) {
    CQNDXSurface* back = Buffer(QNDX_SURFACE_BACK, 64, 32, true);
    engine->SetBack(back, true);
    engine->MakeCache();
    CQNDXSurface* sprite = Registered(40, 12);
    const uint32_t key = Kind() == 15 ? 0x0123 : Kind() == 16 ? 0x8123 : 0x00123456;
    ASSERT_EQ(0, sprite->SetColorKeyNative(key));
    Pixels sp = Read(sprite->GetDDSurface());
    std::mt19937 rng(31);
    for (int y = 0; y < sp.height; ++y)
        for (int x = 0; x < sp.width; ++x) {
            const uint32_t r = rng();
            if (x % 8 < 3) sp.Set(x, y, Kind() == 32 ? (key | (r << 24)) : key);           // key runs
            else if (x % 8 == 3 && Kind() == 15) sp.Set(x, y, key | 0x8000);              // near-key
            else sp.Set(x, y, Kind() == 15 ? (r & 0xFFFF) : r);                          // unused bits set
        }
    Write(sprite->GetDDSurface(), sp);
    Randomise(back->GetDDSurface(), 32);
    const Pixels background = Read(back->GetDDSurface());
    Pixels want = background;
    RefCopy(Kind(), &want, 9, 11, sp, 0, 0, 40, 12, true, key);
    for (int call = 0; call < 4; ++call) {
        Write(back->GetDDSurface(), background);
        ASSERT_EQ(0, sprite->Blit(back, 9, 11, nullptr, TRUE));
        EXPECT_EQ(1, engine->GetCache()->IsCached(sprite));
        EXPECT_EQ("", FirstDifference(Read(back->GetDDSurface()), want)) << "call " << call;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, KeyedBlitTest, ::testing::ValuesIn(kKinds), KindName);

// ---- nothing touched ---------------------------------------------------------------

class BlitRefusalTest : public BlitTest {};

TEST_P(BlitRefusalTest, MissingSurfacesFailBeforeAnything) {
    CQNDXSurface* src = Registered(4, 4);
    CQNDXSurface empty;
    EXPECT_EQ(-1, engine->BlitPlain(0, nullptr, src, 0, 0, nullptr));
    EXPECT_EQ(-1, engine->BlitKeyed(0, src, nullptr, 0, 0, nullptr));
    EXPECT_EQ(-1, engine->BlitPlain(1, &empty, src, 0, 0, nullptr));
    EXPECT_EQ(-1, engine->BlitKeyed(1, src, &empty, 0, 0, nullptr));
}

TEST_P(BlitRefusalTest, AFailedLockTouchesNoPixel) {
    CQNDXSurface* src = Registered(10, 10);
    CQNDXSurface* dst = Registered(10, 10);
    Randomise(src->GetDDSurface(), 31);
    Randomise(dst->GetDDSurface(), 32);
    const Pixels before = Read(dst->GetDDSurface());
    for (BOOL keyed : {FALSE, TRUE}) {
        // The read surface's lock fails.
        qndx::sim::FailNext("IDirectDrawSurface7::Lock", 1, DDERR_GENERIC);
        EXPECT_LT(src->Blit(dst, 0, 0, nullptr, keyed), 0);
        // The destination's lock fails (the source is already locked, so its
        // nested lock does not reach the platform).
        ASSERT_EQ(1, src->Lock());
        qndx::sim::FailNext("IDirectDrawSurface7::Lock", 1, DDERR_GENERIC);
        EXPECT_LT(src->Blit(dst, 0, 0, nullptr, keyed), 0);
        EXPECT_EQ(1u, src->GetLockCount()) << "the frame gives back the lock it took";
        ASSERT_EQ(0, src->Unlock());
        EXPECT_EQ("", FirstDifference(Read(dst->GetDDSurface()), before));
    }
}

TEST_P(BlitRefusalTest, SurfacesOfDifferentPixelKindsAreNotCopied) {
    const int other = Kind() == 32 ? 16 : 32;
    DDSURFACEDESC2 d{};
    d.dwSize = 124;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    d.dwWidth = 8;
    d.dwHeight = 8;
    d.ddpfPixelFormat.dwSize = 32;
    d.ddpfPixelFormat.dwFlags = DDPF_RGB;
    d.ddpfPixelFormat.dwRGBBitCount = other;
    d.ddpfPixelFormat.dwRBitMask = other == 16 ? 0xF800 : 0xFF0000;
    d.ddpfPixelFormat.dwGBitMask = other == 16 ? 0x07E0 : 0x00FF00;
    d.ddpfPixelFormat.dwBBitMask = other == 16 ? 0x001F : 0x0000FF;
    IDirectDrawSurface7* raw = nullptr;
    ASSERT_EQ(DD_OK, engine->GetDirectDraw()->CreateSurface(&d, &raw, nullptr));
    RawSurface foreign(raw);
    foreign.Setup(engine, -1, 8, 8);
    ASSERT_NE(static_cast<DWORD>(Kind()), foreign.GetPixelKind());

    CQNDXSurface* mine = Registered(8, 8);
    Randomise(raw, 41);
    Randomise(mine->GetDDSurface(), 42);
    const Pixels mineBefore = Read(mine->GetDDSurface());
    const Pixels foreignBefore = Read(raw);
    for (BOOL keyed : {FALSE, TRUE}) {
        EXPECT_EQ(0, foreign.Blit(mine, 0, 0, nullptr, keyed));
        EXPECT_EQ(0, mine->Blit(&foreign, 0, 0, nullptr, keyed));
    }
    EXPECT_EQ("", FirstDifference(Read(mine->GetDDSurface()), mineBefore));
    EXPECT_EQ("", FirstDifference(Read(raw), foreignBefore));
}

INSTANTIATE_TEST_SUITE_P(Kinds, BlitRefusalTest, ::testing::ValuesIn(kKinds), KindName);

// ---- one surface ---------------------------------------------------------------------

class SameSurfaceBlitTest : public BlitTest {};

TEST_P(SameSurfaceBlitTest, OverlappingCopiesReadTheSourceAsItWas) {
    const int shifts[][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {3, 2}, {-2, -3}};
    CQNDXSurface* s = Registered(40, 30);
    for (BOOL keyed : {FALSE, TRUE}) {
        for (auto& sh : shifts) {
            Randomise(s->GetDDSurface(), 51);
            const uint32_t key = NativeKey(Kind(), Read(s->GetDDSurface()).At(10, 10));
            ASSERT_EQ(0, s->SetColorKeyNative(Read(s->GetDDSurface()).At(10, 10)));
            Pixels want = Read(s->GetDDSurface());
            RefCopy(Kind(), &want, 8 + sh[0], 6 + sh[1], want, 8, 6, 20, 15, keyed, key);
            RECT r = {8, 6, 28, 21};
            ASSERT_EQ(0, s->Blit(s, 8 + sh[0], 6 + sh[1], &r, keyed));
            EXPECT_EQ("", FirstDifference(Read(s->GetDDSurface()), want))
                << (keyed ? "keyed" : "plain") << " shift " << sh[0] << "," << sh[1];
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, SameSurfaceBlitTest, ::testing::ValuesIn(kKinds), KindName);

// ---- lost surfaces ------------------------------------------------------------------

class LostBlitTest : public BlitTest {};

TEST_P(LostBlitTest, HardwareCopyFromALostCachedCopyRestoresItAndDrawsNothing) {
    CQNDXSurface* back = Buffer(QNDX_SURFACE_BACK, 32, 32, true);
    engine->SetBack(back, true);
    engine->MakeCache();
    CQNDXSurface* sprite = Registered(8, 8);
    Randomise(sprite->GetDDSurface(), 61);
    ASSERT_EQ(0, engine->GetCache()->Cache(sprite));
    IDirectDrawSurface7* copy = engine->GetCache()->GetCached(sprite);
    ASSERT_TRUE(qndx::sim::MarkSurfaceLost(copy));
    Randomise(back->GetDDSurface(), 62);
    const Pixels before = Read(back->GetDDSurface());

    EXPECT_EQ(0, sprite->Blit(back, 4, 4, nullptr, FALSE)) << "the restore's result";
    EXPECT_EQ("", FirstDifference(Read(back->GetDDSurface()), before));
    EXPECT_EQ(DD_OK, copy->IsLost());
    // Restored and filled again from the sprite: the next blit draws it.
    Pixels want = before;
    RefCopy(Kind(), &want, 4, 4, Read(sprite->GetDDSurface()), 0, 0, 8, 8, false, 0);
    EXPECT_EQ(0, sprite->Blit(back, 4, 4, nullptr, FALSE));
    EXPECT_EQ("", FirstDifference(Read(back->GetDDSurface()), want));
}

TEST_P(LostBlitTest, KeyedHardwareCopyAlsoRestoresTheEngineBuffers) {
    CQNDXSurface* back = Buffer(QNDX_SURFACE_BACK, 32, 32, true);
    CQNDXSurface* third = Buffer(QNDX_SURFACE_THIRD, 32, 32, true);
    engine->SetBack(back, true);
    engine->SetThird(third, true);
    ASSERT_EQ(0, third->SetColorKeyNative(0));
    ASSERT_TRUE(qndx::sim::MarkSurfaceLost(back->GetDDSurface()));
    ASSERT_TRUE(qndx::sim::MarkSurfaceLost(third->GetDDSurface()));
    EXPECT_EQ(0, third->Blit(back, 0, 0, nullptr, TRUE));
    EXPECT_EQ(DD_OK, back->GetDDSurface()->IsLost());
    EXPECT_EQ(DD_OK, third->GetDDSurface()->IsLost());
}

INSTANTIATE_TEST_SUITE_P(Kinds, LostBlitTest, ::testing::ValuesIn(kKinds), KindName);

// ---- wide surfaces ------------------------------------------------------------------

class WideBlitTest : public BlitTest {};

TEST_P(WideBlitTest, RowsAdvanceByPitchesBeyondSixteenBits) {
    // 20000 pixels: a pitch of 40000 to 80000 bytes.
    CQNDXSurface* src = Registered(20000, 3);
    CQNDXSurface* dst = Registered(20000, 3);
    Randomise(src->GetDDSurface(), 71);
    Randomise(dst->GetDDSurface(), 72);
    const uint32_t key = NativeKey(Kind(), Read(src->GetDDSurface()).At(19990, 1));
    ASSERT_EQ(0, src->SetColorKeyNative(Read(src->GetDDSurface()).At(19990, 1)));
    Pixels want = Read(dst->GetDDSurface());
    RefCopy(Kind(), &want, 19985, 0, Read(src->GetDDSurface()), 19980, 0, 15, 3, true, key);
    RECT r = {19980, 0, 19995, 3};
    ASSERT_EQ(0, src->Blit(dst, 19985, 0, &r, TRUE));
    EXPECT_EQ("", FirstDifference(Read(dst->GetDDSurface()), want));
}

INSTANTIATE_TEST_SUITE_P(Kinds, WideBlitTest, ::testing::ValuesIn(kKinds), KindName);

// ---- channel scaling ------------------------------------------------------------------

class BlendBlitTest : public BlitTest {};

TEST_P(BlendBlitTest, HalfFactorHalvesEveryChannelAndFullFactorCopies) {
    CQNDXSurface* src = Registered(9, 4);
    CQNDXSurface* dst = Registered(9, 4);
    const uint32_t white = Kind() == 15 ? 0x7FFF : Kind() == 16 ? 0xFFFF : 0xFFFFFF;
    const uint32_t half = Kind() == 15 ? 0x3DEF : Kind() == 16 ? 0x7BEF : 0x7F7F7F;
    Pixels sp = Read(src->GetDDSurface());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 9; ++x) sp.Set(x, y, white);
    Write(src->GetDDSurface(), sp);
    ASSERT_EQ(0, src->BlitBlend(dst, 0, 0, nullptr, 128));
    EXPECT_EQ(half, Read(dst->GetDDSurface()).At(8, 3));
    ASSERT_EQ(0, src->BlitBlend(dst, 0, 0, nullptr, 256));
    EXPECT_EQ(white, Read(dst->GetDDSurface()).At(0, 0) & 0xFFFFFF);
    ASSERT_EQ(0, src->BlitBlend(dst, 0, 0, nullptr, 0));
    EXPECT_EQ(0u, Read(dst->GetDDSurface()).At(4, 2) & 0xFFFFFF);
}

TEST_P(BlendBlitTest, AnEngineBufferScaledOntoItselfReadsACopy) {
    CQNDXSurface* back = Buffer(QNDX_SURFACE_BACK, 16, 8, false);
    engine->SetBack(back, false);
    Randomise(back->GetDDSurface(), 81);
    const Pixels before = Read(back->GetDDSurface());
    // Shifted by one pixel: a read after the write would smear the row.
    RECT r = {0, 0, 15, 8};
    ASSERT_EQ(0, back->BlitBlend(back, 1, 0, &r, 256));
    const Pixels after = Read(back->GetDDSurface());
    const uint32_t colour = Kind() == 15 ? 0x7FFF : Kind() == 16 ? 0xFFFF : 0xFFFFFF;
    for (int y = 0; y < 8; ++y)
        for (int x = 1; x < 16; ++x)
            ASSERT_EQ(before.At(x - 1, y) & colour, after.At(x, y) & colour) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Kinds, BlendBlitTest, ::testing::ValuesIn(kKinds), KindName);

}  // namespace
}  // namespace blit_test
