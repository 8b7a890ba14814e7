// xpmachine fault arm|clear DIR: arms one of the machine's faults on purpose from the command line, in the words
// of the machine's fault list (DIR/faults): an action, an operation and key=value settings; or disarms them all.
//     xpmachine fault arm DIR fail MoveFileA times=0 error=32 path=ledger.txt
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "commands.h"
#include "xp/faults.h"

namespace xp::xpmachine {
namespace {

int Refuse(const std::string& why) {
  std::fprintf(stderr, "xpmachine: fault: %s\n%s", why.c_str(), UsageOf("fault").c_str());
  return 2;
}

std::optional<machine::FaultAction> ActionNamed(const std::string& name) {
  if (name == "fail") return machine::FaultAction::kFail;
  if (name == "crash") return machine::FaultAction::kCrash;
  if (name == "power-loss") return machine::FaultAction::kPowerLoss;
  return std::nullopt;
}

// A whole decimal number that fits 32 bits.
std::optional<uint32_t> Number(const std::string& text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 10) {
    return std::nullopt;
  }
  const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
  if (value > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<uint32_t>(value);
}

// The fault the settings after the operation describe; nullopt with *why saying what is wrong.
std::optional<machine::Fault> Settings(machine::Fault fault, const std::vector<std::string>& settings,
                                       std::string* why) {
  for (const std::string& setting : settings) {
    const size_t equals = setting.find('=');
    if (equals == std::string::npos) {
      *why = "expected KEY=VALUE, not '" + setting + "'";
      return std::nullopt;
    }
    const std::string key = setting.substr(0, equals);
    const std::string value = setting.substr(equals + 1);
    if (key == "path") {
      fault.path_contains = value;
      continue;
    }
    uint32_t* field = key == "nth" ? &fault.nth : key == "times" ? &fault.times : key == "error" ? &fault.error
                                                                                                  : nullptr;
    if (field == nullptr) {
      *why = "unknown setting '" + key + "' (nth, times, error or path)";
      return std::nullopt;
    }
    const std::optional<uint32_t> number = Number(value);
    if (!number) {
      *why = key + " needs a whole number, not '" + value + "'";
      return std::nullopt;
    }
    *field = *number;
  }
  return fault;
}

}  // namespace

int FaultCommand(const std::vector<std::string>& arguments) {
  if (arguments.empty() || (arguments[0] != "arm" && arguments[0] != "clear")) {
    return Refuse("expected arm or clear");
  }
  if (arguments.size() < 2 || arguments[1].empty()) return Refuse("the machine folder DIR is missing");
  const bool arm = arguments[0] == "arm";
  if (!arm && arguments.size() > 2) return Refuse("unexpected '" + arguments[2] + "'");
  std::optional<machine::Fault> fault;
  if (arm) {
    if (arguments.size() < 4) return Refuse("expected the ACTION and the OPERATION");
    const std::optional<machine::FaultAction> action = ActionNamed(arguments[2]);
    if (!action) return Refuse("expected fail, crash or power-loss, not '" + arguments[2] + "'");
    machine::Fault wanted;
    wanted.action = *action;
    wanted.operation = arguments[3];
    std::string why;
    fault = Settings(wanted, {arguments.begin() + 4, arguments.end()}, &why);
    if (!fault) return Refuse(why);
  }
  Command command;
  command.dir = arguments[1];
  if (!EnterMachine(command)) return 1;
  if (!arm) {
    machine::ClearFaults();
    return 0;
  }
  try {
    machine::ArmFault(*fault);
  } catch (const std::invalid_argument& refused) {
    return Refuse(refused.what());
  }
  return 0;
}

}  // namespace xp::xpmachine
