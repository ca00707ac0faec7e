// Helpers for the DirectMusic tests: wave and MIDI files built byte by byte,
// a performance on offline rendering with a loader, segments from memory,
// and level measurements on rendered mixes.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Com.h"
#include "platform/DirectMusic.h"
#include "platform/sim/Audio.h"

namespace qndx_test {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes* b, uint32_t v) {
    b->push_back((uint8_t)v);
    b->push_back((uint8_t)(v >> 8));
}
inline void Put32(Bytes* b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void PutTag(Bytes* b, const char* tag) {
    for (int i = 0; i < 4; ++i) b->push_back(static_cast<uint8_t>(tag[i]));
}

// A PCM wave file: `frames` frames of the given samples (one per channel,
// repeated), 16 or 8 bits.
inline Bytes WaveFile(int rate, int channels, int bits, const std::vector<int>& frameSamples, size_t frames) {
    Bytes data;
    for (size_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c) {
            const int s = frameSamples[(size_t)c % frameSamples.size()];
            if (bits == 16)
                Put16(&data, (uint32_t)(int16_t)s);
            else
                data.push_back((uint8_t)s);
        }
    Bytes b;
    PutTag(&b, "RIFF");
    Put32(&b, (uint32_t)(4 + 8 + 16 + 8 + data.size()));
    PutTag(&b, "WAVE");
    PutTag(&b, "fmt ");
    Put32(&b, 16);
    Put16(&b, 1);  // PCM
    Put16(&b, (uint32_t)channels);
    Put32(&b, (uint32_t)rate);
    Put32(&b, (uint32_t)((uint64_t)(uint32_t)rate * (uint32_t)channels * (uint32_t)bits / 8));
    Put16(&b, (uint32_t)(channels * bits / 8));
    Put16(&b, (uint32_t)bits);
    PutTag(&b, "data");
    Put32(&b, (uint32_t)data.size());
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

// A constant mono wave at the mix rate: 16384 is exactly 0.5.
inline Bytes ConstantWave(size_t frames, int value = 16384) { return WaveFile(48000, 1, 16, {value}, frames); }

// A Standard MIDI file, format 0, 96 ticks per quarter note, with the given
// track events (delta times included); an end of track is appended when
// `endTrack` is set.
inline Bytes MidiFile(const Bytes& events, bool endTrack = true, uint16_t format = 0, uint16_t tracks = 1,
                      uint16_t division = 96) {
    Bytes track = events;
    if (endTrack) track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    Bytes b;
    PutTag(&b, "MThd");
    b.insert(b.end(), {0, 0, 0, 6});
    b.insert(b.end(), {(uint8_t)(format >> 8), (uint8_t)format, (uint8_t)(tracks >> 8), (uint8_t)tracks,
                       (uint8_t)(division >> 8), (uint8_t)division});
    PutTag(&b, "MTrk");
    const uint32_t len = (uint32_t)track.size();
    b.insert(b.end(), {(uint8_t)(len >> 24), (uint8_t)(len >> 16), (uint8_t)(len >> 8), (uint8_t)len});
    b.insert(b.end(), track.begin(), track.end());
    return b;
}

// A Standard MIDI file of format 1, 96 ticks per quarter note, with the
// given tracks (events with their delta times; each gets its end of track).
inline Bytes MultiTrackMidi(const std::vector<Bytes>& tracks) {
    Bytes b;
    PutTag(&b, "MThd");
    b.insert(b.end(), {0, 0, 0, 6, 0, 1, (uint8_t)(tracks.size() >> 8), (uint8_t)tracks.size(), 0, 96});
    for (const Bytes& events : tracks) {
        const uint32_t len = (uint32_t)events.size() + 4;
        PutTag(&b, "MTrk");
        b.insert(b.end(), {(uint8_t)(len >> 24), (uint8_t)(len >> 16), (uint8_t)(len >> 8), (uint8_t)len});
        b.insert(b.end(), events.begin(), events.end());
        b.insert(b.end(), {0x00, 0xFF, 0x2F, 0x00});
    }
    return b;
}

// A delta time as a variable-length number.
inline void PutDelta(Bytes* b, uint32_t ticks) {
    uint8_t bytes[5];
    int n = 0;
    do {
        bytes[n++] = (uint8_t)(ticks & 0x7F);
        ticks >>= 7;
    } while (ticks);
    while (n > 1) b->push_back((uint8_t)(bytes[--n] | 0x80));
    b->push_back(bytes[0]);
}

// Piano middle C for one quarter note, then a second note on channel 1
// (a string ensemble) for one more; 120 beats per minute: one second in all.
inline Bytes TwoNoteTune() {
    return MidiFile({0x00, 0xC1, 48,       // channel 1: strings
                     0x00, 0x90, 60, 100,  // channel 0 note on
                     0x60, 0x80, 60, 0,    // off after a quarter
                     0x00, 0x91, 67, 100,  // channel 1 note on
                     0x60, 0x81, 67, 0});
}

// Level of one channel (0 left, 1 right) over frames [from, to).
inline double Rms(const std::vector<float>& mix, int channel, size_t from, size_t to) {
    double sum = 0;
    size_t n = 0;
    for (size_t f = from; f < to && 2 * f + 1 < mix.size(); ++f, ++n)
        sum += (double)mix[2 * f + channel] * mix[2 * f + channel];
    return n ? std::sqrt(sum / (double)n) : 0.0;
}

inline double Peak(const std::vector<float>& mix, int channel, size_t from, size_t to) {
    double peak = 0;
    for (size_t f = from; f < to && 2 * f + 1 < mix.size(); ++f)
        peak = std::max(peak, (double)std::fabs(mix[2 * f + channel]));
    return peak;
}

// The first frame from which both channels stay silent.
inline size_t SoundEnd(const std::vector<float>& mix) {
    size_t end = 0;
    for (size_t f = 0; 2 * f + 1 < mix.size(); ++f)
        if (mix[2 * f] != 0.0f || mix[2 * f + 1] != 0.0f) end = f + 1;
    return end;
}

// A performance on offline rendering, with the given default path, and a
// loader.
class OfflinePerformance : public ::testing::Test {
protected:
    void SetUp() override {
        qndx::sim::SetAudioOffline(true);
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC,
                                         IID_IDirectMusicPerformance8, reinterpret_cast<void**>(&perf)));
        ASSERT_EQ(S_OK, perf->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB, 64,
                                        DMUS_AUDIOF_ALL, nullptr));
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                                         reinterpret_cast<void**>(&loader)));
    }
    void TearDown() override {
        for (IUnknown* o : held) o->Release();
        if (loader) loader->Release();
        if (perf) {
            perf->CloseDown();
            perf->Release();
        }
        EXPECT_EQ(0, qndx::sim::LivePerformances());
    }

    // Releases the object when the test ends.
    template <class T>
    T* Keep(T* object) {
        if (object) held.push_back(object);
        return object;
    }

    HRESULT LoadMemory(const Bytes& bytes, IDirectMusicSegment8** out) {
        DMUS_OBJECTDESC desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = QNDX_DMUS_OBJECTDESC_TAG;
        desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
        desc.guidClass = CLSID_DirectMusicSegment;
        desc.llMemLength = (LONGLONG)bytes.size();
        desc.pbMemData = const_cast<BYTE*>(bytes.data());
        *out = nullptr;
        HRESULT hr = loader->GetObject(&desc, IID_IDirectMusicSegment8, reinterpret_cast<void**>(out));
        if (SUCCEEDED(hr)) Keep(*out);
        return hr;
    }

    IDirectMusicSegment8* Segment(const Bytes& bytes) {
        IDirectMusicSegment8* s = nullptr;
        EXPECT_EQ(S_OK, LoadMemory(bytes, &s));
        return s;
    }

    IDirectMusicAudioPath8* Path(DWORD type, DWORD pchannels = 64) {
        IDirectMusicAudioPath8* p = nullptr;
        EXPECT_EQ(S_OK, perf->CreateStandardAudioPath(type, pchannels, TRUE, &p));
        return Keep(p);
    }

    template <class T>
    T* ObjectInPath(IDirectMusicAudioPath8* path, DWORD stage, const IID& iid) {
        T* object = nullptr;
        EXPECT_EQ(S_OK, path->GetObjectInPath(0, stage, 0, GUID_NULL, 0, iid, reinterpret_cast<void**>(&object)));
        return Keep(object);
    }

    // Downloads and plays as a secondary segment now.
    HRESULT Play(IDirectMusicSegment8* seg, IDirectMusicAudioPath8* path, DWORD flags = DMUS_SEGF_SECONDARY) {
        HRESULT hr = seg->Download(path);
        if (FAILED(hr)) return hr;
        return perf->PlaySegmentEx(seg, nullptr, nullptr, flags, 0, nullptr, nullptr, path);
    }

    std::vector<float> Render(size_t frames) { return qndx::sim::RenderAudio(frames); }

    IDirectMusicPerformance8* perf = nullptr;
    IDirectMusicLoader8* loader = nullptr;
    std::vector<IUnknown*> held;
};

}  // namespace qndx_test
