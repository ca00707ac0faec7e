// OleLoadPicture and the picture object: sizes in HIMETRIC, rendering into
// device contexts upright, mirrored and in parts, and refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/images/TestImages.h"
#include "gdi/DeviceContext.h"
#include "platform/Gdi.h"
#include "platform/Kernel.h"
#include "platform/OlePicture.h"
#include "platform/sim/Sim.h"

namespace {

namespace ti = qndx::testimg;
using qndx::platform::DeviceContext;

IStream* StreamOver(const std::vector<uint8_t>& bytes) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(h), bytes.data(), bytes.size());
    GlobalUnlock(h);
    IStream* s = nullptr;
    EXPECT_EQ(S_OK, CreateStreamOnHGlobal(h, TRUE, &s));
    return s;
}

IPicture* Load(const std::vector<uint8_t>& bytes, HRESULT* hr = nullptr, LONG size = 0) {
    IStream* s = StreamOver(bytes);
    IPicture* pic = nullptr;
    HRESULT r = OleLoadPicture(s, size ? size : (LONG)bytes.size(), FALSE, IID_IPicture, reinterpret_cast<void**>(&pic));
    s->Release();
    if (hr) *hr = r;
    return pic;
}

// A 32-bit target filled with a marker colour.
struct Target {
    int w, h;
    std::vector<uint32_t> px;
    HDC dc;
    Target(int width, int height) : w(width), h(height), px((size_t)width * height, 0xFF00FF00u) {
        std::unique_ptr<DeviceContext> d(new DeviceContext(DeviceContext::Kind::Surface));
        d->target.bits = reinterpret_cast<uint8_t*>(px.data());
        d->target.pitch = width * 4;
        d->target.width = width;
        d->target.height = height;
        d->target.kind = qndx::pixels::kXrgb8888;
        dc = qndx::platform::RegisterDC(std::move(d));
    }
    ~Target() { qndx::platform::DestroyDC(dc); }
    uint32_t At(int x, int y) const { return px[(size_t)y * w + x]; }
};

int ChannelError(uint32_t got, uint32_t want) {
    int worst = 0;
    for (int s = 0; s < 24; s += 8) {
        int e = std::abs((int)((got >> s) & 0xFF) - (int)((want >> s) & 0xFF));
        if (e > worst) worst = e;
    }
    return worst;
}

TEST(OleLoadPicture, SizesAreInHimetricAtTheDisplayResolution) {
    IPicture* pic = Load(ti::EncodeJpeg(ti::Smooth(96, 48)));
    ASSERT_NE(nullptr, pic);
    OLE_XSIZE_HIMETRIC w = 0;
    OLE_YSIZE_HIMETRIC h = 0;
    EXPECT_EQ(S_OK, pic->get_Width(&w));
    EXPECT_EQ(S_OK, pic->get_Height(&h));
    EXPECT_EQ(2540, w);  // 96 pixels at 96 per inch: one inch
    EXPECT_EQ(1270, h);
    SHORT type = 0;
    EXPECT_EQ(S_OK, pic->get_Type(&type));
    EXPECT_EQ(PICTYPE_BITMAP, type);
    EXPECT_EQ(E_POINTER, pic->get_Width(nullptr));
    EXPECT_EQ(0u, pic->Release());

    // Every width survives the trip to HIMETRIC and back at 96 per inch.
    for (int px : {1, 2, 3, 7, 13, 97, 801}) {
        IPicture* p = Load(ti::EncodeJpeg(ti::Smooth(px, 2)));
        ASSERT_NE(nullptr, p);
        p->get_Width(&w);
        EXPECT_EQ(px, MulDiv(w, 96, 2540)) << px;
        p->Release();
    }
}

