// ExitWindowsEx: asks for the machine's restart. The request is recorded for the boot code and journaled; nothing
// ends here, so the calling program goes on and exits by itself, as the system's programs do after asking.
#include <algorithm>
#include <cstdio>
#include <string>

#include "windows.h"
#include "winuser.h"
#include "xp/debug.h"
#include "xp/faults.h"
#include "xp/machine.h"
#include "xp/processes.h"

XP_DEBUG_CHANNEL(user32);

namespace {

constexpr UINT kImplementedFlags = EWX_REBOOT | EWX_FORCE | EWX_FORCEIFHUNG;

}  // namespace

// Exported by user32. The shutdown privilege must be enabled in the caller's token, as XP requires.
extern "C" BOOL ExitWindowsEx(UINT flags, DWORD) {
  if ((flags & EWX_REBOOT) == 0 || (flags & ~kImplementedFlags) != 0) {
    XP_FIXME("ExitWindowsEx",
             "only a restart (EWX_REBOOT, with EWX_FORCE or EWX_FORCEIFHUNG) is implemented, not flags %#x", flags);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("ExitWindowsEx")) {
    SetLastError(*error);
    return FALSE;
  }
  const std::vector<std::string> enabled = xp::machine::CurrentProcess().privileges;
  if (std::find(enabled.begin(), enabled.end(), SE_SHUTDOWN_NAME) == enabled.end()) {
    SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return FALSE;
  }
  xp::machine::RequestRestart(flags);
  return TRUE;
}
