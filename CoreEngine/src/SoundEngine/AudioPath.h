// An audio path: the route a sound takes from the performance to the
// speakers. The base wraps the platform's audio path; the stereo and 3D
// kinds add the DirectSound objects of the path.
#pragma once

#include "platform/DirectMusic.h"

class CQNDXSoundEngine;

class CQNDXAudioPath {
public:
    CQNDXAudioPath();
    explicit CQNDXAudioPath(CQNDXSoundEngine* engine);
    // Releases the audio path. A path deleted directly (not through
    // Destroy) still leaves its engine's list and its sounds.
    virtual ~CQNDXAudioPath();

    // Hundredths of a decibel, kept within -9600..0, reached over
    // `duration` milliseconds. -1 before Create.
    virtual int SetVolume(long volume, DWORD duration);
    // Deactivates the path, takes it out of the engine and its sounds, and
    // deletes it; returns the engine's removal result (0 without engine).
    virtual int Destroy() = 0;
    virtual int Create(DWORD pchannels) = 0;

    IDirectMusicAudioPath8* GetAudioPath() const { return m_pAudioPath; }

protected:
    // The Destroy steps shared by both kinds.
    int __Destroy();

    IDirectMusicAudioPath8* m_pAudioPath;
    CQNDXSoundEngine* m_pSoundEngine;

private:
    friend class CQNDXSoundEngine;

    CQNDXAudioPath(const CQNDXAudioPath&) = delete;
    CQNDXAudioPath& operator=(const CQNDXAudioPath&) = delete;

    // Out of the engine's list and out of every sound of the engine.
    int __Detach();
    // The engine is going: forget it.
    void __DetachEngine() { m_pSoundEngine = nullptr; }
};
