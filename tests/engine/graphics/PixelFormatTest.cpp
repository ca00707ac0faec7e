// Pixel-format analysis, native/RGB conversions (including formats without
// masks), colour matching, bitmap loading into surfaces and the table of
// DirectDraw result names.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <unistd.h>

#include "GraphicsTestSupport.h"
#include "GraphicEngine/DDUtils.h"
#include "support/TempDir.h"

namespace qndx_test {
namespace {

CQNDXPixelFormatInfo InfoOfDesktop(TestVideoEngine* engine) {
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = 124;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = desc.dwHeight = 2;
    IDirectDrawSurface7* s = nullptr;
    EXPECT_EQ(DD_OK, engine->GetDirectDraw()->CreateSurface(&desc, &s, nullptr));
    CQNDXPixelFormatInfo info;
    std::memset(&info, 0xCD, sizeof(info));
    EXPECT_EQ(1, GetPixelFormatInfo(s, &info));
    s->Release();
    return info;
}

class PixelFormat : public GraphicsTest {};

TEST_F(PixelFormat, AnalysisOfTheFourKinds) {
    StartEngine(15);
    CQNDXPixelFormatInfo i = InfoOfDesktop(engine);
    EXPECT_EQ(15u, i.Kind);
    EXPECT_EQ(31, i.RedMax);
    EXPECT_EQ(31, i.GreenMax);
    EXPECT_EQ(31, i.BlueMax);
    EXPECT_EQ(10, i.RedShift);
    EXPECT_EQ(5, i.GreenShift);
    EXPECT_EQ(0, i.BlueShift);
    CQNDXVideoEngine::Destroy();

    StartEngine(16);
    i = InfoOfDesktop(engine);
    EXPECT_EQ(16u, i.Kind);
    EXPECT_EQ(31, i.RedMax);
    EXPECT_EQ(63, i.GreenMax);
    EXPECT_EQ(11, i.RedShift);
    EXPECT_EQ(5, i.GreenShift);
    CQNDXVideoEngine::Destroy();

    for (int bpp : {24, 32}) {
        StartEngine(bpp);
        i = InfoOfDesktop(engine);
        EXPECT_EQ(static_cast<DWORD>(bpp), i.Kind);
        EXPECT_EQ(255, i.RedMax);
        EXPECT_EQ(16, i.RedShift);
        EXPECT_EQ(8, i.GreenShift);
        EXPECT_EQ(0, i.BlueShift);
        CQNDXVideoEngine::Destroy();
    }
}

TEST_F(PixelFormat, PalettizedSurfaceAndFailures) {
    StartEngine(32);
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = 124;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = desc.dwHeight = 2;
    desc.ddpfPixelFormat.dwSize = 32;
    desc.ddpfPixelFormat.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
    desc.ddpfPixelFormat.dwRGBBitCount = 8;
    IDirectDrawSurface7* s = nullptr;
    ASSERT_EQ(DD_OK, engine->GetDirectDraw()->CreateSurface(&desc, &s, nullptr));
    CQNDXPixelFormatInfo info;
    std::memset(&info, 0xCD, sizeof(info));
    EXPECT_EQ(1, GetPixelFormatInfo(s, &info));
    EXPECT_EQ(8u, info.Kind);
    EXPECT_EQ(0, info.RedMax);
    EXPECT_EQ(0, info.GreenShift);

    // A failing description leaves the record alone.
    CQNDXPixelFormatInfo before = info;
    qndx::sim::FailNext("IDirectDrawSurface7::GetSurfaceDesc", 1, DDERR_GENERIC);
    EXPECT_EQ(0, GetPixelFormatInfo(s, &info));
    EXPECT_EQ(0, std::memcmp(&before, &info, sizeof(info)));
    EXPECT_EQ(0, GetPixelFormatInfo(nullptr, &info));
    s->Release();
}

TEST_F(PixelFormat, ConversionsScaleByTheMask) {
    CQNDXPixelFormatInfo rgb565 = {31, 63, 31, 0, 5, 11, 16};
    CQNDXPixelFormatInfo rgb555 = {31, 31, 31, 0, 5, 10, 15};
    CQNDXPixelFormatInfo rgb888 = {255, 255, 255, 0, 8, 16, 32};
    EXPECT_EQ(0x0000FFu, PixelToRGBFromInfo(0xF800, &rgb565));
    EXPECT_EQ(0xFF0000u, PixelToRGBFromInfo(0x001F, &rgb565));
    EXPECT_EQ(0x00FF00u, PixelToRGBFromInfo(0x07E0, &rgb565));
    EXPECT_EQ(0xFFFFu, RGBToPixelFromInfo(0xFFFFFF, &rgb565));
    EXPECT_EQ(0x7FFFu, RGBToPixelFromInfo(0xFFFFFF, &rgb555));
    EXPECT_EQ(0x7C00u, RGBToPixelFromInfo(RGB(255, 0, 0), &rgb555));
    EXPECT_EQ(0x563412u, RGBToPixelFromInfo(RGB(0x56, 0x34, 0x12), &rgb888));
    EXPECT_EQ(RGB(0x56, 0x34, 0x12), PixelToRGBFromInfo(0x563412, &rgb888));
    // Truncating division: 5-6-5 red 1 becomes 8 and then 0 again.
    EXPECT_EQ(RGB(8, 0, 0), PixelToRGBFromInfo(1u << 11, &rgb565));
    EXPECT_EQ(0u, RGBToPixelFromInfo(RGB(8, 0, 0), &rgb565));

    DDPIXELFORMAT pf;
    std::memset(&pf, 0, sizeof(pf));
    pf.dwRBitMask = 0xF800;
    pf.dwGBitMask = 0x07E0;
    pf.dwBBitMask = 0x001F;
    EXPECT_EQ(0x0000FFu, PixelToRGB(0xF800, &pf));
    EXPECT_EQ(0xFFFFu, RGBToPixel(0xFFFFFF, &pf));
}

TEST_F(PixelFormat, FormatsWithoutMasksConvertToZeroWithoutFaulting) {
    // All maxima 0 and shifts 32, as an empty mask is recorded: no division
    // by zero and no shift by 32 (the sanitizer build checks both).
    CQNDXPixelFormatInfo none = {0, 0, 0, 32, 32, 32, 0};
    CQNDXPixelFormatInfo palette = {0, 0, 0, 0, 0, 0, 8};
    EXPECT_EQ(0u, PixelToRGBFromInfo(0xFFFFFFFF, &none));
    EXPECT_EQ(0u, RGBToPixelFromInfo(0xFFFFFF, &none));
    EXPECT_EQ(0u, PixelToRGBFromInfo(0x12, &palette));
    EXPECT_EQ(0u, RGBToPixelFromInfo(0x123456, &palette));
    DDPIXELFORMAT pf;
    std::memset(&pf, 0, sizeof(pf));
    EXPECT_EQ(0u, PixelToRGB(0xFFFF, &pf));
    EXPECT_EQ(0u, RGBToPixel(0xFFFFFF, &pf));
    // A channel in the top byte does not overflow.
    pf.dwRBitMask = 0xFF000000;
    EXPECT_EQ(0x0000FFu, PixelToRGB(0xFF000000, &pf));
    EXPECT_EQ(0xFF000000u, RGBToPixel(0x0000FF, &pf));
}

TEST_F(PixelFormat, MatchColorReadsWhatTheDriverStoresAndPutsThePixelBack) {
    StartEngine(16);
    CQNDXSurface* s = NewSurface(2, 2);
    Poke(s->GetDDSurface(), 0, 0, 0x1234);
    Poke(s->GetDDSurface(), 1, 0, 0xFFFF);
    EXPECT_EQ(0xF800u, MatchColor(s->GetDDSurface(), RGB(255, 0, 0)));
    EXPECT_EQ(0x1234u, Take(s->GetDDSurface()).At(0, 0));  // restored afterwards
    EXPECT_EQ(0x1234u, MatchColor(s->GetDDSurface(), CLR_INVALID));
    EXPECT_EQ(DD_OK, SetColorKeyRGB(s->GetDDSurface(), RGB(0, 0, 255)));
    DDCOLORKEY key;
    ASSERT_EQ(DD_OK, s->GetDDSurface()->GetColorKey(DDCKEY_SRCBLT, &key));
    EXPECT_EQ(0x001Fu, key.dwColorSpaceLowValue);
    qndx::sim::FailNext("IDirectDrawSurface7::Lock", 1, DDERR_GENERIC);
    EXPECT_EQ(CLR_INVALID, MatchColor(s->GetDDSurface(), RGB(1, 2, 3)));
    delete s;
    CQNDXVideoEngine::Destroy();

    StartEngine(32);
    s = NewSurface(1, 1);
    Poke(s->GetDDSurface(), 0, 0, 0xAB102030);
    EXPECT_EQ(0xAB102030u, MatchColor(s->GetDDSurface(), CLR_INVALID));
    delete s;
}

TEST_F(PixelFormat, CopyBytesCopiesAnyLengthAndAlignment) {
    unsigned char src[70], dst[70];
    for (int i = 0; i < 70; ++i) src[i] = static_cast<unsigned char>(i * 7 + 1);
    for (int offset = 0; offset < 4; ++offset)
        for (int count : {0, 1, 3, 15, 16, 17, 63}) {
            std::memset(dst, 0, sizeof(dst));
            EXPECT_EQ(dst + offset, CopyBytes(dst + offset, src + (3 - offset), count));
            EXPECT_EQ(0, std::memcmp(dst + offset, src + (3 - offset), count));
            EXPECT_EQ(0, dst[offset + count]);
        }
}

// A 3 x 2 24-bit BMP, bottom row first: top row red, green, blue; bottom
// row white, black, grey.
std::string WriteBmp() {
    const std::string path = qndx::test::MakeTempFile("qndx_gfx_bmp");
    std::string name = path + ".bmp";
    std::rename(path.c_str(), name.c_str());
    const int row = 12;  // 9 bytes and 3 of padding
    unsigned char file[54 + row * 2] = {};
    auto put32 = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i) file[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, sizeof(file));
    put32(10, 54);
    put32(14, 40);
    put32(18, 3);
    put32(22, 2);
    file[26] = 1;
    file[28] = 24;
    const unsigned char bottom[9] = {255, 255, 255, 0, 0, 0, 128, 128, 128};
    const unsigned char top[9] = {0, 0, 255, 0, 255, 0, 255, 0, 0};
    std::memcpy(file + 54, bottom, 9);
    std::memcpy(file + 54 + row, top, 9);
    std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(file), sizeof(file));
    return name;
}

