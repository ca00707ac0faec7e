// Sounds: the wide-name conversion, loading by name and from resources
// (including damaged files), repeats, play, stop and playing state, the
// download bookkeeping per path, and what a sound does when it goes.
#define QNDX_ALLOCATION_COUNTER_DEFINE
#include "support/AllocationCounter.h"

#include "SoundTestSupport.h"

#include "LogEngine/Log.h"
#include "SoundEngine/Sound.h"
#include "SoundEngine/StereoAudioPath.h"
#include "SystemMessager.h"
#include "platform/Kernel.h"
#include "platform/sim/Sim.h"

using namespace qndx_sound_test;

TEST(SoundWideNames, TheWideNameHoldsEveryCharacterAndAZero) {
    WCHAR out[16];
    std::fill(std::begin(out), std::end(out), (WCHAR)'#');
    CQNDXSound::MultiByteToWide(out, "water.wav", -1);
    const char* expected = "water.wav";
    for (int i = 0; i < 9; ++i) EXPECT_EQ((WCHAR)expected[i], out[i]) << i;
    EXPECT_EQ(0, out[9]);
    EXPECT_EQ((WCHAR)'#', out[10]);

    // A short count keeps count - 1 characters and the zero.
    std::fill(std::begin(out), std::end(out), (WCHAR)'#');
    CQNDXSound::MultiByteToWide(out, "water.wav", 4);
    EXPECT_EQ((WCHAR)'w', out[0]);
    EXPECT_EQ((WCHAR)'t', out[2]);
    EXPECT_EQ(0, out[3]);
    EXPECT_EQ((WCHAR)'#', out[4]);

    // Windows-1252 bytes become their characters.
    CQNDXSound::MultiByteToWide(out, "\x80\xE9", -1);
    EXPECT_EQ(0x20AC, out[0]);
    EXPECT_EQ(0x00E9, out[1]);
}

TEST(SoundWideNames, NothingIsWrittenWithoutRoomOrInput) {
    WCHAR out[4] = {'#', '#', '#', '#'};
    CQNDXSound::ToWide(out, "abc", 0);
    CQNDXSound::ToWide(out, nullptr, 4);
    CQNDXSound::ToWide(nullptr, "abc", 4);
    CQNDXSound::MultiByteToWide(out, "abc", 0);  // no room even for the zero
    CQNDXSound::MultiByteToWide(out, "abc", -5);
    for (WCHAR c : out) EXPECT_EQ((WCHAR)'#', c);
    CQNDXSound::ToWide(out, "abc", 4);
    EXPECT_EQ((WCHAR)'c', out[2]);
    EXPECT_EQ(0, out[3]);
}

TEST(SoundEmpty, EverythingNeedsASegmentOrAnEngine) {
    // No manager needed: a sound without engine or segment refuses all.
    CQNDXSound sound(nullptr);
    DWORD repeats = 0;
    CQNDXStereoAudioPath path;
    EXPECT_EQ(-1, sound.Load("water.wav", 0));
    EXPECT_EQ(-1, sound.LoadFromResource("A", "B", 0));
    EXPECT_EQ(-1, sound.SetRepeats(1));
    EXPECT_EQ(-1, sound.GetRepeats(&repeats));
    EXPECT_EQ(-1, sound.Play(&path, 0, 0));
    EXPECT_EQ(-1, sound.Stop(0, 0));
    EXPECT_EQ(-1, sound.IsPlaying());
    EXPECT_EQ(-1, sound.Download(&path));
    EXPECT_EQ(-1, sound.Unload(&path));
    EXPECT_EQ(0, sound.IsDownloadedTo(&path));
}

TEST(SoundLoad, ASecondLoadIsRefusedAndTheFirstStays) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        WriteFile(dir.path() + "/sounds/water.wav", ConstantWave(100));
        WriteFile(dir.path() + "/sounds/bird.wav", ConstantWave(200));
        CQNDXSound sound(engine);
        QNDX_CHILD_CHECK(sound.Load(nullptr, 0) == -1);
        QNDX_CHILD_CHECK(sound.Load("water.wav", 0) == 0);
        IDirectMusicSegment8* first = sound.GetSegment();
        QNDX_CHILD_CHECK(first != nullptr);
        QNDX_CHILD_CHECK(sound.Load("bird.wav", 0) == -1);
        QNDX_CHILD_CHECK(sound.GetSegment() == first);
        QNDX_CHILD_CHECK(sound.LoadFromResource("BIRD", "WAVE", 0) == -1);
    });
}

