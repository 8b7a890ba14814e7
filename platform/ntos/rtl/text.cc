// UTF-16 text inside the model: case folding for names (the upcase table covers Latin-1, Latin Extended-A,
// Greek and Cyrillic, enough for the names the system uses) and UTF-8 for host folder names.
#include <string>

#include "include/internal/rtl.h"

namespace xp::ntos::rtl {

char16_t Upcase(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
  if (c < 0xE0) return c;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<char16_t>(c - 0x20);
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    // Latin Extended-A pairs upper/lower at even/odd, except the block 0x139-0x148 and 0x179-0x17E.
    const bool odd_lower = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (odd_lower) return (c % 2 == 0) ? static_cast<char16_t>(c - 1) : c;
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    return (c % 2 == 1) ? static_cast<char16_t>(c - 1) : c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<char16_t>(c - 0x20);
  return c;
}

std::u16string Upcase(std::u16string_view text) {
  std::u16string result(text);
  for (char16_t& c : result) c = Upcase(c);
  return result;
}

bool EqualNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Upcase(a[i]) != Upcase(b[i])) return false;
  }
  return true;
}

std::u16string_view View(const UNICODE_STRING* s) {
  if (s == nullptr || s->Buffer == nullptr) return {};
  return std::u16string_view(s->Buffer, s->Length / sizeof(WCHAR));
}

std::u16string_view View(const UNICODE_STRING& s) { return View(&s); }

UNICODE_STRING Counted(const std::u16string& text) {
  UNICODE_STRING s;
  s.Buffer = const_cast<PWSTR>(text.c_str());
  s.Length = static_cast<USHORT>(text.size() * sizeof(WCHAR));
  s.MaximumLength = static_cast<USHORT>(s.Length + sizeof(WCHAR));
  return s;
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

bool FromUtf8(std::string_view text, std::u16string* out) {
  out->clear();
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    int extra = byte < 0x80 ? 0 : (byte >> 5) == 6 ? 1 : (byte >> 4) == 14 ? 2 : (byte >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + extra >= text.size() + (extra == 0 ? 1 : 0)) {
      if (extra != 0) return false;
    }
    uint32_t c = extra == 0 ? byte : byte & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      if (i + k >= text.size()) return false;
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    i += extra + 1;
    if (c >= 0x10000) {
      c -= 0x10000;
      out->push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out->push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out->push_back(static_cast<char16_t>(c));
    }
  }
  return true;
}

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  FromUtf8(text, &out);
  return out;
}

}  // namespace xp::ntos::rtl
