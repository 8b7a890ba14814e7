// A person at the machine changes tokens while logged on: this program of the session unplugs the plugged token
// and plugs the other one in (the machine has two), then ends.
#include "xp/usbtoken.h"
#include "xp/machine.h"

int main() {
  const std::filesystem::path& machine = xp::machine::Root();
  for (const xp::usbtoken::TokenInfo& token : xp::usbtoken::List(machine)) {
    if (token.plugged) {
      xp::usbtoken::Unplug(machine, token.id);
    } else {
      xp::usbtoken::Plug(machine, token.id);
    }
  }
  xp::machine::Journal("the user swapped the tokens");
  return 0;
}
