// The game side of the public-call benchmark (see Scene.h).
#include "calls/Scene.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "GameManager.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/VideoEngine.h"
#include "engine/images/TestImages.h"

namespace ti = qndx::testimg;

namespace qndx {
namespace bench {

CQNDXVideoEngine* StartEngine(std::string* why) {
    CQNDXGameManager* gm = CQNDXGameManager::Create();
    CQNDXVideoEngine* ve = gm ? gm->GetVideoEngine() : nullptr;
    if (!ve) {
        *why = "no game manager or video engine";
        return nullptr;
    }
    gm->Quit(0);
    const int rc = ve->CreateWindowed(kScreenW, kScreenH, 0);
    if (rc != 0 || !ve->GetBackBuffer()) {
        *why = "CreateWindowed(800, 600, 0) gave " + std::to_string(rc);
        return nullptr;
    }
    ve->SetWaitForVSync(false);
    return ve;
}

Uint32 SdlFormatOf(int kind) {
    switch (kind) {
    case 15: return SDL_PIXELFORMAT_RGB555;
    case 16: return SDL_PIXELFORMAT_RGB565;
    case 24: return SDL_PIXELFORMAT_BGR24;  // bytes blue, green, red, as the engine's
    case 32: return SDL_PIXELFORMAT_XRGB8888;
    default: return 0;
    }
}

namespace {

ti::Image SpritePicture(int w, int h, bool holes) {
    ti::Image img;
    img.width = w;
    img.height = h;
    img.px.assign(static_cast<size_t>(w) * h, ti::Rgb(255, 0, 255));
    ti::Lcg rng(static_cast<uint32_t>(w * 131 + h));
    const double cx = w / 2.0, cy = h / 2.0;
    const double holeR = std::min(w, h) / 10.0;
    auto inside = [](double dx, double dy, double rx, double ry) {
        return (dx * dx) / (rx * rx) + (dy * dy) / (ry * ry) <= 1.0;
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            if (!inside(px - cx, py - cy, cx, cy)) continue;
            if (holes && holeR >= 1 && (inside(px - w * 0.35, py - h * 0.35, holeR, holeR) ||
                               inside(px - w * 0.65, py - h * 0.35, holeR, holeR)))
                continue;
            // Green never drops to 0, so no texture pixel meets the key in any format.
            const int r = 40 + x * 150 / std::max(1, w - 1) + static_cast<int>(rng.Next() % 24);
            const int g = 70 + y * 140 / std::max(1, h - 1) + static_cast<int>(rng.Next() % 24);
            const int b = 50 + ((x ^ y) & 15) * 8;
            img.px[static_cast<size_t>(y) * w + x] = ti::Rgb(r, g, b);
        }
    return img;
}

// The engine surface's memory, locked, for the span of one copy.
class Locked {
public:
    explicit Locked(CQNDXSurface* s) : m_s(s), m_ok(s->Lock() >= 0 && s->GetBits()) {}
    ~Locked() {
        if (m_ok) m_s->Unlock();
    }
    bool ok() const { return m_ok; }
    uint8_t* Row(int y) const { return static_cast<uint8_t*>(m_s->GetBits()) + static_cast<ptrdiff_t>(y) * m_s->GetPitch(); }

private:
    CQNDXSurface* m_s;
    bool m_ok;
};

}  // namespace

CQNDXSurface* LoadSprite(CQNDXVideoEngine* ve, int w, int h, std::string* why, bool plainEllipse) {
    const std::vector<uint8_t> bmp = ti::WriteBmpRgb(SpritePicture(w, h, !plainEllipse), 24);
    CQNDXSurface* s = new CQNDXSurface();
    const int rc = s->LoadFromMemory(ve, static_cast<int>(bmp.size()), bmp.data(), 0);
    if (rc != 1 || s->GetWidth() != w || s->GetHeight() != h || s->GetID() < 0) {
        *why = "LoadFromMemory of a " + std::to_string(w) + "x" + std::to_string(h) + " sprite gave " +
               std::to_string(rc);
        delete s;
        return nullptr;
    }
    s->SetColorKeyRGB(RGB(255, 0, 255));
    return s;
}

SDL_Surface* CopyToSdl(CQNDXSurface* s, Uint32 format) {
    SDL_Surface* out = SDL_CreateRGBSurfaceWithFormat(0, s->GetWidth(), s->GetHeight(), 0, format);
    if (!out) return nullptr;
    Locked lock(s);
    if (!lock.ok()) {
        SDL_FreeSurface(out);
        return nullptr;
    }
    const size_t row = static_cast<size_t>(s->GetWidth()) * out->format->BytesPerPixel;
    for (int y = 0; y < s->GetHeight(); ++y)
        std::memcpy(static_cast<uint8_t*>(out->pixels) + static_cast<ptrdiff_t>(y) * out->pitch, lock.Row(y), row);
    return out;
}

bool CopyFromSdl(const SDL_Surface* from, CQNDXSurface* to) {
    Locked lock(to);
    if (!lock.ok()) return false;
    const int w = std::min(from->w, to->GetWidth());
    const int h = std::min(from->h, to->GetHeight());
    const size_t row = static_cast<size_t>(w) * from->format->BytesPerPixel;
    for (int y = 0; y < h; ++y)
        std::memcpy(lock.Row(y), static_cast<const uint8_t*>(from->pixels) + static_cast<ptrdiff_t>(y) * from->pitch,
                    row);
    return true;
}

SDL_Surface* MakeBackground(Uint32 format) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, kScreenW, kScreenH, 0, format);
    if (!s) return nullptr;
    for (int y = 0; y < kScreenH; ++y)
        for (int x = 0; x < kScreenW; ++x) {
            const Uint32 v = SDL_MapRGB(s->format, static_cast<Uint8>(x * 3 + y), static_cast<Uint8>(y * 5 + 20),
                                        static_cast<Uint8>((x ^ y) * 7));
            std::memcpy(static_cast<uint8_t*>(s->pixels) + static_cast<ptrdiff_t>(y) * s->pitch +
                            x * s->format->BytesPerPixel,
                        &v, s->format->BytesPerPixel);
        }
    return s;
}

Comparison Compare(const SDL_Surface* a, const SDL_Surface* b, const SDL_Surface* base, int w, int h) {
    Comparison c;
    const SDL_PixelFormat* f = a->format;
    const int bpp = f->BytesPerPixel;
    const Uint32 masks[3] = {f->Rmask, f->Gmask, f->Bmask};
    const Uint8 shifts[3] = {f->Rshift, f->Gshift, f->Bshift};
    auto at = [bpp](const SDL_Surface* s, int x, int y) {
        Uint32 v = 0;
        std::memcpy(&v, static_cast<const uint8_t*>(s->pixels) + static_cast<ptrdiff_t>(y) * s->pitch + x * bpp, bpp);
        return v;
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Uint32 va = at(a, x, y), vb = at(b, x, y);
            for (int k = 0; k < 3; ++k) {
                const int ca = static_cast<int>((va & masks[k]) >> shifts[k]);
                const int cb = static_cast<int>((vb & masks[k]) >> shifts[k]);
                c.maxDiff = std::max(c.maxDiff, std::abs(ca - cb));
            }
            if (((va ^ at(base, x, y)) & (masks[0] | masks[1] | masks[2])) != 0) ++c.changed;
        }
    return c;
}

}  // namespace bench
}  // namespace qndx
