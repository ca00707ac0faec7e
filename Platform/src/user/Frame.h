// Non-client frame sizes per window style. One table serves
// AdjustWindowRectEx, the client rectangle of every window and the frame
// system metrics, so a client rectangle asked for through AdjustWindowRectEx
// is exactly the one GetClientRect reports.
#pragma once

#include "platform/Types.h"

namespace qndx {
namespace platform {

// Frame metrics in pixels (what GetSystemMetrics reports for them).
constexpr int kCaptionHeight = 23;   // SM_CYCAPTION
constexpr int kBorder = 1;           // SM_CXBORDER / SM_CYBORDER
constexpr int kDialogFrame = 3;      // SM_CXDLGFRAME / SM_CYDLGFRAME
constexpr int kSizingFrame = 4;      // SM_CXFRAME / SM_CYFRAME
constexpr int kPaddedBorder = 4;     // SM_CXPADDEDBORDER
constexpr int kMenuHeight = 20;      // SM_CYMENU
constexpr int kClientEdge = 2;       // WS_EX_CLIENTEDGE
constexpr int kStaticEdge = 1;       // WS_EX_STATICEDGE

// How far the outer rectangle reaches beyond the client rectangle on each
// side (all values >= 0).
struct FrameInsets {
    int left;
    int top;
    int right;
    int bottom;
};

FrameInsets FrameFor(DWORD style, DWORD exStyle, bool hasMenu);

// Positions and sizes are held within this distance of the origin, far beyond
// any display, so that rectangle sums and differences never overflow.
constexpr int kCoordinateLimit = 1 << 20;
inline int ClampCoordinate(int v) {
    return v < -kCoordinateLimit ? -kCoordinateLimit : (v > kCoordinateLimit ? kCoordinateLimit : v);
}
inline int ClampExtent(int v) { return v < 0 ? 0 : (v > kCoordinateLimit ? kCoordinateLimit : v); }

// True when the style draws no border or caption (the SDL window is borderless).
bool IsBorderlessStyle(DWORD style, DWORD exStyle);

// The client rectangle inside `outer` for the frame; never inverted.
RECT ClientFromOuter(const RECT& outer, const FrameInsets& frame);

}  // namespace platform
}  // namespace qndx
