// A boot runs Winlogon with the GINA "GinaDLL" names: the MSGINA stand-in's logon through a UI script (the WLX
// calls in Winlogon's order), a wrong password answered with a box and a retry, Ctrl+Alt+Del inside the logon
// dialog, a typed logon, a GINA copied onto the machine, and a GINA that cannot be loaded.
#include <algorithm>
#include <filesystem>

#include "boot_fixture.h"
#include "built_programs.h"
#include "xp/msgina.h"
#include "xp/processes.h"
#include "xp/winlogon.h"

namespace xp::winlogon::testing {
namespace {

namespace fs = std::filesystem;

constexpr char kWinlogonKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

using LogonTest = BootTest;

TEST_F(LogonTest, ScriptedLogonRunsTheGinaInWinlogonsOrder) {
  ui::Script script;
  LogOn(script, "administrator", "admin");
  Answer(script);

  const boot::BootResult result = Boot();

  ASSERT_TRUE(result.booted) << result.error;
  EXPECT_TRUE(result.nobody_at_the_keys);  // the script played out
  EXPECT_FALSE(result.restart_requested);
  EXPECT_EQ(ui::ScriptStepsLeft(), 0u);
  EXPECT_TRUE(InOrder(Journal(), {"boot", "winlogon GINA msgina.dll", "msgina WlxNegotiate", "msgina WlxInitialize",
                                  "msgina WlxDisplaySASNotice", "ui ctrl-alt-del \"Welcome to Windows\"",
                                  "msgina WlxLoggedOutSAS", "winlogon logon Administrator",
                                  "msgina WlxActivateUserShell"}));
  // Winlogon runs as SYSTEM; the shell's first program as the user, spelled as the machine spells the account.
  bool winlogon_seen = false;
  bool userinit_seen = false;
  for (const machine::ProcessRecord& record : machine::ListProcesses()) {
    if (record.image == "C:\\WINDOWS\\system32\\winlogon.exe") {
      winlogon_seen = true;
      EXPECT_EQ(record.account, "SYSTEM");
    }
    if (record.image == "C:\\WINDOWS\\system32\\userinit.exe") {
      userinit_seen = true;
      EXPECT_EQ(record.account, "Administrator");
    }
  }
  EXPECT_TRUE(winlogon_seen);
  EXPECT_TRUE(userinit_seen);
}

TEST_F(LogonTest, WrongPasswordShowsTheLogonMessageAndTheDialogAgain) {
  ui::Script script;
  LogOn(script, "User", "USER");
  script
      .ExpectBox("Logon Message",
                 "The system could not log you on. Make sure your User name is correct, then type your password "
                 "again. Letters in passwords must be typed using the correct case.",
                 MB_OK | MB_ICONERROR)
      .Answer(IDOK);
  script.Dialog(msgina::kLogonDialog)
      .Type(msgina::kLogonUserName, "Nobody")
      .Type(msgina::kLogonPassword, "user")
      .Click(IDOK);
  script.ExpectBox("Logon Message", ui::Pattern::Any()).Answer(IDOK);
  script.Dialog(msgina::kLogonDialog).Type(msgina::kLogonUserName, "User").Type(msgina::kLogonPassword, "user").Click(
      IDOK);
  Answer(script);

  const boot::BootResult result = Boot();

  ASSERT_TRUE(result.booted) << result.error;
  EXPECT_TRUE(result.nobody_at_the_keys);  // the script played out
  EXPECT_EQ(ui::ScriptStepsLeft(), 0u);
  const std::vector<std::string> journal = Journal();
  EXPECT_EQ(Count(journal, "msgina WlxLoggedOutSAS"), 1u);
  EXPECT_TRUE(InOrder(journal, {"msgina WlxLoggedOutSAS", "winlogon logon User"}));
}

TEST_F(LogonTest, CancelReturnsToTheWelcomeScreen) {
  ui::Script script;
  script.CtrlAltDel(kWelcomeScreen);
  script.Dialog(msgina::kLogonDialog).Click(IDCANCEL);
  LogOn(script, "User", "user");
  Answer(script);

  const boot::BootResult result = Boot();

  ASSERT_TRUE(result.booted) << result.error;
  EXPECT_EQ(ui::ScriptStepsLeft(), 0u);
  EXPECT_TRUE(InOrder(Journal(), {"msgina WlxLoggedOutSAS", "msgina WlxDisplaySASNotice", "msgina WlxLoggedOutSAS",
                                  "winlogon logon User"}));
}

TEST_F(LogonTest, CtrlAltDelInTheLogonDialogEndsItAndStartsTheLogonAgain) {
  ui::Script script;
  script.CtrlAltDel(kWelcomeScreen);
  script.Dialog(msgina::kLogonDialog).CtrlAltDel();
  script.Dialog(msgina::kLogonDialog).Type(msgina::kLogonUserName, "User").Type(msgina::kLogonPassword, "user").Click(
      IDOK);
  Answer(script);

  const boot::BootResult result = Boot();

  ASSERT_TRUE(result.booted) << result.error;
  EXPECT_EQ(ui::ScriptStepsLeft(), 0u);
  const std::vector<std::string> journal = Journal();
  // The queued event goes straight to the next logged-out SAS, without the notice in between.
  EXPECT_TRUE(InOrder(journal, {"msgina WlxLoggedOutSAS", "winlogon SAS 1", "ui dialog 1500 end 101",
                                "msgina WlxLoggedOutSAS", "winlogon logon User"}));
  EXPECT_EQ(Count(journal, "msgina WlxDisplaySASNotice"), 1u);
}

TEST_F(LogonTest, TypedLogonAnswersWinlogonsOwnQuestionsOnly) {
  ::unsetenv("XPMACHINE_UI");
  boot::BootOptions options;
  options.typed_logon = TypedLogon{"User", "user"};

  const boot::BootResult result = Boot(options);

  ASSERT_TRUE(result.booted) << result.error;
  EXPECT_TRUE(result.nobody_at_the_keys);  // the script played out
  const std::vector<std::string> journal = Journal();
  EXPECT_TRUE(InOrder(journal, {"ui ctrl-alt-del \"Welcome to Windows\"", "winlogon logon User"}));
  EXPECT_FALSE(fs::exists(root() / "winlogon-logon.script"));
  // The launch of winlogon carries no command line: the password is handed over in its environment.
  EXPECT_TRUE(std::any_of(journal.begin(), journal.end(), [](const std::string& line) {
    return line.starts_with("launch pid ") && line.ends_with(" C:\\WINDOWS\\system32\\winlogon.exe");
  }));
}

TEST_F(LogonTest, GinaCopiedOntoTheMachineIsLoadedFromThere) {
  fs::copy_file(xp::test::BuildProgram("xp_msgina"),
                root() / "drives" / "C" / "WINDOWS" / "system32" / "othergina.dll");
  SetMachineString(kWinlogonKey, "GinaDLL", "OtherGina.dll");
  ui::Script script;
  LogOn(script, "User", "user");
  Answer(script);

  const boot::BootResult result = Boot();

  ASSERT_TRUE(result.booted) << result.error;
  EXPECT_TRUE(result.nobody_at_the_keys);  // the script played out
  EXPECT_TRUE(InOrder(Journal(), {"winlogon GINA OtherGina.dll", "msgina WlxInitialize", "winlogon logon User"}));
}

TEST_F(LogonTest, GinaThatIsNotOnTheMachineStopsWinlogon) {
  SetMachineString(kWinlogonKey, "GinaDLL", "logongate.dll");

  const boot::BootResult result = Boot();

  ASSERT_TRUE(result.booted) << result.error;
  EXPECT_EQ(result.winlogon_exit_code, 1);
  EXPECT_TRUE(InOrder(Journal(), {"winlogon GINA logongate.dll not loaded: "
                                  "C:\\WINDOWS\\system32\\logongate.dll is not on the machine"}));
}

TEST_F(LogonTest, GinaRefusingTheOfferedVersionStopsWinlogon) {
  Options options;
  options.version = 0x00010002;

  EXPECT_EQ(winlogon::Run(options), Outcome::kFailed);
  EXPECT_TRUE(InOrder(Journal(), {"winlogon GINA msgina.dll", "msgina WlxNegotiate",
                                  "winlogon GINA msgina.dll refused version 65538"}));
}

TEST_F(LogonTest, TypedLogonIsRefusedForAnotherGina) {
  SetMachineString(kWinlogonKey, "GinaDLL", "logongate.dll");
  fs::copy_file(xp::test::BuildProgram("xp_msgina"),
                root() / "drives" / "C" / "WINDOWS" / "system32" / "logongate.dll");
  boot::BootOptions options;
  options.typed_logon = TypedLogon{"User", "user"};

  const boot::BootResult result = Boot(options);

  EXPECT_EQ(result.winlogon_exit_code, 1);
  EXPECT_TRUE(InOrder(Journal(), {"winlogon typed logon refused: GinaDLL names logongate.dll"}));
}

}  // namespace
}  // namespace xp::winlogon::testing
