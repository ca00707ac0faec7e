// The decoders on files written by another encoder: ImageMagick's `convert`
// makes each variant it can write that the engine reads (BMP, PCX, TGA, PNG,
// JPEG: depths, palettes, run-length coding, alpha), and the engine's pixels,
// drawn on 16- and 32-bit displays, are compared with ImageMagick's own
// decode of the same file. ImageMagick 6 writes TGA rows top first with the
// descriptor saying bottom first, and reads them back the same way; the
// engine follows the TGA standard, so TGA references are flipped. Files live
// in a temporary folder. Skipped, with the reason, without `convert`.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "GraphicEngine/ImageLoader/BMPImageLoader.h"
#include "GraphicEngine/ImageLoader/ImageLoader.h"
#include "GraphicEngine/ImageLoader/JPEGImageLoader.h"
#include "GraphicEngine/ImageLoader/PCXImageLoader.h"
#include "GraphicEngine/ImageLoader/PNGImageLoader.h"
#include "GraphicEngine/ImageLoader/TGAImageLoader.h"
#include "engine/images/LoaderTestSupport.h"
#include "platform/sim/Sim.h"
#include "support/Xvfb.h"
#include "support/TempDir.h"

namespace {

namespace ti = qndx::testimg;
namespace fs = std::filesystem;

const int kWidth = 29;  // odd: every depth has padded rows
const int kHeight = 17;

struct Variant {
    const char* name;
    int type;          // the engine's image type code
    const char* file;  // ImageMagick's format prefix and the file's name
    const char* options;
    int tolerance;  // per channel, for lossy files
};

// Palettes come from -colors without dithering: ImageMagick's -type palette
// and -type bilevel cost seconds each, even on a small picture.
const Variant kVariants[] = {
    {"BMP 24-bit", QNDX_IMAGE_BMP, "BMP3:t24.bmp", "-alpha off -type truecolor", 0},
    {"BMP 32-bit with alpha", QNDX_IMAGE_BMP, "BMP3:a32.bmp", "-define bmp3:alpha=true", 0},
    {"BMP 8-bit palette", QNDX_IMAGE_BMP, "BMP3:p8.bmp", "-alpha off -dither None -colors 256 -compress None", 0},
    {"BMP 8-bit RLE", QNDX_IMAGE_BMP, "BMP3:r8.bmp", "-alpha off -dither None -colors 256 -compress RLE", 0},
    {"BMP 4-bit palette", QNDX_IMAGE_BMP, "BMP3:p4.bmp", "-alpha off -dither None -colors 16 -compress None", 0},
    {"BMP 1-bit palette", QNDX_IMAGE_BMP, "BMP3:p1.bmp", "-alpha off -dither None -colors 2", 0},
    {"BMP 24-bit, version 5 header", QNDX_IMAGE_BMP, "BMP:v5t24.bmp", "-alpha off -type truecolor", 0},
    {"BMP 8-bit, version 5 header", QNDX_IMAGE_BMP, "BMP:v5p8.bmp",
     "-alpha off -dither None -colors 256 -compress None", 0},
    {"PCX 24-bit", QNDX_IMAGE_PCX, "PCX:t24.pcx", "-alpha off -type truecolor", 0},
    {"PCX 8-bit palette", QNDX_IMAGE_PCX, "PCX:p8.pcx", "-alpha off -dither None -colors 256", 0},
    {"PCX 16 colours", QNDX_IMAGE_PCX, "PCX:p16.pcx", "-alpha off -dither None -colors 16", 0},
    {"PCX grey", QNDX_IMAGE_PCX, "PCX:g8.pcx", "-alpha off -type grayscale", 0},
    {"TGA 24-bit", QNDX_IMAGE_TGA, "TGA:t24.tga", "-alpha off -type truecolor", 0},
    {"TGA 24-bit RLE", QNDX_IMAGE_TGA, "TGA:r24.tga", "-alpha off -type truecolor -compress RLE", 0},
    {"TGA 32-bit with alpha", QNDX_IMAGE_TGA, "TGA:a32.tga", "-type truecoloralpha", 0},
    {"TGA 32-bit RLE", QNDX_IMAGE_TGA, "TGA:r32.tga", "-type truecoloralpha -compress RLE", 0},
    {"TGA colour-mapped", QNDX_IMAGE_TGA, "TGA:p8.tga", "-alpha off -dither None -colors 256", 0},
    {"TGA colour-mapped RLE", QNDX_IMAGE_TGA, "TGA:rp8.tga", "-alpha off -dither None -colors 256 -compress RLE", 0},
    {"TGA grey", QNDX_IMAGE_TGA, "TGA:g8.tga", "-alpha off -type grayscale", 0},
    {"TGA grey RLE", QNDX_IMAGE_TGA, "TGA:rg8.tga", "-alpha off -type grayscale -compress RLE", 0},
    {"PNG RGB", QNDX_IMAGE_PNG, "PNG24:t24.png", "-alpha off", 0},
    {"PNG RGBA", QNDX_IMAGE_PNG, "PNG32:a32.png", "", 0},
    {"PNG 16-bit RGB", QNDX_IMAGE_PNG, "PNG48:t48.png", "-alpha off -depth 16", 0},
    {"PNG 16-bit RGBA", QNDX_IMAGE_PNG, "PNG64:a64.png", "-depth 16", 0},
    {"PNG palette", QNDX_IMAGE_PNG, "PNG8:p8.png", "-alpha off -dither None -colors 200", 0},
    {"PNG palette with transparency", QNDX_IMAGE_PNG, "PNG8:pt8.png", "-dither None -colors 200", 0},
    {"PNG 2-bit palette", QNDX_IMAGE_PNG, "PNG8:p2.png", "-alpha off -dither None -colors 4 -define png:bit-depth=2",
     0},
    {"PNG 1-bit palette", QNDX_IMAGE_PNG, "PNG8:p1.png", "-alpha off -dither None -colors 2 -define png:bit-depth=1",
     0},
    {"PNG grey", QNDX_IMAGE_PNG, "PNG:g8.png", "-alpha off -type grayscale", 0},
    // ImageMagick brings 16-bit grey down to 8 bits by truncating v * 255 /
    // 65535, at times one below libpng's high byte (the nearest value).
    {"PNG 16-bit grey", QNDX_IMAGE_PNG, "PNG:g16.png", "-alpha off -type grayscale -depth 16", 1},
    {"PNG 4-bit grey", QNDX_IMAGE_PNG, "PNG:g4.png", "-alpha off -type grayscale -depth 4", 0},
    {"PNG 2-bit grey", QNDX_IMAGE_PNG, "PNG:g2.png", "-alpha off -type grayscale -depth 2", 0},
    {"PNG 1-bit grey", QNDX_IMAGE_PNG, "PNG:g1.png", "-alpha off -type grayscale -depth 1", 0},
    {"PNG grey with alpha", QNDX_IMAGE_PNG, "PNG:ga8.png", "-type grayscalealpha", 0},
    {"PNG interlaced", QNDX_IMAGE_PNG, "PNG24:i24.png", "-alpha off -interlace PNG", 0},
    {"JPEG 4:2:0", QNDX_IMAGE_JPEG, "JPEG:b.jpg", "-alpha off -quality 90", 2},
    {"JPEG 4:4:4", QNDX_IMAGE_JPEG, "JPEG:s444.jpg", "-alpha off -quality 75 -sampling-factor 4:4:4", 2},
    {"JPEG progressive", QNDX_IMAGE_JPEG, "JPEG:p.jpg", "-alpha off -interlace JPEG", 2},
    {"JPEG grey", QNDX_IMAGE_JPEG, "JPEG:g.jpg", "-alpha off -type grayscale", 2},
};

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The source picture as RGBA: gradients, noise, and alpha of 255, 128 and 0
// (so that palette files get a transparency chunk).
std::vector<uint8_t> SourcePicture() {
    ti::Lcg rng(77);
    std::vector<uint8_t> rgba;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const uint32_t noise = rng.Next();
            rgba.push_back((uint8_t)(x * 255 / (kWidth - 1)));
            rgba.push_back((uint8_t)(y * 255 / (kHeight - 1) ^ (noise & 0x1F)));
            rgba.push_back((uint8_t)((x * 37 + y * 53) & 0xFF));
            rgba.push_back((x + 2 * y) % 7 == 0 ? 0 : (x + y) % 5 == 0 ? 128 : 255);
        }
    return rgba;
}

