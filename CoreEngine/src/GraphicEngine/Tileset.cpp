// Tiles and tilesets: cutting a sheet into tiles (by a grid, by marker pixels
// or from a caller's list) and drawing one tile through the surface's blits.
#include "GraphicEngine/Tileset.h"

#include <new>
#include <vector>

// ---------------------------------------------------------------------------
// CQNDXTile

CQNDXTile::CQNDXTile() { Clear(); }

CQNDXTile::CQNDXTile(const CQNDXTile& other) : m_Rect(other.m_Rect), m_HotSpot(other.m_HotSpot) { OffsetRect(); }

CQNDXTile::CQNDXTile(const POINT* hotSpot, const RECT* rect) {
    Clear();
    Set(hotSpot, rect);
}

CQNDXTile& CQNDXTile::operator=(const CQNDXTile& other) {
    m_Rect = other.m_Rect;
    m_HotSpot = other.m_HotSpot;
    m_OffsetRect = other.m_OffsetRect;
    return *this;
}

void CQNDXTile::Set(const POINT* hotSpot, const RECT* rect) {
    if (hotSpot) m_HotSpot = *hotSpot;
    if (rect) m_Rect = *rect;
    OffsetRect();
}

void CQNDXTile::SetRect(const RECT* rect) {
    if (rect) m_Rect = *rect;
    OffsetRect();
}

void CQNDXTile::SetRect(int left, int top, int right, int bottom) {
    m_Rect = RECT{left, top, right, bottom};
    OffsetRect();
}

void CQNDXTile::SetHotSpot(const POINT* hotSpot) {
    if (hotSpot) m_HotSpot = *hotSpot;
    OffsetRect();
}

void CQNDXTile::SetHotSpot(int x, int y) {
    m_HotSpot = POINT{x, y};
    OffsetRect();
}

void CQNDXTile::Clear() {
    m_Rect = RECT{0, 0, 0, 0};
    m_HotSpot = POINT{0, 0};
    m_OffsetRect = RECT{0, 0, 0, 0};
}

void CQNDXTile::OffsetRect() {
    m_OffsetRect = RECT{m_Rect.left - m_HotSpot.x, m_Rect.top - m_HotSpot.y, m_Rect.right - m_HotSpot.x,
                        m_Rect.bottom - m_HotSpot.y};
}

// ---------------------------------------------------------------------------
// CQNDXTileset: loading and creating

CQNDXTileset::CQNDXTileset() : m_iTileCount(0), m_iCurrentTile(0), m_pTiles(nullptr), m_bOwnsTiles(0) {}

CQNDXTileset::~CQNDXTileset() {
    if (m_bOwnsTiles) delete[] m_pTiles;
    m_pTiles = nullptr;
}

int CQNDXTileset::LoadAndSetTiles(CQNDXVideoEngine* engine, const char* name, int count, const CQNDXTile* tiles,
                                  int format) {
    int result = Load(engine, name, format);
    if (result < 0) return result;
    SetTiles(count, tiles);
    return result;
}

int CQNDXTileset::LoadAndCutGrid(CQNDXVideoEngine* engine, const char* name, int tileWidth, int tileHeight,
                                 int format) {
    int result = Load(engine, name, format);
    if (result < 0) return result;
    CutGrid(tileWidth, tileHeight, -1);
    return result;
}

int CQNDXTileset::CreateAndCutGrid(CQNDXVideoEngine* engine, int width, int height, int tileWidth, int tileHeight) {
    int result = Create(engine, width, height);
    if (result < 0) return result;
    CutGrid(tileWidth, tileHeight, -1);
    return result;
}

// ---------------------------------------------------------------------------
// Tiles

CQNDXTile* CQNDXTileset::GetTile(int index) const {
    if (!m_pTiles || index < 0 || index >= m_iTileCount) return nullptr;
    return &m_pTiles[index];
}

void CQNDXTileset::__AdoptTiles(CQNDXTile* tiles, int count) {
    if (m_bOwnsTiles) delete[] m_pTiles;
    m_pTiles = count > 0 ? tiles : nullptr;
    if (count <= 0) delete[] tiles;
    m_iTileCount = count > 0 ? count : 0;
    m_iCurrentTile = 0;
    m_bOwnsTiles = 1;
}

void CQNDXTileset::SetTiles(int count, const CQNDXTile* tiles) {
    if (count < 1 || !tiles) return;
    // Copy first: the caller may hand in this tileset's own array.
    CQNDXTile* copy = new (std::nothrow) CQNDXTile[count];
    if (!copy) return;
    for (int i = 0; i < count; ++i) copy[i] = tiles[i];
    __AdoptTiles(copy, count);
}

