// 3D placement: the roll-off, cone, balance and Doppler model on its own,
// then 3D paths in the mixer: levels by distance, head-relative mode, the
// shared listener, deferred settings committed together, and refusals.
#include <gtest/gtest.h>

#include "DMusicTestSupport.h"
#include "dmusic/Spatial.h"

using namespace qndx::platform::audio;
using qndx_test::Bytes;
using qndx_test::Peak;

namespace {

Buffer3DParams At(float x, float y, float z) {
    Buffer3DParams b;
    b.position = Vec3{x, y, z};
    return b;
}

}  // namespace

// ---- the model ----------------------------------------------------------------------

TEST(SpatialModel, DistanceHalvesTheLevelPerDoublingBetweenMinimumAndMaximum) {
    ListenerParams l;
    EXPECT_FLOAT_EQ(1.0f, Spatialize(At(0, 0, 0.5f), l).gain);  // inside the minimum distance
    EXPECT_FLOAT_EQ(0.5f, Spatialize(At(0, 0, 2), l).gain);
    EXPECT_FLOAT_EQ(0.25f, Spatialize(At(0, 0, 4), l).gain);
    Buffer3DParams capped = At(0, 0, 100);
    capped.maxDistance = 4;
    EXPECT_FLOAT_EQ(0.25f, Spatialize(capped, l).gain);  // no quieter beyond the maximum
    Buffer3DParams wide = At(0, 0, 4);
    wide.minDistance = 2;
    EXPECT_FLOAT_EQ(0.5f, Spatialize(wide, l).gain);

    l.rolloffFactor = 2;
    EXPECT_FLOAT_EQ(0.25f, Spatialize(At(0, 0, 2), l).gain);
    l.rolloffFactor = 0;
    EXPECT_FLOAT_EQ(1.0f, Spatialize(At(0, 0, 50), l).gain);
}

TEST(SpatialModel, BalanceFollowsTheListenersOrientation) {
    ListenerParams l;
    SpatialResult right = Spatialize(At(3, 0, 0), l);
    EXPECT_NEAR(0.0, right.left, 1e-6);
    EXPECT_FLOAT_EQ(1.0f, right.right);
    SpatialResult ahead = Spatialize(At(0, 0, 3), l);
    EXPECT_FLOAT_EQ(1.0f, ahead.left);
    EXPECT_FLOAT_EQ(1.0f, ahead.right);
    // Turned round, the same source is on the left.
    l.front = Vec3{0, 0, -1};
    SpatialResult turned = Spatialize(At(3, 0, 0), l);
    EXPECT_FLOAT_EQ(1.0f, turned.left);
    EXPECT_NEAR(0.0, turned.right, 1e-6);
    // Half way to the side is in between.
    l.front = Vec3{0, 0, 1};
    SpatialResult half = Spatialize(At(1, 0, 1), l);
    EXPECT_GT(half.left, 0.2f);
    EXPECT_LT(half.left, 0.8f);
    EXPECT_FLOAT_EQ(1.0f, half.right);
}

TEST(SpatialModel, HeadRelativeIgnoresWhereTheListenerIsAndDisabledIsPlain) {
    ListenerParams l;
    l.position = Vec3{100, 0, 0};
    l.front = Vec3{1, 0, 0};
    Buffer3DParams b = At(0, 0, 2);
    b.mode = DS3DMODE_HEADRELATIVE;
    SpatialResult r = Spatialize(b, l);
    EXPECT_FLOAT_EQ(0.5f, r.gain);
    EXPECT_FLOAT_EQ(1.0f, r.left);
    EXPECT_FLOAT_EQ(1.0f, r.right);
    b.mode = DS3DMODE_NORMAL;
    EXPECT_LT(Spatialize(b, l).gain, 0.05f);  // a hundred units away in world space
    b.mode = DS3DMODE_DISABLE;
    r = Spatialize(b, l);
    EXPECT_EQ(1.0f, r.gain);
    EXPECT_EQ(1.0f, r.left);
    EXPECT_EQ(1.0f, r.right);
}

