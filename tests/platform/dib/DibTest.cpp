// StretchDIBits into device-context targets: stretching, mirroring, source
// rectangles, clipping, palette targets, refusals and extreme extents, and
// CreateICA for the display. (Every depth and row order in every pixel kind
// is drawn by the BMP loader's tests through the same call.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/images/TestImages.h"
#include "gdi/DeviceContext.h"
#include "platform/Gdi.h"
#include "platform/sim/Sim.h"

namespace {

namespace ti = qndx::testimg;
using qndx::platform::DeviceContext;

const uint8_t kGuard = 0xCD;

// A target with a guard row above and below and padding at each row's end,
// all filled with kGuard, registered as a surface-like DC.
class GuardedTarget {
public:
    GuardedTarget(qndx::pixels::Kind kind, int w, int h, const PALETTEENTRY* palette = nullptr)
        : m_kind(kind), m_w(w), m_h(h) {
        m_bpp = qndx::pixels::BytesPerPixel(kind);
        m_pitch = w * m_bpp + 12;
        m_mem.assign((size_t)m_pitch * (h + 2), kGuard);
        std::unique_ptr<DeviceContext> dc(new DeviceContext(DeviceContext::Kind::Surface));
        dc->target.bits = m_mem.data() + m_pitch;
        dc->target.pitch = m_pitch;
        dc->target.width = w;
        dc->target.height = h;
        dc->target.kind = kind;
        dc->target.palette = palette;
        m_hdc = qndx::platform::RegisterDC(std::move(dc));
    }
    ~GuardedTarget() { qndx::platform::DestroyDC(m_hdc); }

    HDC Dc() const { return m_hdc; }

    uint32_t Native(int x, int y) const {
        const uint8_t* p = m_mem.data() + (size_t)m_pitch * (y + 1) + (size_t)x * m_bpp;
        switch (m_bpp) {
            case 1: return p[0];
            case 2: return (uint32_t)p[0] | ((uint32_t)p[1] << 8);
            case 3: return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16);
            default: return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
        }
    }
    bool Untouched(int x, int y) const {
        const uint8_t* p = m_mem.data() + (size_t)m_pitch * (y + 1) + (size_t)x * m_bpp;
        for (int i = 0; i < m_bpp; ++i)
            if (p[i] != kGuard) return false;
        return true;
    }
    // Guard rows and the padding of every row still hold kGuard.
    bool GuardsIntact() const {
        for (int i = 0; i < m_pitch; ++i)
            if (m_mem[(size_t)i] != kGuard || m_mem[(size_t)m_pitch * (m_h + 1) + i] != kGuard) return false;
        for (int y = 0; y < m_h; ++y)
            for (int i = m_w * m_bpp; i < m_pitch; ++i)
                if (m_mem[(size_t)m_pitch * (y + 1) + i] != kGuard) return false;
        return true;
    }

private:
    qndx::pixels::Kind m_kind;
    int m_w, m_h, m_bpp, m_pitch;
    std::vector<uint8_t> m_mem;
    HDC m_hdc = nullptr;
};

// What the display driver stores for a colour: the top bits of each channel.
uint32_t Expected(qndx::pixels::Kind kind, uint32_t rgb) {
    uint32_t r = ti::Red(rgb), g = ti::Green(rgb), b = ti::Blue(rgb);
    switch (kind) {
        case qndx::pixels::kRgb555: return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
        case qndx::pixels::kRgb565: return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
        default: return rgb;
    }
}

const qndx::pixels::Kind kKinds[] = {qndx::pixels::kRgb555, qndx::pixels::kRgb565, qndx::pixels::kRgb888, qndx::pixels::kXrgb8888};

const char* KindName(qndx::pixels::Kind k) {
    switch (k) {
        case qndx::pixels::kRgb555: return "555";
        case qndx::pixels::kRgb565: return "565";
        case qndx::pixels::kRgb888: return "888";
        case qndx::pixels::kXrgb8888: return "8888";
        default: return "other";
    }
}

// A file made by the test helpers, seen as GDI sees it.
struct Dib {
    std::vector<uint8_t> file;
    const BITMAPINFO* Info() const { return reinterpret_cast<const BITMAPINFO*>(file.data() + 14); }
    const void* Bits() const {
        uint32_t off = (uint32_t)file[10] | ((uint32_t)file[11] << 8) | ((uint32_t)file[12] << 16);
        return file.data() + off;
    }
};

