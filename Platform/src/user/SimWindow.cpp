// The window side of the test control panel. Injected window events take the
// same path as SDL's own: they are queued for the event pump and handled by
// the next PeekMessageA.
#include <SDL.h>

#include "platform/sim/Window.h"
#include "sdl/InputEvents.h"
#include "user/WindowManager.h"

namespace qndx {
namespace sim {
namespace {

bool Inject(HWND hwnd, Uint8 event) {
    platform::WindowRec* w = platform::Wm().Find(hwnd);
    if (!w) return false;
    if (!w->hostId) return false;  // no host window could be made for it
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.timestamp = SDL_GetTicks();
    e.window.windowID = w->hostId;
    e.window.event = event;
    platform::QueueSdlEvent(e);
    return true;
}

}  // namespace

bool InjectFocus(HWND hwnd, bool gained) {
    return Inject(hwnd, gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST);
}

bool InjectMinimise(HWND hwnd, bool minimised) {
    return Inject(hwnd, minimised ? SDL_WINDOWEVENT_MINIMIZED : SDL_WINDOWEVENT_RESTORED);
}

bool InjectClose(HWND hwnd) { return Inject(hwnd, SDL_WINDOWEVENT_CLOSE); }

bool InjectExpose(HWND hwnd) { return Inject(hwnd, SDL_WINDOWEVENT_EXPOSED); }

void PumpWindowEvents() { platform::PumpSdlEvents(); }

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
