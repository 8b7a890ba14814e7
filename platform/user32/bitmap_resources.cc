// The programs' bitmaps: LoadBitmapA makes a gdi32 object of the size the program declared.
#include "user32_private.h"
#include "xp/gdi32.h"

namespace xp::res {

BitmapResources::BitmapResources(std::initializer_list<BitmapTemplate> bitmaps)
    : ResourceTable(ResourceType::kBitmap, user32::IdsOf(bitmaps)), bitmaps_(bitmaps) {
  Register();
}

}  // namespace xp::res

// Exported by user32. Each call makes a new object, as each load of a bitmap does.
extern "C" HBITMAP LoadBitmapA(HINSTANCE instance, LPCSTR name) {
  const auto number = reinterpret_cast<uintptr_t>(name);
  const auto* table = number <= 0xFFFF ? static_cast<const xp::res::BitmapResources*>(xp::user32::FindResourceTable(
                                             instance, xp::res::ResourceType::kBitmap, static_cast<int>(number)))
                                       : nullptr;
  if (table == nullptr) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  for (const xp::res::BitmapTemplate& bitmap : table->bitmaps()) {
    if (bitmap.id == static_cast<int>(number)) {
      return xp::gdi32::CreateResourceBitmap(bitmap.id, bitmap.width, bitmap.height);
    }
  }
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return nullptr;
}
