// Shared fixture of the graphics-engine tests: a video engine installed as
// the singleton without a game manager, surfaces of every pixel kind on the
// headless DirectDraw, and raw pixel access through the platform's own Lock
// so expectations never go through the engine's pixel routines.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "GraphicEngine/Cache.h"
#include "GraphicEngine/Cursor.h"
#include "GraphicEngine/Font.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/SurfaceIDAllocator.h"
#include "GraphicEngine/SurfaceManager.h"
#include "GraphicEngine/VideoEngine.h"
#include "platform/sim/Display.h"
#include "platform/sim/Sim.h"

namespace qndx_test {

// An engine built directly (no game manager) and installed as the singleton,
// with setters for the fields that the display creation would fill.
class TestVideoEngine : public CQNDXVideoEngine {
public:
    static TestVideoEngine* Install() {
        TestVideoEngine* engine = new TestVideoEngine();
        ms_pInstance = engine;
        return engine;
    }
    void SetCache(CQNDXCache* cache) {
        delete m_pCache;
        m_pCache = cache;
    }
    void SetFrontSurface(CQNDXSurface* s) { m_pFrontSurface = s; }
    void SetBackBuffer(CQNDXSurface* s) { m_pBackBuffer = s; }
    void SetFullScreenFlag(int flag) { m_bFullScreen = flag; }
    // Hands the engine a default font it owns, as the display creation does.
    void SetOwnedDefaultFont(CQNDXFont* font) {
        m_pDefaultFont = font;
        m_bOwnsDefaultFont = 1;
    }
    void SetCursorManager(CQNDXCursorManager* manager) { m_pCursorManager = manager; }
    CQNDXSurface* Wrap(IDirectDrawSurface7* s, int id, int w, int h) { return __WrapEngineSurface(s, id, w, h); }
};

// Access to the surface's bookkeeping for checks.
class TestSurface : public CQNDXSurface {
public:
    TestSurface() = default;
    explicit TestSurface(IDirectDrawSurface7* s) : CQNDXSurface(s) {}
    int Dirty() const { return m_bDirty; }
    void SetSize(int w, int h) {
        m_iWidth = w;
        m_iHeight = h;
        RECT r = {0, 0, w, h};
        SetClipRect(&r);
    }
    void SetEngine(CQNDXVideoEngine* e) { m_pVideoEngine = e; }
    void SetID(int id) { m_iID = id; }
};

// A cache that counts the refresh requests surfaces send it.
class CountingCache : public CQNDXLRUCache {
public:
    explicit CountingCache(CQNDXVideoEngine* owner) : CQNDXLRUCache(owner) {}
    int Update(CQNDXSurface* s) override {
        ++updates;
        return CQNDXLRUCache::Update(s);
    }
    int updates = 0;
};

// A font that draws nothing, remembers its calls and reports its deletion;
// it may own a surface, as a bitmap font owns its glyphs.
class RecordingFont : public CQNDXFont {
public:
    RecordingFont(int* deletions, CQNDXSurface* owned = nullptr) : m_deletions(deletions), m_owned(owned) {}
    ~RecordingFont() override {
        delete m_owned;
        if (m_deletions) ++*m_deletions;
    }
    int DrawText(CQNDXSurface* dest, int x, int y, const char* text, int len) override {
        calls.push_back("DrawText " + std::to_string(x) + "," + std::to_string(y) + " " + text + " " +
                        std::to_string(len));
        lastDest = dest;
        return result;
    }
    int DrawTextAligned(CQNDXSurface* dest, int x, int y, const char* text, int align) override {
        calls.push_back("DrawTextAligned " + std::to_string(x) + "," + std::to_string(y) + " " + text + " " +
                        std::to_string(align));
        lastDest = dest;
        return result;
    }
    COLORREF GetTextColor() override { return 0; }
    COLORREF GetBkColor() override { return 0; }
    void SetTextColor(COLORREF) override {}
    void SetBkColor(COLORREF) override {}
    int GetTextExtent(CQNDXSurface*, const char*, int, SIZE*) override { return 1; }

    std::vector<std::string> calls;
    CQNDXSurface* lastDest = nullptr;
    int result = 0;

private:
    int* m_deletions;
    CQNDXSurface* m_owned;
};

// Native values of a few colours per pixel kind.
inline DWORD White(int kind) { return kind == 15 ? 0x7FFF : kind == 16 ? 0xFFFF : 0xFFFFFF; }
inline DWORD Red(int kind) { return kind == 15 ? 0x7C00 : kind == 16 ? 0xF800 : 0xFF0000; }
inline DWORD Blue(int kind) { return kind == 15 || kind == 16 ? 0x001F : 0x0000FF; }
inline int BytesPerPixel(int kind) { return kind == 15 || kind == 16 ? 2 : kind == 24 ? 3 : 4; }

// A copy of a surface's memory taken through the platform's Lock.
struct Snapshot {
    std::vector<BYTE> bytes;
    LONG pitch = 0;
    int width = 0;
    int height = 0;
    int bpp = 0;  // bytes per pixel

