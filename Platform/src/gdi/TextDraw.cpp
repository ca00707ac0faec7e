// The text calls on a device context: colours and background mode, TextOutA,
// DrawTextA and GetTextExtentPoint32A, drawn from the glyph cache into the
// DC's pixels.
//
// Colours go through the target's conversion, which keeps the top bits of
// each channel in 15- and 16-bit targets. A monochrome font (asked for with
// NONANTIALIASED_QUALITY) writes exactly the text colour and, in opaque mode,
// exactly the background colour, nothing in between, so a surface keyed on
// the background colour shows the glyphs without a fringe. Antialiased fonts
// blend their edges with what lies beneath.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "gdi/DeviceContext.h"
#include "gdi/FontCache.h"
#include "gdi/GdiObject.h"
#include "gdi/TextLayout.h"
#include "platform/Gdi.h"
#include "platform/sim/Sim.h"
#include "sim/SimInternal.h"

using namespace qndx::platform;

namespace {

struct Box {
    long long left, top, right, bottom;
    bool Empty() const { return right <= left || bottom <= top; }
};

Box Intersect(const Box& a, const Box& b) {
    return Box{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
}

Box TargetBox(const PixelTarget& t) { return Box{0, 0, t.width, t.height}; }

// What a run of text is drawn with.
struct RunStyle {
    COLORREF text = 0;
    COLORREF background = 0;
    bool opaque = false;
    int tabStop = 0;
    const std::vector<bool>* underlined = nullptr;  // per character, or null
};

class TextPainter {
public:
    TextPainter(DeviceContext& dc, FontInstance& font, const Box& clip)
        : m_dc(dc), m_target(dc.target), m_font(font), m_clip(Intersect(clip, TargetBox(dc.target))) {}

    // Draws chars[0, count) with the cell's top-left corner at (x, y).
    void DrawRun(long long x, long long y, const char* chars, size_t count, const RunStyle& style) {
        const DWORD textNative = ColorToNative(m_target, style.text);
        const long long baseline = y + m_font.Ascent();

        if (style.opaque) {
            long long width = 0;
            for (size_t i = 0; i < count; ++i) width = Next(width, static_cast<unsigned char>(chars[i]), style);
            Fill(Box{x, y, x + width, y + m_font.Height()}, ColorToNative(m_target, style.background));
        }

        long long pen = x;
        for (size_t i = 0; i < count; ++i) {
            const unsigned char c = static_cast<unsigned char>(chars[i]);
            const long long next = x + Next(pen - x, c, style);
            if (!(c == '\t' && style.tabStop > 0)) {
                const Glyph& g = m_font.GlyphFor(c);
                DrawGlyph(g, pen + g.left, baseline - g.top, style.text, textNative);
            }
            if (style.underlined && i < style.underlined->size() && (*style.underlined)[i])
                Line(pen, next, baseline + m_font.UnderlinePosition(), textNative);
            pen = next;
        }
        if (m_font.Underline()) Line(x, pen, baseline + m_font.UnderlinePosition(), textNative);
        if (m_font.StrikeOut()) Line(x, pen, baseline - m_font.StrikeOutPosition(), textNative);
    }

    void Finish() {
        if (!m_touched.Empty())
            m_dc.MarkDirty(static_cast<LONG>(m_touched.left), static_cast<LONG>(m_touched.top),
                           static_cast<LONG>(m_touched.right), static_cast<LONG>(m_touched.bottom));
    }

private:
    long long Next(long long pen, unsigned char c, const RunStyle& style) {
        if (c == '\t' && style.tabStop > 0) return (pen / style.tabStop + 1) * style.tabStop;
        return pen + m_font.GlyphFor(c).advance;
    }

    void Touch(const Box& b) {
        if (b.Empty()) return;
        if (m_touched.Empty()) {
            m_touched = b;
            return;
        }
        m_touched = Box{std::min(m_touched.left, b.left), std::min(m_touched.top, b.top),
                        std::max(m_touched.right, b.right), std::max(m_touched.bottom, b.bottom)};
    }

    void Fill(const Box& area, DWORD native) {
        Box b = Intersect(area, m_clip);
        if (b.Empty()) return;
        for (long long py = b.top; py < b.bottom; ++py)
            for (long long px = b.left; px < b.right; ++px)
                StorePixel(m_target, static_cast<int>(px), static_cast<int>(py), native);
        Touch(b);
    }

    void Line(long long from, long long to, long long top, DWORD native) {
        Fill(Box{from, top, to, top + m_font.LineThickness()}, native);
    }

    void DrawGlyph(const Glyph& g, long long left, long long top, COLORREF colour, DWORD native) {
        if (g.width <= 0 || g.rows <= 0) return;
        Box b = Intersect(Box{left, top, left + g.width, top + g.rows}, m_clip);
        if (b.Empty()) return;
        const int fr = static_cast<int>(colour & 0xFF);
        const int fg = static_cast<int>((colour >> 8) & 0xFF);
        const int fb = static_cast<int>((colour >> 16) & 0xFF);
        // Fully covered pixels, most of a glyph, are stored straight into
        // the row: the statistics overlay draws text every frame.
        const int bpp = BytesPerPixel(m_target.kind);
        const DWORD solid = m_target.kind == qndx::pixels::kRgb555 ? (native & 0x7FFF) : native;
        for (long long py = b.top; py < b.bottom; ++py) {
            const uint8_t* row = &g.coverage[static_cast<size_t>(py - top) * static_cast<size_t>(g.width)];
            uint8_t* out = m_target.bits + static_cast<ptrdiff_t>(py) * m_target.pitch;
            for (long long px = b.left; px < b.right; ++px) {
                const int a = row[px - left];
                if (a == 0) continue;
                const int ix = static_cast<int>(px), iy = static_cast<int>(py);
                if (a == 255) {
                    uint8_t* p = out + static_cast<ptrdiff_t>(px) * bpp;
                    if (bpp == 4)
                        std::memcpy(p, &solid, 4);
                    else if (bpp == 2)
                        std::memcpy(p, &solid, 2);
                    else
                        std::memcpy(p, &solid, static_cast<size_t>(bpp));
                    continue;
                }
                const COLORREF under = NativeToColor(m_target, LoadPixel(m_target, ix, iy));
                const int ur = static_cast<int>(under & 0xFF);
                const int ug = static_cast<int>((under >> 8) & 0xFF);
                const int ub = static_cast<int>((under >> 16) & 0xFF);
                const COLORREF mixed = RGB((fr * a + ur * (255 - a) + 127) / 255, (fg * a + ug * (255 - a) + 127) / 255,
                                           (fb * a + ub * (255 - a) + 127) / 255);
                StorePixel(m_target, ix, iy, ColorToNative(m_target, mixed));
            }
        }
        Touch(b);
    }

    DeviceContext& m_dc;
    const PixelTarget m_target;
    FontInstance& m_font;
    const Box m_clip;
    Box m_touched = {0, 0, 0, 0};
};

std::shared_ptr<FontInstance> SelectedFont(DeviceContext* dc) {
    FontObject* font = LookupGdiObjectAs<FontObject>(dc->font, GdiObject::Kind::Font);
    if (!font) return nullptr;
    return TextSystem::Get().InstanceFor(font->desc);
}

void Journal(const char* call, HDC hdc, const char* text, int count) {
    (void)hdc;
    qndx::sim::internal::Record(call, [&] {
        std::string args = "\"";
        if (text && count > 0) args.append(text, static_cast<size_t>(count));
        args += "\"";
        return args;
    });
}

// Sets one of the DC's colours; the one it replaces.
COLORREF SwapColour(HDC hdc, COLORREF DeviceContext::*field, COLORREF color) {
    DeviceContext* dc = LookupDC(hdc);
    if (!dc) return CLR_INVALID;
    const COLORREF previous = dc->*field;
    dc->*field = color & 0xFFFFFF;
    return previous;
}

int ClampToInt(long long v) {
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

}  // namespace

int SetBkMode(HDC hdc, int mode) {
    DeviceContext* dc = LookupDC(hdc);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    int previous = dc->bkMode;
    dc->bkMode = mode;
    return previous;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) { return SwapColour(hdc, &DeviceContext::bkColor, color); }

COLORREF SetTextColor(HDC hdc, COLORREF color) { return SwapColour(hdc, &DeviceContext::textColor, color); }

BOOL TextOutA(HDC hdc, int x, int y, LPCSTR lpString, int c) {
    Journal("TextOutA", hdc, lpString, c);
    if (qndx::sim::internal::TakeFault("TextOutA", nullptr)) return FALSE;
    DeviceContext* dc = LookupDC(hdc);
    if (!dc || c < 0) return FALSE;
    if (c == 0) return TRUE;
    if (!lpString || !dc->target.HasPixels()) return FALSE;
    std::shared_ptr<FontInstance> font = SelectedFont(dc);
    if (!font) return FALSE;

    RunStyle style;
    style.text = dc->textColor;
    style.background = dc->bkColor;
    style.opaque = dc->bkMode == OPAQUE;
    TextPainter painter(*dc, *font, TargetBox(dc->target));
    painter.DrawRun(x, y, lpString, static_cast<size_t>(c), style);
    painter.Finish();
    return TRUE;
}

BOOL GetTextExtentPoint32A(HDC hdc, LPCSTR lpString, int c, LPSIZE psizl) {
    if (qndx::sim::internal::TakeFault("GetTextExtentPoint32A", nullptr)) return FALSE;
    DeviceContext* dc = LookupDC(hdc);
    if (!dc || !psizl || c < 0 || (!lpString && c > 0)) return FALSE;
    std::shared_ptr<FontInstance> font = SelectedFont(dc);
    if (!font) return FALSE;
    psizl->cx = c > 0 ? font->Advance(lpString, c) : 0;
    psizl->cy = font->Height();
    return TRUE;
}

int DrawTextA(HDC hdc, LPCSTR lpchText, int cchText, LPRECT lprc, UINT format) {
    if (cchText < 0) cchText = lpchText ? static_cast<int>(std::strlen(lpchText)) : 0;
    Journal("DrawTextA", hdc, lpchText, cchText);
    if (qndx::sim::internal::TakeFault("DrawTextA", nullptr)) return 0;
    DeviceContext* dc = LookupDC(hdc);
    if (!dc || !lprc || (!lpchText && cchText > 0)) return 0;
    std::shared_ptr<FontInstance> font = SelectedFont(dc);
    if (!font) return 0;

    const PreparedText prepared = PrepareText(lpchText, cchText, (format & DT_NOPREFIX) == 0);
    const int tabStop = (format & DT_EXPANDTABS) ? 8 * font->AverageCharWidth() : 0;
    FontInstance* f = font.get();
    const AdvanceOf advance = [f](unsigned char c) { return f->GlyphFor(c).advance; };
    const long long available = static_cast<long long>(lprc->right) - lprc->left;
    const int maxWidth = available < 0 ? 0 : ClampToInt(available);
    const std::vector<LaidOutLine> lines = LayoutLines(prepared.chars, format, maxWidth, advance, tabStop);

    const long long lineHeight = font->Height();
    const long long total = lineHeight * static_cast<long long>(lines.size());
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const LaidOutLine& line : lines) widest = std::max(widest, line.width);
        lprc->right = ClampToInt(static_cast<long long>(lprc->left) + widest);
        lprc->bottom = ClampToInt(static_cast<long long>(lprc->top) + total);
        return ClampToInt(total);
    }
    if (!dc->target.HasPixels()) return 0;

