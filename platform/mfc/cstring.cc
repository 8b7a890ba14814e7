// CString's string resources, formatting and comparisons.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "afxwin.h"

BOOL CString::LoadString(UINT nID) {
  // LoadStringA cuts to the buffer: a string that fills it may be longer, so the buffer grows until it does not.
  std::string buffer(256, '\0');
  for (;;) {
    const int length = ::LoadStringA(AfxGetResourceHandle(), nID, buffer.data(), static_cast<int>(buffer.size()));
    if (static_cast<size_t>(length) + 1 < buffer.size()) {
      text_.assign(buffer.data(), static_cast<size_t>(length));
      return length > 0;
    }
    buffer.resize(buffer.size() * 2);
  }
}

void CString::Format(LPCTSTR format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list measuring;
  va_copy(measuring, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, measuring);
  va_end(measuring);
  std::string formatted(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(formatted.data(), formatted.size() + 1, format, arguments);
  va_end(arguments);
  text_ = std::move(formatted);
}

int CString::Compare(LPCTSTR text) const { return std::strcmp(text_.c_str(), text != nullptr ? text : ""); }

int CString::CompareNoCase(LPCTSTR text) const {
  return ::strcasecmp(text_.c_str(), text != nullptr ? text : "");
}
