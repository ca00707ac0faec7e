// DirectMusic and DirectSound subset the sound engine plays through: the
// performance (plays segments on audio paths, master volume and tempo), the
// loader (wave files and Standard MIDI files by name or from memory),
// segments and segment states, audio paths, and the DirectSound objects an
// audio path holds: its buffer (volume, pan), its 3D buffer and the one 3D
// listener that all 3D paths of a performance share.
//
// The layer mixes in float stereo at 48 kHz on an SDL audio device, or on a
// null output that runs in real time when there is no device. Wave files are
// decoded and converted once at load; MIDI files play through FluidSynth
// with a General MIDI SoundFont. Every load gives a new segment (no object
// cache). Segments must be downloaded to a path before they play on it.
//
// Volumes are in hundredths of a decibel; -10000 and below is silence.
#pragma once

#include "platform/Com.h"
#include "platform/Types.h"

typedef LONGLONG REFERENCE_TIME;  // 100-nanosecond units
typedef LONG MUSIC_TIME;          // ticks, DMUS_PPQ per quarter note
typedef float D3DVALUE;

struct D3DVECTOR {
    D3DVALUE x;
    D3DVALUE y;
    D3DVALUE z;
};
typedef D3DVECTOR* LPD3DVECTOR;
static_assert(sizeof(D3DVECTOR) == 12, "D3DVECTOR is three floats");

// ---- identifiers ------------------------------------------------------------
// The values are this layer's own; only their identity matters to callers.

extern const GUID GUID_NULL;
extern const CLSID CLSID_DirectMusicPerformance;
extern const CLSID CLSID_DirectMusicLoader;
extern const CLSID CLSID_DirectMusicSegment;

extern const IID IID_IDirectMusicPerformance8;
extern const IID IID_IDirectMusicLoader8;
extern const IID IID_IDirectMusicSegment8;
extern const IID IID_IDirectMusicSegmentState8;
extern const IID IID_IDirectMusicAudioPath8;
extern const IID IID_IDirectSoundBuffer;
extern const IID IID_IDirectSoundBuffer8;
extern const IID IID_IDirectSound3DBuffer;
extern const IID IID_IDirectSound3DListener;
// The 3D interfaces did not change in version 8.
#define IID_IDirectSound3DBuffer8 IID_IDirectSound3DBuffer
#define IID_IDirectSound3DListener8 IID_IDirectSound3DListener

// Loader object classes: every type the loader reads.
extern const GUID GUID_DirectMusicAllTypes;
// Segment parameter: the segment came from a Standard MIDI file.
extern const GUID GUID_StandardMIDIFile;
// Performance global parameters (4 bytes each): LONG master volume in
// hundredths of a decibel, float master tempo factor.
extern const GUID GUID_PerfMasterVolume;
extern const GUID GUID_PerfMasterTempo;
// GetObjectInPath: any object at the stage.
extern const GUID GUID_All_Objects;

// ---- result codes -----------------------------------------------------------

#define QNDX_DMUS_ERROR(code) ((HRESULT)(0x88780000u | (code)))

#define DS_OK S_OK
#define DSERR_INVALIDPARAM E_INVALIDARG
#define DSERR_GENERIC E_FAIL
#define DSERR_OUTOFMEMORY E_OUTOFMEMORY
#define DSERR_NOINTERFACE E_NOINTERFACE
#define DSERR_CONTROLUNAVAIL QNDX_DMUS_ERROR(0x001E)
#define DSERR_INVALIDCALL QNDX_DMUS_ERROR(0x0032)

#define DMUS_S_FALSE S_FALSE
#define DMUS_E_DRIVER_FAILED QNDX_DMUS_ERROR(0x1101)
#define DMUS_E_INVALIDFILE QNDX_DMUS_ERROR(0x1112)
#define DMUS_E_NOT_DOWNLOADED_TO_PORT QNDX_DMUS_ERROR(0x1163)
#define DMUS_E_TRACK_NOT_FOUND QNDX_DMUS_ERROR(0x1171)
#define DMUS_E_NOT_FOUND QNDX_DMUS_ERROR(0x1194)
#define DMUS_E_NOT_INIT QNDX_DMUS_ERROR(0x1196)
#define DMUS_E_ALREADY_INITED QNDX_DMUS_ERROR(0x1197)
#define DMUS_E_NO_AUDIOPATH QNDX_DMUS_ERROR(0x1214)
#define DMUS_E_AUDIOPATH_INACTIVE QNDX_DMUS_ERROR(0x1215)
#define DMUS_E_LOADER_NOCLASSID QNDX_DMUS_ERROR(0x1D00)
#define DMUS_E_LOADER_FAILEDOPEN QNDX_DMUS_ERROR(0x1D01)
#define DMUS_E_LOADER_FORMATNOTSUPPORTED QNDX_DMUS_ERROR(0x1D02)
#define DMUS_E_LOADER_FAILEDCREATE QNDX_DMUS_ERROR(0x1D03)
#define DMUS_E_LOADER_NOFILENAME QNDX_DMUS_ERROR(0x1D05)
#define DMUS_E_LOADER_BADPATH QNDX_DMUS_ERROR(0x1D09)

