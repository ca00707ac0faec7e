// Video-memory copies of registered surfaces: the LRU cache with its
// intrusive priority list and eviction, and the simple cache without one.
#include "GraphicEngine/Cache.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "GraphicEngine/GraphicsLog.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/SurfaceIDAllocator.h"
#include "GraphicEngine/SurfaceManager.h"
#include "GraphicEngine/VideoEngine.h"

namespace {

bool ValidID(int id) { return id >= 0 && id < g_iMaxSurfaces; }

// A new video-memory copy of the surface's size; null when none can be made.
IDirectDrawSurface7* NewCopy(IDirectDraw7* dd, CQNDXSurface* surface) {
    DDSURFACEDESC2 desc =
        DescribeSurface(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY, surface->GetWidth(), surface->GetHeight());
    return CreateSurfaceFrom(dd, &desc);
}

// Copies the surface's pixels into its video-memory copy.
HRESULT CopyPixels(IDirectDrawSurface7* copy, CQNDXSurface* surface) {
    IDirectDrawSurface7* source = surface->GetDDSurface();
    if (!source) return -1;
    RECT all = {0, 0, surface->GetWidth(), surface->GetHeight()};
    return copy->BltFast(0, 0, source, &all, DDBLTFAST_WAIT);
}

// CopyPixels, and again after restoring a lost surface; a failed restore's
// result instead when `checkRestore`.
HRESULT RefreshCopy(IDirectDrawSurface7* copy, CQNDXSurface* surface, bool checkRestore) {
    HRESULT hr = CopyPixels(copy, surface);
    if (hr != DDERR_SURFACELOST) return hr;
    const int restored = surface->Restore();
    if (checkRestore && restored < 0) return restored;
    return CopyPixels(copy, surface);
}

// The surface's platform source key, or its stored colour in its own format.
HRESULT CopyColorKey(CQNDXSurface* surface, IDirectDrawSurface7* copy) {
    DDCOLORKEY key;
    IDirectDrawSurface7* source = surface->GetDDSurface();
    if (!source || source->GetColorKey(DDCKEY_SRCBLT, &key) < 0) {
        key.dwColorSpaceLowValue = surface->RGBToNative(surface->GetColorKey());
        key.dwColorSpaceHighValue = key.dwColorSpaceLowValue;
    }
    return copy->SetColorKey(DDCKEY_SRCBLT, &key);
}

// Whether a copy of the surface could never fit, not even with every other
// copy evicted: at least its pixels in the display's format against the
// whole of video memory. False when either is unknown.
bool NeverFits(CQNDXVideoEngine* owner, IDirectDraw7* dd, CQNDXSurface* surface) {
    const uint64_t total = owner->GetTotalVideoMemory();
    DDSURFACEDESC2 mode = EmptyDescription();
    if (total == 0 || dd->GetDisplayMode(&mode) < 0) return false;
    const uint64_t bytesPerPixel = (mode.ddpfPixelFormat.dwRGBBitCount + 7) / 8;
    const uint64_t least = bytesPerPixel * static_cast<uint64_t>(surface->GetWidth()) * surface->GetHeight();
    return least > total;
}

}  // namespace

// ---------------------------------------------------------------------------
// Copy table

CQNDXCopyTable::CQNDXCopyTable(CQNDXVideoEngine* owner)
    : CQNDXCache(owner), m_ppCopies(new IDirectDrawSurface7*[g_iMaxSurfaces]()), m_iCount(0) {}

CQNDXCopyTable::~CQNDXCopyTable() { delete[] m_ppCopies; }

int CQNDXCopyTable::IsCached(CQNDXSurface* surface) { return surface ? IsCached(surface->GetID()) : 0; }

int CQNDXCopyTable::IsCached(int id) { return ValidID(id) && m_ppCopies[id] ? 1 : 0; }

IDirectDrawSurface7* CQNDXCopyTable::GetCached(CQNDXSurface* surface) {
    return surface ? GetCached(surface->GetID()) : nullptr;
}

void CQNDXCopyTable::Uncache(CQNDXSurface* surface) {
    if (surface) Uncache(surface->GetID());
}

void CQNDXCopyTable::Uncache(int id) {
    if (!IsCached(id)) return;
    m_ppCopies[id]->Release();
    m_ppCopies[id] = nullptr;
    --m_iCount;
}

int CQNDXCopyTable::UpdateAll() {
    if (!m_pOwner) return -1;
    CQNDXSurfaceManager* manager = m_pOwner->GetSurfaceManager();
    int result = 0;
    for (int id = 0; id < g_iMaxSurfaces; ++id) {
        if (m_ppCopies[id]) result = Update(manager ? manager->GetSurface(id) : nullptr);
    }
    return result;
}

void CQNDXCopyTable::Clear() {
    for (int id = 0; id < g_iMaxSurfaces; ++id) Uncache(id);
}

// ---------------------------------------------------------------------------
// LRU cache

CQNDXLRUCache::CQNDXLRUCache(CQNDXVideoEngine* owner)
    : CQNDXCopyTable(owner), m_pNodes(new Node[g_iMaxSurfaces]), m_pHead(nullptr), m_pTail(nullptr) {
    for (int i = 0; i < g_iMaxSurfaces; ++i) m_pNodes[i] = Node{nullptr, nullptr, i};
}

CQNDXLRUCache::~CQNDXLRUCache() {
    Clear();
    delete[] m_pNodes;
}

IDirectDrawSurface7* CQNDXLRUCache::GetCached(int id) {
    if (!IsCached(id)) return nullptr;
    MoveToHead(id);
    return m_ppCopies[id];
}

