// Starting a program for another account than the caller's: what CreateProcessAsUser does for a logon token, for
// Winlogon and the GINA stand-in, which start the logged-on user's programs. Never included by system code.
#pragma once

#include <string>

#include "windows.h"

namespace xp {

// kernel32: CreateProcessA (same arguments, rules and errors, inherit_handles aside) with the new process running as
// `account` (a name of the machine's accounts) instead of the caller's account.
BOOL CreateProcessAsAccount(const std::string& account, LPCSTR application_name, LPSTR command_line,
                            LPSECURITY_ATTRIBUTES process_attributes, LPSECURITY_ATTRIBUTES thread_attributes,
                            DWORD creation_flags, LPVOID environment, LPCSTR current_directory,
                            LPSTARTUPINFOA startup_info, LPPROCESS_INFORMATION process_information);

}  // namespace xp