// Writes every variant and ImageMagick's decode of it ("<file>.rgb"), four
// conversions at a time; a variant that fails leaves its files missing.
void ConvertAll(const std::string& dir, const std::string& source) {
    const std::string jobs = dir + "/jobs.txt";
    {
        std::ofstream out(jobs);
        for (const Variant& v : kVariants) {
            const std::string spec = v.file, prefix = spec.substr(0, spec.find(':') + 1);
            const std::string path = dir + "/" + spec.substr(prefix.size());
            out << "MAGICK_THREAD_LIMIT=1 convert -size " << kWidth << "x" << kHeight << " -depth 8 rgba:'" << source
                << "' " << v.options << " " << prefix << "'" << path << "' && MAGICK_THREAD_LIMIT=1 convert '" << path
                << "' -alpha off -depth 8 rgb:'" << path << ".rgb'\n";
        }
    }
    std::system(("xargs -d '\\n' -n 1 -P 4 sh -c < '" + jobs + "' 2>/dev/null").c_str());
}

IDirectDrawSurface7* Decode(int type, IDirectDraw7* dd, const std::vector<uint8_t>& file) {
    ti::ExactCopy data(file);
    switch (type) {
        case QNDX_IMAGE_BMP:
            return CQNDXBMPImageLoader().Load(dd, data.Size(), data.Data());
        case QNDX_IMAGE_PCX:
            return CQNDXPCXImageLoader().Load(dd, data.Size(), data.Data());
        case QNDX_IMAGE_TGA:
            return CQNDXTGAImageLoader().Load(dd, data.Size(), data.Data());
        case QNDX_IMAGE_PNG:
            return CQNDXPNGImageLoader().Load(dd, data.Size(), data.Data());
        case QNDX_IMAGE_JPEG:
            return CQNDXJPEGImageLoader().Load(dd, data.Size(), data.Data());
        default:
            return nullptr;
    }
}

