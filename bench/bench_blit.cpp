// Raw loops: the engine's software copy loops (plain and keyed, in the four
// pixel kinds, at 64 x 64 and 800 x 600) called directly on memory, without
// the public calls' frame (clipping, locks, cache, platform blit; bench_calls
// times those), beside memcpy of the same rows and SDL's own SDL_BlitSurface
// on the same surfaces. The keyed sources have a third of their pixels keyed
// at random and SDL runs without RLE: a loop stress, not sprite data. After
// the usual table a summary prints each loop beside memcpy and SDL as the
// reference's time over the loop's (higher is better).
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "TimesReporter.h"
#include "pixels/Pixels.h"

namespace blit = qndx::pixels;

namespace {

struct Size {
    int w, h;
};
const Size kSizes[] = {{64, 64}, {800, 600}};
const int kKinds[] = {15, 16, 24, 32};

Uint32 SdlFormat(int kind) {
    switch (kind) {
    case 15: return SDL_PIXELFORMAT_RGB555;
    case 16: return SDL_PIXELFORMAT_RGB565;
    case 24: return SDL_PIXELFORMAT_BGR24;  // bytes blue, green, red
    default: return SDL_PIXELFORMAT_RGB888;  // 0x00RRGGBB words
    }
}

// A source and destination pair of one kind and size, the source filled with
// random pixels of which about a third carry the key.
struct Pair {
    SDL_Surface* src = nullptr;
    SDL_Surface* dst = nullptr;
    uint32_t key = 0;
    int kind = 0;

    Pair(int k, int w, int h) : kind(k) {
        src = SDL_CreateRGBSurfaceWithFormat(0, w, h, 0, SdlFormat(k));
        dst = SDL_CreateRGBSurfaceWithFormat(0, w, h, 0, SdlFormat(k));
        if (!src || !dst) return;
        const int bpp = blit::BytesPerPixel(k);
        key = k == 15 ? 0x1234 : k == 16 ? 0xF81F : 0x00FF00FF;
        std::mt19937 rng(1234);
        for (int y = 0; y < h; ++y) {
            uint8_t* row = static_cast<uint8_t*>(src->pixels) + y * src->pitch;
            for (int x = 0; x < w; ++x) {
                uint32_t v = (rng() % 3 == 0) ? key : (rng() & (k == 15 ? 0x7FFF : k == 16 ? 0xFFFF : 0xFFFFFF));
                std::memcpy(row + x * bpp, &v, bpp);
            }
        }
        std::memset(dst->pixels, 0x40, static_cast<size_t>(dst->pitch) * h);
    }
    ~Pair() {
        SDL_FreeSurface(src);
        SDL_FreeSurface(dst);
    }
    bool ok() const { return src && dst; }
    size_t RowBytes() const { return static_cast<size_t>(src->w) * blit::BytesPerPixel(kind); }
    size_t Bytes() const { return RowBytes() * src->h; }
    uint8_t* D() { return static_cast<uint8_t*>(dst->pixels); }
    const uint8_t* S() { return static_cast<const uint8_t*>(src->pixels); }
};

void Memcpy(benchmark::State& state, int kind, Size size) {
    Pair p(kind, size.w, size.h);
    if (!p.ok()) return state.SkipWithError("SDL surface");
    for (auto _ : state) {
        for (int y = 0; y < size.h; ++y)
            std::memcpy(p.D() + y * p.dst->pitch, p.S() + y * p.src->pitch, p.RowBytes());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.Bytes()));
}

void QndxPlain(benchmark::State& state, int kind, Size size, bool fast) {
    Pair p(kind, size.w, size.h);
    if (!p.ok()) return state.SkipWithError("SDL surface");
    blit::SetSimd(fast ? blit::BestSimd() : blit::Simd::None);
    blit::CopyFn fn = blit::PlainCopy(kind);
    for (auto _ : state) {
        fn(p.D(), p.dst->pitch, p.S(), p.src->pitch, size.w, size.h);
        benchmark::ClobberMemory();
    }
    blit::ResetSimd();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.Bytes()));
}

void QndxKeyed(benchmark::State& state, int kind, Size size, bool fast) {
    Pair p(kind, size.w, size.h);
    if (!p.ok()) return state.SkipWithError("SDL surface");
    blit::SetSimd(fast ? blit::BestSimd() : blit::Simd::None);
    blit::KeyedFn fn = blit::KeyedCopy(kind);
    for (auto _ : state) {
        fn(p.D(), p.dst->pitch, p.S(), p.src->pitch, size.w, size.h, p.key);
        benchmark::ClobberMemory();
    }
    blit::ResetSimd();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.Bytes()));
}

void Sdl(benchmark::State& state, int kind, Size size, bool keyed) {
    Pair p(kind, size.w, size.h);
    if (!p.ok()) return state.SkipWithError("SDL surface");
    SDL_SetSurfaceBlendMode(p.src, SDL_BLENDMODE_NONE);
    if (keyed) SDL_SetColorKey(p.src, SDL_TRUE, p.key);
    for (auto _ : state) {
        SDL_Rect r = {0, 0, size.w, size.h};
        SDL_BlitSurface(p.src, nullptr, p.dst, &r);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.Bytes()));
}

std::string Name(const char* what, int kind, Size size) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s/%d/%dx%d", what, kind, size.w, size.h);
    return buf;
}

void PrintSummary(const qndx::bench::TimesReporter& t) {
    std::printf("\nRaw loops, ratios: the reference's time over the loop's\n");
    std::printf("%-12s %-6s %15s %15s %15s %15s %15s\n", "size", "kind", "plain vs memcpy", "plain vs SDL",
                "keyed vs SDLkey", "keyed vs memcpy", "keyed vs scalar");
    for (Size s : kSizes) {
        for (int k : kKinds) {
            const std::string plain = Name("qndx_plain", k, s), keyed = Name("qndx_keyed", k, s);
            char size[24];
            std::snprintf(size, sizeof size, "%dx%d", s.w, s.h);
            std::printf("%-12s %-6d %15.2f %15.2f %15.2f %15.2f %15.2f\n", size, k,
                        t.Ratio(plain, Name("memcpy", k, s)), t.Ratio(plain, Name("sdl_plain", k, s)),
                        t.Ratio(keyed, Name("sdl_keyed", k, s)), t.Ratio(keyed, Name("memcpy", k, s)),
                        t.Ratio(keyed, Name("qndx_keyed_scalar", k, s)));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    for (Size s : kSizes) {
        for (int k : kKinds) {
            benchmark::RegisterBenchmark(Name("memcpy", k, s).c_str(), Memcpy, k, s);
            benchmark::RegisterBenchmark(Name("qndx_plain", k, s).c_str(), QndxPlain, k, s, true);
            benchmark::RegisterBenchmark(Name("sdl_plain", k, s).c_str(), Sdl, k, s, false);
            benchmark::RegisterBenchmark(Name("qndx_keyed", k, s).c_str(), QndxKeyed, k, s, true);
            benchmark::RegisterBenchmark(Name("qndx_keyed_scalar", k, s).c_str(), QndxKeyed, k, s, false);
            benchmark::RegisterBenchmark(Name("sdl_keyed", k, s).c_str(), Sdl, k, s, true);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    std::printf("Raw loops: the engine's copy loops called directly on memory (no public call, no frame);\n"
                "random keyed pixels (a third), SDL's key without RLE\n");
    qndx::bench::TimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
