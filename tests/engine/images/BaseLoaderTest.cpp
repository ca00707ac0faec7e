// The base loader: buffer sizes and their caps, the bitmap description, and
// the common ending that turns a decoded buffer into a surface.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <utility>

#include "GraphicEngine/ImageLoader/BaseImageLoader.h"
#include "engine/images/LoaderTestSupport.h"
#include "platform/sim/Display.h"
#include "platform/sim/Sim.h"

namespace {

namespace ti = qndx::testimg;

// A decoder of the shape the later ones take: fills the buffer itself,
// then runs the common ending.
class PlainLoader : public CQNDXBaseImageLoader {
public:
    int CanLoad(const unsigned char*, int, const unsigned char*, int) override { return 0; }
    IDirectDrawSurface7* Load(IDirectDraw7*, unsigned int, const unsigned char*) override { return nullptr; }
};

TEST(BaseImageLoader, BufferSizesAreCheckedIn64BitsAgainstTheCaps) {
    EXPECT_EQ(12u, CQNDXBaseImageLoader::ComputeBufferSize(3, 1, 24));  // 9 bytes padded to 12
    EXPECT_EQ(4u, CQNDXBaseImageLoader::ComputeBufferSize(1, 1, 1));
    EXPECT_EQ(8u, CQNDXBaseImageLoader::ComputeBufferSize(33, 1, 1));
    EXPECT_EQ(268435456u, CQNDXBaseImageLoader::ComputeBufferSize(16384, 16384, 8));  // exactly 256 MiB
    EXPECT_EQ(0u, CQNDXBaseImageLoader::ComputeBufferSize(16384, 16384, 16));
    EXPECT_EQ(0u, CQNDXBaseImageLoader::ComputeBufferSize(16385, 1, 8));
    EXPECT_EQ(0u, CQNDXBaseImageLoader::ComputeBufferSize(1, 16385, 8));
    EXPECT_EQ(0u, CQNDXBaseImageLoader::ComputeBufferSize(0, 5, 8));
    EXPECT_EQ(0u, CQNDXBaseImageLoader::ComputeBufferSize(5, 0, 8));
    EXPECT_EQ(0u, CQNDXBaseImageLoader::ComputeBufferSize(-4, 5, 8));
    EXPECT_EQ(0u, CQNDXBaseImageLoader::ComputeBufferSize(INT_MIN, INT_MIN, 32));
    EXPECT_EQ(0u, CQNDXBaseImageLoader::ComputeBufferSize(INT_MAX, INT_MAX, 32));
    for (int bpp : {0, 2, 3, 12, 15, 64}) EXPECT_EQ(0u, CQNDXBaseImageLoader::ComputeBufferSize(4, 4, bpp)) << bpp;
}

TEST(BaseImageLoader, CreateAllocatesAZeroedPaddedBufferOrRefusesWithAnErrorLine) {
    PlainLoader loader;
    ASSERT_EQ(1, loader.Create(3, 2, 24));
    EXPECT_EQ(12u, loader.GetStride());
    EXPECT_EQ(24u, loader.GetSizeInBytes());
    for (unsigned i = 0; i < 24; ++i) EXPECT_EQ(0, loader.GetPixels()[i]);

    for (auto sides : {std::make_pair(0, 4), std::make_pair(4, -1), std::make_pair(20000, 4)}) {
        ti::ErrorLines errors;
        EXPECT_EQ(0, loader.Create(sides.first, sides.second, 8));
        EXPECT_EQ(nullptr, loader.GetPixels());
        EXPECT_EQ(1u, errors.Take().size());
    }
    ti::ErrorLines errors;
    EXPECT_EQ(0, loader.Create(4, 4, 7));
    EXPECT_EQ(1u, errors.Take().size());
}

TEST(BaseImageLoader, TheDescriptionFollowsTheFields) {
    PlainLoader loader;
    ASSERT_EQ(1, loader.Create(5, 3, 8));
    loader.BuildBitmapInfo();
    BITMAPINFO* info = loader.GetBitmapInfo();
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(40u, info->bmiHeader.biSize);
    EXPECT_EQ(5, info->bmiHeader.biWidth);
    EXPECT_EQ(3, info->bmiHeader.biHeight);
    EXPECT_EQ(8, info->bmiHeader.biBitCount);
    EXPECT_EQ(1, info->bmiHeader.biPlanes);
    EXPECT_EQ((DWORD)BI_RGB, info->bmiHeader.biCompression);
    EXPECT_EQ(0u, info->bmiHeader.biClrUsed);
    // A full table of black entries until a decoder fills it.
    EXPECT_EQ(0, info->bmiColors[255].rgbRed);
    loader.SetTopDown(1);
    loader.BuildBitmapInfo();
    EXPECT_EQ(-3, loader.GetBitmapInfo()->bmiHeader.biHeight);
    loader.FreePixels();
    EXPECT_EQ(nullptr, loader.GetBitmapInfo());
    EXPECT_EQ(nullptr, loader.GetPixels());
}

// Fills an 8-bit buffer whose index at (x, y) of the picture is x + 4y, a
// table with entry i = Rgb(i * 10, 0, 255 - i), and runs the common ending.
IDirectDrawSurface7* PaintIndexed(IDirectDraw7* dd, int topDown) {
    PlainLoader loader;
    if (!loader.Create(4, 3, 8)) return nullptr;
    loader.SetTopDown(topDown);
    const unsigned stride = loader.GetStride();
    for (int y = 0; y < 3; ++y) {
        int row = topDown ? y : 2 - y;
        for (int x = 0; x < 4; ++x) loader.GetPixels()[row * stride + x] = (unsigned char)(x + 4 * y);
    }
    if (!loader.CreateSurface(dd)) return nullptr;
    loader.BuildBitmapInfo();
    for (int i = 0; i < 12; ++i) {
        RGBQUAD& q = loader.GetBitmapInfo()->bmiColors[i];
        q.rgbRed = (BYTE)(i * 10);
        q.rgbGreen = 0;
        q.rgbBlue = (BYTE)(255 - i);
    }
    return loader.CopyToSurface();
}

TEST(BaseImageLoader, TheCommonEndingDrawsTheBufferUprightInEveryKind) {
    ti::Image want;
    want.width = 4;
    want.height = 3;
    for (int i = 0; i < 12; ++i) want.px.push_back(ti::Rgb(i * 10, 0, 255 - i));
    for (int bpp : ti::kSurfaceKinds) {
        ti::DisplayAt display(bpp);
        for (int topDown : {0, 1}) {
            IDirectDrawSurface7* s = PaintIndexed(display.Get(), topDown);
            ASSERT_NE(nullptr, s);
            ti::ExpectExactly(ti::ReadSurface(s), want,
                              std::to_string(bpp) + " bits, top-down " + std::to_string(topDown));
            EXPECT_EQ(0u, s->Release());
        }
    }
}

TEST(BaseImageLoader, AFailedDeviceContextOrDrawingIsAFailedLoad) {
    ti::DisplayAt display(32);
    for (const char* call : {"IDirectDrawSurface7::GetDC", "StretchDIBits"}) {
        qndx::sim::FailNext(call, 1, E_FAIL);
        ti::ErrorLines errors;
        EXPECT_EQ(nullptr, PaintIndexed(display.Get(), 0)) << call;
        EXPECT_EQ(1u, errors.Take().size()) << call;
        EXPECT_EQ(0, qndx::sim::LiveSurfaceCount()) << call;
    }
    // Without a description there is nothing to draw with.
    PlainLoader loader;
    ASSERT_EQ(1, loader.Create(2, 2, 24));
    ASSERT_EQ(1, loader.CreateSurface(display.Get()));
    ti::ErrorLines errors;
    EXPECT_EQ(nullptr, loader.CopyToSurface());
    EXPECT_EQ(1u, errors.Take().size());
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

TEST(BaseImageLoader, ASurfaceNeverHandedOverIsReleasedWithTheLoader) {
    ti::DisplayAt display(16);
    {
        PlainLoader loader;
        ASSERT_EQ(1, loader.Create(2, 2, 24));
        ASSERT_EQ(1, loader.CreateSurface(display.Get()));
        ASSERT_EQ(1, loader.CreateSurface(display.Get()));  // the first one is dropped
        EXPECT_EQ(1, qndx::sim::LiveSurfaceCount());
    }
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

}  // namespace
