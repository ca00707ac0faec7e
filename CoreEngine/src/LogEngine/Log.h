// Receiver interface of the system messenger: one call per admitted message.
#pragma once

class CQNDXLog {
public:
    // type is 1 INFO, 2 WARNING, 4 ERROR, 8 FATAL; the result is not looked at
    // by the messenger.
    virtual int OnMessage(const char* msg, int type, int level) = 0;
    virtual ~CQNDXLog() {}
};
