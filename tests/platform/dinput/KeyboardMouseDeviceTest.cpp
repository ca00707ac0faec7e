// The system keyboard and mouse as DirectInput devices: records in event
// order, removed as read, the overflow result; immediate states; the
// acquisition rules, cooperative levels and focus.
#include <cstring>

#include "DInputFixture.h"
#include "platform/sim/Window.h"

using qndx::sim::InjectKey;
using qndx::sim::InjectMouseButton;
using qndx::sim::InjectMouseMotion;
using qndx::sim::InjectMouseWheel;

namespace {

constexpr DWORD kBackground = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
constexpr DWORD kForeground = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND;

}  // namespace

TEST_F(DInputTest, KeyRecordsArriveInOrderWithTimesAndSequences) {
    IDirectInputDevice8A* kb = Ready(GUID_SysKeyboard, &c_dfDIKeyboard, nullptr, kBackground);
    qndx::sim::SetFakeTimeMs(1000);
    InjectKey(DIK_F, true);
    qndx::sim::AdvanceFakeTimeMs(7);
    InjectKey(DIK_F, true, true);  // auto-repeat: nothing
    InjectKey(DIK_F, false);
    InjectKey(DIK_ESCAPE, true);

    HRESULT hr;
    auto recs = Read(kb, &hr);
    ASSERT_EQ(DI_OK, hr);
    ASSERT_EQ(3u, recs.size());
    EXPECT_EQ(DWORD(DIK_F), recs[0].dwOfs);
    EXPECT_EQ(0x80u, recs[0].dwData);
    EXPECT_EQ(1000u, recs[0].dwTimeStamp);
    EXPECT_EQ(DWORD(DIK_F), recs[1].dwOfs);
    EXPECT_EQ(0u, recs[1].dwData);
    EXPECT_EQ(1007u, recs[1].dwTimeStamp);
    EXPECT_EQ(DWORD(DIK_ESCAPE), recs[2].dwOfs);
    EXPECT_LT(recs[0].dwSequence, recs[1].dwSequence);
    EXPECT_LT(recs[1].dwSequence, recs[2].dwSequence);

    // Removed as read.
    recs = Read(kb, &hr);
    EXPECT_EQ(DI_OK, hr);
    EXPECT_TRUE(recs.empty());

    BYTE keys[256];
    ASSERT_EQ(DI_OK, kb->GetDeviceState(256, keys));
    EXPECT_EQ(0x80, keys[DIK_ESCAPE]);
    EXPECT_EQ(0, keys[DIK_F]);
    EXPECT_EQ(DIERR_INVALIDPARAM, kb->GetDeviceState(255, keys));
}

TEST_F(DInputTest, HeldKeyRepeatingAfterARealPressMakesOnlyThePress) {
    IDirectInputDevice8A* kb = Ready(GUID_SysKeyboard, &c_dfDIKeyboard, nullptr, kBackground);
    InjectKey(DIK_G, true);
    for (int i = 0; i < 10; ++i) InjectKey(DIK_G, true, true);
    HRESULT hr;
    EXPECT_EQ(1u, Read(kb, &hr).size());
}

TEST_F(DInputTest, FullBufferKeepsTheOldestAndReportsOverflowOnce) {
    IDirectInputDevice8A* kb = Ready(GUID_SysKeyboard, &c_dfDIKeyboard, nullptr, kBackground, 4);
    const BYTE order[] = {DIK_A, DIK_S, DIK_D, DIK_F, DIK_G, DIK_H};
    for (BYTE k : order) InjectKey(k, true);

    DWORD waiting = INFINITE;
    EXPECT_EQ(DI_BUFFEROVERFLOW, kb->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), nullptr, &waiting, DIGDD_PEEK));
    EXPECT_EQ(4u, waiting);

    HRESULT hr;
    auto recs = Read(kb, &hr, 2);
    EXPECT_EQ(DI_BUFFEROVERFLOW, hr);
    ASSERT_EQ(2u, recs.size());
    EXPECT_EQ(DWORD(DIK_A), recs[0].dwOfs);
    EXPECT_EQ(DWORD(DIK_S), recs[1].dwOfs);
    recs = Read(kb, &hr);
    EXPECT_EQ(DI_OK, hr);
    ASSERT_EQ(2u, recs.size());
    EXPECT_EQ(DWORD(DIK_D), recs[0].dwOfs);
    EXPECT_EQ(DWORD(DIK_F), recs[1].dwOfs);

    // The immediate state still knows every key.
    BYTE keys[256];
    ASSERT_EQ(DI_OK, kb->GetDeviceState(256, keys));
    EXPECT_EQ(0x80, keys[DIK_H]);

    // A null array with INFINITE empties the buffer.
    InjectKey(DIK_A, false);
    DWORD all = INFINITE;
    EXPECT_EQ(DI_OK, kb->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), nullptr, &all, 0));
    EXPECT_EQ(1u, all);
    EXPECT_TRUE(Read(kb, &hr).empty());
}

