// Message-box styles: which MB_* combinations the system shows, their buttons, and their names in scripts and
// journal lines.
#include <cstdio>
#include <strings.h>

#include "ui_private.h"
#include "winuser.h"

namespace xp::ui {
namespace {

constexpr uint32_t kButtonsMask = 0x0000000Fu;
constexpr uint32_t kIconMask = 0x000000F0u;
constexpr uint32_t kDefaultButtonMask = 0x00000F00u;

struct StyleWord {
  const char* name;
  uint32_t bits;
};

// Names as the journal writes them; MB_ICONWARNING is read as another name for MB_ICONEXCLAMATION.
constexpr StyleWord kStyleWords[] = {
    {"MB_OK", MB_OK},
    {"MB_YESNO", MB_YESNO},
    {"MB_ICONERROR", MB_ICONERROR},
    {"MB_ICONQUESTION", MB_ICONQUESTION},
    {"MB_ICONEXCLAMATION", MB_ICONEXCLAMATION},
    {"MB_ICONWARNING", MB_ICONWARNING},
    {"MB_ICONINFORMATION", MB_ICONINFORMATION},
    {"MB_DEFBUTTON2", MB_DEFBUTTON2},
};

constexpr const char* kButtonNames[] = {"OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No"};

const char* NameOf(uint32_t bits, uint32_t mask) {
  for (const StyleWord& word : kStyleWords) {
    if (word.bits == bits && (word.bits & ~mask) == 0) return word.name;
  }
  return nullptr;
}

}  // namespace

bool BoxStyleSupported(uint32_t style) {
  const uint32_t buttons = style & kButtonsMask;
  const uint32_t icon = style & kIconMask;
  const uint32_t default_button = style & kDefaultButtonMask;
  const uint32_t rest = style & ~(kButtonsMask | kIconMask | kDefaultButtonMask);
  return (buttons == MB_OK || buttons == MB_YESNO) && icon <= MB_ICONINFORMATION &&
         (default_button == 0 || default_button == MB_DEFBUTTON2) && rest == 0;
}

std::vector<int> BoxButtons(uint32_t style) {
  if ((style & kButtonsMask) == MB_YESNO) return {IDYES, IDNO};
  return {IDOK};
}

int DefaultBoxButton(uint32_t style) {
  const std::vector<int> buttons = BoxButtons(style);
  // As on Windows, naming a default past the last button leaves the first one default.
  const size_t index = (style & kDefaultButtonMask) == MB_DEFBUTTON2 ? 1 : 0;
  return index < buttons.size() ? buttons[index] : buttons.front();
}

std::string StyleName(uint32_t style) {
  if (!BoxStyleSupported(style)) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", style);
    return hex;
  }
  std::string name = NameOf(style & kButtonsMask, kButtonsMask);
  if ((style & kIconMask) != 0) name += std::string("|") + NameOf(style & kIconMask, kIconMask);
  if ((style & kDefaultButtonMask) != 0) {
    name += std::string("|") + NameOf(style & kDefaultButtonMask, kDefaultButtonMask);
  }
  return name;
}

std::optional<uint32_t> ParseStyleWord(std::string_view word) {
  for (const StyleWord& known : kStyleWords) {
    if (word == known.name) return known.bits;
  }
  if (word.empty() || word.size() > 10) return std::nullopt;
  try {
    size_t used = 0;
    const unsigned long value = std::stoul(std::string(word), &used, 0);
    if (used == word.size() && value <= 0xFFFFFFFFul) return static_cast<uint32_t>(value);
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

std::string ButtonName(int id) {
  if (id >= IDOK && id <= IDNO) return kButtonNames[id - IDOK];
  return std::to_string(id);
}

std::optional<int> ParseButtonName(std::string_view word) {
  for (int id = IDOK; id <= IDNO; ++id) {
    const std::string name = kButtonNames[id - IDOK];
    const std::string id_name = "ID" + name;
    if ((word.size() == name.size() && ::strncasecmp(word.data(), name.c_str(), word.size()) == 0) ||
        (word.size() == id_name.size() && ::strncasecmp(word.data(), id_name.c_str(), word.size()) == 0)) {
      return id;
    }
  }
  return std::nullopt;
}

}  // namespace xp::ui
