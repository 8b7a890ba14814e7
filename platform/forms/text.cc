// Text between the programs' UTF-16 and the ANSI bytes a library takes, in the machine's code page, and the few
// string helpers the programs use.
#include <string>

#include "forms.h"
#include "xp/registry.h"

std::string AnsiOf(std::u16string_view text) { return xp::registry::Utf16ToAnsi(text); }

std::u16string TextOfAnsi(std::string_view ansi) { return xp::registry::AnsiToUtf16(ansi); }

std::u16string CStr(long long number) {
  const std::string digits = std::to_string(number);
  return std::u16string(digits.begin(), digits.end());
}

// Letters of ASCII and Latin-1, the ones the programs' texts hold.
std::u16string UCase(std::u16string_view text) {
  std::u16string upper(text);
  for (char16_t& c : upper) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) c = static_cast<char16_t>(c - 32);
  }
  return upper;
}

size_t InStr(std::u16string_view text, std::u16string_view what, size_t from) { return text.find(what, from); }
