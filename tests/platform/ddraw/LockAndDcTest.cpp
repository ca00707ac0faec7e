// Locks and device contexts of surfaces: nesting errors, locked rectangles,
// refused rectangles, colour keys, and the write notices to the primary.
#include <cstring>
#include <vector>

#include "DDrawTestUtil.h"

using namespace ddtest;

namespace {

DDSURFACEDESC2 LockDesc() {
    DDSURFACEDESC2 d = {};
    d.dwSize = 124;
    return d;
}

}  // namespace

TEST(Lock, UnlockWithoutLockAndSecondLockFail) {
    auto dd = MakeDirectDraw();
    auto s = MakeSurface(dd.get(), DescIn(32, 8, 8));
    DDSURFACEDESC2 d = LockDesc();
    EXPECT_EQ(DDERR_NOTLOCKED, s->Unlock(nullptr));
    ASSERT_EQ(DD_OK, s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
    DDSURFACEDESC2 again = LockDesc();
    EXPECT_EQ(DDERR_SURFACEBUSY, s->Lock(nullptr, &again, DDLOCK_WAIT, nullptr));
    EXPECT_EQ(DD_OK, s->Unlock(nullptr));
    EXPECT_EQ(DDERR_NOTLOCKED, s->Unlock(nullptr));
    // The record's dwSize must carry the version tag.
    DDSURFACEDESC2 untagged = {};
    EXPECT_EQ(DDERR_INVALIDPARAMS, s->Lock(nullptr, &untagged, 0, nullptr));
    EXPECT_EQ(DDERR_INVALIDPARAMS, s->Lock(nullptr, nullptr, 0, nullptr));
}

TEST(Lock, RectangleLockPointsAtTheRectangle) {
    qndx::sim::SetPitchAlignment(16);
    auto dd = MakeDirectDraw();
    for (DWORD bits : {8u, 15u, 16u, 24u, 32u}) {
        SCOPED_TRACE(bits);
        auto s = MakeSurface(dd.get(), DescIn(bits, 9, 6));
        qndx::platform::SurfaceMemory m = Mem(s.get());
        RECT r = Rect(3, 2, 7, 5);
        DDSURFACEDESC2 d = LockDesc();
        ASSERT_EQ(DD_OK, s->Lock(&r, &d, DDLOCK_WAIT, nullptr));
        const int bytes = bits == 15 ? 2 : static_cast<int>(bits / 8);
        EXPECT_EQ(m.bits + 2 * m.pitch + 3 * bytes, d.lpSurface);
        EXPECT_EQ(m.pitch, d.lPitch);
        EXPECT_EQ(9u, d.dwWidth);
        ASSERT_EQ(DD_OK, s->Unlock(nullptr));
    }
}

TEST(Lock, BadRectanglesAreRefused) {
    auto dd = MakeDirectDraw();
    auto s = MakeSurface(dd.get(), DescIn(16, 10, 10));
    const RECT bad[] = {Rect(-1, 0, 5, 5), Rect(0, 0, 11, 5),  Rect(0, 0, 5, 11), Rect(5, 5, 5, 8),
                        Rect(5, 5, 8, 5), Rect(8, 2, 4, 6),  Rect(2, 8, 6, 4)};
    for (RECT r : bad) {
        DDSURFACEDESC2 d = LockDesc();
        EXPECT_EQ(DDERR_INVALIDPARAMS, s->Lock(&r, &d, DDLOCK_WAIT, nullptr));
    }
    DDSURFACEDESC2 d = LockDesc();
    EXPECT_EQ(DDERR_NOTLOCKED, s->Unlock(nullptr));  // none of them locked it
    RECT whole = Rect(0, 0, 10, 10);
    EXPECT_EQ(DD_OK, s->Lock(&whole, &d, DDLOCK_WAIT, nullptr));
    EXPECT_EQ(DD_OK, s->Unlock(nullptr));
}

// Whatever the caller's record held before, a lock and GetSurfaceDesc fill
// every field: what was in it must not show through.
TEST(Lock, ADescriptionFullOfLeftoversComesBackAsAFreshOne) {
    auto dd = MakeDirectDraw();
    auto expectSame = [](const DDSURFACEDESC2& a, const DDSURFACEDESC2& b) {
        EXPECT_EQ(a.dwFlags, b.dwFlags);
        EXPECT_EQ(a.dwHeight, b.dwHeight);
        EXPECT_EQ(a.dwWidth, b.dwWidth);
        EXPECT_EQ(a.lPitch, b.lPitch);
        EXPECT_EQ(a.dwBackBufferCount, b.dwBackBufferCount);
        EXPECT_EQ(a.dwMipMapCount, b.dwMipMapCount);
        EXPECT_EQ(a.dwAlphaBitDepth, b.dwAlphaBitDepth);
        EXPECT_EQ(a.dwReserved, b.dwReserved);
        EXPECT_EQ(a.lpSurface, b.lpSurface);
        for (auto key : {&DDSURFACEDESC2::ddckCKDestOverlay, &DDSURFACEDESC2::ddckCKDestBlt,
                         &DDSURFACEDESC2::ddckCKSrcOverlay, &DDSURFACEDESC2::ddckCKSrcBlt}) {
            EXPECT_EQ((a.*key).dwColorSpaceLowValue, (b.*key).dwColorSpaceLowValue);
            EXPECT_EQ((a.*key).dwColorSpaceHighValue, (b.*key).dwColorSpaceHighValue);
        }
        EXPECT_EQ(0, std::memcmp(&a.ddpfPixelFormat, &b.ddpfPixelFormat, sizeof a.ddpfPixelFormat));
        EXPECT_EQ(0, std::memcmp(&a.ddsCaps, &b.ddsCaps, sizeof a.ddsCaps));
        EXPECT_EQ(a.dwTextureStage, b.dwTextureStage);
    };
    for (bool keyed : {false, true}) {
        SCOPED_TRACE(keyed);
        auto s = MakeSurface(dd.get(), DescIn(16, 5, 4));
        DDCOLORKEY key = {0x1234, 0x1234};
        if (keyed) {
            ASSERT_EQ(DD_OK, s->SetColorKey(DDCKEY_SRCBLT, &key));
        }
        DDSURFACEDESC2 fresh = LockDesc();
        DDSURFACEDESC2 used;
        std::memset(&used, 0xA5, sizeof used);
        used.dwSize = 124;
        ASSERT_EQ(DD_OK, s->Lock(nullptr, &fresh, DDLOCK_WAIT, nullptr));
        ASSERT_EQ(DD_OK, s->Unlock(nullptr));
        ASSERT_EQ(DD_OK, s->Lock(nullptr, &used, DDLOCK_WAIT, nullptr));
        ASSERT_EQ(DD_OK, s->Unlock(nullptr));
        expectSame(fresh, used);
        EXPECT_EQ(0u, fresh.dwMipMapCount);
        EXPECT_EQ(0u, fresh.ddckCKDestBlt.dwColorSpaceLowValue);
        EXPECT_EQ(keyed ? 0x1234u : 0u, fresh.ddckCKSrcBlt.dwColorSpaceLowValue);

        fresh = LockDesc();
        std::memset(&used, 0x5A, sizeof used);
        used.dwSize = 124;
        ASSERT_EQ(DD_OK, s->GetSurfaceDesc(&fresh));
        ASSERT_EQ(DD_OK, s->GetSurfaceDesc(&used));
        expectSame(fresh, used);
        EXPECT_EQ(nullptr, used.lpSurface);
    }
}

TEST(DeviceContext, OneAtATimeAndNotWhileLocked) {
    auto dd = MakeDirectDraw();
    auto s = MakeSurface(dd.get(), DescIn(32, 8, 8));
    HDC dc = nullptr, other = nullptr;
    EXPECT_EQ(DDERR_NODC, s->ReleaseDC(nullptr));
    ASSERT_EQ(DD_OK, s->GetDC(&dc));
    ASSERT_NE(nullptr, dc);
    EXPECT_EQ(DDERR_DCALREADYCREATED, s->GetDC(&other));
    EXPECT_EQ(nullptr, other);
    DDSURFACEDESC2 d = LockDesc();
    EXPECT_EQ(DDERR_SURFACEBUSY, s->Lock(nullptr, &d, 0, nullptr));
    EXPECT_EQ(DDERR_INVALIDPARAMS, s->ReleaseDC(reinterpret_cast<HDC>(static_cast<uintptr_t>(77))));
    EXPECT_EQ(DD_OK, s->ReleaseDC(dc));
    EXPECT_EQ(DDERR_NODC, s->ReleaseDC(dc));
    // The released handle is dead: GDI refuses it.
    EXPECT_EQ(CLR_INVALID, GetPixel(dc, 0, 0));

    ASSERT_EQ(DD_OK, s->Lock(nullptr, &d, 0, nullptr));
    EXPECT_EQ(DDERR_SURFACEBUSY, s->GetDC(&other));
    EXPECT_EQ(DD_OK, s->Unlock(nullptr));
}

TEST(DeviceContext, SurfaceReleasedWithItsDcOutTakesTheDcAlong) {
    auto dd = MakeDirectDraw();
    auto s = MakeSurface(dd.get(), DescIn(32, 8, 8));
    HDC dc = nullptr;
    ASSERT_EQ(DD_OK, s->GetDC(&dc));
    EXPECT_NE(CLR_INVALID, GetPixel(dc, 1, 1));
    s.reset();
    EXPECT_EQ(CLR_INVALID, GetPixel(dc, 1, 1));
    EXPECT_EQ(CLR_INVALID, SetPixel(dc, 1, 1, 0));
}

TEST(ColorKey, GettingAKeyNeverSetFails) {
    auto dd = MakeDirectDraw();
    auto s = MakeSurface(dd.get(), DescIn(16, 4, 4));
    DDCOLORKEY key = {1, 2};
    EXPECT_EQ(DDERR_NOCOLORKEY, s->GetColorKey(DDCKEY_SRCBLT, &key));
    EXPECT_EQ(1u, key.dwColorSpaceLowValue);  // untouched
    DDCOLORKEY set = {0xF81F, 0xF81F};
    ASSERT_EQ(DD_OK, s->SetColorKey(DDCKEY_SRCBLT, &set));
    ASSERT_EQ(DD_OK, s->GetColorKey(DDCKEY_SRCBLT, &key));
    EXPECT_EQ(0xF81Fu, key.dwColorSpaceLowValue);
    EXPECT_EQ(0xF81Fu, key.dwColorSpaceHighValue);
    EXPECT_EQ(DDERR_NOCOLORKEY, s->GetColorKey(DDCKEY_DESTBLT, &key));
    EXPECT_EQ(DDERR_UNSUPPORTED, s->SetColorKey(DDCKEY_DESTBLT, &set));
    // A null key removes it.
    ASSERT_EQ(DD_OK, s->SetColorKey(DDCKEY_SRCBLT, nullptr));
    EXPECT_EQ(DDERR_NOCOLORKEY, s->GetColorKey(DDCKEY_SRCBLT, &key));
    // A key given at creation is there at once.
    DDSURFACEDESC2 d = DescIn(16, 4, 4);
    d.dwFlags |= DDSD_CKSRCBLT;
    d.ddckCKSrcBlt = {0x1234, 0x1234};
    auto keyed = MakeSurface(dd.get(), d);
    ASSERT_EQ(DD_OK, keyed->GetColorKey(DDCKEY_SRCBLT, &key));
    EXPECT_EQ(0x1234u, key.dwColorSpaceLowValue);
}

namespace {

std::vector<RECT> g_notices;
int g_wholeNotices = 0;

void RecordNotice(IDirectDrawSurface7*, const RECT* dirty) {
    if (dirty)
        g_notices.push_back(*dirty);
    else
        ++g_wholeNotices;
}

struct HookGuard {
    HookGuard() {
        g_notices.clear();
        g_wholeNotices = 0;
        qndx::platform::SetPrimaryWriteHook(&RecordNotice);
    }
    ~HookGuard() { qndx::platform::SetPrimaryWriteHook(nullptr); }
};

}  // namespace

TEST(PrimaryWriteHook, WritesToThePrimaryAreReportedOthersAreNot) {
    HookGuard guard;
    auto dd = MakeDirectDraw();
    DDSURFACEDESC2 pd = {};
    pd.dwSize = 124;
    pd.dwFlags = DDSD_CAPS;
    pd.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    auto primary = MakeSurface(dd.get(), pd);
    auto back = MakeSurface(dd.get(), Desc(20, 10));

    DDBLTFX fx = Fx();
    fx.dwFillColor = 0x123456;
    ASSERT_EQ(DD_OK, back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx));
    EXPECT_TRUE(g_notices.empty());

    RECT dst = Rect(100, 50, 120, 60);
    ASSERT_EQ(DD_OK, primary->Blt(&dst, back.get(), nullptr, DDBLT_WAIT, nullptr));
    ASSERT_EQ(1u, g_notices.size());
    EXPECT_EQ(100, g_notices[0].left);
    EXPECT_EQ(60, g_notices[0].bottom);
    EXPECT_EQ(0x123456u, Peek(primary.get(), 110, 55));

    RECT r = Rect(0, 0, 4, 4);
    DDSURFACEDESC2 d = {};
    d.dwSize = 124;
    ASSERT_EQ(DD_OK, primary->Lock(&r, &d, DDLOCK_READONLY, nullptr));
    ASSERT_EQ(DD_OK, primary->Unlock(nullptr));
    EXPECT_EQ(1u, g_notices.size());  // read-only locks change nothing
    ASSERT_EQ(DD_OK, primary->Lock(&r, &d, DDLOCK_WAIT, nullptr));
    ASSERT_EQ(DD_OK, primary->Unlock(nullptr));
    EXPECT_EQ(2u, g_notices.size());

    HDC dc = nullptr;
    ASSERT_EQ(DD_OK, primary->GetDC(&dc));
    ASSERT_EQ(DD_OK, primary->ReleaseDC(dc));
    EXPECT_EQ(1, g_wholeNotices);
}

