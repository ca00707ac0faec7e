// Shared set-up of the display tests. Two ways to get a video engine: one
// installed by hand as the singleton (no game manager, no window: enough for
// creation codes, surfaces and the overlay), or a whole engine started by the
// game manager inside a forked child (a real window, the main loop, full
// screen). Pixels are read through the platform's own Lock.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "GameManager.h"
#include "GraphicEngine/Cache.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/VideoEngine.h"
#include "LogEngine/Log.h"
#include "SystemMessager.h"
#include "platform/sim/Display.h"
#include "platform/sim/Kernel.h"
#include "platform/sim/Sim.h"
#include "support/ChildProgram.h"
#include "support/TempDir.h"

namespace display_test {

// The engine with its protected parts open to the tests.
class Engine : public CQNDXVideoEngine {
public:
    static Engine* Install() {
        Engine* e = new Engine();
        ms_pInstance = e;
        return e;
    }
    // The engine the game manager made, seen through this class.
    static Engine* Of(CQNDXVideoEngine* e) { return static_cast<Engine*>(e); }

    void DropDirectDraw() {
        if (m_pDD) m_pDD->Release();
        m_pDD = nullptr;
    }
    void FormatOverlay(char lines[7][32], char fps[32]) { __FormatOverlay(lines, fps); }
    int FrameCount() const { return m_iFrameCount; }
    int FPS() const { return m_iFPS; }
    int ShowsStatistics() const { return m_bShowStatistics; }
    IDirectDrawClipper* Clipper() const { return m_pClipper; }
};

// Collects what the engine logs through the game manager.
class CaptureLog : public CQNDXLog {
public:
    // The manager outlives a log on a child's stack and still logs at exit.
    ~CaptureLog() override {
        if (CQNDXGameManager::IsCreated()) CQNDXGameManager::GetInstance()->GetMessenger()->Unregister(this);
    }
    int OnMessage(const char* msg, int type, int level) override {
        lines.push_back(std::to_string(type) + " " + msg);
        return 0;
    }
    bool Has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
    std::vector<std::string> lines;
};

// A surface's memory read through the platform.
struct Pixels {
    std::vector<uint8_t> bytes;
    LONG pitch = 0;
    int width = 0;
    int height = 0;
    int bpp = 0;
    uint32_t At(int x, int y) const {
        uint32_t v = 0;
        std::memcpy(&v, &bytes[static_cast<size_t>(y) * pitch + static_cast<size_t>(x) * bpp], bpp);
        return v;
    }
};

inline Pixels Read(IDirectDrawSurface7* s) {
    Pixels p;
    DDSURFACEDESC2 d{};
    d.dwSize = 124;
    if (!s || s->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) return p;
    p.pitch = d.lPitch;
    p.width = static_cast<int>(d.dwWidth);
    p.height = static_cast<int>(d.dwHeight);
    p.bpp = static_cast<int>((d.ddpfPixelFormat.dwRGBBitCount + 7) / 8);
    const uint8_t* b = static_cast<const uint8_t*>(d.lpSurface);
    p.bytes.assign(b, b + static_cast<size_t>(d.lPitch) * d.dwHeight);
    s->Unlock(nullptr);
    return p;
}

// Paints every pixel with a value made from its position, so any pixel that
// lands elsewhere is told apart.
inline void PaintPattern(IDirectDrawSurface7* s) {
    DDSURFACEDESC2 d{};
    d.dwSize = 124;
    if (s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK) return;
    const int bpp = static_cast<int>((d.ddpfPixelFormat.dwRGBBitCount + 7) / 8);
    const uint32_t mask = d.ddpfPixelFormat.dwRBitMask | d.ddpfPixelFormat.dwGBitMask | d.ddpfPixelFormat.dwBBitMask;
    for (DWORD y = 0; y < d.dwHeight; ++y)
        for (DWORD x = 0; x < d.dwWidth; ++x) {
            uint32_t v = ((x * 7 + y * 13) ^ (y << 8) ^ (x << 14)) & mask;
            std::memcpy(static_cast<uint8_t*>(d.lpSurface) + y * d.lPitch + x * bpp, &v, bpp);
        }
    s->Unlock(nullptr);
}

// Fixture for an engine installed by hand.
class DisplayTest : public ::testing::Test {
protected:
    void Start(int desktopBpp = 32, DWORD width = 1024, DWORD height = 768) {
        qndx::sim::SetDesktop(width, height, static_cast<DWORD>(desktopBpp));
        engine = Engine::Install();
        ASSERT_NE(nullptr, engine->GetDirectDraw());
    }
    void TearDown() override {
        if (CQNDXVideoEngine::Exists()) CQNDXVideoEngine::Destroy();
        engine = nullptr;
        EXPECT_EQ(0, qndx::sim::LiveSurfaceCount()) << "the engine left platform surfaces behind";
    }
    Engine* engine = nullptr;
};

// In a child with a game manager: works in `dir` (the manager makes its
// folders there), the program named without a directory.
inline void EnterGameFolder(const qndx::test::TempDir& dir) {
    QNDX_CHILD_CHECK(dir.Enter());
    qndx::sim::SetCommandLine("game.exe");
}

// In a child: the whole engine up, its log captured. Quitting is asked for
// before a display is made, so the creation's main loop ends at once and the
// test drives the present itself.
inline CQNDXGameManager* StartManager(CaptureLog* log) {
    CQNDXGameManager* gm = CQNDXGameManager::Create();
    QNDX_CHILD_CHECK(gm);
    QNDX_CHILD_CHECK(gm->GetVideoEngine());
    if (log) gm->GetMessenger()->Register(log, 1, 1, 1, 1);
    gm->Quit(0);
    return gm;
}

}  // namespace display_test
