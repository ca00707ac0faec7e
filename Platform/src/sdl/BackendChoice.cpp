// The one place the backends are chosen. Windows: SDL video when it starts
// (a real display, or the dummy/offscreen driver for headless runs), else the
// null backend that keeps windows in memory only; DirectDraw's display window
// comes with that choice. Game controllers: SDL's joysticks, else none.
// Sound: an SDL audio device, else the null output that keeps real time.
#include <atomic>
#include <cstdio>
#include <string>

#include "ddraw/DisplayWindow.h"
#include "sdl/SdlBackend.h"
#include "user/WindowBackend.h"
#include "user/WindowManager.h"

namespace qndx {
namespace platform {

namespace {

DisplayWindow*& ChosenDisplay() {
    static DisplayWindow* chosen = nullptr;
    return chosen;
}

// Says which output sound plays on, once: again only when that changes.
void AnnounceAudio(bool device, const std::string& line) {
    static std::atomic<int> last{-1};
    if (last.exchange(device ? 1 : 0) != (device ? 1 : 0)) std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace

std::unique_ptr<WindowBackend> CreateWindowBackend() {
    DisplayWindow* display = nullptr;
    std::unique_ptr<WindowBackend> backend = CreateSdlWindowBackend(&display);
    if (backend) {
        ChosenDisplay() = display;
        return backend;
    }
    std::fprintf(stderr, "window: running without a display; windows are kept in memory only\n");
    ChosenDisplay() = &NullDisplayWindow();
    return CreateNullWindowBackend();
}

DisplayWindow& ChosenDisplayWindow() {
    // The window manager makes its backend once, on first need.
    if (!ChosenDisplay()) Wm().Backend();
    return *ChosenDisplay();
}

std::unique_ptr<dinput::ControllerBackend> dinput::MakeControllerBackend() {
    std::string why;
    if (auto sdl = CreateSdlControllerBackend(&why)) return sdl;
    std::fprintf(stderr, "DirectInput: no game controllers (SDL joystick start failed: %s)\n", why.c_str());
    return MakeNullControllerBackend();
}

std::unique_ptr<audio::AudioOutput> audio::OpenAudioOutput(FrameSource* source, int rate) {
    std::string note;
    if (auto sdl = OpenSdlAudioOutput(source, rate, &note)) {
        AnnounceAudio(true, "dmusic: sound plays on the audio device (" + note + ")");
        return sdl;
    }
    AnnounceAudio(false, "dmusic: no audio device (" + note + "); sound runs on the null output");
    return OpenNullAudioOutput(source, rate);
}

}  // namespace platform
}  // namespace qndx
