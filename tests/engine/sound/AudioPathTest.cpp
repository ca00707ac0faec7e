// Audio paths: creation, volume clamping, stereo pan and volume, the 3D
// property family with its mode and immediate-flag mappings, getters that
// write only on success, SetAllParameters, and Destroy.
#include "SoundTestSupport.h"

#include "SoundEngine/3DAudioPath.h"
#include "SoundEngine/Sound.h"
#include "SoundEngine/StereoAudioPath.h"
#include "platform/sim/Sim.h"

using namespace qndx_sound_test;

TEST(AudioPathAlone, WithoutCreateEveryCallRefuses) {
    CQNDXStereoAudioPath stereo;
    CQNDX3DAudioPath threeD;
    long value = 7;
    float x = 1, y = 2, z = 3;
    int mode = 5;
    EXPECT_EQ(-1, stereo.Create(64));  // no engine
    EXPECT_EQ(-1, stereo.SetVolume(0, 0));
    EXPECT_EQ(-1, stereo.SetPan(0));
    EXPECT_EQ(-1, stereo.GetPan(&value));
    EXPECT_EQ(-1, stereo.GetVolume(&value));
    EXPECT_EQ(7, value);
    EXPECT_EQ(-1, threeD.SetMode(1, 1));
    EXPECT_EQ(-1, threeD.GetMode(&mode));
    EXPECT_EQ(-1, threeD.GetPosition(&x, &y, &z));
    EXPECT_EQ(-1, threeD.SetListenerPosition(0, 0, 0, 1));
    EXPECT_EQ(-1, threeD.CommitDeferredSettings());
    EXPECT_EQ(-1, threeD.SetAllParameters(2, 1, 10, 0, 0, 0, 360, 360, 0, 0, 1, 0));
    EXPECT_EQ(5, mode);
    EXPECT_EQ(1.0f, x);
    EXPECT_EQ(nullptr, stereo.GetBuffer());
    EXPECT_EQ(nullptr, threeD.Get3DBuffer());
    EXPECT_EQ(nullptr, threeD.GetListener());
}

TEST(AudioPathAlone, DestroyWithoutOwnerOrPlatformPathIsSafe) {
    auto* stereo = new CQNDXStereoAudioPath();
    EXPECT_EQ(0, stereo->Destroy());
    auto* threeD = new CQNDX3DAudioPath();
    EXPECT_EQ(0, threeD->Destroy());
}

TEST(StereoAudioPath, CreateNeedsAnInitialisedEngine) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXGameManager* gm = StartManager(dir.path());
        CQNDXSoundEngine* bare = CQNDXSoundEngine::Create(gm);
        CQNDXStereoAudioPath path(bare);
        QNDX_CHILD_CHECK(path.Create(64) == -1);
        CQNDX3DAudioPath path3d(bare);
        QNDX_CHILD_CHECK(path3d.Create(64) == -1);
        QNDX_CHILD_CHECK(bare->Init(64) >= 0);
        QNDX_CHILD_CHECK(path.Create(64) == 0);
        QNDX_CHILD_CHECK(path.GetBuffer() != nullptr);
        QNDX_CHILD_CHECK(path.GetAudioPath() != nullptr);
        QNDX_CHILD_CHECK(path.Create(64) == -1);  // once only
    });
}

