// The LRU video-memory cache: priority order and promotion, eviction when the
// video-memory budget runs out, refusals, refreshing after a change, lost
// and failed copies, colour keys, and the simple cache's differences.
#include "GraphicsTestSupport.h"

namespace qndx_test {
namespace {

const int kSide = 16;
const DWORD kCopyBytes = kSide * kSide * 4;

class Cache : public GraphicsTest {
protected:
    void Begin(DWORD budget) {
        qndx::sim::SetVideoMemoryBudget(budget);
        StartEngine(32);
        cache = new CQNDXLRUCache(engine);
        engine->SetCache(cache);
    }
    void TearDown() override {
        for (CQNDXSurface* s : surfaces) delete s;
        GraphicsTest::TearDown();
    }
    CQNDXSurface* Add() {
        surfaces.push_back(NewSurface(kSide, kSide));
        return surfaces.back();
    }

    CQNDXLRUCache* cache = nullptr;
    std::vector<CQNDXSurface*> surfaces;
};

TEST_F(Cache, LeastRecentlyUsedCopyIsEvictedWhenVideoMemoryRunsOut) {
    Begin(3 * kCopyBytes + kCopyBytes / 2);  // room for three copies
    CQNDXSurface* s0 = Add();
    CQNDXSurface* s1 = Add();
    CQNDXSurface* s2 = Add();
    CQNDXSurface* s3 = Add();
    EXPECT_EQ(0, cache->Cache(s0));
    EXPECT_EQ(0, cache->Cache(s1));
    EXPECT_EQ(0, cache->Cache(s2));
    EXPECT_EQ(2, cache->GetHeadID());
    EXPECT_EQ(0, cache->GetTailID());
    ASSERT_NE(nullptr, cache->GetCached(s0));  // a use: 0 becomes the most recent
    EXPECT_EQ(0, cache->GetHeadID());
    EXPECT_EQ(1, cache->GetTailID());

    EXPECT_EQ(0, cache->Cache(s3));
    EXPECT_EQ(3, cache->GetNumCached());
    EXPECT_EQ(0, cache->IsCached(s1));
    EXPECT_EQ(1, cache->IsCached(s0));
    EXPECT_EQ(1, cache->IsCached(s2));
    EXPECT_EQ(3, cache->GetHeadID());
    EXPECT_EQ(2, cache->GetTailID());
    EXPECT_LT(engine->GetFreeVideoMemory(), kCopyBytes);
}

TEST_F(Cache, EvictionGoesOnUntilTheCopyFits) {
    Begin(3 * kCopyBytes + kCopyBytes / 2);
    CQNDXSurface* small[3] = {Add(), Add(), Add()};
    for (CQNDXSurface* s : small) ASSERT_EQ(0, cache->Cache(s));
    CQNDXSurface* big = new CQNDXSurface();
    surfaces.push_back(big);
    ASSERT_EQ(0, big->Create(engine, kSide, 2 * kSide));  // needs two copies' room
    EXPECT_EQ(0, cache->Cache(big));
    EXPECT_EQ(2, cache->GetNumCached());
    EXPECT_EQ(0, cache->IsCached(small[0]));
    EXPECT_EQ(0, cache->IsCached(small[1]));
    EXPECT_EQ(1, cache->IsCached(small[2]));
}

TEST_F(Cache, NothingFitsEvenWhenEmpty) {
    Begin(kCopyBytes / 2);
    CQNDXSurface* s = Add();
    EXPECT_EQ(-1, cache->Cache(s));
    EXPECT_EQ(0, cache->GetNumCached());
    EXPECT_EQ(-1, cache->GetHeadID());
    EXPECT_EQ(-1, cache->GetTailID());
    EXPECT_EQ(nullptr, cache->GetCached(s));
}

TEST_F(Cache, CachingAgainAndUpdatingKeepTheOrder) {
    Begin(1u << 20);
    CQNDXSurface* a = Add();
    CQNDXSurface* b = Add();
    ASSERT_EQ(0, cache->Cache(a));
    ASSERT_EQ(0, cache->Cache(b));
    const int live = qndx::sim::LiveSurfaceCount();
    EXPECT_EQ(0, cache->Cache(a));  // already there: nothing copied, no move
    EXPECT_EQ(live, qndx::sim::LiveSurfaceCount());
    EXPECT_EQ(1, cache->GetHeadID());
    EXPECT_EQ(0, cache->Update(a));
    EXPECT_EQ(1, cache->GetHeadID());
    EXPECT_EQ(0, cache->GetTailID());
}

TEST_F(Cache, SurfacesThatMayNotBeCached) {
    Begin(1u << 20);
    CQNDXSurface* s = Add();
    s->SetCacheable(0);
    EXPECT_EQ(-1, cache->Cache(s));
    EXPECT_EQ(-1, cache->Update(s));
    TestSurface loose;
    for (int id : {-1, -16, 256}) {
        loose.SetID(id);
        EXPECT_EQ(-1, cache->Cache(&loose)) << id;
        EXPECT_EQ(0, cache->IsCached(&loose)) << id;
    }
    loose.SetID(-1);
    EXPECT_EQ(-1, cache->Cache(nullptr));
    EXPECT_EQ(-1, cache->Update(nullptr));
    EXPECT_EQ(0, cache->GetNumCached());
    CQNDXLRUCache orphan(nullptr);
    EXPECT_EQ(-1, orphan.Cache(Add()));
    EXPECT_EQ(-1, orphan.UpdateAll());
}

TEST_F(Cache, UncacheUnlinksAndReleases) {
    Begin(1u << 20);
    CQNDXSurface* a = Add();
    CQNDXSurface* b = Add();
    CQNDXSurface* c = Add();
    for (CQNDXSurface* s : {a, b, c}) ASSERT_EQ(0, cache->Cache(s));
    cache->Uncache(b);  // from the middle
    EXPECT_EQ(2, cache->GetHeadID());
    EXPECT_EQ(0, cache->GetTailID());
    cache->MoveToHead(0);
    EXPECT_EQ(0, cache->GetHeadID());
    EXPECT_EQ(2, cache->GetTailID());
    cache->Uncache(1);  // not cached: nothing changes
    cache->Uncache(-5);
    EXPECT_EQ(2, cache->GetNumCached());
    cache->Uncache(a);
    cache->Uncache(c);
    EXPECT_EQ(-1, cache->GetHeadID());
    EXPECT_EQ(-1, cache->GetTailID());
    EXPECT_EQ(0, cache->GetNumCached());
    EXPECT_EQ(engine->GetTotalVideoMemory(), engine->GetFreeVideoMemory());
}

TEST_F(Cache, DestroyingACachedSurfaceDropsItsCopy) {
    Begin(1u << 20);
    CQNDXSurface* s = NewSurface(kSide, kSide);
    ASSERT_EQ(0, cache->Cache(s));
    EXPECT_LT(engine->GetFreeVideoMemory(), engine->GetTotalVideoMemory());
    delete s;
    EXPECT_EQ(0, cache->GetNumCached());
    EXPECT_EQ(engine->GetTotalVideoMemory(), engine->GetFreeVideoMemory());
}

TEST_F(Cache, CopyFollowsChangesToTheSurface) {
    Begin(1u << 20);
    CQNDXSurface* s = Add();
    s->Clear(0x123456);
    ASSERT_EQ(0, cache->Cache(s));
    EXPECT_EQ(0x123456u, Take(cache->GetCached(s)).At(5, 5) & 0xFFFFFF);
    s->FillRect(0, 0, kSide, kSide, 0x00FF00);  // one notice
    EXPECT_EQ(0x00FF00u, Take(cache->GetCached(s)).At(5, 5) & 0xFFFFFF);
    s->DrawLine(0, 3, kSide - 1, 3, 0xFF0000);  // software writes: notice at Unlock
    Snapshot copy = Take(cache->GetCached(s));
    EXPECT_EQ(0xFF0000u, copy.At(7, 3) & 0xFFFFFF);
    EXPECT_EQ(0x00FF00u, copy.At(7, 4) & 0xFFFFFF);
}

TEST_F(Cache, UpdateAllRefreshesEveryCopy) {
    Begin(1u << 20);
    EXPECT_EQ(0, cache->UpdateAll());
    CQNDXSurface* a = Add();
    CQNDXSurface* b = Add();
    ASSERT_EQ(0, cache->Cache(a));
    ASSERT_EQ(0, cache->Cache(b));
    Poke(a->GetDDSurface(), 1, 1, 0x0A0B0C);
    Poke(b->GetDDSurface(), 2, 2, 0x0D0E0F);
    EXPECT_EQ(0, cache->UpdateAll());
    EXPECT_EQ(0x0A0B0Cu, Take(cache->GetCached(a)).At(1, 1) & 0xFFFFFF);
    EXPECT_EQ(0x0D0E0Fu, Take(cache->GetCached(b)).At(2, 2) & 0xFFFFFF);
}

TEST_F(Cache, ColourKeyGoesWithTheCopy) {
    Begin(1u << 20);
    CQNDXSurface* s = Add();
    s->SetColorKeyRGB(RGB(0, 255, 0));
    ASSERT_EQ(0, cache->Cache(s));
    DDCOLORKEY key;
    ASSERT_EQ(DD_OK, cache->GetCached(s)->GetColorKey(DDCKEY_SRCBLT, &key));
    EXPECT_EQ(0x00FF00u, key.dwColorSpaceLowValue);
    s->SetColorKeyRGB(RGB(0, 0, 255));
    EXPECT_EQ(0, cache->Update(s));
    ASSERT_EQ(DD_OK, cache->GetCached(s)->GetColorKey(DDCKEY_SRCBLT, &key));
    EXPECT_EQ(0x0000FFu, key.dwColorSpaceLowValue);
}

TEST_F(Cache, ALostSourceThatCannotBeRebuiltIsNotCached) {
    Begin(1u << 20);
    CQNDXSurface* s = Add();
    const int live = qndx::sim::LiveSurfaceCount();
    ASSERT_TRUE(qndx::sim::MarkSurfaceLost(s->GetDDSurface()));
    EXPECT_LT(cache->Cache(s), 0);
    EXPECT_EQ(0, cache->IsCached(s));
    EXPECT_EQ(0, cache->GetNumCached());
    EXPECT_EQ(live, qndx::sim::LiveSurfaceCount());
    EXPECT_EQ(engine->GetTotalVideoMemory(), engine->GetFreeVideoMemory());
}

TEST_F(Cache, ACopyLostWithVideoMemoryIsDroppedAndMadeAgain) {
    Begin(1u << 20);
    CQNDXSurface* s = Add();
    ASSERT_EQ(0, cache->Cache(s));
    qndx::sim::LoseVideoMemorySurfaces();
    EXPECT_LT(cache->Update(s), 0);
    EXPECT_EQ(0, cache->IsCached(s));
    s->Clear(0x445566);
    EXPECT_EQ(0, cache->Cache(s));
    EXPECT_EQ(0x445566u, Take(cache->GetCached(s)).At(0, 0) & 0xFFFFFF);
}

TEST_F(Cache, AFailedCopyIsReportedAndUncached) {
    Begin(1u << 20);
    CQNDXSurface* s = Add();
    ASSERT_EQ(0, cache->Cache(s));
    qndx::sim::FailNext("IDirectDrawSurface7::BltFast", 1, DDERR_GENERIC);
    EXPECT_EQ(DDERR_GENERIC, cache->Update(s));
    EXPECT_EQ(0, cache->IsCached(s));
    qndx::sim::FailNext("IDirectDrawSurface7::BltFast", 1, DDERR_GENERIC);
    EXPECT_EQ(DDERR_GENERIC, cache->Cache(s));
    EXPECT_EQ(0, cache->IsCached(s));
    EXPECT_EQ(engine->GetTotalVideoMemory(), engine->GetFreeVideoMemory());
}

TEST_F(Cache, ClearReleasesEverything) {
    Begin(1u << 20);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(0, cache->Cache(Add()));
    cache->Clear();
    EXPECT_EQ(0, cache->GetNumCached());
    EXPECT_EQ(-1, cache->GetHeadID());
    EXPECT_EQ(engine->GetTotalVideoMemory(), engine->GetFreeVideoMemory());
    ASSERT_EQ(0, cache->Cache(surfaces[2]));  // the list works again after a clear
    EXPECT_EQ(2, cache->GetHeadID());
    EXPECT_EQ(2, cache->GetTailID());
    cache->PrintPrioList();  // no game manager: nothing is logged, nothing breaks
}

TEST_F(Cache, SimpleCacheNeitherReordersNorEvicts) {
    Begin(2 * kCopyBytes + kCopyBytes / 2);
    CQNDXSimpleCache simple(engine);
    CQNDXSurface* a = Add();
    CQNDXSurface* b = Add();
    CQNDXSurface* c = Add();
    EXPECT_EQ(0, simple.Cache(a));
    EXPECT_EQ(0, simple.Cache(b));
    EXPECT_EQ(-1, simple.Cache(c));
    EXPECT_EQ(2, simple.GetNumCached());
    a->Clear(0x010203);
    EXPECT_EQ(0, simple.Cache(a));  // copies again
    EXPECT_EQ(0x010203u, Take(simple.GetCached(a)).At(0, 0) & 0xFFFFFF);
    simple.Uncache(a);
    EXPECT_EQ(1, simple.GetNumCached());
    simple.Clear();
    EXPECT_EQ(0, simple.GetNumCached());
}

}  // namespace
}  // namespace qndx_test
