// Feeds arbitrary bytes to the TGA decoder (header, image ID, colour map,
// raw rows and run-length packets, drawing through StretchDIBits) and to the
// front end's detection.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "GraphicEngine/ImageLoader/ImageLoader.h"
#include "GraphicEngine/ImageLoader/TGAImageLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0xFFFFFFFFu) return 0;
    if (size >= 16 && FuzzSkipsPicture(FuzzLe16(data + 12), FuzzLe16(data + 14))) return 0;
    IDirectDraw7* dd = FuzzDirectDraw();
    CQNDXImageLoader front;
    front.DetectFormat((unsigned)size, data);
    CQNDXTGAImageLoader loader;
    IDirectDrawSurface7* surface = loader.Load(dd, (unsigned)size, data);
    if (surface) surface->Release();
    return 0;
}
