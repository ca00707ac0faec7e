// The process-wide DirectDraw engine: the DirectDraw object, the display's
// engine surfaces (front -8, back buffer -16, third surface -32), the clipper,
// the driver table and the two display-mode lists, surface registration (ID
// allocator and surface manager), the video-memory cache, the default font
// and the cursor manager. Set-up, enumeration, queries and registration live
// in VideoEngine.cpp; the default font and cursor manager in
// VideoEngineHelpers.cpp; display creation in VideoEngineDisplay.cpp; the
// per-frame present in VideoEnginePresent.cpp; the plain and keyed copies in
// VideoEngineBlit.cpp and the mirror, zoom, stretch, alpha and translucent
// blits in VideoEngineEffects.cpp.
#pragma once

#include "EngineLink.h"
#include "Time.h"
#include "platform/DirectDraw.h"
#include "platform/Gdi.h"

class CQNDXGameManager;
class CQNDXSurface;
class CQNDXSurfaceIDManager;
class CQNDXSurfaceManager;
class CQNDXCache;
class CQNDXFont;
class CQNDXCursor;
class CQNDXCursorManager;

// One display mode: width, height, bits per pixel, refresh rate (0 in the
// list without refresh rates).
struct CQNDXVideoMode {
    DWORD dwWidth;
    DWORD dwHeight;
    DWORD dwBPP;
    DWORD dwRefreshRate;
};

// One display driver, copied whole. pGUID points at this record's own guid,
// or is null for the primary display driver.
struct CQNDXDriverInfo {
    GUID* pGUID;
    GUID guid;
    char szDriverName[512];
    char szDriverDescription[512];
    DDCAPS ddCaps;
    DDCAPS ddHelCaps;
    HMONITOR hMonitor;
};

// Result codes of the video engine.
enum {
    QNDX_VE_OK = 0,
    QNDX_VE_FAIL = -1,
    QNDX_VE_NO_DIRECTDRAW = -2,
    QNDX_VE_DISPLAY_EXISTS = -3,
    QNDX_VE_COOPERATIVE_LEVEL = -4,
    QNDX_VE_NO_PRIMARY = -5,
    QNDX_VE_NO_BACKBUFFER = -6,
    QNDX_VE_NO_THIRD_SURFACE = -7,
    QNDX_VE_CLIPPER = -8,
    QNDX_VE_SET_DISPLAY_MODE = -9,
    QNDX_VE_MODE_NOT_LISTED = -10,
    QNDX_VE_BAD_DRIVER_INDEX = -11,
    QNDX_VE_DISPLAY_CREATED = -12,
    QNDX_VE_SURFACES_REGISTERED = -13,
    QNDX_VE_NULL_ARGUMENT = -14,
};

class CQNDXVideoEngine {
public:
    // Null when the manager is null or the game manager does not exist; the
    // existing engine when there is one; else a new engine, kept only when its
    // DirectDraw object was created (the manager then hands it out).
    static CQNDXVideoEngine* Create(CQNDXGameManager* manager);
    // Surfaces, cursors and fonts made on the engine and still held by the
    // application let go of it: they are unregistered and find no engine.
    static void Destroy();
    static int Exists();
    static CQNDXVideoEngine* GetInstance();

    virtual ~CQNDXVideoEngine();

