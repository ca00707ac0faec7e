// The video engine's set-up: mode and driver enumeration with their filters
// and readers, driver selection codes, video-memory figures, surface
// registration limits and ID reuse, the allocator and font setters, colour
// conversion and teardown with surfaces still alive.
#include <memory>

#include "GraphicsTestSupport.h"
#include "sim/RefCounted.h"

namespace qndx_test {
namespace {

using qndx::sim::SimDisplayMode;

class VideoEngine : public GraphicsTest {};

TEST_F(VideoEngine, ModeListsDropSmallAndPalettizedModes) {
    qndx::sim::SetDisplayModes({{640, 480, 16, 60},
                                {640, 480, 16, 75},
                                {639, 480, 32, 60},
                                {640, 479, 32, 60},
                                {640, 480, 8, 60},
                                {320, 240, 16, 60},
                                {800, 600, 32, 60},
                                {1024, 768, 15, 85}});
    StartEngine(32);
    EXPECT_EQ(3, engine->GetModeCount(false));
    EXPECT_EQ(4, engine->GetModeCount(true));
    int w, h, bpp, hz;
    ASSERT_EQ(1, engine->GetMode(0, &w, &h, &bpp));
    EXPECT_EQ(640, w);
    EXPECT_EQ(480, h);
    EXPECT_EQ(16, bpp);
    ASSERT_EQ(1, engine->GetModeEx(1, &w, &h, &bpp, &hz));
    EXPECT_EQ(75, hz);
    ASSERT_EQ(1, engine->GetModeEx(3, &w, &h, &bpp, &hz));
    EXPECT_EQ(1024, w);
    EXPECT_EQ(16, bpp);  // a 5-5-5 mode reports 16 bits
    EXPECT_EQ(85, hz);
    for (int i = 0; i < engine->GetModeCount(true); ++i) {
        ASSERT_EQ(1, engine->GetModeEx(i, &w, &h, &bpp, &hz));
        EXPECT_GE(w, 640);
        EXPECT_GE(h, 480);
        EXPECT_GT(bpp, 8);
    }
}

TEST_F(VideoEngine, IsModeSupportedWithAndWithoutRefresh) {
    qndx::sim::SetDisplayModes({{640, 480, 16, 60}, {640, 480, 16, 75}, {639, 480, 32, 60}, {640, 480, 8, 60}});
    StartEngine(32);
    EXPECT_EQ(1, engine->IsModeSupported(640, 480, 16, 0));
    EXPECT_EQ(1, engine->IsModeSupported(640, 480, 16, 60));
    EXPECT_EQ(1, engine->IsModeSupported(640, 480, 16, 75));
    EXPECT_EQ(0, engine->IsModeSupported(640, 480, 16, 85));
    EXPECT_EQ(0, engine->IsModeSupported(640, 480, 32, 0));
    EXPECT_EQ(0, engine->IsModeSupported(639, 480, 32, 0));
    EXPECT_EQ(0, engine->IsModeSupported(640, 480, 8, 0));
    EXPECT_EQ(0, engine->IsModeSupported(640, 480, 8, 60));
}

TEST_F(VideoEngine, ModeReadersRefuseBadIndexesAndNullOutputs) {
    qndx::sim::SetDisplayModes({{800, 600, 32, 60}});
    StartEngine(32);
    int w = -7, h = -7, bpp = -7, hz = -7;
    EXPECT_EQ(0, engine->GetMode(1, &w, &h, &bpp));
    EXPECT_EQ(0, engine->GetMode(-1, &w, &h, &bpp));
    EXPECT_EQ(0, engine->GetMode(0, nullptr, &h, &bpp));
    EXPECT_EQ(0, engine->GetModeEx(1, &w, &h, &bpp, &hz));
    EXPECT_EQ(0, engine->GetModeEx(0, &w, &h, &bpp, nullptr));
    EXPECT_EQ(-7, w);
    CQNDXVideoMode mode = {1, 1, 1, 1};
    EXPECT_EQ(0, engine->GetModeRecord(1, &mode));
    EXPECT_EQ(0, engine->GetModeRecord(0, nullptr));
    EXPECT_EQ(1u, mode.dwWidth);
    ASSERT_EQ(1, engine->GetModeRecord(0, &mode));
    EXPECT_EQ(800u, mode.dwWidth);
    EXPECT_EQ(0u, mode.dwRefreshRate);  // the plain list has no refresh rate
    ASSERT_EQ(1, engine->GetModeRecordEx(0, &mode));
    EXPECT_EQ(60u, mode.dwRefreshRate);
    EXPECT_EQ(0, engine->GetModeRecordEx(1, &mode));
}

TEST_F(VideoEngine, FailedModeEnumerationLeavesEmptyLists) {
    qndx::sim::FailNext("IDirectDraw7::EnumDisplayModes", 1, DDERR_GENERIC);
    StartEngine(32);
    EXPECT_EQ(0, engine->GetModeCount(false));
    EXPECT_EQ(0, engine->GetModeCount(true));
    EXPECT_EQ(0, engine->IsModeSupported(640, 480, 32, 0));
}

GUID MakeGuid(BYTE tag) {
    GUID g = {0x12345678u, 0x1234, 0x5678, {tag, 1, 2, 3, 4, 5, 6, 7}};
    return g;
}

TEST_F(VideoEngine, DriversThatFailAreNeitherCountedNorStored) {
    qndx::sim::SimDisplayDriver broken;
    broken.guid = MakeGuid(1);
    broken.description = "Broken";
    broken.name = "broken";
    broken.createResult = DDERR_NODIRECTDRAWHW;
    qndx::sim::AddDisplayDriver(broken);
    qndx::sim::SimDisplayDriver noCaps = broken;
    noCaps.guid = MakeGuid(2);
    noCaps.createResult = DD_OK;
    noCaps.capsResult = DDERR_GENERIC;
    qndx::sim::AddDisplayDriver(noCaps);
    qndx::sim::SimDisplayDriver second;
    second.guid = MakeGuid(3);
    second.description = "Second display";
    second.name = "\\\\.\\DISPLAY2";
    second.kind = qndx::sim::SimDisplayDriver::AttachedSecondary;
    qndx::sim::AddDisplayDriver(second);
    StartEngine(32);

    ASSERT_EQ(2u, engine->GetDriverCount());
    CQNDXDriverInfo primary, other;
    ASSERT_EQ(1, engine->GetDriverInfo(0, &primary));
    EXPECT_EQ(nullptr, primary.pGUID);
    EXPECT_EQ(380u, primary.ddCaps.dwSize);
    ASSERT_EQ(1, engine->GetDriverInfo(1, &other));
    ASSERT_NE(nullptr, other.pGUID);
    EXPECT_TRUE(*other.pGUID == MakeGuid(3));
    EXPECT_TRUE(other.guid == MakeGuid(3));
    EXPECT_STREQ("Second display", other.szDriverDescription);
    EXPECT_STREQ("\\\\.\\DISPLAY2", other.szDriverName);
    EXPECT_EQ(0, engine->GetDriverInfo(2, &other));
    EXPECT_EQ(0, engine->GetDriverInfo(0, nullptr));
}

TEST_F(VideoEngine, FailedDriverEnumerationLeavesNoDrivers) {
    qndx::sim::FailNext("DirectDrawEnumerateExA", 1, DDERR_GENERIC);
    StartEngine(32);
    EXPECT_EQ(0u, engine->GetDriverCount());
    EXPECT_EQ(-11, engine->SelectDriver(0));
}

TEST_F(VideoEngine, SelectDriverCodes) {
    qndx::sim::SimDisplayDriver second;
    second.guid = MakeGuid(9);
    second.description = "Second";
    second.name = "second";
    qndx::sim::AddDisplayDriver(second);
    StartEngine(32);
    ASSERT_EQ(2u, engine->GetDriverCount());
    EXPECT_EQ(-11, engine->SelectDriver(2));
    EXPECT_EQ(0, engine->SelectDriver(1));
    EXPECT_NE(nullptr, engine->GetDirectDraw());
    EXPECT_GT(engine->GetModeCount(false), 0);

    qndx::sim::FailNext("DirectDrawCreateEx", 1, DDERR_NODIRECTDRAWHW);
    EXPECT_EQ(-2, engine->SelectDriver(0));
    EXPECT_EQ(nullptr, engine->GetDirectDraw());
    EXPECT_EQ(0, engine->SelectDriver(0));
    ASSERT_NE(nullptr, engine->GetDirectDraw());
    ASSERT_EQ(DD_OK, engine->GetDirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL));

