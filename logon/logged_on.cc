// The logged-on state: the user's programs, the options of Ctrl+Alt+Del, log-off and shutdown. After a Key Answer
// logon every entry goes to the system's own GINA until the next logon.
#include "logongate_private.h"

// Exported by logongate.
extern "C" BOOL WlxActivateUserShell(PVOID pWlxContext, PWSTR pszDesktopName, PWSTR pszMprLogonScript,
                                     PVOID pEnvironment) {
  using namespace tavik::logongate;
  if (TheModule().forward) {
    return TheModule().msgina.ActivateUserShell(pWlxContext, pszDesktopName, pszMprLogonScript, pEnvironment);
  }
  return StartUserPrograms(pszDesktopName, pEnvironment);
}

// Exported by logongate. Ctrl+Alt+Del shows the options; the end of a secure screen saver (3) locks.
extern "C" int WlxLoggedOnSAS(PVOID pWlxContext, DWORD dwSasType, PVOID pReserved) {
  using namespace tavik::logongate;
  Module& module = TheModule();
  if (module.forward) return module.msgina.LoggedOnSAS(pWlxContext, dwSasType, pReserved);
  if (dwSasType == WLX_SAS_TYPE_SCRNSVR_ACTIVITY) return WLX_SAS_ACTION_LOCK_WKSTA;
  if (dwSasType != WLX_SAS_TYPE_CTRL_ALT_DEL) return WLX_SAS_ACTION_NONE;
  const int result = ShowOptions(module.logon_state);
  return result == 0 || NothingChosen(result) ? WLX_SAS_ACTION_NONE : result;
}

// Exported by logongate.
extern "C" BOOL WlxIsLockOk(PVOID pWlxContext) {
  using namespace tavik::logongate;
  return TheModule().forward ? TheModule().msgina.IsLockOk(pWlxContext) : TRUE;
}

// Exported by logongate.
extern "C" BOOL WlxIsLogoffOk(PVOID pWlxContext) {
  using namespace tavik::logongate;
  return TheModule().forward ? TheModule().msgina.IsLogoffOk(pWlxContext) : TRUE;
}

// Exported by logongate. The user's token is Winlogon's to close: the component only forgets it.
extern "C" VOID WlxLogoff(PVOID pWlxContext) {
  using namespace tavik::logongate;
  Module& module = TheModule();
  if (module.forward) {
    module.msgina.Logoff(pWlxContext);
    return;
  }
  freeAccountList();
  module.logon_state->current = nullptr;
  module.logon_state->user_token = kNoToken;
}

// Exported by logongate.
extern "C" VOID WlxShutdown(PVOID pWlxContext, DWORD ShutdownType) {
  using namespace tavik::logongate;
  Module& module = TheModule();
  EndPowerEventThread();
  if (module.forward) {
    module.msgina.Shutdown(pWlxContext, ShutdownType);
    return;
  }
  freeAccountList();
}
