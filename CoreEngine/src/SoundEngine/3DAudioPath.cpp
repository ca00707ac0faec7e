// The 3D audio path: creation, the 3D buffer's and the listener's
// properties with their mode and immediate-flag mappings, and the
// all-at-once setting.
#include "SoundEngine/3DAudioPath.h"

#include "SoundEngine/SoundEngine.h"

namespace {

DWORD Apply(int immediate) { return immediate ? DS3D_IMMEDIATE : DS3D_DEFERRED; }

DWORD PlatformMode(int mode) {
    if (mode == 0) return DS3DMODE_DISABLE;
    if (mode == 1) return DS3DMODE_HEADRELATIVE;
    return DS3DMODE_NORMAL;
}

void Copy(const D3DVECTOR& v, float* x, float* y, float* z) {
    *x = v.x;
    *y = v.y;
    *z = v.z;
}

}  // namespace

CQNDX3DAudioPath::CQNDX3DAudioPath() : m_p3DBuffer(nullptr), m_pListener(nullptr) {}

CQNDX3DAudioPath::CQNDX3DAudioPath(CQNDXSoundEngine* engine)
    : CQNDXAudioPath(engine), m_p3DBuffer(nullptr), m_pListener(nullptr) {}

CQNDX3DAudioPath::~CQNDX3DAudioPath() { __ReleaseBuffers(); }

void CQNDX3DAudioPath::__ReleaseBuffers() {
    if (m_pListener) {
        m_pListener->Release();
        m_pListener = nullptr;
    }
    if (m_p3DBuffer) {
        m_p3DBuffer->Release();
        m_p3DBuffer = nullptr;
    }
}

void CQNDX3DAudioPath::__ReleaseObjects() {
    __ReleaseBuffers();
    CQNDXAudioPath::__ReleaseObjects();
}

int CQNDX3DAudioPath::Destroy() { return __Destroy(); }

int CQNDX3DAudioPath::Create(DWORD pchannels) {
    if (!m_pSoundEngine || !m_pSoundEngine->GetPerformance()) return -1;
    if (m_pAudioPath) return -1;  // a second path would orphan the first
    IDirectMusicPerformance8* performance = m_pSoundEngine->GetPerformance();
    HRESULT hr = performance->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_3D, pchannels, TRUE, &m_pAudioPath);
    if (FAILED(hr)) {
        m_pAudioPath = nullptr;
        return hr;
    }
    hr = m_pAudioPath->GetObjectInPath(0, DMUS_PATH_BUFFER, 0, GUID_NULL, 0, IID_IDirectSound3DBuffer,
                                       reinterpret_cast<void**>(&m_p3DBuffer));
    if (FAILED(hr)) return hr;
    return m_pAudioPath->GetObjectInPath(0, DMUS_PATH_PRIMARY_BUFFER, 0, GUID_NULL, 0, IID_IDirectSound3DListener,
                                         reinterpret_cast<void**>(&m_pListener));
}

// ---- 3D buffer ------------------------------------------------------------------

int CQNDX3DAudioPath::SetMode(int mode, int immediate) {
    if (!m_p3DBuffer) return -1;
    return m_p3DBuffer->SetMode(PlatformMode(mode), Apply(immediate));
}

int CQNDX3DAudioPath::GetMode(int* mode) {
    if (!mode || !m_p3DBuffer) return -1;
    DWORD value = 0;
    const HRESULT hr = m_p3DBuffer->GetMode(&value);
    if (SUCCEEDED(hr)) {
        if (value == DS3DMODE_NORMAL)
            *mode = 2;
        else if (value == DS3DMODE_HEADRELATIVE)
            *mode = 1;
        else if (value == DS3DMODE_DISABLE)
            *mode = 0;
    }
    return hr;
}

int CQNDX3DAudioPath::SetMinDistance(float distance, int immediate) {
    if (!m_p3DBuffer) return -1;
    return m_p3DBuffer->SetMinDistance(distance, Apply(immediate));
}

