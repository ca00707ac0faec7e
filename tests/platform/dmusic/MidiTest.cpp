// MIDI through FluidSynth, offline: repeatable renders, tempo, repeats,
// the path's channel count, and a missing SoundFont. Skipped (with the
// reason) where FluidSynth or the SoundFont is missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "DMusicTestSupport.h"

using qndx_test::Bytes;
using qndx_test::Peak;
using qndx_test::Rms;
using qndx_test::SoundEnd;

namespace {

class Midi : public qndx_test::OfflinePerformance {
protected:
    void SetUp() override {
        if (!qndx::sim::MidiAvailable()) GTEST_SKIP() << "no FluidSynth or no General MIDI SoundFont on this machine";
        OfflinePerformance::SetUp();
    }

    std::vector<float> PlayAndRender(const Bytes& file, size_t frames, DWORD pchannels = 64, DWORD repeats = 0) {
        IDirectMusicSegment8* seg = Segment(file);
        EXPECT_EQ(S_OK, seg->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFF, 0, 0, nullptr));
        EXPECT_EQ(S_OK, seg->SetRepeats(repeats));
        EXPECT_EQ(S_OK, Play(seg, Path(DMUS_APATH_DYNAMIC_STEREO, pchannels)));
        return Render(frames);
    }
};

}  // namespace

TEST_F(Midi, RendersAreRepeatableAndNotSilent) {
    std::vector<float> first = PlayAndRender(qndx_test::TwoNoteTune(), 96000);
    perf->StopEx(nullptr, 0, 0);
    // The same file, played again in a fresh path, renders the same samples
    // even when mixed in other chunk sizes.
    IDirectMusicSegment8* seg = Segment(qndx_test::TwoNoteTune());
    ASSERT_EQ(S_OK, Play(seg, Path(DMUS_APATH_DYNAMIC_STEREO)));
    std::vector<float> second;
    for (size_t done = 0; done < 96000;) {
        const size_t n = std::min<size_t>(96000 - done, 1000 + done % 777);
        std::vector<float> part = Render(n);
        second.insert(second.end(), part.begin(), part.end());
        done += n;
    }
    ASSERT_EQ(first.size(), second.size());
    EXPECT_TRUE(first == second);
    EXPECT_GT(Peak(first, 0, 0, 24000), 0.01);      // the piano note
    EXPECT_GT(Peak(first, 0, 24000, 48000), 0.01);  // the second note
}

TEST_F(Midi, TheSegmentEndsAfterItsNotesAndTheirTail) {
    IDirectMusicSegment8* seg = Segment(qndx_test::TwoNoteTune());
    ASSERT_EQ(S_OK, Play(seg, Path(DMUS_APATH_DYNAMIC_STEREO)));
    Render(48000);
    EXPECT_EQ(S_OK, perf->IsPlaying(seg, nullptr));
    Render(48000 * 4);
    EXPECT_EQ(S_FALSE, perf->IsPlaying(seg, nullptr));
}

TEST_F(Midi, MasterTempoSpeedsTheMusicUp) {
    // A short note, a rest, and a second note on the next beat: half a
    // second in at normal tempo, a quarter of a second at double tempo.
    const Bytes tune = qndx_test::MidiFile({0x00, 0x90, 60, 100, 0x0C, 0x80, 60, 0,  // an eighth of a beat
                                            0x54, 0x90, 72, 110, 0x60, 0x80, 72, 0});
    std::vector<float> normal = PlayAndRender(tune, 48000);
    perf->StopEx(nullptr, 0, 0);
    float tempo = 2.0f;
    ASSERT_EQ(S_OK, perf->SetGlobalParam(GUID_PerfMasterTempo, &tempo, sizeof tempo));
    std::vector<float> fast = PlayAndRender(tune, 48000);
    perf->StopEx(nullptr, 0, 0);
    const double normalEarly = Rms(normal, 0, 12600, 17400), normalLate = Rms(normal, 0, 24600, 29400);
    const double fastEarly = Rms(fast, 0, 12600, 17400);
    EXPECT_GT(fastEarly, 3 * normalEarly);
    EXPECT_GT(normalLate, 3 * normalEarly);

    tempo = 0.0f;  // the music clock stands still: silence, and it waits
    ASSERT_EQ(S_OK, perf->SetGlobalParam(GUID_PerfMasterTempo, &tempo, sizeof tempo));
    IDirectMusicSegment8* seg = Segment(tune);
    ASSERT_EQ(S_OK, Play(seg, Path(DMUS_APATH_DYNAMIC_STEREO)));
    EXPECT_EQ(0u, SoundEnd(Render(24000)));
    EXPECT_EQ(S_OK, perf->IsPlaying(seg, nullptr));
    tempo = 1.0f;
    ASSERT_EQ(S_OK, perf->SetGlobalParam(GUID_PerfMasterTempo, &tempo, sizeof tempo));
    EXPECT_GT(Peak(Render(24000), 0, 0, 24000), 0.01);
}

