// Text conversions at the store's edges: the machine's ANSI code page of the A functions (strings are stored as
// UTF-16LE, as the kernel reads them) and UTF-8 for names typed or printed on the host. Code page 1252 is a table
// here; a double-byte page such as 936 converts through the C library's iconv (code_page.cc).
#include <array>

#include "code_page.h"
#include "registry_private.h"
#include "winreg.h"

namespace xp::registry {
namespace {

// Code page 1252's bytes 0x80-0x9F; the five it leaves undefined map to the same code point, as Windows does.
constexpr std::array<char16_t, 32> k1252High = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t From1252(unsigned char byte) { return byte >= 0x80 && byte <= 0x9F ? k1252High[byte - 0x80] : byte; }

char To1252(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (size_t i = 0; i < k1252High.size(); ++i) {
    if (k1252High[i] == c) return static_cast<char>(0x80 + i);
  }
  return '?';
}

void AppendUtf8(std::string* out, char32_t c) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

std::u16string AnsiToUtf16(std::string_view ansi) {
  const uint32_t code_page = AnsiCodePage();
  if (code_page != 1252) return MultiByteToUtf16(code_page, ansi);
  std::u16string text;
  text.reserve(ansi.size());
  for (char byte : ansi) text.push_back(From1252(static_cast<unsigned char>(byte)));
  return text;
}

std::string Utf16ToAnsi(std::u16string_view text) {
  const uint32_t code_page = AnsiCodePage();
  if (code_page != 1252) return Utf16ToMultiByte(code_page, text);
  std::string ansi;
  ansi.reserve(text.size());
  for (char16_t c : text) ansi.push_back(To1252(c));
  return ansi;
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::u16string StoredText(const Value& value) {
  std::u16string text;
  for (size_t i = 0; i + 1 < value.data.size(); i += 2) {
    const char16_t c = static_cast<char16_t>(value.data[i] | (value.data[i + 1] << 8));
    if (c == u'\0') break;
    text += c;
  }
  return text;
}

// Whole texts, NULs included: in a double-byte code page one character may be two bytes.
std::vector<uint8_t> AnsiDataToStored(DWORD type, const BYTE* data, size_t size) {
  if (size == 0) return {};
  if (!IsStringType(type)) return std::vector<uint8_t>(data, data + size);
  const std::u16string text = AnsiToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
  std::vector<uint8_t> stored;
  stored.reserve(text.size() * 2);
  for (const char16_t c : text) {
    stored.push_back(static_cast<uint8_t>(c & 0xFF));
    stored.push_back(static_cast<uint8_t>(c >> 8));
  }
  return stored;
}

std::vector<uint8_t> StoredDataToAnsi(DWORD type, const std::vector<uint8_t>& stored) {
  if (!IsStringType(type)) return stored;
  std::u16string text;
  text.reserve(stored.size() / 2);
  for (size_t i = 0; i + 1 < stored.size(); i += 2) {
    text.push_back(static_cast<char16_t>(stored[i] | (stored[i + 1] << 8)));
  }
  const std::string ansi = Utf16ToAnsi(text);
  return std::vector<uint8_t>(ansi.begin(), ansi.end());
}

// Malformed UTF-8 bytes become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    char32_t c = length == 1 ? lead : length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
    bool valid = length != 0 && i + length <= text.size();
    for (int k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    if (!valid) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i += length;
  }
  return out;
}

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      AppendUtf8(&out, 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      AppendUtf8(&out, 0xFFFD);
    } else {
      AppendUtf8(&out, c);
    }
  }
  return out;
}

}  // namespace xp::registry
