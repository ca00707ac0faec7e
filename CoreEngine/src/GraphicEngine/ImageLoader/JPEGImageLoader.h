// Decoder for JPEG images held in memory: the bytes go to the platform's
// picture object through a memory stream; the picture's size (HIMETRIC) is
// converted to pixels at the display's logical resolution and the picture
// renders itself upright into a new surface. Uses no pixel buffer.
#pragma once

#include "GraphicEngine/ImageLoader/BaseImageLoader.h"

class CQNDXJPEGImageLoader : public CQNDXBaseImageLoader {
public:
    CQNDXJPEGImageLoader();
    ~CQNDXJPEGImageLoader() override;

    // A JFIF file: at least 10 bytes, bytes 0 and 2 are 0xFF and bytes 6 to 9
    // spell "JFIF" (Exif files are not recognised).
    int CanLoad(const unsigned char* head, int headLen, const unsigned char* tail, int tailLen) override;
    IDirectDrawSurface7* Load(IDirectDraw7* dd, unsigned int size, const unsigned char* data) override;

    // 1 when the data holds a whole JPEG stream, from the start-of-image
    // marker through its segments and entropy-coded scans to the end-of-image
    // marker; 0 when it stops short (a truncated file).
    static int IsComplete(unsigned int size, const unsigned char* data);
};
