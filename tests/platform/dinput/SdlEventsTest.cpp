// SDL events reaching the devices through the window's pump: scancodes to
// set-1 codes, repeats, wheel units and direction, button numbering.
#include <SDL.h>

#include <set>

#include "DInputFixture.h"
#include "sdl/ScanCodes.h"
#include "sdl/InputEvents.h"
#include "user/HostEvents.h"

using qndx::platform::dinput::DikFromSdlScancode;

namespace {

constexpr DWORD kBackground = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;

void QueueKey(SDL_Scancode sc, bool down, bool repeat = false) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.keysym.scancode = sc;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    qndx::platform::QueueSdlEvent(e);
}

}  // namespace

TEST(ScanCodeTable, KeysTheEngineAndGamesUseHaveTheirSetOneCodes) {
    EXPECT_EQ(0x01, DikFromSdlScancode(SDL_SCANCODE_ESCAPE));
    EXPECT_EQ(0x21, DikFromSdlScancode(SDL_SCANCODE_F));
    EXPECT_EQ(0x22, DikFromSdlScancode(SDL_SCANCODE_G));
    EXPECT_EQ(0x1E, DikFromSdlScancode(SDL_SCANCODE_A));
    EXPECT_EQ(0x2C, DikFromSdlScancode(SDL_SCANCODE_Z));
    EXPECT_EQ(0x02, DikFromSdlScancode(SDL_SCANCODE_1));
    EXPECT_EQ(0x0B, DikFromSdlScancode(SDL_SCANCODE_0));
    EXPECT_EQ(0x39, DikFromSdlScancode(SDL_SCANCODE_SPACE));
    EXPECT_EQ(0x1C, DikFromSdlScancode(SDL_SCANCODE_RETURN));
    EXPECT_EQ(0xC8, DikFromSdlScancode(SDL_SCANCODE_UP));
    EXPECT_EQ(0xD0, DikFromSdlScancode(SDL_SCANCODE_DOWN));
    EXPECT_EQ(0xCB, DikFromSdlScancode(SDL_SCANCODE_LEFT));
    EXPECT_EQ(0xCD, DikFromSdlScancode(SDL_SCANCODE_RIGHT));
    EXPECT_EQ(0x1D, DikFromSdlScancode(SDL_SCANCODE_LCTRL));
    EXPECT_EQ(0x9D, DikFromSdlScancode(SDL_SCANCODE_RCTRL));
    EXPECT_EQ(0x38, DikFromSdlScancode(SDL_SCANCODE_LALT));
    EXPECT_EQ(0xB8, DikFromSdlScancode(SDL_SCANCODE_RALT));
    EXPECT_EQ(0x2A, DikFromSdlScancode(SDL_SCANCODE_LSHIFT));
    EXPECT_EQ(0x36, DikFromSdlScancode(SDL_SCANCODE_RSHIFT));
    EXPECT_EQ(0x9C, DikFromSdlScancode(SDL_SCANCODE_KP_ENTER));
    EXPECT_EQ(0xB5, DikFromSdlScancode(SDL_SCANCODE_KP_DIVIDE));
    EXPECT_EQ(0x37, DikFromSdlScancode(SDL_SCANCODE_KP_MULTIPLY));
    EXPECT_EQ(0x52, DikFromSdlScancode(SDL_SCANCODE_KP_0));
    EXPECT_EQ(0x49, DikFromSdlScancode(SDL_SCANCODE_KP_9));
    EXPECT_EQ(0x53, DikFromSdlScancode(SDL_SCANCODE_KP_PERIOD));
    EXPECT_EQ(0x3B, DikFromSdlScancode(SDL_SCANCODE_F1));
    EXPECT_EQ(0x44, DikFromSdlScancode(SDL_SCANCODE_F10));
    EXPECT_EQ(0x57, DikFromSdlScancode(SDL_SCANCODE_F11));
    EXPECT_EQ(0x58, DikFromSdlScancode(SDL_SCANCODE_F12));
    EXPECT_EQ(0xC7, DikFromSdlScancode(SDL_SCANCODE_HOME));
    EXPECT_EQ(0xD3, DikFromSdlScancode(SDL_SCANCODE_DELETE));
    EXPECT_EQ(0xDB, DikFromSdlScancode(SDL_SCANCODE_LGUI));
    EXPECT_EQ(0xC5, DikFromSdlScancode(SDL_SCANCODE_PAUSE));
    EXPECT_EQ(0xB7, DikFromSdlScancode(SDL_SCANCODE_PRINTSCREEN));
    EXPECT_EQ(0x56, DikFromSdlScancode(SDL_SCANCODE_NONUSBACKSLASH));
    // Keys the set-1 keyboard lacks, and values outside the table, give 0.
    EXPECT_EQ(0, DikFromSdlScancode(SDL_SCANCODE_F24));
    EXPECT_EQ(0, DikFromSdlScancode(SDL_SCANCODE_UNKNOWN));
    EXPECT_EQ(0, DikFromSdlScancode(-1));
    EXPECT_EQ(0, DikFromSdlScancode(SDL_NUM_SCANCODES));
}

