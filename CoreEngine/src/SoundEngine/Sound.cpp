// Sounds: loading through the engine's loader (a failed load says why in the
// log), repeats, play and stop on the engine's performance, and the download
// bookkeeping per audio path.
#include "SoundEngine/Sound.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "GameManager.h"
#include "SoundEngine/AudioPath.h"
#include "SoundEngine/SoundEngine.h"
#include "platform/Kernel.h"

CQNDXSound::CQNDXSound(CQNDXSoundEngine* engine) : m_pSegment(nullptr), m_pSoundEngine(engine) {
    m_pSoundEngine.OnEngineGone(&CQNDXSound::__EngineGone, this);
    if (m_pSoundEngine) m_pSoundEngine->AddSound(this);
}

CQNDXSound::~CQNDXSound() {
    if (m_pSegment) {
        if (IsPlaying()) Stop(0, 0);
        for (CQNDXAudioPath* path : m_AudioPaths)
            if (path->GetAudioPath()) m_pSegment->Unload(path->GetAudioPath());
    }
    // Even a cleared sound: no path may keep a deleted sound.
    for (CQNDXAudioPath* path : m_AudioPaths) path->__RemoveSound(this);
    m_AudioPaths.clear();
    if (m_pSoundEngine) m_pSoundEngine->RemoveSound(this);
    if (m_pSegment) {
        m_pSegment->Release();
        m_pSegment = nullptr;
    }
}

void CQNDXSound::MultiByteToWide(WCHAR* out, const char* in, int count) {
    if (!out || !in) return;
    if (count == -1) count = (int)std::strlen(in) + 1;
    if (count < 1) return;  // no room even for the terminator
    MultiByteToWideChar(CP_ACP, 0, in, -1, out, count - 1);
    out[count - 1] = 0;
}

void CQNDXSound::ToWide(WCHAR* out, const char* in, int count) {
    if (out && in && count != 0) MultiByteToWide(out, in, count);
}

namespace {

// One error line for a load that failed: what was loaded, the code and the
// platform's reason when it gave one.
void LogLoadFailure(const char* who, const char* what, HRESULT hr, const char* why) {
    CQNDXGameManager* manager = CQNDXGameManager::GetInstance();
    if (!manager) return;
    char text[640];
    std::snprintf(text, sizeof text, "%s: %s could not be loaded (0x%08X): %s", who, what, (unsigned)hr,
                  why && *why ? why : "no reason given");
    manager->LogError(text, 1);
}

}  // namespace

int CQNDXSound::__FinishLoad(HRESULT hr, int isMidi, const char* what) {
    if (FAILED(hr)) {
        m_pSegment = nullptr;
        LogLoadFailure("CQNDXSound::Load", what, hr, QndxGetLastErrorText());
        return hr;
    }
    if (!isMidi) return 0;
    hr = m_pSegment->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFF, 0, 0, nullptr);
    if (FAILED(hr)) {
        // A failed load leaves the sound empty, so it can load again.
        m_pSegment->Release();
        m_pSegment = nullptr;
        LogLoadFailure("CQNDXSound::Load", what, hr, "unsupported format: asked for MIDI, it holds no MIDI track");
        return hr;
    }
    return 0;
}

int CQNDXSound::Load(const char* fileName, int isMidi) {
    if (!m_pSoundEngine || m_pSegment || !fileName) return -1;
    IDirectMusicLoader8* loader = m_pSoundEngine->GetLoader();
    if (!loader) return -1;
    const size_t n = std::strlen(fileName);
    WCHAR* wide = new (std::nothrow) WCHAR[n + 1];
    if (!wide) return -1;
    MultiByteToWide(wide, fileName, -1);
    QndxSetLastErrorText(nullptr);
    const HRESULT hr = loader->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, wide,
                                                  reinterpret_cast<void**>(&m_pSegment));
    delete[] wide;
    char what[320];
    std::snprintf(what, sizeof what, "\"%s\"", fileName);
    return __FinishLoad(hr, isMidi, what);
}

int CQNDXSound::LoadFromResource(const char* name, const char* type, int isMidi) {
    if (!m_pSoundEngine || m_pSegment || !name || !type) return -1;
    IDirectMusicLoader8* loader = m_pSoundEngine->GetLoader();
    if (!loader) return -1;
    char what[320];
    std::snprintf(what, sizeof what, "resource \"%s\" of type \"%s\"", name, type);
    HRSRC found = FindResourceA(nullptr, name, type);
    if (!found) {
        LogLoadFailure("CQNDXSound::LoadFromResource", what, E_FAIL, "no such resource");
        return E_FAIL;
    }
    HGLOBAL loaded = LoadResource(nullptr, found);
    if (!loaded) {
        LogLoadFailure("CQNDXSound::LoadFromResource", what, E_FAIL, "the resource cannot be loaded");
        return E_FAIL;
    }
    const DWORD size = SizeofResource(nullptr, found);

    DMUS_OBJECTDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = QNDX_DMUS_OBJECTDESC_TAG;
    desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
    desc.guidClass = CLSID_DirectMusicSegment;
    desc.llMemLength = size;
    desc.pbMemData = static_cast<BYTE*>(loaded);
    QndxSetLastErrorText(nullptr);
    const HRESULT hr = loader->GetObject(&desc, IID_IDirectMusicSegment8, reinterpret_cast<void**>(&m_pSegment));
    return __FinishLoad(hr, isMidi, what);
}

