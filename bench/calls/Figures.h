// What the public-call benchmark measures and how its measuring processes
// report back: the timed operations with their peers, and one text line per
// figure written to the parent's pipe (a process holds one desktop format and
// one video driver, so each bpp and driver runs in a child of its own).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace qndx {
namespace bench {

enum class Op { Plain, Keyed, KeyedEllipse, Alpha, HalfAlpha, Translucent, MirrorLeftRight, Zoom2, Count };

struct OpInfo {
    const char* call;  // the public call as a game writes it
    const char* peer;  // the peer it is timed beside
};

// Weighted alpha: the engine's weight is the destination's share in 256ths,
// SDL's alpha mod the source's in 255ths; both give the source about 62 %.
constexpr int kAlphaWeight = 96;
constexpr int kSdlAlphaMod = 159;
// Translucent: the destination keeps 160/256 of each channel; SDL's blend of
// black keeps (255 - 96)/255 of it.
constexpr int kTranslucentValue = 160;
constexpr int kSdlDarkenMod = 96;

inline const OpInfo& Info(Op op) {
    static const OpInfo table[] = {
        {"Blit", "SDL_BlitSurface"},
        {"Blit keyed", "SDL colour key, RLE"},
        {"Blit keyed, ellipse", "SDL colour key, RLE"},
        {"BlitAlpha 96", "SDL blend, alpha mod 159"},
        {"BlitAlpha 127 (half)", "SDL blend, alpha mod 128"},
        {"BlitTranslucent 160", "SDL blend of black, mod 96"},
        {"BlitMirrorLeftRight", "pixman SRC, x-flip"},
        {"BlitScaled x2", "SDL_BlitScaled"},
    };
    return table[static_cast<int>(op)];
}

// One line per figure. Times are seconds per call (or per frame).
struct BlitFigure {
    int op = 0, w = 0, h = 0, bpp = 0;
    double project = 0, peer = 0;
    int checked = 0;  // 1 when the two results agreed once before timing
};
struct PresentFigure {
    int bpp = 0;
    double flip = 0, peer = 0;
    int checked = 0;
};
struct BoxFigure {
    int bpp = 0;
    double blendRect = 0, box = 0;
};
// The C library's memcpy on the bytes a keyed blit moves: the sprite's
// opaque runs, packed, onto the same rows of the back buffer run by run (as
// SDL's RLE copies them), and all of them as one memcpy.
struct MemcpyFigure {
    int op = 0, w = 0, h = 0, bpp = 0;
    double runs = 0, whole = 0;
};

inline void Write(FILE* out, const BlitFigure& f) {
    std::fprintf(out, "blit %d %d %d %d %.9g %.9g %d\n", f.op, f.w, f.h, f.bpp, f.project, f.peer, f.checked);
}
inline void Write(FILE* out, const PresentFigure& f) {
    std::fprintf(out, "present %d %.9g %.9g %d\n", f.bpp, f.flip, f.peer, f.checked);
}
inline void Write(FILE* out, const BoxFigure& f) {
    std::fprintf(out, "box %d %.9g %.9g\n", f.bpp, f.blendRect, f.box);
}
inline void Write(FILE* out, const MemcpyFigure& f) {
    std::fprintf(out, "memcpy %d %d %d %d %.9g %.9g\n", f.op, f.w, f.h, f.bpp, f.runs, f.whole);
}

struct Collected {
    std::vector<BlitFigure> blits;
    std::vector<PresentFigure> presents;
    std::vector<BoxFigure> boxes;
    std::vector<MemcpyFigure> memcpys;
};

// Reads one line; false for a line of no known kind.
inline bool Parse(const std::string& line, Collected* c) {
    BlitFigure b;
    if (std::sscanf(line.c_str(), "blit %d %d %d %d %lg %lg %d", &b.op, &b.w, &b.h, &b.bpp, &b.project, &b.peer,
                    &b.checked) == 7 &&
        b.op >= 0 && b.op < static_cast<int>(Op::Count)) {
        c->blits.push_back(b);
        return true;
    }
    PresentFigure p;
    if (std::sscanf(line.c_str(), "present %d %lg %lg %d", &p.bpp, &p.flip, &p.peer, &p.checked) == 4) {
        c->presents.push_back(p);
        return true;
    }
    BoxFigure x;
    if (std::sscanf(line.c_str(), "box %d %lg %lg", &x.bpp, &x.blendRect, &x.box) == 3) {
        c->boxes.push_back(x);
        return true;
    }
    MemcpyFigure m;
    if (std::sscanf(line.c_str(), "memcpy %d %d %d %d %lg %lg", &m.op, &m.w, &m.h, &m.bpp, &m.runs, &m.whole) == 6) {
        c->memcpys.push_back(m);
        return true;
    }
    return false;
}

struct Options {
    int reps = 9;               // rounds per side and figure
    double roundSeconds = 0.015;
    std::string only;           // when set, the blit calls whose name holds it, and no present
    int bpp = 0;                // when set, that desktop format alone
    int size = 0;               // when set, the sprites of that width alone (8, 64, 256, 800)
};

// The measuring children. Each writes its figures to `out` and returns the
// process's exit status (non-zero when a set-up or a check failed; the
// reason goes to stderr).
int RunBlitFigures(int bpp, const Options& opt, FILE* out);
int RunPresentFigures(int bpp, const Options& opt, FILE* out);

}  // namespace bench
}  // namespace qndx