// ---- constants ----------------------------------------------------------------

// Standard audio path types.
#define DMUS_APATH_SHARED_STEREOPLUSREVERB 1
#define DMUS_APATH_DYNAMIC_3D 6
#define DMUS_APATH_DYNAMIC_MONO 7
#define DMUS_APATH_DYNAMIC_STEREO 8

// InitAudio features; all are accepted, the mixer has one quality.
#define DMUS_AUDIOF_3D 0x1
#define DMUS_AUDIOF_ENVIRON 0x2
#define DMUS_AUDIOF_EAX 0x4
#define DMUS_AUDIOF_DMOS 0x8
#define DMUS_AUDIOF_STREAMING 0x10
#define DMUS_AUDIOF_BUFFERS 0x20
#define DMUS_AUDIOF_ALL 0x3F

// GetObjectInPath stages.
#define DMUS_PATH_BUFFER 0x6000
#define DMUS_PATH_PRIMARY_BUFFER 0x8000
#define DMUS_PCHANNEL_ALL 0xFFFFFFFBu

// PlaySegmentEx and StopEx flags. A start or stop time of 0 means now; other
// times are absolute on the performance's clocks (GetTime): reference time
// with DMUS_SEGF_REFTIME, music time otherwise. A primary segment replaces
// the primary segment that is playing; secondary segments play over it.
#define DMUS_SEGF_REFTIME 0x40
#define DMUS_SEGF_SECONDARY 0x80
#define DMUS_SEGF_DEFAULT 0x4000

#define DMUS_SEG_REPEAT_INFINITE 0xFFFFFFFFu
#define DMUS_PPQ 768

// Master volume range (hundredths of a decibel) and tempo range; a tempo of
// 0 holds the music clock (MIDI pauses; waves play on).
#define DMUS_VOLUME_MIN (-20000)
#define DMUS_VOLUME_MAX 2000
#define DMUS_MASTERTEMPO_MIN 0.01f
#define DMUS_MASTERTEMPO_MAX 100.0f

// Loader object description.
#define DMUS_OBJ_OBJECT 0x1
#define DMUS_OBJ_CLASS 0x2
#define DMUS_OBJ_NAME 0x4
#define DMUS_OBJ_CATEGORY 0x8
#define DMUS_OBJ_FILENAME 0x10
#define DMUS_OBJ_FULLPATH 0x20
#define DMUS_OBJ_URL 0x40
#define DMUS_OBJ_VERSION 0x80
#define DMUS_OBJ_DATE 0x100
#define DMUS_OBJ_LOADED 0x200
#define DMUS_OBJ_MEMORY 0x400
#define DMUS_OBJ_STREAM 0x800
#define DMUS_MAX_NAME 64
#define DMUS_MAX_CATEGORY 64
#define DMUS_MAX_FILENAME MAX_PATH
// The version tag of DMUS_OBJECTDESC that the loader accepts in dwSize.
#define QNDX_DMUS_OBJECTDESC_TAG 848

// DirectSound buffer controls.
#define DSBVOLUME_MIN (-10000)
#define DSBVOLUME_MAX 0
#define DSBPAN_LEFT (-10000)
#define DSBPAN_CENTER 0
#define DSBPAN_RIGHT 10000

// 3D processing.
#define DS3DMODE_NORMAL 0x0
#define DS3DMODE_HEADRELATIVE 0x1
#define DS3DMODE_DISABLE 0x2
#define DS3D_IMMEDIATE 0x0
#define DS3D_DEFERRED 0x1

