// The stereo audio path: creation on the engine's performance and the
// buffer's pan and volume.
#include "SoundEngine/StereoAudioPath.h"

#include "SoundEngine/SoundEngine.h"

CQNDXStereoAudioPath::CQNDXStereoAudioPath() : m_pBuffer(nullptr) {}

CQNDXStereoAudioPath::CQNDXStereoAudioPath(CQNDXSoundEngine* engine) : CQNDXAudioPath(engine), m_pBuffer(nullptr) {}

CQNDXStereoAudioPath::~CQNDXStereoAudioPath() { __ReleaseBuffer(); }

void CQNDXStereoAudioPath::__ReleaseBuffer() {
    if (m_pBuffer) {
        m_pBuffer->Release();
        m_pBuffer = nullptr;
    }
}

void CQNDXStereoAudioPath::__ReleaseObjects() {
    __ReleaseBuffer();
    CQNDXAudioPath::__ReleaseObjects();
}

int CQNDXStereoAudioPath::Destroy() { return __Destroy(); }

int CQNDXStereoAudioPath::Create(DWORD pchannels) {
    if (!m_pSoundEngine || !m_pSoundEngine->GetPerformance()) return -1;
    if (m_pAudioPath) return -1;  // a second path would orphan the first
    IDirectMusicPerformance8* performance = m_pSoundEngine->GetPerformance();
    const HRESULT hr = performance->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_STEREO, pchannels, TRUE, &m_pAudioPath);
    if (FAILED(hr)) {
        m_pAudioPath = nullptr;
        return hr;
    }
    return m_pAudioPath->GetObjectInPath(0, DMUS_PATH_BUFFER, 0, GUID_NULL, 0, IID_IDirectSoundBuffer,
                                         reinterpret_cast<void**>(&m_pBuffer));
}

int CQNDXStereoAudioPath::SetPan(long pan) {
    if (!m_pBuffer) return -1;
    return m_pBuffer->SetPan((LONG)pan);
}

int CQNDXStereoAudioPath::GetPan(long* pan) {
    if (!m_pBuffer || !pan) return -1;
    LONG value = 0;
    const HRESULT hr = m_pBuffer->GetPan(&value);
    if (SUCCEEDED(hr)) *pan = value;
    return hr;
}

int CQNDXStereoAudioPath::GetVolume(long* volume) {
    if (!m_pBuffer || !volume) return -1;
    LONG value = 0;
    const HRESULT hr = m_pBuffer->GetVolume(&value);
    if (SUCCEEDED(hr)) *volume = value;
    return hr;
}
