// Helpers for the image loader tests: a DirectDraw object on a desktop of a
// chosen pixel kind, reading a surface's pixels back, the colour a surface
// of each kind should hold, and catching the loaders' error lines.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/images/TestImages.h"
#include "platform/DirectDraw.h"
#include "platform/sim/Display.h"

namespace qndx {
namespace testimg {

// Desktop depths that give the four surface pixel kinds.
const int kSurfaceKinds[] = {15, 16, 24, 32};

// A DirectDraw object whose new surfaces take the given pixel kind.
class DisplayAt {
public:
    explicit DisplayAt(int bpp) {
        qndx::sim::SetDesktop(1024, 768, (DWORD)bpp);
        HRESULT hr = DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&m_dd), IID_IDirectDraw7, nullptr);
        EXPECT_EQ(DD_OK, hr);
        if (m_dd) {
            EXPECT_EQ(DD_OK, m_dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL));
        }
    }
    ~DisplayAt() {
        if (m_dd) m_dd->Release();
    }
    IDirectDraw7* Get() const { return m_dd; }

private:
    IDirectDraw7* m_dd = nullptr;
};

// A surface's pixels as native values, top row first.
struct SurfacePixels {
    int width = 0;
    int height = 0;
    int bpp = 0;  // 15, 16, 24 or 32
    std::vector<uint32_t> native;
    uint32_t At(int x, int y) const { return native[(size_t)y * width + x]; }
};

inline SurfacePixels ReadSurface(IDirectDrawSurface7* s) {
    SurfacePixels out;
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = QNDX_DDSURFACEDESC2_TAG;
    if (s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) {
        ADD_FAILURE() << "surface cannot be locked";
        return out;
    }
    out.width = (int)desc.dwWidth;
    out.height = (int)desc.dwHeight;
    int bits = (int)desc.ddpfPixelFormat.dwRGBBitCount;
    out.bpp = (bits == 16 && desc.ddpfPixelFormat.dwGBitMask == 0x3E0) ? 15 : bits;
    const int bytes = bits / 8;
    out.native.resize((size_t)out.width * out.height);
    for (int y = 0; y < out.height; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(desc.lpSurface) + (ptrdiff_t)y * desc.lPitch;
        for (int x = 0; x < out.width; ++x) {
            const uint8_t* p = row + x * bytes;
            uint32_t v = 0;
            for (int i = 0; i < bytes; ++i) v |= (uint32_t)p[i] << (8 * i);
            if (bytes == 4) v &= 0xFFFFFF;  // the top byte is not colour
            out.native[(size_t)y * out.width + x] = v;
        }
    }
    s->Unlock(nullptr);
    return out;
}

// The pixel a surface of that kind holds for a colour (the top bits of each channel).
inline uint32_t NativeOf(int bpp, uint32_t rgb) {
    uint32_t r = Red(rgb), g = Green(rgb), b = Blue(rgb);
    if (bpp == 15) return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    if (bpp == 16) return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    return rgb & 0xFFFFFF;
}

// A native pixel as a colour, with the low bits of narrow channels at zero.
inline uint32_t ColourOf(int bpp, uint32_t native) {
    if (bpp == 15) return Rgb(((native >> 10) & 31) << 3, ((native >> 5) & 31) << 3, (native & 31) << 3);
    if (bpp == 16) return Rgb(((native >> 11) & 31) << 3, ((native >> 5) & 63) << 2, (native & 31) << 3);
    return native & 0xFFFFFF;
}

// A 5-5-5 file pixel as drawn: each channel's top bits repeated below.
inline uint32_t Widen555(uint32_t rgb) {
    auto w = [](uint32_t v) { v >>= 3; return (v << 3) | (v >> 2); };
    return Rgb(w(Red(rgb)), w(Green(rgb)), w(Blue(rgb)));
}

// Compares every pixel exactly; reports the first few differences.
inline void ExpectExactly(const SurfacePixels& got, const Image& want, const std::string& what) {
    ASSERT_EQ(want.width, got.width) << what;
    ASSERT_EQ(want.height, got.height) << what;
    int bad = 0;
    for (int y = 0; y < want.height; ++y)
        for (int x = 0; x < want.width; ++x) {
            uint32_t w = NativeOf(got.bpp, want.At(x, y));
            if (got.At(x, y) != w && bad++ < 3)
                ADD_FAILURE() << what << ": pixel " << x << "," << y << " is 0x" << std::hex << got.At(x, y)
                              << ", expected 0x" << w;
        }
}

// Largest channel difference, allowing for the precision of narrow kinds.
inline int WorstError(const SurfacePixels& got, const Image& want) {
    int worst = 0;
    for (int y = 0; y < want.height; ++y)
        for (int x = 0; x < want.width; ++x) {
            uint32_t a = ColourOf(got.bpp, got.At(x, y));
            uint32_t b = ColourOf(got.bpp, NativeOf(got.bpp, want.At(x, y)));
            for (int s = 0; s < 24; s += 8) {
                int e = std::abs((int)((a >> s) & 0xFF) - (int)((b >> s) & 0xFF));
                if (e > worst) worst = e;
            }
        }
    return worst;
}

// Collects what the loaders print as errors while no game manager exists.
class ErrorLines {
public:
    ErrorLines() { ::testing::internal::CaptureStderr(); }
    // The error lines written since construction (call once).
    std::vector<std::string> Take() {
        std::string all = ::testing::internal::GetCapturedStderr();
        std::vector<std::string> lines;
        size_t start = 0;
        while (start < all.size()) {
            size_t end = all.find('\n', start);
            if (end == std::string::npos) end = all.size();
            std::string line = all.substr(start, end - start);
            if (line.find("QNDX error: ") == 0) lines.push_back(line);
            start = end + 1;
        }
        return lines;
    }
};

// The data in a heap block of exactly its size, so that any read past the
// end is caught by the sanitizers.
class ExactCopy {
public:
    ExactCopy(const uint8_t* data, size_t size) : m_size(size), m_data(static_cast<uint8_t*>(std::malloc(size ? size : 1))) {
        if (size) std::memcpy(m_data, data, size);
    }
    explicit ExactCopy(const std::vector<uint8_t>& v) : ExactCopy(v.data(), v.size()) {}
    ~ExactCopy() { std::free(m_data); }
    ExactCopy(const ExactCopy&) = delete;
    ExactCopy& operator=(const ExactCopy&) = delete;
    const uint8_t* Data() const { return m_data; }
    unsigned int Size() const { return (unsigned int)m_size; }

private:
    size_t m_size;
    uint8_t* m_data;
};

}  // namespace testimg
}  // namespace qndx
