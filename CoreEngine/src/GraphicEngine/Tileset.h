// Tiles and tilesets. A tileset is a surface whose image is a sheet of
// smaller pictures, each described by a tile: a rectangle of the sheet and a
// hot spot. The sheet is cut into a regular grid, or by grid lines and marker
// pixels drawn into the image, or given a ready list of tiles. A tile is
// drawn by index through any of the surface's blits, placed so that its hot
// spot falls on the given point. The cursor keeps its frames in a tileset.
//
// The hot spot is a point in sheet coordinates, not in the tile: drawing at
// (x, y) puts sheet point (hot.x, hot.y) on (x, y), so the tile's rectangle
// lands at (x + rect.left - hot.x, y + rect.top - hot.y). Grid tiles have
// the hot spot (0, 0), so grid tile i goes to (x, y) with
//   sheet->DrawTile(dest, x - sheet->GetTile(i)->GetRect()->left,
//                   y - sheet->GetTile(i)->GetRect()->top, i, keyed);
// or give each tile its rectangle's top-left corner as its hot spot once
// after cutting, and draw it at (x, y) itself.
#pragma once

#include "GraphicEngine/Surface.h"

class CQNDXTile {
public:
    CQNDXTile();
    CQNDXTile(const CQNDXTile& other);
    // Either pointer may be null, leaving that field zero. Both are in sheet
    // coordinates.
    CQNDXTile(const POINT* hotSpot, const RECT* rect);
    virtual ~CQNDXTile() {}

    CQNDXTile& operator=(const CQNDXTile& other);

    // Null arguments leave their field as it is.
    void Set(const POINT* hotSpot, const RECT* rect);
    void SetRect(const RECT* rect);
    void SetRect(int left, int top, int right, int bottom);
    void SetHotSpot(const POINT* hotSpot);
    void SetHotSpot(int x, int y);
    void Clear();

    // The tile's rectangle in the sheet, right and bottom exclusive.
    const RECT* GetRect() const { return &m_Rect; }
    // The rectangle moved by minus the hot spot.
    const RECT* GetOffsetRect() const { return &m_OffsetRect; }
    const POINT* GetHotSpot() const { return &m_HotSpot; }

private:
    // Recomputes the offset rectangle from the rectangle and the hot spot.
    void OffsetRect();

    RECT m_Rect;
    POINT m_HotSpot;
    RECT m_OffsetRect;
};

class CQNDXTileset : public CQNDXSurface {
public:
    CQNDXTileset();
    ~CQNDXTileset() override;

    // Load or create the sheet, then set or cut its tiles. They answer the
    // load's result (1 loaded) or the creation's (0 made); a negative result
    // is returned with the tiles left as they were. The load takes the name
    // and format of CQNDXSurface::Load.
    virtual int LoadAndSetTiles(CQNDXVideoEngine* engine, const char* name, int count, const CQNDXTile* tiles,
                                int format);
    virtual int LoadAndCutGrid(CQNDXVideoEngine* engine, const char* name, int tileWidth, int tileHeight,
                               int format);
    virtual int CreateAndCutGrid(CQNDXVideoEngine* engine, int width, int height, int tileWidth, int tileHeight);

    virtual int GetTileCount() const { return m_iTileCount; }
    virtual CQNDXTile* GetTiles() const { return m_pTiles; }
    // Null when the index is outside the tiles.
    virtual CQNDXTile* GetTile(int index) const;

    // Grid lines and markers drawn into the sheet: the pixels of the last
    // column at rows 0 to 4 give the grid colour, an unused one, the hot-spot
    // marker, the edge marker and a marker that is both. max above 0 fixes the
    // tile count.
    virtual void CutByMarkers(int max);
    // Copies the caller's tiles; count below 1 or null tiles change nothing.
    virtual void SetTiles(int count, const CQNDXTile* tiles);
    // Whole tiles of the sheet, row by row from the top left (tile i is
    // column i % columns, row i / columns), hot spots (0, 0); a partial last
    // column or row is left out. max above 0 caps the count.
    virtual void CutGrid(int tileWidth, int tileHeight, int max);

    // Draw tile `index` with its hot spot on (x, y) (see the top of this
    // file), through the surface blit of the same name: keys, weights and
    // results as there. An index equal to the tile count or negative draws
    // the current tile (the last drawn); -1 when there is no sheet or no
    // tile, or the index is beyond the tiles.
    virtual int DrawTile(CQNDXSurface* dest, int x, int y, int index, BOOL keyed);
    virtual int DrawTileClipToSurface(CQNDXSurface* dest, int x, int y, int index, BOOL keyed);
    virtual int DrawTileMirrorLeftRight(CQNDXSurface* dest, int x, int y, int index, BOOL keyed);
    virtual int DrawTileMirrorUpDown(CQNDXSurface* dest, int x, int y, int index, BOOL keyed);
    virtual int DrawTileAlpha(CQNDXSurface* dest, int x, int y, int index, WORD alpha, BOOL keyed);
    virtual int DrawTileTranslucent(CQNDXSurface* dest, int x, int y, int index, WORD value, BOOL keyed);
    // A reserved slot: draws nothing and returns 0.
    virtual int DrawTileReserved(CQNDXSurface* dest, int x, int y, int index);
    virtual int DrawTileScaled(CQNDXSurface* dest, int x, int y, int index, float scale, BOOL keyed);
    virtual int DrawTileStretched(CQNDXSurface* dest, int x, int y, int index, int width, int height, BOOL keyed);
    virtual int DrawTileBlend(CQNDXSurface* dest, int x, int y, int index, WORD value);

    int GetCurrentTile() const { return m_iCurrentTile; }
    int OwnsTiles() const { return m_bOwnsTiles; }

private:
    CQNDXTileset(const CQNDXTileset&) = delete;
    CQNDXTileset& operator=(const CQNDXTileset&) = delete;

    // Replaces the tile array with `tiles` (owned; null when count is 0).
    void __AdoptTiles(CQNDXTile* tiles, int count);
    // The tile a draw of `index` uses (making it current), or null when the
    // draw must fail.
    const CQNDXTile* __TileToDraw(int index);

    int m_iTileCount;
    int m_iCurrentTile;
    CQNDXTile* m_pTiles;
    int m_bOwnsTiles;
};
