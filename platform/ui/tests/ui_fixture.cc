// The UI tests' machine fixture and helper-process runner.
#include "ui_fixture.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "built_programs.h"
#include "ui_journal.h"

extern char** environ;

namespace xp::ui::testing {
namespace {

std::string Slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

}  // namespace

std::vector<std::string> UiTest::UiJournal(size_t first) const { return xp::test::UiJournal(root_, first); }

std::filesystem::path UiTest::UseScript(const std::string& text) const {
  const std::filesystem::path file = root_ / "test.script";
  std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
  ::setenv("XPMACHINE_UI", ("script:" + file.string()).c_str(), 1);
  return file;
}

ActorRun RunActor(const std::vector<std::string>& args, const std::string& input) {
  ActorRun run;
  // A child that ends before reading its input must fail the test, not kill it with SIGPIPE.
  ::signal(SIGPIPE, SIG_IGN);
  int stdin_pipe[2];
  if (::pipe2(stdin_pipe, O_CLOEXEC) != 0) return run;
  char folder_pattern[] = "/tmp/xp-ui-actor-XXXXXX";
  if (::mkdtemp(folder_pattern) == nullptr) {
    ::close(stdin_pipe[0]);
    ::close(stdin_pipe[1]);
    return run;
  }
  const std::filesystem::path folder = folder_pattern;
  const std::filesystem::path out_file = folder / "out";
  const std::filesystem::path err_file = folder / "err";

  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, stdin_pipe[0], STDIN_FILENO);
  ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const std::string program = xp::test::BuildProgram("xp_ui_actor");
  std::vector<char*> argv = {const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(stdin_pipe[0]);
  // The console tests' input is far below the pipe's capacity, so it is written whole before the child reads.
  if (spawned == 0 && !input.empty()) {
    if (::write(stdin_pipe[1], input.data(), input.size()) != static_cast<ssize_t>(input.size())) {
      run.err = "short write to the actor\n";
    }
  }
  ::close(stdin_pipe[1]);
  if (spawned == 0) {
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = Slurp(out_file);
    run.err += Slurp(err_file);
  }
  std::filesystem::remove_all(folder);
  return run;
}

}  // namespace xp::ui::testing
