// Performance counter, tick count and Sleep, on the fake clock and the real one.
#include <gtest/gtest.h>

#include "platform/Kernel.h"
#include "platform/sim/Clock.h"
#include "platform/sim/Sim.h"

namespace sim = qndx::sim;

TEST(FakeClock, CounterAndTicksFollowIt) {
    sim::EnableFakeClock();
    LARGE_INTEGER freq{}, a{}, b{};
    ASSERT_TRUE(QueryPerformanceFrequency(&freq));
    ASSERT_GT(freq.QuadPart, 0);
    ASSERT_TRUE(QueryPerformanceCounter(&a));
    EXPECT_EQ(GetTickCount(), 0u);
    sim::AdvanceFakeTimeUs(1500000);
    ASSERT_TRUE(QueryPerformanceCounter(&b));
    EXPECT_EQ(b.QuadPart - a.QuadPart, freq.QuadPart * 3 / 2);
    EXPECT_EQ(GetTickCount(), 1500u);
    // Nothing moves on its own.
    EXPECT_EQ(GetTickCount(), 1500u);
    sim::SetFakeTimeMs(250);
    EXPECT_EQ(GetTickCount(), 250u);
    EXPECT_EQ(sim::FakeTimeUs(), 250000u);
}

TEST(FakeClock, TickCountWrapsAt32Bits) {
    sim::EnableFakeClock();
    sim::SetFakeTimeMs(0xFFFFFFFFull - 9);
    DWORD before = GetTickCount();
    EXPECT_EQ(before, 0xFFFFFFF6u);
    sim::AdvanceFakeTimeMs(20);
    DWORD after = GetTickCount();
    EXPECT_EQ(after, 10u);
    // The usual unsigned difference still gives the elapsed time.
    EXPECT_EQ(after - before, 20u);
    EXPECT_EQ(static_cast<int32_t>(after - before), 20);
    // The counter does not wrap with it.
    LARGE_INTEGER c{};
    QueryPerformanceCounter(&c);
    EXPECT_GT(c.QuadPart, 0xFFFFFFFFLL * 1000000LL);
}

TEST(FakeClock, SleepAdvancesTimeAndIsRecorded) {
    sim::EnableFakeClock();
    sim::SetFakeTimeMs(1000);
    Sleep(100);
    Sleep(7);
    Sleep(0);
    EXPECT_EQ(GetTickCount(), 1107u);
    EXPECT_EQ(sim::TotalSleptMs(), 107u);
    EXPECT_EQ(sim::SleepCount(), 3);
    EXPECT_EQ(sim::LastSleepMs(), 0u);
    sim::ClearSleepRecord();
    EXPECT_EQ(sim::TotalSleptMs(), 0u);
    EXPECT_EQ(sim::SleepCount(), 0);
}

TEST(FakeClock, ResetTurnsItOffAndClearsTheRecord) {
    sim::EnableFakeClock();
    Sleep(5);
    sim::SetPerformanceCounterAvailable(false);
    sim::Reset();
    EXPECT_FALSE(sim::FakeClockEnabled());
    EXPECT_EQ(sim::SleepCount(), 0);
    LARGE_INTEGER f{};
    EXPECT_TRUE(QueryPerformanceFrequency(&f));
}

TEST(FakeClock, SleepGoesIntoTheJournal) {
    sim::EnableFakeClock();
    sim::EnableJournal(true);
    Sleep(100);
    EXPECT_EQ(sim::JournalCount("Sleep(100)"), 1);
}

TEST(PerformanceCounter, CanBeMadeUnavailable) {
    sim::SetPerformanceCounterAvailable(false);
    LARGE_INTEGER f{}, c{};
    EXPECT_FALSE(QueryPerformanceFrequency(&f));
    EXPECT_FALSE(QueryPerformanceCounter(&c));
    sim::SetPerformanceCounterAvailable(true);
    sim::FailNext("QueryPerformanceFrequency", 1, ERROR_NOT_SUPPORTED);
    EXPECT_FALSE(QueryPerformanceFrequency(&f));
    EXPECT_TRUE(QueryPerformanceFrequency(&f));
    EXPECT_FALSE(QueryPerformanceFrequency(nullptr));
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));
}

TEST(RealClock, IsMonotonicAndSleepWaits) {
    LARGE_INTEGER freq{}, a{}, b{};
    ASSERT_TRUE(QueryPerformanceFrequency(&freq));
    ASSERT_TRUE(QueryPerformanceCounter(&a));
    DWORD t0 = GetTickCount();
    Sleep(20);
    ASSERT_TRUE(QueryPerformanceCounter(&b));
    // At least the slept time has passed (no upper bound: machines are busy).
    EXPECT_GE(b.QuadPart - a.QuadPart, freq.QuadPart * 20 / 1000);
    EXPECT_GE(GetTickCount() - t0, 19u);
    EXPECT_EQ(sim::TotalSleptMs(), 20u);
}
