// Alpha, translucent and channel-scaling blits through the video engine, on
// random pictures checked against the per-pixel references: registered
// destinations changed in place, engine buffers through a working copy,
// partly clipped placements, the surface operations' choice of the half
// routines, refusals that leave the destination as it was (no free ID, a
// failed copy, a failed lock, nothing visible), one surface blended onto
// itself, the caching of the source, the keyed halving that works in place
// on an engine buffer from a cached copy, and the surface ID each working
// copy takes and gives back.
#include <deque>
#include <functional>
#include <sstream>

#include "GraphicEngine/SurfaceIDAllocator.h"
#include "GraphicEngine/SurfaceManager.h"
#include "support/PixelReference.h"
#include "engine/blit/BlitTestSupport.h"

namespace blit_test {
namespace {

using namespace pixel_ref;

const int kKinds[] = {15, 16, 24, 32};

// One routine of the family with its reference.
struct Routine {
    const char* name;
    bool keyed;
    uint32_t weight;
    std::function<int(CQNDXVideoEngine*, CQNDXSurface*, CQNDXSurface*, int, int, const RECT*)> run;
    std::function<uint32_t(int kind, uint32_t s, uint32_t d)> ref;
};

std::vector<Routine> Routines() {
    std::vector<Routine> list;
    for (bool keyed : {false, true}) {
        list.push_back({"half alpha", keyed, 0,
                        [keyed](CQNDXVideoEngine* e, CQNDXSurface* d, CQNDXSurface* s, int x, int y, const RECT* r) {
                            return keyed ? e->BlitHalfAlphaKeyed(d, s, x, y, r) : e->BlitHalfAlpha(d, s, x, y, r);
                        },
                        [](int k, uint32_t s, uint32_t d) { return RefHalfAlpha(k, s, d); }});
        for (uint32_t a : {0u, 1u, 127u, 200u, 256u, 300u, 65535u})
            list.push_back({"alpha", keyed, a,
                            [keyed, a](CQNDXVideoEngine* e, CQNDXSurface* d, CQNDXSurface* s, int x, int y,
                                       const RECT* r) {
                                return keyed ? e->BlitAlphaKeyed(d, s, x, y, r, static_cast<WORD>(a))
                                             : e->BlitAlpha(d, s, x, y, r, static_cast<WORD>(a));
                            },
                            [a](int k, uint32_t s, uint32_t d) { return RefAlpha(k, s, d, a); }});
        list.push_back({"half translucent", keyed, 0,
                        [keyed](CQNDXVideoEngine* e, CQNDXSurface* d, CQNDXSurface* s, int x, int y, const RECT* r) {
                            return keyed ? e->BlitHalfTranslucentKeyed(d, s, x, y, r)
                                         : e->BlitHalfTranslucent(d, s, x, y, r);
                        },
                        [](int k, uint32_t, uint32_t d) { return RefHalve(k, d); }});
        for (uint32_t v : {0u, 49u, 51u, 128u, 256u, 300u})
            list.push_back({"translucent", keyed, v,
                            [keyed, v](CQNDXVideoEngine* e, CQNDXSurface* d, CQNDXSurface* s, int x, int y,
                                       const RECT* r) {
                                return keyed ? e->BlitTranslucentKeyed(d, s, x, y, r, static_cast<WORD>(v))
                                             : e->BlitTranslucent(d, s, x, y, r, static_cast<WORD>(v));
                            },
                            [v](int k, uint32_t, uint32_t d) { return RefScale(k, d, v); }});
    }
    list.push_back({"keyed halving in place", true, 0,
                    [](CQNDXVideoEngine* e, CQNDXSurface* d, CQNDXSurface* s, int x, int y, const RECT* r) {
                        return e->BlitHalfTranslucentKeyedAlt(d, s, x, y, r);
                    },
                    [](int k, uint32_t, uint32_t d) { return RefHalve(k, d); }});
    return list;
}

class BlendTest : public BlitTest {
protected:
    // Random pictures, the source with a key colour at about a quarter of
    // its pixels (and, in 32 bits, near-keys differing only in byte 3).
    void Prepare(CQNDXSurface* src, CQNDXSurface* dest, unsigned seed) {
        Randomise(src->GetDDSurface(), seed);
        Randomise(dest->GetDDSurface(), seed + 1);
        ASSERT_EQ(0, src->SetColorKeyRGB(0x0000FF00));
        key = src->RGBToNative(0x0000FF00);
        Pixels p = Read(src->GetDDSurface());
        std::mt19937 rng(seed + 2);
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                const unsigned r = rng() % 8;
                if (r < 2) p.Set(x, y, key);
                if (r == 2 && Kind() == 32) p.Set(x, y, key | 0x5A000000u);
            }
        Write(src->GetDDSurface(), p);
    }
    // The destination after routine `r` drew source block (sx, sy, w, h) at (dx, dy).
    Pixels Expected(const Routine& r, const Pixels& dest, const Pixels& src, int dx, int dy, int sx, int sy, int w,
                    int h) {
        Pixels want = dest;
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) {
                const uint32_t s = src.At(sx + i, sy + j);
                if (r.keyed && IsKey(Kind(), s, key)) continue;
                want.Set(dx + i, dy + j, r.ref(Kind(), s, dest.At(dx + i, dy + j)));
            }
        return want;
    }
    uint32_t key = 0;
};

