// xpmachine: makes simulated machines, plugs and unplugs their token, and runs programs inside them.
#include <cstdio>
#include <string>
#include <vector>

#include "arguments.h"
#include "commands.h"

int main(int argc, char** argv) {
  using xp::xpmachine::Command;
  const std::optional<Command> command = xp::xpmachine::ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
  if (!command) {
    std::fputs(xp::xpmachine::kUsage, stderr);
    return 2;
  }
  switch (command->kind) {
    case Command::Kind::kNew:
      return xp::xpmachine::NewMachine(*command);
    case Command::Kind::kRun:
      return xp::xpmachine::RunInMachine(*command);
    default:
      return xp::xpmachine::TokenCommand(*command);
  }
}
