// Running a program of the build from a test and collecting what it prints. Test support only.
#pragma once

#include <string>
#include <vector>

namespace xp::test {

struct ProgramRun {
  int exit_code = -1;  // -1 when it could not start or did not exit normally
  std::string output;  // stdout, and stderr too when asked for
};

// Runs `program` with `arguments` in this process's environment and waits for it.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      bool with_stderr = true);

// The folder of the running test program: build/bin, where the build's programs lie.
std::string BuildProgram(const std::string& name);

}  // namespace xp::test
