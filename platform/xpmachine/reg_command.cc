// xpmachine reg query and reg add: a key of the machine's registry, or one value, laid out as reg.exe's query lays
// it out; and a text value set, as reg.exe's add sets it, for what a person configures by hand.
#include <cctype>
#include <cstdio>
#include <string_view>

#include "commands.h"
#include "winreg.h"
#include "xp/registry.h"

namespace xp::xpmachine {
namespace {

// The key below HKLM that `key` names, or nullopt when it names none.
std::optional<std::string> MachineSubkey(const std::string& key) {
  for (const std::string_view root : {"HKLM\\", "HKEY_LOCAL_MACHINE\\"}) {
    if (key.size() <= root.size()) continue;
    bool same = true;
    for (size_t i = 0; i < root.size(); ++i) {
      same = same && std::toupper(static_cast<unsigned char>(key[i])) == root[i];
    }
    if (same) return key.substr(root.size());
  }
  return std::nullopt;
}

}  // namespace

int QueryRegistry(const Command& command) {
  if (!EnterMachine(command)) return 1;
  int exit_code = 1;
  const std::string text = registry::FormatQuery(command.key, command.value, &exit_code);
  std::fputs(text.c_str(), exit_code == 0 ? stdout : stderr);
  return exit_code;
}

int AddToRegistry(const Command& command) {
  if (!EnterMachine(command)) return 1;
  const std::optional<std::string> path = MachineSubkey(command.key);
  registry::KeyId key = 0;
  const std::string ansi = command.data;
  const std::vector<uint8_t> data =
      registry::AnsiDataToStored(REG_SZ, reinterpret_cast<const BYTE*>(ansi.c_str()), ansi.size() + 1);
  if (!path || registry::CreateKey(registry::kMachineKey, registry::AnsiToUtf16(*path), &key, nullptr) != ERROR_SUCCESS ||
      registry::SetValue(key, registry::AnsiToUtf16(*command.value), REG_SZ, data) != ERROR_SUCCESS) {
    std::fputs("ERROR: Invalid key name.\nType \"REG ADD /?\" for usage.\n", stderr);
    return 1;
  }
  std::puts("The operation completed successfully.");
  return 0;
}

}  // namespace xp::xpmachine
