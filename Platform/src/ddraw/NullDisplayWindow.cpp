// The display window of runs without any window system: nothing shows, so
// every write stays in the primary's memory.
#include "ddraw/DisplayWindow.h"

namespace qndx {
namespace platform {

namespace {

class NoDisplayWindow : public DisplayWindow {
public:
    bool ShownClient(HWND, RECT*) override { return false; }
    bool ShowRows(HWND, const SurfaceMemory&, POINT, const RECT&, RowCopy, RECT*) override { return false; }
    bool TakeBackRows(const RECT&, uint8_t*, LONG) override { return false; }
    bool ShowWhole(HWND, const SurfaceMemory&, bool, RECT*) override { return false; }
};

}  // namespace

DisplayWindow& NullDisplayWindow() {
    static NoDisplayWindow* window = new NoDisplayWindow();
    return *window;
}

}  // namespace platform
}  // namespace qndx
