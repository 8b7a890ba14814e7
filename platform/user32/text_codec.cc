// Text at the A and W edges of the window calls: windows keep UTF-16, as on XP; the A calls convert through the
// machine's ANSI code page, as the registry's A calls do.
#include <algorithm>
#include <cstring>

#include "user32_private.h"
#include "xp/registry.h"

namespace xp::user32 {

std::u16string FromAnsi(std::string_view text) { return registry::AnsiToUtf16(text); }

std::string ToAnsi(std::u16string_view text) { return registry::Utf16ToAnsi(text); }

std::u16string TextArgument(LPARAM text, bool wide) {
  if (text == 0) return {};
  if (wide) return std::u16string(reinterpret_cast<const char16_t*>(text));
  return FromAnsi(reinterpret_cast<const char*>(text));
}

size_t TextLength(std::u16string_view text, bool wide) { return wide ? text.size() : ToAnsi(text).size(); }

size_t CopyText(std::u16string_view text, void* buffer, size_t capacity, bool wide) {
  if (buffer == nullptr || capacity == 0) return 0;
  if (wide) {
    const size_t count = std::min(text.size(), capacity - 1);
    char16_t* out = static_cast<char16_t*>(buffer);
    std::copy_n(text.data(), count, out);
    out[count] = u'\0';
    return count;
  }
  const std::string ansi = ToAnsi(text);
  const size_t count = std::min(ansi.size(), capacity - 1);
  char* out = static_cast<char*>(buffer);
  std::memcpy(out, ansi.data(), count);
  out[count] = '\0';
  return count;
}

}  // namespace xp::user32