TEST_F(DInputTest, MouseStateAccumulatesUntilReadAndButtonsAndWheelMakeRecords) {
    IDirectInputDevice8A* m = Ready(GUID_SysMouse, &c_dfDIMouse2, nullptr, kBackground);
    InjectMouseMotion(3, -2);
    InjectMouseMotion(4, 0);
    InjectMouseWheel(240);
    InjectMouseButton(1, true);
    InjectMouseButton(7, true);

    DIMOUSESTATE2 st;
    ASSERT_EQ(DI_OK, m->GetDeviceState(sizeof(st), &st));
    EXPECT_EQ(7, st.lX);
    EXPECT_EQ(-2, st.lY);
    EXPECT_EQ(240, st.lZ);
    EXPECT_EQ(0x80, st.rgbButtons[1]);
    EXPECT_EQ(0x80, st.rgbButtons[7]);
    EXPECT_EQ(0, st.rgbButtons[0]);
    ASSERT_EQ(DI_OK, m->GetDeviceState(sizeof(st), &st));
    EXPECT_EQ(0, st.lX);
    EXPECT_EQ(0, st.lZ);
    EXPECT_EQ(0x80, st.rgbButtons[1]);

    HRESULT hr;
    auto recs = Read(m, &hr);
    ASSERT_EQ(DI_OK, hr);
    ASSERT_EQ(6u, recs.size());
    EXPECT_EQ(DWORD(DIMOFS_X), recs[0].dwOfs);
    EXPECT_EQ(3, static_cast<LONG>(recs[0].dwData));
    EXPECT_EQ(DWORD(DIMOFS_Y), recs[1].dwOfs);
    EXPECT_EQ(-2, static_cast<LONG>(recs[1].dwData));
    EXPECT_EQ(recs[0].dwSequence, recs[1].dwSequence);  // one movement
    EXPECT_EQ(DWORD(DIMOFS_X), recs[2].dwOfs);
    EXPECT_EQ(DWORD(DIMOFS_Z), recs[3].dwOfs);
    EXPECT_EQ(240, static_cast<LONG>(recs[3].dwData));
    EXPECT_EQ(DWORD(DIMOFS_BUTTON1), recs[4].dwOfs);
    EXPECT_EQ(0x80u, recs[4].dwData);
    EXPECT_EQ(DWORD(DIMOFS_BUTTON7), recs[5].dwOfs);
}

TEST_F(DInputTest, ShortMouseFormatReportsFourButtons) {
    IDirectInputDevice8A* m = Ready(GUID_SysMouse, &c_dfDIMouse, nullptr, kBackground);
    InjectMouseButton(2, true);
    DIMOUSESTATE st;
    EXPECT_EQ(DIERR_INVALIDPARAM, m->GetDeviceState(sizeof(DIMOUSESTATE2), &st));
    ASSERT_EQ(DI_OK, m->GetDeviceState(sizeof(st), &st));
    EXPECT_EQ(0x80, st.rgbButtons[2]);
}

