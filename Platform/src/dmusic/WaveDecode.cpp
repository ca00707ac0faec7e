// Wave files to the mixer's format: our own walk over the RIFF chunks (so a
// truncated or inconsistent file, or one at a rate or channel count no sound
// card plays, is refused before any decoding), then SDL's WAV loader for the
// encodings it knows and an SDL audio stream to convert to float, mono or
// stereo (more channels are mixed down), at the wave's own rate. soxr then
// takes the floats to the mix rate: SDL's converter has no band limit when
// it downsamples, so a tone above half the mix rate came back folded below
// it. Every refusal leaves its reason in the last error text.
#include <SDL.h>
#include <soxr.h>

#include <cstdio>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "dmusic/Content.h"
#include "kernel/Errors.h"
#include "platform/DirectMusic.h"

namespace qndx {
namespace platform {
namespace audio {
namespace {

uint32_t Le32(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

uint16_t Le16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }

// What the header says, as far as the checks and the reasons need it. The
// format is the first format chunk's: the one SDL reads.
struct WaveFormat {
    uint32_t riffLength = 0;  // as the RIFF header gives it
    size_t formatAt = 0;      // offsets of the chunks' headers
    size_t dataAt = 0;
    uint16_t tag = 0;
    uint32_t channels = 0;
    uint32_t rate = 0;
    uint32_t blockAlign = 0;
    uint32_t bits = 0;
};

// The format chunk must come before a data chunk that lies wholly inside
// the file; chunks are padded to even lengths. The reason goes to the last
// error text when it is not so.
bool RiffLooksWhole(const uint8_t* data, size_t size, WaveFormat* format) {
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) {
        SetErrorText("unsupported format: not a RIFF WAVE file");
        return false;
    }
    format->riffLength = Le32(data + 4);
    bool haveFormat = false;
    size_t at = 12;
    while (size - at >= 8) {
        const uint32_t len = Le32(data + at + 4);
        const size_t left = size - at - 8;
        if (std::memcmp(data + at, "fmt ", 4) == 0) {
            if (len < 16 || len > left) {
                SetErrorText(len < 16 ? "damaged wave file: a format chunk of %u bytes (a format takes 16)"
                                      : "truncated wave file: the %u-byte format chunk passes the end",
                             len);
                return false;
            }
            if (!haveFormat) {
                const uint8_t* f = data + at + 8;
                format->formatAt = at;
                format->tag = Le16(f);
                format->channels = Le16(f + 2);
                format->rate = Le32(f + 4);
                format->blockAlign = Le16(f + 12);
                format->bits = Le16(f + 14);
            }
            haveFormat = true;
        } else if (std::memcmp(data + at, "data", 4) == 0) {
            if (!haveFormat) {
                SetErrorText("damaged wave file: no format chunk before the data");
                return false;
            }
            if (len > left) {
                SetErrorText("truncated wave file: the data chunk claims %u bytes, %zu follow", len, left);
                return false;
            }
            format->dataAt = at;
            return true;
        }
        if (len > left) {
            SetErrorText("truncated wave file: a chunk of %u bytes passes the end", len);
            return false;
        }
        at += 8 + (size_t)len + (len & 1);
        if (at > size) {
            SetErrorText("truncated wave file: the last chunk's padding passes the end");
            return false;
        }
    }
    SetErrorText(haveFormat ? "truncated wave file: no data chunk" : "truncated wave file: no format chunk");
    return false;
}

// Why SDL refused a wave whose chunks are whole, where the header shows it
// (SDL's own texts name the symptom, such as a missing chunk, rather than
// the cause); false when SDL's text is the best reason there is.
bool DescribeDamage(const WaveFormat& f) {
    // SDL reads no further than the RIFF length says (0 meaning unknown).
    const uint64_t riffEnd = 8 + (uint64_t)f.riffLength;
    if (f.riffLength != 0 && riffEnd < f.dataAt + 8) {
        SetErrorText("damaged wave file: the RIFF length of %u bytes ends before the %s chunk", f.riffLength,
                     riffEnd < f.formatAt + 8 + 16 ? "format" : "data");
        return true;
    }
    if (f.blockAlign == 0) {
        SetErrorText("damaged wave file: the format gives a block align of 0 bytes");
        return true;
    }
    if (f.bits == 0) {
        SetErrorText("damaged wave file: the format gives 0 bits per sample");
        return true;
    }
    // PCM, IEEE float, A-law and mu-law store whole bytes per sample.
    const bool plain = f.tag == 1 || f.tag == 3 || f.tag == 6 || f.tag == 7;
    const uint32_t frame = f.channels * ((f.bits + 7) / 8);
    if (plain && f.blockAlign != frame) {
        SetErrorText("damaged wave file: a block align of %u bytes where a frame (%u channel%s, %u bits) takes %u",
                     f.blockAlign, f.channels, f.channels == 1 ? "" : "s", f.bits, frame);
        return true;
    }
    return false;
}

// Frames converted at a time, at most: the converted floats are never all
// held at once, and a short wave gets buffers its own size.
constexpr Uint32 kBlockFrames = 16384;

// Takes float frames at the wave's rate to the mix rate, appending them to
// `out`, which stops at `wanted` samples. soxr's linear-phase filter starts
// with its delay already taken out, so output frame 0 is input frame 0.
class RateChange {
public:
    RateChange(int rate, int channels, size_t wanted, std::vector<float>* out)
        : m_channels((size_t)channels), m_wanted(wanted), m_out(out) {
        if (rate == kMixRate) return;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        // One thread: decodes run on the caller's thread, often in a forked child.
        const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
        m_soxr = soxr_create((double)rate, (double)kMixRate, (unsigned)channels, &m_error, &io, &quality, &runtime);
        if (!m_soxr && !m_error) m_error = "out of memory";
        m_scratch.resize(m_channels * (std::min(wanted / m_channels, (size_t)kBlockFrames) + 64));
    }
    ~RateChange() {
        if (m_soxr) soxr_delete(m_soxr);
    }
    RateChange(const RateChange&) = delete;
    RateChange& operator=(const RateChange&) = delete;