TEST_F(Midi, RepeatsPlayTheTuneAgain) {
    const Bytes note = qndx_test::MidiFile({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0});  // half a second
    std::vector<float> once = PlayAndRender(note, 48000, 64, 0);
    perf->StopEx(nullptr, 0, 0);
    std::vector<float> twice = PlayAndRender(note, 48000, 64, 1);
    // The same first half; then a fresh note where the single play fades.
    EXPECT_TRUE(std::equal(once.begin(), once.begin() + 2 * 20000, twice.begin()));
    EXPECT_GT(Rms(twice, 0, 26400, 36000), 3 * Rms(once, 0, 26400, 36000));
}

TEST_F(Midi, ChannelsBeyondThePathsCountAreDropped) {
    // Everything on channel 1: a path with one performance channel hears nothing.
    const Bytes tune = qndx_test::MidiFile({0x00, 0x91, 60, 100, 0x60, 0x81, 60, 0});
    // (The synthesiser's own noise floor stays far below a note.)
    EXPECT_LT(Peak(PlayAndRender(tune, 24000, 1), 0, 0, 24000), 1e-5);
    perf->StopEx(nullptr, 0, 0);
    EXPECT_GT(Peak(PlayAndRender(tune, 24000, 2), 0, 0, 24000), 0.01);
}

namespace {

// One timed event of a tune: absolute tick and its bytes (status first).
struct TimedEvent {
    uint32_t tick;
    Bytes bytes;
};

// The events of one track with their delta times; where `running` allows,
// a status equal to the previous one is left out.
Bytes TrackOf(const std::vector<TimedEvent>& events, bool running) {
    Bytes track;
    uint32_t last = 0;
    uint8_t status = 0;
    for (const TimedEvent& e : events) {
        qndx_test::PutDelta(&track, e.tick - last);
        last = e.tick;
        const bool skip = running && e.bytes[0] == status && status < 0xF0;
        track.insert(track.end(), e.bytes.begin() + (skip ? 1 : 0), e.bytes.end());
        status = e.bytes[0] < 0xF0 ? e.bytes[0] : 0;
    }
    return track;
}

}  // namespace

