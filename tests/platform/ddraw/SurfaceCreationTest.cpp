// Surface creation: formats and masks, pitch, the display format as default,
// refused descriptions, the primary surface, and the video-memory budget.
#include <cstdlib>
#include <string>

#include "DDrawTestUtil.h"

using namespace ddtest;

namespace {

struct FormatCase {
    DWORD bits;
    DWORD bitCount;
    DWORD r, g, b;
    DWORD bytes;
};

const FormatCase kFormats[] = {
    {15, 16, 0x7C00, 0x03E0, 0x001F, 2},
    {16, 16, 0xF800, 0x07E0, 0x001F, 2},
    {24, 24, 0xFF0000, 0x00FF00, 0x0000FF, 3},
    {32, 32, 0xFF0000, 0x00FF00, 0x0000FF, 4},
};

}  // namespace

TEST(SurfaceCreation, EachFormatHasItsMasksAndAPaddedPitch) {
    auto dd = MakeDirectDraw();
    for (const FormatCase& fc : kFormats) {
        SCOPED_TRACE(fc.bits);
        for (DWORD width : {1u, 3u, 5u, 640u}) {
            auto s = MakeSurface(dd.get(), DescIn(fc.bits, width, 7));
            ASSERT_TRUE(s.get());
            DDPIXELFORMAT pf = {};
            pf.dwSize = 32;
            ASSERT_EQ(DD_OK, s->GetPixelFormat(&pf));
            EXPECT_EQ(DDPF_RGB, pf.dwFlags);
            EXPECT_EQ(fc.bitCount, pf.dwRGBBitCount);
            EXPECT_EQ(fc.r, pf.dwRBitMask);
            EXPECT_EQ(fc.g, pf.dwGBitMask);
            EXPECT_EQ(fc.b, pf.dwBBitMask);

            DDSURFACEDESC2 d = {};
            d.dwSize = 124;
            ASSERT_EQ(DD_OK, s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
            EXPECT_EQ(width, d.dwWidth);
            EXPECT_EQ(7u, d.dwHeight);
            EXPECT_GE(static_cast<DWORD>(d.lPitch), width * fc.bytes);
            EXPECT_EQ(0, d.lPitch % 4);
            EXPECT_LT(static_cast<DWORD>(d.lPitch), width * fc.bytes + 4);
            EXPECT_NE(nullptr, d.lpSurface);
            ASSERT_EQ(DD_OK, s->Unlock(nullptr));
        }
    }
}

TEST(SurfaceCreation, PaletteIndexedSurfacesExistAndTakeAPalette) {
    auto dd = MakeDirectDraw();
    auto s = MakeSurface(dd.get(), DescIn(8, 10, 10));
    ASSERT_TRUE(s.get());
    DDPIXELFORMAT pf = {};
    pf.dwSize = 32;
    ASSERT_EQ(DD_OK, s->GetPixelFormat(&pf));
    EXPECT_TRUE(pf.dwFlags & DDPF_PALETTEINDEXED8);
    EXPECT_EQ(8u, pf.dwRGBBitCount);

    Ref<IDirectDrawPalette> none;
    EXPECT_EQ(DDERR_NOPALETTEATTACHED, s->GetPalette(none.out()));
    EXPECT_EQ(nullptr, none.get());

    PALETTEENTRY entries[256] = {};
    entries[5] = {10, 20, 30, 0};
    Ref<IDirectDrawPalette> pal;
    ASSERT_EQ(DD_OK, dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, pal.out(), nullptr));
    ASSERT_EQ(DD_OK, s->SetPalette(pal.get()));
    Ref<IDirectDrawPalette> got;
    ASSERT_EQ(DD_OK, s->GetPalette(got.out()));
    PALETTEENTRY read[256];
    ASSERT_EQ(DD_OK, got->GetEntries(0, 0, 256, read));
    EXPECT_EQ(10, read[5].peRed);
    EXPECT_EQ(20, read[5].peGreen);
    EXPECT_EQ(30, read[5].peBlue);
    EXPECT_EQ(DDERR_INVALIDPARAMS, got->GetEntries(0, 200, 57, read));
}

