// Image loader front end: gets the whole image into memory, picks the decoder
// by content or by the caller's code, and hands back the decoder's surface.
#include "GraphicEngine/ImageLoader/ImageLoader.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "Defaults.h"
#include "GameManager.h"
#include "GraphicEngine/ImageLoader/BMPImageLoader.h"
#include "GraphicEngine/ImageLoader/JPEGImageLoader.h"
#include "GraphicEngine/ImageLoader/PCXImageLoader.h"
#include "GraphicEngine/ImageLoader/PNGImageLoader.h"
#include "GraphicEngine/ImageLoader/TGAImageLoader.h"
#include "GraphicEngine/VideoEngine.h"
#include "Util/File.h"
#include "platform/Kernel.h"

namespace {

// Detection head and tail lengths; both are cut to the data's size.
const unsigned int kHeadLength = 256;
const unsigned int kTailLength = 64;
// Files from this size on are mapped rather than read.
const DWORD kMapFrom = 256u << 10;

void* AllocateBuffer(unsigned int size) { return std::malloc(size ? size : 1); }

template <class Decoder>
IDirectDrawSurface7* Decode(IDirectDraw7* dd, unsigned int size, const unsigned char* data) {
    Decoder decoder;
    return decoder.Load(dd, size, data);
}

// Reads up to `limit` bytes in pieces, so that a size taken on trust never
// reserves more memory than the data that actually comes. False when memory
// runs out.
template <class Reader>
bool ReadUpTo(unsigned int limit, std::vector<unsigned char>& out, Reader read) {
    const unsigned int piece = 1u << 20;
    out.clear();
    try {
        while (out.size() < limit) {
            unsigned int want = limit - (unsigned int)out.size();
            if (want > piece) want = piece;
            const size_t at = out.size();
            out.resize(at + want);
            unsigned int got = read(out.data() + at, want);
            out.resize(at + got);
            if (got < want) break;
        }
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
    return true;
}

// Names the file in the loaders' error lines while it is being loaded.
class LoadNameScope {
public:
    explicit LoadNameScope(const char* name) : m_previous(CQNDXBaseImageLoader::GetLoadName()) {
        CQNDXBaseImageLoader::SetLoadName(name);
    }
    ~LoadNameScope() { CQNDXBaseImageLoader::SetLoadName(m_previous); }
    LoadNameScope(const LoadNameScope&) = delete;
    LoadNameScope& operator=(const LoadNameScope&) = delete;

private:
    const char* m_previous;
};

}  // namespace

int CQNDXImageLoader::HasPath(const char* name) { return name && std::strchr(name, '\\') ? 1 : 0; }

int CQNDXImageLoader::DetectFormat(unsigned int size, const unsigned char* data) {
    if (!data || size == 0) return QNDX_IMAGE_UNKNOWN;
    const int headLen = (int)(size < kHeadLength ? size : kHeadLength);
    const int tailLen = (int)(size < kTailLength ? size : kTailLength);
    const unsigned char* head = data;
    const unsigned char* tail = data + size - tailLen;

    {
        CQNDXPNGImageLoader png;
        if (png.CanLoad(head, headLen, tail, tailLen)) return QNDX_IMAGE_PNG;
    }
    {
        CQNDXBMPImageLoader bmp;
        if (bmp.CanLoad(head, headLen, tail, tailLen)) return QNDX_IMAGE_BMP;
    }
    {
        CQNDXJPEGImageLoader jpeg;
        if (jpeg.CanLoad(head, headLen, tail, tailLen)) return QNDX_IMAGE_JPEG;
    }
    {
        CQNDXTGAImageLoader tga;
        if (tga.CanLoad(head, headLen, tail, tailLen)) return QNDX_IMAGE_TGA;
    }
    {
        CQNDXPCXImageLoader pcx;
        if (pcx.CanLoad(head, headLen, tail, tailLen)) return QNDX_IMAGE_PCX;
    }
    return QNDX_IMAGE_UNKNOWN;
}

IDirectDrawSurface7* CQNDXImageLoader::LoadFromMemory(unsigned int size, const unsigned char* data, int* type) {
    CQNDXGameManager* manager = CQNDXGameManager::GetInstance();
    CQNDXVideoEngine* video = manager ? manager->GetVideoEngine() : nullptr;
    // The manager's pointer outlives a destroyed video engine; only the live one counts.
    if (video && (!CQNDXVideoEngine::Exists() || CQNDXVideoEngine::GetInstance() != video)) video = nullptr;
    IDirectDraw7* dd = video ? video->GetDirectDraw() : nullptr;
    if (!dd) {
        CQNDXBaseImageLoader::LogLoadError("CQNDXImageLoader::LoadFromMemory: no video engine to create the image on");
        return nullptr;
    }
    if (!data || size == 0) {
        CQNDXBaseImageLoader::LogLoadError("CQNDXImageLoader::LoadFromMemory: no image data");
        return nullptr;
    }

    // A code given by the caller is trusted: no content test runs.
    const int code = (type && *type != 0) ? *type : DetectFormat(size, data);
    IDirectDrawSurface7* surface = nullptr;
    switch (code) {
        case QNDX_IMAGE_UNKNOWN:
            // A load by name gets the file's name after the text.
            CQNDXBaseImageLoader::LogLoadError("Unsuported message type");
            break;
        case QNDX_IMAGE_BMP:
            surface = Decode<CQNDXBMPImageLoader>(dd, size, data);
            break;
        case QNDX_IMAGE_JPEG:
            surface = Decode<CQNDXJPEGImageLoader>(dd, size, data);
            break;
        case QNDX_IMAGE_PCX:
            surface = Decode<CQNDXPCXImageLoader>(dd, size, data);
            break;
        case QNDX_IMAGE_TGA:
            surface = Decode<CQNDXTGAImageLoader>(dd, size, data);
            break;
        case QNDX_IMAGE_PNG:
            surface = Decode<CQNDXPNGImageLoader>(dd, size, data);
            break;
        default:
            // Unknown codes give nothing, silently, as callers expect.
            break;
    }
    if (type) *type = code;
    return surface;
}

IDirectDrawSurface7* CQNDXImageLoader::LoadFromBuffer(unsigned int size, const unsigned char* data, int* type) {
    if (!CQNDXGameManager::IsCreated()) {
        CQNDXBaseImageLoader::LogLoadError("CQNDXImageLoader::LoadFromBuffer: the game manager does not exist");
        return nullptr;
    }
    return LoadFromMemory(size, data, type);
}

IDirectDrawSurface7* CQNDXImageLoader::LoadFromFile(const char* name, int* type) {
    CQNDXGameManager* manager = CQNDXGameManager::GetInstance();
    if (!manager) {
        CQNDXBaseImageLoader::LogLoadError("CQNDXImageLoader::LoadFromFile: the game manager does not exist");
        return nullptr;
    }
    if (!name || !*name) {
        CQNDXBaseImageLoader::LogLoadError("CQNDXImageLoader::LoadFromFile: no file name");
        return nullptr;
    }
    std::string path;
    if (HasPath(name)) {
        path = name;
    } else {
        const char* directory = manager->GetAppPath();
        if (!directory) {
            CQNDXBaseImageLoader::LogLoadError(
                "CQNDXImageLoader::LoadFromFile: the program's directory is unknown, cannot find \"%s\"", name);
            return nullptr;
        }
        // "<program dir>.\graphics\<name>": the path rules drop the period
        // that ends the directory's last segment.
        path = std::string(directory) + g_szGraphicsDir + "\\" + name;
    }

    CQNDXFile file;
    if (file.OpenRead(path.c_str()) < 0) {
        CQNDXBaseImageLoader::LogLoadError("CQNDXImageLoader::LoadFromFile: cannot open \"%s\"", path.c_str());
        return nullptr;
    }
    const DWORD size = file.GetSize();
    if (size == 0) {
        CQNDXBaseImageLoader::LogLoadError("CQNDXImageLoader::LoadFromFile: \"%s\" is empty", path.c_str());
        return nullptr;
    }
    // A large file is mapped, not copied: no copy, and no large block beside
    // the decoder's and the surface's, which made the C library give memory
    // back and fault it in again on every load. A small one costs less to
    // read than to map; a file that cannot be mapped is read.
    HANDLE mapping =
        size >= kMapFrom ? CreateFileMappingA(file.GetHandle(), nullptr, PAGE_READONLY, 0, 0, nullptr) : nullptr;
    void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, size) : nullptr;
    if (mapping) CloseHandle(mapping);
    unsigned char* buffer = view ? static_cast<unsigned char*>(view) : static_cast<unsigned char*>(AllocateBuffer(size));
    if (!buffer) {
        CQNDXBaseImageLoader::LogLoadError("CQNDXImageLoader::LoadFromFile: out of memory for %u bytes", size);
        return nullptr;
    }
    const DWORD read = view ? size : file.Read(buffer, size);
    file.Close();
    IDirectDrawSurface7* surface = nullptr;
    if (read != size) {
        CQNDXBaseImageLoader::LogLoadError("CQNDXImageLoader::LoadFromFile: read %u of %u bytes of \"%s\"", read,
                                           size, path.c_str());
    } else {
        LoadNameScope naming(path.c_str());
        surface = LoadFromMemory(size, buffer, type);
    }
    if (view)
        UnmapViewOfFile(view);
    else
        std::free(buffer);
    return surface;
}

