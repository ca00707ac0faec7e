// Surface-ID allocators and the surface manager: ID order, exhaustion and
// reuse, the table's bounds and refusals, counts that follow real removals
// only, dumps, and restoring and re-creating every registered surface.
#include <sstream>

#include "GraphicsTestSupport.h"

namespace qndx_test {
namespace {

TEST(SurfaceIDAllocator, CachedAllocatorReusesReleasedIDsOldestFirst) {
    CQNDXCachedSurfaceIDManager ids;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(i, ids.GetNewID());
    ids.ReleaseID(3);
    ids.ReleaseID(1);
    EXPECT_EQ(3, ids.GetNewID());
    EXPECT_EQ(1, ids.GetNewID());
    EXPECT_EQ(5, ids.GetNewID());
}

TEST(SurfaceIDAllocator, ExhaustionAndOneRelease) {
    CQNDXCachedSurfaceIDManager ids;
    for (int i = 0; i < 256; ++i) ASSERT_EQ(i, ids.GetNewID());
    EXPECT_EQ(-100, ids.GetNewID());
    EXPECT_EQ(-100, ids.GetNewID());
    ids.ReleaseID(77);
    EXPECT_EQ(77, ids.GetNewID());
    EXPECT_EQ(-100, ids.GetNewID());
}

TEST(SurfaceIDAllocator, BasicAllocatorNeverReuses) {
    CQNDXBasicSurfaceIDManager ids;
    for (int i = 0; i < 256; ++i) ASSERT_EQ(i, ids.GetNewID());
    ids.ReleaseID(5);
    EXPECT_EQ(-100, ids.GetNewID());
}

TEST(SurfaceIDAllocator, ReleasingAnIDTwiceOrOneNeverGivenIsIgnored) {
    CQNDXCachedSurfaceIDManager ids;
    EXPECT_EQ(0, ids.GetNewID());
    EXPECT_EQ(1, ids.GetNewID());
    ids.ReleaseID(0);
    ids.ReleaseID(0);    // twice: one surface per ID
    ids.ReleaseID(9);    // never handed out
    ids.ReleaseID(-16);  // an engine buffer's ID
    ids.ReleaseID(256);
    EXPECT_EQ(1, ids.GetFreeCount());
    EXPECT_EQ(0, ids.GetNewID());
    EXPECT_EQ(2, ids.GetNewID());
}

TEST(SurfaceIDAllocator, Dumps) {
    CQNDXCachedSurfaceIDManager cached;
    cached.GetNewID();
    cached.GetNewID();
    cached.ReleaseID(0);
    std::ostringstream os;
    cached.Dump(os);
    EXPECT_EQ(0u, os.str().find("CQNDXCachedSurfaceIDManager@"));
    EXPECT_NE(std::string::npos, os.str().find("Last ID: 2 Free IDs: 1"));
    CQNDXBasicSurfaceIDManager basic;
    std::ostringstream ob;
    basic.Dump(ob);
    EXPECT_EQ(0u, ob.str().find("CQNDXBasicSurfaceIDManager@"));
    EXPECT_NE(std::string::npos, ob.str().find("Last ID: 0"));
    std::ostringstream oa;
    basic.CQNDXSurfaceIDManager::Dump(oa);
    EXPECT_EQ(0u, oa.str().find("CQNDXSurrfaceIDManager@"));
}

TEST(SurfaceManagerTable, LookupsAndRefusals) {
    CQNDXSurfaceManager manager;
    TestSurface a, b, c, d;
    a.SetID(0);
    b.SetID(1);
    c.SetID(2);
    EXPECT_EQ(0, manager.AddSurface(&a));
    EXPECT_EQ(0, manager.AddSurface(&b));
    EXPECT_EQ(0, manager.AddSurface(&c));
    EXPECT_EQ(0, manager.RemoveSurface(0));
    EXPECT_EQ(&c, manager.GetSurface(2));  // an ID above the count still finds its surface
    EXPECT_EQ(nullptr, manager.GetSurface(-1));
    EXPECT_EQ(nullptr, manager.GetSurface(-16));
    EXPECT_EQ(nullptr, manager.GetSurface(256));

    d.SetID(1);
    EXPECT_EQ(-2, manager.AddSurface(&d));  // taken: the first stays
    EXPECT_EQ(&b, manager.GetSurface(1));
    d.SetID(-1);
    EXPECT_EQ(-1, manager.AddSurface(&d));
    d.SetID(256);
    EXPECT_EQ(-1, manager.AddSurface(&d));
    EXPECT_EQ(-14, manager.AddSurface(nullptr));
    EXPECT_EQ(2, manager.GetCount());
}

TEST(SurfaceManagerTable, RemovalsOnlyCountWhatWasThere) {
    CQNDXSurfaceManager manager;
    TestSurface a, impostor;
    a.SetID(4);
    ASSERT_EQ(0, manager.AddSurface(&a));
    // An empty entry: still 0, the count does not go down.
    EXPECT_EQ(0, manager.RemoveSurface(9));
    EXPECT_EQ(1, manager.GetCount());
    // Another surface claiming the same ID does not remove the owner.
    impostor.SetID(4);
    EXPECT_EQ(-2, manager.RemoveSurface(&impostor));
    EXPECT_EQ(&a, manager.GetSurface(4));
    EXPECT_EQ(1, manager.GetCount());
    EXPECT_EQ(0, manager.RemoveSurface(&a));
    EXPECT_EQ(0, manager.GetCount());
    EXPECT_EQ(-2, manager.RemoveSurface(&a));
    EXPECT_EQ(0, manager.RemoveSurface(4));
    EXPECT_EQ(0, manager.GetCount());
    EXPECT_EQ(-14, manager.RemoveSurface(-1));
    EXPECT_EQ(-14, manager.RemoveSurface(256));
    EXPECT_EQ(-14, manager.RemoveSurface(static_cast<CQNDXSurface*>(nullptr)));
    impostor.SetID(-16);
    EXPECT_EQ(-14, manager.RemoveSurface(&impostor));
}

TEST(SurfaceManagerTable, EmptyManager) {
    CQNDXSurfaceManager manager;
    EXPECT_EQ(0, manager.RestoreAll());
    EXPECT_EQ(0, manager.RecreateAll());
    std::ostringstream os;
    manager.Dump(os);
    EXPECT_EQ(0u, os.str().find("CQNDXSurfaceManager@"));
    const std::string tail = "N. of Surfaces: 0";
    EXPECT_EQ(os.str().size() - tail.size(), os.str().rfind(tail));
}

class SurfaceManagerWithEngine : public GraphicsTest {
protected:
    void SetUp() override { StartEngine(32); }
};

TEST_F(SurfaceManagerWithEngine, RestoreAllRestoresEveryLostSurface) {
    CQNDXSurface* a = NewSurface(4, 4);
    CQNDXSurface* b = NewSurface(4, 4);
    ASSERT_TRUE(qndx::sim::MarkSurfaceLost(a->GetDDSurface()));
    ASSERT_TRUE(qndx::sim::MarkSurfaceLost(b->GetDDSurface()));
    // Surfaces made by Create restore their memory but have no picture to
    // reload: the last result is that refusal.
    EXPECT_EQ(-1, engine->GetSurfaceManager()->RestoreAll());
    EXPECT_EQ(DD_OK, a->GetDDSurface()->IsLost());
    EXPECT_EQ(DD_OK, b->GetDDSurface()->IsLost());
    delete a;
    delete b;
}

TEST_F(SurfaceManagerWithEngine, RecreateAllGivesNewSurfacesWithTheirKeys) {
    CQNDXSurface* a = NewSurface(6, 3);
    a->SetColorKeyRGB(RGB(0, 255, 0));
    const int live = qndx::sim::LiveSurfaceCount();
    EXPECT_EQ(0, engine->GetSurfaceManager()->RecreateAll());
    ASSERT_NE(nullptr, a->GetDDSurface());
    EXPECT_EQ(live, qndx::sim::LiveSurfaceCount());  // the old one is gone
    DDCOLORKEY key;
    ASSERT_EQ(DD_OK, a->GetDDSurface()->GetColorKey(DDCKEY_SRCBLT, &key));
    EXPECT_EQ(0x00FF00u, key.dwColorSpaceLowValue);
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof(d));
    d.dwSize = 124;
    a->GetDDSurface()->GetSurfaceDesc(&d);
    EXPECT_EQ(6u, d.dwWidth);
    EXPECT_EQ(3u, d.dwHeight);
    EXPECT_EQ(0, a->DrawLine(0, 0, 5, 0, 0xFFFFFF));  // pixel routines chosen again
    delete a;
}

TEST_F(SurfaceManagerWithEngine, RecreateAllFailureLeavesThatSurfaceEmpty) {
    CQNDXSurface* a = NewSurface(2, 2);
    CQNDXSurface* b = NewSurface(2, 2);
    qndx::sim::FailNext("IDirectDraw7::CreateSurface", 1, DDERR_OUTOFMEMORY);
    EXPECT_EQ(0, engine->GetSurfaceManager()->RecreateAll());  // the later success hides it
    EXPECT_EQ(nullptr, a->GetDDSurface());
    EXPECT_NE(nullptr, b->GetDDSurface());
    EXPECT_EQ(-1, a->Lock());
    delete a;
    delete b;
}

}  // namespace
}  // namespace qndx_test
