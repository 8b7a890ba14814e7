// The subcommands of xpmachine; each returns the tool's exit code (0 done, 1 failed) or, for run, never returns
// when the program starts.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "arguments.h"

namespace xp::xpmachine {

int NewMachine(const Command& command);    // new_command.cc
int TokenCommand(const Command& command);  // token_commands.cc
int RunInMachine(const Command& command);  // run_command.cc
int ListProcesses(const Command& command);  // ps_command.cc
int KernelCommand(const Command& command);  // kernel_command.cc
int TypeFile(const Command& command);       // type_command.cc
int QueryRegistry(const Command& command);  // reg_command.cc
int AddToRegistry(const Command& command);  // reg_command.cc
int BootCommand(const Command& command);    // boot_command.cc: boot and logon
int WebCommand(const std::vector<std::string>& arguments);  // web_command.cc: web start|stop DIR
int FaultCommand(const std::vector<std::string>& arguments);  // fault_command.cc: fault arm|clear DIR ...
int PowerOffCommand(const Command& command);  // power_off_command.cc
int DeviceCommand(const Command& command);  // device_command.cc: device list and pending

// machine_folder.cc: the command's machine folder, absolute, made the one XPMACHINE names; nullopt after saying
// on stderr that DIR is not a machine.
std::optional<std::filesystem::path> EnterMachine(const Command& command);

// error_text.cc: "The system cannot find the file specified. (2)", as XP words a Win32 error.
std::string WindowsErrorText(unsigned error);

}  // namespace xp::xpmachine
