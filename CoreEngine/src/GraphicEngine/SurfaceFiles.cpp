// Surface files: a surface written out as a 24-bit bottom-up BMP (SaveBMP)
// and an alpha mask read from its own raw file (LoadAlphaMask: two 32-bit
// little-endian sizes, then one byte per pixel). The BMP goes through the
// platform's file calls; the mask through the standard library with the
// platform's path translation. SetAlphaMask lives in Surface.cpp.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "GraphicEngine/GraphicsLog.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/VideoEngine.h"
#include "pixels/Access.h"
#include "platform/HostPath.h"
#include "platform/Kernel.h"

namespace {

const DWORD kBmpHeaderBytes = 14 + 40;

// Little-endian fields, as the pixel accessors store them.
using qndx::pixels::Load32;
using qndx::pixels::Store16;
using qndx::pixels::Store32;

// The 14-byte file header followed by the 40-byte info header.
void BuildBmpHeaders(BYTE (&out)[kBmpHeaderBytes], DWORD width, DWORD height, DWORD imageBytes) {
    std::memset(out, 0, sizeof(out));
    out[0] = 'B';
    out[1] = 'M';
    Store32(out + 2, kBmpHeaderBytes + imageBytes);
    Store32(out + 10, kBmpHeaderBytes);
    BYTE* info = out + 14;
    Store32(info + 0, 40);
    Store32(info + 4, width);
    Store32(info + 8, height);
    Store16(info + 12, 1);
    Store16(info + 14, 24);
    Store32(info + 16, 0);  // BI_RGB
    Store32(info + 20, 0);
    Store32(info + 24, 10000);
    Store32(info + 28, 10000);
}

// Converts one surface row into blue-green-red triples by the format's bit
// count; false for a count without a conversion (or 8 bits without palette).
bool ConvertRow(BYTE* out, const BYTE* row, int width, const DDPIXELFORMAT& format, const PALETTEENTRY* palette) {
    switch (format.dwRGBBitCount) {
    case 32:
        for (int x = 0; x < width; ++x, row += 4, out += 3) {
            out[0] = row[0];
            out[1] = row[1];
            out[2] = row[2];
        }
        return true;
    case 24: std::memcpy(out, row, static_cast<size_t>(width) * 3); return true;
    case 16: {
        const bool is565 = format.dwGBitMask == 0x7E0;
        for (int x = 0; x < width; ++x, row += 2, out += 3) {
            const unsigned p = static_cast<unsigned>(row[0]) | static_cast<unsigned>(row[1]) << 8;
            out[0] = static_cast<BYTE>((p & 0x1F) << 3);
            if (is565) {
                out[1] = static_cast<BYTE>(((p >> 5) & 0x3F) << 2);
                out[2] = static_cast<BYTE>((p >> 11) << 3);
            } else {
                out[1] = static_cast<BYTE>(((p >> 5) & 0x1F) << 3);
                out[2] = static_cast<BYTE>(((p >> 10) & 0x1F) << 3);
            }
        }
        return true;
    }
    case 8:
        if (!palette) return false;
        for (int x = 0; x < width; ++x, out += 3) {
            const PALETTEENTRY& e = palette[row[x]];
            out[0] = e.peBlue;
            out[1] = e.peGreen;
            out[2] = e.peRed;
        }
        return true;
    default: return false;
    }
}

// Owns the open file and the pixel buffer so that every exit closes and frees.
struct BmpWriteState {
    HANDLE file = INVALID_HANDLE_VALUE;
    BYTE* pixels = nullptr;
    ~BmpWriteState() {
        delete[] pixels;
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
};

bool WriteAll(HANDLE file, const void* data, DWORD bytes) {
    DWORD written = 0;
    return WriteFile(file, data, bytes, &written, nullptr) && written == bytes;
}

void LogSaveError(const char* fileName, const char* what) {
    std::string msg = "CQNDXSurface::SaveBMP: ";
    msg += what;
    msg += " (";
    msg += fileName;
    msg += ")";
    qndx::gfx::LogError(msg.c_str());
}

}  // namespace

int CQNDXSurface::SaveBMP(const char* fileName) {
    if (!fileName) return -1;
    BmpWriteState state;
    state.file = CreateFileA(fileName, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (state.file == INVALID_HANDLE_VALUE) return -2;

    // Lock and Unlock once to refresh the description. A surface that
    // refuses the lock still describes itself; its pixels fail below.
    DDSURFACEDESC2 desc;
    if (Lock() >= 0) {
        desc = m_Desc;
        Unlock();
    } else {
        desc = EmptyDescription();
        if (!m_pDDSurface || m_pDDSurface->GetSurfaceDesc(&desc) != DD_OK) {
            LogSaveError(fileName, "the surface cannot be locked");
            return -3;
        }
    }
    const DWORD width = desc.dwWidth;
    const DWORD height = desc.dwHeight;
    const DWORD bitCount = desc.ddpfPixelFormat.dwRGBBitCount;
    const uint64_t rowBytes = (3ull * width + 3) & ~3ull;
    const uint64_t imageBytes = rowBytes * height;
    if (imageBytes > 0xFFFFFFFFull - kBmpHeaderBytes) {
        LogSaveError(fileName, "the surface is too large for a BMP file");
        return -3;
    }

    BYTE headers[kBmpHeaderBytes];
    BuildBmpHeaders(headers, width, height, static_cast<DWORD>(imageBytes));
    if (!WriteAll(state.file, headers, kBmpHeaderBytes)) {
        LogSaveError(fileName, "the file cannot be written");
        return -2;
    }

    // The display's palette gives the colours of an 8-bit surface.
    PALETTEENTRY palette[256];
    const bool indexed = bitCount == 8;
    if (indexed) {
        CQNDXVideoEngine* engine = m_pVideoEngine ? m_pVideoEngine : CQNDXVideoEngine::GetInstance();
        CQNDXSurface* front = engine ? engine->GetFrontSurface() : nullptr;
        if (!front) return -4;
        IDirectDrawPalette* displayPalette = nullptr;
        if (!front->GetDDSurface() || front->GetDDSurface()->GetPalette(&displayPalette) != DD_OK ||
            !displayPalette)
            return -5;
        HRESULT hr = displayPalette->GetEntries(0, 0, 256, palette);
        displayPalette->Release();
        if (hr != DD_OK) return -5;
    } else if (bitCount != 16 && bitCount != 24 && bitCount != 32) {
        // A depth this writer has no conversion for: refuse rather than
        // leave a file whose headers promise pixels it does not hold.
        LogSaveError(fileName, "the surface's pixel depth cannot be saved");
        return -3;
    }

    state.pixels = new (std::nothrow) BYTE[imageBytes ? imageBytes : 1];
    if (!state.pixels) {
        LogSaveError(fileName, "out of memory");
        return -3;
    }
    if (Lock() < 0) return indexed ? -6 : -3;
    // The locked description is the one to read by; it matches the one
    // above unless the surface changed in between.
    const BYTE* bits = static_cast<const BYTE*>(m_Desc.lpSurface);
    const ptrdiff_t pitch = m_Desc.lPitch;
    if (!bits || m_Desc.dwWidth != width || m_Desc.dwHeight != height ||
        m_Desc.ddpfPixelFormat.dwRGBBitCount != bitCount) {
        Unlock();
        LogSaveError(fileName, "the surface changed while it was saved");
        return indexed ? -6 : -3;
    }
    BYTE* out = state.pixels;
    for (DWORD row = height; row-- > 0; out += rowBytes) {
        ConvertRow(out, bits + static_cast<ptrdiff_t>(row) * pitch, static_cast<int>(width), m_Desc.ddpfPixelFormat,
                   indexed ? palette : nullptr);
        std::memset(out + 3ull * width, 0, static_cast<size_t>(rowBytes - 3ull * width));
    }
    const bool written = WriteAll(state.file, state.pixels, static_cast<DWORD>(imageBytes));
    Unlock();
    if (!written) {
        LogSaveError(fileName, "the file cannot be written");
        return -2;
    }
    return 1;
}

int CQNDXSurface::LoadAlphaMask(const char* fileName) {
    if (m_pAlphaMask) return 0;
    if (!fileName || m_iWidth <= 0 || m_iHeight <= 0) return 0;
    const std::string path = qndx::platform::ToHostPath(fileName);
    if (path.empty()) return 0;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return 0;

    // The sizes in the file are only compared, never used to size anything
    // before they match the surface.
    BYTE header[8];
    const size_t headerRead = std::fread(header, 1, sizeof(header), file);
    const uint32_t width = headerRead == sizeof(header) ? Load32(header) : 0;
    const uint32_t height = headerRead == sizeof(header) ? Load32(header + 4) : 0;
    if (headerRead != sizeof(header) || width != static_cast<uint32_t>(m_iWidth) ||
        height != static_cast<uint32_t>(m_iHeight)) {
        std::fclose(file);
        return 0;
    }
    const size_t bytes = static_cast<size_t>(width) * height;
    unsigned char* mask = new (std::nothrow) unsigned char[bytes];
    if (!mask) {
        std::fclose(file);
        qndx::gfx::LogError("CQNDXSurface::LoadAlphaMask: out of memory");
        return 0;
    }
    const size_t got = std::fread(mask, 1, bytes, file);
    std::fclose(file);
    if (got != bytes) {
        // A short mask is defined: what is missing is opaque.
        std::memset(mask + got, 255, bytes - got);
        std::string msg = "CQNDXSurface::LoadAlphaMask: the mask is short, " + std::to_string(bytes - got) + " of " +
                          std::to_string(bytes) + " bytes missing, taken as opaque (";
        msg += fileName;
        msg += ")";
        qndx::gfx::LogWarning(msg.c_str());
    }
    m_pAlphaMask = mask;
    return 1;
}
