// Playing segments on the offline mixer: levels, lengths, repeats, stops,
// start and stop times, primary and secondary segments, paths' volume, pan,
// fades and activation, master volume and tempo, and the performance's
// life cycle.
#include <gtest/gtest.h>

#include "DMusicTestSupport.h"
#include "platform/sim/Sim.h"

using qndx_test::Bytes;
using qndx_test::Peak;
using qndx_test::Rms;
using qndx_test::SoundEnd;

namespace {

class Playback : public qndx_test::OfflinePerformance {};

float VolumeGain(double hundredths) { return (float)std::pow(10.0, hundredths / 2000.0); }

}  // namespace

// ---- what is heard ------------------------------------------------------------------

TEST_F(Playback, AWaveSoundsAtItsLevelForItsLengthOnBothChannels) {
    IDirectMusicSegment8* seg = Segment(qndx_test::ConstantWave(4800));
    IDirectMusicAudioPath8* path = Path(DMUS_APATH_DYNAMIC_STEREO);
    ASSERT_EQ(S_OK, Play(seg, path));
    std::vector<float> mix = Render(9600);
    EXPECT_EQ(4800u, SoundEnd(mix));
    EXPECT_FLOAT_EQ(0.5f, (float)Peak(mix, 0, 0, 4800));
    EXPECT_FLOAT_EQ(0.5f, (float)Rms(mix, 1, 0, 4800));
    EXPECT_EQ(S_FALSE, perf->IsPlaying(seg, nullptr));
}

TEST_F(Playback, RepeatsPlayTheWaveAgainAndInfiniteLoopsUntilStopped) {
    IDirectMusicSegment8* seg = Segment(qndx_test::ConstantWave(1000));
    IDirectMusicAudioPath8* path = Path(DMUS_APATH_DYNAMIC_STEREO);
    ASSERT_EQ(S_OK, seg->SetRepeats(2));
    ASSERT_EQ(S_OK, Play(seg, path));
    EXPECT_EQ(3000u, SoundEnd(Render(6000)));

    ASSERT_EQ(S_OK, seg->SetRepeats(DMUS_SEG_REPEAT_INFINITE));
    DWORD repeats = 0;
    ASSERT_EQ(S_OK, seg->GetRepeats(&repeats));
    EXPECT_EQ(DMUS_SEG_REPEAT_INFINITE, repeats);
    ASSERT_EQ(S_OK, perf->PlaySegmentEx(seg, nullptr, nullptr, DMUS_SEGF_SECONDARY, 0, nullptr, nullptr, path));
    std::vector<float> mix = Render(48000);
    EXPECT_FLOAT_EQ(0.5f, (float)Rms(mix, 0, 0, 48000));  // no gap between the passes
    EXPECT_EQ(S_OK, perf->IsPlaying(seg, nullptr));
    ASSERT_EQ(S_OK, perf->StopEx(seg, 0, 0));
    EXPECT_EQ(S_FALSE, perf->IsPlaying(seg, nullptr));
    EXPECT_EQ(0u, SoundEnd(Render(4800)));
}

TEST_F(Playback, APlayKeepsTheRepeatCountItStartedWith) {
    IDirectMusicSegment8* seg = Segment(qndx_test::ConstantWave(1000));
    IDirectMusicAudioPath8* path = Path(DMUS_APATH_DYNAMIC_STEREO);
    IDirectMusicSegmentState8* state = nullptr;
    ASSERT_EQ(S_OK, seg->SetRepeats(1));
    ASSERT_EQ(S_OK, seg->Download(path));
    ASSERT_EQ(S_OK, perf->PlaySegmentEx(seg, nullptr, nullptr, DMUS_SEGF_SECONDARY, 0, &state, nullptr, path));
    Keep(state);
    ASSERT_EQ(S_OK, seg->SetRepeats(5));
    DWORD repeats = 0;
    ASSERT_EQ(S_OK, state->GetRepeats(&repeats));
    EXPECT_EQ(1u, repeats);
    EXPECT_EQ(2000u, SoundEnd(Render(8000)));
    IDirectMusicSegment* back = nullptr;
    ASSERT_EQ(S_OK, state->GetSegment(&back));
    EXPECT_EQ(seg, back);
    back->Release();
}

