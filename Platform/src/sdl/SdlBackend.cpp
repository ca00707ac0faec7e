// Window backend on SDL video: each layer window is mirrored by an SDL window
// of its client size at its client position; borderless without caption or
// sizing frame, always on top for WS_EX_TOPMOST, full screen (at the desktop's
// resolution) when a borderless window covers the whole desktop. Under the
// dummy or offscreen driver the desktop is the fixed headless one and no
// message box is ever shown.
#include <SDL.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/User.h"
#include "sdl/SdlBackend.h"
#include "sdl/WindowPresenter.h"

namespace qndx {
namespace platform {
namespace {

// SDL refuses to make a window larger than 16384 pixels and X sizes are 16-bit
// fields: the host window stays within that, however large the layer's is.
constexpr int kMaxHostExtent = 16384;
int HostExtent(LONG v) { return v < 1 ? 1 : (v > kMaxHostExtent ? kMaxHostExtent : static_cast<int>(v)); }

SDL_SystemCursor SystemCursorFor(PointerShape shape) {
    switch (shape) {
        case PointerShape::IBeam:
            return SDL_SYSTEM_CURSOR_IBEAM;
        case PointerShape::Wait:
            return SDL_SYSTEM_CURSOR_WAIT;
        case PointerShape::Cross:
            return SDL_SYSTEM_CURSOR_CROSSHAIR;
        case PointerShape::SizeNWSE:
            return SDL_SYSTEM_CURSOR_SIZENWSE;
        case PointerShape::SizeNESW:
            return SDL_SYSTEM_CURSOR_SIZENESW;
        case PointerShape::SizeWE:
            return SDL_SYSTEM_CURSOR_SIZEWE;
        case PointerShape::SizeNS:
            return SDL_SYSTEM_CURSOR_SIZENS;
        case PointerShape::SizeAll:
            return SDL_SYSTEM_CURSOR_SIZEALL;
        case PointerShape::No:
            return SDL_SYSTEM_CURSOR_NO;
        case PointerShape::Hand:
            return SDL_SYSTEM_CURSOR_HAND;
        case PointerShape::AppStarting:
            return SDL_SYSTEM_CURSOR_WAITARROW;
        case PointerShape::Arrow:
        case PointerShape::UpArrow:
        default:
            return SDL_SYSTEM_CURSOR_ARROW;
    }
}

class SdlWindowBackend : public WindowBackend {
public:
    explicit SdlWindowBackend(bool headless) : m_headless(headless), m_display(CreateSdlDisplayWindow()) {}

    SdlDisplayWindow* Display() const { return m_display.get(); }

