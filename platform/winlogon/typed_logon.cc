// xpmachine logon: Winlogon answers its own two questions, the keys on the welcome screen and the MSGINA stand-in's
// logon dialog, from a UI script of its own (DIR/winlogon-logon.script), and gives the session's programs back the
// UI setting it was started with.
#include <stdlib.h>

#include <fstream>
#include <stdexcept>

#include "winlogon_private.h"
#include "xp/machine.h"
#include "xp/msgina.h"
#include "xp/ui.h"

namespace xp::winlogon {
namespace {

constexpr char kVariable[] = "XPMACHINE_UI";
constexpr char kScriptFile[] = "winlogon-logon.script";

std::string ScriptText(const TypedLogon& logon) {
  return "ctrl-alt-del " + ui::Quote(kWelcomeScreen, true) + "\n" + "dialog " +
         std::to_string(msgina::kLogonDialog) + ": type " + std::to_string(msgina::kLogonUserName) + " " +
         ui::Quote(logon.user) + "; type " + std::to_string(msgina::kLogonPassword) + " " +
         ui::Quote(logon.password) + "; click IDOK\n";
}

}  // namespace

TypedLogonScript::TypedLogonScript(const TypedLogon& logon) {
  const std::filesystem::path script = machine::Root() / kScriptFile;
  std::ofstream file(script, std::ios::binary | std::ios::trunc);
  file << ScriptText(logon);
  if (!file.flush()) throw std::runtime_error("cannot write " + script.string());
  if (const char* value = std::getenv(kVariable)) saved_ = value;
  ::setenv(kVariable, ("script:" + script.string()).c_str(), 1);
}

void TypedLogonScript::Restore() {
  if (!active_) return;
  active_ = false;
  std::error_code error;
  std::filesystem::remove(machine::Root() / kScriptFile, error);
  if (saved_) {
    ::setenv(kVariable, saved_->c_str(), 1);
  } else {
    ::unsetenv(kVariable);
  }
}

}  // namespace xp::winlogon
