// Game controllers behind the DirectInput stand-in: what the devices need of
// the host (enumerate, open, read axes, buttons and hats) and the test
// panel's virtual controllers. The SDL joystick backend lives in sdl/; the
// null backend (no controllers) serves runs where SDL's joystick side cannot
// start. sdl/BackendChoice.cpp picks one.
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

// One control of a virtual controller.
enum class ControllerControl { Axis, Button, Hat };

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

    // The test panel's controllers, whose values travel the same road as a
    // real controller's (events through the window's pump). Attach gives the
    // new controller's id, or -1 after saying why; Set says why it fails;
    // Detach is false for an id not attached this way.
    virtual int32_t AttachVirtual(const char* name, int axes, int buttons, int hats, bool gamepad) = 0;
    virtual bool SetVirtual(int32_t id, ControllerControl control, int index, int value) = 0;
    virtual bool DetachVirtual(int32_t id) = 0;
    virtual std::vector<int32_t> VirtualIds() const = 0;
};

// The backend choice (sdl/BackendChoice.cpp): SDL's joysticks, or the null
// backend when SDL's joystick subsystem does not start.
std::unique_ptr<ControllerBackend> MakeControllerBackend();
std::unique_ptr<ControllerBackend> MakeNullControllerBackend();

}  // namespace dinput
}  // namespace platform
}  // namespace qndx
