// File log: header on open, one line per message, footer on close.
#include "LogEngine/FileLog.h"

#include <cstring>
#include <ctime>
#include <string>

#include "Defaults.h"
#include "GameManager.h"
#include "SystemMessager.h"
#include "platform/HostPath.h"

namespace {

const char kDefaultName[] = "Quendrix.log";
const char kDefaultDirectory[] = ".\\";
const char kDashes80[] =
    "--------------------------------------------------------------------------------\n";

char* CopyString(const char* s) {
    const size_t n = std::strlen(s);
    char* copy = new char[n + 1];
    std::memcpy(copy, s, n + 1);
    return copy;
}

}  // namespace

CQNDXFileLog::CQNDXFileLog() { __Init(nullptr, nullptr); }

CQNDXFileLog::CQNDXFileLog(const char* name) { __Init(name, nullptr); }

CQNDXFileLog::CQNDXFileLog(const char* name, const char* directory) { __Init(name, directory); }

void CQNDXFileLog::__Init(const char* name, const char* directory) {
    m_pStream = new std::ofstream();
    m_szFileName = nullptr;
    m_szDirectory = nullptr;
    SetFileName(name ? name : kDefaultName);
    SetDirectory(directory ? directory : kDefaultDirectory);
}

CQNDXFileLog::~CQNDXFileLog() {
    if (m_pStream->is_open()) {
        m_pStream->flush();
        Close();
    }
    CQNDXGameManager* gm = CQNDXGameManager::GetInstance();
    if (gm && gm->GetMessenger()) gm->GetMessenger()->Unregister(this);
    delete[] m_szFileName;
    delete[] m_szDirectory;
    delete m_pStream;
}

void CQNDXFileLog::__CloseQuietly() {
    if (m_pStream->is_open()) m_pStream->close();
    m_pStream->clear();
}

void CQNDXFileLog::SetFileName(const char* name) {
    if (!name) return;
    __CloseQuietly();
    char* copy = CopyString(name);
    delete[] m_szFileName;
    m_szFileName = copy;
}

void CQNDXFileLog::SetDirectory(const char* directory) {
    if (!directory) return;
    __CloseQuietly();
    // An empty directory names the current one.
    if (!*directory) directory = kDefaultDirectory;
    size_t n = std::strlen(directory);
    const bool needsSeparator = directory[n - 1] != '\\';
    char* copy = new char[n + (needsSeparator ? 2 : 1)];
    std::memcpy(copy, directory, n);
    if (needsSeparator) copy[n++] = '\\';
    copy[n] = '\0';
    delete[] m_szDirectory;
    m_szDirectory = copy;
}

int CQNDXFileLog::IsBad() const { return m_pStream->bad() ? 1 : 0; }

int CQNDXFileLog::IsOpen() const { return m_pStream->is_open() && !m_pStream->bad() ? 1 : 0; }

int CQNDXFileLog::Open() {
    if (!m_szFileName || !m_szDirectory) return -1;
    // Reopening: the run so far gets its footer, then a fresh header follows.
    if (m_pStream->is_open()) Close();
    m_pStream->clear();

    std::string path = m_szDirectory;
    path += m_szFileName;
    const std::string hostPath = qndx::platform::ToHostPath(path.c_str());
    if (hostPath.empty()) return 1;
    m_pStream->open(hostPath.c_str(), std::ios::out | std::ios::app);
    if (m_pStream->bad() || !m_pStream->is_open()) return 1;

    const std::time_t now = std::time(nullptr);
    std::tm local;
    localtime_r(&now, &local);
    std::ostream& os = *m_pStream;
    os << "\n" << kDashes80;
    os << "Quendrix Version " << QNDX_ENGINE_VERSION << "  Build " << QNDX_ENGINE_BUILD << "\n";
    os << "Log Start at " << local.tm_hour << ":" << local.tm_min << ":" << local.tm_sec << " " << local.tm_mday
       << "/" << (local.tm_mon + 1) << "/" << (local.tm_year + 1900) << "\n";
    os << kDashes80;
    os.flush();
    return 0;
}

void CQNDXFileLog::Close() {
    if (!m_pStream->is_open()) return;
    std::ostream& os = *m_pStream;
    os << "\n" << kDashes80 << "Log Ends.\n" << kDashes80;
    os.flush();
    std::ios_base::sync_with_stdio(true);
    // Really closed: no second footer from the destructor, no lines after it.
    m_pStream->close();
}

int CQNDXFileLog::OnMessage(const char* msg, int type, int level) {
    if (!m_pStream->is_open() || m_pStream->bad()) return 1;
    std::ostream& os = *m_pStream;
    switch (type) {
        case 1: os << "INFO"; break;
        case 2: os << "WARNING"; break;
        case 4: os << "ERROR"; break;
        case 8: os << "FATAL"; break;
        default: break;
    }
    os << "[" << level << "]: " << (msg ? msg : "NULL MESSAGE !!!") << "\n";
    // Information lines stay buffered; anything worse reaches the file at
    // once, so a crash or a kill cannot take it (or what came before) along.
    if (type == 2 || type == 4 || type == 8) os.flush();
    return 0;
}
