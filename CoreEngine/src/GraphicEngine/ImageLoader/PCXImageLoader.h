// Decoder for run-length-encoded PCX images (version 5) held in memory: 8-bit
// images with one plane and the 256-colour palette at the end of the file,
// and 24-bit images stored as three 8-bit planes per scan line. Rows go into
// the buffer top-down. Other layouts are refused; no scan line, run or
// palette is followed past the data or the buffers.
#pragma once

#include "GraphicEngine/ImageLoader/BaseImageLoader.h"

class CQNDXPCXImageLoader : public CQNDXBaseImageLoader {
public:
    enum { HEADER_BYTES = 128, PALETTE_BYTES = 768 };

    CQNDXPCXImageLoader();
    ~CQNDXPCXImageLoader() override;

    // Bytes 0, 1 and 2 are 10, 5 and 1 (manufacturer, version, encoding).
    int CanLoad(const unsigned char* head, int headLen, const unsigned char* tail, int tailLen) override;
    IDirectDrawSurface7* Load(IDirectDraw7* dd, unsigned int size, const unsigned char* data) override;

    // Reads the header, the scan lines and the palette into the loader
    // without creating a surface; 1, or 0 with an error line. Load runs it.
    int Decode(unsigned int size, const unsigned char* data);
    // 256 red, green, blue triplets for one-plane images; all zero when the
    // file has no palette.
    const unsigned char* GetPalette() const { return m_Palette; }
    int HasPalette() const { return m_bPaletteFound; }
    const unsigned char* GetHeader() const { return m_Header; }

    // Expands run-length codes from *cursor (never reading at or past `end`)
    // into `out`, until at least `count` bytes are produced; advances the
    // cursor. Returns the number of bytes the codes produced: more than
    // `count` when the last run crosses the line's end (only `count` bytes are
    // written), fewer when the data runs out.
    static int DecodeLine(unsigned char* out, const unsigned char** cursor, const unsigned char* end, int count);

private:
    unsigned char m_Header[HEADER_BYTES];
    unsigned char m_Palette[PALETTE_BYTES];
    int m_iPlanes;
    int m_bPaletteFound;
};