TEST_F(PixelFormat, BitmapFilesLoadIntoSurfaces) {
    StartEngine(32);
    std::string name = WriteBmp();
    int w = 0, h = 0;
    IDirectDrawSurface7* s = LoadBitmapSurfaceGetSize(engine->GetDirectDraw(), name.c_str(), &w, &h);
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(3, w);
    EXPECT_EQ(2, h);
    Snapshot snap = Take(s);
    EXPECT_EQ(0xFF0000u, snap.At(0, 0) & 0xFFFFFF);
    EXPECT_EQ(0x00FF00u, snap.At(1, 0) & 0xFFFFFF);
    EXPECT_EQ(0x0000FFu, snap.At(2, 0) & 0xFFFFFF);
    EXPECT_EQ(0xFFFFFFu, snap.At(0, 1) & 0xFFFFFF);
    EXPECT_EQ(0x808080u, snap.At(2, 1) & 0xFFFFFF);

    // Reloading draws the file again over whatever the surface holds.
    FillBytes(s, 0);
    EXPECT_EQ(DD_OK, ReloadBitmap(s, name.c_str()));
    EXPECT_EQ(0x00FF00u, Take(s).At(1, 0) & 0xFFFFFF);
    s->Release();

    IDirectDrawSurface7* sized = LoadBitmapSurface(engine->GetDirectDraw(), name.c_str(), 6, 4);
    ASSERT_NE(nullptr, sized);
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof(d));
    d.dwSize = 124;
    sized->GetSurfaceDesc(&d);
    EXPECT_EQ(6u, d.dwWidth);
    EXPECT_EQ(4u, d.dwHeight);
    sized->Release();

    EXPECT_EQ(nullptr, LoadBitmapSurfaceGetSize(engine->GetDirectDraw(), "no_such.bmp", &w, &h));
    EXPECT_EQ(E_FAIL, ReloadBitmap(nullptr, name.c_str()));
    EXPECT_EQ(E_FAIL, CopyBitmapToSurface(nullptr, nullptr, 0, 0, 0, 0));
    std::remove(name.c_str());
}

