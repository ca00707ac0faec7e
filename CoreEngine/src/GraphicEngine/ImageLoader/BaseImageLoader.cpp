// Pixel buffer, bitmap description and the surface ending shared by the
// image decoders.
#include "GraphicEngine/ImageLoader/BaseImageLoader.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "GameManager.h"

CQNDXBaseImageLoader::CQNDXBaseImageLoader()
    : m_pBitmapInfo(nullptr),
      m_iWidth(0),
      m_iHeight(0),
      m_BitsPerPixel(0),
      m_pPixels(nullptr),
      m_bTopDown(0),
      m_ColorUse(DIB_RGB_COLORS),
      m_pSurface(nullptr),
      m_iSurfaceBits(0) {}

CQNDXBaseImageLoader::~CQNDXBaseImageLoader() {
    FreePixels();
    CloseFile();
    // A surface still held here was never handed to a caller.
    if (m_pSurface) {
        m_pSurface->Release();
        m_pSurface = nullptr;
    }
}

namespace {

// The file being loaded by name, for the error lines (one load at a time per
// thread).
thread_local const char* t_loadName = nullptr;

}  // namespace

void CQNDXBaseImageLoader::SetLoadName(const char* name) { t_loadName = name; }

const char* CQNDXBaseImageLoader::GetLoadName() { return t_loadName; }

void CQNDXBaseImageLoader::LogLoadError(const char* format, ...) {
    char text[768];
    va_list args;
    va_start(args, format);
    if (std::vsnprintf(text, 512, format, args) < 0) text[0] = '\0';
    va_end(args);
    if (t_loadName) {
        const size_t used = std::strlen(text);
        std::snprintf(text + used, sizeof text - used, " (file \"%s\")", t_loadName);
    }
    CQNDXGameManager* manager = CQNDXGameManager::GetInstance();
    if (manager)
        manager->LogError(text, 1);
    else
        std::fprintf(stderr, "QNDX error: %s\n", text);
}

uint64_t CQNDXBaseImageLoader::ComputeStride(int64_t width, int bpp) {
    if (width < 1 || width > MAX_SIDE) return 0;
    switch (bpp) {
        case 1: case 4: case 8: case 16: case 24: case 32: break;
        default: return 0;
    }
    return (((uint64_t)width * (uint64_t)bpp + 31) / 32) * 4;
}

uint64_t CQNDXBaseImageLoader::ComputeBufferSize(int64_t width, int64_t height, int bpp) {
    if (height < 1 || height > MAX_SIDE) return 0;
    uint64_t stride = ComputeStride(width, bpp);
    uint64_t size = stride * (uint64_t)height;
    return size <= MAX_BUFFER_BYTES ? size : 0;
}

unsigned int CQNDXBaseImageLoader::GetStride() const {
    if (ComputeBufferSize(m_iWidth, m_iHeight, m_BitsPerPixel) == 0) return 0;
    return (unsigned int)ComputeStride(m_iWidth, m_BitsPerPixel);
}

unsigned int CQNDXBaseImageLoader::GetSizeInBytes() const {
    return (unsigned int)ComputeBufferSize(m_iWidth, m_iHeight, m_BitsPerPixel);
}

int CQNDXBaseImageLoader::SurfaceBitsOf(IDirectDraw7* dd) {
    if (!dd) return 32;
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = 124;
    if (dd->GetDisplayMode(&desc) < 0) return 32;
    const DWORD bits = desc.ddpfPixelFormat.dwRGBBitCount;
    return bits == 8 || bits == 16 || bits == 24 || bits == 32 ? (int)bits : 32;
}

int CQNDXBaseImageLoader::CheckSurfaceSize(int64_t width, int64_t height, const char* who) {
    if (m_iSurfaceBits == 0) return 1;
    if (ComputeBufferSize(width, height, m_iSurfaceBits) != 0) return 1;
    if (width < 1 || height < 1) {
        LogLoadError("%s: a picture of %lld x %lld pixels is not supported (no pixels)", who, (long long)width,
                     (long long)height);
    } else if (width > MAX_SIDE || height > MAX_SIDE) {
        LogLoadError("%s: too large: a %lld x %lld picture has a side over %d", who, (long long)width,
                     (long long)height, (int)MAX_SIDE);
    } else {
        const uint64_t bytes = (uint64_t)width * (uint64_t)height * (uint64_t)(m_iSurfaceBits / 8);
        LogLoadError("%s: too large: a %lld x %lld picture needs a %d-bit surface of %llu MiB (sides up to %d, "
                     "at most 256 MiB)",
                     who, (long long)width, (long long)height, m_iSurfaceBits,
                     (unsigned long long)((bytes + (1u << 20) - 1) >> 20), (int)MAX_SIDE);
    }
    return 0;
}

int CQNDXBaseImageLoader::Create(int width, int height, unsigned char bpp, bool zeroed) {
    m_iWidth = width;
    m_iHeight = height;
    m_BitsPerPixel = bpp;
    if (!CheckSurfaceSize(width, height, "CQNDXBaseImageLoader::Create")) {
        FreePixels();
        return 0;
    }
    uint64_t size = GetSizeInBytes();
    if (size == 0) {
        LogLoadError("Image of %d x %d at %d bits per pixel refused as too large or empty (sides 1 to %d, at most "
                     "256 MiB)",
                     width, height, (int)bpp, (int)MAX_SIDE);
        FreePixels();
        return 0;
    }
    return AllocPixels((unsigned int)size, zeroed);
}

