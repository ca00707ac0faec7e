// The DirectDraw object: creation per driver, driver and mode enumeration,
// cooperative levels, display modes, vertical blank, fault injection, the
// journal, and the result codes.
#include <set>
#include <string>
#include <vector>

#include "DDrawTestUtil.h"
#include "platform/sim/Clock.h"

using namespace ddtest;
using qndx::sim::SimDisplayMode;

namespace {

std::vector<SimDisplayMode> g_seen;

HRESULT CALLBACK CollectModes(LPDDSURFACEDESC2 d, LPVOID context) {
    g_seen.push_back({d->dwWidth, d->dwHeight, d->ddpfPixelFormat.dwRGBBitCount, d->dwRefreshRate});
    int* limit = static_cast<int*>(context);
    if (limit && static_cast<int>(g_seen.size()) >= *limit) return DDENUMRET_CANCEL;
    return DDENUMRET_OK;
}

struct DriverSeen {
    bool nullGuid;
    GUID guid;
    std::string description;
    std::string name;
    HMONITOR monitor;
};
std::vector<DriverSeen> g_drivers;

BOOL CALLBACK CollectDrivers(GUID* guid, LPSTR description, LPSTR name, LPVOID, HMONITOR monitor) {
    DriverSeen d = {guid == nullptr, guid ? *guid : GUID{}, description, name, monitor};
    g_drivers.push_back(d);
    return TRUE;
}

const GUID kSecond = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
const GUID kDetached = {0x44444444, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
const GUID kBroken = {0x55555555, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};

}  // namespace

TEST(EnumDisplayModes, WithoutRefreshRatesEachModeOnceWithRateZero) {
    qndx::sim::SetDisplayModes({{640, 480, 16, 60}, {640, 480, 16, 75}, {639, 480, 32, 60}, {800, 600, 8, 60},
                                {640, 480, 15, 60}, {800, 600, 32, 85}});
    auto dd = MakeDirectDraw();
    g_seen.clear();
    ASSERT_EQ(DD_OK, dd->EnumDisplayModes(0, nullptr, nullptr, &CollectModes));
    // Reported as the driver does: 5-5-5 counts 16 bits; filtering is the game's.
    const std::vector<std::vector<DWORD>> want = {
        {640, 480, 16, 0}, {639, 480, 32, 0}, {800, 600, 8, 0}, {640, 480, 16, 0}, {800, 600, 32, 0}};
    ASSERT_EQ(want.size(), g_seen.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(want[i][0], g_seen[i].width) << i;
        EXPECT_EQ(want[i][1], g_seen[i].height) << i;
        EXPECT_EQ(want[i][2], g_seen[i].bitsPerPixel) << i;
        EXPECT_EQ(want[i][3], g_seen[i].refreshRate) << i;
    }
}

TEST(EnumDisplayModes, WithRefreshRatesEveryRate) {
    qndx::sim::SetDisplayModes({{640, 480, 16, 60}, {640, 480, 16, 75}, {800, 600, 32, 85}});
    auto dd = MakeDirectDraw();
    g_seen.clear();
    ASSERT_EQ(DD_OK, dd->EnumDisplayModes(DDEDM_REFRESHRATES, nullptr, nullptr, &CollectModes));
    ASSERT_EQ(3u, g_seen.size());
    EXPECT_EQ(60u, g_seen[0].refreshRate);
    EXPECT_EQ(75u, g_seen[1].refreshRate);
    EXPECT_EQ(85u, g_seen[2].refreshRate);
}

TEST(EnumDisplayModes, CancelFilterAndBadArguments) {
    auto dd = MakeDirectDraw();
    g_seen.clear();
    int limit = 2;
    ASSERT_EQ(DD_OK, dd->EnumDisplayModes(DDEDM_REFRESHRATES, nullptr, &limit, &CollectModes));
    EXPECT_EQ(2u, g_seen.size());

    DDSURFACEDESC2 filter = {};
    filter.dwSize = 124;
    filter.dwFlags = DDSD_WIDTH | DDSD_HEIGHT;
    filter.dwWidth = 800;
    filter.dwHeight = 600;
    g_seen.clear();
    ASSERT_EQ(DD_OK, dd->EnumDisplayModes(0, &filter, nullptr, &CollectModes));
    ASSERT_FALSE(g_seen.empty());
    for (const SimDisplayMode& m : g_seen) EXPECT_EQ(800u, m.width);

    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->EnumDisplayModes(0, nullptr, nullptr, nullptr));
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->EnumDisplayModes(0x80, nullptr, nullptr, &CollectModes));
}

