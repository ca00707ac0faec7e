// PNG decoder over libpng. The read callback serves bytes from the loader's
// memory block and never past its end: a request the data cannot fill is a
// libpng error at once, so no row is ever left partly unfilled. Libpng's
// error return point sits in one function that keeps nothing in local
// variables across the jump and holds no object with a destructor.
#include "GraphicEngine/ImageLoader/PNGImageLoader.h"

#include <cassert>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include <png.h>

namespace {

const char* const kWho = "CQNDXPNGImageLoader::Load";

// The memory reader handed to libpng as its io pointer; both pointers are
// null once the data has run out.
struct MemoryReader {
    const unsigned char* pos;
    const unsigned char* end;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
    MemoryReader* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    assert(reader && "reader");
    if (!reader) png_error(png, "no memory reader");
    if (!reader->pos || !reader->end) png_error(png, "read after the end of the data");
    const size_t left = (size_t)(reader->end - reader->pos);
    if (length > left) {
        if (left) std::memcpy(out, reader->pos, left);
        reader->pos = nullptr;
        reader->end = nullptr;
        png_error(png, "the data ends before the image does");
    }
    std::memcpy(out, reader->pos, length);
    reader->pos += length;
}

}  // namespace

struct CQNDXPNGImageLoader::ReadState {
    MemoryReader reader;
    png_bytep* rows;      // row table, released by the caller whatever happens
    int logged;           // 1 when the failure already has its error line
    char message[192];    // libpng's text for the failure
};

namespace {

void OnLibpngError(png_structp png, png_const_charp message) {
    void* state = png_get_error_ptr(png);
    if (state) {
        char* text = static_cast<char*>(state) + offsetof(MemoryReaderMessage, text);
        (void)text;
    }
    png_longjmp(png, 1);
}

}  // namespace
