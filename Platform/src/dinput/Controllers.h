// Game controllers behind the DirectInput stand-in: one interface, with an
// SDL joystick backend and a null backend (no controllers) for when SDL's
// joystick subsystem cannot start.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace qndx {
namespace platform {
namespace dinput {

struct ControllerInfo {
    int32_t id = -1;  // stays the same while the controller is attached
    std::string name;
    GUID product{};
    bool gamepad = false;
    int axes = 0;
    int buttons = 0;
    int hats = 0;
};

// A controller's values as the backend reports them: axes -32768..32767,
// buttons 0/1, hats as direction bits (1 up, 2 right, 4 down, 8 left).
struct ControllerState {
    static constexpr int kAxes = 8;
    static constexpr int kButtons = 128;
    static constexpr int kHats = 4;
    int axisCount = 0;
    int buttonCount = 0;
    int hatCount = 0;
    int16_t axes[kAxes] = {};
    uint8_t buttons[kButtons] = {};
    uint8_t hats[kHats] = {};
};

class ControllerBackend {
public:
    virtual ~ControllerBackend() = default;
    // The attached controllers, in the backend's order.
    virtual std::vector<ControllerInfo> List() = 0;
    virtual bool Find(int32_t id, ControllerInfo* info) = 0;
    // Opening is counted: each successful Open needs one Close.
    virtual bool Open(int32_t id) = 0;
    virtual void Close(int32_t id) = 0;
    virtual bool IsAttached(int32_t id) = 0;
    virtual bool Read(int32_t id, ControllerState* state) = 0;
    // Lets the backend take in new values (the window's pump also does).
    virtual void Refresh() = 0;
};

// The SDL backend, or the null one when SDL's joystick subsystem fails.
std::unique_ptr<ControllerBackend> MakeControllerBackend();

}  // namespace dinput
}  // namespace platform
}  // namespace qndx
