// The per-frame present: the statistics overlay in the back buffer's top-left
// corner, the frames-per-second figure, the cursor, then a page flip (full
// screen) or a blit of the back buffer into the window's client area
// (windowed: scaled to fill, or 1:1 centred when smaller and cropped when
// larger). A lost primary is restored on the spot. Also the two fades, which
// run short present loops of their own.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "GameManager.h"
#include "GraphicEngine/Cache.h"
#include "GraphicEngine/Cursor.h"
#include "GraphicEngine/Font.h"
#include "GraphicEngine/GraphicsLog.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/SurfaceIDAllocator.h"
#include "GraphicEngine/SurfaceManager.h"
#include "GraphicEngine/VideoEngine.h"
#include "Util/Window.h"
#include "platform/Kernel.h"
#include "platform/User.h"

namespace {

const int kLineBytes = 32;

// The window's client rectangle in screen coordinates.
RECT ClientRectOnScreen(HWND hwnd) {
    RECT r = {0, 0, 0, 0};
    GetClientRect(hwnd, &r);
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    OffsetRect(&r, origin.x, origin.y);
    return r;
}

// Level step of one fade frame: 512 x elapsed ms / (speed + 1), between 2
// and 512.
int FadeStep(unsigned short speed, DWORD elapsedMs) {
    float ratio = elapsedMs == 0 ? 256.0f : static_cast<float>(speed + 1) / static_cast<float>(elapsedMs);
    ratio = std::min(256.0f, std::max(1.0f, ratio));
    return static_cast<int>(512.0f / ratio);
}

}  // namespace

// Fills the overlay's seven lines (and the frames-per-second line) the way
// the present prints them. Each buffer holds at most 31 characters.
void CQNDXVideoEngine::__FormatOverlay(char lines[7][32], char fps[32]) {
    for (int i = 0; i < 7; ++i) std::memset(lines[i], 0, kLineBytes);
    std::memset(fps, 0, kLineBytes);
    CQNDXGameManager* gm = CQNDXGameManager::GetInstance();
    const int cpu = gm ? gm->GetCachedCPUFeatures() : 0;
    std::snprintf(lines[0], kLineBytes, "%s Version: %s  build% d", "QNDX", "0.57", 1);
    std::snprintf(lines[1], kLineBytes, "Video Mode: %dx%dx%d", m_iWidth, m_iHeight, m_iBitsPerPixel);
    std::snprintf(lines[2], kLineBytes, "Free VMem: %d KB", static_cast<int>(GetFreeVideoMemory() >> 10));
    std::snprintf(lines[3], kLineBytes, "Total VMem: %d KB", static_cast<int>(GetTotalVideoMemory() >> 10));
    std::snprintf(lines[4], kLineBytes, "HTC support: %s", m_Timer.IsHighResolution() ? "Yes" : "No");
    std::snprintf(lines[5], kLineBytes, "CPU Ext: %s %s %s", (cpu & 1) ? "MMX" : "", (cpu & 2) ? "3DNow" : "",
                  (cpu & 4) ? "KNI" : "");
    if (m_pSurfaceManager && m_pCache)
        std::snprintf(lines[6], kLineBytes, "Sur: %d  Cache: %d Max: %d", m_pSurfaceManager->GetCount(),
                      m_pCache->GetNumCached(), g_iMaxSurfaces);
    const int limit = gm ? gm->GetFrameLimit() : -1;
    if (limit > 0)
        std::snprintf(fps, kLineBytes, "FPS = %d LMT = %d", m_iFPS, limit);
    else
        std::snprintf(fps, kLineBytes, "FPS = %d", m_iFPS);
}

