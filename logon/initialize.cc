// WlxInitialize: whether the disk encryption is installed (the flag key), Winlogon's handle and dispatch table,
// the logon state, the power-event thread, and MSGINA's own initialisation with Winlogon's context pointer.
#include "commctrl.h"
#include "logongate_private.h"

// Exported by logongate.
extern "C" BOOL WlxInitialize(LPWSTR lpWinsta, HANDLE hWlx, PVOID pvReserved, PVOID pWinlogonFunctions,
                              PVOID* pWlxContext) {
  using namespace tavik::logongate;
  Module& module = TheModule();
  const auto* dispatch = static_cast<const WLX_DISPATCH_VERSION_1_3*>(pWinlogonFunctions);
  HKEY flag = nullptr;
  const LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\morvelFlag", 0, KEY_QUERY_VALUE,
                                       &flag);
  if (status == ERROR_SUCCESS) {
    module.installed = 1;
    RegCloseKey(flag);
  } else if (status == ERROR_FILE_NOT_FOUND) {
    module.installed = 0;
  } else {
    std::u16string text = u"Read registry value failed!\r\nAssume Tavik installed.";
    std::u16string caption = u"Quillmarsh Tavik";
    dispatch->WlxMessageBox(hWlx, nullptr, text.data(), caption.data(), MB_OK | MB_ICONWARNING);
  }
  module.wlx = hWlx;
  module.dispatch = dispatch;
  module.logon_state = new LogonState{0, kNoToken, nullptr};
  InitCommonControls();
  StartPowerEventThread();
  LogEvent(kTrace, "Returning from WlxInitialize");
  return module.msgina.Initialize(lpWinsta, hWlx, pvReserved, pWinlogonFunctions, pWlxContext);
}
