// The sound engine singleton: start-up of the performance and loader,
// the sound directory, master volume and tempo, path creation and the
// lists of paths and sounds. At process exit a static holder destroys the
// paths the application left to the engine and then the engine, so that
// the performance is closed down and nothing is left behind.
#include "SoundEngine/SoundEngine.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "Defaults.h"
#include "GameManager.h"
#include "SoundEngine/3DAudioPath.h"
#include "SoundEngine/AudioPath.h"
#include "SoundEngine/Sound.h"
#include "SoundEngine/StereoAudioPath.h"
#include "Util/Window.h"
#include "platform/Com.h"
#include "platform/Kernel.h"

CQNDXSoundEngine* CQNDXSoundEngine::ms_pInstance = nullptr;

namespace {

// Destroys what is left of the sound engine at process exit.
class CQNDXSoundEngineDestroyer {
public:
    constexpr CQNDXSoundEngineDestroyer() {}
    ~CQNDXSoundEngineDestroyer() {
        CQNDXSoundEngine* engine = CQNDXSoundEngine::GetInstance();
        if (!engine) return;
        // Paths are the engine's to clean up once the application is done;
        // each Destroy takes its path out of the list.
        while (engine->GetAudioPathCount() > 0) {
            CQNDXAudioPath* path = engine->GetAudioPath(engine->GetAudioPathCount() - 1);
            const int before = engine->GetAudioPathCount();
            path->Destroy();
            if (engine->GetAudioPathCount() == before) break;  // cannot happen; never loop for ever
        }
        CQNDXSoundEngine::Destroy();
    }
};

CQNDXSoundEngineDestroyer s_SoundEngineDestroyer;

char* CopyString(const char* text) {
    const size_t n = std::strlen(text);
    char* copy = new (std::nothrow) char[n + 1];
    if (copy) std::memcpy(copy, text, n + 1);
    return copy;
}

}  // namespace

CQNDXSoundEngine* CQNDXSoundEngine::Create(CQNDXGameManager* manager) {
    if (!manager || !CQNDXGameManager::IsCreated()) return nullptr;
    if (!ms_pInstance) {
        if (CoInitialize(nullptr) >= 0) ms_pInstance = new (std::nothrow) CQNDXSoundEngine(manager);
    }
    return ms_pInstance;
}

void CQNDXSoundEngine::Destroy() {
    CQNDXSoundEngine* engine = ms_pInstance;
    if (!engine) return;
    delete engine;
    ms_pInstance = nullptr;
}

int CQNDXSoundEngine::Exists() { return ms_pInstance ? 1 : 0; }

CQNDXSoundEngine* CQNDXSoundEngine::GetInstance() { return ms_pInstance; }

CQNDXSoundEngine::CQNDXSoundEngine(CQNDXGameManager* manager)
    : m_pPerformance(nullptr), m_pLoader(nullptr), m_szSoundDirectory(nullptr) {
    // Program directory (none when the command line named no directory:
    // then the sound directory is relative to the current one) followed
    // directly by ".\sounds"; the path rules drop the period that ends up
    // after the directory's last segment.
    const char* appPath = manager->GetAppPath();
    if (!appPath) appPath = "";
    const size_t a = std::strlen(appPath), s = std::strlen(g_szSoundDir);
    m_szSoundDirectory = new (std::nothrow) char[a + s + 1];
    if (m_szSoundDirectory) {
        std::memcpy(m_szSoundDirectory, appPath, a);
        std::memcpy(m_szSoundDirectory + a, g_szSoundDir, s + 1);
        CreateDirectoryA(m_szSoundDirectory, nullptr);
    }
}

CQNDXSoundEngine::~CQNDXSoundEngine() {
    // Sounds and paths the application still holds let go of this engine
    // while the performance can still stop and unload (EngineLink.h), so
    // none of them reaches a deleted engine, or a later one, afterwards.
    m_EngineLinks.ReleaseAll();

    delete[] m_szSoundDirectory;
    m_szSoundDirectory = nullptr;
    if (m_pLoader) {
        m_pLoader->Release();
        m_pLoader = nullptr;
    }
    if (m_pPerformance) {
        m_pPerformance->CloseDown();
        m_pPerformance->Release();
        m_pPerformance = nullptr;
    }
    CoUninitialize();
    m_AudioPaths.clear();
    m_Sounds.clear();
    if (CQNDXGameManager* gm = CQNDXGameManager::GetInstance()) gm->__ForgetEngine(this);
}

WCHAR* CQNDXSoundEngine::__WideDirectory(const char* directory) {
    const int n = (int)std::strlen(directory) + 1;
    WCHAR* wide = new (std::nothrow) WCHAR[n];
    if (wide) MultiByteToWideChar(CP_ACP, 0, directory, -1, wide, n);
    return wide;
}

void CQNDXSoundEngine::__ReleaseServices() {
    if (m_pLoader) {
        m_pLoader->Release();
        m_pLoader = nullptr;
    }
    if (m_pPerformance) {
        m_pPerformance->CloseDown();
        m_pPerformance->Release();
        m_pPerformance = nullptr;
    }
}

