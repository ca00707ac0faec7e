// Timing of the public-call benchmark: a round is a batch of calls sized to
// last a set time; the project's and the peer's rounds alternate (and swap
// which goes first every other repetition, so a drift of the machine's speed
// hits both sides alike); each side's figure is the median of its rounds.
// Blits are timed in this thread's processor time (on a machine shared with
// other work, time spent descheduled is neither side's); the present, which
// waits on the display server, in wall time.
#pragma once

#include <time.h>

#include <algorithm>
#include <vector>

namespace qndx {
namespace bench {

enum class Clock { Wall, Thread };

inline double Seconds(Clock c) {
    timespec t;
    clock_gettime(c == Clock::Thread ? CLOCK_THREAD_CPUTIME_ID : CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Seconds taken by `calls` calls of f.
template <class F>
double TimeCalls(F& f, long calls, Clock c) {
    const double t0 = Seconds(c);
    for (long i = 0; i < calls; ++i) f();
    return Seconds(c) - t0;
}

// How many calls of f fill a round of about `seconds`. A few calls first
// build any lazily made state of either side (the platform's span form of a
// keyed sprite, SDL's RLE), which a game pays once per sprite, not per frame:
// a slow first call must not size the rounds at one call each.
template <class F>
long CallsPerRound(F& f, double seconds, Clock c) {
    TimeCalls(f, 4, c);
    long n = 1;
    for (;;) {
        const double t = TimeCalls(f, n, c);
        if (t >= seconds / 4 || n >= (1L << 26)) return std::max(1L, static_cast<long>(n * seconds / std::max(t, 1e-9)));
        n *= 2;
    }
}

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

// Seconds per call of each side, medians over `reps` alternating rounds.
struct SidePair {
    double project = 0;
    double peer = 0;
};

template <class P, class S>
SidePair AlternateRounds(P& project, S& peer, int reps, double seconds, Clock c) {
    const long np = CallsPerRound(project, seconds, c);
    const long ns = CallsPerRound(peer, seconds, c);
    std::vector<double> a, b;
    for (int i = 0; i < reps; ++i) {
        if (i % 2 == 0) {
            a.push_back(TimeCalls(project, np, c) / np);
            b.push_back(TimeCalls(peer, ns, c) / ns);
        } else {
            b.push_back(TimeCalls(peer, ns, c) / ns);
            a.push_back(TimeCalls(project, np, c) / np);
        }
    }
    return SidePair{Median(a), Median(b)};
}

// Seconds per call of one side alone (no peer), median of `reps` rounds.
template <class F>
double MedianRounds(F& f, int reps, double seconds, Clock c) {
    const long n = CallsPerRound(f, seconds, c);
    std::vector<double> t;
    for (int i = 0; i < reps; ++i) t.push_back(TimeCalls(f, n, c) / n);
    return Median(t);
}

}  // namespace bench
}  // namespace qndx
