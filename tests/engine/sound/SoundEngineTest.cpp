// The sound engine: creation through the game manager, the sound directory,
// start-up failures and retries, master volume and tempo, the lists of paths
// and sounds, and clean-up at exit.
#include "SoundTestSupport.h"

#include "SoundEngine/3DAudioPath.h"
#include "SoundEngine/Sound.h"
#include "SoundEngine/StereoAudioPath.h"
#include "platform/sim/Sim.h"

using namespace qndx_sound_test;

TEST(SoundEngineCreate, NeedsAGameManager) {
    // No manager in this process.
    EXPECT_EQ(nullptr, CQNDXSoundEngine::Create(nullptr));
    EXPECT_EQ(nullptr, CQNDXSoundEngine::Create(reinterpret_cast<CQNDXGameManager*>(&errno)));
    EXPECT_EQ(0, CQNDXSoundEngine::Exists());
    EXPECT_EQ(nullptr, CQNDXSoundEngine::GetInstance());
    CQNDXSoundEngine::Destroy();  // nothing to destroy
}

TEST(SoundEngineCreate, TheManagerCreatesItOnceAndItMakesTheSoundDirectory) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXGameManager* gm = StartManager(dir.path());
        QNDX_CHILD_CHECK(gm->GetSoundEngine() == nullptr);  // the field alone never creates
        CQNDXSoundEngine* engine = gm->GetSoundEngine(64);
        QNDX_CHILD_CHECK(engine != nullptr);
        QNDX_CHILD_CHECK(gm->GetSoundEngine(64) == engine);
        QNDX_CHILD_CHECK(gm->GetSoundEngine() == engine);
        QNDX_CHILD_CHECK(CQNDXSoundEngine::Create(gm) == engine);
        QNDX_CHILD_CHECK(CQNDXSoundEngine::Exists() == 1);
        QNDX_CHILD_CHECK(engine->GetPerformance() != nullptr);
        QNDX_CHILD_CHECK(engine->GetLoader() != nullptr);
        // The program's directory followed directly by ".\sounds".
        QNDX_CHILD_CHECK(std::string(engine->GetSoundDirectory()) == dir.path() + ".\\sounds");
        QNDX_CHILD_CHECK(std::filesystem::is_directory(dir.path() + "/sounds"));
        QNDX_CHILD_CHECK(qndx::sim::LivePerformances() == 1);
    });
}

TEST(SoundEngineCreate, WithoutADirectoryOnTheCommandLineTheSoundsAreInTheCurrentOne) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        QNDX_CHILD_CHECK(chdir(dir.path().c_str()) == 0);
        qndx::sim::SetAudioOffline(true);
        qndx::sim::SetCommandLine("game.exe");
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        QNDX_CHILD_CHECK(gm->GetAppPath() == nullptr);
        CQNDXSoundEngine* engine = gm->GetSoundEngine(64);
        QNDX_CHILD_CHECK(engine != nullptr);
        QNDX_CHILD_CHECK(std::string(engine->GetSoundDirectory()) == ".\\sounds");
        QNDX_CHILD_CHECK(std::filesystem::is_directory(dir.path() + "/sounds"));
    });
}

TEST(SoundEngineCreate, AFailedStartUpGivesNoneAndIsTriedAgain) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXGameManager* gm = StartManager(dir.path());
        qndx::sim::FailNext("IDirectMusicPerformance8::InitAudio", 1, E_FAIL);
        QNDX_CHILD_CHECK(gm->GetSoundEngine(64) == nullptr);
        // The object stays, uninitialised, with nothing left running.
        CQNDXSoundEngine* engine = CQNDXSoundEngine::GetInstance();
        QNDX_CHILD_CHECK(engine != nullptr);
        QNDX_CHILD_CHECK(engine->GetPerformance() == nullptr);
        QNDX_CHILD_CHECK(qndx::sim::LivePerformances() == 0);

        qndx::sim::FailNext("CoCreateInstance(DirectMusicLoader)", 1, E_OUTOFMEMORY);
        QNDX_CHILD_CHECK(gm->GetSoundEngine(64) == nullptr);
        QNDX_CHILD_CHECK(engine->GetPerformance() == nullptr);
        QNDX_CHILD_CHECK(engine->GetLoader() == nullptr);
        QNDX_CHILD_CHECK(qndx::sim::LivePerformances() == 0);

        QNDX_CHILD_CHECK(gm->GetSoundEngine(64) == engine);
        QNDX_CHILD_CHECK(engine->GetPerformance() != nullptr);
        QNDX_CHILD_CHECK(qndx::sim::LivePerformances() == 1);
        // Once initialised, a further Init changes nothing.
        IDirectMusicPerformance8* perf = engine->GetPerformance();
        QNDX_CHILD_CHECK(engine->Init(64) == 0);
        QNDX_CHILD_CHECK(engine->GetPerformance() == perf);
        QNDX_CHILD_CHECK(qndx::sim::LivePerformances() == 1);
    });
}

