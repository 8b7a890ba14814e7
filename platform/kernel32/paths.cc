// Windows paths as the file calls take them: "X:\a\b" (or "X:" for the root) made into the kernel's "\??\X:\a\b",
// and opened there.
// The MAX_PATH limit is measured on the text as the caller gave it, so a doubled backslash counts.
#include <cctype>
#include <cstring>

#include "ddk/ntifs.h"
#include "file_layer.h"
#include "xp/debug.h"
#include "xp/registry.h"

XP_DEBUG_CHANNEL(kernel32);

namespace xp::kernel32 {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::string WindowsPath::Text() const {
  std::string text{drive, ':', '\\'};
  for (size_t i = 0; i < components.size(); ++i) {
    if (i != 0) text += '\\';
    text += components[i];
  }
  return text;
}

std::u16string WindowsPath::Nt() const { return u"\\??\\" + Widen(Text()); }

WindowsPath WindowsPath::Parent() const {
  WindowsPath parent = *this;
  if (!parent.components.empty()) parent.components.pop_back();
  return parent;
}

std::optional<WindowsPath> ParseWindowsPath(const char* path, const char* caller) {
  const size_t length = path == nullptr ? 0 : std::strlen(path);
  if (length == 0) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  if (length >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return std::nullopt;
  }
  const bool drive_form = length >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                          (length == 2 || IsSeparator(path[2]));
  if (!drive_form) {
    XP_FIXME(caller, "only drive paths (X:\\...) are implemented: %s", path);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return std::nullopt;
  }
  WindowsPath parsed;
  parsed.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
  std::string component;
  auto take = [&] {
    if (component == "..") {
      if (!parsed.components.empty()) parsed.components.pop_back();
    } else if (!component.empty() && component != ".") {
      parsed.components.push_back(component);
    }
    component.clear();
  };
  for (size_t i = 2; i < length; ++i) {
    if (IsSeparator(path[i])) {
      take();
    } else {
      component += path[i];
    }
  }
  take();
  return parsed;
}

NTSTATUS OpenPath(const WindowsPath& path, ACCESS_MASK access, ULONG share, ULONG disposition, ULONG options,
                  nt::ScopedHandle* handle, ULONG attributes) {
  nt::OpenRequest request;
  request.name = path.Nt();
  request.access = access | SYNCHRONIZE;
  request.attributes = attributes;
  request.share = share;
  request.disposition = disposition;
  request.options = options | FILE_SYNCHRONOUS_IO_NONALERT;
  return nt::Open(request, handle->out());
}

std::u16string Widen(std::string_view ansi) { return registry::AnsiToUtf16(ansi); }

std::string Narrow(std::u16string_view text) { return registry::Utf16ToAnsi(text); }

}  // namespace xp::kernel32
