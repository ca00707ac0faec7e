// Decoder for JPEG images held in memory: the bytes go to the platform's
// picture object through a memory stream; the picture's size (HIMETRIC) is
// converted to pixels at the display's logical resolution and the picture
// renders itself upright into a new surface. Uses no pixel buffer. The frame
// header is read first, so a picture whose surface could not be made is
// refused before the platform decodes anything; the platform's reason for a
// refused picture (truncated scans, sides, colour space) goes into the
// error line.
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

    // Follows the marker segments from the start-of-image marker to the
    // first frame header (SOF0 to SOF15 but DHT, JPG and DAC) and stores its
    // width and height; 1 when one lies wholly inside the data, else 0 (a
    // scan, the end marker or the end of the data came first).
    static int ReadFrameSize(unsigned int size, const unsigned char* data, int* width, int* height);
};
