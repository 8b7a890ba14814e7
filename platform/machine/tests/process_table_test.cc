// The process table: registration on first use, launched processes adopting their record and recording full
// 32-bit exit codes, crashes, termination that never reaches a host process the machine did not start, waiting.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <regex>

#include "built_programs.h"
#include "machine_test_fixture.h"
#include "xp/processes.h"

extern char** environ;

namespace xp::machine {
namespace {

namespace fs = std::filesystem;

class ProcessTableTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    ::unsetenv("XPMACHINE_USER");
  }
  void TearDown() override {
    for (const pid_t child : children_) ::waitpid(child, nullptr, 0);
    ::unsetenv("XPMACHINE_USER");
    MachineTest::TearDown();
  }

  // Starts xp_machine_process_helper (built beside this program) with `arguments` as "helper.exe".
  LaunchedProcess Launch(const std::vector<std::string>& arguments) {
    LaunchRequest request;
    request.host_file = xp::test::BuildProgram("xp_machine_process_helper");
    request.image = "C:\\Program Files\\helper.exe";
    request.argv = {"helper.exe"};
    request.argv.insert(request.argv.end(), arguments.begin(), arguments.end());
    request.account = "User";
    LaunchedProcess launched;
    EXPECT_EQ(LaunchProcess(request, &launched), 0);
    children_.push_back(launched.host_pid);
    return launched;
  }

  // The journal's lines without their clock and host pid stamps.
  std::vector<std::string> JournalEvents() const {
    std::ifstream in(root_ / "journal.log");
    std::vector<std::string> events;
    for (std::string line; std::getline(in, line);) {
      events.push_back(std::regex_replace(line, std::regex("^\\d+ \\d+ "), ""));
    }
    return events;
  }

  std::vector<pid_t> children_;
};

TEST_F(ProcessTableTest, TheCallerEntersTheTableOnFirstUse) {
  const uint32_t pid = CurrentProcessId();
  EXPECT_GE(pid, 1000u);
  EXPECT_EQ(pid % 4, 0u);
  EXPECT_EQ(CurrentProcessId(), pid);
  const std::vector<ProcessRecord> all = ListProcesses();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].pid, kIdleProcessId);
  EXPECT_EQ(all[0].ExeFile(), "[System Process]");
  EXPECT_EQ(all[1].pid, kSystemProcessId);
  EXPECT_EQ(all[1].ExeFile(), "System");
  const ProcessRecord& self = all[2];
  EXPECT_EQ(self.pid, pid);
  EXPECT_TRUE(self.live);
  EXPECT_FALSE(self.launched);
  EXPECT_EQ(self.account, "Administrator");
  EXPECT_EQ(self.image, fs::read_symlink("/proc/self/exe").filename().string());
  EXPECT_EQ(self.host_pid, ::getpid());
  EXPECT_EQ(self.ExitCodeOrStillActive(), kStillActive);
}

TEST_F(ProcessTableTest, TheRecordFollowsTheAccountAndANewAccountHasNoPrivilegesEnabled) {
  const uint32_t pid = CurrentProcessId();
  SetEnabledPrivileges(pid, {"SeShutdownPrivilege"});
  EXPECT_EQ(CurrentProcess().privileges, std::vector<std::string>{"SeShutdownPrivilege"});
  ::setenv("XPMACHINE_USER", "user", 1);
  const ProcessRecord record = CurrentProcess();
  EXPECT_EQ(record.account, "User");
  EXPECT_TRUE(record.privileges.empty());
  EXPECT_EQ(FindProcess(pid)->account, "User") << "written through";
}

TEST_F(ProcessTableTest, ALaunchedProcessAdoptsItsRecordAndRecordsItsFull32BitExitCode) {
  const LaunchedProcess launched = Launch({"exit", "0x89ABCDEF"});
  EXPECT_EQ(launched.thread_id, launched.pid + 4);
  ASSERT_TRUE(WaitForProcessEnd(launched.pid, 20000));
  const std::optional<ProcessRecord> record = FindProcess(launched.pid);
  ASSERT_TRUE(record);
  EXPECT_FALSE(record->live);
  EXPECT_TRUE(record->launched);
  EXPECT_EQ(record->parent, CurrentProcessId());
  EXPECT_EQ(record->account, "User");
  EXPECT_EQ(record->ExeFile(), "helper.exe");
  EXPECT_EQ(record->exit_code, 0x89ABCDEFu);
  EXPECT_EQ(ListProcesses().size(), 4u) << "the helper made no record of its own";
  const std::string pid = std::to_string(launched.pid);
  EXPECT_EQ(JournalEvents(), (std::vector<std::string>{"launch pid " + pid + " C:\\Program Files\\helper.exe",
                                                       "exit pid " + pid + " code 2309737967"}));
}

