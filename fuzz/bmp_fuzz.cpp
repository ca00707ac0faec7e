// Feeds arbitrary bytes to the BMP decoder (headers, colour tables, plain and
// run-length pixel data, drawing through StretchDIBits) and to the front
// end's detection.
#include <cstddef>
#include <cstdint>

#include "GraphicEngine/ImageLoader/BMPImageLoader.h"
#include "GraphicEngine/ImageLoader/ImageLoader.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0xFFFFFFFFu) return 0;
    IDirectDraw7* dd = FuzzDirectDraw();
    CQNDXImageLoader front;
    front.DetectFormat((unsigned)size, data);
    CQNDXBMPImageLoader loader;
    IDirectDrawSurface7* surface = loader.Load(dd, (unsigned)size, data);
    if (surface) surface->Release();
    return 0;
}
