// Parsing xpmachine's command line: new, token plug|unplug|show, run, ps, kernel start|stop, type, reg query|add, boot,
// logon, power-off, web, device list|pending; and the usage text, whole or for one command.
#include "arguments.h"

#include <charconv>

namespace xp::xpmachine {
namespace {

// One command's usage: its lines of the usage text.
struct Usage {
  const char* command;
  const char* text;
};

constexpr Usage kUsages[] = {
    {"new", "xpmachine new DIR [--token-seed N]     make a machine with one token plugged in\n"},
    {"token",
     "xpmachine token plug|unplug|show DIR    plug, unplug or describe the machine's first token\n"
     "       xpmachine token answer DIR PUZZLE       the Key Answer to a Key Puzzle, as the maker's web service\n"
     "                                         gives it for the machine's first token\n"},
    {"run",
     "xpmachine run DIR [--as ACCOUNT] PROGRAM [ARGS...]\n"
     "                                         run a program inside the machine (PROGRAM: a host program, or a\n"
     "                                         Windows path on the machine's drives), as ACCOUNT\n"},
    {"ps", "xpmachine ps DIR                        list the machine's processes and their exit codes\n"},
    {"kernel",
     "xpmachine kernel start|stop DIR         start the machine's kernel (its programs start it when they need\n"
     "                                         it), or have it write its cache back and stop\n"},
    {"type",
     "xpmachine type DIR PATH                 print a file of the machine (PATH: C:\\...) as its programs read\n"
     "                                         it, through the machine's kernel and its filters\n"},
    {"reg",
     "xpmachine reg query DIR KEY [/v NAME]   show a registry key, or one of its values, as reg.exe does\n"
     "       xpmachine reg add DIR KEY /v NAME /d TEXT\n"
     "                                         set a text value (REG_SZ) of an HKLM key, making the key\n"},
    {"boot",
     "xpmachine boot DIR [--safe-mode]        restart the machine (in safe mode) and run its Winlogon until it\n"
     "                                         ends\n"},
    {"logon", "xpmachine logon DIR USER PASSWORD       boot, and log USER on at the system's own logon dialog\n"},
    {"power-off",
     "xpmachine power-off DIR                 cut the machine's power: its processes and its kernel end at once,\n"
     "                                         and what was neither flushed nor written through is lost\n"},
    {"web",
     "xpmachine web start|stop DIR            run the maker's web service for the machine in its own process, or\n"
     "                                         end it\n"},
    {"fault",
     "xpmachine fault arm DIR fail|crash|power-loss OPERATION [nth=N] [times=T] [error=E] [path=TEXT]\n"
     "                                         make the nth call of OPERATION (a Win32 call's name) from now,\n"
     "                                         and the times - 1 after it (0: all), fail with Win32 error E, or end\n"
     "                                         the process or the machine after it; only calls on a path holding\n"
     "                                         TEXT, in any letter case\n"
     "       xpmachine fault clear DIR               disarm every fault of the machine\n"},
    {"device",
     "xpmachine device list DIR               list the machine's devices and their hardware IDs\n"
     "       xpmachine device pending DIR on|off     say whether a device installation is in progress\n"},
};

std::optional<uint64_t> Number(const std::string& text) {
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// A refusal: the reason, and no command.
std::optional<Command> Refuse(std::string* why, const std::string& reason) {
  *why = reason;
  return std::nullopt;
}

std::optional<Command> ParseNew(const std::vector<std::string>& a, std::string* why) {
  Command command;
  command.dir = a[1];
  if (a.size() == 2) return command;
  if (a[2] != "--token-seed") return Refuse(why, "unexpected '" + a[2] + "'");
  if (a.size() == 3) return Refuse(why, "--token-seed needs a number");
  if (a.size() > 4) return Refuse(why, "unexpected '" + a[4] + "'");
  const std::optional<uint64_t> seed = Number(a[3]);
  if (!seed) return Refuse(why, "'" + a[3] + "' is no token seed: a number from 0 to 18446744073709551615");
  command.token_seed = *seed;
  return command;
}

std::optional<Command> ParseToken(const std::vector<std::string>& a, std::string* why) {
  if (a[1] == "answer") {
    if (a.size() < 3 || a[2].empty()) return Refuse(why, "the machine folder DIR is missing");
    if (a.size() < 4) return Refuse(why, "the Key PUZZLE to answer is missing");
    if (a.size() > 4) return Refuse(why, "unexpected '" + a[4] + "'");
    Command command;
    command.kind = Command::Kind::kTokenAnswer;
    command.dir = a[2];
    command.puzzle = a[3];
    return command;
  }
  Command command;
  if (a[1] == "plug") {
    command.kind = Command::Kind::kTokenPlug;
  } else if (a[1] == "unplug") {
    command.kind = Command::Kind::kTokenUnplug;
  } else if (a[1] == "show") {
    command.kind = Command::Kind::kTokenShow;
  } else {
    return Refuse(why, "expected plug, unplug, show or answer, not '" + a[1] + "'");
  }
  if (a.size() < 3 || a[2].empty()) return Refuse(why, "the machine folder DIR is missing");
  if (a.size() > 3) return Refuse(why, "unexpected '" + a[3] + "'");
  command.dir = a[2];
  return command;
}

std::optional<Command> ParseRun(const std::vector<std::string>& a, std::string* why) {
  Command command;
  command.kind = Command::Kind::kRun;
  command.dir = a[1];
  size_t program = 2;
  if (a.size() > program && a[program] == "--as") {
    if (a.size() <= program + 1 || a[program + 1].empty()) return Refuse(why, "--as needs an account name");
    command.account = a[program + 1];
    program += 2;
  }
  if (a.size() <= program) return Refuse(why, "no program to run");
  command.program.assign(a.begin() + static_cast<std::ptrdiff_t>(program), a.end());
  return command;
}

std::optional<Command> ParseKernel(const std::vector<std::string>& a, std::string* why) {
  if (a[1] != "start" && a[1] != "stop") return Refuse(why, "expected start or stop, not '" + a[1] + "'");
  if (a.size() < 3 || a[2].empty()) return Refuse(why, "the machine folder DIR is missing");
  if (a.size() > 3) return Refuse(why, "unexpected '" + a[3] + "'");
  Command command;
  command.kind = a[1] == "start" ? Command::Kind::kKernelStart : Command::Kind::kKernelStop;
  command.dir = a[2];
  return command;
}

std::optional<Command> ParseRegAdd(const std::vector<std::string>& a, std::string* why) {
  if (a.size() < 3 || a[2].empty()) return Refuse(why, "the machine folder DIR is missing");
  if (a.size() < 4 || a[3].empty()) return Refuse(why, "the KEY to set is missing");
  if (a.size() < 6 || (a[4] != "/v" && a[4] != "/V") || a[5].empty()) {
    return Refuse(why, "expected '/v NAME' after the key");
  }
  if (a.size() < 8 || (a[6] != "/d" && a[6] != "/D")) return Refuse(why, "expected '/d TEXT' after the name");
  if (a.size() > 8) return Refuse(why, "unexpected '" + a[8] + "'");
  Command command;
  command.kind = Command::Kind::kRegAdd;
  command.dir = a[2];
  command.key = a[3];
  command.value = a[5];
  command.data = a[7];
  return command;
}

std::optional<Command> ParseRegQuery(const std::vector<std::string>& a, std::string* why) {
  if (a[1] == "add") return ParseRegAdd(a, why);
  if (a[1] != "query") return Refuse(why, "expected query or add, not '" + a[1] + "'");
  if (a.size() < 3 || a[2].empty()) return Refuse(why, "the machine folder DIR is missing");
  if (a.size() < 4 || a[3].empty()) return Refuse(why, "the KEY to show is missing");
  if (a.size() == 5 || (a.size() == 6 && a[4] != "/v" && a[4] != "/V")) {
    return Refuse(why, "expected '/v NAME' after the key, not '" + a[4] + "'");
  }
  if (a.size() > 6) return Refuse(why, "unexpected '" + a[6] + "'");
  Command command;
  command.kind = Command::Kind::kRegQuery;
  command.dir = a[2];
  command.key = a[3];
  if (a.size() == 6) command.value = a[5];
  return command;
}

std::optional<Command> ParseBoot(const std::vector<std::string>& a, std::string* why) {
  Command command;
  command.dir = a[1];
  if (a[0] == "boot") {
    // The first word that does not belong: the third when it is not the option, else the one after it.
    if (a.size() >= 3 && a[2] != "--safe-mode") return Refuse(why, "unexpected '" + a[2] + "'");
    if (a.size() > 3) return Refuse(why, "unexpected '" + a[3] + "'");
    command.kind = Command::Kind::kBoot;
    command.safe_mode = a.size() == 3;
    return command;
  }
  if (a.size() != 4 || a[2].empty()) return Refuse(why, "expected the USER and the PASSWORD to type");
  command.kind = Command::Kind::kLogon;
  command.account = a[2];
  command.password = a[3];
  return command;
}

// The commands that take only DIR.
std::optional<Command> ParseDirOnly(Command::Kind kind, const std::vector<std::string>& a, std::string* why) {
  if (a.size() > 2) return Refuse(why, "unexpected '" + a[2] + "'");
  Command command;
  command.kind = kind;
  command.dir = a[1];
  return command;
}

std::optional<Command> ParseDevice(const std::vector<std::string>& a, std::string* why) {
  if (a[1] != "list" && a[1] != "pending") return Refuse(why, "expected list or pending, not '" + a[1] + "'");
  if (a.size() < 3 || a[2].empty()) return Refuse(why, "the machine folder DIR is missing");
  Command command;
  command.dir = a[2];
  if (a[1] == "list") {
    if (a.size() > 3) return Refuse(why, "unexpected '" + a[3] + "'");
    command.kind = Command::Kind::kDeviceList;
    return command;
  }
  if (a.size() < 4 || (a[3] != "on" && a[3] != "off")) return Refuse(why, "expected on or off");
  if (a.size() > 4) return Refuse(why, "unexpected '" + a[4] + "'");
  command.kind = Command::Kind::kDevicePending;
  command.pending = a[3] == "on";
  return command;
}

}  // namespace

std::string UsageOf(const std::string& command) {
  std::string text;
  for (const Usage& usage : kUsages) {
    if (command.empty() || command == usage.command) text += std::string(text.empty() ? "usage: " : "       ") + usage.text;
  }
  return text;
}

std::optional<Command> ParseArguments(const std::vector<std::string>& a, std::string* why) {
  std::string ignored;
  if (why == nullptr) why = &ignored;
  if (a.empty()) return Refuse(why, "no command given");
  if (UsageOf(a[0]).empty()) return Refuse(why, "unknown command '" + a[0] + "'");
  const bool takes_subcommand = a[0] == "token" || a[0] == "kernel" || a[0] == "reg" || a[0] == "device";
  if (a.size() < 2 || a[1].empty()) {
    return Refuse(why, takes_subcommand ? "what to do is missing" : "the machine folder DIR is missing");
  }
  if (a[0] == "new") return ParseNew(a, why);
  if (a[0] == "token") return ParseToken(a, why);
  if (a[0] == "run") return ParseRun(a, why);
  if (a[0] == "kernel") return ParseKernel(a, why);
  if (a[0] == "reg") return ParseRegQuery(a, why);
  if (a[0] == "boot" || a[0] == "logon") return ParseBoot(a, why);
  if (a[0] == "device") return ParseDevice(a, why);
  if (a[0] == "type") {
    if (a.size() < 3 || a[2].empty()) return Refuse(why, "the file's PATH (C:\\...) is missing");
    if (a.size() > 3) return Refuse(why, "unexpected '" + a[3] + "'");
    Command command;
    command.kind = Command::Kind::kType;
    command.dir = a[1];
    command.path = a[2];
    return command;
  }
  if (a[0] == "ps") return ParseDirOnly(Command::Kind::kPs, a, why);
  return ParseDirOnly(Command::Kind::kPowerOff, a, why);
}

}  // namespace xp::xpmachine
