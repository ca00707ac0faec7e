// Wave files to the mixer's format: our own walk over the RIFF chunks (so a
// truncated or inconsistent file, or one at a rate or channel count no sound
// card plays, is refused before any decoding), then SDL's WAV loader for the
// encodings it knows and an SDL audio stream to convert to float at the mix
// rate, mono or stereo (more channels are mixed down). Every refusal leaves
// its reason in the last error text.
#include <SDL.h>

#include <cstdio>
#include <algorithm>
#include <cmath>
#include <cstring>
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

// The wave's whole frames followed by a tenth of a second of silence at its
// own rate: the resampler holds back the end of its input until more
// follows (and SDL's flush does not always release it), so the silence
// carries the last frames out. The converter gets it all in one call, since
// SDL 2's resampler starts every call afresh and loses a fraction of a frame
// at each boundary between calls.
std::vector<Uint8> WaveThenSilence(const Uint8* bytes, Uint32 length, const SDL_AudioSpec& spec, Uint32 frameBytes) {
    const Uint8 silence = spec.format == AUDIO_U8 ? 0x80 : 0x00;
    const size_t pad = (size_t)frameBytes * (size_t)((spec.freq + 9) / 10);
    std::vector<Uint8> input((size_t)length + pad, silence);
    if (length) std::memcpy(input.data(), bytes, length);
    return input;
}

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
        SDL_NewAudioStream(spec.format, spec.channels, spec.freq, AUDIO_F32SYS, (Uint8)outChannels, kMixRate);
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
    const std::vector<Uint8> input = WaveThenSilence(raw, whole, spec, frameBytes);
    SDL_FreeWAV(raw);
    if ((!input.empty() && SDL_AudioStreamPut(stream, input.data(), (int)input.size()) != 0) ||
        SDL_AudioStreamFlush(stream) != 0) {
        SetErrorText("the wave cannot be converted (%s)", SDL_GetError());
        SDL_FreeAudioStream(stream);
        return DMUS_E_LOADER_FORMATNOTSUPPORTED;
    }
    auto pcm = std::make_shared<PcmData>();
    pcm->channels = outChannels;
    const int available = SDL_AudioStreamAvailable(stream);
    const size_t samples = available > 0 ? (size_t)available / sizeof(float) : 0;
    if (samples > kMaxDecodedSamples + kMaxDecodedSamples / 8) {
        SDL_FreeAudioStream(stream);
        SetErrorText("too large: the converted wave holds %zu samples", samples);
        return E_OUTOFMEMORY;
    }
    pcm->samples.resize(samples);
    const int got = samples ? SDL_AudioStreamGet(stream, pcm->samples.data(), (int)(samples * sizeof(float))) : 0;
    SDL_FreeAudioStream(stream);
    if (got < 0) {
        SetErrorText("the wave cannot be converted (%s)", SDL_GetError());
        return DMUS_E_LOADER_FORMATNOTSUPPORTED;
    }
    // The silence behind the wave only pushed its last frames through the
    // resampler; the wave keeps its own length.
    const size_t wanted = (size_t)((expected + outChannels / 2.0) / outChannels) * (size_t)outChannels;
    pcm->samples.resize(std::min((size_t)got / sizeof(float), wanted));
    pcm->samples.resize(pcm->samples.size() - pcm->samples.size() % (size_t)outChannels);
    // A float file may hold NaN or infinity, and the resampler spreads them:
    // one such sample would poison every mix the wave is summed into.
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
