// Icons: LoadIconA finds a number the program declared and hands out one handle per icon; a dialog records the
// icons set on it (WM_SETICON) and the journal says which one it shows.
#include <deque>
#include <string>

#include "user32_private.h"

namespace xp::user32 {
namespace {

struct LoadedIcon {
  const res::ResourceTable* table;
  int id;
};

// Handles are the addresses of these records, kept for the process's life as shared icons are.
struct Icons {
  std::mutex mutex;
  std::deque<LoadedIcon> loaded;
};
Icons& LoadedIcons() {
  static auto* const icons = new Icons;
  return *icons;
}

}  // namespace

int IconNumber(HICON icon) {
  Icons& icons = LoadedIcons();
  const std::lock_guard<std::mutex> lock(icons.mutex);
  for (const LoadedIcon& loaded : icons.loaded) {
    if (&loaded == icon) return loaded.id;
  }
  return 0;
}

}  // namespace xp::user32

namespace xp::res {

IconResources::IconResources(std::initializer_list<int> icons)
    : ResourceTable(ResourceType::kIcon, std::vector<int>(icons)) {
  Register();
}

}  // namespace xp::res

// Exported by user32. `name` is MAKEINTRESOURCE of a number the module declared; a NULL instance is the program.
extern "C" HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
  const auto number = reinterpret_cast<uintptr_t>(name);
  if (number > 0xFFFF) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  const int id = static_cast<int>(number);
  const xp::res::ResourceTable* table = xp::user32::FindResourceTable(instance, xp::res::ResourceType::kIcon, id);
  if (table == nullptr) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  xp::user32::Icons& icons = xp::user32::LoadedIcons();
  const std::lock_guard<std::mutex> lock(icons.mutex);
  for (xp::user32::LoadedIcon& loaded : icons.loaded) {
    if (loaded.table == table && loaded.id == id) return &loaded;
  }
  return &icons.loaded.emplace_back(xp::user32::LoadedIcon{table, id});
}
