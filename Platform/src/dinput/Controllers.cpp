// Game controllers through SDL's joystick API. Each controller is known by
// SDL's instance id, which stays the same while it is attached; devices open
// it (counted) for as long as they exist. Without SDL's joystick subsystem
// the null backend reports no controllers.
#include "dinput/Controllers.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <map>

namespace qndx {
namespace platform {
namespace dinput {
namespace {

class NullControllers : public ControllerBackend {
public:
    std::vector<ControllerInfo> List() override { return {}; }
    bool Find(int32_t, ControllerInfo*) override { return false; }
    bool Open(int32_t) override { return false; }
    void Close(int32_t) override {}
    bool IsAttached(int32_t) override { return false; }
    bool Read(int32_t, ControllerState*) override { return false; }
    void Refresh() override {}
};

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
        *st = ControllerState();
        // The counts stay in locals: a byte written into the state could, as
        // far as the compiler knows, change a count read back from it.
        const int axes = Clamp(SDL_JoystickNumAxes(j), ControllerState::kAxes);
        const int buttons = Clamp(SDL_JoystickNumButtons(j), ControllerState::kButtons);
        const int hats = Clamp(SDL_JoystickNumHats(j), ControllerState::kHats);
        st->axisCount = axes;
        st->buttonCount = buttons;
        st->hatCount = hats;
        for (int a = 0; a < axes; ++a) st->axes[a] = SDL_JoystickGetAxis(j, a);
        for (int b = 0; b < buttons; ++b) st->buttons[b] = SDL_JoystickGetButton(j, b) ? 1 : 0;
        for (int h = 0; h < hats; ++h) st->hats[h] = SDL_JoystickGetHat(j, h);
        return true;
    }

    void Refresh() override { SDL_JoystickUpdate(); }

private:
    struct Opened {
        SDL_Joystick* joystick;
        int count;
    };

    static int Clamp(int n, int max) { return n < 0 ? 0 : (n > max ? max : n); }

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
};

}  // namespace

std::unique_ptr<ControllerBackend> MakeControllerBackend() {
    // Background devices keep their data while another window has the focus.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
        std::fprintf(stderr, "DirectInput: no game controllers (SDL joystick start failed: %s)\n", SDL_GetError());
        return std::unique_ptr<ControllerBackend>(new NullControllers());
    }
    return std::unique_ptr<ControllerBackend>(new SdlControllers());
}

}  // namespace dinput
}  // namespace platform
}  // namespace qndx
