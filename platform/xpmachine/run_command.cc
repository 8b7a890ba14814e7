// xpmachine run: becomes the program, as a process of the machine: XPMACHINE names the machine's folder,
// XPMACHINE_USER the account, and the program's record in the process table is made and handed on. The program's
// exit code is the tool's, since the program takes the tool's place.
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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
  const int start_error = machine::ExecInMachine(*request);
  std::fprintf(stderr, "xpmachine: cannot run %s: %s\n", command.program.front().c_str(), std::strerror(start_error));
  return 127;
}

}  // namespace xp::xpmachine
