// Test control of the window side: injected window events (focus, minimise,
// close, exposure), the desktop size, the system's mouse parameters and the
// message boxes the code under test has shown. Reset() destroys every window
// without calling its procedure, unregisters every class, empties the queue
// and the quit flag, and clears the boxes and overrides set here.
#pragma once

#include <string>
#include <vector>

#include "platform/Types.h"

namespace qndx {
namespace sim {

// Window events, queued like SDL's own and handled by the next PeekMessageA
// (or PumpWindowEvents): focus gained/lost and minimise/restore change the
// foreground window and send WM_ACTIVATE (LOWORD WA_ACTIVE or WA_INACTIVE,
// HIWORD non-zero while minimised); close posts WM_CLOSE; expose makes
// WM_PAINT pending. False for an unknown window.
bool InjectFocus(HWND hwnd, bool gained);
bool InjectMinimise(HWND hwnd, bool minimised);
bool InjectClose(HWND hwnd);
bool InjectExpose(HWND hwnd);
// Runs the event pump once without taking a message.
void PumpWindowEvents();

// Desktop size reported by the system metrics (and the screen device
// context); (0, 0) goes back to the default (1024 x 768 headless).
void SetDesktopSize(int width, int height);

// What SystemParametersInfoA(SPI_GETMOUSE) reports: the two acceleration
// thresholds and the acceleration level (default 6, 10, 1).
void SetMouseParameters(int threshold1, int threshold2, int level);

struct MessageBoxRecord {
    HWND owner;
    std::string caption;
    std::string text;
    UINT flags;
};
// Every MessageBoxA since the last Reset, oldest first (the last 1000).
std::vector<MessageBoxRecord> MessageBoxes();
void ClearMessageBoxes();

// Window counts, for leak checks: live windows and registered classes.
int WindowCount();
int ClassCount();

// State of the pointer: ShowCursor's display count and the cursor SetCursor set.
int CursorDisplayCount();
HCURSOR CurrentCursor();

}  // namespace sim
}  // namespace qndx
