// The X key codes the layer reads back from the server's keymap name the same
// keys as SDL's own key events: every key code the server has is typed with
// xdotool into an SDL window, and the set-1 code of SDL's event is compared
// with the one the keymap table gives. Skipped, with the reason, when Xvfb
// or xdotool is missing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sdl/ScanCodes.h"

// Last: the X11 headers behind it define names (None, Bool) that gtest uses.
#include <SDL.h>
#include <SDL_syswm.h>

#include "support/Xvfb.h"

namespace {

using qndx::platform::dinput::DikFromSdlScancode;
using qndx::platform::dinput::DikFromX11Keycode;

constexpr int kMarker = 9;  // Escape, typed after each key to close its events
// xdotool takes a single digit for the digit's key, so key codes start at 10
// (8 is no key; 9 is Escape, checked alone).
constexpr int kFirst = 10;

// In the child, on the display: 0 when every key code agrees, else 1 (with
// the differences printed), or 2 and up when the run itself failed.
int CompareKeyCodes() {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 2;
    SDL_Window* window = SDL_CreateWindow("qndx keys", 0, 0, 200, 100, SDL_WINDOW_SHOWN);
    if (!window) return 3;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return 4;
    int low = 0, high = 0;  // the server's key code range
    XDisplayKeycodes(info.info.x11.display, &low, &high);
    if (DikFromX11Keycode(kMarker) != 0x01) {
        std::fprintf(stderr, "X key code 9 gives 0x%02X, not Escape\n", DikFromX11Keycode(kMarker));
        return 1;
    }

    const int first = low > kFirst ? low : kFirst;
    std::string keys;
    for (int kc = first; kc <= high; ++kc) keys += " " + std::to_string(kc) + " Escape";
    const std::string command = "xdotool windowfocus --sync " + std::to_string(info.info.x11.window) +
                                " && xdotool key --delay 2" + keys;
    if (std::system(command.c_str()) != 0) return 5;

    int result = 0;
    int kc = first;
    int fromSdl = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (kc <= high && std::chrono::steady_clock::now() < deadline) {
        SDL_Event e;
        if (!SDL_WaitEventTimeout(&e, 100)) continue;
        if (e.type != SDL_KEYUP && e.type != SDL_KEYDOWN) continue;
        const int dik = DikFromSdlScancode(e.key.keysym.scancode);
        if (e.type == SDL_KEYDOWN) {
            if (dik != 0x01) fromSdl = dik;
            continue;
        }
        if (dik != 0x01) continue;
        // The marker's release: every event of key code kc has come.
        if (fromSdl != DikFromX11Keycode(kc)) {
            std::fprintf(stderr, "X key code %d: SDL's events give 0x%02X, the keymap table 0x%02X\n", kc, fromSdl,
                         DikFromX11Keycode(kc));
            result = 1;
        }
        fromSdl = 0;
        ++kc;
    }
    if (kc <= high) {
        std::fprintf(stderr, "the keys stopped arriving at key code %d\n", kc);
        return 6;
    }
    SDL_DestroyWindow(window);
    SDL_Quit();
    return result;
}

}  // namespace

TEST(X11KeyCodes, TheKeymapTableNamesTheKeysSdlsEventsName) {
#if !QNDX_HAVE_X11
    GTEST_SKIP() << "the layer was built without libX11";
#endif
    if (!qndx::test::OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    if (!qndx::test::OnPath("xdotool")) GTEST_SKIP() << "xdotool is not installed";
    qndx::test::Xvfb server;
    std::string why;
    if (!server.Start(&why)) GTEST_SKIP() << "no X server: " << why;
    const qndx::test::ChildEnd end =
        qndx::test::RunOnDisplay(server.Display(), [] { return CompareKeyCodes(); }, 60);
    ASSERT_TRUE(end.exited) << "the child did not end by itself (signal " << end.signal << ")";
    EXPECT_EQ(0, end.code) << "see the lines above for the keys that differ";
}
