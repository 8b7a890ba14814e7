// The system's version and folders: Windows XP Service Pack 2, installed in C:\WINDOWS; or the older Windows the
// machine description's "windows" names (98, Me, Win32s), for programs that also run there.
#include <cstring>
#include <string>

#include "kernel32_private.h"
#include "xp/faults.h"
#include "xp/machine.h"

namespace xp::kernel32 {
namespace {

static_assert(sizeof(OSVERSIONINFOA) == 148 && sizeof(OSVERSIONINFOEXA) == 156, "the sizes XP checks");
static_assert(sizeof(OSVERSIONINFOW) == 276 && sizeof(OSVERSIONINFOEXW) == 284, "the sizes XP checks");

constexpr char kWindowsFolder[] = "C:\\WINDOWS";
constexpr char kSystemFolder[] = "C:\\WINDOWS\\system32";

struct OlderWindows {
  const char* name;
  DWORD platform;
  DWORD major;
  DWORD minor;
  DWORD build;
};

// The 9x family's build number carries the version in its high word.
constexpr OlderWindows kOlderWindows[] = {
    {"98", VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0x040A07CE},
    {"Me", VER_PLATFORM_WIN32_WINDOWS, 4, 90, 0x045A0BB8},
    {"Win32s", VER_PLATFORM_WIN32s, 3, 10, 0},
};

const OlderWindows* DescribedOlderWindows() {
  const std::optional<std::string> windows = machine::Setting("windows");
  if (!windows) return nullptr;
  for (const OlderWindows& older : kOlderWindows) {
    if (*windows == older.name) return &older;
  }
  return nullptr;
}

UINT CopyFolder(const char* folder, LPSTR buffer, UINT size) {
  const UINT length = static_cast<UINT>(std::strlen(folder));
  if (buffer == nullptr || size <= length) return length + 1;
  std::memcpy(buffer, folder, length + 1);
  return length;
}

}  // namespace
}  // namespace xp::kernel32

// Exported by kernel32.
extern "C" BOOL GetVersionExA(LPOSVERSIONINFOA version_information) {
  if (version_information == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD size = version_information->dwOSVersionInfoSize;
  if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("GetVersionExA")) {
    SetLastError(*error);
    return FALSE;
  }
  if (const xp::kernel32::OlderWindows* older = xp::kernel32::DescribedOlderWindows()) {
    if (size != sizeof(OSVERSIONINFOA)) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    std::memset(version_information, 0, size);
    version_information->dwOSVersionInfoSize = size;
    version_information->dwMajorVersion = older->major;
    version_information->dwMinorVersion = older->minor;
    version_information->dwBuildNumber = older->build;
    version_information->dwPlatformId = older->platform;
    std::strcpy(version_information->szCSDVersion, " ");
    return TRUE;
  }
  std::memset(version_information, 0, size);
  version_information->dwOSVersionInfoSize = size;
  version_information->dwMajorVersion = 5;
  version_information->dwMinorVersion = 1;
  version_information->dwBuildNumber = 2600;
  version_information->dwPlatformId = VER_PLATFORM_WIN32_NT;
  std::strcpy(version_information->szCSDVersion, "Service Pack 2");
  if (size == sizeof(OSVERSIONINFOEXA)) {
    auto* extended = reinterpret_cast<LPOSVERSIONINFOEXA>(version_information);
    extended->wServicePackMajor = 2;
    extended->wSuiteMask = VER_SUITE_SINGLEUSERTS;
    if (xp::machine::Setting("edition") == "Home") extended->wSuiteMask |= VER_SUITE_PERSONAL;
    extended->wProductType = VER_NT_WORKSTATION;
  }
  return TRUE;
}

// Exported by kernel32.
extern "C" BOOL GetVersionExW(LPOSVERSIONINFOW version_information) {
  if (version_information == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD size = version_information->dwOSVersionInfoSize;
  if (size != sizeof(OSVERSIONINFOW) && size != sizeof(OSVERSIONINFOEXW)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  OSVERSIONINFOEXA ansi{};
  ansi.dwOSVersionInfoSize = size == sizeof(OSVERSIONINFOW) ? sizeof(OSVERSIONINFOA) : sizeof(OSVERSIONINFOEXA);
  if (!GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&ansi))) return FALSE;
  std::memset(version_information, 0, size);
  version_information->dwOSVersionInfoSize = size;
  version_information->dwMajorVersion = ansi.dwMajorVersion;
  version_information->dwMinorVersion = ansi.dwMinorVersion;
  version_information->dwBuildNumber = ansi.dwBuildNumber;
  version_information->dwPlatformId = ansi.dwPlatformId;
  for (size_t i = 0; ansi.szCSDVersion[i] != '\0'; ++i) {
    version_information->szCSDVersion[i] = static_cast<WCHAR>(static_cast<unsigned char>(ansi.szCSDVersion[i]));
  }
  if (size == sizeof(OSVERSIONINFOEXW)) {
    auto* extended = reinterpret_cast<LPOSVERSIONINFOEXW>(version_information);
    extended->wServicePackMajor = ansi.wServicePackMajor;
    extended->wServicePackMinor = ansi.wServicePackMinor;
    extended->wSuiteMask = ansi.wSuiteMask;
    extended->wProductType = ansi.wProductType;
  }
  return TRUE;
}

// Exported by kernel32.
extern "C" UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
  return xp::kernel32::CopyFolder(xp::kernel32::kWindowsFolder, buffer, size);
}

// Exported by kernel32.
extern "C" UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
  return xp::kernel32::CopyFolder(xp::kernel32::kSystemFolder, buffer, size);
}
