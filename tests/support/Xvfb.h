// A private Xvfb server for the tests that need a real X display. The server
// picks a free display itself (-displayfd), so such tests can run side by side.
#pragma once

#include <sys/types.h>

#include <string>

namespace qndx {
namespace test {

// True when `tool` is an executable somewhere on PATH.
bool OnPath(const char* tool);

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
