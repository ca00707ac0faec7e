// The one reader of SDL's event queue. Each pump takes everything SDL has,
// behind any injected events, and handles it in order: window events change
// the window manager (activation, minimising, close, exposure), input events
// go to the input listener or wait for one. A stop signal recorded since the
// last pump asks the program to end first. Runs on the main thread only.
#include <SDL.h>
#include <signal.h>

#include <cstdio>
#include <deque>

#include "sdl/InputEvents.h"
#include "sim/SimInternal.h"
#include "user/HostEvents.h"
#include "user/StopSignals.h"
#include "user/WindowManager.h"

namespace qndx {
namespace platform {
namespace {

// Waiting input events are bounded so a program without an input side cannot
// grow without limit; the bound is far above what a frame ever produces.
constexpr size_t kMaxWaiting = 1u << 16;

class EventPump {
public:
    static EventPump& Get() {
        static EventPump* pump = [] {
            sim::internal::AddResetHook(&ResetHook);
            return new EventPump();
        }();
        return *pump;
    }

    void Pump() {
        if (m_pumping) return;  // a procedure called from inside the pump peeks again
        m_pumping = true;
        if (const int sig = TakeStopSignal()) {
            std::fprintf(stderr, "window: %s received: the program is asked to close\n",
                         sig == SIGINT ? "SIGINT" : sig == SIGTERM ? "SIGTERM" : sig == SIGHUP ? "SIGHUP" : "a signal");
            AskToEnd();
        }
        if (SDL_WasInit(SDL_INIT_EVENTS)) {
            SDL_PumpEvents();
            SDL_Event batch[64];
            int n;
            while ((n = SDL_PeepEvents(batch, 64, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT)) > 0)
                m_pending.insert(m_pending.end(), batch, batch + n);
        }
        while (!m_pending.empty()) {
            SDL_Event e = m_pending.front();
            m_pending.pop_front();
            Handle(e);
        }
        m_pumping = false;
    }

    void Queue(const SDL_Event& e) { m_pending.push_back(e); }

    void SetListener(InputEventListener* listener) {
        m_listener = listener;
        while (m_listener && !m_waiting.empty()) {
            SDL_Event e = m_waiting.front();
            m_waiting.pop_front();
            m_listener->OnSdlEvent(e);
        }
    }

    InputEventListener* Listener() const { return m_listener; }

    void DeliverInput(const SDL_Event& e) {
        if (m_listener) {
            m_listener->OnSdlEvent(e);
            return;
        }
        if (m_waiting.size() >= kMaxWaiting) {
            if (!m_warnedOverflow)
                std::fprintf(stderr, "input events: nobody reads them; the oldest are being dropped\n");
            m_warnedOverflow = true;
            m_waiting.pop_front();
        }
        m_waiting.push_back(e);
    }

    void Discard() {
        m_pending.clear();
        if (SDL_WasInit(SDL_INIT_EVENTS)) {
            SDL_PumpEvents();
            SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        }
    }

private:
    static void ResetHook() {
        EventPump& p = Get();
        p.Discard();
        p.m_waiting.clear();
        p.m_warnedOverflow = false;
    }

    // Every window is asked to close; a program without one is told to quit.
    static void AskToEnd() {
        WindowManager& wm = Wm();
        std::vector<HWND> windows = wm.Windows();
        for (HWND h : windows) wm.Post(h, WM_CLOSE, 0, 0);
        if (windows.empty()) wm.PostQuit(0);
    }

