// 3D positioning of a buffer against the listener: distance roll-off, sound
// cones, left/right balance from the direction, and the Doppler ratio.
#include "dmusic/Spatial.h"

#include <algorithm>
#include <cmath>

namespace qndx {
namespace platform {
namespace audio {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSpeedOfSound = 343.0;  // metres per second

Vec3 Sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Neg(const Vec3& a) { return {-a.x, -a.y, -a.z}; }
double Dot(const Vec3& a, const Vec3& b) { return (double)a.x * b.x + (double)a.y * b.y + (double)a.z * b.z; }
double Length(const Vec3& a) { return std::sqrt(Dot(a, a)); }
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 Scale(const Vec3& a, double s) { return {(float)(a.x * s), (float)(a.y * s), (float)(a.z * s)}; }

// The listener's right, up and front unit vectors (left-handed: x right,
// y up, z front). Orientations are checked when they are set, so the
// fall-back only covers a degenerate pair that slipped through.
void Basis(const ListenerParams& l, Vec3* right, Vec3* up, Vec3* front) {
    const double fl = Length(l.front);
    Vec3 f = fl > 0 ? Scale(l.front, 1.0 / fl) : Vec3{0, 0, 1};
    Vec3 u = Sub(l.top, Scale(f, Dot(l.top, f)));
    const double ul = Length(u);
    if (ul < 1e-9) {
        f = Vec3{0, 0, 1};
        u = Vec3{0, 1, 0};
    } else {
        u = Scale(u, 1.0 / ul);
    }
    *front = f;
    *up = u;
    *right = Cross(u, f);
}

}  // namespace

float VolumeToGain(double hundredthsOfDb) {
    if (hundredthsOfDb <= DSBVOLUME_MIN) return 0.0f;
    return (float)std::pow(10.0, hundredthsOfDb / 2000.0);
}

bool IsFinite(float v) { return std::isfinite(v); }

bool ListenerOrientationValid(const Vec3& front, const Vec3& top) {
    const double fl = Length(front), tl = Length(top);
    if (!(fl > 0) || !(tl > 0) || !std::isfinite(fl) || !std::isfinite(tl)) return false;
    return Length(Cross(front, top)) > 1e-6 * fl * tl;
}

void Commit(Deferred<Buffer3DParams>* d) {
    Buffer3DParams& c = d->current;
    const Buffer3DParams& p = d->pending;
    const uint32_t f = d->dirty;
    if (f & kBufMode) c.mode = p.mode;
    if (f & kBufMinDistance) c.minDistance = p.minDistance;
    if (f & kBufMaxDistance) c.maxDistance = p.maxDistance;
    if (f & kBufPosition) c.position = p.position;
    if (f & kBufVelocity) c.velocity = p.velocity;
    if (f & kBufConeAngles) {
        c.insideConeAngle = p.insideConeAngle;
        c.outsideConeAngle = p.outsideConeAngle;
    }
    if (f & kBufConeOrientation) c.coneOrientation = p.coneOrientation;
    if (f & kBufConeOutsideVolume) c.coneOutsideVolume = p.coneOutsideVolume;
    d->dirty = 0;
}

void Commit(Deferred<ListenerParams>* d) {
    ListenerParams& c = d->current;
    const ListenerParams& p = d->pending;
    const uint32_t f = d->dirty;
    if (f & kLisPosition) c.position = p.position;
    if (f & kLisVelocity) c.velocity = p.velocity;
    if (f & kLisOrientation) {
        c.front = p.front;
        c.top = p.top;
    }
    if (f & kLisDistanceFactor) c.distanceFactor = p.distanceFactor;
    if (f & kLisDopplerFactor) c.dopplerFactor = p.dopplerFactor;
    if (f & kLisRolloffFactor) c.rolloffFactor = p.rolloffFactor;
    d->dirty = 0;
}

SpatialResult Spatialize(const Buffer3DParams& b, const ListenerParams& l) {
    SpatialResult r;
    if (b.mode == DS3DMODE_DISABLE) return r;
    const bool headRelative = b.mode == DS3DMODE_HEADRELATIVE;

    Vec3 right, up, front;
    Basis(l, &right, &up, &front);
    // Everything below is in one frame: world space in normal mode, the
    // listener's frame in head-relative mode.
    const Vec3 offset = headRelative ? b.position : Sub(b.position, l.position);
    const double distance = Length(offset);
    const double localX = headRelative ? offset.x : Dot(offset, right);

    // Distance roll-off.
    const double minD = b.minDistance, maxD = std::max(b.maxDistance, b.minDistance);
    const double d = std::min(std::max(distance, minD), maxD);
    const double rolloff = l.rolloffFactor;
    double gain = rolloff > 0 ? std::pow(minD / d, rolloff) : 1.0;

    // Cone: the angle between the cone's axis and the way to the listener.
    const bool coneIsSphere = b.insideConeAngle >= 360 && b.outsideConeAngle >= 360;
    const double axisLength = Length(b.coneOrientation);
    if (!coneIsSphere && axisLength > 0 && distance > 0) {
        const Vec3 toListener = Neg(offset);
        double c = Dot(b.coneOrientation, toListener) / (axisLength * distance);
        c = std::min(1.0, std::max(-1.0, c));
        const double angle = std::acos(c) * 180.0 / kPi;
        const double inside = b.insideConeAngle / 2.0, outside = b.outsideConeAngle / 2.0;
        double db;
        if (angle <= inside)
            db = 0;
        else if (angle >= outside)
            db = b.coneOutsideVolume;
        else
            db = b.coneOutsideVolume * (angle - inside) / (outside - inside);
        gain *= VolumeToGain(db);
    }
    r.gain = (float)gain;

    // Balance from the sideways share of the direction.
    if (distance > 0) {
        const double p = std::min(1.0, std::max(-1.0, localX / distance));
        if (p > 0) r.left = (float)std::cos(p * kPi / 2);
        if (p < 0) r.right = (float)std::cos(-p * kPi / 2);
    }

    // Doppler: velocities along the line from the listener to the source,
    // in metres per second; the listener's own motion does not count in the
    // head-relative frame.
    if (distance > 0 && l.dopplerFactor > 0) {
        const Vec3 away = Scale(offset, 1.0 / distance);
        const double scale = (double)l.distanceFactor * l.dopplerFactor;
        const double limit = kSpeedOfSound / 2;
        const double vs = std::min(limit, std::max(-limit, Dot(b.velocity, away) * scale));
        const double vl = headRelative ? 0.0 : std::min(limit, std::max(-limit, Dot(l.velocity, away) * scale));
        const double ratio = (kSpeedOfSound + vl) / (kSpeedOfSound + vs);
        if (std::isfinite(ratio)) r.doppler = (float)ratio;
    }
    return r;
}

}  // namespace audio
}  // namespace platform
}  // namespace qndx
