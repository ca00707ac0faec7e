// One playable sound or piece of music: a segment loaded by the sound
// engine's loader from the sound directory (wave files; Standard MIDI files
// when asked) or from the program's resources. It plays, loops and stops
// on audio paths, downloading to a path on first use, and remembers the
// paths it was downloaded to so it can unload from all of them. The game
// makes its sounds with new and deletes them (a state's Release), before or
// after the engine goes.
#pragma once

#include <vector>

#include "EngineLink.h"
#include "platform/DirectMusic.h"

class CQNDXSoundEngine;
class CQNDXAudioPath;

class CQNDXSound {
public:
    // Registers with the engine, so that a path the engine destroys can
    // detach itself from this sound.
    explicit CQNDXSound(CQNDXSoundEngine* engine);
    virtual ~CQNDXSound();

    // Reads a file of the sound directory (sounds/ beside the program): a
    // wave file with isMidi 0, a Standard MIDI file with 1. Unlike a
    // surface's Load this answers 0 once loaded; -1 without engine, loader or
    // name, or when a segment is already loaded; a platform error otherwise
    // (the sound stays empty, and an error line in the log names the file
    // and the reason).
    int Load(const char* fileName, int isMidi);
    // E_FAIL when the resource is missing; failures are logged as for Load.
    int LoadFromResource(const char* name, const char* type, int isMidi);

    // Extra plays after the first; 0xFFFFFFFF (DMUS_SEG_REPEAT_INFINITE)
    // loops until Stop. Set it before playing. 0 on success.
    int SetRepeats(DWORD repeats);
    int GetRepeats(DWORD* repeats);

    // Starts the sound on a path (startTime 0: now). 0 (or another
    // non-negative code) on success, negative on failure.
    int Play(CQNDXAudioPath* path, DWORD flags, REFERENCE_TIME startTime);
    // Beside whatever plays: sound effects; each call starts one more play.
    // DMUS_SEGF_DEFAULT | DMUS_SEGF_SECONDARY.
    int PlaySecondary(CQNDXAudioPath* path, REFERENCE_TIME startTime);
    // In place of the primary sound that plays (one at a time): music.
    // DMUS_SEGF_DEFAULT.
    int PlayPrimary(CQNDXAudioPath* path, REFERENCE_TIME startTime);
    // Stop(0, 0) stops every play of the sound now.
    int Stop(DWORD flags, REFERENCE_TIME stopTime);
    // 1 playing, 0 not, -1 without segment, engine or performance.
    int IsPlaying();

    // -1 for null, no segment, no engine, or a path already listed.
    int Download(CQNDXAudioPath* path);
    // -2 for a path not listed; a failed unload keeps it listed.
    int Unload(CQNDXAudioPath* path);
    int IsDownloadedTo(CQNDXAudioPath* path);

    // Forgets the segment and the engine without releasing anything.
    void Clear();

    IDirectMusicSegment8* GetSegment() const { return m_pSegment; }

    // Converts when both pointers are set and count is not 0.
    static void ToWide(WCHAR* out, const char* in, int count);
    // count -1 means strlen(in) + 1; out gets count - 1 characters and a 0.
    static void MultiByteToWide(WCHAR* out, const char* in, int count);

private:
    friend class CQNDXAudioPath;

    CQNDXSound(const CQNDXSound&) = delete;
    CQNDXSound& operator=(const CQNDXSound&) = delete;

    // The engine is going: stop, unload everywhere; the link then forgets it.
    void __DetachEngine();
    static void __EngineGone(void* sound) { static_cast<CQNDXSound*>(sound)->__DetachEngine(); }
    // A path is going: it leaves the list whatever the unload said.
    void __ForgetAudioPath(CQNDXAudioPath* path);
    // Sets the just-loaded segment up as MIDI; releases it on failure. A
    // failure writes one error line naming `what` (the file or resource).
    int __FinishLoad(HRESULT hr, int isMidi, const char* what);

    IDirectMusicSegment8* m_pSegment;
    CQNDXEngineLink<CQNDXSoundEngine> m_pSoundEngine;
    std::vector<CQNDXAudioPath*> m_AudioPaths;
};
