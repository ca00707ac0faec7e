// The bridge from the primary surface to the SDL windows (see
// WindowPresenter.h). Everything here runs on the engine's thread, inside
// the DirectDraw call that wrote to the primary.
#include "sdl/WindowPresenter.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "ddraw/DisplayState.h"
#include "ddraw/SurfaceImpl.h"
#include "platform/User.h"
#include "sdl/SdlWindow.h"
#include "sdl/WindowPixels.h"
#include "user/WindowManager.h"

namespace qndx {
namespace platform {

namespace {

// The presenter's own record; one per process, like the hooks it serves.
PresenterStats& Stats() {
    static PresenterStats stats;
    return stats;
}

Uint32 SdlFormatOf(PixelKind kind) {
    switch (kind) {
    case PixelKind::Rgb555: return SDL_PIXELFORMAT_RGB555;
    case PixelKind::Rgb565: return SDL_PIXELFORMAT_RGB565;
    case PixelKind::Rgb888: return SDL_PIXELFORMAT_BGR24;  // bytes blue, green, red
    case PixelKind::Xrgb8888: return SDL_PIXELFORMAT_RGB888;
    default: return SDL_PIXELFORMAT_UNKNOWN;
    }
}

bool DirectFromEnvironment() {
    const char* plain = std::getenv("QNDX_PRESENT_PLAIN");
    return !(plain && plain[0] == '1');
}

bool& DirectOn() {
    static bool on = DirectFromEnvironment();
    return on;
}

// The primary's pixels as an SDL surface that borrows them, for the pairs
// SDL converts (scaled full screen, desktops the window cannot hold). One
// wrapper is kept and pointed at the current memory (a flip moves it);
// null for a format SDL cannot read (8-bit desktops are never shown).
SDL_Surface* WrapMemory(const SurfaceMemory& mem) {
    static SDL_Surface* wrapper = nullptr;
    const Uint32 format = SdlFormatOf(mem.kind);
    if (format == SDL_PIXELFORMAT_UNKNOWN || !mem.bits || mem.width == 0 || mem.height == 0) return nullptr;
    if (wrapper && (wrapper->format->format != format || wrapper->w != static_cast<int>(mem.width) ||
                    wrapper->h != static_cast<int>(mem.height) || wrapper->pitch != mem.pitch)) {
        SDL_FreeSurface(wrapper);
        wrapper = nullptr;
    }
    if (!wrapper) {
        wrapper = SDL_CreateRGBSurfaceWithFormatFrom(mem.bits, static_cast<int>(mem.width),
                                                     static_cast<int>(mem.height), SDL_BITSPERPIXEL(format),
                                                     mem.pitch, format);
        if (!wrapper) return nullptr;
        SDL_SetSurfaceBlendMode(wrapper, SDL_BLENDMODE_NONE);
    }
    wrapper->pixels = mem.bits;
    return wrapper;
}

void Note(const SDL_Rect& r) {
    ++Stats().presents;
    Stats().lastRect = RECT{r.x, r.y, r.x + r.w, r.y + r.h};
}

// Copies rows of w pixels between two memories with a row converter.
void CopyRows(PixelRowFn row, uint8_t* dst, LONG dstPitch, const uint8_t* src, LONG srcPitch, int w, int h) {
    for (int y = 0; y < h; ++y)
        row(dst + static_cast<ptrdiff_t>(y) * dstPitch, src + static_cast<ptrdiff_t>(y) * srcPitch, w);
}

uint8_t* PixelAt(uint8_t* bits, LONG pitch, int bytes, LONG x, LONG y) {
    return bits + static_cast<ptrdiff_t>(y) * pitch + static_cast<ptrdiff_t>(x) * bytes;
}

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// ---------------------------------------------------------------------------
// Held pixels: the window keeps a rectangle of the primary's picture.

struct Held {
    SurfaceImpl* primary = nullptr;  // null: nothing held
    RECT rect = {0, 0, 0, 0};        // primary coordinates
    uint32_t windowId = 0;           // the SDL window holding it
    SDL_Surface* surface = nullptr;  // that window's surface, as it was
    POINT origin = {0, 0};           // the window surface's (0, 0) on the primary
    PixelRowFn back = nullptr;
    int desktopBytes = 0;
    int windowBytes = 0;
};

Held& HeldPixels() {
    static Held held;
    return held;
}

// Brings held pixels back into the primary. SDL frees a window surface only
// when the window goes or when its surface is asked for after a size change;
// the layer settles before both (the presenter before it asks, the window
// backend before it resizes or destroys), so the surface read here is still
// the one written.
void SettleAll() {
    Held& h = HeldPixels();
    if (!h.primary) return;
    SurfaceImpl* primary = h.primary;
    if (SDL_GetWindowFromID(h.windowId)) {
        CopyRows(h.back, PixelAt(primary->Bits(), primary->Pitch(), h.desktopBytes, h.rect.left, h.rect.top),
                 primary->Pitch(),
                 PixelAt(static_cast<uint8_t*>(h.surface->pixels), h.surface->pitch, h.windowBytes,
                         h.rect.left - h.origin.x, h.rect.top - h.origin.y),
                 h.surface->pitch, h.rect.right - h.rect.left, h.rect.bottom - h.rect.top);
    } else {
        std::fprintf(stderr, "present: the window holding part of the desktop is gone; that part is lost\n");
    }
    primary->SetHeld(false);
    h = Held();
}

void SettleHook(SurfaceImpl* primary) {
    if (HeldPixels().primary == primary) SettleAll();
    primary->SetHeld(false);
}

void ForgetHook(SurfaceImpl* primary) {
    if (HeldPixels().primary == primary) HeldPixels() = Held();
}

void OnPrimaryWrite(IDirectDrawSurface7* primary, const RECT* dirty);

// A plain 1:1 blit onto a windowed primary, inside the window's client
// area: the source goes straight into the window, converted once, and the
// primary's rectangle stays held there.
bool TakeHook(SurfaceImpl* primary, SurfaceImpl* src, const RECT& srcRect, const RECT& dst) {
    // Only while this presenter is the one told about primary writes.
    if (!DirectOn() || DisplayState::Get().primaryHook != &OnPrimaryWrite) return false;
    if (CurrentDisplayModeInfo().exclusive) return false;
    const HWND hwnd = primary->ClipperWindow();
    WindowRec* w = hwnd ? Wm().Find(hwnd) : nullptr;
    if (!w || !w->visible || w->minimised || !Inside(dst, w->client)) return false;
    SDL_Window* win = SdlWindowFor(hwnd);
    if (!win || !src->Bits()) return false;

    // What the window holds from earlier frames comes back first, unless
    // this copy covers it anyway; asking SDL for the surface may replace it.
    Held& h = HeldPixels();
    if (h.primary && (h.primary != primary || h.windowId != SDL_GetWindowID(win) || !Inside(h.rect, dst)))
        SettleAll();
    SDL_Surface* target = SDL_GetWindowSurface(win);
    WindowRowCopy copy;
    const RECT client = w->client;
    if (!target || !ExactWindowRowCopy(src->Kind(), target->format->format, DirectOn(), &copy) ||
        dst.right - client.left > target->w || dst.bottom - client.top > target->h) {
        // Whatever is still held lies inside dst, which the blit now writes
        // into the primary itself.
        if (h.primary) {
            h.primary->SetHeld(false);
            h = Held();
        }
        return false;
    }
    SDL_Rect to = {dst.left - client.left, dst.top - client.top, dst.right - dst.left, dst.bottom - dst.top};
    CopyRows(copy.toWindow, PixelAt(static_cast<uint8_t*>(target->pixels), target->pitch, copy.windowBytes, to.x, to.y),
             target->pitch, PixelAt(src->Bits(), src->Pitch(), copy.desktopBytes, srcRect.left, srcRect.top),
             src->Pitch(), to.w, to.h);
    h.primary = primary;
    h.rect = dst;
    h.windowId = SDL_GetWindowID(win);
    h.surface = target;
    h.origin = POINT{client.left, client.top};
    h.back = copy.fromWindow;
    h.desktopBytes = copy.desktopBytes;
    h.windowBytes = copy.windowBytes;
    primary->SetHeld(true);
    SDL_UpdateWindowSurfaceRects(win, &to, 1);
    Note(to);
    return true;
}

const PrimaryHoldHooks kHoldHooks = {&TakeHook, &SettleHook, &ForgetHook};

// Windowed: the part of `dirty` (desktop coordinates) under the window's
// client area goes to the same place in the window.
void PresentWindowed(HWND hwnd, const SurfaceMemory& mem, const RECT* dirty) {
    WindowRec* w = Wm().Find(hwnd);
    if (!w || !w->visible || w->minimised) return;
    SDL_Window* win = SdlWindowFor(hwnd);
    if (!win) return;
    const RECT client = w->client;
    RECT area = dirty ? *dirty : RECT{0, 0, static_cast<LONG>(mem.width), static_cast<LONG>(mem.height)};
    area.left = std::max(area.left, client.left);
    area.top = std::max(area.top, client.top);
    area.right = std::min(area.right, client.right);
    area.bottom = std::min(area.bottom, client.bottom);
    if (area.left >= area.right || area.top >= area.bottom) return;

    SettleAll();
    SDL_Surface* target = SDL_GetWindowSurface(win);
    if (!target) return;
    SDL_Rect from = {area.left, area.top, area.right - area.left, area.bottom - area.top};
    SDL_Rect to = {area.left - client.left, area.top - client.top, from.w, from.h};
    WindowRowCopy copy;
    if (ExactWindowRowCopy(mem.kind, target->format->format, DirectOn(), &copy) && to.x + to.w <= target->w &&
        to.y + to.h <= target->h) {
        CopyRows(copy.toWindow,
                 PixelAt(static_cast<uint8_t*>(target->pixels), target->pitch, copy.windowBytes, to.x, to.y),
                 target->pitch, PixelAt(mem.bits, mem.pitch, copy.desktopBytes, from.x, from.y), mem.pitch, from.w,
                 from.h);
        SDL_UpdateWindowSurfaceRects(win, &to, 1);
        Note(to);
        return;
    }
    SDL_Surface* source = WrapMemory(mem);
    if (source && SDL_BlitSurface(source, &from, target, &to) == 0) {
        SDL_UpdateWindowSurfaceRects(win, &to, 1);
        Note(to);
    }
}

// Full screen: the whole front, scaled to the window keeping its shape when
// the host window has another size (black bars on the sides).
void PresentFullScreen(HWND hwnd, const SurfaceMemory& mem) {
    SDL_Window* win = SdlWindowFor(hwnd);
    if (!win) return;
    SettleAll();
    SDL_Surface* target = SDL_GetWindowSurface(win);
    if (!target) return;
    const int sw = static_cast<int>(mem.width), sh = static_cast<int>(mem.height);
    SDL_Rect to = {0, 0, target->w, target->h};
    WindowRowCopy copy;
    if (target->w == sw && target->h == sh && ExactWindowRowCopy(mem.kind, target->format->format, DirectOn(), &copy)) {
        CopyRows(copy.toWindow, static_cast<uint8_t*>(target->pixels), target->pitch, mem.bits, mem.pitch, sw, sh);
        SDL_UpdateWindowSurface(win);
        Note(to);
        return;
    }
    SDL_Surface* source = WrapMemory(mem);
    if (!source) return;
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
    if (rc == 0) {
        SDL_UpdateWindowSurface(win);
        Note(to);
    }
}

// The window a windowed primary shows in: the one its clipper names.
HWND ClipperWindow(IDirectDrawSurface7* primary) {
    SurfaceImpl* impl = SurfaceImpl::FromInterface(primary);
    return impl ? impl->ClipperWindow() : nullptr;
}

void OnPrimaryWrite(IDirectDrawSurface7* primary, const RECT* dirty) {
    SurfaceMemory mem;
    if (!GetSurfaceMemory(primary, &mem)) return;
    const DisplayModeInfo mode = CurrentDisplayModeInfo();
    if (mode.exclusive && mode.window) {
        PresentFullScreen(mode.window, mem);
        return;
    }
    if (HWND hwnd = ClipperWindow(primary)) PresentWindowed(hwnd, mem, dirty);
}

// An exclusive mode makes its window cover the display; giving it up lets
// the desktop size be the host's again.
void OnDisplayMode(const DisplayModeInfo& mode) {
    SettleAll();
    if (mode.exclusive && mode.window) {
        SetDisplayModeSize(static_cast<int>(mode.width), static_cast<int>(mode.height));
        // The frame change applies the window's current (popup) style, so
        // its client area is the whole display.
        SetWindowPos(mode.window, HWND_TOP, 0, 0, static_cast<int>(mode.width), static_cast<int>(mode.height),
                     SWP_SHOWWINDOW | SWP_FRAMECHANGED);
    } else {
        SetDisplayModeSize(0, 0);
    }
}

}  // namespace

void InstallWindowPresenter() {
    // Window surfaces in plain memory (X11's shared-memory images): the
    // accelerated stand-in would recreate the host window, which on a
    // server without a window manager puts it back where it was first made.
    SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
    // A hook someone else set (a test listening to DirectDraw) stays theirs.
    DisplayState& state = DisplayState::Get();
    if (!state.primaryHook) {
        SetPrimaryWriteHook(&OnPrimaryWrite);
        SetPrimaryHoldHooks(&kHoldHooks);
    }
    if (!state.modeHook) SetDisplayModeHook(&OnDisplayMode);
}

void SettleWindowHeldPixels() { SettleAll(); }

void SetDirectPresent(bool on) {
    if (!on) SettleAll();
    DirectOn() = on;
}

PresenterStats GetPresenterStats() { return Stats(); }
void ResetPresenterStats() { Stats() = PresenterStats(); }

}  // namespace platform
}  // namespace qndx
