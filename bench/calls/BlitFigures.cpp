// The blit figures of one desktop format: every timed public call on the
// back buffer beside its peer on SDL surfaces of the same format and size,
// after a check that both produce the same picture (within the blends'
// rounding); then the statistics box's drawing, which has no peer.
#include <pixman.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "GameManager.h"
#include "GraphicEngine/Cache.h"
#include "GraphicEngine/Font.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/SurfaceIDAllocator.h"
#include "GraphicEngine/SurfaceManager.h"
#include "GraphicEngine/VideoEngine.h"
#include "calls/Figures.h"
#include "calls/Rounds.h"
#include "calls/Scene.h"

namespace qndx {
namespace bench {
namespace {

struct Size {
    int w, h;
};
const Size kSizes[] = {{8, 8}, {64, 64}, {256, 256}, {800, 600}};

// pixman's r8g8b8 is 0xRRGGBB in three bytes, lowest first: blue, green, red.
pixman_format_code_t PixmanFormatOf(int kind) {
    switch (kind) {
    case 15: return PIXMAN_x1r5g5b5;
    case 16: return PIXMAN_r5g6b5;
    case 24: return PIXMAN_r8g8b8;
    default: return PIXMAN_x8r8g8b8;
    }
}

bool Fail(std::string* why, const std::string& text) {
    *why = text;
    return false;
}

// A keyed sprite's opaque runs as plain copies: their pixels packed in
// order, and where each goes in a destination of the given pitch.
struct OpaqueRuns {
    struct Run {
        size_t to, from, n;  // bytes
    };
    std::vector<Run> runs;
    std::vector<uint8_t> pixels;

    // The runs of an SDL copy of the sprite (no RLE), whose pixels whose
    // compared bits equal `key` are transparent.
    void Scan(const SDL_Surface* s, Uint32 key, ptrdiff_t dstPitch) {
        const int bpp = s->format->BytesPerPixel;
        const Uint32 compared = bpp == 2 ? 0xFFFFu : 0xFFFFFFu;
        for (int y = 0; y < s->h; ++y) {
            const uint8_t* row = static_cast<const uint8_t*>(s->pixels) + static_cast<ptrdiff_t>(y) * s->pitch;
            auto opaque = [&](int x) {
                Uint32 v = 0;
                std::memcpy(&v, row + x * bpp, bpp);
                return (v & compared) != (key & compared);
            };
            for (int x = 0; x < s->w;) {
                if (!opaque(x)) {
                    ++x;
                    continue;
                }
                const int start = x;
                while (x < s->w && opaque(x)) ++x;
                const size_t n = static_cast<size_t>(x - start) * bpp;
                runs.push_back(Run{static_cast<size_t>(y * dstPitch + start * bpp), pixels.size(), n});
                pixels.insert(pixels.end(), row + start * bpp, row + x * bpp);
            }
        }
    }
};

// One sprite size on both sides: the engine's sprite and the half-size one
// the zoom draws, and the peers' sources, each set up the way its peer runs
// fastest (the settings live on the SDL surface).
struct SizeSet {
    Size size{};
    CQNDXSurface* sprite = nullptr;
    CQNDXSurface* half = nullptr;
    CQNDXSurface* ellipse = nullptr;   // one opaque run a row; none at 8 x 8
    SDL_Surface* plain = nullptr;      // no key, no blending
    SDL_Surface* keyed = nullptr;      // colour key with RLE
    SDL_Surface* keyedEllipse = nullptr;  // the ellipse, colour key with RLE
    SDL_Surface* alpha = nullptr;      // blend, alpha mod kSdlAlphaMod
    SDL_Surface* halfAlpha = nullptr;  // blend, alpha mod 128
    SDL_Surface* black = nullptr;      // all black, blend, alpha mod kSdlDarkenMod
    SDL_Surface* zoomSrc = nullptr;    // the half-size sprite, no key, no blending
    pixman_image_t* mirrorSrc = nullptr;
    OpaqueRuns spriteRuns, ellipseRuns;

    ~SizeSet() {
        for (SDL_Surface* s : {plain, keyed, keyedEllipse, alpha, halfAlpha, black, zoomSrc}) SDL_FreeSurface(s);
        if (mirrorSrc) pixman_image_unref(mirrorSrc);
        delete sprite;
        delete half;
        delete ellipse;
    }
};

class BlitBench {
public:
    BlitBench(CQNDXVideoEngine* ve, int kind, const Options& opt, FILE* out)
        : m_ve(ve), m_back(ve->GetBackBuffer()), m_kind(kind), m_format(SdlFormatOf(kind)), m_opt(opt), m_out(out) {}
    ~BlitBench() {
        if (m_pixDst) pixman_image_unref(m_pixDst);
        SDL_FreeSurface(m_dst);
        SDL_FreeSurface(m_background);
        SDL_FreeSurface(m_result);
    }

