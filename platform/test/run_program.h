// Running a program of the build from a test and collecting what it prints. Test support only.
#pragma once

#include <string>
#include <vector>

#include "built_programs.h"

namespace xp::test {

// Where the program's standard error goes.
enum class Stderr {
  kWithOutput,  // into `output`, interleaved with standard output
  kApart,       // into `error`
  kInherited,   // to this test's own standard error
};

struct ProgramRun {
  int exit_code = -1;  // 128 + the signal when it was killed; -1 when it could not start
  std::string output;  // standard output
  std::string error;   // standard error, with Stderr::kApart
};

// Runs `program` with `arguments` in this process's environment and waits for it.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      Stderr standard_error = Stderr::kWithOutput);

}  // namespace xp::test
