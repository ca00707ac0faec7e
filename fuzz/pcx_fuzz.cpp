// Feeds arbitrary bytes to the PCX decoder (header, run-length scan lines,
// the palette at the end, drawing through StretchDIBits) and to the front
// end's detection.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "GraphicEngine/ImageLoader/ImageLoader.h"
#include "GraphicEngine/ImageLoader/PCXImageLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0xFFFFFFFFu) return 0;
    if (size >= 12 && FuzzSkipsPicture((int64_t)(int16_t)FuzzLe16(data + 8) - (int16_t)FuzzLe16(data + 4) + 1,
                                       (int64_t)(int16_t)FuzzLe16(data + 10) - (int16_t)FuzzLe16(data + 6) + 1))
        return 0;
    IDirectDraw7* dd = FuzzDirectDraw();
    CQNDXImageLoader front;
    front.DetectFormat((unsigned)size, data);
    CQNDXPCXImageLoader loader;
    IDirectDrawSurface7* surface = loader.Load(dd, (unsigned)size, data);
    if (surface) surface->Release();
    return 0;
}
