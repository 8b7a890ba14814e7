// xpmachine boot DIR: restarts the machine (every process of it ends, its kernel starts afresh with the boot
// drivers) and runs its Winlogon until it ends; the machine's UI driver (XPMACHINE_UI) answers. xpmachine logon DIR
// USER PASSWORD: the same boot, with USER and PASSWORD typed at the system's own logon dialog; everything after the
// logon is answered as XPMACHINE_UI says, which therefore must not be a script of its own.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "commands.h"
#include "xp/boot.h"
#include "xp/ui.h"

namespace xp::xpmachine {
namespace {

// Winlogon stopped waiting for Ctrl+Alt+Del: fine when nobody was meant to be there (XPMACHINE_UI=none); a UI
// script that ran out, or a boot with no way to ask at all, is a failed run.
int NobodyAtTheKeys(const Command& command) {
  const char* variable = std::getenv("XPMACHINE_UI");
  const std::string ui = variable != nullptr ? variable : "";
  if (ui == "none") {
    std::printf("machine %s booted; nobody at the keys (XPMACHINE_UI=none): Winlogon stopped\n",
                command.dir.c_str());
    return 0;
  }
  if (ui.starts_with("script:")) {
    std::fprintf(stderr, "xpmachine: %s: the UI script ran out: Winlogon stopped waiting for Ctrl+Alt+Del (see the "
                         "machine's journal.log)\n", command.dir.c_str());
  } else {
    std::fprintf(stderr, "xpmachine: %s: Winlogon cannot ask anyone: there is no terminal and XPMACHINE_UI names no "
                         "script (XPMACHINE_UI=script:FILE answers from a file)\n", command.dir.c_str());
  }
  return 3;
}

}  // namespace

int BootCommand(const Command& command) {
  const std::optional<std::filesystem::path> dir = EnterMachine(command);
  if (!dir) return 1;
  boot::BootOptions options;
  options.safe_mode = command.safe_mode;
  if (command.kind == Command::Kind::kLogon) {
    const char* ui = std::getenv("XPMACHINE_UI");
    if (ui != nullptr && std::string(ui).starts_with("script:")) {
      std::fprintf(stderr, "xpmachine: logon types the logon itself; with a UI script, boot and script the logon\n");
      return 1;
    }
    options.typed_logon = winlogon::TypedLogon{command.account, command.password};
  }
  const boot::BootResult result = boot::Boot(*dir, options);
  if (result.booted && result.nobody_at_the_keys) return NobodyAtTheKeys(command);
  if (result.booted && result.winlogon_exit_code == ui::kUiFailureExitCode) {
    std::fprintf(stderr, "xpmachine: %s: Winlogon's question found no answer: the UI script ran out or did not match "
                         "(see the machine's journal.log)\n", command.dir.c_str());
    return 3;
  }
  if (!result.booted || result.winlogon_exit_code != 0) {
    std::fprintf(stderr, "xpmachine: %s: %s\n", command.dir.c_str(),
                 result.error.empty() ? "winlogon failed (see the machine's journal.log)" : result.error.c_str());
    return 1;
  }
  if (result.restart_requested) std::printf("machine %s asks for a restart: run xpmachine boot again\n", dir->c_str());
  return 0;
}

}  // namespace xp::xpmachine
