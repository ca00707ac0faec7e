// The test panel's input side. Keys, mouse and focus go straight to the hub;
// controllers are SDL virtual joysticks, so their values travel the same road
// as a real controller's (SDL's joystick state, events through the window's
// pump).
#include <SDL.h>

#include <cstdio>
#include <map>

#include "dinput/InputHub.h"
#include "platform/sim/Input.h"
#include "platform/sim/Window.h"
#include "sim/SimInternal.h"

namespace qndx {
namespace sim {
namespace {

using platform::dinput::InputHub;

// Our own open handle of each attached virtual controller, by id.
std::map<int, SDL_Joystick*>& Attached() {
    static std::map<int, SDL_Joystick*>* attached = new std::map<int, SDL_Joystick*>();
    return *attached;
}

int IndexOf(int id) {
    int n = SDL_NumJoysticks();
    for (int i = 0; i < n; ++i)
        if (SDL_JoystickGetDeviceInstanceID(i) == id) return i;
    return -1;
}

void Deliver() {
    SDL_JoystickUpdate();
    PumpWindowEvents();
}

void DetachAll() {
    while (!Attached().empty()) DetachController(Attached().begin()->first);
}

SDL_Joystick* Handle(int id) {
    auto it = Attached().find(id);
    if (it == Attached().end()) {
        std::fprintf(stderr, "sim: controller %d is not attached here\n", id);
        return nullptr;
    }
    return it->second;
}

}  // namespace

void InjectKey(BYTE dik, bool down, bool repeat) { InputHub::Get().Key(dik, down, repeat); }
void InjectMouseMotion(int dx, int dy) { InputHub::Get().MouseMotion(dx, dy); }
void InjectMouseWheel(int delta) { InputHub::Get().MouseWheel(delta); }
void InjectMouseButton(int button, bool down) { InputHub::Get().MouseButton(button, down); }
void SetInputFocus(bool focused) { InputHub::Get().SetPanelFocus(focused); }

int AttachController(const char* name, int axes, int buttons, int hats, bool gamepad) {
    InputHub::Get();  // starts SDL's joystick side
    internal::AddResetHook(&DetachAll);
    SDL_VirtualJoystickDesc desc;
    SDL_zero(desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = gamepad ? SDL_JOYSTICK_TYPE_GAMECONTROLLER : SDL_JOYSTICK_TYPE_UNKNOWN;
    desc.naxes = static_cast<Uint16>(axes);
    desc.nbuttons = static_cast<Uint16>(buttons);
    desc.nhats = static_cast<Uint16>(hats);
    desc.name = name;
    int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index < 0) {
        std::fprintf(stderr, "sim: could not attach a controller: %s\n", SDL_GetError());
        return -1;
    }
    int id = SDL_JoystickGetDeviceInstanceID(index);
    SDL_Joystick* j = SDL_JoystickOpen(index);
    if (id < 0 || !j) {
        std::fprintf(stderr, "sim: could not open the attached controller: %s\n", SDL_GetError());
        SDL_JoystickDetachVirtual(index);
        return -1;
    }
    Attached()[id] = j;
    Deliver();
    return id;
}

void DetachController(int id) {
    auto it = Attached().find(id);
    if (it == Attached().end()) return;
    SDL_Joystick* j = it->second;
    Attached().erase(it);
    int index = IndexOf(id);
    if (index >= 0) SDL_JoystickDetachVirtual(index);
    SDL_JoystickClose(j);
    Deliver();
}

void SetControllerAxis(int id, int axis, int value) {
    if (SDL_Joystick* j = Handle(id)) {
        if (value < -32768) value = -32768;
        if (value > 32767) value = 32767;
        SDL_JoystickSetVirtualAxis(j, axis, static_cast<Sint16>(value));
        Deliver();
    }
}

void SetControllerButton(int id, int button, bool down) {
    if (SDL_Joystick* j = Handle(id)) {
        SDL_JoystickSetVirtualButton(j, button, down ? SDL_PRESSED : SDL_RELEASED);
        Deliver();
    }
}

void SetControllerHat(int id, int hat, int bits) {
    if (SDL_Joystick* j = Handle(id)) {
        SDL_JoystickSetVirtualHat(j, hat, static_cast<Uint8>(bits));
        Deliver();
    }
}

}  // namespace sim
}  // namespace qndx
