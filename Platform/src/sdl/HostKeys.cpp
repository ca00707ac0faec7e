// The keys physically held, read from the X server's keymap where SDL runs
// on X11. SDL's own key state stops while another window has the focus and,
// when the focus comes back, it restores only the modifiers, so the keymap is
// the one source of what is really held then. X servers on Linux number their
// keys as the kernel does plus 8 (evdev key codes); a server that numbers
// them otherwise is not read, as its keys cannot be told apart reliably.
#include "dinput/InputSource.h"
#include "sdl/ScanCodes.h"

#if QNDX_HAVE_X11
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <linux/input-event-codes.h>

#include <array>
#include <cstdio>
#include <cstring>
#endif

namespace qndx {
namespace platform {
namespace dinput {

#if QNDX_HAVE_X11
namespace {

struct LinuxKey {
    int code;
    SDL_Scancode sdl;
};

// Kernel key codes to SDL scancodes (USB usage positions), for every key the
// set-1 table knows; the set-1 code then comes from that one table. SDL maps
// the keys that type no character by their keysyms, so the media and keypad
// keys below follow what SDL's events give on the standard keymap.
constexpr LinuxKey kLinuxKeys[] = {
    {KEY_ESC, SDL_SCANCODE_ESCAPE},
    {KEY_1, SDL_SCANCODE_1},
    {KEY_2, SDL_SCANCODE_2},
    {KEY_3, SDL_SCANCODE_3},
    {KEY_4, SDL_SCANCODE_4},
    {KEY_5, SDL_SCANCODE_5},
    {KEY_6, SDL_SCANCODE_6},
    {KEY_7, SDL_SCANCODE_7},
    {KEY_8, SDL_SCANCODE_8},
    {KEY_9, SDL_SCANCODE_9},
    {KEY_0, SDL_SCANCODE_0},
    {KEY_MINUS, SDL_SCANCODE_MINUS},
    {KEY_EQUAL, SDL_SCANCODE_EQUALS},
    {KEY_BACKSPACE, SDL_SCANCODE_BACKSPACE},
    {KEY_TAB, SDL_SCANCODE_TAB},
    {KEY_Q, SDL_SCANCODE_Q},
    {KEY_W, SDL_SCANCODE_W},
    {KEY_E, SDL_SCANCODE_E},
    {KEY_R, SDL_SCANCODE_R},
    {KEY_T, SDL_SCANCODE_T},
    {KEY_Y, SDL_SCANCODE_Y},
    {KEY_U, SDL_SCANCODE_U},
    {KEY_I, SDL_SCANCODE_I},
    {KEY_O, SDL_SCANCODE_O},
    {KEY_P, SDL_SCANCODE_P},
    {KEY_LEFTBRACE, SDL_SCANCODE_LEFTBRACKET},
    {KEY_RIGHTBRACE, SDL_SCANCODE_RIGHTBRACKET},
    {KEY_ENTER, SDL_SCANCODE_RETURN},
    {KEY_LEFTCTRL, SDL_SCANCODE_LCTRL},
    {KEY_A, SDL_SCANCODE_A},
    {KEY_S, SDL_SCANCODE_S},
    {KEY_D, SDL_SCANCODE_D},
    {KEY_F, SDL_SCANCODE_F},
    {KEY_G, SDL_SCANCODE_G},
    {KEY_H, SDL_SCANCODE_H},
    {KEY_J, SDL_SCANCODE_J},
    {KEY_K, SDL_SCANCODE_K},
    {KEY_L, SDL_SCANCODE_L},
    {KEY_SEMICOLON, SDL_SCANCODE_SEMICOLON},
    {KEY_APOSTROPHE, SDL_SCANCODE_APOSTROPHE},
    {KEY_GRAVE, SDL_SCANCODE_GRAVE},
    {KEY_LEFTSHIFT, SDL_SCANCODE_LSHIFT},
    {KEY_BACKSLASH, SDL_SCANCODE_BACKSLASH},
    {KEY_Z, SDL_SCANCODE_Z},
    {KEY_X, SDL_SCANCODE_X},
    {KEY_C, SDL_SCANCODE_C},
    {KEY_V, SDL_SCANCODE_V},
    {KEY_B, SDL_SCANCODE_B},
    {KEY_N, SDL_SCANCODE_N},
    {KEY_M, SDL_SCANCODE_M},
    {KEY_COMMA, SDL_SCANCODE_COMMA},
    {KEY_DOT, SDL_SCANCODE_PERIOD},
    {KEY_SLASH, SDL_SCANCODE_SLASH},
    {KEY_RIGHTSHIFT, SDL_SCANCODE_RSHIFT},
    {KEY_KPASTERISK, SDL_SCANCODE_KP_MULTIPLY},
    {KEY_LEFTALT, SDL_SCANCODE_LALT},
    {KEY_SPACE, SDL_SCANCODE_SPACE},
    {KEY_CAPSLOCK, SDL_SCANCODE_CAPSLOCK},
    {KEY_F1, SDL_SCANCODE_F1},
    {KEY_F2, SDL_SCANCODE_F2},
    {KEY_F3, SDL_SCANCODE_F3},
    {KEY_F4, SDL_SCANCODE_F4},
    {KEY_F5, SDL_SCANCODE_F5},
    {KEY_F6, SDL_SCANCODE_F6},
    {KEY_F7, SDL_SCANCODE_F7},
    {KEY_F8, SDL_SCANCODE_F8},
    {KEY_F9, SDL_SCANCODE_F9},
    {KEY_F10, SDL_SCANCODE_F10},
    {KEY_NUMLOCK, SDL_SCANCODE_NUMLOCKCLEAR},
    {KEY_SCROLLLOCK, SDL_SCANCODE_SCROLLLOCK},
    {KEY_KP7, SDL_SCANCODE_KP_7},
    {KEY_KP8, SDL_SCANCODE_KP_8},
    {KEY_KP9, SDL_SCANCODE_KP_9},
    {KEY_KPMINUS, SDL_SCANCODE_KP_MINUS},
    {KEY_KP4, SDL_SCANCODE_KP_4},
    {KEY_KP5, SDL_SCANCODE_KP_5},
    {KEY_KP6, SDL_SCANCODE_KP_6},
    {KEY_KPPLUS, SDL_SCANCODE_KP_PLUS},
    {KEY_KP1, SDL_SCANCODE_KP_1},
    {KEY_KP2, SDL_SCANCODE_KP_2},
    {KEY_KP3, SDL_SCANCODE_KP_3},
    {KEY_KP0, SDL_SCANCODE_KP_0},
    {KEY_KPDOT, SDL_SCANCODE_KP_PERIOD},
    {84, SDL_SCANCODE_RALT},  // X's level-three shift, no kernel key of its own
    {KEY_102ND, SDL_SCANCODE_NONUSBACKSLASH},
    {KEY_F11, SDL_SCANCODE_F11},
    {KEY_F12, SDL_SCANCODE_F12},
    {KEY_RO, SDL_SCANCODE_INTERNATIONAL1},
    {KEY_KATAKANA, SDL_SCANCODE_LANG3},
    {KEY_HENKAN, SDL_SCANCODE_INTERNATIONAL4},
    {KEY_KATAKANAHIRAGANA, SDL_SCANCODE_INTERNATIONAL2},
    {KEY_MUHENKAN, SDL_SCANCODE_INTERNATIONAL5},
    {KEY_KPENTER, SDL_SCANCODE_KP_ENTER},
    {KEY_RIGHTCTRL, SDL_SCANCODE_RCTRL},
    {KEY_KPSLASH, SDL_SCANCODE_KP_DIVIDE},
    {KEY_SYSRQ, SDL_SCANCODE_PRINTSCREEN},
    {KEY_RIGHTALT, SDL_SCANCODE_RALT},
    {KEY_HOME, SDL_SCANCODE_HOME},
    {KEY_UP, SDL_SCANCODE_UP},
    {KEY_PAGEUP, SDL_SCANCODE_PAGEUP},
    {KEY_LEFT, SDL_SCANCODE_LEFT},
    {KEY_RIGHT, SDL_SCANCODE_RIGHT},
    {KEY_END, SDL_SCANCODE_END},
    {KEY_DOWN, SDL_SCANCODE_DOWN},
    {KEY_PAGEDOWN, SDL_SCANCODE_PAGEDOWN},
    {KEY_INSERT, SDL_SCANCODE_INSERT},
    {KEY_DELETE, SDL_SCANCODE_DELETE},
    {KEY_MUTE, SDL_SCANCODE_AUDIOMUTE},
    {KEY_VOLUMEDOWN, SDL_SCANCODE_VOLUMEDOWN},
    {KEY_VOLUMEUP, SDL_SCANCODE_VOLUMEUP},
    {KEY_POWER, SDL_SCANCODE_POWER},
    {KEY_KPEQUAL, SDL_SCANCODE_KP_EQUALS},
    {KEY_PAUSE, SDL_SCANCODE_PAUSE},
    {KEY_KPCOMMA, SDL_SCANCODE_KP_PERIOD},  // KP_Decimal on the standard keymap
    {KEY_YEN, SDL_SCANCODE_INTERNATIONAL3},
    {KEY_LEFTMETA, SDL_SCANCODE_LGUI},
    {KEY_RIGHTMETA, SDL_SCANCODE_RGUI},
    {KEY_COMPOSE, SDL_SCANCODE_APPLICATION},
    {KEY_F13, SDL_SCANCODE_F13},
    {KEY_F14, SDL_SCANCODE_F14},
    {KEY_F15, SDL_SCANCODE_F15},
    {KEY_SLEEP, SDL_SCANCODE_SLEEP},
    {KEY_CALC, SDL_SCANCODE_CALCULATOR},
    {KEY_MAIL, SDL_SCANCODE_MAIL},
    {KEY_BOOKMARKS, SDL_SCANCODE_AC_BOOKMARKS},
    {KEY_COMPUTER, SDL_SCANCODE_COMPUTER},
    {KEY_BACK, SDL_SCANCODE_AC_BACK},
    {KEY_FORWARD, SDL_SCANCODE_AC_FORWARD},
    {KEY_NEXTSONG, SDL_SCANCODE_AUDIONEXT},
    {KEY_PLAYPAUSE, SDL_SCANCODE_AUDIOPLAY},
    {KEY_PREVIOUSSONG, SDL_SCANCODE_AUDIOPREV},
    {KEY_STOPCD, SDL_SCANCODE_AUDIOSTOP},
    {KEY_HOMEPAGE, SDL_SCANCODE_AC_HOME},
    {KEY_REFRESH, SDL_SCANCODE_AC_REFRESH},
    {KEY_SEARCH, SDL_SCANCODE_AC_SEARCH},
    {KEY_STOP, SDL_SCANCODE_STOP},
    {KEY_CONFIG, SDL_SCANCODE_F13},  // XF86Tools, which SDL takes for F13
    {KEY_PLAYCD, SDL_SCANCODE_AUDIOPLAY},
    {KEY_PLAY, SDL_SCANCODE_AUDIOPLAY},
    {KEY_PRINT, SDL_SCANCODE_PRINTSCREEN},
    {KEY_EMAIL, SDL_SCANCODE_MAIL},
    {KEY_MEDIA, SDL_SCANCODE_MEDIASELECT},
};

constexpr int kX11Offset = 8;  // evdev X key code = kernel key code + 8

// Set-1 code by X key code (0: no such key).
std::array<BYTE, 256> BuildTable() {
    std::array<BYTE, 256> table{};
    for (const LinuxKey& k : kLinuxKeys) {
        const int x = k.code + kX11Offset;
        if (x < 256) table[static_cast<size_t>(x)] = DikFromSdlScancode(k.sdl);
    }
    return table;
}

// Keys whose kernel code differs between the evdev and the older XFree86
// numbering, found through keysyms that no layout moves.
bool UsesEvdevCodes(Display* display) {
    const struct {
        KeySym sym;
        int code;
    } probes[] = {{XK_Home, KEY_HOME}, {XK_Up, KEY_UP}, {XK_Left, KEY_LEFT}, {XK_Delete, KEY_DELETE}};
    for (const auto& p : probes)
        if (XKeysymToKeycode(display, p.sym) != p.code + kX11Offset) return false;
    return true;
}

}  // namespace

bool ReadHostKeys(BYTE* keys) {
    if (!keys || SDL_WasInit(SDL_INIT_VIDEO) == 0) return false;
    SDL_Window* focused = SDL_GetKeyboardFocus();
    if (!focused) return false;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(focused, &info) || info.subsystem != SDL_SYSWM_X11 || !info.info.x11.display)
        return false;
    Display* display = info.info.x11.display;
    if (!UsesEvdevCodes(display)) {
        static bool warned = false;
        if (!warned)
            std::fprintf(stderr,
                         "keyboard: the X server does not number its keys as evdev does; keys held while the "
                         "window was in the background are not read back\n");
        warned = true;
        return false;
    }
    char map[32];
    XQueryKeymap(display, map);
    std::memset(keys, 0, 256);
    for (int x = 0; x < 256; ++x)
        if ((map[x / 8] >> (x % 8)) & 1)
            if (const BYTE dik = DikFromX11Keycode(x)) keys[dik] = 0x80;
    return true;
}

BYTE DikFromX11Keycode(int keycode) {
    static const std::array<BYTE, 256> table = BuildTable();
    return keycode >= 0 && keycode < 256 ? table[static_cast<size_t>(keycode)] : 0;
}

#else

// Built without libX11: the keys' own events are all there is.
bool ReadHostKeys(BYTE*) { return false; }
BYTE DikFromX11Keycode(int) { return 0; }

#endif

}  // namespace dinput
}  // namespace platform
}  // namespace qndx
