// The surface manager: the table from surface ID to registered surface. It
// never owns the surfaces. Registration and unregistration go through the
// video engine, which pairs the table with its ID allocator and cache.
#pragma once

#include <ostream>

class CQNDXSurface;

class CQNDXSurfaceManager {
public:
    CQNDXSurfaceManager();
    virtual ~CQNDXSurfaceManager();
    CQNDXSurfaceManager(const CQNDXSurfaceManager&) = delete;
    CQNDXSurfaceManager& operator=(const CQNDXSurfaceManager&) = delete;

    virtual std::ostream& Dump(std::ostream& os) const;
    // The surface under `id`, or null.
    virtual CQNDXSurface* GetSurface(int id) const;
    // 0; -14 null surface; -1 its ID is outside the table; -2 the entry is taken.
    virtual int AddSurface(CQNDXSurface* surface);
    // 0; -14 an ID outside the table. Removing an empty entry changes nothing.
    virtual int RemoveSurface(int id);
    // 0; -14 null surface or an ID outside the table. Only the entry that
    // holds this very surface is cleared.
    virtual int RemoveSurface(CQNDXSurface* surface);
    // Restore every registered surface; the last result, 0 when none.
    virtual int RestoreAll();
    // New platform surfaces for every registered surface (after a mode or
    // driver change); the last CreateSurface result, 0 when none.
    virtual int RecreateAll();

    int GetCount() const { return m_iCount; }

protected:
    CQNDXSurface** m_ppSurfaces;
    int m_iCount;
};
