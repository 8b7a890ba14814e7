// The computer's name, as set in the machine description ("computer_name" in machine.ini).
#include <cstring>
#include <optional>
#include <string>

#include "kernel32_private.h"
#include "xp/machine.h"
#include "xp/registry.h"

namespace {

// Both calls' rules: the name and its terminator fit in *size characters, else *size says how many are needed.
template <typename Char>
BOOL CopyName(const std::basic_string<Char>& name, Char* buffer, LPDWORD size) {
  if (name.size() + 1 > *size) {
    *size = static_cast<DWORD>(name.size() + 1);
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return FALSE;
  }
  std::memcpy(buffer, name.c_str(), (name.size() + 1) * sizeof(Char));
  *size = static_cast<DWORD>(name.size());
  return TRUE;
}

std::optional<std::string> ComputerName(const void* buffer, LPDWORD size) {
  if (size == nullptr || (buffer == nullptr && *size > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  std::optional<std::string> name = xp::machine::Setting("computer_name");
  if (!name) SetLastError(ERROR_FILE_NOT_FOUND);
  return name;
}

}  // namespace

// Exported by kernel32.
extern "C" BOOL GetComputerNameA(LPSTR buffer, LPDWORD size) {
  const std::optional<std::string> name = ComputerName(buffer, size);
  return name ? CopyName(*name, buffer, size) : FALSE;
}

// Exported by kernel32.
extern "C" BOOL GetComputerNameW(LPWSTR buffer, LPDWORD size) {
  const std::optional<std::string> name = ComputerName(buffer, size);
  return name ? CopyName(xp::registry::AnsiToUtf16(*name), buffer, size) : FALSE;
}