    long long top = lprc->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            top = lprc->top + (static_cast<long long>(lprc->bottom) - lprc->top - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            top = static_cast<long long>(lprc->bottom) - lineHeight;
    }

    Box clip = TargetBox(dc->target);
    if (!(format & DT_NOCLIP)) clip = Intersect(clip, Box{lprc->left, lprc->top, lprc->right, lprc->bottom});

    RunStyle style;
    style.text = dc->textColor;
    style.background = dc->bkColor;
    style.opaque = dc->bkMode == OPAQUE;
    style.tabStop = tabStop;
    TextPainter painter(*dc, *font, clip);
    for (size_t i = 0; i < lines.size(); ++i) {
        const LaidOutLine& line = lines[i];
        long long x = lprc->left;
        if (format & DT_CENTER)
            x = lprc->left + (available - line.width) / 2;
        else if (format & DT_RIGHT)
            x = static_cast<long long>(lprc->right) - line.width;
        std::vector<bool> underlined(prepared.underlined.begin() + static_cast<ptrdiff_t>(line.begin),
                                     prepared.underlined.begin() + static_cast<ptrdiff_t>(line.end));
        style.underlined = &underlined;
        painter.DrawRun(x, top + lineHeight * static_cast<long long>(i), prepared.chars.data() + line.begin,
                        line.end - line.begin, style);
    }
    painter.Finish();

    if ((format & DT_SINGLELINE) && (format & (DT_VCENTER | DT_BOTTOM)))
        return ClampToInt(top - lprc->top + lineHeight);
    return ClampToInt(total);
}