    DWORD At(int x, int y) const {
        DWORD v = 0;
        std::memcpy(&v, &bytes[static_cast<size_t>(y) * pitch + static_cast<size_t>(x) * bpp], bpp);
        return v;
    }
};

inline Snapshot Take(IDirectDrawSurface7* s) {
    Snapshot snap;
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof(d));
    d.dwSize = 124;
    EXPECT_EQ(DD_OK, s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
    snap.pitch = d.lPitch;
    snap.width = static_cast<int>(d.dwWidth);
    snap.height = static_cast<int>(d.dwHeight);
    snap.bpp = static_cast<int>((d.ddpfPixelFormat.dwRGBBitCount + 7) / 8);
    const BYTE* p = static_cast<const BYTE*>(d.lpSurface);
    snap.bytes.assign(p, p + static_cast<size_t>(d.lPitch) * d.dwHeight);
    s->Unlock(nullptr);
    return snap;
}

// Fills every byte of the surface's memory, row padding included.
inline void FillBytes(IDirectDrawSurface7* s, BYTE value) {
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof(d));
    d.dwSize = 124;
    ASSERT_EQ(DD_OK, s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
    std::memset(d.lpSurface, value, static_cast<size_t>(d.lPitch) * d.dwHeight);
    s->Unlock(nullptr);
}

// Writes one native pixel through the platform.
inline void Poke(IDirectDrawSurface7* s, int x, int y, DWORD value) {
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof(d));
    d.dwSize = 124;
    ASSERT_EQ(DD_OK, s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
    int bpp = static_cast<int>((d.ddpfPixelFormat.dwRGBBitCount + 7) / 8);
    std::memcpy(static_cast<BYTE*>(d.lpSurface) + static_cast<size_t>(y) * d.lPitch + static_cast<size_t>(x) * bpp,
                &value, bpp);
    s->Unlock(nullptr);
}

typedef std::set<std::pair<int, int>> PointSet;

// Every pixel in `points` holds `inside`; every other pixel (and every
// padding byte) still holds the filler byte pattern `outsideByte`.
inline void ExpectOnly(const Snapshot& snap, const PointSet& points, DWORD inside, BYTE outsideByte) {
    DWORD outside = 0;
    std::memset(&outside, outsideByte, snap.bpp);
    int reported = 0;
    for (int y = 0; y < snap.height; ++y)
        for (int x = 0; x < snap.width; ++x) {
            DWORD want = points.count({x, y}) ? inside : outside;
            DWORD got = snap.At(x, y);
            if (got != want && reported++ < 8)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") is 0x" << std::hex << got << ", expected 0x"
                              << want;
        }
    for (int y = 0; y < snap.height; ++y)
        for (size_t b = static_cast<size_t>(snap.width) * snap.bpp; b < static_cast<size_t>(snap.pitch); ++b)
            if (snap.bytes[static_cast<size_t>(y) * snap.pitch + b] != outsideByte && reported++ < 8)
                ADD_FAILURE() << "padding byte " << b << " of row " << y << " was written";
}

// Whether (x, y) lies on the line from (x1, y1) to (x2, y2): walking the long
// axis from the end with the smaller coordinate, step t has the short-axis
// offset t * rise / span truncated toward zero. Stated by cross-multiplication
// instead of division, and over each pixel instead of each step.
inline bool OnLine(int64_t x1, int64_t y1, int64_t x2, int64_t y2, int64_t x, int64_t y) {
    bool steep = std::llabs(y2 - y1) >= std::llabs(x2 - x1);
    if (steep) {
        std::swap(x1, y1);
        std::swap(x2, y2);
        std::swap(x, y);
    }
    if (x1 > x2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    if (x < x1 || x > x2) return false;
    const __int128 span = x2 - x1, k = y - y1, num = (__int128)(x - x1) * (y2 - y1);
    return num >= 0 ? k * span <= num && num < (k + 1) * span : (k - 1) * span < num && num <= k * span;
}

// Fixture: desktop of the given depth, an installed engine; the engine is
// destroyed after each test (surfaces made by a test go before it).
class GraphicsTest : public ::testing::Test {
protected:
    void StartEngine(int desktopBpp) {
        qndx::sim::SetDesktop(1024, 768, static_cast<DWORD>(desktopBpp));
        engine = TestVideoEngine::Install();
        ASSERT_NE(nullptr, engine->GetDirectDraw());
        // The display creation sets this first in the program.
        ASSERT_EQ(DD_OK, engine->GetDirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL));
    }
    void TearDown() override {
        if (CQNDXVideoEngine::Exists()) CQNDXVideoEngine::Destroy();
        engine = nullptr;
    }
    // A registered surface of the display's format.
    CQNDXSurface* NewSurface(int w, int h) {
        CQNDXSurface* s = new CQNDXSurface();
        EXPECT_EQ(0, s->Create(engine, w, h));
        return s;
    }

    TestVideoEngine* engine = nullptr;
};

// Runs a test body once per pixel kind.
class KindTest : public GraphicsTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override { StartEngine(GetParam()); }
    int Kind() const { return GetParam(); }
};

}  // namespace qndx_test
