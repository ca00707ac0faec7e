// Hand-over of SDL input events from the window side's event pump to the
// input devices. The pump (run by PeekMessageA, or by PumpHostEvents) reads
// SDL's queue once; window events become window messages, and keyboard,
// mouse, wheel, joystick, game-controller and window-focus events go, in
// arrival order, to the one registered listener. Nothing is dropped: events
// that arrive while no listener is set wait and are delivered, in order, when
// one is set.
//
// Focus events: the listener sees SDL_WINDOWEVENT with event
// SDL_WINDOWEVENT_FOCUS_GAINED / SDL_WINDOWEVENT_FOCUS_LOST whenever the
// layer's foreground window changes, whatever the cause (SDL focus, minimise
// and restore, ShowWindow, DestroyWindow, the sim panel). Raw SDL focus events
// are not forwarded as such; they are turned into these. windowID names the
// layer window: HwndForWindowId (user/WindowQueries.h) maps it back to the HWND.
//
// Everything here runs on the main thread.
#pragma once

#include <SDL.h>

namespace qndx {
namespace platform {

struct InputEventListener {
    virtual ~InputEventListener() = default;
    virtual void OnSdlEvent(const SDL_Event& event) = 0;
};

// Sets the one listener (null clears it). Events waiting for a listener are
// delivered to the new one before this returns. sim::Reset() does not clear
// the listener; its owner does.
void SetInputEventListener(InputEventListener* listener);
InputEventListener* GetInputEventListener();

// The pump itself is PumpHostEvents (user/HostEvents.h): PeekMessageA and
// the sim panel run it.

// Puts an event behind the ones already waiting for the pump, as if SDL had
// produced it (keeps the order of injected window and input events).
// Processed by the next pump.
void QueueSdlEvent(const SDL_Event& event);

// True for the event kinds that go to the input listener.
bool IsInputEvent(const SDL_Event& event);

}  // namespace platform
}  // namespace qndx
