// xpmachine run: starts a program inside the machine (XPMACHINE set to its folder); the program's exit code is
// the tool's, since the program takes the tool's place.
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "commands.h"

namespace xp::xpmachine {

int RunInMachine(const Command& command) {
  std::error_code error;
  std::filesystem::path dir = std::filesystem::absolute(command.dir, error).lexically_normal();
  if (!dir.has_filename()) dir = dir.parent_path();
  if (error || !std::filesystem::is_regular_file(dir / "machine.ini", error)) {
    std::fprintf(stderr, "xpmachine: %s is not a machine\n", command.dir.c_str());
    return 1;
  }
  ::setenv("XPMACHINE", dir.c_str(), 1);
  std::vector<char*> argv;
  for (const std::string& argument : command.program) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  ::execvp(argv[0], argv.data());
  std::fprintf(stderr, "xpmachine: cannot run %s: %s\n", argv[0], std::strerror(errno));
  return 127;  // as a shell reports a program it cannot start
}

}  // namespace xp::xpmachine
