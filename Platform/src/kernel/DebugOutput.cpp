// Debugger output: there is no debugger channel here, so the text goes to
// standard error when QNDX_DEBUG_OUTPUT=1 asks for it, and to the sim panel's
// capture when a test switched that on.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Kernel.h"
#include "platform/sim/Kernel.h"
#include "sim/SimInternal.h"

namespace qndx {
namespace platform {
namespace {

class DebugOutput {
public:
    static DebugOutput& Get() {
        static DebugOutput* out = [] {
            sim::internal::AddResetHook(&DebugOutput::ResetHook);
            return new DebugOutput();
        }();
        return *out;
    }

    void Write(const char* text) {
        if (EchoWanted()) {
            std::fputs(text, stderr);
            std::fflush(stderr);
        }
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_capture) m_captured.emplace_back(text);
    }

    void Capture(bool on) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_capture = on;
    }

    std::vector<std::string> Captured() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_captured;
    }

private:
    static bool EchoWanted() {
        const char* v = std::getenv("QNDX_DEBUG_OUTPUT");
        return v != nullptr && std::strcmp(v, "1") == 0;
    }

    static void ResetHook() {
        DebugOutput& d = Get();
        std::lock_guard<std::mutex> guard(d.m_lock);
        d.m_capture = false;
        d.m_captured.clear();
    }

    std::mutex m_lock;
    bool m_capture = false;
    std::vector<std::string> m_captured;
};

}  // namespace
}  // namespace platform

namespace sim {
void CaptureDebugOutput(bool on) { platform::DebugOutput::Get().Capture(on); }
std::vector<std::string> DebugOutput() { return platform::DebugOutput::Get().Captured(); }
}  // namespace sim
}  // namespace qndx

void OutputDebugStringA(LPCSTR lpOutputString) {
    if (lpOutputString == nullptr) return;
    qndx::platform::DebugOutput::Get().Write(lpOutputString);
}
