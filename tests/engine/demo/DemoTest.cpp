// The demonstration's game state run by the real game manager and main loop,
// headless. Keys, mouse and window events come through the sim panel, time
// from the fake clock, and each frame mixes its share of sound offline, so the
// test hears what a player would. The data tool makes the picture and the
// sounds in a scratch folder that also holds the program; the game manager
// and the sound engine are process singletons, so each run is a forked child.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "DemoGameState.h"
#include "DemoPicture.h"
#include "GameManager.h"
#include "GraphicEngine/DDUtils.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/VideoEngine.h"
#include "InputEngine/InputEngine.h"
#include "InputEngine/Keyboard.h"
#include "InputEngine/Mouse.h"
#include "InputListeners.h"
#include "SoundEngine/Sound.h"
#include "Util/Window.h"
#include "platform/User.h"
#include "platform/sim/Audio.h"
#include "platform/sim/Clock.h"
#include "platform/sim/Input.h"
#include "platform/sim/Kernel.h"
#include "platform/sim/Sim.h"
#include "platform/sim/Window.h"
#include "support/ChildProgram.h"
#include "support/TempDir.h"

namespace {

using ambrixo::g_pAudioPath;
using ambrixo::g_pBackground;
using ambrixo::g_pBird;
using ambrixo::g_pWater;

// Each frame moves the clock on by this much and mixes as much sound; the
// keyboard is read every 50 ms, so a key acts within two frames.
constexpr int kFrameMs = 40;
constexpr size_t kFrameAudio = qndx::sim::kAudioSampleRate / 1000 * kFrameMs;
constexpr size_t kSecond = qndx::sim::kAudioSampleRate;
constexpr int kKeyLatency = 3;  // frames after which a key has surely acted

constexpr BYTE kEsc = 0x01, kF = 0x21, kG = 0x22;


// The program's folder with the data tool's output in it.
class DemoFolder {
public:
    DemoFolder() {
        if (!m_dir.Ok()) return;
        const std::string command = std::string("'") + QNDX_MAKE_DEMO_DATA + "' '" + m_dir.path() + "'";
        m_made = std::system(command.c_str()) == 0;
    }
    bool Made() const { return m_made; }
    const std::string& Path() const { return m_dir.path(); }

private:
    qndx::test::TempDir m_dir{"qndx-demo"};
    bool m_made = false;
};

// Counts the mouse calls a listener gets.
struct MouseCalls {
    int moves = 0, rawMoves = 0, downs = 0, ups = 0, reacquired = 0;
    int Total() const { return moves + rawMoves + downs + ups + reacquired; }
};

class MouseCounter : public CQNDXMouseListener {
public:
    void OnMouseMove(int, int, int) override { ++calls.moves; }
    void OnMouseRawMove(int, int, int) override { ++calls.rawMoves; }
    void OnMouseButtonDown(int) override { ++calls.downs; }
    void OnMouseButtonUp(int) override { ++calls.ups; }
    void OnMouseReacquired() override { ++calls.reacquired; }
    MouseCalls calls;
};

// The demonstration's state, unchanged, with a script called after each
// frame's drawing. Each frame moves the clock and mixes its sound, which
// the state keeps. The mouse calls are counted: the state asked for none.
class ScriptedDemo : public CDemoGameState {
public:
    int Render() override {
        const int r = CDemoGameState::Render();
        ++frames;
        if (CQNDXGameManager::GetInstance()->IsQuitRequested() && quitFrame == 0) quitFrame = frames;
        qndx::sim::AdvanceFakeTimeMs(kFrameMs);
        const std::vector<float> mix = qndx::sim::RenderAudio(kFrameAudio);
        QNDX_CHILD_CHECK(mix.size() == 2 * kFrameAudio) << qndx::test::Printf("%zu samples", mix.size());
        sound.insert(sound.end(), mix.begin(), mix.end());
        if (script) script(frames);
        return r;
    }
    void OnMouseMove(int, int, int) override { ++mouse.moves; }
    void OnMouseRawMove(int, int, int) override { ++mouse.rawMoves; }
    void OnMouseButtonDown(int) override { ++mouse.downs; }
    void OnMouseButtonUp(int) override { ++mouse.ups; }
    void OnMouseReacquired() override { ++mouse.reacquired; }

