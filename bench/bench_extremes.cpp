// The public drawing and clipping calls with numbers at the int limits, on a
// 64 x 64 surface of each pixel kind: circles, filled circles and rounded
// rectangles with radii of INT_MAX and INT_MIN, lines and anti-aliased lines
// spanning the int range, rectangles and fills, and blits at INT_MIN/INT_MAX
// positions and with source rectangles spanning the int range. Each call
// should cost what its visible pixels cost; beside them, a circle, a line
// and a blit of ordinary size on the same surface. A summary names the
// slowest call and fails the run when any takes a second or more.
#include <benchmark/benchmark.h>

#include <climits>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "GraphicEngine/Surface.h"
#include "GraphicEngine/VideoEngine.h"
#include "TimesReporter.h"
#include "platform/sim/Display.h"

namespace {

const int kKinds[] = {15, 16, 24, 32};
const int kSide = 64;

// The video engine without a game manager or display, as a game's surfaces
// see it: a DirectDraw object and the surface registry.
class Engine : public CQNDXVideoEngine {
public:
    static Engine* Install() {
        Engine* e = new Engine();
        ms_pInstance = e;
        return e;
    }
};

// The surfaces one pixel kind's cases draw on, made once per kind.
struct Surfaces {
    CQNDXSurface* dest = nullptr;
    CQNDXSurface* src = nullptr;
};

Surfaces g_surfaces;
int g_kind = 0;

void UseKind(int kind, Surfaces* s) {
    if (g_kind == kind) return;
    delete s->dest;
    delete s->src;
    if (CQNDXVideoEngine::Exists()) CQNDXVideoEngine::Destroy();
    qndx::sim::SetDesktop(1024, 768, static_cast<DWORD>(kind));
    Engine* engine = Engine::Install();
    engine->GetDirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    s->dest = new CQNDXSurface();
    s->src = new CQNDXSurface();
    s->dest->Create(engine, kSide, kSide);
    s->src->Create(engine, kSide / 2, kSide / 2);
    s->dest->Clear(0);
    s->src->Clear(0x1F);
    g_kind = kind;
}

struct Case {
    const char* name;
    std::function<int(CQNDXSurface* dest, CQNDXSurface* src)> call;
};

const RECT kAllInts = {INT_MIN, INT_MIN, INT_MAX, INT_MAX};
const RECT kWideLeft = {INT_MIN, 0, 20, 20};

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        // Ordinary sizes, for scale.
        {"DrawCircle(32,32,30)", [](CQNDXSurface* d, CQNDXSurface*) { return d->DrawCircle(32, 32, 30, 7); }},
        {"DrawLineAA(0,5,63,40)", [](CQNDXSurface* d, CQNDXSurface*) { return d->DrawLineAA(0, 5, 63, 40, 7); }},
        {"Blit(10,10)", [](CQNDXSurface* d, CQNDXSurface* s) { return s->Blit(d, 10, 10, nullptr, FALSE); }},
        // At the limits.
        {"DrawCircle(32,32,INT_MAX)", [](CQNDXSurface* d, CQNDXSurface*) { return d->DrawCircle(32, 32, INT_MAX, 7); }},
        {"DrawCircle(32,32,INT_MIN)", [](CQNDXSurface* d, CQNDXSurface*) { return d->DrawCircle(32, 32, INT_MIN, 7); }},
        {"DrawCircle(INT_MIN+40,32,INT_MAX)",
         [](CQNDXSurface* d, CQNDXSurface*) { return d->DrawCircle(INT_MIN + 40, 32, INT_MAX, 7); }},
        {"FillCircle(32,32,INT_MAX)", [](CQNDXSurface* d, CQNDXSurface*) { return d->FillCircle(32, 32, INT_MAX, 7); }},
        {"FillCircle(INT_MIN+40,32,INT_MAX)",
         [](CQNDXSurface* d, CQNDXSurface*) { return d->FillCircle(INT_MIN + 40, 32, INT_MAX, 7); }},
        {"DrawRoundRect(0,0,63,63,INT_MAX)",
         [](CQNDXSurface* d, CQNDXSurface*) { return d->DrawRoundRect(0, 0, 63, 63, INT_MAX, 7); }},
        {"DrawRoundRect(INT_MIN,INT_MIN,INT_MAX,INT_MAX,INT_MIN)",
         [](CQNDXSurface* d, CQNDXSurface*) { return d->DrawRoundRect(INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MIN, 7); }},
        {"DrawLineAA(INT_MIN,0,63,63)", [](CQNDXSurface* d, CQNDXSurface*) { return d->DrawLineAA(INT_MIN, 0, 63, 63, 7); }},
        {"DrawLineAA(INT_MIN,INT_MIN,INT_MAX,INT_MAX-1)",
         [](CQNDXSurface* d, CQNDXSurface*) { return d->DrawLineAA(INT_MIN, INT_MIN, INT_MAX, INT_MAX - 1, 7); }},
        {"DrawLineAA(0,INT_MIN,1,INT_MAX)", [](CQNDXSurface* d, CQNDXSurface*) { return d->DrawLineAA(0, INT_MIN, 1, INT_MAX, 7); }},
        {"DrawLine(INT_MIN,INT_MIN,INT_MAX,INT_MAX-7)",
         [](CQNDXSurface* d, CQNDXSurface*) { return d->DrawLine(INT_MIN, INT_MIN, INT_MAX, INT_MAX - 7, 7); }},
        {"DrawRect(INT_MIN,INT_MIN,INT_MAX,INT_MAX)",
         [](CQNDXSurface* d, CQNDXSurface*) { return d->DrawRect(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 7); }},
        {"FillRect(INT_MIN,INT_MIN,INT_MAX,INT_MAX)",
         [](CQNDXSurface* d, CQNDXSurface*) { return d->FillRect(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 7); }},
        {"BlendRect(INT_MIN,INT_MIN,INT_MAX,INT_MAX)",
         [](CQNDXSurface* d, CQNDXSurface*) { return d->BlendRect(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 100, 7); }},
        {"Blit(INT_MAX,INT_MAX)", [](CQNDXSurface* d, CQNDXSurface* s) { return s->Blit(d, INT_MAX, INT_MAX, nullptr, TRUE); }},
        {"Blit(INT_MIN,0,all ints)", [](CQNDXSurface* d, CQNDXSurface* s) { return s->Blit(d, INT_MIN, 0, &kAllInts, FALSE); }},
        {"BlitClipToSurface(0,0,wide left)",
         [](CQNDXSurface* d, CQNDXSurface* s) { return s->BlitClipToSurface(d, 0, 0, &kWideLeft, FALSE); }},
        {"BlitClipToSurface(INT_MAX,INT_MIN,all ints)",
         [](CQNDXSurface* d, CQNDXSurface* s) { return s->BlitClipToSurface(d, INT_MAX, INT_MIN, &kAllInts, FALSE); }},
        {"BlitMirrorLeftRight(INT_MIN,5,all ints)",
         [](CQNDXSurface* d, CQNDXSurface* s) { return s->BlitMirrorLeftRight(d, INT_MIN, 5, &kAllInts, FALSE); }},
        {"BlitAlpha(INT_MAX-5,5)", [](CQNDXSurface* d, CQNDXSurface* s) { return s->BlitAlpha(d, INT_MAX - 5, 5, nullptr, 90, FALSE); }},
        {"BlitStretched(INT_MIN,0,INT_MAX,64)",
         [](CQNDXSurface* d, CQNDXSurface* s) { return s->BlitStretched(d, INT_MIN, 0, nullptr, INT_MAX, 64, FALSE); }},
    };
    return cases;
}