TEST(OleLoadPicture, RendersUprightMirroredAndInParts) {
    ti::Image src = ti::Smooth(32, 24);
    IPicture* pic = Load(ti::EncodeJpeg(src));
    ASSERT_NE(nullptr, pic);
    OLE_XSIZE_HIMETRIC hmW = 0;
    OLE_YSIZE_HIMETRIC hmH = 0;
    pic->get_Width(&hmW);
    pic->get_Height(&hmH);

    Target upright(32, 24), flipped(32, 24), half(16, 24);
    RECT bounds = {0, 0, 32, 24};
    EXPECT_EQ(S_OK, pic->Render(upright.dc, 0, 0, 32, 24, 0, hmH, hmW, -hmH, &bounds));
    EXPECT_EQ(S_OK, pic->Render(flipped.dc, 0, 0, 32, 24, 0, 0, hmW, hmH, &bounds));
    // The right half of the picture, upright.
    EXPECT_EQ(S_OK, pic->Render(half.dc, 0, 0, 16, 24, hmW / 2, hmH, hmW / 2, -hmH, nullptr));
    int worst = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x) {
            worst = std::max(worst, ChannelError(upright.At(x, y), src.At(x, y)));
            worst = std::max(worst, ChannelError(flipped.At(x, y), src.At(x, 23 - y)));
            if (x < 16) worst = std::max(worst, ChannelError(half.At(x, y), src.At(x + 16, y)));
        }
    EXPECT_LE(worst, 8);
    // Drawn whole at (3, 5) into a larger target the pixels are exactly the
    // flipped drawing's, turned upright, with top bytes of 0 and the target
    // around them left alone.
    Target offset(40, 31);
    EXPECT_EQ(S_OK, pic->Render(offset.dc, 3, 5, 32, 24, 0, hmH, hmW, -hmH, nullptr));
    for (int y = 0; y < 31; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool inside = x >= 3 && x < 35 && y >= 5 && y < 29;
            ASSERT_EQ(inside ? flipped.At(x - 3, 23 - (y - 5)) : 0xFF00FF00u, offset.At(x, y)) << x << "," << y;
        }
    pic->Release();
}

TEST(OleLoadPicture, RenderRefusesBadTargetsAndExtents) {
    IPicture* pic = Load(ti::EncodeJpeg(ti::Smooth(8, 8)));
    ASSERT_NE(nullptr, pic);
    OLE_XSIZE_HIMETRIC hm = 0;
    pic->get_Width(&hm);
    Target t(8, 8);
    EXPECT_EQ(E_INVALIDARG, pic->Render(nullptr, 0, 0, 8, 8, 0, hm, hm, -hm, nullptr));
    EXPECT_EQ(E_INVALIDARG, pic->Render(t.dc, 0, 0, 0, 8, 0, hm, hm, -hm, nullptr));
    EXPECT_EQ(E_INVALIDARG, pic->Render(t.dc, 0, 0, 8, 8, 0, hm, 0, -hm, nullptr));
    EXPECT_LT(pic->Render(reinterpret_cast<HDC>(0x5151), 0, 0, 8, 8, 0, hm, hm, -hm, nullptr), 0);
    HDC ic = CreateICA("DISPLAY", nullptr, nullptr, nullptr);
    EXPECT_LT(pic->Render(ic, 0, 0, 8, 8, 0, hm, hm, -hm, nullptr), 0);
    DeleteDC(ic);
    qndx::sim::FailNext("IPicture::Render", 1, E_OUTOFMEMORY);
    EXPECT_EQ(E_OUTOFMEMORY, pic->Render(t.dc, 0, 0, 8, 8, 0, hm, hm, -hm, nullptr));
    for (uint32_t p : t.px) EXPECT_EQ(0xFF00FF00u, p);
    // Rendering past the target's edges draws the part inside.
    EXPECT_EQ(S_OK, pic->Render(t.dc, 4, 4, 8, 8, 0, hm, hm, -hm, nullptr));
    EXPECT_EQ(0xFF00FF00u, t.At(3, 3));
    EXPECT_NE(0xFF00FF00u, t.At(7, 7));
    pic->Release();
}

