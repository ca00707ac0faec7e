// Helpers of the surface-file tests: a scratch directory per test, whole-file
// reads and writes, little-endian fields, random surface contents and raw
// platform surfaces (8-bit palettised ones included) to wrap.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "engine/graphics/GraphicsTestSupport.h"
#include "support/TempDir.h"

namespace qndx_test {

inline std::vector<BYTE> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& path, const std::vector<BYTE>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline uint32_t Le16(const std::vector<BYTE>& f, size_t at) { return f[at] | f[at + 1] << 8; }
inline uint32_t Le32(const std::vector<BYTE>& f, size_t at) {
    return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | static_cast<uint32_t>(f[at + 3]) << 24;
}

// Random bytes over the whole surface memory, row padding included.
inline void FillRandom(IDirectDrawSurface7* s, std::mt19937& rng) {
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof(d));
    d.dwSize = 124;
    ASSERT_EQ(DD_OK, s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
    BYTE* p = static_cast<BYTE*>(d.lpSurface);
    for (size_t i = 0; i < static_cast<size_t>(d.lPitch) * d.dwHeight; ++i) p[i] = static_cast<BYTE>(rng());
    s->Unlock(nullptr);
}

inline IDirectDrawSurface7* MakeSurfaceWithFormat(IDirectDraw7* dd, int w, int h, const DDPIXELFORMAT* format) {
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof(d));
    d.dwSize = 124;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | (format ? DDSD_PIXELFORMAT : 0);
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    d.dwWidth = static_cast<DWORD>(w);
    d.dwHeight = static_cast<DWORD>(h);
    if (format) d.ddpfPixelFormat = *format;
    IDirectDrawSurface7* s = nullptr;
    EXPECT_EQ(DD_OK, dd->CreateSurface(&d, &s, nullptr));
    return s;
}

inline IDirectDrawSurface7* MakePlainSurface(IDirectDraw7* dd, int w, int h) {
    return MakeSurfaceWithFormat(dd, w, h, nullptr);
}

inline IDirectDrawSurface7* MakeIndexedSurface(IDirectDraw7* dd, int w, int h) {
    DDPIXELFORMAT f;
    std::memset(&f, 0, sizeof(f));
    f.dwSize = 32;
    f.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
    f.dwRGBBitCount = 8;
    return MakeSurfaceWithFormat(dd, w, h, &f);
}

// The graphics fixture with a scratch directory.
class FilesTest : public GraphicsTest {
protected:
    void SetUp() override { ASSERT_FALSE(dir.path().empty()); }
    qndx::test::TempDir dir{"qndx-surfacefiles"};
};

}  // namespace qndx_test
