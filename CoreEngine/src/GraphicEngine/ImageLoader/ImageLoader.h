// Image loader front end: reads an image from a named file under the program's
// graphics directory, an open file object, a standard-library stream or a
// block of memory, picks the decoder by content (or takes the caller's type
// code) and returns a new system-memory surface in the display's format.
// Constructed per call on the caller's stack; keeps nothing between calls.
#pragma once

#include <cstdio>

struct IDirectDrawSurface7;
class CQNDXFile;

// Image type codes, shared with the surface (which keeps the code of its image).
enum {
    QNDX_IMAGE_UNKNOWN = 0,  // as input: detect by content
    QNDX_IMAGE_BMP = 1,
    QNDX_IMAGE_JPEG = 2,
    QNDX_IMAGE_PCX = 3,
    QNDX_IMAGE_TGA = 4,
    QNDX_IMAGE_PNG = 5,
};

class CQNDXImageLoader {
public:
    CQNDXImageLoader() = default;
    virtual ~CQNDXImageLoader() = default;

    // Every load returns the new surface (the caller owns the reference) or
    // null. `type` may be null; on entry a non-zero code names the decoder,
    // 0 asks for detection; on return it holds the code that was used.
    IDirectDrawSurface7* LoadFromBuffer(unsigned int size, const unsigned char* data, int* type);
    // A name with a backslash is used as given; a bare name is read from the
    // graphics directory under the program's directory.
    IDirectDrawSurface7* LoadFromFile(const char* name, int* type);
    // Reads `size` bytes (0: the whole file's size) from the current position;
    // the file object's position is left where it was.
    IDirectDrawSurface7* LoadFromFileObject(unsigned int size, CQNDXFile* file, int* type);
    // The same for a standard-library stream, which is left after the bytes read.
    IDirectDrawSurface7* LoadFromStream(unsigned int size, FILE* stream, int* type);
    // The image type code by content: PNG, BMP, JPEG, TGA, PCX asked in turn; 0 when none.
    int DetectFormat(unsigned int size, const unsigned char* data);
    IDirectDrawSurface7* LoadFromMemory(unsigned int size, const unsigned char* data, int* type);
    // 1 when the name holds a backslash, else 0.
    int HasPath(const char* name);
};
