// GDI on surface and memory DCs: pixel conversions per format, device
// capabilities, object selection and deletion, and StretchBlt.
#include <gtest/gtest.h>

#include <cstring>

#include "ddraw/SurfaceImpl.h"
#include "gdi/GdiObject.h"
#include "platform/DirectDraw.h"
#include "platform/Gdi.h"
#include "platform/sim/Display.h"

namespace {

struct Fixture {
    IDirectDraw7* dd = nullptr;
    Fixture() {
        EXPECT_EQ(DD_OK, DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr));
        EXPECT_EQ(DD_OK, dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL));
    }
    ~Fixture() { dd->Release(); }

    IDirectDrawSurface7* Surface(DWORD bits, DWORD w, DWORD h) {
        DDSURFACEDESC2 d = {};
        d.dwSize = 124;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = w;
        d.dwHeight = h;
        d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        d.ddpfPixelFormat.dwSize = 32;
        d.ddpfPixelFormat.dwFlags = DDPF_RGB | (bits == 8 ? DDPF_PALETTEINDEXED8 : 0);
        d.ddpfPixelFormat.dwRGBBitCount = bits == 15 ? 16 : bits;
        if (bits == 15) {
            d.ddpfPixelFormat.dwRBitMask = 0x7C00;
            d.ddpfPixelFormat.dwGBitMask = 0x03E0;
            d.ddpfPixelFormat.dwBBitMask = 0x1F;
        } else if (bits == 16) {
            d.ddpfPixelFormat.dwRBitMask = 0xF800;
            d.ddpfPixelFormat.dwGBitMask = 0x07E0;
            d.ddpfPixelFormat.dwBBitMask = 0x1F;
        } else if (bits != 8) {
            d.ddpfPixelFormat.dwRBitMask = 0xFF0000;
            d.ddpfPixelFormat.dwGBitMask = 0xFF00;
            d.ddpfPixelFormat.dwBBitMask = 0xFF;
        }
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(DD_OK, dd->CreateSurface(&d, &s, nullptr));
        return s;
    }
};

DWORD Raw(IDirectDrawSurface7* s, int x, int y) {
    qndx::platform::SurfaceMemory m;
    EXPECT_TRUE(qndx::platform::GetSurfaceMemory(s, &m));
    DWORD v = 0;
    const int bytes = static_cast<int>(m.format.dwRGBBitCount / 8);
    std::memcpy(&v, m.bits + y * m.pitch + x * bytes, static_cast<size_t>(bytes));
    return v;
}

}  // namespace

TEST(SurfacePixels, SetPixelStoresTheDriverConversionAndGetPixelWidens) {
    struct Case {
        DWORD bits;
        COLORREF color;
        DWORD native;      // what lands in memory
        COLORREF readBack;  // what GetPixel and SetPixel answer
    };
    const Case cases[] = {
        // 5-5-5: top five bits of each channel; reading repeats the top bits.
        {15, RGB(255, 255, 255), 0x7FFF, RGB(255, 255, 255)},
        {15, RGB(255, 0, 0), 0x7C00, RGB(255, 0, 0)},
        {15, RGB(0x84, 0x42, 0x21), (0x10 << 10) | (0x08 << 5) | 0x04, RGB(0x84, 0x42, 0x21)},
        {15, RGB(7, 7, 7), 0x0000, RGB(0, 0, 0)},
        {15, RGB(0x80, 0x80, 0x80), (0x10 << 10) | (0x10 << 5) | 0x10, RGB(0x84, 0x84, 0x84)},
        // 5-6-5: green keeps six bits.
        {16, RGB(255, 255, 255), 0xFFFF, RGB(255, 255, 255)},
        {16, RGB(0, 255, 0), 0x07E0, RGB(0, 255, 0)},
        {16, RGB(0x80, 0x80, 0x80), (0x10 << 11) | (0x20 << 5) | 0x10, RGB(0x84, 0x82, 0x84)},
        {16, RGB(0, 0, 255), 0x001F, RGB(0, 0, 255)},
        // 24 and 32 bits keep every bit; blue is the lowest byte.
        {24, RGB(0x12, 0x34, 0x56), 0x123456, RGB(0x12, 0x34, 0x56)},
        {32, RGB(0x12, 0x34, 0x56), 0x00123456, RGB(0x12, 0x34, 0x56)},
    };
    Fixture f;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, colour " << std::hex << c.color);
        IDirectDrawSurface7* s = f.Surface(c.bits, 4, 3);
        HDC dc = nullptr;
        ASSERT_EQ(DD_OK, s->GetDC(&dc));
        EXPECT_EQ(c.readBack, SetPixel(dc, 2, 1, c.color));
        EXPECT_EQ(c.readBack, GetPixel(dc, 2, 1));
        ASSERT_EQ(DD_OK, s->ReleaseDC(dc));
        EXPECT_EQ(c.native, Raw(s, 2, 1));
        EXPECT_EQ(0u, Raw(s, 1, 1));  // neighbours untouched
        EXPECT_EQ(0u, Raw(s, 3, 1));
        s->Release();
    }
}

