// The audio device output (dmusic/AudioOutput.h) on SDL's audio: a device
// opened for float stereo at the mixer's rate (SDL converts when the device
// wants another), whose callback pulls the mix and keeps it within the
// device's range.
#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <memory>
#include <string>

#include "sdl/SdlBackend.h"

namespace qndx {
namespace platform {
namespace {

using audio::AudioOutput;
using audio::FrameSource;

class SdlAudioOutput : public AudioOutput {
public:
    explicit SdlAudioOutput(FrameSource* source) : m_source(source) {}
    // Made after SDL's audio is initialised; closes what it opened and
    // balances that initialisation.
    ~SdlAudioOutput() override {
        if (m_device) SDL_CloseAudioDevice(m_device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    const char* Name() const override { return "sdl"; }

    static void Callback(void* userdata, Uint8* stream, int len) {
        auto* self = static_cast<SdlAudioOutput*>(userdata);
        float* out = reinterpret_cast<float*>(stream);
        const size_t frames = (size_t)len / (2 * sizeof(float));
        self->m_source->Render(out, frames);
        for (size_t i = 0; i < 2 * frames; ++i) out[i] = std::min(1.0f, std::max(-1.0f, out[i]));
    }

    FrameSource* m_source;
    SDL_AudioDeviceID m_device = 0;
};

// While SDL looks for a device, ALSA prints its own complaints (no card, no
// default PCM: nine lines on a machine without sound) on standard error; the
// engine's own line says what came of it. ALSA's error handler is silenced
// for that time through the library SDL uses, when it is there at all.
class QuietAlsa {
public:
    QuietAlsa() {
        m_library = dlopen("libasound.so.2", RTLD_LAZY | RTLD_LOCAL);
        if (m_library) m_setHandler = reinterpret_cast<SetHandler>(dlsym(m_library, "snd_lib_error_set_handler"));
        if (m_setHandler) m_setHandler(&Drop);
    }
    ~QuietAlsa() {
        if (m_setHandler) m_setHandler(nullptr);  // ALSA's own reporting again
        if (m_library) dlclose(m_library);
    }
    QuietAlsa(const QuietAlsa&) = delete;
    QuietAlsa& operator=(const QuietAlsa&) = delete;

private:
    typedef void (*Handler)(const char* file, int line, const char* function, int err, const char* fmt, ...);
    typedef int (*SetHandler)(Handler);
    static void Drop(const char*, int, const char*, int, const char*, ...) {}

    void* m_library = nullptr;
    SetHandler m_setHandler = nullptr;
};

}  // namespace

std::unique_ptr<AudioOutput> OpenSdlAudioOutput(FrameSource* source, int rate, std::string* note) {
    QuietAlsa quiet;  // outlives the output below, whose failure path closes SDL's audio again
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        *note = SDL_GetError();
        return nullptr;
    }
    auto output = std::make_unique<SdlAudioOutput>(source);
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = rate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = &SdlAudioOutput::Callback;
    want.userdata = output.get();
    SDL_AudioSpec have;
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        *note = SDL_GetError();
        return nullptr;
    }
    output->m_device = device;
    SDL_PauseAudioDevice(device, 0);
    const char* driver = SDL_GetCurrentAudioDriver();
    *note = std::string("SDL driver ") + (driver ? driver : "unknown");
    return output;
}

}  // namespace platform
}  // namespace qndx
