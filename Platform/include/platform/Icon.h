// Icons and cursors as pictures: reading an icon's hot spot and bitmaps, and
// drawing it into a device context. The stock cursors come from LoadCursorA
// (platform/User.h); the arrow is a picture of this layer's own drawing.
#pragma once

#include "platform/Gdi.h"

// A cursor's or icon's hot spot and bitmaps. The mask bitmap is white where
// the picture leaves the destination alone and black where the colour
// bitmap is drawn; a picture without colour bitmap (hbmColor NULL) keeps
// both halves in a mask of twice the height, as monochrome icons do.
struct ICONINFO {
    BOOL fIcon;  // TRUE for an icon, FALSE for a cursor
    DWORD xHotspot;
    DWORD yHotspot;
    HBITMAP hbmMask;
    HBITMAP hbmColor;
};
typedef ICONINFO* PICONINFO;

// Fills *info with the hot spot and with new bitmaps the caller deletes with
// DeleteObject. FALSE for an unknown handle or a null info.
BOOL GetIconInfo(HICON icon, PICONINFO info);
// Draws the picture at its own size with its top-left corner at (x, y):
// each destination pixel is ANDed with the mask and XORed with the colour.
BOOL DrawIcon(HDC hdc, int x, int y, HICON icon);
// Stock pictures are never destroyed (TRUE, nothing done).
BOOL DestroyIcon(HICON icon);
BOOL DestroyCursor(HCURSOR cursor);