TEST(SurfacePixels, ReadColourWrittenBackGivesTheSamePixel) {
    Fixture f;
    for (DWORD bits : {15u, 16u}) {
        IDirectDrawSurface7* s = f.Surface(bits, 1, 1);
        HDC dc = nullptr;
        ASSERT_EQ(DD_OK, s->GetDC(&dc));
        for (DWORD p = 0; p < 0x10000; p += 37) {
            const DWORD native = bits == 15 ? (p & 0x7FFF) : p;
            ASSERT_EQ(DD_OK, s->ReleaseDC(dc));
            qndx::platform::SurfaceMemory m;
            ASSERT_TRUE(qndx::platform::GetSurfaceMemory(s, &m));
            std::memcpy(m.bits, &native, 2);
            ASSERT_EQ(DD_OK, s->GetDC(&dc));
            COLORREF c = GetPixel(dc, 0, 0);
            SetPixel(dc, 0, 0, 0);
            SetPixel(dc, 0, 0, c);
            ASSERT_EQ(native, Raw(s, 0, 0)) << bits << " " << std::hex << native;
        }
        ASSERT_EQ(DD_OK, s->ReleaseDC(dc));
        s->Release();
    }
}

TEST(SurfacePixels, PalettedSurfacesMatchTheNearestEntry) {
    Fixture f;
    IDirectDrawSurface7* s = f.Surface(8, 2, 2);
    PALETTEENTRY entries[256] = {};
    for (int i = 0; i < 256; ++i) entries[i] = {static_cast<BYTE>(i), 0, 0, 0};
    entries[200] = {10, 200, 30, 0};
    IDirectDrawPalette* pal = nullptr;
    ASSERT_EQ(DD_OK, f.dd->CreatePalette(DDPCAPS_8BIT, entries, &pal, nullptr));
    ASSERT_EQ(DD_OK, s->SetPalette(pal));
    HDC dc = nullptr;
    ASSERT_EQ(DD_OK, s->GetDC(&dc));
    EXPECT_EQ(RGB(10, 200, 30), SetPixel(dc, 0, 0, RGB(12, 190, 40)));
    EXPECT_EQ(RGB(90, 0, 0), SetPixel(dc, 1, 0, RGB(90, 0, 0)));
    ASSERT_EQ(DD_OK, s->ReleaseDC(dc));
    EXPECT_EQ(200u, Raw(s, 0, 0));
    EXPECT_EQ(90u, Raw(s, 1, 0));
    pal->Release();
    s->Release();
}

TEST(SurfacePixels, OutsideTheSurfaceNothingIsReadOrWritten) {
    Fixture f;
    IDirectDrawSurface7* s = f.Surface(32, 3, 3);
    HDC dc = nullptr;
    ASSERT_EQ(DD_OK, s->GetDC(&dc));
    for (auto xy : {std::make_pair(-1, 0), std::make_pair(0, -1), std::make_pair(3, 0), std::make_pair(0, 3)}) {
        EXPECT_EQ(CLR_INVALID, GetPixel(dc, xy.first, xy.second));
        EXPECT_EQ(CLR_INVALID, SetPixel(dc, xy.first, xy.second, RGB(1, 2, 3)));
    }
    ASSERT_EQ(DD_OK, s->ReleaseDC(dc));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(0u, Raw(s, x, y));
    s->Release();
    EXPECT_EQ(CLR_INVALID, GetPixel(nullptr, 0, 0));
}