void CQNDXTileset::CutGrid(int tileWidth, int tileHeight, int max) {
    if (!GetDDSurface() || tileWidth < 1 || tileHeight < 1) return;

    // Whole tiles only: a partial last column or row is not cut, and a sheet
    // narrower or lower than one tile has none.
    long long columns = GetWidth() / tileWidth;
    long long rows = GetHeight() / tileHeight;
    long long count = columns * rows;
    if (max > 0 && count > max) count = max;

    CQNDXTile* tiles = nullptr;
    if (count > 0) {
        tiles = new (std::nothrow) CQNDXTile[static_cast<size_t>(count)];
        if (!tiles) return;
        for (long long i = 0; i < count; ++i) {
            int x = static_cast<int>(i % columns) * tileWidth;
            int y = static_cast<int>(i / columns) * tileHeight;
            tiles[i].SetRect(x, y, x + tileWidth, y + tileHeight);
        }
    }
    __AdoptTiles(tiles, static_cast<int>(count));
}

namespace {

// The first position from `from` to `to` (inclusive, by `step`) whose pixel
// passes `test`, or `none`.
template <class Pixel, class Test>
int First(int from, int to, int step, Pixel pixel, Test test, int none) {
    for (int i = from; step > 0 ? i <= to : i >= to; i += step)
        if (test(pixel(i))) return i;
    return none;
}

}  // namespace

void CQNDXTileset::CutByMarkers(int max) {
    if (!GetDDSurface()) return;
    const int width = GetWidth();
    const int height = GetHeight();
    if (width < 1 || height < 1) return;
    if (Lock() < 1) return;

    // Marker colours from the last column; a sheet lower than five rows
    // simply lacks the markers it has no room for.
    const int last = width - 1;
    const DWORD grid = GetPixel(last, 0);
    bool hasMarker[5] = {false, false, false, false, false};
    DWORD marker[5] = {0, 0, 0, 0, 0};
    for (int i = 0; i < 5 && i < height; ++i) {
        hasMarker[i] = true;
        marker[i] = GetPixel(last, i);
    }
    auto isHot = [&](DWORD p) { return (hasMarker[2] && p == marker[2]) || (hasMarker[4] && p == marker[4]); };
    auto isEdge = [&](DWORD p) { return (hasMarker[3] && p == marker[3]) || (hasMarker[4] && p == marker[4]); };

    std::vector<int> columns;
    for (int x = 0; x < width; ++x)
        if (GetPixel(x, 0) == grid) columns.push_back(x);
    std::vector<int> rows;
    for (int y = 0; y < height; ++y)
        if (GetPixel(0, y) == grid) rows.push_back(y);

    const int cellColumns = columns.size() >= 2 ? static_cast<int>(columns.size()) - 1 : 0;
    const int cellRows = rows.size() >= 2 ? static_cast<int>(rows.size()) - 1 : 0;
    const long long cells = static_cast<long long>(cellColumns) * cellRows;
    long long count = max > 0 ? max : cells;

    CQNDXTile* tiles = nullptr;
    if (count > 0) {
        tiles = new (std::nothrow) CQNDXTile[static_cast<size_t>(count)];
        if (!tiles) {
            Unlock();
            return;
        }
    }

    for (int r = 0; r < cellRows; ++r) {
        for (int c = 0; c < cellColumns; ++c) {
            long long index = c + static_cast<long long>(r) * cellColumns;
            if (index >= count) break;
            const int x0 = columns[c], x1 = columns[c + 1];
            const int y0 = rows[r], y1 = rows[r + 1];

            // Markers on the cell's top row (across) and left column (down).
            auto across = [&](int x) { return GetPixel(x, y0); };
            auto down = [&](int y) { return GetPixel(x0, y); };
            const POINT hot = {First(x0 + 1, x1 - 1, 1, across, isHot, 0), First(y0 + 1, y1 - 1, 1, down, isHot, 0)};
            RECT rect = {First(x0 + 1, x1 - 2, 1, across, isEdge, x0 + 1), First(y0 + 1, y1 - 2, 1, down, isEdge, y0 + 1),
                         First(x1 - 1, x0 + 1, -1, across, isEdge, x1 - 1) + 1,
                         First(y1 - 1, y0 + 1, -1, down, isEdge, y1 - 1) + 1};
            tiles[index].SetRect(&rect);
            tiles[index].SetHotSpot(hot.x, hot.y);
        }
    }
    __AdoptTiles(tiles, static_cast<int>(count));

    Unlock();
    SetColorKeyNative(grid);
}

