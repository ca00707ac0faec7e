// FluidSynth behind the MIDI bank and the MIDI voice source. Without
// FluidSynth in the build, MIDI segments load but refuse to download, with
// a line saying why.
#include "dmusic/MidiSynth.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>

#include "dmusic/AudioHub.h"
#include "platform/DirectMusic.h"

#ifdef QNDX_HAVE_FLUIDSYNTH
#include <fluidsynth.h>
#endif

namespace qndx {
namespace platform {
namespace audio {
namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string FindSoundFont() {
    const std::string chosen = AudioHub::Get().SoundFont();
    if (!chosen.empty()) return IsRegularFile(chosen) ? chosen : std::string();
    static const char* const kCandidates[] = {
        "/usr/share/sounds/sf2/TimGM6mb.sf2",
        "/usr/share/sounds/sf2/default-GM.sf2",
        "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    };
    for (const char* c : kCandidates)
        if (IsRegularFile(c)) return c;
    return std::string();
}

#ifdef QNDX_HAVE_FLUIDSYNTH

namespace {

constexpr int kBlock = 64;                       // frames per synthesiser call
constexpr size_t kMaxTailFrames = 2 * kMixRate;  // release and reverb after the last event

void LogToStderr(int level, const char* message, void*) {
    std::fprintf(stderr, "dmusic: FluidSynth %s: %s\n", level == FLUID_PANIC ? "panic" : "error", message);
}

void QuietFluidSynth() {
    static std::once_flag once;
    std::call_once(once, [] {
        fluid_set_log_function(FLUID_PANIC, LogToStderr, nullptr);
        fluid_set_log_function(FLUID_ERR, LogToStderr, nullptr);
        fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
        fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
        fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
    });
}

class FluidMidiSource : public VoiceSource {
public:
    FluidMidiSource(fluid_synth_t* synth, fluid_player_t* player, DWORD pchannels)
        : m_synth(synth), m_player(player), m_pchannels(pchannels) {}
    ~FluidMidiSource() override {
        delete_fluid_player(m_player);
        delete_fluid_synth(m_synth);
    }

    static int FilterEvent(void* data, fluid_midi_event_t* event) {
        auto* self = static_cast<FluidMidiSource*>(data);
        const int type = fluid_midi_event_get_type(event);
        if (type >= 0x80 && type < 0xF0 && (DWORD)fluid_midi_event_get_channel(event) >= self->m_pchannels)
            return FLUID_OK;
        return fluid_synth_handle_midi_event(self->m_synth, event);
    }

    size_t Pull(float* out, size_t frames, const RenderContext& ctx) override {
        size_t done = 0;
        while (done < frames) {
            if (m_blockPos == m_blockLen) {
                if (m_finished) break;
                if (ctx.tempo <= 0.0f) {
                    // The music clock stands still: nothing advances.
                    std::fill(out + 2 * done, out + 2 * frames, 0.0f);
                    return frames;
                }
                RenderBlock(ctx.tempo);
            }
            const size_t n = std::min(frames - done, (size_t)(m_blockLen - m_blockPos));
            for (size_t i = 0; i < n; ++i) {
                out[2 * (done + i)] = m_left[m_blockPos + i];
                out[2 * (done + i) + 1] = m_right[m_blockPos + i];
            }
            m_blockPos += (int)n;
            done += n;
        }
        return done;
    }

private:
    void RenderBlock(float tempo) {
        if (tempo != m_tempo) {
            const double factor = std::min(1000.0, std::max(0.001, (double)tempo));
            fluid_player_set_tempo(m_player, FLUID_PLAYER_TEMPO_INTERNAL, factor);
            m_tempo = tempo;
        }
        fluid_synth_write_float(m_synth, kBlock, m_left, 0, 1, m_right, 0, 1);
        m_blockPos = 0;
        m_blockLen = kBlock;
        if (!m_musicDone) m_musicDone = MusicOver();
        if (m_musicDone) {
            float peak = 0;
            for (int i = 0; i < kBlock; ++i)
                peak = std::max(peak, std::max(std::fabs(m_left[i]), std::fabs(m_right[i])));
            m_tail += kBlock;
            if (peak < 1e-5f || m_tail >= kMaxTailFrames) m_finished = true;
        }
    }

    // The player keeps counting ticks after its last event without saying
    // it is done, so the end is found from the ticks: a pass ends when the
    // tick count wraps, and the music is over when the last pass has passed
    // the file's last tick.
    bool MusicOver() {
        if (fluid_player_get_status(m_player) == FLUID_PLAYER_DONE) return true;
        const int tick = fluid_player_get_current_tick(m_player);
        if (tick < m_lastTick) ++m_passes;
        m_lastTick = tick;
        return m_loops >= 0 && m_passes >= m_loops - 1 && tick >= fluid_player_get_total_ticks(m_player);
    }

public:
    void SetLoops(int loops) { m_loops = loops; }

private:
    fluid_synth_t* m_synth;
    fluid_player_t* m_player;
    DWORD m_pchannels;
    int m_loops = 1;  // passes in all; -1 for ever
    int m_passes = 0;
    int m_lastTick = 0;
    bool m_musicDone = false;
    float m_left[kBlock] = {};
    float m_right[kBlock] = {};
    int m_blockPos = 0;
    int m_blockLen = 0;
    size_t m_tail = 0;
    bool m_finished = false;
    float m_tempo = 1.0f;
};

}  // namespace

struct MidiBank::Impl {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* keeper = nullptr;  // holds the SoundFont's samples in the shared cache
    std::string soundFont;
    std::mutex lock;

    ~Impl() {
        if (keeper) delete_fluid_synth(keeper);
        if (settings) delete_fluid_settings(settings);
    }

    fluid_synth_t* NewSynth() {
        fluid_synth_t* synth = new_fluid_synth(settings);
        if (!synth) return nullptr;
        if (fluid_synth_sfload(synth, soundFont.c_str(), 1) == FLUID_FAILED) {
            delete_fluid_synth(synth);
            return nullptr;
        }
        return synth;
    }
};

bool MidiSupported() { return !FindSoundFont().empty(); }

MidiBank::MidiBank(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
MidiBank::~MidiBank() = default;

std::unique_ptr<MidiBank> MidiBank::Open(HRESULT* hr) {
    QuietFluidSynth();
    auto impl = std::make_unique<Impl>();
    impl->soundFont = FindSoundFont();
    if (impl->soundFont.empty()) {
        std::fprintf(stderr, "dmusic: no General MIDI SoundFont found (install timgm6mb-soundfont)\n");
        *hr = DMUS_E_DRIVER_FAILED;
        return nullptr;
    }
    impl->settings = new_fluid_settings();
    if (!impl->settings) {
        *hr = E_OUTOFMEMORY;
        return nullptr;
    }
    fluid_settings_setnum(impl->settings, "synth.sample-rate", (double)kMixRate);
    fluid_settings_setstr(impl->settings, "player.timing-source", "sample");
    fluid_settings_setint(impl->settings, "synth.cpu-cores", 1);
    fluid_settings_setint(impl->settings, "synth.lock-memory", 0);
    fluid_settings_setint(impl->settings, "player.reset-synth", 1);
    impl->keeper = impl->NewSynth();
    if (!impl->keeper) {
        std::fprintf(stderr, "dmusic: the SoundFont %s cannot be loaded\n", impl->soundFont.c_str());
        *hr = DMUS_E_DRIVER_FAILED;
        return nullptr;
    }
    *hr = S_OK;
    return std::unique_ptr<MidiBank>(new MidiBank(std::move(impl)));
}

std::unique_ptr<VoiceSource> MidiBank::CreateSource(const std::shared_ptr<const std::vector<uint8_t>>& midi,
                                                    DWORD repeats, DWORD pchannels, HRESULT* hr) {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    fluid_synth_t* synth = m_impl->NewSynth();
    if (!synth) {
        *hr = DMUS_E_DRIVER_FAILED;
        return nullptr;
    }
    fluid_player_t* player = new_fluid_player(synth);
    if (!player) {
        delete_fluid_synth(synth);
        *hr = E_OUTOFMEMORY;
        return nullptr;
    }
    auto source = std::make_unique<FluidMidiSource>(synth, player, pchannels);
    if (fluid_player_add_mem(player, midi->data(), midi->size()) != FLUID_OK) {
        *hr = DMUS_E_INVALIDFILE;
        return nullptr;
    }
    const int loops = repeats == DMUS_SEG_REPEAT_INFINITE ? -1 : (int)std::min<DWORD>(repeats, 0x7FFFFFFE) + 1;
    fluid_player_set_loop(player, loops);
    source->SetLoops(loops);
    fluid_player_set_playback_callback(player, &FluidMidiSource::FilterEvent, source.get());
    if (fluid_player_play(player) != FLUID_OK) {
        *hr = DMUS_E_DRIVER_FAILED;
        return nullptr;
    }
    *hr = S_OK;
    return source;
}

#else  // no FluidSynth

struct MidiBank::Impl {};

bool MidiSupported() { return false; }

MidiBank::MidiBank(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
MidiBank::~MidiBank() = default;

std::unique_ptr<MidiBank> MidiBank::Open(HRESULT* hr) {
    std::fprintf(stderr, "dmusic: MIDI needs FluidSynth, which this build does not have\n");
    *hr = DMUS_E_DRIVER_FAILED;
    return nullptr;
}

std::unique_ptr<VoiceSource> MidiBank::CreateSource(const std::shared_ptr<const std::vector<uint8_t>>&, DWORD, DWORD,
                                                    HRESULT* hr) {
    *hr = DMUS_E_DRIVER_FAILED;
    return nullptr;
}

#endif

}  // namespace audio
}  // namespace platform
}  // namespace qndx
