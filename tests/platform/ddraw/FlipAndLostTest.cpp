// Full-screen flip chains, lost surfaces and their restoring, and display
// mode changes under a primary surface.
#include "DDrawTestUtil.h"

using namespace ddtest;

namespace {

const DWORD kFullScreen = DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWREBOOT;

Ref<IDirectDrawSurface7> MakeChain(IDirectDraw7* dd, DWORD backs = 1) {
    DDSURFACEDESC2 d = {};
    d.dwSize = 124;
    d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.dwBackBufferCount = backs;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_SYSTEMMEMORY;
    return MakeSurface(dd, d);
}

IDirectDrawSurface7* BackOf(IDirectDrawSurface7* front) {
    DDSCAPS2 caps = {};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    IDirectDrawSurface7* back = nullptr;
    EXPECT_EQ(DD_OK, front->GetAttachedSurface(&caps, &back));
    return back;
}

}  // namespace

TEST(FlipChain, FlipSwapsWhatFrontAndBackShow) {
    auto dd = MakeDirectDraw(kFullScreen, FakeWindow());
    ASSERT_EQ(DD_OK, dd->SetDisplayMode(640, 480, 16, 0, 0));
    auto front = MakeChain(dd.get());
    IDirectDrawSurface7* back = BackOf(front.get());
    ASSERT_NE(nullptr, back);
    DDSURFACEDESC2 d = {};
    d.dwSize = 124;
    ASSERT_EQ(DD_OK, back->GetSurfaceDesc(&d));
    EXPECT_EQ(640u, d.dwWidth);
    EXPECT_EQ(480u, d.dwHeight);
    EXPECT_EQ(0xF800u, d.ddpfPixelFormat.dwRBitMask);
    EXPECT_TRUE(d.ddsCaps.dwCaps & DDSCAPS_BACKBUFFER);

    Poke(front.get(), 0, 0, 0x1111);
    Poke(back, 0, 0, 0x2222);
    ASSERT_EQ(DD_OK, front->Flip(nullptr, DDFLIP_WAIT));
    EXPECT_EQ(0x2222u, Peek(front.get(), 0, 0));
    EXPECT_EQ(0x1111u, Peek(back, 0, 0));
    ASSERT_EQ(DD_OK, front->Flip(nullptr, DDFLIP_NOVSYNC));
    EXPECT_EQ(0x1111u, Peek(front.get(), 0, 0));

    // Only the front flips; a locked chain does not.
    EXPECT_EQ(DDERR_NOTFLIPPABLE, back->Flip(nullptr, 0));
    DDSURFACEDESC2 ld = {};
    ld.dwSize = 124;
    ASSERT_EQ(DD_OK, back->Lock(nullptr, &ld, 0, nullptr));
    EXPECT_EQ(DDERR_SURFACEBUSY, front->Flip(nullptr, 0));
    ASSERT_EQ(DD_OK, back->Unlock(nullptr));
    EXPECT_EQ(DDERR_INVALIDPARAMS, front->Flip(nullptr, DDFLIP_EVEN));

    auto offscreen = MakeSurface(dd.get(), Desc(4, 4));
    EXPECT_EQ(DDERR_NOTFLIPPABLE, offscreen->Flip(nullptr, 0));
    DDSCAPS2 caps = {};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    IDirectDrawSurface7* none = nullptr;
    EXPECT_EQ(DDERR_NOTFOUND, offscreen->GetAttachedSurface(&caps, &none));
    back->Release();
}

