// The first token logon after an install, from the welcome notice to the user's programs: the driver gets the key
// (a protected document reads as plaintext while the disk keeps ciphertext), the key records rotate to a pair that
// opens the same key, the new account is kept on the token, and Winlogon learns the user from the notice.
#include "logon_fixture.h"

namespace tavik::logongate::testing {
namespace {

using xp::winlogon::Outcome;

using FirstLogonTest = LogonTest;

TEST_F(FirstLogonTest, HandsTheKeyOverRotatesTheRecordsAndStartsTheUsersPrograms) {
  xp::ui::Script script;
  FirstLogOn(script);
  ShutDownFromDesktop(script);
  ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);

  EXPECT_TRUE(KeyHeld());
  EXPECT_EQ(ReadThroughMachine(kDocument), kDocumentText);
  EXPECT_NE(OnDisk(kDocument), kDocumentText);
  EXPECT_NE(Sn(), keys_.sn) << "the Key Puzzle changed";
  EXPECT_TRUE(Opens(TokenAnswerTo(Sn()), Efkn())) << "and its Key Answer opens the key";

  EXPECT_EQ(MachineString("SOFTWARE\\Teradolm\\Gorsewick", "Last User"), kUser);
  EXPECT_EQ(MachineString("SOFTWARE\\Teradolm\\Gorsewick", "Last Domain"), kDomain);
  const std::vector<std::string> journal = Journal();
  EXPECT_TRUE(InOrder(journal, {
                                   "ui dialog 300 control 1047 radio \"Log On with Tavik " + esn_ + "\" checked",
                                   "ui dialog 300 control 1045 edit \"" + Hex(keys_.sn) + "\" disabled readonly",
                                   "advapi32 LogonUserW alice session *",
                                   "winlogon logon alice",
                                   "advapi32 CreateProcessAsUserW as alice on desktop \"WinSta0\\\\Default\" titled "
                                   "\"C:\\\\WINDOWS\\\\system32\\\\userinit.exe\"*",
                                   "advapi32 CreateProcessAsUserW as alice on desktop \"WinSta0\\\\Default\" titled "
                                   "\"C:\\\\Program Files\\\\Quillmarsh\\\\Tavik\\\\XP\\\\MRVVerifyCFK.exe\": "
                                   "\"\\\"C:\\\\Program Files\\\\Quillmarsh\\\\Tavik\\\\XP\\\\MRVVerifyCFK.exe\\\"\"*",
                                   "MRVVerifyCFK ran as alice",
                               }));
  EXPECT_EQ(CountMatching(journal, "ui box *"), 0u) << "a good logon shows no message";
}

}  // namespace
}  // namespace tavik::logongate::testing
