// What a logon starts: at an administrator's logon each RunOnce value is deleted and then its command line started
// as the user (an unquoted path with blanks is found as CreateProcessA finds it); an ordinary user's logon, or a
// logon in safe mode, leaves RunOnce alone; the "Userinit" programs run as whoever logged on.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "boot_fixture.h"
#include "built_programs.h"
#include "xp/processes.h"

namespace xp::winlogon::testing {
namespace {

namespace fs = std::filesystem;

constexpr char kRunOnceKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kWinlogonKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

using RunOnceTest = BootTest;

void SetSafeMode(const std::filesystem::path& root) {
  std::ifstream in(root / "machine.ini");
  std::stringstream text;
  text << in.rdbuf();
  std::string ini = text.str();
  const std::string off = "safe_mode = no";
  ini.replace(ini.find(off), off.size(), "safe_mode = yes");
  std::ofstream(root / "machine.ini", std::ios::trunc) << ini;
}

struct RunOnceCase {
  const char* user;
  const char* password;
  bool safe_mode;
  bool runs;
};

class RunOnceAtLogonTest : public BootTest, public ::testing::WithParamInterface<RunOnceCase> {};

TEST_P(RunOnceAtLogonTest, RunsOnlyAtAnAdministratorsLogonOutsideSafeMode) {
  const RunOnceCase& c = GetParam();
  if (c.safe_mode) SetSafeMode(root());
  // As setRunOnceKey stores it: without the NUL.
  SetMachineString(kRunOnceKey, "RunSetup", kProbe, false);
  SetMachineString(kRunOnceKey, "Quoted", std::string("\"") + kProbe + "\" one \"two three\"");
  ui::Script script;
  LogOn(script, c.user, c.password);
  Answer(script);

  const boot::BootResult result = Boot();

  ASSERT_TRUE(result.booted) << result.error;
  const std::vector<std::string> journal = Journal();
  const std::string probe = std::string("probe as ") + c.user + ":";
  if (c.runs) {
    EXPECT_TRUE(InOrder(journal, {"winlogon RunOnce RunSetup deleted", "winlogon RunOnce Quoted deleted"}));
    // The C run time splits an unquoted path at its blanks, as on Windows.
    EXPECT_EQ(Count(journal, probe + " Files\\Probe|Dir\\probe.exe"), 1u);
    EXPECT_EQ(Count(journal, probe + " one|two three"), 1u);
    EXPECT_EQ(MachineString(kRunOnceKey, "RunSetup"), std::nullopt);
    EXPECT_EQ(MachineString(kRunOnceKey, "Quoted"), std::nullopt);
  } else {
    EXPECT_EQ(Count(journal, "winlogon RunOnce RunSetup deleted"), 0u);
    EXPECT_EQ(MachineString(kRunOnceKey, "RunSetup"), std::string(kProbe));
    EXPECT_TRUE(MachineString(kRunOnceKey, "Quoted").has_value());
    for (const std::string& line : journal) EXPECT_EQ(line.find("probe as"), std::string::npos) << line;
  }
}

INSTANTIATE_TEST_SUITE_P(Logons, RunOnceAtLogonTest,
                         ::testing::Values(RunOnceCase{"Administrator", "admin", false, true},
                                           RunOnceCase{"User", "user", false, false},
                                           RunOnceCase{"Administrator", "admin", true, false}));

TEST_F(RunOnceTest, UserinitProgramsRunAsTheLoggedOnUser) {
  SetMachineString(kWinlogonKey, "Userinit",
                   std::string("C:\\WINDOWS\\system32\\userinit.exe, \"") + kProbe + "\" userinit,");
  ui::Script script;
  LogOn(script, "user", "user");
  Answer(script);

  const boot::BootResult result = Boot();

  ASSERT_TRUE(result.booted) << result.error;
  EXPECT_TRUE(InOrder(Journal(), {"msgina WlxActivateUserShell", "probe as User: userinit"}));
}

TEST_F(RunOnceTest, TheInstallsUserinitValueStartsTheVerifierAsTheUser) {
  const fs::path folder = root() / "drives" / "C" / "Program Files" / "Quillmarsh" / "Tavik" / "XP";
  fs::create_directories(folder);
  fs::copy_file(xp::test::BuildProgram("mrv_verify_cfk"), folder / "MRVVerifyCFK.exe");
  fs::permissions(folder / "MRVVerifyCFK.exe", fs::perms::owner_all, fs::perm_options::add);
  // The value the install writes: 87 characters, the verifier's path unquoted.
  const std::string userinit =
      "C:\\WINDOWS\\system32\\userinit.exe,C:\\Program Files\\Quillmarsh\\Tavik\\XP\\MRVVerifyCFK.exe,";
  ASSERT_EQ(userinit.size(), 87u);
  SetMachineString(kWinlogonKey, "Userinit", userinit);
  ui::Script script;
  LogOn(script, "User", "user");
  Answer(script);

  const boot::BootResult result = Boot();

  ASSERT_TRUE(result.booted) << result.error;
  EXPECT_TRUE(InOrder(Journal(), {"winlogon logon User", "msgina WlxActivateUserShell", "MRVVerifyCFK ran as User"}));
  bool verified = false;
  for (const machine::ProcessRecord& record : machine::ListProcesses()) {
    if (record.ExeFile() != "MRVVerifyCFK.exe") continue;
    verified = true;
    EXPECT_EQ(record.account, "User");
    EXPECT_EQ(record.ExitCodeOrStillActive(), 0u);
  }
  EXPECT_TRUE(verified);
}

TEST_F(RunOnceTest, ShellThatStartsNothingLogsTheUserOffAgain) {
  SetMachineString(kWinlogonKey, "Userinit", "C:\\WINDOWS\\system32\\missing.exe,");
  SetMachineString(kRunOnceKey, "RunSetup", kProbe);
  ui::Script script;
  LogOn(script, "Administrator", "admin");
  Answer(script);

  const boot::BootResult result = Boot();

  ASSERT_TRUE(result.booted) << result.error;
  const std::vector<std::string> journal = Journal();
  EXPECT_TRUE(InOrder(journal, {"msgina Userinit program C:\\WINDOWS\\system32\\missing.exe not started (error 2)",
                                "winlogon shell of Administrator not started", "msgina WlxLogoff",
                                "winlogon logoff Administrator"}));
  // RunOnce waits for a logon whose shell started.
  EXPECT_EQ(MachineString(kRunOnceKey, "RunSetup"), std::string(kProbe));
}

}  // namespace
}  // namespace xp::winlogon::testing
