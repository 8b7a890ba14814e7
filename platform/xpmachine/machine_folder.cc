// Entering the machine a command names: its folder must hold machine.ini.
#include <stdlib.h>

#include <cstdio>

#include "commands.h"

namespace xp::xpmachine {

std::optional<std::filesystem::path> EnterMachine(const Command& command) {
  std::error_code error;
  std::filesystem::path dir = std::filesystem::absolute(command.dir, error).lexically_normal();
  if (!dir.has_filename()) dir = dir.parent_path();
  if (error || !std::filesystem::is_regular_file(dir / "machine.ini", error)) {
    std::fprintf(stderr, "xpmachine: %s is not a machine\n", command.dir.c_str());
    return std::nullopt;
  }
  ::setenv("XPMACHINE", dir.c_str(), 1);
  return dir;
}

}  // namespace xp::xpmachine