#define DS3D_MINDISTANCEFACTOR 1.175494351e-38f
#define DS3D_MAXDISTANCEFACTOR 3.402823466e+38f
#define DS3D_DEFAULTDISTANCEFACTOR 1.0f
#define DS3D_MINROLLOFFFACTOR 0.0f
#define DS3D_MAXROLLOFFFACTOR 10.0f
#define DS3D_DEFAULTROLLOFFFACTOR 1.0f
#define DS3D_MINDOPPLERFACTOR 0.0f
#define DS3D_MAXDOPPLERFACTOR 10.0f
#define DS3D_DEFAULTDOPPLERFACTOR 1.0f
#define DS3D_DEFAULTMINDISTANCE 1.0f
#define DS3D_DEFAULTMAXDISTANCE 1000000000.0f
#define DS3D_MINCONEANGLE 0
#define DS3D_MAXCONEANGLE 360
#define DS3D_DEFAULTCONEANGLE DS3D_MAXCONEANGLE
#define DS3D_DEFAULTCONEOUTSIDEVOLUME DSBVOLUME_MAX

// ---- records ------------------------------------------------------------------

struct DMUS_VERSION {
    DWORD dwVersionMS;
    DWORD dwVersionLS;
};

struct DMUS_FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct IStream;

// What GetObject should load. Names are zero-terminated within their arrays.
struct DMUS_OBJECTDESC {
    DWORD dwSize;       // QNDX_DMUS_OBJECTDESC_TAG
    DWORD dwValidData;  // DMUS_OBJ_* bits saying which fields are set
    GUID guidObject;
    GUID guidClass;
    DMUS_FILETIME ftDate;
    DMUS_VERSION vVersion;
    WCHAR wszName[DMUS_MAX_NAME];
    WCHAR wszCategory[DMUS_MAX_CATEGORY];
    WCHAR wszFileName[DMUS_MAX_FILENAME];
    LONGLONG llMemLength;
    BYTE* pbMemData;
    IStream* pStream;
};
typedef DMUS_OBJECTDESC* LPDMUS_OBJECTDESC;
// The fixed part keeps its layout; the two pointers at the end are as wide
// as this machine's pointers.
static_assert(offsetof(DMUS_OBJECTDESC, wszName) == 56, "DMUS_OBJECTDESC header layout");
static_assert(offsetof(DMUS_OBJECTDESC, llMemLength) == 832, "DMUS_OBJECTDESC name layout");

// ---- interfaces -----------------------------------------------------------------

struct IDirectMusicSegment8;
struct IDirectMusicSegmentState8;
struct IDirectMusicAudioPath8;
typedef IDirectMusicSegment8 IDirectMusicSegment;
typedef IDirectMusicSegmentState8 IDirectMusicSegmentState;
typedef IDirectMusicAudioPath8 IDirectMusicAudioPath;

struct IDirectSoundBuffer : public IUnknown {
    // DSBVOLUME_MIN..DSBVOLUME_MAX.
    virtual HRESULT GetVolume(LONG* plVolume) = 0;
    virtual HRESULT SetVolume(LONG lVolume) = 0;
    // DSBPAN_LEFT..DSBPAN_RIGHT: the far channel is attenuated by the
    // amount. A 3D buffer has no pan control (DSERR_CONTROLUNAVAIL).
    virtual HRESULT GetPan(LONG* plPan) = 0;
    virtual HRESULT SetPan(LONG lPan) = 0;
};
struct IDirectSoundBuffer8 : public IDirectSoundBuffer {};
typedef IDirectSoundBuffer* LPDIRECTSOUNDBUFFER;
typedef IDirectSoundBuffer8* LPDIRECTSOUNDBUFFER8;

