// A private Xvfb server for the tests that need a real X display.
#include "support/Xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace qndx {
namespace test {

bool OnPath(const char* tool) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/" + tool;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

bool Xvfb::Start(std::string* why, int depth) {
    int fds[2];
    if (pipe(fds) != 0) {
        *why = "pipe failed";
        return false;
    }
    m_pid = fork();
    if (m_pid == 0) {
        close(fds[0]);
        int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, 0);
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        const std::string fd = std::to_string(fds[1]);
        const std::string screen = "1024x768x" + std::to_string(depth);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp", "-wr",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (poll(&p, 1, 200) <= 0) continue;
        char c;
        if (read(fds[0], &c, 1) <= 0 || c == '\n') break;
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        *why = "Xvfb did not report a display";
        return false;
    }
    m_display = ":" + number;
    return true;
}

Xvfb::~Xvfb() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
}

ChildEnd RunOnDisplay(const std::string& display, const std::function<int()>& body, int seconds) {
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        unsetenv("WAYLAND_DISPLAY");
        const int devnull = open("/dev/null", O_RDONLY);
        if (devnull >= 0) dup2(devnull, 0);  // never an interactive run
        const int code = body();
        std::fflush(stdout);
        std::fflush(stderr);
        _exit(code);
    }
    if (pid < 0) return ChildEnd{false, 128, 0};
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        const pid_t ended = waitpid(pid, &status, WNOHANG);
        if (ended == pid) break;
        if (ended < 0 && errno != EINTR) return ChildEnd{false, 128, 0};  // never a silent pass
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(status)) return ChildEnd{true, WEXITSTATUS(status), 0};
    const int signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return ChildEnd{false, 128 + signal, signal};
}

}  // namespace test
}  // namespace qndx
