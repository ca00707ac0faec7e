// Base of the image decoders: owns the decoded pixel buffer (DIB rows padded
// to 4 bytes), the bitmap description handed to GDI, and the common ending
// that creates a system-memory surface in the display's format and draws the
// pixels onto it. Every size a decoder takes from a file passes through the
// checks here: sides 1 to 16384, buffers up to 256 MiB, computed in 64 bits.
// Once a load knows the display, the surface the picture will need (in the
// display's pixel kind) is held to the same caps before any pixel buffer is
// allocated, so a header claiming a huge picture costs nothing.
#pragma once

#include <cstdint>

#include "Util/File.h"
#include "platform/DirectDraw.h"
#include "platform/Gdi.h"

class CQNDXBaseImageLoader {
public:
    enum {
        MAX_SIDE = 16384,
        BITMAPINFO_BYTES = 1068,  // 40-byte header and 257 colour entries
    };
    static constexpr uint64_t MAX_BUFFER_BYTES = 256ull << 20;

    CQNDXBaseImageLoader();
    virtual ~CQNDXBaseImageLoader();

    // 1 when the decoder recognises the image by its first headLen bytes and
    // its last tailLen bytes (either may be shorter than the decoder needs).
    virtual int CanLoad(const unsigned char* head, int headLen, const unsigned char* tail, int tailLen) = 0;
    // The new surface (the caller owns it) or null, with an error line logged.
    virtual IDirectDrawSurface7* Load(IDirectDraw7* dd, unsigned int size, const unsigned char* data) = 0;

    // Stores the three values and allocates a buffer, zeroed unless the
    // decoder writes every pixel itself; 0 (logged) when the sides or depth
    // are refused, the surface they need is too large, or the memory cannot
    // be had.
    int Create(int width, int height, unsigned char bpp, bool zeroed = true);
    // Replaces the buffer with `size` bytes (zeroed or not); 1 when it exists.
    int AllocPixels(unsigned int size, bool zeroed = true);
    // Releases the pixel buffer and the bitmap description; 1.
    int FreePixels();

    unsigned char* GetPixels() const { return m_pPixels; }
    // stride x height, 0 when the fields do not describe an acceptable buffer.
    unsigned int GetSizeInBytes() const;
    // Bytes per row: ((width x bpp + 31) div 32) x 4; 0 when refused.
    unsigned int GetStride() const;
    int GetWidth() const { return m_iWidth; }
    int GetHeight() const { return m_iHeight; }
    unsigned char GetBitsPerPixel() const { return m_BitsPerPixel; }
    void SetWidth(int width) { m_iWidth = width; }
    void SetHeight(int height) { m_iHeight = height; }
    void SetBitsPerPixel(unsigned char bpp) { m_BitsPerPixel = bpp; }
    void SetTopDown(int topDown) { m_bTopDown = topDown; }
    int IsTopDown() const { return m_bTopDown; }
    BITMAPINFO* GetBitmapInfo() const { return m_pBitmapInfo; }

    // Builds the description from the fields (no colours yet: all black).
    void BuildBitmapInfo();
    // Creates the system-memory surface of the current size; 1 or 0 (logged).
    int CreateSurface(IDirectDraw7* dd);
    // Draws the buffer onto the surface through the description and frees
    // the buffer; the surface, or null (surface released, logged).
    IDirectDrawSurface7* CopyToSurface();

    // The file member is kept for the decoders; none uses it yet.
    int OpenFile(const char* name);
    int CloseFile();

    // Buffer size for the sides and depth, 0 when any is refused: sides 1 to
    // MAX_SIDE, depth 1, 4, 8, 16, 24 or 32, total up to MAX_BUFFER_BYTES.
    static uint64_t ComputeBufferSize(int64_t width, int64_t height, int bpp);
    static uint64_t ComputeStride(int64_t width, int bpp);

    // Bits per pixel of the surfaces `dd` makes (the display's: 8, 16, 24 or
    // 32); 32, the widest, when it cannot tell.
    static int SurfaceBitsOf(IDirectDraw7* dd);
    // The pixel depth the load's surface will have; 0 (the default) leaves
    // the surface unchecked, for decoding without a display.
    void SetSurfaceBits(int bits) { m_iSurfaceBits = bits; }
    // 1 when a width x height surface at the set depth is within the caps
    // (or no depth is set), else 0 with a "too large" error line.
    int CheckSurfaceSize(int64_t width, int64_t height, const char* who);

    // An error line through the game manager (standard error when there is
    // none), formatted like printf; the name of the file being loaded, when
    // the front end set one, ends the line.
    static void LogLoadError(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 1, 2)))
#endif
        ;
    // The file the error lines name (null: none). The front end sets it for
    // the length of a load by name; the text must outlive that.
    static void SetLoadName(const char* name);
    static const char* GetLoadName();

protected:
    // GetDC, StretchDIBits of the whole buffer through `description`,
    // ReleaseDC, FreePixels. A failed device context or drawing releases the
    // surface and gives null. `pixels`, when given, are drawn in place of the
    // buffer's.
    IDirectDrawSurface7* __DrawPixels(const BITMAPINFO* description, const char* who,
                                      const unsigned char* pixels = nullptr);
    // The end of a decoder's load: CreateSurface (the buffer freed when it
    // fails), the description with `palette`'s 256 red, green, blue triplets
    // as its colours (none: black), CopyToSurface.
    IDirectDrawSurface7* __FinishLoad(IDirectDraw7* dd, const unsigned char* palette);

    BITMAPINFO* m_pBitmapInfo;
    CQNDXFile m_File;
    int m_iWidth;
    int m_iHeight;
    unsigned char m_BitsPerPixel;
    unsigned char* m_pPixels;
    int m_bTopDown;
    UINT m_ColorUse;
    IDirectDrawSurface7* m_pSurface;
    int m_iSurfaceBits;

private:
    CQNDXBaseImageLoader(const CQNDXBaseImageLoader&) = delete;
    CQNDXBaseImageLoader& operator=(const CQNDXBaseImageLoader&) = delete;
};
