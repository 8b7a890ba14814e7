// Key and value names: the case folding that makes "Exclusion" and "exclusion" one name, and the splitting of
// key paths at '\'.
#include "registry_private.h"

namespace xp::registry {

// Upper case for the scripts a Windows name may use here: ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic.
char16_t Upcase(char16_t c) {
  if (c >= u'a' && c <= u'z') return c - 0x20;
  if (c < 0xE0) return c;
  if (c <= 0xFE) return c == 0xF7 ? c : c - 0x20;
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    // Pairs upper/lower, even/odd, except the run 0x139-0x148 and 0x179-0x17E, which are odd/even.
    const bool odd_first = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    if (odd_first) return (c % 2 == 0) ? c - 1 : c;
    return (c % 2 == 1) ? c - 1 : c;
  }
  if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return c - 0x20;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c;
}

std::u16string Fold(std::u16string_view name) {
  std::u16string folded(name);
  for (char16_t& c : folded) c = Upcase(c);
  return folded;
}

std::optional<std::vector<std::u16string_view>> SplitPath(std::u16string_view path) {
  std::vector<std::u16string_view> components;
  if (path.empty()) return components;
  if (path.back() == u'\\') path.remove_suffix(1);
  size_t start = 0;
  while (true) {
    const size_t end = path.find(u'\\', start);
    const std::u16string_view component = path.substr(start, end == std::u16string_view::npos ? end : end - start);
    if (component.empty()) return std::nullopt;
    components.push_back(component);
    if (end == std::u16string_view::npos) return components;
    start = end + 1;
  }
}

}  // namespace xp::registry