TEST(SoundLoad, FailedLoadsLeaveTheSoundEmptyAndReadyForAnother) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        Bytes cut = ConstantWave(1000);
        cut.resize(cut.size() - 100);
        WriteFile(dir.path() + "/sounds/cut.wav", cut);
        Bytes hostile = ConstantWave(10);
        hostile[40] = hostile[41] = hostile[42] = hostile[43] = 0xFF;  // data length past the end
        WriteFile(dir.path() + "/sounds/hostile.wav", hostile);
        Bytes badMidi = OneNoteMidi();
        badMidi[21] = 0x7F;  // track length past the end
        WriteFile(dir.path() + "/sounds/bad.mid", badMidi);
        WriteFile(dir.path() + "/sounds/good.wav", ConstantWave(10));

        CQNDXSound sound(engine);
        QNDX_CHILD_CHECK(sound.Load("missing.wav", 0) == DMUS_E_LOADER_FAILEDOPEN);
        QNDX_CHILD_CHECK(sound.Load("cut.wav", 0) == DMUS_E_INVALIDFILE);
        QNDX_CHILD_CHECK(sound.Load("hostile.wav", 0) == DMUS_E_INVALIDFILE);
        QNDX_CHILD_CHECK(sound.Load("bad.mid", 1) == DMUS_E_INVALIDFILE);
        QNDX_CHILD_CHECK(sound.GetSegment() == nullptr);
        // A wave asked to load as MIDI has no MIDI track: refused, and the
        // sound stays empty rather than half loaded.
        QNDX_CHILD_CHECK(sound.Load("good.wav", 1) == DMUS_E_TRACK_NOT_FOUND);
        QNDX_CHILD_CHECK(sound.GetSegment() == nullptr);
        QNDX_CHILD_CHECK(sound.IsPlaying() == -1);
        QNDX_CHILD_CHECK(sound.Load("good.wav", 0) == 0);
    });
}

namespace {

class ErrorLog : public CQNDXLog {
public:
    std::vector<std::string> lines;
    int OnMessage(const char* msg, int type, int) override {
        if (type == 4) lines.push_back(msg);
        return 0;
    }
};

// A constant 8-bit mono wave of `bytes` bytes in all, at any rate.
Bytes WaveAt(uint32_t rate, size_t bytes) {
    Bytes b = ConstantWave(0);
    b[24] = (uint8_t)rate;
    b[25] = (uint8_t)(rate >> 8);
    b[26] = (uint8_t)(rate >> 16);
    b[27] = (uint8_t)(rate >> 24);
    b[32] = 1;   // block align
    b[34] = 8;   // bits per sample
    const size_t data = bytes - b.size();
    b.insert(b.end(), data, 0xC0);
    b[40] = (uint8_t)data;
    b[41] = (uint8_t)(data >> 8);
    b[4] = (uint8_t)(bytes - 8);
    b[5] = (uint8_t)((bytes - 8) >> 8);
    return b;
}

}  // namespace

// Every failed load writes one error line with the file (or resource) and
// the reason, and a hostile rate costs nothing to refuse.
TEST(SoundLoad, EveryFailureWritesOneLogLineNamingTheFileAndTheReason) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        ErrorLog log;
        CQNDXGameManager::GetInstance()->GetMessenger()->Register(&log, 0, 0, 1, 0);
        const std::string sounds = dir.path() + "/sounds/";
        WriteFile(sounds + "one-hz.wav", WaveAt(1, 1024));
        WriteFile(sounds + "eight-hz.wav", WaveAt(8, 10240));
        WriteFile(sounds + "ghz.wav", WaveAt(1750000000u, 57));
        Bytes cut = ConstantWave(1000);
        cut.resize(cut.size() - 100);
        WriteFile(sounds + "cut.wav", cut);
        Bytes badMidi = OneNoteMidi();
        badMidi[21] = 0x7F;  // track length past the end
        WriteFile(sounds + "bad.mid", badMidi);
        WriteFile(sounds + "good.wav", ConstantWave(10));
        const struct {
            const char* name;
            int isMidi;
            const char* reason;
        } cases[] = {
            {"one-hz.wav", 0, "sample rate of 1 Hz"},
            {"eight-hz.wav", 0, "sample rate of 8 Hz"},
            {"ghz.wav", 0, "sample rate of 1750000000 Hz"},
            {"cut.wav", 0, "truncated wave file"},
            {"bad.mid", 1, "truncated MIDI file"},
            {"missing.wav", 0, "cannot be opened"},
            {"good.wav", 1, "no MIDI track"},
        };
        for (const auto& c : cases) {
            CQNDXSound sound(engine);
            log.lines.clear();
            int result;
            uint64_t allocated;
            {
                qndx_test::AllocationCounter counter;
                result = sound.Load(c.name, c.isMidi);
                allocated = counter.Bytes();
            }
            if (result >= 0 || log.lines.size() != 1 || log.lines[0].find(c.name) == std::string::npos ||
                log.lines[0].find(c.reason) == std::string::npos || allocated > (128u << 10)) {
                std::fprintf(stderr, "%s: result %d, %llu bytes allocated, %zu lines\n", c.name, result,
                             (unsigned long long)allocated, log.lines.size());
                for (const std::string& line : log.lines) std::fprintf(stderr, "  %s\n", line.c_str());
                QNDX_CHILD_CHECK(!"one line with the name and the reason, for little memory");
            }
        }
        CQNDXSound fromResource(engine);
        log.lines.clear();
        QNDX_CHILD_CHECK(fromResource.LoadFromResource("NONE", "WAVE", 0) == E_FAIL);
        QNDX_CHILD_CHECK_EQ(1, log.lines.size());
        QNDX_CHILD_CHECK(log.lines[0].find("\"NONE\"") != std::string::npos);
        QNDX_CHILD_CHECK(log.lines[0].find("no such resource") != std::string::npos);
        CQNDXGameManager::GetInstance()->GetMessenger()->Unregister(&log);
    });
}

