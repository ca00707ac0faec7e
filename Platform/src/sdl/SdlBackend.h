// The SDL window backend's factory, for the backend choice.
#pragma once

#include <memory>

#include "ddraw/DisplayWindow.h"
#include "user/WindowBackend.h"

namespace qndx {
namespace platform {

// The window backend on SDL video, and in *display its DirectDraw display
// window (owned by the backend); null when SDL video cannot start.
std::unique_ptr<WindowBackend> CreateSdlWindowBackend(DisplayWindow** display);

}  // namespace platform
}  // namespace qndx
