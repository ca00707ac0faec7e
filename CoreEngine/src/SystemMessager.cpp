// Message filter, subscriber and the messenger's delivery walk.
#include "SystemMessager.h"

#include <iterator>
#include <vector>

#include "LogEngine/Log.h"

CQNDXMessageFilter::CQNDXMessageFilter() : m_iInfo(1), m_iWarning(1), m_iError(1), m_iFatal(1) {}

CQNDXMessageFilter::CQNDXMessageFilter(int info, int warning, int error, int fatal)
    : m_iInfo(info), m_iWarning(warning), m_iError(error), m_iFatal(fatal) {}

CQNDXMessageFilter::~CQNDXMessageFilter() {}

bool CQNDXMessageFilter::Admits(int type, int level) const {
    int threshold;
    switch (type) {
        case QNDX_MSG_INFO: threshold = m_iInfo; break;
        case QNDX_MSG_WARNING: threshold = m_iWarning; break;
        case QNDX_MSG_ERROR: threshold = m_iError; break;
        case QNDX_MSG_FATAL: threshold = m_iFatal; break;
        default: return false;
    }
    return threshold > 0 && level >= threshold;
}

CQNDXSubscriber::CQNDXSubscriber(CQNDXLog* receiver, int info, int warning, int error, int fatal)
    : m_pReceiver(receiver) {
    m_Filter.SetInfoThreshold(info);
    m_Filter.SetWarningThreshold(warning);
    m_Filter.SetErrorThreshold(error);
    m_Filter.SetFatalThreshold(fatal);
}

CQNDXSubscriber::~CQNDXSubscriber() {}

CQNDXSystemMessagerControler::CQNDXSystemMessagerControler(CQNDXGameManager*) {}

CQNDXSystemMessagerControler::~CQNDXSystemMessagerControler() {}

void CQNDXSystemMessagerControler::Dump(std::ostream& os) const {
    os << "CQNDXSystemMessagerControler@" << static_cast<const void*>(this);
}

void CQNDXSystemMessagerControler::Register(CQNDXLog* receiver, int info, int warning, int error, int fatal) {
    if (!receiver) return;
    m_Subscribers.emplace_back(receiver, info, warning, error, fatal);
}

void CQNDXSystemMessagerControler::Register(CQNDXLog* receiver, const CQNDXMessageFilter& filter) {
    Register(receiver, filter.GetInfoThreshold(), filter.GetWarningThreshold(), filter.GetErrorThreshold(),
             filter.GetFatalThreshold());
}

CQNDXLog* CQNDXSystemMessagerControler::Unregister(CQNDXLog* receiver) {
    for (auto it = m_Subscribers.begin(); it != m_Subscribers.end(); ++it) {
        if (it->GetReceiver() == receiver) {
            m_Subscribers.erase(it);
            return receiver;
        }
    }
    return nullptr;
}

const CQNDXSubscriber* CQNDXSystemMessagerControler::__Find(CQNDXLog* receiver) const {
    for (const CQNDXSubscriber& s : m_Subscribers)
        if (s.GetReceiver() == receiver) return &s;
    return nullptr;
}

const CQNDXSubscriber* CQNDXSystemMessagerControler::__At(int index) const {
    // Taken unsigned, so negative positions are out of range too.
    if ((unsigned)index >= (unsigned)m_Subscribers.size()) return nullptr;
    auto it = m_Subscribers.begin();
    for (int i = 0; i < index; ++i) ++it;
    return &*it;
}

CQNDXLog* CQNDXSystemMessagerControler::GetReceiver(int index) const {
    const CQNDXSubscriber* s = __At(index);
    return s ? s->GetReceiver() : nullptr;
}

void CQNDXSystemMessagerControler::SetThresholds(CQNDXLog* receiver, int info, int warning, int error, int fatal,
                                                 int mask) {
    SetThresholds(receiver, CQNDXMessageFilter(info, warning, error, fatal), mask);
}

void CQNDXSystemMessagerControler::SetThresholds(CQNDXLog* receiver, const CQNDXMessageFilter& filter, int mask) {
    if (!receiver) return;
    CQNDXSubscriber* s = const_cast<CQNDXSubscriber*>(__Find(receiver));
    if (!s) return;
    CQNDXMessageFilter& f = s->GetFilter();
    if (mask & QNDX_MSG_INFO) f.SetInfoThreshold(filter.GetInfoThreshold());
    if (mask & QNDX_MSG_WARNING) f.SetWarningThreshold(filter.GetWarningThreshold());
    if (mask & QNDX_MSG_ERROR) f.SetErrorThreshold(filter.GetErrorThreshold());
    if (mask & QNDX_MSG_FATAL) f.SetFatalThreshold(filter.GetFatalThreshold());
}

void CQNDXSystemMessagerControler::GetThresholds(CQNDXLog* receiver, CQNDXMessageFilter* out) const {
    const CQNDXSubscriber* s = __Find(receiver);
    if (s && out) *out = s->GetFilter();
}

void CQNDXSystemMessagerControler::GetThresholdsAt(int index, CQNDXMessageFilter* out) const {
    const CQNDXSubscriber* s = __At(index);
    if (s && out) *out = s->GetFilter();
}

void CQNDXSystemMessagerControler::Post(const char* msg, int type, int level) {
    // A receiver may unregister itself or others while being told (a log
    // shutting down): deliver to the entries present when the message came,
    // skipping any that have gone since.
    std::vector<const CQNDXSubscriber*> targets;
    for (const CQNDXSubscriber& s : m_Subscribers) targets.push_back(&s);
    for (const CQNDXSubscriber* target : targets) {
        bool present = false;
        for (const CQNDXSubscriber& s : m_Subscribers) present = present || &s == target;
        if (present && target->GetFilter().Admits(type, level)) target->GetReceiver()->OnMessage(msg, type, level);
    }
}
