// MSVCRT's string helpers: ASCII case-insensitive comparison (both sides lower-cased, then compared as unsigned
// bytes) and _snprintf, which fills the buffer without a NUL when the text does not fit and then returns -1.
#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "msvcrt.h"

namespace {

int Lower(const char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 'A' && byte <= 'Z' ? byte + ('a' - 'A') : byte;
}

}  // namespace

// Exported.
extern "C" int _strnicmp(const char* first, const char* second, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const int difference = Lower(first[i]) - Lower(second[i]);
    if (difference != 0 || first[i] == '\0') return difference;
  }
  return 0;
}

// Exported.
extern "C" int _stricmp(const char* first, const char* second) { return _strnicmp(first, second, SIZE_MAX); }

// Exported.
extern "C" int _snprintf(char* buffer, size_t count, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list measuring;
  va_copy(measuring, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, measuring);
  va_end(measuring);
  if (length < 0) {
    va_end(arguments);
    return -1;
  }
  std::vector<char> text(static_cast<size_t>(length) + 1);
  std::vsnprintf(text.data(), text.size(), format, arguments);
  va_end(arguments);
  const size_t fits = std::min(static_cast<size_t>(length) + 1, count);  // the NUL only when there is room
  if (fits != 0) std::memcpy(buffer, text.data(), fits);
  return static_cast<size_t>(length) <= count ? length : -1;
}
