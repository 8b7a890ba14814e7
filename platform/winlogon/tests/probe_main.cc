// A program of the machine for the Winlogon tests: journals "probe as <account>:" and its arguments, one per
// "|", then runs its commands: "restart" asks for a restart as a setup program does (the shutdown privilege
// enabled, then ExitWindowsEx), and goes on to end itself.
#include <string>

#include "windows.h"
#include "xp/accounts.h"
#include "xp/machine.h"

namespace {

bool AskForRestart() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  const bool enabled = LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid) &&
                       AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  CloseHandle(token);
  return enabled && ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0);
}

}  // namespace

int main(int argc, char** argv) {
  std::string line = "probe as " + xp::machine::CurrentAccountName() + ":";
  for (int i = 1; i < argc; ++i) line += (i == 1 ? " " : "|") + std::string(argv[i]);
  xp::machine::Journal(line);
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "restart" && !AskForRestart()) return 2;
  }
  return 0;
}
