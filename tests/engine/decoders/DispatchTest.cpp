// The front end with the PNG, PCX and TGA decoders: detection of each by
// content, and loads by name from the program's graphics directory (with a
// game manager, in a child process since the manager lives once per process).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "GameManager.h"
#include "GraphicEngine/ImageLoader/ImageLoader.h"
#include "GraphicEngine/ImageLoader/PCXImageLoader.h"
#include "GraphicEngine/ImageLoader/PNGImageLoader.h"
#include "GraphicEngine/ImageLoader/TGAImageLoader.h"
#include "GraphicEngine/VideoEngine.h"
#include "engine/decoders/DecoderFiles.h"
#include "engine/images/LoaderTestSupport.h"
#include "platform/sim/Kernel.h"
#include "platform/sim/Sim.h"
#include "support/TempDir.h"

namespace {

namespace ti = qndx::testimg;
namespace fs = std::filesystem;

ti::PngPicture PngOf(const ti::Image& img) {
    ti::PngPicture p;
    p.width = img.width;
    p.height = img.height;
    for (uint32_t c : img.px) p.samples.insert(p.samples.end(), {ti::Red(c), ti::Green(c), ti::Blue(c)});
    return p;
}

ti::Image Picture() { return ti::Pattern(11, 6, 17); }

std::vector<uint8_t> TgaOf(const ti::Image& img, bool footer) {
    ti::TgaLayout l;
    l.footer = footer;
    return ti::WriteTga(img.width, img.height, img.px, l);
}

int Detect(const std::vector<uint8_t>& f) {
    ti::ExactCopy data(f);
    CQNDXImageLoader loader;
    return loader.DetectFormat(data.Size(), data.Data());
}

TEST(DecoderDispatch, GeneratedFilesAreDetectedByContent) {
    EXPECT_EQ(QNDX_IMAGE_PNG, Detect(ti::EncodePng(PngOf(Picture()))));
    EXPECT_EQ(QNDX_IMAGE_PCX, Detect(ti::WritePcx24(Picture())));
    EXPECT_EQ(QNDX_IMAGE_PCX, Detect(ti::WritePcx8(ti::IndexedPattern(4, 4, 8, 256))));
    EXPECT_EQ(QNDX_IMAGE_TGA, Detect(TgaOf(Picture(), true)));
    EXPECT_EQ(QNDX_IMAGE_UNKNOWN, Detect(TgaOf(Picture(), false)));
}

// Each decoder's ending: a failed surface creation, device context or drawing
// (and no DirectDraw object, or no data) is a failed load with one error line
// and no surface left behind.
template <class Decoder>
void ExpectPlatformFailuresRefused(const std::vector<uint8_t>& file, int bpp) {
    ti::DisplayAt display(bpp);
    for (const char* call : {"IDirectDraw7::CreateSurface", "IDirectDrawSurface7::GetDC", "StretchDIBits"}) {
        qndx::sim::FailNext(call, 1, E_FAIL);
        ti::ErrorLines errors;
        Decoder decoder;
        EXPECT_EQ(nullptr, decoder.Load(display.Get(), (unsigned)file.size(), file.data())) << call;
        EXPECT_EQ(1u, errors.Take().size()) << call;
        EXPECT_EQ(0, qndx::sim::PendingFaults(call)) << call;
        EXPECT_EQ(0, qndx::sim::LiveSurfaceCount()) << call;
    }
    ti::ErrorLines errors;
    Decoder decoder;
    EXPECT_EQ(nullptr, decoder.Load(nullptr, (unsigned)file.size(), file.data()));
    EXPECT_EQ(nullptr, decoder.Load(display.Get(), 0, nullptr));
    EXPECT_EQ(2u, errors.Take().size());
}

TEST(DecoderDispatch, PlatformFailuresGiveNoSurfaceAndAnErrorLine) {
    ExpectPlatformFailuresRefused<CQNDXPNGImageLoader>(ti::EncodePng(PngOf(Picture())), 32);
    ExpectPlatformFailuresRefused<CQNDXPCXImageLoader>(ti::WritePcx8(ti::IndexedPattern(5, 5, 8, 256)), 16);
    ExpectPlatformFailuresRefused<CQNDXTGAImageLoader>(TgaOf(Picture(), true), 24);
}

void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
}

bool Matches(IDirectDrawSurface7* s, const ti::Image& want) {
    ti::SurfacePixels px = ti::ReadSurface(s);
    if (px.width != want.width || px.height != want.height) return false;
    for (int y = 0; y < want.height; ++y)
        for (int x = 0; x < want.width; ++x)
            if (px.At(x, y) != ti::NativeOf(px.bpp, want.At(x, y))) return false;
    return true;
}

// Runs in the child: every failed check is printed, and the exit code says whether any failed.
void LoadByName(const std::string& dir, int bpp) {
    qndx::sim::SetDesktop(1024, 768, (DWORD)bpp);
    const std::string line = "\"" + dir + "/game.exe\"";
    qndx::sim::SetCommandLine(line.c_str());
    int failures = 0;
    auto check = [&failures](bool ok, const std::string& what) {
        if (!ok) {
            std::fprintf(stderr, "FAILED: %s\n", what.c_str());
            ++failures;
        }
    };
    CQNDXGameManager* manager = CQNDXGameManager::Create();
    IDirectDraw7* dd = manager && manager->GetVideoEngine() ? manager->GetVideoEngine()->GetDirectDraw() : nullptr;
    check(dd && dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL) == DD_OK, "a video engine with a windowed level");
    if (dd) {
        const struct {
            const char* name;
            int code;
        } files[] = {{"pic.png", QNDX_IMAGE_PNG}, {"pic.pcx", QNDX_IMAGE_PCX}, {"pic.tga", QNDX_IMAGE_TGA}};
        CQNDXImageLoader loader;
        for (const auto& f : files) {
            int type = 0;
            IDirectDrawSurface7* s = loader.LoadFromFile(f.name, &type);
            check(s != nullptr, std::string(f.name) + " loads");
            check(type == f.code, std::string(f.name) + " type written back");
            if (s) {
                check(Matches(s, Picture()), std::string(f.name) + " pixels");
                s->Release();
            }
        }
        // Without the footer only the caller's code finds the TGA decoder.
        int type = 0;
        check(loader.LoadFromFile("bare.tga", &type) == nullptr && type == 0, "bare TGA not detected");
        type = QNDX_IMAGE_TGA;
        IDirectDrawSurface7* s = loader.LoadFromFile("bare.tga", &type);
        check(s && Matches(s, Picture()), "bare TGA with code 4");
        if (s) s->Release();
    }
    std::fflush(stderr);
    std::_Exit(failures == 0 ? 0 : 1);
}

TEST(DecoderDispatch, SurfacesLoadByNameFromTheGraphicsDirectory) {
    const qndx::test::TempDir scratch("qndx-decoders");
    const std::string dir = scratch.path();
    ASSERT_FALSE(dir.empty());
    fs::create_directories(dir + "/graphics");
    Write(dir + "/graphics/pic.png", ti::EncodePng(PngOf(Picture())));
    Write(dir + "/graphics/pic.pcx", ti::WritePcx24(Picture()));
    Write(dir + "/graphics/pic.tga", TgaOf(Picture(), true));
    Write(dir + "/graphics/bare.tga", TgaOf(Picture(), false));
    for (int bpp : {16, 32}) {
        SCOPED_TRACE(bpp);
        EXPECT_EXIT(LoadByName(dir, bpp), ::testing::ExitedWithCode(0), "");
    }
    fs::remove_all(dir);
}

}  // namespace