    bool SetUp(std::string* why) {
        m_background = MakeBackground(m_format);
        m_dst = SDL_CreateRGBSurfaceWithFormat(0, kScreenW, kScreenH, 0, m_format);
        if (!m_background || !m_dst) return Fail(why, "SDL surfaces");
        m_pixDst = pixman_image_create_bits(PixmanFormatOf(m_kind), kScreenW, kScreenH,
                                            static_cast<uint32_t*>(m_dst->pixels), m_dst->pitch);
        // The back buffer must be what the peers' destination is.
        DDSURFACEDESC2 d{};
        if (m_back->Lock() >= 0) {
            m_back->GetSurfaceDesc(&d);
            m_back->Unlock();
        }
        const SDL_PixelFormat* f = m_dst->format;
        if (d.ddpfPixelFormat.dwRBitMask != f->Rmask || d.ddpfPixelFormat.dwGBitMask != f->Gmask ||
            d.ddpfPixelFormat.dwBBitMask != f->Bmask || m_back->GetWidth() != kScreenW) {
            *why = "the back buffer's format is not SDL's " + std::string(SDL_GetPixelFormatName(m_format));
            return false;
        }
        if (!m_ve->GetBackBufferHwFlag()) {
            *why = "the back buffer is not in video memory";
            return false;
        }
        return m_pixDst != nullptr || Fail(why, "pixman destination");
    }

    bool MakeSizeSet(Size size, SizeSet* set, std::string* why) {
        set->size = size;
        set->sprite = LoadSprite(m_ve, size.w, size.h, why);
        set->half = set->sprite ? LoadSprite(m_ve, size.w / 2, size.h / 2, why) : nullptr;
        if (!set->sprite || !set->half) return false;
        if (size.w > 8) {
            set->ellipse = LoadSprite(m_ve, size.w, size.h, why, true);
            if (!set->ellipse) return false;
        }
        // A game's first blits onto the back buffer put its sprites into the
        // cache's video memory; every timed call reads them from there.
        for (CQNDXSurface* s : {set->sprite, set->half, set->ellipse}) {
            if (!s) continue;
            s->Blit(m_back, 0, 0, nullptr, TRUE);
            if (!m_ve->GetCache() || !m_ve->GetCache()->IsCached(s)) {
                *why = "a sprite drawn onto the back buffer was not cached";
                return false;
            }
        }
        set->plain = CopyToSdl(set->sprite, m_format);
        set->keyed = CopyToSdl(set->sprite, m_format);
        set->alpha = CopyToSdl(set->sprite, m_format);
        set->halfAlpha = CopyToSdl(set->sprite, m_format);
        set->black = SDL_CreateRGBSurfaceWithFormat(0, size.w, size.h, 0, m_format);
        set->zoomSrc = CopyToSdl(set->half, m_format);
        for (SDL_Surface* s : {set->plain, set->keyed, set->alpha, set->halfAlpha, set->black, set->zoomSrc})
            if (!s) return Fail(why, "SDL copies of a sprite");
        SDL_SetSurfaceBlendMode(set->plain, SDL_BLENDMODE_NONE);
        SDL_SetSurfaceBlendMode(set->zoomSrc, SDL_BLENDMODE_NONE);
        const Uint32 key = SDL_MapRGB(set->plain->format, 255, 0, 255);
        set->spriteRuns.Scan(set->plain, key, m_dst->pitch);
        SDL_SetSurfaceBlendMode(set->keyed, SDL_BLENDMODE_NONE);
        SDL_SetColorKey(set->keyed, SDL_TRUE | SDL_RLEACCEL, SDL_MapRGB(set->keyed->format, 255, 0, 255));
        if (!SDL_HasSurfaceRLE(set->keyed)) return Fail(why, "SDL did not take RLE on the keyed sprite");
        if (set->ellipse) {
            set->keyedEllipse = CopyToSdl(set->ellipse, m_format);
            if (!set->keyedEllipse) return Fail(why, "SDL copy of the ellipse");
            set->ellipseRuns.Scan(set->keyedEllipse, key, m_dst->pitch);
            SDL_SetSurfaceBlendMode(set->keyedEllipse, SDL_BLENDMODE_NONE);
            SDL_SetColorKey(set->keyedEllipse, SDL_TRUE | SDL_RLEACCEL,
                            SDL_MapRGB(set->keyedEllipse->format, 255, 0, 255));
            if (!SDL_HasSurfaceRLE(set->keyedEllipse)) return Fail(why, "SDL did not take RLE on the ellipse");
        }
        SDL_SetSurfaceBlendMode(set->alpha, SDL_BLENDMODE_BLEND);
        SDL_SetSurfaceAlphaMod(set->alpha, kSdlAlphaMod);
        SDL_SetSurfaceBlendMode(set->halfAlpha, SDL_BLENDMODE_BLEND);
        SDL_SetSurfaceAlphaMod(set->halfAlpha, 128);
        // The engine's translucent blit darkens the destination by a factor
        // and never reads the source's pixels. SDL has no such blit; of its
        // fitting calls (a modulating blit of a grey surface, a software
        // renderer's modulating or blending fill, a constant-alpha blend of
        // a black surface) the last is the fastest here, 2.5x to 25x the
        // others through its dedicated constant-alpha loops, and darkens
        // the same way: d * (255 - mod) / 255.
        SDL_FillRect(set->black, nullptr, 0);
        SDL_SetSurfaceBlendMode(set->black, SDL_BLENDMODE_BLEND);
        SDL_SetSurfaceAlphaMod(set->black, kSdlDarkenMod);

        set->mirrorSrc = pixman_image_create_bits(PixmanFormatOf(m_kind), size.w, size.h,
                                                  static_cast<uint32_t*>(set->plain->pixels), set->plain->pitch);
        if (!set->mirrorSrc) return Fail(why, "pixman source");
        pixman_transform_t flip;
        pixman_transform_init_identity(&flip);
        flip.matrix[0][0] = -pixman_fixed_1;
        flip.matrix[0][2] = pixman_int_to_fixed(size.w);
        pixman_image_set_transform(set->mirrorSrc, &flip);
        pixman_image_set_filter(set->mirrorSrc, PIXMAN_FILTER_NEAREST, nullptr, 0);
        return true;
    }