void CQNDXLRUCache::__LinkAtHead(Node* node) {
    node->prev = nullptr;
    node->next = m_pHead;
    if (!m_pTail) m_pTail = node;
    if (m_pHead) m_pHead->prev = node;
    m_pHead = node;
    ++m_iCount;
}

void CQNDXLRUCache::__Unlink(Node* node) {
    if (m_pHead == node) m_pHead = node->next;
    if (m_pTail == node) m_pTail = node->prev;
    if (node->prev) node->prev->next = node->next;
    if (node->next) node->next->prev = node->prev;
    node->prev = nullptr;
    node->next = nullptr;
}

void CQNDXLRUCache::MoveToHead(int id) {
    if (!IsCached(id)) return;
    Node* node = &m_pNodes[id];
    if (node == m_pHead) return;
    node->prev->next = node->next;
    if (node == m_pTail) {
        m_pTail = node->prev;
        m_pTail->next = nullptr;
    } else {
        node->next->prev = node->prev;
    }
    node->prev = nullptr;
    node->next = m_pHead;
    m_pHead->prev = node;
    m_pHead = node;
}

int CQNDXLRUCache::Cache(CQNDXSurface* surface) {
    if (!surface || !m_pOwner) return -1;
    const int id = surface->GetID();
    if (!ValidID(id) || !surface->IsCacheable()) return -1;
    if (IsCached(surface)) return 0;
    IDirectDraw7* dd = m_pOwner->GetDirectDraw();
    if (!dd || !surface->GetDDSurface()) return -1;

    IDirectDrawSurface7* copy = NewCopy(dd, surface);
    // Out of video memory: give up the least recently used copies one by one,
    // unless even all of it could not hold this copy.
    if (!copy && NeverFits(m_pOwner, dd, surface)) return -1;
    while (!copy && m_pTail) {
        Uncache(m_pTail->id);
        copy = NewCopy(dd, surface);
    }
    if (!copy) {
        Uncache(surface);
        return -1;
    }
    m_ppCopies[id] = copy;
    CopyColorKey(surface, copy);
    __LinkAtHead(&m_pNodes[id]);

    // A copy of garbage must not stand in for the surface.
    HRESULT hr = RefreshCopy(copy, surface, true);
    if (hr < 0) Uncache(id);
    return hr;
}

int CQNDXLRUCache::Update(CQNDXSurface* surface) {
    if (!surface) return -1;
    const int id = surface->GetID();
    if (!ValidID(id) || !surface->IsCacheable() || !IsCached(id)) return -1;
    IDirectDrawSurface7* copy = m_ppCopies[id];
    HRESULT hr = RefreshCopy(copy, surface, false);
    if (hr < 0) {
        // The copy no longer shows the surface: report it and drop it.
        Uncache(id);
        return hr;
    }
    return CopyColorKey(surface, copy);
}

void CQNDXLRUCache::Uncache(int id) {
    if (IsCached(id)) __Unlink(&m_pNodes[id]);
    CQNDXCopyTable::Uncache(id);
}

void CQNDXLRUCache::PrintPrioList() {
    const int kSize = 1280;
    char buffer[kSize];
    std::snprintf(buffer, kSize, "START: CQNDXLRUCache::PrintPrioList - ListNumElement: %i", m_iCount);
    qndx::gfx::LogInfo(buffer);

    auto walk = [&](Node* start, bool forward) {
        int pos = 0;
        buffer[0] = '\0';
        for (Node* n = start; n && pos < kSize - 1; n = forward ? n->next : n->prev) {
            int room = std::min(11, kSize - pos);  // at most 10 characters and the terminator
            int written = std::snprintf(buffer + pos, static_cast<size_t>(room), "%i ", n->id);
            if (written < 0) break;
            pos += std::min(written, room - 1);
        }
        qndx::gfx::LogInfo(buffer);
    };
    if (!m_pHead)
        qndx::gfx::LogInfo("List Head is NULL");
    else
        walk(m_pHead, true);
    if (!m_pTail)
        qndx::gfx::LogInfo("List Tail is NULL");
    else
        walk(m_pTail, false);
    qndx::gfx::LogInfo("END: CQNDXLRUCache::PrintPrioList");
}

// ---------------------------------------------------------------------------
// Simple cache

CQNDXSimpleCache::CQNDXSimpleCache(CQNDXVideoEngine* owner) : CQNDXCopyTable(owner) {}

CQNDXSimpleCache::~CQNDXSimpleCache() { Clear(); }

IDirectDrawSurface7* CQNDXSimpleCache::GetCached(int id) { return IsCached(id) ? m_ppCopies[id] : nullptr; }

int CQNDXSimpleCache::Cache(CQNDXSurface* surface) {
    if (!surface || !m_pOwner) return -1;
    const int id = surface->GetID();
    if (!ValidID(id) || !surface->IsCacheable()) return -1;
    if (!m_ppCopies[id]) {
        IDirectDraw7* dd = m_pOwner->GetDirectDraw();
        if (!dd || !surface->GetDDSurface()) return -1;
        IDirectDrawSurface7* copy = NewCopy(dd, surface);
        if (!copy) return -1;
        m_ppCopies[id] = copy;
        ++m_iCount;
        CopyColorKey(surface, copy);
    }
    HRESULT hr = RefreshCopy(m_ppCopies[id], surface, true);
    if (hr < 0) Uncache(id);
    return hr;
}

int CQNDXSimpleCache::Update(CQNDXSurface* surface) {
    if (!surface) return -1;
    const int id = surface->GetID();
    if (!ValidID(id) || !surface->IsCacheable() || !m_ppCopies[id]) return -1;
    CopyColorKey(surface, m_ppCopies[id]);
    HRESULT hr = RefreshCopy(m_ppCopies[id], surface, false);
    if (hr < 0) Uncache(id);
    return hr;
}