TEST(SoundLoad, FromTheProgramsResources) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        const Bytes wave = ConstantWave(960);
        QNDX_CHILD_CHECK(QndxRegisterResource("WAVE", "BIRD", wave.data(), (DWORD)wave.size()));
        CQNDXAudioPath* path = engine->CreateAudioPath(64);
        CQNDXSound missing(engine);
        QNDX_CHILD_CHECK(missing.LoadFromResource("NONE", "WAVE", 0) == E_FAIL);
        qndx::sim::FailNext("LoadResource", 1, ERROR_RESOURCE_DATA_NOT_FOUND);
        QNDX_CHILD_CHECK(missing.LoadFromResource("BIRD", "WAVE", 0) == E_FAIL);
        QNDX_CHILD_CHECK(missing.GetSegment() == nullptr);

        CQNDXSound bird(engine);
        QNDX_CHILD_CHECK(bird.LoadFromResource("BIRD", "WAVE", 0) == 0);
        QNDX_CHILD_CHECK(bird.PlaySecondary(path, 0) == 0);
        QNDX_CHILD_CHECK_EQ(960, SoundEnd(Render(2000)));
    });
}

TEST(SoundPlay, PlaysAtItsLevelLoopsWhenAskedAndStops) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        WriteFile(dir.path() + "/sounds/water.wav", ConstantWave(4800));
        CQNDXAudioPath* path = engine->CreateAudioPath(64);
        CQNDXSound water(engine);
        QNDX_CHILD_CHECK(water.Load("water.wav", 0) == 0);
        QNDX_CHILD_CHECK(water.IsPlaying() == 0);
        QNDX_CHILD_CHECK(water.PlaySecondary(path, 0) == 0);
        QNDX_CHILD_CHECK(water.IsPlaying() == 1);
        std::vector<float> mix = Render(9600);
        QNDX_CHILD_CHECK_EQ(4800, SoundEnd(mix));
        QNDX_CHILD_CHECK_NEAR(0.5, Peak(mix, 1, 0, 4800), 1e-6);
        QNDX_CHILD_CHECK(water.IsPlaying() == 0);

        // Repeating for ever loops until Stop.
        QNDX_CHILD_CHECK(water.SetRepeats(0xFFFFFFFF) == 0);
        DWORD repeats = 0;
        QNDX_CHILD_CHECK(water.GetRepeats(&repeats) == 0);
        QNDX_CHILD_CHECK(repeats == 0xFFFFFFFF);
        QNDX_CHILD_CHECK(water.GetRepeats(nullptr) == -1);
        QNDX_CHILD_CHECK(water.PlaySecondary(path, 0) == 0);
        mix = Render(48000);
        QNDX_CHILD_CHECK_EQ(48000, SoundEnd(mix));
        QNDX_CHILD_CHECK(water.IsPlaying() == 1);
        QNDX_CHILD_CHECK(water.Stop(0, 0) == 0);
        QNDX_CHILD_CHECK(water.IsPlaying() == 0);
        QNDX_CHILD_CHECK_EQ(0, SoundEnd(Render(4800)));

        // A count of two plays three times.
        QNDX_CHILD_CHECK(water.SetRepeats(2) == 0);
        QNDX_CHILD_CHECK(water.PlaySecondary(path, 0) == 0);
        QNDX_CHILD_CHECK_EQ(14400, SoundEnd(Render(20000)));
    });
}