int CQNDX3DAudioPath::GetMinDistance(float* distance) {
    if (!distance || !m_p3DBuffer) return -1;
    D3DVALUE value = 0;
    const HRESULT hr = m_p3DBuffer->GetMinDistance(&value);
    if (SUCCEEDED(hr)) *distance = value;
    return hr;
}

int CQNDX3DAudioPath::SetMaxDistance(float distance, int immediate) {
    if (!m_p3DBuffer) return -1;
    return m_p3DBuffer->SetMaxDistance(distance, Apply(immediate));
}

int CQNDX3DAudioPath::GetMaxDistance(float* distance) {
    if (!distance || !m_p3DBuffer) return -1;
    D3DVALUE value = 0;
    const HRESULT hr = m_p3DBuffer->GetMaxDistance(&value);
    if (SUCCEEDED(hr)) *distance = value;
    return hr;
}

int CQNDX3DAudioPath::SetPosition(float x, float y, float z, int immediate) {
    if (!m_p3DBuffer) return -1;
    return m_p3DBuffer->SetPosition(x, y, z, Apply(immediate));
}

int CQNDX3DAudioPath::GetPosition(float* x, float* y, float* z) {
    if (!x || !y || !z || !m_p3DBuffer) return -1;
    D3DVECTOR v = {0, 0, 0};
    const HRESULT hr = m_p3DBuffer->GetPosition(&v);
    if (SUCCEEDED(hr)) Copy(v, x, y, z);
    return hr;
}

int CQNDX3DAudioPath::SetConeAngles(DWORD inside, DWORD outside, int immediate) {
    if (!m_p3DBuffer) return -1;
    return m_p3DBuffer->SetConeAngles(inside, outside, Apply(immediate));
}

int CQNDX3DAudioPath::GetConeAngles(DWORD* inside, DWORD* outside) {
    if (!inside || !outside || !m_p3DBuffer) return -1;
    DWORD in = 0, out = 0;
    const HRESULT hr = m_p3DBuffer->GetConeAngles(&in, &out);
    if (SUCCEEDED(hr)) {
        *inside = in;
        *outside = out;
    }
    return hr;
}

int CQNDX3DAudioPath::SetConeOrientation(float x, float y, float z, int immediate) {
    if (!m_p3DBuffer) return -1;
    return m_p3DBuffer->SetConeOrientation(x, y, z, Apply(immediate));
}

int CQNDX3DAudioPath::GetConeOrientation(float* x, float* y, float* z) {
    if (!x || !y || !z || !m_p3DBuffer) return -1;
    D3DVECTOR v = {0, 0, 0};
    const HRESULT hr = m_p3DBuffer->GetConeOrientation(&v);
    if (SUCCEEDED(hr)) Copy(v, x, y, z);
    return hr;
}

int CQNDX3DAudioPath::SetConeOutsideVolume(long volume, int immediate) {
    if (!m_p3DBuffer) return -1;
    return m_p3DBuffer->SetConeOutsideVolume((LONG)volume, Apply(immediate));
}

int CQNDX3DAudioPath::GetConeOutsideVolume(long* volume) {
    if (!volume || !m_p3DBuffer) return -1;
    LONG value = 0;
    const HRESULT hr = m_p3DBuffer->GetConeOutsideVolume(&value);
    if (SUCCEEDED(hr)) *volume = value;
    return hr;
}

// ---- listener -------------------------------------------------------------------

int CQNDX3DAudioPath::SetDistanceFactor(float factor, int immediate) {
    if (!m_pListener) return -1;
    return m_pListener->SetDistanceFactor(factor, Apply(immediate));
}

int CQNDX3DAudioPath::GetDistanceFactor(float* factor) {
    if (!factor || !m_pListener) return -1;
    D3DVALUE value = 0;
    const HRESULT hr = m_pListener->GetDistanceFactor(&value);
    if (SUCCEEDED(hr)) *factor = value;
    return hr;
}

int CQNDX3DAudioPath::SetDopplerFactor(float factor, int immediate) {
    if (!m_pListener) return -1;
    return m_pListener->SetDopplerFactor(factor, Apply(immediate));
}