TEST_F(Playback, AnEmptyWaveEndsAtOnceEvenWhenLoopingForever) {
    IDirectMusicSegment8* seg = Segment(qndx_test::ConstantWave(0));
    IDirectMusicAudioPath8* path = Path(DMUS_APATH_DYNAMIC_STEREO);
    ASSERT_EQ(S_OK, seg->SetRepeats(DMUS_SEG_REPEAT_INFINITE));
    ASSERT_EQ(S_OK, Play(seg, path));
    EXPECT_EQ(0u, SoundEnd(Render(1024)));
    EXPECT_EQ(S_FALSE, perf->IsPlaying(seg, nullptr));
}

TEST_F(Playback, SecondarySegmentsAddUpAndAPrimaryReplacesThePrimary) {
    IDirectMusicSegment8* a = Segment(qndx_test::ConstantWave(4800, 8192));  // 0.25
    IDirectMusicSegment8* b = Segment(qndx_test::ConstantWave(4800, 4096));  // 0.125
    IDirectMusicAudioPath8* path = Path(DMUS_APATH_DYNAMIC_STEREO);
    ASSERT_EQ(S_OK, Play(a, path));
    ASSERT_EQ(S_OK, Play(b, path));
    EXPECT_FLOAT_EQ(0.375f, (float)Peak(Render(1000), 0, 0, 1000));
    ASSERT_EQ(S_OK, perf->StopEx(nullptr, 0, 0));

    ASSERT_EQ(S_OK, perf->PlaySegmentEx(a, nullptr, nullptr, DMUS_SEGF_DEFAULT, 0, nullptr, nullptr, path));
    Render(100);
    ASSERT_EQ(S_OK, perf->PlaySegmentEx(b, nullptr, nullptr, DMUS_SEGF_DEFAULT, 0, nullptr, nullptr, path));
    std::vector<float> mix = Render(1000);
    EXPECT_FLOAT_EQ(0.125f, (float)Peak(mix, 0, 0, 1000));
    EXPECT_EQ(S_FALSE, perf->IsPlaying(a, nullptr));
    EXPECT_EQ(S_OK, perf->IsPlaying(b, nullptr));
}

TEST_F(Playback, StartAndStopTimesLandOnTheirFrames) {
    IDirectMusicSegment8* seg = Segment(qndx_test::ConstantWave(48000));
    IDirectMusicAudioPath8* path = Path(DMUS_APATH_DYNAMIC_STEREO);
    ASSERT_EQ(S_OK, seg->Download(path));
    Render(1000);
    REFERENCE_TIME now = 0;
    ASSERT_EQ(S_OK, perf->GetTime(&now, nullptr));
    EXPECT_EQ(1000LL * 10000000 / 48000, now);
    // Start 10 ms (480 frames) from now, stop 20 ms later.
    ASSERT_EQ(S_OK, perf->PlaySegmentEx(seg, nullptr, nullptr, DMUS_SEGF_SECONDARY | DMUS_SEGF_REFTIME, now + 100000,
                                        nullptr, nullptr, path));
    EXPECT_EQ(S_FALSE, perf->IsPlaying(seg, nullptr));  // not started yet
    ASSERT_EQ(S_OK, perf->StopEx(seg, now + 300000, DMUS_SEGF_REFTIME));
    std::vector<float> mix = Render(4800);
    EXPECT_EQ(0.0, Peak(mix, 0, 0, 480));
    EXPECT_FLOAT_EQ(0.5f, (float)Peak(mix, 0, 480, 481));
    EXPECT_EQ(1440u, SoundEnd(mix));
}

