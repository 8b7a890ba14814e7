// The command line of xpmachine, parsed into one command.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace xp::xpmachine {

// The usage text of `command` ("new", "token", ...), or of every command for an empty name; empty for a name that
// is no command.
std::string UsageOf(const std::string& command);

struct Command {
  enum class Kind {
    kNew, kTokenPlug, kTokenUnplug, kTokenShow, kTokenAnswer, kRun, kPs, kKernelStart, kKernelStop, kType,
    kRegQuery, kRegAdd, kBoot, kLogon, kPowerOff, kDeviceList, kDevicePending
  };
  Kind kind = Kind::kNew;
  std::filesystem::path dir;
  uint64_t token_seed = 1;           // new
  std::vector<std::string> program;  // run: the program and its arguments
  std::string account;               // run --as: the account to run as (empty: XPMACHINE_USER, or Administrator);
                                     // logon: the user name typed
  std::string password;              // logon: the password typed
  std::string path;                  // type: the Windows path of the file to read through the machine
  std::string puzzle;                // token answer: the Key Puzzle (32 hex digits)
  bool safe_mode = false;            // boot --safe-mode
  std::string key;                   // reg query, add: the key, such as HKLM\SOFTWARE\Quillmarsh
  std::optional<std::string> value;  // reg query /v: the one value to show; reg add /v: the value to set
  std::string data;                  // reg add /d: the value's text
  bool pending = false;              // device pending: on
};

// The command, or nullopt when the arguments (without the program name) do not form one; then *why (if given) says
// what is wrong, for the person who typed it.
std::optional<Command> ParseArguments(const std::vector<std::string>& arguments, std::string* why = nullptr);

}  // namespace xp::xpmachine