int CQNDXSound::SetRepeats(DWORD repeats) {
    if (!m_pSegment) return -1;
    return m_pSegment->SetRepeats(repeats);
}

int CQNDXSound::GetRepeats(DWORD* repeats) {
    if (!m_pSegment || !repeats) return -1;
    return m_pSegment->GetRepeats(repeats);
}

int CQNDXSound::Play(CQNDXAudioPath* path, DWORD flags, REFERENCE_TIME startTime) {
    if (!path || !m_pSegment || !m_pSoundEngine || !m_pSoundEngine->GetPerformance()) return -1;
    if (!IsDownloadedTo(path)) Download(path);
    return m_pSoundEngine->GetPerformance()->PlaySegmentEx(m_pSegment, nullptr, nullptr, flags, startTime, nullptr,
                                                           nullptr, path->GetAudioPath());
}

int CQNDXSound::PlaySecondary(CQNDXAudioPath* path, REFERENCE_TIME startTime) {
    return Play(path, DMUS_SEGF_DEFAULT | DMUS_SEGF_SECONDARY, startTime);
}

int CQNDXSound::PlayPrimary(CQNDXAudioPath* path, REFERENCE_TIME startTime) {
    return Play(path, DMUS_SEGF_DEFAULT, startTime);
}

int CQNDXSound::Stop(DWORD flags, REFERENCE_TIME stopTime) {
    if (!m_pSegment || !m_pSoundEngine || !m_pSoundEngine->GetPerformance()) return -1;
    return m_pSoundEngine->GetPerformance()->StopEx(m_pSegment, stopTime, flags);
}

int CQNDXSound::IsPlaying() {
    if (!m_pSegment || !m_pSoundEngine || !m_pSoundEngine->GetPerformance()) return -1;
    return m_pSoundEngine->GetPerformance()->IsPlaying(m_pSegment, nullptr) == S_OK ? 1 : 0;
}

int CQNDXSound::Download(CQNDXAudioPath* path) {
    // Without an engine the segment belongs to a performance that is gone.
    if (!path || !m_pSegment || !m_pSoundEngine || IsDownloadedTo(path)) return -1;
    const HRESULT hr = m_pSegment->Download(path->GetAudioPath());
    if (FAILED(hr)) return hr;
    m_AudioPaths.push_back(path);
    path->__AddSound(this);
    return hr;
}

int CQNDXSound::Unload(CQNDXAudioPath* path) {
    if (!path || !m_pSegment) return -1;
    auto it = std::find(m_AudioPaths.begin(), m_AudioPaths.end(), path);
    if (it == m_AudioPaths.end()) return -2;
    const HRESULT hr = m_pSegment->Unload(path->GetAudioPath());
    if (FAILED(hr)) return hr;
    m_AudioPaths.erase(it);
    path->__RemoveSound(this);
    return hr;
}

int CQNDXSound::IsDownloadedTo(CQNDXAudioPath* path) {
    return std::find(m_AudioPaths.begin(), m_AudioPaths.end(), path) != m_AudioPaths.end() ? 1 : 0;
}

void CQNDXSound::Clear() {
    // Out of the engine's list too: the engine must not reach a sound that
    // no longer answers for its segment.
    if (m_pSoundEngine) m_pSoundEngine->RemoveSound(this);
    m_pSegment = nullptr;
    m_pSoundEngine = nullptr;
}

void CQNDXSound::__DetachEngine() {
    if (m_pSegment) {
        if (IsPlaying() > 0) Stop(0, 0);
        for (CQNDXAudioPath* path : m_AudioPaths)
            if (path->GetAudioPath()) m_pSegment->Unload(path->GetAudioPath());
    }
    for (CQNDXAudioPath* path : m_AudioPaths) path->__RemoveSound(this);
    m_AudioPaths.clear();
}

void CQNDXSound::__ForgetAudioPath(CQNDXAudioPath* path) {
    m_AudioPaths.erase(std::remove(m_AudioPaths.begin(), m_AudioPaths.end(), path), m_AudioPaths.end());
}