TEST(SurfaceCreation, WithoutAFormatTheDisplayFormatIsUsed) {
    for (DWORD bits : {15u, 16u, 24u, 32u}) {
        SCOPED_TRACE(bits);
        qndx::sim::SetDesktop(800, 600, bits);
        auto dd = MakeDirectDraw();
        auto s = MakeSurface(dd.get(), Desc(4, 4));
        ASSERT_TRUE(s.get());
        DDPIXELFORMAT pf = {};
        pf.dwSize = 32;
        ASSERT_EQ(DD_OK, s->GetPixelFormat(&pf));
        DDPIXELFORMAT want = Format(bits);
        EXPECT_EQ(want.dwRGBBitCount, pf.dwRGBBitCount);
        EXPECT_EQ(want.dwGBitMask, pf.dwGBitMask);
    }
}

TEST(SurfaceCreation, DesktopDepthComesFromTheEnvironmentOnReset) {
    const char* before = std::getenv("QNDX_DESKTOP_BPP");
    std::string saved = before ? before : "";
    setenv("QNDX_DESKTOP_BPP", "16", 1);
    qndx::sim::Reset();
    EXPECT_EQ(16u, qndx::sim::CurrentDisplayMode().bitsPerPixel);
    setenv("QNDX_DESKTOP_BPP", "12", 1);  // not a depth: falls back to 32
    qndx::sim::Reset();
    EXPECT_EQ(32u, qndx::sim::CurrentDisplayMode().bitsPerPixel);
    unsetenv("QNDX_DESKTOP_BPP");
    qndx::sim::Reset();
    EXPECT_EQ(32u, qndx::sim::CurrentDisplayMode().bitsPerPixel);
    EXPECT_EQ(1024u, qndx::sim::CurrentDisplayMode().width);
    if (before) setenv("QNDX_DESKTOP_BPP", saved.c_str(), 1);
    qndx::sim::Reset();
}

TEST(SurfaceCreation, PitchAlignmentFromTheSimPanel) {
    qndx::sim::SetPitchAlignment(64);
    auto dd = MakeDirectDraw();
    auto s = MakeSurface(dd.get(), DescIn(24, 5, 2));
    EXPECT_EQ(64, Mem(s.get()).pitch);
}

TEST(SurfaceCreation, BadDescriptionsAreRefusedAndGiveNoSurface) {
    auto dd = MakeDirectDraw();
    struct Case {
        const char* what;
        DDSURFACEDESC2 desc;
        HRESULT expected;
    };
    std::vector<Case> cases;
    cases.push_back({"zero width", Desc(0, 5), DDERR_INVALIDPARAMS});
    cases.push_back({"zero height", Desc(5, 0), DDERR_INVALIDPARAMS});
    cases.push_back({"too wide", Desc(40000, 5), DDERR_TOOBIGWIDTH});
    cases.push_back({"too high", Desc(5, 40000), DDERR_TOOBIGHEIGHT});
    cases.push_back({"both memories", Desc(5, 5, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY),
                     DDERR_INVALIDCAPS});
    cases.push_back({"back buffer asked", Desc(5, 5, DDSCAPS_BACKBUFFER), DDERR_INVALIDCAPS});
    cases.push_back({"offscreen flip", Desc(5, 5, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_FLIP | DDSCAPS_COMPLEX),
                     DDERR_INVALIDCAPS});
    DDSURFACEDESC2 noSize = Desc(5, 5);
    noSize.dwFlags = DDSD_CAPS;
    cases.push_back({"no size", noSize, DDERR_INVALIDPARAMS});
    DDSURFACEDESC2 badSize = Desc(5, 5);
    badSize.dwSize = 0;
    cases.push_back({"dwSize 0", badSize, DDERR_INVALIDPARAMS});
    DDSURFACEDESC2 badFormat = DescIn(16, 5, 5);
    badFormat.ddpfPixelFormat.dwGBitMask = 0x0FE0;
    cases.push_back({"odd masks", badFormat, DDERR_INVALIDPIXELFORMAT});
    DDSURFACEDESC2 bgr = DescIn(32, 5, 5);
    bgr.ddpfPixelFormat.dwRBitMask = 0xFF;
    bgr.ddpfPixelFormat.dwBBitMask = 0xFF0000;
    cases.push_back({"blue-green-red", bgr, DDERR_INVALIDPIXELFORMAT});
    DDSURFACEDESC2 clientMemory = Desc(5, 5);
    clientMemory.dwFlags |= DDSD_LPSURFACE;
    cases.push_back({"client memory", clientMemory, DDERR_UNSUPPORTED});

    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        IDirectDrawSurface7* s = reinterpret_cast<IDirectDrawSurface7*>(1);
        EXPECT_EQ(c.expected, dd->CreateSurface(&c.desc, &s, nullptr));
        EXPECT_EQ(nullptr, s);
    }
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
    IDirectDrawSurface7* s = nullptr;
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->CreateSurface(nullptr, &s, nullptr));
}