    // Audio frames mixed so far.
    size_t Mixed() const { return sound.size() / 2; }
    // The loudest sample in frames [from, to) of the mix.
    double Peak(size_t from, size_t to) const {
        double peak = 0;
        for (size_t i = 2 * from; i < 2 * to && i < sound.size(); ++i)
            peak = std::max(peak, (double)std::fabs(sound[i]));
        return peak;
    }

    std::function<void(int)> script;
    int frames = 0;
    int quitFrame = 0;  // the first frame that ran with quitting asked for
    MouseCalls mouse;
    std::vector<float> sound;
};

// Actions at given frames; each is handed the frame it runs at.
class Timeline {
public:
    // Runs `action` `delay` frames after the previous step.
    Timeline& Then(int delay, std::function<void()> action) {
        m_last += delay;
        m_steps.emplace(m_last, std::move(action));
        return *this;
    }
    void operator()(int frame) {
        auto range = m_steps.equal_range(frame);
        for (auto it = range.first; it != range.second; ++it) it->second();
    }

private:
    int m_last = 0;
    std::multimap<int, std::function<void()>> m_steps;
};

void Press(BYTE key) {
    qndx::sim::InjectKey(key, true);
    qndx::sim::InjectKey(key, false);
}

// In the child: the game manager of a program that lives in `dir`, with the
// fake clock and offline sound.
CQNDXGameManager* StartProgram(const std::string& dir) {
    qndx::sim::EnableFakeClock(true);
    qndx::sim::SetAudioOffline(true);
    const std::string line = "\"" + dir + "/ambrixo\"";
    qndx::sim::SetCommandLine(line.c_str());
    CQNDXGameManager* gm = CQNDXGameManager::Create();
    QNDX_CHILD_CHECK(gm);
    QNDX_CHILD_CHECK(gm->GetVideoEngine());
    QNDX_CHILD_CHECK(gm->GetWindow());
    // Start-up takes its time: the first frame's input is read. The window
    // is hidden and shown again by the display's creation, which takes the
    // keyboard away until that first read acquires it again.
    qndx::sim::AdvanceFakeTimeMs(100);
    return gm;
}

// Runs the state in an 800 x 600 window until the loop ends, then checks
// that the loop's end released the state's objects.
void RunWindowed(CQNDXGameManager* gm, ScriptedDemo* state) {
    QNDX_CHILD_CHECK(gm->AddGameState(state) == 0);
    const int r = gm->GetVideoEngine()->CreateWindowed(800, 600, 0);
    QNDX_CHILD_CHECK(r == 0) << qndx::test::Printf("CreateWindowed gave %d", r);
    QNDX_CHILD_CHECK(state->frames > 0);
    QNDX_CHILD_CHECK(!g_pBackground && !g_pWater && !g_pBird) << "the state was not released";
}

bool Playing(CQNDXSound* sound) { return sound && sound->IsPlaying() == 1; }

// What the window shows on the desktop, as 0xRRGGBB, 800 x 600.
std::vector<uint32_t> WindowPicture(CQNDXGameManager* gm) {
    HWND hwnd = gm->GetWindow()->GetHWND();
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    IDirectDrawSurface7* desktop = gm->GetVideoEngine()->GetFrontSurface()->GetDDSurface();
    DDSURFACEDESC2 d{};
    d.dwSize = 124;
    QNDX_CHILD_CHECK(desktop);
    QNDX_CHILD_CHECK(desktop->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) == DD_OK);
    QNDX_CHILD_CHECK(origin.x >= 0);
    QNDX_CHILD_CHECK(origin.y >= 0);
    QNDX_CHILD_CHECK(origin.x + 800 <= (LONG)d.dwWidth);
    QNDX_CHILD_CHECK(origin.y + 600 <= (LONG)d.dwHeight);
    const int bytes = (int)(d.ddpfPixelFormat.dwRGBBitCount + 7) / 8;
    const uint8_t* base = static_cast<const uint8_t*>(d.lpSurface);
    std::vector<uint32_t> rgb(800 * 600);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            uint32_t v = 0;
            std::memcpy(&v, base + (size_t)(origin.y + y) * d.lPitch + (size_t)(origin.x + x) * bytes, bytes);
            const COLORREF c = PixelToRGB(v, &d.ddpfPixelFormat);
            rgb[y * 800 + x] = (c & 0xFF) << 16 | (c & 0xFF00) | ((c >> 16) & 0xFF);
        }
    desktop->Unlock(nullptr);
    return rgb;
}

