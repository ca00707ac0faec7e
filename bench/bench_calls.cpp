// The public calls as a game makes them, beside the best software peers.
//
// A game starts the engine with its game manager and CreateWindowed(800, 600,
// 0), loads sprites, keys them and draws them onto the back buffer with the
// CQNDXSurface Blit calls; once drawn there the sprites sit in the cache's
// video memory. This program does exactly that (SDL's dummy video driver,
// 15-, 16-, 24- and 32-bit desktops) and times each call beside its peer in
// the peer's fastest fitting configuration, on SDL surfaces of the same
// format, size and pixels: SDL_BlitSurface, SDL's colour key with RLE, SDL's
// constant-alpha blend, SDL_BlitScaled, pixman with a flip transform. The
// project's and the peer's rounds alternate; each figure is the median of its
// rounds. Before timing, both sides run once from the same background and
// must agree.
//
// A second table gives the cost of one call at 8 x 8 and the present's time
// per frame on a real X server (a private Xvfb at depth 24) beside an SDL
// blit plus SDL_UpdateWindowSurface of the same frame.
//
// Every ratio is the project's over the peer's, higher is better: project
// MPix/s over peer MPix/s, and the peer's time per call over the project's.
//
// Each desktop format and driver runs in a child process of its own (a
// process holds one); children work in a temporary folder, which the game
// manager fills with its folders and log, removed at the end.
//
//   bench_calls [--reps=N] [--round-ms=M] [--only=CALL] [--bpp=B] [--size=W]
//
// --only times the blit calls whose name holds CALL ("keyed") and skips the
// present; --bpp runs one desktop format; --size the sprites W pixels wide.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "calls/Figures.h"
#include "platform/sim/Kernel.h"
#include "support/Xvfb.h"

namespace qb = qndx::bench;

namespace {

const int kBpps[] = {15, 16, 24, 32};
const unsigned kChildSeconds = 900;

// Runs `body` in a child process inside `dir` with the given environment and
// collects the figures it writes; false when it failed or wrote nothing.
bool RunChild(const std::string& dir, const std::vector<std::pair<const char*, std::string>>& env,
              const std::function<int(FILE*)>& body, qb::Collected* all) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        close(fds[0]);
        alarm(kChildSeconds);  // a hung child ends instead of the whole run
        for (const auto& e : env) setenv(e.first, e.second.c_str(), 1);
        if (chdir(dir.c_str()) != 0) std::_Exit(2);
        qndx::sim::SetCommandLine("bench_calls.exe");
        FILE* out = fdopen(fds[1], "w");
        if (!out) std::_Exit(2);
        const int rc = body(out);
        std::fclose(out);
        std::exit(rc);
    }
    close(fds[1]);
    FILE* in = fdopen(fds[0], "r");
    size_t lines = 0;
    char buf[512];
    while (in && std::fgets(buf, sizeof buf, in))
        if (qb::Parse(buf, all)) ++lines;
    if (in) std::fclose(in);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && lines > 0;
}

std::string SizeText(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }

void PrintThroughput(const qb::Collected& c, const qb::Options& opt) {
    std::printf("\nPublic calls onto the back buffer (CreateWindowed 800x600, SDL dummy driver), sprites cached\n");
    std::printf("in video memory; MPix/s are medians of %d alternating rounds; ratio = project MPix/s / peer\n"
                "MPix/s. Zoom sizes are the drawn size (source half each way). Keyed rows: memcpy's rate\n"
                "on the same machine for the sprite's opaque bytes, in sprite MPix/s: run by run from\n"
                "the packed pixels onto the same back buffer rows (as SDL's RLE copies), and as one\n"
                "memcpy of all of them.\n\n",
                opt.reps);
    std::printf("%-21s %-27s %-8s %3s %13s %13s %6s %12s %12s\n", "operation", "peer", "size", "bpp",
                "project MPix/s", "peer MPix/s", "ratio", "memcpy runs", "memcpy whole");
    for (int op = 0; op < static_cast<int>(qb::Op::Count); ++op)
        for (int bpp : kBpps)
            for (const qb::BlitFigure& f : c.blits) {
                if (f.op != op || f.bpp != bpp) continue;
                const double px = static_cast<double>(f.w) * f.h / 1e6;
                std::string copies;
                for (const qb::MemcpyFigure& m : c.memcpys)
                    if (m.op == f.op && m.bpp == f.bpp && m.w == f.w && m.h == f.h && m.runs > 0 && m.whole > 0) {
                        char text[40];
                        std::snprintf(text, sizeof text, " %12.1f %12.1f", px / m.runs, px / m.whole);
                        copies = text;
                    }
                std::printf("%-21s %-27s %-8s %3d %13.1f %13.1f %6.2f%s%s\n", qb::Info(qb::Op(op)).call,
                            qb::Info(qb::Op(op)).peer, SizeText(f.w, f.h).c_str(), f.bpp, px / f.project,
                            px / f.peer, f.peer / f.project, copies.c_str(), f.checked ? "" : "  CHECK FAILED");
            }
}