TEST(EnumDisplayModes, DefaultListHoldsModesAGameMustDrop) {
    auto dd = MakeDirectDraw();
    g_seen.clear();
    ASSERT_EQ(DD_OK, dd->EnumDisplayModes(DDEDM_REFRESHRATES, nullptr, nullptr, &CollectModes));
    bool eightBit = false, small = false, usable = false;
    for (const SimDisplayMode& m : g_seen) {
        eightBit = eightBit || m.bitsPerPixel == 8;
        small = small || m.width < 640;
        usable = usable || (m.width == 800 && m.height == 600 && m.bitsPerPixel == 32 && m.refreshRate == 60);
    }
    EXPECT_TRUE(eightBit);
    EXPECT_TRUE(small);
    EXPECT_TRUE(usable);
}

TEST(DriverEnumeration, PrimaryFirstThenWhatTheFlagsAskFor) {
    qndx::sim::SimDisplayDriver second;
    second.guid = kSecond;
    second.description = "Second Card";
    second.name = "\\\\.\\DISPLAY2";
    second.monitor = reinterpret_cast<HMONITOR>(static_cast<uintptr_t>(0x77));
    qndx::sim::AddDisplayDriver(second);
    qndx::sim::SimDisplayDriver detached = second;
    detached.guid = kDetached;
    detached.kind = qndx::sim::SimDisplayDriver::DetachedSecondary;
    qndx::sim::AddDisplayDriver(detached);

    g_drivers.clear();
    ASSERT_EQ(DD_OK, DirectDrawEnumerateExA(&CollectDrivers, nullptr, 0));
    ASSERT_EQ(1u, g_drivers.size());
    EXPECT_TRUE(g_drivers[0].nullGuid);

    g_drivers.clear();
    ASSERT_EQ(DD_OK, DirectDrawEnumerateExA(&CollectDrivers, nullptr,
                                            DDENUM_ATTACHEDSECONDARYDEVICES | DDENUM_NONDISPLAYDEVICES));
    ASSERT_EQ(2u, g_drivers.size());
    EXPECT_TRUE(g_drivers[0].nullGuid);
    EXPECT_FALSE(g_drivers[1].nullGuid);
    EXPECT_TRUE(g_drivers[1].guid == kSecond);
    EXPECT_EQ("Second Card", g_drivers[1].description);
    EXPECT_EQ("\\\\.\\DISPLAY2", g_drivers[1].name);
    EXPECT_EQ(second.monitor, g_drivers[1].monitor);

    g_drivers.clear();
    ASSERT_EQ(DD_OK, DirectDrawEnumerateExA(&CollectDrivers, nullptr, DDENUM_DETACHEDSECONDARYDEVICES));
    EXPECT_EQ(2u, g_drivers.size());
    EXPECT_EQ(DDERR_INVALIDPARAMS, DirectDrawEnumerateExA(nullptr, nullptr, 0));
}

TEST(DriverEnumeration, EachDriverCreatesItsOwnObjectOrFails) {
    qndx::sim::SimDisplayDriver second;
    second.guid = kSecond;
    second.description = "Second";
    second.name = "second";
    qndx::sim::AddDisplayDriver(second);
    qndx::sim::SimDisplayDriver broken = second;
    broken.guid = kBroken;
    broken.capsResult = DDERR_GENERIC;
    qndx::sim::AddDisplayDriver(broken);
    qndx::sim::SimDisplayDriver absent = second;
    absent.guid = kDetached;
    absent.createResult = DDERR_NODIRECTDRAWHW;
    qndx::sim::AddDisplayDriver(absent);

    GUID guid = kSecond;
    Ref<IDirectDraw> caps;
    ASSERT_EQ(DD_OK, DirectDrawCreate(&guid, caps.out(), nullptr));
    DDCAPS drv = {}, hel = {};
    drv.dwSize = hel.dwSize = 380;
    EXPECT_EQ(DD_OK, caps->GetCaps(&drv, &hel));
    EXPECT_EQ(64u << 20, drv.dwVidMemTotal);

    guid = kBroken;
    ASSERT_EQ(DD_OK, DirectDrawCreate(&guid, caps.out(), nullptr));
    EXPECT_EQ(DDERR_GENERIC, caps->GetCaps(&drv, &hel));

    guid = kDetached;
    EXPECT_EQ(DDERR_NODIRECTDRAWHW, DirectDrawCreate(&guid, caps.out(), nullptr));
    EXPECT_EQ(nullptr, caps.get());

    GUID unknown = {9, 9, 9, {9}};
    Ref<IDirectDraw7> dd;
    EXPECT_EQ(DDERR_INVALIDDIRECTDRAWGUID,
              DirectDrawCreateEx(&unknown, reinterpret_cast<void**>(dd.out()), IID_IDirectDraw7, nullptr));
    guid = kSecond;
    EXPECT_EQ(DD_OK, DirectDrawCreateEx(&guid, reinterpret_cast<void**>(dd.out()), IID_IDirectDraw7, nullptr));
}