TEST(FlipChain, ThreeBuffersRotate) {
    auto dd = MakeDirectDraw(kFullScreen, FakeWindow());
    auto front = MakeChain(dd.get(), 2);
    ASSERT_EQ(3, qndx::sim::LiveSurfaceCount());
    IDirectDrawSurface7* back1 = BackOf(front.get());
    Poke(front.get(), 0, 0, 1);
    Poke(back1, 0, 0, 2);  // the second back buffer holds 0
    ASSERT_EQ(DD_OK, front->Flip(nullptr, 0));
    EXPECT_EQ(2u, Peek(front.get(), 0, 0));
    EXPECT_EQ(0u, Peek(back1, 0, 0));  // back 1 now shows what back 2 held
    ASSERT_EQ(DD_OK, front->Flip(nullptr, 0));
    EXPECT_EQ(0u, Peek(front.get(), 0, 0));
    EXPECT_EQ(1u, Peek(back1, 0, 0));
    ASSERT_EQ(DD_OK, front->Flip(nullptr, 0));
    EXPECT_EQ(1u, Peek(front.get(), 0, 0));  // three flips go all the way round
    EXPECT_EQ(2u, Peek(back1, 0, 0));
    back1->Release();
    front.reset();
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

TEST(FlipChain, BackBufferGoesWithItsFront) {
    auto dd = MakeDirectDraw(kFullScreen, FakeWindow());
    auto front = MakeChain(dd.get());
    IDirectDrawSurface7* back = BackOf(front.get());
    // The engine drops its back-buffer pointer without releasing it; releasing
    // the front must still free the whole chain.
    (void)back;
    front.reset();
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
    EXPECT_EQ(0u, qndx::sim::VideoMemoryUsed());
}

TEST(LostSurface, OperationsFailUntilRestoreWhichFillsGarbage) {
    auto dd = MakeDirectDraw();
    auto s = MakeSurface(dd.get(), DescIn(32, 16, 16));
    auto other = MakeSurface(dd.get(), DescIn(32, 16, 16));
    FillBytes(s.get(), 0);
    EXPECT_EQ(DD_OK, s->IsLost());
    ASSERT_TRUE(qndx::sim::MarkSurfaceLost(s.get()));
    EXPECT_FALSE(qndx::sim::MarkSurfaceLost(reinterpret_cast<IDirectDrawSurface7*>(&dd)));

    EXPECT_EQ(DDERR_SURFACELOST, s->IsLost());
    DDSURFACEDESC2 d = {};
    d.dwSize = 124;
    EXPECT_EQ(DDERR_SURFACELOST, s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
    HDC dc = nullptr;
    EXPECT_EQ(DDERR_SURFACELOST, s->GetDC(&dc));
    DDBLTFX fx = Fx();
    EXPECT_EQ(DDERR_SURFACELOST, s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx));
    EXPECT_EQ(DDERR_SURFACELOST, other->BltFast(0, 0, s.get(), nullptr, 0));
    EXPECT_EQ(DDERR_SURFACELOST, other->Blt(nullptr, s.get(), nullptr, 0, nullptr));
    EXPECT_EQ(DDERR_SURFACELOST, s->BltFast(0, 0, other.get(), nullptr, 0));

    ASSERT_EQ(DD_OK, s->Restore());
    EXPECT_EQ(DD_OK, s->IsLost());
    qndx::platform::SurfaceMemory m = Mem(s.get());
    int nonZero = 0;
    for (int i = 0; i < m.pitch * 16; ++i) nonZero += m.bits[i] != 0;
    EXPECT_GT(nonZero, m.pitch * 16 / 2);  // garbage, not the old picture
    EXPECT_EQ(DD_OK, s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
    EXPECT_EQ(DD_OK, s->Unlock(nullptr));
}

TEST(LostSurface, RestoreOfASurfaceNotLostKeepsItsPixels) {
    auto dd = MakeDirectDraw();
    auto s = MakeSurface(dd.get(), DescIn(16, 4, 4));
    PaintAll(s.get(), [](int x, int y) { return static_cast<DWORD>(x * 16 + y); });
    const auto before = Snapshot(s.get());
    EXPECT_EQ(DD_OK, s->Restore());
    EXPECT_EQ(before, Snapshot(s.get()));
}

TEST(LostSurface, LostWhileLockedStaysLockedUntilRestored) {
    auto dd = MakeDirectDraw();
    auto s = MakeSurface(dd.get(), DescIn(16, 4, 4));
    DDSURFACEDESC2 d = {};
    d.dwSize = 124;
    ASSERT_EQ(DD_OK, s->Lock(nullptr, &d, 0, nullptr));
    qndx::sim::MarkSurfaceLost(s.get());
    EXPECT_EQ(DDERR_SURFACELOST, s->Unlock(nullptr));
    ASSERT_EQ(DD_OK, s->Restore());
    EXPECT_EQ(DD_OK, s->Unlock(nullptr));
    EXPECT_EQ(DDERR_NOTLOCKED, s->Unlock(nullptr));
}

TEST(LostSurface, ChainIsLostAndRestoredThroughItsFront) {
    auto dd = MakeDirectDraw(kFullScreen, FakeWindow());
    auto front = MakeChain(dd.get());
    IDirectDrawSurface7* back = BackOf(front.get());
    auto offscreen = MakeSurface(dd.get(), Desc(4, 4));
    DDSURFACEDESC2 video = Desc(4, 4, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY);
    auto inVideo = MakeSurface(dd.get(), video);
    qndx::sim::LoseVideoMemorySurfaces();
    EXPECT_EQ(DDERR_SURFACELOST, front->IsLost());
    EXPECT_EQ(DDERR_SURFACELOST, back->IsLost());
    EXPECT_EQ(DDERR_SURFACELOST, inVideo->IsLost());
    EXPECT_EQ(DD_OK, offscreen->IsLost());  // system memory survives
    EXPECT_EQ(DDERR_IMPLICITLYCREATED, back->Restore());
    EXPECT_EQ(DDERR_SURFACELOST, front->Flip(nullptr, 0));
    ASSERT_EQ(DD_OK, front->Restore());
    EXPECT_EQ(DD_OK, back->IsLost());
    EXPECT_EQ(DD_OK, front->Flip(nullptr, 0));
    back->Release();
}

TEST(LostSurface, ModeChangeLosesThePrimaryForGood) {
    auto dd = MakeDirectDraw(kFullScreen, FakeWindow());
    ASSERT_EQ(DD_OK, dd->SetDisplayMode(800, 600, 32, 0, 0));
    auto front = MakeChain(dd.get());
    ASSERT_EQ(DD_OK, dd->SetDisplayMode(640, 480, 32, 0, 0));
    EXPECT_EQ(DDERR_SURFACELOST, front->IsLost());
    EXPECT_EQ(DDERR_WRONGMODE, front->Restore());
    front.reset();
    auto again = MakeChain(dd.get());
    DDSURFACEDESC2 d = {};
    d.dwSize = 124;
    ASSERT_EQ(DD_OK, again->GetSurfaceDesc(&d));
    EXPECT_EQ(640u, d.dwWidth);
}