TEST(ScreenDc, DeviceCapsDescribeTheDesktop) {
    qndx::sim::SetDesktop(1280, 720, 15);
    HDC screen = GetDC(nullptr);
    ASSERT_NE(nullptr, screen);
    EXPECT_EQ(1280, GetDeviceCaps(screen, HORZRES));
    EXPECT_EQ(720, GetDeviceCaps(screen, VERTRES));
    EXPECT_EQ(16, GetDeviceCaps(screen, BITSPIXEL));
    EXPECT_EQ(1, GetDeviceCaps(screen, PLANES));
    EXPECT_EQ(96, GetDeviceCaps(screen, LOGPIXELSX));
    EXPECT_EQ(96, GetDeviceCaps(screen, LOGPIXELSY));
    EXPECT_EQ(CLR_INVALID, GetPixel(screen, 0, 0));  // the screen DC carries no pixels
    EXPECT_EQ(FALSE, DeleteDC(screen));              // it goes back with ReleaseDC
    EXPECT_EQ(1, ReleaseDC(nullptr, screen));
    EXPECT_EQ(0, ReleaseDC(nullptr, screen));
    EXPECT_EQ(0, GetDeviceCaps(screen, HORZRES));
    qndx::sim::SetDesktop(800, 600, 8);
    screen = GetDC(nullptr);
    EXPECT_EQ(8, GetDeviceCaps(screen, BITSPIXEL));
    ReleaseDC(nullptr, screen);
}

TEST(MemoryDc, SelectObjectReturnsThePreviousAndGuardsBitmaps) {
    HDC a = CreateCompatibleDC(nullptr);
    HDC b = CreateCompatibleDC(nullptr);
    HBITMAP bmp = qndx::platform::CreateBitmapObject(5, 4);
    HBITMAP other = qndx::platform::CreateBitmapObject(2, 2);
    ASSERT_TRUE(a && b && bmp && other);

    HGDIOBJ placeholder = SelectObject(a, bmp);
    ASSERT_NE(nullptr, placeholder);
    BITMAP info = {};
    ASSERT_EQ(static_cast<int>(sizeof(BITMAP)), GetObjectA(placeholder, sizeof info, &info));
    EXPECT_EQ(1, info.bmWidth);
    EXPECT_EQ(nullptr, SelectObject(b, bmp));  // already in a
    EXPECT_EQ(FALSE, DeleteObject(bmp));       // selected: kept
    EXPECT_EQ(bmp, SelectObject(a, other));
    EXPECT_NE(nullptr, SelectObject(b, bmp));  // free again

    HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
    HGDIOBJ oldFont = SelectObject(a, font);
    EXPECT_EQ(GetStockObject(SYSTEM_FONT), oldFont);
    EXPECT_EQ(font, SelectObject(a, oldFont));
    LOGFONTA lf = {};
    ASSERT_EQ(static_cast<int>(sizeof lf), GetObjectA(font, sizeof lf, &lf));
    EXPECT_STREQ("Arial", lf.lfFaceName);
    EXPECT_EQ(TRUE, DeleteObject(font));  // stock objects stay
    EXPECT_NE(nullptr, qndx::platform::LookupGdiObject(font));

    HDC screen = GetDC(nullptr);
    EXPECT_EQ(nullptr, SelectObject(screen, other));  // bitmaps go into memory DCs only
    ReleaseDC(nullptr, screen);

    ASSERT_EQ(static_cast<int>(sizeof(BITMAP)), GetObjectA(bmp, sizeof info, &info));
    EXPECT_EQ(5, info.bmWidth);
    EXPECT_EQ(4, info.bmHeight);
    EXPECT_EQ(20, info.bmWidthBytes);
    EXPECT_EQ(1, info.bmPlanes);
    EXPECT_EQ(32, info.bmBitsPixel);
    EXPECT_NE(nullptr, info.bmBits);
    EXPECT_EQ(0, GetObjectA(bmp, sizeof info - 1, &info));
    EXPECT_EQ(static_cast<int>(sizeof(BITMAP)), GetObjectA(bmp, 0, nullptr));

    EXPECT_EQ(TRUE, DeleteDC(a));
    EXPECT_EQ(TRUE, DeleteDC(b));
    EXPECT_EQ(FALSE, DeleteDC(b));
    EXPECT_EQ(TRUE, DeleteObject(bmp));
    EXPECT_EQ(TRUE, DeleteObject(other));
    EXPECT_EQ(FALSE, DeleteObject(other));
    EXPECT_EQ(0, GetObjectA(other, sizeof info, &info));
}

namespace {

// A memory DC holding a w x h bitmap whose pixel (x, y) is colour(x, y).
HBITMAP MakePicture(int w, int h, COLORREF (*colour)(int, int)) {
    HBITMAP bmp = qndx::platform::CreateBitmapObject(w, h);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, bmp);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) SetPixel(dc, x, y, colour(x, y));
    DeleteDC(dc);
    return bmp;
}

