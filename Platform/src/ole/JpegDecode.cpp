// JPEG decoding on libjpeg-turbo with an error handler that returns through
// longjmp. The function that sets the jump point holds nothing with a
// destructor; the decoder state and the output live in its caller.
//
// The data comes through a source of our own: when the bytes run out it
// hands libjpeg an end marker without a warning, so reading ahead past the
// last scan (a file without its end marker) costs nothing, while scan data
// that really ends early shows as libjpeg's "premature end of data segment"
// warning, which refuses the picture. A progressive file may stop between two
// scans (encoders may leave coefficients or their low bits unsent): it shows
// what its scans hold, as libjpeg does.
#include "ole/JpegDecode.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

namespace qndx {
namespace platform {
namespace {

struct ErrorManager {
    jpeg_error_mgr pub;  // first, so libjpeg's pointer is ours
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    int warnings;
    bool readingScans;  // entropy data is being decoded: an early end refuses the picture
    bool readingRows;   // and rows are being put out
};

struct Source {
    jpeg_source_mgr pub;  // first, so libjpeg's pointer is ours
    bool ranOut;          // the data ended and a made-up end marker was handed out
};

const JOCTET kEndMarker[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr cinfo) {
    Source* src = reinterpret_cast<Source*>(cinfo->src);
    src->ranOut = true;
    src->pub.next_input_byte = kEndMarker;
    src->pub.bytes_in_buffer = sizeof kEndMarker;
    return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
    Source* src = reinterpret_cast<Source*>(cinfo->src);
    if (count <= 0) return;
    if ((unsigned long)count > src->pub.bytes_in_buffer) {
        FillInput(cinfo);
        return;
    }
    src->pub.next_input_byte += count;
    src->pub.bytes_in_buffer -= (size_t)count;
}

void TermSource(j_decompress_ptr) {}

void OnError(j_common_ptr cinfo) {
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    err->pub.format_message(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void OnMessage(j_common_ptr cinfo, int level) {
    // Warnings (level -1) are counted and the decode goes on, except an
    // entropy decoder that needs bits the data no longer has: rows from
    // there on would be made up. Trace messages are dropped.
    if (level >= 0) return;
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    err->warnings++;
    if (err->readingScans && err->pub.msg_code == JWRN_HIT_MARKER) {
        j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(cinfo);
        if (err->readingRows)
            std::snprintf(err->message, sizeof err->message, "truncated: the scan data ends before row %u of %u",
                          (unsigned)d->output_scanline + 1, (unsigned)d->output_height);
        else
            std::snprintf(err->message, sizeof err->message, "truncated: the scan data ends in scan %d",
                          d->input_scan_number);
        std::longjmp(err->jump, 1);
    }
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

// Huffman-coded scans spend at least one bit on every block's DC code and,
// in sequential files, one more on its AC codes; arithmetic coding can go
// below that, so it has no floor.
uint64_t LeastScanBytes(const jpeg_decompress_struct* cinfo) {
    if (cinfo->arith_code) return 0;
    uint64_t blocks = 0;
    for (int ci = 0; ci < cinfo->num_components; ++ci)
        blocks += (uint64_t)cinfo->comp_info[ci].width_in_blocks * cinfo->comp_info[ci].height_in_blocks;
    return (cinfo->progressive_mode ? blocks : 2 * blocks) / 8;
}

// Decodes into `rows` when given, else into out->pixels; with `headerOnly`
// stops once everything before the first scan has been checked.
bool DecodeGuarded(jpeg_decompress_struct* cinfo, ErrorManager* err, jpeg_progress_mgr* progress, Source* src,
                   const uint8_t* data, size_t size, const JpegRows* rows, bool headerOnly, DecodedPicture* out,
                   std::string* error) {
    if (setjmp(err->jump)) {
        // Whatever libjpeg tripped over after the data ran out, the file is cut.
        if (src->ranOut && std::strncmp(err->message, "truncated", 9) != 0) {
            char text[JMSG_LENGTH_MAX + 16];
            std::snprintf(text, sizeof text, "truncated: %s", err->message);
            SetError(error, text);
        } else {
            SetError(error, err->message);
        }
        return false;
    }
    jpeg_create_decompress(cinfo);  // clears every field but the error manager
    cinfo->progress = progress;
    cinfo->mem->max_memory_to_use = kMaxDecoderMemory;
    src->pub.init_source = InitSource;
    src->pub.fill_input_buffer = FillInput;
    src->pub.skip_input_data = SkipInput;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = TermSource;
    src->pub.next_input_byte = data;
    src->pub.bytes_in_buffer = size;
    src->ranOut = false;
    cinfo->src = &src->pub;
    jpeg_read_header(cinfo, TRUE);

    if (cinfo->image_width == 0 || cinfo->image_height == 0 || cinfo->image_width > (JDIMENSION)kMaxPictureSide ||
        cinfo->image_height > (JDIMENSION)kMaxPictureSide) {
        char text[96];
        std::snprintf(text, sizeof text, "too large or empty: picture side outside 1 to %d (%u x %u)",
                      kMaxPictureSide, (unsigned)cinfo->image_width, (unsigned)cinfo->image_height);
        SetError(error, text);
        return false;
    }
    const uint64_t stride = ((uint64_t)cinfo->image_width * 3 + 3) & ~(uint64_t)3;
    if (stride * cinfo->image_height > kMaxPictureBytes) {
        char text[96];
        std::snprintf(text, sizeof text, "too large: a %u x %u picture is larger than 256 MiB",
                      (unsigned)cinfo->image_width, (unsigned)cinfo->image_height);
        SetError(error, text);
        return false;
    }
    switch (cinfo->jpeg_color_space) {
        case JCS_GRAYSCALE:
        case JCS_YCbCr:
        case JCS_RGB:
            break;
        default:
            SetError(error, "unsupported format: colour space not supported (CMYK or unknown)");
            return false;
    }
    // A few bytes claiming a huge picture are refused before its rows exist.
    const uint64_t least = LeastScanBytes(cinfo);
    if (src->pub.bytes_in_buffer < least) {
        char text[128];
        std::snprintf(text, sizeof text, "truncated: %lu bytes of scan data cannot hold a %u x %u picture",
                      (unsigned long)src->pub.bytes_in_buffer, (unsigned)cinfo->image_width,
                      (unsigned)cinfo->image_height);
        SetError(error, text);
        return false;
    }
    out->width = (int)cinfo->image_width;
    out->height = (int)cinfo->image_height;
    if (headerOnly) return true;
    const JpegRows::Layout layout = rows ? rows->layout : JpegRows::Bgr24;
    cinfo->out_color_space = layout == JpegRows::Bgrx32   ? JCS_EXT_BGRX
                             : layout == JpegRows::Rgb565 ? JCS_RGB565
                                                          : JCS_EXT_BGR;
    cinfo->dither_mode = JDITHER_NONE;  // 5-6-5 keeps each channel's top bits

    err->readingScans = true;
    jpeg_start_decompress(cinfo);  // reads every scan of a progressive file
    if (cinfo->output_width != cinfo->image_width || cinfo->output_height != cinfo->image_height ||
        cinfo->output_components != (layout == JpegRows::Bgrx32 ? 4 : 3)) {
        SetError(error, "unexpected output layout");
        return false;
    }
    uint8_t* bits = rows ? rows->bits : nullptr;
    ptrdiff_t pitch = rows ? rows->pitch : (ptrdiff_t)stride;
    if (!rows) {
        try {
            // Zeroed, so rows a broken decode never reaches stay black.
            out->pixels.assign((size_t)(stride * cinfo->output_height), 0);
        } catch (const std::bad_alloc&) {
            SetError(error, "out of memory");
            return false;
        }
        out->stride = (int)stride;
        bits = out->pixels.data();
    }
    // libjpeg-turbo streams rows that start on its vector size (16 or 32
    // bytes) past the cache, so rows still to be converted go through a
    // scratch row 8 bytes off both: they are read back from the cache, not
    // from memory.
    uint8_t* scratch = nullptr;
    if (rows && rows->finish) {
        const size_t bytes = (size_t)cinfo->output_width * (size_t)cinfo->output_components;
        scratch = static_cast<uint8_t*>((*cinfo->mem->alloc_large)(reinterpret_cast<j_common_ptr>(cinfo),
                                                                     JPOOL_IMAGE, bytes + 64));
        scratch += 40 - (reinterpret_cast<uintptr_t>(scratch) & 31);
    }
    err->readingRows = true;
    while (cinfo->output_scanline < cinfo->output_height) {
        uint8_t* out = bits + (ptrdiff_t)cinfo->output_scanline * pitch;
        JSAMPROW row = scratch ? scratch : out;
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1) break;
        if (scratch) rows->finish(out, scratch, (int)cinfo->output_width);
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

namespace {

bool Decode(const uint8_t* data, size_t size, const JpegRows* rows, bool headerOnly, DecodedPicture* out,
            std::string* error) {
    if (!out) return false;
    *out = DecodedPicture();
    if (!LooksLikeJpeg(data, size)) {
        SetError(error, "unsupported format: not JPEG data");
        return false;
    }
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    jpeg_progress_mgr progress;
    Source src;
    std::memset(&cinfo, 0, sizeof cinfo);
    std::memset(&err, 0, sizeof err);
    std::memset(&progress, 0, sizeof progress);
    std::memset(&src, 0, sizeof src);
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    progress.progress_monitor = OnProgress;

    bool ok = DecodeGuarded(&cinfo, &err, &progress, &src, data, size, rows, headerOnly, out, error);
    jpeg_destroy_decompress(&cinfo);
    if (!ok) *out = DecodedPicture();
    return ok;
}

}  // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, DecodedPicture* out, std::string* error) {
    return Decode(data, size, nullptr, false, out, error);
}

bool CheckJpeg(const uint8_t* data, size_t size, DecodedPicture* out, std::string* error) {
    return Decode(data, size, nullptr, true, out, error);
}

bool DecodeJpegRows(const uint8_t* data, size_t size, const JpegRows& rows, DecodedPicture* out, std::string* error) {
    return Decode(data, size, &rows, false, out, error);
}

}  // namespace platform
}  // namespace qndx
