// Frame table shared by AdjustWindowRectEx and the window manager.
#include "user/Frame.h"

#include <algorithm>

#include "platform/User.h"

namespace qndx {
namespace platform {

FrameInsets FrameFor(DWORD style, DWORD exStyle, bool hasMenu) {
    int edge = 0;
    if (style & WS_THICKFRAME)
        edge = kSizingFrame + kPaddedBorder;
    else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
        edge = kDialogFrame;
    else if (style & WS_BORDER)
        edge = kBorder;
    if (exStyle & WS_EX_CLIENTEDGE) edge += kClientEdge;
    if (exStyle & WS_EX_STATICEDGE) edge += kStaticEdge;

    int top = edge;
    if ((style & WS_CAPTION) == WS_CAPTION) top += kCaptionHeight;
    if (hasMenu) top += kMenuHeight;
    return FrameInsets{edge, top, edge, edge};
}

bool IsBorderlessStyle(DWORD style, DWORD exStyle) {
    // Thin borders and dialog frames cannot be drawn by the host window
    // system; without a caption or sizing frame the host window is borderless
    // while the frame table keeps those pixels.
    (void)exStyle;
    return (style & WS_CAPTION) != WS_CAPTION && !(style & WS_THICKFRAME);
}

RECT ClientFromOuter(const RECT& outer, const FrameInsets& frame) {
    RECT c;
    c.left = outer.left + frame.left;
    c.top = outer.top + frame.top;
    c.right = std::max<LONG>(c.left, outer.right - frame.right);
    c.bottom = std::max<LONG>(c.top, outer.bottom - frame.bottom);
    return c;
}

}  // namespace platform
}  // namespace qndx