// Every pixel against the reference: exactly, or within the tolerance per
// channel (plus one step of a 5- or 6-bit channel, where the two decodes may
// fall either side of a step). Reports the first few differences.
void Compare(const ti::SurfacePixels& got, const ti::Image& want, int tolerance, const std::string& what) {
    ASSERT_EQ(want.width, got.width) << what;
    ASSERT_EQ(want.height, got.height) << what;
    const int slack = tolerance == 0 ? 0 : tolerance + (got.bpp == 32 ? 0 : 8);
    int bad = 0;
    for (int y = 0; y < want.height; ++y)
        for (int x = 0; x < want.width; ++x) {
            const uint32_t expected = ti::NativeOf(got.bpp, want.At(x, y));
            const uint32_t a = ti::ColourOf(got.bpp, got.At(x, y)), b = ti::ColourOf(got.bpp, expected);
            int worst = 0;
            for (int s = 0; s < 24; s += 8)
                worst = std::max(worst, std::abs((int)((a >> s) & 0xFF) - (int)((b >> s) & 0xFF)));
            if (worst > slack && bad++ < 4)
                ADD_FAILURE() << what << ": pixel " << x << "," << y << " is 0x" << std::hex << got.At(x, y)
                              << ", ImageMagick's decode gives 0x" << expected << std::dec << " (off by " << worst
                              << ")";
        }
}

TEST(ForeignEncoder, ImageMagickFilesDecodeAsImageMagickReadsThem) {
    if (!qndx::test::OnPath("convert")) GTEST_SKIP() << "ImageMagick's convert is not installed";
    qndx::test::TempDir dir("qndx-foreign");
    ASSERT_FALSE(dir.path().empty());
    const std::string source = dir.path() + "/source.rgba";
    {
        const std::vector<uint8_t> rgba = SourcePicture();
        std::ofstream(source, std::ios::binary).write(reinterpret_cast<const char*>(rgba.data()), (long)rgba.size());
    }
    ConvertAll(dir.path(), source);
    for (const Variant& v : kVariants) {
        const std::string spec = v.file, path = dir.path() + "/" + spec.substr(spec.find(':') + 1);
        const std::vector<uint8_t> file = ReadFile(path), rgb = ReadFile(path + ".rgb");
        ASSERT_FALSE(file.empty()) << v.name << ": convert could not write it";
        ASSERT_EQ((size_t)kWidth * kHeight * 3, rgb.size()) << v.name << ": convert's decode";
        ti::Image want;
        want.width = kWidth;
        want.height = kHeight;
        for (int y = 0; y < kHeight; ++y) {
            const int row = v.type == QNDX_IMAGE_TGA ? kHeight - 1 - y : y;
            for (int x = 0; x < kWidth; ++x) {
                const uint8_t* p = &rgb[((size_t)row * kWidth + x) * 3];
                want.px.push_back(ti::Rgb(p[0], p[1], p[2]));
            }
        }
        // Detection finds each format by content; ImageMagick writes TGA
        // files without the footer that detection needs.
        ti::ExactCopy data(file);
        EXPECT_EQ(v.type == QNDX_IMAGE_TGA ? QNDX_IMAGE_UNKNOWN : v.type,
                  CQNDXImageLoader().DetectFormat(data.Size(), data.Data()))
            << v.name;
        for (int bpp : {16, 32}) {
            const std::string what = std::string(v.name) + " on a " + std::to_string(bpp) + "-bit display";
            ti::DisplayAt display(bpp);
            ti::ErrorLines errors;
            IDirectDrawSurface7* s = Decode(v.type, display.Get(), file);
            const std::vector<std::string> lines = errors.Take();
            EXPECT_TRUE(lines.empty()) << what << ": " << (lines.empty() ? "" : lines[0]);
            ASSERT_NE(nullptr, s) << what << " did not load";
            Compare(ti::ReadSurface(s), want, v.tolerance, what);
            EXPECT_EQ(0u, s->Release());
        }
    }
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

}  // namespace