    // Once a display exists the driver stays.
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = 124;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = desc.dwHeight = 4;
    IDirectDrawSurface7* f = nullptr;
    ASSERT_EQ(DD_OK, engine->GetDirectDraw()->CreateSurface(&desc, &f, nullptr));
    engine->SetFrontSurface(engine->Wrap(f, QNDX_SURFACE_FRONT, 4, 4));
    IDirectDraw7* before = engine->GetDirectDraw();
    EXPECT_EQ(-12, engine->SelectDriver(0));
    EXPECT_EQ(before, engine->GetDirectDraw());
}

TEST_F(VideoEngine, VideoMemoryFiguresFollowTheBudget) {
    qndx::sim::SetVideoMemoryBudget(1u << 20);
    StartEngine(32);
    EXPECT_EQ(1u << 20, engine->GetTotalVideoMemory());
    EXPECT_EQ(1u << 20, engine->GetFreeVideoMemory());
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = 124;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY;
    desc.dwWidth = desc.dwHeight = 64;
    IDirectDrawSurface7* s = nullptr;
    ASSERT_EQ(DD_OK, engine->GetDirectDraw()->CreateSurface(&desc, &s, nullptr));
    EXPECT_EQ(1u << 20, engine->GetTotalVideoMemory());
    EXPECT_LE(engine->GetFreeVideoMemory(), (1u << 20) - 64 * 64 * 4);
    s->Release();
    EXPECT_EQ(1u << 20, engine->GetFreeVideoMemory());
    qndx::sim::FailNext("IDirectDraw7::GetCaps", 1, DDERR_GENERIC);
    EXPECT_EQ(0u, engine->GetTotalVideoMemory());
}

TEST_F(VideoEngine, WithoutDirectDrawNothingIsEnumeratedOrMeasured) {
    qndx::sim::SetDesktop(1024, 768, 32);
    qndx::sim::FailNext("DirectDrawCreateEx", 1, DDERR_NODIRECTDRAWSUPPORT);
    engine = TestVideoEngine::Install();
    EXPECT_EQ(nullptr, engine->GetDirectDraw());
    EXPECT_EQ(0, engine->GetModeCount(false));
    EXPECT_EQ(0u, engine->GetTotalVideoMemory());
    EXPECT_EQ(0u, engine->GetFreeVideoMemory());
    CQNDXSurface s;
    EXPECT_EQ(-1, s.Create(engine, 2, 2));
}

TEST_F(VideoEngine, CreateNeedsAGameManager) {
    EXPECT_EQ(nullptr, CQNDXVideoEngine::Create(nullptr));
    EXPECT_EQ(0, CQNDXVideoEngine::Exists());
    EXPECT_EQ(nullptr, CQNDXVideoEngine::GetInstance());
    StartEngine(32);
    EXPECT_EQ(1, CQNDXVideoEngine::Exists());
    EXPECT_EQ(engine, CQNDXVideoEngine::GetInstance());
    CQNDXVideoEngine::Destroy();
    engine = nullptr;
    EXPECT_EQ(0, CQNDXVideoEngine::Exists());
    CQNDXVideoEngine::Destroy();  // a second time does nothing
}

TEST_F(VideoEngine, DesktopDepthIsRead) {
    StartEngine(24);
    EXPECT_EQ(24, engine->GetDesktopBitsPerPixel());
}

// ---- registration ----

TEST_F(VideoEngine, RegistrationStopsAt256AndFreedIDsComeBackOldestFirst) {
    StartEngine(32);
    std::vector<std::unique_ptr<CQNDXSurface>> surfaces;
    for (int i = 0; i < 256; ++i) {
        surfaces.emplace_back(new CQNDXSurface());
        ASSERT_EQ(0, surfaces.back()->Create(engine, 1, 1));
        ASSERT_EQ(i, surfaces.back()->GetID());
    }
    EXPECT_EQ(256, engine->GetSurfaceManager()->GetCount());
    const int live = qndx::sim::LiveSurfaceCount();

    CQNDXSurface extra;
    EXPECT_EQ(-1, extra.Create(engine, 1, 1));
    EXPECT_EQ(-1, extra.GetID());
    EXPECT_EQ(nullptr, extra.GetDDSurface());
    EXPECT_EQ(live, qndx::sim::LiveSurfaceCount());
    EXPECT_EQ(-1, engine->RegisterSurface(&extra));
    EXPECT_EQ(-1, extra.GetID());

    surfaces[3].reset();
    surfaces[1].reset();
    EXPECT_EQ(254, engine->GetSurfaceManager()->GetCount());
    CQNDXSurface again1, again2;
    ASSERT_EQ(0, again1.Create(engine, 1, 1));
    ASSERT_EQ(0, again2.Create(engine, 1, 1));
    EXPECT_EQ(3, again1.GetID());
    EXPECT_EQ(1, again2.GetID());
    EXPECT_EQ(-14, engine->RegisterSurface(nullptr));
    EXPECT_EQ(-14, engine->UnregisterSurface(nullptr));
    surfaces.clear();
}

TEST_F(VideoEngine, RegisteringTwiceKeepsOneEntry) {
    StartEngine(32);
    CQNDXSurface* s = NewSurface(2, 2);
    ASSERT_EQ(0, s->GetID());
    EXPECT_EQ(0, engine->RegisterSurface(s));
    EXPECT_EQ(0, s->GetID());
    EXPECT_EQ(1, engine->GetSurfaceManager()->GetCount());
    delete s;
    EXPECT_EQ(0, engine->GetSurfaceManager()->GetCount());
}

TEST_F(VideoEngine, UnregisteringOnlyTouchesTheOwnersEntry) {
    StartEngine(32);
    engine->SetCache(new CQNDXLRUCache(engine));
    CQNDXSurface* owner = NewSurface(2, 2);
    ASSERT_EQ(0, engine->GetCache()->Cache(owner));
    TestSurface impostor;
    impostor.SetID(owner->GetID());
    EXPECT_EQ(-2, engine->UnregisterSurface(&impostor));
    EXPECT_EQ(owner, engine->GetSurfaceManager()->GetSurface(0));
    EXPECT_EQ(1, engine->GetCache()->IsCached(owner));
    impostor.SetID(-1);

    EXPECT_EQ(0, engine->UnregisterSurface(owner));
    EXPECT_EQ(-1, owner->GetID());
    EXPECT_EQ(0, engine->GetCache()->GetNumCached());
    EXPECT_EQ(0, engine->GetSurfaceManager()->GetCount());
    // The ID went back once; the destructor gives nothing back again.
    delete owner;
    CQNDXSurface* a = NewSurface(1, 1);
    CQNDXSurface* b = NewSurface(1, 1);
    EXPECT_EQ(0, a->GetID());
    EXPECT_EQ(1, b->GetID());
    delete a;
    delete b;
}

TEST_F(VideoEngine, SurfaceIDManagerOnlyChangesWhileNothingIsRegistered) {
    StartEngine(32);
    CQNDXSurfaceIDManager* current = engine->GetSurfaceIDManager();
    CQNDXSurface* s = NewSurface(1, 1);
    CQNDXBasicSurfaceIDManager* basic = new CQNDXBasicSurfaceIDManager();
    EXPECT_EQ(-13, engine->SetSurfaceIDManager(basic));
    EXPECT_EQ(current, engine->GetSurfaceIDManager());
    delete s;
    EXPECT_EQ(-14, engine->SetSurfaceIDManager(nullptr));
    // Handing back the allocator the engine owns keeps it alive.
    EXPECT_EQ(0, engine->SetSurfaceIDManager(current));
    EXPECT_EQ(current, engine->GetSurfaceIDManager());
    EXPECT_EQ(0, current->GetNewID());  // still usable: the released ID comes back
    EXPECT_EQ(0, engine->SetSurfaceIDManager(basic));
    EXPECT_EQ(basic, engine->GetSurfaceIDManager());
    CQNDXSurface* t = NewSurface(1, 1);
    EXPECT_EQ(0, t->GetID());
    delete t;
}

TEST_F(VideoEngine, SetDefaultFontReplacesAnOwnedFontButNeverTheSameOne) {
    StartEngine(32);
    int deletedOwned = 0, deletedGiven = 0;
    RecordingFont* owned = new RecordingFont(&deletedOwned);
    engine->SetOwnedDefaultFont(owned);
    engine->SetDefaultFont(nullptr);
    EXPECT_EQ(owned, engine->GetDefaultFont());
    EXPECT_EQ(1, engine->OwnsDefaultFont());
    // The font it already holds: kept, still owned, not deleted.
    engine->SetDefaultFont(owned);
    EXPECT_EQ(0, deletedOwned);
    EXPECT_EQ(1, engine->OwnsDefaultFont());
    // Another font: the owned one goes, the new one is only borrowed.
    RecordingFont given(&deletedGiven);
    engine->SetDefaultFont(&given);
    EXPECT_EQ(1, deletedOwned);
    EXPECT_EQ(&given, engine->GetDefaultFont());
    EXPECT_EQ(0, engine->OwnsDefaultFont());
    CQNDXVideoEngine::Destroy();
    engine = nullptr;
    EXPECT_EQ(0, deletedGiven);  // a borrowed font outlives the engine
}

TEST_F(VideoEngine, TeardownDeletesHelpersBeforeTheRegistrationTheyUse) {
    // An owned default font that owns a registered surface, as a bitmap font
    // owns its glyphs: deleting it unregisters through the cache, the
    // surface manager and the allocator, which must still exist.
    StartEngine(32);
    engine->SetCache(new CQNDXLRUCache(engine));
    CQNDXSurface* glyphs = NewSurface(8, 8);
    ASSERT_EQ(0, engine->GetCache()->Cache(glyphs));
    int deleted = 0;
    engine->SetOwnedDefaultFont(new RecordingFont(&deleted, glyphs));
    CQNDXCursorManager* cursors = new CQNDXCursorManager(static_cast<CQNDXCursor*>(nullptr));
    engine->SetCursorManager(cursors);
    const int live = qndx::sim::LiveSurfaceCount();
    CQNDXVideoEngine::Destroy();
    engine = nullptr;
    EXPECT_EQ(1, deleted);
    EXPECT_EQ(live - 2, qndx::sim::LiveSurfaceCount());  // the glyphs and their cached copy
}

TEST_F(VideoEngine, CursorQueriesGoToTheCursorManager) {
    StartEngine(32);
    EXPECT_EQ(0, engine->GetCursorFlag());
    engine->SetCursorFlag(true);
    EXPECT_EQ(0, engine->SetCursor(nullptr));
    EXPECT_EQ(nullptr, engine->GetCursor());

    CQNDXCursorManager* cursors = new CQNDXCursorManager(static_cast<CQNDXCursor*>(nullptr));
    engine->SetCursorManager(cursors);  // the engine owns and deletes it
    EXPECT_EQ(1, engine->GetCursorFlag());
    engine->SetCursorFlag(false);
    EXPECT_EQ(0, cursors->IsVisible());
    EXPECT_EQ(0, engine->GetCursorFlag());
    CQNDXCursor cursor(engine);
    EXPECT_EQ(0, engine->SetCursor(nullptr));
    EXPECT_EQ(1, engine->SetCursor(&cursor));
    EXPECT_EQ(&cursor, engine->GetCursor());
    CQNDXVideoEngine::Destroy();  // the caller's cursor is not deleted with the manager
    engine = nullptr;
}

// ---- colour conversion ----

// A platform surface whose pixel format the test chooses, masks included.
class FormatOnlySurface : public qndx::platform::RefCounted<IDirectDrawSurface7> {
public:
    explicit FormatOnlySurface(const DDPIXELFORMAT& pf) : m_pf(pf) {}
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    HRESULT Lock(LPRECT, LPDDSURFACEDESC2, DWORD, HANDLE) override { return DDERR_UNSUPPORTED; }
    HRESULT Unlock(LPRECT) override { return DDERR_UNSUPPORTED; }
    HRESULT GetDC(HDC*) override { return DDERR_UNSUPPORTED; }
    HRESULT ReleaseDC(HDC) override { return DDERR_UNSUPPORTED; }
    HRESULT SetColorKey(DWORD, LPDDCOLORKEY) override { return DDERR_UNSUPPORTED; }
    HRESULT GetColorKey(DWORD, LPDDCOLORKEY) override { return DDERR_UNSUPPORTED; }
    HRESULT Blt(LPRECT, LPDIRECTDRAWSURFACE7, LPRECT, DWORD, LPDDBLTFX) override { return DDERR_UNSUPPORTED; }
    HRESULT BltFast(DWORD, DWORD, LPDIRECTDRAWSURFACE7, LPRECT, DWORD) override { return DDERR_UNSUPPORTED; }
    HRESULT Flip(LPDIRECTDRAWSURFACE7, DWORD) override { return DDERR_UNSUPPORTED; }
    HRESULT GetAttachedSurface(LPDDSCAPS2, LPDIRECTDRAWSURFACE7*) override { return DDERR_UNSUPPORTED; }
    HRESULT IsLost() override { return DD_OK; }
    HRESULT Restore() override { return DD_OK; }
    HRESULT SetClipper(LPDIRECTDRAWCLIPPER) override { return DDERR_UNSUPPORTED; }
    HRESULT GetClipper(LPDIRECTDRAWCLIPPER*) override { return DDERR_UNSUPPORTED; }
    HRESULT GetPixelFormat(LPDDPIXELFORMAT pf) override {
        *pf = m_pf;
        return DD_OK;
    }
    HRESULT GetSurfaceDesc(LPDDSURFACEDESC2 d) override {
        d->ddpfPixelFormat = m_pf;
        return DD_OK;
    }
    HRESULT GetCaps(LPDDSCAPS2) override { return DDERR_UNSUPPORTED; }
    HRESULT SetPalette(LPDIRECTDRAWPALETTE) override { return DDERR_UNSUPPORTED; }
    HRESULT GetPalette(LPDIRECTDRAWPALETTE*) override { return DDERR_UNSUPPORTED; }

private:
    DDPIXELFORMAT m_pf;
};

DDPIXELFORMAT Format(DWORD bits, DWORD r, DWORD g, DWORD b) {
    DDPIXELFORMAT pf;
    std::memset(&pf, 0, sizeof(pf));
    pf.dwSize = 32;
    pf.dwFlags = DDPF_RGB;
    pf.dwRGBBitCount = bits;
    pf.dwRBitMask = r;
    pf.dwGBitMask = g;
    pf.dwBBitMask = b;
    return pf;
}

TEST_F(VideoEngine, ColorToNativeByTheBuffersFormat) {
    StartEngine(32);
    EXPECT_EQ(static_cast<DWORD>(-1), engine->ColorToNative(RGB(1, 2, 3), false));

    CQNDXSurface* back = engine->Wrap(new FormatOnlySurface(Format(16, 0xF800, 0x07E0, 0x001F)), -16, 4, 4);
    CQNDXSurface* front = engine->Wrap(new FormatOnlySurface(Format(15 + 1, 0x7C00, 0x03E0, 0x001F)), -8, 4, 4);
    engine->SetBackBuffer(back);
    engine->SetFrontSurface(front);
    EXPECT_EQ(0xF800u, engine->ColorToNative(RGB(255, 0, 0), false));
    EXPECT_EQ(0x07E0u, engine->ColorToNative(RGB(0, 255, 0), false));
    EXPECT_EQ(0x7C00u, engine->ColorToNative(RGB(255, 0, 0), true));
    EXPECT_EQ(0x0010u, engine->ColorToNative(RGB(0, 0, 0x80), true));
    engine->SetBackBuffer(nullptr);
    engine->SetFrontSurface(nullptr);
    delete back;
    delete front;

    // A format with an empty mask ends, and that channel contributes nothing.
    back = engine->Wrap(new FormatOnlySurface(Format(16, 0xF800, 0, 0x001F)), -16, 4, 4);
    engine->SetBackBuffer(back);
    EXPECT_EQ(0xF81Fu, engine->ColorToNative(RGB(255, 255, 255), false));
    engine->SetBackBuffer(nullptr);
    delete back;

    // Up to 8 bits per pixel the colour is returned as it is.
    back = engine->Wrap(new FormatOnlySurface(Format(8, 0, 0, 0)), -16, 4, 4);
    engine->SetBackBuffer(back);
    EXPECT_EQ(RGB(10, 20, 30), engine->ColorToNative(RGB(10, 20, 30), false));
    engine->SetBackBuffer(nullptr);
    delete back;
}

// ---- teardown ----

TEST_F(VideoEngine, SurfacesOutlivingTheEngineDoNotTouchIt) {
    StartEngine(32);
    engine->SetCache(new CQNDXLRUCache(engine));
    CQNDXSurface* kept = NewSurface(8, 8);
    CQNDXSurface* cached = NewSurface(8, 8);
    ASSERT_EQ(0, engine->GetCache()->Cache(cached));
    const int liveBefore = qndx::sim::LiveSurfaceCount();
    CQNDXVideoEngine::Destroy();
    engine = nullptr;
    // The engine released the cached copy.
    EXPECT_EQ(liveBefore - 1, qndx::sim::LiveSurfaceCount());
    delete kept;
    delete cached;
    EXPECT_EQ(liveBefore - 3, qndx::sim::LiveSurfaceCount());
}

TEST_F(VideoEngine, FullScreenBackBufferWrapperIsFreedWithoutItsChainSurface) {
    StartEngine(32);
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = 124;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = desc.dwHeight = 4;
    IDirectDrawSurface7* chainMember = nullptr;
    ASSERT_EQ(DD_OK, engine->GetDirectDraw()->CreateSurface(&desc, &chainMember, nullptr));
    // The test stands in for the front surface that owns the chain.
    engine->SetBackBuffer(engine->Wrap(chainMember, -16, 4, 4));
    engine->SetFullScreenFlag(1);
    CQNDXVideoEngine::Destroy();
    engine = nullptr;
    // The wrapper went without releasing the surface it did not own.
    EXPECT_EQ(0u, chainMember->Release());
}

}  // namespace
}  // namespace qndx_test
