// The window manager's two links to the event pump (sdl/EventPump.cpp): it
// tells the input side when a window becomes or stops being the foreground
// window (handed on as an SDL focus event, in order with the other input
// events), and drops host events still waiting when the layer is reset.
#pragma once

#include <cstdint>

namespace qndx {
namespace platform {

void ReportFocusToInput(uint32_t windowId, bool gained);
void DiscardPendingWindowEvents();

}  // namespace platform
}  // namespace qndx