TEST(SoundPlay, SecondarySoundsMixAndAPrimaryTakesThePrimarysPlace) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        WriteFile(dir.path() + "/sounds/a.wav", ConstantWave(48000, 8192));
        WriteFile(dir.path() + "/sounds/b.wav", ConstantWave(48000, 4096));
        CQNDXAudioPath* path = engine->CreateAudioPath(64);
        CQNDXSound a(engine), b(engine);
        QNDX_CHILD_CHECK(a.Load("a.wav", 0) == 0);
        QNDX_CHILD_CHECK(b.Load("b.wav", 0) == 0);
        QNDX_CHILD_CHECK(a.PlaySecondary(path, 0) == 0);
        QNDX_CHILD_CHECK(b.PlaySecondary(path, 0) == 0);
        QNDX_CHILD_CHECK_NEAR(0.375, Peak(Render(256), 0, 0, 256), 1e-6);
        QNDX_CHILD_CHECK(a.Stop(0, 0) == 0);
        QNDX_CHILD_CHECK(b.Stop(0, 0) == 0);
        QNDX_CHILD_CHECK(a.PlayPrimary(path, 0) == 0);
        Render(256);
        QNDX_CHILD_CHECK(b.PlayPrimary(path, 0) == 0);
        QNDX_CHILD_CHECK(a.IsPlaying() == 0);
        QNDX_CHILD_CHECK(b.IsPlaying() == 1);
        QNDX_CHILD_CHECK_NEAR(0.125, Peak(Render(256), 0, 0, 256), 1e-6);
    });
}

TEST(SoundPaths, PlayingTwiceDownloadsOnceAndTheListIsKept) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        WriteFile(dir.path() + "/sounds/water.wav", ConstantWave(480));
        CQNDXAudioPath* path = engine->CreateAudioPath(64);
        CQNDXAudioPath* other = engine->CreateAudioPath(64);
        CQNDXSound water(engine);
        QNDX_CHILD_CHECK(water.Load("water.wav", 0) == 0);
        qndx::sim::EnableJournal(true);
        QNDX_CHILD_CHECK(water.PlaySecondary(path, 0) == 0);
        QNDX_CHILD_CHECK(water.PlaySecondary(path, 0) == 0);
        QNDX_CHILD_CHECK(qndx::sim::JournalCount("IDirectMusicSegment8::Download") == 1);
        QNDX_CHILD_CHECK(water.IsDownloadedTo(path) == 1);
        QNDX_CHILD_CHECK(water.Download(path) == -1);
        QNDX_CHILD_CHECK(water.Download(nullptr) == -1);
        QNDX_CHILD_CHECK(water.Unload(other) == -2);
        QNDX_CHILD_CHECK(water.Unload(nullptr) == -1);

        // A failed unload keeps the path listed.
        qndx::sim::FailNext("IDirectMusicSegment8::Unload", 1, E_FAIL);
        QNDX_CHILD_CHECK(water.Unload(path) == E_FAIL);
        QNDX_CHILD_CHECK(water.IsDownloadedTo(path) == 1);
        QNDX_CHILD_CHECK(water.Unload(path) == 0);
        QNDX_CHILD_CHECK(water.IsDownloadedTo(path) == 0);

        // A failing download is ignored by Play, and the play reports it.
        qndx::sim::FailNext("IDirectMusicSegment8::Download", 1, E_OUTOFMEMORY);
        QNDX_CHILD_CHECK(water.PlaySecondary(other, 0) == DMUS_E_NOT_DOWNLOADED_TO_PORT);
        QNDX_CHILD_CHECK(water.IsDownloadedTo(other) == 0);
    });
}

TEST(SoundPaths, ASoundGoingStopsAndUnloadsEverywhere) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        WriteFile(dir.path() + "/sounds/loop.wav", ConstantWave(480));
        CQNDXAudioPath* p1 = engine->CreateAudioPath(64);
        CQNDXAudioPath* p2 = engine->Create3DAudioPath(64);
        auto* loop = new CQNDXSound(engine);
        QNDX_CHILD_CHECK(loop->Load("loop.wav", 0) == 0);
        QNDX_CHILD_CHECK(loop->SetRepeats(0xFFFFFFFF) == 0);
        QNDX_CHILD_CHECK(loop->PlaySecondary(p1, 0) == 0);
        QNDX_CHILD_CHECK(loop->PlaySecondary(p2, 0) == 0);
        QNDX_CHILD_CHECK(engine->GetSoundCount() == 1);
        qndx::sim::EnableJournal(true);
        delete loop;
        QNDX_CHILD_CHECK(qndx::sim::JournalCount("IDirectMusicPerformance8::StopEx") == 1);
        QNDX_CHILD_CHECK(qndx::sim::JournalCount("IDirectMusicSegment8::Unload") == 2);
        QNDX_CHILD_CHECK(engine->GetSoundCount() == 0);
        QNDX_CHILD_CHECK_EQ(0, SoundEnd(Render(1000)));
    });
}