TEST(SpatialModel, ConesAttenuateByTheAngleToTheListener) {
    ListenerParams l;
    Buffer3DParams b = At(0, 0, 1);  // one unit ahead: no distance loss
    b.insideConeAngle = 90;
    b.outsideConeAngle = 180;
    b.coneOutsideVolume = -2000;
    b.coneOrientation = Vec3{0, 0, -1};  // facing the listener
    EXPECT_FLOAT_EQ(1.0f, Spatialize(b, l).gain);
    b.coneOrientation = Vec3{1, 0, -1};  // 45 degrees: the inside cone's edge
    EXPECT_NEAR(1.0, Spatialize(b, l).gain, 1e-5);
    b.coneOrientation = Vec3{1, 0, 0};  // 90 degrees: the outside cone's edge
    EXPECT_NEAR(0.1, Spatialize(b, l).gain, 1e-5);
    b.coneOrientation = Vec3{0, 0, 1};  // facing away
    EXPECT_NEAR(0.1, Spatialize(b, l).gain, 1e-5);
    // 67.5 degrees: half way in decibels.
    b.coneOrientation = Vec3{(float)std::sin(67.5 * M_PI / 180), 0, -(float)std::cos(67.5 * M_PI / 180)};
    EXPECT_NEAR(std::pow(10.0, -1000 / 2000.0), Spatialize(b, l).gain, 1e-4);
    // The default cone is a sphere.
    Buffer3DParams sphere = At(0, 0, 1);
    sphere.coneOrientation = Vec3{0, 0, 1};
    sphere.coneOutsideVolume = -10000;
    EXPECT_FLOAT_EQ(1.0f, Spatialize(sphere, l).gain);
}

TEST(SpatialModel, DopplerRaisesAnApproachingSourceAndLowersARetreatingOne) {
    ListenerParams l;
    Buffer3DParams b = At(0, 0, 10);
    b.velocity = Vec3{0, 0, -34.3f};  // a tenth of the speed of sound toward the listener
    EXPECT_NEAR(343.0 / (343.0 - 34.3), Spatialize(b, l).doppler, 1e-4);
    b.velocity = Vec3{0, 0, 34.3f};
    EXPECT_NEAR(343.0 / (343.0 + 34.3), Spatialize(b, l).doppler, 1e-4);
    l.dopplerFactor = 0;
    EXPECT_FLOAT_EQ(1.0f, Spatialize(b, l).doppler);
    l.dopplerFactor = 1;
    l.velocity = Vec3{0, 0, 34.3f};  // the listener follows at the same speed
    EXPECT_NEAR((343.0 + 34.3) / (343.0 + 34.3), Spatialize(b, l).doppler, 1e-5);
}

TEST(SpatialModel, DeferredFieldsWaitForTheCommitAndImmediateOnesCancelThem) {
    Deferred<Buffer3DParams> d;
    d.Set(kBufPosition, true, [](Buffer3DParams& p) { p.position = Vec3{0, 0, 8}; });
    d.Set(kBufMinDistance, true, [](Buffer3DParams& p) { p.minDistance = 3; });
    EXPECT_EQ(0.0f, d.current.position.z);
    d.Set(kBufPosition, false, [](Buffer3DParams& p) { p.position = Vec3{0, 0, 2}; });
    EXPECT_EQ(2.0f, d.current.position.z);
    Commit(&d);
    EXPECT_EQ(2.0f, d.current.position.z);  // the immediate value stays
    EXPECT_EQ(3.0f, d.current.minDistance);
    EXPECT_EQ(0u, d.dirty);
}

// ---- 3D paths in the mixer ------------------------------------------------------------

namespace {

class ThreeD : public qndx_test::OfflinePerformance {
protected:
    void SetUp() override {
        OfflinePerformance::SetUp();
        path = Path(DMUS_APATH_DYNAMIC_3D);
        buffer = ObjectInPath<IDirectSound3DBuffer>(path, DMUS_PATH_BUFFER, IID_IDirectSound3DBuffer);
        listener = ObjectInPath<IDirectSound3DListener>(path, DMUS_PATH_PRIMARY_BUFFER, IID_IDirectSound3DListener);
        ASSERT_NE(nullptr, buffer);
        ASSERT_NE(nullptr, listener);
    }
    double Level() { return Peak(Render(512), 0, 0, 512); }
    double LevelRight() { return Peak(Render(512), 1, 0, 512); }
    void PlayLoop() {
        IDirectMusicSegment8* seg = Segment(qndx_test::ConstantWave(4800));
        ASSERT_EQ(S_OK, seg->SetRepeats(DMUS_SEG_REPEAT_INFINITE));
        ASSERT_EQ(S_OK, Play(seg, path));
    }
    IDirectMusicAudioPath8* path = nullptr;
    IDirectSound3DBuffer* buffer = nullptr;
    IDirectSound3DListener* listener = nullptr;
};

// Counts upward zero crossings of the left channel: the tone's frequency
// over one second of frames.
int UpCrossings(const std::vector<float>& mix) {
    int n = 0;
    for (size_t f = 1; 2 * f < mix.size(); ++f)
        if (mix[2 * (f - 1)] < 0 && mix[2 * f] >= 0) ++n;
    return n;
}

Bytes SineWave(double hz, size_t frames) {
    Bytes b = qndx_test::WaveFile(48000, 1, 16, {0}, frames);
    for (size_t f = 0; f < frames; ++f) {
        const int16_t s = (int16_t)(16000 * std::sin(2 * M_PI * hz * (double)f / 48000));
        b[44 + 2 * f] = (uint8_t)s;
        b[45 + 2 * f] = (uint8_t)(s >> 8);
    }
    return b;
}

}  // namespace

