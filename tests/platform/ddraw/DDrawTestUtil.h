// Helpers for the DirectDraw tests: a DirectDraw object in windowed mode,
// surface creation in a given format, and raw pixel access that does not go
// through the calls under test.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "ddraw/SurfaceImpl.h"
#include "platform/DirectDraw.h"
#include "platform/sim/Display.h"
#include "platform/sim/Sim.h"

namespace ddtest {

// Releases what it holds at the end of the scope.
template <class T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T* p) : m_p(p) {}
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    Ref(Ref&& other) noexcept : m_p(other.release()) {}
    Ref& operator=(Ref&& other) noexcept {
        if (this != &other) {
            reset();
            m_p = other.release();
        }
        return *this;
    }
    ~Ref() { reset(); }
    void reset() {
        if (m_p) m_p->Release();
        m_p = nullptr;
    }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    T** out() {
        reset();
        return &m_p;
    }
    T* release() {
        T* p = m_p;
        m_p = nullptr;
        return p;
    }

private:
    T* m_p = nullptr;
};

inline Ref<IDirectDraw7> MakeDirectDraw(DWORD level = DDSCL_NORMAL, HWND window = nullptr) {
    Ref<IDirectDraw7> dd;
    EXPECT_EQ(DD_OK, DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(dd.out()), IID_IDirectDraw7, nullptr));
    if (dd.get()) {
        EXPECT_EQ(DD_OK, dd->SetCooperativeLevel(window, level));
    }
    return Ref<IDirectDraw7>(dd.release());
}

inline HWND FakeWindow() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234)); }

inline DDSURFACEDESC2 Desc(DWORD w, DWORD h, DWORD caps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY) {
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = 124;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.dwWidth = w;
    d.dwHeight = h;
    d.ddsCaps.dwCaps = caps;
    return d;
}

// bits: 8, 15 (5-5-5), 16 (5-6-5), 24, 32.
inline DDPIXELFORMAT Format(DWORD bits) {
    DDPIXELFORMAT f;
    std::memset(&f, 0, sizeof f);
    f.dwSize = 32;
    f.dwFlags = DDPF_RGB;
    f.dwRGBBitCount = bits == 15 ? 16 : bits;
    if (bits == 8) {
        f.dwFlags |= DDPF_PALETTEINDEXED8;
    } else if (bits == 15) {
        f.dwRBitMask = 0x7C00;
        f.dwGBitMask = 0x03E0;
        f.dwBBitMask = 0x001F;
    } else if (bits == 16) {
        f.dwRBitMask = 0xF800;
        f.dwGBitMask = 0x07E0;
        f.dwBBitMask = 0x001F;
    } else {
        f.dwRBitMask = 0xFF0000;
        f.dwGBitMask = 0x00FF00;
        f.dwBBitMask = 0x0000FF;
    }
    return f;
}

inline DDSURFACEDESC2 DescIn(DWORD bits, DWORD w, DWORD h) {
    DDSURFACEDESC2 d = Desc(w, h);
    d.dwFlags |= DDSD_PIXELFORMAT;
    d.ddpfPixelFormat = Format(bits);
    return d;
}

inline Ref<IDirectDrawSurface7> MakeSurface(IDirectDraw7* dd, DDSURFACEDESC2 d) {
    Ref<IDirectDrawSurface7> s;
    HRESULT hr = dd->CreateSurface(&d, s.out(), nullptr);
    EXPECT_EQ(DD_OK, hr);
    return Ref<IDirectDrawSurface7>(s.release());
}

inline qndx::platform::SurfaceMemory Mem(IDirectDrawSurface7* s) {
    qndx::platform::SurfaceMemory m;
    EXPECT_TRUE(qndx::platform::GetSurfaceMemory(s, &m));
    return m;
}

inline int BytesOf(const qndx::platform::SurfaceMemory& m) { return static_cast<int>(m.format.dwRGBBitCount / 8); }

// Raw pixel access straight on the surface's memory.
inline DWORD Peek(IDirectDrawSurface7* s, int x, int y) {
    qndx::platform::SurfaceMemory m = Mem(s);
    DWORD v = 0;
    std::memcpy(&v, m.bits + y * m.pitch + x * BytesOf(m), static_cast<size_t>(BytesOf(m)));
    return v;
}

inline void Poke(IDirectDrawSurface7* s, int x, int y, DWORD v) {
    qndx::platform::SurfaceMemory m = Mem(s);
    std::memcpy(m.bits + y * m.pitch + x * BytesOf(m), &v, static_cast<size_t>(BytesOf(m)));
}

inline void PaintAll(IDirectDrawSurface7* s, const std::function<DWORD(int, int)>& f) {
    qndx::platform::SurfaceMemory m = Mem(s);
    for (DWORD y = 0; y < m.height; ++y)
        for (DWORD x = 0; x < m.width; ++x) Poke(s, static_cast<int>(x), static_cast<int>(y), f(x, y));
}

// The whole buffer, row padding included, to prove nothing was touched.
inline std::vector<uint8_t> Snapshot(IDirectDrawSurface7* s) {
    qndx::platform::SurfaceMemory m = Mem(s);
    return std::vector<uint8_t>(m.bits, m.bits + static_cast<size_t>(m.pitch) * m.height);
}

inline void FillBytes(IDirectDrawSurface7* s, uint8_t value) {
    qndx::platform::SurfaceMemory m = Mem(s);
    std::memset(m.bits, value, static_cast<size_t>(m.pitch) * m.height);
}

inline RECT Rect(LONG l, LONG t, LONG r, LONG b) { return RECT{l, t, r, b}; }

inline DDBLTFX Fx() {
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = 100;
    return fx;
}

}  // namespace ddtest
