// Nothing may be decrypted while the filter driver is loaded: it would encrypt again, on the way to the disk, what
// the engine writes back plain. A second start that finds the driver's service running, or the logon component
// still named to load it, puts the system's own logon back and restarts, so the next start finds the driver gone
// instead of refusing again at every start.
#include <strings.h>

#include "diskunseal_private.h"
#include "setupcore.h"
#include "windows.h"
#include "winsvc.h"

namespace tavik::diskunseal {
namespace {

constexpr char kWinlogonKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

// Whether the driver's service runs. A service manager that does not answer proves nothing either way: it counts
// as running. A service that does not exist (removed by a run that got that far) does not run.
bool DriverServiceRuns() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return true;
  SC_HANDLE service = OpenServiceA(manager, "Morvel", SERVICE_QUERY_STATUS);
  bool runs = false;
  if (service != nullptr) {
    SERVICE_STATUS status = {};
    runs = !QueryServiceStatus(service, &status) || status.dwCurrentState != SERVICE_STOPPED;
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return runs;
}

bool LogonComponentNamed() {
  char gina[MAX_PATH] = {};
  if (!getRegStrData(gina, sizeof gina, HKEY_LOCAL_MACHINE, kWinlogonKey, "GinaDLL")) return false;
  return ::strcasecmp(gina, "logongate.dll") == 0;
}

}  // namespace

bool DriverMayBeActive() { return DriverServiceRuns() || LogonComponentNamed(); }

void RefuseWhileDriverActive() {
  if (!setWinLogonKey("GinaDLL", "msgina.dll")) {
    Box(nullptr, "Failed to reset Gina.\r\nPlease contact software vendor for help.", kCaption, MB_OK | MB_ICONERROR);
    return ExitProcess(1);
  }
  conversion::ArmRunSetup(kProgram);
  Box(nullptr,
      "Quillmarsh Tavik kernel is still active, decryption can not start.\r\nThe Windows logon has been "
      "restored.\r\nPlease reboot machine to continue uninstallation.",
      kCaption, MB_OK | MB_ICONEXCLAMATION);
  doReboot();
  ExitProcess(1);
}

}  // namespace tavik::diskunseal
