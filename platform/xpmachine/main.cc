// xpmachine: makes simulated machines, plugs and unplugs their token, runs programs inside them, lists their
// processes, starts and stops their kernel, cuts their power, arms faults in them, and shows their files and
// registry as their programs see them. "xpmachine help [COMMAND]" (or --help) prints the usage.
#include <cstdio>
#include <string>
#include <vector>

#include "arguments.h"
#include "commands.h"

namespace {

using xp::xpmachine::Command;
using xp::xpmachine::UsageOf;

bool AsksForHelp(const std::vector<std::string>& arguments) {
  return arguments[0] == "help" || arguments[0] == "--help" || arguments[0] == "-h";
}

int Help(const std::vector<std::string>& arguments) {
  const std::string topic = arguments.size() > 1 ? arguments[1] : "";
  const std::string usage = UsageOf(topic);
  if (usage.empty()) {
    std::fprintf(stderr, "xpmachine: help: unknown command '%s'\n%s", topic.c_str(), UsageOf("").c_str());
    return 2;
  }
  std::fputs(usage.c_str(), stdout);
  return 0;
}

int Run(const Command& command) {
  switch (command.kind) {
    case Command::Kind::kNew: return xp::xpmachine::NewMachine(command);
    case Command::Kind::kRun: return xp::xpmachine::RunInMachine(command);
    case Command::Kind::kPs: return xp::xpmachine::ListProcesses(command);
    case Command::Kind::kKernelStart:
    case Command::Kind::kKernelStop: return xp::xpmachine::KernelCommand(command);
    case Command::Kind::kType: return xp::xpmachine::TypeFile(command);
    case Command::Kind::kBoot:
    case Command::Kind::kLogon: return xp::xpmachine::BootCommand(command);
    case Command::Kind::kRegQuery: return xp::xpmachine::QueryRegistry(command);
    case Command::Kind::kPowerOff: return xp::xpmachine::PowerOffCommand(command);
    case Command::Kind::kRegAdd: return xp::xpmachine::AddToRegistry(command);
    case Command::Kind::kDeviceList:
    case Command::Kind::kDevicePending: return xp::xpmachine::DeviceCommand(command);
    default: return xp::xpmachine::TokenCommand(command);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.empty()) {
    std::fprintf(stderr, "xpmachine: no command given\n%s", UsageOf("").c_str());
    return 2;
  }
  if (AsksForHelp(arguments)) return Help(arguments);
  if (arguments[0] == "web") return xp::xpmachine::WebCommand({arguments.begin() + 1, arguments.end()});
  if (arguments[0] == "fault") return xp::xpmachine::FaultCommand({arguments.begin() + 1, arguments.end()});
  std::string why;
  const std::optional<Command> command = xp::xpmachine::ParseArguments(arguments, &why);
  if (!command) {
    const std::string usage = UsageOf(arguments[0]);
    const std::string what = usage.empty() ? why : arguments[0] + ": " + why;
    std::fprintf(stderr, "xpmachine: %s\n%s", what.c_str(), usage.empty() ? UsageOf("").c_str() : usage.c_str());
    return 2;
  }
  return Run(*command);
}