TEST_P(BlendTest, EveryRoutineMatchesTheReferenceOnRegisteredAndEngineDestinations) {
    // No cache here, so every surface left alive after a call is a leak.
    engine->DropCache();
    unsigned seed = 100;
    for (const Routine& r : Routines()) {
        // An engine buffer is blended in place, or, while a device context
        // holds it, through a working copy of the area (the keyed halving in
        // place has no working copy).
        for (int where : {0, 1, 2}) {
            if (where == 2 && std::string(r.name) == "keyed halving in place") continue;
            const bool engineBuffer = where > 0;
            CQNDXSurface* src = Registered(21, 9);
            CQNDXSurface* dest = engineBuffer ? Buffer(QNDX_SURFACE_BACK, 30, 12, false) : Registered(30, 12);
            if (engineBuffer) engine->SetBack(dest, false);
            Prepare(src, dest, seed += 3);
            const Pixels s = Read(src->GetDDSurface());
            const Pixels d = Read(dest->GetDDSurface());
            const int live = qndx::sim::LiveSurfaceCount();
            HDC dc = nullptr;
            if (where == 2) {
                ASSERT_EQ(DD_OK, dest->GetDDSurface()->GetDC(&dc));
            }
            // Placed at (-3, 5) the source loses 3 columns on the left and
            // 2 rows at the bottom.
            const RECT rect = {1, 0, 21, 9};
            ASSERT_EQ(0, r.run(engine, dest, src, -3, 5, &rect)) << r.name;
            if (dc) dest->GetDDSurface()->ReleaseDC(dc);
            const Pixels want = Expected(r, d, s, 0, 5, 4, 0, 17, 7);
            EXPECT_EQ("", FirstDifference(Read(dest->GetDDSurface()), want))
                << r.name << (r.keyed ? " keyed" : "") << " weight " << r.weight
                << (where == 0 ? " onto a registered surface"
                               : where == 1 ? " onto an engine buffer" : " onto an engine buffer held by a DC");
            EXPECT_EQ(live, qndx::sim::LiveSurfaceCount()) << r.name << ": a working copy was left behind";
            EXPECT_EQ("", FirstDifference(Read(src->GetDDSurface()), s)) << r.name << " wrote its source";
            if (engineBuffer) engine->SetBack(nullptr, false);
        }
    }
}

