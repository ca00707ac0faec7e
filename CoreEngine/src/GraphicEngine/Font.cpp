// The GDI font: text drawn and measured through a surface's device context
// with a platform font, optionally from a font file added for it alone.
#include "GraphicEngine/Font.h"

#include <cstring>
#include <new>

#include "GraphicEngine/Surface.h"

namespace {

// The number of characters to use of text: len when it lies within the text,
// else the whole text. Callers check text for null first.
int ClampedLength(const char* text, int len) {
    int whole = static_cast<int>(std::strlen(text));
    return (len >= 0 && len < whole) ? len : whole;
}

char* CopyString(const char* s) {
    size_t n = std::strlen(s) + 1;
    char* copy = new (std::nothrow) char[n];
    if (copy) std::memcpy(copy, s, n);
    return copy;
}

}  // namespace

CQNDXGDIFont::CQNDXGDIFont() {
    __InitMembers();
    CreateFont("Arial", 0, 12, FW_NORMAL, nullptr);
}

CQNDXGDIFont::CQNDXGDIFont(HFONT font) {
    __InitMembers();
    SetFont(font);
}

CQNDXGDIFont::CQNDXGDIFont(const char* face, int width, int height, int weight, const char* fontFile) {
    __InitMembers();
    CreateFont(face, width, height, weight, fontFile);
}

CQNDXGDIFont::CQNDXGDIFont(NoFont) { __InitMembers(); }

CQNDXGDIFont::~CQNDXGDIFont() {
    __RemoveFontFile();
    if (m_hFont && m_bOwnsFont) DeleteObject(m_hFont);
    m_hFont = nullptr;
}

void CQNDXGDIFont::__InitMembers() {
    m_TextColor = 0xFFFFFF;
    m_BkColor = 0x010000;
    m_hFont = nullptr;
    m_bOwnsFont = 1;
    m_szFontFile = nullptr;
}

void CQNDXGDIFont::__RemoveFontFile() {
    if (!m_szFontFile) return;
    RemoveFontResourceA(m_szFontFile);
    delete[] m_szFontFile;
    m_szFontFile = nullptr;
}

void CQNDXGDIFont::__ReleaseFont() {
    if (m_hFont && m_bOwnsFont) DeleteObject(m_hFont);
    m_hFont = nullptr;
    __RemoveFontFile();
}

int CQNDXGDIFont::SetFont(HFONT font) {
    if (!font) return -1;
    // Handing back the font already held must not delete it first.
    if (font == m_hFont) return 0;
    __ReleaseFont();
    m_hFont = font;
    m_bOwnsFont = 0;
    return 0;
}

int CQNDXGDIFont::CreateFont(const char* face, int width, int height, int weight, const char* fontFile) {
    if (!face) return -1;
    __ReleaseFont();

    if (fontFile) {
        if (AddFontResourceA(fontFile) == 0) return -1;
        m_szFontFile = CopyString(fontFile);
        if (!m_szFontFile) {
            // Without the path the file could never be removed again.
            RemoveFontResourceA(fontFile);
            return -1;
        }
    }

    HFONT font = CreateFontA(height, width, 0, 0, weight, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, VARIABLE_PITCH, face);
    if (!font) {
        __RemoveFontFile();
        return -2;
    }
    m_hFont = font;
    m_bOwnsFont = 1;
    return 0;
}

int CQNDXGDIFont::DrawText(CQNDXSurface* dest, int x, int y, const char* text, int len) {
    if (!text || !dest) return -1;
    HDC dc = dest->GetDC();
    if (!dc) return -1;

    HGDIOBJ previous = SelectObject(dc, m_hFont);
    SetBkMode(dc, TRANSPARENT);
    ::SetBkColor(dc, m_BkColor);
    ::SetTextColor(dc, m_TextColor);
    BOOL drawn = TextOutA(dc, x, y, text, ClampedLength(text, len));
    if (previous) SelectObject(dc, previous);
    dest->ReleaseDC();
    return drawn ? 0 : -1;
}

int CQNDXGDIFont::DrawTextAligned(CQNDXSurface* dest, int x, int y, const char* text, int align) {
    if (!text || !dest) return -1;
    HDC dc = dest->GetDC();
    if (!dc) return -1;

    // The rectangle runs to the surface's edges, whatever x and y are.
    RECT rect = {x, y, dest->GetWidth(), dest->GetHeight()};
    UINT format = DT_LEFT;
    if (align == QNDX_ALIGN_CENTER)
        format = DT_CENTER;
    else if (align == QNDX_ALIGN_RIGHT)
        format = DT_RIGHT;

    HGDIOBJ previous = SelectObject(dc, m_hFont);
    SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, m_TextColor);
    int height = DrawTextA(dc, text, static_cast<int>(std::strlen(text)), &rect, format | DT_WORDBREAK);
    if (previous) SelectObject(dc, previous);
    dest->ReleaseDC();
    return height > 0 ? 0 : -1;
}

int CQNDXGDIFont::GetTextExtent(CQNDXSurface* surface, const char* text, int len, SIZE* size) {
    if (!surface) return 0;
    if (!size) return 1;
    if (!text) {
        size->cx = 0;
        size->cy = 0;
        return 1;
    }
    int count = ClampedLength(text, len);

    HDC dc = surface->GetDC();
    if (!dc) return 0;
    HGDIOBJ previous = SelectObject(dc, m_hFont);
    BOOL measured = GetTextExtentPoint32A(dc, text, count, size);
    if (previous) SelectObject(dc, previous);
    surface->ReleaseDC();
    return measured ? 1 : 0;
}
