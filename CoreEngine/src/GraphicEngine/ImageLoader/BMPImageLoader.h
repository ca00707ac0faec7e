// Decoder for Windows bitmap files held in memory: uncompressed 1, 4, 8, 16
// (5-5-5), 24 and 32 bits per pixel, bottom-up or top-down, and 8-bit
// run-length-encoded files. The file's own header and colour table go to GDI.
// Every header value is checked against the data before it is followed.
#pragma once

#include "GraphicEngine/ImageLoader/BaseImageLoader.h"

class CQNDXBMPImageLoader : public CQNDXBaseImageLoader {
public:
    CQNDXBMPImageLoader();
    ~CQNDXBMPImageLoader() override;

    // The first two bytes are "BM".
    int CanLoad(const unsigned char* head, int headLen, const unsigned char* tail, int tailLen) override;
    IDirectDrawSurface7* Load(IDirectDraw7* dd, unsigned int size, const unsigned char* data) override;

    // Reads the headers, the colour table and the pixels into the buffer
    // without creating a surface; 1, or 0 with an error line. Load runs it
    // with `copy` false: plain pixels are then drawn from where they lie in
    // the data (GetFilePixels), not copied.
    int Decode(unsigned int size, const unsigned char* data, bool copy = true);
    const unsigned char* GetFilePixels() const { return m_pFilePixels; }
    // The description GDI draws the decoded buffer with (valid after Decode).
    const BITMAPINFO* GetDescription() const;
    int GetColorCount() const { return m_iColorCount; }

    // Expands BI_RLE8 data from data + offset into the zeroed pixel buffer.
    // Runs and deltas are clipped to the row and the picture; 1 when the data
    // ends the picture (end of bitmap, or the last row closed), 0 when it runs
    // out first.
    int DecodeRLE8(const unsigned char* data, unsigned int size, unsigned int offset);

private:
    void __ReleaseColorInfo();

    unsigned char* m_pColorInfo;  // 40-byte header and the colour table, for 8 bits or fewer
    BITMAPINFOHEADER m_InfoHeader;
    BITMAPFILEHEADER m_FileHeader;
    int m_iColorCount;
    const unsigned char* m_pFilePixels = nullptr;  // plain pixels inside the data, when not copied
};
