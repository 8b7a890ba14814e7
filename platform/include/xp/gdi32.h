// What user32 and the tests see of gdi32 beyond its exports: the device context of a window being painted, the
// objects behind a program's bitmaps, and how many objects a process holds. Never included by system code.
#pragma once

#include <cstddef>
#include <string>

#include "wingdi.h"

namespace xp::gdi32 {

// A context for painting window `journal_name` ("102" for dialog 102), given back with ReleaseWindowDC.
HDC CreateWindowDC(std::string journal_name);
void ReleaseWindowDC(HDC dc);
// The object of bitmap resource `number`, `width` by `height` pixels; deleted by DeleteObject.
HBITMAP CreateResourceBitmap(int number, int width, int height);
// The contexts and bitmaps the process holds now (the stock bitmap not counted): a paint that frees what it made
// leaves the count where it was.
size_t LiveObjects();

}  // namespace xp::gdi32