    // The public call a game makes; its result.
    int Project(Op op, const SizeSet& s) {
        switch (op) {
        case Op::Plain: return s.sprite->Blit(m_back, 0, 0, nullptr, FALSE);
        case Op::Keyed: return s.sprite->Blit(m_back, 0, 0, nullptr, TRUE);
        case Op::KeyedEllipse: return s.ellipse->Blit(m_back, 0, 0, nullptr, TRUE);
        case Op::Alpha: return s.sprite->BlitAlpha(m_back, 0, 0, nullptr, kAlphaWeight, FALSE);
        case Op::HalfAlpha: return s.sprite->BlitAlpha(m_back, 0, 0, nullptr, 127, FALSE);
        case Op::Translucent: return s.sprite->BlitTranslucent(m_back, 0, 0, nullptr, kTranslucentValue, FALSE);
        case Op::MirrorLeftRight: return s.sprite->BlitMirrorLeftRight(m_back, 0, 0, nullptr, FALSE);
        case Op::Zoom2:
            // Centred where the unscaled half-size sprite would be: the
            // doubled picture covers (0, 0, w, h).
            return s.half->BlitScaled(m_back, s.half->GetWidth() / 2, s.half->GetHeight() / 2, nullptr, 2.0f, FALSE);
        default: return -1;
        }
    }

    int Peer(Op op, const SizeSet& s) {
        SDL_Rect at = {0, 0, s.size.w, s.size.h};
        switch (op) {
        case Op::Plain: return SDL_BlitSurface(s.plain, nullptr, m_dst, &at);
        case Op::Keyed: return SDL_BlitSurface(s.keyed, nullptr, m_dst, &at);
        case Op::KeyedEllipse: return SDL_BlitSurface(s.keyedEllipse, nullptr, m_dst, &at);
        case Op::Alpha: return SDL_BlitSurface(s.alpha, nullptr, m_dst, &at);
        case Op::HalfAlpha: return SDL_BlitSurface(s.halfAlpha, nullptr, m_dst, &at);
        case Op::Translucent: return SDL_BlitSurface(s.black, nullptr, m_dst, &at);
        case Op::MirrorLeftRight:
            pixman_image_composite32(PIXMAN_OP_SRC, s.mirrorSrc, nullptr, m_pixDst, 0, 0, 0, 0, 0, 0, s.size.w,
                                     s.size.h);
            return 0;
        case Op::Zoom2: return SDL_BlitScaled(s.zoomSrc, nullptr, m_dst, &at);
        default: return -1;
        }
    }

