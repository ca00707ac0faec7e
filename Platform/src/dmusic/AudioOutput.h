// Where a performance's mix goes: an SDL audio device, or, without one, a
// null output that renders in real time and drops the result (so that what
// plays and for how long stays right on machines with no sound card). While
// the test panel renders offline a performance has no output at all.
#pragma once

#include <memory>
#include <string>

namespace qndx {
namespace platform {
namespace audio {

class Mixer;

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    virtual const char* Name() const = 0;
};

// The one place the output is chosen: SDL when a device opens, else null.
// The output calls mixer->Render from its own thread until destroyed.
std::unique_ptr<AudioOutput> OpenAudioOutput(Mixer* mixer);

// Null (with the reason in *why) when SDL has no device to give.
std::unique_ptr<AudioOutput> OpenSdlAudioOutput(Mixer* mixer, std::string* why);
std::unique_ptr<AudioOutput> OpenNullAudioOutput(Mixer* mixer);

}  // namespace audio
}  // namespace platform
}  // namespace qndx