TEST(SoundPaths, ADestroyedPathLeavesEverySoundThatUsedIt) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        WriteFile(dir.path() + "/sounds/loop.wav", ConstantWave(480));
        CQNDXAudioPath* destroyed = engine->CreateAudioPath(64);
        CQNDXAudioPath* deleted = engine->CreateAudioPath(64);
        CQNDXSound a(engine), b(engine);
        QNDX_CHILD_CHECK(a.Load("loop.wav", 0) == 0);
        QNDX_CHILD_CHECK(b.Load("loop.wav", 0) == 0);
        QNDX_CHILD_CHECK(a.SetRepeats(0xFFFFFFFF) == 0);
        QNDX_CHILD_CHECK(a.PlaySecondary(destroyed, 0) == 0);
        QNDX_CHILD_CHECK(b.PlaySecondary(destroyed, 0) == 0);
        QNDX_CHILD_CHECK(a.PlaySecondary(deleted, 0) == 0);
        QNDX_CHILD_CHECK(destroyed->Destroy() == 0);
        QNDX_CHILD_CHECK(a.IsDownloadedTo(destroyed) == 0);
        QNDX_CHILD_CHECK(b.IsDownloadedTo(destroyed) == 0);
        QNDX_CHILD_CHECK(engine->GetAudioPathCount() == 1);
        // Deleted without Destroy: it still leaves the engine and the sounds.
        delete deleted;
        QNDX_CHILD_CHECK(a.IsDownloadedTo(deleted) == 0);
        QNDX_CHILD_CHECK(engine->GetAudioPathCount() == 0);
        QNDX_CHILD_CHECK(a.IsPlaying() == 0);
        QNDX_CHILD_CHECK_EQ(0, SoundEnd(Render(1000)));
    });
}

TEST(SoundPaths, NoSoundKeepsADeletedPathInOrOutOfTheEnginesList) {
    // A sound taken out of its engine's list, or left without an engine,
    // must not reach a path once it is gone; the sanitizer build fails the
    // child on any such read.
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXGameManager* gm = StartManager(dir.path());
        CQNDXSoundEngine* engine = gm->GetSoundEngine(64);
        QNDX_CHILD_CHECK(engine != nullptr);
        WriteFile(dir.path() + "/sounds/a.wav", ConstantWave(480));
        auto* first = new CQNDXSound(engine);
        auto* second = new CQNDXSound(engine);
        QNDX_CHILD_CHECK(first->Load("a.wav", 0) == 0 && second->Load("a.wav", 0) == 0);
        CQNDXAudioPath* p1 = engine->CreateAudioPath(64);
        CQNDXAudioPath* p2 = engine->CreateAudioPath(64);
        QNDX_CHILD_CHECK(engine->RemoveSound(first) == 0 && engine->RemoveSound(second) == 0);
        QNDX_CHILD_CHECK(first->PlaySecondary(p1, 0) == 0 && second->PlaySecondary(p2, 0) == 0);
        qndx::sim::EnableJournal(true);
        QNDX_CHILD_CHECK(p1->Destroy() == 0);
        QNDX_CHILD_CHECK(p2->Destroy() == 0);
        QNDX_CHILD_CHECK_EQ(2, qndx::sim::JournalCount("IDirectMusicSegment8::Unload"));
        QNDX_CHILD_CHECK(first->IsDownloadedTo(p1) == 0 && second->IsDownloadedTo(p2) == 0);
        delete first;
        CQNDXSoundEngine::Destroy();  // reaches `second` through its engine link
        delete second;

        // Left without an engine: the old segment downloads nowhere.
        engine = gm->GetSoundEngine(64);
        QNDX_CHILD_CHECK(engine != nullptr);
        auto* orphan = new CQNDXSound(engine);
        QNDX_CHILD_CHECK(orphan->Load("a.wav", 0) == 0);
        CQNDXSoundEngine::Destroy();
        engine = gm->GetSoundEngine(64);
        QNDX_CHILD_CHECK(engine != nullptr);
        CQNDXAudioPath* p3 = engine->Create3DAudioPath(64);
        QNDX_CHILD_CHECK(orphan->Download(p3) == -1);
        QNDX_CHILD_CHECK(orphan->IsDownloadedTo(p3) == 0);
        QNDX_CHILD_CHECK(p3->Destroy() == 0);
        delete orphan;

        // A cleared sound deleted while it still names a path.
        auto* cleared = new CQNDXSound(engine);
        QNDX_CHILD_CHECK(cleared->Load("a.wav", 0) == 0);
        CQNDXAudioPath* p4 = engine->CreateAudioPath(64);
        QNDX_CHILD_CHECK(cleared->Download(p4) == 0);
        IDirectMusicSegment8* segment = cleared->GetSegment();
        cleared->Clear();
        delete cleared;
        segment->Release();
        QNDX_CHILD_CHECK(p4->Destroy() == 0);
    });
}

