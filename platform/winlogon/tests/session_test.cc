// The logged-on session as Winlogon runs it: a program's restart request ends the session and Winlogon, and the
// next boot proceeds (with the request taken up); Ctrl+Alt+Del on the desktop leads through the GINA to lock,
// unlock, log-off and restart, in Winlogon's order.
#include "boot_fixture.h"
#include "xp/machine.h"
#include "xp/msgina.h"
#include "xp/processes.h"
#include "xp/winlogon.h"

namespace xp::winlogon::testing {
namespace {

constexpr char kRunOnceKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

using SessionTest = BootTest;

TEST_F(SessionTest, RestartRequestEndsTheSessionAndTheNextBootProceeds) {
  SetMachineString(kRunOnceKey, "RunSetup", "\"" + std::string(kProbe) + "\" restart");
  ui::Script script;
  LogOn(script, "Administrator", "admin");
  LogOn(script, "Administrator", "admin");
  Answer(script);

  const boot::BootResult first = Boot();

  ASSERT_TRUE(first.booted) << first.error;
  EXPECT_EQ(first.winlogon_exit_code, 0);
  EXPECT_TRUE(first.restart_requested);
  EXPECT_EQ(machine::PendingRestart(), EWX_REBOOT | EWX_FORCE);
  EXPECT_TRUE(InOrder(Journal(), {"winlogon logon Administrator", "probe as Administrator: restart",
                                  "restart requested (flags 6)", "msgina WlxLogoff",
                                  "winlogon logoff Administrator", "msgina WlxShutdown", "winlogon restart"}));
  EXPECT_EQ(ui::ScriptStepsLeft(), 2u);

  const boot::BootResult second = Boot();

  ASSERT_TRUE(second.booted) << second.error;
  EXPECT_TRUE(second.nobody_at_the_keys);  // the script played out
  EXPECT_FALSE(second.restart_requested);
  EXPECT_EQ(ui::ScriptStepsLeft(), 0u);
  const std::vector<std::string> journal = Journal();
  EXPECT_EQ(Count(journal, "boot"), 2u);
  EXPECT_EQ(Count(journal, "probe as Administrator: restart"), 1u);  // RunOnce ran once
  // Nothing started inside the machine is left running: the first boot's processes were ended, the second's
  // session ran out of programs.
  for (const machine::ProcessRecord& record : machine::ListProcesses(true)) {
    EXPECT_FALSE(record.launched) << record.image;
  }
}

TEST_F(SessionTest, LockUnlockThenRestartFromWindowsSecurity) {
  ui::Script script;
  LogOn(script, "User", "user");
  script.CtrlAltDel(kDesktopScreen);
  script.Dialog(msgina::kSecurityDialog, "Windows Security").Click(msgina::kSecurityLock);
  script.CtrlAltDel(kLockedScreen);
  script.Dialog(msgina::kUnlockDialog, "Unlock Computer").Type(msgina::kUnlockPassword, "admin").Click(IDOK);
  script.ExpectBox("Unlock Computer", ui::Pattern::Wildcard("The password is incorrect.*"), MB_OK | MB_ICONERROR)
      .Answer(IDOK);
  script.CtrlAltDel(kLockedScreen);
  script.Dialog(msgina::kUnlockDialog).Type(msgina::kUnlockPassword, "user").Click(IDOK);
  script.CtrlAltDel(kDesktopScreen);
  script.Dialog(msgina::kSecurityDialog).Click(msgina::kSecurityRestart);
  Answer(script);

  const boot::BootResult result = Boot();

  ASSERT_TRUE(result.booted) << result.error;
  EXPECT_EQ(result.winlogon_exit_code, 0);
  EXPECT_TRUE(result.restart_requested);
  EXPECT_EQ(ui::ScriptStepsLeft(), 0u);
  EXPECT_TRUE(InOrder(Journal(), {"winlogon logon User", "msgina WlxLoggedOnSAS", "msgina WlxIsLockOk",
                                  "msgina WlxDisplayLockedNotice", "msgina WlxWkstaLockedSAS",
                                  "msgina WlxDisplayLockedNotice", "msgina WlxWkstaLockedSAS",
                                  "msgina WlxLoggedOnSAS", "msgina WlxLogoff", "winlogon logoff User",
                                  "msgina WlxShutdown", "restart requested (flags 2)", "winlogon restart"}));
}

TEST_F(SessionTest, LogOffLetsAnotherUserLogOnThenShutDown) {
  ui::Script script;
  LogOn(script, "User", "user");
  script.CtrlAltDel(kDesktopScreen);
  script.Dialog(msgina::kSecurityDialog).Click(msgina::kSecurityLogOff);
  LogOn(script, "Administrator", "admin");
  script.CtrlAltDel(kDesktopScreen);
  script.Dialog(msgina::kSecurityDialog).Click(msgina::kSecurityShutDown);
  Answer(script);

  const boot::BootResult result = Boot();

  ASSERT_TRUE(result.booted) << result.error;
  EXPECT_EQ(result.winlogon_exit_code, 0);
  EXPECT_FALSE(result.restart_requested);
  EXPECT_EQ(ui::ScriptStepsLeft(), 0u);
  EXPECT_TRUE(InOrder(Journal(), {"winlogon logon User", "msgina WlxIsLogoffOk", "msgina WlxLogoff",
                                  "winlogon logoff User", "msgina WlxDisplaySASNotice", "winlogon logon Administrator",
                                  "msgina WlxLogoff", "winlogon logoff Administrator", "msgina WlxShutdown",
                                  "winlogon shutdown (action 5)"}));
}

}  // namespace
}  // namespace xp::winlogon::testing
