// XPDEBUG's items, read once per channel: "[level]+channel" or "[level]-channel", separated by commas, applied in
// order; "all" matches every channel, and an item without a level sets or clears all four.
#include <cstdlib>
#include <string_view>

#include "xp/debug.h"

namespace xp::debug {
namespace {

constexpr uint8_t kDefaultLevels = kErr | kFixme;
constexpr uint8_t kAllLevels = kErr | kFixme | kWarn | kTrace;

// The levels an item's prefix names; 0 for a word that is no level.
uint8_t LevelsNamed(std::string_view word) {
  if (word.empty()) return kAllLevels;
  if (word == "err") return kErr;
  if (word == "fixme") return kFixme;
  if (word == "warn") return kWarn;
  if (word == "trace") return kTrace;
  return 0;
}

}  // namespace

uint8_t LevelsFor(const char* settings, std::string_view channel) {
  uint8_t levels = kDefaultLevels;
  if (settings == nullptr) return levels;
  std::string_view rest = settings;
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    const std::string_view item = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    const size_t sign = item.find_first_of("+-");
    if (sign == std::string_view::npos) continue;
    const uint8_t named = LevelsNamed(item.substr(0, sign));
    const std::string_view target = item.substr(sign + 1);
    if (named == 0 || (target != "all" && target != channel)) continue;
    if (item[sign] == '+') {
      levels |= named;
    } else {
      levels &= static_cast<uint8_t>(~named);
    }
  }
  return levels;
}

uint8_t Channel::Read() const {
  const uint8_t levels = LevelsFor(std::getenv("XPDEBUG"), name_);
  levels_.store(levels, std::memory_order_relaxed);
  return levels;
}

}  // namespace xp::debug
