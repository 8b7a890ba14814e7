// xpmachine power-off: the machine loses its power. Every process started inside it and its kernel end at once;
// what the kernel had neither flushed nor written through is lost, as a real disk loses it. The next program that
// needs the kernel starts it again, and notes in the journal that the last one ended without shutting down.
#include <cstdio>

#include "commands.h"
#include "host_control.h"

namespace xp::xpmachine {

int PowerOffCommand(const Command& command) {
  const std::optional<std::filesystem::path> dir = EnterMachine(command);
  if (!dir) return 1;
  ntos::host::PowerOff(*dir);
  std::printf("machine %s is off\n", command.dir.c_str());
  return 0;
}

}  // namespace xp::xpmachine
