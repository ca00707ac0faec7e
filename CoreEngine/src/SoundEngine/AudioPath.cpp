// The audio path base: volume, and taking a path out of its engine and its
// sounds when it goes.
#include "SoundEngine/AudioPath.h"

#include <algorithm>

#include "SoundEngine/Sound.h"
#include "SoundEngine/SoundEngine.h"

CQNDXAudioPath::CQNDXAudioPath() : m_pAudioPath(nullptr) {}

CQNDXAudioPath::CQNDXAudioPath(CQNDXSoundEngine* engine) : m_pAudioPath(nullptr), m_pSoundEngine(engine) {
    m_pSoundEngine.OnEngineGone(&CQNDXAudioPath::__EngineGone, this);
}

CQNDXAudioPath::~CQNDXAudioPath() {
    // Deleted without Destroy: no list and no sound may keep this path.
    __Detach();
    if (m_pAudioPath) {
        m_pAudioPath->Release();
        m_pAudioPath = nullptr;
    }
}

void CQNDXAudioPath::__ReleaseObjects() {
    if (m_pAudioPath) {
        m_pAudioPath->Release();
        m_pAudioPath = nullptr;
    }
}

int CQNDXAudioPath::SetVolume(long volume, DWORD duration) {
    if (!m_pAudioPath) return -1;
    if (volume < -9600) volume = -9600;
    if (volume > 0) volume = 0;
    return m_pAudioPath->SetVolume((LONG)volume, duration);
}

int CQNDXAudioPath::__Detach() {
    const int r = m_pSoundEngine ? m_pSoundEngine->RemoveAudioPath(this) : 0;
    // A sound not downloaded here has nothing to unload, so the sounds that
    // hold the path are all there is to visit, in or out of the engine's list.
    while (!m_Sounds.empty()) {
        CQNDXSound* sound = m_Sounds.back();
        sound->Unload(this);
        // Whatever the unload said, the sound must not keep a path that is
        // about to be deleted.
        sound->__ForgetAudioPath(this);
        __RemoveSound(sound);
    }
    return r;
}

void CQNDXAudioPath::__AddSound(CQNDXSound* sound) {
    if (std::find(m_Sounds.begin(), m_Sounds.end(), sound) == m_Sounds.end()) m_Sounds.push_back(sound);
}

void CQNDXAudioPath::__RemoveSound(CQNDXSound* sound) {
    m_Sounds.erase(std::remove(m_Sounds.begin(), m_Sounds.end(), sound), m_Sounds.end());
}

int CQNDXAudioPath::__Destroy() {
    if (m_pAudioPath) m_pAudioPath->Activate(FALSE);
    int r = 0;
    if (m_pSoundEngine) {
        r = __Detach();
        m_pSoundEngine = nullptr;
    }
    delete this;
    return r;
}
