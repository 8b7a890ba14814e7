// The subcommands of xpmachine; each returns the tool's exit code (0 done, 1 failed) or, for run, never returns
// when the program starts.
#pragma once

#include "arguments.h"

namespace xp::xpmachine {

int NewMachine(const Command& command);    // new_command.cc
int TokenCommand(const Command& command);  // token_commands.cc
int RunInMachine(const Command& command);  // run_command.cc

}  // namespace xp::xpmachine
