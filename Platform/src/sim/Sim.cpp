// Fault injection, call journal and the reset registry shared by every area.
#include "pixels/Pixels.h"
#include "sim/SimInternal.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "platform/sim/Sim.h"

namespace qndx {
namespace sim {
namespace {

struct Fault {
    int count = 0;
    HRESULT code = 0;
};

// Audio and input back ends may call in from their own threads.
struct SimState {
    std::mutex lock;
    std::vector<void (*)()> hooks;
    std::map<std::string, Fault> faults;
    bool journalOn = false;
    std::vector<std::string> journal;
};

SimState& State() {
    static SimState* state = new SimState();  // outlives static destructors
    return *state;
}

// Called with the lock held after the journal switch or the faults change.
void UpdateArmed(const SimState& s) {
    const unsigned armed =
        (s.journalOn ? internal::kJournalOn : 0u) | (s.faults.empty() ? 0u : internal::kFaultsPending);
    internal::g_armed.store(armed, std::memory_order_relaxed);
}

}  // namespace

namespace internal {
std::atomic<unsigned> g_armed{0};
}  // namespace internal

void Reset() {
    std::vector<void (*)()> hooks;
    {
        SimState& s = State();
        std::lock_guard<std::mutex> guard(s.lock);
        hooks = s.hooks;
        s.faults.clear();
        s.journal.clear();
        s.journalOn = false;
        UpdateArmed(s);
    }
    for (auto hook : hooks) hook();
    // The pixel loops' level is the whole program's, not one area's.
    pixels::ResetSimd();
    pixels::SetSpansForAllSizes(false);
}

void FailNext(const char* call, int count, HRESULT code) {
    SimState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (count <= 0)
        s.faults.erase(call);
    else
        s.faults[call] = Fault{count, code};
    UpdateArmed(s);
}

void ClearFaults() {
    SimState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.faults.clear();
    UpdateArmed(s);
}

int PendingFaults(const char* call) {
    SimState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    auto it = s.faults.find(call);
    return it == s.faults.end() ? 0 : it->second.count;
}

void EnableJournal(bool on) {
    SimState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.journalOn = on;
    UpdateArmed(s);
}

bool JournalEnabled() {
    SimState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.journalOn;
}

std::vector<std::string> JournalEntries() {
    SimState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.journal;
}

void ClearJournal() {
    SimState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.journal.clear();
}

int JournalCount(const char* prefix) {
    SimState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    size_t n = std::strlen(prefix);
    return static_cast<int>(std::count_if(s.journal.begin(), s.journal.end(), [&](const std::string& e) {
        return e.compare(0, n, prefix) == 0;
    }));
}

namespace internal {

void AddResetHook(void (*hook)()) {
    SimState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (std::find(s.hooks.begin(), s.hooks.end(), hook) == s.hooks.end()) s.hooks.push_back(hook);
}

bool TakePendingFault(const char* call, HRESULT* code) {
    SimState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    auto it = s.faults.find(call);
    if (it == s.faults.end()) return false;
    if (code) *code = it->second.code;
    if (--it->second.count <= 0) {
        s.faults.erase(it);
        UpdateArmed(s);
    }
    return true;
}

void AppendToJournal(const char* call, const char* args, size_t length) {
    SimState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.journalOn) return;
    std::string entry(call);
    entry += '(';
    entry.append(args, length);
    entry += ')';
    s.journal.push_back(std::move(entry));
}

}  // namespace internal
}  // namespace sim
}  // namespace qndx
