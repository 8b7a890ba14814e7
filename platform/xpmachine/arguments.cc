// Parsing xpmachine's command line: new, token plug|unplug|show, run.
#include "arguments.h"

#include <charconv>

namespace xp::xpmachine {

const char kUsage[] =
    "usage: xpmachine new DIR [--token-seed N]     make a machine with one token plugged in\n"
    "       xpmachine token plug|unplug|show DIR    plug, unplug or describe the machine's first token\n"
    "       xpmachine run DIR PROGRAM [ARGS...]     run a program inside the machine\n";

namespace {

std::optional<uint64_t> Number(const std::string& text) {
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<Command> ParseNew(const std::vector<std::string>& a) {
  Command command;
  command.dir = a[1];
  if (a.size() == 2) return command;
  if (a.size() != 4 || a[2] != "--token-seed") return std::nullopt;
  const std::optional<uint64_t> seed = Number(a[3]);
  if (!seed) return std::nullopt;
  command.token_seed = *seed;
  return command;
}

std::optional<Command> ParseToken(const std::vector<std::string>& a) {
  if (a.size() != 3) return std::nullopt;
  Command command;
  command.dir = a[2];
  if (a[1] == "plug") {
    command.kind = Command::Kind::kTokenPlug;
  } else if (a[1] == "unplug") {
    command.kind = Command::Kind::kTokenUnplug;
  } else if (a[1] == "show") {
    command.kind = Command::Kind::kTokenShow;
  } else {
    return std::nullopt;
  }
  return command;
}

}  // namespace

std::optional<Command> ParseArguments(const std::vector<std::string>& a) {
  if (a.size() < 2 || a[1].empty()) return std::nullopt;
  if (a[0] == "new") return ParseNew(a);
  if (a[0] == "token") return ParseToken(a);
  if (a[0] == "run" && a.size() >= 3) {
    Command command;
    command.kind = Command::Kind::kRun;
    command.dir = a[1];
    command.program.assign(a.begin() + 2, a.end());
    return command;
  }
  return std::nullopt;
}

}  // namespace xp::xpmachine
