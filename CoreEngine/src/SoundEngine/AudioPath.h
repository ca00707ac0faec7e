// An audio path: the route a sound takes from the performance to the
// speakers. The base wraps the platform's audio path; the stereo and 3D
// kinds add the DirectSound objects of the path. A game gets its paths from
// the sound engine (CreateAudioPath, Create3DAudioPath), which owns them.
#pragma once

#include <vector>

#include "EngineLink.h"
#include "platform/DirectMusic.h"

class CQNDXSoundEngine;
class CQNDXSound;

class CQNDXAudioPath {
public:
    CQNDXAudioPath();
    explicit CQNDXAudioPath(CQNDXSoundEngine* engine);
    // Releases the audio path. A path deleted directly (not through
    // Destroy) still leaves its engine's list and its sounds.
    virtual ~CQNDXAudioPath();

    // Hundredths of a decibel, kept within -9600..0 (0 full, -600 half the
    // amplitude, -9600 silent), reached over `duration` milliseconds. -1
    // before Create, else 0 on success.
    virtual int SetVolume(long volume, DWORD duration);
    // Deactivates the path, takes it out of the engine and its sounds, and
    // deletes it; returns the engine's removal result (0 without engine).
    virtual int Destroy() = 0;
    virtual int Create(DWORD pchannels) = 0;

    IDirectMusicAudioPath8* GetAudioPath() const { return m_pAudioPath; }

protected:
    // The Destroy steps shared by both kinds.
    int __Destroy();
    // Releases the performance's objects the path holds (its engine is
    // going): afterwards the path is as before Create, and its calls give -1.
    virtual void __ReleaseObjects();

    IDirectMusicAudioPath8* m_pAudioPath;
    CQNDXEngineLink<CQNDXSoundEngine> m_pSoundEngine;

private:
    friend class CQNDXSound;

    CQNDXAudioPath(const CQNDXAudioPath&) = delete;
    CQNDXAudioPath& operator=(const CQNDXAudioPath&) = delete;

    // Out of the engine's list and out of every sound downloaded to it.
    int __Detach();
    // Kept by the sounds themselves: a sound may have left its engine's
    // list, or lost its engine, and still hold this path.
    void __AddSound(CQNDXSound* sound);
    void __RemoveSound(CQNDXSound* sound);
    static void __EngineGone(void* path) { static_cast<CQNDXAudioPath*>(path)->__ReleaseObjects(); }

    // The sounds whose lists name this path.
    std::vector<CQNDXSound*> m_Sounds;
};
