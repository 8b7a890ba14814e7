// The user's shell: every program of Winlogon's "Userinit" value (comma-separated command lines), started as the
// logged-on user. The desktop and environment Winlogon offers have no counterpart in the machine's processes.
#include <vector>

#include "msgina_private.h"
#include "xp/debug.h"
#include "xp/machine.h"
#include "xp/process_start.h"

XP_DEBUG_CHANNEL(msgina);

namespace xp::msgina {
namespace {

constexpr char kWinlogonKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

std::string UserinitValue() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kWinlogonKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "";
  DWORD type = 0;
  DWORD size = 0;
  std::string text;
  if (RegQueryValueExA(key, "Userinit", nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
    std::vector<char> data(size + 1, '\0');
    if (RegQueryValueExA(key, "Userinit", nullptr, &type, reinterpret_cast<LPBYTE>(data.data()), &size) ==
        ERROR_SUCCESS) {
      text = data.data();
    }
  }
  RegCloseKey(key);
  return text;
}

std::vector<std::string> Programs(const std::string& value) {
  std::vector<std::string> programs;
  size_t start = 0;
  while (start <= value.size()) {
    size_t end = value.find(',', start);
    if (end == std::string::npos) end = value.size();
    std::string program = value.substr(start, end - start);
    program.erase(0, program.find_first_not_of(' '));
    program.erase(program.find_last_not_of(' ') + 1);
    if (!program.empty()) programs.push_back(program);
    start = end + 1;
  }
  return programs;
}

bool StartAs(const std::string& account, std::string command_line) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessAsAccount(account, nullptr, command_line.data(), nullptr, nullptr, 0, nullptr, nullptr, &startup,
                              &process)) {
    machine::Journal("msgina Userinit program " + command_line + " not started (error " +
                     std::to_string(GetLastError()) + ")");
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace
}  // namespace xp::msgina

// Exported by msgina. TRUE when at least one program started.
extern "C" BOOL WlxActivateUserShell(PVOID pWlxContext, PWSTR, PWSTR, PVOID) {
  using namespace xp::msgina;
  const Context& context = ContextOf(pWlxContext, "WlxActivateUserShell");
  bool started = false;
  for (const std::string& program : Programs(UserinitValue())) started = StartAs(context.user, program) || started;
  return started ? TRUE : FALSE;
}

// Exported by msgina. Winlogon starts no application through its GINA here.
extern "C" BOOL WlxStartApplication(PVOID pWlxContext, PWSTR, PVOID, PWSTR) {
  xp::msgina::ContextOf(pWlxContext, "WlxStartApplication");
  XP_FIXME("WlxStartApplication", "is not implemented");
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}
