// Faults on purpose: which call fires, for how long, on which paths, counted across processes, and the crash.
#include "xp/faults.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "machine_test_fixture.h"

namespace xp::machine {
namespace {

using FaultsTest = MachineTest;

// What FailPoint answered for calls 1..n: 0 for "go on".
std::vector<uint32_t> Calls(int n, std::string_view operation, std::string_view path = {}) {
  std::vector<uint32_t> answers;
  for (int i = 0; i < n; ++i) answers.push_back(FailPoint(operation, path).value_or(0));
  return answers;
}

TEST_F(FaultsTest, NothingFailsUntilAFaultIsArmed) {
  EXPECT_EQ(Calls(3, "OpenProcessToken"), (std::vector<uint32_t>{0, 0, 0}));
  EXPECT_FALSE(std::filesystem::exists(root_ / "faults"));
}

TEST_F(FaultsTest, TheNthCallFailsForTheGivenNumberOfTimes) {
  const struct {
    uint32_t nth;
    uint32_t times;
    std::vector<uint32_t> answers;
  } rows[] = {
      {1, 1, {5, 0, 0, 0, 0}},
      {2, 1, {0, 5, 0, 0, 0}},
      {2, 2, {0, 5, 5, 0, 0}},
      {3, 0, {0, 0, 5, 5, 5}},
  };
  for (const auto& row : rows) {
    ClearFaults();
    ArmFault(Fault{FaultAction::kFail, "GetTokenInformation", row.nth, row.times, 5, ""});
    EXPECT_EQ(Calls(5, "GetTokenInformation"), row.answers) << "nth " << row.nth << " times " << row.times;
  }
}

TEST_F(FaultsTest, CountsOnlyItsOperationAndPathsHoldingItsText) {
  ArmFault(Fault{FaultAction::kFail, "WriteFile", 2, 1, 112, "\\Secret\\"});
  EXPECT_EQ(FailPoint("ReadFile", "C:\\Secret\\a.txt"), std::nullopt);
  EXPECT_EQ(FailPoint("WriteFile", "C:\\Public\\a.txt"), std::nullopt);
  EXPECT_EQ(FailPoint("WriteFile", "C:\\SECRET\\a.txt"), std::nullopt) << "first matching call";
  EXPECT_EQ(FailPoint("WriteFile", "C:\\secret\\b.txt"), 112u) << "second matching call";
}

TEST_F(FaultsTest, CallsOfEveryProcessOfTheMachineCount) {
  ArmFault(Fault{FaultAction::kFail, "ExitWindowsEx", 2, 1, 1314, ""});
  const pid_t child = ::fork();
  if (child == 0) _exit(FailPoint("ExitWindowsEx").has_value() ? 1 : 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(FailPoint("ExitWindowsEx"), 1314u) << "the child's call was the first";
}

// A process that found nothing armed looks again at its next call: a fault armed since by another process fires,
// and a clear is seen as well.
TEST_F(FaultsTest, AFaultArmedAfterAProcessLastLookedFires) {
  EXPECT_EQ(FailPoint("MoveFileA"), std::nullopt);
  const pid_t child = ::fork();
  if (child == 0) {
    ArmFault(Fault{FaultAction::kFail, "MoveFileA", 1, 0, 32, ""});
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(FailPoint("MoveFileA"), 32u);
  ClearFaults();
  EXPECT_EQ(FailPoint("MoveFileA"), std::nullopt);
}

TEST_F(FaultsTest, TheListIsPlainTextAndClearsAway) {
  ArmFault(Fault{FaultAction::kCrash, "checkpoint:encrypted", 3, 1, 0, "C:\\x y"});
  FailPoint("checkpoint:encrypted");  // a fail check does not count a crash fault
  CrashPoint("checkpoint:encrypted", "C:\\X Y\\z");
  std::ifstream file(root_ / "faults");
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_EQ(text.str(), "crash checkpoint:encrypted nth=3 times=1 error=0 calls=1 path=C:\\x y\n");
  ClearFaults();
  EXPECT_FALSE(std::filesystem::exists(root_ / "faults"));
  ClearFaults();
}

TEST_F(FaultsTest, RefusesAMalformedFault) {
  EXPECT_THROW(ArmFault(Fault{FaultAction::kFail, "two words", 1, 1, 5, ""}), std::invalid_argument);
  EXPECT_THROW(ArmFault(Fault{FaultAction::kFail, "Op", 0, 1, 5, ""}), std::invalid_argument);
  EXPECT_THROW(ArmFault(Fault{FaultAction::kFail, "Op", 1, 1, 5, "a\nb"}), std::invalid_argument);
}

// "fast" death tests fork: the child works in this test's machine and leaves no folder of its own behind.
TEST_F(FaultsTest, ACrashEndsTheProcessAtOnceAfterTheNthOperation) {
  GTEST_FLAG_SET(death_test_style, "fast");
  ArmFault(Fault{FaultAction::kCrash, "WriteFile", 2, 1, 0, ""});
  EXPECT_EXIT(
      {
        CrashPoint("WriteFile");
        std::fputs("first write survived\n", stderr);
        CrashPoint("WriteFile");
        std::fputs("second write survived\n", stderr);
        std::exit(0);
      },
      ::testing::KilledBySignal(SIGKILL), "first write survived\n$");
}

}  // namespace
}  // namespace xp::machine
