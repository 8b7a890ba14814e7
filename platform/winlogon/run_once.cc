// RunOnce at logon, as the shell does it for an administrator: each value of HKLM RunOnce is deleted, then its
// command line is started as the user (quoted paths and arguments as CreateProcessA reads them), without waiting.
// A value is deleted before its program starts, so a program that fails or crashes is not started again. In safe
// mode nothing runs and the values stay.
#include "winlogon_private.h"
#include "xp/accounts.h"
#include "xp/machine.h"
#include "xp/process_start.h"
#include "xp/registry.h"

namespace xp::winlogon {
namespace {

constexpr char16_t kRunOnceKey[] = u"\\Registry\\Machine\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

std::string CommandLine(const registry::Value& value) { return registry::Utf16ToAnsi(registry::StoredText(value)); }

void Start(const std::string& user, const std::string& name, std::string command_line) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessAsAccount(user, nullptr, command_line.data(), nullptr, nullptr, 0, nullptr, nullptr, &startup,
                              &process)) {
    machine::Journal("winlogon RunOnce " + name + " not started (error " + std::to_string(GetLastError()) + ")");
    return;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace

void RunOnceAtLogon(const std::string& user) {
  const std::optional<machine::Account> account = machine::FindAccount(user);
  if (!account || !account->administrator) return;
  if (machine::CurrentBootMode() != machine::BootMode::kNormal) return;
  registry::KeyId key = 0;
  if (registry::OpenPath(kRunOnceKey, &key) != ERROR_SUCCESS) return;
  std::vector<registry::Value> values;
  registry::Value value;
  for (DWORD index = 0; registry::EnumValue(key, index, &value) == ERROR_SUCCESS; ++index) values.push_back(value);
  for (const registry::Value& entry : values) {
    const std::string name = registry::Utf16ToAnsi(entry.name);
    // "!" (delete only after success) and "*" (run in safe mode too) ask for more than the system uses.
    if (name.starts_with("!") || name.starts_with("*") || entry.type != REG_SZ) {
      machine::Journal("winlogon RunOnce " + name + " left in place: only plain REG_SZ values are run");
      continue;
    }
    if (const LONG error = registry::DeleteValue(key, entry.name); error != ERROR_SUCCESS) {
      machine::Journal("winlogon RunOnce " + name + " not deleted (error " + std::to_string(error) + "), not run");
      continue;
    }
    machine::Journal("winlogon RunOnce " + name + " deleted");
    const std::string command_line = CommandLine(entry);
    if (!command_line.empty()) Start(user, name, command_line);
  }
}

}  // namespace xp::winlogon
