// GDI subset: device contexts (screen, memory, surface), bitmaps and their
// loading, pixel access and stretching copies, DIB drawing, stock objects,
// fonts and text, and the device capabilities the engine asks for.
//
// Device contexts of DirectDraw surfaces come from IDirectDrawSurface7::GetDC
// (platform/DirectDraw.h). Colours are COLORREF 0x00BBGGRR. Bitmaps made by
// this layer (LoadImageA) are 32 bits per pixel, rows top-down.
#pragma once

#include "platform/Types.h"

// ---------------------------------------------------------------------------
// Records.

struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};
typedef PALETTEENTRY* LPPALETTEENTRY;
static_assert(sizeof(PALETTEENTRY) == 4, "PALETTEENTRY is 4 bytes");

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};
static_assert(sizeof(RGBQUAD) == 4, "RGBQUAD is 4 bytes");

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;  // positive: rows bottom-up; negative: top-down
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
typedef BITMAPINFOHEADER* LPBITMAPINFOHEADER;
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");

#pragma pack(push, 2)
struct BITMAPFILEHEADER {
    WORD bfType;  // "BM"
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14, "BITMAPFILEHEADER is 14 bytes");

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};
typedef BITMAPINFO* LPBITMAPINFO;

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
};
typedef BITMAP* LPBITMAP;

#define LF_FACESIZE 32
struct LOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    CHAR lfFaceName[LF_FACESIZE];
};
typedef LOGFONTA* LPLOGFONTA;

// ---------------------------------------------------------------------------
// Constants.

#define CLR_INVALID 0xFFFFFFFF
#define GDI_ERROR (-1)
#define HGDI_ERROR ((HGDIOBJ)(intptr_t)-1)

// Compression of DIBs.
#define BI_RGB 0
#define BI_RLE8 1
#define BI_RLE4 2
#define BI_BITFIELDS 3

#define DIB_RGB_COLORS 0
#define DIB_PAL_COLORS 1

// Raster operations (StretchBlt and BitBlt copy with SRCCOPY only).
#define SRCCOPY 0x00CC0020
#define SRCPAINT 0x00EE0086
#define SRCAND 0x008800C6
#define SRCINVERT 0x00660046
#define PATCOPY 0x00F00021
#define BLACKNESS 0x00000042
#define WHITENESS 0x00FF0062

// GetDeviceCaps indexes.
#define DRIVERVERSION 0
#define TECHNOLOGY 2
#define HORZSIZE 4
#define VERTSIZE 6
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define NUMCOLORS 24
#define RASTERCAPS 38
#define LOGPIXELSX 88
#define LOGPIXELSY 90
#define SIZEPALETTE 104
#define VREFRESH 116
#define DT_RASDISPLAY 1  // TECHNOLOGY answer

// GetStockObject.
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define OEM_FIXED_FONT 10
#define ANSI_FIXED_FONT 11
#define ANSI_VAR_FONT 12
#define SYSTEM_FONT 13
#define DEVICE_DEFAULT_FONT 14
#define DEFAULT_PALETTE 15
#define SYSTEM_FIXED_FONT 16
#define DEFAULT_GUI_FONT 17

// LoadImageA.
#define IMAGE_BITMAP 0
#define IMAGE_ICON 1
#define IMAGE_CURSOR 2
#define LR_DEFAULTCOLOR 0x00000000
#define LR_MONOCHROME 0x00000001
#define LR_LOADFROMFILE 0x00000010
#define LR_LOADTRANSPARENT 0x00000020
#define LR_DEFAULTSIZE 0x00000040
#define LR_CREATEDIBSECTION 0x00002000
#define LR_SHARED 0x00008000

// Text: background modes.
#define TRANSPARENT 1
#define OPAQUE 2

// DrawTextA formats.
#define DT_TOP 0x00000000
#define DT_LEFT 0x00000000
#define DT_CENTER 0x00000001
#define DT_RIGHT 0x00000002
#define DT_VCENTER 0x00000004
#define DT_BOTTOM 0x00000008
#define DT_WORDBREAK 0x00000010
#define DT_SINGLELINE 0x00000020
#define DT_EXPANDTABS 0x00000040
#define DT_NOCLIP 0x00000100
#define DT_CALCRECT 0x00000400
#define DT_NOPREFIX 0x00000800

// Font weights.
#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_EXTRALIGHT 200
#define FW_LIGHT 300
#define FW_NORMAL 400
#define FW_MEDIUM 500
#define FW_SEMIBOLD 600
#define FW_BOLD 700
#define FW_EXTRABOLD 800
#define FW_HEAVY 900

// Character sets.
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SYMBOL_CHARSET 2
#define OEM_CHARSET 255

// Output and clipping precision.
#define OUT_DEFAULT_PRECIS 0
#define OUT_STRING_PRECIS 1
#define OUT_CHARACTER_PRECIS 2
#define OUT_STROKE_PRECIS 3
#define OUT_TT_PRECIS 4
#define OUT_DEVICE_PRECIS 5
#define OUT_RASTER_PRECIS 6
#define OUT_TT_ONLY_PRECIS 7
#define CLIP_DEFAULT_PRECIS 0
#define CLIP_CHARACTER_PRECIS 1
#define CLIP_STROKE_PRECIS 2