HRESULT CQNDXVideoEngine::Flip() {
    // Nothing to show before a display exists (or after a switch failed).
    if (!m_pBackBuffer || !m_pFrontSurface || !m_pFrontSurface->GetDDSurface()) return -1;

    // Lines in the order they are printed: version, mode, free, total, timer,
    // processor, surfaces.
    char lines[7][32];
    char fps[32];
    __FormatOverlay(lines, fps);

    int widest = 0;
    int boxHeight = 0;
    auto measure = [&](const char* text) {
        SIZE size = {0, 0};
        if (m_pDefaultFont && m_pDefaultFont->GetTextExtent(m_pBackBuffer, text, -1, &size) && size.cx > widest)
            widest = size.cx;
    };
    const int measureOrder[7] = {0, 2, 3, 1, 4, 5, 6};
    for (int i : measureOrder) {
        measure(lines[i]);
        boxHeight += 10;
    }
    if (m_bShowStatistics) {
        measure(fps);
        boxHeight += 14;
    }
    m_pBackBuffer->BlendRect(5, 2, 5 + widest + 8, 2 + boxHeight, 127, 0);
    for (int i = 0; i < 7; ++i) m_pBackBuffer->DrawText(9, 2 + 10 * i, lines[i], -1);

    // Frames per second: the figure changes once more than a second passed.
    const float elapsed = m_Timer.GetElapsed();
    if (elapsed > 1.0f) {
        m_iFPS = static_cast<int>(static_cast<float>(m_iFrameCount) / elapsed);
        m_Timer.Lap();
        m_iFrameCount = 0;
    }
    ++m_iFrameCount;
    if (m_bShowStatistics) m_pBackBuffer->DrawText(9, 72, fps, -1);

    if (m_pCursorManager) m_pCursorManager->Draw(m_pBackBuffer);

    HRESULT result;
    if (m_bFullScreen) {
        result = m_pFrontSurface->GetDDSurface()->Flip(nullptr, m_bWaitForVSync == 1 ? DDFLIP_WAIT : DDFLIP_NOVSYNC);
    } else {
        RECT dest = ClientRectOnScreen(qndx::gfx::GameWindowHandle());
        if (m_bWaitForVSync == 1) WaitForVerticalBlank();
        if (m_bStretchToWindow) {
            result = m_pFrontSurface->GetDDSurface()->Blt(&dest, m_pBackBuffer->GetDDSurface(), nullptr, DDBLT_WAIT,
                                                          nullptr);
        } else {
            RECT src = {0, 0, dest.right - dest.left, dest.bottom - dest.top};
            // Along each axis a back buffer smaller than the client area is
            // centred in it, the whole buffer shown.
            auto centre = [](LONG& from, LONG& to, LONG& srcEnd, LONG back) {
                if (back >= to - from) return;
                from += (to - from - back) / 2;
                to = from + back;
                srcEnd = back;
            };
            centre(dest.left, dest.right, src.right, m_pBackBuffer->GetWidth());
            centre(dest.top, dest.bottom, src.bottom, m_pBackBuffer->GetHeight());
            result = m_pFrontSurface->GetDDSurface()->Blt(&dest, m_pBackBuffer->GetDDSurface(), &src, DDBLT_WAIT,
                                                          nullptr);
        }
    }
    if (result == DDERR_SURFACELOST) result = RestoreSurfaces();
    return result;
}

void CQNDXVideoEngine::WaitForVerticalBlank() {
    if (m_pDD) m_pDD->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
}

// ---------------------------------------------------------------------------
// Fades

int CQNDXVideoEngine::FadeIn(unsigned short speed) {
    if (!m_pBackBuffer) return -1;
    if (m_iBitsPerPixel == 8) return 0;
    const int width = m_pBackBuffer->GetWidth();
    const int height = m_pBackBuffer->GetHeight();
    RECT all = {0, 0, width, height};

    CQNDXSurface* scratch = new (std::nothrow) CQNDXSurface();
    if (!scratch) return -1;
    int result = scratch->Create(this, width, height);
    if (result >= 0) result = m_pBackBuffer->BlitClipToSurface(scratch, 0, 0, &all, 0);
    if (result >= 0) {
        m_pBackBuffer->Clear(0);
        result = Flip();
    }
    for (int level = 0; result >= 0 && level < 256;) {
        const DWORD start = GetTickCount();
        result = scratch->BlitBlend(m_pBackBuffer, 0, 0, &all, static_cast<WORD>(level));
        if (result >= 0) result = Flip();
        level += FadeStep(speed, GetTickCount() - start);
    }
    if (result >= 0) result = scratch->BlitClipToSurface(m_pBackBuffer, 0, 0, &all, 0);
    if (result >= 0) result = Flip();
    delete scratch;
    return result < 0 ? result : 0;
}

int CQNDXVideoEngine::FadeOut(unsigned short speed) {
    // Like FadeIn, nothing to fade without a back buffer.
    if (!m_pBackBuffer || !m_pFrontSurface) return -1;
    if (m_iBitsPerPixel == 8) return 0;
    const int width = m_pBackBuffer->GetWidth();
    const int height = m_pBackBuffer->GetHeight();
    RECT all = {0, 0, width, height};
    RECT source = m_bFullScreen ? *m_pBackBuffer->GetRectPtr() : ClientRectOnScreen(qndx::gfx::GameWindowHandle());

    CQNDXSurface* scratch = new (std::nothrow) CQNDXSurface();
    if (!scratch) return -1;
    int result = scratch->Create(this, width, height);
    if (result < 0) {
        delete scratch;
        return result;
    }
    m_pFrontSurface->BlitClipToSurface(scratch, 0, 0, &source, 0);
    for (int level = 256; level > 0;) {
        const DWORD start = GetTickCount();
        scratch->BlitBlend(m_pBackBuffer, 0, 0, &all, static_cast<WORD>(level));
        Flip();
        level -= FadeStep(speed, GetTickCount() - start);
    }
    delete scratch;
    m_pBackBuffer->Clear(0);
    Flip();
    return 0;
}
