// Runs a program with its output on a pipe, for tests that drive the build's tools.
#include "run_program.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

extern char** environ;

namespace xp::test {

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments, bool with_stderr) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return {};
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  if (with_stderr) ::posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDERR_FILENO);
  ::posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  ProgramRun run;
  char buffer[4096];
  for (ssize_t size; (size = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;) run.output.append(buffer, size);
  ::close(pipe_fds[0]);
  int status = 0;
  if (spawned == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
  return run;
}

std::string BuildProgram(const std::string& name) {
  return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / name).string();
}

}  // namespace xp::test
