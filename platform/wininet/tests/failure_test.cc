// Every way the exchange can fail, as the caller sees it: the step that fails (send or read) and the XP code it
// leaves, for names the machine cannot resolve, servers it cannot reach, certificates it does not accept, and each
// misbehaviour the web service can be told to show. Every such code has a text in the library's message table.
#include <fstream>

#include "web_fixture.h"
#include "wininet_private.h"
#include "xp/faults.h"

namespace xp::wininet::testing {
namespace {

using websvc::Mode;
using websvc::Page;

constexpr char kChallenge[] = "/tavik/cookieanswergen.asp?esnno=12345678";

void ExpectKnownText(DWORD code) {
  const char* text = MessageText(code);
  ASSERT_NE(text, nullptr) << code;
  EXPECT_TRUE(std::string(text).ends_with("\r\n")) << code;
}

// A failed send leaves the request unsent: the read the callers run next fails in its turn.
void ExpectSendFails(const Exchange& exchange, DWORD code) {
  EXPECT_FALSE(exchange.sent);
  EXPECT_EQ(exchange.send_error, code);
  EXPECT_TRUE(exchange.reads.empty());
  EXPECT_EQ(exchange.read_error, static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_STATE));
  ExpectKnownText(code);
}

using FailureTest = WebTest;

TEST_F(FailureTest, ServerMisbehaviourReachesTheCallerAsXpCodes) {
  const struct {
    Mode mode;
    bool secure;
    DWORD send_error;  // 0: the send succeeds
    DWORD read_error;  // after the send succeeded
  } rows[] = {
      {Mode::kStall, false, ERROR_INTERNET_TIMEOUT, 0},
      {Mode::kStall, true, ERROR_INTERNET_TIMEOUT, 0},
      {Mode::kClose, false, ERROR_HTTP_INVALID_SERVER_RESPONSE, 0},
      {Mode::kClose, true, ERROR_HTTP_INVALID_SERVER_RESPONSE, 0},
      {Mode::kShort, false, 0, ERROR_INTERNET_CONNECTION_ABORTED},
      {Mode::kShort, true, 0, ERROR_INTERNET_CONNECTION_ABORTED},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(static_cast<int>(row.mode)) + (row.secure ? " https" : " http"));
    server_->SetReply(Page::kChallenge, {row.mode, ""});
    const Exchange exchange = Get(websvc::kClientHost, kChallenge, row.secure);
    if (row.send_error != 0) {
      ExpectSendFails(exchange, row.send_error);
      continue;
    }
    EXPECT_TRUE(exchange.sent) << exchange.send_error;
    EXPECT_EQ(exchange.read_error, row.read_error);
    ExpectKnownText(row.read_error);
  }
}

TEST_F(FailureTest, OddBodiesArriveWholeAndUntouched) {
  server_->SetReply(Page::kChallenge, {Mode::kGarbage, ""});
  Exchange exchange = Get(websvc::kClientHost, kChallenge, false);
  EXPECT_EQ(exchange.reads, (std::vector<DWORD>{2048, 0}));
  EXPECT_NE(exchange.body.find('\0'), std::string::npos);

  // Megabytes are handed out pass by pass, the page's own answer at their end.
  server_->SetReply(Page::kChallenge, {Mode::kHuge, ""});
  exchange = Get(websvc::kClientHost, kChallenge, true, 65536);
  EXPECT_EQ(exchange.read_error, 0u);
  EXPECT_GT(exchange.body.size(), 4u << 20);
  EXPECT_EQ(exchange.body.find_first_not_of(' '), size_t{4} << 20);
  EXPECT_EQ(exchange.body.substr(4u << 20), "<html><body>Unknown ESN</body></html>");

  // A 500 page is a reply like any other.
  server_->SetReply(Page::kChallenge, {Mode::kFail, ""});
  exchange = Get(websvc::kClientHost, kChallenge, false);
  EXPECT_TRUE(exchange.sent);
  EXPECT_EQ(exchange.body, "Failed");
}