    // Null when all is well, else soxr's reason.
    const char* Error() const { return m_error; }

    bool Put(const float* in, size_t frames) {
        if (m_error) return false;
        if (!m_soxr) {
            Keep(in, frames);
            return true;
        }
        // soxr takes what room in its output allows; go on until it took all.
        while (frames) {
            size_t used = 0, made = 0;
            m_error = soxr_process(m_soxr, in, frames, &used, m_scratch.data(), m_scratch.size() / m_channels, &made);
            if (m_error) return false;
            if (!used && !made) {
                m_error = "the resampler took no input";
                return false;
            }
            Keep(m_scratch.data(), made);
            in += used * m_channels;
            frames -= used;
        }
        return true;
    }

    // Drains the filter's tail: no input means the end of it.
    bool Finish() {
        if (m_error) return false;
        if (!m_soxr) return true;
        for (;;) {
            size_t made = 0;
            m_error = soxr_process(m_soxr, nullptr, 0, nullptr, m_scratch.data(), m_scratch.size() / m_channels, &made);
            if (m_error) return false;
            if (made == 0) return true;
            Keep(m_scratch.data(), made);
            if (m_out->size() >= m_wanted) return true;
        }
    }

private:
    void Keep(const float* frames, size_t count) {
        const size_t room = m_wanted - std::min(m_wanted, m_out->size());
        m_out->insert(m_out->end(), frames, frames + std::min(room, count * m_channels));
    }