int CQNDXBaseImageLoader::AllocPixels(unsigned int size, bool zeroed) {
    FreePixels();
    if (size == 0 || size > MAX_BUFFER_BYTES) {
        LogLoadError("Pixel buffer of %u bytes refused", size);
        return 0;
    }
    // Zeroed, row padding and anything a decoder skips are defined bytes.
    m_pPixels = static_cast<unsigned char*>(zeroed ? std::calloc(size, 1) : std::malloc(size));
    if (!m_pPixels) LogLoadError("Out of memory for a pixel buffer of %u bytes", size);
    return m_pPixels ? 1 : 0;
}

int CQNDXBaseImageLoader::FreePixels() {
    std::free(m_pPixels);
    m_pPixels = nullptr;
    std::free(m_pBitmapInfo);
    m_pBitmapInfo = nullptr;
    return 1;
}

void CQNDXBaseImageLoader::BuildBitmapInfo() {
    std::free(m_pBitmapInfo);
    m_pBitmapInfo = static_cast<BITMAPINFO*>(std::calloc(BITMAPINFO_BYTES, 1));
    if (!m_pBitmapInfo) return;
    BITMAPINFOHEADER& h = m_pBitmapInfo->bmiHeader;
    h.biSize = 40;
    h.biWidth = m_iWidth;
    h.biHeight = m_bTopDown ? -m_iHeight : m_iHeight;
    h.biPlanes = 1;
    h.biBitCount = m_BitsPerPixel;
    h.biCompression = BI_RGB;
}

int CQNDXBaseImageLoader::CreateSurface(IDirectDraw7* dd) {
    if (m_pSurface) {
        m_pSurface->Release();
        m_pSurface = nullptr;
    }
    if (!dd) {
        LogLoadError("No DirectDraw object to create the image surface on");
        return 0;
    }
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = 124;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.dwWidth = (DWORD)m_iWidth;
    desc.dwHeight = (DWORD)m_iHeight;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    HRESULT hr = dd->CreateSurface(&desc, &m_pSurface, nullptr);
    if (hr < 0 || !m_pSurface) {
        LogLoadError("Creating a %d x %d image surface failed (0x%08X)", m_iWidth, m_iHeight, (unsigned)hr);
        if (m_pSurface) m_pSurface->Release();
        m_pSurface = nullptr;
        return 0;
    }
    return 1;
}

IDirectDrawSurface7* CQNDXBaseImageLoader::__DrawPixels(const BITMAPINFO* description, const char* who,
                                                       const unsigned char* pixels) {
    if (!m_pSurface) {
        FreePixels();
        return nullptr;
    }
    if (!pixels) pixels = m_pPixels;
    int lines = GDI_ERROR;
    if (!description || !pixels) {
        LogLoadError("%s: no pixels or bitmap description to draw", who);
    } else {
        HDC hdc = nullptr;
        HRESULT hr = m_pSurface->GetDC(&hdc);
        if (hr < 0 || !hdc) {
            LogLoadError("%s: no device context for the image surface (0x%08X)", who, (unsigned)hr);
        } else {
            lines = StretchDIBits(hdc, 0, 0, m_iWidth, m_iHeight, 0, 0, m_iWidth, m_iHeight, pixels, description,
                                  m_ColorUse, SRCCOPY);
            m_pSurface->ReleaseDC(hdc);
            // No line copied is as much a failure as GDI_ERROR.
            if (lines == GDI_ERROR || lines == 0) {
                LogLoadError("%s: drawing the %d x %d image onto its surface failed", who, m_iWidth, m_iHeight);
                lines = GDI_ERROR;
            }
        }
    }
    FreePixels();
    if (lines == GDI_ERROR) {
        m_pSurface->Release();
        m_pSurface = nullptr;
        return nullptr;
    }
    IDirectDrawSurface7* surface = m_pSurface;
    m_pSurface = nullptr;  // the caller's now
    return surface;
}

IDirectDrawSurface7* CQNDXBaseImageLoader::CopyToSurface() {
    return __DrawPixels(m_pBitmapInfo, "CQNDXBaseImageLoader::CopyToSurface");
}

IDirectDrawSurface7* CQNDXBaseImageLoader::__FinishLoad(IDirectDraw7* dd, const unsigned char* palette) {
    if (!CreateSurface(dd)) {
        FreePixels();
        return nullptr;
    }
    BuildBitmapInfo();
    if (m_pBitmapInfo && palette) {
        // The description has room for the whole table after its header.
        RGBQUAD* table = m_pBitmapInfo->bmiColors;
        for (int i = 0; i < 256; ++i) {
            table[i].rgbBlue = palette[3 * i + 2];
            table[i].rgbGreen = palette[3 * i + 1];
            table[i].rgbRed = palette[3 * i];
            table[i].rgbReserved = 0;
        }
    }
    return CopyToSurface();
}

int CQNDXBaseImageLoader::OpenFile(const char* name) {
    CloseFile();
    m_File.OpenRead(name);
    return 1;
}

int CQNDXBaseImageLoader::CloseFile() {
    m_File.Close();
    return 1;
}
