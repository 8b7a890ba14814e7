// The escrow form, which no flow of the program opens, shown in this process against the machine's web service:
// the renew request byte for byte, the reply rule, the checks before anything is burned or sent, and no request
// after an encryption that does not come back.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <regex>

#include "frm_confirm.h"
#include "machine_setting.h"
#include "scratch_machine.h"
#include "tokenio.h"
#include "xp/ui_script.h"
#include "xp/usbtoken.h"
#include "xp/websvc.h"

namespace {

using xp::ui::Pattern;
using xp::websvc::Mode;
using xp::websvc::Page;

constexpr char kTitle[] = "Selvanor";
constexpr char kRenewChallengeText[] = "5be83c1a07d94f62a1c0e7b3958d24f6";
constexpr char kNotUpdated[] =
    "Password is assigned to your Tavik but not updated on the Server. Please try again using your new password.";

class EscrowTest : public ::testing::Test {
 protected:
  EscrowTest() {
    App.Title = u"Selvanor";
    xp::test::SetMachineSetting(machine_.root(), "wininet.timeout_ms", "1500");
    server_ = std::make_unique<xp::websvc::Server>();
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Teradolm\\Ferrowind\\3.0.0", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key, nullptr);
    for (const auto& [name, value] : {std::pair{"ServerPath", "client.teradolm.test/tavik/"}, {"testing", "0"}}) {
      RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                     static_cast<DWORD>(std::strlen(value) + 1));
    }
    RegCloseKey(key);
  }

  // Runs the form's assign with the two boxes typed, the script going on with `rest`.
  void Assign(const std::string& password, const std::string& again, xp::ui::Script& script) {
    script.Dialog("frmConfirm").Type("txtpwd", password).Type("txtpwd1", again).Click("cmdAssign");
  }
  void Play(const xp::ui::Script& script) {
    script.Install(machine_.root());
    NewForm<frmConfirm>()->Show(ShowMode::kModal);
    EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  }
  static void EndOnSuccess(xp::ui::Script& script) {
    script.ExpectBox("Register Your Password", Pattern::Wildcard("*requires and Internet connection.*"),
                     MB_YESNO | MB_ICONINFORMATION)
        .Answer(IDNO);
    script.ExpectBox("Register Your Password", Pattern::Wildcard("!!WARNING!!\r\nIF YOU CHOOSE TO NOT REGISTER*"),
                     MB_YESNO | MB_ICONEXCLAMATION)
        .Answer(IDNO);
    script.Dialog("frmBurnPwdSuccess").Click("Command1");
  }
  static void EndOnFailure(xp::ui::Script& script) { script.Dialog("frmPwdFailed").Click("Command1"); }
  std::string Esn() const { return xp::usbtoken::List(machine_.root()).front().esn; }
  std::string TokenPassword() const {
    const auto block = xp::usbtoken::Inspect(machine_.root(), machine_.token_id())->password_block;
    std::string password;
    for (size_t i = 1; i < block.size() && block[i] != 0xFF; ++i) password.push_back(static_cast<char>(block[i]));
    return password;
  }

  xp::test::ScratchMachine machine_;
  std::unique_ptr<xp::websvc::Server> server_;
};

TEST_F(EscrowTest, TheNewPasswordIsBurnedAndDepositedBoundToTheFixedChallenge) {
  xp::ui::Script script;
  Assign("abcdef", "abcdef", script);
  EndOnSuccess(script);
  Play(script);
  EXPECT_EQ(TokenPassword(), "abcdef");
  const std::vector<xp::websvc::RequestRecord> requests = server_->Requests();
  ASSERT_EQ(requests.size(), 1u);
  const std::regex target("/tavik/renew\\.asp\\?p=[0-9A-F]{108}g" + Esn() + "g5g" + kRenewChallengeText +
                          "g[0-9A-F]{44}");
  EXPECT_TRUE(std::regex_match(requests[0].target, target)) << requests[0].target;
  EXPECT_EQ(requests[0].scheme, "http") << "the password program never sets UseSSL";
  EXPECT_EQ(requests[0].port, 80);
  EXPECT_EQ(requests[0].version, "HTTP/1.0");
  ASSERT_EQ(server_->Renewals().size(), 1u);
  EXPECT_EQ(server_->Renewals()[0], (xp::websvc::Renewal{"renewed", Esn(), "abcdef"}));
}