TEST(SoundEngineCreate, TheFailureIsLogged) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXGameManager* gm = StartManager(dir.path());
        qndx::sim::FailNext("IDirectMusicPerformance8::InitAudio", 1, E_FAIL);
        QNDX_CHILD_CHECK(gm->GetSoundEngine(64) == nullptr);
    });
    std::ifstream log(dir.path() + "/debug/QNDX_0.57-game.log");
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(std::string::npos, text.find("The sound system could not be initialized (0x80004005)")) << text;
}

TEST(SoundEngineSettings, MasterVolumeAndTempoAreKeptInRange) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        QNDX_CHILD_CHECK(engine->SetMasterVolume(-30000) == 0);
        QNDX_CHILD_CHECK_EQ(-20000, engine->GetMasterVolume());
        QNDX_CHILD_CHECK(engine->SetMasterVolume(5000) == 0);
        QNDX_CHILD_CHECK_EQ(2000, engine->GetMasterVolume());
        QNDX_CHILD_CHECK(engine->SetMasterVolume(-1234) == 0);
        QNDX_CHILD_CHECK_EQ(-1234, engine->GetMasterVolume());
        QNDX_CHILD_CHECK(engine->SetMasterTempo(0.0025f) == 0);
        QNDX_CHILD_CHECK(engine->GetMasterTempo() == 0.0f);
        QNDX_CHILD_CHECK(engine->SetMasterTempo(250.0f) == 0);
        QNDX_CHILD_CHECK(engine->GetMasterTempo() == 100.0f);
        QNDX_CHILD_CHECK(engine->SetMasterTempo(1.5f) == 0);
        QNDX_CHILD_CHECK(engine->GetMasterTempo() == 1.5f);
    });
}

TEST(SoundEngineSettings, WithoutInitTheSettersRefuseAndGettersGiveZero) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXGameManager* gm = StartManager(dir.path());
        CQNDXSoundEngine* engine = CQNDXSoundEngine::Create(gm);
        QNDX_CHILD_CHECK(engine != nullptr);
        QNDX_CHILD_CHECK(engine->GetPerformance() == nullptr);
        QNDX_CHILD_CHECK(engine->SetMasterVolume(0) == -1);
        QNDX_CHILD_CHECK(engine->GetMasterVolume() == 0);
        QNDX_CHILD_CHECK(engine->SetMasterTempo(1.0f) == -1);
        QNDX_CHILD_CHECK(engine->GetMasterTempo() == 0.0f);
        QNDX_CHILD_CHECK(engine->CreateAudioPath(64) == nullptr);
        QNDX_CHILD_CHECK(engine->Create3DAudioPath(64) == nullptr);
        QNDX_CHILD_CHECK(engine->GetAudioPathCount() == 0);
        CQNDXSound sound(engine);  // no loader to load with
        QNDX_CHILD_CHECK(sound.Load("water.wav", 0) == -1);
        QNDX_CHILD_CHECK(sound.LoadFromResource("WATER", "WAVE", 0) == -1);
        // Without a loader the directory still changes (and is made).
        QNDX_CHILD_CHECK(engine->SetSoundDirectory((dir.path() + "/other").c_str()) == 0);
        QNDX_CHILD_CHECK(std::filesystem::is_directory(dir.path() + "/other"));
    });
}

TEST(SoundEngineSettings, ANewSoundDirectoryIsMadeAndSearched) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        QNDX_CHILD_CHECK(engine->SetSoundDirectory(nullptr) == -1);
        const std::string music = dir.path() + "\\music";
        QNDX_CHILD_CHECK(engine->SetSoundDirectory(music.c_str()) == 0);
        QNDX_CHILD_CHECK(std::string(engine->GetSoundDirectory()) == music);
        QNDX_CHILD_CHECK(std::filesystem::is_directory(dir.path() + "/music"));
        WriteFile(dir.path() + "/music/theme.wav", ConstantWave(10));
        CQNDXSound sound(engine);
        QNDX_CHILD_CHECK(sound.Load("theme.wav", 0) == 0);
    });
}

