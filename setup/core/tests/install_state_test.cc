// The install state MRVSTATE: its text form, the missing and unreadable cases, and writes that fail or crash
// part-way, which must leave the old number or the new one but never an empty or missing state.
#include <sys/wait.h>
#include <unistd.h>

#include "setupcore_fixture.h"
#include "xp/faults.h"

namespace tavik::setupcore::testing {
namespace {

const std::string kState = InInstallFolder("MRVSTATE");

class InstallStateTest : public SetupcoreTest {
 protected:
  void TearDown() override { xp::machine::ClearFaults(); }
};

TEST_F(InstallStateTest, ReadsTheLeadingNumber) {
  struct {
    const char* text;
    unsigned short state;
  } cases[] = {{"700", 700}, {"1500", 1500}, {"0", 0},         {"1000\n", 1000}, {"700abc", 700}, {"x", 9999},
               {"", 9999},   {" 700", 9999}, {"65535", 65535}, {"65536", 9999},  {"70000", 9999}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Put(kState, c.text);
    EXPECT_EQ(read_hd_install_state(), c.state);
  }
}

TEST_F(InstallStateTest, IsWrittenAsBareDecimalText) {
  ASSERT_TRUE(write_hd_install_state(1000));
  EXPECT_EQ(Get(kState), "1000");
  ASSERT_TRUE(write_hd_install_state(300));
  EXPECT_EQ(Get(kState), "300");
  EXPECT_EQ(read_hd_install_state(), 300);
}

TEST_F(InstallStateTest, AMissingStateIsNewAndCreated) {
  EXPECT_EQ(read_hd_install_state(), 0);
  EXPECT_EQ(Get(kState), "0");
}

TEST_F(InstallStateTest, AStateThatCannotBeOpenedIsAnErrorAndStaysAsItWas) {
  Put(kState, "700");
  xp::machine::ArmFault({xp::machine::FaultAction::kFail, "CreateFileA", 1, 1, ERROR_SHARING_VIOLATION, "MRVSTATE"});
  EXPECT_EQ(read_hd_install_state(), 9999);
  xp::machine::ClearFaults();
  EXPECT_EQ(Get(kState), "700");
  EXPECT_EQ(read_hd_install_state(), 700);
}

TEST_F(InstallStateTest, AFailedWriteReportsFalseAndKeepsTheOldState) {
  Put(kState, "700");
  for (const char* operation : {"CreateFileA", "WriteFile", "MoveFileExA"}) {
    SCOPED_TRACE(operation);
    xp::machine::ArmFault({xp::machine::FaultAction::kFail, operation, 1, 1, ERROR_WRITE_FAULT, "MRVSTATE"});
    EXPECT_FALSE(write_hd_install_state(800));
    xp::machine::ClearFaults();
    EXPECT_EQ(read_hd_install_state(), 700);
  }
}

// A crash right after any file operation of a write: the next process reads the old number or the new one.
TEST_F(InstallStateTest, ACrashDuringAWriteLeavesTheOldOrTheNewState) {
  for (const char* operation : {"CreateFileA", "WriteFile", "FlushFileBuffers", "MoveFileExA"}) {
    for (uint32_t nth = 1; nth <= 2; ++nth) {
      SCOPED_TRACE(std::string(operation) + " #" + std::to_string(nth));
      ASSERT_TRUE(write_hd_install_state(700));
      const pid_t writer = fork();
      if (writer == 0) {
        xp::machine::ArmFault({xp::machine::FaultAction::kCrash, operation, nth, 1, 0, "MRVSTATE"});
        _exit(write_hd_install_state(800) ? 0 : 1);
      }
      int status = 0;
      ASSERT_EQ(waitpid(writer, &status, 0), writer);
      xp::machine::ClearFaults();
      const unsigned short state = read_hd_install_state();
      EXPECT_TRUE(state == 700 || state == 800) << state;
      EXPECT_TRUE(Exists(kState));
    }
  }
}

TEST_F(InstallStateTest, CleanupRemovesTheStateAndTheKeyRecordsButNotTheLogs) {
  for (const char* name : {"MRVNEFLI", "MRVENTFE", "MRVENCHS", "MRVSTATE", "MRVPUZSN", "MRVDECHS", "MRVBADFILES",
                           "MRVLOG", "MRVSTATE.tmp", "MRVENTFE.NEW", "MRVKEYSW",
                           "MRVPUZSN2024_5_3_14_7_9", "MRVENTFE2024_5_3_14_7_9_1"}) {
    Put(InInstallFolder(name), "x");
  }
  cleanup_hd_info();
  for (const char* gone : {"MRVNEFLI", "MRVENTFE", "MRVENCHS", "MRVSTATE", "MRVPUZSN", "MRVDECHS", "MRVSTATE.tmp",
                           "MRVENTFE.NEW", "MRVKEYSW", "MRVPUZSN2024_5_3_14_7_9", "MRVENTFE2024_5_3_14_7_9_1"}) {
    EXPECT_FALSE(Exists(InInstallFolder(gone))) << gone;
  }
  EXPECT_TRUE(Exists(InInstallFolder("MRVBADFILES")));
  EXPECT_TRUE(Exists(InInstallFolder("MRVLOG")));
}

}  // namespace
}  // namespace tavik::setupcore::testing
