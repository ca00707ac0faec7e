// The output of machines without an audio device: a thread that pulls the
// mix in real time and drops it, so clocks and playing state run as they
// would on a device.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "dmusic/AudioOutput.h"

namespace qndx {
namespace platform {
namespace audio {
namespace {

class NullAudioOutput : public AudioOutput {
public:
    NullAudioOutput(FrameSource* source, int rate) : m_source(source), m_rate(rate) {
        m_thread = std::thread([this] { Run(); });
    }
    ~NullAudioOutput() override {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    const char* Name() const override { return "null"; }

private:
    void Run() {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point begin = Clock::now();
        int64_t rendered = 0;
        std::vector<float> scratch;
        std::unique_lock<std::mutex> lock(m_lock);
        while (!m_stop) {
            m_wake.wait_for(lock, std::chrono::milliseconds(10));
            if (m_stop) break;
            lock.unlock();
            const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
            int64_t due = (int64_t)(seconds * m_rate) - rendered;
            // After a long stall, catch up at most one second.
            if (due > m_rate) {
                rendered += due - m_rate;
                due = m_rate;
            }
            while (due > 0) {
                const size_t n = (size_t)std::min<int64_t>(due, 4096);
                scratch.resize(2 * n);
                m_source->Render(scratch.data(), n);
                rendered += (int64_t)n;
                due -= (int64_t)n;
            }
            lock.lock();
        }
    }

    FrameSource* m_source;
    const int64_t m_rate;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};

}  // namespace

std::unique_ptr<AudioOutput> OpenNullAudioOutput(FrameSource* source, int rate) {
    return std::make_unique<NullAudioOutput>(source, rate);
}

}  // namespace audio
}  // namespace platform
}  // namespace qndx