    // Both sides once from the same background: the same picture (exactly
    // for copies; the blends round differently, by up to 2 in a channel's
    // own units), and a visible change, so no timed call is a no-op.
    bool Check(Op op, const SizeSet& s, std::string* why) {
        if (!CopyFromSdl(m_background, m_back) || SDL_BlitSurface(m_background, nullptr, m_dst, nullptr) != 0)
            return Fail(why, "resetting the destinations");
        const int rp = Project(op, s);
        const int rs = Peer(op, s);
        if (rp != 0 || rs != 0) {
            *why = "results " + std::to_string(rp) + " (project) and " + std::to_string(rs) + " (peer)";
            return false;
        }
        // SDL encodes the runs at the first blit; without them the peer is not at its best.
        const SDL_Surface* rle = op == Op::Keyed ? s.keyed : op == Op::KeyedEllipse ? s.keyedEllipse : nullptr;
        if (rle && !(rle->flags & SDL_RLEACCEL)) return Fail(why, "SDL blitted the sprite without RLE");
        SDL_FreeSurface(m_result);
        m_result = CopyToSdl(m_back, m_format);
        if (!m_result) return Fail(why, "reading the back buffer");
        const Comparison c = Compare(m_result, m_dst, m_background, s.size.w, s.size.h);
        const bool blend = op == Op::Alpha || op == Op::HalfAlpha || op == Op::Translucent;
        const int slack = blend ? 2 : 0;
        const long area = static_cast<long>(s.size.w) * s.size.h;
        if (c.maxDiff > slack || c.changed * 4 < area) {
            *why = "largest channel difference " + std::to_string(c.maxDiff) + " (allowed " + std::to_string(slack) +
                   "), " + std::to_string(c.changed) + " of " + std::to_string(area) + " pixels changed";
            return false;
        }
        return true;
    }

    bool Run() {
        bool ok = true;
        for (Size size : kSizes) {
            if (m_opt.size && size.w != m_opt.size) continue;
            SizeSet set;
            std::string why;
            if (!MakeSizeSet(size, &set, &why)) {
                std::fprintf(stderr, "bench_calls %d bpp %dx%d: %s\n", m_kind, size.w, size.h, why.c_str());
                return false;
            }
            for (int i = 0; i < static_cast<int>(Op::Count); ++i) {
                const Op op = static_cast<Op>(i);
                if (op == Op::KeyedEllipse && !set.ellipse) continue;
                if (!m_opt.only.empty() && std::string(Info(op).call).find(m_opt.only) == std::string::npos) continue;
                BlitFigure f;
                f.op = i;
                f.w = size.w;
                f.h = size.h;
                f.bpp = m_kind;
                f.checked = Check(op, set, &why) ? 1 : 0;
                if (!f.checked) {
                    std::fprintf(stderr, "bench_calls %d bpp %dx%d %s: check failed: %s\n", m_kind, size.w, size.h,
                                 Info(op).call, why.c_str());
                    ok = false;
                }
                auto project = [&] { Project(op, set); };
                auto peer = [&] { Peer(op, set); };
                const SidePair t = AlternateRounds(project, peer, m_opt.reps, m_opt.roundSeconds, Clock::Thread);
                f.project = t.project;
                f.peer = t.peer;
                Write(m_out, f);
                if ((op == Op::Keyed || op == Op::KeyedEllipse) && size.w > 8)
                    Write(m_out, Memcpy(op, op == Op::Keyed ? set.spriteRuns : set.ellipseRuns, size));
                std::fflush(m_out);
            }
        }
        return ok;
    }

    // memcpy of a keyed sprite's opaque bytes onto the back buffer's memory:
    // run by run onto the rows the blit writes, and as one block.
    MemcpyFigure Memcpy(Op op, const OpaqueRuns& r, Size size) {
        MemcpyFigure f;
        f.op = static_cast<int>(op);
        f.w = size.w;
        f.h = size.h;
        f.bpp = m_kind;
        if (m_back->Lock() < 0 || !m_back->GetBits()) return f;
        uint8_t* bits = static_cast<uint8_t*>(m_back->GetBits());
        const bool samePitch = m_back->GetPitch() == m_dst->pitch;
        auto runs = [&] {
            for (const OpaqueRuns::Run& run : r.runs) std::memcpy(bits + run.to, r.pixels.data() + run.from, run.n);
        };
        auto whole = [&] { std::memcpy(bits, r.pixels.data(), r.pixels.size()); };
        if (samePitch) {
            f.runs = MedianRounds(runs, m_opt.reps, m_opt.roundSeconds, Clock::Thread);
            f.whole = MedianRounds(whole, m_opt.reps, m_opt.roundSeconds, Clock::Thread);
        }
        m_back->Unlock();
        return f;
    }

