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
    ScratchDir dir;
    IN_SOUND_CHILD({
        CQNDXGameManager* gm = StartManager(dir.path());
        SOUND_CHECK(gm->GetSoundEngine() == nullptr);  // the field alone never creates
        CQNDXSoundEngine* engine = gm->GetSoundEngine(64);
        SOUND_CHECK(engine != nullptr);
        SOUND_CHECK(gm->GetSoundEngine(64) == engine);
        SOUND_CHECK(gm->GetSoundEngine() == engine);
        SOUND_CHECK(CQNDXSoundEngine::Create(gm) == engine);
        SOUND_CHECK(CQNDXSoundEngine::Exists() == 1);
        SOUND_CHECK(engine->GetPerformance() != nullptr && engine->GetLoader() != nullptr);
        // The program's directory followed directly by ".\sounds".
        SOUND_CHECK(std::string(engine->GetSoundDirectory()) == dir.path() + ".\\sounds");
        SOUND_CHECK(std::filesystem::is_directory(dir.path() + "/sounds"));
        SOUND_CHECK(qndx::sim::LivePerformances() == 1);
    });
}

TEST(SoundEngineCreate, WithoutADirectoryOnTheCommandLineTheSoundsAreInTheCurrentOne) {
    ScratchDir dir;
    IN_SOUND_CHILD({
        SOUND_CHECK(chdir(dir.path().c_str()) == 0);
        qndx::sim::SetAudioOffline(true);
        qndx::sim::SetCommandLine("game.exe");
        CQNDXGameManager* gm = CQNDXGameManager::Create();
        SOUND_CHECK(gm->GetAppPath() == nullptr);
        CQNDXSoundEngine* engine = gm->GetSoundEngine(64);
        SOUND_CHECK(engine != nullptr);
        SOUND_CHECK(std::string(engine->GetSoundDirectory()) == ".\\sounds");
        SOUND_CHECK(std::filesystem::is_directory(dir.path() + "/sounds"));
    });
}

TEST(SoundEngineCreate, AFailedStartUpGivesNoneAndIsTriedAgain) {
    ScratchDir dir;
    IN_SOUND_CHILD({
        CQNDXGameManager* gm = StartManager(dir.path());
        qndx::sim::FailNext("IDirectMusicPerformance8::InitAudio", 1, E_FAIL);
        SOUND_CHECK(gm->GetSoundEngine(64) == nullptr);
        // The object stays, uninitialised, with nothing left running.
        CQNDXSoundEngine* engine = CQNDXSoundEngine::GetInstance();
        SOUND_CHECK(engine != nullptr);
        SOUND_CHECK(engine->GetPerformance() == nullptr);
        SOUND_CHECK(qndx::sim::LivePerformances() == 0);

        qndx::sim::FailNext("CoCreateInstance(DirectMusicLoader)", 1, E_OUTOFMEMORY);
        SOUND_CHECK(gm->GetSoundEngine(64) == nullptr);
        SOUND_CHECK(engine->GetPerformance() == nullptr && engine->GetLoader() == nullptr);
        SOUND_CHECK(qndx::sim::LivePerformances() == 0);

        SOUND_CHECK(gm->GetSoundEngine(64) == engine);
        SOUND_CHECK(engine->GetPerformance() != nullptr);
        SOUND_CHECK(qndx::sim::LivePerformances() == 1);
        // Once initialised, a further Init changes nothing.
        IDirectMusicPerformance8* perf = engine->GetPerformance();
        SOUND_CHECK(engine->Init(64) == 0);
        SOUND_CHECK(engine->GetPerformance() == perf && qndx::sim::LivePerformances() == 1);
    });
}

TEST(SoundEngineCreate, TheFailureIsLogged) {
    ScratchDir dir;
    IN_SOUND_CHILD({
        CQNDXGameManager* gm = StartManager(dir.path());
        qndx::sim::FailNext("IDirectMusicPerformance8::InitAudio", 1, E_FAIL);
        SOUND_CHECK(gm->GetSoundEngine(64) == nullptr);
    });
    std::ifstream log(dir.path() + "/debug/QNDX_0.57-game.log");
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(std::string::npos, text.find("The sound system could not be initialized (0x80004005)")) << text;
}

