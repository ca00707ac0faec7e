// What the mixer plays: sources that write interleaved stereo frames at the
// mix rate (a wave with its repeats, or a MIDI synthesiser), and the rate
// converter every voice runs through so a 3D path can shift its pitch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "dmusic/Content.h"

namespace qndx {
namespace platform {
namespace audio {

// Per-render values a source may need.
struct RenderContext {
    float tempo = 1.0f;  // master tempo factor (0 holds the music clock)
};

class VoiceSource {
public:
    virtual ~VoiceSource() = default;
    // Writes up to `frames` stereo frames; fewer means the source is done.
    virtual size_t Pull(float* out, size_t frames, const RenderContext& ctx) = 0;
};

// A decoded wave played 1 + repeats times (DMUS_SEG_REPEAT_INFINITE: until
// stopped). Mono plays on both channels.
class PcmSource : public VoiceSource {
public:
    PcmSource(std::shared_ptr<const PcmData> data, DWORD repeats);
    size_t Pull(float* out, size_t frames, const RenderContext& ctx) override;

private:
    std::shared_ptr<const PcmData> m_data;
    DWORD m_repeatsLeft;
    size_t m_pos = 0;
};

// Linear-interpolating rate change in front of a source. At a ratio of
// exactly 1 the frames pass through unchanged.
class RateConverter {
public:
    // Writes up to `frames` frames reading the source `ratio` times as fast;
    // fewer means the source is done and drained.
    size_t Produce(VoiceSource& source, float* out, size_t frames, double ratio, const RenderContext& ctx);

private:
    std::vector<float> m_buffer;  // source frames not yet passed, stereo
    double m_pos = 0;             // read position in m_buffer, in frames
    bool m_sourceDone = false;
};

}  // namespace audio
}  // namespace platform
}  // namespace qndx
