// xpmachine fault as a person uses it: a fault armed from the command line is the machine's, counted by every
// process of it (here the test's own calls), fires only on its path and from its nth call, with its error; clear
// disarms it; a malformed one is refused with the reason and the usage, and nothing is armed.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "run_program.h"
#include "scratch_folder.h"
#include "xp/faults.h"

namespace {

namespace fs = std::filesystem;
using xp::machine::FailPoint;

xp::test::ProgramRun Xpmachine(const std::vector<std::string>& arguments) {
  return xp::test::RunProgram(xp::test::BuildProgram("xpmachine"), arguments);
}

class FaultCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Xpmachine({"new", dir_}).exit_code, 0);
    ::setenv("XPMACHINE", dir_.c_str(), 1);
  }

  xp::test::ScratchFolder scratch_{"xpmachine-fault"};
  const std::string dir_ = (scratch_.path() / "m").string();
};

TEST_F(FaultCommandTest, AnArmedFaultFailsItsPathFromItsNthCallUntilCleared) {
  const xp::test::ProgramRun armed =
      Xpmachine({"fault", "arm", dir_, "fail", "MoveFileA", "nth=2", "times=0", "error=32", "path=Ledger.TXT"});
  ASSERT_EQ(armed.exit_code, 0) << armed.output;
  EXPECT_EQ(FailPoint("MoveFileA", "C:\\Docs\\diary.txt"), std::nullopt) << "another path";
  EXPECT_EQ(FailPoint("DeleteFileA", "C:\\Docs\\ledger.txt"), std::nullopt) << "another operation";
  EXPECT_EQ(FailPoint("MoveFileA", "C:\\Docs\\ledger.txt"), std::nullopt) << "the first matching call goes through";
  EXPECT_EQ(FailPoint("MoveFileA", "C:\\Docs\\LEDGER.txt"), 32u);
  EXPECT_EQ(FailPoint("MoveFileA", "C:\\Docs\\ledger.txt.H0K"), 32u) << "times=0: every call from then on";

  ASSERT_EQ(Xpmachine({"fault", "clear", dir_}).exit_code, 0);
  EXPECT_EQ(FailPoint("MoveFileA", "C:\\Docs\\ledger.txt"), std::nullopt);
}

TEST_F(FaultCommandTest, AMalformedFaultIsRefusedWithItsReasonAndNothingIsArmed) {
  struct Case {
    std::vector<std::string> arguments;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {{"fault"}, "expected arm or clear"},
      {{"fault", "arm"}, "the machine folder DIR is missing"},
      {{"fault", "arm", dir_, "fail"}, "expected the ACTION and the OPERATION"},
      {{"fault", "arm", dir_, "break", "MoveFileA"}, "expected fail, crash or power-loss, not 'break'"},
      {{"fault", "arm", dir_, "fail", "MoveFileA", "times"}, "expected KEY=VALUE, not 'times'"},
      {{"fault", "arm", dir_, "fail", "MoveFileA", "count=2"}, "unknown setting 'count'"},
      {{"fault", "arm", dir_, "fail", "MoveFileA", "error=-5"}, "error needs a whole number, not '-5'"},
      {{"fault", "arm", dir_, "fail", "MoveFileA", "nth=4294967296"}, "nth needs a whole number"},
      {{"fault", "arm", dir_, "fail", "MoveFileA", "nth=0"}, "nth >= 1"},
      {{"fault", "arm", dir_, "fail", "Move File"}, "an operation without spaces"},
      {{"fault", "clear", dir_, "now"}, "unexpected 'now'"},
  };
  for (const Case& c : cases) {
    const xp::test::ProgramRun run = Xpmachine(c.arguments);
    EXPECT_EQ(run.exit_code, 2) << c.reason;
    EXPECT_NE(run.output.find(c.reason), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("usage: xpmachine fault arm DIR"), std::string::npos) << run.output;
  }
  EXPECT_FALSE(fs::exists(fs::path(dir_) / "faults")) << "no refused fault reached the machine's list";
  EXPECT_EQ(FailPoint("MoveFileA", "C:\\x"), std::nullopt);
}

TEST_F(FaultCommandTest, AFolderThatIsNoMachineIsRefused) {
  const xp::test::ProgramRun run =
      Xpmachine({"fault", "arm", (scratch_.path() / "none").string(), "fail", "MoveFileA"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.output.find("is not a machine"), std::string::npos) << run.output;
}

}  // namespace
