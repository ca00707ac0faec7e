// The 3D model of the mixer: the settings of a 3D buffer and of the listener,
// the deferred-settings bookkeeping they share, and the function that turns
// them into a gain, a left/right balance and a Doppler pitch ratio.
#pragma once

#include <cstdint>

#include "platform/DirectMusic.h"

namespace qndx {
namespace platform {
namespace audio {

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

struct Buffer3DParams {
    DWORD mode = DS3DMODE_NORMAL;
    float minDistance = DS3D_DEFAULTMINDISTANCE;
    float maxDistance = DS3D_DEFAULTMAXDISTANCE;
    Vec3 position;
    Vec3 velocity;
    DWORD insideConeAngle = DS3D_DEFAULTCONEANGLE;
    DWORD outsideConeAngle = DS3D_DEFAULTCONEANGLE;
    Vec3 coneOrientation{0, 0, 1};
    LONG coneOutsideVolume = DS3D_DEFAULTCONEOUTSIDEVOLUME;
};

struct ListenerParams {
    Vec3 position;
    Vec3 velocity;
    Vec3 front{0, 0, 1};
    Vec3 top{0, 1, 0};
    float distanceFactor = DS3D_DEFAULTDISTANCEFACTOR;
    float dopplerFactor = DS3D_DEFAULTDOPPLERFACTOR;
    float rolloffFactor = DS3D_DEFAULTROLLOFFFACTOR;
};

// Settings in effect plus the ones waiting for a commit. A setter changes
// one field (named by a bit); an immediate one takes effect at once and
// cancels a pending change of that field.
template <class Params>
struct Deferred {
    Params current;
    Params pending;
    uint32_t dirty = 0;

    template <class Apply>
    void Set(uint32_t field, bool deferred, Apply apply) {
        apply(pending);
        if (deferred) {
            dirty |= field;
        } else {
            apply(current);
            dirty &= ~field;
        }
    }
};

// Field bits of the 3D buffer and of the listener.
enum : uint32_t {
    kBufMode = 1u << 0,
    kBufMinDistance = 1u << 1,
    kBufMaxDistance = 1u << 2,
    kBufPosition = 1u << 3,
    kBufVelocity = 1u << 4,
    kBufConeAngles = 1u << 5,
    kBufConeOrientation = 1u << 6,
    kBufConeOutsideVolume = 1u << 7,
};
enum : uint32_t {
    kLisPosition = 1u << 0,
    kLisVelocity = 1u << 1,
    kLisOrientation = 1u << 2,
    kLisDistanceFactor = 1u << 3,
    kLisDopplerFactor = 1u << 4,
    kLisRolloffFactor = 1u << 5,
};

// Applies the pending fields named in `dirty` and clears them.
void Commit(Deferred<Buffer3DParams>* d);
void Commit(Deferred<ListenerParams>* d);

struct SpatialResult {
    float gain = 1;  // distance and cone
    float left = 1;  // balance: the near side stays at 1
    float right = 1;
    float doppler = 1;  // playback-rate ratio
};

// Normal mode places the buffer in world space relative to the listener;
// head-relative mode takes its position (and cone and velocity) in the
// listener's own frame (x right, y up, z front); disabled gives the plain
// centre. Distance: (min / d) ^ rolloff with d kept between the minimum and
// maximum distances. Cone: full inside half the inside angle, the outside
// volume beyond half the outside angle, linear in decibels between.
SpatialResult Spatialize(const Buffer3DParams& b, const ListenerParams& l);

// Hundredths of a decibel to a linear gain; -10000 and below is silence.
float VolumeToGain(double hundredthsOfDb);

// Validation shared by the setters.
bool IsFinite(float v);
bool ListenerOrientationValid(const Vec3& front, const Vec3& top);

}  // namespace audio
}  // namespace platform
}  // namespace qndx
