// Shared set-up of the blit tests: a video engine installed as the singleton
// without a game manager, with engine buffers and a cache made by hand so
// each test chooses where they live; raw pixel access through the platform's
// own Lock, so expectations never go through the engine's loops.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "GraphicEngine/Cache.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/VideoEngine.h"
#include "platform/sim/Display.h"
#include "platform/sim/Sim.h"

namespace blit_test {

class Engine : public CQNDXVideoEngine {
public:
    static Engine* Install() {
        Engine* e = new Engine();
        ms_pInstance = e;
        return e;
    }
    // An engine buffer of the display's format, video or system memory.
    CQNDXSurface* MakeBuffer(int id, int w, int h, bool video) {
        DDSURFACEDESC2 d{};
        d.dwSize = 124;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | (video ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
        d.dwWidth = static_cast<DWORD>(w);
        d.dwHeight = static_cast<DWORD>(h);
        IDirectDrawSurface7* s = nullptr;
        if (GetDirectDraw()->CreateSurface(&d, &s, nullptr) != DD_OK) return nullptr;
        return __WrapEngineSurface(s, id, w, h);
    }
    void SetBack(CQNDXSurface* s, bool hw) {
        m_pBackBuffer = s;
        m_bBackBufferInVideoMemory = hw ? 1 : 0;
    }
    void SetThird(CQNDXSurface* s, bool hw) {
        m_pThirdSurface = s;
        m_bThirdSurfaceInVideoMemory = hw ? 1 : 0;
    }
    void SetFront(CQNDXSurface* s) { m_pFrontSurface = s; }
    void MakeCache() {
        delete m_pCache;
        m_pCache = new CQNDXLRUCache(this);
    }
    void DropCache() {
        delete m_pCache;
        m_pCache = nullptr;
    }
};

// A wrapper that lets a test set the fields the engine would set.
class RawSurface : public CQNDXSurface {
public:
    explicit RawSurface(IDirectDrawSurface7* s) : CQNDXSurface(s) {}
    void Setup(CQNDXVideoEngine* e, int id, int w, int h) {
        m_pVideoEngine = e;
        m_iID = id;
        m_iWidth = w;
        m_iHeight = h;
        RECT r = {0, 0, w, h};
        SetClipRect(&r);
    }
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
    void Set(int x, int y, uint32_t v) {
        std::memcpy(&bytes[static_cast<size_t>(y) * pitch + static_cast<size_t>(x) * bpp], &v, bpp);
    }
};

inline Pixels Read(IDirectDrawSurface7* s) {
    Pixels p;
    DDSURFACEDESC2 d{};
    d.dwSize = 124;
    EXPECT_EQ(DD_OK, s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
    if (!d.lpSurface) return p;
    p.pitch = d.lPitch;
    p.width = static_cast<int>(d.dwWidth);
    p.height = static_cast<int>(d.dwHeight);
    p.bpp = static_cast<int>((d.ddpfPixelFormat.dwRGBBitCount + 7) / 8);
    const uint8_t* b = static_cast<const uint8_t*>(d.lpSurface);
    p.bytes.assign(b, b + static_cast<size_t>(d.lPitch) * d.dwHeight);
    s->Unlock(nullptr);
    return p;
}

inline void Write(IDirectDrawSurface7* s, const Pixels& p) {
    DDSURFACEDESC2 d{};
    d.dwSize = 124;
    ASSERT_EQ(DD_OK, s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
    std::memcpy(d.lpSurface, p.bytes.data(), p.bytes.size());
    s->Unlock(nullptr);
}

// Random bytes everywhere (row padding included), from a seed.
inline void Randomise(IDirectDrawSurface7* s, unsigned seed) {
    Pixels p = Read(s);
    std::mt19937 rng(seed);
    for (auto& b : p.bytes) b = static_cast<uint8_t>(rng());
    Write(s, p);
}

inline int BppOf(int kind) { return kind == 24 ? 3 : kind == 32 ? 4 : 2; }

// The key a native value set with SetColorKeyNative stands for: the pixel's
// 16 bits, or its 24 colour bits.
inline uint32_t NativeKey(int kind, uint32_t value) { return value & (kind == 15 || kind == 16 ? 0xFFFFu : 0xFFFFFFu); }

// The first pixel where two images differ, as text; empty when equal.
inline std::string FirstDifference(const Pixels& got, const Pixels& want) {
    if (got.bytes.size() != want.bytes.size()) return "sizes differ";
    for (int y = 0; y < got.height; ++y)
        for (int x = 0; x < got.width; ++x)
            if (got.At(x, y) != want.At(x, y)) {
                char buf[96];
                std::snprintf(buf, sizeof buf, "pixel (%d, %d) is 0x%x, expected 0x%x", x, y, got.At(x, y),
                              want.At(x, y));
                return buf;
            }
    for (size_t i = 0; i < got.bytes.size(); ++i)
        if (got.bytes[i] != want.bytes[i]) return "row padding byte " + std::to_string(i) + " changed";
    return std::string();
}

// Reference: copies the block [sx, sy, w, h] of `src` to (dx, dy) of `dst`,
// keyed or not, by the rules of the copies (the source read before writing).
inline void RefCopy(int kind, Pixels* dst, int dx, int dy, const Pixels& src, int sx, int sy, int w, int h,
                    bool keyed, uint32_t key) {
    const Pixels before = src;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t p = before.At(sx + x, sy + y);
            if (keyed) {
                if (kind == 32) p &= 0x00FFFFFF;
                if (p == key) continue;
            }
            dst->Set(dx + x, dy + y, p);
        }
}

// Fixture: a desktop of a pixel kind and an installed engine.
class BlitFixture : public ::testing::Test {
protected:
    void Start(int kind) {
        m_kind = kind;
        qndx::sim::SetDesktop(1024, 768, static_cast<DWORD>(kind));
        engine = Engine::Install();
        ASSERT_NE(nullptr, engine->GetDirectDraw());
        ASSERT_EQ(DD_OK, engine->GetDirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL));
    }
    void TearDown() override {
        for (CQNDXSurface* s : owned) delete s;
        owned.clear();
        if (engine) {
            // Buffers set by hand go before the engine so it deletes none twice.
            engine->SetBack(nullptr, false);
            engine->SetThird(nullptr, false);
            engine->SetFront(nullptr);
        }
        if (CQNDXVideoEngine::Exists()) CQNDXVideoEngine::Destroy();
        engine = nullptr;
    }
    int Kind() const { return m_kind; }
    CQNDXSurface* Registered(int w, int h) {
        CQNDXSurface* s = new CQNDXSurface();
        EXPECT_EQ(0, s->Create(engine, w, h));
        owned.push_back(s);
        return s;
    }
    CQNDXSurface* Buffer(int id, int w, int h, bool video) {
        CQNDXSurface* s = engine->MakeBuffer(id, w, h, video);
        EXPECT_NE(nullptr, s);
        owned.push_back(s);
        return s;
    }

    Engine* engine = nullptr;
    std::vector<CQNDXSurface*> owned;
    int m_kind = 32;
};

// The same, once per pixel kind.
class BlitTest : public BlitFixture, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override { Start(GetParam()); }
};

inline std::string KindName(const ::testing::TestParamInfo<int>& info) { return "Kind" + std::to_string(info.param); }

}  // namespace blit_test