// The statistics overlay covers the top left corner; the rest is the state's.
bool UnderOverlay(int x, int y) { return x < 200 && y < 90; }

// The window shows the generated picture, within what JPEG compression and
// the desktop's format change.
void CheckShowsBackground(CQNDXGameManager* gm) {
    const std::vector<uint32_t> shown = WindowPicture(gm);
    const std::vector<uint8_t> drawn = demo_data::DrawBackground(800, 600);
    double total = 0;
    int far = 0, count = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            if (UnderOverlay(x, y)) continue;
            const uint32_t c = shown[y * 800 + x];
            const uint8_t* p = &drawn[(y * 800 + x) * 3];
            const int diff = std::max({std::abs((int)(c >> 16 & 0xFF) - p[0]), std::abs((int)(c >> 8 & 0xFF) - p[1]),
                                       std::abs((int)(c & 0xFF) - p[2])});
            total += diff;
            far += diff > 24;
            ++count;
        }
    QNDX_CHILD_CHECK(total / count < 6.0)
        << qndx::test::Printf("mean difference %.2f from the picture", total / count);
    QNDX_CHILD_CHECK(far < count / 200) << qndx::test::Printf("%d pixels far from the picture", far);
}

void CheckShowsNothing(CQNDXGameManager* gm) {
    const std::vector<uint32_t> shown = WindowPicture(gm);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            if (!UnderOverlay(x, y))
                QNDX_CHILD_CHECK(shown[y * 800 + x] == 0) << qndx::test::Printf("0x%06X at %d,%d", shown[y * 800 + x], x, y);
}

class DemoRun : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.Made()) << "the data tool failed"; }
    DemoFolder folder;
};

