// Timer on the fake clock: counter and tick modes, laps, never-started
// timers, tick wrap-around and the dump format.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "Time.h"
#include "platform/sim/Clock.h"

namespace {

class TimeTest : public ::testing::Test {
protected:
    void SetUp() override { qndx::sim::EnableFakeClock(true); }
};

TEST_F(TimeTest, TickModeWhenAskedOrWhenThereIsNoCounter) {
    CQNDXTime ticks(0);
    EXPECT_EQ(ticks.IsHighResolution(), 0);
    ticks.Start();
    qndx::sim::AdvanceFakeTimeMs(1500);
    EXPECT_FLOAT_EQ(ticks.GetElapsed(), 1.5f);

    qndx::sim::SetPerformanceCounterAvailable(false);
    CQNDXTime wanted;
    EXPECT_EQ(wanted.IsHighResolution(), 0);
    wanted.Start();
    qndx::sim::AdvanceFakeTimeUs(1500400);  // below a millisecond is not seen
    EXPECT_FLOAT_EQ(wanted.GetElapsed(), 1.5f);

    qndx::sim::SetPerformanceCounterAvailable(true);
    CQNDXTime counter;
    EXPECT_EQ(counter.IsHighResolution(), 1);
    counter.Start();
    qndx::sim::AdvanceFakeTimeUs(250);
    EXPECT_NEAR(counter.GetElapsed(), 0.00025f, 1e-7f);

    // A later wish switches a tick timer over once the counter exists.
    ticks.SetHighResolution(1);
    EXPECT_EQ(ticks.IsHighResolution(), 1);
    ticks.SetHighResolution(0);
    EXPECT_EQ(ticks.IsHighResolution(), 1);
}

TEST_F(TimeTest, TimerThatNeverStartedMeasuresNothing) {
    for (int hr : {0, 1}) {
        qndx::sim::SetFakeTimeMs(123456);
        CQNDXTime t(hr);
        EXPECT_EQ(t.Lap(), 0.0f);
        EXPECT_EQ(t.IsRunning(), 0);
        EXPECT_EQ(t.GetElapsed(), 0.0f);
        qndx::sim::AdvanceFakeTimeMs(10);
        EXPECT_EQ(t.GetElapsed(), 0.0f);
        EXPECT_EQ(t.IsRunning(), 0);
    }
}

TEST_F(TimeTest, LapsRestartTheMeasurementAndElapsedDoesNot) {
    for (int hr : {0, 1}) {
        CQNDXTime t(hr);
        t.Start();
        EXPECT_EQ(t.IsRunning(), 1);
        qndx::sim::AdvanceFakeTimeMs(250);
        EXPECT_NEAR(t.Lap(), 0.25f, 1e-6f);
        qndx::sim::AdvanceFakeTimeMs(250);
        EXPECT_NEAR(t.Lap(), 0.25f, 1e-6f);

        qndx::sim::AdvanceFakeTimeMs(100);
        const float first = t.GetElapsed();
        qndx::sim::AdvanceFakeTimeMs(100);
        const float second = t.GetElapsed();
        EXPECT_NEAR(first, 0.1f, 1e-6f);
        EXPECT_NEAR(second, 0.2f, 1e-6f);

        // After Stop, GetElapsed still measures from the start; Lap gives 0.
        t.Stop();
        EXPECT_EQ(t.IsRunning(), 0);
        qndx::sim::AdvanceFakeTimeMs(300);
        EXPECT_NEAR(t.GetElapsed(), 0.5f, 1e-6f);
        EXPECT_EQ(t.Lap(), 0.0f);

        // Start on a running timer restarts it.
        t.Start();
        qndx::sim::AdvanceFakeTimeMs(40);
        t.Start();
        qndx::sim::AdvanceFakeTimeMs(10);
        EXPECT_NEAR(t.GetElapsed(), 0.01f, 1e-6f);
    }
}

TEST_F(TimeTest, TickCountWrapBetweenSamplesGivesTheSmallInterval) {
    qndx::sim::SetFakeTimeMs(0xFFFFFFFFull - 99);  // 100 ms before the wrap
    CQNDXTime t(0);
    t.Start();
    qndx::sim::AdvanceFakeTimeMs(300);
    EXPECT_FLOAT_EQ(t.GetElapsed(), 0.3f);
    EXPECT_FLOAT_EQ(t.Lap(), 0.3f);
}

TEST_F(TimeTest, DumpKeepsItsSingleOpeningQuote) {
    qndx::sim::SetFakeTimeMs(1000);
    CQNDXTime t(0);
    t.Start();
    qndx::sim::AdvanceFakeTimeMs(1500);
    t.Stop();
    std::ostringstream os;
    t.Dump(os);
    std::ostringstream address;
    address << static_cast<const void*>(&t);
    const std::string dashes(66, '-');
    EXPECT_EQ(os.str(), dashes + "\nCQNDXTime@" + address.str() +
                            "\nIs Running: \"0  Is a HRC: 0\nStart Time: 1000  End Time: 2500\n" + dashes + "\n");

    CQNDXTime hr(1);
    std::ostringstream os2;
    hr.Dump(os2);
    EXPECT_TRUE(std::regex_search(os2.str(), std::regex("Is Running: \"0  Is a HRC: 1\nStart Time: 0  End Time: 0\n")))
        << os2.str();
}

}  // namespace
