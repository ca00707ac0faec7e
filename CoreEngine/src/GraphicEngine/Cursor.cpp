// The cursor (frames in a tileset, hot spot, frame animation) and the cursor
// manager (a mouse listener that draws the cursor where the pointer is).
#include "GraphicEngine/Cursor.h"

#include <cstdint>
#include <new>

#include "GameManager.h"
#include "GraphicEngine/GraphicsLog.h"
#include "GraphicEngine/Tileset.h"
#include "GraphicEngine/VideoEngine.h"
#include "InputEngine/InputEngine.h"
#include "InputEngine/Mouse.h"
#include "platform/Gdi.h"
#include "platform/Icon.h"
#include "platform/User.h"

// ---------------------------------------------------------------------------
// CQNDXCursor

CQNDXCursor::CQNDXCursor() {
    CQNDXGameManager* manager = CQNDXGameManager::GetInstance();
    __InitMembers(manager ? manager->GetVideoEngine() : nullptr);
    SetFromHCURSOR(LoadCursorA(nullptr, IDC_ARROW));
}

CQNDXCursor::CQNDXCursor(CQNDXVideoEngine* engine) { __InitMembers(engine); }

CQNDXCursor::CQNDXCursor(CQNDXVideoEngine* engine, HCURSOR cursor) {
    __InitMembers(engine);
    SetFromHCURSOR(cursor);
}

CQNDXCursor::CQNDXCursor(CQNDXVideoEngine* engine, CQNDXTileset* tileset) {
    __InitMembers(engine);
    SetImage(tileset);
}

CQNDXCursor::~CQNDXCursor() { __DeleteImage(); }

void CQNDXCursor::__InitMembers(CQNDXVideoEngine* engine) {
    m_pImage = nullptr;
    m_iHotSpotX = 0;
    m_iHotSpotY = 0;
    m_iFrame = 0;
    m_bAnimate = 0;
    m_bOwnsImage = 1;
    m_iLoops = -1;
    m_hCursor = nullptr;
    m_pVideoEngine = engine;
}

void CQNDXCursor::__DeleteImage() {
    if (m_bOwnsImage) delete m_pImage;
    m_pImage = nullptr;
}

int CQNDXCursor::SetFromHCURSOR(HCURSOR cursor) {
    if (!cursor || !m_pVideoEngine) return -1;

    ICONINFO info = {};
    if (!GetIconInfo(cursor, &info)) return -1;
    BITMAP bm = {};
    int described = GetObjectA(info.hbmMask, sizeof(BITMAP), &bm);
    // The icon's bitmaps are ours to free, whether or not they could be read.
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (!described) return -1;

    m_iHotSpotX = static_cast<int>(info.xHotspot);
    m_iHotSpotY = static_cast<int>(info.yHotspot);
    const int w = bm.bmWidth;
    const int h = bm.bmHeight;

    // A blank sheet two pixels wider and taller than the cursor, cut into
    // one tile of its size at (0, 0).
    __DeleteImage();
    CQNDXTileset* image = new (std::nothrow) CQNDXTileset();
    if (!image) return -1;
    if (image->CreateAndCutGrid(m_pVideoEngine, w + 2, h + 2, w, h) < 0 || !image->GetDDSurface() ||
        image->GetTileCount() < 1) {
        delete image;
        return -1;
    }

    // What DrawIcon leaves untouched keeps the key and stays transparent.
    image->Clear(9);
    image->SetColorKeyNative(9);
    image->CutGrid(w, h, -1);
    m_pImage = image;
    m_bOwnsImage = 1;
    m_iFrame = 0;

    HDC dc = image->GetDC();
    const bool drawn = dc && DrawIcon(dc, 0, 0, cursor);
    if (dc) image->ReleaseDC();
    if (!drawn) {
        __DeleteImage();
        return -1;
    }
    m_hCursor = cursor;
    return 0;
}

int CQNDXCursor::SetImage(CQNDXTileset* tileset) {
    if (!tileset || !m_pVideoEngine) return -1;
    // Handing back the image already held must neither delete it first nor
    // drop its ownership.
    if (tileset != m_pImage) {
        __DeleteImage();
        m_pImage = tileset;
        m_bOwnsImage = 0;
    }
    m_iFrame = 0;
    const CQNDXTile* first = tileset->GetTile(0);
    m_iHotSpotX = first ? first->GetHotSpot()->x : 0;
    m_iHotSpotY = first ? first->GetHotSpot()->y : 0;
    m_hCursor = nullptr;
    return 0;
}

