// What a segment holds once loaded: a wave decoded to the mixer's format, or
// the bytes of a Standard MIDI file that has been checked end to end. The
// content is immutable and shared by the segment and whatever plays it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Types.h"

namespace qndx {
namespace platform {
namespace audio {

// Frames per second of every mix.
constexpr int kMixRate = 48000;

// Samples at kMixRate, interleaved when there are two channels.
struct PcmData {
    int channels = 1;  // 1 or 2
    size_t frames = 0;
    std::vector<float> samples;
};

struct SegmentContent {
    enum class Kind { Wave, Midi };
    Kind kind = Kind::Wave;
    std::shared_ptr<const PcmData> pcm;                // Wave
    std::shared_ptr<const std::vector<uint8_t>> midi;  // Midi
};

// Largest file the loader reads, and the largest decoded wave (in samples).
constexpr size_t kMaxSoundFileBytes = 64u << 20;
constexpr size_t kMaxDecodedSamples = 64u << 20;
// Waves outside these are refused before decoding.
constexpr int kMinWaveRate = 1000;
constexpr int kMaxWaveRate = 384000;
constexpr int kMaxWaveChannels = 8;

// A RIFF WAVE file through SDL's loader and converter. DMUS_E_INVALIDFILE
// for a damaged or truncated file, DMUS_E_LOADER_FORMATNOTSUPPORTED for an
// encoding SDL cannot read or a rate or channel count outside the limits,
// E_OUTOFMEMORY past the size limit; the reason goes to the last error text.
HRESULT DecodeWave(const uint8_t* data, size_t size, std::shared_ptr<PcmData>* out);

// Walks every chunk and event of a Standard MIDI file (formats 0 and 1,
// metrical time); S_OK only when everything lies inside the file and is
// well formed, so the synthesiser only ever sees sound data. `normalized`
// (optional) gets the copy to play: the header and the track chunks, each
// ending at its end-of-track event (added where a track lacks one); a file
// with more tracks than the synthesiser's player takes (127) comes out as
// one track of format 0 that plays the same events at the same ticks.
HRESULT CheckMidiFile(const uint8_t* data, size_t size, std::vector<uint8_t>* normalized);

// Tells the kind by content and builds the segment's content.
HRESULT ParseSegmentContent(const uint8_t* data, size_t size, std::shared_ptr<const SegmentContent>* out);

}  // namespace audio
}  // namespace platform
}  // namespace qndx
