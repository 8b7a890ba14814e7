// The driver's service state, from the service manager.
#include "driver_check.h"

#include "windows.h"
#include "winsvc.h"

namespace tavik::recoverkit {

bool DriverServiceRuns() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return true;
  SC_HANDLE service = OpenServiceA(manager, "Morvel", SERVICE_QUERY_STATUS);
  bool runs;
  if (service == nullptr) {
    runs = GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST;
  } else {
    SERVICE_STATUS status = {};
    runs = !QueryServiceStatus(service, &status) || status.dwCurrentState != SERVICE_STOPPED;
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return runs;
}

}  // namespace tavik::recoverkit