// The 3D controls of a 3D audio path's buffer. dwApply is DS3D_IMMEDIATE or
// DS3D_DEFERRED; deferred settings wait for the listener's
// CommitDeferredSettings. Getters return the settings in effect.
struct IDirectSound3DBuffer : public IUnknown {
    virtual HRESULT GetConeAngles(LPDWORD pdwInsideConeAngle, LPDWORD pdwOutsideConeAngle) = 0;
    virtual HRESULT GetConeOrientation(D3DVECTOR* pvOrientation) = 0;
    virtual HRESULT GetConeOutsideVolume(LONG* plConeOutsideVolume) = 0;
    virtual HRESULT GetMaxDistance(D3DVALUE* pflMaxDistance) = 0;
    virtual HRESULT GetMinDistance(D3DVALUE* pflMinDistance) = 0;
    virtual HRESULT GetMode(LPDWORD pdwMode) = 0;
    virtual HRESULT GetPosition(D3DVECTOR* pvPosition) = 0;
    virtual HRESULT GetVelocity(D3DVECTOR* pvVelocity) = 0;
    // Angles in degrees, 0..360, inside not above outside.
    virtual HRESULT SetConeAngles(DWORD dwInsideConeAngle, DWORD dwOutsideConeAngle, DWORD dwApply) = 0;
    virtual HRESULT SetConeOrientation(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD dwApply) = 0;
    virtual HRESULT SetConeOutsideVolume(LONG lConeOutsideVolume, DWORD dwApply) = 0;
    // Distances above 0. Beyond the maximum the sound gets no quieter.
    virtual HRESULT SetMaxDistance(D3DVALUE flMaxDistance, DWORD dwApply) = 0;
    virtual HRESULT SetMinDistance(D3DVALUE flMinDistance, DWORD dwApply) = 0;
    virtual HRESULT SetMode(DWORD dwMode, DWORD dwApply) = 0;
    virtual HRESULT SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD dwApply) = 0;
    virtual HRESULT SetVelocity(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD dwApply) = 0;
};
typedef IDirectSound3DBuffer IDirectSound3DBuffer8;
typedef IDirectSound3DBuffer* LPDIRECTSOUND3DBUFFER;

// The listener that every 3D path of a performance shares.
struct IDirectSound3DListener : public IUnknown {
    // Applies every deferred setting of the listener and of the
    // performance's 3D buffers at once.
    virtual HRESULT CommitDeferredSettings() = 0;
    virtual HRESULT GetDistanceFactor(D3DVALUE* pflDistanceFactor) = 0;
    virtual HRESULT GetDopplerFactor(D3DVALUE* pflDopplerFactor) = 0;
    virtual HRESULT GetOrientation(D3DVECTOR* pvOrientFront, D3DVECTOR* pvOrientTop) = 0;
    virtual HRESULT GetPosition(D3DVECTOR* pvPosition) = 0;
    virtual HRESULT GetRolloffFactor(D3DVALUE* pflRolloffFactor) = 0;
    virtual HRESULT GetVelocity(D3DVECTOR* pvVelocity) = 0;
    // Metres per distance unit (for the Doppler shift).
    virtual HRESULT SetDistanceFactor(D3DVALUE flDistanceFactor, DWORD dwApply) = 0;
    virtual HRESULT SetDopplerFactor(D3DVALUE flDopplerFactor, DWORD dwApply) = 0;
    // Front and top must be non-zero and not parallel.
    virtual HRESULT SetOrientation(D3DVALUE xFront, D3DVALUE yFront, D3DVALUE zFront, D3DVALUE xTop, D3DVALUE yTop,
                                   D3DVALUE zTop, DWORD dwApply) = 0;
    virtual HRESULT SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD dwApply) = 0;
    virtual HRESULT SetRolloffFactor(D3DVALUE flRolloffFactor, DWORD dwApply) = 0;
    virtual HRESULT SetVelocity(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD dwApply) = 0;
};
typedef IDirectSound3DListener IDirectSound3DListener8;
typedef IDirectSound3DListener* LPDIRECTSOUND3DLISTENER;

struct IDirectMusicAudioPath8 : public IUnknown {
    // DMUS_PATH_BUFFER, buffer 0: the path's buffer (IID_IDirectSoundBuffer,
    // IID_IDirectSoundBuffer8; IID_IDirectSound3DBuffer on a 3D path).
    // DMUS_PATH_PRIMARY_BUFFER: the performance's 3D listener.
    virtual HRESULT GetObjectInPath(DWORD dwPChannel, DWORD dwStage, DWORD dwBuffer, REFGUID guidObject, DWORD dwIndex,
                                    REFGUID iidInterface, void** ppObject) = 0;
    // An inactive path is silent: deactivating stops what plays on it, and
    // nothing can start on it until it is active again.
    virtual HRESULT Activate(BOOL fActivate) = 0;
    // -9600..0, reached over dwDuration milliseconds.
    virtual HRESULT SetVolume(LONG lVolume, DWORD dwDuration) = 0;
};
typedef IDirectMusicAudioPath8* LPDIRECTMUSICAUDIOPATH8;

