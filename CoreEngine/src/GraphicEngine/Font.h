// Fonts: the one interface surfaces draw and measure text through, and its
// three implementations. CQNDXGDIFont draws through the surface's device
// context with a platform font; CQNDXBitmapFont renders characters 0 to 127
// once into a keyed glyph surface and then draws text as blits, one per
// character; CQNDXTilesetFont draws characters from the tiles of a tileset.
// A surface draws through the font given to its SetFont, or through the video
// engine's default font; the game owns the fonts it makes and deletes them
// after the surfaces stop using them (a state's Release). Colours are
// COLORREF values, RGB(r, g, b).
#pragma once

#include "EngineLink.h"
#include "platform/Gdi.h"

class CQNDXSurface;
class CQNDXVideoEngine;
class CQNDXTileset;

// Alignments of DrawTextAligned (any other value aligns left).
enum {
    QNDX_ALIGN_LEFT = 0,
    QNDX_ALIGN_CENTER = 1,
    QNDX_ALIGN_RIGHT = 2,
};

class CQNDXFont {
public:
    // len below 0 means the whole text; a len beyond the text is cut to it.
    virtual int DrawText(CQNDXSurface* dest, int x, int y, const char* text, int len) = 0;
    virtual int DrawTextAligned(CQNDXSurface* dest, int x, int y, const char* text, int align) = 0;
    virtual COLORREF GetTextColor() = 0;
    virtual COLORREF GetBkColor() = 0;
    virtual void SetTextColor(COLORREF colour) = 0;
    virtual void SetBkColor(COLORREF colour) = 0;
    // 1 for success, 0 for failure.
    virtual int GetTextExtent(CQNDXSurface* surface, const char* text, int len, SIZE* size) = 0;
    // The video engine deletes its default font through this interface.
    virtual ~CQNDXFont() {}
};

class CQNDXGDIFont : public CQNDXFont {
public:
    // "Arial", height 12, weight 400. Text is white.
    CQNDXGDIFont();
    // Adopts a font the caller keeps (never deleted here).
    explicit CQNDXGDIFont(HFONT font);
    CQNDXGDIFont(const char* face, int width, int height, int weight, const char* fontFile);
    ~CQNDXGDIFont() override;

    int DrawText(CQNDXSurface* dest, int x, int y, const char* text, int len) override;
    int DrawTextAligned(CQNDXSurface* dest, int x, int y, const char* text, int align) override;
    COLORREF GetTextColor() override { return m_TextColor; }
    COLORREF GetBkColor() override { return m_BkColor; }
    void SetTextColor(COLORREF colour) override { m_TextColor = colour; }
    void SetBkColor(COLORREF colour) override { m_BkColor = colour; }
    int GetTextExtent(CQNDXSurface* surface, const char* text, int len, SIZE* size) override;

    // -1 for a null font; else the font is adopted (not owned) and 0 returned.
    int SetFont(HFONT font);
    // face: a family name ("Arial" becomes a metric-compatible installed
    // face), or the face inside fontFile (a .ttf path from the program's
    // folder, or null). height in pixels: above 0 the line's cell height, below
    // 0 the character (em) height, 0 a default of about 16. width 0 keeps the
    // face's proportions; above 0 it is the average character width in
    // pixels. weight 400 normal, 700 bold (FW_ of platform/Gdi.h). 0 on
    // success; -1 for a null face or a font file the platform refused; -2
    // when the platform could not create the font.
    int CreateFont(const char* face, int width, int height, int weight, const char* fontFile);
    HFONT GetHFONT() const { return m_hFont; }
    int OwnsFont() const { return m_bOwnsFont; }
    const char* GetFontFile() const { return m_szFontFile; }

protected:
    struct NoFont {};
    // Fields only; derived fonts create or adopt their font themselves.
    explicit CQNDXGDIFont(NoFont);

    void __InitMembers();
    // Deletes the font when owned and removes the added font file.
    void __ReleaseFont();
    void __RemoveFontFile();

    COLORREF m_TextColor;
    COLORREF m_BkColor;
    HFONT m_hFont;
    int m_bOwnsFont;
    char* m_szFontFile;

private:
    CQNDXGDIFont(const CQNDXGDIFont&) = delete;
    CQNDXGDIFont& operator=(const CQNDXGDIFont&) = delete;
};

