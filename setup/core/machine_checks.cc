// The checks of the machine before an install: free space on every drive, a single system in BOOT.INI, and the
// Windows version.
#include <cstring>

#include "setupcore_private.h"

namespace tavik::setupcore {
namespace {

constexpr ULONGLONG kMinimumFreeBytes = 0xC800000;  // 200 MiB
constexpr int kBootLineSize = 256;

}  // namespace
}  // namespace tavik::setupcore

// Exported by setupcore. 1 when a formatted fixed drive offers the caller less than 200 MiB, or cannot say how
// much it offers.
int detectBigFiles(void) {
  for (const std::string& root : tavik::setupcore::FormattedFixedRoots()) {
    ULARGE_INTEGER available;
    ULARGE_INTEGER total;
    ULARGE_INTEGER free;
    if (!GetDiskFreeSpaceExA(root.c_str(), &available, &total, &free)) return 1;
    if (available.QuadPart < tavik::setupcore::kMinimumFreeBytes) return 1;
  }
  return 0;
}

// Exported by setupcore. 0 every entry after "[operating systems]" names the same system path (ignoring case),
// 1 no C:\BOOT.INI, 2 an entry line without '=', 3 two different systems.
char check_multiple_os(void) {
  using tavik::setupcore::EqualsIgnoringCase;
  std::FILE* boot = std::fopen("C:\\BOOT.INI", "r");
  if (boot == nullptr) return 1;
  char line[tavik::setupcore::kBootLineSize];
  bool in_entries = false;
  bool have_first = false;
  std::string first;
  char result = 0;
  while (result == 0 && std::fgets(line, sizeof line, boot) != nullptr) {
    if (!in_entries) {
      in_entries = tavik::setupcore::StartsWithIgnoringCase(line, "[operating systems]");
      continue;
    }
    const char* equals = std::strchr(line, '=');
    if (equals == nullptr) {
      result = 2;
    } else if (!have_first) {
      first.assign(line, static_cast<size_t>(equals - line));
      have_first = true;
    } else if (!EqualsIgnoringCase(first, std::string_view(line, equals - line))) {
      result = 3;
    }
  }
  std::fclose(boot);
  return result;
}

// Exported by setupcore. 0 unknown (the query failed, or a system newer or other than those listed), 1 NT 4 or
// older, 2 Windows 2000, 3 Windows XP, 4 Windows 95, 5 Windows 95 OSR2, 6 Windows 98, 7 Windows 98 SE,
// 8 Windows ME, 9 Win32s.
char getSystemVersion(void) {
  OSVERSIONINFOEXA extended = {};
  extended.dwOSVersionInfoSize = sizeof extended;
  OSVERSIONINFOA version = {};
  if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended))) {
    std::memcpy(&version, &extended, sizeof version);  // the extended structure begins with the basic one
  } else {
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) return 0;
  }
  const DWORD major = version.dwMajorVersion;
  const DWORD minor = version.dwMinorVersion;
  const char service = version.szCSDVersion[1];
  switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
      return 9;
    case VER_PLATFORM_WIN32_WINDOWS:
      if (major == 4 && minor == 0) return (service == 'C' || service == 'B') ? 5 : 4;
      if (major == 4 && minor == 10) return service == 'A' ? 7 : 6;
      if (major == 4 && minor == 90) return 8;
      return 0;
    case VER_PLATFORM_WIN32_NT:
      if (major <= 4) return 1;
      if (major == 5 && minor == 0) return 2;
      if (major == 5 && minor == 1) return 3;
      return 0;
  }
  return 0;
}