void CQNDXCursor::GetHotSpot(int* x, int* y) const {
    if (!x || !y) return;
    *x = m_iHotSpotX;
    *y = m_iHotSpotY;
}

void CQNDXCursor::SetHotSpot(int x, int y) {
    m_iHotSpotX = x;
    m_iHotSpotY = y;
}

void CQNDXCursor::StartAnimation(int frame) {
    StopAnimation(frame);
    m_bAnimate = 1;
}

void CQNDXCursor::StopAnimation(int frame) {
    if (m_pImage && frame >= 0 && frame < m_pImage->GetTileCount()) m_iFrame = frame;
    m_bAnimate = 0;
}

void CQNDXCursor::SetLoopCount(int loops) { m_iLoops = loops; }

int CQNDXCursor::Draw(CQNDXSurface* dest, int x, int y) {
    if (!dest || !m_pImage) return -1;

    // The image lost its pixels: draw the cursor handle into a new one.
    if (m_pImage->NeedsReload() && m_hCursor) {
        if (SetFromHCURSOR(m_hCursor) < 0 || !m_pImage) return -1;
    }

    // DrawTile already puts a tile's own hot spot on the point it is given;
    // only the part of the cursor's hot spot beyond tile 0's is left to move.
    // Hot spots may be anything an int holds, so the sums are held to the
    // int range as every drawing position is.
    const CQNDXTile* first = m_pImage->GetTile(0);
    const int64_t dx = static_cast<int64_t>(m_iHotSpotX) - (first ? first->GetHotSpot()->x : 0);
    const int64_t dy = static_cast<int64_t>(m_iHotSpotY) - (first ? first->GetHotSpot()->y : 0);
    int result = m_pImage->DrawTile(dest, qndx::gfx::OffsetPosition(x, -dx), qndx::gfx::OffsetPosition(y, -dy),
                                    m_iFrame, 1);

    const int frames = m_pImage->GetTileCount();
    if (m_bAnimate == 1 && frames > 1 && m_iLoops != 0) {
        if (m_iLoops > 0 && m_iFrame + 1 == frames) --m_iLoops;
        m_iFrame = (m_iFrame + 1) % frames;
    }
    return result < 0 ? result : 0;
}

// ---------------------------------------------------------------------------
// CQNDXCursorManager

CQNDXCursorManager::CQNDXCursorManager() {
    __InitMembers();
    m_pCursor = new (std::nothrow) CQNDXCursor();
    m_bOwnsCursor = m_pCursor ? 1 : 0;
}

CQNDXCursorManager::CQNDXCursorManager(CQNDXCursor* cursor) {
    __InitMembers();
    SetCursor(cursor);
}

CQNDXCursorManager::~CQNDXCursorManager() {
    if (m_bOwnsCursor) delete m_pCursor;
    m_pCursor = nullptr;
}

void CQNDXCursorManager::__InitMembers() {
    m_pCursor = nullptr;
    m_bOwnsCursor = 0;
    m_bVisible = 1;
    m_iX = 0;
    m_iY = 0;
    if (CQNDXMouse* mouse = qndx::gfx::GameMouse()) mouse->GetPosition(&m_iX, &m_iY);
}

void CQNDXCursorManager::OnMouseMove(int x, int y, int) {
    m_iX = x;
    m_iY = y;
}

int CQNDXCursorManager::Draw(CQNDXSurface* dest) {
    if (!m_pCursor || !m_bVisible || !dest) return -1;
    return m_pCursor->Draw(dest, m_iX, m_iY);
}

int CQNDXCursorManager::SetCursor(CQNDXCursor* cursor) {
    if (!cursor) return -1;
    // Handing back the cursor already held changes nothing.
    if (cursor == m_pCursor) return 0;
    if (m_bOwnsCursor) delete m_pCursor;
    m_pCursor = cursor;
    m_bOwnsCursor = 0;
    return 0;
}

void CQNDXCursorManager::GetPosition(int* x, int* y) const {
    if (x) *x = m_iX;
    if (y) *y = m_iY;
}
