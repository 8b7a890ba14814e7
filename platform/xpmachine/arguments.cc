// Parsing xpmachine's command line: new, token plug|unplug|show, run, ps, kernel start|stop, type, reg query, boot,
// logon.
#include "arguments.h"

#include <charconv>

namespace xp::xpmachine {

const char kUsage[] =
    "usage: xpmachine new DIR [--token-seed N]     make a machine with one token plugged in\n"
    "       xpmachine token plug|unplug|show DIR    plug, unplug or describe the machine's first token\n"
    "       xpmachine run DIR [--as ACCOUNT] PROGRAM [ARGS...]\n"
    "                                               run a program inside the machine (PROGRAM: a host program,\n"
    "                                               or a Windows path on the machine's drives), as ACCOUNT\n"
    "       xpmachine ps DIR                        list the machine's processes\n"
    "       xpmachine kernel start|stop DIR         start the machine's kernel host, or write its cache back and\n"
    "                                               stop it\n"
    "       xpmachine type DIR PATH                 print a file of the machine (PATH: C:\\...) as its programs\n"
    "                                               read it\n"
    "       xpmachine reg query DIR KEY [/v NAME]   show a registry key, or one of its values, as reg.exe does\n"
    "       xpmachine boot DIR                      restart the machine and run its Winlogon until it ends\n"
    "       xpmachine logon DIR USER PASSWORD       boot, and log USER on at the system's own logon dialog\n";

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

std::optional<Command> ParseRun(const std::vector<std::string>& a) {
  Command command;
  command.kind = Command::Kind::kRun;
  command.dir = a[1];
  size_t program = 2;
  if (a.size() > program && a[program] == "--as") {
    if (a.size() <= program + 1 || a[program + 1].empty()) return std::nullopt;
    command.account = a[program + 1];
    program += 2;
  }
  if (a.size() <= program) return std::nullopt;
  command.program.assign(a.begin() + static_cast<std::ptrdiff_t>(program), a.end());
  return command;
}

std::optional<Command> ParseKernel(const std::vector<std::string>& a) {
  if (a.size() != 3 || (a[1] != "start" && a[1] != "stop") || a[2].empty()) return std::nullopt;
  Command command;
  command.kind = a[1] == "start" ? Command::Kind::kKernelStart : Command::Kind::kKernelStop;
  command.dir = a[2];
  return command;
}

std::optional<Command> ParseRegQuery(const std::vector<std::string>& a) {
  if (a[1] != "query" || (a.size() != 4 && a.size() != 6) || a[2].empty() || a[3].empty()) return std::nullopt;
  Command command;
  command.kind = Command::Kind::kRegQuery;
  command.dir = a[2];
  command.key = a[3];
  if (a.size() == 6) {
    if (a[4] != "/v" && a[4] != "/V") return std::nullopt;
    command.value = a[5];
  }
  return command;
}

std::optional<Command> ParseBoot(const std::vector<std::string>& a) {
  Command command;
  command.dir = a[1];
  if (a[0] == "boot" && a.size() == 2) {
    command.kind = Command::Kind::kBoot;
    return command;
  }
  if (a[0] != "logon" || a.size() != 4 || a[2].empty()) return std::nullopt;
  command.kind = Command::Kind::kLogon;
  command.account = a[2];
  command.password = a[3];
  return command;
}

}  // namespace

std::optional<Command> ParseArguments(const std::vector<std::string>& a) {
  if (a.size() < 2 || a[1].empty()) return std::nullopt;
  if (a[0] == "new") return ParseNew(a);
  if (a[0] == "token") return ParseToken(a);
  if (a[0] == "run") return ParseRun(a);
  if (a[0] == "kernel") return ParseKernel(a);
  if (a[0] == "reg") return ParseRegQuery(a);
  if (a[0] == "boot" || a[0] == "logon") return ParseBoot(a);
  if (a[0] == "type" && a.size() == 3 && !a[2].empty()) {
    Command command;
    command.kind = Command::Kind::kType;
    command.dir = a[1];
    command.path = a[2];
    return command;
  }
  if (a[0] == "ps" && a.size() == 2) {
    Command command;
    command.kind = Command::Kind::kPs;
    command.dir = a[1];
    return command;
  }
  return std::nullopt;
}

}  // namespace xp::xpmachine