// ---------------------------------------------------------------------------
// Drawing

const CQNDXTile* CQNDXTileset::__TileToDraw(int index) {
    // A tileset without tiles has no current tile to fall back on.
    if (!GetDDSurface() || !m_pTiles || m_iTileCount < 1 || index > m_iTileCount) return nullptr;
    if (index >= 0 && index < m_iTileCount) m_iCurrentTile = index;
    if (m_iCurrentTile < 0 || m_iCurrentTile >= m_iTileCount) return nullptr;
    return &m_pTiles[m_iCurrentTile];
}

namespace {

// Where a tile's rectangle goes so that its hot spot falls on (x, y).
POINT PlacedAt(int x, int y, const CQNDXTile* tile) {
    const RECT* o = tile->GetOffsetRect();
    return POINT{qndx::gfx::OffsetPosition(x, o->left), qndx::gfx::OffsetPosition(y, o->top)};
}

// Draws the tile through `blit` (position and source rectangle) with its hot
// spot on (x, y); -1 without a tile.
template <class BlitFn>
int DrawPlaced(const CQNDXTile* tile, int x, int y, BlitFn blit) {
    if (!tile) return -1;
    const POINT at = PlacedAt(x, y, tile);
    return blit(at.x, at.y, tile->GetRect());
}

}  // namespace

int CQNDXTileset::DrawTile(CQNDXSurface* dest, int x, int y, int index, BOOL keyed) {
    return DrawPlaced(__TileToDraw(index), x, y,
                      [&](int px, int py, const RECT* r) { return Blit(dest, px, py, r, keyed); });
}

int CQNDXTileset::DrawTileClipToSurface(CQNDXSurface* dest, int x, int y, int index, BOOL keyed) {
    return DrawPlaced(__TileToDraw(index), x, y,
                      [&](int px, int py, const RECT* r) { return BlitClipToSurface(dest, px, py, r, keyed); });
}

int CQNDXTileset::DrawTileMirrorLeftRight(CQNDXSurface* dest, int x, int y, int index, BOOL keyed) {
    return DrawPlaced(__TileToDraw(index), x, y,
                      [&](int px, int py, const RECT* r) { return BlitMirrorLeftRight(dest, px, py, r, keyed); });
}

int CQNDXTileset::DrawTileMirrorUpDown(CQNDXSurface* dest, int x, int y, int index, BOOL keyed) {
    return DrawPlaced(__TileToDraw(index), x, y,
                      [&](int px, int py, const RECT* r) { return BlitMirrorUpDown(dest, px, py, r, keyed); });
}

int CQNDXTileset::DrawTileAlpha(CQNDXSurface* dest, int x, int y, int index, WORD alpha, BOOL keyed) {
    return DrawPlaced(__TileToDraw(index), x, y,
                      [&](int px, int py, const RECT* r) { return BlitAlpha(dest, px, py, r, alpha, keyed); });
}

int CQNDXTileset::DrawTileTranslucent(CQNDXSurface* dest, int x, int y, int index, WORD value, BOOL keyed) {
    return DrawPlaced(__TileToDraw(index), x, y,
                      [&](int px, int py, const RECT* r) { return BlitTranslucent(dest, px, py, r, value, keyed); });
}

int CQNDXTileset::DrawTileReserved(CQNDXSurface*, int, int, int) { return 0; }

int CQNDXTileset::DrawTileScaled(CQNDXSurface* dest, int x, int y, int index, float scale, BOOL keyed) {
    return DrawPlaced(__TileToDraw(index), x, y,
                      [&](int px, int py, const RECT* r) { return BlitScaled(dest, px, py, r, scale, keyed); });
}

int CQNDXTileset::DrawTileStretched(CQNDXSurface* dest, int x, int y, int index, int width, int height,
                                    BOOL keyed) {
    return DrawPlaced(__TileToDraw(index), x, y,
                      [&](int px, int py, const RECT* r) {
                          return BlitStretched(dest, px, py, r, width, height, keyed);
                      });
}

int CQNDXTileset::DrawTileBlend(CQNDXSurface* dest, int x, int y, int index, WORD value) {
    return DrawPlaced(__TileToDraw(index), x, y,
                      [&](int px, int py, const RECT* r) { return BlitBlend(dest, px, py, r, value); });
}
