// Display creation: a window on the desktop (primary surface = the desktop,
// a back buffer, a clipper on the game window) or an exclusive full-screen
// mode with a flip chain; the helpers every display needs (cursor manager on
// the mouse, default font, video-memory cache); the third engine surface;
// restoring lost engine surfaces; and switching between the two modes.
// A successful creation ends by running the game manager's main loop.
#include <cstdio>
#include <new>

#include "GameManager.h"
#include "GraphicEngine/Cache.h"
#include "GraphicEngine/Cursor.h"
#include "GraphicEngine/Font.h"
#include "GraphicEngine/GraphicsLog.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/SurfaceManager.h"
#include "GraphicEngine/VideoEngine.h"
#include "InputEngine/InputEngine.h"
#include "InputEngine/Mouse.h"
#include "Util/Window.h"
#include "platform/Gdi.h"
#include "platform/User.h"

namespace {

const DWORD kFullScreenLevel = DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE;  // 0x13
const DWORD kVideoPlain = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY;                 // 0x4040
const DWORD kSystemPlain = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;               // 0x840
const DWORD kSystem3D = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY | DDSCAPS_3DDEVICE;  // 0x2840
const DWORD kVideoChain = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;  // 0x4218
const DWORD kSystemChain = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_SYSTEMMEMORY;  // 0xa18

using qndx::gfx::GameWindow;
using qndx::gfx::GameWindowHandle;

DDSURFACEDESC2 Describe(DWORD flags, DWORD caps, int width, int height) {
    DDSURFACEDESC2 desc = DescribeSurface(caps, width, height);
    desc.dwFlags = flags;
    return desc;
}

// A surface from `desc`, or failing that in memory mode 0 one with the
// fallback caps; *inVideo is set to `firstInVideo` for the first, 0 for the
// fallback, and left alone when there is neither.
IDirectDrawSurface7* CreateWithFallback(IDirectDraw7* dd, DDSURFACEDESC2 desc, int memoryMode, DWORD fallbackCaps,
                                        int firstInVideo, int* inVideo) {
    IDirectDrawSurface7* surface = CreateSurfaceFrom(dd, &desc);
    if (surface) {
        *inVideo = firstInVideo;
    } else if (memoryMode == 0) {
        desc.ddsCaps.dwCaps = fallbackCaps;
        surface = CreateSurfaceFrom(dd, &desc);
        if (surface) *inVideo = 0;
    }
    return surface;
}

void RunGame() {
    if (CQNDXGameManager* gm = CQNDXGameManager::GetInstance()) gm->Run();
}

// Deletes whichever engine surfaces exist and forgets them. In full screen
// the back buffer's platform surface belongs to the front's flip chain: the
// wrapper lets go of its reference first, while the chain still exists.
void DeleteEngineSurfaces(CQNDXSurface*& front, CQNDXSurface*& back, CQNDXSurface*& third, bool backInChain) {
    if (back) {
        if (backInChain) back->ReleaseDDSurface();
        delete back;
        back = nullptr;
    }
    delete third;
    third = nullptr;
    delete front;
    front = nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// Windowed

int CQNDXVideoEngine::CreateWindowed(int width, int height, int memoryMode) {
    if (m_iDesktopBitsPerPixel == 8) return -1;
    char line[128];
    std::snprintf(line, sizeof line, "START: CQNDXVideoManager::CreateWindowed(width:%i, height:%i)", width, height);
    qndx::gfx::LogInfo(line);
    if (!m_pDD) {
        qndx::gfx::LogError("DirectDraw Interface pointer is NULL");
        return QNDX_VE_NO_DIRECTDRAW;
    }
    if (m_pFrontSurface) {
        qndx::gfx::LogError("Attempted to recreate windowed and the front buffer is not NULL");
        return QNDX_VE_DISPLAY_EXISTS;
    }
    if (CQNDXWindow* window = GameWindow()) window->SetFullScreen(false, width, height, true);

    m_bFullScreen = 0;
    m_iWidth = width;
    m_iHeight = height;
    m_iBitsPerPixel = m_iDesktopBitsPerPixel;
    const HWND hwnd = GameWindowHandle();
    if (m_pDD->SetCooperativeLevel(hwnd, DDSCL_NORMAL) < 0) return QNDX_VE_COOPERATIVE_LEVEL;

    // The primary surface: the desktop.
    DDSURFACEDESC2 primaryDesc = Describe(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE, 0, 0);
    m_pFrontSurface = __WrapEngineSurface(CreateSurfaceFrom(m_pDD, &primaryDesc), QNDX_SURFACE_FRONT, 0, 0);
    if (!m_pFrontSurface) {
        DeleteEngineSurfaces(m_pFrontSurface, m_pBackBuffer, m_pThirdSurface, false);
        return QNDX_VE_NO_PRIMARY;
    }

    // The back buffer, in video memory unless the memory mode says otherwise;
    // mode 0 falls back to system memory.
    const DWORD firstCaps = (memoryMode == 0 || memoryMode == 1) ? kVideoPlain : kSystemPlain;
    IDirectDrawSurface7* back = CreateWithFallback(m_pDD, DescribeSurface(firstCaps, width, height), memoryMode,
                                                   kSystemPlain, 1, &m_bBackBufferInVideoMemory);
    m_pBackBuffer = __WrapEngineSurface(back, QNDX_SURFACE_BACK, width, height);
    if (!m_pBackBuffer) {
        DeleteEngineSurfaces(m_pFrontSurface, m_pBackBuffer, m_pThirdSurface, false);
        return QNDX_VE_NO_BACKBUFFER;
    }

    // The clipper keeps the present inside the game window. A creation that
    // cannot clip cleans up like every other failure, so it can be retried.
    int result = 0;
    if (m_pDD->CreateClipper(0, &m_pClipper, nullptr) < 0 || !m_pClipper) result |= QNDX_VE_CLIPPER;
    if (m_pClipper && m_pClipper->SetHWnd(0, hwnd) < 0) result |= QNDX_VE_CLIPPER;
    if (m_pClipper && m_pFrontSurface->GetDDSurface()->SetClipper(m_pClipper) < 0) result |= QNDX_VE_CLIPPER;
    if (result < 0) {
        DeleteEngineSurfaces(m_pFrontSurface, m_pBackBuffer, m_pThirdSurface, false);
        ReleaseHeld(m_pClipper);
        return result;
    }

    HDC screen = ::GetDC(nullptr);
    const int screenWidth = GetDeviceCaps(screen, HORZRES);
    const int screenHeight = GetDeviceCaps(screen, VERTRES);
    ::ReleaseDC(nullptr, screen);
    m_pFrontSurface->m_iWidth = screenWidth;
    m_pFrontSurface->m_iHeight = screenHeight;
    RECT screenRect = {0, 0, screenWidth, screenHeight};
    m_pFrontSurface->SetClipRect(&screenRect);
    m_pBackBuffer->m_iWidth = m_iWidth;
    m_pBackBuffer->m_iHeight = m_iHeight;
    RECT backRect = {0, 0, m_iWidth, m_iHeight};
    m_pBackBuffer->SetClipRect(&backRect);

    __CreateHelpers();
    ShowCursor(TRUE);
    qndx::gfx::LogInfo("END: CQNDXVideoEngine::CreateWindowed");
    RunGame();
    return result;
}

// ---------------------------------------------------------------------------
// Full screen

int CQNDXVideoEngine::CreateFullScreen(int width, int height, int bitsPerPixel, int refreshRate, int memoryMode) {
    char line[128];
    std::snprintf(line, sizeof line, "START: CQNDXVideoManager::CreateFullScreen(Width:%i, Height:%i BBP:%i Refresh:%i)",
                  width, height, bitsPerPixel, refreshRate);
    qndx::gfx::LogInfo(line);
    if (!IsModeSupported(width, height, bitsPerPixel, refreshRate)) return QNDX_VE_MODE_NOT_LISTED;
    if (!m_pDD) {
        qndx::gfx::LogError("DirectDraw Interface pointer is NULL");
        return QNDX_VE_NO_DIRECTDRAW;
    }
    if (m_pFrontSurface) {
        qndx::gfx::LogError("Attempted to recreate in Fullscreen and the front buffer is not NULL");
        return QNDX_VE_DISPLAY_EXISTS;
    }
    if (CQNDXWindow* window = GameWindow()) window->SetFullScreen(true, width, height, true);

    m_bFullScreen = 1;
    m_iWidth = width;
    m_iHeight = height;
    m_iRefreshRate = refreshRate;
    m_iBitsPerPixel = bitsPerPixel;
    const HWND hwnd = GameWindowHandle();
    if (m_pDD->SetCooperativeLevel(hwnd, kFullScreenLevel) < 0) return QNDX_VE_COOPERATIVE_LEVEL;
    if (m_pDD->SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height), static_cast<DWORD>(bitsPerPixel),
                              static_cast<DWORD>(refreshRate), 0) < 0)
        return QNDX_VE_SET_DISPLAY_MODE;