TEST(ScanCodeTable, LettersDigitsAndFunctionKeysNeverShareACode) {
    std::set<int> codes;
    int keys = 0;
    for (int sc = SDL_SCANCODE_A; sc <= SDL_SCANCODE_0; ++sc, ++keys) codes.insert(DikFromSdlScancode(sc));
    for (int sc = SDL_SCANCODE_F1; sc <= SDL_SCANCODE_F12; ++sc, ++keys) codes.insert(DikFromSdlScancode(sc));
    for (int sc = SDL_SCANCODE_KP_1; sc <= SDL_SCANCODE_KP_0; ++sc, ++keys) codes.insert(DikFromSdlScancode(sc));
    for (int sc = SDL_SCANCODE_LCTRL; sc <= SDL_SCANCODE_RGUI; ++sc, ++keys) codes.insert(DikFromSdlScancode(sc));
    EXPECT_EQ(static_cast<size_t>(keys), codes.size());
    EXPECT_EQ(0u, codes.count(0));
}

TEST_F(DInputTest, SdlKeysReachTheKeyboardInOrderWithoutRepeats) {
    IDirectInputDevice8A* kb = Ready(GUID_SysKeyboard, &c_dfDIKeyboard, nullptr, kBackground);
    QueueKey(SDL_SCANCODE_G, true);
    QueueKey(SDL_SCANCODE_G, true, true);
    QueueKey(SDL_SCANCODE_G, true, true);
    QueueKey(SDL_SCANCODE_RCTRL, true);
    QueueKey(SDL_SCANCODE_G, false);
    QueueKey(SDL_SCANCODE_F24, true);  // no set-1 code: dropped
    qndx::platform::PumpHostEvents();
    HRESULT hr;
    auto recs = Read(kb, &hr);
    ASSERT_EQ(3u, recs.size());
    EXPECT_EQ(DWORD(DIK_G), recs[0].dwOfs);
    EXPECT_EQ(DWORD(DIK_RCONTROL), recs[1].dwOfs);
    EXPECT_EQ(DWORD(DIK_G), recs[2].dwOfs);
    EXPECT_EQ(0u, recs[2].dwData);
}

TEST_F(DInputTest, SdlMouseEventsBecomeRelativeMotionWheelUnitsAndButtons) {
    IDirectInputDevice8A* m = Ready(GUID_SysMouse, &c_dfDIMouse2, nullptr, kBackground);
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = 500;  // absolute positions are not what the device reports
    e.motion.xrel = 5;
    e.motion.yrel = -3;
    qndx::platform::QueueSdlEvent(e);
    e = SDL_Event{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = 2;
    e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    qndx::platform::QueueSdlEvent(e);
    e.wheel.y = 1;
    e.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
    qndx::platform::QueueSdlEvent(e);
    const Uint8 sdlButtons[] = {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE, SDL_BUTTON_X1, SDL_BUTTON_X2};
    for (Uint8 b : sdlButtons) {
        e = SDL_Event{};
        e.type = SDL_MOUSEBUTTONDOWN;
        e.button.button = b;
        e.button.state = SDL_PRESSED;
        qndx::platform::QueueSdlEvent(e);
    }
    qndx::platform::PumpHostEvents();

    DIMOUSESTATE2 st;
    ASSERT_EQ(DI_OK, m->GetDeviceState(sizeof(st), &st));
    EXPECT_EQ(5, st.lX);
    EXPECT_EQ(-3, st.lY);
    EXPECT_EQ(240 - 120, st.lZ);
    HRESULT hr;
    auto recs = Read(m, &hr);
    ASSERT_EQ(2u + 2u + 5u, recs.size());
    EXPECT_EQ(240, static_cast<LONG>(recs[2].dwData));
    EXPECT_EQ(-120, static_cast<LONG>(recs[3].dwData));
    // Left, right, middle, then the side buttons, in DirectInput numbering.
    for (DWORD i = 0; i < 5; ++i) EXPECT_EQ(DIMOFS_BUTTON0 + i, recs[4 + i].dwOfs) << i;
}
