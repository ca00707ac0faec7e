// Wave files to the mixer's format: our own walk over the RIFF chunks (so a
// truncated or inconsistent file is refused before any decoding), then SDL's
// WAV loader for the encodings it knows and an SDL audio stream to convert
// to float at the mix rate, mono or stereo (more channels are mixed down).
#include <SDL.h>

#include <cstdio>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "dmusic/Content.h"
#include "platform/DirectMusic.h"

namespace qndx {
namespace platform {
namespace audio {
namespace {

uint32_t Le32(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

// The format chunk must come before a data chunk that lies wholly inside
// the file; chunks are padded to even lengths.
bool RiffLooksWhole(const uint8_t* data, size_t size) {
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) return false;
    bool haveFormat = false;
    size_t at = 12;
    while (size - at >= 8) {
        const uint32_t len = Le32(data + at + 4);
        const size_t left = size - at - 8;
        if (std::memcmp(data + at, "fmt ", 4) == 0) {
            if (len < 16 || len > left) return false;
            haveFormat = true;
        } else if (std::memcmp(data + at, "data", 4) == 0) {
            return haveFormat && len <= left;
        }
        if (len > left) return false;
        at += 8 + (size_t)len + (len & 1);
        if (at > size) return false;
    }
    return false;
}

// The resampler holds back the end of its input until more follows (and
// SDL's flush does not always release it): a tenth of a second of silence
// (and at least the resampler's history) after the wave carries its last
// frames out.
bool PutSilence(SDL_AudioStream* stream, const SDL_AudioSpec& spec, Uint32 frameBytes) {
    if (!frameBytes) return true;
    const Uint8 silence = spec.format == AUDIO_U8 ? 0x80 : 0x00;
    std::vector<Uint8> pad((size_t)frameBytes * (size_t)(spec.freq / 10 + 1024), silence);
    return SDL_AudioStreamPut(stream, pad.data(), (int)pad.size()) == 0;
}

}  // namespace

HRESULT DecodeWave(const uint8_t* data, size_t size, std::shared_ptr<PcmData>* out) {
    if (!RiffLooksWhole(data, size)) {
        std::fprintf(stderr, "dmusic: damaged or truncated wave file\n");
        return DMUS_E_INVALIDFILE;
    }
    SDL_RWops* rw = SDL_RWFromConstMem(data, (int)size);
    if (!rw) return E_OUTOFMEMORY;
    SDL_AudioSpec spec;
    Uint8* raw = nullptr;
    Uint32 rawLen = 0;
    if (!SDL_LoadWAV_RW(rw, 1, &spec, &raw, &rawLen)) {
        std::fprintf(stderr, "dmusic: wave file not readable: %s\n", SDL_GetError());
        return DMUS_E_LOADER_FORMATNOTSUPPORTED;
    }
    // SDL's converter cannot size its buffers for every rate: rates and
    // channel counts beyond what any sound uses are refused before it runs.
    if (spec.freq < 1000 || spec.freq > 384000 || spec.channels > 8) {
        std::fprintf(stderr, "dmusic: wave of %d channels at %d Hz is not supported\n", spec.channels, spec.freq);
        SDL_FreeWAV(raw);
        return DMUS_E_LOADER_FORMATNOTSUPPORTED;
    }
    const int outChannels = spec.channels == 1 ? 1 : 2;
    SDL_AudioStream* stream =
        SDL_NewAudioStream(spec.format, spec.channels, spec.freq, AUDIO_F32SYS, (Uint8)outChannels, kMixRate);
    if (!stream) {
        std::fprintf(stderr, "dmusic: wave of %d channels at %d Hz cannot be converted: %s\n", spec.channels, spec.freq,
                     SDL_GetError());
        SDL_FreeWAV(raw);
        return DMUS_E_LOADER_FORMATNOTSUPPORTED;
    }
    const Uint32 frameBytes = (Uint32)(SDL_AUDIO_BITSIZE(spec.format) / 8) * spec.channels;
    const Uint32 whole = frameBytes ? rawLen - rawLen % frameBytes : 0;
    // A rough bound first, so that a tiny file at a low rate cannot ask for
    // gigabytes once resampled.
    const double expected =
        frameBytes && spec.freq > 0 ? (double)(whole / frameBytes) * kMixRate / spec.freq * outChannels : 0.0;
    HRESULT hr = S_OK;
    if (expected > (double)kMaxDecodedSamples) {
        std::fprintf(stderr, "dmusic: wave too long (%.0f samples once converted)\n", expected);
        hr = E_OUTOFMEMORY;
    } else if ((whole && SDL_AudioStreamPut(stream, raw, (int)whole) != 0) || !PutSilence(stream, spec, frameBytes) ||
               SDL_AudioStreamFlush(stream) != 0) {
        std::fprintf(stderr, "dmusic: wave conversion failed: %s\n", SDL_GetError());
        hr = DMUS_E_LOADER_FORMATNOTSUPPORTED;
    }
    SDL_FreeWAV(raw);
    if (FAILED(hr)) {
        SDL_FreeAudioStream(stream);
        return hr;
    }
    auto pcm = std::make_shared<PcmData>();
    pcm->channels = outChannels;
    const int available = SDL_AudioStreamAvailable(stream);
    const size_t samples = available > 0 ? (size_t)available / sizeof(float) : 0;
    if (samples > kMaxDecodedSamples) {
        SDL_FreeAudioStream(stream);
        return E_OUTOFMEMORY;
    }
    pcm->samples.resize(samples);
    const int got = samples ? SDL_AudioStreamGet(stream, pcm->samples.data(), (int)(samples * sizeof(float))) : 0;
    SDL_FreeAudioStream(stream);
    if (got < 0) return DMUS_E_LOADER_FORMATNOTSUPPORTED;
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
    if (!data || size < 4) return DMUS_E_LOADER_FORMATNOTSUPPORTED;
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
        if (FAILED(hr)) {
            if (hr == DMUS_E_INVALIDFILE) std::fprintf(stderr, "dmusic: damaged or truncated MIDI file\n");
            return hr;
        }
        content->kind = SegmentContent::Kind::Midi;
        content->midi = std::move(midi);
    } else {
        std::fprintf(stderr, "dmusic: not a wave or Standard MIDI file\n");
        return DMUS_E_LOADER_FORMATNOTSUPPORTED;
    }
    *out = std::move(content);
    return S_OK;
}

}  // namespace audio
}  // namespace platform
}  // namespace qndx
