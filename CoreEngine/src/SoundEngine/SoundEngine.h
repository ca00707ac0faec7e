// The sound engine: the process-wide owner of the music performance (which
// plays sounds on audio paths) and of the loader (which reads sound files
// from the sound directory). It makes the sound directory, makes audio
// paths, keeps the lists of its paths and sounds, and sets the master
// volume and tempo. The game manager creates it on the first request
// (CQNDXGameManager::GetSoundEngine(64)) and owns it; a game never deletes it.
// Nothing is heard until the game makes an audio path and plays its sounds on
// it. Without a sound card the mix plays on a silent output that keeps time
// (a line on standard error says so); SDL_AUDIODRIVER=disk writes the mix to
// the file SDL_DISKAUDIOFILE names (sdlaudio.raw by default) as 32-bit
// float stereo at 48 kHz.
#pragma once

#include <vector>

#include "EngineLink.h"
#include "platform/DirectMusic.h"

class CQNDXGameManager;
class CQNDXAudioPath;
class CQNDXSound;

class CQNDXSoundEngine {
public:
    // Null without a game manager; a second call returns the same engine.
    static CQNDXSoundEngine* Create(CQNDXGameManager* manager);
    // Sounds and paths made on the engine and still held by the application
    // let go of it: sounds stop and unload, paths drop the performance's
    // objects, and both find no engine afterwards.
    static void Destroy();
    static int Exists();
    static CQNDXSoundEngine* GetInstance();

    virtual ~CQNDXSoundEngine();

    // Performance on the game window with the shared stereo path, then the
    // loader searching the sound directory. Negative on failure; a failed
    // Init leaves the engine created but not initialised (and can be tried
    // again).
    int Init(DWORD pchannels);

    IDirectMusicPerformance8* GetPerformance() const { return m_pPerformance; }
    IDirectMusicLoader8* GetLoader() const { return m_pLoader; }
    // The folder sound files are read from: "sounds" beside the program,
    // made when the engine starts. SetSoundDirectory makes the folder it is
    // given (a path from the program's folder); 0 on success.
    const char* GetSoundDirectory() const { return m_szSoundDirectory; }
    int SetSoundDirectory(const char* path);

    // Hundredths of a decibel (0 unchanged, -600 half the amplitude), kept
    // within -20000..2000.
    int SetMasterVolume(long volume);
    long GetMasterVolume();
    // A factor: below 0.01 becomes 0 (the music clock stops), above 100 is 100.
    int SetMasterTempo(float tempo);
    float GetMasterTempo();

    // A new stereo (CQNDXStereoAudioPath: volume and pan) or 3D path, or
    // null; pchannels as for the engine (64). The engine keeps and deletes
    // the paths; a game that is done with one may call its Destroy.
    CQNDXAudioPath* CreateAudioPath(DWORD pchannels);
    CQNDXAudioPath* Create3DAudioPath(DWORD pchannels);

    // Nothing for null or an entry already listed.
    void AddAudioPath(CQNDXAudioPath* path);
    // -1 for null, -2 when absent, else 0.
    int RemoveAudioPath(CQNDXAudioPath* path);
    void AddSound(CQNDXSound* sound);
    int RemoveSound(CQNDXSound* sound);

    int GetAudioPathCount() const { return (int)m_AudioPaths.size(); }
    CQNDXAudioPath* GetAudioPath(int index) const;
    int GetSoundCount() const { return (int)m_Sounds.size(); }
    CQNDXSound* GetSound(int index) const;

    // The links of the sounds and paths that hold this engine (EngineLink.h).
    CQNDXEngineLinkList& GetEngineLinks() { return m_EngineLinks; }

private:
    explicit CQNDXSoundEngine(CQNDXGameManager* manager);
    CQNDXSoundEngine(const CQNDXSoundEngine&) = delete;
    CQNDXSoundEngine& operator=(const CQNDXSoundEngine&) = delete;

    // Releases what a failed Init had made.
    void __ReleaseServices();
    // The directory as a new wide string (strlen + 1 characters), or null.
    static WCHAR* __WideDirectory(const char* directory);

    IDirectMusicPerformance8* m_pPerformance;
    IDirectMusicLoader8* m_pLoader;
    char* m_szSoundDirectory;
    std::vector<CQNDXAudioPath*> m_AudioPaths;
    std::vector<CQNDXSound*> m_Sounds;
    CQNDXEngineLinkList m_EngineLinks;

    static CQNDXSoundEngine* ms_pInstance;
};