    // The statistics box as the present draws it each frame: the overlay's
    // lines formatted from the same queries, measured with the default font,
    // the half-dark box behind them and the eight lines of text.
    void StatisticsBox(bool withText) {
        CQNDXGameManager* gm = CQNDXGameManager::GetInstance();
        CQNDXFont* font = m_ve->GetDefaultFont();
        char lines[8][32];
        int widest = 0;
        if (withText) {
            const int cpu = gm ? gm->GetCachedCPUFeatures() : 0;
            std::snprintf(lines[0], 32, "%s Version: %s  build% d", "QNDX", "0.57", 1);
            std::snprintf(lines[1], 32, "Video Mode: %dx%dx%d", m_ve->GetWidth(), m_ve->GetHeight(),
                          m_ve->GetBitsPerPixel());
            std::snprintf(lines[2], 32, "Free VMem: %d KB", static_cast<int>(m_ve->GetFreeVideoMemory() >> 10));
            std::snprintf(lines[3], 32, "Total VMem: %d KB", static_cast<int>(m_ve->GetTotalVideoMemory() >> 10));
            std::snprintf(lines[4], 32, "HTC support: %s", "Yes");
            std::snprintf(lines[5], 32, "CPU Ext: %s %s %s", (cpu & 1) ? "MMX" : "", (cpu & 2) ? "3DNow" : "",
                          (cpu & 4) ? "KNI" : "");
            std::snprintf(lines[6], 32, "Sur: %d  Cache: %d Max: %d", m_ve->GetSurfaceManager()->GetCount(),
                          m_ve->GetCache()->GetNumCached(), g_iMaxSurfaces);
            std::snprintf(lines[7], 32, "FPS = %d", 60);
            for (const char* text : lines) {
                SIZE extent = {0, 0};
                if (font && font->GetTextExtent(m_back, text, -1, &extent) && extent.cx > widest) widest = extent.cx;
            }
        } else {
            widest = m_boxWidest;
        }
        m_back->BlendRect(5, 2, 5 + widest + 8, 2 + 7 * 10 + 14, 127, 0);
        if (!withText) return;
        for (int i = 0; i < 7; ++i) m_back->DrawText(9, 2 + 10 * i, lines[i], -1);
        m_back->DrawText(9, 72, lines[7], -1);
        m_boxWidest = widest;
    }

    void Box() {
        StatisticsBox(true);  // learns the box's width
        auto rect = [&] { StatisticsBox(false); };
        auto box = [&] { StatisticsBox(true); };
        BoxFigure f;
        f.bpp = m_kind;
        f.blendRect = MedianRounds(rect, m_opt.reps, m_opt.roundSeconds, Clock::Thread);
        f.box = MedianRounds(box, m_opt.reps, m_opt.roundSeconds, Clock::Thread);
        Write(m_out, f);
        std::fflush(m_out);
    }

private:
    CQNDXVideoEngine* m_ve;
    CQNDXSurface* m_back;
    int m_kind;
    Uint32 m_format;
    Options m_opt;
    FILE* m_out;
    SDL_Surface* m_background = nullptr;
    SDL_Surface* m_dst = nullptr;
    SDL_Surface* m_result = nullptr;
    pixman_image_t* m_pixDst = nullptr;
    int m_boxWidest = 0;
};

}  // namespace

int RunBlitFigures(int bpp, const Options& opt, FILE* out) {
    std::string why;
    CQNDXVideoEngine* ve = StartEngine(&why);
    if (!ve) {
        std::fprintf(stderr, "bench_calls %d bpp: %s\n", bpp, why.c_str());
        return 1;
    }
    const int kind = static_cast<int>(ve->GetBackBuffer()->GetPixelKind());
    if (kind != bpp) {
        std::fprintf(stderr, "bench_calls: asked for a %d bpp desktop, the back buffer is %d bpp\n", bpp, kind);
        return 1;
    }
    BlitBench bench(ve, kind, opt, out);
    if (!bench.SetUp(&why)) {
        std::fprintf(stderr, "bench_calls %d bpp: %s\n", bpp, why.c_str());
        return 1;
    }
    const bool ok = bench.Run();
    if (opt.only.empty()) bench.Box();
    return ok ? 0 : 1;
}

}  // namespace bench
}  // namespace qndx
