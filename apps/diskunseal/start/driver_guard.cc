// A second start that finds the filter driver may still be loaded (conversion::DriverMayBeActive) puts the system's
// own logon back and restarts, so the next start finds the driver gone instead of refusing again at every start.
#include "diskunseal_private.h"
#include "setupcore.h"
#include "windows.h"

namespace tavik::diskunseal {

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
