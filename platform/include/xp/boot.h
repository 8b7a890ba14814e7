// Booting a machine: what a restart does (every process of the machine ends, the kernel forgets all its state and
// starts again with its boot drivers, the token's port is powered down and up, the restart request is taken up),
// then Winlogon runs until it ends. For xpmachine boot and logon, and for tests. Never included by system code.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "xp/winlogon.h"

namespace xp::boot {

struct BootOptions {
  // The folder holding the platform's programs (winlogon, xp_ntoshost, userinit); empty: the running program's.
  std::filesystem::path programs;
  // xpmachine logon: the user name and password typed at the system's own logon dialog.
  std::optional<winlogon::TypedLogon> typed_logon;
  // The boot menu's safe mode: no driver is started by the logon, RunOnce does not run; until the next boot.
  bool safe_mode = false;
};

struct BootResult {
  bool booted = false;  // false: the restart itself failed, and `error` says why
  std::string error;
  int winlogon_exit_code = -1;     // 0: Winlogon ended for a restart or a shutdown; see also nobody_at_the_keys
  bool nobody_at_the_keys = false;  // Winlogon stopped waiting for Ctrl+Alt+Del that nobody could press
  bool restart_requested = false;  // the run ended with a restart request: the next boot takes it up
};

// Boots the machine in `machine_dir` (which XPMACHINE then names in this process) and returns once Winlogon has
// ended. Journals "boot" first.
BootResult Boot(const std::filesystem::path& machine_dir, const BootOptions& options = {});

// The steps of a boot, in order, for the boot and for tests that need one alone.
// Ends every live process that was started inside the machine (a host process that entered it is left alone) and
// waits until each has ended.
void EndMachineProcesses();
// Stops the kernel host if one serves the machine (it writes its cache back), then starts it again: the kernel
// comes up afresh and starts the drivers whose services start at boot. False with *error when it does not come up.
bool RestartKernel(const std::filesystem::path& host_program, std::string* error);
// A restart powers the USB ports down and up: each plugged token forgets its volatile state.
void PowerCycleTokens();
// Windows' own programs that the logon starts (userinit.exe), put in place when the machine lacks them.
bool PlaceWindowsPrograms(const std::filesystem::path& programs, std::string* error);

}  // namespace xp::boot
