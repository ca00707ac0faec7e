// PNG decoder over libpng. The read callback serves bytes from the loader's
// memory block and never past its end: a request the data cannot fill is a
// libpng error at once, so no row is ever left partly unfilled. Libpng's
// error return point sits in one function that keeps nothing in local
// variables across the jump and holds no object with a destructor.
#include "GraphicEngine/ImageLoader/PNGImageLoader.h"

#include <cassert>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <png.h>

namespace {

const char* const kWho = "CQNDXPNGImageLoader::Load";

// The most libpng may allocate for one chunk's data.
const png_alloc_size_t kMaxChunkBytes = 4u << 20;

// The memory reader handed to libpng as its io pointer; both pointers are
// null once the data has run out.
struct MemoryReader {
    const unsigned char* pos;
    const unsigned char* end;
};

// Where libpng's error text, its last warning and the largest block refused
// to it are kept for the error line.
struct ErrorText {
    char text[192];
    char warning[192];
    png_alloc_size_t refused;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
    MemoryReader* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    assert(reader);
    if (!reader) png_error(png, "no memory reader");
    if (!reader->pos || !reader->end) png_error(png, "read after the end of the data");
    const size_t left = (size_t)(reader->end - reader->pos);
    if (length > left) {
        if (left) std::memcpy(out, reader->pos, left);
        reader->pos = nullptr;
        reader->end = nullptr;
        png_error(png, "truncated: the data ends before the image does");
    }
    std::memcpy(out, reader->pos, length);
    reader->pos += length;
}

void OnLibpngError(png_structp png, png_const_charp message) {
    ErrorText* error = static_cast<ErrorText*>(png_get_error_ptr(png));
    if (error) {
        std::strncpy(error->text, message ? message : "unknown error", sizeof error->text - 1);
        error->text[sizeof error->text - 1] = '\0';
    }
    png_longjmp(png, 1);
}

// Warnings (unknown profiles, ignored ancillary chunks) do not stop a load;
// the last one is kept in case an error follows.
void OnLibpngWarning(png_structp png, png_const_charp message) {
    ErrorText* error = static_cast<ErrorText*>(png_get_error_ptr(png));
    if (error && message) {
        std::strncpy(error->warning, message, sizeof error->warning - 1);
        error->warning[sizeof error->warning - 1] = '\0';
    }
}

// Every block libpng asks for: none may pass the chunk limit, whatever
// length a chunk claims (libpng's own limit does not cover every chunk it
// reads whole). Rows, zlib's window and the tables are far smaller.
png_voidp AllocateForLibpng(png_structp png, png_alloc_size_t size) {
    if (size <= kMaxChunkBytes) return std::malloc(size);
    ErrorText* error = static_cast<ErrorText*>(png_get_mem_ptr(png));
    if (error && size > error->refused) error->refused = size;
    return nullptr;
}

void FreeForLibpng(png_structp, png_voidp block) { std::free(block); }

}  // namespace

struct CQNDXPNGImageLoader::ReadState {
    MemoryReader reader;
    unsigned int size;  // of the whole data
    png_bytep* rows;  // row table, released by the caller whatever happens
    int logged;       // 1 when the failure already has its error line
};

CQNDXPNGImageLoader::CQNDXPNGImageLoader() { std::memset(m_Palette, 0, sizeof m_Palette); }

CQNDXPNGImageLoader::~CQNDXPNGImageLoader() {}

int CQNDXPNGImageLoader::CanLoad(const unsigned char* head, int headLen, const unsigned char*, int) {
    if (!head || headLen < 8) return 0;
    return png_sig_cmp(const_cast<png_bytep>(head), 0, 8) == 0 ? 1 : 0;
}

