// JPEG decoder through the platform's memory stream and picture object.
#include "GraphicEngine/ImageLoader/JPEGImageLoader.h"

#include <cstring>

#include "platform/Kernel.h"
#include "platform/OlePicture.h"

namespace {

const char* const kWho = "CQNDXJPEGImageLoader::Load";

// Fails the load when the platform call failed.
bool Failed(HRESULT hr, const void* object) { return hr < 0 || !object; }

}  // namespace

CQNDXJPEGImageLoader::CQNDXJPEGImageLoader() {}

CQNDXJPEGImageLoader::~CQNDXJPEGImageLoader() {}

int CQNDXJPEGImageLoader::CanLoad(const unsigned char* head, int headLen, const unsigned char*, int) {
    if (!head || headLen < 10) return 0;
    return head[0] == 0xFF && head[2] == 0xFF && std::strncmp(reinterpret_cast<const char*>(head + 6), "JFIF", 4) == 0
               ? 1
               : 0;
}

int CQNDXJPEGImageLoader::ReadFrameSize(unsigned int size, const unsigned char* data, int* width, int* height) {
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return 0;
    unsigned int pos = 2;
    while (pos < size) {
        if (data[pos] != 0xFF) {
            // Stray bytes between segments: the decoder skips them too.
            ++pos;
            continue;
        }
        while (pos < size && data[pos] == 0xFF) ++pos;  // fill bytes
        if (pos >= size) return 0;
        const unsigned char marker = data[pos++];
        if (marker == 0xD9 || marker == 0xDA) return 0;                      // end of image, or a scan first
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;  // no length
        if (size - pos < 2) return 0;
        const unsigned int length = (data[pos] << 8) | data[pos + 1];
        if (length < 2 || length > size - pos) return 0;
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (length < 7) return 0;
            if (height) *height = (data[pos + 3] << 8) | data[pos + 4];
            if (width) *width = (data[pos + 5] << 8) | data[pos + 6];
            return 1;
        }
        pos += length;
    }
    return 0;
}

IDirectDrawSurface7* CQNDXJPEGImageLoader::Load(IDirectDraw7* dd, unsigned int size, const unsigned char* data) {
    if (!data || size == 0) {
        LogLoadError("%s: no data", kWho);
        return nullptr;
    }
    // The surface the frame asks for is checked before anything is decoded;
    // without a readable frame header the platform says what is wrong.
    SetSurfaceBits(SurfaceBitsOf(dd));
    int frameWidth = 0, frameHeight = 0;
    if (ReadFrameSize(size, data, &frameWidth, &frameHeight) && frameWidth > 0 && frameHeight > 0 &&
        !CheckSurfaceSize(frameWidth, frameHeight, kWho))
        return nullptr;

    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory) {
        LogLoadError("%s: no global memory for %u bytes", kWho, size);
        return nullptr;
    }
    void* copy = GlobalLock(memory);
    if (!copy) {
        GlobalFree(memory);
        LogLoadError("%s: the global memory block cannot be locked", kWho);
        return nullptr;
    }
    std::memcpy(copy, data, size);
    GlobalUnlock(memory);

    IStream* stream = nullptr;
    HRESULT hr = CreateStreamOnHGlobal(memory, TRUE, &stream);
    if (Failed(hr, stream)) {
        if (stream) stream->Release();  // frees the block with it
        else GlobalFree(memory);
        LogLoadError("%s: CreateStreamOnHGlobal failed (0x%08X)", kWho, (unsigned)hr);
        return nullptr;
    }
    IPicture* picture = nullptr;
    QndxSetLastErrorText(nullptr);
    hr = OleLoadPicture(stream, (LONG)size, FALSE, IID_IPicture, reinterpret_cast<LPVOID*>(&picture));
    stream->Release();
    if (Failed(hr, picture)) {
        if (picture) picture->Release();
        const char* why = QndxGetLastErrorText();
        LogLoadError("%s: OleLoadPicture failed (0x%08X): %s", kWho, (unsigned)hr,
                     why && *why ? why : "no reason given");
        return nullptr;
    }

    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    if (picture->get_Width(&hmWidth) < 0 || picture->get_Height(&hmHeight) < 0 || hmWidth <= 0 || hmHeight <= 0) {
        picture->Release();
        LogLoadError("%s: the picture reports no size", kWho);
        return nullptr;
    }

    HDC ic = CreateICA("Display", nullptr, nullptr, nullptr);
    if (!ic) {
        picture->Release();
        LogLoadError("%s: no information context for the display", kWho);
        return nullptr;
    }
    const int width = MulDiv(hmWidth, GetDeviceCaps(ic, LOGPIXELSX), 2540);
    const int height = MulDiv(hmHeight, GetDeviceCaps(ic, LOGPIXELSY), 2540);
    DeleteDC(ic);

    SetWidth(width);
    SetHeight(height);
    SetBitsPerPixel(24);
    SetTopDown(1);
    if (ComputeBufferSize(width, height, 24) == 0) {
        picture->Release();
        LogLoadError("%s: picture of %d x %d pixels refused as too large or empty (sides 1 to %d, at most 256 MiB)",
                     kWho, width, height, (int)MAX_SIDE);
        return nullptr;
    }
    if (!CheckSurfaceSize(width, height, kWho)) {
        picture->Release();
        return nullptr;
    }
    if (!CreateSurface(dd)) {
        picture->Release();
        return nullptr;
    }

    HDC hdc = nullptr;
    hr = m_pSurface->GetDC(&hdc);
    if (Failed(hr, hdc)) {
        picture->Release();
        LogLoadError("%s: no device context for the image surface (0x%08X)", kWho, (unsigned)hr);
        m_pSurface->Release();
        m_pSurface = nullptr;
        return nullptr;
    }
    RECT bounds = {0, 0, width, height};
    QndxSetLastErrorText(nullptr);
    hr = picture->Render(hdc, 0, 0, width, height, 0, hmHeight, hmWidth, -hmHeight, &bounds);
    m_pSurface->ReleaseDC(hdc);
    picture->Release();
    if (hr < 0) {
        const char* why = QndxGetLastErrorText();
        LogLoadError("%s: rendering the picture failed (0x%08X): %s", kWho, (unsigned)hr,
                     why && *why ? why : "no reason given");
        m_pSurface->Release();
        m_pSurface = nullptr;
        return nullptr;
    }
    IDirectDrawSurface7* surface = m_pSurface;
    m_pSurface = nullptr;  // the caller's now
    return surface;
}