TEST_P(BlendTest, TheSurfaceOperationsPickTheHalfRoutines) {
    CQNDXSurface* src = Registered(7, 3);
    CQNDXSurface* dest = Registered(7, 3);
    const Routine half = Routines()[0];
    struct Case {
        WORD value;
        bool alpha;
        std::function<uint32_t(int, uint32_t, uint32_t)> ref;
    };
    const Case cases[] = {
        {127, true, [](int k, uint32_t s, uint32_t d) { return RefHalfAlpha(k, s, d); }},
        {128, true, [](int k, uint32_t s, uint32_t d) { return RefAlpha(k, s, d, 128); }},
        {50, false, [](int k, uint32_t, uint32_t d) { return RefHalve(k, d); }},
        {51, false, [](int k, uint32_t, uint32_t d) { return RefScale(k, d, 51); }},
    };
    for (const Case& c : cases) {
        Prepare(src, dest, 7 + c.value);
        const Pixels s = Read(src->GetDDSurface());
        const Pixels d = Read(dest->GetDDSurface());
        Routine r = half;
        r.keyed = false;
        r.ref = c.ref;
        const int result = c.alpha ? src->BlitAlpha(dest, 0, 0, nullptr, c.value, FALSE)
                                   : src->BlitTranslucent(dest, 0, 0, nullptr, c.value, FALSE);
        EXPECT_EQ(0, result);
        EXPECT_EQ("", FirstDifference(Read(dest->GetDDSurface()), Expected(r, d, s, 0, 0, 0, 0, 7, 3)))
            << (c.alpha ? "BlitAlpha " : "BlitTranslucent ") << c.value;
    }
}

TEST_P(BlendTest, NothingVisibleMeansNothingDone) {
    engine->MakeCache();
    CQNDXSurface* back = Buffer(QNDX_SURFACE_BACK, 20, 20, false);
    engine->SetBack(back, false);
    CQNDXSurface* src = Registered(8, 8);
    const Pixels before = Read(back->GetDDSurface());
    qndx::sim::EnableJournal(true);
    const RECT inverted = {6, 0, 2, 8};
    const RECT empty = {3, 3, 3, 8};
    for (const Routine& r : Routines()) {
        EXPECT_EQ(0, r.run(engine, back, src, 20, 0, nullptr)) << r.name;
        EXPECT_EQ(0, r.run(engine, back, src, -8, 0, nullptr)) << r.name;
        EXPECT_EQ(0, r.run(engine, back, src, 0, 0, &inverted)) << r.name;
        EXPECT_EQ(0, r.run(engine, back, src, 0, 0, &empty)) << r.name;
    }
    EXPECT_EQ(0, qndx::sim::JournalCount("IDirectDrawSurface7::BltFast"));
    EXPECT_EQ(0, qndx::sim::JournalCount("IDirectDrawSurface7::Lock"));
    EXPECT_EQ(0, engine->GetCache()->IsCached(src));
    EXPECT_EQ("", FirstDifference(Read(back->GetDDSurface()), before));
}

