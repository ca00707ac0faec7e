// Decoder for PNG images held in memory, through libpng's reading side. Every
// colour type and bit depth is read as 8 bits per sample: grey into an 8-bit
// buffer with a grey colour table, palette images into an 8-bit buffer with
// the palette as its table (transparency ignored), RGB into 24-bit
// blue-green-red rows, images with alpha (RGBA, grey with alpha) into 32-bit
// rows whose fourth byte GDI ignores.
// Rows are laid out bottom-up. Ancillary chunks other than transparency
// change no pixel and are skipped unread. libpng's errors, a short read
// included, come back through its non-local jump and fail the load with an
// error line.
#pragma once

#include "GraphicEngine/ImageLoader/BaseImageLoader.h"

// libpng's own structure tags, so that this header needs no libpng include.
struct png_struct_def;
struct png_info_def;

class CQNDXPNGImageLoader : public CQNDXBaseImageLoader {
public:
    CQNDXPNGImageLoader();
    ~CQNDXPNGImageLoader() override;

    // The 8-byte PNG signature begins the head.
    int CanLoad(const unsigned char* head, int headLen, const unsigned char* tail, int tailLen) override;
    IDirectDrawSurface7* Load(IDirectDraw7* dd, unsigned int size, const unsigned char* data) override;

    // Reads the whole image into the pixel buffer without creating a surface;
    // 1, or 0 with an error line. Load runs it.
    int Decode(unsigned int size, const unsigned char* data);
    // 256 red, green, blue triplets: the colour table of 8-bit buffers.
    const unsigned char* GetPalette() const { return m_Palette; }

private:
    struct ReadState;
    // The libpng steps between the error return point and the end of the
    // image. Everything that must outlive a jump back lives in `state`.
    int __ReadWithLibpng(png_struct_def* png, png_info_def* info, ReadState* state);

    unsigned char m_Palette[768];
};
