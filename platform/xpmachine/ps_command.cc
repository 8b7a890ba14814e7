// xpmachine ps: the machine's process table as a person reads it, one process per line.
#include <stdlib.h>

#include <cstdio>
#include <string>

#include "commands.h"
#include "xp/processes.h"

namespace xp::xpmachine {
namespace {

std::string State(const machine::ProcessRecord& process) {
  if (process.live) return "running";
  if (!process.exit_code) return "ended, no code";
  char code[32];
  std::snprintf(code, sizeof code, *process.exit_code > 0xFFFF ? "exit 0x%08X" : "exit %u", *process.exit_code);
  return code;
}

}  // namespace

int ListProcesses(const Command& command) {
  std::error_code error;
  std::filesystem::path dir = std::filesystem::absolute(command.dir, error).lexically_normal();
  if (!dir.has_filename()) dir = dir.parent_path();
  if (error || !std::filesystem::is_regular_file(dir / "machine.ini", error)) {
    std::fprintf(stderr, "xpmachine: %s is not a machine\n", command.dir.c_str());
    return 1;
  }
  ::setenv("XPMACHINE", dir.c_str(), 1);
  std::printf("%-6s %-6s %-16s %-16s %s\n", "PID", "PARENT", "ACCOUNT", "STATE", "IMAGE");
  for (const machine::ProcessRecord& process : machine::ListProcesses()) {
    std::printf("%-6u %-6u %-16s %-16s %s\n", process.pid, process.parent, process.account.c_str(),
                State(process).c_str(), process.image.c_str());
  }
  return 0;
}

}  // namespace xp::xpmachine
