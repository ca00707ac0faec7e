// A private Xvfb server for the tests that need a real X display. The server
// picks a free display itself (-displayfd), so such tests can run side by side.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace qndx {
namespace test {

// True when `tool` is an executable somewhere on PATH.
bool OnPath(const char* tool);

// How a child run on a display ended: by itself with its exit code, or
// killed by a signal (code 128 + the signal).
struct ChildEnd {
    bool exited;
    int code;
    int signal;
};

// Runs `body` in a forked child on `display` (on none when empty) with SDL's
// X11 driver and no terminal to read; the child ends with body's result. A
// child still running after `seconds` is killed.
ChildEnd RunOnDisplay(const std::string& display, const std::function<int()>& body, int seconds = 60);

class Xvfb {
public:
    Xvfb() = default;
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;
    // Stops the server.
    ~Xvfb();

    // Starts a 1024 x 768 screen of the given depth; false with the reason
    // in *why when no server came up within 20 seconds.
    bool Start(std::string* why, int depth = 24);
    // ":N", once started.
    const std::string& Display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

}  // namespace test
}  // namespace qndx