TEST(StereoAudioPath, VolumeIsClampedAndPanAndVolumeShapeTheMix) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        WriteFile(dir.path() + "/sounds/tone.wav", ConstantWave(96000));
        auto* path = static_cast<CQNDXStereoAudioPath*>(engine->CreateAudioPath(64));
        QNDX_CHILD_CHECK(path != nullptr);
        qndx::sim::EnableJournal(true);
        QNDX_CHILD_CHECK(path->SetVolume(-12000, 0) == 0);
        QNDX_CHILD_CHECK(path->SetVolume(300, 0) == 0);
        QNDX_CHILD_CHECK(path->SetVolume(-600, 250) == 0);
        const std::vector<std::string> j = qndx::sim::JournalEntries();
        QNDX_CHILD_CHECK(std::count(j.begin(), j.end(), "IDirectMusicAudioPath8::SetVolume(-9600,0)") == 1);
        QNDX_CHILD_CHECK(std::count(j.begin(), j.end(), "IDirectMusicAudioPath8::SetVolume(0,0)") == 1);
        QNDX_CHILD_CHECK(std::count(j.begin(), j.end(), "IDirectMusicAudioPath8::SetVolume(-600,250)") == 1);
        QNDX_CHILD_CHECK(path->SetVolume(0, 0) == 0);

        CQNDXSound tone(engine);
        QNDX_CHILD_CHECK(tone.Load("tone.wav", 0) == 0);
        QNDX_CHILD_CHECK(tone.PlaySecondary(path, 0) == 0);
        QNDX_CHILD_CHECK(path->SetPan(-10000) == 0);
        std::vector<float> mix = Render(256);
        QNDX_CHILD_CHECK_NEAR(0.5, Peak(mix, 0, 0, 256), 1e-6);
        QNDX_CHILD_CHECK(Peak(mix, 1, 0, 256) == 0.0);
        long pan = 0, volume = 1;
        QNDX_CHILD_CHECK(path->GetPan(&pan) == 0);
        QNDX_CHILD_CHECK(pan == -10000);
        QNDX_CHILD_CHECK(path->SetPan(20000) == DSERR_INVALIDPARAM);
        QNDX_CHILD_CHECK(path->GetPan(&pan) == 0);
        QNDX_CHILD_CHECK(pan == -10000);
        QNDX_CHILD_CHECK(path->SetPan(0) == 0);
        QNDX_CHILD_CHECK(path->GetBuffer()->SetVolume(-2000) == DS_OK);
        QNDX_CHILD_CHECK(path->GetVolume(&volume) == 0);
        QNDX_CHILD_CHECK(volume == -2000);
        QNDX_CHILD_CHECK_NEAR(0.05, Peak(Render(256), 1, 0, 256), 1e-6);
        // The path's own volume comes on top of the buffer's.
        QNDX_CHILD_CHECK(path->SetVolume(-2000, 0) == 0);
        QNDX_CHILD_CHECK_NEAR(0.005, Peak(Render(256), 1, 0, 256), 1e-7);
    });
}

TEST(ThreeDAudioPath, ModesMapBothWaysAndDeferredOnesWaitForTheCommit) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        auto* path = static_cast<CQNDX3DAudioPath*>(engine->Create3DAudioPath(64));
        QNDX_CHILD_CHECK(path != nullptr);
        QNDX_CHILD_CHECK(path->Get3DBuffer() != nullptr);
        QNDX_CHILD_CHECK(path->GetListener() != nullptr);
        int mode = -1;
        DWORD platformMode = 99;
        QNDX_CHILD_CHECK(path->GetMode(&mode) == 0);
        QNDX_CHILD_CHECK(mode == 2);  // normal to start with

        QNDX_CHILD_CHECK(path->SetMode(0, 1) == 0);  // disabled, at once
        QNDX_CHILD_CHECK(path->Get3DBuffer()->GetMode(&platformMode) == DS_OK);
        QNDX_CHILD_CHECK(platformMode == DS3DMODE_DISABLE);
        QNDX_CHILD_CHECK(path->GetMode(&mode) == 0);
        QNDX_CHILD_CHECK(mode == 0);

        QNDX_CHILD_CHECK(path->SetMode(1, 1) == 0);
        QNDX_CHILD_CHECK(path->GetMode(&mode) == 0);
        QNDX_CHILD_CHECK(mode == 1);

        QNDX_CHILD_CHECK(path->SetMode(7, 0) == 0);  // normal, deferred
        QNDX_CHILD_CHECK(path->GetMode(&mode) == 0);
        QNDX_CHILD_CHECK(mode == 1);
        QNDX_CHILD_CHECK(path->CommitDeferredSettings() == 0);
        QNDX_CHILD_CHECK(path->GetMode(&mode) == 0);
        QNDX_CHILD_CHECK(mode == 2);
        QNDX_CHILD_CHECK(path->GetMode(nullptr) == -1);
    });
}

