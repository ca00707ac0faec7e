// Raw loops: the effect loops (left-right mirror, keyed mirror, weighted and
// half alpha, translucent darkening) called directly on memory, without the
// public calls' frame (bench_calls times those), in the four pixel kinds at
// 64 x 64 and 800 x 600, each fast form beside its plain scalar form, memcpy
// of the same rows, and SDL's own blitter where it has the same operation
// (SDL_BlitSurface with a surface alpha for the weighted blend,
// SDL_BlitScaled beside the platform's nearest-neighbour stretch at twice the
// size). A summary follows the table: the reference's time over the loop's
// (higher is better).
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "TimesReporter.h"
#include "pixels/Pixels.h"

namespace fx = qndx::pixels;
namespace blit = qndx::pixels;
using fx::Effect;

namespace {

struct Size {
    int w, h;
};
const Size kSizes[] = {{64, 64}, {800, 600}};
const int kKinds[] = {15, 16, 24, 32};

struct Measured {
    const char* name;
    Effect effect;
};
const Measured kEffects[] = {
    {"mirror_lr", Effect::MirrorLeftRight},  {"mirror_lr_keyed", Effect::MirrorLeftRightKeyed},
    {"half_alpha", Effect::HalfAlpha},       {"alpha", Effect::Alpha},
    {"alpha_keyed", Effect::AlphaKeyed},     {"translucent", Effect::Translucent},
    {"half_translucent", Effect::HalfTranslucent},
};

Uint32 SdlFormat(int kind) {
    switch (kind) {
    case 15: return SDL_PIXELFORMAT_RGB555;
    case 16: return SDL_PIXELFORMAT_RGB565;
    case 24: return SDL_PIXELFORMAT_BGR24;
    default: return SDL_PIXELFORMAT_RGB888;
    }
}

uint32_t KeyFor(int kind) { return kind == 15 ? 0x1234 : kind == 16 ? 0xF81F : 0x00FF00FF; }

// Source and destination of one kind and size; a third of the source
// pixels carry the key.
struct Pair {
    SDL_Surface* src = nullptr;
    SDL_Surface* dst = nullptr;
    int kind = 0;

    Pair(int k, int w, int h, int dstScale = 1) : kind(k) {
        src = SDL_CreateRGBSurfaceWithFormat(0, w, h, 0, SdlFormat(k));
        dst = SDL_CreateRGBSurfaceWithFormat(0, w * dstScale, h * dstScale, 0, SdlFormat(k));
        if (!src || !dst) return;
        const int bpp = blit::BytesPerPixel(k);
        std::mt19937 rng(77);
        for (int y = 0; y < h; ++y) {
            uint8_t* row = static_cast<uint8_t*>(src->pixels) + y * src->pitch;
            for (int x = 0; x < w; ++x) {
                uint32_t v = (rng() % 3 == 0) ? KeyFor(k) : rng();
                std::memcpy(row + x * bpp, &v, bpp);
            }
        }
        std::memset(dst->pixels, 0x6B, static_cast<size_t>(dst->pitch) * dst->h);
    }
    ~Pair() {
        SDL_FreeSurface(src);
        SDL_FreeSurface(dst);
    }
    bool ok() const { return src && dst; }
    size_t Bytes() const { return static_cast<size_t>(src->w) * src->h * blit::BytesPerPixel(kind); }
    uint8_t* D() { return static_cast<uint8_t*>(dst->pixels); }
    const uint8_t* S() { return static_cast<const uint8_t*>(src->pixels); }
};

void Memcpy(benchmark::State& state, int kind, Size size) {
    Pair p(kind, size.w, size.h);
    if (!p.ok()) return state.SkipWithError("SDL surface");
    const size_t row = static_cast<size_t>(size.w) * blit::BytesPerPixel(kind);
    for (auto _ : state) {
        for (int y = 0; y < size.h; ++y) std::memcpy(p.D() + y * p.dst->pitch, p.S() + y * p.src->pitch, row);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.Bytes()));
}

void Loop(benchmark::State& state, Effect e, int kind, Size size, bool fast) {
    Pair p(kind, size.w, size.h);
    if (!p.ok()) return state.SkipWithError("SDL surface");
    fx::SetSimd(fast ? fx::BestSimd() : fx::Simd::None);
    const fx::EffectFn fn = fx::EffectFor(e, kind);
    fx::ResetSimd();
    const fx::EffectArgs args{100, KeyFor(kind)};
    for (auto _ : state) {
        fn(p.D(), p.dst->pitch, p.S(), p.src->pitch, size.w, size.h, args);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.Bytes()));
}

