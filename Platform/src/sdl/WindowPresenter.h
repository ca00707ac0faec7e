// DirectDraw's display window (ddraw/DisplayWindow.h) on SDL window surfaces:
// rows are converted once from the desktop's pixel kind into the window's
// format and the updated part is shown; pairs SDL converts itself (a desktop
// the window cannot hold exactly, a scaled full screen) go through SDL's
// blitter. The SDL window backend owns one and tells it before it resizes or
// destroys a window.
#pragma once

#include <memory>

#include "ddraw/DisplayWindow.h"

namespace qndx {
namespace platform {

class SdlDisplayWindow : public DisplayWindow {
public:
    // A window's surface is about to be freed or replaced: held rows go
    // back first.
    virtual void BeforeSurfaceChange() = 0;
};

std::unique_ptr<SdlDisplayWindow> CreateSdlDisplayWindow();

}  // namespace platform
}  // namespace qndx
