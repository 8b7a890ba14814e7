// A logon without the token: the Key Answer the maker's web service gives for the Key Puzzle shown opens the disk,
// and the system's own logon dialog then logs the user on; every later entry goes to the system's GINA, with
// Winlogon's context. Wrong answers are told and the dialog stays. In safe mode no driver runs: the answer is
// checked against the key record itself, and a token logon leaves the driver alone.
#include "logon_fixture.h"
#include "xp/usbtoken.h"
#include "xp/msgina.h"

namespace tavik::logongate::testing {
namespace {

using xp::winlogon::Outcome;

using KeyAnswerTest = LogonTest;

std::string Invalid(int which) { return "Invalid Key Answer[" + std::to_string(which) + "].\r\nPlease try again."; }

void RefusedAnswer(xp::ui::Script& script, const std::string& answer, int which) {
  script.Dialog(kLogon).Type(kKeyAnswer, answer).Click(kLogOn);
  script.ExpectBox(kCaption, Invalid(which), MB_OK | MB_ICONERROR).Answer(IDOK);
}

// The system's own logon dialog, then its Windows Security dialog at the desktop, which shuts down.
void SystemLogOnAndShutDown(xp::ui::Script& script) {
  script.Dialog(xp::msgina::kLogonDialog)
      .Type(xp::msgina::kLogonUserName, kUser)
      .Type(xp::msgina::kLogonPassword, kUserPassword)
      .Click(IDOK);
  AtDesktop(script);
  script.Dialog(xp::msgina::kSecurityDialog).Click(xp::msgina::kSecurityShutDown);
}

TEST_F(KeyAnswerTest, TheRightAnswerOpensTheDiskAndTheSystemsOwnLogonFollows) {
  const std::string answer = Hex(TokenAnswerTo(keys_.sn));
  xp::usbtoken::Unplug(root(), token_);
  xp::ui::Script script;
  script.Dialog(kWelcome).Enter();  // the component's own secure-attention event
  script.Dialog(kLogon).Click(kKeyAnswerMode);
  RefusedAnswer(script, "0123456789abcdef0123456789abcde", 1);
  RefusedAnswer(script, "0123456789abcdefg123456789abcdef", 2);
  RefusedAnswer(script, std::string(32, '0'), 3);
  RefusedAnswer(script, Hex(TokenAnswerTo(keys_.kn)), 3);
  std::string upper = answer;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  script.Dialog(kLogon).Type(kKeyAnswer, upper).Click(kLogOn);
  SystemLogOnAndShutDown(script);
  ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);

  EXPECT_TRUE(KeyHeld());
  EXPECT_EQ(ReadThroughMachine(kDocument), kDocumentText);
  EXPECT_EQ(Sn(), keys_.sn) << "a Key Answer logon rotates nothing";
  EXPECT_EQ(Efkn(), keys_.efkn);
  EXPECT_TRUE(InOrder(Journal(), {"winlogon SAS 256", "msgina WlxLoggedOutSAS", "winlogon logon alice",
                                  "msgina WlxActivateUserShell", "MRVVerifyCFK ran as alice", "msgina WlxLoggedOnSAS",
                                  "msgina WlxShutdown"}));
}

TEST_F(KeyAnswerTest, InSafeModeNoDriverRunsAndTheAnswerIsCheckedAgainstTheRecord) {
  xp::machine::SetBootMode(xp::machine::BootMode::kSafe);
  xp::ui::Script script;
  Welcome(script);
  TokenLogOn(script);
  AddAccount(script, kUser, kDomain, kUserPassword);
  AtDesktop(script);
  script.Dialog(kOptions).Click(kLogOff);
  script.Dialog(kMessage, "Confirm Logoff").Click(IDOK);
  Welcome(script);
  script.Dialog(kLogon).Click(kKeyAnswerMode);
  RefusedAnswer(script, Hex(TokenAnswerTo(keys_.kn)), 3);
  script.Dialog(kLogon).Type(kKeyAnswer, Hex(TokenAnswerTo(keys_.sn))).Click(kLogOn);
  SystemLogOnAndShutDown(script);
  ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);

  EXPECT_FALSE(KeyHeld()) << "the driver was never loaded";
  EXPECT_EQ(Sn(), keys_.sn);
  EXPECT_EQ(CountMatching(Journal(), "winlogon logon alice"), 2u);
}

}  // namespace
}  // namespace tavik::logongate::testing
