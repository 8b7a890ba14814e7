// The logged-on and locked states: Ctrl+Alt+Del shows "Windows Security" (lock, log off, shut down, restart), a
// locked computer is unlocked by the logged-on user's password, and log-off forgets the user.
#include "msgina_private.h"
#include "xp/debug.h"
#include "xp/msgina.h"

XP_DEBUG_CHANNEL(msgina);

namespace xp::msgina {
namespace {

constexpr char kWrongPassword[] =
    "The password is incorrect. Please retype your password. Letters in passwords must be typed using the correct "
    "case.";

int ActionOfSecurityChoice(int choice) {
  switch (choice) {
    case kSecurityLock:
      return WLX_SAS_ACTION_LOCK_WKSTA;
    case kSecurityLogOff:
      return WLX_SAS_ACTION_LOGOFF;
    case kSecurityShutDown:
      return WLX_SAS_ACTION_SHUTDOWN;
    case kSecurityRestart:
      return WLX_SAS_ACTION_SHUTDOWN_REBOOT;
    default:  // Cancel, or Winlogon ended the dialog
      return WLX_SAS_ACTION_NONE;
  }
}

}  // namespace
}  // namespace xp::msgina

// Exported by msgina.
extern "C" int WlxLoggedOnSAS(PVOID pWlxContext, DWORD dwSasType, PVOID) {
  using namespace xp::msgina;
  const Context& context = ContextOf(pWlxContext, "WlxLoggedOnSAS");
  if (dwSasType != WLX_SAS_TYPE_CTRL_ALT_DEL) return WLX_SAS_ACTION_NONE;
  return ActionOfSecurityChoice(ShowSecurityDialog(context));
}

// Exported by msgina.
extern "C" BOOL WlxIsLockOk(PVOID pWlxContext) {
  xp::msgina::ContextOf(pWlxContext, "WlxIsLockOk");
  return TRUE;
}

// Exported by msgina. Nothing of its own: Winlogon's locked screen waits for the keys.
extern "C" VOID WlxDisplayLockedNotice(PVOID pWlxContext) {
  xp::msgina::ContextOf(pWlxContext, "WlxDisplayLockedNotice");
}

// Exported by msgina. Only the logged-on user's password unlocks.
extern "C" int WlxWkstaLockedSAS(PVOID pWlxContext, DWORD dwSasType) {
  using namespace xp::msgina;
  const Context& context = ContextOf(pWlxContext, "WlxWkstaLockedSAS");
  if (dwSasType != WLX_SAS_TYPE_CTRL_ALT_DEL) return WLX_SAS_ACTION_NONE;
  DialogTexts texts;
  if (ShowUnlockDialog(context, &texts) != IDOK) return WLX_SAS_ACTION_NONE;
  DWORD error = 0;
  if (!LogonUser(context.user, texts.password, nullptr, &error)) {
    ShowBox(context, kWrongPassword, "Unlock Computer", MB_OK | MB_ICONERROR);
    return WLX_SAS_ACTION_NONE;
  }
  return WLX_SAS_ACTION_UNLOCK_WKSTA;
}

// Exported by msgina.
extern "C" BOOL WlxIsLogoffOk(PVOID pWlxContext) {
  xp::msgina::ContextOf(pWlxContext, "WlxIsLogoffOk");
  return TRUE;
}

// Exported by msgina.
extern "C" VOID WlxLogoff(PVOID pWlxContext) { xp::msgina::ContextOf(pWlxContext, "WlxLogoff").user.clear(); }

// Exported by msgina. No screen saver runs on the machine.
extern "C" BOOL WlxScreenSaverNotify(PVOID pWlxContext, BOOL*) {
  xp::msgina::ContextOf(pWlxContext, "WlxScreenSaverNotify");
  XP_FIXME("WlxScreenSaverNotify", "is not implemented");
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}
