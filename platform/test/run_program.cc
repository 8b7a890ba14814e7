// Runs a program with its output on a pipe (and its standard error, when asked, in a scratch file), for tests that
// drive the build's programs.
#include "run_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

extern char** environ;

namespace xp::test {
namespace {

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (ssize_t size; (size = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(size));
  return text;
}

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments, Stderr standard_error) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return {};
  int error_fd = -1;
  if (standard_error == Stderr::kApart) {
    char pattern[] = "/tmp/xp-test-stderr-XXXXXX";
    error_fd = ::mkstemp(pattern);
    if (error_fd >= 0) ::unlink(pattern);
  }
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  if (standard_error == Stderr::kWithOutput) ::posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDERR_FILENO);
  if (error_fd >= 0) ::posix_spawn_file_actions_adddup2(&actions, error_fd, STDERR_FILENO);
  ::posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  ProgramRun run;
  run.output = ReadAll(pipe_fds[0]);
  ::close(pipe_fds[0]);
  int status = 0;
  if (spawned == 0 && ::waitpid(pid, &status, 0) == pid) {
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  if (error_fd >= 0) {
    ::lseek(error_fd, 0, SEEK_SET);
    run.error = ReadAll(error_fd);
    ::close(error_fd);
  }
  return run;
}

}  // namespace xp::test