TEST_P(BlendTest, RefusalsLeaveTheDestinationAsItWas) {
    CQNDXSurface* back = Buffer(QNDX_SURFACE_BACK, 20, 20, false);
    engine->SetBack(back, false);
    CQNDXSurface* reg = Registered(20, 20);
    CQNDXSurface* src = Registered(8, 8);
    Prepare(src, back, 1);
    const Pixels backBefore = Read(back->GetDDSurface());
    const Pixels regBefore = Read(reg->GetDDSurface());
    CQNDXSurface empty;
    for (const Routine& r : Routines()) {
        EXPECT_EQ(-1, r.run(engine, nullptr, src, 0, 0, nullptr)) << r.name;
        EXPECT_EQ(-1, r.run(engine, back, &empty, 0, 0, nullptr)) << r.name;
        EXPECT_EQ(-1, r.run(engine, &empty, src, 0, 0, nullptr)) << r.name;
        // A failed lock: no pixel touched.
        qndx::sim::FailNext("IDirectDrawSurface7::Lock", 1, DDERR_SURFACEBUSY);
        EXPECT_EQ(-1, r.run(engine, reg, src, 2, 2, nullptr)) << r.name;
        EXPECT_EQ(0, qndx::sim::PendingFaults("IDirectDrawSurface7::Lock")) << r.name;
    }
    // A buffer held by a device context goes through a working copy, which
    // cannot be filled here.
    HDC dc = nullptr;
    ASSERT_EQ(DD_OK, back->GetDDSurface()->GetDC(&dc));
    qndx::sim::FailNext("IDirectDrawSurface7::BltFast", 1, DDERR_GENERIC);
    EXPECT_EQ(-1, engine->BlitAlpha(back, src, 2, 2, nullptr, 100));
    back->GetDDSurface()->ReleaseDC(dc);
    EXPECT_EQ("", FirstDifference(Read(back->GetDDSurface()), backBefore));
    // A buffer with a clipper (the windowed primary) refuses the copy back.
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(DD_OK, engine->GetDirectDraw()->CreateClipper(0, &clipper, nullptr));
    ASSERT_EQ(DD_OK, back->GetDDSurface()->SetClipper(clipper));
    const int live = qndx::sim::LiveSurfaceCount();
    EXPECT_EQ(-1, engine->BlitAlpha(back, src, 2, 2, nullptr, 100));
    EXPECT_EQ(live, qndx::sim::LiveSurfaceCount());
    back->GetDDSurface()->SetClipper(nullptr);
    clipper->Release();
    EXPECT_EQ("", FirstDifference(Read(back->GetDDSurface()), backBefore));
    // A lost engine buffer cannot be copied either.
    ASSERT_TRUE(qndx::sim::MarkSurfaceLost(back->GetDDSurface()));
    EXPECT_EQ(-1, engine->BlitHalfTranslucent(back, src, 2, 2, nullptr));
    back->GetDDSurface()->Restore();
    Write(back->GetDDSurface(), backBefore);
    EXPECT_EQ("", FirstDifference(Read(reg->GetDDSurface()), regBefore));

    // No surface ID left for a working copy.
    std::vector<CQNDXSurface*> filler;
    for (;;) {
        CQNDXSurface* s = new CQNDXSurface();
        if (s->Create(engine, 1, 1) != 0) {
            delete s;
            break;
        }
        filler.push_back(s);
        ASSERT_LT(filler.size(), 300u);
    }
    EXPECT_EQ(-1, engine->BlitAlpha(back, src, 2, 2, nullptr, 100));
    EXPECT_EQ(-1, engine->BlitTranslucentKeyed(back, src, 2, 2, nullptr, 10));
    EXPECT_EQ("", FirstDifference(Read(back->GetDDSurface()), backBefore));
    for (CQNDXSurface* s : filler) delete s;
    EXPECT_EQ(0, engine->BlitAlpha(back, src, 2, 2, nullptr, 100));
}

TEST_P(BlendTest, OneSurfaceBlendedOntoItselfReadsItsPixelsAsTheyWere) {
    CQNDXSurface* s = Registered(24, 10);
    Prepare(s, s, 31);
    const Routine alpha = Routines()[2];  // alpha at weight 1
    const Pixels before = Read(s->GetDDSurface());
    const RECT rect = {0, 0, 16, 6};
    ASSERT_EQ(0, engine->BlitAlpha(s, s, 3, 2, &rect, 1));
    EXPECT_EQ("", FirstDifference(Read(s->GetDDSurface()), Expected(alpha, before, before, 3, 2, 0, 0, 16, 6)));
}

TEST_P(BlendTest, EngineDestinationsCacheARegisteredSource) {
    engine->MakeCache();
    CQNDXSurface* back = Buffer(QNDX_SURFACE_BACK, 20, 20, false);
    engine->SetBack(back, false);
    CQNDXSurface* reg = Registered(20, 20);
    for (const Routine& r : Routines()) {
        CQNDXSurface* onReg = Registered(4, 4);
        ASSERT_EQ(0, r.run(engine, reg, onReg, 0, 0, nullptr)) << r.name;
        EXPECT_EQ(0, engine->GetCache()->IsCached(onReg)) << r.name;
        CQNDXSurface* onBack = Registered(4, 4);
        ASSERT_EQ(0, r.run(engine, back, onBack, 0, 0, nullptr)) << r.name;
        EXPECT_EQ(1, engine->GetCache()->IsCached(onBack)) << r.name;
    }
    // Weights that leave the destination alone still run the whole frame.
    CQNDXSurface* s = Registered(4, 4);
    const Pixels before = Read(back->GetDDSurface());
    EXPECT_EQ(0, s->BlitAlpha(back, 0, 0, nullptr, 300, FALSE));
    EXPECT_EQ(1, engine->GetCache()->IsCached(s));
    EXPECT_EQ("", FirstDifference(Read(back->GetDDSurface()), before));
}

