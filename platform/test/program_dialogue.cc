// The running program of program_dialogue.h.
#include "program_dialogue.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace xp::test {

ProgramDialogue::ProgramDialogue(const std::string& program, const std::vector<std::string>& arguments) {
  int to_program[2];
  int from_program[2];
  if (::pipe2(to_program, O_CLOEXEC) != 0) return;
  if (::pipe2(from_program, O_CLOEXEC) != 0) {
    ::close(to_program[0]);
    ::close(to_program[1]);
    return;
  }
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, to_program[0], 0);
  posix_spawn_file_actions_adddup2(&actions, from_program[1], 1);
  if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(to_program[0]);
  ::close(from_program[1]);
  input_ = to_program[1];
  output_ = ::fdopen(from_program[0], "r");
}

ProgramDialogue::~ProgramDialogue() { End(); }

std::string ProgramDialogue::ReadLine() {
  char line[256] = {};
  if (output_ == nullptr || std::fgets(line, sizeof line, output_) == nullptr) return "<no answer>";
  return line;
}

void ProgramDialogue::Write(const std::string& text) {
  if (input_ >= 0) (void)::write(input_, text.data(), text.size());
}

int ProgramDialogue::End() {
  if (input_ >= 0) ::close(input_);
  input_ = -1;
  if (output_ != nullptr) std::fclose(output_);
  output_ = nullptr;
  int status = 0;
  if (pid_ <= 0 || ::waitpid(pid_, &status, 0) != pid_) return -1;
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace xp::test
