// xpmachine token plug|unplug|show: the machine's first token.
#include <cstdio>

#include "commands.h"
#include "xp/usbtoken.h"

namespace xp::xpmachine {

int TokenCommand(const Command& command) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(command.dir / "machine.ini", error)) {
    std::fprintf(stderr, "xpmachine: %s is not a machine\n", command.dir.c_str());
    return 1;
  }
  const std::vector<usbtoken::TokenInfo> tokens = usbtoken::List(command.dir);
  if (tokens.empty()) {
    std::fprintf(stderr, "xpmachine: %s has no token\n", command.dir.c_str());
    return 1;
  }
  const std::string& id = tokens.front().id;
  switch (command.kind) {
    case Command::Kind::kTokenPlug:
      if (!usbtoken::Plug(command.dir, id)) break;
      std::printf("%s plugged in\n", id.c_str());
      return 0;
    case Command::Kind::kTokenUnplug:
      if (!usbtoken::Unplug(command.dir, id)) break;
      std::printf("%s unplugged\n", id.c_str());
      return 0;
    default:
      std::fputs(usbtoken::Describe(command.dir, id).c_str(), stdout);
      return 0;
  }
  std::fprintf(stderr, "xpmachine: cannot change %s\n", id.c_str());
  return 1;
}

}  // namespace xp::xpmachine