// A new surface reads black however it is first used, even where the heap
// hands it memory an earlier surface left full of bytes; a picture drawn
// over all of it through its DC leaves exactly the picture, and one drawn
// over part of it leaves the rest black.
TEST(NewSurface, ReadsBlackWhateverTouchesItFirst) {
    auto dd = MakeDirectDraw();
    const DWORD w = 40, h = 30;
    // A 24-bit top-down picture: pixel (x, y) = (x, y, 200).
    std::vector<uint8_t> picture(((w * 3 + 3) & ~3u) * h);
    for (DWORD y = 0; y < h; ++y)
        for (DWORD x = 0; x < w; ++x) {
            uint8_t* p = &picture[y * ((w * 3 + 3) & ~3u) + x * 3];
            p[0] = 200, p[1] = (uint8_t)y, p[2] = (uint8_t)x;
        }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = (LONG)w;
    info.bmiHeader.biHeight = -(LONG)h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    enum Use { Locked, DcPixel, BlitSource, PartDrawn, WholeDrawn, DcText };
    for (Use use : {Locked, DcPixel, BlitSource, PartDrawn, WholeDrawn, DcText}) {
        SCOPED_TRACE(use);
        {
            auto old = MakeSurface(dd.get(), DescIn(32, w, h));
            FillBytes(old.get(), 0xC3);
        }
        auto s = MakeSurface(dd.get(), DescIn(32, w, h));
        HDC dc = nullptr;
        uint32_t drawnRows = 0;
        switch (use) {
            case Locked: break;
            case DcPixel:
            case DcText:
                ASSERT_EQ(DD_OK, s->GetDC(&dc));
                if (use == DcPixel) EXPECT_EQ(0u, GetPixel(dc, 5, 5));
                else SetTextColor(dc, RGB(0, 0, 0)), SetBkMode(dc, TRANSPARENT), TextOutA(dc, 0, 0, " ", 1);
                s->ReleaseDC(dc);
                break;
            case BlitSource: {
                auto to = MakeSurface(dd.get(), DescIn(32, w, h));
                FillBytes(to.get(), 0x5A);
                ASSERT_EQ(DD_OK, to->Blt(nullptr, s.get(), nullptr, DDBLT_WAIT, nullptr));
                EXPECT_EQ(0u, Peek(to.get(), 7, 9));
                EXPECT_EQ(0u, Peek(to.get(), (int)w - 1, (int)h - 1));
                break;
            }
            case PartDrawn:
            case WholeDrawn:
                drawnRows = use == WholeDrawn ? h : h / 2;
                ASSERT_EQ(DD_OK, s->GetDC(&dc));
                EXPECT_NE(GDI_ERROR, StretchDIBits(dc, 0, 0, (int)w, (int)drawnRows, 0, 0, (int)w, (int)drawnRows,
                                                   picture.data(), &info, DIB_RGB_COLORS, SRCCOPY));
                s->ReleaseDC(dc);
                break;
        }
        for (DWORD y = 0; y < h; ++y)
            for (DWORD x = 0; x < w; ++x) {
                const DWORD want = y < drawnRows ? (x << 16 | y << 8 | 200) : 0;
                ASSERT_EQ(want, Peek(s.get(), (int)x, (int)y)) << x << "," << y;
            }
    }
}