    // ---- Queries and setters ----
    IDirectDraw7* GetDirectDraw() const { return m_pDD; }
    CQNDXSurface* GetFrontSurface() const { return m_pFrontSurface; }
    // The surface a game draws each frame on, the display's size; the engine
    // owns it. Null before the display is made.
    CQNDXSurface* GetBackBuffer() const { return m_pBackBuffer; }
    CQNDXSurface* GetThirdSurface() const { return m_pThirdSurface; }
    int IsFullScreen() const { return m_bFullScreen; }
    int GetWidth() const { return m_iWidth; }
    int GetHeight() const { return m_iHeight; }
    int GetBitsPerPixel() const { return m_iBitsPerPixel; }
    int GetRefreshRate() const { return m_iRefreshRate; }
    int GetDesktopBitsPerPixel() const { return m_iDesktopBitsPerPixel; }
    DWORD GetDriverCount() const { return m_dwDriverCount; }
    int GetModeCount(bool withRefresh) const { return withRefresh ? m_iModeCountEx : m_iModeCount; }
    // Every frame the engine darkens a box at the top left of the back buffer
    // and prints its statistics there; false hides only the frames-per-second
    // line, the box and its other lines are always drawn.
    void ShowStatistics(bool show) { m_bShowStatistics = show ? 1 : 0; }
    void SetStretchToWindow(bool stretch) { m_bStretchToWindow = stretch ? 1 : 0; }
    // True (the default): each present waits for the next vertical blank.
    void SetWaitForVSync(bool wait) { m_bWaitForVSync = wait ? 1 : 0; }
    CQNDXCache* GetCache() const { return m_pCache; }
    CQNDXSurfaceManager* GetSurfaceManager() const { return m_pSurfaceManager; }
    CQNDXSurfaceIDManager* GetSurfaceIDManager() const { return m_pSurfaceIDManager; }
    // The font of surfaces that were given none (DrawText).
    CQNDXFont* GetDefaultFont() const { return m_pDefaultFont; }
    // Null changes nothing. Else the owned default font is deleted (unless it
    // is the font given) and the given one is kept, not owned.
    void SetDefaultFont(CQNDXFont* font);
    int OwnsDefaultFont() const { return m_bOwnsDefaultFont; }
    CQNDXCursorManager* GetCursorManager() const { return m_pCursorManager; }
    // The engine draws the mouse cursor (an arrow unless the game sets one)
    // onto the back buffer before each present, visible by default;
    // SetCursorFlag(false) hides it. GetCursorFlag answers 1 or 0.
    int GetCursorFlag();
    void SetCursorFlag(bool visible);
    // 1 when the cursor was taken (the game keeps owning it), 0 otherwise.
    int SetCursor(CQNDXCursor* cursor);
    CQNDXCursor* GetCursor();
    // The links of the objects that hold this engine (EngineLink.h).
    CQNDXEngineLinkList& GetEngineLinks() { return m_EngineLinks; }
    // The blit routines' view of where the engine buffers live.
    int GetBackBufferHwFlag() const { return m_bBackBufferInVideoMemory; }
    int GetThirdSurfaceHwFlag() const { return m_bThirdSurfaceInVideoMemory; }

    // ---- Display modes and drivers ----
    // 1 on success; 0 (nothing written) for an index past the list or a null output.
    int GetMode(int index, int* width, int* height, int* bpp) const;
    int GetModeEx(int index, int* width, int* height, int* bpp, int* refresh) const;
    int GetModeRecord(int index, CQNDXVideoMode* mode) const;
    int GetModeRecordEx(int index, CQNDXVideoMode* mode) const;
    // refresh 0 searches the list without refresh rates, else the list with them.
    int IsModeSupported(int width, int height, int bpp, int refresh) const;
    int GetDriverInfo(DWORD index, CQNDXDriverInfo* out) const;
    int SelectDriver(DWORD index);

    // Video memory in bytes; 0 without a DirectDraw object or when the query fails.
    DWORD GetTotalVideoMemory();
    DWORD GetFreeVideoMemory();

    // ---- Surface registration ----
    int RegisterSurface(CQNDXSurface* surface);
    int UnregisterSurface(CQNDXSurface* surface);
    // Only while no surface is registered; the engine owns the new allocator.
    int SetSurfaceIDManager(CQNDXSurfaceIDManager* manager);

    // RGB(r, g, b) as a native pixel value of the back buffer's (false) or
    // front surface's (true) format, for FillRect, Clear and the other
    // drawing calls; every surface the engine makes has the back buffer's
    // format. (DWORD)-1 before the display exists.
    DWORD ColorToNative(COLORREF colour, bool frontSurface);

    // ---- Display creation (VideoEngineDisplay.cpp) ----
    // Both make the display and then run the game: their last step is the
    // game manager's Run, so they return only when the main loop has ended
    // (Quit, the window closed, a stop signal). Add the game states first;
    // code after the call runs after the game. 0 once the loop has run; a
    // negative QNDX_VE_ code when no display was made and no frame ran.
    // memoryMode: 0 video memory, falling back to system memory; 1 video
    // memory only; any other value system memory. Sizes are in pixels; the
    // windowed display takes the desktop's pixel format (-1 on an 8-bit
    // desktop), full screen the bits per pixel asked for (15, 16, 24, 32).
    int CreateWindowed(int width, int height, int memoryMode);
    int CreateFullScreen(int width, int height, int bitsPerPixel, int refreshRate, int memoryMode);
    int RecreateSurfaces(int memoryMode);
    HRESULT RestoreSurfaces();
    int SwitchMode(bool fullScreen, int width, int height, int bitsPerPixel);

    // ---- Present (VideoEnginePresent.cpp) ----
    HRESULT Flip();
    void WaitForVerticalBlank();
    int FadeIn(unsigned short speed);
    int FadeOut(unsigned short speed);

