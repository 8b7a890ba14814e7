// Starting a program as a process of the machine. The starter makes the record and locks it, and the new process
// inherits the locked descriptor at kInheritedRecordFd (named by XPMACHINE_PROCESS), so the record reads as live
// from before the program's first instruction to its very end, whether or not the program links kernel32. The
// launch is journaled before the program runs, so that its own lines come after it; the image is checked first,
// as Windows checks it before making the process, so a launch that is journaled hardly ever fails.
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "machine_private.h"
#include "process_records.h"
#include "xp/machine.h"

extern char** environ;

namespace xp::machine {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> RecordLines(const LaunchRequest& request, uint32_t parent, const fs::path& root) {
  return {
      RecordLine("parent", std::to_string(parent)),
      RecordLine("image", request.image),
      RecordLine("account", request.account),
      RecordLine("started", std::to_string(NowMsAt(root))),
      RecordLine("origin", "launched"),
  };
}

std::string HostLines(pid_t host_pid) {
  return RecordLine("host_pid", std::to_string(host_pid)) +
         RecordLine("host_start", std::to_string(HostStartTime(host_pid)));
}

// Our environment with the child's own process and account variables.
std::vector<std::string> ChildEnvironment(uint32_t pid, const std::string& account) {
  const std::string process_prefix = std::string(kProcessVariable) + "=";
  const std::string user_prefix = "XPMACHINE_USER=";
  std::vector<std::string> environment;
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string entry = *variable;
    if (entry.starts_with(process_prefix) || entry.starts_with(user_prefix)) continue;
    environment.push_back(entry);
  }
  environment.push_back(process_prefix + std::to_string(pid));
  environment.push_back(user_prefix + account);
  return environment;
}

std::vector<char*> Pointers(const std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (const std::string& text : strings) pointers.push_back(const_cast<char*>(text.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

// 0, or the errno an exec of the file would fail with: a program is an executable ELF file or script.
int CheckImage(const fs::path& file) {
  if (::access(file.c_str(), X_OK) != 0) return errno;
  char magic[4] = {};
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  const ssize_t size = ::read(fd, magic, sizeof magic);
  ::close(fd);
  const bool elf = size == 4 && std::memcmp(magic,
                                            "\x7f"
                                            "ELF",
                                            4) == 0;
  const bool script = size >= 2 && magic[0] == '#' && magic[1] == '!';
  return elf || script ? 0 : ENOEXEC;
}

void JournalFailedLaunch(const fs::path& root, uint32_t pid, int error) {
  JournalAt(root, "launch pid " + std::to_string(pid) + " failed: " + std::strerror(error));
}

// dup2 onto the same number would keep close-on-exec; move the record's descriptor off it first.
int AwayFromInheritedNumber(int fd) {
  if (fd != kInheritedRecordFd) return fd;
  const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, kInheritedRecordFd + 1);
  if (moved < 0) Fatal(std::string("cannot move a process record descriptor: ") + std::strerror(errno));
  ::close(fd);
  return moved;
}

}  // namespace

int LaunchProcess(const LaunchRequest& request, LaunchedProcess* launched) {
  if (const int error = CheckImage(request.host_file); error != 0) return error;
  const uint32_t parent = CurrentProcessId();
  const fs::path root = Root();
  uint32_t pid = 0;
  uint32_t thread_id = 0;
  const int fd = AwayFromInheritedNumber(CreateRecord(root, RecordLines(request, parent, root), &pid, &thread_id));

  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, fd, kInheritedRecordFd);
  const std::vector<std::string> environment = ChildEnvironment(pid, request.account);
  JournalLaunch(root, pid, request.image, request.command_line);
  pid_t host_pid = 0;
  const int result = ::posix_spawn(&host_pid, request.host_file.c_str(), &actions, nullptr,
                                   Pointers(request.argv).data(), Pointers(environment).data());
  ::posix_spawn_file_actions_destroy(&actions);
  if (result != 0) {
    ::unlink(RecordPath(root, pid).c_str());
    ::close(fd);
    JournalFailedLaunch(root, pid, result);
    return result;
  }
  AppendToRecordFd(fd, HostLines(host_pid));
  ::close(fd);  // the child's copy keeps the lock
  *launched = LaunchedProcess{pid, thread_id, host_pid};
  return 0;
}

int ExecInMachine(const LaunchRequest& request) {
  if (const int error = CheckImage(request.host_file); error != 0) return error;
  const fs::path root = Root();
  uint32_t pid = 0;
  std::vector<std::string> lines = RecordLines(request, 0, root);
  lines.push_back(HostLines(::getpid()));  // exec keeps the host process, and so its pid and start time
  const int fd = AwayFromInheritedNumber(CreateRecord(root, lines, &pid));
  if (::dup2(fd, kInheritedRecordFd) < 0) {
    Fatal(std::string("cannot pass a process record on: ") + std::strerror(errno));
  }
  ::close(fd);
  ::setenv(kProcessVariable, std::to_string(pid).c_str(), 1);
  ::setenv("XPMACHINE_USER", request.account.c_str(), 1);
  JournalLaunch(root, pid, request.image, request.command_line);
  ::execv(request.host_file.c_str(), Pointers(request.argv).data());
  const int error = errno;
  ::unlink(RecordPath(root, pid).c_str());
  ::close(kInheritedRecordFd);
  JournalFailedLaunch(root, pid, error);
  return error;
}

}  // namespace xp::machine