    // The primary with one back buffer in a flip chain.
    DDSURFACEDESC2 desc = Describe(DDSD_CAPS | DDSD_BACKBUFFERCOUNT,
                                   (memoryMode == 0 || memoryMode == 1) ? kVideoChain : kSystemChain, 0, 0);
    desc.dwBackBufferCount = 1;
    IDirectDrawSurface7* primary = CreateWithFallback(m_pDD, desc, memoryMode, kSystemChain, memoryMode == 2 ? 0 : 1,
                                                      &m_bBackBufferInVideoMemory);
    m_pFrontSurface = __WrapEngineSurface(primary, QNDX_SURFACE_FRONT, width, height);
    if (!m_pFrontSurface) {
        DeleteEngineSurfaces(m_pFrontSurface, m_pBackBuffer, m_pThirdSurface, true);
        return QNDX_VE_NO_PRIMARY;
    }

    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    IDirectDrawSurface7* back = nullptr;
    if (m_pFrontSurface->GetDDSurface()->GetAttachedSurface(&caps, &back) >= 0)
        m_pBackBuffer = __WrapEngineSurface(back, QNDX_SURFACE_BACK, width, height);
    if (!m_pBackBuffer) {
        DeleteEngineSurfaces(m_pFrontSurface, m_pBackBuffer, m_pThirdSurface, true);
        return QNDX_VE_NO_BACKBUFFER;
    }

