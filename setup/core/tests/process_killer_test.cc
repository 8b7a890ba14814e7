// Ending the processes of ordinary accounts before files are encrypted: the walk over the machine's process list
// and the callback that ends processes, which must spare SYSTEM, LOCAL SERVICE and NETWORK SERVICE and itself.
#include <string>
#include <vector>

#include "setupcore_fixture.h"
#include "xp/processes.h"

namespace tavik::setupcore::testing {
namespace {

class ProcessKillerTest : public SetupcoreTest {
 protected:
  ~ProcessKillerTest() override {
    for (uint32_t pid : started_) xp::machine::TerminateMachineProcess(pid, 0);
  }
  // A process of the machine that waits until it is ended.
  uint32_t Start(const std::string& account, const std::string& image) {
    xp::machine::LaunchRequest request;
    request.host_file = "/bin/sleep";
    request.image = image;
    request.argv = {"sleep", "600"};
    request.account = account;
    xp::machine::LaunchedProcess launched;
    EXPECT_EQ(xp::machine::LaunchProcess(request, &launched), 0) << image;
    started_.push_back(launched.pid);
    return launched.pid;
  }
  static bool Live(uint32_t pid) { return xp::machine::FindProcess(pid)->live; }

 private:
  std::vector<uint32_t> started_;
};

TEST_F(ProcessKillerTest, EndsOrdinaryAccountsOnly) {
  struct {
    const char* account;
    const char* image;
    bool ended;
  } rows[] = {
      {"SYSTEM", "C:\\WINDOWS\\system32\\winlogon.exe", false},
      {"LOCAL SERVICE", "C:\\WINDOWS\\system32\\svchost.exe", false},
      {"NETWORK SERVICE", "C:\\WINDOWS\\system32\\svchost.exe", false},
      {"User", "C:\\WINDOWS\\explorer.exe", true},
      {"Administrator", "C:\\WINDOWS\\system32\\notepad.exe", true},
  };
  std::vector<uint32_t> pids;
  for (const auto& row : rows) pids.push_back(Start(row.account, row.image));
  ASSERT_EQ(EnumProcs(MyProcessEnumerator, 0), 1);
  for (size_t i = 0; i < pids.size(); ++i) {
    SCOPED_TRACE(rows[i].account);
    xp::machine::WaitForProcessEnd(pids[i], rows[i].ended ? 10000 : 0);
    const std::optional<xp::machine::ProcessRecord> record = xp::machine::FindProcess(pids[i]);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->live, !rows[i].ended);
    if (rows[i].ended) {
      EXPECT_EQ(record->exit_code, 1u);
    }
  }
  EXPECT_TRUE(Live(GetCurrentProcessId()));  // the caller, an administrator's process, goes on
}

TEST_F(ProcessKillerTest, TheWalkStopsWhenTheCallbackSaysSo) {
  Start("User", "C:\\WINDOWS\\explorer.exe");
  static std::vector<unsigned long> seen;
  seen.clear();
  const ProcEnumCallback take_two = [](unsigned long pid, unsigned short reserved, const char* exe, long param) {
    seen.push_back(pid);
    EXPECT_EQ(reserved, 0);
    EXPECT_EQ(param, 42);
    EXPECT_NE(exe, nullptr);
    return seen.size() < 2 ? 1 : 0;
  };
  ASSERT_EQ(EnumProcs(take_two, 42), 1);
  EXPECT_EQ(seen, (std::vector<unsigned long>{0, 4}));  // the idle process and System come first
}

TEST_F(ProcessKillerTest, AProgramIsStartedAndLeftToRun) {
  const std::string program = InInstallFolder("tokenreg.exe");
  std::filesystem::copy_file("/bin/true", Host(program));
  std::filesystem::permissions(Host(program), std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
  ASSERT_TRUE(launchAProcess(program.c_str()));
  bool started = false;
  for (const xp::machine::ProcessRecord& record : xp::machine::ListProcesses()) started |= record.image == program;
  EXPECT_TRUE(started);
  EXPECT_FALSE(launchAProcess(InInstallFolder("missing.exe").c_str()));
}

}  // namespace
}  // namespace tavik::setupcore::testing
