// Declarations shared inside gdi32, grouped by the file that defines them.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "wingdi.h"

namespace xp::gdi32 {

enum class ObjectKind { kWindowDc, kMemoryDc, kBitmap };

// A device context or a bitmap. Contexts keep their selected bitmap; bitmaps the context they are selected into.
struct GdiObject {
  ObjectKind kind = ObjectKind::kBitmap;
  std::string window;          // a window's context: the window's name in the journal
  HGDIOBJ selected = nullptr;  // a memory context's bitmap
  int number = 0;              // a bitmap's resource number; 0 for the stock bitmap
  int width = 0;
  int height = 0;
  HDC selected_into = nullptr;  // a bitmap's context
};

// gdi_objects.cc: the process's objects, under one lock. Lookup sets ERROR_INVALID_HANDLE for a handle that is
// not (or no longer) one of them.
std::unique_lock<std::mutex> LockObjects();
GdiObject* Lookup(HGDIOBJ handle);

}  // namespace xp::gdi32
