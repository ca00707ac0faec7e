// Input on a real X server: a game built on the engine runs its main loop in
// a window of its own Xvfb server while xdotool types and moves the pointer;
// the keys must reach the game state's OnKeyDown with their keyboard codes,
// and the pointer's movement must move the engine's cursor; keys held while
// another program's window (xev) has the focus must read as they are held.
// Skipped, with the reason, when Xvfb, xdotool or xev is missing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "GameManager.h"
#include "GameState.h"
#include "GraphicEngine/Cursor.h"
#include "InputEngine/InputEngine.h"
#include "InputEngine/Keyboard.h"
#include "InputEngine/Mouse.h"
#include "Util/Window.h"
#include "platform/DirectInput.h"
#include "platform/sim/Kernel.h"
#include "sdl/SdlWindow.h"

// Last: the X11 headers behind it define names (None, Bool) that gtest uses.
#include <SDL.h>
#include <SDL_syswm.h>

#include "support/Xvfb.h"
#include "support/TempDir.h"

namespace {

using qndx::test::OnPath;
using qndx::test::Xvfb;

// Notes the keys it is given and where the cursor was at F and at Esc; Esc
// ends the game.
class TypingState : public CQNDXGameState {
public:
    std::vector<int> keys;
    CQNDXCursorManager* cursor = nullptr;
    int atF[2] = {0, 0};
    int atEscape[2] = {0, 0};
    TypingState() { SetKeyboardEvents(1); }
    void OnKeyDown(int key) override {
        keys.push_back(key);
        if (key == DIK_F) cursor->GetPosition(&atF[0], &atF[1]);
        if (key == DIK_ESCAPE) {
            cursor->GetPosition(&atEscape[0], &atEscape[1]);
            GetGameManager()->Quit(0);
        }
    }
};

unsigned long XWindowOf(HWND hwnd) {
    SDL_Window* window = qndx::platform::SdlWindowFor(hwnd);
    if (!window) return 0;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
    return static_cast<unsigned long>(info.info.x11.window);
}

// xdotool's script, run beside the game's loop.
pid_t StartTyping(const std::string& display, unsigned long xwindow) {
    std::string id = std::to_string(xwindow);
    std::string script = "sleep 1; xdotool windowfocus --sync " + id + "; xdotool mousemove --window " + id +
                         " 100 100; sleep 0.3; xdotool key --delay 100 f g; sleep 0.3; xdotool mousemove_relative "
                         "-- 200 40; sleep 0.5; xdotool key Escape";
    pid_t pid = fork();
    if (pid == 0) {
        setenv("DISPLAY", display.c_str(), 1);
        execl("/bin/sh", "sh", "-c", script.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// The game, in this (child) process, on the X display. 0 when all was seen.
int PlayGame(const std::string& display, const std::string& dir) {
    alarm(60);  // a loop that never ends fails instead of hanging
    std::string line = "\"" + dir + "/typing.exe\"";
    qndx::sim::SetCommandLine(line.c_str());
    CQNDXGameManager* gm = CQNDXGameManager::Create();
    if (!gm || !gm->GetWindow()) return 10;
    gm->SetPauseWhenInactive(0);
    CQNDXInputEngine* input = gm->GetInputEngine();
    CQNDXMouse* mouse = input ? input->GetMouse() : nullptr;
    if (!mouse) return 11;

    // What creating the display does for the cursor: bounds, centre, listener.
    CQNDXCursorManager cursor(static_cast<CQNDXCursor*>(nullptr));
    mouse->SetBounds(0, 0, 800, 600);
    mouse->SetPosition(400, 300);
    mouse->AddListener(&cursor);

    TypingState state;
    state.cursor = &cursor;
    gm->AddGameState(&state);
    unsigned long xwindow = XWindowOf(gm->GetWindow()->GetHWND());
    if (!xwindow) {
        std::fprintf(stderr, "the game window has no X window\n");
        return 12;
    }
    pid_t typist = StartTyping(display, xwindow);
    gm->Run();
    int status = 0;
    waitpid(typist, &status, 0);

    int result = 0;
    const std::vector<int> want = {DIK_F, DIK_G, DIK_ESCAPE};
    if (state.keys != want) {
        std::fprintf(stderr, "keys seen:");
        for (int k : state.keys) std::fprintf(stderr, " 0x%02X", k);
        std::fprintf(stderr, " (wanted 0x21 0x22 0x01)\n");
        result = 1;
    }
    // Between F and Esc the pointer went 200 right and 40 down.
    if (state.atEscape[0] <= state.atF[0] || state.atEscape[1] <= state.atF[1]) {
        std::fprintf(stderr, "cursor went from %d,%d to %d,%d; the pointer moved right and down\n", state.atF[0],
                     state.atF[1], state.atEscape[0], state.atEscape[1]);
        result |= 2;
    }
    mouse->RemoveListener(&cursor);
    gm->RemoveFirstGameState();
    return result;
}

// Notes every key event, and which of the watched keys the table shows held
// at each resynchronisation and at Esc, which ends the game.
class FocusState : public CQNDXGameState {
public:
    std::vector<int> watched;
    std::vector<int> downs, ups, heldAtReacquire, heldAtEscape;
    int reacquired = 0;
    FocusState() { SetKeyboardEvents(1); }
    void OnKeyDown(int key) override {
        downs.push_back(key);
        if (key == DIK_ESCAPE) {
            heldAtEscape = Held();
            GetGameManager()->Quit(0);
        }
    }
    void OnKeyUp(int key) override {
        if (key != DIK_ESCAPE) ups.push_back(key);  // Esc may go up before the game ends
    }
    void OnKeyboardReacquired() override {
        ++reacquired;
        heldAtReacquire = Held();
    }

private:
    std::vector<int> Held() {
        std::vector<int> held;
        CQNDXKeyboard* kb = GetGameManager()->GetInputEngine()->GetKeyboard();
        for (int k : watched)
            if (kb->IsKeyDown(k) == 0x80) held.push_back(k);
        return held;
    }
};

std::string Codes(std::vector<int> keys) {
    std::sort(keys.begin(), keys.end());
    std::string text;
    char buf[8];
    for (int k : keys) {
        std::snprintf(buf, sizeof buf, " 0x%02X", k);
        text += buf;
    }
    return keys.empty() ? " none" : text;
}

bool Same(std::vector<int> seen, std::vector<int> want, const char* what) {
    std::sort(seen.begin(), seen.end());
    std::sort(want.begin(), want.end());
    if (seen == want) return true;
    std::fprintf(stderr, "%s:%s (wanted%s)\n", what, Codes(seen).c_str(), Codes(want).c_str());
    return false;
}

// The game in this (child) process while `steps` runs in a shell beside its
// loop, with $GAME the game's X window and $OTHER xev's. The steps end with
// Esc. 0 when the game saw what `want` expects, else the sum of the failed
// checks' bits.
struct FocusWant {
    std::vector<int> watched, downs, ups, heldAtReacquire, heldAtEscape;
};

int PlayFocusGame(const std::string& display, const std::string& dir, const std::string& steps,
                  const FocusWant& want) {
    alarm(60);
    std::string line = "\"" + dir + "/focus.exe\"";
    qndx::sim::SetCommandLine(line.c_str());
    CQNDXGameManager* gm = CQNDXGameManager::Create();
    if (!gm || !gm->GetWindow()) return 100;
    gm->SetPauseWhenInactive(0);
    FocusState state;
    state.watched = want.watched;
    gm->AddGameState(&state);
    unsigned long xwindow = XWindowOf(gm->GetWindow()->GetHWND());
    if (!xwindow) return 101;
    std::string script = "GAME=" + std::to_string(xwindow) +
                         "; xev -name qndx-other -geometry 200x100+700+0 >/dev/null 2>&1 & XEV=$!; "
                         "OTHER=$(xdotool search --sync --name qndx-other | head -n 1); "
                         "xdotool windowfocus --sync $GAME; sleep 0.4; " +
                         steps + "; kill $XEV";
    pid_t pid = fork();
    if (pid == 0) {
        setenv("DISPLAY", display.c_str(), 1);
        execl("/bin/sh", "sh", "-c", script.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    gm->Run();
    int status = 0;
    waitpid(pid, &status, 0);
    int result = 0;
    if (!Same(state.downs, want.downs, "downs")) result |= 1;
    if (!Same(state.ups, want.ups, "ups")) result |= 2;
    if (state.reacquired == 0) {
        std::fprintf(stderr, "the keyboard was never taken back\n");
        result |= 4;
    } else if (!Same(state.heldAtReacquire, want.heldAtReacquire, "held when taken back")) {
        result |= 4;
    }
    if (!Same(state.heldAtEscape, want.heldAtEscape, "held at Esc")) result |= 8;
    gm->RemoveFirstGameState();
    return result;
}

// Runs PlayFocusGame on a fresh Xvfb; the test fails with the child's code.
void RunFocusCase(const std::string& steps, const FocusWant& want) {
#if !QNDX_HAVE_X11
    GTEST_SKIP() << "the layer was built without libX11, so it cannot read held keys back";
#endif
    if (!OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    if (!OnPath("xdotool") || !OnPath("xev")) GTEST_SKIP() << "xdotool or xev is not installed";
    Xvfb server;
    std::string why;
    if (!server.Start(&why)) GTEST_SKIP() << "no X server: " << why;
    const qndx::test::TempDir scratch("qndx-focusx11");
    ASSERT_FALSE(scratch.path().empty());
    const qndx::test::ChildEnd end =
        qndx::test::RunOnDisplay(
            server.Display(), [&] { return PlayFocusGame(server.Display(), scratch.path(), steps, want); }, 100);
    ASSERT_TRUE(end.exited) << "the game did not end by itself (signal " << end.signal << ")";
    EXPECT_EQ(0, end.code) << "see the lines above for what the game saw";
}

}  // namespace

TEST(InputOnX11, TypedKeysReachTheGameStateAndThePointerMovesTheCursor) {
    if (!OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    if (!OnPath("xdotool")) GTEST_SKIP() << "xdotool is not installed";
    Xvfb server;
    std::string why;
    if (!server.Start(&why)) GTEST_SKIP() << "no X server: " << why;

    const qndx::test::TempDir scratch("qndx-inputx11");
    ASSERT_FALSE(scratch.path().empty());
    const char* dir = scratch.path().c_str();
    const qndx::test::ChildEnd end =
        qndx::test::RunOnDisplay(server.Display(), [&] { return PlayGame(server.Display(), dir); }, 100);
    ASSERT_TRUE(end.exited) << "the game did not end by itself (signal " << end.signal << ")";
    EXPECT_EQ(0, end.code) << "see the lines above for what the game saw";
}

// A held letter key while xev takes the focus and gives it back: the table
// shows it held once the keyboard is back, the press X repeats then makes no
// second down, and the release its one up.
TEST(InputOnX11, AKeyHeldAcrossAFocusChangeStaysDownWithoutASecondDown) {
    FocusWant want;
    want.watched = {DIK_A};
    want.downs = {DIK_A, DIK_ESCAPE};
    want.ups = {DIK_A};
    want.heldAtReacquire = {DIK_A};
    RunFocusCase(
        "xdotool keydown a; sleep 0.4; xdotool windowfocus --sync $OTHER; sleep 0.4; "
        "xdotool windowfocus --sync $GAME; sleep 0.6; "
        "xdotool keydown a; sleep 0.4; "  // what the server's auto-repeat sends
        "xdotool keyup a; sleep 0.4; xdotool key Escape",
        want);
}

// Keys pressed in xev's window and released in the game's: held in the table
// once the keyboard is back, without a down, and each released with one up.
// The keys are of every kind the X server numbers: letters, the modifiers
// (which SDL itself restores), extended keys, the keypad, function keys.
TEST(InputOnX11, KeysPressedElsewhereAndReleasedInTheGameGiveOnlyTheirUps) {
    const char* names = "a Shift_L Right End KP_Enter KP_Divide F12 Home backslash Super_L";
    FocusWant want;
    want.watched = {DIK_A,      DIK_LSHIFT, DIK_RIGHT, DIK_END,       DIK_NUMPADENTER,
                    DIK_DIVIDE, DIK_F12,    DIK_HOME,  DIK_BACKSLASH, DIK_LWIN};
    want.downs = {DIK_ESCAPE};
    want.ups = want.watched;
    want.heldAtReacquire = want.watched;
    RunFocusCase(std::string("xdotool windowfocus --sync $OTHER; sleep 0.4; xdotool keydown --delay 20 ") + names +
                     "; sleep 0.3; xdotool windowfocus --sync $GAME; sleep 0.6; xdotool keyup --delay 100 " +
                     names + "; sleep 0.3; xdotool key Escape",
                 want);
}
