// UTF-8 to UTF-16, for the parser's output. The parser only hands out well-formed UTF-8; anything else becomes
// U+FFFD rather than being trusted.
#include "msxml3_private.h"

namespace xp::msxml3 {
namespace {

// The code point starting at text[*i], advancing *i past it.
char32_t DecodeOne(std::string_view text, size_t* i) {
  constexpr char32_t kReplacement = 0xFFFD;
  const auto lead = static_cast<unsigned char>(text[(*i)++]);
  if (lead < 0x80) return lead;
  int extra = 0;
  char32_t code = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    code = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    code = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    code = lead & 0x07;
  } else {
    return kReplacement;
  }
  for (int k = 0; k < extra; ++k) {
    if (*i >= text.size()) return kReplacement;
    const auto next = static_cast<unsigned char>(text[*i]);
    if ((next & 0xC0) != 0x80) return kReplacement;
    code = (code << 6) | (next & 0x3F);
    ++*i;
  }
  return code > 0x10FFFF ? kReplacement : code;
}

}  // namespace

std::u16string Utf16FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const char32_t code = DecodeOne(text, &i);
    if (code < 0x10000) {
      out.push_back(static_cast<char16_t>(code));
    } else {
      out.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    }
  }
  return out;
}

}  // namespace xp::msxml3
