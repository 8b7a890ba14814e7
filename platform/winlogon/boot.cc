// A machine's boot: the restart steps, then Winlogon as a process of the machine (SYSTEM's), waited for until it
// ends. The booting program itself is a host process: it is never ended by the restart it performs.
#include "xp/boot.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "host_control.h"
#include "xp/drive_paths.h"
#include "xp/machine.h"
#include "xp/processes.h"
#include "xp/usbtoken.h"

namespace xp::boot {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kEndWaitMs = 5000;
// A process ended by the restart: it did not fail by itself.
constexpr uint32_t kEndedByRestart = 0;
constexpr char kWinlogonImage[] = "C:\\WINDOWS\\system32\\winlogon.exe";
constexpr char kSystemFolder[] = "C:\\WINDOWS\\system32";

fs::path ProgramFolder() {
  std::error_code error;
  return fs::read_symlink("/proc/self/exe", error).parent_path();
}

// Starts winlogon and waits for it; its exit code, or -1 with *error.
int RunWinlogon(const fs::path& program, const std::optional<winlogon::TypedLogon>& typed_logon, std::string* error) {
  machine::LaunchRequest request;
  request.host_file = program;
  request.image = kWinlogonImage;
  request.argv = {"winlogon.exe"};
  request.account = "SYSTEM";
  // Through the environment, not the command line, which the launch journals and the process list shows.
  if (typed_logon) {
    ::setenv(winlogon::kTypedLogonVariable, (typed_logon->user + "\n" + typed_logon->password).c_str(), 1);
  }
  machine::LaunchedProcess launched;
  const int start_error = machine::LaunchProcess(request, &launched);
  ::unsetenv(winlogon::kTypedLogonVariable);
  if (start_error != 0) {
    *error = "cannot start " + program.string() + ": " + std::strerror(start_error);
    return -1;
  }
  int status = 0;
  while (::waitpid(launched.host_pid, &status, 0) < 0) {
    if (errno != EINTR) {
      *error = std::string("cannot wait for winlogon: ") + std::strerror(errno);
      return -1;
    }
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  *error = "winlogon ended by signal " + std::to_string(WTERMSIG(status));
  return -1;
}

}  // namespace

void EndMachineProcesses() {
  std::vector<uint32_t> ended;
  for (const machine::ProcessRecord& record : machine::ListProcesses(true)) {
    if (!record.launched) continue;
    if (machine::TerminateMachineProcess(record.pid, kEndedByRestart) == machine::TerminateOutcome::kTerminated) {
      ended.push_back(record.pid);
    }
  }
  for (const uint32_t pid : ended) machine::WaitForProcessEnd(pid, kEndWaitMs);
}

bool RestartKernel(const fs::path& host_program, std::string* error) {
  const fs::path& root = machine::Root();
  if (ntos::host::KernelHostAnswers(root) && !ntos::host::StopKernelHost(root, error)) return false;
  return ntos::host::StartKernelHost(host_program, root, error);
}

void PowerCycleTokens() {
  const fs::path& root = machine::Root();
  for (const usbtoken::TokenInfo& token : usbtoken::List(root)) {
    if (!token.plugged) continue;
    usbtoken::Unplug(root, token.id);
    usbtoken::Plug(root, token.id);
  }
}

bool PlaceWindowsPrograms(const fs::path& programs, std::string* error) {
  machine::FoundPath system;
  if (machine::FindOnDrives(kSystemFolder, &system) != machine::PathLookup::kFound) {
    *error = std::string(kSystemFolder) + " is not on the machine";
    return false;
  }
  machine::FoundPath existing;
  if (machine::FindOnDrives(std::string(kSystemFolder) + "\\userinit.exe", &existing) == machine::PathLookup::kFound) {
    return true;
  }
  std::error_code failure;
  const fs::path target = system.host / "userinit.exe";
  fs::copy_file(programs / "userinit", target, failure);
  if (!failure) fs::permissions(target, fs::perms::owner_all, fs::perm_options::add, failure);
  if (failure) *error = "cannot place userinit.exe: " + failure.message();
  return !failure;
}

BootResult Boot(const fs::path& machine_dir, const BootOptions& options) {
  BootResult result;
  std::error_code failure;
  const fs::path root = fs::absolute(machine_dir, failure).lexically_normal();
  ::setenv("XPMACHINE", root.c_str(), 1);
  const fs::path programs = options.programs.empty() ? ProgramFolder() : options.programs;
  machine::Journal("boot");
  EndMachineProcesses();
  if (!RestartKernel(programs / "xp_ntoshost", &result.error)) return result;
  PowerCycleTokens();
  machine::ClearRestartRequest();
  machine::SetBootMode(options.safe_mode ? machine::BootMode::kSafe : machine::BootMode::kNormal);
  if (!PlaceWindowsPrograms(programs, &result.error)) return result;
  result.booted = true;
  result.winlogon_exit_code = RunWinlogon(programs / "winlogon", options.typed_logon, &result.error);
  result.nobody_at_the_keys = result.winlogon_exit_code == winlogon::kNobodyThereExitCode;
  result.restart_requested = machine::PendingRestart().has_value();
  return result;
}

}  // namespace xp::boot
