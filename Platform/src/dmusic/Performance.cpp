// The performance: its output (through the audio hub), audio paths, playing
// and stopping segments on its mixer, its clocks and global parameters.
#include <cstdio>
#include <cstring>

#include "dmusic/AudioHub.h"
#include "dmusic/Objects.h"
#include "sim/SimInternal.h"

namespace qndx {
namespace platform {
namespace audio {
namespace {

std::string GuidKey(const GUID& g) { return std::string(reinterpret_cast<const char*>(&g), sizeof g); }

const char* PathKind(DWORD type) {
    switch (type) {
        case DMUS_APATH_SHARED_STEREOPLUSREVERB:
            return "shared stereo";
        case DMUS_APATH_DYNAMIC_3D:
            return "3D";
        case DMUS_APATH_DYNAMIC_MONO:
            return "mono";
        case DMUS_APATH_DYNAMIC_STEREO:
            return "stereo";
        default:
            return nullptr;
    }
}

}  // namespace

bool Faulted(const char* call, HRESULT* hr) { return qndx::sim::internal::TakeFault(call, hr); }

PerformanceImpl::PerformanceImpl() : m_mixer(std::make_shared<Mixer>()) {}

PerformanceImpl::~PerformanceImpl() { CloseDown(); }

HRESULT PerformanceImpl::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirectMusicPerformance8) {
        *ppv = static_cast<IDirectMusicPerformance8*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT PerformanceImpl::InitAudio(IUnknown** ppDirectMusic, IUnknown** ppDirectSound, HWND, DWORD dwDefaultPathType,
                                   DWORD dwPChannelCount, DWORD, void* pParams) {
    HRESULT hr;
    if (Faulted("IDirectMusicPerformance8::InitAudio", &hr)) return hr;
    qndx::sim::internal::Record("IDirectMusicPerformance8::InitAudio", [&] {
        return std::to_string(dwDefaultPathType) + "," + std::to_string(dwPChannelCount);
    });
    if (m_initialised) return DMUS_E_ALREADY_INITED;
    if (ppDirectMusic || ppDirectSound || pParams) {
        std::fprintf(stderr,
                     "dmusic: InitAudio cannot hand out DirectMusic or DirectSound objects or take audio "
                     "parameters; pass NULL\n");
        return E_NOTIMPL;
    }
    if (dwDefaultPathType != 0 && (!PathKind(dwDefaultPathType) || dwPChannelCount == 0)) return E_INVALIDARG;

    m_listener = new ListenerImpl(m_mixer);
    if (dwDefaultPathType != 0) {
        hr = MakePath(dwDefaultPathType, dwPChannelCount, TRUE, &m_defaultPath);
        if (FAILED(hr)) {
            m_listener->Release();
            m_listener = nullptr;
            return hr;
        }
    }
    AudioHub::Get().Attach(m_mixer.get());
    m_initialised = true;
    return S_OK;
}

HRESULT PerformanceImpl::CloseDown() {
    if (!m_initialised) return S_OK;
    qndx::sim::internal::Record("IDirectMusicPerformance8::CloseDown");
    AudioHub::Get().Detach(m_mixer.get());
    {
        std::lock_guard<std::mutex> guard(m_mixer->mutex);
        m_mixer->StopVoices([](const Voice&) { return true; }, 0);
        // Paths the application still holds go silent for good.
        for (auto& bus : m_mixer->buses) {
            bus->alive = false;
            bus->active = false;
        }
        m_mixer->buses.clear();
    }
    if (m_defaultPath) m_defaultPath->Release();
    m_defaultPath = nullptr;
    if (m_listener) m_listener->Release();
    m_listener = nullptr;
    m_initialised = false;
    return S_OK;
}

HRESULT PerformanceImpl::MakePath(DWORD type, DWORD pchannels, BOOL activate, IDirectMusicAudioPath** out) {
    auto bus = std::make_shared<Bus>();
    bus->kind = type == DMUS_APATH_DYNAMIC_3D     ? Bus::Kind::ThreeD
                : type == DMUS_APATH_DYNAMIC_MONO ? Bus::Kind::Mono
                                                  : Bus::Kind::Stereo;
    bus->pchannels = pchannels;
    bus->active = activate != FALSE;
    {
        std::lock_guard<std::mutex> guard(m_mixer->mutex);
        m_mixer->buses.push_back(bus);
    }
    *out = new AudioPathImpl(m_mixer, bus, m_listener);
    return S_OK;
}

HRESULT PerformanceImpl::CreateStandardAudioPath(DWORD dwType, DWORD dwPChannelCount, BOOL fActivate,
                                                 IDirectMusicAudioPath** ppNewPath) {
    HRESULT hr;
    if (Faulted("IDirectMusicPerformance8::CreateStandardAudioPath", &hr)) return hr;
    qndx::sim::internal::Record("IDirectMusicPerformance8::CreateStandardAudioPath", [&] {
        return std::to_string(dwType) + "," + std::to_string(dwPChannelCount) + "," + std::to_string(fActivate);
    });
    if (!ppNewPath) return E_POINTER;
    *ppNewPath = nullptr;
    if (!m_initialised) return DMUS_E_NOT_INIT;
    if (!PathKind(dwType) || dwPChannelCount == 0) return E_INVALIDARG;
    return MakePath(dwType, dwPChannelCount, fActivate, ppNewPath);
}

HRESULT PerformanceImpl::GetDefaultAudioPath(IDirectMusicAudioPath** ppAudioPath) {
    if (!ppAudioPath) return E_POINTER;
    *ppAudioPath = nullptr;
    if (!m_initialised) return DMUS_E_NOT_INIT;
    if (!m_defaultPath) return DMUS_E_NO_AUDIOPATH;
    m_defaultPath->AddRef();
    *ppAudioPath = m_defaultPath;
    return S_OK;
}

HRESULT PerformanceImpl::PlaySegmentEx(IUnknown* pSource, WCHAR* pwzSegmentName, IUnknown* pTransition, DWORD dwFlags,
                                       LONGLONG i64StartTime, IDirectMusicSegmentState** ppSegmentState,
                                       IUnknown* pFrom, IUnknown* pAudioPath) {
    HRESULT hr;
    if (Faulted("IDirectMusicPerformance8::PlaySegmentEx", &hr)) return hr;
    qndx::sim::internal::Record("IDirectMusicPerformance8::PlaySegmentEx",
                                [&] { return std::to_string(dwFlags) + "," + std::to_string(i64StartTime); });
    if (ppSegmentState) *ppSegmentState = nullptr;
    if (!m_initialised) return DMUS_E_NOT_INIT;
    if (pwzSegmentName || pTransition || pFrom) {
        std::fprintf(stderr, "dmusic: PlaySegmentEx takes no segment names, transitions or pFrom here\n");
        return E_NOTIMPL;
    }
    if (!pSource) return E_POINTER;
    auto* segment = dynamic_cast<SegmentImpl*>(pSource);
    if (!segment) return E_INVALIDARG;
    AudioPathImpl* path =
        pAudioPath ? dynamic_cast<AudioPathImpl*>(pAudioPath) : static_cast<AudioPathImpl*>(m_defaultPath);
    if (!path) return pAudioPath ? E_INVALIDARG : DMUS_E_NO_AUDIOPATH;
    if (path->GetMixer() != m_mixer) return E_INVALIDARG;
    const std::shared_ptr<Bus>& bus = path->GetBus();
    {
        std::lock_guard<std::mutex> guard(m_mixer->mutex);
        if (!bus->alive) return DMUS_E_NOT_INIT;
        if (!bus->active) return DMUS_E_AUDIOPATH_INACTIVE;
    }
    if (!segment->IsDownloadedTo(bus.get(), m_mixer.get())) return DMUS_E_NOT_DOWNLOADED_TO_PORT;

    const DWORD repeats = segment->Repeats();
    std::unique_ptr<VoiceSource> source;
    if (segment->Content().kind == SegmentContent::Kind::Wave) {
        source = std::make_unique<PcmSource>(segment->Content().pcm, repeats);
    } else {
        MidiBank* bank = m_mixer->Bank();
        if (!bank) return DMUS_E_NOT_DOWNLOADED_TO_PORT;
        source = bank->CreateSource(segment->Content().midi, repeats, bus->pchannels, &hr);
        if (!source) return hr;
    }

    auto state = std::make_shared<PlayState>();
    state->repeats = repeats;
    state->segmentId = segment->Id();
    {
        std::lock_guard<std::mutex> guard(m_mixer->mutex);
        if (!bus->alive || !bus->active) return DMUS_E_AUDIOPATH_INACTIVE;
        auto voice = std::make_unique<Voice>();
        voice->start = m_mixer->FrameForTime(i64StartTime, dwFlags);
        if (voice->start == kNever) return E_INVALIDARG;  // music time cannot arrive at tempo 0
        voice->primary = !(dwFlags & DMUS_SEGF_SECONDARY);
        voice->bus = bus;
        voice->source = std::move(source);
        voice->state = state;
        state->startFrame = voice->start;
        state->startMusic = (MUSIC_TIME)(m_mixer->musicTicks + (double)(voice->start - m_mixer->frame) *
                                                                   kTicksPerFrame * m_mixer->masterTempo);
        if (voice->primary) m_mixer->StopVoices([](const Voice& v) { return v.primary; }, voice->start);
        m_mixer->voices.push_back(std::move(voice));
    }
    if (ppSegmentState) *ppSegmentState = new SegmentStateImpl(m_mixer, state, segment);
    return S_OK;
}

HRESULT PerformanceImpl::StopEx(IUnknown* pObjectToStop, LONGLONG i64StopTime, DWORD dwFlags) {
    HRESULT hr;
    if (Faulted("IDirectMusicPerformance8::StopEx", &hr)) return hr;
    qndx::sim::internal::Record("IDirectMusicPerformance8::StopEx", [&] { return std::to_string(i64StopTime); });
    if (!m_initialised) return DMUS_E_NOT_INIT;
    std::lock_guard<std::mutex> guard(m_mixer->mutex);
    const int64_t at = m_mixer->FrameForTime(i64StopTime, dwFlags);
    if (!pObjectToStop) {
        m_mixer->StopVoices([](const Voice&) { return true; }, at);
    } else if (auto* segment = dynamic_cast<SegmentImpl*>(pObjectToStop)) {
        const uint64_t id = segment->Id();
        m_mixer->StopVoices([id](const Voice& v) { return v.state->segmentId == id; }, at);
    } else if (auto* state = dynamic_cast<SegmentStateImpl*>(pObjectToStop)) {
        const PlayState* s = state->State().get();
        m_mixer->StopVoices([s](const Voice& v) { return v.state.get() == s; }, at);
    } else if (auto* path = dynamic_cast<AudioPathImpl*>(pObjectToStop)) {
        const Bus* b = path->GetBus().get();
        m_mixer->StopVoices([b](const Voice& v) { return v.bus.get() == b; }, at);
    } else {
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT PerformanceImpl::IsPlaying(IDirectMusicSegment* pSegment, IDirectMusicSegmentState* pSegState) {
    HRESULT hr;
    if (Faulted("IDirectMusicPerformance8::IsPlaying", &hr)) return hr;
    if (!pSegment && !pSegState) return E_POINTER;
    if (!m_initialised) return DMUS_E_NOT_INIT;
    auto* segment = pSegment ? dynamic_cast<SegmentImpl*>(pSegment) : nullptr;
    auto* state = pSegState ? dynamic_cast<SegmentStateImpl*>(pSegState) : nullptr;
    if ((pSegment && !segment) || (pSegState && !state)) return E_INVALIDARG;
    std::lock_guard<std::mutex> guard(m_mixer->mutex);
    for (const auto& v : m_mixer->voices) {
        if (v->start > m_mixer->frame) continue;  // not started yet
        if (segment && v->state->segmentId != segment->Id()) continue;
        if (state && v->state != state->State()) continue;
        return S_OK;
    }
    return S_FALSE;
}

HRESULT PerformanceImpl::GetTime(REFERENCE_TIME* prtNow, MUSIC_TIME* pmtNow) {
    std::lock_guard<std::mutex> guard(m_mixer->mutex);
    if (prtNow) *prtNow = m_mixer->ReferenceNow();
    if (pmtNow) *pmtNow = m_mixer->MusicNow();
    return S_OK;
}

HRESULT PerformanceImpl::SetGlobalParam(REFGUID rguidType, void* pParam, DWORD dwSize) {
    HRESULT hr;
    if (Faulted("IDirectMusicPerformance8::SetGlobalParam", &hr)) return hr;
    if (!pParam) return E_POINTER;
    if (rguidType == GUID_PerfMasterVolume) {
        if (dwSize != sizeof(LONG)) return E_INVALIDARG;
        LONG v;
        std::memcpy(&v, pParam, sizeof v);
        qndx::sim::internal::Record("IDirectMusicPerformance8::SetGlobalParam",
                                    [&] { return "volume," + std::to_string(v); });
        if (v < DMUS_VOLUME_MIN || v > DMUS_VOLUME_MAX) return E_INVALIDARG;
        std::lock_guard<std::mutex> guard(m_mixer->mutex);
        m_mixer->masterVolume = v;
        return S_OK;
    }
    if (rguidType == GUID_PerfMasterTempo) {
        if (dwSize != sizeof(float)) return E_INVALIDARG;
        float t;
        std::memcpy(&t, pParam, sizeof t);
        qndx::sim::internal::Record("IDirectMusicPerformance8::SetGlobalParam",
                                    [&] { return "tempo," + std::to_string(t); });
        if (!(t == 0.0f || (t >= DMUS_MASTERTEMPO_MIN && t <= DMUS_MASTERTEMPO_MAX))) return E_INVALIDARG;
        std::lock_guard<std::mutex> guard(m_mixer->mutex);
        m_mixer->masterTempo = t;
        return S_OK;
    }
    if (dwSize == 0 || dwSize > 4096) return E_INVALIDARG;
    const auto* bytes = static_cast<const uint8_t*>(pParam);
    m_params[GuidKey(rguidType)].assign(bytes, bytes + dwSize);
    return S_OK;
}

HRESULT PerformanceImpl::GetGlobalParam(REFGUID rguidType, void* pParam, DWORD dwSize) {
    HRESULT hr;
    if (Faulted("IDirectMusicPerformance8::GetGlobalParam", &hr)) return hr;
    if (!pParam) return E_POINTER;
    if (rguidType == GUID_PerfMasterVolume || rguidType == GUID_PerfMasterTempo) {
        if (dwSize != 4) return E_INVALIDARG;
        std::lock_guard<std::mutex> guard(m_mixer->mutex);
        if (rguidType == GUID_PerfMasterVolume)
            std::memcpy(pParam, &m_mixer->masterVolume, 4);
        else
            std::memcpy(pParam, &m_mixer->masterTempo, 4);
        return S_OK;
    }
    auto it = m_params.find(GuidKey(rguidType));
    if (it == m_params.end()) return DMUS_E_NOT_FOUND;
    if (dwSize != it->second.size()) return E_INVALIDARG;
    std::memcpy(pParam, it->second.data(), dwSize);
    return S_OK;
}

HRESULT CreatePerformanceObject(REFIID riid, void** ppv) {
    HRESULT hr;
    if (Faulted("CoCreateInstance(DirectMusicPerformance)", &hr)) return hr;
    auto* performance = new PerformanceImpl();
    hr = performance->QueryInterface(riid, ppv);
    performance->Release();
    return hr;
}

}  // namespace audio
}  // namespace platform
}  // namespace qndx