TEST(ThreeDAudioPath, GettersWriteNothingOnAMissingPointerOrAFailure) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        auto* path = static_cast<CQNDX3DAudioPath*>(engine->Create3DAudioPath(64));
        QNDX_CHILD_CHECK(path->SetPosition(1, 2, 3, 1) == 0);
        float x = -1, y = -1, z = -1;
        QNDX_CHILD_CHECK(path->GetPosition(&x, nullptr, &z) == -1);
        QNDX_CHILD_CHECK(x == -1);
        QNDX_CHILD_CHECK(z == -1);
        qndx::sim::FailNext("IDirectSound3DBuffer::GetPosition", 1, DSERR_GENERIC);
        QNDX_CHILD_CHECK(path->GetPosition(&x, &y, &z) == DSERR_GENERIC);
        QNDX_CHILD_CHECK(x == -1);
        QNDX_CHILD_CHECK(y == -1);
        QNDX_CHILD_CHECK(z == -1);
        QNDX_CHILD_CHECK(path->GetPosition(&x, &y, &z) == 0);
        QNDX_CHILD_CHECK(x == 1);
        QNDX_CHILD_CHECK(y == 2);
        QNDX_CHILD_CHECK(z == 3);

        float fx = 0, fy = 0, fz = 0, tx = 0, ty = 0, tz = 0;
        QNDX_CHILD_CHECK(path->GetListenerOrientation(&fx, &fy, &fz, &tx, &ty, nullptr) == -1);
        QNDX_CHILD_CHECK(path->SetListenerOrientation(1, 0, 0, 0, 0, 1, 1) == 0);
        QNDX_CHILD_CHECK(path->GetListenerOrientation(&fx, &fy, &fz, &tx, &ty, &tz) == 0);
        QNDX_CHILD_CHECK(fx == 1);
        QNDX_CHILD_CHECK(tz == 1);
        QNDX_CHILD_CHECK(fz == 0);
        QNDX_CHILD_CHECK(ty == 0);

        DWORD inside = 0, outside = 0;
        QNDX_CHILD_CHECK(path->SetConeAngles(90, 180, 1) == 0);
        QNDX_CHILD_CHECK(path->GetConeAngles(&inside, nullptr) == -1);
        QNDX_CHILD_CHECK(path->GetConeAngles(&inside, &outside) == 0);
        QNDX_CHILD_CHECK(inside == 90);
        QNDX_CHILD_CHECK(outside == 180);
        // Listener settings go to the listener, not the buffer.
        float factor = 0;
        QNDX_CHILD_CHECK(path->SetDopplerFactor(3, 1) == 0);
        QNDX_CHILD_CHECK(path->GetDopplerFactor(&factor) == 0);
        QNDX_CHILD_CHECK(factor == 3);
        QNDX_CHILD_CHECK(path->GetListenerVelocity(&x, &y, &z) == 0);
        QNDX_CHILD_CHECK(x == 0);
        QNDX_CHILD_CHECK(z == 0);
    });
}

