// The input devices' event source on SDL (dinput/InputSource.h): the
// listener that takes keyboard, mouse, wheel, joystick and focus events from
// the window's pump and hands them to the hub, and the pointer capture of an
// exclusive mouse.
#include <SDL.h>

#include "dinput/InputHub.h"
#include "dinput/InputSource.h"
#include "sdl/InputEvents.h"
#include "sdl/ScanCodes.h"

namespace qndx {
namespace platform {
namespace dinput {
namespace {

// SDL numbers buttons 1 left, 2 middle, 3 right, 4 and 5 the side buttons;
// DirectInput 0 left, 1 right, 2 middle, then the rest in order.
int ButtonFromSdl(int sdlButton) {
    switch (sdlButton) {
        case SDL_BUTTON_LEFT: return 0;
        case SDL_BUTTON_RIGHT: return 1;
        case SDL_BUTTON_MIDDLE: return 2;
        default: return sdlButton >= 4 && sdlButton <= 8 ? sdlButton - 1 : -1;
    }
}

class SdlInputListener : public InputEventListener {
public:
    void OnSdlEvent(const SDL_Event& e) override {
        InputHub& hub = InputHub::Get();
        switch (e.type) {
            case SDL_KEYDOWN:
            case SDL_KEYUP:
                hub.Key(DikFromSdlScancode(e.key.keysym.scancode), e.type == SDL_KEYDOWN, e.key.repeat != 0);
                break;
            case SDL_MOUSEMOTION: hub.MouseMotion(e.motion.xrel, e.motion.yrel); break;
            case SDL_MOUSEWHEEL: {
                int notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
                hub.MouseWheel(notches * 120);
                break;
            }
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                hub.MouseButton(ButtonFromSdl(e.button.button), e.type == SDL_MOUSEBUTTONDOWN);
                break;
            case SDL_WINDOWEVENT:
                // The window side has already moved its foreground window.
                if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED || e.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
                    hub.FocusChanged();
                if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) hub.FocusGained();
                break;
            case SDL_JOYAXISMOTION: hub.ControllerAxis(e.jaxis.which, e.jaxis.axis, e.jaxis.value); break;
            case SDL_JOYBUTTONDOWN:
            case SDL_JOYBUTTONUP:
                hub.ControllerButton(e.jbutton.which, e.jbutton.button, e.type == SDL_JOYBUTTONDOWN);
                break;
            case SDL_JOYHATMOTION: hub.ControllerHat(e.jhat.which, e.jhat.hat, e.jhat.value); break;
            case SDL_JOYDEVICEREMOVED: hub.ControllerRemoved(e.jdevice.which); break;
            default: break;
        }
    }
};

}  // namespace

void ConnectInputEvents() {
    static SdlInputListener* listener = new SdlInputListener();  // lives as long as the hub
    if (GetInputEventListener() != listener) SetInputEventListener(listener);
}

void SetPointerCapture(bool on) {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
    // Not every video driver can capture; the device works without it.
    SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE);
}

}  // namespace dinput
}  // namespace platform
}  // namespace qndx
