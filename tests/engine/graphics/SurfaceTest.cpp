// The surface object: creation and registration, nested locks and device
// contexts with their limits, lost surfaces, change notices, clipping,
// colour keys, restoring, empty wrappers, copies and alpha masks.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>

#include "GraphicsTestSupport.h"
#include "platform/sim/Sim.h"

namespace qndx_test {
namespace {

class Surface : public GraphicsTest {
protected:
    void SetUp() override { StartEngine(16); }
};

// ---- creation ----

TEST_F(Surface, FreshObjectIsEmptyAndUnregistered) {
    CQNDXSurface s;
    EXPECT_EQ(-1, s.GetID());
    EXPECT_EQ(1, s.IsCacheable());
    EXPECT_EQ(nullptr, s.GetDDSurface());
    EXPECT_EQ(nullptr, s.GetVideoEngine());
}

TEST_F(Surface, CreateRegistersAndKeysBlack) {
    CQNDXSurface a, b;
    EXPECT_EQ(0, a.Create(engine, 7, 5));
    EXPECT_EQ(0, b.Create(engine, 3, 3));
    EXPECT_EQ(0, a.GetID());
    EXPECT_EQ(1, b.GetID());
    EXPECT_EQ(&a, engine->GetSurfaceManager()->GetSurface(0));
    EXPECT_EQ(7, a.GetWidth());
    EXPECT_EQ(5, a.GetHeight());
    RECT* clip = a.GetRectPtr();
    EXPECT_EQ(0, clip->left);
    EXPECT_EQ(7, clip->right);
    EXPECT_EQ(5, clip->bottom);
    EXPECT_EQ(16u, a.GetPixelKind());
    EXPECT_TRUE(a.HasPixelFunctions());
    DDCOLORKEY key = {1, 1};
    EXPECT_EQ(DD_OK, a.GetDDSurface()->GetColorKey(DDCKEY_SRCBLT, &key));
    EXPECT_EQ(0u, key.dwColorSpaceLowValue);
    EXPECT_EQ(0u, a.GetColorKey());
}

TEST_F(Surface, SecondCreateChangesNothingButTheEngine) {
    CQNDXSurface s;
    ASSERT_EQ(0, s.Create(engine, 4, 4));
    IDirectDrawSurface7* first = s.GetDDSurface();
    EXPECT_EQ(0, s.Create(engine, 9, 9));
    EXPECT_EQ(first, s.GetDDSurface());
    EXPECT_EQ(4, s.GetWidth());
    EXPECT_EQ(0, s.Create(nullptr, 9, 9));
}

TEST_F(Surface, CreateWithoutAnEngineDoesNothing) {
    CQNDXVideoEngine::Destroy();
    engine = nullptr;
    CQNDXSurface s;
    EXPECT_EQ(0, s.Create(reinterpret_cast<CQNDXVideoEngine*>(&s), 4, 4));  // engine singleton gone
    EXPECT_EQ(nullptr, s.GetDDSurface());
}

TEST_F(Surface, PlatformFailureOfCreateIsPassedOn) {
    qndx::sim::FailNext("IDirectDraw7::CreateSurface", 1, DDERR_OUTOFMEMORY);
    CQNDXSurface s;
    EXPECT_EQ(DDERR_OUTOFMEMORY, s.Create(engine, 4, 4));
    EXPECT_EQ(nullptr, s.GetDDSurface());
    EXPECT_EQ(-1, s.GetID());
    EXPECT_EQ(engine, s.GetVideoEngine());
}

TEST_F(Surface, DestroyingARegisteredSurfaceFreesItsID) {
    CQNDXSurface* a = NewSurface(2, 2);
    CQNDXSurface* b = NewSurface(2, 2);
    EXPECT_EQ(2, engine->GetSurfaceManager()->GetCount());
    const int live = qndx::sim::LiveSurfaceCount();
    delete a;
    EXPECT_EQ(1, engine->GetSurfaceManager()->GetCount());
    EXPECT_EQ(live - 1, qndx::sim::LiveSurfaceCount());
    CQNDXSurface* c = NewSurface(2, 2);
    EXPECT_EQ(0, c->GetID());
    delete b;
    delete c;
    EXPECT_EQ(0, engine->GetSurfaceManager()->GetCount());
}

TEST_F(Surface, LoadsCheckTheirArgumentsInOrder) {
    CQNDXSurface s;
    EXPECT_EQ(0, s.LoadFromMemory(nullptr, 10, reinterpret_cast<const BYTE*>("x"), 0));
    EXPECT_EQ(-1, s.LoadFromMemory(engine, 10, nullptr, 0));
    EXPECT_EQ(engine, s.GetVideoEngine());  // stored before the data check
    EXPECT_EQ(-1, s.LoadFromFileObject(engine, 0, nullptr, 0));
    EXPECT_EQ(-1, s.LoadFromFILE(engine, 0, nullptr, 0));
    EXPECT_EQ(-1, s.Load(engine, nullptr, 0));
    // A negative size is refused rather than read as a huge one.
    EXPECT_EQ(-1, s.LoadFromMemory(engine, -5, reinterpret_cast<const BYTE*>("x"), 0));
    EXPECT_EQ(nullptr, s.GetDDSurface());

    CQNDXSurface held;
    ASSERT_EQ(0, held.Create(engine, 2, 2));
    EXPECT_EQ(0, held.LoadFromMemory(engine, 1, reinterpret_cast<const BYTE*>("x"), 0));
}

// ---- locks ----

TEST_F(Surface, NestedLocksReachThePlatformOnce) {
    CQNDXSurface* s = NewSurface(4, 4);
    EXPECT_EQ(1, s->Lock());
    void* bits = s->GetBits();
    EXPECT_NE(nullptr, bits);
    qndx::sim::FailNext("IDirectDrawSurface7::Lock", 1, DDERR_GENERIC);
    qndx::sim::FailNext("IDirectDrawSurface7::Unlock", 1, DDERR_GENERIC);
    EXPECT_EQ(2, s->Lock());
    EXPECT_EQ(1, s->Unlock());
    EXPECT_EQ(1, qndx::sim::PendingFaults("IDirectDrawSurface7::Lock"));
    EXPECT_EQ(1, qndx::sim::PendingFaults("IDirectDrawSurface7::Unlock"));
    qndx::sim::ClearFaults();
    EXPECT_EQ(0, s->Unlock());
    delete s;
}

TEST_F(Surface, UnlockAtDepthZeroNeitherWrapsNorReachesThePlatform) {
    CQNDXSurface* s = NewSurface(4, 4);
    qndx::sim::FailNext("IDirectDrawSurface7::Unlock", 1, DDERR_GENERIC);
    EXPECT_LT(s->Unlock(), 0);
    EXPECT_EQ(0u, s->GetLockCount());
    EXPECT_EQ(1, qndx::sim::PendingFaults("IDirectDrawSurface7::Unlock"));
    qndx::sim::ClearFaults();
    EXPECT_EQ(1, s->Lock());
    EXPECT_EQ(0, s->Unlock());
    delete s;
}

TEST_F(Surface, LockRestoresALostSurface) {
    CQNDXSurface* s = NewSurface(4, 4);
    ASSERT_TRUE(qndx::sim::MarkSurfaceLost(s->GetDDSurface()));
    EXPECT_EQ(1, s->Lock());
    EXPECT_EQ(0, s->Unlock());
    // Restoring a surface made by Create cannot reload a picture.
    EXPECT_EQ(1, s->NeedsReload());
    delete s;
}

TEST_F(Surface, LockGivesUpAfter101Attempts) {
    CQNDXSurface* s = NewSurface(4, 4);
    qndx::sim::FailNext("IDirectDrawSurface7::Lock", 500, DDERR_SURFACELOST);
    EXPECT_EQ(DDERR_SURFACELOST, s->Lock());
    EXPECT_EQ(500 - 101, qndx::sim::PendingFaults("IDirectDrawSurface7::Lock"));
    EXPECT_EQ(0u, s->GetLockCount());
    qndx::sim::ClearFaults();
    delete s;
}

TEST_F(Surface, UnlockRetriesALostSurfaceAtMost100Times) {
    CQNDXSurface* s = NewSurface(4, 4);
    ASSERT_EQ(1, s->Lock());
    qndx::sim::FailNext("IDirectDrawSurface7::Unlock", 500, DDERR_SURFACELOST);
    EXPECT_EQ(DDERR_SURFACELOST, s->Unlock());
    EXPECT_EQ(500 - 101, qndx::sim::PendingFaults("IDirectDrawSurface7::Unlock"));
    EXPECT_EQ(1u, s->GetLockCount());
    qndx::sim::ClearFaults();
    EXPECT_EQ(0, s->Unlock());
    delete s;
}

TEST_F(Surface, OtherLockFailuresAreReturnedAtOnce) {
    CQNDXSurface* s = NewSurface(4, 4);
    qndx::sim::FailNext("IDirectDrawSurface7::Lock", 3, DDERR_SURFACEBUSY);
    EXPECT_EQ(DDERR_SURFACEBUSY, s->Lock());
    EXPECT_EQ(2, qndx::sim::PendingFaults("IDirectDrawSurface7::Lock"));
    qndx::sim::ClearFaults();
    EXPECT_EQ(0, s->DrawLine(0, 0, 3, 3, 1));  // locks work again
    delete s;
}

// ---- device contexts ----

TEST_F(Surface, DeviceContextsNestAndReleaseDCAtDepthZeroFails) {
    CQNDXSurface* s = NewSurface(4, 4);
    HDC first = s->GetDC();
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, s->GetDC());
    EXPECT_EQ(2u, s->GetDCCount());
    EXPECT_EQ(0, s->ReleaseDC());
    EXPECT_EQ(0, s->ReleaseDC());
    EXPECT_EQ(0u, s->GetDCCount());
    qndx::sim::FailNext("IDirectDrawSurface7::ReleaseDC", 1, DDERR_GENERIC);
    EXPECT_EQ(-1, s->ReleaseDC());
    EXPECT_EQ(0u, s->GetDCCount());
    EXPECT_EQ(1, qndx::sim::PendingFaults("IDirectDrawSurface7::ReleaseDC"));
    qndx::sim::ClearFaults();
    delete s;
}

TEST_F(Surface, FailedGetDCGivesNull) {
    CQNDXSurface* s = NewSurface(4, 4);
    qndx::sim::FailNext("IDirectDrawSurface7::GetDC", 1, DDERR_CANTCREATEDC);
    EXPECT_EQ(nullptr, s->GetDC());
    EXPECT_EQ(0u, s->GetDCCount());
    delete s;
}

// ---- change notices ----

class Notices : public Surface {
protected:
    void SetUp() override {
        Surface::SetUp();
        cache = new CountingCache(engine);
        engine->SetCache(cache);
    }
    CountingCache* cache = nullptr;
};

TEST_F(Notices, OneNoticePerOutermostUnlockOfADirtySurface) {
    CQNDXSurface* s = NewSurface(4, 4);
    ASSERT_EQ(1, s->Lock());
    s->PutPixel(1, 1, 5);
    ASSERT_EQ(2, s->Lock());
    s->PutPixel(2, 2, 5);
    EXPECT_EQ(1, s->Unlock());
    EXPECT_EQ(0, cache->updates);
    EXPECT_EQ(0, s->Unlock());
    EXPECT_EQ(1, cache->updates);
    // A lock without writes tells nothing.
    s->Lock();
    s->Unlock();
    EXPECT_EQ(1, cache->updates);
    // A drawing call is one notice, however many pixels.
    s->DrawRect(0, 0, 3, 3, 7);
    EXPECT_EQ(2, cache->updates);
    // A write outside the clip rectangle is no write.
    s->Lock();
    s->PutPixel(10, 10, 5);
    s->Unlock();
    EXPECT_EQ(2, cache->updates);
    delete s;
}

TEST_F(Notices, PlatformFillsNotifyOncePerCall) {
    CQNDXSurface* s = NewSurface(4, 4);
    s->FillRect(0, 0, 2, 2, 1);
    s->Clear(0);
    EXPECT_EQ(2, cache->updates);
    s->FillRect(10, 10, 12, 12, 1);  // clipped away: no fill, no notice
    EXPECT_EQ(2, cache->updates);
    delete s;
}

TEST_F(Notices, UnregisteredSurfacesAndEngineBuffersAreNeverReported) {
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = 124;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = desc.dwHeight = 4;
    IDirectDrawSurface7* dds = nullptr;
    ASSERT_EQ(DD_OK, engine->GetDirectDraw()->CreateSurface(&desc, &dds, nullptr));
    CQNDXSurface* back = engine->Wrap(dds, QNDX_SURFACE_BACK, 4, 4);
    back->DrawLine(0, 0, 3, 3, 1);
    back->FillRect(0, 0, 4, 4, 2);

    ASSERT_EQ(DD_OK, engine->GetDirectDraw()->CreateSurface(&desc, &dds, nullptr));
    TestSurface loose(dds);
    loose.SetSize(4, 4);
    loose.SetEngine(engine);
    loose.DrawLine(0, 0, 3, 0, 1);
    loose.Clear(3);
    EXPECT_EQ(0, cache->updates);
    delete back;
}

TEST_F(Notices, NotifyChangedNeedsAnEngineAndACache) {
    CQNDXSurface* s = NewSurface(2, 2);
    EXPECT_LT(s->NotifyChanged(), 0);  // not cached: the cache refuses
    EXPECT_EQ(1, cache->updates);
    engine->SetCache(nullptr);
    cache = nullptr;
    EXPECT_EQ(-1, s->NotifyChanged());
    CQNDXSurface empty;
    EXPECT_EQ(-1, empty.NotifyChanged());
    delete s;
}

// ---- clipping ----

TEST_F(Surface, ClipRectCases) {
    TestSurface s;
    s.SetSize(20, 10);
    RECT clip = {2, 2, 18, 8};
    s.SetClipRect(&clip);

    RECT right = {18, 3, 25, 5};
    EXPECT_EQ(0, s.ClipRect(&right));
    EXPECT_EQ(18, right.left);
    EXPECT_EQ(25, right.right);

    RECT straddle = {-3, 3, 5, 5};
    EXPECT_EQ(1, s.ClipRect(&straddle));
    EXPECT_EQ(2, straddle.left);
    EXPECT_EQ(5, straddle.right);

    RECT big = {-100, -100, 100, 100};
    EXPECT_EQ(1, s.ClipRect(&big));
    EXPECT_EQ(2, big.left);
    EXPECT_EQ(2, big.top);
    EXPECT_EQ(18, big.right);
    EXPECT_EQ(8, big.bottom);

    for (RECT outside : {RECT{0, 0, 2, 5}, RECT{3, 8, 5, 9}, RECT{3, 0, 5, 2}}) EXPECT_EQ(0, s.ClipRect(&outside));

    RECT inverted = {10, 6, 4, 3};
    EXPECT_EQ(0, s.ClipRect(&inverted));
    EXPECT_EQ(10, inverted.left);
    EXPECT_EQ(0, s.ClipRect(nullptr));
}

TEST_F(Surface, ClipBlitMovesPositionAndSourceTogether) {
    TestSurface src, dest;
    src.SetSize(40, 40);
    dest.SetSize(30, 30);
    RECT r = {0, 0, 20, 20};
    int x = -5, y = 25;
    EXPECT_EQ(1, src.ClipBlit(&dest, &x, &y, &r));
    EXPECT_EQ(0, x);
    EXPECT_EQ(25, y);
    EXPECT_EQ(5, r.left);
    EXPECT_EQ(0, r.top);
    EXPECT_EQ(20, r.right);
    EXPECT_EQ(5, r.bottom);

    RECT away = {0, 0, 10, 10};
    x = 30;
    y = 0;
    EXPECT_EQ(0, src.ClipBlit(&dest, &x, &y, &away));

    // The source's own clip cuts the rectangle but does not move x, y.
    RECT srcClip = {4, 0, 40, 40};
    src.SetClipRect(&srcClip);
    RECT part = {0, 0, 10, 10};
    x = 3;
    y = 3;
    EXPECT_EQ(1, src.ClipBlit(&dest, &x, &y, &part));
    EXPECT_EQ(4, part.left);
    EXPECT_EQ(3, x);
}

TEST_F(Surface, ClipToSurfaceUsesTheDestinationBoundsNotItsClip) {
    TestSurface src, dest;
    src.SetSize(8, 8);
    dest.SetSize(10, 10);
    RECT destClip = {4, 4, 6, 6};
    dest.SetClipRect(&destClip);
    RECT r = {0, 0, 8, 8};
    int x = -2, y = 6;
    EXPECT_EQ(1, src.ClipToSurface(&dest, &x, &y, &r));
    EXPECT_EQ(0, x);
    EXPECT_EQ(6, y);
    EXPECT_EQ(2, r.left);
    EXPECT_EQ(0, r.top);
    EXPECT_EQ(8, r.right);
    EXPECT_EQ(4, r.bottom);
    RECT r2 = {0, 0, 4, 4};
    x = 10;
    y = 0;
    EXPECT_EQ(0, src.ClipToSurface(&dest, &x, &y, &r2));
}

// The two blit clips as their rules state them, in 64-bit arithmetic.
// Edges are left, top, right, bottom.
struct Wide {
    int64_t e[4];
};

// ClipRect: nothing when wholly outside the clip (or inverted), else each
// edge pulled inside.
bool ClipWide(const RECT& clip, Wide* r) {
    int64_t* e = r->e;
    if (e[1] >= clip.bottom || e[0] >= clip.right || e[3] <= clip.top || e[2] <= clip.left) return false;
    if (e[0] >= e[2] || e[1] >= e[3]) return false;
    e[0] = std::max<int64_t>(e[0], clip.left), e[1] = std::max<int64_t>(e[1], clip.top);
    e[2] = std::min<int64_t>(e[2], clip.right), e[3] = std::min<int64_t>(e[3], clip.bottom);
    return true;
}

// The destination rectangle D = {x, y, x + w, y + h} is clipped (ClipBlit:
// by the destination's clip, after the source rectangle was cut to the
// source's; ClipToSurface: by the destination's bounds), each source edge
// moves as the same edge of D did, and the position becomes D's corner.
int ReferenceClip(bool toSurface, const RECT& srcClip, const RECT& dstArea, int64_t* x, int64_t* y, Wide* src) {
    if (!toSurface && !ClipWide(srcClip, src)) return 0;
    const int64_t* e = src->e;
    const Wide d0 = {{*x, *y, *x + (e[2] - e[0]), *y + (e[3] - e[1])}};
    Wide d = d0;
    if (toSurface) {
        d.e[0] = std::max<int64_t>(d.e[0], 0), d.e[1] = std::max<int64_t>(d.e[1], 0);
        d.e[2] = std::min<int64_t>(d.e[2], dstArea.right), d.e[3] = std::min<int64_t>(d.e[3], dstArea.bottom);
        if (d.e[0] >= d.e[2] || d.e[1] >= d.e[3]) return 0;
    } else if (!ClipWide(dstArea, &d)) {
        return 0;
    }
    for (int i = 0; i < 4; ++i) src->e[i] += d.e[i] - d0.e[i];
    *x = d.e[0];
    *y = d.e[1];
    return 1;
}

TEST_F(Surface, BlitClipsMatchTheirRulesAnywhereInTheIntRange) {
    TestSurface src, dest;
    src.SetSize(40, 30);
    dest.SetSize(25, 20);
    const int64_t limits[] = {INT_MIN, INT_MIN + 1, -40, -1, 0, 7, 24, 41, INT_MAX - 1, INT_MAX};
    std::mt19937 rng(777);
    auto pick = [&]() -> int {
        return static_cast<int>(rng() % 2 ? limits[rng() % 10] : static_cast<int64_t>(rng() % 90) - 40);
    };
    for (int n = 0; n < 20000; ++n) {
        const RECT srcClip = n % 3 ? RECT{0, 0, 40, 30} : RECT{5, 2, 33, 26};
        const RECT dstClip = n % 4 ? RECT{0, 0, 25, 20} : RECT{3, 4, 19, 15};
        src.SetClipRect(&srcClip);
        dest.SetClipRect(&dstClip);
        const bool toSurface = n % 2;
        int x = pick(), y = pick();
        RECT r = {pick(), pick(), pick(), pick()};
        int64_t wx = x, wy = y;
        Wide want = {{r.left, r.top, r.right, r.bottom}};
        SCOPED_TRACE(::testing::Message() << (toSurface ? "ClipToSurface" : "ClipBlit") << " at (" << x << ", " << y
                                          << ") of {" << r.left << ", " << r.top << ", " << r.right << ", "
                                          << r.bottom << "}");
        const int expected = ReferenceClip(toSurface, srcClip, toSurface ? RECT{0, 0, 25, 20} : dstClip, &wx, &wy, &want);
        const int got = toSurface ? src.ClipToSurface(&dest, &x, &y, &r) : src.ClipBlit(&dest, &x, &y, &r);
        ASSERT_EQ(expected, got);
        if (!got) continue;
        ASSERT_EQ(wx, x);
        ASSERT_EQ(wy, y);
        ASSERT_EQ(want.e[0], r.left);
        ASSERT_EQ(want.e[1], r.top);
        ASSERT_EQ(want.e[2], r.right);
        ASSERT_EQ(want.e[3], r.bottom);
    }
}

TEST_F(Surface, SetClipRectStaysInsideTheSurface) {
    TestSurface s;
    s.SetSize(16, 9);
    RECT r = {-4, -1, 40, 50};
    s.SetClipRect(&r);
    EXPECT_EQ(0, s.GetRectPtr()->left);
    EXPECT_EQ(0, s.GetRectPtr()->top);
    EXPECT_EQ(16, s.GetRectPtr()->right);
    EXPECT_EQ(9, s.GetRectPtr()->bottom);
}

// ---- colour keys ----

TEST_F(Surface, ColourKeysAreStoredAsRGBAndSetNatively) {
    CQNDXSurface* s = NewSurface(4, 4);
    DDCOLORKEY key;
    EXPECT_EQ(DD_OK, s->SetColorKeyRGB(RGB(255, 0, 0)));
    EXPECT_EQ(RGB(255, 0, 0), s->GetColorKey());
    ASSERT_EQ(DD_OK, s->GetDDSurface()->GetColorKey(DDCKEY_SRCBLT, &key));
    EXPECT_EQ(0xF800u, key.dwColorSpaceLowValue);
    EXPECT_EQ(0xF800u, key.dwColorSpaceHighValue);

    EXPECT_EQ(DD_OK, s->SetColorKeyNative(0x07E0));
    EXPECT_EQ(RGB(0, 255, 0), s->GetColorKey());
    EXPECT_EQ(0xFFE0u, s->RGBToNative(RGB(255, 255, 0)));
    delete s;
}

TEST_F(Surface, ColourKeyFromTheFirstPixelReadsOnePixel) {
    CQNDXSurface* s = NewSurface(2, 1);
    Poke(s->GetDDSurface(), 0, 0, 0xF800);
    Poke(s->GetDDSurface(), 1, 0, 0x07E0);  // the next pixel must not leak in
    EXPECT_EQ(0, s->SetColorKeyFromFirstPixel());
    EXPECT_EQ(RGB(255, 0, 0), s->GetColorKey());
    DDCOLORKEY key;
    ASSERT_EQ(DD_OK, s->GetDDSurface()->GetColorKey(DDCKEY_SRCBLT, &key));
    EXPECT_EQ(0xF800u, key.dwColorSpaceLowValue);
    EXPECT_EQ(0u, s->GetLockCount());

    qndx::sim::FailNext("IDirectDrawSurface7::SetColorKey", 1, DDERR_GENERIC);
    EXPECT_EQ(-2, s->SetColorKeyFromFirstPixel());
    qndx::sim::FailNext("IDirectDrawSurface7::Lock", 1, DDERR_GENERIC);
    EXPECT_EQ(-1, s->SetColorKeyFromFirstPixel());
    delete s;
}

TEST_F(Surface, ColourKeyFromTheFirstPixelInsideACallersLock) {
    CQNDXSurface* s = NewSurface(3, 3);
    Poke(s->GetDDSurface(), 0, 0, 0x001F);
    ASSERT_EQ(1, s->Lock());
    EXPECT_EQ(0, s->SetColorKeyFromFirstPixel());
    // The caller's lock still describes the memory.
    EXPECT_NE(nullptr, s->GetBits());
    EXPECT_EQ(1u, s->GetLockCount());
    s->PutPixel(1, 1, 0xFFFF);
    EXPECT_EQ(0, s->Unlock());
    EXPECT_EQ(RGB(0, 0, 255), s->GetColorKey());
    delete s;
}

// ---- restoring ----

TEST_F(Surface, RestoreAndReloadWithoutANameAskForARebuild) {
    CQNDXSurface* s = NewSurface(4, 4);
    EXPECT_EQ(-1, s->Reload(nullptr));
    EXPECT_EQ(1, s->NeedsReload());
    s->SetNeedsReload(0);
    EXPECT_EQ(-1, s->Restore());
    EXPECT_EQ(1, s->NeedsReload());
    CQNDXSurface empty;
    EXPECT_EQ(-1, empty.Restore());
    delete s;
}

TEST_F(Surface, FullScreenBackBufferRestoresThroughTheFront) {
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = 124;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = desc.dwHeight = 4;
    IDirectDrawSurface7 *f = nullptr, *b = nullptr;
    ASSERT_EQ(DD_OK, engine->GetDirectDraw()->CreateSurface(&desc, &f, nullptr));
    ASSERT_EQ(DD_OK, engine->GetDirectDraw()->CreateSurface(&desc, &b, nullptr));
    CQNDXSurface* front = engine->Wrap(f, QNDX_SURFACE_FRONT, 4, 4);
    CQNDXSurface* back = engine->Wrap(b, QNDX_SURFACE_BACK, 4, 4);
    engine->SetFrontSurface(front);
    engine->SetBackBuffer(back);
    engine->SetFullScreenFlag(1);
    ASSERT_TRUE(qndx::sim::MarkSurfaceLost(f));
    back->Restore();
    EXPECT_EQ(DD_OK, f->IsLost());
    engine->SetFullScreenFlag(0);
    engine->SetFrontSurface(nullptr);
    engine->SetBackBuffer(nullptr);
    delete front;
    delete back;
}

// ---- empty wrappers, copies, masks ----

TEST_F(Surface, WrapperAroundAFailedSurfaceIsSafe) {
    TestSurface s(nullptr);
    s.SetEngine(engine);
    s.SetSize(10, 10);
    EXPECT_EQ(-1, s.Lock());
    EXPECT_LT(s.Unlock(), 0);
    EXPECT_EQ(0u, s.GetLockCount());
    EXPECT_EQ(nullptr, s.GetDC());
    EXPECT_EQ(-1, s.ReleaseDC());
    EXPECT_EQ(-1, s.DrawLine(0, 0, 5, 5, 1));
    EXPECT_EQ(-1, s.FillRect(0, 0, 5, 5, 1));
    EXPECT_EQ(-1, s.Clear(1));
    EXPECT_EQ(-1, s.BlendRect(0, 0, 5, 5, 10, 1));
    EXPECT_EQ(-1, s.SetColorKeyRGB(0));
    EXPECT_EQ(-1, s.SetColorKeyNative(0));
    EXPECT_EQ(-1, s.SetColorKeyFromFirstPixel());
    EXPECT_EQ(-1, s.Restore());
    EXPECT_EQ(RGB(1, 2, 3), s.RGBToNative(RGB(1, 2, 3)));
    EXPECT_EQ(0u, s.GetPixelKind());
}

TEST_F(Surface, CopyHasItsOwnSurfaceMaskAndID) {
    CQNDXSurface* original = NewSurface(3, 2);
    unsigned char* mask = new unsigned char[6]{1, 2, 3, 4, 5, 6};
    original->SetAlphaMask(mask);
    original->SetColorKeyRGB(RGB(0, 0, 255));
    CQNDXSurface copy(*original);
    EXPECT_NE(nullptr, copy.GetDDSurface());
    EXPECT_NE(original->GetDDSurface(), copy.GetDDSurface());
    EXPECT_EQ(3, copy.GetWidth());
    EXPECT_EQ(2, copy.GetHeight());
    EXPECT_EQ(RGB(0, 0, 255), copy.GetColorKey());
    EXPECT_GE(copy.GetID(), 0);
    EXPECT_NE(original->GetID(), copy.GetID());
    ASSERT_NE(nullptr, copy.GetAlphaMask());
    EXPECT_NE(mask, copy.GetAlphaMask());
    EXPECT_EQ(0, std::memcmp(mask, copy.GetAlphaMask(), 6));
    // The copy's memory is its own: locking it does not give the original's.
    ASSERT_EQ(1, copy.Lock());
    ASSERT_EQ(1, original->Lock());
    EXPECT_NE(copy.GetBits(), original->GetBits());
    copy.Unlock();
    original->Unlock();
    delete original;
}

TEST_F(Surface, SetAlphaMaskWithTheMaskItHoldsKeepsIt) {
    TestSurface s;
    unsigned char* mask = new unsigned char[4]{9, 8, 7, 6};
    EXPECT_EQ(0, s.SetAlphaMask(mask));
    EXPECT_EQ(0, s.SetAlphaMask(mask));
    EXPECT_EQ(mask, s.GetAlphaMask());
    EXPECT_EQ(9, s.GetAlphaMask()[0]);  // still alive
    unsigned char* other = new unsigned char[4]();
    EXPECT_EQ(0, s.SetAlphaMask(other));
    EXPECT_EQ(other, s.GetAlphaMask());
}

TEST_F(Notices, TextGoesThroughTheSurfaceFontOrTheDefaultFont) {
    CQNDXSurface* s = NewSurface(8, 8);
    EXPECT_EQ(-1, s->DrawText(0, 0, "no font", -1));
    RecordingFont fallback(nullptr), own(nullptr);
    engine->SetDefaultFont(&fallback);
    EXPECT_EQ(0, s->DrawText(1, 2, "hi", -1));
    EXPECT_EQ(0, s->DrawTextEx(3, 4, "yo", 2));
    ASSERT_EQ(2u, fallback.calls.size());
    EXPECT_EQ("DrawText 1,2 hi -1", fallback.calls[0]);
    EXPECT_EQ("DrawTextAligned 3,4 yo 2", fallback.calls[1]);
    EXPECT_EQ(s, fallback.lastDest);
    EXPECT_EQ(2, cache->updates);  // one notice per call

    ASSERT_EQ(0, s->SetFont(&own));
    EXPECT_EQ(&own, s->GetFont());
    own.result = -1;
    EXPECT_EQ(-1, s->DrawText(0, 0, "x", 1));
    EXPECT_EQ(1u, own.calls.size());
    EXPECT_EQ(2, cache->updates);  // a failed draw changed nothing
    EXPECT_EQ(-1, s->DrawText(0, 0, nullptr, 1));
    EXPECT_EQ(-1, s->DrawTextEx(0, 0, nullptr, 1));
    CQNDXSurface unowned;
    EXPECT_EQ(-1, unowned.DrawText(0, 0, "x", 1));
    delete s;
}

TEST_F(Surface, FileNameAndFlags) {
    CQNDXSurface s;
    char name[256] = "junk";
    EXPECT_STREQ("", s.GetFileName(name));
    s.SetTextureFlag(1);
    EXPECT_EQ(1, s.GetTextureFlag());
    s.SetCacheable(0);
    EXPECT_EQ(0, s.IsCacheable());
    s.SetUserFlag(1);
    EXPECT_EQ(1, s.GetUserFlag());
    EXPECT_EQ(-1, s.SetFont(nullptr));
}

}  // namespace
}  // namespace qndx_test
