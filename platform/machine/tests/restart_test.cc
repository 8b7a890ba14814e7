// Restart requests: the file the boot code reads and the journal line a test sees.
#include <gtest/gtest.h>

#include <fstream>

#include "machine_test_fixture.h"

namespace xp::machine {
namespace {

using RestartTest = MachineTest;

TEST_F(RestartTest, ARequestIsLeftForTheBootCodeAndJournaled) {
  EXPECT_EQ(PendingRestart(), std::nullopt);
  RequestRestart(6);
  EXPECT_EQ(PendingRestart(), 6u);
  std::ifstream journal(root_ / "journal.log");
  std::string line;
  std::getline(journal, line);
  EXPECT_EQ(line.substr(line.find(' ', line.find(' ') + 1) + 1), "restart requested (flags 6)");
}

}  // namespace
}  // namespace xp::machine
