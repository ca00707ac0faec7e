// The bridge from the primary surface to the SDL windows (see
// WindowPresenter.h). Everything here runs on the engine's thread, inside
// the DirectDraw call that wrote to the primary.
#include "sdl/WindowPresenter.h"

#include <SDL.h>

#include <algorithm>

#include "ddraw/DisplayState.h"
#include "ddraw/SurfaceImpl.h"
#include "platform/User.h"
#include "sdl/SdlWindow.h"
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

// The primary's pixels as an SDL surface that borrows them; null for a
// format SDL cannot read (8-bit desktops are never shown).
SDL_Surface* WrapMemory(const SurfaceMemory& mem) {
    const Uint32 format = SdlFormatOf(mem.kind);
    if (format == SDL_PIXELFORMAT_UNKNOWN || !mem.bits || mem.width == 0 || mem.height == 0) return nullptr;
    return SDL_CreateRGBSurfaceWithFormatFrom(mem.bits, static_cast<int>(mem.width), static_cast<int>(mem.height),
                                              SDL_BITSPERPIXEL(format), mem.pitch, format);
}

void Note(const SDL_Rect& r) {
    ++Stats().presents;
    Stats().lastRect = RECT{r.x, r.y, r.x + r.w, r.y + r.h};
}

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

    SDL_Surface* target = SDL_GetWindowSurface(win);
    SDL_Surface* source = WrapMemory(mem);
    if (target && source) {
        SDL_Rect from = {area.left, area.top, area.right - area.left, area.bottom - area.top};
        SDL_Rect to = {area.left - client.left, area.top - client.top, from.w, from.h};
        SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
        if (SDL_BlitSurface(source, &from, target, &to) == 0) {
            SDL_UpdateWindowSurfaceRects(win, &to, 1);
            Note(to);
        }
    }
    SDL_FreeSurface(source);
}

// Full screen: the whole front, scaled to the window keeping its shape when
// the host window has another size (black bars on the sides).
void PresentFullScreen(HWND hwnd, const SurfaceMemory& mem) {
    SDL_Window* win = SdlWindowFor(hwnd);
    if (!win) return;
    SDL_Surface* target = SDL_GetWindowSurface(win);
    SDL_Surface* source = WrapMemory(mem);
    if (target && source) {
        SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
        SDL_Rect to = {0, 0, target->w, target->h};
        int rc;
        if (target->w == source->w && target->h == source->h) {
            rc = SDL_BlitSurface(source, nullptr, target, &to);
        } else {
            // Largest rectangle of the source's shape inside the target.
            const long long sw = source->w, sh = source->h;
            if (target->w * sh <= target->h * sw) {
                to.w = target->w;
                to.h = static_cast<int>(target->w * sh / sw);
            } else {
                to.h = target->h;
                to.w = static_cast<int>(target->h * sw / sh);
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
    SDL_FreeSurface(source);
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
    if (!state.primaryHook) SetPrimaryWriteHook(&OnPrimaryWrite);
    if (!state.modeHook) SetDisplayModeHook(&OnDisplayMode);
}

PresenterStats GetPresenterStats() { return Stats(); }
void ResetPresenterStats() { Stats() = PresenterStats(); }

}  // namespace platform
}  // namespace qndx