TEST_P(BlendTest, KeyedHalvingInPlaceReadsTheCachedCopyAndLeavesItCached) {
    engine->MakeCache();
    CQNDXSurface* back = Buffer(QNDX_SURFACE_BACK, 16, 16, false);
    engine->SetBack(back, false);
    CQNDXSurface* src = Registered(8, 8);
    Prepare(src, back, 55);
    ASSERT_EQ(0, engine->GetCache()->Cache(src));
    IDirectDrawSurface7* copy = engine->GetCache()->GetCached(src);
    ASSERT_NE(nullptr, copy);
    const Pixels cached = Read(copy);
    // The source changes behind the cache's back: the routine must read the copy.
    Randomise(src->GetDDSurface(), 999);
    const Pixels before = Read(back->GetDDSurface());
    Routine alt = Routines().back();
    qndx::sim::EnableJournal(true);
    ASSERT_EQ(0, engine->BlitHalfTranslucentKeyedAlt(back, src, 4, 4, nullptr));
    EXPECT_EQ(0, qndx::sim::JournalCount("IDirectDrawSurface7::BltFast"));  // no working copy
    EXPECT_EQ("", FirstDifference(Read(back->GetDDSurface()), Expected(alt, before, cached, 4, 4, 0, 0, 8, 8)));
    EXPECT_EQ(1, engine->GetCache()->IsCached(src));
    EXPECT_EQ(copy, engine->GetCache()->GetCached(src));
    EXPECT_EQ(DD_OK, copy->IsLost());
}

TEST_P(BlendTest, KindsWithoutLoopsOrMismatchedSourcesChangeNothing) {
    // An 8-bit destination.
    DDSURFACEDESC2 d{};
    d.dwSize = 124;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    d.dwWidth = d.dwHeight = 8;
    d.ddpfPixelFormat.dwSize = 32;
    d.ddpfPixelFormat.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
    d.ddpfPixelFormat.dwRGBBitCount = 8;
    IDirectDrawSurface7* raw = nullptr;
    ASSERT_EQ(DD_OK, engine->GetDirectDraw()->CreateSurface(&d, &raw, nullptr));
    RawSurface indexed(raw);
    indexed.Setup(engine, 250, 8, 8);  // counted as registered: worked on in place
    Randomise(raw, 3);
    const Pixels before = Read(raw);
    CQNDXSurface* src = Registered(8, 8);
    for (const Routine& r : Routines()) EXPECT_EQ(0, r.run(engine, &indexed, src, 0, 0, nullptr)) << r.name;
    EXPECT_EQ("", FirstDifference(Read(raw), before));
    // Read the other way round: a source of another kind is never read.
    Pixels regBefore;
    CQNDXSurface* reg = Registered(8, 8);
    regBefore = Read(reg->GetDDSurface());
    EXPECT_EQ(0, engine->BlitAlpha(reg, &indexed, 0, 0, nullptr, 10));
    EXPECT_EQ(0, engine->BlitHalfAlphaKeyed(reg, &indexed, 0, 0, nullptr));
    EXPECT_EQ("", FirstDifference(Read(reg->GetDDSurface()), regBefore));
    indexed.Setup(engine, -1, 8, 8);
}

INSTANTIATE_TEST_SUITE_P(Kinds, BlendTest, ::testing::ValuesIn(kKinds), KindName);

// ------------------------------------------- surface IDs of the working copy

// The cached allocator as the ID rules describe it: released IDs queue up
// and come back oldest first; else the count goes on.
struct IDQueue {
    std::deque<int> released;
    int last = 0;
    int Take() {
        if (released.empty()) return last++;
        const int id = released.front();
        released.pop_front();
        return id;
    }
    void Give(int id) { released.push_back(id); }
};

