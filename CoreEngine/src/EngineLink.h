// How objects the application owns hold one of the process-wide engines.
// Surfaces, cursors and fonts keep their video engine, sounds and audio
// paths their sound engine; a game may destroy an engine and make a new one
// (a settings screen, a restart) while it still holds such objects. Each of
// them keeps its engine through a link that the engine clears when it is
// destroyed, so afterwards the object finds no engine and fails as it does
// without one, instead of reaching freed memory, or a new engine that
// happens to sit at the old one's address. No allocation: a link is a node
// of the engine's own list.
#pragma once

class CQNDXEngineLinkList;

class CQNDXEngineLinkBase {
public:
    // Run for a link whose engine is going, before the link is cleared: the
    // owner may still use the engine (to stop what it plays), and must not
    // delete itself.
    typedef void (*GoneHook)(void* owner);

    // The owner's hook; nothing by default.
    void OnEngineGone(GoneHook hook, void* owner) {
        m_pfnGone = hook;
        m_pOwner = owner;
    }

protected:
    CQNDXEngineLinkBase() = default;
    ~CQNDXEngineLinkBase() { __Detach(); }
    CQNDXEngineLinkBase(const CQNDXEngineLinkBase&) = delete;
    CQNDXEngineLinkBase& operator=(const CQNDXEngineLinkBase&) = delete;

    void __Attach(void* engine, CQNDXEngineLinkList* list);
    void __Detach();

    void* m_pEngine = nullptr;

private:
    friend class CQNDXEngineLinkList;

    CQNDXEngineLinkList* m_pList = nullptr;
    CQNDXEngineLinkBase* m_pPrev = nullptr;
    CQNDXEngineLinkBase* m_pNext = nullptr;
    GoneHook m_pfnGone = nullptr;
    void* m_pOwner = nullptr;
};

// An engine's links. The engine calls ReleaseAll while it is being
// destroyed; the list does so itself when it goes.
class CQNDXEngineLinkList {
public:
    CQNDXEngineLinkList() = default;
    ~CQNDXEngineLinkList() { ReleaseAll(); }
    CQNDXEngineLinkList(const CQNDXEngineLinkList&) = delete;
    CQNDXEngineLinkList& operator=(const CQNDXEngineLinkList&) = delete;

    // Every link: its hook, then the link is cleared and leaves the list.
    void ReleaseAll();
    int GetCount() const;

private:
    friend class CQNDXEngineLinkBase;
    CQNDXEngineLinkBase* m_pHead = nullptr;
};

// Used as a plain pointer to the engine. The engine type gives its list
// through GetEngineLinks().
template <class Engine>
class CQNDXEngineLink : public CQNDXEngineLinkBase {
public:
    CQNDXEngineLink() = default;
    explicit CQNDXEngineLink(Engine* engine) { operator=(engine); }
    ~CQNDXEngineLink() = default;

    CQNDXEngineLink& operator=(Engine* engine) {
        if (engine == get()) return *this;
        __Detach();
        if (engine) __Attach(engine, &engine->GetEngineLinks());
        return *this;
    }
    CQNDXEngineLink& operator=(const CQNDXEngineLink& other) { return operator=(other.get()); }

    Engine* get() const { return static_cast<Engine*>(m_pEngine); }
    operator Engine*() const { return get(); }
    Engine* operator->() const { return get(); }
};