TEST(SoundMidi, AStandardMidiFilePlaysThroughTheEngine) {
    if (!qndx::sim::MidiAvailable()) GTEST_SKIP() << "no FluidSynth or no General MIDI SoundFont on this machine";
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        WriteFile(dir.path() + "/sounds/tune.mid", OneNoteMidi());
        CQNDXAudioPath* path = engine->CreateAudioPath(64);
        CQNDXSound tune(engine);
        QNDX_CHILD_CHECK(tune.Load("tune.mid", 1) == 0);
        QNDX_CHILD_CHECK(tune.PlaySecondary(path, 0) == 0);
        std::vector<float> mix = Render(24000);
        QNDX_CHILD_CHECK(Peak(mix, 0, 0, 24000) > 0.01);
        QNDX_CHILD_CHECK(tune.IsPlaying() == 1);
        QNDX_CHILD_CHECK(tune.Stop(0, 0) == 0);
        QNDX_CHILD_CHECK(Peak(Render(4800), 0, 0, 4800) == 0.0);
    });
}

namespace {

constexpr double kPi = 3.14159265358979323846;

// A 16-bit PCM wave of `seconds` seconds: channel c holds a sine of
// frequency `hz[c]` at amplitude 0.5, starting at phase 0.
Bytes SineWave(int rate, int channels, const double* hz, int seconds) {
    const size_t frames = (size_t)rate * (size_t)seconds;
    Bytes b{'R', 'I', 'F', 'F'};
    Put32(&b, (uint32_t)(36 + 2 * channels * frames));
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(&b, 16);
    Put16(&b, 1);
    Put16(&b, (uint32_t)channels);
    Put32(&b, (uint32_t)rate);
    Put32(&b, (uint32_t)(rate * channels * 2));
    Put16(&b, (uint32_t)(channels * 2));
    Put16(&b, 16);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    Put32(&b, (uint32_t)(2 * channels * frames));
    for (size_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            Put16(&b, (uint32_t)(int16_t)std::lround(16384.0 * std::sin(2 * kPi * hz[c] * (double)f / rate)));
    return b;
}

// Least-squares fit of a sine of the known angular frequency `w` (radians
// per mix frame) to one channel over frames [from, to): amplitude and phase
// of a * sin(w t + phase), t counted from the start of the mix.
struct SineFit {
    double amplitude;
    double phase;
};

SineFit FitSine(const std::vector<float>& mix, int channel, double w, size_t from, size_t to) {
    double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
    for (size_t t = from; t < to; ++t) {
        const double s = std::sin(w * (double)t), c = std::cos(w * (double)t), y = mix[2 * t + channel];
        ss += s * s;
        sc += s * c;
        cc += c * c;
        ys += y * s;
        yc += y * c;
    }
    // y = p sin + q cos = a sin(w t + phase) with p = a cos(phase), q = a sin(phase).
    const double det = ss * cc - sc * sc;
    const double p = (ys * cc - yc * sc) / det, q = (yc * ss - ys * sc) / det;
    return {std::hypot(p, q), std::atan2(q, p)};
}

}  // namespace

// Six-second sines at every common rate, mono and stereo, played through
// the engine and mixed offline, against the ideal sine at the mix rate:
// the right length, the phase fitted at the start and at the end within
// half a frame of the ideal (no frame lost or gained on the way through the
// resampler), and no click anywhere between.
TEST(SoundPlay, SinesAtEveryRateKeepTheirLengthAndPhase) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        CQNDXAudioPath* path = engine->CreateAudioPath(64);
        QNDX_CHILD_CHECK(path != nullptr);
        const double hz[2] = {440.0, 660.0};
        constexpr int kSeconds = 6;
        constexpr size_t kFrames = (size_t)kSeconds * 48000;
        // The fit windows; the resampler's filter blurs a few frames at each end.
        constexpr size_t kWindow = 4800, kEdge = 480;
        int failures = 0;
        for (int rate : {8000, 11025, 22050, 32000, 44100, 48000}) {
            for (int channels : {1, 2}) {
                const std::string name = "sine-" + std::to_string(rate) + "-" + std::to_string(channels) + ".wav";
                WriteFile(dir.path() + "/sounds/" + name, SineWave(rate, channels, hz, kSeconds));
                CQNDXSound sine(engine);
                QNDX_CHILD_CHECK(sine.Load(name.c_str(), 0) == 0);
                QNDX_CHILD_CHECK(sine.PlaySecondary(path, 0) == 0);
                const std::vector<float> mix = Render(kFrames + 4800);
                const size_t end = SoundEnd(mix);
                bool bad = end + 1 < kFrames || end > kFrames + 1;
                std::fprintf(stderr, "%s: %zu frames", name.c_str(), end);
                for (int c = 0; c < 2; ++c) {
                    // A mono wave plays on both sides.
                    const double w = 2 * kPi * hz[channels == 1 ? 0 : c] / 48000.0;
                    const SineFit head = FitSine(mix, c, w, kEdge, kEdge + kWindow);
                    const SineFit tail = FitSine(mix, c, w, kFrames - kEdge - kWindow, kFrames - kEdge);
                    const double headLag = std::remainder(head.phase, 2 * kPi) / w;
                    const double tailLag = std::remainder(tail.phase, 2 * kPi) / w;
                    double worst = 0;
                    for (size_t t = kEdge; t < kFrames - kEdge; ++t)
                        worst = std::max(worst, std::fabs(mix[2 * t + c] - 0.5 * std::sin(w * (double)t)));
                    std::fprintf(stderr, "; channel %d: phase %+.3f and %+.3f frames, amplitude %.4f, worst %.4f", c,
                                 headLag, tailLag, tail.amplitude, worst);
                    // A frame lost or gained is a step of 0.03 or more at these frequencies.
                    bad = bad || std::fabs(headLag) > 0.5 || std::fabs(tailLag - headLag) > 0.5 ||
                          std::fabs(tail.amplitude - 0.5) > 0.005 || worst > 0.005;
                }
                std::fprintf(stderr, "%s\n", bad ? "  <- wrong" : "");
                failures += bad;
            }
        }
        QNDX_CHILD_CHECK_EQ(0, failures);
    });
}