IDirectDrawSurface7* CQNDXImageLoader::LoadFromFileObject(unsigned int size, CQNDXFile* file, int* type) {
    if (!CQNDXGameManager::IsCreated()) {
        CQNDXBaseImageLoader::LogLoadError("CQNDXImageLoader::LoadFromFileObject: the game manager does not exist");
        return nullptr;
    }
    if (!file) {
        CQNDXBaseImageLoader::LogLoadError("CQNDXImageLoader::LoadFromFileObject: no file object");
        return nullptr;
    }
    const DWORD pos = file->Tell();
    if (size == 0) {
        size = file->GetSize();
        file->Seek((LONG)pos, FILE_BEGIN);
    }
    std::vector<unsigned char> buffer;
    const bool ok = ReadUpTo(size, buffer, [file](unsigned char* out, unsigned int count) -> unsigned int {
        return file->Read(out, count);
    });
    file->Seek((LONG)pos, FILE_BEGIN);
    if (!ok || buffer.empty()) {
        CQNDXBaseImageLoader::LogLoadError(ok ? "CQNDXImageLoader::LoadFromFileObject: no byte could be read"
                                              : "CQNDXImageLoader::LoadFromFileObject: out of memory");
        return nullptr;
    }
    // Only the bytes that came are handed on; a short read never passes
    // anything else as image data.
    return LoadFromMemory((unsigned int)buffer.size(), buffer.data(), type);
}