TEST(SoundEngineLists, AddingAndRemoving) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        CQNDXStereoAudioPath loose(engine);  // never created, never listed
        QNDX_CHILD_CHECK(engine->RemoveAudioPath(nullptr) == -1);
        QNDX_CHILD_CHECK(engine->RemoveAudioPath(&loose) == -2);
        engine->AddAudioPath(&loose);
        engine->AddAudioPath(&loose);
        engine->AddAudioPath(nullptr);
        QNDX_CHILD_CHECK(engine->GetAudioPathCount() == 1);
        QNDX_CHILD_CHECK(engine->RemoveAudioPath(&loose) == 0);
        QNDX_CHILD_CHECK(engine->GetAudioPathCount() == 0);

        CQNDXAudioPath* made = engine->CreateAudioPath(64);
        CQNDXAudioPath* made3d = engine->Create3DAudioPath(64);
        QNDX_CHILD_CHECK(made != nullptr);
        QNDX_CHILD_CHECK(made3d != nullptr);
        QNDX_CHILD_CHECK(engine->GetAudioPathCount() == 2);
        qndx::sim::FailNext("IDirectMusicPerformance8::CreateStandardAudioPath", 1, E_OUTOFMEMORY);
        QNDX_CHILD_CHECK(engine->CreateAudioPath(64) == nullptr);
        QNDX_CHILD_CHECK(engine->GetAudioPathCount() == 2);

        // Sounds list themselves; the list holds each once.
        {
            CQNDXSound sound(engine);
            QNDX_CHILD_CHECK(engine->GetSoundCount() == 1);
            engine->AddSound(&sound);
            QNDX_CHILD_CHECK(engine->GetSoundCount() == 1);
            QNDX_CHILD_CHECK(engine->RemoveSound(nullptr) == -1);
        }
        QNDX_CHILD_CHECK(engine->GetSoundCount() == 0);
        CQNDXSound outsider(nullptr);
        QNDX_CHILD_CHECK(engine->RemoveSound(&outsider) == -2);
        // A cleared sound answers for nothing and leaves the list.
        CQNDXSound cleared(engine);
        QNDX_CHILD_CHECK(engine->GetSoundCount() == 1);
        cleared.Clear();
        QNDX_CHILD_CHECK(engine->GetSoundCount() == 0);
        QNDX_CHILD_CHECK(cleared.IsPlaying() == -1);
    });
}

TEST(SoundEngineExit, PathsAndSoundsLeftAtExitAreCleanedUp) {
    // At exit the engine's holder destroys the paths left to it and closes
    // the performance down while a sound still plays on them; in the
    // sanitizer build any bad access or leak on that way fails the child.
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        WriteFile(dir.path() + "/sounds/loop.wav", ConstantWave(480));
        CQNDXAudioPath* stereo = engine->CreateAudioPath(64);
        CQNDXAudioPath* threeD = engine->Create3DAudioPath(64);
        QNDX_CHILD_CHECK(stereo);
        QNDX_CHILD_CHECK(threeD);
        auto* sound = new CQNDXSound(engine);
        QNDX_CHILD_CHECK(sound->Load("loop.wav", 0) == 0);
        QNDX_CHILD_CHECK(sound->SetRepeats(0xFFFFFFFF) == 0);
        QNDX_CHILD_CHECK(sound->PlaySecondary(stereo, 0) == 0);
        QNDX_CHILD_CHECK(sound->PlaySecondary(threeD, 0) == 0);
        Render(1000);
        delete sound;  // the application's part; the paths are left to the engine
    });
}

TEST(SoundEngineExit, DestroyingTheEngineFirstLeavesSoundsAndPathsSafe) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        WriteFile(dir.path() + "/sounds/loop.wav", ConstantWave(480));
        CQNDXAudioPath* path = engine->CreateAudioPath(64);
        auto* sound = new CQNDXSound(engine);
        QNDX_CHILD_CHECK(sound->Load("loop.wav", 0) == 0);
        QNDX_CHILD_CHECK(sound->SetRepeats(0xFFFFFFFF) == 0);
        QNDX_CHILD_CHECK(sound->PlaySecondary(path, 0) == 0);
        CQNDXSoundEngine::Destroy();
        QNDX_CHILD_CHECK(CQNDXSoundEngine::Exists() == 0);
        QNDX_CHILD_CHECK(qndx::sim::LivePerformances() == 0);
        // Both forgot the engine: no call reaches it.
        QNDX_CHILD_CHECK(sound->IsPlaying() == -1);
        QNDX_CHILD_CHECK(sound->IsDownloadedTo(path) == 0);
        QNDX_CHILD_CHECK(path->Destroy() == 0);
        delete sound;
    });
}
