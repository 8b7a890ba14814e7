// What a console program that loads the token library prints: the library's load, thread and unload lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

#include "built_programs.h"

namespace {

std::string RunCommand(const std::string& command, int* exit_code) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[256];
  while (pipe && std::fgets(buffer, sizeof(buffer), pipe)) output += buffer;
  *exit_code = pipe ? pclose(pipe) : -1;
  return output;
}

TEST(TokenioLoadLines, LoadThreadAndUnloadLinesInOrder) {
  int exit_code = 0;
  const std::string output = RunCommand(xp::test::BuildProgram("tokenio_load_probe"), &exit_code);
  EXPECT_EQ(exit_code, 0) << output;
  // The load line carries the compiler's build date and time texts: "Dec 10 2026" and "13:04:05".
  const std::regex expected(
      "tokenio\\.dll loading\\.\\.  \\[[A-Z][a-z]{2} [ 0-9][0-9] [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}\\]\n"
      "tokenio\\.dll doing something unprecedented\n"
      "tokenio\\.dll doing something unprecedented\n"
      "tokenio\\.dll unloading\n");
  EXPECT_TRUE(std::regex_match(output, expected)) << output;
}

}  // namespace
