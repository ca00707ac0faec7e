// MessageBoxA: the caption and text always go to standard error and to the
// sim panel's record; a real box appears only when the backend finds an
// interactive run with a display, so a test or CI run never blocks here.
#include <cstdio>
#include <string>

#include "sim/SimInternal.h"
#include "user/WindowManager.h"

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    std::string c = caption && !IS_INTRESOURCE(caption) ? caption : "Error";
    std::string t = text && !IS_INTRESOURCE(text) ? text : "";
    std::fprintf(stderr, "[%s] %s\n", c.c_str(), t.c_str());
    std::fflush(stderr);
    qndx::sim::internal::Record("MessageBoxA", [&] { return c + ", " + t; });

    qndx::platform::WindowManager& wm = qndx::platform::Wm();
    wm.RecordMessageBox(owner, c, t, type);
    int pressed = 0;
    if (wm.Backend().ShowMessageBox(c, t, type, &pressed) && pressed) return pressed;
    // Nobody to ask: the first button of the set answers.
    switch (type & MB_TYPEMASK) {
        case MB_ABORTRETRYIGNORE:
            return IDABORT;
        case MB_YESNO:
        case MB_YESNOCANCEL:
            return IDYES;
        case MB_RETRYCANCEL:
            return IDRETRY;
        default:
            return IDOK;
    }
}
