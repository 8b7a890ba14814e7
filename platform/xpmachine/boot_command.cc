// xpmachine boot DIR: restarts the machine (every process of it ends, its kernel starts afresh with the boot
// drivers) and runs its Winlogon until it ends; the machine's UI driver (XPMACHINE_UI) answers. xpmachine logon DIR
// USER PASSWORD: the same boot, with USER and PASSWORD typed at the system's own logon dialog; everything after the
// logon is answered as XPMACHINE_UI says, which therefore must not be a script of its own.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "commands.h"
#include "xp/boot.h"

namespace xp::xpmachine {

int BootCommand(const Command& command) {
  const std::optional<std::filesystem::path> dir = EnterMachine(command);
  if (!dir) return 1;
  boot::BootOptions options;
  if (command.kind == Command::Kind::kLogon) {
    const char* ui = std::getenv("XPMACHINE_UI");
    if (ui != nullptr && std::string(ui).starts_with("script:")) {
      std::fprintf(stderr, "xpmachine: logon types the logon itself; with a UI script, boot and script the logon\n");
      return 1;
    }
    options.typed_logon = winlogon::TypedLogon{command.account, command.password};
  }
  const boot::BootResult result = boot::Boot(*dir, options);
  if (!result.booted || result.winlogon_exit_code != 0) {
    std::fprintf(stderr, "xpmachine: %s: %s\n", command.dir.c_str(),
                 result.error.empty() ? "winlogon failed (see the machine's journal.log)" : result.error.c_str());
    return 1;
  }
  if (result.restart_requested) std::printf("machine %s asks for a restart: run xpmachine boot again\n", dir->c_str());
  return 0;
}

}  // namespace xp::xpmachine