struct IDirectMusicSegment8 : public IUnknown {
    // Number of extra plays; DMUS_SEG_REPEAT_INFINITE loops until stopped.
    // A playing segment keeps the count it started with.
    virtual HRESULT SetRepeats(DWORD dwRepeats) = 0;
    virtual HRESULT GetRepeats(DWORD* pdwRepeats) = 0;
    // GUID_StandardMIDIFile (no data) marks a MIDI segment's instruments
    // as General MIDI ones; a wave segment has no such track.
    virtual HRESULT SetParam(REFGUID rguidType, DWORD dwGroupBits, DWORD dwIndex, MUSIC_TIME mtTime, void* pParam) = 0;
    // Prepares the segment's data on an audio path (or on the whole
    // performance) so that it can play there; S_FALSE when it already was.
    virtual HRESULT Download(IUnknown* pAudioPath) = 0;
    // The reverse: what plays of this segment there stops.
    virtual HRESULT Unload(IUnknown* pAudioPath) = 0;
};
typedef IDirectMusicSegment8* LPDIRECTMUSICSEGMENT8;

struct IDirectMusicSegmentState8 : public IUnknown {
    virtual HRESULT GetRepeats(DWORD* pdwRepeats) = 0;
    virtual HRESULT GetSegment(IDirectMusicSegment** ppSegment) = 0;
    virtual HRESULT GetStartTime(MUSIC_TIME* pmtStart) = 0;
};

struct IDirectMusicPerformance8 : public IUnknown {
    // Opens the audio output and creates the default audio path
    // (0 for none). The DirectMusic and DirectSound objects cannot be
    // handed out: pass NULL for both. pParams must be NULL.
    virtual HRESULT InitAudio(IUnknown** ppDirectMusic, IUnknown** ppDirectSound, HWND hWnd, DWORD dwDefaultPathType,
                              DWORD dwPChannelCount, DWORD dwFlags, void* pParams) = 0;
    // Stops everything and closes the output; the performance can be
    // initialised again.
    virtual HRESULT CloseDown() = 0;
    virtual HRESULT CreateStandardAudioPath(DWORD dwType, DWORD dwPChannelCount, BOOL fActivate,
                                            IDirectMusicAudioPath** ppNewPath) = 0;
    virtual HRESULT GetDefaultAudioPath(IDirectMusicAudioPath** ppAudioPath) = 0;
    // pSource: a segment. Segment names, transitions and pFrom are not
    // supported (E_NOTIMPL). A NULL path plays on the default path.
    virtual HRESULT PlaySegmentEx(IUnknown* pSource, WCHAR* pwzSegmentName, IUnknown* pTransition, DWORD dwFlags,
                                  LONGLONG i64StartTime, IDirectMusicSegmentState** ppSegmentState, IUnknown* pFrom,
                                  IUnknown* pAudioPath) = 0;
    // pObjectToStop: NULL (everything), a segment, a segment state or an
    // audio path.
    virtual HRESULT StopEx(IUnknown* pObjectToStop, LONGLONG i64StopTime, DWORD dwFlags) = 0;
    // S_OK while the segment (or the state) plays, S_FALSE otherwise.
    virtual HRESULT IsPlaying(IDirectMusicSegment* pSegment, IDirectMusicSegmentState* pSegState) = 0;
    virtual HRESULT GetTime(REFERENCE_TIME* prtNow, MUSIC_TIME* pmtNow) = 0;
    virtual HRESULT SetGlobalParam(REFGUID rguidType, void* pParam, DWORD dwSize) = 0;
    virtual HRESULT GetGlobalParam(REFGUID rguidType, void* pParam, DWORD dwSize) = 0;
};
typedef IDirectMusicPerformance8* LPDIRECTMUSICPERFORMANCE8;

struct IDirectMusicLoader8 : public IUnknown {
    // Loads what the description names: DMUS_OBJ_MEMORY (llMemLength bytes
    // at pbMemData, copied), or DMUS_OBJ_FILENAME (relative to the search
    // directory unless DMUS_OBJ_FULLPATH). Class CLSID_DirectMusicSegment.
    virtual HRESULT GetObject(LPDMUS_OBJECTDESC pDesc, REFIID riid, LPVOID* ppv) = 0;
    // The directory relative names are looked up in; it must exist.
    virtual HRESULT SetSearchDirectory(REFGUID rguidClass, const WCHAR* pwzPath, BOOL fClear) = 0;
    virtual HRESULT LoadObjectFromFile(REFGUID rguidClassID, REFIID iidInterfaceID, const WCHAR* pwzFilePath,
                                       void** ppObject) = 0;
};
typedef IDirectMusicLoader8* LPDIRECTMUSICLOADER8;
