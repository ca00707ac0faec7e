// The video engine's default font and cursor manager: setting the default
// font, the cursor queries, and the helpers' share of destruction (which runs
// before the cache, surface manager and ID allocator go, since the cursor's
// image and a bitmap font's glyphs are registered surfaces). Also the game
// window and mouse lookups the graphics engine shares.
#include "GameManager.h"
#include "GraphicEngine/Cursor.h"
#include "GraphicEngine/Font.h"
#include "GraphicEngine/GraphicsLog.h"
#include "GraphicEngine/VideoEngine.h"
#include "InputEngine/InputEngine.h"
#include "InputEngine/Mouse.h"
#include "Util/Window.h"

CQNDXWindow* qndx::gfx::GameWindow() {
    CQNDXGameManager* gm = CQNDXGameManager::GetInstance();
    return gm ? gm->GetWindow() : nullptr;
}

HWND qndx::gfx::GameWindowHandle() {
    CQNDXWindow* window = GameWindow();
    return window ? window->GetHWND() : nullptr;
}

CQNDXMouse* qndx::gfx::GameMouse() {
    CQNDXGameManager* gm = CQNDXGameManager::GetInstance();
    CQNDXInputEngine* input = gm ? gm->GetInputEngine() : nullptr;
    return input ? input->GetMouse() : nullptr;
}

void CQNDXVideoEngine::SetDefaultFont(CQNDXFont* font) {
    // Null, or the font already held: nothing changes (and nothing is freed
    // under the caller).
    if (!font || font == m_pDefaultFont) return;
    if (m_bOwnsDefaultFont) delete m_pDefaultFont;
    m_pDefaultFont = font;
    m_bOwnsDefaultFont = 0;
}

int CQNDXVideoEngine::GetCursorFlag() { return m_pCursorManager ? m_pCursorManager->IsVisible() : 0; }

void CQNDXVideoEngine::SetCursorFlag(bool visible) {
    if (m_pCursorManager) m_pCursorManager->SetVisible(visible ? 1 : 0);
}

int CQNDXVideoEngine::SetCursor(CQNDXCursor* cursor) {
    return m_pCursorManager && m_pCursorManager->SetCursor(cursor) >= 0 ? 1 : 0;
}

CQNDXCursor* CQNDXVideoEngine::GetCursor() { return m_pCursorManager ? m_pCursorManager->GetCursor() : nullptr; }

void CQNDXVideoEngine::__DestroyHelpers() {
    if (m_pCursorManager) {
        if (CQNDXMouse* mouse = qndx::gfx::GameMouse()) mouse->RemoveListener(m_pCursorManager);
        delete m_pCursorManager;
        m_pCursorManager = nullptr;
    }
    if (m_bOwnsDefaultFont) delete m_pDefaultFont;
    m_pDefaultFont = nullptr;
}
