// A dynamic stereo audio path with its sound buffer: volume and pan.
#pragma once

#include "SoundEngine/AudioPath.h"

class CQNDXStereoAudioPath : public CQNDXAudioPath {
public:
    CQNDXStereoAudioPath();
    explicit CQNDXStereoAudioPath(CQNDXSoundEngine* engine);
    ~CQNDXStereoAudioPath() override;

    int Destroy() override;
    // -1 without engine or performance, or when already created.
    int Create(DWORD pchannels) override;

    // Hundredths of a decibel, -10000 (left only) .. 10000 (right only).
    int SetPan(long pan);
    int GetPan(long* pan);
    // The buffer's volume.
    int GetVolume(long* volume);
    IDirectSoundBuffer* GetBuffer() const { return m_pBuffer; }

protected:
    void __ReleaseObjects() override;

private:
    void __ReleaseBuffer();

    IDirectSoundBuffer* m_pBuffer;
};
