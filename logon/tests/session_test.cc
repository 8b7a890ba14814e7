// A logged-on user's session under the component: the options of Ctrl+Alt+Del, locking and unlocking with the
// token that logged on (never another, even one whose own password is right), the locked notice that tells of a
// suspend and forgets it once unlocked, and the end of a secure screen saver, which locks.
#include "logon_fixture.h"
#include "built_programs.h"
#include "tokenapi.h"
#include "xp/usbtoken.h"

namespace tavik::logongate::testing {
namespace {

using xp::winlogon::Outcome;

using SessionTest = LogonTest;

std::string Locked(const std::string& esn) {
  return "dialog 200 control 206 static \"This computer is currently locked. Only the Tavik with ESN=" + esn +
         " can unlock it.\"";
}
std::string Resumed(const std::string& esn) {
  return "dialog 200 control 206 static \"This computer has returned from suspend mode.\\r\\nUse Tavik with esn=" +
         esn + " to unlock it.\"";
}

void LockFromOptions(xp::ui::Script& script) {
  AtDesktop(script);
  script.Dialog(kOptions).Click(kLock);
}

void Unlock(xp::ui::Script& script, const std::string& password = kTokenPassword) {
  script.Dialog(kLocked).CtrlAltDel();
  script.Dialog(kUnlock).Type(kUnlockPassword, password).Click(kUnlockOk);
}

TEST_F(SessionTest, ASuspendWhileLockedIsToldUntilTheTokenUnlocks) {
  xp::ui::Script script;
  FirstLogOn(script);
  LockFromOptions(script);
  script.Dialog(kLocked).Power("suspend").Power("resume").CtrlAltDel();
  script.Dialog(kUnlock).Click(kUnlockCancel);  // the notice comes back
  Unlock(script, "Secret12");
  script.Dialog(kMessage, "Login Failed").Click(IDOK);
  Unlock(script);
  LockFromOptions(script);
  Unlock(script);
  ShutDownFromDesktop(script);
  ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
  EXPECT_TRUE(InOrder(Ui(), {Locked(esn_), "dialog 200: power suspend", "dialog 102 end 0", Resumed(esn_),
                             "dialog 101 control 1001 static \"You have entered an invalid password*\"",
                             Resumed(esn_), "dialog 102 end 8", Locked(esn_), "dialog 102 end 8"}));
  EXPECT_TRUE(KeyHeld()) << "locking leaves the key with the driver";
}

TEST_F(SessionTest, AnotherTokenCannotUnlockEvenWithItsOwnRightPassword) {
  const std::string other = xp::usbtoken::Provision(root(), 9);
  xp::usbtoken::Unplug(root(), other);
  SetMachineString("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "Userinit",
                   "C:\\WINDOWS\\system32\\swap.exe,");
  std::filesystem::copy_file(xp::test::BuildProgram("logongate_swap_tokens"),
                             root() / "drives/C/WINDOWS/system32/swap.exe",
                             std::filesystem::copy_options::overwrite_existing);
  std::string pin = kTokenPassword;  // the other token's own password is the same text
  xp::usbtoken::Unplug(root(), token_);
  xp::usbtoken::Plug(root(), other);
  ASSERT_EQ(NuboSetPin(pin.data(), static_cast<int>(pin.size())), 0);
  xp::usbtoken::Unplug(root(), other);
  xp::usbtoken::Plug(root(), token_);

  xp::ui::Script script;
  FirstLogOn(script);
  LockFromOptions(script);
  Unlock(script);
  script.Dialog(kMessage, "Login Failed").Click(IDOK);
  script.Dialog(kLocked).Sas("screen-saver");  // the screen saver comes on, and nobody is left at the keys
  ASSERT_EQ(RunWinlogon(script), Outcome::kNobodyThere);
  EXPECT_TRUE(InOrder(Journal(), {"the user swapped the tokens",
                                  "ui dialog 101 control 1001 static \"This Tavik cannot be used to unlock the "
                                  "workstation\"",
                                  "ui dialog 102 end 2", "winlogon SAS 2 ends the dialog with 103"}));
  EXPECT_EQ(CountMatching(Journal(), "ui dialog 102 end 8"), 0u);
}

TEST_F(SessionTest, TheOptionsAndTheScreenSaverGiveWinlogonItsActions) {
  xp::ui::Script script;
  FirstLogOn(script);
  AtDesktop(script);
  script.Dialog(kOptions).Click(kTaskManager);
  AtDesktop(script);
  script.Dialog(kOptions).Click(IDCANCEL);
  script.Sas("screen-saver-activity", "Windows desktop");
  Unlock(script);
  AtDesktop(script);
  script.Dialog(kOptions).Click(kLogOff);
  script.Dialog(kMessage, "Confirm Logoff").Click(IDCANCEL);
  AtDesktop(script);
  script.Dialog(kOptions).Click(kLogOff);
  script.Dialog(kMessage, "Confirm Logoff").Click(IDOK);
  ShutDownFromLogon(script);
  ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
  EXPECT_TRUE(InOrder(Journal(), {"winlogon task list", "ui sas screen-saver-activity \"Windows desktop\"",
                                  "ui dialog 200 * open", "ui dialog 102 end 8", "winlogon logoff alice",
                                  "winlogon shutdown (action 5)"}));
  EXPECT_EQ(CountMatching(Journal(), "winlogon logoff alice"), 1u) << "a cancelled log-off stays logged on";
}

}  // namespace
}  // namespace tavik::logongate::testing