// An allocator a game might set: counts from 100 and writes down each call.
class LoggingIDs : public CQNDXSurfaceIDManager {
public:
    LoggingIDs(std::vector<std::string>* log, bool* exhausted) : m_log(log), m_exhausted(exhausted) {}
    int GetNewID() override {
        const int id = *m_exhausted ? -100 : m_next++;
        m_log->push_back("new " + std::to_string(id));
        return id;
    }
    void ReleaseID(int id) override { m_log->push_back("release " + std::to_string(id)); }
    // A faulty allocator: hands out `id` again next.
    void Rewind(int id) { m_next = id; }

private:
    std::vector<std::string>* m_log;
    bool* m_exhausted;
    int m_next = 100;
};

class BlendIDTest : public BlitFixture {
protected:
    void SetUp() override { Start(16); }
    // The alpha and translucent routines through their working copy, the
    // surface operations' half forms included, then the in-place keyed
    // halving (which makes no working copy).
    static std::vector<Routine> Framed() {
        std::vector<Routine> list;
        for (const Routine& r : Routines())
            if (std::string(r.name) != "keyed halving in place") list.push_back(r);
        for (bool keyed : {false, true}) {
            list.push_back({"BlitAlpha 127", keyed, 0,
                            [keyed](CQNDXVideoEngine*, CQNDXSurface* d, CQNDXSurface* s, int x, int y,
                                    const RECT* r) { return s->BlitAlpha(d, x, y, r, 127, keyed); },
                            nullptr});
            list.push_back({"BlitTranslucent 50", keyed, 0,
                            [keyed](CQNDXVideoEngine*, CQNDXSurface* d, CQNDXSurface* s, int x, int y,
                                    const RECT* r) { return s->BlitTranslucent(d, x, y, r, 50, keyed); },
                            nullptr});
        }
        return list;
    }
    static Routine InPlace() { return Routines().back(); }

    // The engine keeps a game's allocator to the end: what it writes to lives as long.
    std::vector<std::string> log;
    bool exhausted = false;
};

TEST_F(BlendIDTest, ABlendOntoAnEngineBufferTakesOneIDAndGivesItBack) {
    CQNDXSurface* back = Buffer(QNDX_SURFACE_BACK, 16, 16, false);
    engine->SetBack(back, false);
    IDQueue ids;
    std::vector<CQNDXSurface*> made;
    for (int i = 0; i < 6; ++i) {
        made.push_back(new CQNDXSurface());
        ASSERT_EQ(0, made.back()->Create(engine, 8, 8));
        ASSERT_EQ(ids.Take(), made.back()->GetID());
    }
    CQNDXSurface* src = made[0];
    CQNDXSurface* reg = made[2];
    // IDs 1 and 3 freed, in that order.
    for (int i : {1, 3}) {
        delete made[i];
        made[i] = nullptr;
        ids.Give(i);
    }
    ASSERT_EQ(0, src->SetColorKeyRGB(0));
    Randomise(src->GetDDSurface(), 3);

    for (const Routine& r : Framed()) {
        ASSERT_EQ(0, r.run(engine, back, src, 2, 2, nullptr)) << r.name;
        ids.Give(ids.Take());
        ASSERT_EQ(0, r.run(engine, reg, src, 2, 2, nullptr)) << r.name;  // in place: no ID
        // Nothing visible: no working copy either.
        ASSERT_EQ(0, r.run(engine, back, src, 40, 40, nullptr)) << r.name;
    }
    ASSERT_EQ(0, InPlace().run(engine, back, src, 2, 2, nullptr));
    // The channel scaling reads an engine buffer through a temporary copy.
    ASSERT_EQ(0, back->BlitBlend(reg, 0, 0, nullptr, 100));
    ids.Give(ids.Take());
    ASSERT_EQ(0, src->BlitBlend(back, 0, 0, nullptr, 100));

    std::ostringstream dump;
    engine->GetSurfaceIDManager()->Dump(dump);
    EXPECT_NE(std::string::npos, dump.str().find("Last ID: " + std::to_string(ids.last) + " Free IDs: " +
                                                 std::to_string(ids.released.size())))
        << dump.str();
    // New surfaces get the IDs in the queue's order, then new ones.
    const size_t queued = ids.released.size();
    for (size_t i = 0; i < queued + 2; ++i) {
        made.push_back(new CQNDXSurface());
        ASSERT_EQ(0, made.back()->Create(engine, 1, 1));
        EXPECT_EQ(ids.Take(), made.back()->GetID()) << "surface " << i << " after the blends";
    }
    EXPECT_EQ(static_cast<int>(made.size()) - 2, engine->GetSurfaceManager()->GetCount());
    for (CQNDXSurface* m : made) delete m;
}