IDirectDrawSurface7* CQNDXImageLoader::LoadFromStream(unsigned int size, FILE* stream, int* type) {
    if (!CQNDXGameManager::IsCreated()) {
        CQNDXBaseImageLoader::LogLoadError("CQNDXImageLoader::LoadFromStream: the game manager does not exist");
        return nullptr;
    }
    if (!stream) {
        CQNDXBaseImageLoader::LogLoadError("CQNDXImageLoader::LoadFromStream: no stream");
        return nullptr;
    }
    if (size == 0) {
        bool failed = false;
        long pos = std::ftell(stream);
        failed = pos < 0 || std::ferror(stream);
        if (!failed) failed = std::fseek(stream, 0, SEEK_END) != 0 || std::ferror(stream);
        long end = failed ? -1 : std::ftell(stream);
        failed = failed || end < 0 || std::ferror(stream);
        if (pos >= 0) failed = std::fseek(stream, pos, SEEK_SET) != 0 || std::ferror(stream) || failed;
        if (failed || end > 0xFFFFFFFFL) {
            CQNDXBaseImageLoader::LogLoadError("CQNDXImageLoader::LoadFromStream: the stream's size is unknown");
            return nullptr;
        }
        size = (unsigned int)end;
    }
    std::vector<unsigned char> buffer;
    const bool ok = ReadUpTo(size, buffer, [stream](unsigned char* out, unsigned int count) -> unsigned int {
        return (unsigned int)std::fread(out, 1, count, stream);
    });
    if (!ok || std::ferror(stream) || buffer.empty()) {
        CQNDXBaseImageLoader::LogLoadError(ok ? "CQNDXImageLoader::LoadFromStream: no byte could be read"
                                              : "CQNDXImageLoader::LoadFromStream: out of memory");
        return nullptr;
    }
    // A short read at the end of the file is not an error; only what came is decoded.
    return LoadFromMemory((unsigned int)buffer.size(), buffer.data(), type);
}
