// The interface objects of the DirectMusic stand-in: performance, audio
// path with its buffer, the shared 3D listener, segment, segment state and
// loader. They hold the performance's mixer by shared pointer, so any of
// them may outlive the others; each call locks the mixer it touches.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dmusic/Content.h"
#include "dmusic/Mixer.h"
#include "platform/DirectMusic.h"
#include "sim/RefCounted.h"

namespace qndx {
namespace platform {
namespace audio {

class ListenerImpl;
class PathBuffer;

// Fault injection for a call by its interface name: true (with *hr set)
// when the test panel asked this call to fail.
bool Faulted(const char* call, HRESULT* hr);

class PerformanceImpl : public RefCounted<IDirectMusicPerformance8> {
public:
    PerformanceImpl();

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    HRESULT InitAudio(IUnknown** ppDirectMusic, IUnknown** ppDirectSound, HWND hWnd, DWORD dwDefaultPathType,
                      DWORD dwPChannelCount, DWORD dwFlags, void* pParams) override;
    HRESULT CloseDown() override;
    HRESULT CreateStandardAudioPath(DWORD dwType, DWORD dwPChannelCount, BOOL fActivate,
                                    IDirectMusicAudioPath** ppNewPath) override;
    HRESULT GetDefaultAudioPath(IDirectMusicAudioPath** ppAudioPath) override;
    HRESULT PlaySegmentEx(IUnknown* pSource, WCHAR* pwzSegmentName, IUnknown* pTransition, DWORD dwFlags,
                          LONGLONG i64StartTime, IDirectMusicSegmentState** ppSegmentState, IUnknown* pFrom,
                          IUnknown* pAudioPath) override;
    HRESULT StopEx(IUnknown* pObjectToStop, LONGLONG i64StopTime, DWORD dwFlags) override;
    HRESULT IsPlaying(IDirectMusicSegment* pSegment, IDirectMusicSegmentState* pSegState) override;
    HRESULT GetTime(REFERENCE_TIME* prtNow, MUSIC_TIME* pmtNow) override;
    HRESULT SetGlobalParam(REFGUID rguidType, void* pParam, DWORD dwSize) override;
    HRESULT GetGlobalParam(REFGUID rguidType, void* pParam, DWORD dwSize) override;

    const std::shared_ptr<Mixer>& GetMixer() const { return m_mixer; }

private:
    ~PerformanceImpl() override;
    HRESULT MakePath(DWORD type, DWORD pchannels, BOOL activate, IDirectMusicAudioPath** out);

    std::shared_ptr<Mixer> m_mixer;
    bool m_initialised = false;
    IDirectMusicAudioPath8* m_defaultPath = nullptr;
    ListenerImpl* m_listener = nullptr;
    std::map<std::string, std::vector<uint8_t>> m_params;  // global parameters the layer only stores
};

class AudioPathImpl : public RefCounted<IDirectMusicAudioPath8> {
public:
    AudioPathImpl(std::shared_ptr<Mixer> mixer, std::shared_ptr<Bus> bus, ListenerImpl* listener);

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    HRESULT GetObjectInPath(DWORD dwPChannel, DWORD dwStage, DWORD dwBuffer, REFGUID guidObject, DWORD dwIndex,
                            REFGUID iidInterface, void** ppObject) override;
    HRESULT Activate(BOOL fActivate) override;
    HRESULT SetVolume(LONG lVolume, DWORD dwDuration) override;

    const std::shared_ptr<Mixer>& GetMixer() const { return m_mixer; }
    const std::shared_ptr<Bus>& GetBus() const { return m_bus; }

private:
    ~AudioPathImpl() override;

    std::shared_ptr<Mixer> m_mixer;
    std::shared_ptr<Bus> m_bus;
    PathBuffer* m_buffer;
    ListenerImpl* m_listener;
};

// The buffer of an audio path; on a 3D path it also answers as its 3D
// buffer (one object, one reference count, as the platform does).
class PathBuffer : public IDirectSoundBuffer8, public IDirectSound3DBuffer {
public:
    PathBuffer(std::shared_ptr<Mixer> mixer, std::shared_ptr<Bus> bus);

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT GetVolume(LONG* plVolume) override;
    HRESULT SetVolume(LONG lVolume) override;
    HRESULT GetPan(LONG* plPan) override;
    HRESULT SetPan(LONG lPan) override;

    HRESULT GetConeAngles(LPDWORD pdwInsideConeAngle, LPDWORD pdwOutsideConeAngle) override;
    HRESULT GetConeOrientation(D3DVECTOR* pvOrientation) override;
    HRESULT GetConeOutsideVolume(LONG* plConeOutsideVolume) override;
    HRESULT GetMaxDistance(D3DVALUE* pflMaxDistance) override;
    HRESULT GetMinDistance(D3DVALUE* pflMinDistance) override;
    HRESULT GetMode(LPDWORD pdwMode) override;
    HRESULT GetPosition(D3DVECTOR* pvPosition) override;
    HRESULT GetVelocity(D3DVECTOR* pvVelocity) override;
    HRESULT SetConeAngles(DWORD dwInsideConeAngle, DWORD dwOutsideConeAngle, DWORD dwApply) override;
    HRESULT SetConeOrientation(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD dwApply) override;
    HRESULT SetConeOutsideVolume(LONG lConeOutsideVolume, DWORD dwApply) override;
    HRESULT SetMaxDistance(D3DVALUE flMaxDistance, DWORD dwApply) override;
    HRESULT SetMinDistance(D3DVALUE flMinDistance, DWORD dwApply) override;
    HRESULT SetMode(DWORD dwMode, DWORD dwApply) override;
    HRESULT SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD dwApply) override;
    HRESULT SetVelocity(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD dwApply) override;

private:
    virtual ~PathBuffer() = default;
    bool Is3D() const { return m_bus->kind == Bus::Kind::ThreeD; }
    template <class Apply>
    HRESULT Set3D(const char* call, uint32_t field, DWORD apply, bool valid, Apply change);
    template <class Read>
    HRESULT Get3D(const char* call, bool pointersValid, Read read);