void PrintCosts(const qb::Collected& c, const std::string& presentNote) {
    std::printf("\nCost per call at 8x8, and per frame of the present (medians; ratio = peer time / project\n"
                "time)\n\n");
    std::printf("%-26s %-31s %3s %12s %12s %6s\n", "operation", "peer", "bpp", "project", "peer", "ratio");
    for (int op = 0; op < static_cast<int>(qb::Op::Count); ++op)
        for (int bpp : kBpps)
            for (const qb::BlitFigure& f : c.blits) {
                if (f.op != op || f.bpp != bpp || f.w != 8) continue;
                std::printf("%-26s %-31s %3d %9.3f us %9.3f us %6.2f%s\n", qb::Info(qb::Op(op)).call,
                            qb::Info(qb::Op(op)).peer, f.bpp, f.project * 1e6, f.peer * 1e6, f.peer / f.project,
                            f.checked ? "" : "  CHECK FAILED");
            }
    if (!presentNote.empty()) std::printf("%s\n", presentNote.c_str());
    for (int bpp : kBpps)
        for (const qb::PresentFigure& f : c.presents) {
            if (f.bpp != bpp) continue;
            std::printf("%-26s %-31s %3d %9.3f ms %9.3f ms %6.2f%s\n", "Flip (Xvfb, overlay on)",
                        "SDL blit + UpdateWindowSurface", f.bpp, f.flip * 1e3, f.peer * 1e3, f.peer / f.flip,
                        f.checked ? "" : "  CHECK FAILED");
        }
    for (int bpp : kBpps)
        for (const qb::BoxFigure& f : c.boxes) {
            if (f.bpp != bpp) continue;
            std::printf("%-26s %-31s %3d %9.1f us\n", "statistics box BlendRect", "-", f.bpp, f.blendRect * 1e6);
            std::printf("%-26s %-31s %3d %9.1f us\n", "statistics box with text", "-", f.bpp, f.box * 1e6);
        }
}

bool ParseOptions(int argc, char** argv, qb::Options* opt) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--reps=", 7) == 0) {
            opt->reps = std::atoi(argv[i] + 7);
        } else if (std::strncmp(argv[i], "--round-ms=", 11) == 0) {
            opt->roundSeconds = std::atof(argv[i] + 11) / 1000.0;
        } else if (std::strncmp(argv[i], "--only=", 7) == 0) {
            opt->only = argv[i] + 7;
        } else if (std::strncmp(argv[i], "--bpp=", 6) == 0) {
            opt->bpp = std::atoi(argv[i] + 6);
        } else if (std::strncmp(argv[i], "--size=", 7) == 0) {
            opt->size = std::atoi(argv[i] + 7);
        } else {
            std::fprintf(stderr, "usage: bench_calls [--reps=N (at least 5)] [--round-ms=M] [--only=CALL] [--bpp=B] [--size=W]\n");
            return false;
        }
    }
    if (opt->reps < 5 || !(opt->roundSeconds > 0)) {
        std::fprintf(stderr, "bench_calls: at least 5 rounds, of a positive length\n");
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    qb::Options opt;
    if (!ParseOptions(argc, argv, &opt)) return 2;

    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qndx-bench-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("bench_calls: temporary folder");
        return 1;
    }
    const std::string dir = pattern;

    qb::Collected all;
    bool ok = true;
    for (int bpp : kBpps) {
        if (opt.bpp && bpp != opt.bpp) continue;
        const bool ran = RunChild(dir, {{"SDL_VIDEODRIVER", "dummy"}, {"SDL_AUDIODRIVER", "dummy"},
                                        {"QNDX_DESKTOP_BPP", std::to_string(bpp)}},
                                  [&](FILE* out) { return qb::RunBlitFigures(bpp, opt, out); }, &all);
        if (!ran) std::fprintf(stderr, "bench_calls: the %d bpp blit run failed\n", bpp);
        ok = ok && ran;
    }

    std::string presentNote;
    if (!opt.only.empty() || opt.bpp || opt.size) {
        presentNote = "(present skipped: --only, --bpp or --size)";
    } else if (!qndx::test::OnPath("Xvfb")) {
        presentNote = "(present skipped: Xvfb is not installed)";
    } else {
        qndx::test::Xvfb server;
        std::string why;
        if (!server.Start(&why, 24)) {
            presentNote = "(present skipped: " + why + ")";
        } else {
            for (int bpp : kBpps) {
                const bool ran = RunChild(dir, {{"SDL_VIDEODRIVER", "x11"}, {"SDL_AUDIODRIVER", "dummy"},
                                                {"DISPLAY", server.Display()},
                                                {"QNDX_DESKTOP_BPP", std::to_string(bpp)}},
                                          [&](FILE* out) { return qb::RunPresentFigures(bpp, opt, out); }, &all);
                if (!ran) std::fprintf(stderr, "bench_calls: the %d bpp present run failed\n", bpp);
                ok = ok && ran;
            }
        }
    }

    PrintThroughput(all, opt);
    PrintCosts(all, presentNote);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return ok ? 0 : 1;
}
