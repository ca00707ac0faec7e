// The stop-signal handlers: a lock-free store, nothing else, in the handler.
#include "user/StopSignals.h"

#include <signal.h>

#include <atomic>
#include <initializer_list>

namespace qndx {
namespace platform {
namespace {

std::atomic<int> g_stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free store");

void OnStopSignal(int sig) { g_stopSignal.store(sig, std::memory_order_relaxed); }

}  // namespace

void InstallStopSignalHandlers() {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old;
        if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
        struct sigaction sa {};
        sa.sa_handler = &OnStopSignal;
        sigemptyset(&sa.sa_mask);
        // The handler goes after one delivery: the next signal ends the process.
        sa.sa_flags = SA_RESTART | SA_RESETHAND;
        sigaction(sig, &sa, nullptr);
    }
}

int TakeStopSignal() { return g_stopSignal.exchange(0, std::memory_order_relaxed); }

}  // namespace platform
}  // namespace qndx
