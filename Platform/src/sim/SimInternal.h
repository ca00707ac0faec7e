// The layer's side of the test control panel. Areas call these; tests use
// platform/sim/*.h instead.
//
// The hooks sit on hot paths (every blit and lock), so a call with nothing
// switched on costs one relaxed atomic load: no lock, no allocation, and the
// journal's argument text is only built when the journal is on.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/Types.h"

namespace qndx {
namespace sim {
namespace internal {

// Adds a function that Reset() calls. An area registers its hook the first
// time its state is created (never from a static initialiser: the linker may
// drop an object file that nothing else references). Registering the same
// function twice has no further effect.
void AddResetHook(void (*hook)());

// What a test has switched on. Written under the panel's lock; read without.
enum : unsigned { kJournalOn = 1u, kFaultsPending = 2u };
extern std::atomic<unsigned> g_armed;
inline unsigned Armed() { return g_armed.load(std::memory_order_relaxed); }
inline bool JournalOn() { return (Armed() & kJournalOn) != 0; }

// The locked halves of the hooks below.
bool TakePendingFault(const char* call, HRESULT* code);
void AppendToJournal(const char* call, const char* args, size_t length);

// True when an injected failure is pending for `call`; consumes one and
// stores its code in *code (when code is not null).
inline bool TakeFault(const char* call, HRESULT* code) {
    return (Armed() & kFaultsPending) != 0 && TakePendingFault(call, code);
}

// Appends "call(args)" to the journal. `args` is text, or a callable
// returning std::string that only runs when the journal is on.
inline void AppendArgs(const char* call, const char* args) { AppendToJournal(call, args, std::strlen(args)); }
template <class Args, class = std::enable_if_t<std::is_invocable_r_v<std::string, Args&>>>
inline void AppendArgs(const char* call, Args&& args) {
    const std::string text = args();
    AppendToJournal(call, text.data(), text.size());
}

// Records the call when the journal is on.
inline void Record(const char* call) {
    if (JournalOn()) AppendToJournal(call, "", 0);
}
template <class Args>
inline void Record(const char* call, Args&& args) {
    if (JournalOn()) AppendArgs(call, std::forward<Args>(args));
}

// The usual entry of a hooked call: true when an injected failure of `call`
// is taken (its code in *code), else records the call. One load when off.
inline bool Enter(const char* call, HRESULT* code) {
    const unsigned armed = Armed();
    if (armed == 0) return false;
    if ((armed & kFaultsPending) && TakePendingFault(call, code)) return true;
    if (armed & kJournalOn) AppendToJournal(call, "", 0);
    return false;
}
// The armed half stays out of line: the text of the arguments would
// otherwise give every hooked call a large frame to set up even when off.
template <class Args>
[[gnu::noinline, gnu::cold]] bool EnterArmed(const char* call, HRESULT* code, unsigned armed, Args&& args) {
    if ((armed & kFaultsPending) && TakePendingFault(call, code)) return true;
    if (armed & kJournalOn) AppendArgs(call, std::forward<Args>(args));
    return false;
}
template <class Args>
inline bool Enter(const char* call, HRESULT* code, Args&& args) {
    const unsigned armed = Armed();
    return armed != 0 && EnterArmed(call, code, armed, std::forward<Args>(args));
}

}  // namespace internal
}  // namespace sim
}  // namespace qndx