TEST_F(DInputTest, AcquisitionRules) {
    IDirectInputDevice8A* kb = nullptr;
    ASSERT_EQ(DI_OK, di->CreateDevice(GUID_SysKeyboard, &kb, nullptr));
    devices.push_back(kb);
    // No format yet.
    EXPECT_EQ(DIERR_INVALIDPARAM, kb->Acquire());
    // Formats of the caller's own making, and other devices' formats, are refused.
    DIDATAFORMAT custom = c_dfDIKeyboard;
    custom.dwDataSize = 128;
    EXPECT_EQ(DIERR_INVALIDPARAM, kb->SetDataFormat(&custom));
    EXPECT_EQ(DIERR_INVALIDPARAM, kb->SetDataFormat(&c_dfDIMouse2));
    DIDATAFORMAT copy = c_dfDIKeyboard;
    EXPECT_EQ(DI_OK, kb->SetDataFormat(&copy));

    BYTE keys[256];
    EXPECT_EQ(DIERR_NOTACQUIRED, kb->GetDeviceState(256, keys));
    InjectKey(DIK_Q, true);  // not acquired: not recorded
    EXPECT_EQ(DI_OK, kb->Acquire());
    EXPECT_EQ(DI_NOEFFECT, kb->Acquire());
    HRESULT hr;
    DWORD n = 4;
    DIDEVICEOBJECTDATA recs[4];
    EXPECT_EQ(DIERR_NOTBUFFERED, kb->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), recs, &n, 0));
    EXPECT_EQ(DIERR_ACQUIRED, SetBufferSize(kb, 8));
    EXPECT_EQ(DIERR_ACQUIRED, kb->SetDataFormat(&c_dfDIKeyboard));
    EXPECT_EQ(DIERR_ACQUIRED, kb->SetCooperativeLevel(nullptr, kBackground));
    EXPECT_EQ(DI_OK, kb->Unacquire());
    EXPECT_EQ(DI_NOEFFECT, kb->Unacquire());
    EXPECT_EQ(DI_OK, SetBufferSize(kb, 8));
    EXPECT_EQ(DI_OK, kb->Acquire());
    EXPECT_TRUE(Read(kb, &hr).empty());
    EXPECT_EQ(DIERR_INVALIDPARAM, kb->GetDeviceData(16, recs, &n, 0));
    EXPECT_EQ(DIERR_INVALIDPARAM, kb->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), recs, nullptr, 0));

    DIPROPDWORD p{};
    p.diph.dwSize = sizeof(p);
    p.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    EXPECT_EQ(DI_OK, kb->GetProperty(DIPROP_BUFFERSIZE, &p.diph));
    EXPECT_EQ(8u, p.dwData);
    p.diph.dwHeaderSize = 12;
    EXPECT_EQ(DIERR_INVALIDPARAM, kb->GetProperty(DIPROP_BUFFERSIZE, &p.diph));
    DIPROPRANGE r{};
    r.diph.dwSize = sizeof(r);
    r.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    EXPECT_EQ(DIERR_UNSUPPORTED, kb->GetProperty(DIPROP_RANGE, &r.diph));
}

TEST_F(DInputTest, CooperativeLevelsAreChecked) {
    HWND hwnd = MakeWindow();
    IDirectInputDevice8A* kb = nullptr;
    IDirectInputDevice8A* m = nullptr;
    ASSERT_EQ(DI_OK, di->CreateDevice(GUID_SysKeyboard, &kb, nullptr));
    ASSERT_EQ(DI_OK, di->CreateDevice(GUID_SysMouse, &m, nullptr));
    devices.push_back(kb);
    devices.push_back(m);
    EXPECT_EQ(DIERR_INVALIDPARAM,
              kb->SetCooperativeLevel(hwnd, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND));
    EXPECT_EQ(DIERR_INVALIDPARAM, kb->SetCooperativeLevel(hwnd, DISCL_NONEXCLUSIVE));
    EXPECT_EQ(DIERR_INVALIDPARAM, kb->SetCooperativeLevel(nullptr, kForeground));
    EXPECT_EQ(DIERR_UNSUPPORTED, kb->SetCooperativeLevel(hwnd, DISCL_EXCLUSIVE | DISCL_BACKGROUND));
    EXPECT_EQ(DIERR_UNSUPPORTED, m->SetCooperativeLevel(hwnd, DISCL_EXCLUSIVE | DISCL_BACKGROUND));
    EXPECT_EQ(DIERR_INVALIDPARAM, m->SetCooperativeLevel(hwnd, kForeground | DISCL_NOWINKEY));
    EXPECT_EQ(DI_OK, kb->SetCooperativeLevel(hwnd, kForeground | DISCL_NOWINKEY));
    EXPECT_EQ(DI_OK, kb->SetCooperativeLevel(hwnd, kBackground | DISCL_NOWINKEY));
    EXPECT_EQ(DI_OK, m->SetCooperativeLevel(nullptr, kBackground));
}