TEST_F(DemoRun, KeysStartAndStopTheSoundsAndTheMouseReachesNoStateOperation) {
    QNDX_IN_CHILD({
        CQNDXGameManager* gm = StartProgram(folder.Path());
        ScriptedDemo state;
        Timeline t;
        MouseCounter engineSide;
        size_t mark = 0, stopped = 0;
        const size_t waterLength = 3 * kSecond, birdLength = kSecond * 3 / 2;

        // The mouse moves and clicks: the engine takes it, the state hears
        // nothing and nothing starts.
        t.Then(1, [&] {
            QNDX_CHILD_CHECK(g_pBackground);
            QNDX_CHILD_CHECK(g_pAudioPath);
            QNDX_CHILD_CHECK(g_pWater);
            QNDX_CHILD_CHECK(g_pBird);
            gm->GetInputEngine()->GetMouse()->AddListener(&engineSide);
            for (int i = 0; i < 4; ++i) {
                qndx::sim::InjectMouseMotion(15, -9);
                qndx::sim::InjectMouseButton(i % 3, true);
                qndx::sim::InjectMouseButton(i % 3, false);
            }
            qndx::sim::InjectMouseWheel(240);
        });
        t.Then(kKeyLatency, [&] {
            QNDX_CHILD_CHECK(engineSide.calls.moves > 0 && engineSide.calls.downs == 4 && engineSide.calls.ups == 4)
                << qndx::test::Printf("the engine saw %d moves, %d downs", engineSide.calls.moves,
                                      engineSide.calls.downs);
            QNDX_CHILD_CHECK(state.mouse.Total() == 0)
                << qndx::test::Printf("%d mouse calls reached the state", state.mouse.Total());
            gm->GetInputEngine()->GetMouse()->RemoveListener(&engineSide);
            QNDX_CHILD_CHECK(!Playing(g_pWater));
            QNDX_CHILD_CHECK(!Playing(g_pBird));
            QNDX_CHILD_CHECK(state.Peak(0, state.Mixed()) == 0.0);
        });

        // G: the bird sings its three chirps once, then falls silent and
        // stops playing.
        t.Then(1, [&] {
            mark = state.Mixed();
            Press(kG);
        });
        t.Then(kKeyLatency, [&] { QNDX_CHILD_CHECK(Playing(g_pBird) && !Playing(g_pWater)); });
        t.Then(90, [&] {  // 3.6 s: more than twice the bird's length
            QNDX_CHILD_CHECK(!Playing(g_pBird)) << "the bird plays on";
            QNDX_CHILD_CHECK(state.Peak(mark, mark + kSecond * 7 / 10) > 0.2) << "the bird is not heard";
            QNDX_CHILD_CHECK(state.Peak(mark + kSecond * 8 / 10, state.Mixed()) == 0.0) << "the bird sings again";
            QNDX_CHILD_CHECK(state.Mixed() > mark + 2 * birdLength);
        });

        // G, and G again while it plays: stopped before its second chirp.
        t.Then(1, [&] {
            mark = state.Mixed();
            Press(kG);
        });
        t.Then(kKeyLatency, [&] {
            QNDX_CHILD_CHECK(Playing(g_pBird));
            Press(kG);
        });
        t.Then(kKeyLatency, [&] {
            QNDX_CHILD_CHECK(!Playing(g_pBird));
            stopped = state.Mixed();
            QNDX_CHILD_CHECK(stopped < mark + kSecond * 3 / 10) << "too late to hear the stop";
        });
        t.Then(40, [&] { QNDX_CHILD_CHECK(state.Peak(stopped, state.Mixed()) == 0.0) << "the stopped bird is heard"; });

        // F: the water runs past its length, repeating itself exactly.
        t.Then(1, [&] {
            mark = state.Mixed();
            Press(kF);
        });
        t.Then(kKeyLatency, [&] { QNDX_CHILD_CHECK(Playing(g_pWater) && !Playing(g_pBird)); });
        t.Then(130, [&] {  // 5.3 s
            QNDX_CHILD_CHECK(Playing(g_pWater)) << "the water stopped by itself";
            const size_t from = mark + kKeyLatency * kFrameAudio + waterLength, to = state.Mixed();
            QNDX_CHILD_CHECK(to > from + kSecond);
            double loud = 0, apart = 0;
            for (size_t i = 2 * from; i < 2 * to; ++i) {
                loud = std::max(loud, (double)std::fabs(state.sound[i]));
                apart = std::max(apart, (double)std::fabs(state.sound[i] - state.sound[i - 2 * waterLength]));
            }
            QNDX_CHILD_CHECK(loud > 0.05) << qndx::test::Printf("the water is silent after its length (%g)", loud);
            QNDX_CHILD_CHECK(apart < 1e-4) << qndx::test::Printf("the repeat differs from the first pass by %g", apart);
            Press(kF);
        });
        // F again: the water stops.
        t.Then(kKeyLatency, [&] {
            QNDX_CHILD_CHECK(!Playing(g_pWater));
            stopped = state.Mixed();
        });
        t.Then(10, [&] {
            QNDX_CHILD_CHECK(state.Peak(stopped, state.Mixed()) == 0.0) << "the stopped water is heard";
            QNDX_CHILD_CHECK(state.mouse.Total() == 0);
            QNDX_CHILD_CHECK(state.quitFrame == 0);
            Press(kEsc);
        });
        t.Then(kKeyLatency + 5, [&] { QNDX_CHILD_CHECK(false) << "Esc did not end the loop"; });

        state.script = std::ref(t);
        RunWindowed(gm, &state);
        CheckShowsBackground(gm);
    });
}

