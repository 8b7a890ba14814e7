// GDI as the system's dialogs paint with it: a program's bitmap (LoadBitmapA, winuser.h) selected into a memory
// device context and copied onto a window's (BeginPaint). Pixels are not kept: each copy onto a window goes to the
// machine's journal as "dialog <id> paint bitmap <number> <x>,<y> <w>x<h> -> <x>,<y> <w>x<h>" (source, then
// destination).
#pragma once

#include "windef.h"

extern "C" {

typedef struct tagBITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
} BITMAP, *LPBITMAP;

// The one raster operation implemented: a plain copy. Others fail with ERROR_CALL_NOT_IMPLEMENTED.
#define SRCCOPY 0x00CC0020u

// A memory device context, holding the stock 1 by 1 bitmap until the program selects its own. Only a memory
// context may be made (`reference` NULL or a window's context) and deleted (a window's context goes back with
// EndPaint); DeleteDC drops the selection, so the bitmap may then be deleted.
HDC CreateCompatibleDC(HDC reference);
BOOL DeleteDC(HDC dc);
// Selects a bitmap into a memory context and returns the one it replaces; NULL for a window's context, a bitmap
// selected into another context, or any other kind of object (ERROR_CALL_NOT_IMPLEMENTED).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// FALSE for a bitmap still selected into a context, or a stale handle; the stock bitmap is never deleted.
BOOL DeleteObject(HGDIOBJ object);
// A bitmap's BITMAP (its size; no bits): the bytes copied, 0 for a buffer too small or another kind of object.
int GetObjectA(HGDIOBJ object, int size, LPVOID buffer);

// Copies from a memory context holding a program's bitmap onto a window's context, unscaled (BitBlt) or stretched
// from the source rectangle to the destination one (StretchBlt). Other sources and destinations fail with
// ERROR_CALL_NOT_IMPLEMENTED.
BOOL BitBlt(HDC dc, int x, int y, int width, int height, HDC source, int source_x, int source_y, DWORD rop);
BOOL StretchBlt(HDC dc, int x, int y, int width, int height, HDC source, int source_x, int source_y,
                int source_width, int source_height, DWORD rop);

}  // extern "C"
