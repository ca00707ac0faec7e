// The test process's temporary folder and its watcher (see TempDir.h).
#include "support/TempDir.h"

#include <fcntl.h>
#include <ftw.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace qndx {
namespace test {

namespace {

std::string s_root;
pid_t s_owner = -1;

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    ::remove(path);
    return 0;
}

std::string MakeUnique(const char* prefix, bool folder) {
    std::string pattern = TempBase() + "/" + (prefix && *prefix ? prefix : "qndx") + "-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (folder) return mkdtemp(buf.data()) ? std::string(buf.data()) : std::string();
    const int fd = mkstemp(buf.data());
    if (fd < 0) return std::string();
    close(fd);
    return std::string(buf.data());
}

// Runs in the watcher: waits until every holder of the pipe's write end
// (the test process and the children it forked) is gone, then removes the
// folder. It holds nothing else of the test process open, so whoever waits
// for the test's output is not kept waiting.
[[noreturn]] void Watch(int readEnd, const std::string& root) {
    setsid();  // a kill of the test's process group leaves the watcher
    const int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0) {
        dup2(devnull, 0);
        dup2(devnull, 1);
        dup2(devnull, 2);
    }
    const long maxFd = sysconf(_SC_OPEN_MAX);
    for (int fd = 3; fd < (maxFd > 0 && maxFd < 65536 ? maxFd : 1024); ++fd)
        if (fd != readEnd) close(fd);
    for (;;) {
        char c;
        const ssize_t n = read(readEnd, &c, 1);
        if (n > 0 || (n < 0 && errno == EINTR)) continue;
        break;  // end of file: the last holder is gone
    }
    RemoveTree(root);
    _exit(0);
}

void EndAtExit() { EndTempRoot(); }

}  // namespace

void StartTempRoot() {
    if (!s_root.empty()) return;
    const std::string root = MakeUnique("qndx-test", true);
    if (root.empty()) return;
    int fds[2];
    // The write end stays with this process (and its forks) only: programs it
    // starts do not inherit it, so a server left running cannot hold the
    // folder.
    if (pipe2(fds, O_CLOEXEC) != 0) {
        RemoveTree(root);
        return;
    }
    const pid_t watcher = fork();
    if (watcher == 0) {
        close(fds[1]);
        Watch(fds[0], root);
    }
    close(fds[0]);
    if (watcher < 0) close(fds[1]);
    s_root = root;
    s_owner = getpid();
    setenv("TMPDIR", root.c_str(), 1);
    std::atexit(&EndAtExit);
}

void EndTempRoot() {
    // Forked children share the folder with their parent: only the process
    // that made it removes it.
    if (s_root.empty() || getpid() != s_owner) return;
    RemoveTree(s_root);
    s_root.clear();
}

std::string TempBase() {
    const char* base = std::getenv("TMPDIR");
    return base && *base ? std::string(base) : std::string("/tmp");
}

std::string MakeTempDir(const char* prefix) { return MakeUnique(prefix, true); }

std::string MakeTempFile(const char* prefix) { return MakeUnique(prefix, false); }

TempDir::TempDir(const char* prefix) : m_path(MakeTempDir(prefix)), m_owner(getpid()) {}

TempDir::~TempDir() {
    if (!m_path.empty() && getpid() == m_owner) RemoveTree(m_path);
}

bool TempDir::Enter() const { return !m_path.empty() && chdir(m_path.c_str()) == 0; }

void RemoveTree(const std::string& path) {
    if (path.empty()) return;
    nftw(path.c_str(), &RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace test
}  // namespace qndx
