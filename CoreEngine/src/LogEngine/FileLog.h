// The engine's text log: one line per message appended to a file, framed by
// a header when the file is opened and a footer when it is closed. The
// directory is kept with its trailing '\' and joined to the name when opened;
// the path is translated for the host at the file-open boundary.
#pragma once

#include <fstream>

#include "LogEngine/Log.h"

class CQNDXFileLog : public CQNDXLog {
public:
    CQNDXFileLog();
    explicit CQNDXFileLog(const char* name);
    CQNDXFileLog(const char* name, const char* directory);

    // 0 written, 1 not open or bad (nothing written). INFO lines are not
    // flushed; WARNING, ERROR and FATAL lines are, with everything before them.
    int OnMessage(const char* msg, int type, int level) override;
    // Footer when still open, then out of the game manager's messenger.
    ~CQNDXFileLog() override;

    // Both close an open file without a footer; none keeps the old value.
    void SetFileName(const char* name);
    const char* GetFileName() const { return m_szFileName; }
    void SetDirectory(const char* directory);
    const char* GetDirectory() const { return m_szDirectory; }

    int IsBad() const;
    // Whether lines are being written now.
    int IsOpen() const;
    // 0 opened (header written), 1 the file failed to open, -1 no name or
    // directory. On an open log the file is closed (footer) and reopened.
    int Open();
    // Footer, then the file is closed; later lines are refused.
    void Close();

private:
    CQNDXFileLog(const CQNDXFileLog&) = delete;
    CQNDXFileLog& operator=(const CQNDXFileLog&) = delete;

    void __Init(const char* name, const char* directory);
    void __CloseQuietly();

    std::ofstream* m_pStream;
    char* m_szFileName;
    char* m_szDirectory;
};
