// JPEG decoding on libjpeg-turbo with an error handler that returns through
// longjmp. The function that sets the jump point holds nothing with a
// destructor; the decoder state and the output live in its caller.
#include "ole/JpegDecode.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <jpeglib.h>

namespace qndx {
namespace platform {
namespace {

struct ErrorManager {
    jpeg_error_mgr pub;  // first, so libjpeg's pointer is ours
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    int warnings;
};

void OnError(j_common_ptr cinfo) {
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    err->pub.format_message(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void OnMessage(j_common_ptr cinfo, int level) {
    // Warnings (level -1: premature end, corrupt entropy data) are counted and
    // the decode goes on; trace messages are dropped.
    if (level < 0) reinterpret_cast<ErrorManager*>(cinfo->err)->warnings++;
}

void OnProgress(j_common_ptr cinfo) {
    j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxProgressiveScans) {
        ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
        std::snprintf(err->message, sizeof err->message, "more than %d scans", kMaxProgressiveScans);
        std::longjmp(err->jump, 1);
    }
}

void SetError(std::string* error, const char* text) {
    if (error) *error = text;
}

bool DecodeGuarded(jpeg_decompress_struct* cinfo, ErrorManager* err, jpeg_progress_mgr* progress,
                   const uint8_t* data, size_t size, DecodedPicture* out, std::string* error) {
    if (setjmp(err->jump)) {
        SetError(error, err->message);
        return false;
    }
    jpeg_create_decompress(cinfo);  // clears every field but the error manager
    cinfo->progress = progress;
    cinfo->mem->max_memory_to_use = kMaxDecoderMemory;
    jpeg_mem_src(cinfo, data, (unsigned long)size);
    jpeg_read_header(cinfo, TRUE);

    if (cinfo->image_width == 0 || cinfo->image_height == 0 || cinfo->image_width > (JDIMENSION)kMaxPictureSide ||
        cinfo->image_height > (JDIMENSION)kMaxPictureSide) {
        SetError(error, "picture side outside 1 to 16384");
        return false;
    }
    const uint64_t stride = ((uint64_t)cinfo->image_width * 3 + 3) & ~(uint64_t)3;
    if (stride * cinfo->image_height > kMaxPictureBytes) {
        SetError(error, "picture larger than 256 MiB");
        return false;
    }
    switch (cinfo->jpeg_color_space) {
        case JCS_GRAYSCALE:
        case JCS_YCbCr:
        case JCS_RGB:
            break;
        default:
            SetError(error, "colour space not supported (CMYK or unknown)");
            return false;
    }
    cinfo->out_color_space = JCS_EXT_BGR;

    jpeg_start_decompress(cinfo);
    if (cinfo->output_width != cinfo->image_width || cinfo->output_height != cinfo->image_height ||
        cinfo->output_components != 3) {
        SetError(error, "unexpected output layout");
        return false;
    }
    try {
        // Zeroed, so rows a broken decode never reaches stay black.
        out->pixels.assign((size_t)(stride * cinfo->output_height), 0);
    } catch (const std::bad_alloc&) {
        SetError(error, "out of memory");
        return false;
    }
    out->width = (int)cinfo->output_width;
    out->height = (int)cinfo->output_height;
    out->stride = (int)stride;
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = out->pixels.data() + (size_t)cinfo->output_scanline * stride;
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1) break;
    }
    // No jpeg_finish_decompress: whatever follows the last row (trailing
    // bytes, a missing end marker) does not change the picture.
    out->warnings = err->warnings;
    return true;
}

}  // namespace

bool LooksLikeJpeg(const uint8_t* data, size_t size) {
    return data && size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

bool DecodeJpeg(const uint8_t* data, size_t size, DecodedPicture* out, std::string* error) {
    if (!out) return false;
    *out = DecodedPicture();
    if (!LooksLikeJpeg(data, size)) {
        SetError(error, "not JPEG data");
        return false;
    }
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    jpeg_progress_mgr progress;
    std::memset(&cinfo, 0, sizeof cinfo);
    std::memset(&err, 0, sizeof err);
    std::memset(&progress, 0, sizeof progress);
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    progress.progress_monitor = OnProgress;

    bool ok = DecodeGuarded(&cinfo, &err, &progress, data, size, out, error);
    jpeg_destroy_decompress(&cinfo);
    if (!ok) *out = DecodedPicture();
    return ok;
}

}  // namespace platform
}  // namespace qndx
