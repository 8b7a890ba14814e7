// Case-insensitive comparison as the system's path lists use it: ASCII letters fold, nothing else.
#include "setupcore_private.h"

namespace tavik::setupcore {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

void TrimTrailingSpaces(std::string* text) {
  const size_t end = text->find_last_not_of(' ');
  text->resize(end == std::string::npos ? 0 : end + 1);
}

}  // namespace tavik::setupcore
