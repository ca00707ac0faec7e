// Decoder for TGA images held in memory: uncompressed and run-length-encoded,
// colour-mapped and grey 8-bit images (8-bit buffer with a colour table) and
// 16-bit 5-5-5 and 24-bit true-colour images (24-bit blue-green-red buffer)
// and 32-bit ones (32-bit buffer; GDI ignores the alpha byte). Detection needs the TGA 2.0 footer; a load with
// the type code given decodes without it. Bottom-left origin unless the
// descriptor's bit 5 puts the first row at the top; its bit 4 says each row
// runs right to left.
#pragma once

#include "GraphicEngine/ImageLoader/BaseImageLoader.h"

class CQNDXTGAImageLoader : public CQNDXBaseImageLoader {
public:
    enum { HEADER_BYTES = 18, PALETTE_BYTES = 768 };

    CQNDXTGAImageLoader();
    ~CQNDXTGAImageLoader() override;

    // "TRUEVISION-XFILE" begins 18 bytes before the end of the tail and the
    // pixel depth (head byte 16) is 8, 16, 24 or 32.
    int CanLoad(const unsigned char* head, int headLen, const unsigned char* tail, int tailLen) override;
    IDirectDrawSurface7* Load(IDirectDraw7* dd, unsigned int size, const unsigned char* data) override;

    // Reads the header, the colour map and the pixels into the loader
    // without creating a surface; 1, or 0 with an error line. Load runs it.
    int Decode(unsigned int size, const unsigned char* data);
    // 256 red, green, blue triplets for 8-bit images, else null.
    const unsigned char* GetPalette() const { return m_pPalette; }

    // The little-endian 16-bit value at the cursor; advances it by 2.
    static unsigned int ReadWord(const unsigned char** cursor);
    // `count` 5-5-5 words into blue, green, red bytes (each channel times 8).
    static void Convert555To888(unsigned char* out, const unsigned char* in, unsigned int count);

private:
    void __ReleasePalette();
    int __ReadColourMap(const unsigned char* data);
    // Run-length packets until the buffer's rows are filled; 0 when the data
    // runs out first.
    int __DecodePackets(const unsigned char* cursor, const unsigned char* end, int bytesPerPixel);

    unsigned char m_Header[HEADER_BYTES];
    unsigned char* m_pPalette;
};
