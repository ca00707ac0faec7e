// The surface manager's table of registered surfaces, and the restoring and
// re-creation of all of them after a lost display or a mode change.
#include "GraphicEngine/SurfaceManager.h"

#include "GraphicEngine/Surface.h"
#include "GraphicEngine/SurfaceIDAllocator.h"
#include "GraphicEngine/VideoEngine.h"

CQNDXSurfaceManager::CQNDXSurfaceManager() : m_ppSurfaces(new CQNDXSurface*[g_iMaxSurfaces]()), m_iCount(0) {}

CQNDXSurfaceManager::~CQNDXSurfaceManager() { delete[] m_ppSurfaces; }

std::ostream& CQNDXSurfaceManager::Dump(std::ostream& os) const {
    return os << "CQNDXSurfaceManager@" << static_cast<const void*>(this) << "N. of Surfaces: " << m_iCount;
}

CQNDXSurface* CQNDXSurfaceManager::GetSurface(int id) const {
    if (id < 0 || id >= g_iMaxSurfaces) return nullptr;
    return m_ppSurfaces[id];
}

int CQNDXSurfaceManager::AddSurface(CQNDXSurface* surface) {
    if (!surface) return -14;
    int id = surface->GetID();
    if (id < 0 || id >= g_iMaxSurfaces) return -1;
    if (m_ppSurfaces[id]) return -2;
    m_ppSurfaces[id] = surface;
    ++m_iCount;
    return 0;
}

int CQNDXSurfaceManager::RemoveSurface(int id) {
    if (id < 0 || id >= g_iMaxSurfaces) return -14;
    // An empty entry stays empty; the count only follows real removals.
    if (m_ppSurfaces[id]) {
        m_ppSurfaces[id] = nullptr;
        --m_iCount;
    }
    return 0;
}

int CQNDXSurfaceManager::RemoveSurface(CQNDXSurface* surface) {
    if (!surface) return -14;
    int id = surface->GetID();
    if (id < 0 || id >= g_iMaxSurfaces) return -14;
    // Another surface under the same ID keeps its entry; the caller must then
    // not give the ID back either.
    if (m_ppSurfaces[id] != surface) return -2;
    return RemoveSurface(id);
}

int CQNDXSurfaceManager::RestoreAll() {
    int result = 0;
    for (int id = 0; id < g_iMaxSurfaces; ++id) {
        if (m_ppSurfaces[id]) result = m_ppSurfaces[id]->Restore();
    }
    return result;
}

int CQNDXSurfaceManager::RecreateAll() {
    if (m_iCount == 0) return 0;
    CQNDXVideoEngine* engine = CQNDXVideoEngine::GetInstance();
    IDirectDraw7* dd = engine ? engine->GetDirectDraw() : nullptr;
    // Without a DirectDraw object nothing could be re-created: keep what the
    // surfaces hold rather than leave them all empty.
    if (!dd) return -1;

    HRESULT result = 0;
    for (int id = 0; id < g_iMaxSurfaces; ++id) {
        CQNDXSurface* surface = m_ppSurfaces[id];
        if (!surface) continue;

        DDSURFACEDESC2 old;
        surface->GetSurfaceDesc(&old);
        DWORD caps = DDSCAPS_OFFSCREENPLAIN;
        if (!(old.ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY)) caps |= DDSCAPS_SYSTEMMEMORY;
        if (surface->GetTextureFlag() == 1) caps |= DDSCAPS_TEXTURE;
        DDSURFACEDESC2 desc = DescribeSurface(caps, surface->GetWidth(), surface->GetHeight());

        IDirectDrawClipper* clipper = nullptr;
        if (IDirectDrawSurface7* oldSurface = surface->GetDDSurface()) {
            if (oldSurface->GetClipper(&clipper) < 0) clipper = nullptr;
        }
        surface->ReleaseDDSurface();

        IDirectDrawSurface7* fresh = nullptr;
        result = dd->CreateSurface(&desc, &fresh, nullptr);
        if (result < 0 || !fresh) {
            if (clipper) clipper->Release();
            continue;
        }
        surface->m_pDDSurface = fresh;
        ::GetPixelFormatInfo(fresh, &surface->m_PixelFormat);
        surface->SetupPixelFunctions();
        surface->Reload(nullptr);
        surface->SetColorKeyRGB(surface->GetColorKey());
        if (clipper) {
            fresh->SetClipper(clipper);
            clipper->Release();  // the surface holds its own reference now
        }
    }
    return result;
}
