// The SDL device output and the real-time null output, and the one line
// that says which of them a performance plays on.
#include "dmusic/AudioOutput.h"

#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dmusic/Mixer.h"

namespace qndx {
namespace platform {
namespace audio {
namespace {

class SdlAudioOutput : public AudioOutput {
public:
    SdlAudioOutput(Mixer* mixer, SDL_AudioDeviceID device) : m_mixer(mixer), m_device(device) {}
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
        self->m_mixer->Render(out, frames);
        for (size_t i = 0; i < 2 * frames; ++i) out[i] = std::min(1.0f, std::max(-1.0f, out[i]));
    }

    Mixer* m_mixer;
    SDL_AudioDeviceID m_device;
};

class NullAudioOutput : public AudioOutput {
public:
    explicit NullAudioOutput(Mixer* mixer) : m_mixer(mixer) {
        m_thread = std::thread([this] { Run(); });
    }
    ~NullAudioOutput() override {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    const char* Name() const override { return "null"; }

private:
    void Run() {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point begin = Clock::now();
        int64_t rendered = 0;
        std::vector<float> scratch;
        std::unique_lock<std::mutex> lock(m_lock);
        while (!m_stop) {
            m_wake.wait_for(lock, std::chrono::milliseconds(10));
            if (m_stop) break;
            lock.unlock();
            const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
            int64_t due = (int64_t)(seconds * kMixRate) - rendered;
            // After a long stall, catch up at most one second.
            if (due > kMixRate) {
                rendered += due - kMixRate;
                due = kMixRate;
            }
            while (due > 0) {
                const size_t n = (size_t)std::min<int64_t>(due, 4096);
                scratch.resize(2 * n);
                m_mixer->Render(scratch.data(), n);
                rendered += (int64_t)n;
                due -= (int64_t)n;
            }
            lock.lock();
        }
    }

    Mixer* m_mixer;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
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

// Says which output sound plays on, once: again only when that changes.
void Announce(bool device, const std::string& line) {
    static std::atomic<int> last{-1};
    if (last.exchange(device ? 1 : 0) != (device ? 1 : 0)) std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace

std::unique_ptr<AudioOutput> OpenSdlAudioOutput(Mixer* mixer, std::string* why) {
    QuietAlsa quiet;  // outlives the output below, whose failure path closes SDL's audio again
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        *why = SDL_GetError();
        return nullptr;
    }
    auto output = std::make_unique<SdlAudioOutput>(mixer, 0);
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = kMixRate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = &SdlAudioOutput::Callback;
    want.userdata = output.get();
    SDL_AudioSpec have;
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        *why = SDL_GetError();
        return nullptr;
    }
    output->m_device = device;
    SDL_PauseAudioDevice(device, 0);
    return output;
}

std::unique_ptr<AudioOutput> OpenNullAudioOutput(Mixer* mixer) { return std::make_unique<NullAudioOutput>(mixer); }

std::unique_ptr<AudioOutput> OpenAudioOutput(Mixer* mixer) {
    std::string why;
    if (auto sdl = OpenSdlAudioOutput(mixer, &why)) {
        const char* driver = SDL_GetCurrentAudioDriver();
        Announce(true, std::string("dmusic: sound plays on the audio device (SDL driver ") +
                           (driver ? driver : "unknown") + ")");
        return sdl;
    }
    Announce(false, "dmusic: no audio device (" + why + "); sound runs on the null output");
    return OpenNullAudioOutput(mixer);
}

}  // namespace audio
}  // namespace platform
}  // namespace qndx
