// Decoding an 800 x 600 picture into a surface through the image loader's
// BMP and JPEG decoders, beside SDL_LoadBMP_RW on the same BMP bytes and
// libjpeg-turbo alone on the same JPEG bytes, in one run. After the usual
// table a summary prints each loader beside its reference: the reference's
// time over the loader's (higher is better).
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "GraphicEngine/ImageLoader/BMPImageLoader.h"
#include "GraphicEngine/ImageLoader/JPEGImageLoader.h"
#include "TimesReporter.h"
#include "engine/images/TestImages.h"
#include "platform/DirectDraw.h"

namespace ti = qndx::testimg;

namespace {

const int kWidth = 800;
const int kHeight = 600;

struct Inputs {
    std::vector<uint8_t> bmp24;
    std::vector<uint8_t> bmp8;
    std::vector<uint8_t> jpeg444;
    std::vector<uint8_t> jpeg420;
    IDirectDraw7* dd = nullptr;
};

Inputs& Data() {
    static Inputs* in = [] {
        Inputs* d = new Inputs();
        ti::Image pic = ti::Pattern(kWidth, kHeight);
        d->bmp24 = ti::WriteBmpRgb(pic, 24);
        d->bmp8 = ti::WriteBmpIndexed(ti::IndexedPattern(kWidth, kHeight, 8, 256), 8);
        ti::Image smooth = ti::Smooth(kWidth, kHeight);
        ti::JpegOptions opt;
        opt.quality = 90;
        d->jpeg444 = ti::EncodeJpeg(smooth, opt);
        opt.subsample420 = true;
        d->jpeg420 = ti::EncodeJpeg(smooth, opt);
        if (DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&d->dd), IID_IDirectDraw7, nullptr) != DD_OK ||
            d->dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL) != DD_OK) {
            std::fprintf(stderr, "bench_images: no DirectDraw object\n");
            std::exit(1);
        }
        return d;
    }();
    return *in;
}

template <class Loader>
void LoaderDecode(benchmark::State& state, const std::vector<uint8_t>* file) {
    IDirectDraw7* dd = Data().dd;
    for (auto _ : state) {
        Loader loader;
        IDirectDrawSurface7* s = loader.Load(dd, (unsigned)file->size(), file->data());
        if (!s) {
            state.SkipWithError("the loader refused the picture");
            break;
        }
        s->Release();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * kWidth * kHeight * 4);
}

void SdlLoadBmp(benchmark::State& state, const std::vector<uint8_t>* file, bool convert) {
    for (auto _ : state) {
        SDL_Surface* s = SDL_LoadBMP_RW(SDL_RWFromConstMem(file->data(), (int)file->size()), 1);
        if (!s) {
            state.SkipWithError(SDL_GetError());
            break;
        }
        if (convert) {
            // To the display's format, as the loader's surface is.
            SDL_Surface* c = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_RGB888, 0);
            SDL_FreeSurface(c);
        }
        SDL_FreeSurface(s);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * kWidth * kHeight * 4);
}

void LibjpegAlone(benchmark::State& state, const std::vector<uint8_t>* file) {
    std::vector<uint8_t> out((size_t)kWidth * kHeight * 4);
    for (auto _ : state) {
        jpeg_decompress_struct d;
        jpeg_error_mgr err;
        d.err = jpeg_std_error(&err);
        jpeg_create_decompress(&d);
        jpeg_mem_src(&d, file->data(), (unsigned long)file->size());
        jpeg_read_header(&d, TRUE);
        d.out_color_space = JCS_EXT_BGRX;
        jpeg_start_decompress(&d);
        while (d.output_scanline < d.output_height) {
            JSAMPROW row = out.data() + (size_t)d.output_scanline * kWidth * 4;
            jpeg_read_scanlines(&d, &row, 1);
        }
        jpeg_finish_decompress(&d);
        jpeg_destroy_decompress(&d);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed((int64_t)state.iterations() * kWidth * kHeight * 4);
}

void PrintSummary(const qndx::bench::TimesReporter& t) {
    std::printf("\nLoaders beside their reference on the same bytes, the reference's time over the loader's:\n");
    const char* pairs[][2] = {
        {"loader/bmp24", "sdl/LoadBMP_RW/bmp24"},  {"loader/bmp24", "sdl/LoadBMP_RW+convert/bmp24"},
        {"loader/bmp8", "sdl/LoadBMP_RW+convert/bmp8"}, {"loader/jpeg444", "libjpeg/jpeg444"},
        {"loader/jpeg420", "libjpeg/jpeg420"},
    };
    for (const auto& p : pairs)
        if (t.Ran(p[0]) && t.Ran(p[1])) std::printf("  %-16s vs %-30s %6.2f\n", p[0], p[1], t.Ratio(p[0], p[1]));
}

}  // namespace

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    Inputs& in = Data();
    benchmark::RegisterBenchmark("loader/bmp24", LoaderDecode<CQNDXBMPImageLoader>, &in.bmp24);
    benchmark::RegisterBenchmark("sdl/LoadBMP_RW/bmp24", SdlLoadBmp, &in.bmp24, false);
    benchmark::RegisterBenchmark("sdl/LoadBMP_RW+convert/bmp24", SdlLoadBmp, &in.bmp24, true);
    benchmark::RegisterBenchmark("loader/bmp8", LoaderDecode<CQNDXBMPImageLoader>, &in.bmp8);
    benchmark::RegisterBenchmark("sdl/LoadBMP_RW+convert/bmp8", SdlLoadBmp, &in.bmp8, true);
    benchmark::RegisterBenchmark("loader/jpeg444", LoaderDecode<CQNDXJPEGImageLoader>, &in.jpeg444);
    benchmark::RegisterBenchmark("libjpeg/jpeg444", LibjpegAlone, &in.jpeg444);
    benchmark::RegisterBenchmark("loader/jpeg420", LoaderDecode<CQNDXJPEGImageLoader>, &in.jpeg420);
    benchmark::RegisterBenchmark("libjpeg/jpeg420", LibjpegAlone, &in.jpeg420);
    benchmark::Initialize(&argc, argv);
    qndx::bench::TimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintSummary(reporter);
    benchmark::Shutdown();
    in.dd->Release();
    return 0;
}