// Draws `dib` 1:1 at (ox, oy) and compares every pixel of the target with `pic`.
void ExpectDrawn(qndx::pixels::Kind kind, const Dib& dib, const ti::Image& pic, int ox, int oy, const char* what) {
    SCOPED_TRACE(std::string(what) + " into " + KindName(kind));
    GuardedTarget t(kind, pic.width + 6, pic.height + 4);
    int lines = StretchDIBits(t.Dc(), ox, oy, pic.width, pic.height, 0, 0, pic.width, pic.height, dib.Bits(),
                              dib.Info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(pic.height, lines);
    int bad = 0;
    for (int y = 0; y < pic.height + 4; ++y)
        for (int x = 0; x < pic.width + 6; ++x) {
            bool inside = x >= ox && y >= oy && x < ox + pic.width && y < oy + pic.height;
            if (!inside) {
                if (!t.Untouched(x, y) && bad++ < 3) ADD_FAILURE() << "pixel outside drawn at " << x << "," << y;
                continue;
            }
            uint32_t want = Expected(kind, pic.At(x - ox, y - oy));
            if (t.Native(x, y) != want && bad++ < 3)
                ADD_FAILURE() << "at " << x - ox << "," << y - oy << " got 0x" << std::hex << t.Native(x, y)
                              << " want 0x" << want;
        }
    EXPECT_TRUE(t.GuardsIntact());
}

TEST(StretchDIBits, PaletteTargetsTakeTheMatchingEntry) {
    PALETTEENTRY palette[256] = {};
    ti::Indexed p = ti::IndexedPattern(7, 3, 4, 16);
    for (int i = 0; i < 16; ++i) {
        // Target entries in reverse order of the source table.
        palette[255 - i].peRed = ti::Red(p.palette[(size_t)i]);
        palette[255 - i].peGreen = ti::Green(p.palette[(size_t)i]);
        palette[255 - i].peBlue = ti::Blue(p.palette[(size_t)i]);
    }
    // Fill the rest far away from every source colour.
    for (int i = 0; i < 240; ++i) palette[i].peRed = palette[i].peGreen = palette[i].peBlue = 1;
    Dib dib{ti::WriteBmpIndexed(p, 4)};
    GuardedTarget t(qndx::pixels::kIndexed8, 7, 3, palette);
    EXPECT_EQ(3, StretchDIBits(t.Dc(), 0, 0, 7, 3, 0, 0, 7, 3, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x) EXPECT_EQ(255u - p.idx[(size_t)y * 7 + x], t.Native(x, y)) << x << "," << y;
    EXPECT_TRUE(t.GuardsIntact());
}

TEST(StretchDIBits, StretchingRepeatsOrPicksSourcePixelsInOrder) {
    ti::Image pic = ti::Pattern(4, 2);
    Dib dib{ti::WriteBmpRgb(pic, 24)};
    GuardedTarget up(qndx::pixels::kXrgb8888, 8, 6);
    EXPECT_EQ(2, StretchDIBits(up.Dc(), 0, 0, 8, 6, 0, 0, 4, 2, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(pic.At(x / 2, y / 3), up.Native(x, y)) << x << "," << y;

    GuardedTarget down(qndx::pixels::kXrgb8888, 2, 1);
    StretchDIBits(down.Dc(), 0, 0, 2, 1, 0, 0, 4, 2, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
    for (int x = 0; x < 2; ++x) {
        uint32_t got = down.Native(x, 0);
        bool fromItsCell = false;
        for (int sx = 2 * x; sx < 2 * x + 2; ++sx)
            for (int sy = 0; sy < 2; ++sy) fromItsCell |= got == pic.At(sx, sy);
        EXPECT_TRUE(fromItsCell) << "column " << x;
    }
    EXPECT_TRUE(up.GuardsIntact());
    EXPECT_TRUE(down.GuardsIntact());
}

TEST(StretchDIBits, OppositeSignsMirrorAndSourceRectanglesFollowTheDibOrigin) {
    ti::Image pic = ti::Pattern(5, 4);
    for (bool topDown : {false, true}) {
        SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
        ti::BmpLayout layout;
        layout.topDown = topDown;
        Dib dib{ti::WriteBmpRgb(pic, 32, layout)};

        GuardedTarget lr(qndx::pixels::kXrgb8888, 5, 4);
        StretchDIBits(lr.Dc(), 5, 0, -5, 4, 0, 0, 5, 4, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
        GuardedTarget ud(qndx::pixels::kXrgb8888, 5, 4);
        StretchDIBits(ud.Dc(), 0, 0, 5, 4, 0, 4, 5, -4, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x) {
                EXPECT_EQ(pic.At(4 - x, y), lr.Native(x, y)) << "left-right " << x << "," << y;
                EXPECT_EQ(pic.At(x, 3 - y), ud.Native(x, y)) << "up-down " << x << "," << y;
            }

        // Rows 0 and 1 of the source rectangle: the bottom two rows of a
        // bottom-up DIB, the top two of a top-down one; drawn upright.
        GuardedTarget part(qndx::pixels::kXrgb8888, 3, 2);
        StretchDIBits(part.Dc(), 0, 0, 3, 2, 1, 0, 3, 2, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
        int firstRow = topDown ? 0 : 2;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) EXPECT_EQ(pic.At(x + 1, firstRow + y), part.Native(x, y)) << x << "," << y;
    }
}

TEST(StretchDIBits, DrawingIsClippedToTheTargetAndTheSource) {
    ti::Image pic = ti::Pattern(6, 5);
    Dib dib{ti::WriteBmpRgb(pic, 24)};
    for (qndx::pixels::Kind k : kKinds) {
        SCOPED_TRACE(KindName(k));
        GuardedTarget t(k, 7, 6);
        // Hanging over the top-left corner, then over the bottom-right one.
        EXPECT_EQ(5, StretchDIBits(t.Dc(), -2, -3, 6, 5, 0, 0, 6, 5, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY));
        EXPECT_EQ(5, StretchDIBits(t.Dc(), 4, 3, 6, 5, 0, 0, 6, 5, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY));
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 7; ++x) {
                if (x >= 4 && y >= 3) {
                    EXPECT_EQ(Expected(k, pic.At(x - 4, y - 3)), t.Native(x, y)) << x << "," << y;
                } else if (x < 4 && y < 2) {
                    EXPECT_EQ(Expected(k, pic.At(x + 2, y + 3)), t.Native(x, y)) << x << "," << y;
                }
            }
        EXPECT_TRUE(t.GuardsIntact());
        // A source rectangle reaching past the DIB draws only what exists.
        GuardedTarget s(k, 4, 4);
        StretchDIBits(s.Dc(), 0, 0, 4, 4, 4, 0, 4, 4, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
        EXPECT_FALSE(s.Untouched(1, 3));
        EXPECT_TRUE(s.Untouched(2, 3));  // column 6 of the source does not exist
        EXPECT_TRUE(s.GuardsIntact());
    }
}

TEST(StretchDIBits, RefusesWhatItCannotDrawWithoutTouchingTheTarget) {
    ti::Indexed p = ti::IndexedPattern(4, 4, 8, 256);
    Dib dib{ti::WriteBmpIndexed(p, 8)};
    GuardedTarget t(qndx::pixels::kXrgb8888, 4, 4);
    auto draw = [&](HDC dc, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
        return StretchDIBits(dc, 0, 0, 4, 4, 0, 0, 4, 4, bits, info, usage, rop);
    };
    EXPECT_EQ(GDI_ERROR, draw(nullptr, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY));
    EXPECT_EQ(GDI_ERROR, draw(reinterpret_cast<HDC>(0x7777), dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY));
    EXPECT_EQ(GDI_ERROR, draw(t.Dc(), nullptr, dib.Info(), DIB_RGB_COLORS, SRCCOPY));
    EXPECT_EQ(GDI_ERROR, draw(t.Dc(), dib.Bits(), nullptr, DIB_RGB_COLORS, SRCCOPY));
    EXPECT_EQ(GDI_ERROR, draw(t.Dc(), dib.Bits(), dib.Info(), DIB_PAL_COLORS, SRCCOPY));
    EXPECT_EQ(GDI_ERROR, draw(t.Dc(), dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCPAINT));

    struct Patch {
        size_t at;
        uint32_t value;
        int width;
        const char* what;
    } patches[] = {
        {0, 12, 4, "core header size"},   {14, 2, 2, "2 bits per pixel"},  {14, 0, 2, "0 bits per pixel"},
        {16, BI_RLE8, 4, "run-length"},   {16, BI_BITFIELDS, 4, "bit fields"},
        {4, 0, 4, "zero width"},          {4, 70000, 4, "huge width"},     {8, 0, 4, "zero height"},
        {4, 0x80000000u, 4, "most negative width"},
    };
    for (const Patch& patch : patches) {
        std::vector<uint8_t> info(dib.file.begin() + 14, dib.file.end());
        if (patch.width == 4)
            ti::PutLE32(info, patch.at, patch.value);
        else
            ti::PutLE16(info, patch.at, patch.value);
        EXPECT_EQ(GDI_ERROR, draw(t.Dc(), dib.Bits(), reinterpret_cast<const BITMAPINFO*>(info.data()),
                                  DIB_RGB_COLORS, SRCCOPY))
            << patch.what;
    }
    // A DC without pixels: the display's information context.
    HDC ic = CreateICA("DISPLAY", nullptr, nullptr, nullptr);
    EXPECT_EQ(GDI_ERROR, draw(ic, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY));
    DeleteDC(ic);
    // Empty extents draw nothing.
    EXPECT_EQ(0, StretchDIBits(t.Dc(), 0, 0, 0, 4, 0, 0, 4, 4, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY));
    EXPECT_EQ(0, StretchDIBits(t.Dc(), 0, 0, 4, 4, 0, 0, 4, 0, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY));
    qndx::sim::FailNext("StretchDIBits", 1, E_FAIL);
    EXPECT_EQ(GDI_ERROR, draw(t.Dc(), dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_TRUE(t.Untouched(x, y));
    // The same call goes through once the fault is spent.
    EXPECT_EQ(4, draw(t.Dc(), dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY));
}

TEST(StretchDIBits, ExtremeExtentsStayInsideBothBuffers) {
    ti::Image pic = ti::Pattern(3, 3);
    Dib dib{ti::WriteBmpRgb(pic, 24)};
    GuardedTarget t(qndx::pixels::kRgb888, 5, 5);
    const int big = 0x7FFFFFFF;
    StretchDIBits(t.Dc(), 0, 0, big, big, 0, 0, 3, 3, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
    StretchDIBits(t.Dc(), -big, -big, big, big, 0, 0, 3, 3, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
    StretchDIBits(t.Dc(), 0, 0, 5, 5, -big, -big, big, big, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
    StretchDIBits(t.Dc(), 0, 0, 5, 5, 0, 0, -big - 1, -big - 1, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
    StretchDIBits(t.Dc(), 4, 4, -big - 1, -big - 1, 1, 1, 1, 1, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_TRUE(t.GuardsIntact());
}

TEST(CreateICA, GivesAnInformationContextForTheDisplayOnly) {
    HDC ic = CreateICA("DISPLAY", nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, ic);
    EXPECT_EQ(96, GetDeviceCaps(ic, LOGPIXELSX));
    EXPECT_EQ(96, GetDeviceCaps(ic, LOGPIXELSY));
    EXPECT_TRUE(DeleteDC(ic));
    HDC ic2 = CreateICA("Display", nullptr, nullptr, nullptr);
    EXPECT_NE(nullptr, ic2);
    EXPECT_NE(ic, ic2);  // handles are never reused
    DeleteDC(ic2);
    EXPECT_EQ(nullptr, CreateICA("WINSPOOL", "Printer", nullptr, nullptr));
    EXPECT_EQ(nullptr, CreateICA(nullptr, nullptr, nullptr, nullptr));
    qndx::sim::FailNext("CreateICA", 1, E_FAIL);
    EXPECT_EQ(nullptr, CreateICA("DISPLAY", nullptr, nullptr, nullptr));
}

TEST(StretchDIBits, OnePassRowsMatchTheGeneralPathByteForByte) {
    for (int bits : {24, 32}) {
        for (int width : {1, 7, 64, 803}) {
            ti::Image pic = ti::Pattern(width, 5, (uint32_t)(width + bits));
            Dib dib{ti::WriteBmpRgb(pic, bits)};
            for (qndx::pixels::Kind k : kKinds) {
                GuardedTarget fast(k, width + 5, 7), plain(k, width + 5, 7);
                // An odd start column and a part of the source.
                StretchDIBits(fast.Dc(), 3, 1, width, 5, 0, 0, width, 5, dib.Bits(), dib.Info(), DIB_RGB_COLORS,
                              SRCCOPY);
                setenv("QNDX_DIB_PLAIN", "1", 1);
                StretchDIBits(plain.Dc(), 3, 1, width, 5, 0, 0, width, 5, dib.Bits(), dib.Info(), DIB_RGB_COLORS,
                              SRCCOPY);
                unsetenv("QNDX_DIB_PLAIN");
                for (int y = 0; y < 7; ++y)
                    for (int x = 0; x < width + 5; ++x)
                        ASSERT_EQ(plain.Native(x, y), fast.Native(x, y))
                            << bits << " bits, " << width << " wide into " << KindName(k) << " at " << x << "," << y;
                EXPECT_TRUE(fast.GuardsIntact());
            }
        }
    }
}

TEST(StretchDIBits, ALargePictureMatchesThePlainConversionInEveryKind) {
    ti::Image pic = ti::Pattern(801, 61, 9);
    for (int bits : {24, 32}) {
        Dib dib{ti::WriteBmpRgb(pic, bits)};
        for (qndx::pixels::Kind k : kKinds) ExpectDrawn(k, dib, pic, 3, 2, (std::to_string(bits) + " bits, 801 wide").c_str());
    }
}

}  // namespace