TEST(SurfaceCreation, NeedsACooperativeLevel) {
    Ref<IDirectDraw7> dd;
    ASSERT_EQ(DD_OK, DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(dd.out()), IID_IDirectDraw7, nullptr));
    DDSURFACEDESC2 d = Desc(4, 4);
    Ref<IDirectDrawSurface7> s;
    EXPECT_EQ(DDERR_NOCOOPERATIVELEVELSET, dd->CreateSurface(&d, s.out(), nullptr));
}

TEST(SurfaceCreation, WindowedPrimaryIsTheDesktop) {
    qndx::sim::SetDesktop(1280, 1024, 16);
    auto dd = MakeDirectDraw();
    DDSURFACEDESC2 d = {};
    d.dwSize = 124;
    d.dwFlags = DDSD_CAPS;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    auto primary = MakeSurface(dd.get(), d);
    ASSERT_TRUE(primary.get());
    DDSURFACEDESC2 got = {};
    got.dwSize = 124;
    ASSERT_EQ(DD_OK, primary->GetSurfaceDesc(&got));
    EXPECT_EQ(1280u, got.dwWidth);
    EXPECT_EQ(1024u, got.dwHeight);
    EXPECT_EQ(0xF800u, got.ddpfPixelFormat.dwRBitMask);
    EXPECT_TRUE(got.ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE);

    Ref<IDirectDrawSurface7> second;
    EXPECT_EQ(DDERR_PRIMARYSURFACEALREADYEXISTS, dd->CreateSurface(&d, second.out(), nullptr));
    primary.reset();
    EXPECT_EQ(DD_OK, dd->CreateSurface(&d, second.out(), nullptr));

    // A primary is sized by the display, never by the caller.
    DDSURFACEDESC2 sized = d;
    sized.dwFlags |= DDSD_WIDTH | DDSD_HEIGHT;
    sized.dwWidth = sized.dwHeight = 10;
    Ref<IDirectDraw7> other = MakeDirectDraw();
    Ref<IDirectDrawSurface7> third;
    EXPECT_EQ(DDERR_INVALIDPARAMS, other->CreateSurface(&sized, third.out(), nullptr));
}