TEST_F(FailureTest, OnlyTheMachineHostsTableAndListenersLeadAnywhere) {
  const std::filesystem::path hosts = machine_.root() / "drives/C/WINDOWS/system32/drivers/etc/hosts";
  std::ofstream(hosts, std::ios::app) << "10.0.0.7\tfar.teradolm.test\r\n";
  const struct {
    std::string host;
    INTERNET_PORT port;
    DWORD send_error;
  } rows[] = {
      {"nowhere.teradolm.test", 80, ERROR_INTERNET_NAME_NOT_RESOLVED},  // not in the table: no DNS is asked
      {"far.teradolm.test", 80, ERROR_INTERNET_CANNOT_CONNECT},         // an address beyond loopback
      {websvc::kClientHost, 8080, ERROR_INTERNET_CANNOT_CONNECT},       // nothing listens on that port
      {"127.0.0.1", 8080, ERROR_INTERNET_CANNOT_CONNECT},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.host);
    ExpectSendFails(Get(row.host, kChallenge, false, 2048, row.port), row.send_error);
  }
  EXPECT_TRUE(server_->Requests().empty());

  // A server that refuses, then listens again on the same ports.
  server_->Refuse(true);
  ExpectSendFails(Get(websvc::kClientHost, kChallenge, false), ERROR_INTERNET_CANNOT_CONNECT);
  ExpectSendFails(Get(websvc::kClientHost, kChallenge, true), ERROR_INTERNET_CANNOT_CONNECT);
  server_->Refuse(false);
  EXPECT_TRUE(Get("127.0.0.1", kChallenge, false).sent);
  EXPECT_TRUE(Get(websvc::kRecoveryHost, kChallenge, true).sent);
}

TEST_F(FailureTest, InjectedFaultsFailTheNamedCall) {
  xp::machine::ArmFault({xp::machine::FaultAction::kFail, "HttpSendRequestA", 1, 1, ERROR_INTERNET_CANNOT_CONNECT, ""});
  ExpectSendFails(Get(websvc::kClientHost, kChallenge, false), ERROR_INTERNET_CANNOT_CONNECT);
  xp::machine::ArmFault({xp::machine::FaultAction::kFail, "InternetOpenA", 1, 1, ERROR_NOT_ENOUGH_MEMORY, ""});
  SetLastError(0xdeadbeef);
  EXPECT_EQ(InternetOpenA("vb wininet", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_TRUE(Get(websvc::kClientHost, kChallenge, false).sent);
}

struct CertificateCase {
  websvc::Certificate certificate;
  DWORD send_error;
};

class CertificateTest : public WebTest, public ::testing::WithParamInterface<CertificateCase> {
 protected:
  CertificateTest() : WebTest(websvc::Options{GetParam().certificate, false}) {}
};

// TLS is verified against the machine's trusted roots alone; plain HTTP to the same server still works.
TEST_P(CertificateTest, RefusesCertificatesTheMachineCannotTrust) {
  ExpectSendFails(Get(websvc::kClientHost, kChallenge, true), GetParam().send_error);
  EXPECT_TRUE(server_->Requests().empty());
  EXPECT_TRUE(Get(websvc::kClientHost, kChallenge, false).sent);
}

INSTANTIATE_TEST_SUITE_P(Kinds, CertificateTest,
                         ::testing::Values(CertificateCase{websvc::Certificate::kUntrusted, ERROR_INTERNET_INVALID_CA},
                                           CertificateCase{websvc::Certificate::kWrongName,
                                                           ERROR_INTERNET_SEC_CERT_CN_INVALID},
                                           CertificateCase{websvc::Certificate::kExpired,
                                                           ERROR_INTERNET_SEC_CERT_DATE_INVALID}));

TEST_F(FailureTest, TrustsNothingWithoutTheMachineRoots) {
  std::filesystem::remove(machine_.root() / "certificates/roots.pem");
  ExpectSendFails(Get(websvc::kClientHost, kChallenge, true), ERROR_INTERNET_INVALID_CA);
}

}  // namespace
}  // namespace xp::wininet::testing