    std::atomic<ULONG> m_refs{1};
    std::shared_ptr<Mixer> m_mixer;
    std::shared_ptr<Bus> m_bus;
};

class ListenerImpl : public RefCounted<IDirectSound3DListener> {
public:
    explicit ListenerImpl(std::shared_ptr<Mixer> mixer) : m_mixer(std::move(mixer)) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    HRESULT CommitDeferredSettings() override;
    HRESULT GetDistanceFactor(D3DVALUE* pflDistanceFactor) override;
    HRESULT GetDopplerFactor(D3DVALUE* pflDopplerFactor) override;
    HRESULT GetOrientation(D3DVECTOR* pvOrientFront, D3DVECTOR* pvOrientTop) override;
    HRESULT GetPosition(D3DVECTOR* pvPosition) override;
    HRESULT GetRolloffFactor(D3DVALUE* pflRolloffFactor) override;
    HRESULT GetVelocity(D3DVECTOR* pvVelocity) override;
    HRESULT SetDistanceFactor(D3DVALUE flDistanceFactor, DWORD dwApply) override;
    HRESULT SetDopplerFactor(D3DVALUE flDopplerFactor, DWORD dwApply) override;
    HRESULT SetOrientation(D3DVALUE xFront, D3DVALUE yFront, D3DVALUE zFront, D3DVALUE xTop, D3DVALUE yTop,
                           D3DVALUE zTop, DWORD dwApply) override;
    HRESULT SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD dwApply) override;
    HRESULT SetRolloffFactor(D3DVALUE flRolloffFactor, DWORD dwApply) override;
    HRESULT SetVelocity(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD dwApply) override;

private:
    ~ListenerImpl() override = default;
    template <class Apply>
    HRESULT Set(const char* call, uint32_t field, DWORD apply, bool valid, Apply change);
    template <class Read>
    HRESULT Get(const char* call, bool pointersValid, Read read);

    std::shared_ptr<Mixer> m_mixer;
};

class SegmentImpl : public RefCounted<IDirectMusicSegment8> {
public:
    explicit SegmentImpl(std::shared_ptr<const SegmentContent> content);

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    HRESULT SetRepeats(DWORD dwRepeats) override;
    HRESULT GetRepeats(DWORD* pdwRepeats) override;
    HRESULT SetParam(REFGUID rguidType, DWORD dwGroupBits, DWORD dwIndex, MUSIC_TIME mtTime, void* pParam) override;
    HRESULT Download(IUnknown* pAudioPath) override;
    HRESULT Unload(IUnknown* pAudioPath) override;

    uint64_t Id() const { return m_id; }
    const SegmentContent& Content() const { return *m_content; }
    DWORD Repeats();
    // Downloaded to this path's bus, or to the whole performance that owns it.
    bool IsDownloadedTo(const Bus* bus, const Mixer* mixer);

private:
    ~SegmentImpl() override = default;

    std::shared_ptr<const SegmentContent> m_content;
    uint64_t m_id;
    std::mutex m_lock;
    DWORD m_repeats = 0;
    bool m_standardMidi = false;
    std::vector<std::weak_ptr<Bus>> m_paths;
    std::vector<std::weak_ptr<Mixer>> m_performances;
};

class SegmentStateImpl : public RefCounted<IDirectMusicSegmentState8> {
public:
    SegmentStateImpl(std::shared_ptr<Mixer> mixer, std::shared_ptr<PlayState> state, SegmentImpl* segment);

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    HRESULT GetRepeats(DWORD* pdwRepeats) override;
    HRESULT GetSegment(IDirectMusicSegment** ppSegment) override;
    HRESULT GetStartTime(MUSIC_TIME* pmtStart) override;

    const std::shared_ptr<PlayState>& State() const { return m_state; }
    const std::shared_ptr<Mixer>& GetMixer() const { return m_mixer; }

private:
    ~SegmentStateImpl() override;

    std::shared_ptr<Mixer> m_mixer;
    std::shared_ptr<PlayState> m_state;
    SegmentImpl* m_segment;
};

class LoaderImpl : public RefCounted<IDirectMusicLoader8> {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    HRESULT GetObject(LPDMUS_OBJECTDESC pDesc, REFIID riid, LPVOID* ppv) override;
    HRESULT SetSearchDirectory(REFGUID rguidClass, const WCHAR* pwzPath, BOOL fClear) override;
    HRESULT LoadObjectFromFile(REFGUID rguidClassID, REFIID iidInterfaceID, const WCHAR* pwzFilePath,
                               void** ppObject) override;

private:
    ~LoaderImpl() override = default;
    HRESULT LoadFile(const std::string& enginePath, bool fullPath, REFIID riid, void** ppv);
    static HRESULT MakeSegment(const uint8_t* data, size_t size, REFIID riid, void** ppv);

    std::mutex m_lock;
    std::string m_directory;  // engine-style, as given
};

// A wide engine string in the engine's single-byte code page ('?' for what
// it cannot hold); stops at `max` characters when no terminator comes.
std::string WideToEngine(const WCHAR* text, size_t max);

// CoCreateInstance's factories.
HRESULT CreatePerformanceObject(REFIID riid, void** ppv);
HRESULT CreateLoaderObject(REFIID riid, void** ppv);

}  // namespace audio
}  // namespace platform
}  // namespace qndx
