// Whether Winlogon's own wait for Ctrl+Alt+Del can be answered. A person at a console can always press the keys; a
// UI script only while it has steps left; nobody else. Without anyone, Winlogon stops instead of waiting for ever
// (or failing the script that has simply been played out).
#include <unistd.h>

#include <cstdlib>
#include <exception>

#include "winlogon_private.h"
#include "xp/ui_script.h"

namespace xp::winlogon {

bool SomeoneCanAnswer() {
  const char* variable = std::getenv("XPMACHINE_UI");
  const std::string setting = variable != nullptr ? variable : "";
  if (setting.starts_with("script:")) {
    try {
      return ui::ScriptStepsLeft() > 0;
    } catch (const std::exception&) {
      return true;  // an unreadable script: the UI engine's own wait says what is wrong with it
    }
  }
  if (setting == "console") return true;
  return setting.empty() && ::isatty(STDIN_FILENO) != 0;
}

}  // namespace xp::winlogon
