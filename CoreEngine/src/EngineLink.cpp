// Engine links: an intrusive, doubly linked list per engine.
#include "EngineLink.h"

void CQNDXEngineLinkBase::__Attach(void* engine, CQNDXEngineLinkList* list) {
    m_pEngine = engine;
    m_pList = list;
    m_pPrev = nullptr;
    m_pNext = list->m_pHead;
    if (m_pNext) m_pNext->m_pPrev = this;
    list->m_pHead = this;
}

void CQNDXEngineLinkBase::__Detach() {
    if (m_pList) {
        if (m_pPrev)
            m_pPrev->m_pNext = m_pNext;
        else
            m_pList->m_pHead = m_pNext;
        if (m_pNext) m_pNext->m_pPrev = m_pPrev;
    }
    m_pList = nullptr;
    m_pPrev = nullptr;
    m_pNext = nullptr;
    m_pEngine = nullptr;
}

void CQNDXEngineLinkList::ReleaseAll() {
    // Newest first: what was made last (a sound) lets go before what it was
    // made on (its audio path). A hook may clear its own link or others.
    while (CQNDXEngineLinkBase* link = m_pHead) {
        // Out of the list first; the engine pointer stays for the hook.
        m_pHead = link->m_pNext;
        if (m_pHead) m_pHead->m_pPrev = nullptr;
        link->m_pNext = nullptr;
        link->m_pList = nullptr;
        if (link->m_pfnGone) link->m_pfnGone(link->m_pOwner);
        link->m_pEngine = nullptr;
    }
}

int CQNDXEngineLinkList::GetCount() const {
    int n = 0;
    for (const CQNDXEngineLinkBase* link = m_pHead; link; link = link->m_pNext) ++n;
    return n;
}