int CQNDX3DAudioPath::GetDopplerFactor(float* factor) {
    if (!factor || !m_pListener) return -1;
    D3DVALUE value = 0;
    const HRESULT hr = m_pListener->GetDopplerFactor(&value);
    if (SUCCEEDED(hr)) *factor = value;
    return hr;
}

int CQNDX3DAudioPath::SetRolloffFactor(float factor, int immediate) {
    if (!m_pListener) return -1;
    return m_pListener->SetRolloffFactor(factor, Apply(immediate));
}

int CQNDX3DAudioPath::GetRolloffFactor(float* factor) {
    if (!factor || !m_pListener) return -1;
    D3DVALUE value = 0;
    const HRESULT hr = m_pListener->GetRolloffFactor(&value);
    if (SUCCEEDED(hr)) *factor = value;
    return hr;
}

int CQNDX3DAudioPath::SetListenerVelocity(float x, float y, float z, int immediate) {
    if (!m_pListener) return -1;
    return m_pListener->SetVelocity(x, y, z, Apply(immediate));
}

int CQNDX3DAudioPath::GetListenerVelocity(float* x, float* y, float* z) {
    if (!x || !y || !z || !m_pListener) return -1;
    D3DVECTOR v = {0, 0, 0};
    const HRESULT hr = m_pListener->GetVelocity(&v);
    if (SUCCEEDED(hr)) Copy(v, x, y, z);
    return hr;
}

int CQNDX3DAudioPath::SetListenerOrientation(float frontX, float frontY, float frontZ, float topX, float topY,
                                             float topZ, int immediate) {
    if (!m_pListener) return -1;
    return m_pListener->SetOrientation(frontX, frontY, frontZ, topX, topY, topZ, Apply(immediate));
}

int CQNDX3DAudioPath::GetListenerOrientation(float* frontX, float* frontY, float* frontZ, float* topX, float* topY,
                                             float* topZ) {
    if (!frontX || !frontY || !frontZ || !topX || !topY || !topZ || !m_pListener) return -1;
    D3DVECTOR front = {0, 0, 0}, top = {0, 0, 0};
    const HRESULT hr = m_pListener->GetOrientation(&front, &top);
    if (SUCCEEDED(hr)) {
        Copy(front, frontX, frontY, frontZ);
        Copy(top, topX, topY, topZ);
    }
    return hr;
}

int CQNDX3DAudioPath::SetListenerPosition(float x, float y, float z, int immediate) {
    if (!m_pListener) return -1;
    return m_pListener->SetPosition(x, y, z, Apply(immediate));
}

int CQNDX3DAudioPath::GetListenerPosition(float* x, float* y, float* z) {
    if (!x || !y || !z || !m_pListener) return -1;
    D3DVECTOR v = {0, 0, 0};
    const HRESULT hr = m_pListener->GetPosition(&v);
    if (SUCCEEDED(hr)) Copy(v, x, y, z);
    return hr;
}

// ---- all at once ------------------------------------------------------------------

int CQNDX3DAudioPath::SetAllParameters(int mode, float minDistance, float maxDistance, float x, float y, float z,
                                       DWORD insideConeAngle, DWORD outsideConeAngle, float coneX, float coneY,
                                       float coneZ, long coneOutsideVolume) {
    if (!m_p3DBuffer) {
        CommitDeferredSettings();
        return -1;
    }
    int r = SetMode(mode, 0);
    if (r < 0) return r;
    r = SetMinDistance(minDistance, 0);
    if (r < 0) return r;
    r = SetMaxDistance(maxDistance, 0);
    if (r < 0) return r;
    r = SetPosition(x, y, z, 0);
    if (r < 0) return r;
    r = SetConeAngles(insideConeAngle, outsideConeAngle, 0);
    if (r < 0) return r;
    r = SetConeOrientation(coneX, coneY, coneZ, 0);
    if (r < 0) return r;
    r = SetConeOutsideVolume(coneOutsideVolume, 0);
    if (r < 0) return r;
    CommitDeferredSettings();
    return r;
}

int CQNDX3DAudioPath::CommitDeferredSettings() {
    if (!m_pListener) return -1;
    return m_pListener->CommitDeferredSettings();
}
