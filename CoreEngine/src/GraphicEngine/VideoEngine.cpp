// The video engine's singleton, construction and initialisation, the driver
// and display-mode enumeration and their readers, driver selection, the
// video-memory queries, surface registration, colour conversion and
// destruction. Display creation, the present and the blit routines have
// files of their own.
#include "GraphicEngine/VideoEngine.h"

#include <climits>
#include <cstring>
#include <new>

#include "GameManager.h"
#include "GraphicEngine/Cache.h"
#include "GraphicEngine/GraphicsLog.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/SurfaceIDAllocator.h"
#include "GraphicEngine/SurfaceManager.h"
#include "Util/Window.h"

CQNDXVideoEngine* CQNDXVideoEngine::ms_pInstance = nullptr;

namespace {

// Fill passes write into a table sized by the counting pass (the same walk
// with no table); the driver and mode lists may change between the passes,
// so the position is bounded.
struct DriverFill {
    CQNDXDriverInfo* table;
    DWORD capacity;
    DWORD position;
};

struct ModeFill {
    CQNDXVideoMode* table;
    int capacity;
    int position;
};

bool ModePassesFilter(const DDSURFACEDESC2* desc) {
    return desc->ddpfPixelFormat.dwRGBBitCount >= 9 && desc->dwWidth >= 640 && desc->dwHeight >= 480;
}

void CopyText512(char (&dest)[512], const char* src) {
    std::strncpy(dest, src ? src : "", sizeof(dest) - 1);
    dest[sizeof(dest) - 1] = '\0';
}

// The capabilities of a driver, read through a DirectDraw object made for
// it; false (nothing written) when none can be made, false too when it
// cannot describe itself.
bool ReadDriverCaps(GUID* guid, DDCAPS* caps, DDCAPS* hel) {
    IDirectDraw* dd = nullptr;
    if (DirectDrawCreate(guid, &dd, nullptr) < 0 || !dd) return false;
    std::memset(caps, 0, sizeof(*caps));
    std::memset(hel, 0, sizeof(*hel));
    caps->dwSize = 380;
    hel->dwSize = 380;
    HRESULT hr = dd->GetCaps(caps, hel);
    dd->Release();
    return hr >= 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Singleton

CQNDXVideoEngine* CQNDXVideoEngine::Create(CQNDXGameManager* manager) {
    if (!manager || !CQNDXGameManager::GetInstance()) return nullptr;
    if (ms_pInstance) return ms_pInstance;
    CQNDXVideoEngine* engine = new (std::nothrow) CQNDXVideoEngine();
    if (!engine) return nullptr;
    if (!engine->m_pDD) {
        delete engine;
        return nullptr;
    }
    ms_pInstance = engine;
    manager->__AdoptVideoEngine(engine);
    return engine;
}

void CQNDXVideoEngine::Destroy() {
    // The singleton stays set while the engine is torn down, so surfaces
    // deleted on the way still unregister from it.
    CQNDXVideoEngine* engine = ms_pInstance;
    delete engine;
    ms_pInstance = nullptr;
}

int CQNDXVideoEngine::Exists() { return ms_pInstance ? 1 : 0; }

CQNDXVideoEngine* CQNDXVideoEngine::GetInstance() { return ms_pInstance; }

// ---------------------------------------------------------------------------
// Construction and initialisation

CQNDXVideoEngine::CQNDXVideoEngine() {
    __InitVideoEngine();
    HDC screen = ::GetDC(nullptr);
    m_iDesktopBitsPerPixel = GetDeviceCaps(screen, BITSPIXEL);
    ::ReleaseDC(nullptr, screen);
}

void CQNDXVideoEngine::__InitVideoEngine() {
    qndx::gfx::LogInfo("START: CQNDXVideoEngine::__InitVideoEngine");
    qndx::gfx::LogInfo("Initializing member vars");

    m_pDD = nullptr;
    m_pFrontSurface = nullptr;
    m_pBackBuffer = nullptr;
    m_pThirdSurface = nullptr;
    m_pClipper = nullptr;
    m_iWidth = 0;
    m_iHeight = 0;
    m_iBitsPerPixel = 0;
    m_iRefreshRate = 0;
    m_bFullScreen = 0;
    m_iModeCount = 0;
    m_iModeCountEx = 0;
    m_bThirdSurfaceInVideoMemory = 1;
    m_bBackBufferInVideoMemory = 1;
    m_bStretchToWindow = 0;
    m_bWaitForVSync = 1;
    m_dwDriverCount = 0;
    m_pDrivers = nullptr;
    m_iFrameCount = 0;
    m_iFPS = 0;
    m_bShowStatistics = 1;
    m_pModes = nullptr;
    m_pModesEx = nullptr;
    m_pCache = nullptr;
    m_pDefaultFont = nullptr;
    m_bOwnsDefaultFont = 1;
    m_pCursorManager = nullptr;
    m_iDesktopBitsPerPixel = 0;

    m_pSurfaceIDManager = new CQNDXCachedSurfaceIDManager();
    m_pSurfaceManager = new CQNDXSurfaceManager();

    m_Timer.Start();

    void* dd = nullptr;
    if (DirectDrawCreateEx(nullptr, &dd, IID_IDirectDraw7, nullptr) < 0 || !dd) {
        qndx::gfx::LogError("Failed to create an IID_IDirectDraw Interface!");
        m_pDD = nullptr;
    } else {
        m_pDD = static_cast<IDirectDraw7*>(dd);
    }

    __EnumDrivers();
    if (m_pDD) __EnumVideoModes();

    qndx::gfx::LogInfo("END: CQNDXVideoEngine::__InitVideoEngine");
}

// ---------------------------------------------------------------------------
// Driver enumeration

BOOL CALLBACK CQNDXVideoEngine::CollectDriversCallback(GUID* guid, LPSTR description, LPSTR name, LPVOID context,
                                                      HMONITOR monitor) {
    DriverFill* fill = static_cast<DriverFill*>(context);
    if (!fill) return DDENUMRET_CANCEL;
    if (fill->position >= fill->capacity) return DDENUMRET_CANCEL;
    CQNDXDriverInfo uncounted;
    CQNDXDriverInfo& record = fill->table ? fill->table[fill->position] : uncounted;
    if (!ReadDriverCaps(guid, &record.ddCaps, &record.ddHelCaps)) return DDENUMRET_OK;
    if (guid) {
        record.guid = *guid;
        record.pGUID = &record.guid;
    } else {
        record.pGUID = nullptr;
    }
    CopyText512(record.szDriverName, name);
    CopyText512(record.szDriverDescription, description);
    record.hMonitor = monitor;
    ++fill->position;
    return DDENUMRET_OK;
}

HRESULT CQNDXVideoEngine::__EnumDrivers() {
    qndx::gfx::LogInfo("START: CQNDXVideoEngine::__EnumDrivers");
    m_dwDriverCount = 0;
    delete[] m_pDrivers;
    m_pDrivers = nullptr;

    const DWORD flags = DDENUM_ATTACHEDSECONDARYDEVICES | DDENUM_NONDISPLAYDEVICES;
    DriverFill counting = {nullptr, ~DWORD(0), 0};
    HRESULT hr = DirectDrawEnumerateExA(CollectDriversCallback, &counting, flags);
    if (hr < 0) {
        qndx::gfx::LogInfo("END: CQNDXVideoEngine::__EnumDrivers");
        return hr;
    }
    qndx::gfx::LogInfo("Got the number of drivers");
    const DWORD counted = counting.position;
    m_pDrivers = new CQNDXDriverInfo[counted > 0 ? counted : 1]();
    DriverFill fill = {m_pDrivers, counted, 0};
    hr = DirectDrawEnumerateExA(CollectDriversCallback, &fill, flags);
    m_dwDriverCount = fill.position;
    if (hr < 0)
        qndx::gfx::LogError("END: CQNDXVideoEngine::__EnumDrivers");
    else
        qndx::gfx::LogInfo("END: VideoEngine::__EnumDrivers");
    return hr;
}

// ---------------------------------------------------------------------------
// Mode enumeration

HRESULT CALLBACK CQNDXVideoEngine::CollectDisplayModesCallback(LPDDSURFACEDESC2 desc, LPVOID context) {
    ModeFill* fill = static_cast<ModeFill*>(context);
    if (!desc || !fill) return DDENUMRET_CANCEL;
    if (!ModePassesFilter(desc)) return DDENUMRET_OK;
    if (fill->position >= fill->capacity) return DDENUMRET_CANCEL;
    if (fill->table)
        fill->table[fill->position] = {desc->dwWidth, desc->dwHeight, desc->ddpfPixelFormat.dwRGBBitCount,
                                       desc->dwRefreshRate};
    ++fill->position;
    return DDENUMRET_OK;
}

HRESULT CQNDXVideoEngine::__EnumVideoModes() {
    qndx::gfx::LogInfo("START: CQNDXVideoEngine::__EnumVideoModes");
    auto end = [](HRESULT hr) {
        if (hr < 0)
            qndx::gfx::LogError("END: CQNDXVideoEngine::__EnumVideoModes");
        else
            qndx::gfx::LogInfo("END: CQNDXVideoEngine::__EnumVideoModes");
        return hr;
    };
    m_iModeCount = 0;
    m_iModeCountEx = 0;
    delete[] m_pModes;
    delete[] m_pModesEx;
    m_pModes = nullptr;
    m_pModesEx = nullptr;
    if (!m_pDD) return end(-1);

    ModeFill counting = {nullptr, INT_MAX, 0}, countingEx = {nullptr, INT_MAX, 0};
    HRESULT hr = m_pDD->EnumDisplayModes(0, nullptr, &counting, CollectDisplayModesCallback);
    if (hr >= 0) hr = m_pDD->EnumDisplayModes(DDEDM_REFRESHRATES, nullptr, &countingEx, CollectDisplayModesCallback);
    if (hr < 0) return end(hr);
    const int count = counting.position, countEx = countingEx.position;
    qndx::gfx::LogInfo("Got the number of video modes");
    m_pModes = new CQNDXVideoMode[count > 0 ? count : 1]();
    m_pModesEx = new CQNDXVideoMode[countEx > 0 ? countEx : 1]();

    ModeFill plain = {m_pModes, count, 0};
    hr = m_pDD->EnumDisplayModes(0, nullptr, &plain, CollectDisplayModesCallback);
    m_iModeCount = plain.position;
    if (hr < 0) return end(hr);
    ModeFill withRefresh = {m_pModesEx, countEx, 0};
    hr = m_pDD->EnumDisplayModes(DDEDM_REFRESHRATES, nullptr, &withRefresh, CollectDisplayModesCallback);
    m_iModeCountEx = withRefresh.position;
    return end(hr);
}

// ---------------------------------------------------------------------------
// Mode and driver readers

int CQNDXVideoEngine::GetMode(int index, int* width, int* height, int* bpp) const {
    if (index < 0 || index >= m_iModeCount || !width || !height || !bpp) return 0;
    *width = static_cast<int>(m_pModes[index].dwWidth);
    *height = static_cast<int>(m_pModes[index].dwHeight);
    *bpp = static_cast<int>(m_pModes[index].dwBPP);
    return 1;
}

int CQNDXVideoEngine::GetModeEx(int index, int* width, int* height, int* bpp, int* refresh) const {
    if (index < 0 || index >= m_iModeCountEx || !width || !height || !bpp || !refresh) return 0;
    *width = static_cast<int>(m_pModesEx[index].dwWidth);
    *height = static_cast<int>(m_pModesEx[index].dwHeight);
    *bpp = static_cast<int>(m_pModesEx[index].dwBPP);
    *refresh = static_cast<int>(m_pModesEx[index].dwRefreshRate);
    return 1;
}

int CQNDXVideoEngine::GetModeRecord(int index, CQNDXVideoMode* mode) const {
    if (index < 0 || index >= m_iModeCount || !mode) return 0;
    *mode = m_pModes[index];
    mode->dwRefreshRate = 0;
    return 1;
}

int CQNDXVideoEngine::GetModeRecordEx(int index, CQNDXVideoMode* mode) const {
    if (index < 0 || index >= m_iModeCountEx || !mode) return 0;
    *mode = m_pModesEx[index];
    return 1;
}

int CQNDXVideoEngine::IsModeSupported(int width, int height, int bpp, int refresh) const {
    const CQNDXVideoMode* list = refresh == 0 ? m_pModes : m_pModesEx;
    const int count = refresh == 0 ? m_iModeCount : m_iModeCountEx;
    for (int i = 0; i < count; ++i) {
        const CQNDXVideoMode& m = list[i];
        if (m.dwWidth == static_cast<DWORD>(width) && m.dwHeight == static_cast<DWORD>(height) &&
            m.dwBPP == static_cast<DWORD>(bpp) && (refresh == 0 || m.dwRefreshRate == static_cast<DWORD>(refresh)))
            return 1;
    }
    return 0;
}

int CQNDXVideoEngine::GetDriverInfo(DWORD index, CQNDXDriverInfo* out) const {
    if (index >= m_dwDriverCount || !out) return 0;
    *out = m_pDrivers[index];
    return 1;
}

int CQNDXVideoEngine::SelectDriver(DWORD index) {
    if (index >= m_dwDriverCount) return -11;
    if (m_pFrontSurface) return -12;
    ReleaseHeld(m_pDD);
    void* dd = nullptr;
    if (DirectDrawCreateEx(m_pDrivers[index].pGUID, &dd, IID_IDirectDraw7, nullptr) < 0 || !dd) return -2;
    m_pDD = static_cast<IDirectDraw7*>(dd);
    __EnumVideoModes();
    return 0;
}

// ---------------------------------------------------------------------------
// Video memory

namespace {

// The driver's capabilities, all zero when there are none to be had.
DDCAPS DriverCaps(IDirectDraw7* dd) {
    DDCAPS caps;
    std::memset(&caps, 0, sizeof(caps));
    caps.dwSize = 380;
    if (dd && dd->GetCaps(&caps, nullptr) < 0) std::memset(&caps, 0, sizeof(caps));
    return caps;
}

}  // namespace

DWORD CQNDXVideoEngine::GetTotalVideoMemory() { return DriverCaps(m_pDD).dwVidMemTotal; }

DWORD CQNDXVideoEngine::GetFreeVideoMemory() { return DriverCaps(m_pDD).dwVidMemFree; }

// ---------------------------------------------------------------------------
// Registration

int CQNDXVideoEngine::RegisterSurface(CQNDXSurface* surface) {
    if (!surface) return -14;
    if (!m_pSurfaceIDManager || !m_pSurfaceManager) return -1;
    // A surface already in the table keeps its one entry.
    if (surface->m_iID >= 0 && m_pSurfaceManager->GetSurface(surface->m_iID) == surface) return 0;
    int id = m_pSurfaceIDManager->GetNewID();
    if (id < 0) return -1;
    const int previous = surface->m_iID;
    surface->m_iID = id;
    if (m_pSurfaceManager->AddSurface(surface) < 0) {
        // The entry belongs to another surface (an allocator handed out a
        // live ID): this surface stays unregistered rather than share it.
        surface->m_iID = previous;
        return -1;
    }
    return 0;
}

int CQNDXVideoEngine::UnregisterSurface(CQNDXSurface* surface) {
    if (!surface) return -14;
    if (!m_pSurfaceManager || !m_pSurfaceIDManager) return 0;
    const int id = surface->GetID();
    if (id < 0 || id >= g_iMaxSurfaces) return -14;
    // Only the surface that owns the entry may drop the copy, the entry and the ID.
    if (m_pSurfaceManager->GetSurface(id) != surface) return -2;
    if (m_pCache) m_pCache->Uncache(surface);
    int result = m_pSurfaceManager->RemoveSurface(surface);
    if (result < 0) return result;
    m_pSurfaceIDManager->ReleaseID(id);
    surface->m_iID = QNDX_SURFACE_UNREGISTERED;
    return 0;
}

int CQNDXVideoEngine::SetSurfaceIDManager(CQNDXSurfaceIDManager* manager) {
    if (m_pSurfaceManager && m_pSurfaceManager->GetCount() != 0) return -13;
    if (!manager) return -14;
    if (manager != m_pSurfaceIDManager) delete m_pSurfaceIDManager;
    m_pSurfaceIDManager = manager;
    return 0;
}

// ---------------------------------------------------------------------------
// Colour conversion

DWORD CQNDXVideoEngine::ColorToNative(COLORREF colour, bool frontSurface) {
    if (!m_pBackBuffer) return static_cast<DWORD>(-1);
    CQNDXSurface* surface = frontSurface ? m_pFrontSurface : m_pBackBuffer;
    IDirectDrawSurface7* dds = surface ? surface->GetDDSurface() : nullptr;
    if (!dds) return static_cast<DWORD>(-1);
    DDPIXELFORMAT pf;
    std::memset(&pf, 0, sizeof(pf));
    pf.dwSize = 32;
    if (dds->GetPixelFormat(&pf) < 0) return static_cast<DWORD>(-1);
    if (pf.dwRGBBitCount < 9) return colour;
    return PlaceRGB(colour, pf.dwRBitMask, pf.dwGBitMask, pf.dwBBitMask);
}

// ---------------------------------------------------------------------------
// Engine surfaces

CQNDXSurface* CQNDXVideoEngine::__WrapEngineSurface(IDirectDrawSurface7* surface, int id, int width, int height) {
    if (!surface) return nullptr;
    CQNDXSurface* wrapper = new (std::nothrow) CQNDXSurface(surface);
    if (!wrapper) {
        surface->Release();
        return nullptr;
    }
    wrapper->m_iID = id;
    wrapper->m_pVideoEngine = this;
    wrapper->m_iWidth = width;
    wrapper->m_iHeight = height;
    RECT clip = {0, 0, width, height};
    wrapper->SetClipRect(&clip);
    return wrapper;
}

// ---------------------------------------------------------------------------
// Destruction

CQNDXVideoEngine::~CQNDXVideoEngine() {
    qndx::gfx::LogInfo("START: CQNDXVideoEngine::~CQNDXVideoEngine");
    if (m_pDD) m_pDD->SetCooperativeLevel(qndx::gfx::GameWindowHandle(), DDSCL_NORMAL);

    delete[] m_pModes;
    delete[] m_pModesEx;
    delete[] m_pDrivers;
    m_pModes = nullptr;
    m_pModesEx = nullptr;
    m_pDrivers = nullptr;
    if (m_pDD) m_pDD->RestoreDisplayMode();

    // The cursor owns a registered surface: it goes while the cache, the
    // surface manager and the allocator it unregisters through still exist.
    __DestroyHelpers();

    if (m_pBackBuffer) {
        // In full screen the back buffer belongs to the front's flip chain.
        if (m_bFullScreen) m_pBackBuffer->m_pDDSurface = nullptr;
        delete m_pBackBuffer;
        m_pBackBuffer = nullptr;
    }
    delete m_pThirdSurface;
    m_pThirdSurface = nullptr;
    delete m_pFrontSurface;
    m_pFrontSurface = nullptr;

    // What the application still holds lets go of this engine: its
    // registered surfaces become unregistered (their IDs mean nothing to a
    // later engine), and every surface, cursor and font forgets the engine.
    if (m_pSurfaceManager) {
        for (int id = 0; id < g_iMaxSurfaces; ++id)
            if (CQNDXSurface* s = m_pSurfaceManager->GetSurface(id)) s->m_iID = QNDX_SURFACE_UNREGISTERED;
    }
    m_EngineLinks.ReleaseAll();

    delete m_pCache;
    m_pCache = nullptr;
    delete m_pSurfaceManager;
    m_pSurfaceManager = nullptr;
    delete m_pSurfaceIDManager;
    m_pSurfaceIDManager = nullptr;

    ReleaseHeld(m_pClipper);
    ReleaseHeld(m_pDD);
    qndx::gfx::LogInfo("END: CQNDXVideoEngine::~CQNDXVideoEngine");
    if (CQNDXGameManager* gm = CQNDXGameManager::GetInstance()) gm->__ForgetEngine(this);
    if (ms_pInstance == this) ms_pInstance = nullptr;
}