// SDL's blend with a constant surface alpha: the same work as the weighted blend.
void SdlAlpha(benchmark::State& state, int kind, Size size) {
    Pair p(kind, size.w, size.h);
    if (!p.ok()) return state.SkipWithError("SDL surface");
    SDL_SetSurfaceBlendMode(p.src, SDL_BLENDMODE_BLEND);
    SDL_SetSurfaceAlphaMod(p.src, 156);
    for (auto _ : state) {
        SDL_Rect r = {0, 0, size.w, size.h};
        SDL_BlitSurface(p.src, nullptr, p.dst, &r);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.Bytes()));
}

// Stretch to twice the size: the platform's loop and SDL's.
void PlatformStretch(benchmark::State& state, int kind, Size size) {
    Pair p(kind, size.w, size.h, 2);
    if (!p.ok()) return state.SkipWithError("SDL surface");
    qndx::pixels::StretchArgs a;
    a.srcW = size.w;
    a.srcH = size.h;
    a.dstW = a.x1 = size.w * 2;
    a.dstH = a.y1 = size.h * 2;
    for (auto _ : state) {
        qndx::pixels::Stretch(p.D(), p.dst->pitch, p.S(), p.src->pitch, kind, a);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.Bytes() * 4));
}

void SdlStretch(benchmark::State& state, int kind, Size size) {
    Pair p(kind, size.w, size.h, 2);
    if (!p.ok()) return state.SkipWithError("SDL surface");
    SDL_SetSurfaceBlendMode(p.src, SDL_BLENDMODE_NONE);
    for (auto _ : state) {
        SDL_Rect r = {0, 0, size.w * 2, size.h * 2};
        SDL_BlitScaled(p.src, nullptr, p.dst, &r);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.Bytes() * 4));
}

std::string Name(const std::string& what, int kind, Size size) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s/%d/%dx%d", what.c_str(), kind, size.w, size.h);
    return buf;
}

void PrintSummary(const qndx::bench::TimesReporter& t) {
    std::printf("\nRaw loops, ratios: the reference's time over the loop's\n");
    std::printf("%-10s %-5s %-18s %14s %14s\n", "size", "kind", "loop", "fast vs plain", "fast vs memcpy");
    for (Size s : kSizes)
        for (int k : kKinds) {
            char size[24];
            std::snprintf(size, sizeof size, "%dx%d", s.w, s.h);
            const std::string mem = Name("memcpy", k, s);
            if (!t.Ran(mem)) continue;  // filtered out of this run
            for (const Measured& m : kEffects) {
                const std::string fast = Name(m.name, k, s);
                std::printf("%-10s %-5d %-18s %14.2f %14.2f\n", size, k, m.name,
                            t.Ratio(fast, Name(std::string(m.name) + "_plain", k, s)), t.Ratio(fast, mem));
            }
            std::printf("%-10s %-5d %-18s %14s %14.2f   (SDL alpha blit / alpha)\n", size, k, "alpha vs SDL", "",
                        t.Ratio(Name("alpha", k, s), Name("sdl_alpha", k, s)));
            std::printf("%-10s %-5d %-18s %14s %14.2f   (SDL_BlitScaled / platform)\n", size, k, "stretch x2", "",
                        t.Ratio(Name("stretch_x2", k, s), Name("sdl_stretch_x2", k, s)));
        }
}

}  // namespace

int main(int argc, char** argv) {
    for (Size s : kSizes)
        for (int k : kKinds) {
            benchmark::RegisterBenchmark(Name("memcpy", k, s).c_str(), Memcpy, k, s);
            for (const Measured& m : kEffects) {
                benchmark::RegisterBenchmark(Name(m.name, k, s).c_str(), Loop, m.effect, k, s, true);
                benchmark::RegisterBenchmark(Name(std::string(m.name) + "_plain", k, s).c_str(), Loop, m.effect, k,
                                             s, false);
            }
            benchmark::RegisterBenchmark(Name("sdl_alpha", k, s).c_str(), SdlAlpha, k, s);
            benchmark::RegisterBenchmark(Name("stretch_x2", k, s).c_str(), PlatformStretch, k, s);
            benchmark::RegisterBenchmark(Name("sdl_stretch_x2", k, s).c_str(), SdlStretch, k, s);
        }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    std::printf("Raw loops: the engine's effect loops called directly on memory (no public call, no frame);\n"
                "a third of the source pixels keyed at random\n");
    qndx::bench::TimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
