// Audio paths and the DirectSound objects reached through them: the path's
// buffer (volume, pan; 3D placement on a 3D path) and the listener.
#include <cmath>
#include <cstdio>

#include "dmusic/Objects.h"
#include "sim/SimInternal.h"

namespace qndx {
namespace platform {
namespace audio {
namespace {

bool ApplyValid(DWORD apply) { return apply == DS3D_IMMEDIATE || apply == DS3D_DEFERRED; }
bool FiniteVec(float x, float y, float z) { return IsFinite(x) && IsFinite(y) && IsFinite(z); }
void Put(D3DVECTOR* out, const Vec3& v) { *out = D3DVECTOR{v.x, v.y, v.z}; }
std::string Args(DWORD apply) { return apply == DS3D_DEFERRED ? "deferred" : "immediate"; }

}  // namespace

// ---- audio path ---------------------------------------------------------------

AudioPathImpl::AudioPathImpl(std::shared_ptr<Mixer> mixer, std::shared_ptr<Bus> bus, ListenerImpl* listener)
    : m_mixer(std::move(mixer)), m_bus(std::move(bus)), m_buffer(new PathBuffer(m_mixer, m_bus)), m_listener(listener) {
    if (m_listener) m_listener->AddRef();
}

AudioPathImpl::~AudioPathImpl() {
    {
        std::lock_guard<std::mutex> guard(m_mixer->mutex);
        const Bus* bus = m_bus.get();
        m_mixer->StopVoices([bus](const Voice& v) { return v.bus.get() == bus; }, 0);
        m_bus->alive = false;
        m_mixer->RemoveBus(bus);
    }
    m_buffer->Release();
    if (m_listener) m_listener->Release();
}

HRESULT AudioPathImpl::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirectMusicAudioPath8) {
        *ppv = static_cast<IDirectMusicAudioPath8*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT AudioPathImpl::GetObjectInPath(DWORD, DWORD dwStage, DWORD dwBuffer, REFGUID guidObject, DWORD dwIndex,
                                       REFGUID iidInterface, void** ppObject) {
    HRESULT hr;
    if (Faulted("IDirectMusicAudioPath8::GetObjectInPath", &hr)) return hr;
    qndx::sim::internal::Record("IDirectMusicAudioPath8::GetObjectInPath", [&] { return std::to_string(dwStage); });
    if (!ppObject) return E_POINTER;
    *ppObject = nullptr;
    if ((guidObject != GUID_NULL && guidObject != GUID_All_Objects) || dwIndex != 0 || dwBuffer != 0)
        return DMUS_E_NOT_FOUND;
    if (dwStage == DMUS_PATH_BUFFER) return m_buffer->QueryInterface(iidInterface, ppObject);
    if (dwStage == DMUS_PATH_PRIMARY_BUFFER) {
        if (!m_listener) return DMUS_E_NOT_FOUND;
        return m_listener->QueryInterface(iidInterface, ppObject);
    }
    return DMUS_E_NOT_FOUND;
}

HRESULT AudioPathImpl::Activate(BOOL fActivate) {
    HRESULT hr;
    if (Faulted("IDirectMusicAudioPath8::Activate", &hr)) return hr;
    qndx::sim::internal::Record("IDirectMusicAudioPath8::Activate", [&] { return std::to_string(fActivate); });
    std::lock_guard<std::mutex> guard(m_mixer->mutex);
    if (!m_bus->alive) return DMUS_E_NOT_INIT;
    m_bus->active = fActivate != FALSE;
    if (!m_bus->active) {
        const Bus* bus = m_bus.get();
        m_mixer->StopVoices([bus](const Voice& v) { return v.bus.get() == bus; }, 0);
    }
    return S_OK;
}

HRESULT AudioPathImpl::SetVolume(LONG lVolume, DWORD dwDuration) {
    HRESULT hr;
    if (Faulted("IDirectMusicAudioPath8::SetVolume", &hr)) return hr;
    qndx::sim::internal::Record("IDirectMusicAudioPath8::SetVolume",
                                [&] { return std::to_string(lVolume) + "," + std::to_string(dwDuration); });
    if (lVolume < -9600 || lVolume > 0) return E_INVALIDARG;
    std::lock_guard<std::mutex> guard(m_mixer->mutex);
    const int64_t now = m_mixer->frame;
    m_bus->volumeFrom = m_bus->PathVolumeAt(now);
    m_bus->volumeTo = lVolume;
    m_bus->fadeStart = now;
    m_bus->fadeFrames = (int64_t)dwDuration * kMixRate / 1000;
    return S_OK;
}

// ---- buffer ---------------------------------------------------------------------

PathBuffer::PathBuffer(std::shared_ptr<Mixer> mixer, std::shared_ptr<Bus> bus)
    : m_mixer(std::move(mixer)), m_bus(std::move(bus)) {}

HRESULT PathBuffer::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDirectSoundBuffer || riid == IID_IDirectSoundBuffer8)
        *ppv = static_cast<IDirectSoundBuffer8*>(this);
    else if (riid == IID_IDirectSound3DBuffer && Is3D())
        *ppv = static_cast<IDirectSound3DBuffer*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG PathBuffer::AddRef() { return ++m_refs; }

ULONG PathBuffer::Release() {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

HRESULT PathBuffer::GetVolume(LONG* plVolume) {
    HRESULT hr;
    if (Faulted("IDirectSoundBuffer::GetVolume", &hr)) return hr;
    if (!plVolume) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(m_mixer->mutex);
    *plVolume = m_bus->bufferVolume;
    return DS_OK;
}

HRESULT PathBuffer::SetVolume(LONG lVolume) {
    HRESULT hr;
    if (Faulted("IDirectSoundBuffer::SetVolume", &hr)) return hr;
    qndx::sim::internal::Record("IDirectSoundBuffer::SetVolume", [&] { return std::to_string(lVolume); });
    if (lVolume < DSBVOLUME_MIN || lVolume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(m_mixer->mutex);
    m_bus->bufferVolume = lVolume;
    return DS_OK;
}

HRESULT PathBuffer::GetPan(LONG* plPan) {
    HRESULT hr;
    if (Faulted("IDirectSoundBuffer::GetPan", &hr)) return hr;
    if (Is3D()) return DSERR_CONTROLUNAVAIL;
    if (!plPan) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(m_mixer->mutex);
    *plPan = m_bus->bufferPan;
    return DS_OK;
}

HRESULT PathBuffer::SetPan(LONG lPan) {
    HRESULT hr;
    if (Faulted("IDirectSoundBuffer::SetPan", &hr)) return hr;
    qndx::sim::internal::Record("IDirectSoundBuffer::SetPan", [&] { return std::to_string(lPan); });
    if (Is3D()) return DSERR_CONTROLUNAVAIL;
    if (lPan < DSBPAN_LEFT || lPan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(m_mixer->mutex);
    m_bus->bufferPan = lPan;
    return DS_OK;
}

template <class Apply>
HRESULT PathBuffer::Set3D(const char* call, uint32_t field, DWORD apply, bool valid, Apply change) {
    HRESULT hr;
    if (Faulted(call, &hr)) return hr;
    qndx::sim::internal::Record(call, [&] { return Args(apply); });
    if (!Is3D()) return DSERR_CONTROLUNAVAIL;
    if (!valid || !ApplyValid(apply)) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(m_mixer->mutex);
    m_bus->params3d.Set(field, apply == DS3D_DEFERRED, change);
    return DS_OK;
}

template <class Read>
HRESULT PathBuffer::Get3D(const char* call, bool pointersValid, Read read) {
    HRESULT hr;
    if (Faulted(call, &hr)) return hr;
    if (!Is3D()) return DSERR_CONTROLUNAVAIL;
    if (!pointersValid) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(m_mixer->mutex);
    read(m_bus->params3d.current);
    return DS_OK;
}

HRESULT PathBuffer::GetConeAngles(LPDWORD inside, LPDWORD outside) {
    return Get3D("IDirectSound3DBuffer::GetConeAngles", inside && outside, [&](const Buffer3DParams& p) {
        *inside = p.insideConeAngle;
        *outside = p.outsideConeAngle;
    });
}

HRESULT PathBuffer::GetConeOrientation(D3DVECTOR* v) {
    return Get3D("IDirectSound3DBuffer::GetConeOrientation", v != nullptr,
                 [&](const Buffer3DParams& p) { Put(v, p.coneOrientation); });
}

HRESULT PathBuffer::GetConeOutsideVolume(LONG* volume) {
    return Get3D("IDirectSound3DBuffer::GetConeOutsideVolume", volume != nullptr,
                 [&](const Buffer3DParams& p) { *volume = p.coneOutsideVolume; });
}

HRESULT PathBuffer::GetMaxDistance(D3DVALUE* d) {
    return Get3D("IDirectSound3DBuffer::GetMaxDistance", d != nullptr,
                 [&](const Buffer3DParams& p) { *d = p.maxDistance; });
}

HRESULT PathBuffer::GetMinDistance(D3DVALUE* d) {
    return Get3D("IDirectSound3DBuffer::GetMinDistance", d != nullptr,
                 [&](const Buffer3DParams& p) { *d = p.minDistance; });
}

HRESULT PathBuffer::GetMode(LPDWORD mode) {
    return Get3D("IDirectSound3DBuffer::GetMode", mode != nullptr, [&](const Buffer3DParams& p) { *mode = p.mode; });
}

HRESULT PathBuffer::GetPosition(D3DVECTOR* v) {
    return Get3D("IDirectSound3DBuffer::GetPosition", v != nullptr,
                 [&](const Buffer3DParams& p) { Put(v, p.position); });
}

HRESULT PathBuffer::GetVelocity(D3DVECTOR* v) {
    return Get3D("IDirectSound3DBuffer::GetVelocity", v != nullptr,
                 [&](const Buffer3DParams& p) { Put(v, p.velocity); });
}

HRESULT PathBuffer::SetConeAngles(DWORD inside, DWORD outside, DWORD apply) {
    const bool valid = inside <= DS3D_MAXCONEANGLE && outside <= DS3D_MAXCONEANGLE && inside <= outside;
    return Set3D("IDirectSound3DBuffer::SetConeAngles", kBufConeAngles, apply, valid, [&](Buffer3DParams& p) {
        p.insideConeAngle = inside;
        p.outsideConeAngle = outside;
    });
}

HRESULT PathBuffer::SetConeOrientation(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) {
    return Set3D("IDirectSound3DBuffer::SetConeOrientation", kBufConeOrientation, apply, FiniteVec(x, y, z),
                 [&](Buffer3DParams& p) {
                     p.coneOrientation = Vec3{x, y, z};
                 });
}

HRESULT PathBuffer::SetConeOutsideVolume(LONG volume, DWORD apply) {
    const bool valid = volume >= DSBVOLUME_MIN && volume <= DSBVOLUME_MAX;
    return Set3D("IDirectSound3DBuffer::SetConeOutsideVolume", kBufConeOutsideVolume, apply, valid,
                 [&](Buffer3DParams& p) { p.coneOutsideVolume = volume; });
}

HRESULT PathBuffer::SetMaxDistance(D3DVALUE d, DWORD apply) {
    return Set3D("IDirectSound3DBuffer::SetMaxDistance", kBufMaxDistance, apply, IsFinite(d) && d > 0,
                 [&](Buffer3DParams& p) { p.maxDistance = d; });
}

HRESULT PathBuffer::SetMinDistance(D3DVALUE d, DWORD apply) {
    return Set3D("IDirectSound3DBuffer::SetMinDistance", kBufMinDistance, apply, IsFinite(d) && d > 0,
                 [&](Buffer3DParams& p) { p.minDistance = d; });
}

HRESULT PathBuffer::SetMode(DWORD mode, DWORD apply) {
    return Set3D("IDirectSound3DBuffer::SetMode", kBufMode, apply, mode <= DS3DMODE_DISABLE,
                 [&](Buffer3DParams& p) { p.mode = mode; });
}

HRESULT PathBuffer::SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) {
    return Set3D("IDirectSound3DBuffer::SetPosition", kBufPosition, apply, FiniteVec(x, y, z), [&](Buffer3DParams& p) {
        p.position = Vec3{x, y, z};
    });
}

HRESULT PathBuffer::SetVelocity(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) {
    return Set3D("IDirectSound3DBuffer::SetVelocity", kBufVelocity, apply, FiniteVec(x, y, z), [&](Buffer3DParams& p) {
        p.velocity = Vec3{x, y, z};
    });
}

// ---- listener -------------------------------------------------------------------

HRESULT ListenerImpl::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirectSound3DListener) {
        *ppv = static_cast<IDirectSound3DListener*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

template <class Apply>
HRESULT ListenerImpl::Set(const char* call, uint32_t field, DWORD apply, bool valid, Apply change) {
    HRESULT hr;
    if (Faulted(call, &hr)) return hr;
    qndx::sim::internal::Record(call, [&] { return Args(apply); });
    if (!valid || !ApplyValid(apply)) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(m_mixer->mutex);
    m_mixer->listener.Set(field, apply == DS3D_DEFERRED, change);
    return DS_OK;
}

template <class Read>
HRESULT ListenerImpl::Get(const char* call, bool pointersValid, Read read) {
    HRESULT hr;
    if (Faulted(call, &hr)) return hr;
    if (!pointersValid) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(m_mixer->mutex);
    read(m_mixer->listener.current);
    return DS_OK;
}

HRESULT ListenerImpl::CommitDeferredSettings() {
    HRESULT hr;
    if (Faulted("IDirectSound3DListener::CommitDeferredSettings", &hr)) return hr;
    qndx::sim::internal::Record("IDirectSound3DListener::CommitDeferredSettings");
    std::lock_guard<std::mutex> guard(m_mixer->mutex);
    m_mixer->CommitDeferred();
    return DS_OK;
}

HRESULT ListenerImpl::GetDistanceFactor(D3DVALUE* f) {
    return Get("IDirectSound3DListener::GetDistanceFactor", f != nullptr,
               [&](const ListenerParams& p) { *f = p.distanceFactor; });
}

HRESULT ListenerImpl::GetDopplerFactor(D3DVALUE* f) {
    return Get("IDirectSound3DListener::GetDopplerFactor", f != nullptr,
               [&](const ListenerParams& p) { *f = p.dopplerFactor; });
}

HRESULT ListenerImpl::GetOrientation(D3DVECTOR* front, D3DVECTOR* top) {
    return Get("IDirectSound3DListener::GetOrientation", front && top, [&](const ListenerParams& p) {
        Put(front, p.front);
        Put(top, p.top);
    });
}

HRESULT ListenerImpl::GetPosition(D3DVECTOR* v) {
    return Get("IDirectSound3DListener::GetPosition", v != nullptr,
               [&](const ListenerParams& p) { Put(v, p.position); });
}

HRESULT ListenerImpl::GetRolloffFactor(D3DVALUE* f) {
    return Get("IDirectSound3DListener::GetRolloffFactor", f != nullptr,
               [&](const ListenerParams& p) { *f = p.rolloffFactor; });
}

HRESULT ListenerImpl::GetVelocity(D3DVECTOR* v) {
    return Get("IDirectSound3DListener::GetVelocity", v != nullptr,
               [&](const ListenerParams& p) { Put(v, p.velocity); });
}

HRESULT ListenerImpl::SetDistanceFactor(D3DVALUE f, DWORD apply) {
    return Set("IDirectSound3DListener::SetDistanceFactor", kLisDistanceFactor, apply, IsFinite(f) && f > 0,
               [&](ListenerParams& p) { p.distanceFactor = f; });
}

HRESULT ListenerImpl::SetDopplerFactor(D3DVALUE f, DWORD apply) {
    const bool valid = f >= DS3D_MINDOPPLERFACTOR && f <= DS3D_MAXDOPPLERFACTOR;
    return Set("IDirectSound3DListener::SetDopplerFactor", kLisDopplerFactor, apply, valid,
               [&](ListenerParams& p) { p.dopplerFactor = f; });
}

HRESULT ListenerImpl::SetOrientation(D3DVALUE xf, D3DVALUE yf, D3DVALUE zf, D3DVALUE xt, D3DVALUE yt, D3DVALUE zt,
                                     DWORD apply) {
    const Vec3 front{xf, yf, zf}, top{xt, yt, zt};
    const bool valid = FiniteVec(xf, yf, zf) && FiniteVec(xt, yt, zt) && ListenerOrientationValid(front, top);
    return Set("IDirectSound3DListener::SetOrientation", kLisOrientation, apply, valid, [&](ListenerParams& p) {
        p.front = front;
        p.top = top;
    });
}

HRESULT ListenerImpl::SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) {
    return Set("IDirectSound3DListener::SetPosition", kLisPosition, apply, FiniteVec(x, y, z), [&](ListenerParams& p) {
        p.position = Vec3{x, y, z};
    });
}

HRESULT ListenerImpl::SetRolloffFactor(D3DVALUE f, DWORD apply) {
    const bool valid = f >= DS3D_MINROLLOFFFACTOR && f <= DS3D_MAXROLLOFFFACTOR;
    return Set("IDirectSound3DListener::SetRolloffFactor", kLisRolloffFactor, apply, valid,
               [&](ListenerParams& p) { p.rolloffFactor = f; });
}

HRESULT ListenerImpl::SetVelocity(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) {
    return Set("IDirectSound3DListener::SetVelocity", kLisVelocity, apply, FiniteVec(x, y, z), [&](ListenerParams& p) {
        p.velocity = Vec3{x, y, z};
    });
}

}  // namespace audio
}  // namespace platform
}  // namespace qndx
