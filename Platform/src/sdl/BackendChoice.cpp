// The one place the window backend is chosen: SDL video when it starts (a
// real display, or the dummy/offscreen driver for headless runs), else the
// null backend that keeps windows in memory only. DirectDraw's display window
// comes with the choice.
#include <cstdio>

#include "ddraw/DisplayWindow.h"
#include "sdl/SdlBackend.h"
#include "user/WindowBackend.h"
#include "user/WindowManager.h"

namespace qndx {
namespace platform {

namespace {

DisplayWindow*& ChosenDisplay() {
    static DisplayWindow* chosen = nullptr;
    return chosen;
}

}  // namespace

std::unique_ptr<WindowBackend> CreateWindowBackend() {
    DisplayWindow* display = nullptr;
    std::unique_ptr<WindowBackend> backend = CreateSdlWindowBackend(&display);
    if (backend) {
        ChosenDisplay() = display;
        return backend;
    }
    std::fprintf(stderr, "window: running without a display; windows are kept in memory only\n");
    ChosenDisplay() = &NullDisplayWindow();
    return CreateNullWindowBackend();
}

DisplayWindow& ChosenDisplayWindow() {
    // The window manager makes its backend once, on first need.
    if (!ChosenDisplay()) Wm().Backend();
    return *ChosenDisplay();
}

}  // namespace platform
}  // namespace qndx
