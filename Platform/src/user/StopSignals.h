// Termination signals (SIGINT, SIGTERM, SIGHUP) as a request to end the
// program, the way the desktop asks it: the handler only records the signal,
// and the event pump turns it into WM_CLOSE for every window (WM_QUIT when
// there is none), so the program closes as if its window had been closed and
// its log gets its footer. A second signal of the same kind ends the process
// at once, so a program that no longer pumps still stops.
#pragma once

namespace qndx {
namespace platform {

// Installs the handlers; signals ignored at start (nohup, background jobs)
// stay ignored. The program's entry point calls it once.
void InstallStopSignalHandlers();

// The signal received since the last call, 0 for none (async-signal-safe
// hand-over; called by the event pump).
int TakeStopSignal();

}  // namespace platform
}  // namespace qndx
