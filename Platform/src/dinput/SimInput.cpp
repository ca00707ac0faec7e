// The test panel's input side. Keys, mouse and focus go straight to the hub;
// controllers are the controller backend's virtual ones, so their values
// travel the same road as a real controller's (the backend's state, events
// through the window's pump).
#include "dinput/Controllers.h"
#include "dinput/InputHub.h"
#include "platform/sim/Input.h"
#include "platform/sim/Window.h"
#include "sim/SimInternal.h"

namespace qndx {
namespace sim {
namespace {

using platform::dinput::ControllerBackend;
using platform::dinput::ControllerControl;
using platform::dinput::InputHub;

ControllerBackend& Controllers() { return InputHub::Get().Controllers(); }

void Deliver() {
    Controllers().Refresh();
    PumpWindowEvents();
}

void DetachAll() {
    for (int32_t id : Controllers().VirtualIds()) DetachController(id);
}

void Set(int id, ControllerControl control, int index, int value) {
    if (Controllers().SetVirtual(id, control, index, value)) Deliver();
}

}  // namespace

void InjectKey(BYTE dik, bool down, bool repeat) { InputHub::Get().Key(dik, down, repeat); }
void InjectMouseMotion(int dx, int dy) { InputHub::Get().MouseMotion(dx, dy); }
void InjectMouseWheel(int delta) { InputHub::Get().MouseWheel(delta); }
void InjectMouseButton(int button, bool down) { InputHub::Get().MouseButton(button, down); }
void SetInputFocus(bool focused) { InputHub::Get().SetPanelFocus(focused); }
void SetPhysicalKeys(const BYTE* keys) { InputHub::Get().SetPanelKeys(keys); }

int AttachController(const char* name, int axes, int buttons, int hats, bool gamepad) {
    ControllerBackend& controllers = Controllers();  // starts the backend
    internal::AddResetHook(&DetachAll);
    int id = controllers.AttachVirtual(name, axes, buttons, hats, gamepad);
    if (id < 0) return -1;
    Deliver();
    return id;
}

void DetachController(int id) {
    if (Controllers().DetachVirtual(id)) Deliver();
}

void SetControllerAxis(int id, int axis, int value) {
    if (value < -32768) value = -32768;
    if (value > 32767) value = 32767;
    Set(id, ControllerControl::Axis, axis, value);
}

void SetControllerButton(int id, int button, bool down) { Set(id, ControllerControl::Button, button, down ? 1 : 0); }

void SetControllerHat(int id, int hat, int bits) { Set(id, ControllerControl::Hat, hat, bits); }

}  // namespace sim
}  // namespace qndx
