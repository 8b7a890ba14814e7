// xpmachine kernel start|stop: runs the machine's kernel in its host program (xp_ntoshost, beside xpmachine), or
// has the host write its cache back and end.
#include <cstdio>

#include "commands.h"
#include "host_control.h"

namespace xp::xpmachine {

int KernelCommand(const Command& command) {
  const std::optional<std::filesystem::path> dir = EnterMachine(command);
  if (!dir) return 1;
  std::string error;
  bool done = false;
  if (command.kind == Command::Kind::kKernelStart) {
    const std::filesystem::path host = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "xp_ntoshost";
    done = ntos::host::StartKernelHost(host, *dir, &error);
  } else {
    done = ntos::host::StopKernelHost(*dir, &error);
  }
  if (!done) std::fprintf(stderr, "xpmachine: %s: %s\n", command.dir.c_str(), error.c_str());
  return done ? 0 : 1;
}

}  // namespace xp::xpmachine
