// xpmachine: makes simulated machines, plugs and unplugs their token, runs programs inside them, lists their
// processes, starts and stops their kernel, and shows their files and registry as their programs see them.
#include <cstdio>
#include <string>
#include <vector>

#include "arguments.h"
#include "commands.h"

int main(int argc, char** argv) {
  using xp::xpmachine::Command;
  if (argc >= 2 && std::string(argv[1]) == "web") return xp::xpmachine::WebCommand({argv + 2, argv + argc});
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
    case Command::Kind::kPs:
      return xp::xpmachine::ListProcesses(*command);
    case Command::Kind::kKernelStart:
    case Command::Kind::kKernelStop:
      return xp::xpmachine::KernelCommand(*command);
    case Command::Kind::kType:
      return xp::xpmachine::TypeFile(*command);
    case Command::Kind::kBoot:
    case Command::Kind::kLogon:
      return xp::xpmachine::BootCommand(*command);
    case Command::Kind::kRegQuery:
      return xp::xpmachine::QueryRegistry(*command);
    default:
      return xp::xpmachine::TokenCommand(*command);
  }
}
