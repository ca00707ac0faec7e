// Where a performance's mix goes: an audio device (sdl/), or, without one, a
// null output that renders in real time and drops the result (so that what
// plays and for how long stays right on machines with no sound card). While
// the test panel renders offline a performance has no output at all.
#pragma once

#include <cstddef>
#include <memory>

namespace qndx {
namespace platform {
namespace audio {

// What an output pulls: the next `frames` interleaved stereo float frames,
// called from the output's own thread.
class FrameSource {
public:
    virtual void Render(float* out, size_t frames) = 0;

protected:
    ~FrameSource() = default;
};

// Pulls from its source at `rate` frames a second from when it is opened
// until it is destroyed; the destructor returns once no pull runs any more.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    virtual const char* Name() const = 0;
};

// The one place the output is chosen (sdl/BackendChoice.cpp): a device when
// one opens, else the null output; one line says which.
std::unique_ptr<AudioOutput> OpenAudioOutput(FrameSource* source, int rate);
std::unique_ptr<AudioOutput> OpenNullAudioOutput(FrameSource* source, int rate);

}  // namespace audio
}  // namespace platform
}  // namespace qndx