// The fast font for text drawn every frame: characters 0 to 127 are drawn
// once, in the text colour on the background colour, into a glyph surface
// keyed with the background colour; text is then one keyed blit per
// character, so only the glyphs' own pixels reach the destination. The
// face, width, height and weight are those of CQNDXGDIFont::CreateFont
// (0 width: natural proportions; height in pixels). Make it once the display
// exists. Text is white on a black key by default: pick a background colour
// that the text colour does not use.
class CQNDXBitmapFont : public CQNDXGDIFont {
public:
    explicit CQNDXBitmapFont(CQNDXVideoEngine* engine);
    CQNDXBitmapFont(CQNDXVideoEngine* engine, HFONT font);
    CQNDXBitmapFont(CQNDXVideoEngine* engine, const char* face, int width, int height, int weight,
                    const char* fontFile);
    ~CQNDXBitmapFont() override;

    // (x, y) is the top-left corner of the first character's cell;
    // characters 128 to 255 draw nothing. 0 on success, negative on failure.
    int DrawText(CQNDXSurface* dest, int x, int y, const char* text, int len) override;
    // The alignment is not used and nothing wraps.
    int DrawTextAligned(CQNDXSurface* dest, int x, int y, const char* text, int align) override;
    // Both draw the glyph surface again: set them once, not per frame.
    void SetTextColor(COLORREF colour) override;
    void SetBkColor(COLORREF colour) override;
    // The text's width (the sum of its glyph widths) and height (the tallest
    // glyph's) in pixels; 1.
    int GetTextExtent(CQNDXSurface* surface, const char* text, int len, SIZE* size) override;

    // The GDI font's operations, then a new glyph surface.
    int SetFont(HFONT font);
    int CreateFont(const char* face, int width, int height, int weight, const char* fontFile);

    CQNDXSurface* GetGlyphSurface() const { return m_pGlyphSurface; }
    const RECT* GetGlyphRect(unsigned char code) const { return &m_GlyphRects[code]; }

private:
    void __InitBitmapMembers(CQNDXVideoEngine* engine);
    // Measures and renders characters 0 to 127 into a new glyph surface.
    void __BuildGlyphSurface();
    // The background colour as a key of the glyph surface's pixel kind.
    bool __KeyForBackground(DWORD* key) const;

    RECT m_GlyphRects[256];
    CQNDXSurface* m_pGlyphSurface;
    CQNDXEngineLink<CQNDXVideoEngine> m_pVideoEngine;  // cleared when the engine goes
};

class CQNDXTilesetFont : public CQNDXFont {
public:
    explicit CQNDXTilesetFont(CQNDXVideoEngine* engine);
    ~CQNDXTilesetFont() override;

    // Characters firstChar to firstChar + count - 1 are tiles 0 to count - 1,
    // each drawn with its top-left corner at the pen; other characters are
    // skipped. Keyed with the tileset's colour key.
    int DrawText(CQNDXSurface* dest, int x, int y, const char* text, int len) override;
    // The alignment is not used and nothing wraps.
    int DrawTextAligned(CQNDXSurface* dest, int x, int y, const char* text, int align) override;
    // The colours live in the tiles: these read 0 and change nothing.
    COLORREF GetTextColor() override { return 0; }
    COLORREF GetBkColor() override { return 0; }
    void SetTextColor(COLORREF) override {}
    void SetBkColor(COLORREF) override {}
    int GetTextExtent(CQNDXSurface* surface, const char* text, int len, SIZE* size) override;

    int LoadTileset(const char* fileName, int tileWidth, int tileHeight, unsigned char firstChar, int count);
    int SetTileset(CQNDXTileset* tileset, unsigned char firstChar, int count);
    void SetTilesetColorKey(DWORD value);
    void SetTilesetColorKeyRGB(COLORREF colour);

    CQNDXTileset* GetTileset() const { return m_pTileset; }
    unsigned char GetFirstChar() const { return m_FirstChar; }
    int GetCharCount() const { return m_iCharCount; }

private:
    CQNDXTilesetFont(const CQNDXTilesetFont&) = delete;
    CQNDXTilesetFont& operator=(const CQNDXTilesetFont&) = delete;

    // The tile index of a character, or -1 when the font has none for it.
    int __TileIndex(unsigned char code) const;

    CQNDXTileset* m_pTileset;
    CQNDXEngineLink<CQNDXVideoEngine> m_pVideoEngine;  // cleared when the engine goes
    int m_bOwnsTileset;
    unsigned char m_FirstChar;
    int m_iCharCount;
};
