// The LAN challenge: without the disk encryption a Windows logon needs the LAN agent's challenge answered during the
// attempt. The listener answers one challenge on the configured port (a decimal 1 to 65535), drops a challenge
// without its end, gives up on an agent that sends nothing, and frees its port for the next attempt.

#include "logon_fixture.h"

namespace tavik::logongate::testing {
namespace {

using xp::winlogon::Outcome;

constexpr char kNotAuthorized[] =
    "You are not authorized to use Tavik to login to this domain.\nPlease click on Default logon button.";
constexpr char kUnableToLogin[] = "Unable to login. The User Name and Domain information entered may be incorrect. ";

class LanChallengeTest : public LogonTest {
 public:
  LanChallengeTest() : LogonTest(MachineSetup{.installed = false}) {}

  void SetUp() override {
    LogonTest::SetUp();
    AppendToDescription("account.3.lan_challenge = yes\n");
    PutOnDisk("C:\\WINDOWS\\win.ini", "[logongate]\r\nDebugFlags=Error,Warning,Trace\r\nLogFile=C:\\logongate.log\r\n");
    SetPort(std::to_string(port_));
  }

  void SetPort(const std::string& text) const {
    SetMachineString("SOFTWARE\\Teradolm\\Gorsewick", "logongate Port", text);
  }

  // As the machine's programs read it: the kernel may still hold the log's last lines in its cache.
  std::string DebugLog() const { return ReadThroughMachine("C:\\logongate.log").value_or(""); }

  // Token logon without the disk: the password, then an account, then the message of a refused logon.
  static void Attempt(xp::ui::Script& script, const std::string& user, const std::string& password) {
    Welcome(script);
    TokenLogOn(script);
    AddAccount(script, user, kDomain, password);
  }

  const u_short port_ = 4500;  // the machine's own port, whatever the host runs there
};

TEST_F(LanChallengeTest, AnAnsweredChallengeLetsTheLogonInTwiceOnOnePort) {
  xp::ui::Script script;
  Attempt(script, kUser, kUserPassword);
  AtDesktop(script);
  script.Dialog(kOptions).Click(kLogOff);
  script.Dialog(kMessage, "Confirm Logoff").Click(IDOK);
  Welcome(script);
  TokenLogOn(script);
  AddAccount(script, kUser, kDomain, kUserPassword);
  ShutDownFromDesktop(script);
  ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
  EXPECT_EQ(CountMatching(Journal(), "lanagent alice: the token's answer is right"), 2u);
  EXPECT_EQ(CountMatching(Journal(), "winlogon logon alice"), 2u);
  const std::string log = DebugLog();
  EXPECT_NE(log.find("Server named WORKSTATION waiting on port " + std::to_string(port_)), std::string::npos);
  // The response names the token by its serial number as a number.
  EXPECT_NE(log.find("logongate-Trace: Response from logongate: <R><E>" + std::to_string(std::stoul(esn_)) + "</E>"),
            std::string::npos);
  EXPECT_EQ(log.find(kTokenPassword), std::string::npos) << "no password reaches the log";
  EXPECT_EQ(log.find(kUserPassword), std::string::npos);
}

TEST_F(LanChallengeTest, WithoutAnAnsweredChallengeTheLogonIsRefused) {
  const struct {
    const char* what;
    const char* mode;     // the agent's behaviour, for the watched account
    const char* port;     // the configured port
    const char* user;     // the account that logs on; "User" is not watched
    const char* logged;   // what the listener's log tells
    const char* message;  // the message dialog that ends the attempt
  } rows[] = {
      {"nobody challenges", "answer", nullptr, "User", "", kNotAuthorized},
      {"an agent that sends nothing", "silent", nullptr, kUser, "10sec timeout waiting for reply!", kUnableToLogin},
      {"a challenge without its end", "unterminated", nullptr, kUser, "A challenge without its end was dropped",
       kUnableToLogin},
      {"a puzzle without a PSS", "no-pss", nullptr, kUser, "Response from logongate: \r\n", kUnableToLogin},
      {"a port that is not a number", "answer", "abc", "User", "Invalid port provided", kNotAuthorized},
      {"port 0", "answer", "0", "User", "Invalid port provided", kNotAuthorized},
      {"a port beyond 16 bits", "answer", "70000", "User", "Invalid port provided", kNotAuthorized},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TearDown();
    SetUp();
    AppendToDescription(std::string("lanagent.mode = ") + row.mode + "\n");
    if (row.port != nullptr) SetPort(row.port);
    xp::ui::Script script;
    Attempt(script, row.user, std::string(row.user) == kUser ? kUserPassword : "user");
    if (std::string(row.user) == kUser) {
      script.ExpectBox(kCaption, "Logon failure: unknown user name or bad password.", MB_OK | MB_ICONWARNING)
          .Answer(IDOK);
    }
    script.Dialog(kMessage, "Login Failed").Click(IDOK);
    ShutDownFromLogon(script);
    ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
    EXPECT_TRUE(InOrder(Ui(), {"dialog 101 control 1001 static " + xp::ui::Quote(row.message, true)}));
    EXPECT_EQ(CountMatching(Journal(), "winlogon logon *"), 0u);
    EXPECT_NE(DebugLog().find(row.logged), std::string::npos) << DebugLog();
  }
}

}  // namespace
}  // namespace tavik::logongate::testing
