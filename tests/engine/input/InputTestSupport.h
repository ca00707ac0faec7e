// Shared pieces of the input engine's tests: one game manager per process,
// started in a scratch directory (the engine reaches the game window and the
// log through it); a listener that writes down every call it gets; and a way
// to run a scenario in a forked child, for the ones that replace the input
// engine or run the main loop.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "GameManager.h"
#include "InputEngine/InputEngine.h"
#include "InputListeners.h"
#include "platform/sim/Clock.h"
#include "platform/sim/Input.h"
#include "platform/sim/Kernel.h"
#include "platform/sim/Sim.h"
#include "support/ChildProgram.h"
#include "support/TempDir.h"

namespace input_test {

// Fake clock on at a time that is not 0, so change times of 0 mean "never".
inline void StartClock() {
    qndx::sim::EnableFakeClock(true);
    qndx::sim::SetFakeTimeMs(1000);
}

// The process's game manager, made on first use with its program in a
// scratch directory, so its directories and log land there. It is made on
// the fake clock, so its input engine's timers never start in the future of
// a later test's clock.
inline CQNDXGameManager* Manager() {
    if (CQNDXGameManager::IsCreated()) return CQNDXGameManager::GetInstance();
    StartClock();
    static const qndx::test::TempDir dir("qndx-input");
    std::string line = "\"" + dir.path() + "/inputtest.exe\"";
    qndx::sim::SetCommandLine(line.c_str());
    CQNDXGameManager* gm = CQNDXGameManager::Create();
    qndx::sim::SetCommandLine(nullptr);
    return gm;
}

inline CQNDXInputEngine* Engine() { return CQNDXInputEngine::Create(Manager()); }

// Writes down every listener call as a short text.
class Recorder : public CQNDXKeyboardListener, public CQNDXMouseListener, public CQNDXJoystickListener {
public:
    std::vector<std::string> calls;

    void OnKeyDown(int key) override { Note("down " + std::to_string(key)); }
    void OnKeyUp(int key) override { Note("up " + std::to_string(key)); }
    void OnKeyboardReacquired() override { Note("keyboard reacquired"); }

    void OnMouseMove(int x, int y, int z) override { Note("move " + Triple(x, y, z)); }
    void OnMouseRawMove(int x, int y, int z) override { Note("raw " + Triple(x, y, z)); }
    void OnMouseButtonDown(int button) override { Note("button down " + std::to_string(button)); }
    void OnMouseButtonUp(int button) override { Note("button up " + std::to_string(button)); }
    void OnMouseReacquired() override { Note("mouse reacquired"); }

    void OnJoystickAxes(CQNDXJoystick*, LONG x, LONG y, LONG z) override { Note("axes " + Triple(x, y, z)); }
    void OnJoystickRotation(CQNDXJoystick*, LONG x, LONG y, LONG z) override { Note("rotation " + Triple(x, y, z)); }
    void OnJoystickSliders(CQNDXJoystick*, const LONG s[2]) override {
        Note("sliders " + std::to_string(s[0]) + " " + std::to_string(s[1]));
    }
    void OnJoystickPOV(CQNDXJoystick*, const DWORD p[4]) override {
        Note("pov " + std::to_string(p[0]) + " " + std::to_string(p[1]) + " " + std::to_string(p[2]) + " " +
             std::to_string(p[3]));
    }
    void OnJoystickButtonUp(CQNDXJoystick*, int button) override { Note("joy up " + std::to_string(button)); }
    void OnJoystickButtonDown(CQNDXJoystick*, int button) override { Note("joy down " + std::to_string(button)); }
    void OnJoystickVelocity(CQNDXJoystick*, LONG, LONG, LONG) override { Note("velocity"); }
    void OnJoystickAcquired(CQNDXJoystick*) override { Note("joystick acquired"); }

    void Clear() { calls.clear(); }
    int Count(const std::string& prefix) const {
        int n = 0;
        for (const std::string& c : calls)
            if (c.compare(0, prefix.size(), prefix) == 0) ++n;
        return n;
    }

private:
    void Note(const std::string& s) { calls.push_back(s); }
    static std::string Triple(long x, long y, long z) {
        return std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z);
    }
};

}  // namespace input_test
