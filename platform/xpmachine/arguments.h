// The command line of xpmachine, parsed into one command.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace xp::xpmachine {

extern const char kUsage[];

struct Command {
  enum class Kind { kNew, kTokenPlug, kTokenUnplug, kTokenShow, kRun };
  Kind kind = Kind::kNew;
  std::filesystem::path dir;
  uint64_t token_seed = 1;           // new
  std::vector<std::string> program;  // run: the program and its arguments
};

// The command, or nullopt when the arguments (without the program name) do not form one.
std::optional<Command> ParseArguments(const std::vector<std::string>& arguments);

}  // namespace xp::xpmachine
