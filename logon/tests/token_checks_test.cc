// The checks of Log On before the disk key is touched: the token must be there and be the one bound at install (by
// the one ESN rule, against the whole registry value), the password must have 6 to 63 characters before the token
// is asked, and the token's own counting of wrong passwords decides the answer. Each refusal ends in the welcome
// notice again, except those that keep the logon dialog open.
#include <functional>

#include "logon_fixture.h"
#include "xp/usbtoken.h"

namespace tavik::logongate::testing {
namespace {

using xp::winlogon::Outcome;

using TokenChecksTest = LogonTest;

constexpr char kNotDetected[] =
    "Tavik has not been detected.\r\nPlease make sure your Tavik properly inserted.\r\nIf your Tavik is already "
    "inserted, please unplug it,\r\nreinsert it and try log on again.";
constexpr char kLength[] = "Tavik Password must be between 6 and 63 characters in length.";
constexpr char kInvalid[] = "You have entered an invalid password for the Tavik. Tavik password is case-sensitive.";

TEST_F(TokenChecksTest, EachRefusalIsToldAndLeavesTheDiskLocked) {
  const struct {
    const char* what;
    std::function<void(TokenChecksTest&)> prepare;
    const char* password;
    std::function<std::string(const TokenChecksTest&)> box;  // a box's text, or "" for the message dialog
    const char* message;                                      // the message dialog's text
    uint16_t counter;                                          // the token's failed attempts afterwards
  } rows[] = {
      {"no token", [](TokenChecksTest& t) { xp::usbtoken::Unplug(t.root(), t.token_); }, kTokenPassword,
       [](const TokenChecksTest&) { return std::string(kNotDetected); }, nullptr, 0},
      {"another token", [](TokenChecksTest& t) { t.SwapInOtherToken(7, kTokenPassword); }, kTokenPassword,
       [](const TokenChecksTest& t) { return "Wrong Tavik. Please insert Tavik with this ESN#: " + t.esn_ + "."; },
       nullptr, 0},
      {"a bound ESN with more than the token's 8 characters",
       [](TokenChecksTest& t) { t.SetMachineString("SOFTWARE\\Quillmarsh\\morvelFlag", "ESN", t.esn_ + "9"); },
       kTokenPassword,
       [](const TokenChecksTest& t) {
         return "Wrong Tavik. Please insert Tavik with this ESN#: " + t.esn_ + "9.";
       },
       nullptr, 0},
      {"five characters, never shown to the token", [](TokenChecksTest&) {}, "secr1", nullptr, kLength, 0},
      {"a wrong password", [](TokenChecksTest&) {}, "Secret12", nullptr, kInvalid, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TearDown();
    SetUp();
    row.prepare(*this);
    xp::ui::Script script;
    Welcome(script);
    TokenLogOn(script, row.password);
    if (row.box) {
      script.ExpectBox(kCaption, row.box(*this), MB_OK | MB_ICONERROR).Answer(IDOK);
    } else {
      script.Dialog(kMessage, "Login Failed").Click(IDOK);
    }
    ShutDownFromLogon(script);
    ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
    if (row.message != nullptr) {
      EXPECT_TRUE(InOrder(Ui(), {"dialog 101 control 1001 static " + xp::ui::Quote(row.message, true)}));
    }
    EXPECT_FALSE(KeyHeld());
    EXPECT_EQ(ReadThroughMachine(kDocument), std::nullopt) << "a protected file stays shut";
    EXPECT_EQ(xp::usbtoken::Inspect(root(), xp::usbtoken::List(root()).back().id)->counter, row.counter);
  }
}

// Past three wrong passwords the token says so, and the dialog stays for the right one, which still logs on.
TEST_F(TokenChecksTest, TooManyWrongPasswordsKeepTheDialogOpenForTheRightOne) {
  ASSERT_TRUE(xp::usbtoken::SetCounter(root(), token_, 3));
  xp::ui::Script script;
  Welcome(script);
  TokenLogOn(script, "Secret12");
  script.Dialog(kMessage, "Login Failed").Click(IDOK);
  TokenLogOn(script);
  AddAccount(script, kUser, kDomain, kUserPassword);
  ShutDownFromDesktop(script);
  ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
  EXPECT_TRUE(InOrder(Ui(), {"dialog 101 control 1001 static \"You have exceeded maximum password attempts for the "
                             "Tavik. Please Re-instert the Tavik to try again.\"",
                             "dialog 101 end 1", "dialog 300 control 1000 edit \"\" password limit=63",
                             "dialog 300: type 1000 \"********\"", "dialog 104 * open"}));
  EXPECT_TRUE(KeyHeld());
}

}  // namespace
}  // namespace tavik::logongate::testing