TEST(SoundEngineSettings, MasterVolumeAndTempoAreKeptInRange) {
    ScratchDir dir;
    IN_SOUND_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        SOUND_CHECK(engine->SetMasterVolume(-30000) == 0);
        SOUND_CHECK_EQ(-20000, engine->GetMasterVolume());
        SOUND_CHECK(engine->SetMasterVolume(5000) == 0);
        SOUND_CHECK_EQ(2000, engine->GetMasterVolume());
        SOUND_CHECK(engine->SetMasterVolume(-1234) == 0);
        SOUND_CHECK_EQ(-1234, engine->GetMasterVolume());
        SOUND_CHECK(engine->SetMasterTempo(0.0025f) == 0);
        SOUND_CHECK(engine->GetMasterTempo() == 0.0f);
        SOUND_CHECK(engine->SetMasterTempo(250.0f) == 0);
        SOUND_CHECK(engine->GetMasterTempo() == 100.0f);
        SOUND_CHECK(engine->SetMasterTempo(1.5f) == 0);
        SOUND_CHECK(engine->GetMasterTempo() == 1.5f);
    });
}

TEST(SoundEngineSettings, WithoutInitTheSettersRefuseAndGettersGiveZero) {
    ScratchDir dir;
    IN_SOUND_CHILD({
        CQNDXGameManager* gm = StartManager(dir.path());
        CQNDXSoundEngine* engine = CQNDXSoundEngine::Create(gm);
        SOUND_CHECK(engine != nullptr && engine->GetPerformance() == nullptr);
        SOUND_CHECK(engine->SetMasterVolume(0) == -1);
        SOUND_CHECK(engine->GetMasterVolume() == 0);
        SOUND_CHECK(engine->SetMasterTempo(1.0f) == -1);
        SOUND_CHECK(engine->GetMasterTempo() == 0.0f);
        SOUND_CHECK(engine->CreateAudioPath(64) == nullptr);
        SOUND_CHECK(engine->Create3DAudioPath(64) == nullptr);
        SOUND_CHECK(engine->GetAudioPathCount() == 0);
        CQNDXSound sound(engine);  // no loader to load with
        SOUND_CHECK(sound.Load("water.wav", 0) == -1);
        SOUND_CHECK(sound.LoadFromResource("WATER", "WAVE", 0) == -1);
        // Without a loader the directory still changes (and is made).
        SOUND_CHECK(engine->SetSoundDirectory((dir.path() + "/other").c_str()) == 0);
        SOUND_CHECK(std::filesystem::is_directory(dir.path() + "/other"));
    });
}

TEST(SoundEngineSettings, ANewSoundDirectoryIsMadeAndSearched) {
    ScratchDir dir;
    IN_SOUND_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        SOUND_CHECK(engine->SetSoundDirectory(nullptr) == -1);
        const std::string music = dir.path() + "\\music";
        SOUND_CHECK(engine->SetSoundDirectory(music.c_str()) == 0);
        SOUND_CHECK(std::string(engine->GetSoundDirectory()) == music);
        SOUND_CHECK(std::filesystem::is_directory(dir.path() + "/music"));
        WriteFile(dir.path() + "/music/theme.wav", ConstantWave(10));
        CQNDXSound sound(engine);
        SOUND_CHECK(sound.Load("theme.wav", 0) == 0);
    });
}

