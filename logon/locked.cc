// The locked state: the locked notice, and unlocking with the token that logged on.
#include "logongate_private.h"

// Exported by logongate.
extern "C" VOID WlxDisplayLockedNotice(PVOID pWlxContext) {
  using namespace tavik::logongate;
  if (TheModule().forward) {
    TheModule().msgina.DisplayLockedNotice(pWlxContext);
    return;
  }
  ShowLockedNotice();
}

// Exported by logongate.
extern "C" int WlxWkstaLockedSAS(PVOID pWlxContext, DWORD dwSasType) {
  using namespace tavik::logongate;
  Module& module = TheModule();
  if (module.forward) {
    module.resumed = false;
    return module.msgina.WkstaLockedSAS(pWlxContext, dwSasType);
  }
  const int result = ShowUnlockDialog();
  if (result == WLX_SAS_ACTION_UNLOCK_WKSTA) module.resumed = false;
  return result == 0 || NothingChosen(result) ? WLX_SAS_ACTION_NONE : result;
}