void Run(benchmark::State& state, int kind, const Case* c) {
    UseKind(kind, &g_surfaces);
    for (auto _ : state) benchmark::DoNotOptimize(c->call(g_surfaces.dest, g_surfaces.src));
}

// The shared console table (colour only on a terminal), and each call's
// time in seconds.
class Collector : public qndx::bench::TimesReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (!r.error_occurred)
                seconds[r.benchmark_name()] = r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
        TimesReporter::ReportRuns(runs);
    }
    std::map<std::string, double> seconds;
};

}  // namespace

int main(int argc, char** argv) {
    for (int k : kKinds)
        for (const Case& c : Cases()) {
            const std::string name = std::string(c.name) + "/" + std::to_string(k);
            benchmark::RegisterBenchmark(name.c_str(), Run, k, &c)->Unit(benchmark::kMicrosecond);
        }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    std::printf("One call each, on a %d x %d surface of the pixel kind after the slash\n", kSide, kSide);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();
    delete g_surfaces.dest;
    delete g_surfaces.src;
    if (CQNDXVideoEngine::Exists()) CQNDXVideoEngine::Destroy();

    std::string slowest;
    double worst = 0;
    for (const auto& entry : collector.seconds)
        if (entry.second > worst) worst = entry.second, slowest = entry.first;
    std::printf("\nSlowest call: %s, %.1f us; limit 1 s: %s\n", slowest.c_str(), worst * 1e6,
                worst < 1.0 ? "every call within it" : "EXCEEDED");
    return worst < 1.0 ? 0 : 1;
}
