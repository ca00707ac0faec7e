// Helpers for the text tests: a DirectDraw surface of a chosen pixel kind
// with its device context, pixels read straight from the surface's memory,
// and the ink (pixels that differ from the background) found in it.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ddraw/SurfaceImpl.h"
#include "gdi/DeviceContext.h"
#include "platform/DirectDraw.h"
#include "platform/Gdi.h"
#include "platform/sim/Display.h"

namespace texttest {

const int kKinds[] = {15, 16, 24, 32};

// A surface of `bpp` (15, 16, 24, 32) with padded rows, and its DC.
class Canvas {
public:
    Canvas(int bpp, int width, int height) : m_bpp(bpp) {
        qndx::sim::SetDesktop(1024, 768, static_cast<DWORD>(bpp));
        qndx::sim::SetPitchAlignment(64);
        EXPECT_EQ(DD_OK, DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&m_dd), IID_IDirectDraw7, nullptr));
        if (!m_dd) return;
        m_dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
        DDSURFACEDESC2 d;
        std::memset(&d, 0, sizeof d);
        d.dwSize = 124;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.dwWidth = static_cast<DWORD>(width);
        d.dwHeight = static_cast<DWORD>(height);
        d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        EXPECT_EQ(DD_OK, m_dd->CreateSurface(&d, &m_surface, nullptr));
        if (!m_surface) return;
        // Padding bytes carry a pattern nothing should overwrite.
        qndx::platform::PixelTarget t = Target();
        std::memset(t.bits, 0xA5, static_cast<size_t>(t.pitch) * t.height);
        Fill(RGB(0, 0, 0));
    }
    ~Canvas() {
        Release();
        if (m_surface) m_surface->Release();
        if (m_dd) m_dd->Release();
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool Ok() const { return m_surface != nullptr; }
    int Bpp() const { return m_bpp; }
    IDirectDrawSurface7* Surface() const { return m_surface; }

    HDC Dc() {
        if (!m_dc && m_surface) {
            EXPECT_EQ(DD_OK, m_surface->GetDC(&m_dc));
        }
        return m_dc;
    }
    void Release() {
        if (m_dc) m_surface->ReleaseDC(m_dc);
        m_dc = nullptr;
    }

    qndx::platform::PixelTarget Target() const {
        return qndx::platform::SurfaceImpl::FromInterface(m_surface)->Target();
    }
    DWORD Native(COLORREF c) const { return qndx::platform::ColorToNative(Target(), c); }
    int Width() const { return Target().width; }
    int Height() const { return Target().height; }
    DWORD At(int x, int y) const { return qndx::platform::LoadPixel(Target(), x, y); }

    void Fill(COLORREF c) {
        qndx::platform::PixelTarget t = Target();
        DWORD n = Native(c);
        for (int y = 0; y < t.height; ++y)
            for (int x = 0; x < t.width; ++x) qndx::platform::StorePixel(t, x, y, n);
    }

    // Every byte past each row's pixels still holds the pattern.
    bool PaddingIntact() const {
        qndx::platform::PixelTarget t = Target();
        size_t used = static_cast<size_t>(t.width) * qndx::pixels::BytesPerPixel(t.kind);
        for (int y = 0; y < t.height; ++y)
            for (size_t b = used; b < static_cast<size_t>(t.pitch); ++b)
                if (t.bits[static_cast<size_t>(y) * t.pitch + b] != 0xA5) return false;
        return true;
    }

    std::vector<DWORD> Pixels() const {
        std::vector<DWORD> out;
        for (int y = 0; y < Height(); ++y)
            for (int x = 0; x < Width(); ++x) out.push_back(At(x, y));
        return out;
    }

private:
    int m_bpp;
    IDirectDraw7* m_dd = nullptr;
    IDirectDrawSurface7* m_surface = nullptr;
    HDC m_dc = nullptr;
};

// Bounding box of the pixels that differ from `background` (empty when none).
inline RECT Ink(const Canvas& c, DWORD background) {
    RECT r = {c.Width(), c.Height(), 0, 0};
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x)
            if (c.At(x, y) != background) {
                if (x < r.left) r.left = x;
                if (y < r.top) r.top = y;
                if (x + 1 > r.right) r.right = x + 1;
                if (y + 1 > r.bottom) r.bottom = y + 1;
            }
    if (r.right <= r.left) r = RECT{0, 0, 0, 0};
    return r;
}

// Rows (by index) that hold ink.
inline std::vector<bool> InkRows(const Canvas& c, DWORD background) {
    std::vector<bool> rows(static_cast<size_t>(c.Height()), false);
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x)
            if (c.At(x, y) != background) rows[static_cast<size_t>(y)] = true;
    return rows;
}

// Number of separate runs of inked rows (text lines, roughly).
inline int InkBands(const Canvas& c, DWORD background) {
    std::vector<bool> rows = InkRows(c, background);
    int bands = 0;
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i] && (i == 0 || !rows[i - 1])) ++bands;
    return bands;
}

inline HFONT MakeFont(const char* face, int height, int quality, int weight = FW_NORMAL) {
    return CreateFontA(height, 0, 0, 0, weight, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       static_cast<DWORD>(quality), VARIABLE_PITCH, face);
}

// Selects a font into a DC for a scope and deletes it afterwards.
class Selected {
public:
    Selected(HDC dc, HFONT font) : m_dc(dc), m_font(font) { m_previous = SelectObject(dc, font); }
    ~Selected() {
        SelectObject(m_dc, m_previous);
        DeleteObject(m_font);
    }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

private:
    HDC m_dc;
    HFONT m_font;
    HGDIOBJ m_previous;
};

inline std::string FileName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace texttest
