// The forced restart that ends an install or uninstall phase.
#include "setupcore_private.h"

namespace tavik::setupcore {
namespace {

// Enables SeShutdownPrivilege in the process token; failures only leave a debug string, as the restart request
// itself reports whether it was allowed.
void EnableShutdownPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    OutputDebugStringA("OpenProcessToken");
    return;
  }
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid) ||
      !AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) || GetLastError() != ERROR_SUCCESS) {
    OutputDebugStringA("AdjustTokenPrivileges");
  }
  CloseHandle(token);
}

}  // namespace
}  // namespace tavik::setupcore

// Exported by setupcore. True when the restart was accepted; a refused one also leaves the debug string
// "ExitWindowsEx", so that it is never silent.
bool doReboot(void) {
  tavik::setupcore::EnableShutdownPrivilege();
  if (ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0)) return true;
  OutputDebugStringA("ExitWindowsEx");
  return false;
}
