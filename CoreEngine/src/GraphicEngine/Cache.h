// Video-memory cache: keeps a video-memory copy of registered surfaces so that
// their blits onto the display's buffers can use the hardware path. The LRU
// cache keeps its copies in an intrusive most-recently-used list and evicts
// the least recently used copies when video memory runs out. Indexed by
// surface ID; nothing is allocated per touch.
#pragma once

#include "platform/DirectDraw.h"

class CQNDXVideoEngine;
class CQNDXSurface;

class CQNDXCache {
public:
    CQNDXCache() : m_pOwner(nullptr) {}
    explicit CQNDXCache(CQNDXVideoEngine* owner) : m_pOwner(owner) {}
    virtual ~CQNDXCache() = default;

    virtual int IsCached(CQNDXSurface* surface) = 0;
    virtual int IsCached(int id) = 0;
    // The copy (no reference added); counts as a use.
    virtual IDirectDrawSurface7* GetCached(CQNDXSurface* surface) = 0;
    virtual IDirectDrawSurface7* GetCached(int id) = 0;
    virtual int Cache(CQNDXSurface* surface) = 0;
    virtual int Update(CQNDXSurface* surface) = 0;
    virtual int UpdateAll() = 0;
    virtual void Uncache(CQNDXSurface* surface) = 0;
    virtual void Uncache(int id) = 0;
    virtual void Clear() = 0;
    virtual int GetNumCached() = 0;

    CQNDXVideoEngine* GetOwner() const { return m_pOwner; }

protected:
    CQNDXVideoEngine* m_pOwner;
};

// What both caches share: one copy slot per surface ID and their count, and
// the steps that go through every slot.
class CQNDXCopyTable : public CQNDXCache {
public:
    explicit CQNDXCopyTable(CQNDXVideoEngine* owner);
    ~CQNDXCopyTable() override;
    CQNDXCopyTable(const CQNDXCopyTable&) = delete;
    CQNDXCopyTable& operator=(const CQNDXCopyTable&) = delete;

    int IsCached(CQNDXSurface* surface) override;
    int IsCached(int id) override;
    IDirectDrawSurface7* GetCached(CQNDXSurface* surface) override;
    void Uncache(CQNDXSurface* surface) override;
    // Releases the copy and empties its slot.
    void Uncache(int id) override;
    int UpdateAll() override;
    void Clear() override;
    int GetNumCached() override { return m_iCount; }
    using CQNDXCache::GetCached;
    using CQNDXCache::Uncache;

protected:
    IDirectDrawSurface7** m_ppCopies;
    int m_iCount;
};

class CQNDXLRUCache : public CQNDXCopyTable {
public:
    struct Node {
        Node* prev;  // one step nearer the most recently used end
        Node* next;  // one step nearer the least recently used end
        int id;
    };

    explicit CQNDXLRUCache(CQNDXVideoEngine* owner);
    ~CQNDXLRUCache() override;
    CQNDXLRUCache(const CQNDXLRUCache&) = delete;
    CQNDXLRUCache& operator=(const CQNDXLRUCache&) = delete;

    using CQNDXCopyTable::GetCached;
    using CQNDXCopyTable::Uncache;
    IDirectDrawSurface7* GetCached(int id) override;
    int Cache(CQNDXSurface* surface) override;
    int Update(CQNDXSurface* surface) override;
    void Uncache(int id) override;

    virtual void MoveToHead(int id);
    virtual void PrintPrioList();

    // The IDs from most to least recently used (tests and diagnostics).
    int GetHeadID() const { return m_pHead ? m_pHead->id : -1; }
    int GetTailID() const { return m_pTail ? m_pTail->id : -1; }

protected:
    void __Unlink(Node* node);
    void __LinkAtHead(Node* node);

    Node* m_pNodes;
    Node* m_pHead;
    Node* m_pTail;
};

// A cache without a priority list: no eviction, no reordering.
class CQNDXSimpleCache : public CQNDXCopyTable {
public:
    explicit CQNDXSimpleCache(CQNDXVideoEngine* owner);
    ~CQNDXSimpleCache() override;
    CQNDXSimpleCache(const CQNDXSimpleCache&) = delete;
    CQNDXSimpleCache& operator=(const CQNDXSimpleCache&) = delete;

    using CQNDXCopyTable::GetCached;
    using CQNDXCopyTable::Uncache;
    IDirectDrawSurface7* GetCached(int id) override;
    int Cache(CQNDXSurface* surface) override;
    int Update(CQNDXSurface* surface) override;
};
