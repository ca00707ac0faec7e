// Text on a surface through its own font or, without one, the video engine's
// default font. A registered surface is told once per call that it changed.
#include "GraphicEngine/Font.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/VideoEngine.h"

int CQNDXSurface::DrawText(int x, int y, const char* text, int len) {
    if (!text || !m_pVideoEngine) return -1;
    CQNDXFont* font = m_pFont ? m_pFont : m_pVideoEngine->GetDefaultFont();
    if (!font) return -1;
    int result = font->DrawText(this, x, y, text, len);
    if (result >= 0 && GetID() >= 0) NotifyChanged();
    return result;
}

int CQNDXSurface::DrawTextEx(int x, int y, const char* text, int align) {
    if (!text || !m_pVideoEngine) return -1;
    CQNDXFont* font = m_pFont ? m_pFont : m_pVideoEngine->GetDefaultFont();
    if (!font) return -1;
    int result = font->DrawTextAligned(this, x, y, text, align);
    if (result >= 0 && GetID() >= 0) NotifyChanged();
    return result;
}
