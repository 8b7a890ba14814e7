// Copying a program's bitmap onto a window: no pixels move; the journal records which bitmap went where.
#include <string>

#include "gdi32_private.h"
#include "windows.h"
#include "xp/debug.h"
#include "xp/ui.h"

XP_DEBUG_CHANNEL(gdi32);

namespace {

using xp::gdi32::GdiObject;
using xp::gdi32::ObjectKind;

std::string Area(int x, int y, int width, int height) {
  return std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(width) + "x" + std::to_string(height);
}

BOOL Copy(const char* function, HDC dc, int x, int y, int width, int height, HDC source, int source_x,
          int source_y, int source_width, int source_height, DWORD rop) {
  if (rop != SRCCOPY) {
    XP_FIXME(function, "raster operation %#x is not implemented", rop);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  xp::ui::DialogView view;
  std::string what;
  {
    const std::unique_lock<std::mutex> lock = xp::gdi32::LockObjects();
    const GdiObject* target = xp::gdi32::Lookup(dc);
    const GdiObject* from = xp::gdi32::Lookup(source);
    if (target == nullptr || from == nullptr) return FALSE;
    const GdiObject* bitmap = from->kind == ObjectKind::kMemoryDc ? xp::gdi32::Lookup(from->selected) : nullptr;
    if (target->kind != ObjectKind::kWindowDc || bitmap == nullptr || bitmap->number == 0) {
      XP_FIXME(function, "only a program's bitmap copied onto a window is implemented");
      SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
      return FALSE;
    }
    view.id = target->window;
    what = "paint bitmap " + std::to_string(bitmap->number) + " " +
           Area(source_x, source_y, source_width, source_height) + " -> " + Area(x, y, width, height);
  }
  XP_TRACE(function, "dialog %s %s", view.id.c_str(), what.c_str());
  xp::ui::DialogNote(view, what);
  return TRUE;
}

}  // namespace

// Exported by gdi32.
extern "C" BOOL BitBlt(HDC dc, int x, int y, int width, int height, HDC source, int source_x, int source_y,
                       DWORD rop) {
  return Copy("BitBlt", dc, x, y, width, height, source, source_x, source_y, width, height, rop);
}

// Exported by gdi32.
extern "C" BOOL StretchBlt(HDC dc, int x, int y, int width, int height, HDC source, int source_x, int source_y,
                           int source_width, int source_height, DWORD rop) {
  return Copy("StretchBlt", dc, x, y, width, height, source, source_x, source_y, source_width, source_height, rop);
}
