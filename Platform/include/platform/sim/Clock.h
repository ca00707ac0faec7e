// Test control of time: a fake clock behind QueryPerformanceCounter,
// GetTickCount and Sleep. While it is on, time moves only when a test sets or
// advances it, or when the code under test calls Sleep (which then returns at
// once). Reset() turns it off and clears the sleep record.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace qndx {
namespace sim {

// Turning the fake clock on starts it at 0 ms.
void EnableFakeClock(bool on = true);
bool FakeClockEnabled();

// Fake time since its start, in microseconds (the tick count is this / 1000,
// wrapping at 2^32 ms; the performance counter runs at 1 GHz).
void SetFakeTimeUs(uint64_t us);
void SetFakeTimeMs(uint64_t ms);
void AdvanceFakeTimeUs(uint64_t us);
void AdvanceFakeTimeMs(uint64_t ms);
uint64_t FakeTimeUs();

// Sleep calls made since the last Reset/ClearSleepRecord (fake or real clock).
uint64_t TotalSleptMs();
int SleepCount();
DWORD LastSleepMs();
void ClearSleepRecord();

// Makes QueryPerformanceFrequency/Counter report that there is no counter
// (FALSE), as on a machine without one. Reset() makes it available again.
void SetPerformanceCounterAvailable(bool available);

}  // namespace sim
}  // namespace qndx
