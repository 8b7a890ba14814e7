// The registration's failure paths: each odd reply and each failure mode of the challenge page, an untrusted
// certificate, a token that gives no answer, a token library that cannot be bound, and a browser that cannot be
// found or started. In none of them does anything reach the browser the registration did not check.
#include <filesystem>
#include <fstream>

#include "registration_fixture.h"
#include "xp/faults.h"

namespace tokenreg::testing {
namespace {

using xp::ui::Pattern;
using xp::websvc::Mode;
using xp::websvc::Page;

using RegistrationFailureTest = RegistrationTest;

// The status line as the journal quotes it, from "Authenticating... " on.
std::string AfterAuthenticating(const std::string& status) {
  const size_t at = status.find("Authenticating... ");
  return at == std::string::npos ? status : status.substr(at + 18, status.size() - at - 19);
}

TEST_F(RegistrationFailureTest, OddRepliesOfTheChallengePage) {
  const struct {
    const char* body;
    bool registers;
    const char* shown;  // the status line after "Authenticating... ", when nothing registers
  } cases[] = {
      {"Not found", false, "Not found -- Could not reach server.  Please try again."},
      {"<puzzle>abc</puzzle>", false, "abc -- Invalid Session.  Please try again."},
      {"<puzzle>abc,1", false, "abc,1 -- Could not reach server.  Please try again."},
      {"<html><puzzle>{PUZ},{KID}</puzzle></html>", false, "* -- Invalid Session.  Please try again."},
      {"<puzzle>ZZ112233445566778899AABBCCDDEEFF,3,S1</puzzle>", false,
       "ZZ112233445566778899AABBCCDDEEFF,3,S1 -- Invalid Session.  Please try again."},
      {"<puzzle>{PUZ},{KID},bad\r\nsession</puzzle>", false, "* -- Invalid Session.  Please try again."},
      {"<puzzle>{PUZ},,{SID}</puzzle>", true, nullptr},
      {"<puzzle>{PUZ},16,{SID}</puzzle>", true, nullptr},
      {"<puzzle>{PUZ},x7,{SID}</puzzle>", true, nullptr},
      {"<puzzle>{PUZ},{KID},{SID},more,fields</puzzle>", true, nullptr},
      {"<puzzle>{PUZ},{KID},S 1&x=#2</puzzle>", true, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    server_->SetReply(Page::kChallenge, {Mode::kBody, c.body});
    const size_t registered = server_->Registrations().size();
    const size_t opened = BrowserAddresses().size();
    xp::ui::Script script;
    Register(script);
    if (!c.registers) script.Dialog("frmRegister").Click("cmdCancel");
    EXPECT_EQ(Run(script), 0);
    if (c.registers) {
      ASSERT_EQ(server_->Registrations().size(), registered + 1);
      EXPECT_EQ(server_->Registrations().back().verdict, "registered");
      EXPECT_EQ(BrowserAddresses().size(), opened + 1);
      EXPECT_EQ(BrowserAddresses().back().find_first_of(" \"#"), std::string::npos) << "one argument, one address";
    } else {
      EXPECT_TRUE(Pattern::Wildcard(c.shown).Matches(AfterAuthenticating(Status()))) << Status();
      EXPECT_EQ(BrowserAddresses().size(), opened);
    }
  }
  EXPECT_EQ(server_->Registrations().back().session, "S 1&x=#2") << "the session went percent-encoded, whole";
}

// Without the service's address or its transport the attempt stops after the setting reader's message: no
// request, no token call.
TEST_F(RegistrationFailureTest, AMissingSettingStopsTheAttemptAfterItsMessage) {
  for (const char* setting : {"ServerPath", "SSL"}) {
    SCOPED_TRACE(setting);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Teradolm\\Ferrowind\\3.0.0", 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(key, setting), ERROR_SUCCESS);
    RegCloseKey(key);
    xp::ui::Script script;
    Register(script);
    script.ExpectBox(kTitle, "2 - Cannot find key value - ", MB_OK).Answer(IDOK);
    script.Dialog("frmRegister").Click("cmdCancel");
    EXPECT_EQ(Run(script), 0);
    EXPECT_TRUE(server_->Requests().empty());
    EXPECT_EQ(TokenCounter(), 0);
    SetClientSetting(setting, std::string(setting) == "SSL" ? "0" : kServerPath);
  }
}

// The registration page is the browser's: however it fails, the program has handed the address over and ended.
TEST_F(RegistrationFailureTest, AFailingRegistrationPageIsLeftToTheBrowser) {
  for (const Mode mode : {Mode::kFail, Mode::kClose, Mode::kGarbage}) {
    SCOPED_TRACE(static_cast<int>(mode));
    server_->SetReply(Page::kRegistration, {mode, ""});
    const size_t opened = BrowserAddresses().size();
    xp::ui::Script script;
    Register(script);
    EXPECT_EQ(Run(script), 0);
    EXPECT_EQ(BrowserAddresses().size(), opened + 1);
    EXPECT_TRUE(server_->Requests().back().target.starts_with("/tavik/CCookieSet.asp?sessionid="));
    EXPECT_TRUE(server_->Registrations().empty());
  }
}

TEST_F(RegistrationFailureTest, TheHighSecurityRefusalIsShownAndTheFormStays) {
  server_->SetReply(Page::kChallenge,
                    {Mode::kBody, "<html>This page must be viewed with a high-security Web browser.</html>"});
  xp::ui::Script script;
  Register(script);
  script.ExpectBox(kTitle,
                   "The page must be viewed with a high-security Web Browser with 128-bit cipher strength. Please "
                   "download the latest service pack from Microsoft web site.",
                   MB_OK)
      .Answer(IDOK);
  script.Dialog("frmRegister").Click("cmdCancel");
  EXPECT_EQ(Run(script), 0);
  EXPECT_TRUE(BrowserAddresses().empty());
}

// Every way the page can fail ends on the status line's failure ending, after the web client's boxes.
TEST_F(RegistrationFailureTest, EachFailureModeOfTheChallengePageKeepsTheForm) {
  const std::string target = std::string(kServerPath) + "cookieanswergen.asp?esnno=" + Esn();
  const std::string failed_send = "Failed requesting url: http://" + target +
                                  ". Please contact Teradolm Customer Support: WinInet Error -";
  const struct {
    Mode mode;
    bool refuse;
    std::vector<std::string> boxes;  // wildcard texts, in order
    const char* shown;
  } cases[] = {
      {Mode::kFail, false, {}, "Failed -- Could not reach server.  Please try again."},
      {Mode::kGarbage, false, {}, "* -- Could not reach server.  Please try again."},
      {Mode::kShort, false, {"InternetReadFile call failed; 12030\r\nError Text: Error: 12030(&H2EFE): *"},
       " -- Could not reach server.  Please try again."},
      {Mode::kHuge, false, {"InternetReadFile call failed; 122\r\nError Text: Error: 122(&H7A): *"},
       " -- Could not reach server.  Please try again."},
      {Mode::kStall, false,
       {failed_send + "12002 - *", "InternetReadFile call failed; 12019\r\nError Text: Error: 12019(&H2EF3): *"},
       " -- Could not reach server.  Please try again."},
      {Mode::kClose, false,
       {failed_send + "12152 - *", "InternetReadFile call failed; 12019\r\nError Text: Error: 12019(&H2EF3): *"},
       " -- Could not reach server.  Please try again."},
      {Mode::kNormal, true,
       {failed_send + "12029 - *", "InternetReadFile call failed; 12019\r\nError Text: Error: 12019(&H2EF3): *"},
       " -- Could not reach server.  Please try again."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.boxes.empty() ? c.shown : c.boxes.front());
    server_->SetReply(Page::kChallenge, {c.mode, ""});
    server_->Refuse(c.refuse);
    xp::ui::Script script;
    Register(script);
    for (const std::string& box : c.boxes) script.ExpectBox(kTitle, Pattern::Wildcard(box), MB_OK).Answer(IDOK);
    script.Dialog("frmRegister").Click("cmdCancel");
    EXPECT_EQ(Run(script), 0);
    EXPECT_TRUE(Pattern::Wildcard(c.shown).Matches(AfterAuthenticating(Status()))) << Status();
    EXPECT_LE(AfterAuthenticating(Status()).size(), 200 + std::string(kNoServer).size() + 32)
        << "at most 200 characters of a reply are shown";
    EXPECT_TRUE(BrowserAddresses().empty());
  }
  server_->Refuse(false);
}

class UntrustedTest : public RegistrationTest {
 protected:
  UntrustedTest() : RegistrationTest({}, {.certificate = xp::websvc::Certificate::kUntrusted}) {}
};

TEST_F(UntrustedTest, AnUntrustedCertificateFailsTheHttpsRequest) {
  UseSsl(true);
  xp::ui::Script script;
  Register(script);
  script.ExpectBox(kTitle, Pattern::Wildcard("Failed requesting url: https://*WinInet Error -12045 - *"), MB_OK)
      .Answer(IDOK);
  script.ExpectBox(kTitle, Pattern::Wildcard("InternetReadFile call failed; 12019*"), MB_OK).Answer(IDOK);
  script.Dialog("frmRegister").Click("cmdCancel");
  EXPECT_EQ(Run(script), 0);
  EXPECT_EQ(AfterAuthenticating(Status()), kNoServer) << "nothing came: the ending follows the status line's blank";
  EXPECT_TRUE(BrowserAddresses().empty());
}

// The token gives no answer: its "Error" is no key, so nothing is encrypted, and the registration stops there.
TEST_F(RegistrationFailureTest, ATokenWithoutAnAnswerStopsAtThePasswordEncryption) {
  ASSERT_TRUE(xp::usbtoken::AddRequestFault(machine_.root(), machine_.token_id(),
                                            xp::usbtoken::RequestFault::Register(0x50)));
  xp::ui::Script script;
  Register(script);
  script.ExpectBox(kTitle, "Password Encryption Error.", MB_OK).Answer(IDOK);
  script.Dialog("frmRegister").Click("cmdCancel");
  EXPECT_EQ(Run(script), 0);
  EXPECT_TRUE(BrowserAddresses().empty());
  EXPECT_TRUE(server_->Registrations().empty());
}

TEST_F(RegistrationFailureTest, ATokenLibraryThatCannotBeBoundIsReportedNotACrash) {
  xp::machine::ArmFault({xp::machine::FaultAction::kFail, "LoadLibraryA", 1, 0, ERROR_MOD_NOT_FOUND, "tokenio"});
  const std::string missing =
      "The tokenio.dll file cannot be found.  Please install another Teradolm product first so that the necessary "
      "Nubo Driver will be present.";
  xp::ui::Script script;
  script.ExpectBox(kTitle, missing, MB_OK | MB_ICONERROR).Answer(IDOK);
  Register(script);
  script.ExpectBox(kTitle, missing, MB_OK | MB_ICONERROR).Answer(IDOK);
  script.Dialog("frmRegister").Click("cmdCancel");
  EXPECT_EQ(Run(script), 0);
  const std::vector<std::string> journal = Journal();
  EXPECT_NE(std::find(journal.begin(), journal.end(),
                      "dialog frmRegister control lblESN static \"(Tavik not inserted)\""),
            journal.end());
  EXPECT_NE(Status().find("Password Check Failed 1 time(s)."), std::string::npos);
}

TEST_F(RegistrationFailureTest, ABrowserThatCannotBeFoundOrStartedIsReportedAndItsFileGoes) {
  const std::filesystem::path documents =
      machine_.root() / "drives/C/Documents and Settings/Administrator/My Documents";
  std::filesystem::create_directories(documents);
  std::ofstream(documents / "temphtm.HTM") << "the user's own page";
  const struct {
    const char* text;
    const char* caption;
  } cases[] = {{"Web Page not Opened", "URL Failed"}, {"Could not find associated Browser", "Browser Not Found"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    if (std::string(c.caption) == "URL Failed") {
      std::filesystem::remove(machine_.root() / "drives/C/Program Files/Web Browser/browser.exe");
    } else {
      ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.htm"), ERROR_SUCCESS);
    }
    xp::ui::Script script;
    Register(script);
    script.ExpectBox(c.caption, c.text, MB_OK | MB_ICONEXCLAMATION).Answer(IDOK);
    EXPECT_EQ(Run(script), 0);
    machine_.WriteBack();  // the disk itself, not only the machine's kernel cache
    std::vector<std::string> pages;
    for (const auto& entry : std::filesystem::directory_iterator(documents)) {
      pages.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(pages, std::vector<std::string>{"temphtm.HTM"}) << "only the user's own file is left";
  }
  std::ifstream page(documents / "temphtm.HTM");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(page), {}), "the user's own page");
}

}  // namespace
}  // namespace tokenreg::testing
