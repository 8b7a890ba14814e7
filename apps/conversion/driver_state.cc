// Whether the filter driver may be loaded. Nothing may be decrypted or recovered while it is: it would encrypt again,
// on the way to the disk, what a decryption writes back plain, and hand a recovery the plaintext of the encrypted
// files to decrypt again into garbage copies. Whatever cannot be told counts as loaded.
#include <strings.h>

#include "conversion.h"
#include "setupcore.h"
#include "windows.h"
#include "winsvc.h"

namespace tavik::conversion {
namespace {

constexpr char kWinlogonKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

bool LogonComponentNamed() {
  char gina[MAX_PATH] = {};
  if (!getRegStrData(gina, sizeof gina, HKEY_LOCAL_MACHINE, kWinlogonKey, "GinaDLL")) return false;
  return ::strcasecmp(gina, "logongate.dll") == 0;
}

}  // namespace

bool DriverServiceMayRun() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return true;
  SC_HANDLE service = OpenServiceA(manager, "Morvel", SERVICE_QUERY_STATUS);
  bool runs;
  if (service == nullptr) {
    // A service that does not exist (an uninstall that got that far removed it) does not run.
    runs = GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST;
  } else {
    SERVICE_STATUS status = {};
    runs = !QueryServiceStatus(service, &status) || status.dwCurrentState != SERVICE_STOPPED;
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return runs;
}

bool DriverMayBeActive() { return DriverServiceMayRun() || LogonComponentNamed(); }

}  // namespace tavik::conversion
