// The loader: the search directory, and segments from files (by a name
// relative to that directory, or a full path) or from memory.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "dmusic/Objects.h"
#include "kernel/CodePage.h"
#include "kernel/Errors.h"
#include "kernel/Path.h"
#include "sim/SimInternal.h"

namespace qndx {
namespace platform {
namespace audio {
namespace {

bool IsEngineAbsolute(const std::string& p) { return !p.empty() && (p[0] == '\\' || p[0] == '/'); }

bool IsDirectory(const std::string& host) {
    struct stat st;
    return !host.empty() && stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Reads the whole file; DMUS_E_LOADER_FAILEDOPEN when it cannot be read.
HRESULT ReadWholeFile(const std::string& host, std::vector<uint8_t>* out) {
    FILE* f = host.empty() ? nullptr : std::fopen(host.c_str(), "rb");
    if (!f) {
        SetErrorText("the file cannot be opened (%s)", std::strerror(errno));
        return DMUS_E_LOADER_FAILEDOPEN;
    }
    HRESULT hr = S_OK;
    uint8_t chunk[65536];
    for (;;) {
        const size_t n = std::fread(chunk, 1, sizeof chunk, f);
        if (n == 0) break;
        if (out->size() + n > kMaxSoundFileBytes) {
            SetErrorText("too large: the file is over %zu MiB", kMaxSoundFileBytes >> 20);
            hr = E_OUTOFMEMORY;
            break;
        }
        out->insert(out->end(), chunk, chunk + n);
    }
    if (SUCCEEDED(hr) && std::ferror(f)) {
        SetErrorText("the file cannot be read");
        hr = DMUS_E_LOADER_FAILEDOPEN;
    }
    std::fclose(f);
    return hr;
}

}  // namespace

std::string WideToEngine(const WCHAR* text, size_t max) {
    std::string out;
    if (!text) return out;
    for (size_t i = 0; i < max && text[i]; ++i) {
        const char16_t c = text[i];
        char byte = '?';
        for (int b = 1; b < 256; ++b) {
            if (Cp1252ToUtf16((unsigned char)b) == c) {
                byte = (char)b;
                break;
            }
        }
        out.push_back(byte);
    }
    return out;
}

HRESULT LoaderImpl::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirectMusicLoader8) {
        *ppv = static_cast<IDirectMusicLoader8*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT LoaderImpl::SetSearchDirectory(REFGUID, const WCHAR* pwzPath, BOOL) {
    HRESULT hr;
    if (Faulted("IDirectMusicLoader8::SetSearchDirectory", &hr)) return hr;
    if (!pwzPath) return E_POINTER;
    const std::string dir = WideToEngine(pwzPath, MAX_PATH);
    qndx::sim::internal::Record("IDirectMusicLoader8::SetSearchDirectory", dir.c_str());
    if (!IsDirectory(ToHostPath(dir.c_str()))) return DMUS_E_LOADER_BADPATH;
    std::lock_guard<std::mutex> guard(m_lock);
    if (dir == m_directory) return S_FALSE;
    m_directory = dir;
    return S_OK;
}

HRESULT LoaderImpl::MakeSegment(const uint8_t* data, size_t size, REFIID riid, void** ppv) {
    std::shared_ptr<const SegmentContent> content;
    const HRESULT hr = ParseSegmentContent(data, size, &content);
    if (FAILED(hr)) return hr;
    auto* segment = new SegmentImpl(std::move(content));
    const HRESULT qi = segment->QueryInterface(riid, ppv);
    segment->Release();
    return qi;
}

HRESULT LoaderImpl::LoadFile(const std::string& enginePath, bool fullPath, REFIID riid, void** ppv) {
    if (enginePath.empty()) return DMUS_E_LOADER_NOFILENAME;
    std::string path = enginePath;
    if (!fullPath && !IsEngineAbsolute(enginePath)) {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_directory.empty()) {
            const char last = m_directory.back();
            path = m_directory + (last == '\\' || last == '/' ? "" : "\\") + enginePath;
        }
    }
    std::vector<uint8_t> bytes;
    const HRESULT hr = ReadWholeFile(ToHostPath(path.c_str()), &bytes);
    if (FAILED(hr)) return hr;
    return MakeSegment(bytes.data(), bytes.size(), riid, ppv);
}

HRESULT LoaderImpl::LoadObjectFromFile(REFGUID rguidClassID, REFIID iidInterfaceID, const WCHAR* pwzFilePath,
                                       void** ppObject) {
    HRESULT hr;
    if (Faulted("IDirectMusicLoader8::LoadObjectFromFile", &hr)) return hr;
    if (!ppObject) return E_POINTER;
    *ppObject = nullptr;
    if (!pwzFilePath) return E_POINTER;
    const std::string name = WideToEngine(pwzFilePath, MAX_PATH);
    qndx::sim::internal::Record("IDirectMusicLoader8::LoadObjectFromFile", name.c_str());
    if (rguidClassID != CLSID_DirectMusicSegment) return DMUS_E_LOADER_NOCLASSID;
    return LoadFile(name, false, iidInterfaceID, ppObject);
}

HRESULT LoaderImpl::GetObject(LPDMUS_OBJECTDESC pDesc, REFIID riid, LPVOID* ppv) {
    HRESULT hr;
    if (Faulted("IDirectMusicLoader8::GetObject", &hr)) return hr;
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!pDesc) return E_POINTER;
    qndx::sim::internal::Record("IDirectMusicLoader8::GetObject", [&] { return std::to_string(pDesc->dwValidData); });
    if (pDesc->dwSize != QNDX_DMUS_OBJECTDESC_TAG && pDesc->dwSize != sizeof(DMUS_OBJECTDESC)) return E_INVALIDARG;
    if (!(pDesc->dwValidData & DMUS_OBJ_CLASS) || pDesc->guidClass != CLSID_DirectMusicSegment)
        return DMUS_E_LOADER_NOCLASSID;
    const DWORD valid = pDesc->dwValidData;
    if (valid & DMUS_OBJ_MEMORY) {
        if (!pDesc->pbMemData || pDesc->llMemLength <= 0) return E_INVALIDARG;
        if ((unsigned long long)pDesc->llMemLength > kMaxSoundFileBytes) {
            SetErrorText("too large: the data is over %zu MiB", kMaxSoundFileBytes >> 20);
            return E_OUTOFMEMORY;
        }
        return MakeSegment(pDesc->pbMemData, (size_t)pDesc->llMemLength, riid, ppv);
    }
    if (valid & DMUS_OBJ_FILENAME) {
        const std::string name = WideToEngine(pDesc->wszFileName, DMUS_MAX_FILENAME);
        return LoadFile(name, (valid & DMUS_OBJ_FULLPATH) != 0, riid, ppv);
    }
    if (valid & DMUS_OBJ_STREAM) {
        SetErrorText("loading from a stream is not supported");
        return E_NOTIMPL;
    }
    return DMUS_E_LOADER_NOFILENAME;
}

HRESULT CreateLoaderObject(REFIID riid, void** ppv) {
    HRESULT hr;
    if (Faulted("CoCreateInstance(DirectMusicLoader)", &hr)) return hr;
    auto* loader = new LoaderImpl();
    hr = loader->QueryInterface(riid, ppv);
    loader->Release();
    return hr;
}

}  // namespace audio
}  // namespace platform
}  // namespace qndx
