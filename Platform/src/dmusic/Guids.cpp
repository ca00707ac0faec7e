// Identifiers of the DirectMusic stand-in. The values are this layer's own;
// only their identity matters to callers.
#include "platform/DirectMusic.h"

namespace {

constexpr GUID MakeGuid(DWORD d1, WORD d2, WORD d3) {
    return GUID{d1, d2, d3, {'Q', 'N', 'D', 'X', 'D', 'M', 'U', 'S'}};
}

}  // namespace

const GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

const CLSID CLSID_DirectMusicPerformance = MakeGuid(0x51444D01, 0x0008, 0x0001);
const CLSID CLSID_DirectMusicLoader = MakeGuid(0x51444D02, 0x0008, 0x0001);
const CLSID CLSID_DirectMusicSegment = MakeGuid(0x51444D03, 0x0008, 0x0001);

const IID IID_IDirectMusicPerformance8 = MakeGuid(0x51444E01, 0x0008, 0x0001);
const IID IID_IDirectMusicLoader8 = MakeGuid(0x51444E02, 0x0008, 0x0001);
const IID IID_IDirectMusicSegment8 = MakeGuid(0x51444E03, 0x0008, 0x0001);
const IID IID_IDirectMusicSegmentState8 = MakeGuid(0x51444E04, 0x0008, 0x0001);
const IID IID_IDirectMusicAudioPath8 = MakeGuid(0x51444E05, 0x0008, 0x0001);
const IID IID_IDirectSoundBuffer = MakeGuid(0x51444E11, 0x0001, 0x0001);
const IID IID_IDirectSoundBuffer8 = MakeGuid(0x51444E12, 0x0008, 0x0001);
const IID IID_IDirectSound3DBuffer = MakeGuid(0x51444E13, 0x0001, 0x0001);
const IID IID_IDirectSound3DListener = MakeGuid(0x51444E14, 0x0001, 0x0001);

const GUID GUID_DirectMusicAllTypes = MakeGuid(0x51444F01, 0x0000, 0x0001);
const GUID GUID_StandardMIDIFile = MakeGuid(0x51444F02, 0x0000, 0x0001);
const GUID GUID_PerfMasterVolume = MakeGuid(0x51444F03, 0x0000, 0x0001);
const GUID GUID_PerfMasterTempo = MakeGuid(0x51444F04, 0x0000, 0x0001);
const GUID GUID_All_Objects = MakeGuid(0x51444F05, 0x0000, 0x0001);
