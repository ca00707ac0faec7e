// DirectDraw's display window on SDL window surfaces (see WindowPresenter.h).
// It only copies rows and shows them; which writes reach a window, and when
// held rows come back, is decided on the DirectDraw side.
#include "sdl/WindowPresenter.h"

#include <SDL.h>

#include "ddraw/DisplayState.h"
#include "sdl/SdlWindow.h"
#include "sdl/WindowPixels.h"
#include "user/WindowManager.h"

namespace qndx {
namespace platform {

namespace {

Uint32 SdlFormatOf(pixels::Kind kind) {
    switch (kind) {
    case pixels::kRgb555: return SDL_PIXELFORMAT_RGB555;
    case pixels::kRgb565: return SDL_PIXELFORMAT_RGB565;
    case pixels::kRgb888: return SDL_PIXELFORMAT_BGR24;  // bytes blue, green, red
    case pixels::kXrgb8888: return SDL_PIXELFORMAT_RGB888;
    default: return SDL_PIXELFORMAT_UNKNOWN;
    }
}

// Copies rows of w pixels between two memories with a row converter.
void CopyRows(pixels::RowFn row, uint8_t* dst, LONG dstPitch, const uint8_t* src, LONG srcPitch, int w, int h) {
    for (int y = 0; y < h; ++y)
        row(dst + static_cast<ptrdiff_t>(y) * dstPitch, src + static_cast<ptrdiff_t>(y) * srcPitch, w);
    FinishWindowRows();
}

uint8_t* PixelAt(uint8_t* bits, LONG pitch, int bytes, LONG x, LONG y) {
    return bits + static_cast<ptrdiff_t>(y) * pitch + static_cast<ptrdiff_t>(x) * bytes;
}

RECT RectOf(const SDL_Rect& r) { return RECT{r.x, r.y, r.x + r.w, r.y + r.h}; }

class SdlWindowPresenter : public SdlDisplayWindow {
public:
    SdlWindowPresenter() {
        // Window surfaces in plain memory (X11's shared-memory images): the
        // accelerated stand-in would recreate the host window, which on a
        // server without a window manager puts it back where it was first
        // made.
        SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
    }

    ~SdlWindowPresenter() override {
        if (m_wrapper) SDL_FreeSurface(m_wrapper);
    }

    bool ShownClient(HWND hwnd, RECT* client) override {
        WindowRec* w = Wm().Find(hwnd);
        if (!w || !w->visible || w->minimised || !SdlWindowFor(hwnd)) return false;
        *client = w->client;
        return true;
    }

    bool ShowRows(HWND hwnd, const SurfaceMemory& src, POINT from, const RECT& to, RowCopy copy,
                  RECT* shown) override {
        SDL_Window* win = SdlWindowFor(hwnd);
        if (!win || !src.bits) return false;
        SDL_Surface* target = SDL_GetWindowSurface(win);
        if (!target) return false;
        SDL_Rect at = {to.left, to.top, to.right - to.left, to.bottom - to.top};
        WindowRowCopy rows;
        if (ExactWindowRowCopy(src.kind, target->format->format, copy != RowCopy::Plain, &rows) && at.x >= 0 &&
            at.y >= 0 && at.x + at.w <= target->w && at.y + at.h <= target->h) {
            CopyRows(rows.toWindow,
                     PixelAt(static_cast<uint8_t*>(target->pixels), target->pitch, rows.windowBytes, at.x, at.y),
                     target->pitch, PixelAt(src.bits, src.pitch, rows.desktopBytes, from.x, from.y), src.pitch, at.w,
                     at.h);
            if (copy == RowCopy::Held)
                m_lent = Lent{SDL_GetWindowID(win), target, rows.fromWindow, rows.windowBytes};
            SDL_UpdateWindowSurfaceRects(win, &at, 1);
            *shown = RectOf(at);
            return true;
        }
        if (copy == RowCopy::Held) return false;
        SDL_Surface* source = Wrap(src);
        SDL_Rect part = {from.x, from.y, at.w, at.h};
        if (!source || SDL_BlitSurface(source, &part, target, &at) != 0) return false;
        SDL_UpdateWindowSurfaceRects(win, &at, 1);
        *shown = RectOf(at);
        return true;
    }