TEST_F(BlendIDTest, AnAllocatorSetByTheGameIsAskedAndItsRefusalLeavesTheBufferAlone) {
    LoggingIDs* ids = new LoggingIDs(&log, &exhausted);
    ASSERT_EQ(0, engine->SetSurfaceIDManager(ids));
    CQNDXSurface* back = Buffer(QNDX_SURFACE_BACK, 16, 16, false);
    engine->SetBack(back, false);
    CQNDXSurface* src = Registered(8, 8);
    CQNDXSurface* reg = Registered(8, 8);
    ASSERT_EQ((std::vector<std::string>{"new 100", "new 101"}), log);
    ASSERT_EQ(0, src->SetColorKeyRGB(0));
    Randomise(src->GetDDSurface(), 4);
    Randomise(back->GetDDSurface(), 5);

    int next = 102;
    for (const Routine& r : Framed()) {
        log.clear();
        ASSERT_EQ(0, r.run(engine, back, src, 1, 1, nullptr)) << r.name;
        const std::string id = std::to_string(next++);
        EXPECT_EQ((std::vector<std::string>{"new " + id, "release " + id}), log) << r.name;
        log.clear();
        ASSERT_EQ(0, r.run(engine, reg, src, 1, 1, nullptr)) << r.name;
        EXPECT_TRUE(log.empty()) << r.name;
    }

    // An ID a live surface holds could not have registered a copy: the blend
    // refuses, and the ID is not given back as if it were free.
    const Pixels before = Read(back->GetDDSurface());
    for (const Routine& r : Framed()) {
        log.clear();
        ids->Rewind(src->GetID());
        EXPECT_EQ(-1, r.run(engine, back, src, 1, 1, nullptr)) << r.name;
        EXPECT_EQ((std::vector<std::string>{"new " + std::to_string(src->GetID())}), log) << r.name;
        EXPECT_EQ("", FirstDifference(Read(back->GetDDSurface()), before)) << r.name;
    }
    EXPECT_EQ(src, engine->GetSurfaceManager()->GetSurface(src->GetID()));

    // No ID to be had: every framed blend onto the buffer refuses and draws
    // nothing; blends needing no working copy go on.
    exhausted = true;
    for (const Routine& r : Framed()) {
        log.clear();
        EXPECT_EQ(-1, r.run(engine, back, src, 1, 1, nullptr)) << r.name;
        EXPECT_EQ((std::vector<std::string>{"new -100"}), log) << r.name;
        EXPECT_EQ("", FirstDifference(Read(back->GetDDSurface()), before)) << r.name;
        EXPECT_EQ(0, r.run(engine, reg, src, 1, 1, nullptr)) << r.name;
    }
    log.clear();
    EXPECT_EQ(0, InPlace().run(engine, back, src, 1, 1, nullptr));
    EXPECT_TRUE(log.empty());
    // The channel scaling then reads the buffer itself.
    const Pixels regBefore = Read(reg->GetDDSurface());
    EXPECT_EQ(0, back->BlitBlend(reg, 0, 0, nullptr, 0));
    EXPECT_EQ((std::vector<std::string>{"new -100"}), log);
    EXPECT_NE("", FirstDifference(Read(reg->GetDDSurface()), regBefore));
}

