// xpmachine reg query: a key of the machine's registry, or one value, laid out as reg.exe's query lays it out.
#include <cstdio>

#include "commands.h"
#include "xp/registry.h"

namespace xp::xpmachine {

int QueryRegistry(const Command& command) {
  if (!EnterMachine(command)) return 1;
  int exit_code = 1;
  const std::string text = registry::FormatQuery(command.key, command.value, &exit_code);
  std::fputs(text.c_str(), exit_code == 0 ? stdout : stderr);
  return exit_code;
}

}  // namespace xp::xpmachine
