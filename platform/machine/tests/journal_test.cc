// The journal: each call is one line stamped with the clock and the process, whole even under concurrent writers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "machine_test_fixture.h"

namespace xp::machine {
namespace {

using JournalTest = MachineTest;

std::vector<std::string> Lines(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST_F(JournalTest, StampsEachLineWithClockAndProcess) {
  SleepMs(1500);
  Journal("box \"Quillmarsh Tavik\": There is already an instance running. -> OK");
  SleepMs(2000);
  Journal("launch C:\\Program Files\\x.exe");
  const std::string pid = std::to_string(::getpid());
  EXPECT_EQ(Lines(root_ / "journal.log"),
            (std::vector<std::string>{
                "1500 " + pid + " box \"Quillmarsh Tavik\": There is already an instance running. -> OK",
                "3500 " + pid + " launch C:\\Program Files\\x.exe"}));
}

TEST_F(JournalTest, KeepsAMultiLineTextOnOneLine) {
  Journal("first\nsecond");
  EXPECT_EQ(Lines(root_ / "journal.log"),
            (std::vector<std::string>{"0 " + std::to_string(::getpid()) + " first\\nsecond"}));
}

TEST_F(JournalTest, ConcurrentWritersNeverInterleave) {
  std::vector<std::thread> writers;
  for (int t = 0; t < 8; ++t) {
    writers.emplace_back([t] {
      for (int i = 0; i < 100; ++i) Journal("writer " + std::to_string(t) + " " + std::string(50 + i * 7, 'a' + t));
    });
  }
  for (std::thread& writer : writers) writer.join();
  const std::vector<std::string> lines = Lines(root_ / "journal.log");
  ASSERT_EQ(lines.size(), 800u);
  const std::regex whole("0 [0-9]+ writer ([0-7]) ([a-h]+)");
  for (const std::string& line : lines) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, whole)) << line;
    EXPECT_EQ(match[2].str(), std::string(match[2].length(), 'a' + std::stoi(match[1]))) << line;
  }
}

}  // namespace
}  // namespace xp::machine
