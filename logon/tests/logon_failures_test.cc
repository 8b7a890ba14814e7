// A Windows logon the system refuses is told as the system tells it, then the logon dialog's own words, and the
// user is back at the welcome notice with nothing logged on; a typed account with a blank domain is refused too.
#include <functional>

#include "logon_fixture.h"
#include "xp/faults.h"

namespace tavik::logongate::testing {
namespace {

using xp::winlogon::Outcome;

using LogonFailuresTest = LogonTest;

// The refusals no property of an account gives come from the logon's fault point.
void Refuse(DWORD error) { xp::machine::ArmFault({xp::machine::FaultAction::kFail, "LogonUserW", 1, 1, error, ""}); }

TEST_F(LogonFailuresTest, EachRefusalHasTheSystemsTextThenTheDialogsOwn) {
  const struct {
    const char* what;
    const char* domain;
    const char* password;
    std::function<void(LogonFailuresTest&)> prepare;
    const char* text;
  } rows[] = {
      {"a wrong password", kDomain, "al1cepw", [](LogonFailuresTest&) {},
       "Logon failure: unknown user name or bad password."},
      {"a blank domain", "", kUserPassword, [](LogonFailuresTest&) {},
       "Logon failure: the parameter is incorrect.\r\nUser account & domain name can not be blank."},
      {"a disabled account", kDomain, kUserPassword,
       [](LogonFailuresTest& t) { t.AppendToDescription("account.3.disabled = yes\n"); },
       "Logon failure: account currently disabled."},
      {"a restriction", kDomain, kUserPassword, [](LogonFailuresTest&) { Refuse(ERROR_ACCOUNT_RESTRICTION); },
       "Logon failure: user account restriction.\r\nPossible reasons are blank passwords not allowed, logon hour "
       "restrictions,\r\nor a policy restriction has been enforced."},
      {"the logon hours", kDomain, kUserPassword, [](LogonFailuresTest&) { Refuse(ERROR_INVALID_LOGON_HOURS); },
       "Logon failure: account logon time restriction violation."},
      {"another workstation", kDomain, kUserPassword, [](LogonFailuresTest&) { Refuse(ERROR_INVALID_WORKSTATION); },
       "Logon failure: user not allowed to log on to this computer."},
      {"an expired password", kDomain, kUserPassword, [](LogonFailuresTest&) { Refuse(ERROR_PASSWORD_EXPIRED); },
       "Logon failure: the specified account password has expired."},
      {"an expired account", kDomain, kUserPassword, [](LogonFailuresTest&) { Refuse(ERROR_ACCOUNT_EXPIRED); },
       "Logon failure: the user's account has expired."},
      {"another domain", "CORP", kUserPassword, [](LogonFailuresTest&) {}, "Logon failure: error code is 1355."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TearDown();
    SetUp();
    row.prepare(*this);
    xp::ui::Script script;
    Welcome(script);
    TokenLogOn(script);
    AddAccount(script, kUser, row.domain, row.password);
    script.ExpectBox(kCaption, row.text, MB_OK | MB_ICONWARNING).Answer(IDOK);
    script.Dialog(kMessage, "Login Failed").Click(IDOK);
    ShutDownFromLogon(script);
    ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
    xp::machine::ClearFaults();
    EXPECT_TRUE(InOrder(Ui(), {"dialog 101 control 1001 static \"Unable to login. The User Name and Domain "
                               "information entered may be incorrect. \""}));
    EXPECT_EQ(CountMatching(Journal(), "winlogon logon *"), 0u);
    EXPECT_EQ(TokenBytes(6, 0, 2), (std::vector<uint8_t>{0xFF, 0xFF})) << "a refused account is not kept";
  }
}

}  // namespace
}  // namespace tavik::logongate::testing
