// The contract between the window manager (authoritative, above) and the host
// window system (below). A backend only mirrors what the manager decided: it
// makes, updates and removes host windows, reports the host desktop, shows the
// pointer and message boxes. Events come back through the shared event pump
// (user/HostEvents.h). Two backends: SDL (a real or dummy SDL video driver)
// and null (no SDL video at all); CreateWindowBackend picks one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Types.h"

namespace qndx {
namespace platform {

// What a host window should look like. The client rectangle is in screen
// coordinates; the host window has the client size.
struct HostWindowState {
    std::string title;
    RECT client{0, 0, 0, 0};
    bool visible = false;
    bool minimised = false;
    bool borderless = false;
    bool topmost = false;
    bool fullScreen = false;  // covers the whole display

    bool operator==(const HostWindowState& o) const {
        return title == o.title && client.left == o.client.left && client.top == o.client.top &&
               client.right == o.client.right && client.bottom == o.client.bottom && visible == o.visible &&
               minimised == o.minimised && borderless == o.borderless && topmost == o.topmost &&
               fullScreen == o.fullScreen;
    }
    bool operator!=(const HostWindowState& o) const { return !(*this == o); }
};

// Stock pointer shapes the backend can show (the stock cursor resource ids).
enum class PointerShape { Arrow, IBeam, Wait, Cross, UpArrow, SizeNWSE, SizeNESW, SizeWE, SizeNS, SizeAll, No, Hand, AppStarting };

class WindowBackend {
public:
    virtual ~WindowBackend() = default;

    virtual const char* Name() const = 0;
    // The host has a real desktop (not the dummy driver, not headless); its
    // size and usable area go to *size and *work.
    virtual bool HostDesktop(SIZE* size, RECT* work) = 0;

    // Makes a hidden host window; returns its id (never 0) or 0 on failure.
    virtual uint32_t CreateHostWindow(const HostWindowState& state) = 0;
    // Brings the host window to `state`, changing only what differs from what
    // it last applied.
    virtual void UpdateHostWindow(uint32_t id, const HostWindowState& state) = 0;
    virtual void DestroyHostWindow(uint32_t id) = 0;

    // Pointer: shown or hidden, and its shape while shown.
    virtual void SetPointer(bool visible, PointerShape shape) = 0;
    // Host pointer position in screen coordinates; false when the host has none.
    virtual bool GetPointer(POINT* pos) = 0;
    virtual void WarpPointer(int x, int y) = 0;

    // Shows a blocking message box when the run is interactive with a display;
    // false (nothing shown) otherwise. *pressed receives the ID* of the button.
    virtual bool ShowMessageBox(const std::string& caption, const std::string& text, UINT type, int* pressed) = 0;
};

// Defined where the backend is chosen (sdl/BackendChoice.cpp): SDL when SDL
// video starts (any driver), else the null backend.
std::unique_ptr<WindowBackend> CreateWindowBackend();

std::unique_ptr<WindowBackend> CreateNullWindowBackend();

}  // namespace platform
}  // namespace qndx