    void Handle(const SDL_Event& e) {
        WindowManager& wm = Wm();
        switch (e.type) {
            case SDL_WINDOWEVENT: {
                WindowRec* w = wm.FindByHostId(e.window.windowID);
                if (!w) return;
                HWND h = w->hwnd;
                switch (e.window.event) {
                    case SDL_WINDOWEVENT_FOCUS_GAINED:
                        wm.OnHostFocus(h, true);
                        break;
                    case SDL_WINDOWEVENT_FOCUS_LOST:
                        wm.OnHostFocus(h, false);
                        break;
                    case SDL_WINDOWEVENT_MINIMIZED:
                        wm.SetMinimised(h, true);
                        break;
                    case SDL_WINDOWEVENT_RESTORED:
                    case SDL_WINDOWEVENT_MAXIMIZED:
                        wm.SetMinimised(h, false);
                        break;
                    case SDL_WINDOWEVENT_CLOSE:
                        wm.Post(h, WM_CLOSE, 0, 0);
                        break;
                    case SDL_WINDOWEVENT_EXPOSED:
                        wm.Invalidate(h, nullptr);
                        break;
                    case SDL_WINDOWEVENT_ENTER:
                        wm.Send(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
                        break;
                    default:
                        // Moves and resizes of the host window are not taken
                        // back: the window manager's rectangles stay authoritative.
                        break;
                }
                return;
            }
            case SDL_QUIT:
                // The desktop asks the program to end (its last window was
                // closed).
                AskToEnd();
                return;
            case SDL_DROPFILE:
            case SDL_DROPTEXT:
                SDL_free(e.drop.file);
                return;
            default:
                if (IsInputEvent(e)) DeliverInput(e);
                return;
        }
    }

    std::deque<SDL_Event> m_pending;
    std::deque<SDL_Event> m_waiting;
    InputEventListener* m_listener = nullptr;
    bool m_pumping = false;
    bool m_warnedOverflow = false;
};

}  // namespace

void SetInputEventListener(InputEventListener* listener) { EventPump::Get().SetListener(listener); }

InputEventListener* GetInputEventListener() { return EventPump::Get().Listener(); }

void PumpHostEvents() { EventPump::Get().Pump(); }

void WaitForHostEvents(int ms) {
    if (SDL_WasInit(SDL_INIT_EVENTS))
        SDL_WaitEventTimeout(nullptr, ms);
    else
        SDL_Delay(static_cast<Uint32>(ms));
}

void QueueHostWindowEvent(uint32_t hostId, HostWindowEvent event) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.timestamp = SDL_GetTicks();
    e.window.windowID = hostId;
    switch (event) {
        case HostWindowEvent::FocusGained: e.window.event = SDL_WINDOWEVENT_FOCUS_GAINED; break;
        case HostWindowEvent::FocusLost: e.window.event = SDL_WINDOWEVENT_FOCUS_LOST; break;
        case HostWindowEvent::Minimised: e.window.event = SDL_WINDOWEVENT_MINIMIZED; break;
        case HostWindowEvent::Restored: e.window.event = SDL_WINDOWEVENT_RESTORED; break;
        case HostWindowEvent::Close: e.window.event = SDL_WINDOWEVENT_CLOSE; break;
        case HostWindowEvent::Exposed: e.window.event = SDL_WINDOWEVENT_EXPOSED; break;
    }
    EventPump::Get().Queue(e);
}

void QueueSdlEvent(const SDL_Event& event) { EventPump::Get().Queue(event); }

bool IsInputEvent(const SDL_Event& e) {
    switch (e.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
        case SDL_MOUSEMOTION:
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
        case SDL_MOUSEWHEEL:
        case SDL_JOYAXISMOTION:
        case SDL_JOYBALLMOTION:
        case SDL_JOYHATMOTION:
        case SDL_JOYBUTTONDOWN:
        case SDL_JOYBUTTONUP:
        case SDL_JOYDEVICEADDED:
        case SDL_JOYDEVICEREMOVED:
        case SDL_JOYBATTERYUPDATED:
        case SDL_CONTROLLERAXISMOTION:
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
        case SDL_CONTROLLERDEVICEADDED:
        case SDL_CONTROLLERDEVICEREMOVED:
        case SDL_CONTROLLERDEVICEREMAPPED:
            return true;
        case SDL_WINDOWEVENT:
            return e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED || e.window.event == SDL_WINDOWEVENT_FOCUS_LOST;
        default:
            return false;
    }
}

void ReportFocusToInput(uint32_t windowId, bool gained) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.timestamp = SDL_GetTicks();
    e.window.windowID = windowId;
    e.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
    EventPump::Get().DeliverInput(e);
}

void DiscardPendingWindowEvents() { EventPump::Get().Discard(); }

}  // namespace platform
}  // namespace qndx