int CQNDXPNGImageLoader::__ReadWithLibpng(png_struct_def* png, png_info_def* info, ReadState* state) {
    if (setjmp(png_jmpbuf(png))) return 0;

    png_set_read_fn(png, &state->reader, ReadFromMemory);
    // Sides past the engine's cap are refused before anything is allocated,
    // and no chunk (text, profile, unknown) may ask libpng for more than a
    // few MiB, whatever length it claims.
    png_set_user_limits(png, MAX_SIDE, MAX_SIDE);
    png_set_chunk_malloc_max(png, kMaxChunkBytes);
    // The pixels need the header, the palette, its transparency and the
    // image data, which libpng always handles. Every other chunk (text,
    // colour profiles, unknown ones) is skipped unread, checked only by its
    // CRC: libpng would otherwise inflate and keep each text chunk, so a
    // small file could cost gigabytes. Nothing is kept should one get by.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_chunk_cache_max(png, 1);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0, compression = 0, filter = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, &interlace, &compression, &filter);

    // Deflate packs at most 1032 bytes into one: a picture whose samples
    // could not fit in the data even so is cut short, and is refused before
    // its buffer is allocated.
    const uint64_t sampleBytes =
        (uint64_t)height * (((uint64_t)width * png_get_channels(png, info) * (uint64_t)bitDepth) / 8);
    if (!CheckSurfaceSize(width, height, kWho)) {
        state->logged = 1;
        return 0;
    }
    if (sampleBytes > (uint64_t)state->size * 1032u + 1024u) {
        LogLoadError("%s: truncated: %u bytes cannot hold a %u x %u image", kWho, state->size, (unsigned)width,
                     (unsigned)height);
        state->logged = 1;
        return 0;
    }

    if (bitDepth < 8) png_set_packing(png);
    if (bitDepth == 16) png_set_strip_16(png);
    png_set_bgr(png);

    int bpp = 0;
    switch (colourType) {
        case PNG_COLOR_TYPE_GRAY:
            bpp = 8;
            break;
        case PNG_COLOR_TYPE_RGB:
            bpp = 24;
            break;
        case PNG_COLOR_TYPE_PALETTE:
            // Indices, one a byte, drawn through the palette as the colour
            // table: GDI converts them in one pass. Transparency changes no
            // drawn pixel, so it stays unexpanded.
            bpp = 8;
            break;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            // Grey and alpha bytes would read as 5-5-5 colours: widen to BGRA.
            png_set_gray_to_rgb(png);
            bpp = 32;
            break;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            bpp = 32;
            break;
        default:
            LogLoadError("%s: colour type %d is not supported", kWho, colourType);
            state->logged = 1;
            return 0;
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    // libpng writes every row or fails the load: only interlaced pictures,
    // filled a pass at a time, get a cleared buffer.
    if (!Create((int)width, (int)height, (unsigned char)bpp, interlace != PNG_INTERLACE_NONE)) {
        state->logged = 1;
        return 0;
    }
    const unsigned int rowbytes = GetSizeInBytes() / (unsigned int)m_iHeight;
    assert(GetSizeInBytes() == rowbytes * m_iHeight);
    // The rows libpng will write must be exactly what the buffer was made for.
    if (png_get_bit_depth(png, info) != 8 || (int)png_get_channels(png, info) * 8 != bpp ||
        png_get_rowbytes(png, info) > rowbytes) {
        LogLoadError("%s: unexpected row layout after the transformations (%d channels, %d bits)", kWho,
                     (int)png_get_channels(png, info), (int)png_get_bit_depth(png, info));
        state->logged = 1;
        return 0;
    }

    state->rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * (size_t)m_iHeight));
    if (!state->rows) {
        LogLoadError("%s: out of memory for %d row pointers", kWho, m_iHeight);
        state->logged = 1;
        return 0;
    }
    // The first PNG row goes to the last buffer row: a bottom-up DIB.
    for (int i = 0; i < m_iHeight; ++i)
        state->rows[i] = m_pPixels + (size_t)rowbytes * (size_t)(m_iHeight - 1 - i);

    png_read_image(png, state->rows);
    png_read_end(png, info);

    png_colorp palette = nullptr;
    int count = 0;
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        // Indices past the palette draw black, as libpng's own expansion has them.
        std::memset(m_Palette, 0, sizeof m_Palette);
        if (png_get_PLTE(png, info, &palette, &count) && palette)
            for (int i = 0; i < count && i < 256; ++i) {
                m_Palette[3 * i] = palette[i].red;
                m_Palette[3 * i + 1] = palette[i].green;
                m_Palette[3 * i + 2] = palette[i].blue;
            }
        return 1;
    }
    for (int i = 0; i < 256; ++i) m_Palette[3 * i] = m_Palette[3 * i + 1] = m_Palette[3 * i + 2] = (unsigned char)i;
    // Samples below 8 bits are unpacked unscaled (0 to 3 for 2 bits): the
    // table spreads them over the full grey range.
    if (bitDepth < 8) {
        const int top = (1 << bitDepth) - 1;
        for (int i = 0; i <= top; ++i) {
            const unsigned char level = (unsigned char)(i * 255 / top);
            m_Palette[3 * i] = m_Palette[3 * i + 1] = m_Palette[3 * i + 2] = level;
        }
    }
    return 1;
}

int CQNDXPNGImageLoader::Decode(unsigned int size, const unsigned char* data) {
    FreePixels();
    SetTopDown(0);
    if (!data || size < 8 || png_sig_cmp(const_cast<png_bytep>(data), 0, 8) != 0) {
        LogLoadError("%s: unsupported format: not a PNG image (no signature in %u bytes)", kWho, data ? size : 0u);
        return 0;
    }
    ErrorText error;
    error.text[0] = '\0';
    error.warning[0] = '\0';
    error.refused = 0;
    png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &error, OnLibpngError, OnLibpngWarning,
                                               &error, AllocateForLibpng, FreeForLibpng);
    if (!png) {
        LogLoadError("%s: libpng could not create its read structure", kWho);
        return 0;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        LogLoadError("%s: libpng could not create its info structure", kWho);
        return 0;
    }

    ReadState state;
    state.reader.pos = data;
    state.reader.end = data + size;
    state.size = size;
    state.rows = nullptr;
    state.logged = 0;
    const int ok = __ReadWithLibpng(png, info, &state);

    std::free(state.rows);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) {
        if (!state.logged) {
            // libpng's own message, and what led to it: a block refused for
            // a chunk that claims too much, or the last warning.
            char context[320] = "";
            if (error.refused)
                std::snprintf(context, sizeof context, " (too large: a chunk asked for %llu bytes, at most %u MiB%s%s)",
                              (unsigned long long)error.refused, (unsigned)(kMaxChunkBytes >> 20),
                              error.warning[0] ? "; " : "", error.warning);
            else if (error.warning[0])
                std::snprintf(context, sizeof context, " (after the warning: %s)", error.warning);
            LogLoadError("%s: libpng: %s%s", kWho, error.text[0] ? error.text : "the image could not be read",
                         context);
        }
        FreePixels();
        return 0;
    }
    return 1;
}

IDirectDrawSurface7* CQNDXPNGImageLoader::Load(IDirectDraw7* dd, unsigned int size, const unsigned char* data) {
    SetSurfaceBits(SurfaceBitsOf(dd));
    if (!Decode(size, data)) return nullptr;
    return __FinishLoad(dd, m_BitsPerPixel == 8 ? m_Palette : nullptr);
}
