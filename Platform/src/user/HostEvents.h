// What the window manager needs from the host's event source (the backend's
// event pump, sdl/EventPump.cpp): reading the host's events in order, waiting
// for the next one, window events the sim panel injects as if the host had
// sent them, the foreground window handed on to the input side (in order with
// the other input events), and host events dropped when the layer is reset.
// Everything here runs on the main thread.
#pragma once

#include <cstdint>

namespace qndx {
namespace platform {

// Reads every waiting host event and handles it: window events change the
// window manager, input events go to the input devices.
void PumpHostEvents();
// Waits up to `ms` milliseconds for the next host event (GetMessageA's idle
// wait); returns at once when one is waiting.
void WaitForHostEvents(int ms);

// Window events a host window can send about itself.
enum class HostWindowEvent { FocusGained, FocusLost, Minimised, Restored, Close, Exposed };
// Puts the event behind the ones waiting for the next pump, as if host window
// `hostId` had sent it.
void QueueHostWindowEvent(uint32_t hostId, HostWindowEvent event);

void ReportFocusToInput(uint32_t windowId, bool gained);
void DiscardPendingWindowEvents();

}  // namespace platform
}  // namespace qndx