    ShowCursor(FALSE);
    __CreateHelpers();
    RunGame();
    return 0;
}

// The cursor manager on the mouse, the default font and the cache; made once
// and kept across mode switches.
void CQNDXVideoEngine::__CreateHelpers() {
    if (!m_pCursorManager) m_pCursorManager = new (std::nothrow) CQNDXCursorManager();
    if (CQNDXMouse* mouse = qndx::gfx::GameMouse()) {
        mouse->SetBounds(0, 0, m_iWidth, m_iHeight);
        if (m_pCursorManager) mouse->AddListener(m_pCursorManager);
        mouse->SetPosition(m_iWidth / 2, m_iHeight / 2, 0);
    }
    if (!m_pDefaultFont) {
        m_pDefaultFont = new (std::nothrow) CQNDXGDIFont();
        m_bOwnsDefaultFont = m_pDefaultFont ? 1 : 0;
    }
    if (!m_pCache) m_pCache = new (std::nothrow) CQNDXLRUCache(this);
}

// ---------------------------------------------------------------------------
// Third surface

int CQNDXVideoEngine::RecreateSurfaces(int memoryMode) {
    if (!m_pBackBuffer || !m_pDD) return -1;
    // A third surface made earlier goes first; keeping it would leak it.
    delete m_pThirdSurface;
    m_pThirdSurface = nullptr;

    const int width = m_pBackBuffer->GetWidth();
    const int height = m_pBackBuffer->GetHeight();
    DWORD caps = kSystemPlain;
    if (memoryMode == 0 || memoryMode == 1) {
        if (m_pCache) m_pCache->Clear();
        caps = kVideoPlain;
    }
    IDirectDrawSurface7* surface = CreateWithFallback(m_pDD, DescribeSurface(caps, width, height), memoryMode, kSystem3D,
                                                      memoryMode == 2 ? 0 : 1, &m_bThirdSurfaceInVideoMemory);
    m_pThirdSurface = __WrapEngineSurface(surface, QNDX_SURFACE_THIRD, width, height);
    return m_pThirdSurface ? 0 : QNDX_VE_NO_THIRD_SURFACE;
}

// ---------------------------------------------------------------------------
// Lost surfaces

