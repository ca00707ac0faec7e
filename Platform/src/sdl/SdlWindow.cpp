// The SDL window behind a layer window (see SdlWindow.h): the SDL backend's
// host ids are SDL's window ids.
#include "sdl/SdlWindow.h"

#include "user/WindowManager.h"

namespace qndx {
namespace platform {

SDL_Window* SdlWindowFor(HWND hwnd) {
    WindowRec* w = Wm().Find(hwnd);
    if (!w || !w->hostId) return nullptr;
    return SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetWindowFromID(w->hostId) : nullptr;
}

}  // namespace platform
}  // namespace qndx
