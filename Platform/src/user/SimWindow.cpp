// The window side of the test control panel. Injected window events take the
// same path as SDL's own: they are queued for the event pump and handled by
// the next PeekMessageA.
#include "platform/sim/Window.h"
#include "user/HostEvents.h"
#include "user/WindowManager.h"

namespace qndx {
namespace sim {
namespace {

using platform::HostWindowEvent;

bool Inject(HWND hwnd, HostWindowEvent event) {
    platform::WindowRec* w = platform::Wm().Find(hwnd);
    if (!w) return false;
    if (!w->hostId) return false;  // no host window could be made for it
    platform::QueueHostWindowEvent(w->hostId, event);
    return true;
}

}  // namespace

bool InjectFocus(HWND hwnd, bool gained) {
    return Inject(hwnd, gained ? HostWindowEvent::FocusGained : HostWindowEvent::FocusLost);
}

bool InjectMinimise(HWND hwnd, bool minimised) {
    return Inject(hwnd, minimised ? HostWindowEvent::Minimised : HostWindowEvent::Restored);
}

bool InjectClose(HWND hwnd) { return Inject(hwnd, HostWindowEvent::Close); }

bool InjectExpose(HWND hwnd) { return Inject(hwnd, HostWindowEvent::Exposed); }

void PumpWindowEvents() { platform::PumpHostEvents(); }

void SetDesktopSize(int width, int height) { platform::Wm().SetSimDesktop(width, height); }

void SetMouseParameters(int threshold1, int threshold2, int level) {
    platform::Wm().SetMouseParameters(threshold1, threshold2, level);
}

std::vector<MessageBoxRecord> MessageBoxes() { return platform::Wm().MessageBoxes(); }

void ClearMessageBoxes() { platform::Wm().ClearMessageBoxes(); }

int WindowCount() { return platform::Wm().WindowCount(); }

int ClassCount() { return platform::Wm().ClassCount(); }

int CursorDisplayCount() { return platform::Wm().CursorCount(); }

HCURSOR CurrentCursor() { return platform::Wm().Cursor(); }

}  // namespace sim
}  // namespace qndx
