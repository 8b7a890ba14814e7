// The machine's locale and ANSI code page, from its description; a language's English name by the primary language
// of its LCID (its low ten bits).
#include <cstring>
#include <optional>
#include <string>

#include "kernel32_private.h"
#include "winnls.h"
#include "xp/debug.h"
#include "xp/faults.h"
#include "xp/machine.h"
#include "xp/registry.h"

XP_DEBUG_CHANNEL(kernel32);

namespace xp::kernel32 {
namespace {

constexpr LCID kEnglishUnitedStates = 0x0409;

struct Language {
  LCID primary;
  const char* english_name;
};

constexpr Language kLanguages[] = {
    {0x04, "Chinese"}, {0x07, "German"}, {0x09, "English"}, {0x0A, "Spanish"}, {0x0C, "French"},
    {0x10, "Italian"}, {0x11, "Japanese"}, {0x12, "Korean"}, {0x13, "Dutch"},  {0x19, "Russian"},
};

const char* EnglishLanguageName(LCID locale) {
  for (const Language& language : kLanguages) {
    if (language.primary == (locale & 0x3FF)) return language.english_name;
  }
  return nullptr;
}

}  // namespace
}  // namespace xp::kernel32

// Exported by kernel32.
extern "C" UINT GetACP(void) { return xp::registry::AnsiCodePage(); }

// Exported by kernel32. A machine without a locale setting is an English one.
extern "C" LCID GetUserDefaultLCID(void) {
  if (!xp::machine::Present()) return xp::kernel32::kEnglishUnitedStates;
  const std::optional<std::string> locale = xp::machine::Setting("locale");
  if (!locale) return xp::kernel32::kEnglishUnitedStates;
  try {
    return static_cast<LCID>(std::stoul(*locale, nullptr, 16));
  } catch (const std::exception&) {
    return xp::kernel32::kEnglishUnitedStates;
  }
}

// Exported by kernel32.
extern "C" int GetLocaleInfoA(LCID locale, DWORD type, LPSTR data, int size) {
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("GetLocaleInfoA")) {
    SetLastError(*error);
    return 0;
  }
  if (type != LOCALE_SENGLANGUAGE) {
    XP_FIXME("GetLocaleInfoA", "only LOCALE_SENGLANGUAGE is implemented");
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const char* name = xp::kernel32::EnglishLanguageName(locale);
  if (name == nullptr || size < 0 || (size > 0 && data == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const int needed = static_cast<int>(std::strlen(name)) + 1;
  if (size == 0) return needed;
  if (size < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(data, name, static_cast<size_t>(needed));
  return needed;
}