TEST_F(ThreeD, TheLevelFallsWithDistance) {
    PlayLoop();
    EXPECT_FLOAT_EQ(0.5f, (float)Level());  // at the listener
    ASSERT_EQ(DS_OK, buffer->SetPosition(0, 0, 2, DS3D_IMMEDIATE));
    EXPECT_FLOAT_EQ(0.25f, (float)Level());
    ASSERT_EQ(DS_OK, buffer->SetPosition(0, 0, 8, DS3D_IMMEDIATE));
    EXPECT_FLOAT_EQ(0.0625f, (float)Level());
    ASSERT_EQ(DS_OK, buffer->SetMaxDistance(4, DS3D_IMMEDIATE));
    EXPECT_FLOAT_EQ(0.125f, (float)Level());
    ASSERT_EQ(DS_OK, listener->SetRolloffFactor(0, DS3D_IMMEDIATE));
    EXPECT_FLOAT_EQ(0.5f, (float)Level());
}

TEST_F(ThreeD, HeadRelativeSourcesMoveWithTheListener) {
    PlayLoop();
    ASSERT_EQ(DS_OK, buffer->SetMode(DS3DMODE_HEADRELATIVE, DS3D_IMMEDIATE));
    ASSERT_EQ(DS_OK, buffer->SetPosition(0, 0, 2, DS3D_IMMEDIATE));
    ASSERT_EQ(DS_OK, listener->SetPosition(50, 10, -30, DS3D_IMMEDIATE));
    ASSERT_EQ(DS_OK, listener->SetOrientation(1, 0, 0, 0, 1, 0, DS3D_IMMEDIATE));
    EXPECT_FLOAT_EQ(0.25f, (float)Level());
    ASSERT_EQ(DS_OK, buffer->SetMode(DS3DMODE_NORMAL, DS3D_IMMEDIATE));
    EXPECT_LT(Level(), 0.01);
    ASSERT_EQ(DS_OK, buffer->SetMode(DS3DMODE_DISABLE, DS3D_IMMEDIATE));
    EXPECT_FLOAT_EQ(0.5f, (float)Level());
}

TEST_F(ThreeD, DeferredSettingsOfBufferAndListenerApplyTogetherAtTheCommit) {
    PlayLoop();
    IDirectMusicAudioPath8* second = Path(DMUS_APATH_DYNAMIC_3D);
    IDirectSound3DBuffer* other =
        ObjectInPath<IDirectSound3DBuffer>(second, DMUS_PATH_BUFFER, IID_IDirectSound3DBuffer);
    ASSERT_EQ(DS_OK, buffer->SetPosition(0, 0, 2, DS3D_IMMEDIATE));
    ASSERT_EQ(0.25, Level());

    ASSERT_EQ(DS_OK, buffer->SetMinDistance(2, DS3D_DEFERRED));
    ASSERT_EQ(DS_OK, listener->SetPosition(0, 0, -2, DS3D_DEFERRED));
    ASSERT_EQ(DS_OK, other->SetPosition(0, 0, 5, DS3D_DEFERRED));
    EXPECT_EQ(0.25, Level());  // nothing changed yet
    D3DVALUE min = 0;
    ASSERT_EQ(DS_OK, buffer->GetMinDistance(&min));
    EXPECT_EQ(1.0f, min);
    D3DVECTOR at = {9, 9, 9};
    ASSERT_EQ(DS_OK, listener->GetPosition(&at));
    EXPECT_EQ(0.0f, at.z);

    ASSERT_EQ(DS_OK, listener->CommitDeferredSettings());
    // Four units away with a minimum of two: half.
    EXPECT_FLOAT_EQ(0.25f, (float)Level());
    ASSERT_EQ(DS_OK, buffer->GetMinDistance(&min));
    EXPECT_EQ(2.0f, min);
    ASSERT_EQ(DS_OK, other->GetPosition(&at));  // the other path's buffer committed too
    EXPECT_EQ(5.0f, at.z);
}

