// Game controllers through SDL's joystick API (dinput/Controllers.h). Each
// controller is known by SDL's instance id, which stays the same while it is
// attached; devices open it (counted) for as long as they exist. The test
// panel's controllers are SDL virtual joysticks, held open here from attach
// to detach, so their values reach the devices as a real controller's do.
#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "sdl/SdlBackend.h"

namespace qndx {
namespace platform {
namespace {

using dinput::ControllerBackend;
using dinput::ControllerControl;
using dinput::ControllerInfo;
using dinput::ControllerState;

int Clamp(int n, int max) { return n < 0 ? 0 : (n > max ? max : n); }

class SdlControllers : public ControllerBackend {
public:
    std::vector<ControllerInfo> List() override {
        std::vector<ControllerInfo> out;
        int n = SDL_NumJoysticks();
        for (int i = 0; i < n; ++i) {
            ControllerInfo info;
            if (__Describe(i, &info)) out.push_back(info);
        }
        return out;
    }

    bool Find(int32_t id, ControllerInfo* info) override {
        int index = __IndexOf(id);
        if (index < 0 || !__Describe(index, info)) return false;
        auto it = m_open.find(id);
        if (it != m_open.end()) {
            info->axes = SDL_JoystickNumAxes(it->second.joystick);
            info->buttons = SDL_JoystickNumButtons(it->second.joystick);
            info->hats = SDL_JoystickNumHats(it->second.joystick);
        }
        return true;
    }

    bool Open(int32_t id) override {
        auto it = m_open.find(id);
        if (it != m_open.end()) {
            ++it->second.count;
            return true;
        }
        int index = __IndexOf(id);
        if (index < 0) return false;
        SDL_Joystick* j = SDL_JoystickOpen(index);
        if (!j) return false;
        m_open[id] = Opened{j, 1};
        return true;
    }

    void Close(int32_t id) override {
        auto it = m_open.find(id);
        if (it == m_open.end()) return;
        if (--it->second.count > 0) return;
        SDL_JoystickClose(it->second.joystick);
        m_open.erase(it);
    }

    bool IsAttached(int32_t id) override {
        auto it = m_open.find(id);
        if (it != m_open.end()) return SDL_JoystickGetAttached(it->second.joystick) == SDL_TRUE;
        return __IndexOf(id) >= 0;
    }

    bool Read(int32_t id, ControllerState* st) override {
        auto it = m_open.find(id);
        if (it == m_open.end()) return false;
        SDL_Joystick* j = it->second.joystick;
        if (SDL_JoystickGetAttached(j) != SDL_TRUE) return false;
        // The counts stay in locals: the compiler then sees every write
        // below within its array.
        const int axes = Clamp(SDL_JoystickNumAxes(j), ControllerState::kAxes);
        const int buttons = Clamp(SDL_JoystickNumButtons(j), ControllerState::kButtons);
        const int hats = Clamp(SDL_JoystickNumHats(j), ControllerState::kHats);
        *st = ControllerState();
        st->axisCount = axes;
        st->buttonCount = buttons;
        st->hatCount = hats;
        for (int a = 0; a < axes; ++a) st->axes[a] = SDL_JoystickGetAxis(j, a);
        for (int b = 0; b < buttons; ++b) st->buttons[b] = SDL_JoystickGetButton(j, b) ? 1 : 0;
        for (int h = 0; h < hats; ++h) st->hats[h] = SDL_JoystickGetHat(j, h);
        return true;
    }

    void Refresh() override { SDL_JoystickUpdate(); }

    int32_t AttachVirtual(const char* name, int axes, int buttons, int hats, bool gamepad) override {
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
        SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
        if (id < 0 || !Open(id)) {
            std::fprintf(stderr, "sim: could not open the attached controller: %s\n", SDL_GetError());
            SDL_JoystickDetachVirtual(index);
            return -1;
        }
        m_virtual.insert(id);
        return id;
    }

    bool SetVirtual(int32_t id, ControllerControl control, int index, int value) override {
        auto it = m_open.find(id);
        if (m_virtual.count(id) == 0 || it == m_open.end()) {
            std::fprintf(stderr, "sim: controller %d is not attached here\n", static_cast<int>(id));
            return false;
        }
        SDL_Joystick* j = it->second.joystick;
        int result = -1;
        switch (control) {
            case ControllerControl::Axis:
                result = SDL_JoystickSetVirtualAxis(j, index, static_cast<Sint16>(value));
                break;
            case ControllerControl::Button:
                result = SDL_JoystickSetVirtualButton(j, index, value ? SDL_PRESSED : SDL_RELEASED);
                break;
            case ControllerControl::Hat: result = SDL_JoystickSetVirtualHat(j, index, static_cast<Uint8>(value)); break;
        }
        if (result != 0) std::fprintf(stderr, "sim: controller %d: %s\n", static_cast<int>(id), SDL_GetError());
        return result == 0;
    }

    bool DetachVirtual(int32_t id) override {
        if (m_virtual.erase(id) == 0) return false;
        int index = __IndexOf(id);
        if (index >= 0) SDL_JoystickDetachVirtual(index);
        Close(id);
        return true;
    }

    std::vector<int32_t> VirtualIds() const override { return std::vector<int32_t>(m_virtual.begin(), m_virtual.end()); }

private:
    struct Opened {
        SDL_Joystick* joystick;
        int count;
    };

    static int __IndexOf(int32_t id) {
        int n = SDL_NumJoysticks();
        for (int i = 0; i < n; ++i)
            if (SDL_JoystickGetDeviceInstanceID(i) == id) return i;
        return -1;
    }

    static bool __Describe(int index, ControllerInfo* info) {
        SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
        if (id < 0) return false;
        *info = ControllerInfo();
        info->id = id;
        const char* name = SDL_JoystickNameForIndex(index);
        info->name = name && *name ? name : "Game controller";
        SDL_JoystickGUID guid = SDL_JoystickGetDeviceGUID(index);
        static_assert(sizeof(guid.data) == sizeof(GUID), "a joystick GUID fills a GUID");
        std::memcpy(&info->product, guid.data, sizeof(GUID));
        info->gamepad = SDL_JoystickGetDeviceType(index) == SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        return true;
    }

    std::map<int32_t, Opened> m_open;
    std::set<int32_t> m_virtual;  // the panel's, each holding one count in m_open
};

}  // namespace

std::unique_ptr<dinput::ControllerBackend> CreateSdlControllerBackend(std::string* why) {
    // Background devices keep their data while another window has the focus.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
        *why = SDL_GetError();
        return nullptr;
    }
    return std::unique_ptr<dinput::ControllerBackend>(new SdlControllers());
}

}  // namespace platform
}  // namespace qndx