TEST(ThreeDAudioPath, SetAllParametersCommitsTogetherOrStopsAtTheFirstFailure) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        auto* path = static_cast<CQNDX3DAudioPath*>(engine->Create3DAudioPath(64));
        qndx::sim::EnableJournal(true);
        QNDX_CHILD_CHECK(path->SetAllParameters(1, 2.0f, 50.0f, 0, 0, 4, 90, 180, 0, 0, -1, -2000) == 0);
        QNDX_CHILD_CHECK(qndx::sim::JournalCount("IDirectSound3DBuffer::") == 7);
        QNDX_CHILD_CHECK(qndx::sim::JournalCount("IDirectSound3DBuffer::SetMode(deferred)") == 1);
        QNDX_CHILD_CHECK(qndx::sim::JournalCount("IDirectSound3DListener::CommitDeferredSettings") == 1);
        int mode = 0;
        float value = 0, x, y, z;
        QNDX_CHILD_CHECK(path->GetMode(&mode) == 0);
        QNDX_CHILD_CHECK(mode == 1);
        QNDX_CHILD_CHECK(path->GetMinDistance(&value) == 0);
        QNDX_CHILD_CHECK(value == 2.0f);
        QNDX_CHILD_CHECK(path->GetMaxDistance(&value) == 0);
        QNDX_CHILD_CHECK(value == 50.0f);
        QNDX_CHILD_CHECK(path->GetPosition(&x, &y, &z) == 0);
        QNDX_CHILD_CHECK(z == 4);

        // A bad maximum distance: the earlier settings stay pending, nothing
        // is committed.
        qndx::sim::ClearJournal();
        QNDX_CHILD_CHECK(path->SetAllParameters(2, 5.0f, -1.0f, 0, 0, 9, 360, 360, 0, 0, 1, 0) == DSERR_INVALIDPARAM);
        QNDX_CHILD_CHECK(qndx::sim::JournalCount("IDirectSound3DListener::CommitDeferredSettings") == 0);
        QNDX_CHILD_CHECK(qndx::sim::JournalCount("IDirectSound3DBuffer::SetPosition") == 0);
        QNDX_CHILD_CHECK(path->GetMode(&mode) == 0);
        QNDX_CHILD_CHECK(mode == 1);
        QNDX_CHILD_CHECK(path->GetMinDistance(&value) == 0);
        QNDX_CHILD_CHECK(value == 2.0f);
        QNDX_CHILD_CHECK(path->CommitDeferredSettings() == 0);
        QNDX_CHILD_CHECK(path->GetMode(&mode) == 0);
        QNDX_CHILD_CHECK(mode == 2);
        QNDX_CHILD_CHECK(path->GetMinDistance(&value) == 0);
        QNDX_CHILD_CHECK(value == 5.0f);
    });
}

TEST(ThreeDAudioPath, DistanceAndHeadRelativeModeShapeTheMix) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        WriteFile(dir.path() + "/sounds/tone.wav", ConstantWave(96000));
        auto* path = static_cast<CQNDX3DAudioPath*>(engine->Create3DAudioPath(64));
        CQNDXSound tone(engine);
        QNDX_CHILD_CHECK(tone.Load("tone.wav", 0) == 0);
        QNDX_CHILD_CHECK(tone.PlaySecondary(path, 0) == 0);
        QNDX_CHILD_CHECK(path->SetPosition(0, 0, 2, 1) == 0);
        QNDX_CHILD_CHECK_NEAR(0.25, Peak(Render(256), 0, 0, 256), 1e-6);
        // Deferred moves of source and listener apply together.
        QNDX_CHILD_CHECK(path->SetPosition(0, 0, 3, 0) == 0);
        QNDX_CHILD_CHECK(path->SetListenerPosition(0, 0, -1, 0) == 0);
        QNDX_CHILD_CHECK_NEAR(0.25, Peak(Render(256), 0, 0, 256), 1e-6);
        QNDX_CHILD_CHECK(path->CommitDeferredSettings() == 0);
        QNDX_CHILD_CHECK_NEAR(0.125, Peak(Render(256), 0, 0, 256), 1e-6);
        // Head-relative: two units ahead of wherever the listener is.
        QNDX_CHILD_CHECK(path->SetMode(1, 1) == 0);
        QNDX_CHILD_CHECK(path->SetPosition(0, 0, 2, 1) == 0);
        QNDX_CHILD_CHECK(path->SetListenerPosition(100, 0, 0, 1) == 0);
        QNDX_CHILD_CHECK_NEAR(0.25, Peak(Render(256), 0, 0, 256), 1e-6);
    });
}

TEST(AudioPathDestroy, ReturnsTheEnginesRemovalResult) {
    qndx::test::TempDir dir("qndx-sound");
    QNDX_IN_CHILD({
        CQNDXSoundEngine* engine = StartSound(dir.path());
        CQNDXAudioPath* listed = engine->CreateAudioPath(64);
        qndx::sim::EnableJournal(true);
        QNDX_CHILD_CHECK(listed->Destroy() == 0);
        QNDX_CHILD_CHECK(qndx::sim::JournalCount("IDirectMusicAudioPath8::Activate(0)") == 1);
        auto* unlisted = new CQNDX3DAudioPath(engine);
        QNDX_CHILD_CHECK(unlisted->Create(64) == 0);  // made by hand: the engine does not list it
        QNDX_CHILD_CHECK(unlisted->Destroy() == -2);
        QNDX_CHILD_CHECK(engine->GetAudioPathCount() == 0);
    });
}
