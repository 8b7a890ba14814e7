// The driver's service: a file-system driver started on demand. A service an earlier, interrupted run of this
// install made already is taken as it is when it is the one needed, and made anew otherwise, so that the final
// phase can always be run again.
#include <cstdio>

#include "diskseal_private.h"
#include "msvcrt.h"
#include "winsvc.h"

namespace tavik::diskseal {
namespace {

constexpr char kServiceName[] = "Morvel";
constexpr char kServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\Morvel";

std::string ErrorCodeText(DWORD error) {
  char text[32];
  std::snprintf(text, sizeof text, "Error code %x", static_cast<unsigned>(error));
  return text;
}

std::optional<DWORD> ReadDword(HKEY key, const char* name) {
  DWORD value = 0;
  DWORD size = sizeof value;
  DWORD type = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD) {
    return std::nullopt;
  }
  return value;
}

// The service as the service manager keeps it: a file-system driver on demand start with the image needed.
bool ExistingServiceFits(const std::string& image) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServiceKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  char path[kMaxPath + 1] = {};
  DWORD size = sizeof path - 1;
  const bool path_read =
      RegQueryValueExA(key, "ImagePath", nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size) == ERROR_SUCCESS;
  const bool fits = path_read && _stricmp(path, image.c_str()) == 0 &&
                    ReadDword(key, "Type") == DWORD{SERVICE_FILE_SYSTEM_DRIVER} &&
                    ReadDword(key, "Start") == DWORD{SERVICE_DEMAND_START} &&
                    ReadDword(key, "ErrorControl") == DWORD{SERVICE_ERROR_NORMAL};
  RegCloseKey(key);
  return fits;
}

SC_HANDLE CreateDriverService(SC_HANDLE manager, const std::string& image) {
  return CreateServiceA(manager, kServiceName, kServiceName, SERVICE_ALL_ACCESS, SERVICE_FILE_SYSTEM_DRIVER,
                        SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, image.c_str(), nullptr, nullptr, nullptr, nullptr,
                        nullptr);
}

}  // namespace

DWORD InstallDriverService(CWnd* owner) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) {
    const DWORD error = GetLastError();
    Box(owner, ErrorCodeText(error), "OpenSCManager failed", MB_OK | MB_ICONWARNING);
    return error;
  }
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, sizeof system);
  const std::string image = std::string(system) + "\\drivers\\morvel.sys";
  SC_HANDLE service = CreateDriverService(manager, image);
  if (service == nullptr && GetLastError() == ERROR_SERVICE_EXISTS) {
    if (ExistingServiceFits(image)) {
      CloseServiceHandle(manager);
      return 0;
    }
    if (SC_HANDLE stale = OpenServiceA(manager, kServiceName, SERVICE_ALL_ACCESS)) {
      DeleteService(stale);
      CloseServiceHandle(stale);
    }
    service = CreateDriverService(manager, image);
  }
  if (service == nullptr) {
    const DWORD error = GetLastError();
    Box(owner, ErrorCodeText(error), "CreateService failed", MB_OK | MB_ICONWARNING);
    CloseServiceHandle(manager);
    return error;
  }
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return 0;
}

}  // namespace tavik::diskseal
