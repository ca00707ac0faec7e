// Test control panel, common part: resetting the whole layer between tests,
// fault injection and the call journal. Each area adds its own header beside
// this one (clock, display, input, audio). Tests only; the engine never
// includes anything under platform/sim/.
#pragma once

#include <string>
#include <vector>

#include "platform/Types.h"

namespace qndx {
namespace sim {

// Puts every area of the layer back to its start state: windows and classes
// gone, fake clock off, faults and journal cleared, injected state dropped.
void Reset();

// Makes the next `count` calls named `call` (the platform name, such as
// "CreateFileA" or "IDirectDrawSurface7::Lock") fail with `code`.
void FailNext(const char* call, int count, HRESULT code);
void ClearFaults();
// How many injected failures of `call` are still pending.
int PendingFaults(const char* call);

// The journal records "Name(args)" for each call the layer makes while it is on.
void EnableJournal(bool on);
bool JournalEnabled();
std::vector<std::string> JournalEntries();
void ClearJournal();
// Number of entries whose text starts with `prefix`.
int JournalCount(const char* prefix);

}  // namespace sim
}  // namespace qndx
