// xpmachine run: starts the program as a process of the machine (XPMACHINE names the machine's folder,
// XPMACHINE_USER the account; its record in the process table is made and handed on), waits for it and for the
// machine processes it started, and ends with its exit code.
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>

#include "commands.h"
#include "xp/accounts.h"
#include "xp/drive_paths.h"
#include "xp/machine.h"
#include "xp/processes.h"

namespace xp::xpmachine {
namespace {

namespace fs = std::filesystem;

bool IsWindowsPath(const std::string& name) {
  return name.size() >= 3 && name[1] == ':' && (name[2] == '\\' || name[2] == '/');
}

// A host program named without a folder is looked for along PATH, as a shell does.
std::optional<fs::path> FindHostProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return fs::path(name);
  const char* path = std::getenv("PATH");
  std::istringstream folders(path != nullptr ? path : "");
  for (std::string folder; std::getline(folders, folder, ':');) {
    const fs::path candidate = fs::path(folder.empty() ? "." : folder) / name;
    std::error_code error;
    if (fs::is_regular_file(candidate, error) && ::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

// The file to run and the image name its record shows; nullopt after telling why.
std::optional<machine::LaunchRequest> Program(const std::string& name) {
  machine::LaunchRequest request;
  if (IsWindowsPath(name)) {
    machine::FoundPath found;
    const machine::PathLookup lookup = machine::FindOnDrives(name, &found);
    if (lookup != machine::PathLookup::kFound) {
      const unsigned error = lookup == machine::PathLookup::kFileNotFound   ? 2
                             : lookup == machine::PathLookup::kPathNotFound ? 3
                                                                            : 123;
      std::fprintf(stderr, "xpmachine: cannot run %s: %s\n", name.c_str(), WindowsErrorText(error).c_str());
      return std::nullopt;
    }
    request.host_file = found.host;
    request.image = found.windows;
    return request;
  }
  const std::optional<fs::path> host = FindHostProgram(name);
  if (!host) {
    std::fprintf(stderr, "xpmachine: cannot run %s: %s\n", name.c_str(), std::strerror(ENOENT));
    return std::nullopt;
  }
  request.host_file = *host;
  request.image = machine::WindowsPathOf(*host).value_or(host->filename().string());
  return request;
}

// The machine processes `root` started, directly or through others, that still run.
std::vector<uint32_t> LiveDescendants(uint32_t root) {
  const std::vector<machine::ProcessRecord> records = machine::ListProcesses();
  std::map<uint32_t, uint32_t> parents;
  for (const machine::ProcessRecord& record : records) parents[record.pid] = record.parent;
  std::vector<uint32_t> live;
  for (const machine::ProcessRecord& record : records) {
    if (!record.live || record.pseudo) continue;
    for (uint32_t at = record.parent; at != 0; at = parents.count(at) != 0 ? parents[at] : 0) {
      if (at == root) {
        live.push_back(record.pid);
        break;
      }
    }
  }
  return live;
}

// Like a console that stays open while a program attached to it runs: the tool waits for the program, then for
// every machine process it started (a setup program hands over to the program it starts, which may even end it),
// and ends with the program's exit code (128 + the signal when it was killed without one).
int AwaitProgram(pid_t child) {
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  std::optional<machine::ProcessRecord> program;
  for (const machine::ProcessRecord& record : machine::ListProcesses()) {
    if (record.host_pid == child && !record.pseudo) program = record;
  }
  if (!program) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  for (std::vector<uint32_t> live = LiveDescendants(program->pid); !live.empty();
       live = LiveDescendants(program->pid)) {
    for (const uint32_t pid : live) machine::WaitForProcessEnd(pid, 0xFFFFFFFFu);
  }
  if (const std::optional<machine::ProcessRecord> ended = machine::FindProcess(program->pid); ended && ended->exit_code) {
    return static_cast<int>(*ended->exit_code & 0xFF);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

int RunInMachine(const Command& command) {
  std::error_code error;
  fs::path dir = fs::absolute(command.dir, error).lexically_normal();
  if (!dir.has_filename()) dir = dir.parent_path();
  if (error || !fs::is_regular_file(dir / "machine.ini", error)) {
    std::fprintf(stderr, "xpmachine: %s is not a machine\n", command.dir.c_str());
    return 1;
  }
  ::setenv("XPMACHINE", dir.c_str(), 1);
  std::string account = machine::CurrentAccountName();
  if (!command.account.empty()) {
    const std::optional<machine::Account> found = machine::FindAccount(command.account);
    if (!found) {
      std::fprintf(stderr, "xpmachine: %s has no account %s\n", command.dir.c_str(), command.account.c_str());
      return 1;
    }
    account = found->name;
  }
  std::optional<machine::LaunchRequest> request = Program(command.program.front());
  if (!request) return 127;  // as a shell reports a program it cannot start
  request->argv = command.program;
  request->account = account;
  for (size_t i = 1; i < command.program.size(); ++i) {
    request->command_line += (i == 1 ? "" : " ") + command.program[i];
  }
  const pid_t child = ::fork();
  if (child < 0) {
    std::fprintf(stderr, "xpmachine: cannot run %s: %s\n", command.program.front().c_str(), std::strerror(errno));
    return 127;
  }
  if (child == 0) {
    const int start_error = machine::ExecInMachine(*request);
    std::fprintf(stderr, "xpmachine: cannot run %s: %s\n", command.program.front().c_str(),
                 std::strerror(start_error));
    ::_exit(127);
  }
  return AwaitProgram(child);
}

}  // namespace xp::xpmachine
