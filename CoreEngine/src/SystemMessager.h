// The engine's log dispatcher. Every subsystem logs through the game manager,
// which posts here; each message goes at once, on the caller's thread, to
// every subscribed receiver whose threshold for the message's type admits the
// message's level. Message texts are not copied.
#pragma once

#include <list>
#include <ostream>

class CQNDXGameManager;
class CQNDXLog;

// Message types, one bit each; any other value reaches nobody.
enum {
    QNDX_MSG_INFO = 1,
    QNDX_MSG_WARNING = 2,
    QNDX_MSG_ERROR = 4,
    QNDX_MSG_FATAL = 8,
};

// Per-type thresholds: a message is admitted when its type's threshold is
// above 0 and its level is at least the threshold.
class CQNDXMessageFilter {
public:
    CQNDXMessageFilter();
    CQNDXMessageFilter(int info, int warning, int error, int fatal);
    virtual ~CQNDXMessageFilter();

    int GetInfoThreshold() const { return m_iInfo; }
    void SetInfoThreshold(int threshold) { m_iInfo = threshold; }
    int GetWarningThreshold() const { return m_iWarning; }
    void SetWarningThreshold(int threshold) { m_iWarning = threshold; }
    int GetErrorThreshold() const { return m_iError; }
    void SetErrorThreshold(int threshold) { m_iError = threshold; }
    int GetFatalThreshold() const { return m_iFatal; }
    void SetFatalThreshold(int threshold) { m_iFatal = threshold; }

    // Whether a message of this type and level passes; unknown types never do.
    bool Admits(int type, int level) const;

private:
    int m_iInfo;
    int m_iWarning;
    int m_iError;
    int m_iFatal;
};

class CQNDXSubscriber {
public:
    CQNDXSubscriber(CQNDXLog* receiver, int info, int warning, int error, int fatal);
    virtual ~CQNDXSubscriber();

    CQNDXLog* GetReceiver() const { return m_pReceiver; }
    CQNDXMessageFilter& GetFilter() { return m_Filter; }
    const CQNDXMessageFilter& GetFilter() const { return m_Filter; }

private:
    CQNDXLog* m_pReceiver;  // not owned
    CQNDXMessageFilter m_Filter;
};

class CQNDXSystemMessagerControler {
public:
    // The manager is not stored.
    explicit CQNDXSystemMessagerControler(CQNDXGameManager* manager = nullptr);
    virtual ~CQNDXSystemMessagerControler();
    virtual void Dump(std::ostream& os) const;

    // Appends a subscriber (a receiver may be registered more than once);
    // none does nothing.
    void Register(CQNDXLog* receiver, int info, int warning, int error, int fatal);
    void Register(CQNDXLog* receiver, const CQNDXMessageFilter& filter);
    // Removes the first subscriber of that receiver; the receiver, or none.
    CQNDXLog* Unregister(CQNDXLog* receiver);
    CQNDXLog* GetReceiver(int index) const;

    // Copies the thresholds whose bit (1, 2, 4, 8) is set in mask into the
    // first subscriber of that receiver.
    void SetThresholds(CQNDXLog* receiver, int info, int warning, int error, int fatal, int mask);
    void SetThresholds(CQNDXLog* receiver, const CQNDXMessageFilter& filter, int mask);
    void GetThresholds(CQNDXLog* receiver, CQNDXMessageFilter* out) const;
    void GetThresholdsAt(int index, CQNDXMessageFilter* out) const;

    void Post(const char* msg, int type, int level);
    void PostInfo(const char* msg, int level) { Post(msg, QNDX_MSG_INFO, level); }
    void PostWarning(const char* msg, int level) { Post(msg, QNDX_MSG_WARNING, level); }
    void PostError(const char* msg, int level) { Post(msg, QNDX_MSG_ERROR, level); }
    void PostFatal(const char* msg, int level) { Post(msg, QNDX_MSG_FATAL, level); }

    int GetCount() const { return (int)m_Subscribers.size(); }

private:
    CQNDXSystemMessagerControler(const CQNDXSystemMessagerControler&) = delete;
    CQNDXSystemMessagerControler& operator=(const CQNDXSystemMessagerControler&) = delete;

    const CQNDXSubscriber* __Find(CQNDXLog* receiver) const;
    const CQNDXSubscriber* __At(int index) const;

    std::list<CQNDXSubscriber> m_Subscribers;
};