TEST(OleLoadPicture, AnythingButJpegIsAnInvalidPicture) {
    ti::Image img = ti::Pattern(8, 8);
    std::vector<uint8_t> bmp = ti::WriteBmpRgb(img, 24);
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    std::vector<uint8_t> tiny = {0xFF, 0xD8};
    for (const auto* bytes : {&bmp, &png, &tiny}) {
        HRESULT hr = S_OK;
        QndxSetLastErrorText(nullptr);
        IPicture* pic = Load(*bytes, &hr);
        EXPECT_EQ(CTL_E_INVALIDPICTURE, hr);
        EXPECT_EQ(nullptr, pic);
        EXPECT_EQ(0, std::strncmp(QndxGetLastErrorText(), "unsupported format", 18)) << QndxGetLastErrorText();
    }
    // A JPEG refused for its size says so, with the size.
    HRESULT hr = S_OK;
    EXPECT_EQ(nullptr, Load(ti::JpegWithFrameSize(ti::EncodeJpeg(ti::Smooth(8, 8)), 20000, 8), &hr));
    EXPECT_EQ(CTL_E_INVALIDPICTURE, hr);
    EXPECT_NE(nullptr, std::strstr(QndxGetLastErrorText(), "too large")) << QndxGetLastErrorText();
    EXPECT_NE(nullptr, std::strstr(QndxGetLastErrorText(), "20000 x 8")) << QndxGetLastErrorText();
}

TEST(OleLoadPicture, ReadsFromTheStreamPositionAndAtMostTheGivenSize) {
    std::vector<uint8_t> jpeg = ti::EncodeJpeg(ti::Smooth(20, 20));
    std::vector<uint8_t> bytes = ti::Concat(std::vector<uint8_t>(37, 0x42), jpeg);
    IStream* s = StreamOver(bytes);
    LARGE_INTEGER skip;
    skip.QuadPart = 37;
    s->Seek(skip, STREAM_SEEK_SET, nullptr);
    IPicture* pic = nullptr;
    EXPECT_EQ(S_OK, OleLoadPicture(s, 0, FALSE, IID_IPicture, reinterpret_cast<void**>(&pic)));
    ASSERT_NE(nullptr, pic);
    pic->Release();
    s->Release();

    // A size that stops inside the header leaves nothing to decode.
    HRESULT hr = S_OK;
    EXPECT_EQ(nullptr, Load(jpeg, &hr, 20));
    EXPECT_EQ(CTL_E_INVALIDPICTURE, hr);
    // One that stops inside the scan data is refused when it is drawn, whole
    // or stretched, and says why.
    pic = Load(jpeg, &hr, (LONG)jpeg.size() - 40);
    ASSERT_NE(nullptr, pic);
    OLE_XSIZE_HIMETRIC hmW = 0;
    OLE_YSIZE_HIMETRIC hmH = 0;
    pic->get_Width(&hmW);
    pic->get_Height(&hmH);
    for (int side : {20, 13}) {
        Target t(20, 20);
        QndxSetLastErrorText(nullptr);
        EXPECT_EQ(CTL_E_INVALIDPICTURE, pic->Render(t.dc, 0, 0, side, side, 0, hmH, hmW, -hmH, nullptr));
        EXPECT_EQ(0, std::strncmp(QndxGetLastErrorText(), "truncated", 9)) << QndxGetLastErrorText();
    }
    pic->Release();
    // One that stops just before the end marker has every row.
    pic = Load(jpeg, &hr, (LONG)jpeg.size() - 2);
    EXPECT_EQ(S_OK, hr);
    ASSERT_NE(nullptr, pic);
    pic->Release();
}

TEST(OleLoadPicture, InterfacesArgumentsAndInjectedFaults) {
    std::vector<uint8_t> jpeg = ti::EncodeJpeg(ti::Smooth(4, 4));
    IStream* s = StreamOver(jpeg);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, OleLoadPicture(s, 0, FALSE, IID_IStream, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, OleLoadPicture(s, 0, FALSE, IID_IPicture, nullptr));
    EXPECT_EQ(E_POINTER, OleLoadPicture(nullptr, 0, FALSE, IID_IPicture, &out));
    qndx::sim::FailNext("OleLoadPicture", 1, E_OUTOFMEMORY);
    EXPECT_EQ(E_OUTOFMEMORY, OleLoadPicture(s, 0, FALSE, IID_IPicture, &out));
    EXPECT_EQ(nullptr, out);

    EXPECT_EQ(S_OK, OleLoadPicture(s, 0, FALSE, IID_IUnknown, &out));
    IUnknown* unk = static_cast<IUnknown*>(out);
    IPicture* pic = nullptr;
    EXPECT_EQ(S_OK, unk->QueryInterface(IID_IPicture, reinterpret_cast<void**>(&pic)));
    EXPECT_EQ(1u, pic->Release());  // the IUnknown reference remains
    EXPECT_EQ(0u, unk->Release());
    s->Release();
}

}  // namespace