TEST_F(DemoRun, EscEndsTheProgramFromItsFirstFrame) {
    QNDX_IN_CHILD({
        CQNDXGameManager* gm = StartProgram(folder.Path());
        ScriptedDemo state;
        state.script = [&](int frame) {
            if (frame == 1) Press(kEsc);
            QNDX_CHILD_CHECK(frame <= 1 + kKeyLatency)
                << qndx::test::Printf("the loop goes on after Esc (quitting began at frame %d)", state.quitFrame);
        };
        RunWindowed(gm, &state);
        QNDX_CHILD_CHECK(state.quitFrame > 1) << "quitting began before Esc";
    });
}

TEST_F(DemoRun, ClosingTheWindowEndsTheProgramLikeEsc) {
    QNDX_IN_CHILD({
        CQNDXGameManager* gm = StartProgram(folder.Path());
        ScriptedDemo state;
        int closedAt = 0;
        state.script = [&](int frame) {
            if (frame == 3) {
                CheckShowsBackground(gm);
                QNDX_CHILD_CHECK(qndx::sim::InjectClose(gm->GetWindow()->GetHWND()));
                closedAt = frame;
            }
            QNDX_CHILD_CHECK(frame < 10) << "the loop goes on after the close";
        };
        RunWindowed(gm, &state);
        QNDX_CHILD_CHECK(closedAt == 3);
    });
}

// Without a sound engine, or with one that makes no audio path.
class DemoWithoutSound : public DemoRun, public ::testing::WithParamInterface<const char*> {};

TEST_P(DemoWithoutSound, FAndGDoNothingWhileTheBackgroundAndEscWork) {
    QNDX_IN_CHILD({
        qndx::sim::FailNext(GetParam(), 1, E_FAIL);
        CQNDXGameManager* gm = StartProgram(folder.Path());
        qndx::sim::EnableJournal(true);
        ScriptedDemo state;
        Timeline t;
        t.Then(1, [&] {
            QNDX_CHILD_CHECK(qndx::sim::PendingFaults(GetParam()) == 0) << "the fault was not met";
            QNDX_CHILD_CHECK(!g_pWater);
            QNDX_CHILD_CHECK(!g_pBird);
            QNDX_CHILD_CHECK(g_pBackground);
            Press(kF);
        });
        t.Then(kKeyLatency, [] { Press(kG); });
        t.Then(kKeyLatency, [] { Press(kF); });
        t.Then(kKeyLatency, [] { Press(kEsc); });
        t.Then(kKeyLatency + 5, [&] { QNDX_CHILD_CHECK(false) << "Esc did not end the loop"; });
        state.script = std::ref(t);
        RunWindowed(gm, &state);
        QNDX_CHILD_CHECK(qndx::sim::JournalCount("IDirectMusicPerformance8::PlaySegmentEx") == 0);
        QNDX_CHILD_CHECK(state.Peak(0, state.Mixed()) == 0.0);
        CheckShowsBackground(gm);
    });
}

INSTANTIATE_TEST_SUITE_P(Faults, DemoWithoutSound,
                         ::testing::Values("IDirectMusicPerformance8::InitAudio",
                                           "IDirectMusicPerformance8::CreateStandardAudioPath"),
                         [](const ::testing::TestParamInfo<const char*>& i) {
                             return i.index == 0 ? std::string("NoSoundEngine") : std::string("NoAudioPath");
                         });

TEST_F(DemoRun, ABackgroundThatFailsToLoadDrawsNothing) {
    std::filesystem::remove(folder.Path() + "/graphics/bkgrnd.jpg");
    QNDX_IN_CHILD({
        CQNDXGameManager* gm = StartProgram(folder.Path());
        ScriptedDemo state;
        Timeline t;
        t.Then(1, [&] {
            QNDX_CHILD_CHECK(g_pBackground);
            QNDX_CHILD_CHECK(!g_pBackground->GetDDSurface());
            Press(kF);
        });
        t.Then(kKeyLatency, [&] {
            QNDX_CHILD_CHECK(Playing(g_pWater)) << "the sounds no longer work";
            Press(kEsc);
        });
        t.Then(kKeyLatency + 5, [&] { QNDX_CHILD_CHECK(false) << "Esc did not end the loop"; });
        state.script = std::ref(t);
        RunWindowed(gm, &state);
        CheckShowsNothing(gm);
    });
}

}  // namespace
