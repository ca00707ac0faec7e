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
    if (size >= 26 && FuzzLe32(data + 14) == 12 && FuzzSkipsPicture(FuzzLe16(data + 18), FuzzLe16(data + 20)))
        return 0;
    if (size >= 26 && FuzzLe32(data + 14) >= 40 &&
        FuzzSkipsPicture((int32_t)FuzzLe32(data + 18), (int32_t)FuzzLe32(data + 22)))
        return 0;
    IDirectDraw7* dd = FuzzDirectDraw();
    CQNDXImageLoader front;
    front.DetectFormat((unsigned)size, data);
    CQNDXBMPImageLoader loader;
    IDirectDrawSurface7* surface = loader.Load(dd, (unsigned)size, data);
    if (surface) surface->Release();
    return 0;
}
