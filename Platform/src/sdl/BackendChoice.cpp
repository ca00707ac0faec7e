// The one place the window backend is chosen: SDL video when it starts (a
// real display, or the dummy/offscreen driver for headless runs), else the
// null backend that keeps windows in memory only.
#include <cstdio>

#include "user/WindowBackend.h"

namespace qndx {
namespace platform {

std::unique_ptr<WindowBackend> CreateWindowBackend() {
    std::unique_ptr<WindowBackend> backend = CreateSdlWindowBackend();
    if (backend) return backend;
    std::fprintf(stderr, "window: running without a display; windows are kept in memory only\n");
    return CreateNullWindowBackend();
}

}  // namespace platform
}  // namespace qndx