    ~SdlWindowBackend() override {
        m_display->BeforeSurfaceChange();
        for (auto& entry : m_windows) SDL_DestroyWindow(entry.second.window);
        for (auto& entry : m_cursors) SDL_FreeCursor(entry.second);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    const char* Name() const override {
        const char* driver = SDL_GetCurrentVideoDriver();
        return driver ? driver : "sdl";
    }

    bool HostDesktop(SIZE* size, RECT* work) override {
        if (m_headless) return false;
        SDL_DisplayMode mode;
        if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return false;
        *size = SIZE{mode.w, mode.h};
        SDL_Rect usable;
        if (SDL_GetDisplayUsableBounds(0, &usable) == 0)
            *work = RECT{usable.x, usable.y, usable.x + usable.w, usable.y + usable.h};
        else
            *work = RECT{0, 0, mode.w, mode.h};
        return true;
    }

    uint32_t CreateHostWindow(const HostWindowState& s) override {
        Uint32 flags = SDL_WINDOW_HIDDEN;
        if (s.borderless) flags |= SDL_WINDOW_BORDERLESS;
        if (s.topmost) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
        SDL_Window* window = SDL_CreateWindow(s.title.c_str(), static_cast<int>(s.client.left),
                                              static_cast<int>(s.client.top), HostExtent(s.client.right - s.client.left),
                                              HostExtent(s.client.bottom - s.client.top), flags);
        if (!window) {
            std::fprintf(stderr, "window: SDL_CreateWindow failed: %s\n", SDL_GetError());
            return 0;
        }
        HostWindowState applied = s;
        applied.visible = false;
        applied.minimised = false;
        applied.fullScreen = false;
        uint32_t id = SDL_GetWindowID(window);
        m_windows[id] = Entry{window, applied};
        return id;
    }

    void UpdateHostWindow(uint32_t id, const HostWindowState& s) override {
        auto it = m_windows.find(id);
        if (it == m_windows.end()) return;
        SDL_Window* win = it->second.window;
        HostWindowState& a = it->second.applied;
        if (a == s) return;
        // Size and mode changes may replace the window's surface.
        m_display->BeforeSurfaceChange();

        if (a.title != s.title) SDL_SetWindowTitle(win, s.title.c_str());
        const bool leavingFull = a.fullScreen && !s.fullScreen;
        if (leavingFull) SDL_SetWindowFullscreen(win, 0);
        // SDL ignores border and stacking changes of a full-screen window;
        // they wait until it leaves full screen.
        const bool stayingFull = a.fullScreen && s.fullScreen;
        if (!stayingFull) {
            if (a.borderless != s.borderless) SDL_SetWindowBordered(win, s.borderless ? SDL_FALSE : SDL_TRUE);
            if (a.topmost != s.topmost) SDL_SetWindowAlwaysOnTop(win, s.topmost ? SDL_TRUE : SDL_FALSE);
        }
        const int w = HostExtent(s.client.right - s.client.left), h = HostExtent(s.client.bottom - s.client.top);
        const int aw = HostExtent(a.client.right - a.client.left), ah = HostExtent(a.client.bottom - a.client.top);
        if (!s.fullScreen) {
            if (leavingFull || w != aw || h != ah) SDL_SetWindowSize(win, w, h);
            if (leavingFull || s.client.left != a.client.left || s.client.top != a.client.top)
                SDL_SetWindowPosition(win, static_cast<int>(s.client.left), static_cast<int>(s.client.top));
        }
        if (a.visible != s.visible) {
            if (s.visible)
                SDL_ShowWindow(win);
            else
                SDL_HideWindow(win);
        }
        if (s.fullScreen && !a.fullScreen) {
            // Cover the display first: without a window manager the
            // full-screen request alone changes nothing on X11.
            SDL_Rect bounds;
            int display = SDL_GetWindowDisplayIndex(win);
            if (SDL_GetDisplayBounds(display < 0 ? 0 : display, &bounds) == 0) {
                SDL_SetWindowPosition(win, bounds.x, bounds.y);
                SDL_SetWindowSize(win, bounds.w, bounds.h);
            }
            if (SDL_SetWindowFullscreen(win, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
                std::fprintf(stderr, "window: full screen refused: %s\n", SDL_GetError());
        }
        if (a.minimised != s.minimised && s.visible) {
            if (s.minimised)
                SDL_MinimizeWindow(win);
            else
                SDL_RestoreWindow(win);
        }
        const HostWindowState before = a;
        a = s;
        if (stayingFull) {
            a.borderless = before.borderless;
            a.topmost = before.topmost;
        }
        if (!s.visible) a.minimised = before.minimised;  // applied once shown
    }

    void DestroyHostWindow(uint32_t id) override {
        auto it = m_windows.find(id);
        if (it == m_windows.end()) return;
        m_display->BeforeSurfaceChange();
        SDL_DestroyWindow(it->second.window);
        m_windows.erase(it);
    }

    void SetPointer(bool visible, PointerShape shape) override {
        if (visible) {
            SDL_Cursor*& cursor = m_cursors[shape];
            if (!cursor) cursor = SDL_CreateSystemCursor(SystemCursorFor(shape));
            if (cursor) SDL_SetCursor(cursor);
        }
        SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
    }

    bool GetPointer(POINT* pos) override {
        if (m_headless) return false;
        int x = 0, y = 0;
        SDL_GetGlobalMouseState(&x, &y);
        *pos = POINT{x, y};
        return true;
    }

    void WarpPointer(int x, int y) override {
        if (!m_headless) SDL_WarpMouseGlobal(x, y);
    }

    bool ShowMessageBox(const std::string& caption, const std::string& text, UINT type, int* pressed) override {
        if (m_headless || !Interactive()) return false;
        static const SDL_MessageBoxButtonData kOk[] = {
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK, "OK"}};
        static const SDL_MessageBoxButtonData kOkCancel[] = {
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDOK, "OK"},
            {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDCANCEL, "Cancel"}};
        static const SDL_MessageBoxButtonData kAbortRetryIgnore[] = {
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDABORT, "Abort"}, {0, IDRETRY, "Retry"}, {0, IDIGNORE, "Ignore"}};
        static const SDL_MessageBoxButtonData kYesNoCancel[] = {
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"},
            {0, IDNO, "No"},
            {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDCANCEL, "Cancel"}};
        static const SDL_MessageBoxButtonData kYesNo[] = {{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"},
                                                          {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"}};
        static const SDL_MessageBoxButtonData kRetryCancel[] = {
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDRETRY, "Retry"},
            {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDCANCEL, "Cancel"}};

        SDL_MessageBoxData data{};
        switch (type & MB_ICONMASK) {
            case MB_ICONHAND:
                data.flags = SDL_MESSAGEBOX_ERROR;
                break;
            case MB_ICONEXCLAMATION:
                data.flags = SDL_MESSAGEBOX_WARNING;
                break;
            default:
                data.flags = SDL_MESSAGEBOX_INFORMATION;
                break;
        }
        switch (type & MB_TYPEMASK) {
            case MB_OKCANCEL:
                data.buttons = kOkCancel, data.numbuttons = 2;
                break;
            case MB_ABORTRETRYIGNORE:
                data.buttons = kAbortRetryIgnore, data.numbuttons = 3;
                break;
            case MB_YESNOCANCEL:
                data.buttons = kYesNoCancel, data.numbuttons = 3;
                break;
            case MB_YESNO:
                data.buttons = kYesNo, data.numbuttons = 2;
                break;
            case MB_RETRYCANCEL:
                data.buttons = kRetryCancel, data.numbuttons = 2;
                break;
            default:
                data.buttons = kOk, data.numbuttons = 1;
                break;
        }
        data.title = caption.c_str();
        data.message = text.c_str();
        int button = 0;
        if (SDL_ShowMessageBox(&data, &button) != 0) return false;
        *pressed = button > 0 ? button : (data.numbuttons > 1 ? data.buttons[data.numbuttons - 1].buttonid : IDOK);
        return true;
    }

private:
    struct Entry {
        SDL_Window* window;
        HostWindowState applied;
    };

    // Someone can answer a box: a terminal on standard input and not a CI run.
    static bool Interactive() {
        const char* ci = std::getenv("CI");
        if (ci && *ci) return false;
        return isatty(STDIN_FILENO) != 0;
    }

    bool m_headless;
    std::unique_ptr<SdlDisplayWindow> m_display;
    std::map<uint32_t, Entry> m_windows;
    std::map<PointerShape, SDL_Cursor*> m_cursors;
};

}  // namespace

std::unique_ptr<WindowBackend> CreateSdlWindowBackend(DisplayWindow** display) {
    // SDL would turn every SIGINT and SIGTERM into a quit event that only a
    // running message loop sees; a process that is not pumping (a hung test,
    // a timeout) must still end when told to. The program's entry point
    // installs handlers of our own instead (user/StopSignals.h).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "window: no SDL video (%s)\n", SDL_GetError());
        return nullptr;
    }
    // Keys reach the program as key events; no text-input machinery needed.
    SDL_StopTextInput();
    const char* driver = SDL_GetCurrentVideoDriver();
    bool headless = !driver || std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0;
    SdlWindowBackend* backend = new SdlWindowBackend(headless);
    *display = backend->Display();
    return std::unique_ptr<WindowBackend>(backend);
}

}  // namespace platform
}  // namespace qndx