TEST_F(Playback, MusicTimeFollowsTheTempo) {
    MUSIC_TIME before = 0, after = 0;
    ASSERT_EQ(S_OK, perf->GetTime(nullptr, &before));
    Render(48000);
    ASSERT_EQ(S_OK, perf->GetTime(nullptr, &after));
    EXPECT_EQ(2 * DMUS_PPQ, after - before);  // two beats a second at 120 beats a minute
    float tempo = 2.0f;
    ASSERT_EQ(S_OK, perf->SetGlobalParam(GUID_PerfMasterTempo, &tempo, sizeof tempo));
    Render(48000);
    ASSERT_EQ(S_OK, perf->GetTime(nullptr, &before));
    EXPECT_EQ(6 * DMUS_PPQ, before - after + 2 * DMUS_PPQ);
}

// ---- download and stop --------------------------------------------------------------

TEST_F(Playback, ASegmentPlaysOnlyWhereItWasDownloaded) {
    IDirectMusicSegment8* seg = Segment(qndx_test::ConstantWave(4800));
    IDirectMusicAudioPath8* path = Path(DMUS_APATH_DYNAMIC_STEREO);
    IDirectMusicAudioPath8* other = Path(DMUS_APATH_DYNAMIC_STEREO);
    EXPECT_EQ(DMUS_E_NOT_DOWNLOADED_TO_PORT,
              perf->PlaySegmentEx(seg, nullptr, nullptr, DMUS_SEGF_SECONDARY, 0, nullptr, nullptr, path));
    ASSERT_EQ(S_OK, seg->Download(path));
    EXPECT_EQ(S_FALSE, seg->Download(path));
    EXPECT_EQ(DMUS_E_NOT_DOWNLOADED_TO_PORT,
              perf->PlaySegmentEx(seg, nullptr, nullptr, DMUS_SEGF_SECONDARY, 0, nullptr, nullptr, other));
    ASSERT_EQ(S_OK, perf->PlaySegmentEx(seg, nullptr, nullptr, DMUS_SEGF_SECONDARY, 0, nullptr, nullptr, path));
    Render(100);
    // Unloading stops what plays there.
    ASSERT_EQ(S_OK, seg->Unload(path));
    EXPECT_EQ(S_FALSE, perf->IsPlaying(seg, nullptr));
    EXPECT_EQ(DMUS_E_NOT_DOWNLOADED_TO_PORT, seg->Unload(path));
}

TEST_F(Playback, DownloadingToThePerformanceCoversTheDefaultPath) {
    IDirectMusicSegment8* seg = Segment(qndx_test::ConstantWave(480));
    ASSERT_EQ(S_OK, seg->Download(perf));
    ASSERT_EQ(S_OK, perf->PlaySegmentEx(seg, nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr));
    EXPECT_EQ(480u, SoundEnd(Render(1000)));
}

TEST_F(Playback, StopsByStateByPathAndEverything) {
    IDirectMusicSegment8* seg = Segment(qndx_test::ConstantWave(48000));
    IDirectMusicAudioPath8* p1 = Path(DMUS_APATH_DYNAMIC_STEREO);
    IDirectMusicAudioPath8* p2 = Path(DMUS_APATH_DYNAMIC_STEREO);
    ASSERT_EQ(S_OK, seg->Download(p1));
    ASSERT_EQ(S_OK, seg->Download(p2));
    IDirectMusicSegmentState8 *s1 = nullptr, *s2 = nullptr;
    ASSERT_EQ(S_OK, perf->PlaySegmentEx(seg, nullptr, nullptr, DMUS_SEGF_SECONDARY, 0, &s1, nullptr, p1));
    ASSERT_EQ(S_OK, perf->PlaySegmentEx(seg, nullptr, nullptr, DMUS_SEGF_SECONDARY, 0, &s2, nullptr, p2));
    Keep(s1);
    Keep(s2);
    EXPECT_FLOAT_EQ(1.0f, (float)Peak(Render(100), 0, 0, 100));
    ASSERT_EQ(S_OK, perf->StopEx(s1, 0, 0));
    EXPECT_EQ(S_FALSE, perf->IsPlaying(nullptr, s1));
    EXPECT_EQ(S_OK, perf->IsPlaying(nullptr, s2));
    EXPECT_EQ(S_OK, perf->IsPlaying(seg, nullptr));
    ASSERT_EQ(S_OK, perf->StopEx(p2, 0, 0));
    EXPECT_EQ(S_FALSE, perf->IsPlaying(seg, nullptr));
    EXPECT_EQ(E_POINTER, perf->IsPlaying(nullptr, nullptr));
}

