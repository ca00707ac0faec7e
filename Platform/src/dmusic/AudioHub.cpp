// The list of running performances, the offline switch and the test panel's
// audio calls.
#include "dmusic/AudioHub.h"

#include "dmusic/Mixer.h"
#include "platform/sim/Audio.h"
#include "sim/SimInternal.h"

namespace qndx {
namespace platform {
namespace audio {
namespace {

void ResetAudio() { AudioHub::Get().Reset(); }

}  // namespace

AudioHub& AudioHub::Get() {
    // Outlives static destructors: a performance released at exit still
    // finds it.
    static AudioHub* hub = [] {
        qndx::sim::internal::AddResetHook(&ResetAudio);
        return new AudioHub();
    }();
    return *hub;
}

void AudioHub::Attach(Mixer* mixer) {
    std::lock_guard<std::mutex> guard(m_lock);
    Entry entry{mixer, nullptr};
    if (!m_offline) entry.output = OpenAudioOutput(mixer, kMixRate);
    m_entries.push_back(std::move(entry));
}

void AudioHub::Detach(Mixer* mixer) {
    std::unique_ptr<AudioOutput> output;
    std::lock_guard<std::mutex> guard(m_lock);
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->mixer == mixer) {
            output = std::move(it->output);
            m_entries.erase(it);
            break;
        }
    }
    output.reset();
}

void AudioHub::SetOffline(bool offline) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_offline == offline) return;
    m_offline = offline;
    for (Entry& e : m_entries) {
        if (offline)
            e.output.reset();
        else if (!e.output)
            e.output = OpenAudioOutput(e.mixer, kMixRate);
    }
}

bool AudioHub::Offline() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_offline;
}

std::vector<float> AudioHub::Render(size_t frames) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_offline) return {};
    std::vector<float> mix(2 * frames, 0.0f), one(2 * frames);
    for (Entry& e : m_entries) {
        e.mixer->Render(one.data(), frames);
        for (size_t i = 0; i < mix.size(); ++i) mix[i] += one[i];
    }
    return mix;
}

int AudioHub::Live() {
    std::lock_guard<std::mutex> guard(m_lock);
    return (int)m_entries.size();
}

std::string AudioHub::OutputName() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_entries.empty()) return std::string();
    const Entry& last = m_entries.back();
    if (!last.output) return "offline";
    return last.output->Name();
}

void AudioHub::SetSoundFont(const std::string& path) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_soundFont = path;
}

std::string AudioHub::SoundFont() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_soundFont;
}

void AudioHub::Reset() {
    SetOffline(false);
    SetSoundFont(std::string());
}

}  // namespace audio
}  // namespace platform
}  // namespace qndx

namespace qndx {
namespace sim {

using platform::audio::AudioHub;

void SetAudioOffline(bool offline) { AudioHub::Get().SetOffline(offline); }
bool AudioOffline() { return AudioHub::Get().Offline(); }
std::vector<float> RenderAudio(size_t frames) { return AudioHub::Get().Render(frames); }
int LivePerformances() { return AudioHub::Get().Live(); }
std::string AudioOutputName() { return AudioHub::Get().OutputName(); }
void SetSoundFont(const char* path) { AudioHub::Get().SetSoundFont(path ? path : ""); }
std::string SoundFontPath() { return platform::audio::FindSoundFont(); }
bool MidiAvailable() { return platform::audio::MidiSupported(); }

}  // namespace sim
}  // namespace qndx