    size_t m_channels;
    size_t m_wanted;
    std::vector<float>* m_out;
    soxr_t m_soxr = nullptr;
    soxr_error_t m_error = nullptr;
    std::vector<float> m_scratch;
};

}  // namespace

HRESULT DecodeWave(const uint8_t* data, size_t size, std::shared_ptr<PcmData>* out) {
    WaveFormat format;
    if (!data || !RiffLooksWhole(data, size, &format)) return DMUS_E_INVALIDFILE;
    // Rates and channel counts no sound card plays are refused before any
    // decoding: converted to the mix rate they would cost without measure.
    if (format.rate < (uint32_t)kMinWaveRate || format.rate > (uint32_t)kMaxWaveRate) {
        SetErrorText("unsupported format: a sample rate of %u Hz (%d to %d Hz are played)", format.rate, kMinWaveRate,
                     kMaxWaveRate);
        return DMUS_E_LOADER_FORMATNOTSUPPORTED;
    }
    if (format.channels < 1 || format.channels > (uint32_t)kMaxWaveChannels) {
        SetErrorText("unsupported format: %u channels (1 to %d are played)", format.channels, kMaxWaveChannels);
        return DMUS_E_LOADER_FORMATNOTSUPPORTED;
    }
    SDL_RWops* rw = SDL_RWFromConstMem(data, (int)size);
    if (!rw) {
        SetErrorText("out of memory for the wave file");
        return E_OUTOFMEMORY;
    }
    SDL_AudioSpec spec;
    Uint8* raw = nullptr;
    Uint32 rawLen = 0;
    if (!SDL_LoadWAV_RW(rw, 1, &spec, &raw, &rawLen)) {
        if (DescribeDamage(format)) return DMUS_E_INVALIDFILE;
        SetErrorText("unsupported format: the wave cannot be read (%s)", SDL_GetError());
        return DMUS_E_LOADER_FORMATNOTSUPPORTED;
    }
    // Again for what SDL read: with more than one format chunk it reads the
    // first, and its converter cannot size its buffers for every rate.
    if (spec.freq < kMinWaveRate || spec.freq > kMaxWaveRate || spec.channels > kMaxWaveChannels) {
        SetErrorText("unsupported format: a wave of %d channels at %d Hz", spec.channels, spec.freq);
        SDL_FreeWAV(raw);
        return DMUS_E_LOADER_FORMATNOTSUPPORTED;
    }
    const int outChannels = spec.channels == 1 ? 1 : 2;
    SDL_AudioStream* stream =
        SDL_NewAudioStream(spec.format, spec.channels, spec.freq, AUDIO_F32SYS, (Uint8)outChannels, spec.freq);
    if (!stream) {
        SetErrorText("unsupported format: a wave of %d channels at %d Hz cannot be converted (%s)", spec.channels,
                     spec.freq, SDL_GetError());
        SDL_FreeWAV(raw);
        return DMUS_E_LOADER_FORMATNOTSUPPORTED;
    }
    const Uint32 frameBytes = (Uint32)(SDL_AUDIO_BITSIZE(spec.format) / 8) * spec.channels;
    const Uint32 whole = frameBytes ? rawLen - rawLen % frameBytes : 0;
    // A bound first, so that a long file cannot ask for gigabytes once
    // converted to floats at the mix rate.
    const double expected =
        frameBytes && spec.freq > 0 ? (double)(whole / frameBytes) * kMixRate / spec.freq * outChannels : 0.0;
    if (expected > (double)kMaxDecodedSamples) {
        SetErrorText("too large: the wave would take %.0f samples at the mix rate (at most %zu)", expected,
                     kMaxDecodedSamples);
        SDL_FreeWAV(raw);
        SDL_FreeAudioStream(stream);
        return E_OUTOFMEMORY;
    }
    // The wave keeps its own length at the mix rate, to the nearest frame.
    const size_t wanted = (size_t)((expected + outChannels / 2.0) / outChannels) * (size_t)outChannels;
    auto pcm = std::make_shared<PcmData>();
    pcm->channels = outChannels;
    pcm->samples.reserve(wanted);
    RateChange rate(spec.freq, outChannels, wanted, &pcm->samples);
    const Uint32 blockBytes = std::max<Uint32>(1, std::min(kBlockFrames, frameBytes ? whole / frameBytes : 0)) * frameBytes;
    std::vector<float> block((size_t)(blockBytes / std::max<Uint32>(frameBytes, 1)) * (size_t)outChannels);
    std::string failure = rate.Error() ? rate.Error() : "";
    for (Uint32 at = 0; failure.empty() && at <= whole; at += blockBytes) {
        const bool last = whole - at <= blockBytes;
        const int bytes = (int)std::min(whole - at, blockBytes);
        if ((bytes > 0 && SDL_AudioStreamPut(stream, raw + at, bytes) != 0) ||
            (last && SDL_AudioStreamFlush(stream) != 0)) {
            failure = SDL_GetError();
            break;
        }
        // The stream changes no rate, so what went in comes out at once.
        for (;;) {
            const int got = SDL_AudioStreamGet(stream, block.data(), (int)(block.size() * sizeof(float)));
            if (got < 0) failure = SDL_GetError();
            if (got <= 0) break;
            // A float file may hold NaN or infinity: through the filter one
            // such sample would silence its neighbours too.
            const size_t samples = (size_t)got / sizeof(float);
            for (size_t i = 0; i < samples; ++i)
                if (!std::isfinite(block[i])) block[i] = 0.0f;
            if (!rate.Put(block.data(), samples / (size_t)outChannels)) failure = rate.Error();
        }
        if (last) break;
    }
    SDL_FreeWAV(raw);
    SDL_FreeAudioStream(stream);
    if (failure.empty() && !rate.Finish()) failure = rate.Error();
    if (!failure.empty()) {
        SetErrorText("the wave cannot be converted (%s)", failure.c_str());
        return DMUS_E_LOADER_FORMATNOTSUPPORTED;
    }
    // Rounding may leave the filter a fraction of a frame short.
    pcm->samples.resize(wanted, 0.0f);
    // Huge finite floats may still overflow in the filter: one infinite
    // sample would poison every mix the wave is summed into.
    for (float& s : pcm->samples)
        if (!std::isfinite(s)) s = 0.0f;
    pcm->frames = pcm->samples.size() / (size_t)outChannels;
    *out = std::move(pcm);
    return S_OK;
}

HRESULT ParseSegmentContent(const uint8_t* data, size_t size, std::shared_ptr<const SegmentContent>* out) {
    if (!data || size < 4) {
        SetErrorText("unsupported format: %zu bytes are no wave or MIDI file", data ? size : (size_t)0);
        return DMUS_E_LOADER_FORMATNOTSUPPORTED;
    }
    auto content = std::make_shared<SegmentContent>();
    if (size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WAVE", 4) == 0) {
        std::shared_ptr<PcmData> pcm;
        const HRESULT hr = DecodeWave(data, size, &pcm);
        if (FAILED(hr)) return hr;
        content->kind = SegmentContent::Kind::Wave;
        content->pcm = std::move(pcm);
    } else if (std::memcmp(data, "MThd", 4) == 0) {
        auto midi = std::make_shared<std::vector<uint8_t>>();
        const HRESULT hr = CheckMidiFile(data, size, midi.get());
        if (FAILED(hr)) return hr;
        content->kind = SegmentContent::Kind::Midi;
        content->midi = std::move(midi);
    } else {
        SetErrorText("unsupported format: not a wave or Standard MIDI file");
        return DMUS_E_LOADER_FORMATNOTSUPPORTED;
    }
    *out = std::move(content);
    return S_OK;
}

}  // namespace audio
}  // namespace platform
}  // namespace qndx
