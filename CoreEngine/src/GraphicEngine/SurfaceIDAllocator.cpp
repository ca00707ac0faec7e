// Surface-ID allocators: counting up to the surface maximum, and reusing
// released IDs first-in, first-out.
#include "GraphicEngine/SurfaceIDAllocator.h"

#include <algorithm>

int g_iMaxSurfaces = 256;

std::ostream& CQNDXSurfaceIDManager::Dump(std::ostream& os) const {
    return os << "CQNDXSurrfaceIDManager@" << static_cast<const void*>(this);
}

std::ostream& CQNDXBasicSurfaceIDManager::Dump(std::ostream& os) const {
    return os << "CQNDXBasicSurfaceIDManager@" << static_cast<const void*>(this) << "Last ID: " << m_iLastID;
}

int CQNDXBasicSurfaceIDManager::GetNewID() {
    if (m_iLastID >= g_iMaxSurfaces) return -100;
    return m_iLastID++;
}

void CQNDXBasicSurfaceIDManager::ReleaseID(int) {}

std::ostream& CQNDXCachedSurfaceIDManager::Dump(std::ostream& os) const {
    return os << "CQNDXCachedSurfaceIDManager@" << static_cast<const void*>(this) << "Last ID: " << m_iLastID
              << " Free IDs: " << m_FreeIDs.size();
}

int CQNDXCachedSurfaceIDManager::GetNewID() {
    if (!m_FreeIDs.empty()) {
        int id = m_FreeIDs.front();
        m_FreeIDs.pop_front();
        return id;
    }
    return CQNDXBasicSurfaceIDManager::GetNewID();
}

void CQNDXCachedSurfaceIDManager::ReleaseID(int id) {
    // An ID never handed out, or one already waiting, would later be given to
    // two surfaces at once.
    if (id < 0 || id >= m_iLastID || id >= g_iMaxSurfaces) return;
    if (std::find(m_FreeIDs.begin(), m_FreeIDs.end(), id) != m_FreeIDs.end()) return;
    m_FreeIDs.push_back(id);
}
