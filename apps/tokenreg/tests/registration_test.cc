// The registration program against the machine's web service: the whole exchange over HTTP and HTTPS (request
// line, browser address, what the service recorded), the password gate and its three tries, and the ESN read again.
#include <filesystem>
#include <fstream>
#include <regex>

#include "registration_fixture.h"
#include "tokenio.h"
#include "xp/machine.h"

namespace tokenreg::testing {
namespace {

TEST_F(RegistrationTest, RegistersTheTokenAndItsPasswordOverHttpAndHttps) {
  const std::filesystem::path documents =
      machine_.root() / "drives/C/Documents and Settings/Administrator/My Documents";
  for (const bool ssl : {false, true}) {
    SCOPED_TRACE(ssl ? "https" : "http");
    UseSsl(ssl);
    const size_t requests_before = server_->Requests().size();
    xp::ui::Script script;
    Register(script);
    EXPECT_EQ(Run(script), 0);

    const std::vector<xp::websvc::RequestRecord> requests = server_->Requests();
    ASSERT_EQ(requests.size(), requests_before + 2) << "the challenge, then the browser's registration page";
    const std::string scheme = ssl ? "https" : "http";
    EXPECT_EQ(requests[requests_before],
              (xp::websvc::RequestRecord{scheme, static_cast<uint16_t>(ssl ? 443 : 80), "GET",
                                         "/tavik/cookieanswergen.asp?esnno=" + Esn(), "HTTP/1.0",
                                         "client.teradolm.test", "vb wininet"}));
    EXPECT_TRUE(requests.back().target.starts_with("/tavik/CCookieSet.asp?sessionid="));
    EXPECT_EQ(requests.back().scheme, scheme);

    ASSERT_FALSE(BrowserAddresses().empty());
    const std::regex address(scheme + R"(://client\.teradolm\.test/tavik/CCookieSet\.asp\?sessionid=[A-Z0-9]+)"
                                      R"(&answer=[0-9A-F]{96}&esnno=)" +
                             Esn() + R"(&p0=1&p1=1&p2=[0-9A-F]{46})");
    EXPECT_TRUE(std::regex_match(BrowserAddresses().back(), address)) << BrowserAddresses().back();
    const xp::websvc::Registration registration = server_->Registrations().back();
    EXPECT_EQ(registration.verdict, "registered");
    EXPECT_EQ(registration.esn, Esn());
    EXPECT_EQ(registration.password, kPassword);
    EXPECT_EQ(registration.p0, "1");
    EXPECT_EQ(registration.p1, "1");

    EXPECT_EQ(Status(), "\"Checking Password...\\r\\nAuthenticating... \"");
    EXPECT_EQ(TokenCounter(), 0);
    machine_.WriteBack();  // the disk itself, not only the machine's kernel cache
    for (const auto& entry : std::filesystem::directory_iterator(documents)) {
      EXPECT_NE(entry.path().extension(), ".HTM") << "the browser's file is gone: " << entry.path();
    }
    EXPECT_FALSE(std::filesystem::exists(machine_.root() / "drives/C/authenticate.txt"));
  }
}

TEST_F(RegistrationTest, ThePasswordIsCheckedByItsAnsiBytesBeforeTheTokenIsAsked) {
  for (const std::string& password : {std::string("abcde"), std::string(64, 'x')}) {
    SCOPED_TRACE(password.size());
    xp::ui::Script script;
    Register(script, password);
    script.ExpectBox(kTitle, "Invalid Password.", MB_OK).Answer(IDOK);
    script.Dialog("frmRegister").Click("cmdCancel");
    EXPECT_EQ(Run(script), 0);
    EXPECT_EQ(TokenCounter(), 0);
  }
  EXPECT_TRUE(server_->Requests().empty());
}

TEST_F(RegistrationTest, ThreeWrongPasswordsEndTheProgram) {
  xp::ui::Script script;
  for (int attempt = 0; attempt < 3; ++attempt) Register(script, "wrong12");
  script.ExpectBox(kTitle, "Password failed more than 3 times. Authentication failed", MB_OK).Answer(IDOK);
  EXPECT_EQ(Run(script), 0);
  const std::vector<std::string> journal = Journal();
  for (const char* count : {"1", "2", "3"}) {
    const std::string line = std::string("dialog frmRegister control lblStatus static \"Checking Password...\\r\\n") +
                             "Password Check Failed " + count + " time(s).\\r\\n\"";
    EXPECT_NE(std::find(journal.begin(), journal.end(), line), journal.end()) << line;
  }
  EXPECT_EQ(journal.back(), "dialog frmRegister unload");
  EXPECT_EQ(TokenCounter(), 3);
  EXPECT_TRUE(server_->Requests().empty());
}

TEST_F(RegistrationTest, TheEsnLineFollowsTheTokenInAndOut) {
  ASSERT_TRUE(xp::usbtoken::Unplug(machine_.root(), machine_.token_id()));
  xp::ui::Script script;
  script.PlugToken();
  script.Dialog("frmRegister").Click("cmdCancel");
  EXPECT_EQ(Run(script), 0);
  const std::vector<std::string> journal = Journal();
  const std::string not_inserted = "dialog frmRegister control lblESN static \"(Tavik not inserted)\"";
  const std::string inserted = "dialog frmRegister control lblESN static \"" + Esn() + "\"";
  const auto shown = std::find(journal.begin(), journal.end(), not_inserted);
  ASSERT_NE(shown, journal.end());
  EXPECT_NE(std::find(shown, journal.end(), inserted), journal.end()) << "read again when the token came";
}

// No ESN when the form came up (the read failed): it is read again, a 4-second pause before each read, and the
// registration goes on as soon as one read gives the 8 digits; ten failed reads say so and keep the form.
TEST_F(RegistrationTest, AMissingEsnIsReadAgainBeforeTheChallenge) {
  xp::usbtoken::RequestFault first_read = xp::usbtoken::RequestFault::Register(0x3C);
  first_read.times = 1;
  ASSERT_TRUE(xp::usbtoken::AddRequestFault(machine_.root(), machine_.token_id(), first_read));
  xp::ui::Script script;
  Register(script);
  const uint64_t before = xp::machine::NowMs();
  EXPECT_EQ(Run(script), 0);
  EXPECT_GE(xp::machine::NowMs() - before, 2000u + 4000u + 2000u + 4000u) << "load, check, one retry";
  EXPECT_EQ(server_->Registrations().back().verdict, "registered");

  ASSERT_TRUE(xp::usbtoken::AddRequestFault(machine_.root(), machine_.token_id(),
                                            xp::usbtoken::RequestFault::Register(0x3C)));
  xp::ui::Script failing;
  Register(failing);
  failing.ExpectBox(kTitle, "GetESN error:. Please wait for 2 seconds and try again.", MB_OK).Answer(IDOK);
  failing.Dialog("frmRegister").Click("cmdCancel");
  EXPECT_EQ(Run(failing), 0);
  EXPECT_EQ(server_->Registrations().size(), 1u);
}

TEST_F(RegistrationTest, WithTheDebugSwitchOnEveryStepIsWrittenDown) {
  SetClientSetting("testing", "1");
  xp::ui::Script script;
  Register(script);
  EXPECT_EQ(Run(script), 0);
  machine_.WriteBack();
  std::ifstream in(machine_.root() / "drives/C/authenticate.txt", std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    EXPECT_TRUE(line.ends_with("\r")) << "CR LF line ends";
    lines.push_back(line.substr(0, line.size() - 1));
  }
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], std::string(kServerPath) + "cookieanswergen.asp?esnno=" + Esn());
  EXPECT_NE(lines[1].find("<puzzle>"), std::string::npos);
  EXPECT_TRUE(lines[2].starts_with("puzzle:"));
  EXPECT_TRUE(lines[3].starts_with("kid:"));
  EXPECT_TRUE(lines[4].starts_with("sid:"));
  EXPECT_TRUE(lines[5].starts_with("Answer=NuboDriver.SolvePuzzle(kid, puzzle, puzzle):"));
  EXPECT_TRUE(lines[6].starts_with("ClientAnswer = aesAPI.EncKeyHex(puzzle, Answer):"));
  EXPECT_EQ(lines[7], BrowserAddresses().back());
}

class ChineseRegistrationTest : public RegistrationTest {
 protected:
  ChineseRegistrationTest() : RegistrationTest(Chinese()) {}
  static xp::machine::MachineOptions Chinese() {
    xp::machine::MachineOptions options;
    options.locale = "0804";
    options.ansi_code_page = 936;
    return options;
  }
};

// A password of three Chinese characters is six ANSI bytes: it passes, and the service gets those bytes.
TEST_F(ChineseRegistrationTest, APasswordOfDoubleByteCharactersCountsItsBytes) {
  const std::string password = "\xD6\xD0\xCE\xC4\xD6\xD0";
  ASSERT_EQ(ResetPwd(""), 1);
  ASSERT_EQ(BurnPwd(password.c_str()), 1);
  xp::ui::Script script;
  Register(script, password);
  EXPECT_EQ(Run(script), 0);
  EXPECT_EQ(server_->Registrations().back().verdict, "registered");
  EXPECT_EQ(server_->Registrations().back().password, password);
}

}  // namespace
}  // namespace tokenreg::testing