TEST_F(PixelFormat, OffscreenSurfaceFromAGivenOrOwnDescription) {
    StartEngine(32);
    DDSURFACEDESC2 desc;
    IDirectDrawSurface7* s = CreateOffscreenSurface(engine->GetDirectDraw(), 5, 3, &desc);
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(5u, desc.dwWidth);
    EXPECT_EQ(DDSCAPS_OFFSCREENPLAIN, desc.ddsCaps.dwCaps & DDSCAPS_OFFSCREENPLAIN);
    s->Release();
    s = CreateOffscreenSurface(engine->GetDirectDraw(), 2, 2, nullptr);
    ASSERT_NE(nullptr, s);
    s->Release();
    qndx::sim::FailNext("IDirectDraw7::CreateSurface", 1, DDERR_OUTOFMEMORY);
    EXPECT_EQ(nullptr, CreateOffscreenSurface(engine->GetDirectDraw(), 2, 2, nullptr));
}

// ---- result names ----

TEST(ErrorNames, TableHasOneHundredDistinctRows) {
    ASSERT_EQ(100, DDErrorTableSize());
    std::set<std::string> names;
    std::set<HRESULT> codes;
    for (int i = 0; i < DDErrorTableSize(); ++i) {
        HRESULT code = DDErrorTableCode(i);
        names.insert(DDErrorName(code));
        codes.insert(code);
        EXPECT_STRNE("", DDErrorDescription(code));
    }
    EXPECT_EQ(100u, names.size());
    EXPECT_EQ(100u, codes.size());
    EXPECT_EQ(0u, names.count("**UNKNOWN**"));
}