COLORREF Gradient(int x, int y) { return RGB(x * 40, y * 40, 200); }

}  // namespace

// What a colour becomes in each format: the top bits of each channel.
DWORD ExpectedNative(DWORD bits, COLORREF c) {
    const DWORD r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    if (bits == 15) return (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
    if (bits == 16) return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
    return r << 16 | g << 8 | b;
}

TEST(StretchBlt, FromAMemoryDcIntoEachSurfaceFormat) {
    Fixture f;
    HBITMAP bmp = MakePicture(4, 2, &Gradient);
    HDC mem = CreateCompatibleDC(nullptr);
    SelectObject(mem, bmp);
    for (DWORD bits : {15u, 16u, 24u, 32u}) {
        SCOPED_TRACE(bits);
        IDirectDrawSurface7* s = f.Surface(bits, 9, 5);
        HDC dc = nullptr;
        ASSERT_EQ(DD_OK, s->GetDC(&dc));
        ASSERT_TRUE(StretchBlt(dc, 0, 0, 8, 4, mem, 0, 0, 4, 2, SRCCOPY));
        ASSERT_EQ(DD_OK, s->ReleaseDC(dc));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 9; ++x) {
                const DWORD want = (x < 8 && y < 4) ? ExpectedNative(bits, Gradient(x / 2, y / 2)) : 0u;
                EXPECT_EQ(want, Raw(s, x, y)) << x << "," << y;
            }
        s->Release();
    }
    DeleteDC(mem);
    DeleteObject(bmp);
}

TEST(StretchBlt, MirrorsClipsAndRefusesOtherRasterOps) {
    HBITMAP srcBmp = MakePicture(3, 1, [](int x, int) { return static_cast<COLORREF>(RGB(x + 1, 0, 0)); });
    HBITMAP dstBmp = qndx::platform::CreateBitmapObject(4, 2);
    HDC src = CreateCompatibleDC(nullptr);
    HDC dst = CreateCompatibleDC(nullptr);
    SelectObject(src, srcBmp);
    SelectObject(dst, dstBmp);

    // Negative width: the copy runs right to left.
    ASSERT_TRUE(StretchBlt(dst, 2, 0, -3, 1, src, 0, 0, 3, 1, SRCCOPY));
    EXPECT_EQ(RGB(3, 0, 0), GetPixel(dst, 0, 0));
    EXPECT_EQ(RGB(2, 0, 0), GetPixel(dst, 1, 0));
    EXPECT_EQ(RGB(1, 0, 0), GetPixel(dst, 2, 0));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(dst, 3, 0));

    // Parts outside either picture are skipped, nothing else happens.
    ASSERT_TRUE(StretchBlt(dst, -2, 1, 6, 1, src, -1, 0, 6, 1, SRCCOPY));
    EXPECT_EQ(RGB(2, 0, 0), GetPixel(dst, 0, 1));
    EXPECT_EQ(RGB(3, 0, 0), GetPixel(dst, 1, 1));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(dst, 2, 1));
    ASSERT_TRUE(StretchBlt(dst, 1000000, 0, 2000000000, 1, src, 0, 0, 3, 1, SRCCOPY));
    ASSERT_TRUE(StretchBlt(dst, -2000000000, 0, 2000000000, 2, src, 0, 0, 3, 1, SRCCOPY));

    EXPECT_FALSE(StretchBlt(dst, 0, 0, 1, 1, src, 0, 0, 1, 1, SRCINVERT));
    EXPECT_FALSE(StretchBlt(dst, 0, 0, 1, 1, nullptr, 0, 0, 1, 1, SRCCOPY));
    HDC screen = GetDC(nullptr);
    EXPECT_FALSE(StretchBlt(screen, 0, 0, 1, 1, src, 0, 0, 1, 1, SRCCOPY));
    ReleaseDC(nullptr, screen);

    // One picture onto itself reads the original.
    ASSERT_TRUE(BitBlt(dst, 1, 0, 3, 1, dst, 0, 0, SRCCOPY));
    EXPECT_EQ(RGB(3, 0, 0), GetPixel(dst, 1, 0));
    EXPECT_EQ(RGB(2, 0, 0), GetPixel(dst, 2, 0));
    EXPECT_EQ(RGB(1, 0, 0), GetPixel(dst, 3, 0));

    DeleteDC(src);
    DeleteDC(dst);
    DeleteObject(srcBmp);
    DeleteObject(dstBmp);
}
