// System metrics and parameters: the desktop size, the frame sizes of the
// frame table, and the system's mouse settings.
#include "platform/Kernel.h"
#include "user/Frame.h"
#include "user/WindowManager.h"

using qndx::platform::Wm;
namespace qp = qndx::platform;

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN:
        case SM_CXVIRTUALSCREEN:
            return Wm().DesktopSize().cx;
        case SM_CYSCREEN:
        case SM_CYVIRTUALSCREEN:
            return Wm().DesktopSize().cy;
        case SM_CXFULLSCREEN: {
            // The client area of a maximised window: the work area less the caption.
            RECT work = Wm().WorkArea();
            return work.right - work.left;
        }
        case SM_CYFULLSCREEN: {
            RECT work = Wm().WorkArea();
            return work.bottom - work.top - qp::kCaptionHeight;
        }
        case SM_CYCAPTION:
            return qp::kCaptionHeight;
        case SM_CXBORDER:
        case SM_CYBORDER:
            return qp::kBorder;
        case SM_CXDLGFRAME:
        case SM_CYDLGFRAME:
            return qp::kDialogFrame;
        case SM_CXFRAME:
        case SM_CYFRAME:
            return qp::kSizingFrame;
        case SM_CXPADDEDBORDER:
            return qp::kPaddedBorder;
        case SM_CYMENU:
            return qp::kMenuHeight;
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
            return 17;
        case SM_CXICON:
        case SM_CYICON:
        case SM_CXCURSOR:
        case SM_CYCURSOR:
            return 32;
        case SM_CXSMICON:
        case SM_CYSMICON:
            return 16;
        case SM_CXMIN:
            return 136;
        case SM_CYMIN:
            return 39;
        case SM_MOUSEPRESENT:
        case SM_MOUSEWHEELPRESENT:
        case SM_CMONITORS:
            return 1;
        case SM_CMOUSEBUTTONS:
            return 3;
        case SM_SWAPBUTTON:
            return 0;
        default:
            return 0;
    }
}

BOOL SystemParametersInfoA(UINT action, UINT param, LPVOID pvParam, UINT winIni) {
    (void)param;
    (void)winIni;
    switch (action) {
        case SPI_GETMOUSE: {
            if (!pvParam) break;
            int values[3];
            Wm().MouseParameters(values);
            int* out = static_cast<int*>(pvParam);
            out[0] = values[0];
            out[1] = values[1];
            out[2] = values[2];
            return TRUE;
        }
        case SPI_GETWORKAREA: {
            if (!pvParam) break;
            *static_cast<RECT*>(pvParam) = Wm().WorkArea();
            return TRUE;
        }
        default:
            break;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}