TEST_F(ThreeD, ASourceRushingPastChangesPitch) {
    IDirectMusicSegment8* seg = Segment(SineWave(1000, 96000));
    ASSERT_EQ(DS_OK, buffer->SetPosition(0, 0, 1, DS3D_IMMEDIATE));
    ASSERT_EQ(DS_OK, buffer->SetVelocity(0, 0, -34.3f, DS3D_IMMEDIATE));
    ASSERT_EQ(S_OK, Play(seg, path));
    const int approaching = UpCrossings(Render(48000));
    EXPECT_NEAR(1000 * 343.0 / (343.0 - 34.3), approaching, 3);
    ASSERT_EQ(DS_OK, listener->SetDopplerFactor(0, DS3D_IMMEDIATE));
    std::vector<float> steady = Render(24000);
    EXPECT_NEAR(500, UpCrossings(steady), 2);
}

TEST_F(ThreeD, ThreeDBuffersHaveNoPanAndRefuseBadSettings) {
    IDirectSoundBuffer* plain = ObjectInPath<IDirectSoundBuffer>(path, DMUS_PATH_BUFFER, IID_IDirectSoundBuffer);
    EXPECT_EQ(DSERR_CONTROLUNAVAIL, plain->SetPan(0));
    EXPECT_EQ(DS_OK, plain->SetVolume(-600));

    EXPECT_EQ(DSERR_INVALIDPARAM, buffer->SetConeAngles(200, 100, DS3D_IMMEDIATE));
    EXPECT_EQ(DSERR_INVALIDPARAM, buffer->SetConeAngles(10, 361, DS3D_IMMEDIATE));
    EXPECT_EQ(DSERR_INVALIDPARAM, buffer->SetMinDistance(0, DS3D_IMMEDIATE));
    EXPECT_EQ(DSERR_INVALIDPARAM, buffer->SetMaxDistance(-1, DS3D_IMMEDIATE));
    EXPECT_EQ(DSERR_INVALIDPARAM, buffer->SetPosition(NAN, 0, 0, DS3D_IMMEDIATE));
    EXPECT_EQ(DSERR_INVALIDPARAM, buffer->SetMode(3, DS3D_IMMEDIATE));
    EXPECT_EQ(DSERR_INVALIDPARAM, buffer->SetMode(DS3DMODE_NORMAL, 2));
    EXPECT_EQ(DSERR_INVALIDPARAM, buffer->SetConeOutsideVolume(1, DS3D_IMMEDIATE));
    EXPECT_EQ(DSERR_INVALIDPARAM, buffer->GetMode(nullptr));
    EXPECT_EQ(DSERR_INVALIDPARAM, listener->SetOrientation(0, 0, 1, 0, 0, 2, DS3D_IMMEDIATE));  // parallel
    EXPECT_EQ(DSERR_INVALIDPARAM, listener->SetOrientation(0, 0, 0, 0, 1, 0, DS3D_IMMEDIATE));
    EXPECT_EQ(DSERR_INVALIDPARAM, listener->SetRolloffFactor(10.5f, DS3D_IMMEDIATE));
    EXPECT_EQ(DSERR_INVALIDPARAM, listener->SetDopplerFactor(-1, DS3D_IMMEDIATE));
    EXPECT_EQ(DSERR_INVALIDPARAM, listener->SetDistanceFactor(0, DS3D_IMMEDIATE));
    EXPECT_EQ(DSERR_INVALIDPARAM, listener->GetOrientation(nullptr, nullptr));

    // Refused settings change nothing.
    DWORD inside = 0, outside = 0;
    ASSERT_EQ(DS_OK, buffer->GetConeAngles(&inside, &outside));
    EXPECT_EQ(360u, inside);
    EXPECT_EQ(360u, outside);
    DWORD mode = 9;
    ASSERT_EQ(DS_OK, buffer->GetMode(&mode));
    EXPECT_EQ((DWORD)DS3DMODE_NORMAL, mode);
    D3DVECTOR front, top;
    ASSERT_EQ(DS_OK, listener->GetOrientation(&front, &top));
    EXPECT_EQ(1.0f, front.z);
    EXPECT_EQ(1.0f, top.y);
}