TEST_F(Playback, ASegmentReleasedWhilePlayingPlaysOnAndAPathReleasedStopsIt) {
    IDirectMusicAudioPath8* path = nullptr;
    ASSERT_EQ(S_OK, perf->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_STEREO, 16, TRUE, &path));
    IDirectMusicSegment8* seg = nullptr;
    ASSERT_EQ(S_OK, LoadMemory(qndx_test::ConstantWave(2000), &seg));
    held.pop_back();  // this test releases it itself
    ASSERT_EQ(S_OK, Play(seg, path));
    seg->Release();
    EXPECT_EQ(2000u, SoundEnd(Render(4000)));

    IDirectMusicSegment8* loop = Segment(qndx_test::ConstantWave(100));
    ASSERT_EQ(S_OK, loop->SetRepeats(DMUS_SEG_REPEAT_INFINITE));
    ASSERT_EQ(S_OK, Play(loop, path));
    Render(500);
    path->Release();
    EXPECT_EQ(S_FALSE, perf->IsPlaying(loop, nullptr));
    EXPECT_EQ(0u, SoundEnd(Render(500)));
}

// ---- paths --------------------------------------------------------------------------

TEST_F(Playback, PathAndBufferVolumesMultiply) {
    IDirectMusicSegment8* seg = Segment(qndx_test::ConstantWave(48000));
    IDirectMusicAudioPath8* path = Path(DMUS_APATH_DYNAMIC_STEREO);
    IDirectSoundBuffer* buffer = ObjectInPath<IDirectSoundBuffer>(path, DMUS_PATH_BUFFER, IID_IDirectSoundBuffer);
    ASSERT_NE(nullptr, buffer);
    ASSERT_EQ(S_OK, path->SetVolume(-600, 0));
    ASSERT_EQ(DS_OK, buffer->SetVolume(-2000));
    LONG v = 0;
    ASSERT_EQ(DS_OK, buffer->GetVolume(&v));
    EXPECT_EQ(-2000, v);
    ASSERT_EQ(S_OK, Play(seg, path));
    EXPECT_NEAR(0.5 * VolumeGain(-600) * VolumeGain(-2000), Peak(Render(256), 0, 0, 256), 1e-6);

    ASSERT_EQ(DS_OK, buffer->SetVolume(DSBVOLUME_MIN));
    EXPECT_EQ(0.0, Peak(Render(256), 0, 0, 256));
    EXPECT_EQ(E_INVALIDARG, path->SetVolume(-9601, 0));
    EXPECT_EQ(E_INVALIDARG, path->SetVolume(1, 0));
    EXPECT_EQ(DSERR_INVALIDPARAM, buffer->SetVolume(1));
    EXPECT_EQ(DSERR_INVALIDPARAM, buffer->SetVolume(-10001));
}

TEST_F(Playback, PanAttenuatesTheFarChannelOnly) {
    IDirectMusicSegment8* seg = Segment(qndx_test::ConstantWave(48000));
    IDirectMusicAudioPath8* path = Path(DMUS_APATH_DYNAMIC_STEREO);
    IDirectSoundBuffer* buffer = ObjectInPath<IDirectSoundBuffer>(path, DMUS_PATH_BUFFER, IID_IDirectSoundBuffer);
    ASSERT_EQ(S_OK, Play(seg, path));
    ASSERT_EQ(DS_OK, buffer->SetPan(-600));
    std::vector<float> mix = Render(256);
    EXPECT_FLOAT_EQ(0.5f, (float)Peak(mix, 0, 0, 256));
    EXPECT_NEAR(0.5 * VolumeGain(-600), Peak(mix, 1, 0, 256), 1e-6);
    ASSERT_EQ(DS_OK, buffer->SetPan(DSBPAN_RIGHT));
    mix = Render(256);
    EXPECT_EQ(0.0, Peak(mix, 0, 0, 256));
    EXPECT_FLOAT_EQ(0.5f, (float)Peak(mix, 1, 0, 256));
    LONG pan = 0;
    ASSERT_EQ(DS_OK, buffer->GetPan(&pan));
    EXPECT_EQ(DSBPAN_RIGHT, pan);
    EXPECT_EQ(DSERR_INVALIDPARAM, buffer->SetPan(10001));
}

