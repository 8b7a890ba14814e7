// Text between the machine's ANSI code page (machine.ini "ansi_code_page": 1252, or 936 on a Chinese machine) and
// UTF-16, and the UTF-16 string helpers the system calls.
#include <algorithm>
#include <cstring>
#include <string>

#include "kernel32_private.h"
#include "xp/debug.h"
#include "xp/registry.h"

XP_DEBUG_CHANNEL(kernel32);

namespace xp::kernel32 {
namespace {

// Lower case for the letters of code page 1252 that have one (ASCII, and the Latin-1 letters), as the system's
// own comparison of account and domain names does.
char16_t Fold(char16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
  return c;
}

template <typename Char>
size_t LengthOf(const Char* text, int length) {
  if (length >= 0) return static_cast<size_t>(length);
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n + 1;  // the NUL is converted too
}

// Copies `converted` into out (size units) or reports the size needed; 0 with the error when it does not fit.
template <typename Char>
int Deliver(const std::basic_string<Char>& converted, Char* out, int out_size) {
  if (out_size == 0) return static_cast<int>(converted.size());
  if (out == nullptr || out_size < 0 || converted.size() > static_cast<size_t>(out_size)) {
    SetLastError(out_size < 0 || out == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(out, converted.data(), converted.size() * sizeof(Char));
  return static_cast<int>(converted.size());
}

bool Supported(const char* function, UINT code_page, DWORD flags) {
  if (code_page == CP_ACP && flags == 0) return true;
  XP_FIXME(function, "only CP_ACP without flags is implemented");
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return false;
}

}  // namespace
}  // namespace xp::kernel32

using namespace xp::kernel32;

// Exported by kernel32.
extern "C" int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR text, int length, LPWSTR out, int out_size) {
  if (!Supported("MultiByteToWideChar", code_page, flags)) return 0;
  if (text == nullptr || length == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::string ansi(text, LengthOf(text, length));
  return Deliver(xp::registry::AnsiToUtf16(ansi), out, out_size);
}

// Exported by kernel32. Characters outside the code page become '?' (used_default_char then TRUE).
extern "C" int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR text, int length, LPSTR out, int out_size,
                                   LPCSTR default_char, LPBOOL used_default_char) {
  if (!Supported("WideCharToMultiByte", code_page, flags)) return 0;
  if (text == nullptr || length == 0 || default_char != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::u16string wide(text, LengthOf(text, length));
  const std::string ansi = xp::registry::Utf16ToAnsi(wide);
  if (used_default_char != nullptr) *used_default_char = xp::registry::AnsiToUtf16(ansi) != wide;
  return Deliver(ansi, out, out_size);
}

// Exported by kernel32.
extern "C" int lstrlenW(LPCWSTR text) { return text == nullptr ? 0 : static_cast<int>(LengthOf(text, -1) - 1); }

// Exported by kernel32.
extern "C" int lstrcmpiW(LPCWSTR first, LPCWSTR second) {
  const std::u16string a = first != nullptr ? first : u"";
  const std::u16string b = second != nullptr ? second : u"";
  for (size_t i = 0;; ++i) {
    const char16_t x = i < a.size() ? Fold(a[i]) : u'\0';
    const char16_t y = i < b.size() ? Fold(b[i]) : u'\0';
    if (x != y) return x < y ? -1 : 1;
    if (x == u'\0') return 0;
  }
}
