// A program of the build started with pipes to its standard input and output, for tests that talk with it while it
// runs (a program that holds a file open and acts on each line it is given). Test support only.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

namespace xp::test {

class ProgramDialogue {
 public:
  // Starts `program` with `arguments` in this process's environment.
  ProgramDialogue(const std::string& program, const std::vector<std::string>& arguments);
  // Ends the dialogue as End() does.
  ~ProgramDialogue();
  ProgramDialogue(const ProgramDialogue&) = delete;
  ProgramDialogue& operator=(const ProgramDialogue&) = delete;

  // The program's next line of output with its line end; "<no answer>" when its output ended.
  std::string ReadLine();
  void Write(const std::string& text);
  // Closes the program's input and waits for it: its exit code, -1 when it did not start or ended by a signal.
  int End();

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  FILE* output_ = nullptr;
};

}  // namespace xp::test
