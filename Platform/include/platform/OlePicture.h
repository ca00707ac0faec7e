// Memory streams over global memory blocks and the picture object that the
// JPEG loader hands its bytes to. Pictures decode JPEG only (JFIF or any
// other baseline/progressive JPEG); anything else fails to load. A picture
// reports its size in HIMETRIC units (hundredths of a millimetre) at the
// display's logical resolution and renders itself into a device context.
#pragma once

#include "platform/Com.h"
#include "platform/Types.h"

union ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    } u;
    ULONGLONG QuadPart;
};

typedef LONG OLE_XPOS_HIMETRIC;
typedef LONG OLE_YPOS_HIMETRIC;
typedef LONG OLE_XSIZE_HIMETRIC;
typedef LONG OLE_YSIZE_HIMETRIC;

// Seek origins of IStream::Seek.
#define STREAM_SEEK_SET 0
#define STREAM_SEEK_CUR 1
#define STREAM_SEEK_END 2

// Picture types reported by IPicture::get_Type.
#define PICTYPE_UNINITIALIZED (-1)
#define PICTYPE_NONE 0
#define PICTYPE_BITMAP 1

#define STG_E_INVALIDFUNCTION ((HRESULT)0x80030001)
#define STG_E_INVALIDPOINTER ((HRESULT)0x80030009)
#define STG_E_MEDIUMFULL ((HRESULT)0x80030070)
#define STG_E_READFAULT ((HRESULT)0x8003001E)
#define STG_E_REVERTED ((HRESULT)0x80030102)
// The data is not a picture this layer can decode (or is damaged beyond use).
#define CTL_E_INVALIDPICTURE ((HRESULT)0x800A01E1)

struct ISequentialStream : IUnknown {
    // Copies up to cb bytes from the current position; S_FALSE when fewer came.
    virtual HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;
    // Writes at the current position, growing the stream as needed.
    virtual HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;
};

struct IStream : ISequentialStream {
    virtual HRESULT Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) = 0;
    virtual HRESULT SetSize(ULARGE_INTEGER libNewSize) = 0;
};
typedef IStream* LPSTREAM;

struct IPicture : IUnknown {
    virtual HRESULT get_Type(SHORT* pType) = 0;
    virtual HRESULT get_Width(OLE_XSIZE_HIMETRIC* pWidth) = 0;
    virtual HRESULT get_Height(OLE_YSIZE_HIMETRIC* pHeight) = 0;
    // Draws the source rectangle of the picture (HIMETRIC, y counted upward
    // from the picture's bottom edge, so (0, height, width, -height) is the
    // whole picture upright) stretched onto the destination rectangle (pixels).
    // Extents of opposite signs mirror. pRcWBounds is only for metafiles.
    virtual HRESULT Render(HDC hdc, LONG x, LONG y, LONG cx, LONG cy, OLE_XPOS_HIMETRIC xSrc,
                           OLE_YPOS_HIMETRIC ySrc, OLE_XSIZE_HIMETRIC cxSrc, OLE_YSIZE_HIMETRIC cySrc,
                           LPCRECT pRcWBounds) = 0;
};
typedef IPicture* LPPICTURE;

extern const IID IID_ISequentialStream;
extern const IID IID_IStream;
extern const IID IID_IPicture;

// A stream over the block hGlobal (NULL: a new empty block). With
// fDeleteOnRelease the stream owns the block and frees it on its final release.
HRESULT CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, LPSTREAM* ppstm);
// The stream's block (which stays valid while the stream lives).
HRESULT GetHGlobalFromStream(LPSTREAM pstm, HGLOBAL* phglobal);

// Reads lSize bytes (0 or more than remain: up to the end) from the stream's
// current position and decodes them. riid IID_IPicture or IID_IUnknown.
// CTL_E_INVALIDPICTURE when the bytes are not a JPEG this layer can decode.
HRESULT OleLoadPicture(LPSTREAM lpstream, LONG lSize, BOOL fRunmode, REFIID riid, LPVOID* lplpvObj);