TEST_F(DInputTest, OneExclusiveHolderAtATime) {
    HWND hwnd = MakeWindow();
    IDirectInputDevice8A* first = Ready(GUID_SysMouse, &c_dfDIMouse2, hwnd, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
    IDirectInputDevice8A* second = nullptr;
    ASSERT_EQ(DI_OK, di->CreateDevice(GUID_SysMouse, &second, nullptr));
    devices.push_back(second);
    ASSERT_EQ(DI_OK, second->SetDataFormat(&c_dfDIMouse2));
    ASSERT_EQ(DI_OK, second->SetCooperativeLevel(hwnd, DISCL_EXCLUSIVE | DISCL_FOREGROUND));
    EXPECT_EQ(DIERR_OTHERAPPHASPRIO, second->Acquire());
    ASSERT_EQ(DI_OK, second->SetCooperativeLevel(hwnd, kForeground));
    EXPECT_EQ(DI_OK, second->Acquire());
    ASSERT_EQ(DI_OK, second->Unacquire());
    ASSERT_EQ(DI_OK, second->SetCooperativeLevel(hwnd, DISCL_EXCLUSIVE | DISCL_FOREGROUND));
    ASSERT_EQ(DI_OK, first->Unacquire());
    EXPECT_EQ(DI_OK, second->Acquire());
}

TEST_F(DInputTest, PanelFocusLossTakesForegroundDevicesAwayUntilReacquired) {
    HWND hwnd = MakeWindow();
    IDirectInputDevice8A* fg = Ready(GUID_SysKeyboard, &c_dfDIKeyboard, hwnd, kForeground);
    IDirectInputDevice8A* bg = Ready(GUID_SysKeyboard, &c_dfDIKeyboard, hwnd, kBackground);
    InjectKey(DIK_A, true);

    qndx::sim::SetInputFocus(false);
    InjectKey(DIK_A, false);
    InjectKey(DIK_B, true);
    BYTE keys[256];
    EXPECT_EQ(DIERR_INPUTLOST, fg->GetDeviceState(256, keys));
    EXPECT_EQ(DIERR_NOTACQUIRED, fg->GetDeviceState(256, keys));
    EXPECT_EQ(DIERR_OTHERAPPHASPRIO, fg->Acquire());
    HRESULT hr;
    // The background device saw everything.
    EXPECT_EQ(3u, Read(bg, &hr).size());

    qndx::sim::SetInputFocus(true);
    ASSERT_EQ(DI_OK, fg->Acquire());
    // What happened meanwhile shows in the state, not as records.
    ASSERT_EQ(DI_OK, fg->GetDeviceState(256, keys));
    EXPECT_EQ(0, keys[DIK_A]);
    EXPECT_EQ(0x80, keys[DIK_B]);
    EXPECT_TRUE(Read(fg, &hr).empty());
    EXPECT_EQ(DI_OK, hr);
}

TEST_F(DInputTest, WindowFocusMovesDecideForegroundDevices) {
    HWND game = MakeWindow("DInputGame");
    IDirectInputDevice8A* fg = Ready(GUID_SysMouse, &c_dfDIMouse2, game, kForeground);
    ASSERT_TRUE(qndx::sim::InjectFocus(game, false));
    qndx::sim::PumpWindowEvents();
    DIMOUSESTATE2 st;
    EXPECT_EQ(DIERR_INPUTLOST, fg->GetDeviceState(sizeof(st), &st));
    EXPECT_EQ(DIERR_OTHERAPPHASPRIO, fg->Acquire());
    ASSERT_TRUE(qndx::sim::InjectFocus(game, true));
    qndx::sim::PumpWindowEvents();
    EXPECT_EQ(DI_OK, fg->Acquire());

    // Another window coming to the front takes the game's devices away.
    HWND other = MakeWindow("DInputOther");
    ASSERT_NE(game, other);
    EXPECT_EQ(DIERR_INPUTLOST, fg->GetDeviceState(sizeof(st), &st));
}

TEST_F(DInputTest, InjectedAcquireFailuresAreCountedOut) {
    IDirectInputDevice8A* kb = nullptr;
    ASSERT_EQ(DI_OK, di->CreateDevice(GUID_SysKeyboard, &kb, nullptr));
    devices.push_back(kb);
    ASSERT_EQ(DI_OK, kb->SetDataFormat(&c_dfDIKeyboard));
    qndx::sim::FailNext("IDirectInputDevice8A::Acquire", 2, DIERR_INPUTLOST);
    EXPECT_EQ(DIERR_INPUTLOST, kb->Acquire());
    EXPECT_EQ(DIERR_INPUTLOST, kb->Acquire());
    EXPECT_EQ(DI_OK, kb->Acquire());
}

// Under X11 SDL lets go of every key when the window loses the focus, sees
// nothing while it is away and, back in front, restores only the modifiers;
// the physical keys (the X server's keymap) are what the table must show.
TEST_F(DInputTest, KeysHeldAcrossAFocusChangeReadAsPhysicallyHeld) {
    HWND hwnd = MakeWindow();
    IDirectInputDevice8A* kb = Ready(GUID_SysKeyboard, &c_dfDIKeyboard, hwnd, kForeground);
    BYTE held[256] = {};
    held[DIK_A] = 0x80;
    qndx::sim::SetPhysicalKeys(held);
    InjectKey(DIK_A, true);
    HRESULT hr;
    ASSERT_EQ(1u, Read(kb, &hr).size());

    // Away: SDL's own release of A, then B pressed in another window.
    InjectKey(DIK_A, false);
    ASSERT_TRUE(qndx::sim::InjectFocus(hwnd, false));
    qndx::sim::PumpWindowEvents();
    held[DIK_B] = 0x80;
    qndx::sim::SetPhysicalKeys(held);
    ASSERT_TRUE(qndx::sim::InjectFocus(hwnd, true));
    qndx::sim::PumpWindowEvents();

    BYTE keys[256];
    EXPECT_EQ(DIERR_INPUTLOST, kb->GetDeviceState(256, keys));
    ASSERT_EQ(DI_OK, kb->Acquire());
    ASSERT_EQ(DI_OK, kb->GetDeviceState(256, keys));
    EXPECT_EQ(0, std::memcmp(keys, held, 256)) << "A " << int(keys[DIK_A]) << ", B " << int(keys[DIK_B]);
    // X's auto-repeat of A reaches SDL as a fresh press: no second down.
    InjectKey(DIK_A, true);
    EXPECT_TRUE(Read(kb, &hr).empty());

    // A released in the game: SDL reports it. B too, but SDL never saw it go
    // down and drops its release: the read finds it up.
    held[DIK_A] = 0;
    qndx::sim::SetPhysicalKeys(held);
    InjectKey(DIK_A, false);
    held[DIK_B] = 0;
    qndx::sim::SetPhysicalKeys(held);
    std::vector<DIDEVICEOBJECTDATA> records = Read(kb, &hr);
    ASSERT_EQ(DI_OK, hr);
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ(DWORD{DIK_A}, records[0].dwOfs);
    EXPECT_EQ(0u, records[0].dwData);
    EXPECT_EQ(DWORD{DIK_B}, records[1].dwOfs);
    EXPECT_EQ(0u, records[1].dwData);
    ASSERT_EQ(DI_OK, kb->GetDeviceState(256, keys));
    EXPECT_EQ(0, keys[DIK_A] | keys[DIK_B]);
    // Pressed and released again in the game, B is SDL's once more.
    InjectKey(DIK_B, true);
    InjectKey(DIK_B, false);
    EXPECT_EQ(2u, Read(kb, &hr).size());
}