TEST(ErrorNames, KnownAndUnknownCodes) {
    EXPECT_STREQ("DD_OK", DDErrorName(DD_OK));
    EXPECT_STREQ("The request completed successfully.", DDErrorDescription(DD_OK));
    EXPECT_STREQ("DDERR_SURFACELOST", DDErrorName(static_cast<HRESULT>(0x887601C2)));
    EXPECT_STREQ("DDERR_WASSTILLDRAWING", DDErrorName(static_cast<HRESULT>(0x8876021C)));
    EXPECT_STREQ("The previous blit operation that is transferring information to or from this surface is incomplete.",
                 DDErrorDescription(DDERR_WASSTILLDRAWING));
    EXPECT_STREQ("An attempt is made to unlock a surface that was not locked.", DDErrorDescription(DDERR_NOTLOCKED));
    EXPECT_STREQ("DDERR_INVALIDPARAMS", DDErrorName(E_INVALIDARG));
    EXPECT_STREQ("DDERR_OUTOFVIDEOMEMORY", DDErrorName(DDERR_OUTOFVIDEOMEMORY));
    EXPECT_STREQ("**UNKNOWN**", DDErrorName(0x12345));
    EXPECT_STREQ("Recieved an error not part of DirectX 5", DDErrorDescription(0x12345));
    EXPECT_EQ(E_FAIL, DDErrorTableCode(100));
}

// Every DDERR_ code the platform's DirectDraw and GDI sources return has a row.
TEST(ErrorNames, EveryCodeTheLayerUsesHasAName) {
    // The source tree: from the environment, else three folders above this file.
    std::string rootDir;
    if (const char* env = std::getenv("QNDX_SOURCE_DIR"))
        rootDir = env;
    else
        rootDir = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().parent_path().string();
    if (!std::filesystem::exists(rootDir + "/Platform/src/ddraw")) GTEST_SKIP() << "no source tree at " << rootDir;
    const char* root = rootDir.c_str();
    std::set<std::string> names;
    for (int i = 0; i < DDErrorTableSize(); ++i) names.insert(DDErrorName(DDErrorTableCode(i)));
    std::regex token("DDERR_[A-Z0-9_]+");
    int scanned = 0;
    for (const char* dir : {"/Platform/src/ddraw", "/Platform/src/gdi"}) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(std::string(root) + dir, ec)) {
            if (entry.path().extension() != ".cpp") continue;
            std::ifstream in(entry.path());
            std::stringstream text;
            text << in.rdbuf();
            std::string body = text.str();
            for (auto it = std::sregex_iterator(body.begin(), body.end(), token); it != std::sregex_iterator(); ++it) {
                ++scanned;
                EXPECT_EQ(1u, names.count(it->str()))
                    << it->str() << " used in " << entry.path().string() << " has no row";
            }
        }
    }
    EXPECT_GT(scanned, 0);
}

}  // namespace
}  // namespace qndx_test
