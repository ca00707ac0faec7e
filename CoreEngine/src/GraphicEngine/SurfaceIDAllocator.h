// Surface-ID allocators: the abstract interface the video engine registers
// surfaces through, a basic allocator that counts up and never reuses, and
// the engine's cached allocator that hands released IDs out again, oldest
// first. IDs run from 0 to g_iMaxSurfaces - 1; -100 means none is free.
#pragma once

#include <deque>
#include <ostream>

// The surface maximum: size of the surface manager's and the cache's tables
// and the allocators' limit. Never changed while the program runs.
extern int g_iMaxSurfaces;

class CQNDXSurfaceIDManager {
public:
    virtual ~CQNDXSurfaceIDManager() = default;
    virtual std::ostream& Dump(std::ostream& os) const;
    virtual int GetNewID() = 0;
    virtual void ReleaseID(int id) = 0;
};

class CQNDXBasicSurfaceIDManager : public CQNDXSurfaceIDManager {
public:
    CQNDXBasicSurfaceIDManager() : m_iLastID(0) {}
    ~CQNDXBasicSurfaceIDManager() override = default;
    std::ostream& Dump(std::ostream& os) const override;
    // 0, 1, 2, ... until the maximum, then -100 for ever.
    int GetNewID() override;
    // Nothing: IDs are never reused.
    void ReleaseID(int id) override;

protected:
    int m_iLastID;
};

class CQNDXCachedSurfaceIDManager : public CQNDXBasicSurfaceIDManager {
public:
    CQNDXCachedSurfaceIDManager() = default;
    ~CQNDXCachedSurfaceIDManager() override = default;
    std::ostream& Dump(std::ostream& os) const override;
    // The oldest released ID first, else the basic rule.
    int GetNewID() override;
    // Queues the ID for reuse. IDs outside the table or already queued are
    // refused so one ID is never handed to two surfaces.
    void ReleaseID(int id) override;
    int GetFreeCount() const { return static_cast<int>(m_FreeIDs.size()); }

protected:
    std::deque<int> m_FreeIDs;
};