    bool TakeBackRows(const RECT& from, uint8_t* dst, LONG dstPitch) override {
        const Lent lent = m_lent;
        m_lent = Lent();
        // SDL frees a window surface only when the window goes or when its
        // surface is asked for after a size change; the backend gives rows
        // back before the first, the DirectDraw side before the second, so
        // the surface read here is still the one written.
        if (!lent.surface || !SDL_GetWindowFromID(lent.windowId)) return false;
        CopyRows(lent.back, dst, dstPitch,
                 PixelAt(static_cast<uint8_t*>(lent.surface->pixels), lent.surface->pitch, lent.windowBytes,
                         from.left, from.top),
                 lent.surface->pitch, from.right - from.left, from.bottom - from.top);
        return true;
    }

    bool ShowWhole(HWND hwnd, const SurfaceMemory& src, bool fast, RECT* shown) override {
        SDL_Window* win = SdlWindowFor(hwnd);
        if (!win) return false;
        SDL_Surface* target = SDL_GetWindowSurface(win);
        if (!target) return false;
        const int sw = static_cast<int>(src.width), sh = static_cast<int>(src.height);
        SDL_Rect to = {0, 0, target->w, target->h};
        WindowRowCopy rows;
        if (target->w == sw && target->h == sh && ExactWindowRowCopy(src.kind, target->format->format, fast, &rows)) {
            CopyRows(rows.toWindow, static_cast<uint8_t*>(target->pixels), target->pitch, src.bits, src.pitch, sw,
                     sh);
            SDL_UpdateWindowSurface(win);
            *shown = RectOf(to);
            return true;
        }
        SDL_Surface* source = Wrap(src);
        if (!source) return false;
        int rc;
        if (target->w == sw && target->h == sh) {
            rc = SDL_BlitSurface(source, nullptr, target, &to);
        } else {
            // Largest rectangle of the source's shape inside the target.
            const long long lw = sw, lh = sh;
            if (target->w * lh <= target->h * lw) {
                to.w = target->w;
                to.h = static_cast<int>(target->w * lh / lw);
            } else {
                to.h = target->h;
                to.w = static_cast<int>(target->h * lw / lh);
            }
            to.x = (target->w - to.w) / 2;
            to.y = (target->h - to.h) / 2;
            if (to.x > 0 || to.y > 0) SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
            rc = SDL_BlitScaled(source, nullptr, target, &to);
        }
        if (rc != 0) return false;
        SDL_UpdateWindowSurface(win);
        *shown = RectOf(to);
        return true;
    }

    void BeforeSurfaceChange() override {
        Presenter* presenter = DisplayState::Get().presenter;
        if (m_lent.surface && presenter) presenter->GiveBack(nullptr);
    }

private:
    // The window surface the last held rows went into.
    struct Lent {
        uint32_t windowId = 0;
        SDL_Surface* surface = nullptr;  // null: nothing lent
        pixels::RowFn back = nullptr; // window row -> desktop row, exactly
        int windowBytes = 0;
    };

    // Memory as an SDL surface that borrows it, for the pairs SDL converts
    // (scaled full screen, desktops the window cannot hold). One wrapper is
    // kept and pointed at the current memory (a flip moves it); null for a
    // format SDL cannot read (8-bit desktops are never shown).
    SDL_Surface* Wrap(const SurfaceMemory& mem) {
        const Uint32 format = SdlFormatOf(mem.kind);
        if (format == SDL_PIXELFORMAT_UNKNOWN || !mem.bits || mem.width == 0 || mem.height == 0) return nullptr;
        if (m_wrapper && (m_wrapper->format->format != format || m_wrapper->w != static_cast<int>(mem.width) ||
                          m_wrapper->h != static_cast<int>(mem.height) || m_wrapper->pitch != mem.pitch)) {
            SDL_FreeSurface(m_wrapper);
            m_wrapper = nullptr;
        }
        if (!m_wrapper) {
            m_wrapper = SDL_CreateRGBSurfaceWithFormatFrom(mem.bits, static_cast<int>(mem.width),
                                                           static_cast<int>(mem.height), SDL_BITSPERPIXEL(format),
                                                           mem.pitch, format);
            if (!m_wrapper) return nullptr;
            SDL_SetSurfaceBlendMode(m_wrapper, SDL_BLENDMODE_NONE);
        }
        m_wrapper->pixels = mem.bits;
        return m_wrapper;
    }

    Lent m_lent;
    SDL_Surface* m_wrapper = nullptr;
};

}  // namespace

std::unique_ptr<SdlDisplayWindow> CreateSdlDisplayWindow() {
    return std::unique_ptr<SdlDisplayWindow>(new SdlWindowPresenter());
}

}  // namespace platform
}  // namespace qndx