TEST(SurfaceCreation, FlipChainNeedsExclusiveModeAndABackBufferCount) {
    auto windowed = MakeDirectDraw();
    DDSURFACEDESC2 d = {};
    d.dwSize = 124;
    d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.dwBackBufferCount = 1;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;
    Ref<IDirectDrawSurface7> s;
    EXPECT_EQ(DDERR_NOEXCLUSIVEMODE, windowed->CreateSurface(&d, s.out(), nullptr));
    windowed.reset();

    auto full = MakeDirectDraw(DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWREBOOT, FakeWindow());
    DDSURFACEDESC2 noCount = d;
    noCount.dwBackBufferCount = 0;
    EXPECT_EQ(DDERR_INVALIDPARAMS, full->CreateSurface(&noCount, s.out(), nullptr));
    DDSURFACEDESC2 notComplex = d;
    notComplex.ddsCaps.dwCaps &= ~DDSCAPS_COMPLEX;
    EXPECT_EQ(DDERR_INVALIDCAPS, full->CreateSurface(&notComplex, s.out(), nullptr));
    EXPECT_EQ(DD_OK, full->CreateSurface(&d, s.out(), nullptr));
    EXPECT_EQ(2, qndx::sim::LiveSurfaceCount());
    s.reset();
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

TEST(VideoMemory, BudgetDecidesVideoCreationsAndGetCapsFigures) {
    qndx::sim::SetVideoMemoryBudget(100000);
    auto dd = MakeDirectDraw();
    DDCAPS caps = {};
    caps.dwSize = 380;
    ASSERT_EQ(DD_OK, dd->GetCaps(&caps, nullptr));
    EXPECT_EQ(100000u, caps.dwVidMemTotal);
    EXPECT_EQ(100000u, caps.dwVidMemFree);

    // 100 x 100 at 32 bits: 40000 bytes each.
    DDSURFACEDESC2 video = DescIn(32, 100, 100);
    video.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY;
    auto a = MakeSurface(dd.get(), video);
    auto b = MakeSurface(dd.get(), video);
    ASSERT_TRUE(a.get() && b.get());
    ASSERT_EQ(DD_OK, dd->GetCaps(&caps, nullptr));
    EXPECT_EQ(100000u, caps.dwVidMemTotal);
    EXPECT_EQ(20000u, caps.dwVidMemFree);

    Ref<IDirectDrawSurface7> c;
    EXPECT_EQ(DDERR_OUTOFVIDEOMEMORY, dd->CreateSurface(&video, c.out(), nullptr));
    EXPECT_EQ(nullptr, c.get());

    // System memory is not limited by the budget.
    DDSURFACEDESC2 system = DescIn(32, 100, 100);
    auto sys = MakeSurface(dd.get(), system);
    EXPECT_TRUE(sys.get());

    // Releasing gives the memory back.
    a.reset();
    ASSERT_EQ(DD_OK, dd->GetCaps(&caps, nullptr));
    EXPECT_EQ(60000u, caps.dwVidMemFree);
    EXPECT_EQ(DD_OK, dd->CreateSurface(&video, c.out(), nullptr));
    DDSCAPS2 got = {};
    ASSERT_EQ(DD_OK, c->GetCaps(&got));
    EXPECT_TRUE(got.dwCaps & DDSCAPS_VIDEOMEMORY);
    EXPECT_FALSE(got.dwCaps & DDSCAPS_SYSTEMMEMORY);
}

TEST(VideoMemory, WithoutAMemoryRequestVideoMemoryIsTriedFirst) {
    qndx::sim::SetVideoMemoryBudget(50000);
    auto dd = MakeDirectDraw();
    DDSURFACEDESC2 plain = DescIn(32, 100, 100);
    plain.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    auto first = MakeSurface(dd.get(), plain);
    auto second = MakeSurface(dd.get(), plain);
    DDSCAPS2 caps = {};
    ASSERT_EQ(DD_OK, first->GetCaps(&caps));
    EXPECT_TRUE(caps.dwCaps & DDSCAPS_VIDEOMEMORY);
    ASSERT_EQ(DD_OK, second->GetCaps(&caps));
    EXPECT_TRUE(caps.dwCaps & DDSCAPS_SYSTEMMEMORY);
    EXPECT_EQ(40000u, qndx::sim::VideoMemoryUsed());
}

TEST(VideoMemory, GetCapsChecksItsRecords) {
    auto dd = MakeDirectDraw();
    DDCAPS caps = {};
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->GetCaps(&caps, nullptr));  // dwSize not set
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->GetCaps(nullptr, nullptr));
    DDCAPS hel = {};
    hel.dwSize = 380;
    ASSERT_EQ(DD_OK, dd->GetCaps(nullptr, &hel));
    EXPECT_EQ(0u, hel.dwVidMemTotal);
}

TEST(VideoMemory, ReleaseFreesEveryObject) {
    auto dd = MakeDirectDraw();
    {
        auto s = MakeSurface(dd.get(), DescIn(16, 33, 33));
        Ref<IDirectDrawClipper> clipper;
        ASSERT_EQ(DD_OK, dd->CreateClipper(0, clipper.out(), nullptr));
        ASSERT_EQ(DD_OK, s->SetClipper(clipper.get()));
        EXPECT_EQ(1, qndx::sim::LiveSurfaceCount());
        s->AddRef();
        EXPECT_EQ(1u, s->Release());
    }
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
    EXPECT_EQ(0u, qndx::sim::VideoMemoryUsed());
}