TEST_F(Playback, APathFadeReachesItsVolumeAfterItsDuration) {
    IDirectMusicSegment8* seg = Segment(qndx_test::ConstantWave(96000));
    IDirectMusicAudioPath8* path = Path(DMUS_APATH_DYNAMIC_STEREO);
    ASSERT_EQ(S_OK, Play(seg, path));
    ASSERT_EQ(S_OK, path->SetVolume(-2000, 1000));
    std::vector<float> mix = Render(72000);
    EXPECT_NEAR(0.5, Peak(mix, 0, 0, 1), 1e-3);                              // starts at full level
    EXPECT_NEAR(0.5 * VolumeGain(-1000), Peak(mix, 0, 24000, 24001), 2e-3);  // halfway in decibels
    EXPECT_NEAR(0.05, Peak(mix, 0, 48500, 72000), 1e-6);                     // there after one second
}

TEST_F(Playback, AnInactivePathIsSilentAndRefusesToPlay) {
    IDirectMusicSegment8* seg = Segment(qndx_test::ConstantWave(48000));
    IDirectMusicAudioPath8* path = Path(DMUS_APATH_DYNAMIC_STEREO);
    ASSERT_EQ(S_OK, Play(seg, path));
    Render(100);
    ASSERT_EQ(S_OK, path->Activate(FALSE));
    EXPECT_EQ(S_FALSE, perf->IsPlaying(seg, nullptr));
    EXPECT_EQ(DMUS_E_AUDIOPATH_INACTIVE,
              perf->PlaySegmentEx(seg, nullptr, nullptr, DMUS_SEGF_SECONDARY, 0, nullptr, nullptr, path));
    EXPECT_EQ(0u, SoundEnd(Render(500)));
    ASSERT_EQ(S_OK, path->Activate(TRUE));
    ASSERT_EQ(S_OK, perf->PlaySegmentEx(seg, nullptr, nullptr, DMUS_SEGF_SECONDARY, 0, nullptr, nullptr, path));
    EXPECT_FLOAT_EQ(0.5f, (float)Peak(Render(100), 0, 0, 100));
}

TEST_F(Playback, AMonoPathMixesBothChannelsToTheMiddle) {
    IDirectMusicSegment8* seg = Segment(qndx_test::WaveFile(48000, 2, 16, {16384, 8192}, 1000));
    IDirectMusicAudioPath8* path = Path(DMUS_APATH_DYNAMIC_MONO);
    ASSERT_EQ(S_OK, Play(seg, path));
    std::vector<float> mix = Render(500);
    EXPECT_FLOAT_EQ(0.375f, (float)Peak(mix, 0, 0, 500));
    EXPECT_FLOAT_EQ(0.375f, (float)Peak(mix, 1, 0, 500));
}

