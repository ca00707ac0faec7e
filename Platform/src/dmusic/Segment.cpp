// Segments (a loaded wave or MIDI file, its repeat count and the paths it
// is downloaded to) and segment states (one play of a segment).
#include <algorithm>
#include <atomic>

#include "dmusic/Objects.h"
#include "sim/SimInternal.h"

namespace qndx {
namespace platform {
namespace audio {
namespace {

std::atomic<uint64_t> g_nextSegmentId{1};

template <class T>
void DropExpired(std::vector<std::weak_ptr<T>>* list) {
    list->erase(std::remove_if(list->begin(), list->end(), [](const std::weak_ptr<T>& w) { return w.expired(); }),
                list->end());
}

template <class T>
bool Holds(const std::vector<std::weak_ptr<T>>& list, const T* item) {
    for (const auto& w : list)
        if (auto p = w.lock())
            if (p.get() == item) return true;
    return false;
}

template <class T>
void Remove(std::vector<std::weak_ptr<T>>* list, const T* item) {
    list->erase(std::remove_if(list->begin(), list->end(),
                               [&](const std::weak_ptr<T>& w) {
                                   auto p = w.lock();
                                   return !p || p.get() == item;
                               }),
                list->end());
}

}  // namespace

SegmentImpl::SegmentImpl(std::shared_ptr<const SegmentContent> content)
    : m_content(std::move(content)), m_id(g_nextSegmentId++) {}

HRESULT SegmentImpl::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirectMusicSegment8) {
        *ppv = static_cast<IDirectMusicSegment8*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT SegmentImpl::SetRepeats(DWORD dwRepeats) {
    HRESULT hr;
    if (Faulted("IDirectMusicSegment8::SetRepeats", &hr)) return hr;
    qndx::sim::internal::Record("IDirectMusicSegment8::SetRepeats", [&] { return std::to_string(dwRepeats); });
    std::lock_guard<std::mutex> guard(m_lock);
    m_repeats = dwRepeats;
    return S_OK;
}

HRESULT SegmentImpl::GetRepeats(DWORD* pdwRepeats) {
    HRESULT hr;
    if (Faulted("IDirectMusicSegment8::GetRepeats", &hr)) return hr;
    if (!pdwRepeats) return E_POINTER;
    std::lock_guard<std::mutex> guard(m_lock);
    *pdwRepeats = m_repeats;
    return S_OK;
}

DWORD SegmentImpl::Repeats() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_repeats;
}

HRESULT SegmentImpl::SetParam(REFGUID rguidType, DWORD, DWORD, MUSIC_TIME, void*) {
    HRESULT hr;
    if (Faulted("IDirectMusicSegment8::SetParam", &hr)) return hr;
    qndx::sim::internal::Record("IDirectMusicSegment8::SetParam");
    if (rguidType != GUID_StandardMIDIFile) return DMUS_E_TRACK_NOT_FOUND;
    if (m_content->kind != SegmentContent::Kind::Midi) return DMUS_E_TRACK_NOT_FOUND;
    std::lock_guard<std::mutex> guard(m_lock);
    // Our synthesiser always maps instruments the General MIDI way; the
    // mark is kept for what the caller asked.
    m_standardMidi = true;
    return S_OK;
}

HRESULT SegmentImpl::Download(IUnknown* pAudioPath) {
    HRESULT hr;
    if (Faulted("IDirectMusicSegment8::Download", &hr)) return hr;
    qndx::sim::internal::Record("IDirectMusicSegment8::Download");
    if (!pAudioPath) return E_POINTER;
    auto* path = dynamic_cast<AudioPathImpl*>(pAudioPath);
    auto* performance = path ? nullptr : dynamic_cast<PerformanceImpl*>(pAudioPath);
    if (!path && !performance) return E_INVALIDARG;
    const std::shared_ptr<Mixer>& mixer = path ? path->GetMixer() : performance->GetMixer();
    if (path) {
        std::lock_guard<std::mutex> guard(mixer->mutex);
        if (!path->GetBus()->alive) return DMUS_E_NOT_INIT;
    }
    if (m_content->kind == SegmentContent::Kind::Midi) {
        // The instruments: the SoundFont must be there to play on.
        hr = mixer->EnsureMidiBank();
        if (FAILED(hr)) return hr;
    }
    std::lock_guard<std::mutex> guard(m_lock);
    if (path) {
        DropExpired(&m_paths);
        if (Holds(m_paths, path->GetBus().get())) return S_FALSE;
        m_paths.push_back(path->GetBus());
    } else {
        DropExpired(&m_performances);
        if (Holds(m_performances, mixer.get())) return S_FALSE;
        m_performances.push_back(mixer);
    }
    return S_OK;
}

HRESULT SegmentImpl::Unload(IUnknown* pAudioPath) {
    HRESULT hr;
    if (Faulted("IDirectMusicSegment8::Unload", &hr)) return hr;
    qndx::sim::internal::Record("IDirectMusicSegment8::Unload");
    if (!pAudioPath) return E_POINTER;
    auto* path = dynamic_cast<AudioPathImpl*>(pAudioPath);
    auto* performance = path ? nullptr : dynamic_cast<PerformanceImpl*>(pAudioPath);
    if (!path && !performance) return E_INVALIDARG;
    const std::shared_ptr<Mixer>& mixer = path ? path->GetMixer() : performance->GetMixer();
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (path) {
            if (!Holds(m_paths, path->GetBus().get())) return DMUS_E_NOT_DOWNLOADED_TO_PORT;
            Remove(&m_paths, path->GetBus().get());
        } else {
            if (!Holds(m_performances, mixer.get())) return DMUS_E_NOT_DOWNLOADED_TO_PORT;
            Remove(&m_performances, mixer.get());
        }
    }
    // What plays of this segment where it is no longer downloaded stops.
    std::lock_guard<std::mutex> guard(mixer->mutex);
    const uint64_t id = m_id;
    mixer->StopVoices(
        [&](const Voice& v) { return v.state->segmentId == id && !IsDownloadedTo(v.bus.get(), mixer.get()); }, 0);
    return S_OK;
}

bool SegmentImpl::IsDownloadedTo(const Bus* bus, const Mixer* mixer) {
    std::lock_guard<std::mutex> guard(m_lock);
    return Holds(m_paths, bus) || Holds(m_performances, mixer);
}

// ---- segment state ----------------------------------------------------------------

SegmentStateImpl::SegmentStateImpl(std::shared_ptr<Mixer> mixer, std::shared_ptr<PlayState> state, SegmentImpl* segment)
    : m_mixer(std::move(mixer)), m_state(std::move(state)), m_segment(segment) {
    m_segment->AddRef();
}

SegmentStateImpl::~SegmentStateImpl() { m_segment->Release(); }

HRESULT SegmentStateImpl::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirectMusicSegmentState8) {
        *ppv = static_cast<IDirectMusicSegmentState8*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT SegmentStateImpl::GetRepeats(DWORD* pdwRepeats) {
    if (!pdwRepeats) return E_POINTER;
    std::lock_guard<std::mutex> guard(m_mixer->mutex);
    *pdwRepeats = m_state->repeats;
    return S_OK;
}

HRESULT SegmentStateImpl::GetSegment(IDirectMusicSegment** ppSegment) {
    if (!ppSegment) return E_POINTER;
    m_segment->AddRef();
    *ppSegment = m_segment;
    return S_OK;
}

HRESULT SegmentStateImpl::GetStartTime(MUSIC_TIME* pmtStart) {
    if (!pmtStart) return E_POINTER;
    std::lock_guard<std::mutex> guard(m_mixer->mutex);
    *pmtStart = m_state->startMusic;
    return S_OK;
}

}  // namespace audio
}  // namespace platform
}  // namespace qndx
