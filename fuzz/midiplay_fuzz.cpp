// Plays arbitrary bytes as a MIDI segment through the synthesiser, the way a
// game does (loader from memory, download to an audio path, play), rendered
// offline for a tenth of a second in uneven chunks, then stopped and
// unloaded. Inputs the MIDI check refuses end at the loader.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Com.h"
#include "platform/DirectMusic.h"
#include "platform/sim/Audio.h"

namespace {

struct Player {
    IDirectMusicPerformance8* perf = nullptr;
    IDirectMusicLoader8* loader = nullptr;
    IDirectMusicAudioPath8* path = nullptr;
};

Player& Get() {
    static Player* player = [] {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        if (!qndx::sim::MidiAvailable()) {
            std::fprintf(stderr, "midiplay_fuzz: no synthesiser or no General MIDI SoundFont\n");
            std::abort();
        }
        qndx::sim::SetAudioOffline(true);
        auto* p = new Player;
        if (CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC, IID_IDirectMusicPerformance8,
                             reinterpret_cast<void**>(&p->perf)) != S_OK ||
            p->perf->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB, 64, DMUS_AUDIOF_ALL,
                               nullptr) != S_OK ||
            CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                             reinterpret_cast<void**>(&p->loader)) != S_OK ||
            p->perf->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_STEREO, 16, TRUE, &p->path) != S_OK) {
            std::fprintf(stderr, "midiplay_fuzz: no performance\n");
            std::abort();
        }
        return p;
    }();
    return *player;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > (1u << 20)) return 0;
    Player& p = Get();
    DMUS_OBJECTDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = QNDX_DMUS_OBJECTDESC_TAG;
    desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
    desc.guidClass = CLSID_DirectMusicSegment;
    desc.llMemLength = (LONGLONG)size;
    desc.pbMemData = const_cast<BYTE*>(data);
    IDirectMusicSegment8* segment = nullptr;
    if (p.loader->GetObject(&desc, IID_IDirectMusicSegment8, reinterpret_cast<void**>(&segment)) != S_OK) return 0;
    segment->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFF, 0, 0, nullptr);
    if (segment->Download(p.path) == S_OK) {
        if (p.perf->PlaySegmentEx(segment, nullptr, nullptr, DMUS_SEGF_SECONDARY, 0, nullptr, nullptr, p.path) ==
            S_OK) {
            for (size_t chunk : {1000u, 64u, 3736u}) qndx::sim::RenderAudio(chunk);
            p.perf->StopEx(segment, 0, 0);
            qndx::sim::RenderAudio(64);
        }
        segment->Unload(p.path);
    }
    segment->Release();
    return 0;
}