namespace {

// Level in decibels of an amplitude against the waves' 0.5.
double Decibels(double amplitude) { return 20 * std::log10(std::max(amplitude, 1e-12) / 0.5); }

double Rms(const std::vector<float>& mix, int channel, size_t from, size_t to) {
    double sum = 0;
    for (size_t t = from; t < to; ++t) sum += (double)mix[2 * t + channel] * mix[2 * t + channel];
    return std::sqrt(sum / (double)(to - from));
}

// Plays a stereo sine wave made by SineWave and returns its mix.
std::vector<float> PlaySine(CQNDXSoundEngine* engine, CQNDXAudioPath* path, const std::string& dir, int rate,
                            const double* hz, int seconds) {
    const std::string name = "tone-" + std::to_string(rate) + "-" + std::to_string((int)hz[0]) + ".wav";
    WriteFile(dir + "/sounds/" + name, SineWave(rate, 2, hz, seconds));
    CQNDXSound sound(engine);
    QNDX_CHILD_CHECK(sound.Load(name.c_str(), 0) == 0);
    QNDX_CHILD_CHECK(sound.PlaySecondary(path, 0) == 0);
    return Render((size_t)seconds * 48000 + 4800);
}

}  // namespace

// A tone above half the mix rate cannot be played: it must go, not come
// back folded below it. The left side holds the tone; the right side holds
// one the mix can carry, which must keep its level. Measured by a fit at
// the folded frequency and by the left side's whole level.
TEST(SoundPlay, TonesAboveHalfTheMixRateAreRemovedNotFolded) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        CQNDXAudioPath* path = engine->CreateAudioPath(64);
        QNDX_CHILD_CHECK(path != nullptr);
        constexpr int kSeconds = 2;
        constexpr size_t kFrom = 4800, kTo = kSeconds * 48000 - 4800;
        const struct {
            int rate;
            double tone, folded, kept;
        } cases[] = {{96000, 30000, 18000, 10000}, {192000, 60000, 12000, 3000}, {96000, 25000, 23000, 20000}};
        int failures = 0;
        for (const auto& c : cases) {
            const double hz[2] = {c.tone, c.kept};
            const std::vector<float> mix = PlaySine(engine, path, dir.path(), c.rate, hz, kSeconds);
            const double folded = Decibels(FitSine(mix, 0, 2 * kPi * c.folded / 48000, kFrom, kTo).amplitude);
            const double whole = Decibels(std::sqrt(2.0) * Rms(mix, 0, kFrom, kTo));
            const double kept = Decibels(FitSine(mix, 1, 2 * kPi * c.kept / 48000, kFrom, kTo).amplitude);
            const bool bad = folded > -50 || whole > -50 || std::fabs(kept) > 0.5;
            std::fprintf(stderr, "%d Hz, %.0f Hz tone: %.1f dB at %.0f Hz, %.1f dB in all; %.0f Hz at %+.2f dB%s\n",
                         c.rate, c.tone, folded, c.folded, whole, c.kept, kept, bad ? "  <- wrong" : "");
            failures += bad;
        }
        QNDX_CHILD_CHECK_EQ(0, failures);
    });
}

