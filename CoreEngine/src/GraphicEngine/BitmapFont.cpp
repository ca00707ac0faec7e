// The bitmap font: characters 0 to 127 of a GDI font measured and rendered
// once into a glyph surface keyed on the background colour, so that drawing
// text afterwards is one keyed blit per character. The glyph surface is
// rebuilt when the font or a colour changes and after it lost its pixels.
#include <cstring>
#include <new>

#include "GraphicEngine/Font.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/VideoEngine.h"

CQNDXBitmapFont::CQNDXBitmapFont(CQNDXVideoEngine* engine) : CQNDXGDIFont(NoFont()) {
    __InitBitmapMembers(engine);
    CreateFont("Arial", 0, 12, FW_NORMAL, nullptr);
}

CQNDXBitmapFont::CQNDXBitmapFont(CQNDXVideoEngine* engine, HFONT font) : CQNDXGDIFont(NoFont()) {
    __InitBitmapMembers(engine);
    SetFont(font);
}

CQNDXBitmapFont::CQNDXBitmapFont(CQNDXVideoEngine* engine, const char* face, int width, int height, int weight,
                                 const char* fontFile)
    : CQNDXGDIFont(NoFont()) {
    __InitBitmapMembers(engine);
    CreateFont(face, width, height, weight, fontFile);
}

CQNDXBitmapFont::~CQNDXBitmapFont() {
    delete m_pGlyphSurface;
    m_pGlyphSurface = nullptr;
}

void CQNDXBitmapFont::__InitBitmapMembers(CQNDXVideoEngine* engine) {
    m_TextColor = 0xFFFFFF;
    m_BkColor = 0;
    std::memset(m_GlyphRects, 0, sizeof(m_GlyphRects));
    m_pGlyphSurface = nullptr;
    m_pVideoEngine = engine;
}

int CQNDXBitmapFont::SetFont(HFONT font) {
    int result = CQNDXGDIFont::SetFont(font);
    if (result >= 0) __BuildGlyphSurface();
    return result;
}

int CQNDXBitmapFont::CreateFont(const char* face, int width, int height, int weight, const char* fontFile) {
    int result = CQNDXGDIFont::CreateFont(face, width, height, weight, fontFile);
    if (result >= 0) __BuildGlyphSurface();
    return result;
}

void CQNDXBitmapFont::SetTextColor(COLORREF colour) {
    m_TextColor = colour;
    __BuildGlyphSurface();
}

void CQNDXBitmapFont::SetBkColor(COLORREF colour) {
    m_BkColor = colour;
    __BuildGlyphSurface();
}

bool CQNDXBitmapFont::__KeyForBackground(DWORD* key) const {
    // The glyph surface's own kind decides: it is made in the display's
    // format, and a 5-5-5 display may report itself as 16 bits.
    int depth = static_cast<int>(m_pGlyphSurface->GetPixelKind());
    if (depth == 0 && m_pVideoEngine) depth = m_pVideoEngine->GetBitsPerPixel();
    if (depth == 8) {
        *key = m_BkColor;
        return true;
    }
    if (depth != 15 && depth != 16 && depth != 24 && depth != 32) return false;
    const bool wide = depth > 16;
    *key = PlaceRGB(m_BkColor, wide ? 0xFF0000 : depth == 16 ? 0xF800 : 0x7C00,
                    wide ? 0xFF00 : depth == 16 ? 0x7E0 : 0x3E0, wide ? 0xFF : 0x1F);
    return true;
}