// FluidSynth's player takes at most 127 tracks. A random tune (notes on four
// channels, program changes, a tempo change) spread over 127, 128 and 300
// tracks, with running status inside the tracks, plays exactly as the same
// tune in two tracks: same samples, so every note sounds at its time.
// (127 tracks still go to the player as they are.)
TEST_F(Midi, FilesWithMoreTracksThanThePlayerTakesPlayTheSameNotesAtTheSameTimes) {
    std::mt19937 rng(2024);
    // Distinct ticks, a tick apart or more (over 64 frames at either tempo),
    // so no order between events of one moment is in question.
    std::vector<uint32_t> ticks;
    for (uint32_t t = 4; t < 480; t += 1 + rng() % 6) ticks.push_back(t);
    std::vector<TimedEvent> tempo = {{0, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}},     // 120 per minute
                                     {192, {0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90}}};  // 240 per minute
    std::vector<TimedEvent> notes = {{0, {0xC1, 48}}, {1, {0xC2, 73}}, {2, {0xC3, 11}}};
    for (size_t i = 0; i + 1 < ticks.size(); i += 2) {
        const uint8_t channel = (uint8_t)(rng() % 4), key = (uint8_t)(48 + rng() % 36);
        notes.push_back({ticks[i], {(uint8_t)(0x90 | channel), key, (uint8_t)(60 + rng() % 60)}});
        notes.push_back({ticks[i + 1], {(uint8_t)(0x80 | channel), key, 0}});
    }
    std::sort(notes.begin(), notes.end(), [](const TimedEvent& a, const TimedEvent& b) { return a.tick < b.tick; });
    const Bytes twoTracks = qndx_test::MultiTrackMidi({TrackOf(tempo, false), TrackOf(notes, false)});
    const size_t frames = 4 * 48000;
    const std::vector<float> reference = PlayAndRender(twoTracks, frames);
    perf->StopEx(nullptr, 0, 0);
    // The reference itself sounds: a note starts within each of its first beats.
    for (size_t beat = 0; beat < 4; ++beat)
        EXPECT_GT(Peak(reference, 0, beat * 24000, (beat + 1) * 24000), 0.01) << "beat " << beat;

    for (size_t count : {127u, 128u, 300u}) {
        SCOPED_TRACE(std::to_string(count) + " tracks");
        std::vector<std::vector<TimedEvent>> spread(count);
        spread[0] = tempo;
        for (size_t i = 0; i < notes.size(); ++i)  // the last track holds the last note's end
            spread[i + 1 == notes.size() ? count - 1 : 1 + rng() % (count - 1)].push_back(notes[i]);
        std::vector<Bytes> tracks;
        for (const auto& events : spread) tracks.push_back(TrackOf(events, true));
        IDirectMusicSegment8* seg = Segment(qndx_test::MultiTrackMidi(tracks));
        ASSERT_NE(nullptr, seg);
        ASSERT_EQ(S_OK, Play(seg, Path(DMUS_APATH_DYNAMIC_STEREO)));
        std::vector<float> mix = Render(frames / 2);
        EXPECT_EQ(S_OK, perf->IsPlaying(seg, nullptr));
        const std::vector<float> rest = Render(frames / 2);
        mix.insert(mix.end(), rest.begin(), rest.end());
        perf->StopEx(nullptr, 0, 0);
        ASSERT_EQ(reference.size(), mix.size());
        size_t first = 0;
        while (first < mix.size() && mix[first] == reference[first]) ++first;
        EXPECT_EQ(mix.size(), first) << "first difference at frame " << first / 2;
    }
}

TEST(MidiWithoutSoundFont, DownloadFailsVisiblyAndNothingPlays) {
    qndx::sim::SetAudioOffline(true);
    qndx::sim::SetSoundFont("/nonexistent/none.sf2");
    EXPECT_FALSE(qndx::sim::MidiAvailable());
    IDirectMusicPerformance8* perf = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC, IID_IDirectMusicPerformance8,
                                     reinterpret_cast<void**>(&perf)));
    ASSERT_EQ(S_OK, perf->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_DYNAMIC_STEREO, 16, 0, nullptr));
    IDirectMusicLoader8* loader = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                                     reinterpret_cast<void**>(&loader)));
    const Bytes tune = qndx_test::TwoNoteTune();
    DMUS_OBJECTDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = QNDX_DMUS_OBJECTDESC_TAG;
    desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
    desc.guidClass = CLSID_DirectMusicSegment;
    desc.llMemLength = (LONGLONG)tune.size();
    desc.pbMemData = const_cast<BYTE*>(tune.data());
    IDirectMusicSegment8* seg = nullptr;
    ASSERT_EQ(S_OK, loader->GetObject(&desc, IID_IDirectMusicSegment8, reinterpret_cast<void**>(&seg)));
    IDirectMusicAudioPath8* path = nullptr;
    ASSERT_EQ(S_OK, perf->GetDefaultAudioPath(&path));
    EXPECT_EQ(DMUS_E_DRIVER_FAILED, seg->Download(path));
    EXPECT_EQ(DMUS_E_NOT_DOWNLOADED_TO_PORT, perf->PlaySegmentEx(seg, nullptr, nullptr, 0, 0, nullptr, nullptr, path));
    EXPECT_EQ(0u, SoundEnd(qndx::sim::RenderAudio(4800)));
    path->Release();
    seg->Release();
    loader->Release();
    perf->CloseDown();
    perf->Release();
}