TEST(DirectDrawCreate, GivesAnObjectWithCapabilitiesOnly) {
    Ref<IDirectDraw> dd;
    ASSERT_EQ(DD_OK, DirectDrawCreate(nullptr, dd.out(), nullptr));
    void* seven = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, dd->QueryInterface(IID_IDirectDraw7, &seven));
    EXPECT_EQ(nullptr, seven);
    Ref<IDirectDraw7> ex;
    EXPECT_EQ(DDERR_INVALIDPARAMS,
              DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(ex.out()), IID_IDirectDrawSurface7, nullptr));
    EXPECT_EQ(nullptr, ex.get());
}

TEST(CooperativeLevel, WindowedOrExclusiveFullScreenWithAWindow) {
    Ref<IDirectDraw7> dd;
    ASSERT_EQ(DD_OK, DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(dd.out()), IID_IDirectDraw7, nullptr));
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->SetCooperativeLevel(FakeWindow(), DDSCL_FULLSCREEN));
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->SetCooperativeLevel(FakeWindow(), DDSCL_EXCLUSIVE));
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->SetCooperativeLevel(FakeWindow(), DDSCL_NORMAL | DDSCL_FULLSCREEN));
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->SetCooperativeLevel(nullptr, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE));
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->SetCooperativeLevel(nullptr, 0));
    EXPECT_EQ(DD_OK, dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL | DDSCL_MULTITHREADED));
    EXPECT_FALSE(qndx::sim::ExclusiveModeHeld());
    EXPECT_EQ(DD_OK, dd->SetCooperativeLevel(FakeWindow(), DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX |
                                                               DDSCL_ALLOWREBOOT));
    EXPECT_TRUE(qndx::sim::ExclusiveModeHeld());
    EXPECT_EQ(FakeWindow(), qndx::platform::CurrentDisplayModeInfo().window);

    auto other = MakeDirectDraw();
    EXPECT_EQ(DDERR_EXCLUSIVEMODEALREADYSET,
              other->SetCooperativeLevel(FakeWindow(), DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE));
    EXPECT_EQ(DDERR_NOEXCLUSIVEMODE, other->SetDisplayMode(640, 480, 16, 0, 0));

    // Releasing the holder gives exclusive mode and the desktop back.
    ASSERT_EQ(DD_OK, dd->SetDisplayMode(640, 480, 16, 0, 0));
    dd.reset();
    EXPECT_FALSE(qndx::sim::ExclusiveModeHeld());
    EXPECT_EQ(1024u, qndx::sim::CurrentDisplayMode().width);
    EXPECT_EQ(DD_OK, other->SetCooperativeLevel(FakeWindow(), DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE));
}

