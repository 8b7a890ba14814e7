// The programs' string tables: LoadStringA copies a string, cut to the caller's buffer.
#include <algorithm>
#include <cstring>

#include "user32_private.h"

namespace xp::res {

StringResources::StringResources(std::initializer_list<StringTemplate> strings)
    : ResourceTable(ResourceType::kString, user32::IdsOf(strings)), strings_(strings) {
  Register();
}

}  // namespace xp::res

// Exported by user32. An empty string counts as a missing one, as in a compiled string table.
extern "C" int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int buffer_max) {
  if (buffer == nullptr || buffer_max <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  buffer[0] = '\0';
  const auto* table = static_cast<const xp::res::StringResources*>(
      xp::user32::FindResourceTable(instance, xp::res::ResourceType::kString, static_cast<int>(id)));
  const char* text = nullptr;
  if (table != nullptr) {
    for (const xp::res::StringTemplate& string : table->strings()) {
      if (string.id == static_cast<int>(id)) {
        text = string.text;
        break;
      }
    }
  }
  if (text == nullptr || text[0] == '\0') {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  const size_t copied = std::min(std::strlen(text), static_cast<size_t>(buffer_max) - 1);
  std::memcpy(buffer, text, copied);
  buffer[copied] = '\0';
  return static_cast<int>(copied);
}