    // ---- Blit routines (VideoEngineBlit.cpp) ----
    // A game calls the surface's Blit... members, which come here; these take
    // the destination first and the source second. mode 0 clips with the
    // source's ClipBlit, mode 1 with ClipToSurface.
    int BlitPlain(int mode, CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect);
    int BlitKeyed(int mode, CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect);
    int BlitPlainHw(int mode, CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect);
    int BlitPlainSw(int mode, CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect);
    int BlitKeyedHw(int mode, CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect);
    int BlitKeyedSw(int mode, CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect);
    int BlitMirrorLeftRight(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect);
    int BlitMirrorLeftRightKeyed(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect);
    int BlitMirrorUpDown(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect);
    int BlitMirrorUpDownKeyed(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect);
    int BlitStretch(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect, float scale);
    int BlitStretchKeyed(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect, float scale);
    int BlitStretchToSize(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect, int width,
                          int height);
    int BlitStretchToSizeKeyed(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect, int width,
                               int height);
    int BlitBlend16(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect, WORD factor);
    int BlitHalfAlpha(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect);
    int BlitHalfAlphaKeyed(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect);
    int BlitAlpha(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect, WORD alpha);
    int BlitAlphaKeyed(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect, WORD alpha);
    int BlitTranslucent(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect, WORD value);
    int BlitTranslucentKeyed(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect, WORD value);
    int BlitHalfTranslucent(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect);
    int BlitHalfTranslucentKeyed(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect);
    int BlitHalfTranslucentKeyedAlt(CQNDXSurface* dest, CQNDXSurface* src, int x, int y, const RECT* srcRect);

protected:
    // Constructs the timer, initialises, then reads the desktop's depth.
    // Reached through Create; protected so a test fixture can build one.
    CQNDXVideoEngine();
    CQNDXVideoEngine(const CQNDXVideoEngine&) = delete;
    CQNDXVideoEngine& operator=(const CQNDXVideoEngine&) = delete;

    void __InitVideoEngine();
    HRESULT __EnumDrivers();
    HRESULT __EnumVideoModes();
    // Wraps a platform surface as an engine buffer with the given ID and size;
    // null for a null surface, and the surface is released when no wrapper
    // can be made.
    CQNDXSurface* __WrapEngineSurface(IDirectDrawSurface7* surface, int id, int width, int height);
    // Removes the cursor manager from the mouse and deletes it, and deletes
    // the owned default font (VideoEngineHelpers.cpp).
    void __DestroyHelpers();
    // The helpers every display needs: the cursor manager on the mouse, the
    // default font and the cache; each made once (VideoEngineDisplay.cpp).
    void __CreateHelpers();
    // Empties the cache and deletes the engine surfaces and the clipper.
    void __TearDownDisplay();
    // A switch's new display in the given mode, with the third surface again
    // when `third` is set.
    int __CreateDisplay(bool fullScreen, int width, int height, int bitsPerPixel, bool third);
    // The overlay's seven lines and its frames-per-second line, as the
    // present prints them (VideoEnginePresent.cpp).
    void __FormatOverlay(char lines[7][32], char fps[32]);

    // Enumeration callbacks. Their contexts carry the table (none when they
    // only count) and its capacity.
    static BOOL CALLBACK CollectDriversCallback(GUID* guid, LPSTR description, LPSTR name, LPVOID context,
                                               HMONITOR monitor);
    static HRESULT CALLBACK CollectDisplayModesCallback(LPDDSURFACEDESC2 desc, LPVOID context);

    IDirectDraw7* m_pDD;
    CQNDXSurface* m_pFrontSurface;
    CQNDXSurface* m_pBackBuffer;
    CQNDXSurface* m_pThirdSurface;
    IDirectDrawClipper* m_pClipper;
    int m_iWidth;
    int m_iHeight;
    int m_iBitsPerPixel;
    int m_iRefreshRate;
    int m_bFullScreen;
    int m_iModeCount;
    int m_iModeCountEx;
    int m_bThirdSurfaceInVideoMemory;
    int m_bBackBufferInVideoMemory;
    int m_bStretchToWindow;
    int m_bWaitForVSync;
    DWORD m_dwDriverCount;
    CQNDXDriverInfo* m_pDrivers;
    int m_iFrameCount;
    CQNDXTime m_Timer;
    int m_iFPS;
    int m_bShowStatistics;
    CQNDXVideoMode* m_pModes;
    CQNDXVideoMode* m_pModesEx;
    CQNDXSurfaceIDManager* m_pSurfaceIDManager;
    CQNDXSurfaceManager* m_pSurfaceManager;
    CQNDXCache* m_pCache;
    CQNDXFont* m_pDefaultFont;
    int m_bOwnsDefaultFont;
    CQNDXCursorManager* m_pCursorManager;
    int m_iDesktopBitsPerPixel;
    CQNDXEngineLinkList m_EngineLinks;

    static CQNDXVideoEngine* ms_pInstance;
};