// Up to 20 kHz a 44.1 kHz wave plays at its own level, within half a
// decibel, at low and high frequencies alike.
TEST(SoundPlay, A44100HzWaveIsFlatTo20kHz) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        CQNDXAudioPath* path = engine->CreateAudioPath(64);
        QNDX_CHILD_CHECK(path != nullptr);
        constexpr int kSeconds = 1;
        constexpr size_t kFrom = 4800, kTo = kSeconds * 48000 - 4800;
        const double pairs[][2] = {{1000, 20000}, {5000, 19500}, {10000, 19000}, {15000, 18000}};
        int failures = 0;
        for (const auto& hz : pairs) {
            const std::vector<float> mix = PlaySine(engine, path, dir.path(), 44100, hz, kSeconds);
            for (int c = 0; c < 2; ++c) {
                const double level = Decibels(FitSine(mix, c, 2 * kPi * hz[c] / 48000, kFrom, kTo).amplitude);
                const bool bad = std::fabs(level) > 0.5;
                std::fprintf(stderr, "%.0f Hz: %+.2f dB%s\n", hz[c], level, bad ? "  <- wrong" : "");
                failures += bad;
            }
        }
        QNDX_CHILD_CHECK_EQ(0, failures);
    });
}

namespace {

// A format-1 MIDI file of `count` tracks, 96 ticks per quarter at 120 per
// minute: middle C from 0 to 0.25 s in the second track, G above it from
// 1 s to 1.25 s in the last; every other track is empty.
Bytes ManyTrackMidi(unsigned count) {
    const Bytes first = {0x00, 0x90, 60, 100, 0x30, 0x80, 60, 0};
    const Bytes last = {0x81, 0x40, 0x90, 67, 100, 0x30, 0x80, 67, 0};  // delta 192
    Bytes b{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, (uint8_t)(count >> 8), (uint8_t)count, 0, 96};
    for (unsigned t = 0; t < count; ++t) {
        Bytes events = t == 1 ? first : t + 1 == count ? last : Bytes();
        events.insert(events.end(), {0x00, 0xFF, 0x2F, 0x00});
        b.insert(b.end(), {'M', 'T', 'r', 'k', 0, 0, 0, (uint8_t)events.size()});
        b.insert(b.end(), events.begin(), events.end());
    }
    return b;
}

// The first frame at or after `from` where either side reaches `level`.
size_t Onset(const std::vector<float>& mix, size_t from, float level) {
    for (size_t f = from; 2 * f + 1 < mix.size(); ++f)
        if (std::fabs(mix[2 * f]) >= level || std::fabs(mix[2 * f + 1]) >= level) return f;
    return mix.size() / 2;
}

}  // namespace

// FluidSynth's player takes at most 127 tracks; files with more play all
// the same, each note where a three-track file with the same notes has it.
TEST(SoundMidi, FilesWithHundredsOfTracksPlayEveryNoteOnTime) {
    if (!qndx::sim::MidiAvailable()) GTEST_SKIP() << "no FluidSynth or no General MIDI SoundFont on this machine";
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        CQNDXAudioPath* path = engine->CreateAudioPath(64);
        size_t reference[2] = {0, 0};
        for (unsigned count : {3u, 127u, 128u, 300u}) {
            const std::string name = std::to_string(count) + ".mid";
            WriteFile(dir.path() + "/sounds/" + name, ManyTrackMidi(count));
            CQNDXSound tune(engine);
            QNDX_CHILD_CHECK(tune.Load(name.c_str(), 1) == 0);
            QNDX_CHILD_CHECK(tune.PlaySecondary(path, 0) == 0);
            std::vector<float> mix;
            for (int part = 0; part < 3; ++part) {
                QNDX_CHILD_CHECK(tune.IsPlaying() == 1);
                const std::vector<float> more = Render(24000);
                mix.insert(mix.end(), more.begin(), more.end());
            }
            const size_t first = Onset(mix, 0, 0.01f), second = Onset(mix, 24000, 0.01f);
            std::fprintf(stderr, "%u tracks: notes from frames %zu and %zu\n", count, first, second);
            QNDX_CHILD_CHECK(first < 480);
            QNDX_CHILD_CHECK(second >= 48000);
            QNDX_CHILD_CHECK(second < 48480);
            QNDX_CHILD_CHECK(Peak(mix, 0, 36000, 48000) < 0.001);  // nothing early
            if (count == 3) {
                reference[0] = first;
                reference[1] = second;
            }
            QNDX_CHILD_CHECK_EQ(reference[0], first);
            QNDX_CHILD_CHECK_EQ(reference[1], second);
            // Then the tune ends.
            for (int frames = 0; tune.IsPlaying() == 1; frames += 4800) {
                QNDX_CHILD_CHECK(frames < 5 * 48000);
                Render(4800);
            }
        }
    });
}
