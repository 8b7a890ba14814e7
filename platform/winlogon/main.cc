// winlogon: the Winlogon of a booted machine, started by the boot as SYSTEM. Exit code 0 when it ended for a
// restart or a shutdown; 2 when it stopped with nobody left to press Ctrl+Alt+Del (a UI script played out, or no
// user at all); 1 when its GINA could not be brought up.
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "xp/winlogon.h"

namespace {

// A typed logon handed over by xpmachine logon, taken out of the environment before anything is started.
std::optional<xp::winlogon::TypedLogon> TakeTypedLogon() {
  const char* value = std::getenv(xp::winlogon::kTypedLogonVariable);
  if (value == nullptr) return std::nullopt;
  const std::string text = value;
  ::unsetenv(xp::winlogon::kTypedLogonVariable);
  const size_t line_break = text.find('\n');
  if (line_break == std::string::npos) return std::nullopt;
  return xp::winlogon::TypedLogon{text.substr(0, line_break), text.substr(line_break + 1)};
}

}  // namespace

int main() {
  xp::winlogon::Options options;
  options.typed_logon = TakeTypedLogon();
  const xp::winlogon::Outcome outcome = xp::winlogon::Run(options);
  if (outcome == xp::winlogon::Outcome::kFailed) {
    std::fprintf(stderr, "winlogon: the GINA could not be brought up (see the machine's journal)\n");
    return 1;
  }
  return outcome == xp::winlogon::Outcome::kNobodyThere ? xp::winlogon::kNobodyThereExitCode : 0;
}
