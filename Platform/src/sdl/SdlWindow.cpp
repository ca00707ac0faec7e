// The SDL window behind a layer window (see SdlWindow.h), found through the
// window manager's host id.
#include "sdl/SdlWindow.h"

#include "user/WindowManager.h"

namespace qndx {
namespace platform {

SDL_Window* SdlWindowFor(HWND hwnd) {
    WindowRec* w = Wm().Find(hwnd);
    if (!w || !w->hostId) return nullptr;
    return Wm().Backend().SdlWindow(w->hostId);
}

}  // namespace platform
}  // namespace qndx