// Quality.
#define DEFAULT_QUALITY 0
#define DRAFT_QUALITY 1
#define PROOF_QUALITY 2
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4
#define CLEARTYPE_QUALITY 5

// Pitch and family.
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0x00
#define FF_ROMAN 0x10
#define FF_SWISS 0x20
#define FF_MODERN 0x30
#define FF_SCRIPT 0x40
#define FF_DECORATIVE 0x50

// ---------------------------------------------------------------------------
// Device contexts.

// hWnd NULL: the screen (GetDeviceCaps answers for the desktop; it has no
// pixels to read or write). A window's DC likewise carries no pixels.
HDC GetDC(HWND hWnd);
int ReleaseDC(HWND hWnd, HDC hDC);
// A memory DC with a 1x1 placeholder bitmap selected; select a bitmap to
// draw into it or copy from it.
HDC CreateCompatibleDC(HDC hdc);
// An information context for the display ("DISPLAY", "Display").
HDC CreateICA(LPCSTR pszDriver, LPCSTR pszDevice, LPCSTR pszPort, const void* pdm);
BOOL DeleteDC(HDC hdc);
// HORZRES, VERTRES (the display), BITSPIXEL (the display's, or the target's
// for surface and memory DCs; both 16-bit layouts answer 16), PLANES 1,
// LOGPIXELSX/LOGPIXELSY 96, VREFRESH, TECHNOLOGY, HORZSIZE/VERTSIZE in mm,
// NUMCOLORS, SIZEPALETTE; 0 otherwise.
int GetDeviceCaps(HDC hdc, int index);

// ---------------------------------------------------------------------------
// Objects.
HGDIOBJ GetStockObject(int i);
// Returns the object of the same kind that was selected before (NULL on
// failure). A bitmap can be selected into one memory DC at a time.
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h);
// Stock objects are never deleted (TRUE); an object selected into a DC is
// not deleted (FALSE).
BOOL DeleteObject(HGDIOBJ ho);
// Bitmaps fill a BITMAP, fonts a LOGFONTA. pv NULL returns the size needed.
int GetObjectA(HANDLE h, int c, LPVOID pv);
HBRUSH CreateSolidBrush(COLORREF color);

// Bitmaps: IMAGE_BITMAP from a BMP file (LR_LOADFROMFILE, name is a path) or
// from an RT_BITMAP resource of hInst. cx, cy of 0 keep the picture's size,
// others stretch it. NULL when the file or resource is missing, truncated or
// malformed.
HANDLE LoadImageA(HINSTANCE hInst, LPCSTR name, UINT type, int cx, int cy, UINT fuLoad);

// ---------------------------------------------------------------------------
// Pixels and copies.

// CLR_INVALID outside the target or on a DC without pixels. 15/16-bit
// channels read back with their top bits repeated into the low bits.
COLORREF GetPixel(HDC hdc, int x, int y);
// Returns the colour actually stored (channels cut to the target's precision)
// or CLR_INVALID (nothing written).
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);
// Nearest-neighbour stretch with format conversion; negative sizes mirror.
// Pixels outside either target are skipped. SRCCOPY only.
BOOL StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc, int ySrc,
                int wSrc, int hSrc, DWORD rop);
BOOL BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop);
// Draws a DIB (1, 4, 8, 16, 24, 32 bits) into the DC's target.
int StretchDIBits(HDC hdc, int xDest, int yDest, int DestWidth, int DestHeight, int xSrc, int ySrc, int SrcWidth,
                  int SrcHeight, const VOID* lpBits, const BITMAPINFO* lpbmi, UINT iUsage, DWORD rop);

// ---------------------------------------------------------------------------
// Fonts and text.

// Adds a font file for this process; returns the number of fonts added (0
// on failure).
int AddFontResourceA(LPCSTR lpFileName);
BOOL RemoveFontResourceA(LPCSTR lpFileName);
HFONT CreateFontA(int cHeight, int cWidth, int cEscapement, int cOrientation, int cWeight, DWORD bItalic,
                  DWORD bUnderline, DWORD bStrikeOut, DWORD iCharSet, DWORD iOutPrecision, DWORD iClipPrecision,
                  DWORD iQuality, DWORD iPitchAndFamily, LPCSTR pszFaceName);
// Previous value on success, 0 / CLR_INVALID on failure.
int SetBkMode(HDC hdc, int mode);
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF SetTextColor(HDC hdc, COLORREF color);
BOOL TextOutA(HDC hdc, int x, int y, LPCSTR lpString, int c);
// Returns the height of the drawn text (0 on failure).
int DrawTextA(HDC hdc, LPCSTR lpchText, int cchText, LPRECT lprc, UINT format);
BOOL GetTextExtentPoint32A(HDC hdc, LPCSTR lpString, int c, LPSIZE psizl);