TEST(DisplayMode, SetOnlyListedModesAndRestoreTheDesktop) {
    qndx::sim::SetDesktop(1024, 768, 32);
    qndx::sim::SetDisplayModes({{640, 480, 15, 60}, {800, 600, 16, 60}, {800, 600, 16, 75}, {1024, 768, 32, 60}});
    Ref<IDirectDraw7> dd;
    ASSERT_EQ(DD_OK, DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(dd.out()), IID_IDirectDraw7, nullptr));
    EXPECT_EQ(DDERR_NOCOOPERATIVELEVELSET, dd->SetDisplayMode(800, 600, 16, 0, 0));
    ASSERT_EQ(DD_OK, dd->SetCooperativeLevel(FakeWindow(), DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE));
    EXPECT_EQ(DDERR_INVALIDMODE, dd->SetDisplayMode(800, 600, 24, 0, 0));
    EXPECT_EQ(DDERR_INVALIDMODE, dd->SetDisplayMode(800, 600, 16, 85, 0));
    ASSERT_EQ(DD_OK, dd->SetDisplayMode(800, 600, 16, 75, 0));
    SimDisplayMode now = qndx::sim::CurrentDisplayMode();
    EXPECT_EQ(800u, now.width);
    EXPECT_EQ(16u, now.bitsPerPixel);
    EXPECT_EQ(75u, now.refreshRate);
    DDSURFACEDESC2 d = {};
    d.dwSize = 124;
    ASSERT_EQ(DD_OK, dd->GetDisplayMode(&d));
    EXPECT_EQ(600u, d.dwHeight);
    EXPECT_EQ(0x07E0u, d.ddpfPixelFormat.dwGBitMask);
    // New surfaces take the new format.
    auto s = MakeSurface(dd.get(), Desc(2, 2));
    DDPIXELFORMAT pf = {};
    pf.dwSize = 32;
    ASSERT_EQ(DD_OK, s->GetPixelFormat(&pf));
    EXPECT_EQ(16u, pf.dwRGBBitCount);
    // A 16-bit request finds a 5-5-5 mode too.
    ASSERT_EQ(DD_OK, dd->SetDisplayMode(640, 480, 16, 0, 0));
    EXPECT_EQ(15u, qndx::sim::CurrentDisplayMode().bitsPerPixel);
    ASSERT_EQ(DD_OK, dd->RestoreDisplayMode());
    now = qndx::sim::CurrentDisplayMode();
    EXPECT_EQ(1024u, now.width);
    EXPECT_EQ(32u, now.bitsPerPixel);
}

namespace {
std::vector<qndx::platform::DisplayModeInfo> g_modeNotices;
void RecordMode(const qndx::platform::DisplayModeInfo& info) { g_modeNotices.push_back(info); }
}  // namespace

TEST(DisplayMode, HookHearsEveryChange) {
    g_modeNotices.clear();
    qndx::platform::SetDisplayModeHook(&RecordMode);
    {
        auto dd = MakeDirectDraw(DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE, FakeWindow());
        ASSERT_EQ(DD_OK, dd->SetDisplayMode(640, 480, 32, 60, 0));
    }
    qndx::platform::SetDisplayModeHook(nullptr);
    ASSERT_GE(g_modeNotices.size(), 3u);
    EXPECT_TRUE(g_modeNotices[0].exclusive);
    EXPECT_EQ(640u, g_modeNotices[1].width);
    EXPECT_FALSE(g_modeNotices.back().exclusive);
    EXPECT_EQ(1024u, g_modeNotices.back().width);
}

TEST(VerticalBlank, WaitsForTheNextRetraceOnTheLayerClock) {
    qndx::sim::EnableFakeClock(true);
    qndx::sim::SetFakeTimeUs(5000);
    auto dd = MakeDirectDraw();
    ASSERT_EQ(DD_OK, dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr));
    // 60 Hz: the next retrace after 5 ms is at 16.67 ms.
    EXPECT_EQ(11u, qndx::sim::TotalSleptMs());
    EXPECT_EQ(DDERR_UNSUPPORTED, dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGINEVENT, nullptr));
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->WaitForVerticalBlank(0, nullptr));
}

TEST(FaultInjection, InjectedFailuresComeBackOnceEachAndTouchNothing) {
    qndx::sim::FailNext("DirectDrawCreateEx", 1, DDERR_NODIRECTDRAWHW);
    Ref<IDirectDraw7> dd;
    EXPECT_EQ(DDERR_NODIRECTDRAWHW,
              DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(dd.out()), IID_IDirectDraw7, nullptr));
    EXPECT_EQ(nullptr, dd.get());
    dd = MakeDirectDraw();

    qndx::sim::FailNext("IDirectDraw7::CreateSurface", 2, DDERR_OUTOFMEMORY);
    DDSURFACEDESC2 d = Desc(8, 8);
    Ref<IDirectDrawSurface7> s;
    EXPECT_EQ(DDERR_OUTOFMEMORY, dd->CreateSurface(&d, s.out(), nullptr));
    EXPECT_EQ(DDERR_OUTOFMEMORY, dd->CreateSurface(&d, s.out(), nullptr));
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
    ASSERT_EQ(DD_OK, dd->CreateSurface(&d, s.out(), nullptr));

    qndx::sim::FailNext("IDirectDrawSurface7::Lock", 101, DDERR_SURFACELOST);
    DDSURFACEDESC2 ld = {};
    ld.dwSize = 124;
    int failures = 0;
    while (s->Lock(nullptr, &ld, DDLOCK_WAIT, nullptr) == DDERR_SURFACELOST) ++failures;
    EXPECT_EQ(101, failures);
    EXPECT_EQ(DD_OK, s->Unlock(nullptr));

    qndx::sim::FailNext("IDirectDrawSurface7::Restore", 1, DDERR_SURFACELOST);
    qndx::sim::MarkSurfaceLost(s.get());
    EXPECT_EQ(DDERR_SURFACELOST, s->Restore());
    EXPECT_EQ(DDERR_SURFACELOST, s->IsLost());  // a failed restore leaves it lost
    EXPECT_EQ(DD_OK, s->Restore());
}

