// The layer's side of the test control panel. Areas call these; tests use
// platform/sim/*.h instead.
#pragma once

#include <string>

#include "platform/Types.h"

namespace qndx {
namespace sim {
namespace internal {

// Adds a function that Reset() calls. An area registers its hook the first
// time its state is created (never from a static initialiser: the linker may
// drop an object file that nothing else references). Registering the same
// function twice has no further effect.
void AddResetHook(void (*hook)());

// True when an injected failure is pending for `call`; consumes one and
// stores its code in *code (when code is not null).
bool TakeFault(const char* call, HRESULT* code);

// Appends "call(args)" to the journal when it is on.
void Record(const char* call, const std::string& args = std::string());

}  // namespace internal
}  // namespace sim
}  // namespace qndx