TEST(SoundEngineLists, AddingAndRemoving) {
    ScratchDir dir;
    IN_SOUND_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        CQNDXStereoAudioPath loose(engine);  // never created, never listed
        SOUND_CHECK(engine->RemoveAudioPath(nullptr) == -1);
        SOUND_CHECK(engine->RemoveAudioPath(&loose) == -2);
        engine->AddAudioPath(&loose);
        engine->AddAudioPath(&loose);
        engine->AddAudioPath(nullptr);
        SOUND_CHECK(engine->GetAudioPathCount() == 1);
        SOUND_CHECK(engine->RemoveAudioPath(&loose) == 0);
        SOUND_CHECK(engine->GetAudioPathCount() == 0);

        CQNDXAudioPath* made = engine->CreateAudioPath(64);
        CQNDXAudioPath* made3d = engine->Create3DAudioPath(64);
        SOUND_CHECK(made != nullptr && made3d != nullptr);
        SOUND_CHECK(engine->GetAudioPathCount() == 2);
        qndx::sim::FailNext("IDirectMusicPerformance8::CreateStandardAudioPath", 1, E_OUTOFMEMORY);
        SOUND_CHECK(engine->CreateAudioPath(64) == nullptr);
        SOUND_CHECK(engine->GetAudioPathCount() == 2);

        // Sounds list themselves; the list holds each once.
        {
            CQNDXSound sound(engine);
            SOUND_CHECK(engine->GetSoundCount() == 1);
            engine->AddSound(&sound);
            SOUND_CHECK(engine->GetSoundCount() == 1);
            SOUND_CHECK(engine->RemoveSound(nullptr) == -1);
        }
        SOUND_CHECK(engine->GetSoundCount() == 0);
        CQNDXSound outsider(nullptr);
        SOUND_CHECK(engine->RemoveSound(&outsider) == -2);
        // A cleared sound answers for nothing and leaves the list.
        CQNDXSound cleared(engine);
        SOUND_CHECK(engine->GetSoundCount() == 1);
        cleared.Clear();
        SOUND_CHECK(engine->GetSoundCount() == 0);
        SOUND_CHECK(cleared.IsPlaying() == -1);
    });
}

TEST(SoundEngineExit, PathsAndSoundsLeftAtExitAreCleanedUp) {
    // At exit the engine's holder destroys the paths left to it and closes
    // the performance down while a sound still plays on them; in the
    // sanitizer build any bad access or leak on that way fails the child.
    ScratchDir dir;
    IN_SOUND_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        WriteFile(dir.path() + "/sounds/loop.wav", ConstantWave(480));
        CQNDXAudioPath* stereo = engine->CreateAudioPath(64);
        CQNDXAudioPath* threeD = engine->Create3DAudioPath(64);
        SOUND_CHECK(stereo && threeD);
        auto* sound = new CQNDXSound(engine);
        SOUND_CHECK(sound->Load("loop.wav", 0) == 0);
        SOUND_CHECK(sound->SetRepeats(0xFFFFFFFF) == 0);
        SOUND_CHECK(sound->PlaySecondary(stereo, 0) == 0);
        SOUND_CHECK(sound->PlaySecondary(threeD, 0) == 0);
        Render(1000);
        delete sound;  // the application's part; the paths are left to the engine
    });
}

TEST(SoundEngineExit, DestroyingTheEngineFirstLeavesSoundsAndPathsSafe) {
    ScratchDir dir;
    IN_SOUND_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        WriteFile(dir.path() + "/sounds/loop.wav", ConstantWave(480));
        CQNDXAudioPath* path = engine->CreateAudioPath(64);
        auto* sound = new CQNDXSound(engine);
        SOUND_CHECK(sound->Load("loop.wav", 0) == 0);
        SOUND_CHECK(sound->SetRepeats(0xFFFFFFFF) == 0);
        SOUND_CHECK(sound->PlaySecondary(path, 0) == 0);
        CQNDXSoundEngine::Destroy();
        SOUND_CHECK(CQNDXSoundEngine::Exists() == 0);
        SOUND_CHECK(qndx::sim::LivePerformances() == 0);
        // Both forgot the engine: no call reaches it.
        SOUND_CHECK(sound->IsPlaying() == -1);
        SOUND_CHECK(sound->IsDownloadedTo(path) == 0);
        SOUND_CHECK(path->Destroy() == 0);
        delete sound;
    });
}
