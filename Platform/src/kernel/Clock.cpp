// Performance counter, tick count and Sleep on CLOCK_MONOTONIC, with the
// fake clock that tests switch on through platform/sim/Clock.h.
#include <sched.h>
#include <time.h>

#include <cerrno>
#include <mutex>
#include <string>

#include "kernel/Errors.h"
#include "platform/Kernel.h"
#include "platform/sim/Clock.h"
#include "platform/sim/Sim.h"
#include "sim/SimInternal.h"

namespace qndx {
namespace platform {
namespace {

// The counter runs in nanoseconds on both clocks.
constexpr LONGLONG kCounterFrequency = 1000000000LL;

class Clock {
public:
    static Clock& Get() {
        static Clock* clock = [] {
            sim::internal::AddResetHook(&Clock::ResetHook);
            return new Clock();  // outlives static destructors that may still log times
        }();
        return *clock;
    }

    bool CounterAvailable() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_counterAvailable;
    }

    uint64_t NowNs() {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_fake) return m_fakeUs * 1000;
        }
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<uint64_t>(ts.tv_sec) * 1000000000ULL + static_cast<uint64_t>(ts.tv_nsec);
    }

    void Sleep(DWORD ms) {
        bool fake;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_sleptMs += ms;
            ++m_sleepCount;
            m_lastSleepMs = ms;
            fake = m_fake;
            if (fake) m_fakeUs += static_cast<uint64_t>(ms) * 1000;
        }
        if (fake) return;
        if (ms == 0) {
            sched_yield();
            return;
        }
        timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
        while (nanosleep(&left, &left) != 0 && errno == EINTR) {
        }
    }

    void EnableFake(bool on) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_fake = on;
        m_fakeUs = 0;
    }
    bool FakeEnabled() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_fake;
    }
    void SetFakeUs(uint64_t us) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_fakeUs = us;
    }
    void AdvanceFakeUs(uint64_t us) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_fakeUs += us;
    }
    uint64_t FakeUs() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_fakeUs;
    }
    uint64_t SleptMs() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_sleptMs;
    }
    int SleepCount() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_sleepCount;
    }
    DWORD LastSleepMs() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_lastSleepMs;
    }
    void ClearSleeps() {
        std::lock_guard<std::mutex> guard(m_lock);
        m_sleptMs = 0;
        m_sleepCount = 0;
        m_lastSleepMs = 0;
    }
    void SetCounterAvailable(bool available) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_counterAvailable = available;
    }

private:
    static void ResetHook() {
        Clock& c = Get();
        c.EnableFake(false);
        c.ClearSleeps();
        c.SetCounterAvailable(true);
    }

    std::mutex m_lock;
    bool m_fake = false;
    uint64_t m_fakeUs = 0;
    bool m_counterAvailable = true;
    uint64_t m_sleptMs = 0;
    int m_sleepCount = 0;
    DWORD m_lastSleepMs = 0;
};

}  // namespace
}  // namespace platform
}  // namespace qndx

using qndx::platform::Clock;

BOOL QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency) {
    if (qndx::platform::TakeKernelFault("QueryPerformanceFrequency")) return FALSE;
    if (lpFrequency == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    if (!Clock::Get().CounterAvailable()) {
        lpFrequency->QuadPart = 0;
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    lpFrequency->QuadPart = qndx::platform::kCounterFrequency;
    return TRUE;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount) {
    if (lpPerformanceCount == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    if (!Clock::Get().CounterAvailable()) {
        lpPerformanceCount->QuadPart = 0;
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    lpPerformanceCount->QuadPart = static_cast<LONGLONG>(Clock::Get().NowNs());
    return TRUE;
}

DWORD GetTickCount() { return static_cast<DWORD>(Clock::Get().NowNs() / 1000000ULL); }

void Sleep(DWORD dwMilliseconds) {
    qndx::sim::internal::Record("Sleep", [&] { return std::to_string(dwMilliseconds); });
    Clock::Get().Sleep(dwMilliseconds);
}

namespace qndx {
namespace sim {

void EnableFakeClock(bool on) { Clock::Get().EnableFake(on); }
bool FakeClockEnabled() { return Clock::Get().FakeEnabled(); }
void SetFakeTimeUs(uint64_t us) { Clock::Get().SetFakeUs(us); }
void SetFakeTimeMs(uint64_t ms) { Clock::Get().SetFakeUs(ms * 1000); }
void AdvanceFakeTimeUs(uint64_t us) { Clock::Get().AdvanceFakeUs(us); }
void AdvanceFakeTimeMs(uint64_t ms) { Clock::Get().AdvanceFakeUs(ms * 1000); }
uint64_t FakeTimeUs() { return Clock::Get().FakeUs(); }
uint64_t TotalSleptMs() { return Clock::Get().SleptMs(); }
int SleepCount() { return Clock::Get().SleepCount(); }
DWORD LastSleepMs() { return Clock::Get().LastSleepMs(); }
void ClearSleepRecord() { Clock::Get().ClearSleeps(); }
void SetPerformanceCounterAvailable(bool available) { Clock::Get().SetCounterAvailable(available); }

}  // namespace sim
}  // namespace qndx
