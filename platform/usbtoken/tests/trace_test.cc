// XPDEBUG=+token: a program's run traces every request the token answered, in the order of the token's own
// request log, on stderr and in the machine's debug log.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "run_program.h"
#include "scratch_machine.h"

namespace {

// The request lines of the trace lines in `text` written by `program` (all of them when `program` is empty).
std::vector<std::string> TracedRequests(std::istream& text, const std::string& token, const std::string& program) {
  const std::string marker = "trace:token:DeviceIoControl token " + token + " ";
  std::vector<std::string> requests;
  for (std::string line; std::getline(text, line);) {
    const size_t at = line.find(marker);
    if (at == std::string::npos || (!program.empty() && line.find(" " + program + ": ") == std::string::npos)) continue;
    requests.push_back(line.substr(line.find(": ", at + marker.size()) + 2));
  }
  return requests;
}

std::vector<std::string> Lines(std::istream& text) {
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

TEST(TokenTrace, EveryRequestOfARunIsTracedInTheOrderTheTokenAnsweredIt) {
  xp::test::ScratchMachine machine(xp::test::ScratchOptions{.token_seed = 7});
  ::setenv("XPDEBUG", "+token", 1);
  const xp::test::ProgramRun run =
      xp::test::RunProgram(xp::test::BuildProgram("token_demo"), {}, xp::test::Stderr::kApart);
  ::unsetenv("XPDEBUG");
  ASSERT_EQ(run.exit_code, 0) << run.output << run.error;

  std::ifstream log(machine.root() / "devices" / "usbtoken" / machine.token_id() / "requests.log");
  const std::vector<std::string> answered = Lines(log);
  ASSERT_GT(answered.size(), 10u) << "the demo talks to the token";
  std::istringstream printed(run.error);
  EXPECT_EQ(TracedRequests(printed, machine.token_id(), ""), answered);
  std::ifstream debug_log(machine.root() / "debug.log");
  EXPECT_EQ(TracedRequests(debug_log, machine.token_id(), "token_demo"), answered);
}

}  // namespace
