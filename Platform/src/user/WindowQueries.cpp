// Answers for the other areas of the layer about windows and the desktop
// (see WindowQueries.h), read from the window manager.
#include "user/WindowQueries.h"

#include "user/WindowManager.h"

namespace qndx {
namespace platform {

HWND HwndForWindowId(uint32_t windowId) {
    WindowRec* w = Wm().FindByHostId(windowId);
    return w ? w->hwnd : nullptr;
}

uint32_t WindowIdFor(HWND hwnd) {
    WindowRec* w = Wm().Find(hwnd);
    return w ? w->hostId : 0;
}

bool IsWindowForeground(HWND hwnd) { return hwnd && Wm().Active() == hwnd; }

bool IsWindowMinimised(HWND hwnd) {
    WindowRec* w = Wm().Find(hwnd);
    return w && w->minimised;
}

SIZE DesktopSize() { return Wm().DesktopSize(); }

bool IsHeadlessDesktop() { return Wm().HeadlessDesktop(); }

void SetDisplayModeSize(int width, int height) { Wm().SetModeSize(width, height); }

}  // namespace platform
}  // namespace qndx
