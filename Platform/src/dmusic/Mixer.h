// The mixer of one performance: buses (one per audio path), the voices that
// play on them, the shared 3D listener, master volume and tempo, and the
// performance's clocks. Everything here is guarded by `mutex`; the output
// (an audio device thread, the null output's thread, or the test panel)
// calls Render, the interface objects change the state in between.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#include "dmusic/AudioOutput.h"
#include "dmusic/MidiSynth.h"
#include "dmusic/Spatial.h"
#include "dmusic/Voice.h"

namespace qndx {
namespace platform {
namespace audio {

// Music time runs at 120 beats per minute times the master tempo.
constexpr double kTicksPerFrame = 120.0 / 60.0 * DMUS_PPQ / kMixRate;
constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

// How one play of a segment is doing; shared by its voice and its
// segment-state object.
struct PlayState {
    enum Status { Pending, Playing, Done };
    Status status = Pending;
    int64_t startFrame = 0;
    MUSIC_TIME startMusic = 0;
    DWORD repeats = 0;
    uint64_t segmentId = 0;
};

struct Bus {
    enum class Kind { Stereo, Mono, ThreeD };
    Kind kind = Kind::Stereo;
    DWORD pchannels = 16;
    bool active = true;
    bool alive = true;  // false once its audio path is gone

    // The path's volume in hundredths of a decibel, fading from one value
    // to the other over fadeFrames frames from fadeStart.
    double volumeFrom = 0, volumeTo = 0;
    int64_t fadeStart = 0, fadeFrames = 0;
    double PathVolumeAt(int64_t frame) const;

    // The path's DirectSound buffer.
    LONG bufferVolume = DSBVOLUME_MAX;
    LONG bufferPan = DSBPAN_CENTER;
    Deferred<Buffer3DParams> params3d;

    // Per-render scratch.
    SpatialResult spatial;
    std::vector<float> accum;
};

struct Voice {
    std::shared_ptr<PlayState> state;
    std::shared_ptr<Bus> bus;
    std::unique_ptr<VoiceSource> source;
    RateConverter rate;
    int64_t start = 0;
    int64_t stop = kNever;
    bool primary = false;
};

class Mixer final : public FrameSource {
public:
    std::mutex mutex;
    std::vector<std::shared_ptr<Bus>> buses;
    std::vector<std::unique_ptr<Voice>> voices;
    Deferred<ListenerParams> listener;
    LONG masterVolume = 0;
    float masterTempo = 1.0f;
    int64_t frame = 0;      // frames rendered so far
    double musicTicks = 0;  // music time so far

    // Mixes the next `frames` stereo frames into `out`. Takes the lock.
    void Render(float* out, size_t frames) override;

    // With the lock held:
    REFERENCE_TIME ReferenceNow() const;
    MUSIC_TIME MusicNow() const;
    // The frame a start or stop time names (0: now; past times: now).
    int64_t FrameForTime(LONGLONG time, DWORD flags) const;
    // Stops the voices `match` accepts at `atFrame`: at once when that is
    // not in the future (their states end), otherwise when it comes.
    template <class Match>
    void StopVoices(Match match, int64_t atFrame) {
        for (size_t i = 0; i < voices.size();) {
            Voice& v = *voices[i];
            if (!match(v)) {
                ++i;
            } else if (atFrame <= frame || atFrame <= v.start) {
                v.state->status = PlayState::Done;
                voices.erase(voices.begin() + (ptrdiff_t)i);
            } else {
                v.stop = std::min(v.stop, atFrame);
                ++i;
            }
        }
    }
    void RemoveBus(const Bus* bus);
    // The listener's and every 3D bus's deferred settings take effect.
    void CommitDeferred();

    // The SoundFont bank, opened on first need (outside the mixer's lock).
    HRESULT EnsureMidiBank();
    MidiBank* Bank();

private:
    void MixBus(Bus& bus, size_t n, int64_t chunkStart, float* master);

    std::mutex m_bankLock;
    std::unique_ptr<MidiBank> m_bank;
    std::vector<float> m_scratch;
    std::vector<float> m_master;
};

}  // namespace audio
}  // namespace platform
}  // namespace qndx
