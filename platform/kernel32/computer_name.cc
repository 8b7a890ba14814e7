// The computer's name, as set in the machine description ("computer_name" in machine.ini).
#include <cstring>
#include <optional>
#include <string>

#include "kernel32_private.h"
#include "xp/machine.h"
#include "xp/registry.h"

// Exported by kernel32.
extern "C" BOOL GetComputerNameA(LPSTR buffer, LPDWORD size) {
  if (size == nullptr || (buffer == nullptr && *size > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::optional<std::string> name = xp::machine::Setting("computer_name");
  if (!name) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (name->size() + 1 > *size) {
    *size = static_cast<DWORD>(name->size() + 1);
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return FALSE;
  }
  std::memcpy(buffer, name->c_str(), name->size() + 1);
  *size = static_cast<DWORD>(name->size());
  return TRUE;
}

// Exported by kernel32.
extern "C" BOOL GetComputerNameW(LPWSTR buffer, LPDWORD size) {
  if (size == nullptr || (buffer == nullptr && *size > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::optional<std::string> name = xp::machine::Setting("computer_name");
  if (!name) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  const std::u16string wide = xp::registry::AnsiToUtf16(*name);
  if (wide.size() + 1 > *size) {
    *size = static_cast<DWORD>(wide.size() + 1);
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return FALSE;
  }
  std::memcpy(buffer, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
  *size = static_cast<DWORD>(wide.size());
  return TRUE;
}