HRESULT CQNDXVideoEngine::RestoreSurfaces() {
    HRESULT result = 0;
    auto restore = [&result](CQNDXSurface* s) {
        IDirectDrawSurface7* dd = s ? s->GetDDSurface() : nullptr;
        if (dd && dd->IsLost() < 0) result = dd->Restore();
    };
    restore(m_pFrontSurface);
    // In full screen the back buffer comes back with the front's flip chain.
    if (!m_bFullScreen) restore(m_pBackBuffer);
    restore(m_pThirdSurface);
    return result;
}

// ---------------------------------------------------------------------------
// Switching modes

int CQNDXVideoEngine::SwitchMode(bool fullScreen, int width, int height, int bitsPerPixel) {
    if (width == 0) width = m_iWidth;
    if (height == 0) height = m_iHeight;
    if (bitsPerPixel == 0) bitsPerPixel = m_iBitsPerPixel;
    if (fullScreen && !IsModeSupported(width, height, bitsPerPixel, 0)) return -1;
    if (!fullScreen && m_iDesktopBitsPerPixel == 8) return -1;
    const bool hadThird = m_pThirdSurface != nullptr;
    if (!m_pBackBuffer) return -1;
    // Without a DirectDraw object nothing could be made again: refuse before
    // taking the display down.
    if (!m_pDD) return -1;

    // What runs now, to come back to when the new display cannot be made.
    const bool wasFullScreen = m_bFullScreen != 0;
    const int oldWidth = m_iWidth;
    const int oldHeight = m_iHeight;
    const int oldBits = m_iBitsPerPixel;

    __TearDownDisplay();
    int result = __CreateDisplay(fullScreen, width, height, bitsPerPixel, hadThird);
    if (result < 0 && m_pFrontSurface && m_pBackBuffer) return result;  // up, only the third surface is missing
    if (result < 0) {
        char line[160];
        std::snprintf(line, sizeof line, "CQNDXVideoEngine::SwitchMode: the new display failed (%d); going back to %dx%dx%d",
                      result, oldWidth, oldHeight, oldBits);
        qndx::gfx::LogError(line);
        // The main loop presents every frame: it must not be left without
        // buffers. Go back to the old display, or stop the game.
        __TearDownDisplay();
        if (__CreateDisplay(wasFullScreen, oldWidth, oldHeight, oldBits, hadThird) < 0 || !m_pBackBuffer) {
            qndx::gfx::LogError("CQNDXVideoEngine::SwitchMode: no display could be made; quitting");
            __TearDownDisplay();
            if (CQNDXGameManager* gm = CQNDXGameManager::GetInstance()) gm->Quit(0);
        } else if (m_pSurfaceManager) {
            m_pSurfaceManager->RecreateAll();
            if (m_pCache) m_pCache->Clear();
        }
        return result;
    }

    if (m_pSurfaceManager) m_pSurfaceManager->RecreateAll();
    if (m_pCache) m_pCache->Clear();
    return 0;
}

// Empties the cache and deletes the engine surfaces and the clipper.
void CQNDXVideoEngine::__TearDownDisplay() {
    if (m_pCache) m_pCache->Clear();
    DeleteEngineSurfaces(m_pFrontSurface, m_pBackBuffer, m_pThirdSurface, m_bFullScreen != 0);
    ReleaseHeld(m_pClipper);
}

// Steps 6 and 7 of a switch: the display in the asked mode, the third
// surface again when there was one. The creation's call of Run returns at
// once: the loop is already running.
int CQNDXVideoEngine::__CreateDisplay(bool fullScreen, int width, int height, int bitsPerPixel, bool third) {
    const HWND hwnd = GameWindowHandle();
    int result;
    if (!fullScreen) {
        m_pDD->RestoreDisplayMode();
        SetWindowPos(hwnd, HWND_TOP, 0, 0, width, height, SWP_SHOWWINDOW);
        result = CreateWindowed(width, height, 0);
        if (third) result = RecreateSurfaces(0);
        if (CQNDXWindow* window = GameWindow()) window->SetFullScreen(false, width, height, true);
        SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
        ShowCursor(TRUE);
        return result;
    }
    result = CreateFullScreen(width, height, bitsPerPixel, 0, 0);
    if (third) result = RecreateSurfaces(0);
    if (result < 0) return result;
    ShowCursor(FALSE);
    return result;
}
