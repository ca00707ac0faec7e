// Feeds arbitrary bytes to the JPEG decoder: the engine's loader (completeness
// check, memory stream, picture, render into a surface) and the picture
// object directly, whose partial pictures are then rendered stretched into a
// small surface.
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "FuzzSupport.h"
#include "GraphicEngine/ImageLoader/JPEGImageLoader.h"
#include "platform/Kernel.h"
#include "platform/OlePicture.h"

namespace {

void ThrowJpegError(j_common_ptr cinfo) { std::longjmp(*static_cast<std::jmp_buf*>(cinfo->client_data), 1); }

// The picture's size as libjpeg reads it from the frame header, the way the
// decoders behind both paths do; false when it finds none.
bool JpegSize(const uint8_t* data, size_t size, int64_t* width, int64_t* height) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    std::jmp_buf back;
    cinfo.err = jpeg_std_error(&err);
    err.error_exit = ThrowJpegError;
    err.emit_message = [](j_common_ptr, int) {};
    jpeg_create_decompress(&cinfo);
    cinfo.client_data = &back;
    bool found = false;
    if (setjmp(back) == 0) {
        jpeg_mem_src(&cinfo, data, (unsigned long)size);
        if (jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK) {
            *width = cinfo.image_width;
            *height = cinfo.image_height;
            found = true;
        }
    }
    jpeg_destroy_decompress(&cinfo);
    return found;
}

void RenderSmall(IDirectDraw7* dd, IPicture* picture) {
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = QNDX_DDSURFACEDESC2_TAG;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = 17;
    desc.dwHeight = 9;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    IDirectDrawSurface7* surface = nullptr;
    if (dd->CreateSurface(&desc, &surface, nullptr) != DD_OK) return;
    HDC dc = nullptr;
    if (surface->GetDC(&dc) == DD_OK) {
        OLE_XSIZE_HIMETRIC w = 0;
        OLE_YSIZE_HIMETRIC h = 0;
        picture->get_Width(&w);
        picture->get_Height(&h);
        picture->Render(dc, 0, 0, 17, 9, 0, h, w, -h, nullptr);
        picture->Render(dc, -3, 2, 40, -20, w / 3, h / 2, -w / 2, h, nullptr);
        surface->ReleaseDC(dc);
    }
    surface->Release();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > (1u << 24)) return 0;
    int64_t width = 0, height = 0;
    if (JpegSize(data, size, &width, &height) && FuzzSkipsPicture(width, height)) return 0;
    IDirectDraw7* dd = FuzzDirectDraw();
    {
        CQNDXJPEGImageLoader loader;
        IDirectDrawSurface7* surface = loader.Load(dd, (unsigned)size, data);
        if (surface) surface->Release();
    }
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) return 0;
    std::memcpy(GlobalLock(block), data, size);
    GlobalUnlock(block);
    IStream* stream = nullptr;
    if (CreateStreamOnHGlobal(block, TRUE, &stream) != S_OK) {
        GlobalFree(block);
        return 0;
    }
    IPicture* picture = nullptr;
    if (OleLoadPicture(stream, (LONG)size, FALSE, IID_IPicture, reinterpret_cast<void**>(&picture)) == S_OK) {
        RenderSmall(dd, picture);
        picture->Release();
    }
    stream->Release();
    return 0;
}