int CQNDXSoundEngine::Init(DWORD pchannels) {
    // Once initialised there is nothing more to do; a second set-up would
    // orphan the first performance and every path made on it.
    if (m_pPerformance && m_pLoader) return 0;
    __ReleaseServices();

    CoInitialize(nullptr);
    HRESULT hr = CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC, IID_IDirectMusicPerformance8,
                                  reinterpret_cast<void**>(&m_pPerformance));
    if (FAILED(hr)) {
        m_pPerformance = nullptr;
        return hr;
    }
    HWND hwnd = nullptr;
    CQNDXGameManager* gm = CQNDXGameManager::GetInstance();
    if (gm && gm->GetWindow()) hwnd = gm->GetWindow()->GetHWND();
    hr = m_pPerformance->InitAudio(nullptr, nullptr, hwnd, DMUS_APATH_SHARED_STEREOPLUSREVERB, pchannels,
                                   DMUS_AUDIOF_ALL, nullptr);
    if (FAILED(hr)) {
        __ReleaseServices();
        return hr;
    }
    hr = CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                          reinterpret_cast<void**>(&m_pLoader));
    if (FAILED(hr)) {
        m_pLoader = nullptr;
        __ReleaseServices();
        return hr;
    }
    if (m_szSoundDirectory) {
        WCHAR* wide = __WideDirectory(m_szSoundDirectory);
        if (!wide) {
            __ReleaseServices();
            return -1;
        }
        m_pLoader->SetSearchDirectory(GUID_DirectMusicAllTypes, wide, FALSE);
        delete[] wide;
    }
    return hr;
}

int CQNDXSoundEngine::SetSoundDirectory(const char* path) {
    if (!path) return -1;
    delete[] m_szSoundDirectory;
    m_szSoundDirectory = CopyString(path);
    if (!m_szSoundDirectory) return -1;
    CreateDirectoryA(path, nullptr);
    if (!m_pLoader) return 0;
    WCHAR* wide = __WideDirectory(path);
    if (!wide) return -1;
    const HRESULT hr = m_pLoader->SetSearchDirectory(GUID_DirectMusicAllTypes, wide, FALSE);
    delete[] wide;
    return hr;
}

int CQNDXSoundEngine::SetMasterVolume(long volume) {
    if (!m_pPerformance) return -1;
    if (volume < -20000) volume = -20000;
    if (volume > 2000) volume = 2000;
    LONG value = (LONG)volume;
    return m_pPerformance->SetGlobalParam(GUID_PerfMasterVolume, &value, 4);
}

long CQNDXSoundEngine::GetMasterVolume() {
    if (!m_pPerformance) return 0;
    LONG value = 0;
    m_pPerformance->GetGlobalParam(GUID_PerfMasterVolume, &value, 4);
    return value;
}

int CQNDXSoundEngine::SetMasterTempo(float tempo) {
    if (!m_pPerformance) return -1;
    if (tempo < 0.01f) tempo = 0.0f;
    if (tempo > 100.0f) tempo = 100.0f;
    return m_pPerformance->SetGlobalParam(GUID_PerfMasterTempo, &tempo, 4);
}

float CQNDXSoundEngine::GetMasterTempo() {
    if (!m_pPerformance) return 0.0f;
    float value = 0.0f;
    m_pPerformance->GetGlobalParam(GUID_PerfMasterTempo, &value, 4);
    return value;
}

CQNDXAudioPath* CQNDXSoundEngine::CreateAudioPath(DWORD pchannels) {
    CQNDXAudioPath* path = new (std::nothrow) CQNDXStereoAudioPath(this);
    if (!path) return nullptr;
    if (path->Create(pchannels) >= 0) {
        AddAudioPath(path);
        return path;
    }
    delete path;
    return nullptr;
}

CQNDXAudioPath* CQNDXSoundEngine::Create3DAudioPath(DWORD pchannels) {
    CQNDXAudioPath* path = new (std::nothrow) CQNDX3DAudioPath(this);
    if (!path) return nullptr;
    if (path->Create(pchannels) >= 0) {
        AddAudioPath(path);
        return path;
    }
    delete path;
    return nullptr;
}

void CQNDXSoundEngine::AddAudioPath(CQNDXAudioPath* path) {
    if (!path || std::find(m_AudioPaths.begin(), m_AudioPaths.end(), path) != m_AudioPaths.end()) return;
    m_AudioPaths.push_back(path);
}

int CQNDXSoundEngine::RemoveAudioPath(CQNDXAudioPath* path) {
    if (!path) return -1;
    auto it = std::find(m_AudioPaths.begin(), m_AudioPaths.end(), path);
    if (it == m_AudioPaths.end()) return -2;
    m_AudioPaths.erase(it);
    return 0;
}

void CQNDXSoundEngine::AddSound(CQNDXSound* sound) {
    if (!sound || std::find(m_Sounds.begin(), m_Sounds.end(), sound) != m_Sounds.end()) return;
    m_Sounds.push_back(sound);
}

int CQNDXSoundEngine::RemoveSound(CQNDXSound* sound) {
    if (!sound) return -1;
    auto it = std::find(m_Sounds.begin(), m_Sounds.end(), sound);
    if (it == m_Sounds.end()) return -2;
    m_Sounds.erase(it);
    return 0;
}

CQNDXAudioPath* CQNDXSoundEngine::GetAudioPath(int index) const {
    return index >= 0 && index < (int)m_AudioPaths.size() ? m_AudioPaths[(size_t)index] : nullptr;
}

CQNDXSound* CQNDXSoundEngine::GetSound(int index) const {
    return index >= 0 && index < (int)m_Sounds.size() ? m_Sounds[(size_t)index] : nullptr;
}
