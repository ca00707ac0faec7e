// Mixing: voices into their buses, buses through their volume, pan or 3D
// placement into the master mix, then the master volume. Work proceeds in
// chunks so that starts, stops and fades land within a few milliseconds and
// 3D settings are sampled per chunk.
#include "dmusic/Mixer.h"

#include <algorithm>

namespace qndx {
namespace platform {
namespace audio {
namespace {

constexpr size_t kChunk = 256;

}  // namespace

double Bus::PathVolumeAt(int64_t at) const {
    if (fadeFrames <= 0 || at >= fadeStart + fadeFrames) return volumeTo;
    if (at <= fadeStart) return volumeFrom;
    return volumeFrom + (volumeTo - volumeFrom) * (double)(at - fadeStart) / (double)fadeFrames;
}

REFERENCE_TIME Mixer::ReferenceNow() const { return (REFERENCE_TIME)(frame * 10000000 / kMixRate); }

MUSIC_TIME Mixer::MusicNow() const { return (MUSIC_TIME)musicTicks; }

int64_t Mixer::FrameForTime(LONGLONG time, DWORD flags) const {
    if (time == 0) return frame;
    if (flags & DMUS_SEGF_REFTIME) {
        if (time < 0) return frame;
        // Nearest frame, so that a time read from GetTime names its own frame.
        const int64_t at = time / 10000000 * kMixRate + (time % 10000000 * kMixRate + 5000000) / 10000000;
        return std::max(at, frame);
    }
    const double ahead = (double)time - musicTicks;
    if (ahead <= 0) return frame;
    if (masterTempo <= 0) return kNever;  // the music clock stands still
    const double frames = ahead / (kTicksPerFrame * masterTempo);
    return frames >= 1e15 ? kNever : frame + (int64_t)frames;
}

void Mixer::RemoveBus(const Bus* bus) {
    buses.erase(
        std::remove_if(buses.begin(), buses.end(), [&](const std::shared_ptr<Bus>& b) { return b.get() == bus; }),
        buses.end());
}

void Mixer::CommitDeferred() {
    Commit(&listener);
    for (auto& bus : buses)
        if (bus->kind == Bus::Kind::ThreeD) Commit(&bus->params3d);
}

HRESULT Mixer::EnsureMidiBank() {
    std::lock_guard<std::mutex> guard(m_bankLock);
    if (m_bank) return S_OK;
    HRESULT hr = E_FAIL;
    m_bank = MidiBank::Open(&hr);
    return m_bank ? S_OK : hr;
}

MidiBank* Mixer::Bank() {
    std::lock_guard<std::mutex> guard(m_bankLock);
    return m_bank.get();
}

void Mixer::Render(float* out, size_t frames) {
    std::lock_guard<std::mutex> guard(mutex);
    m_scratch.resize(2 * kChunk);
    m_master.resize(2 * kChunk);
    size_t done = 0;
    while (done < frames) {
        const size_t n = std::min(kChunk, frames - done);
        const int64_t chunkStart = frame, chunkEnd = frame + (int64_t)n;
        for (auto& bus : buses) {
            bus->accum.assign(2 * n, 0.0f);
            if (bus->kind == Bus::Kind::ThreeD) bus->spatial = Spatialize(bus->params3d.current, listener.current);
        }
        const RenderContext ctx{masterTempo};
        for (size_t i = 0; i < voices.size();) {
            Voice& v = *voices[i];
            if (v.start >= chunkEnd) {
                ++i;
                continue;
            }
            const int64_t from = std::max(v.start, chunkStart), to = std::min(chunkEnd, v.stop);
            bool finished = to >= v.stop;
            if (from < to) {
                v.state->status = PlayState::Playing;
                const size_t want = (size_t)(to - from);
                const double ratio = v.bus->kind == Bus::Kind::ThreeD ? v.bus->spatial.doppler : 1.0;
                const size_t got = v.rate.Produce(*v.source, m_scratch.data(), want, ratio, ctx);
                float* dst = v.bus->accum.data() + 2 * (from - chunkStart);
                for (size_t k = 0; k < 2 * got; ++k) dst[k] += m_scratch[k];
                if (got < want) finished = true;
            }
            if (finished) {
                v.state->status = PlayState::Done;
                voices.erase(voices.begin() + (ptrdiff_t)i);
            } else {
                ++i;
            }
        }
        std::fill_n(m_master.begin(), 2 * n, 0.0f);
        for (auto& bus : buses)
            if (bus->active) MixBus(*bus, n, chunkStart, m_master.data());
        const float master = VolumeToGain(masterVolume);
        float* o = out + 2 * done;
        for (size_t k = 0; k < 2 * n; ++k) o[k] = m_master[k] * master;
        frame = chunkEnd;
        musicTicks += (double)n * kTicksPerFrame * masterTempo;
        done += n;
    }
}

void Mixer::MixBus(Bus& bus, size_t n, int64_t chunkStart, float* master) {
    const float g0 = VolumeToGain(bus.PathVolumeAt(chunkStart));
    const float g1 = VolumeToGain(bus.PathVolumeAt(chunkStart + (int64_t)n));
    const float buffer = VolumeToGain(bus.bufferVolume);
    float left = 1, right = 1;
    if (bus.kind == Bus::Kind::ThreeD) {
        left = bus.spatial.gain * bus.spatial.left;
        right = bus.spatial.gain * bus.spatial.right;
    } else {
        if (bus.bufferPan > 0) left = VolumeToGain(-bus.bufferPan);
        if (bus.bufferPan < 0) right = VolumeToGain(bus.bufferPan);
    }
    const bool downmix = bus.kind != Bus::Kind::Stereo;
    const float* a = bus.accum.data();
    for (size_t i = 0; i < n; ++i) {
        const float g = (g0 + (g1 - g0) * (float)i / (float)n) * buffer;
        float l = a[2 * i], r = a[2 * i + 1];
        if (downmix) l = r = 0.5f * (l + r);
        master[2 * i] += l * g * left;
        master[2 * i + 1] += r * g * right;
    }
}

}  // namespace audio
}  // namespace platform
}  // namespace qndx
