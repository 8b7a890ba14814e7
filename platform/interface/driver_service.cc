// Loading and removing the driver through the service manager: MorvelLoadDriver starts the "Morvel" service
// (a running one counts as loaded), removeKernel stops and deletes it, MorvelGetErrorCode tells why a load failed.
#include <atomic>

#include "interface.h"
#include "interface_private.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(interface);

namespace xp::driver_interface {
namespace {

constexpr char kServiceName[] = "Morvel";

std::atomic<int> last_load_error{0};

// 1 means "count as loaded" to callers, so a failure never reports it.
int LoadError(DWORD error) { return error == ERROR_INVALID_FUNCTION ? static_cast<int>(ERROR_GEN_FAILURE) : error; }

BOOL LoadFailed() {
  last_load_error = LoadError(GetLastError());
  return FALSE;
}

}  // namespace
}  // namespace xp::driver_interface

using namespace xp::driver_interface;

extern "C" {

// Exported by interface.
BOOL MorvelLoadDriver(void) {
  const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return LoadFailed();
  const SC_HANDLE service = OpenServiceA(manager, kServiceName, SERVICE_START);
  if (service == nullptr) {
    const DWORD error = GetLastError();
    CloseServiceHandle(manager);
    SetLastError(error);
    return LoadFailed();
  }
  const BOOL started = StartServiceA(service, 0, nullptr);
  const DWORD error = GetLastError();
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  SetLastError(error);
  if (!started && error != ERROR_SERVICE_ALREADY_RUNNING) return LoadFailed();
  last_load_error = 0;
  return TRUE;
}

// Exported by interface.
int MorvelGetErrorCode(int which) {
  if (which != 0) {
    XP_FIXME("MorvelGetErrorCode", "error %d is not kept", which);
    return -1;
  }
  return last_load_error;
}

// Exported by interface. A service already gone counts as removed, so an uninstall resumed after a crash between
// the removal and its next step goes on.
int removeKernel(SC_HANDLE manager, LPCSTR service_name) {
  const SC_HANDLE service = OpenServiceA(manager, service_name, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
  if (service == nullptr) return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST ? 1 : 0;
  SERVICE_STATUS status;
  const bool stopped =
      ControlService(service, SERVICE_CONTROL_STOP, &status) || GetLastError() == ERROR_SERVICE_NOT_ACTIVE;
  const bool deleted = stopped && (DeleteService(service) || GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE);
  const DWORD error = GetLastError();
  CloseServiceHandle(service);
  SetLastError(error);
  return deleted ? 1 : 0;
}

// Exported by interface.
BOOL MorvelShutdown(void) {
  XP_FIXME("MorvelShutdown", "is not implemented");
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}

}  // extern "C"