void CQNDXBitmapFont::__BuildGlyphSurface() {
    if (!m_pVideoEngine || !m_hFont) return;

    // Measure on a scratch surface.
    CQNDXSurface* scratch = new (std::nothrow) CQNDXSurface();
    if (!scratch) return;
    if (scratch->Create(m_pVideoEngine, 100, 100) < 0 || !scratch->GetDDSurface()) {
        delete scratch;
        return;
    }

    RECT rects[128];
    LONG width = 0;
    LONG height = 0;
    HDC dc = scratch->GetDC();
    if (dc) {
        HGDIOBJ previous = SelectObject(dc, m_hFont);
        SetBkMode(dc, OPAQUE);
        ::SetTextColor(dc, m_TextColor);
        ::SetBkColor(dc, m_BkColor);
        for (int c = 0; c < 128; ++c) {
            char ch = static_cast<char>(c);
            SIZE size = {0, 0};
            if (!GetTextExtentPoint32A(dc, &ch, 1, &size)) size = SIZE{0, 0};
            rects[c] = RECT{width, 0, width + size.cx, size.cy};
            width += size.cx;
            if (size.cy > height) height = size.cy;
        }
        if (previous) SelectObject(dc, previous);
        scratch->ReleaseDC();
    }
    delete scratch;

    delete m_pGlyphSurface;
    m_pGlyphSurface = nullptr;
    if (!dc) return;
    std::memset(m_GlyphRects, 0, sizeof(m_GlyphRects));
    std::memcpy(m_GlyphRects, rects, sizeof(rects));

    CQNDXSurface* glyphs = new (std::nothrow) CQNDXSurface();
    if (!glyphs) return;
    if (glyphs->Create(m_pVideoEngine, width, height) < 0 || !glyphs->GetDDSurface()) {
        delete glyphs;
        return;
    }
    m_pGlyphSurface = glyphs;

    DWORD key = 0;
    if (__KeyForBackground(&key)) glyphs->SetColorKeyNative(key);
    glyphs->Clear(0);

    // Opaque text fills each glyph cell with the background colour, which the
    // key makes transparent.
    dc = glyphs->GetDC();
    if (!dc) return;
    HGDIOBJ previous = SelectObject(dc, m_hFont);
    SetBkMode(dc, OPAQUE);
    ::SetTextColor(dc, m_TextColor);
    ::SetBkColor(dc, m_BkColor);
    for (int c = 0; c < 128; ++c) {
        char ch = static_cast<char>(c);
        TextOutA(dc, m_GlyphRects[c].left, 0, &ch, 1);
    }
    if (previous) SelectObject(dc, previous);
    glyphs->ReleaseDC();
}

int CQNDXBitmapFont::DrawText(CQNDXSurface* dest, int x, int y, const char* text, int len) {
    if (!m_pGlyphSurface || !text || !dest) return -1;
    if (len < 0) len = static_cast<int>(std::strlen(text));

    if (m_pGlyphSurface->NeedsReload()) {
        __BuildGlyphSurface();
        if (!m_pGlyphSurface) return -1;
        m_pGlyphSurface->SetNeedsReload(0);
    }

    int result = 0;
    for (int i = 0; i < len && text[i] != '\0'; ++i) {
        const RECT& glyph = m_GlyphRects[static_cast<unsigned char>(text[i])];
        result = m_pGlyphSurface->BlitClipToSurface(dest, x, y, &glyph, 1);
        if (result == DDERR_SURFACELOST) {
            m_pGlyphSurface->Restore();
            result = m_pGlyphSurface->BlitClipToSurface(dest, x, y, &glyph, 1);
        }
        x = qndx::gfx::OffsetPosition(x, static_cast<int64_t>(glyph.right) - glyph.left);
    }
    return result;
}

int CQNDXBitmapFont::DrawTextAligned(CQNDXSurface* dest, int x, int y, const char* text, int align) {
    if (!text) return -1;
    return DrawText(dest, x, y, text, static_cast<int>(std::strlen(text)));
}

int CQNDXBitmapFont::GetTextExtent(CQNDXSurface* surface, const char* text, int len, SIZE* size) {
    if (!size) return 1;
    size->cx = 0;
    size->cy = 0;
    if (!text) return 1;
    if (len < 0) len = static_cast<int>(std::strlen(text));
    for (int i = 0; i < len && text[i] != '\0'; ++i) {
        const RECT& glyph = m_GlyphRects[static_cast<unsigned char>(text[i])];
        size->cx += glyph.right - glyph.left;
        LONG h = glyph.bottom - glyph.top;
        if (h > size->cy) size->cy = h;
    }
    return 1;
}
