// The mouse pointer as the engine draws it onto the back buffer before each
// present. A cursor is a tileset of animation frames with a hot spot, built
// from a platform cursor handle (drawn into a one-tile tileset) or taken from
// an application's tileset. The cursor manager follows the mouse's clamped
// position and draws the current cursor there while it is visible.
#pragma once

#include "EngineLink.h"
#include "InputListeners.h"
#include "platform/Types.h"

class CQNDXSurface;
class CQNDXTileset;
class CQNDXVideoEngine;

class CQNDXCursor {
public:
    // The standard arrow, on the game manager's video engine.
    CQNDXCursor();
    explicit CQNDXCursor(CQNDXVideoEngine* engine);
    CQNDXCursor(CQNDXVideoEngine* engine, HCURSOR cursor);
    // Adopts the tileset; the caller keeps it. Each tile is a frame, placed
    // by its hot spot as DrawTile places it.
    CQNDXCursor(CQNDXVideoEngine* engine, CQNDXTileset* tileset);
    virtual ~CQNDXCursor();

    // 0 on success, -1 on failure (the cursor is then left without an image).
    int SetFromHCURSOR(HCURSOR cursor);
    // -1 for a null tileset or a cursor without engine; else 0. The hot spot
    // becomes tile 0's.
    int SetImage(CQNDXTileset* tileset);
    CQNDXTileset* GetImage() const { return m_pImage; }
    void GetHotSpot(int* x, int* y) const;
    void SetHotSpot(int x, int y);
    // A frame within the image becomes current; animation starts or stops
    // whatever the frame.
    void StartAnimation(int frame);
    void StopAnimation(int frame);
    // -1 without end, 0 stops advancing, n more wraps.
    void SetLoopCount(int loops);
    int GetLoopCount() const { return m_iLoops; }
    int GetFrame() const { return m_iFrame; }
    int IsAnimating() const { return m_bAnimate; }
    int OwnsImage() const { return m_bOwnsImage; }
    HCURSOR GetHCURSOR() const { return m_hCursor; }
    CQNDXVideoEngine* GetVideoEngine() const { return m_pVideoEngine; }

    // Draws the current frame (keyed) with the hot spot on (x, y), then
    // advances the animation by one frame. -1 for a null destination or no
    // image. The engine calls it for the current cursor every frame.
    int Draw(CQNDXSurface* dest, int x, int y);

private:
    CQNDXCursor(const CQNDXCursor&) = delete;
    CQNDXCursor& operator=(const CQNDXCursor&) = delete;

    void __InitMembers(CQNDXVideoEngine* engine);
    void __DeleteImage();

    CQNDXTileset* m_pImage;
    int m_iHotSpotX;
    int m_iHotSpotY;
    int m_iFrame;
    int m_bAnimate;
    int m_bOwnsImage;
    int m_iLoops;
    HCURSOR m_hCursor;
    CQNDXEngineLink<CQNDXVideoEngine> m_pVideoEngine;  // cleared when the engine goes
};

class CQNDXCursorManager : public CQNDXMouseListener {
public:
    // Owns a new arrow cursor.
    CQNDXCursorManager();
    // Adopts the caller's cursor (never deleted here).
    explicit CQNDXCursorManager(CQNDXCursor* cursor);
    virtual ~CQNDXCursorManager();

    void OnMouseMove(int x, int y, int z) override;

    // -1 without a cursor, while hidden, or for a null destination; else the
    // cursor's Draw.
    int Draw(CQNDXSurface* dest);
    // -1 for null; else the cursor is adopted (not owned) and 0 returned.
    int SetCursor(CQNDXCursor* cursor);
    CQNDXCursor* GetCursor() const { return m_pCursor; }
    void SetVisible(int visible) { m_bVisible = visible; }
    int IsVisible() const { return m_bVisible; }
    int OwnsCursor() const { return m_bOwnsCursor; }
    void GetPosition(int* x, int* y) const;

private:
    CQNDXCursorManager(const CQNDXCursorManager&) = delete;
    CQNDXCursorManager& operator=(const CQNDXCursorManager&) = delete;

    void __InitMembers();

    CQNDXCursor* m_pCursor;
    int m_bOwnsCursor;
    int m_bVisible;
    int m_iX;
    int m_iY;
};
