// A dynamic 3D audio path with its 3D buffer and the listener that all 3D
// paths share. Setters take an immediate flag: non-zero applies at once,
// zero defers the change until CommitDeferredSettings. Getters write their
// outputs only when the platform call succeeds.
#pragma once

#include "SoundEngine/AudioPath.h"

class CQNDX3DAudioPath : public CQNDXAudioPath {
public:
    CQNDX3DAudioPath();
    explicit CQNDX3DAudioPath(CQNDXSoundEngine* engine);
    ~CQNDX3DAudioPath() override;

    int Destroy() override;
    // -1 without engine or performance, or when already created.
    int Create(DWORD pchannels) override;

    // Mode: 0 disabled, 1 head-relative, anything else normal; GetMode
    // answers 0, 1 or 2 (normal).
    int SetMode(int mode, int immediate);
    int GetMode(int* mode);
    int SetMinDistance(float distance, int immediate);
    int GetMinDistance(float* distance);
    int SetMaxDistance(float distance, int immediate);
    int GetMaxDistance(float* distance);
    int SetPosition(float x, float y, float z, int immediate);
    int GetPosition(float* x, float* y, float* z);
    int SetConeAngles(DWORD inside, DWORD outside, int immediate);
    int GetConeAngles(DWORD* inside, DWORD* outside);
    int SetConeOrientation(float x, float y, float z, int immediate);
    int GetConeOrientation(float* x, float* y, float* z);
    int SetConeOutsideVolume(long volume, int immediate);
    int GetConeOutsideVolume(long* volume);

    int SetDistanceFactor(float factor, int immediate);
    int GetDistanceFactor(float* factor);
    int SetDopplerFactor(float factor, int immediate);
    int GetDopplerFactor(float* factor);
    int SetRolloffFactor(float factor, int immediate);
    int GetRolloffFactor(float* factor);
    int SetListenerVelocity(float x, float y, float z, int immediate);
    int GetListenerVelocity(float* x, float* y, float* z);
    int SetListenerOrientation(float frontX, float frontY, float frontZ, float topX, float topY, float topZ,
                               int immediate);
    int GetListenerOrientation(float* frontX, float* frontY, float* frontZ, float* topX, float* topY, float* topZ);
    int SetListenerPosition(float x, float y, float z, int immediate);
    int GetListenerPosition(float* x, float* y, float* z);

    // Every buffer setting deferred, in order, then one commit; the first
    // failing setter's result returns at once without a commit.
    int SetAllParameters(int mode, float minDistance, float maxDistance, float x, float y, float z,
                         DWORD insideConeAngle, DWORD outsideConeAngle, float coneX, float coneY, float coneZ,
                         long coneOutsideVolume);
    int CommitDeferredSettings();

    IDirectSound3DBuffer* Get3DBuffer() const { return m_p3DBuffer; }
    IDirectSound3DListener* GetListener() const { return m_pListener; }

protected:
    void __ReleaseObjects() override;

private:
    // The listener, then the 3D buffer.
    void __ReleaseBuffers();

    IDirectSound3DBuffer* m_p3DBuffer;
    IDirectSound3DListener* m_pListener;
};