TEST_F(Playback, ObjectsInThePath) {
    IDirectMusicAudioPath8* stereo = Path(DMUS_APATH_DYNAMIC_STEREO);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE,
              stereo->GetObjectInPath(0, DMUS_PATH_BUFFER, 0, GUID_NULL, 0, IID_IDirectSound3DBuffer, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(DMUS_E_NOT_FOUND,
              stereo->GetObjectInPath(0, DMUS_PATH_BUFFER, 1, GUID_NULL, 0, IID_IDirectSoundBuffer, &object));
    EXPECT_EQ(DMUS_E_NOT_FOUND, stereo->GetObjectInPath(0, 0x1234, 0, GUID_NULL, 0, IID_IDirectSoundBuffer, &object));
    EXPECT_EQ(E_POINTER,
              stereo->GetObjectInPath(0, DMUS_PATH_BUFFER, 0, GUID_NULL, 0, IID_IDirectSoundBuffer, nullptr));
    // Every path reaches the one listener.
    IDirectMusicAudioPath8* other = Path(DMUS_APATH_DYNAMIC_3D);
    IDirectSound3DListener* l1 =
        ObjectInPath<IDirectSound3DListener>(stereo, DMUS_PATH_PRIMARY_BUFFER, IID_IDirectSound3DListener);
    IDirectSound3DListener* l2 =
        ObjectInPath<IDirectSound3DListener>(other, DMUS_PATH_PRIMARY_BUFFER, IID_IDirectSound3DListener);
    EXPECT_EQ(l1, l2);
    // The buffer answers as version 8 too, and as the same object.
    IDirectSoundBuffer* b = ObjectInPath<IDirectSoundBuffer>(stereo, DMUS_PATH_BUFFER, IID_IDirectSoundBuffer);
    IDirectSoundBuffer8* b8 = ObjectInPath<IDirectSoundBuffer8>(stereo, DMUS_PATH_BUFFER, IID_IDirectSoundBuffer8);
    EXPECT_EQ(static_cast<IDirectSoundBuffer*>(b8), b);
}

// ---- master volume and tempo --------------------------------------------------------

TEST_F(Playback, MasterVolumeScalesTheWholeMixAndAllowsTwentyDecibelsOfGain) {
    IDirectMusicSegment8* seg = Segment(qndx_test::ConstantWave(48000, 3277));  // about 0.1
    IDirectMusicAudioPath8* path = Path(DMUS_APATH_DYNAMIC_STEREO);
    ASSERT_EQ(S_OK, Play(seg, path));
    const double level = Peak(Render(256), 0, 0, 256);
    LONG volume = 2000;
    ASSERT_EQ(S_OK, perf->SetGlobalParam(GUID_PerfMasterVolume, &volume, sizeof volume));
    EXPECT_NEAR(level * 10, Peak(Render(256), 0, 0, 256), 1e-5);  // unclipped
    volume = -2000;
    ASSERT_EQ(S_OK, perf->SetGlobalParam(GUID_PerfMasterVolume, &volume, sizeof volume));
    EXPECT_NEAR(level / 10, Peak(Render(256), 0, 0, 256), 1e-6);
    LONG back = 0;
    ASSERT_EQ(S_OK, perf->GetGlobalParam(GUID_PerfMasterVolume, &back, sizeof back));
    EXPECT_EQ(-2000, back);

    volume = 2001;
    EXPECT_EQ(E_INVALIDARG, perf->SetGlobalParam(GUID_PerfMasterVolume, &volume, sizeof volume));
    volume = -20001;
    EXPECT_EQ(E_INVALIDARG, perf->SetGlobalParam(GUID_PerfMasterVolume, &volume, sizeof volume));
    EXPECT_EQ(E_INVALIDARG, perf->SetGlobalParam(GUID_PerfMasterVolume, &volume, 2));
    EXPECT_EQ(E_POINTER, perf->SetGlobalParam(GUID_PerfMasterVolume, nullptr, 4));
}

TEST_F(Playback, TempoTakesZeroAndItsRangeAndLeavesWavesAlone) {
    float tempo = 0.0f;
    ASSERT_EQ(S_OK, perf->SetGlobalParam(GUID_PerfMasterTempo, &tempo, sizeof tempo));
    tempo = 0.005f;
    EXPECT_EQ(E_INVALIDARG, perf->SetGlobalParam(GUID_PerfMasterTempo, &tempo, sizeof tempo));
    tempo = 100.5f;
    EXPECT_EQ(E_INVALIDARG, perf->SetGlobalParam(GUID_PerfMasterTempo, &tempo, sizeof tempo));
    tempo = 4.0f;
    ASSERT_EQ(S_OK, perf->SetGlobalParam(GUID_PerfMasterTempo, &tempo, sizeof tempo));
    float back = 0;
    ASSERT_EQ(S_OK, perf->GetGlobalParam(GUID_PerfMasterTempo, &back, sizeof back));
    EXPECT_EQ(4.0f, back);

    IDirectMusicSegment8* seg = Segment(qndx_test::ConstantWave(2400));
    ASSERT_EQ(S_OK, Play(seg, Path(DMUS_APATH_DYNAMIC_STEREO)));
    EXPECT_EQ(2400u, SoundEnd(Render(4800)));
}

// ---- life cycle and refusals --------------------------------------------------------

TEST_F(Playback, ThePerformanceRefusesWhatItCannotDo) {
    EXPECT_EQ(DMUS_E_ALREADY_INITED, perf->InitAudio(nullptr, nullptr, nullptr, 0, 16, 0, nullptr));
    IDirectMusicAudioPath8* path = nullptr;
    EXPECT_EQ(E_INVALIDARG, perf->CreateStandardAudioPath(5, 16, TRUE, &path));
    EXPECT_EQ(E_INVALIDARG, perf->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_STEREO, 0, TRUE, &path));
    EXPECT_EQ(nullptr, path);
    IDirectMusicSegment8* seg = Segment(qndx_test::ConstantWave(10));
    IDirectMusicAudioPath8* good = Path(DMUS_APATH_DYNAMIC_STEREO);
    ASSERT_EQ(S_OK, seg->Download(good));
    WCHAR name[] = {'x', 0};
    EXPECT_EQ(E_NOTIMPL, perf->PlaySegmentEx(seg, name, nullptr, 0, 0, nullptr, nullptr, good));
    EXPECT_EQ(E_NOTIMPL, perf->PlaySegmentEx(seg, nullptr, nullptr, 0, 0, nullptr, seg, good));
    EXPECT_EQ(E_POINTER, perf->PlaySegmentEx(nullptr, nullptr, nullptr, 0, 0, nullptr, nullptr, good));
    EXPECT_EQ(E_INVALIDARG, perf->PlaySegmentEx(good, nullptr, nullptr, 0, 0, nullptr, nullptr, good));
    EXPECT_EQ(E_INVALIDARG, perf->StopEx(loader, 0, 0));

    qndx::sim::FailNext("IDirectMusicPerformance8::PlaySegmentEx", 1, E_OUTOFMEMORY);
    EXPECT_EQ(E_OUTOFMEMORY, perf->PlaySegmentEx(seg, nullptr, nullptr, 0, 0, nullptr, nullptr, good));
    EXPECT_EQ(S_OK, perf->PlaySegmentEx(seg, nullptr, nullptr, 0, 0, nullptr, nullptr, good));
}

