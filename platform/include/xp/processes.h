// The machine's process table (DIR/processes/): one record per process that ran inside the machine, live or ended,
// and this process's own place in it. Machine process ids are the machine's own (multiples of 4 from 1000), not the
// host's. Never included by system code.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace xp::machine {

// The two entries every XP process list starts with; they have no record and cannot be opened.
inline constexpr uint32_t kIdleProcessId = 0;    // "[System Process]"
inline constexpr uint32_t kSystemProcessId = 4;  // "System"
// GetExitCodeProcess's answer for a live process.
inline constexpr uint32_t kStillActive = 259;
// The exit code of a process that ended without one (it crashed, or was killed from outside the machine): what XP
// reports for a process ended by an unhandled access violation.
inline constexpr uint32_t kCrashedExitCode = 0xC0000005u;

struct ProcessRecord {
  uint32_t pid = 0;
  uint32_t parent = 0;  // 0: started from outside the machine
  // "C:\Program Files\Quillmarsh\Tavik\XP\diskseal.exe"; a host program outside the drives (a test) has its file
  // name only.
  std::string image;
  std::string account;      // the account it runs as
  uint64_t started_ms = 0;  // the machine clock at its start
  // Started inside the machine (CreateProcessA, xpmachine run): only such a process may be terminated. A host
  // process that entered the machine (a test) is listed but never signalled.
  bool launched = false;
  pid_t host_pid = 0;
  uint64_t host_start = 0;  // the host's start time of host_pid (clock ticks since boot), to tell a reused pid
  std::vector<std::string> privileges;  // the privileges it has enabled ("SeShutdownPrivilege")
  std::optional<uint32_t> exit_code;    // the full 32-bit code, once recorded
  bool live = false;
  bool pseudo = false;  // one of the two entries above

  // The file name part of image: what Toolhelp and GetModuleBaseNameA give.
  std::string ExeFile() const;
  // STILL_ACTIVE while live, then the exit code (kCrashedExitCode when none was recorded).
  uint32_t ExitCodeOrStillActive() const;
};

// Every process of the machine in pid order, the two pseudo entries first; `live_only` leaves out ended ones.
std::vector<ProcessRecord> ListProcesses(bool live_only = false);
// The record of `pid` (the pseudo entries too), or nullopt.
std::optional<ProcessRecord> FindProcess(uint32_t pid);
// Waits until the process has ended: true; false when timeout_ms (0xFFFFFFFF: no limit) passed first. Real time,
// even under the virtual clock: the other party is a real process. A missing record counts as ended.
bool WaitForProcessEnd(uint32_t pid, uint32_t timeout_ms);

enum class TerminateOutcome { kTerminated, kNotLive, kRefused };
// Records `exit_code` (unless the process recorded one first), then kills the host process. kRefused, without a
// signal, for a process not launched inside the machine or whose host process is no longer the one recorded.
TerminateOutcome TerminateMachineProcess(uint32_t pid, uint32_t exit_code);
// What a power loss does to the programs, in two steps, so that nobody sees one of them end while the machine's
// kernel still runs: every live process started inside the machine is stopped where it stands (SIGSTOP; the calling
// process is spared), and once the kernel has ended they are killed (SIGKILL), recording no exit code, so that they
// read as crashed. KillFrozenProcesses only signals, so a forked child may call it.
std::vector<pid_t> FreezeLaunchedProcesses();
void KillFrozenProcesses(const std::vector<pid_t>& frozen);
// Replaces the set of privileges the process has enabled.
void SetEnabledPrivileges(uint32_t pid, const std::vector<std::string>& privileges);

// --- The calling process. Registering is implicit: the first call of any of these in a machine registers the
// calling process in it (kernel32 also registers at load when XPMACHINE is set). A process started by
// LaunchProcess or ExecInMachine adopts the record its starter made.
uint32_t CurrentProcessId();
// The caller's record. When XPMACHINE_USER now names another account than the record, the record follows it (and
// the enabled privileges are dropped, as a new logon has none).
ProcessRecord CurrentProcess();
void RegisterCurrentProcess();
// Records `exit_code`, journals "terminate pid N code C" and ends the process at once (no exit handlers run).
[[noreturn]] void TerminateCurrentProcess(uint32_t exit_code);
// Ends the process at once (no exit handlers, no unwinding) with `exit_code` recorded as an exit's is, so that the
// process table shows it.
[[noreturn]] void ExitAtOnce(uint32_t exit_code);

// --- Starting processes inside the machine.
struct LaunchRequest {
  std::filesystem::path host_file;  // the program file to run
  std::string image;                // its Windows path (or file name), for the record
  std::vector<std::string> argv;    // argv[0] included
  std::string account;              // the account it runs as (XPMACHINE_USER in its environment)
  std::string command_line;         // for the journal; empty when there was none
};
struct LaunchedProcess {
  uint32_t pid = 0;
  uint32_t thread_id = 0;  // the id of its first thread, from the same numbering
  pid_t host_pid = 0;
};
// Starts a child process (the record exists, locked by the child, before it runs) and journals the launch. Returns
// 0 or the errno of the failed start, with no record left behind.
int LaunchProcess(const LaunchRequest& request, LaunchedProcess* launched);
// Becomes the program (exec) as a process of the machine with parent 0; returns only on failure, with its errno.
int ExecInMachine(const LaunchRequest& request);

}  // namespace xp::machine