// A game's allocator that blends while it hands out or takes back an ID:
// the blend inside takes an ID of its own and gives it back, and the outer
// one's ID still comes and goes as usual.
TEST_F(BlendIDTest, ABlendInsideAnAllocatorsCallTakesAnIDOfItsOwn) {
    class BlendingIDs : public LoggingIDs {
    public:
        using LoggingIDs::LoggingIDs;
        std::function<void()> onNew, onRelease;
        int GetNewID() override {
            const int id = LoggingIDs::GetNewID();
            Once(&onNew);
            return id;
        }
        void ReleaseID(int id) override {
            LoggingIDs::ReleaseID(id);
            Once(&onRelease);
        }

    private:
        static void Once(std::function<void()>* f) {
            std::function<void()> once;
            once.swap(*f);
            if (once) once();
        }
    };
    BlendingIDs* ids = new BlendingIDs(&log, &exhausted);
    ASSERT_EQ(0, engine->SetSurfaceIDManager(ids));
    CQNDXSurface* back = Buffer(QNDX_SURFACE_BACK, 16, 16, false);
    engine->SetBack(back, false);
    CQNDXSurface* src = Registered(8, 8);
    Randomise(src->GetDDSurface(), 6);
    const int count = engine->GetSurfaceManager()->GetCount();
    int inner = 1;
    auto blendInside = [&] { inner = src->BlitAlpha(back, 4, 4, nullptr, 60, FALSE); };

    log.clear();
    ids->onNew = blendInside;
    ASSERT_EQ(0, src->BlitTranslucent(back, 0, 0, nullptr, 90, FALSE));
    EXPECT_EQ(0, inner);
    EXPECT_EQ((std::vector<std::string>{"new 101", "new 102", "release 102", "release 101"}), log);

    log.clear();
    inner = 1;
    ids->onRelease = blendInside;
    ASSERT_EQ(0, src->BlitTranslucent(back, 0, 0, nullptr, 90, FALSE));
    EXPECT_EQ(0, inner);
    EXPECT_EQ((std::vector<std::string>{"new 103", "release 103", "new 104", "release 104"}), log);

    // Nothing stays registered, and the next blend goes as the first did.
    EXPECT_EQ(count, engine->GetSurfaceManager()->GetCount());
    log.clear();
    ASSERT_EQ(0, src->BlitTranslucent(back, 0, 0, nullptr, 90, FALSE));
    EXPECT_EQ((std::vector<std::string>{"new 105", "release 105"}), log);
}

// ------------------------------------------------------- channel scaling

class ChannelScalingTest : public BlitTest {};

TEST_P(ChannelScalingTest, FactorsOddWidthsAndTheBitsOutsideTheChannels) {
    CQNDXSurface* src = Registered(9, 3);
    CQNDXSurface* dest = Registered(12, 4);
    for (WORD factor : {0, 1, 128, 255, 256}) {
        for (int w : {1, 3, 8, 9}) {
            Randomise(src->GetDDSurface(), 40u + factor + w);
            Randomise(dest->GetDDSurface(), 80u + factor + w);
            const Pixels s = Read(src->GetDDSurface());
            Pixels want = Read(dest->GetDDSurface());
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < w; ++x) {
                    const uint32_t dOld = want.At(2 + x, 1 + y);
                    const uint32_t channels = Kind() == 32 ? (s.At(x, y) & 0xFFFFFF) | (dOld & 0xFF000000u) : s.At(x, y);
                    want.Set(2 + x, 1 + y, RefScale(Kind(), channels, factor));
                }
            const RECT rect = {0, 0, w, 3};
            ASSERT_EQ(0, src->BlitBlend(dest, 2, 1, &rect, factor));
            EXPECT_EQ("", FirstDifference(Read(dest->GetDDSurface()), want)) << "factor " << factor << " width " << w;
        }
    }
}

TEST_P(ChannelScalingTest, AFailedLockChangesNothing) {
    CQNDXSurface* src = Registered(4, 4);
    CQNDXSurface* dest = Registered(4, 4);
    Randomise(dest->GetDDSurface(), 5);
    const Pixels before = Read(dest->GetDDSurface());
    qndx::sim::FailNext("IDirectDrawSurface7::Lock", 1, DDERR_SURFACEBUSY);
    EXPECT_EQ(-1, src->BlitBlend(dest, 0, 0, nullptr, 10));
    EXPECT_EQ("", FirstDifference(Read(dest->GetDDSurface()), before));
}

INSTANTIATE_TEST_SUITE_P(Kinds, ChannelScalingTest, ::testing::ValuesIn(kKinds), KindName);

}  // namespace
}  // namespace blit_test
