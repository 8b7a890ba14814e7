// The web client form both programs contain, driven in this process as their flows drive it (txtURL, send, get,
// txtHTML) against the machine's web service: how the target splits into host and object and goes out, the SSL
// switch, and the exact texts of its failures.
#include <gtest/gtest.h>

#include "machine_setting.h"
#include "modules/frm_http_query.h"
#include "scratch_machine.h"
#include "xp/faults.h"
#include "xp/ui_script.h"
#include "xp/websvc.h"

namespace {

using xp::websvc::Mode;
using xp::websvc::Page;

constexpr char kTitle[] = "Selvanor";

class HttpQueryTest : public ::testing::Test {
 protected:
  HttpQueryTest() {
    App.Title = u"Selvanor";
    xp::test::SetMachineSetting(machine_.root(), "wininet.timeout_ms", "1500");
    server_ = std::make_unique<xp::websvc::Server>(xp::websvc::Options{.install_browser = false});
  }
  ~HttpQueryTest() override { UseSSL = false; }

  // One request as the flows make it: the body, or "" when it failed; `boxes` answers what the form shows.
  std::string Query(const std::string& target, const xp::ui::Script& boxes = xp::ui::Script()) {
    boxes.Install(machine_.root());
    const std::unique_ptr<frmHttpQuery> form = NewForm<frmHttpQuery>();
    frmHttpQuery& http = *form;
    Load(http);
    http.txtURL.SetText(TextOfAnsi(target));
    http.btSend_Click();
    http.btGet_Click();
    const std::string body = AnsiOf(http.txtHTML.Text());
    Unload(http);
    EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u) << "the boxes expected were shown";
    return body;
  }

  xp::test::ScratchMachine machine_;
  std::unique_ptr<xp::websvc::Server> server_;
};

// The host is the text before the first "/", the object the rest from that "/" on, sent as written; an empty
// object asks for the root document.
TEST_F(HttpQueryTest, TheTargetSplitsAtItsFirstSlashAndGoesOutAsWritten) {
  const struct {
    const char* target;
    const char* host;
    const char* object;
    const char* sent;
  } cases[] = {
      {"client.teradolm.test", "client.teradolm.test", "", "/"},
      {"client.teradolm.test/", "client.teradolm.test", "/", "/"},
      {"client.teradolm.test/tavik/renew.asp?p=1", "client.teradolm.test", "/tavik/renew.asp?p=1",
       "/tavik/renew.asp?p=1"},
      {"client.teradolm.test/a/b?x=1&y=%zz/c", "client.teradolm.test", "/a/b?x=1&y=%zz/c", "/a/b?x=1&y=%zz/c"},
  };
  for (const bool ssl : {false, true}) {
    UseSSL = ssl;
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.target) + (ssl ? " https" : " http"));
      const std::unique_ptr<frmHttpQuery> form = NewForm<frmHttpQuery>();
      frmHttpQuery& http = *form;
      http.txtURL.SetText(TextOfAnsi(c.target));
      EXPECT_EQ(AnsiOf(http.GetUrlHost()), c.host);
      EXPECT_EQ(AnsiOf(http.GetUrlObject()), c.object);
      Unload(http);
      Query(c.target);
      const xp::websvc::RequestRecord sent = server_->Requests().back();
      EXPECT_EQ(sent, (xp::websvc::RequestRecord{ssl ? "https" : "http", static_cast<uint16_t>(ssl ? 443 : 80), "GET",
                                                 c.sent, "HTTP/1.0", c.host, "vb wininet"}));
    }
  }
  const std::unique_ptr<frmHttpQuery> form = NewForm<frmHttpQuery>();
  frmHttpQuery& empty = *form;
  EXPECT_EQ(AnsiOf(empty.GetUrlHost()), "localhost") << "an empty target asks the machine itself";
  EXPECT_EQ(AnsiOf(empty.txtURL.Text()), "localhost");
}

TEST_F(HttpQueryTest, TheBodyComesWholeOrNotAtAll) {
  const std::string large = std::string(5000, 'x') + "<puzzle>end</puzzle>";
  const struct {
    Mode mode;
    std::string body;
    std::string read;
  } cases[] = {{Mode::kBody, large, large}, {Mode::kBody, "", ""}, {Mode::kFail, "", "Failed"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body.size());
    server_->SetReply(Page::kChallenge, {c.mode, c.body});
    EXPECT_EQ(Query("client.teradolm.test/tavik/cookieanswergen.asp?esnno=1"), c.read);
  }
}

// A failed send shows the library's own text for its code, the server's last response for the extended error, and
// "Unknown Error" below the library's codes; the read that follows on the unsent request fails in its turn.
TEST_F(HttpQueryTest, EachFailureShowsItsOwnTexts) {
  const std::string read_after =
      "InternetReadFile call failed; 12019\r\nError Text: Error: 12019(&H2EF3): <No such error>";
  const struct {
    DWORD code;
    bool ssl;
    std::string detail;
  } cases[] = {
      {ERROR_INTERNET_CANNOT_CONNECT, false,
       "WinInet Error -12029 - A connection with the server could not be established"},
      {ERROR_INTERNET_CANNOT_CONNECT, true,
       "WinInet Error -12029 - A connection with the server could not be established"},
      {ERROR_INTERNET_EXTENDED_ERROR, false, "WinInet Error -12003 - "},
      {ERROR_ACCESS_DENIED, false, "Unknown Error 5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.detail);
    UseSSL = c.ssl;
    xp::machine::ArmFault({xp::machine::FaultAction::kFail, "HttpSendRequestA", 1, 1, c.code, ""});
    xp::ui::Script boxes;
    boxes.ExpectBox(kTitle,
                    std::string("Failed requesting url: ") + (c.ssl ? "https" : "http") +
                        "://client.teradolm.test/tavik/x.asp. Please contact Teradolm Customer Support: " + c.detail,
                    MB_OK)
        .Answer(IDOK);
    boxes.ExpectBox(kTitle, read_after, MB_OK).Answer(IDOK);
    EXPECT_EQ(Query("client.teradolm.test/tavik/x.asp", boxes), "");
  }
  UseSSL = false;
  xp::machine::ArmFault({xp::machine::FaultAction::kFail, "InternetOpenA", 1, 1, ERROR_NOT_ENOUGH_MEMORY, ""});
  xp::ui::Script boxes;
  boxes.ExpectBox(kTitle, "InternetOpen call failed; Error code: 8.", MB_OK).Answer(IDOK);
  boxes.ExpectBox(kTitle, "InternetReadFile call failed; 6\r\nError Text: Error: 6(&H6): The handle is invalid.",
                  MB_OK)
      .Answer(IDOK);
  EXPECT_EQ(Query("client.teradolm.test/tavik/x.asp", boxes), "");
  EXPECT_EQ(AnsiOf(GetWinInetErrorText(1)), "") << "a code the library has no text for";
}

}  // namespace