TEST_F(Playback, CloseDownSilencesEverythingAndInitAudioStartsAgain) {
    IDirectMusicSegment8* seg = Segment(qndx_test::ConstantWave(48000));
    IDirectMusicAudioPath8* path = Path(DMUS_APATH_DYNAMIC_STEREO);
    ASSERT_EQ(S_OK, Play(seg, path));
    EXPECT_EQ(1, qndx::sim::LivePerformances());
    ASSERT_EQ(S_OK, perf->CloseDown());
    EXPECT_EQ(0, qndx::sim::LivePerformances());
    EXPECT_EQ(DMUS_E_NOT_INIT, perf->IsPlaying(seg, nullptr));
    EXPECT_EQ(DMUS_E_NOT_INIT, perf->PlaySegmentEx(seg, nullptr, nullptr, 0, 0, nullptr, nullptr, path));
    EXPECT_EQ(DMUS_E_NOT_INIT, path->Activate(TRUE));

    ASSERT_EQ(S_OK, perf->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_DYNAMIC_STEREO, 16, 0, nullptr));
    EXPECT_EQ(DMUS_E_NOT_INIT, perf->PlaySegmentEx(seg, nullptr, nullptr, 0, 0, nullptr, nullptr, path));
    IDirectMusicAudioPath8* fresh = Path(DMUS_APATH_DYNAMIC_STEREO);
    ASSERT_EQ(S_OK, Play(seg, fresh));
    EXPECT_FLOAT_EQ(0.5f, (float)Peak(Render(100), 0, 0, 100));
}
