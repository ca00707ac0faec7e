// The tileset font: a run of consecutive characters drawn from the tiles of a
// tileset (a sheet cut into a grid), one keyed tile per character.
#include <cstring>
#include <new>

#include "GraphicEngine/Font.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/Tileset.h"
#include "GraphicEngine/VideoEngine.h"

CQNDXTilesetFont::CQNDXTilesetFont(CQNDXVideoEngine* engine)
    : m_pTileset(nullptr), m_pVideoEngine(engine), m_bOwnsTileset(1), m_FirstChar(0), m_iCharCount(0) {}

CQNDXTilesetFont::~CQNDXTilesetFont() {
    if (m_bOwnsTileset) delete m_pTileset;
    m_pTileset = nullptr;
}

int CQNDXTilesetFont::LoadTileset(const char* fileName, int tileWidth, int tileHeight, unsigned char firstChar,
                                  int count) {
    m_FirstChar = firstChar;
    if (!m_pVideoEngine) return -1;
    CQNDXTileset* tileset = new (std::nothrow) CQNDXTileset();
    if (!tileset) return -1;
    int result = tileset->LoadAndCutGrid(m_pVideoEngine, fileName, tileWidth, tileHeight, 0);
    if (result < 0) {
        delete tileset;
        return result;
    }
    SetTileset(tileset, firstChar, count);
    m_bOwnsTileset = 1;
    return result;
}

int CQNDXTilesetFont::SetTileset(CQNDXTileset* tileset, unsigned char firstChar, int count) {
    if (!m_pVideoEngine || !tileset) return -1;
    // Handing back the tileset already held must neither delete it first nor
    // drop its ownership.
    if (tileset != m_pTileset) {
        if (m_bOwnsTileset) delete m_pTileset;
        m_pTileset = tileset;
        m_bOwnsTileset = 0;
    }
    m_iCharCount = count;
    m_FirstChar = firstChar;
    return 0;
}

void CQNDXTilesetFont::SetTilesetColorKey(DWORD value) {
    if (m_pTileset) m_pTileset->SetColorKeyNative(value);
}

void CQNDXTilesetFont::SetTilesetColorKeyRGB(COLORREF colour) {
    if (m_pTileset) m_pTileset->SetColorKeyRGB(colour);
}

int CQNDXTilesetFont::__TileIndex(unsigned char code) const {
    if (!m_pTileset) return -1;
    int index = static_cast<int>(code) - static_cast<int>(m_FirstChar);
    if (index < 0 || index >= m_iCharCount || index >= m_pTileset->GetTileCount()) return -1;
    return index;
}

int CQNDXTilesetFont::DrawText(CQNDXSurface* dest, int x, int y, const char* text, int len) {
    if (!text || !dest || !m_pTileset) return -1;
    if (len < 0) len = static_cast<int>(std::strlen(text));

    int result = 0;
    for (int i = 0; i < len && text[i] != '\0'; ++i) {
        int index = __TileIndex(static_cast<unsigned char>(text[i]));
        if (index < 0) continue;
        const CQNDXTile* tile = m_pTileset->GetTile(index);
        const RECT* rect = tile->GetRect();
        const RECT* offset = tile->GetOffsetRect();
        // DrawTile places the tile by its offset rectangle; undo that so the
        // tile's top-left corner sits on the pen.
        result = m_pTileset->DrawTile(dest, qndx::gfx::OffsetPosition(x, -static_cast<int64_t>(offset->left)),
                                      qndx::gfx::OffsetPosition(y, -static_cast<int64_t>(offset->top)), index, 1);
        x = qndx::gfx::OffsetPosition(x, static_cast<int64_t>(rect->right) - rect->left);
    }
    return result;
}

int CQNDXTilesetFont::DrawTextAligned(CQNDXSurface* dest, int x, int y, const char* text, int align) {
    if (!text) return -1;
    return DrawText(dest, x, y, text, -1);
}

int CQNDXTilesetFont::GetTextExtent(CQNDXSurface* surface, const char* text, int len, SIZE* size) {
    if (!size) return 1;
    size->cx = 0;
    size->cy = 0;
    if (!text) return 1;
    if (len < 0) len = static_cast<int>(std::strlen(text));
    for (int i = 0; i < len && text[i] != '\0'; ++i) {
        int index = __TileIndex(static_cast<unsigned char>(text[i]));
        if (index < 0) continue;
        const RECT* rect = m_pTileset->GetTile(index)->GetRect();
        size->cx += rect->right - rect->left;
        LONG h = rect->bottom - rect->top;
        if (h > size->cy) size->cy = h;
    }
    return 1;
}