TEST(Journal, RecordsTheCallsWithTheirArguments) {
    qndx::sim::EnableJournal(true);
    auto dd = MakeDirectDraw();
    auto s = MakeSurface(dd.get(), Desc(8, 8));
    DDBLTFX fx = Fx();
    RECT r = Rect(1, 2, 3, 4);
    ASSERT_EQ(DD_OK, s->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx));
    EXPECT_EQ(1, qndx::sim::JournalCount("DirectDrawCreateEx("));
    EXPECT_EQ(1, qndx::sim::JournalCount("IDirectDraw7::SetCooperativeLevel(0x8)"));
    EXPECT_EQ(1, qndx::sim::JournalCount("IDirectDraw7::CreateSurface(0x7 0x840 8x8)"));
    EXPECT_EQ(1, qndx::sim::JournalCount("IDirectDrawSurface7::Blt({1,2,3,4} NULL 0x1000400)"));
}

// The codes are those an error-name table lists; each must be distinct.
TEST(ResultCodes, TheHundredCodesAreDistinctAndTheDocumentedOnes) {
    const HRESULT codes[] = {
        DD_OK, DDERR_ALREADYINITIALIZED, DDERR_BLTFASTCANTCLIP, DDERR_CANNOTATTACHSURFACE,
        DDERR_CANNOTDETACHSURFACE, DDERR_CANTCREATEDC, DDERR_CANTDUPLICATE, DDERR_CANTLOCKSURFACE,
        DDERR_CANTPAGELOCK, DDERR_CANTPAGEUNLOCK, DDERR_CLIPPERISUSINGHWND, DDERR_COLORKEYNOTSET,
        DDERR_CURRENTLYNOTAVAIL, DDERR_DCALREADYCREATED, DDERR_DIRECTDRAWALREADYCREATED, DDERR_EXCEPTION,
        DDERR_EXCLUSIVEMODEALREADYSET, DDERR_GENERIC, DDERR_HEIGHTALIGN, DDERR_HWNDALREADYSET,
        DDERR_HWNDSUBCLASSED, DDERR_IMPLICITLYCREATED, DDERR_INCOMPATIBLEPRIMARY, DDERR_INVALIDCAPS,
        DDERR_INVALIDCLIPLIST, DDERR_INVALIDDIRECTDRAWGUID, DDERR_INVALIDMODE, DDERR_INVALIDOBJECT,
        DDERR_INVALIDPARAMS, DDERR_INVALIDPIXELFORMAT, DDERR_INVALIDPOSITION, DDERR_INVALIDSURFACETYPE,
        DDERR_LOCKEDSURFACES, DDERR_NO3D, DDERR_NOALPHAHW, DDERR_NOBLTHW,
        DDERR_NOCLIPLIST, DDERR_NOCLIPPERATTACHED, DDERR_NOCOLORCONVHW, DDERR_NOCOLORKEY,
        DDERR_NOCOLORKEYHW, DDERR_NOCOOPERATIVELEVELSET, DDERR_NODC, DDERR_NODDROPSHW,
        DDERR_NODIRECTDRAWHW, DDERR_NODIRECTDRAWSUPPORT, DDERR_NOEMULATION, DDERR_NOEXCLUSIVEMODE,
        DDERR_NOFLIPHW, DDERR_NOGDI, DDERR_NOHWND, DDERR_NOMIPMAPHW,
        DDERR_NOMIRRORHW, DDERR_NOOVERLAYDEST, DDERR_NOOVERLAYHW, DDERR_NOPALETTEATTACHED,
        DDERR_NOPALETTEHW, DDERR_NORASTEROPHW, DDERR_NOROTATIONHW, DDERR_NOSTRETCHHW,
        DDERR_NOT4BITCOLOR, DDERR_NOT4BITCOLORINDEX, DDERR_NOT8BITCOLOR, DDERR_NOTAOVERLAYSURFACE,
        DDERR_NOTEXTUREHW, DDERR_NOTFLIPPABLE, DDERR_NOTFOUND, DDERR_NOTINITIALIZED,
        DDERR_NOTLOCKED, DDERR_NOTPAGELOCKED, DDERR_NOTPALETTIZED, DDERR_NOVSYNCHW,
        DDERR_NOZBUFFERHW, DDERR_NOZOVERLAYHW, DDERR_OUTOFCAPS, DDERR_OUTOFMEMORY,
        DDERR_OUTOFVIDEOMEMORY, DDERR_OVERLAYCANTCLIP, DDERR_OVERLAYCOLORKEYONLYONEACTIVE, DDERR_OVERLAYNOTVISIBLE,
        DDERR_PALETTEBUSY, DDERR_PRIMARYSURFACEALREADYEXISTS, DDERR_REGIONTOOSMALL, DDERR_SURFACEALREADYATTACHED,
        DDERR_SURFACEALREADYDEPENDENT, DDERR_SURFACEBUSY, DDERR_SURFACEISOBSCURED, DDERR_SURFACELOST,
        DDERR_SURFACENOTATTACHED, DDERR_TOOBIGHEIGHT, DDERR_TOOBIGSIZE, DDERR_TOOBIGWIDTH,
        DDERR_UNSUPPORTED, DDERR_UNSUPPORTEDFORMAT, DDERR_UNSUPPORTEDMASK, DDERR_UNSUPPORTEDMODE,
        DDERR_VERTICALBLANKINPROGRESS, DDERR_WASSTILLDRAWING, DDERR_WRONGMODE, DDERR_XALIGN,
    };
    static_assert(sizeof codes / sizeof codes[0] == 100, "the table has 100 rows");
    std::set<HRESULT> distinct(std::begin(codes), std::end(codes));
    EXPECT_EQ(100u, distinct.size());
    for (HRESULT c : codes)
        if (c != DD_OK) {
            EXPECT_TRUE(FAILED(c)) << std::hex << c;
        }
    EXPECT_EQ(static_cast<HRESULT>(0x887601C2), DDERR_SURFACELOST);
    EXPECT_EQ(static_cast<HRESULT>(0x8876021C), DDERR_WASSTILLDRAWING);
    EXPECT_EQ(E_INVALIDARG, DDERR_INVALIDPARAMS);

    // Every failure the layer itself produces has a row.
    const HRESULT returned[] = {
        DDERR_INVALIDPARAMS,       DDERR_INVALIDOBJECT,      DDERR_INVALIDCAPS,        DDERR_INVALIDPIXELFORMAT,
        DDERR_UNSUPPORTED,         DDERR_OUTOFMEMORY,        DDERR_OUTOFVIDEOMEMORY,   DDERR_TOOBIGWIDTH,
        DDERR_TOOBIGHEIGHT,        DDERR_PRIMARYSURFACEALREADYEXISTS, DDERR_NOEXCLUSIVEMODE,
        DDERR_NOCOOPERATIVELEVELSET, DDERR_EXCLUSIVEMODEALREADYSET, DDERR_INVALIDMODE, DDERR_INVALIDDIRECTDRAWGUID,
        DDERR_SURFACELOST,         DDERR_SURFACEBUSY,        DDERR_NOTLOCKED,          DDERR_DCALREADYCREATED,
        DDERR_NODC,                DDERR_CANTCREATEDC,       DDERR_NOCOLORKEY,         DDERR_NOCOLORKEYHW,
        DDERR_NORASTEROPHW,        DDERR_NOROTATIONHW,       DDERR_BLTFASTCANTCLIP,    DDERR_NOTFLIPPABLE,
        DDERR_NOTFOUND,            DDERR_IMPLICITLYCREATED,  DDERR_WRONGMODE,          DDERR_NOCLIPPERATTACHED,
        DDERR_NOPALETTEATTACHED,   DDERR_GENERIC,
    };
    for (HRESULT r : returned) EXPECT_EQ(1u, distinct.count(r)) << std::hex << r;
}