TEST_F(ProcessTableTest, ACrashedProcessReadsAsEndedWithoutACode) {
  const LaunchedProcess launched = Launch({"crash"});
  ASSERT_TRUE(WaitForProcessEnd(launched.pid, 20000));
  const ProcessRecord record = *FindProcess(launched.pid);
  EXPECT_FALSE(record.live);
  EXPECT_EQ(record.exit_code, std::nullopt);
  EXPECT_EQ(record.ExitCodeOrStillActive(), kCrashedExitCode);
}

TEST_F(ProcessTableTest, TerminateRecordsTheCodeAndEndsTheProcess) {
  const LaunchedProcess launched = Launch({"wait-for", (root_ / "never").string()});
  EXPECT_FALSE(WaitForProcessEnd(launched.pid, 50));
  EXPECT_EQ(FindProcess(launched.pid)->ExitCodeOrStillActive(), kStillActive);
  EXPECT_EQ(TerminateMachineProcess(launched.pid, 0xC000013A), TerminateOutcome::kTerminated);
  ASSERT_TRUE(WaitForProcessEnd(launched.pid, 20000));
  EXPECT_EQ(FindProcess(launched.pid)->ExitCodeOrStillActive(), 0xC000013Au);
  EXPECT_EQ(JournalEvents().back(), "terminate pid " + std::to_string(launched.pid) + " code 3221225786");
  EXPECT_EQ(TerminateMachineProcess(launched.pid, 1), TerminateOutcome::kNotLive);
}

TEST_F(ProcessTableTest, TerminateRefusesAProcessThatOnlyEnteredTheMachine) {
  const uint32_t self = CurrentProcessId();
  EXPECT_EQ(TerminateMachineProcess(self, 1), TerminateOutcome::kRefused);
  EXPECT_TRUE(FindProcess(self)->live);
  EXPECT_EQ(FindProcess(self)->exit_code, std::nullopt) << "a refused termination records nothing";
}

// A live-looking record naming a host process the machine never started (its pid reused) must not reach it.
TEST_F(ProcessTableTest, TerminateNeverSignalsAHostProcessThatReusedARecordedPid) {
  pid_t host = 0;
  char sleep_program[] = "sleep";
  char seconds[] = "30";
  char* argv[] = {sleep_program, seconds, nullptr};
  ASSERT_EQ(::posix_spawnp(&host, "sleep", nullptr, nullptr, argv, environ), 0);
  const fs::path record = root_ / "processes" / "5000";
  std::ofstream(record) << "pid = 5000\nparent = 0\nimage = C:\\x.exe\naccount = User\norigin = launched\n"
                        << "host_pid = " << host << "\nhost_start = 1\n";
  const int holder = ::open(record.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  EXPECT_TRUE(FindProcess(5000)->live);
  EXPECT_EQ(TerminateMachineProcess(5000, 1), TerminateOutcome::kRefused);
  EXPECT_EQ(::waitpid(host, nullptr, WNOHANG), 0) << "the host process must still run";
  EXPECT_EQ(FindProcess(5000)->exit_code, std::nullopt);
  ::close(holder);
  ::kill(host, SIGKILL);
  ::waitpid(host, nullptr, 0);
}

TEST_F(ProcessTableTest, WaitingTimesOutWhileTheProcessLivesAndEndsAtOnceForARecordThatIsGone) {
  EXPECT_FALSE(WaitForProcessEnd(CurrentProcessId(), 30));
  EXPECT_TRUE(WaitForProcessEnd(123456, 0xFFFFFFFFu));
}

TEST_F(ProcessTableTest, LiveOnlyListingsLeaveEndedProcessesOut) {
  const LaunchedProcess launched = Launch({"exit", "3"});
  ASSERT_TRUE(WaitForProcessEnd(launched.pid, 20000));
  const uint32_t self = CurrentProcessId();
  std::vector<uint32_t> live;
  for (const ProcessRecord& record : ListProcesses(true)) live.push_back(record.pid);
  EXPECT_EQ(live, (std::vector<uint32_t>{0, 4, self}));
  EXPECT_EQ(ListProcesses().back().pid, launched.pid);
}

}  // namespace
}  // namespace xp::machine
