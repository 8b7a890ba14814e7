// Changing a Windows password kept on the token: both sides change or neither does. Refusals are told and the
// dialog stays; a password of an account the token does not keep is changed back; a change Windows demands at
// logon is made before the logon goes on; and on XP Home a typed full name is the account it names.
#include "logon_fixture.h"
#include "built_programs.h"
#include "xp/faults.h"

namespace tavik::logongate::testing {
namespace {

using xp::winlogon::Outcome;

using ChangePasswordTest = LogonTest;

constexpr char kTitle[] = "Change Password";
constexpr UINT kError = MB_OK | MB_ICONERROR;

bool LogsOn(const std::string& user, const std::string& password) {
  HANDLE token = nullptr;
  const std::u16string wide_user(user.begin(), user.end());
  const std::u16string wide_password(password.begin(), password.end());
  if (!LogonUserW(wide_user.c_str(), u".", wide_password.c_str(), LOGON32_LOGON_INTERACTIVE,
                  LOGON32_PROVIDER_DEFAULT, &token)) {
    return false;
  }
  CloseHandle(token);
  return true;
}

void Change(xp::ui::Script& script, const std::string& user, const std::string& domain, const std::string& old_pw,
            const std::string& new_pw, const std::string& confirm) {
  script.Dialog(kChangePassword)
      .Type(kUserEdit, user)
      .Type(kDomainEdit, domain)
      .Type(kOldPassword, old_pw)
      .Type(kNewPassword, new_pw)
      .Type(kConfirmPassword, confirm)
      .Click(IDOK);
}

void NotChanged(xp::ui::Script& script) {
  script.ExpectBox(kTitle, "Password was not changed.", kError).Answer(IDOK);
}

TEST_F(ChangePasswordTest, RefusalsAreToldAndASuccessIsKeptOnTheToken) {
  AppendToDescription("password_history = 1\n");
  const std::pair<const char*, uint32_t> faults[] = {{"denied", ERROR_ACCESS_DENIED}, {"notprimary", 2226},
                                                     {"strange", 9999}};
  for (const auto& [user, error] : faults) {
    xp::machine::ArmFault({xp::machine::FaultAction::kFail, "NetUserChangePassword", 1, 1,
                           error, user});
  }
  xp::ui::Script script;
  FirstLogOn(script);
  AtDesktop(script);
  script.Dialog(kOptions).Click(kChangePasswordButton);
  Change(script, kUser, kDomain, kUserPassword, "NewPass1", "newpass1");
  script.ExpectBox(kTitle, "Your passwords do not match. \r\nPlease re-enter your new password.", kError)
      .Answer(IDOK);
  const struct {
    const char* user;
    const char* domain;
    const char* old_password;
    const char* new_password;
    const char* text;
    const char* caption;
  } refusals[] = {
      {kUser, kDomain, "wrong", "NewPass1", "Your old password is invalid.", kTitle},
      {"denied", kDomain, "x", "NewPass1", "Access denied.", kTitle},
      {"notprimary", kDomain, "x", "NewPass1",
       "The operation is allowed only on the primary domain controller\r\nof the domain.", kTitle},
      {"strange", kDomain, "x", "NewPass1", "Change password operation failed. Error code: 9999", kCaption},
      {kUser, "OTHERPC", kUserPassword, "NewPass1", "Computer name is invalid.", kTitle},
      {"nobody", kDomain, "x", "NewPass1", "The user name can not be found.", kTitle},
      {kUser, kDomain, kUserPassword, kUserPassword, "Change password failed.*", kTitle},
  };
  for (const auto& refusal : refusals) {
    Change(script, refusal.user, refusal.domain, refusal.old_password, refusal.new_password, refusal.new_password);
    script.ExpectBox(refusal.caption, xp::ui::Pattern::Wildcard(refusal.text), kError).Answer(IDOK);
    NotChanged(script);
  }
  Change(script, kUser, kDomain, kUserPassword, "NewPass1", "NewPass1");
  script.ExpectBox(kTitle, "Password Change Successful.\r\nPlease use the new password to log on with this account.",
                   MB_OK | MB_ICONINFORMATION)
      .Answer(IDOK);
  script.Dialog(kOptions).Click(kShutDownButton);
  script.Dialog(kShutdown).Check(kShutdownChoice).Click(IDOK);
  ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
  xp::machine::ClearFaults();
  EXPECT_TRUE(LogsOn(kUser, "NewPass1"));
  EXPECT_FALSE(LogsOn(kUser, kUserPassword));
  const std::vector<uint8_t> page = TokenBytes(6, 0, 120);
  const std::string stored(page.begin(), page.end());
  EXPECT_NE(stored.find(std::string("N\0e\0w\0P\0a\0s\0s\0001\0", 16)), std::string::npos);
  EXPECT_TRUE(InOrder(Ui(), {"dialog 800 control 805 edit \"\" password", "dialog 800 end 1"}));
}

TEST_F(ChangePasswordTest, APasswordTheTokenDoesNotKeepIsChangedBack) {
  for (const bool history : {false, true}) {
    SCOPED_TRACE(history ? "a history that refuses the way back" : "no history");
    TearDown();
    SetUp();
    if (history) AppendToDescription("password_history = 2\n");
    xp::ui::Script script;
    FirstLogOn(script);
    AtDesktop(script);
    script.Dialog(kOptions).Click(kChangePasswordButton);
    Change(script, "User", kDomain, "user", "NewUser1", "NewUser1");
    if (history) {
      script.ExpectBox(kTitle, xp::ui::Pattern::Wildcard("Change password failed.*"), kError).Answer(IDOK);
      script.ExpectBox(kTitle, xp::ui::Pattern::Wildcard("Your Windows password was changed, but *"),
                       MB_OK | MB_ICONWARNING)
          .Answer(IDOK);
    }
    script.Dialog(kOptions).Click(kShutDownButton);
    script.Dialog(kShutdown).Check(kShutdownChoice).Click(IDOK);
    ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
    EXPECT_EQ(LogsOn("User", "user"), !history);
    EXPECT_EQ(LogsOn("User", "NewUser1"), history);
    EXPECT_TRUE(InOrder(Ui(), {"dialog 800 end 0"}));
  }
}

TEST_F(ChangePasswordTest, APasswordWindowsDemandsToChangeIsChangedBeforeTheLogonGoesOn) {
  for (const bool cancelled : {true, false}) {
    SCOPED_TRACE(cancelled ? "cancelled" : "changed");
    TearDown();
    SetUp();
    AppendToDescription("account.3.must_change_password = yes\n");
    xp::ui::Script script;
    FirstLogOn(script);
    script.ExpectBox(kTitle, "Please change your account password.", MB_OK | MB_ICONINFORMATION).Answer(IDOK);
    if (cancelled) {
      script.Dialog(kChangePassword).Click(IDCANCEL);
      ShutDownFromLogon(script);
    } else {
      script.Dialog(kChangePassword)
          .Type(kOldPassword, kUserPassword)
          .Type(kNewPassword, "NewPass1")
          .Type(kConfirmPassword, "NewPass1")
          .Click(IDOK);
      script.ExpectBox(kTitle, xp::ui::Pattern::Wildcard("Password Change Successful.*"), MB_OK | MB_ICONINFORMATION)
          .Answer(IDOK);
      ShutDownFromDesktop(script);
    }
    ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
    EXPECT_EQ(CountMatching(Journal(), "winlogon logon alice"), cancelled ? 0u : 1u);
    EXPECT_EQ(LogsOn(kUser, "NewPass1"), !cancelled);
  }
}

// A system whose netapi32.dll has no NetUserChangePassword changes nothing, and says only that.
TEST_F(ChangePasswordTest, WithoutTheSystemsChangeCallNothingChanges) {
  std::filesystem::copy_file(xp::test::BuildProgram("xp_netapi32_without_change"),
                             root() / "drives/C/WINDOWS/system32/netapi32.dll");
  xp::ui::Script script;
  FirstLogOn(script);
  AtDesktop(script);
  script.Dialog(kOptions).Click(kChangePasswordButton);
  Change(script, kUser, kDomain, kUserPassword, "NewPass1", "NewPass1");
  NotChanged(script);
  script.Dialog(kChangePassword).Click(IDCANCEL);
  script.Dialog(kOptions).Click(kShutDownButton);
  script.Dialog(kShutdown).Check(kShutdownChoice).Click(IDOK);
  ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
  EXPECT_TRUE(LogsOn(kUser, kUserPassword));
}

class HomeEditionTest : public LogonTest {
 public:
  HomeEditionTest() : LogonTest(MachineSetup{.edition = "Home"}) {}
};

TEST_F(HomeEditionTest, AFullNameTypedForAnAccountLogsOnAsThatAccount) {
  AppendToDescription("account.3.full_name = Alice Liddell\n");
  xp::ui::Script script;
  Welcome(script);
  TokenLogOn(script);
  ChooseAccount(script, "New_Account");
  script.Dialog(kAddAccount).Type(kUserEdit, "alice liddell").Type(kAccountPassword, kUserPassword).Click(IDOK);
  ShutDownFromDesktop(script);
  ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
  EXPECT_TRUE(InOrder(Ui(), {"dialog 600 control 606 edit \"WORKSTATION\" disabled"}));
  EXPECT_TRUE(InOrder(Journal(), {"advapi32 LogonUserW alice session *", "winlogon logon alice"}));
}

}  // namespace
}  // namespace tavik::logongate::testing
