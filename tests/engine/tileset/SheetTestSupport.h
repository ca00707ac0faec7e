// Shared by the tileset, cursor and font tests: a video engine installed as
// the singleton without a game manager, raw pixel access through the
// platform surface (so checks never go through the engine's own routines),
// a tileset that records the blits its tile draws ask for, and a probe for
// whether the engine's copy blits work yet.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "GraphicEngine/Surface.h"
#include "GraphicEngine/Tileset.h"
#include "GraphicEngine/VideoEngine.h"
#include "platform/DirectDraw.h"
#include "platform/sim/Display.h"

namespace sheettest {

const int kKinds[] = {15, 16, 24, 32};

class InstalledEngine : public CQNDXVideoEngine {
public:
    static InstalledEngine* Install() {
        InstalledEngine* engine = new InstalledEngine();
        ms_pInstance = engine;
        return engine;
    }
};

// Native value of an RGB colour on a surface of `kind`, keeping each
// channel's top bits.
inline DWORD NativeOf(int kind, COLORREF c) {
    DWORD r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
    switch (kind) {
        case 15: return (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
        case 16: return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
        default: return r << 16 | g << 8 | b;
    }
}

// Raw access to a surface's memory through the platform's own Lock.
class Pixels {
public:
    explicit Pixels(CQNDXSurface* s) : m_s(s->GetDDSurface()) {
        std::memset(&m_d, 0, sizeof m_d);
        m_d.dwSize = 124;
        m_ok = m_s && m_s->Lock(nullptr, &m_d, DDLOCK_WAIT, nullptr) == DD_OK;
        EXPECT_TRUE(m_ok);
        m_bpp = m_ok ? static_cast<int>((m_d.ddpfPixelFormat.dwRGBBitCount + 7) / 8) : 0;
    }
    ~Pixels() {
        if (m_ok) m_s->Unlock(nullptr);
    }
    Pixels(const Pixels&) = delete;
    Pixels& operator=(const Pixels&) = delete;

    int Width() const { return static_cast<int>(m_d.dwWidth); }
    int Height() const { return static_cast<int>(m_d.dwHeight); }
    DWORD At(int x, int y) const {
        DWORD v = 0;
        std::memcpy(&v, Address(x, y), static_cast<size_t>(m_bpp));
        return v;
    }
    void Set(int x, int y, DWORD v) { std::memcpy(Address(x, y), &v, static_cast<size_t>(m_bpp)); }
    void Fill(DWORD v) {
        for (int y = 0; y < Height(); ++y)
            for (int x = 0; x < Width(); ++x) Set(x, y, v);
    }

private:
    BYTE* Address(int x, int y) const {
        return static_cast<BYTE*>(m_d.lpSurface) + static_cast<ptrdiff_t>(y) * m_d.lPitch +
               static_cast<ptrdiff_t>(x) * m_bpp;
    }
    IDirectDrawSurface7* m_s;
    DDSURFACEDESC2 m_d;
    bool m_ok = false;
    int m_bpp = 0;
};

// One blit a tile draw asked for.
struct BlitCall {
    std::string kind;
    CQNDXSurface* dest = nullptr;
    int x = 0;
    int y = 0;
    RECT rect = {0, 0, 0, 0};
    BOOL keyed = 0;
    double extra1 = 0;  // alpha, value, scale or width
    double extra2 = 0;  // height
};

// A tileset whose blits are recorded instead of drawn (the result returned
// is `result`).
class RecordingTileset : public CQNDXTileset {
public:
    std::vector<BlitCall> calls;
    int result = 0;

    int Blit(CQNDXSurface* d, int x, int y, const RECT* r, BOOL k) override { return Note("Blit", d, x, y, r, k); }
    int BlitClipToSurface(CQNDXSurface* d, int x, int y, const RECT* r, BOOL k) override {
        return Note("ClipToSurface", d, x, y, r, k);
    }
    int BlitMirrorLeftRight(CQNDXSurface* d, int x, int y, const RECT* r, BOOL k) override {
        return Note("MirrorLeftRight", d, x, y, r, k);
    }
    int BlitMirrorUpDown(CQNDXSurface* d, int x, int y, const RECT* r, BOOL k) override {
        return Note("MirrorUpDown", d, x, y, r, k);
    }
    int BlitAlpha(CQNDXSurface* d, int x, int y, const RECT* r, WORD a, BOOL k) override {
        return Note("Alpha", d, x, y, r, k, a);
    }
    int BlitTranslucent(CQNDXSurface* d, int x, int y, const RECT* r, WORD v, BOOL k) override {
        return Note("Translucent", d, x, y, r, k, v);
    }
    int BlitScaled(CQNDXSurface* d, int x, int y, const RECT* r, float s, BOOL k) override {
        return Note("Scaled", d, x, y, r, k, s);
    }
    int BlitStretched(CQNDXSurface* d, int x, int y, const RECT* r, int w, int h, BOOL k) override {
        return Note("Stretched", d, x, y, r, k, w, h);
    }
    int BlitBlend(CQNDXSurface* d, int x, int y, const RECT* r, WORD v) override {
        return Note("Blend", d, x, y, r, 0, v);
    }

private:
    int Note(const char* kind, CQNDXSurface* d, int x, int y, const RECT* r, BOOL k, double e1 = 0, double e2 = 0) {
        BlitCall c;
        c.kind = kind;
        c.dest = d;
        c.x = x;
        c.y = y;
        if (r) c.rect = *r;
        c.keyed = k;
        c.extra1 = e1;
        c.extra2 = e2;
        calls.push_back(c);
        return result;
    }
};

inline bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Fixture: a desktop of the given depth and an installed engine, destroyed
// after the test. Surfaces the fixture keeps (NewSurface, Keep) are deleted
// before the engine, also when a test stops early.
class EngineTest : public ::testing::Test {
protected:
    void StartEngine(int desktopBpp) {
        qndx::sim::SetDesktop(1024, 768, static_cast<DWORD>(desktopBpp));
        engine = InstalledEngine::Install();
        ASSERT_NE(nullptr, engine->GetDirectDraw());
        ASSERT_EQ(DD_OK, engine->GetDirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL));
    }
    void SetUp() override { StartEngine(32); }
    void TearDown() override {
        kept.clear();
        if (CQNDXVideoEngine::Exists()) CQNDXVideoEngine::Destroy();
        engine = nullptr;
    }
    template <class T>
    T* Keep(T* surface) {
        kept.emplace_back(surface);
        return surface;
    }
    CQNDXSurface* NewSurface(int w, int h) {
        CQNDXSurface* s = Keep(new CQNDXSurface());
        EXPECT_EQ(0, s->Create(engine, w, h));
        return s;
    }
    // Whether a plain copy between two surfaces works yet; tests that need
    // real copies skip (with this reason) until it does.
    bool CopiesWork() {
        CQNDXSurface a, b;
        a.Create(engine, 4, 4);
        b.Create(engine, 4, 4);
        return a.Blit(&b, 0, 0, nullptr, 0) >= 0;
    }

    CQNDXVideoEngine* engine = nullptr;
    std::vector<std::unique_ptr<CQNDXSurface>> kept;
};

#define SKIP_WITHOUT_COPIES()                                                                                   \
    do {                                                                                                        \
        if (!CopiesWork()) GTEST_SKIP() << "the engine's copy blits are not available yet (a probe blit gave -1)"; \
    } while (0)

}  // namespace sheettest
