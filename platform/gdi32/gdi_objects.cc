// The process's GDI objects: device contexts and bitmaps by handle, selection, deletion and GetObjectA. Handles
// count up and are never reused, so a stale handle stays stale.
#include <cstring>
#include <map>

#include "gdi32_private.h"
#include "windows.h"
#include "xp/debug.h"
#include "xp/gdi32.h"

XP_DEBUG_CHANNEL(gdi32);

namespace xp::gdi32 {
namespace {

struct Objects {
  std::mutex mutex;
  std::map<uintptr_t, GdiObject> by_handle;
  uintptr_t next = 0x10000;
  HGDIOBJ stock_bitmap = nullptr;
};

Objects& Table() {
  static Objects* const objects = new Objects;
  return *objects;
}

// Call with the lock held.
HGDIOBJ Add(Objects& objects, GdiObject object) {
  const uintptr_t handle = objects.next;
  objects.next += 4;
  objects.by_handle.emplace(handle, std::move(object));
  return reinterpret_cast<HGDIOBJ>(handle);
}

HGDIOBJ StockBitmap(Objects& objects) {
  if (objects.stock_bitmap == nullptr) objects.stock_bitmap = Add(objects, {ObjectKind::kBitmap, "", nullptr, 0, 1, 1});
  return objects.stock_bitmap;
}

// Drops a context, and with it its bitmap's selection; call with the lock held.
void RemoveDc(Objects& objects, HDC dc) {
  const auto found = objects.by_handle.find(reinterpret_cast<uintptr_t>(dc));
  const HGDIOBJ selected = found->second.selected;
  if (GdiObject* bitmap = selected != nullptr ? Lookup(selected) : nullptr) bitmap->selected_into = nullptr;
  objects.by_handle.erase(found);
}

}  // namespace

std::unique_lock<std::mutex> LockObjects() { return std::unique_lock<std::mutex>(Table().mutex); }

GdiObject* Lookup(HGDIOBJ handle) {
  Objects& objects = Table();
  const auto found = objects.by_handle.find(reinterpret_cast<uintptr_t>(handle));
  if (found == objects.by_handle.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return &found->second;
}

HDC CreateWindowDC(std::string journal_name) {
  const std::unique_lock<std::mutex> lock = LockObjects();
  return Add(Table(), {ObjectKind::kWindowDc, std::move(journal_name)});
}

void ReleaseWindowDC(HDC dc) {
  const std::unique_lock<std::mutex> lock = LockObjects();
  const GdiObject* object = Lookup(dc);
  if (object != nullptr && object->kind == ObjectKind::kWindowDc) RemoveDc(Table(), dc);
}

HBITMAP CreateResourceBitmap(int number, int width, int height) {
  const std::unique_lock<std::mutex> lock = LockObjects();
  return Add(Table(), {ObjectKind::kBitmap, "", nullptr, number, width, height});
}

size_t LiveObjects() {
  const std::unique_lock<std::mutex> lock = LockObjects();
  const Objects& objects = Table();
  return objects.by_handle.size() - (objects.stock_bitmap != nullptr ? 1 : 0);
}

}  // namespace xp::gdi32

using xp::gdi32::GdiObject;
using xp::gdi32::ObjectKind;

// Exported by gdi32.
extern "C" HDC CreateCompatibleDC(HDC reference) {
  const std::unique_lock<std::mutex> lock = xp::gdi32::LockObjects();
  if (reference != nullptr && xp::gdi32::Lookup(reference) == nullptr) return nullptr;
  xp::gdi32::Objects& objects = xp::gdi32::Table();
  const HGDIOBJ stock = xp::gdi32::StockBitmap(objects);
  return xp::gdi32::Add(objects, {ObjectKind::kMemoryDc, "", stock});
}

// Exported by gdi32.
extern "C" BOOL DeleteDC(HDC dc) {
  const std::unique_lock<std::mutex> lock = xp::gdi32::LockObjects();
  const GdiObject* object = xp::gdi32::Lookup(dc);
  if (object == nullptr) return FALSE;
  if (object->kind != ObjectKind::kMemoryDc) {
    XP_WARN("DeleteDC", "%p is no memory context", dc);
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  xp::gdi32::RemoveDc(xp::gdi32::Table(), dc);
  return TRUE;
}

// Exported by gdi32.
extern "C" HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  const std::unique_lock<std::mutex> lock = xp::gdi32::LockObjects();
  GdiObject* context = xp::gdi32::Lookup(dc);
  GdiObject* bitmap = xp::gdi32::Lookup(object);
  if (context == nullptr || bitmap == nullptr) return nullptr;
  if (bitmap->kind != ObjectKind::kBitmap || context->kind != ObjectKind::kMemoryDc) {
    XP_FIXME("SelectObject", "only bitmaps into memory contexts are implemented");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  if (context->selected == object) return object;
  // The stock bitmap may sit in any number of contexts; a program's bitmap in one at a time.
  const bool stock = object == xp::gdi32::Table().stock_bitmap;
  if (!stock && bitmap->selected_into != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const HGDIOBJ previous = context->selected;
  if (GdiObject* replaced = xp::gdi32::Lookup(previous)) replaced->selected_into = nullptr;
  context->selected = object;
  if (!stock) bitmap->selected_into = dc;
  return previous;
}

// Exported by gdi32.
extern "C" BOOL DeleteObject(HGDIOBJ object) {
  const std::unique_lock<std::mutex> lock = xp::gdi32::LockObjects();
  xp::gdi32::Objects& objects = xp::gdi32::Table();
  const GdiObject* found = xp::gdi32::Lookup(object);
  if (found == nullptr || found->kind != ObjectKind::kBitmap) return FALSE;
  if (object == objects.stock_bitmap) return TRUE;
  if (found->selected_into != nullptr) return FALSE;
  objects.by_handle.erase(reinterpret_cast<uintptr_t>(object));
  return TRUE;
}

// Exported by gdi32.
extern "C" int GetObjectA(HGDIOBJ object, int size, LPVOID buffer) {
  const std::unique_lock<std::mutex> lock = xp::gdi32::LockObjects();
  const GdiObject* found = xp::gdi32::Lookup(object);
  if (found == nullptr) return 0;
  if (found->kind != ObjectKind::kBitmap) {
    XP_FIXME("GetObjectA", "only bitmaps are implemented");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
  }
  if (buffer == nullptr || size < static_cast<int>(sizeof(BITMAP))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  BITMAP bitmap = {};
  bitmap.bmWidth = found->width;
  bitmap.bmHeight = found->height;
  bitmap.bmWidthBytes = ((found->width * 24 + 15) / 16) * 2;
  bitmap.bmPlanes = 1;
  bitmap.bmBitsPixel = 24;
  std::memcpy(buffer, &bitmap, sizeof bitmap);
  return sizeof bitmap;
}