// Only "Successful", as written, anywhere in the reply is a deposit; a reply that fails on the way (closed, stalled,
// cut short, too large) is none; the password stays burned whatever the reply.
TEST_F(EscrowTest, AReplyWithoutSuccessfulLeadsToTheFailureForm) {
  const std::string failed_url = "Error in opening url client.teradolm.test/tavik/renew.asp with result: ";
  const struct {
    Mode mode;
    const char* body;
    bool deposited;
    std::vector<std::string> boxes;  // wildcard texts before the two failure boxes
    const char* result;              // the reply as the failure box shows it (a wildcard)
  } cases[] = {
      {Mode::kBody, "<html>Update Successful today</html>", true, {}, nullptr},
      {Mode::kBody, "successful", false, {}, "successful"},
      {Mode::kBody, "Unsuccessful", false, {}, "Unsuccessful"},
      {Mode::kFail, "", false, {}, "Failed"},
      {Mode::kClose,
       "",
       false,
       {"Failed requesting url: http://client.teradolm.test/tavik/renew.asp?p=*", "InternetReadFile call failed; *"},
       ""},
      {Mode::kStall,
       "",
       false,
       {"Failed requesting url: http://client.teradolm.test/tavik/renew.asp?p=*WinInet Error -12002 - *",
        "InternetReadFile call failed; 12019*"},
       ""},
      {Mode::kShort, "", false, {"InternetReadFile call failed; 12030*"}, ""},
      {Mode::kHuge, "", false, {"InternetReadFile call failed; 122*"}, ""},
      {Mode::kGarbage, "", false, {}, "*"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.body) + " mode " + std::to_string(static_cast<int>(c.mode)));
    ASSERT_EQ(ResetPwd(""), 1);
    server_->SetReply(Page::kRenew, {c.mode, c.body});
    xp::ui::Script script;
    Assign("abcdef", "abcdef", script);
    for (const std::string& box : c.boxes) script.ExpectBox(kTitle, Pattern::Wildcard(box), MB_OK).Answer(IDOK);
    if (c.deposited) {
      EndOnSuccess(script);
    } else {
      script.ExpectBox(kTitle, Pattern::Wildcard(failed_url + c.result + ". Please try again."), MB_OK).Answer(IDOK);
      script.ExpectBox(kTitle, kNotUpdated, MB_OK).Answer(IDOK);
      EndOnFailure(script);
    }
    Play(script);
    EXPECT_EQ(TokenPassword(), "abcdef");
  }
}

TEST_F(EscrowTest, NothingIsBurnedOrSentBeforeTheInputPasses) {
  const struct {
    const char* password;
    const char* again;
    const char* message;
    UINT style;
  } cases[] = {
      {"abcdef", "abcdeg", "The passwords you typed do not match.  Type the new password in both text boxes.", MB_OK},
      {"abcde", "abcde", "The password you typed is less than 6 characters.  Type a password with at least 6 characters.",
       MB_OK | MB_ICONINFORMATION},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    xp::ui::Script script;
    Assign(c.password, c.again, script);
    script.ExpectBox(kTitle, c.message, c.style).Answer(IDOK);
    script.Dialog("frmConfirm").Click("cmdBack");
    Play(script);
  }
  ASSERT_EQ(BurnPwd("Secret12"), 1);
  xp::ui::Script script;
  Assign("abcdef", "abcdef", script);
  script.ExpectBox(kTitle, "The Nubo you are using already has a password.  The password cannot be overwritten.",
                   MB_OK | MB_ICONERROR)
      .Answer(IDOK);
  EndOnFailure(script);
  Play(script);
  EXPECT_EQ(TokenPassword(), "Secret12");
  EXPECT_TRUE(server_->Requests().empty());
}

// The token burns the password but gives no answer for the challenge: the encryption cannot come back, so no request
// goes out (the service would keep garbage in place of a good deposit), and the password stays on the token.
TEST_F(EscrowTest, AnEncryptionThatDoesNotComeBackSendsNothing) {
  ASSERT_TRUE(xp::usbtoken::AddRequestFault(machine_.root(), machine_.token_id(),
                                            xp::usbtoken::RequestFault::Register(0x50)));
  xp::ui::Script script;
  Assign("abcdef", "abcdef", script);
  script.ExpectBox(kTitle, std::string("Password Encryption Error. ") + kNotUpdated, MB_OK).Answer(IDOK);
  EndOnFailure(script);
  Play(script);
  EXPECT_TRUE(server_->Requests().empty());
  EXPECT_EQ(TokenPassword(), "abcdef");
}

TEST_F(EscrowTest, WithTheDebugSwitchOnTheAnswerTheRequestAndTheReplyAreWrittenDown) {
  HKEY key = nullptr;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Teradolm\\Ferrowind\\3.0.0", 0, KEY_ALL_ACCESS, &key);
  RegSetValueExA(key, "testing", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
  RegCloseKey(key);
  xp::ui::Script script;
  Assign("abcdef", "abcdef", script);
  EndOnSuccess(script);
  Play(script);
  machine_.WriteBack();
  std::ifstream in(machine_.root() / "drives/C/authenticate.txt", std::ios::binary);
  const std::string text(std::istreambuf_iterator<char>(in), {});
  const std::regex entries(
      "Answer=NuboDriver\\.SolvePuzzle\\(kid, puzzle, puzzle\\):[0-9A-F]{32}\r\n"
      "client\\.teradolm\\.test/tavik/renew\\.asp\\?p=[0-9A-Fa-fg]+\r\nSuccessful\r\nSuccessful\r\n");
  EXPECT_TRUE(std::regex_match(text, entries)) << text;
}

}  // namespace
