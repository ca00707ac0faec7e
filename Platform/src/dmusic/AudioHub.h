// The process-wide list of initialised performances and the output each one
// has, so that the test panel can switch every performance to offline
// rendering and render them; also the panel's SoundFont choice.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dmusic/AudioOutput.h"

namespace qndx {
namespace platform {
namespace audio {

class Mixer;

class AudioHub {
public:
    static AudioHub& Get();

    // A performance's mixer starts on the current output (none while
    // offline) and stops when detached; Detach returns once the output has
    // stopped calling the mixer.
    void Attach(Mixer* mixer);
    void Detach(Mixer* mixer);

    void SetOffline(bool offline);
    bool Offline();
    std::vector<float> Render(size_t frames);
    int Live();
    std::string OutputName();

    void SetSoundFont(const std::string& path);
    std::string SoundFont();

    void Reset();

private:
    AudioHub() = default;

    struct Entry {
        Mixer* mixer;
        std::unique_ptr<AudioOutput> output;
    };
    std::mutex m_lock;
    std::vector<Entry> m_entries;
    bool m_offline = false;
    std::string m_soundFont;
};

}  // namespace audio
}  // namespace platform
}  // namespace qndx
