// A GET as the registration programs make it, seen from both ends: the request line, Host and agent the server got
// byte for byte over HTTP and HTTPS, the body read back in passes of at most 2048 bytes, and the response headers.
#include <cstring>

#include "web_fixture.h"

namespace xp::wininet::testing {
namespace {

using RequestTest = WebTest;
using websvc::Mode;
using websvc::Page;
using websvc::RequestRecord;

TEST_F(RequestTest, SendsTheTargetByteForByteOverHttpAndHttps) {
  const struct {
    bool secure;
    std::string object;
    std::string target;  // as the server received it
  } rows[] = {
      {false, "/tavik/cookieanswergen.asp?esnno=12345678", "/tavik/cookieanswergen.asp?esnno=12345678"},
      {true, "/tavik/cookieanswergen.asp?esnno=12345678", "/tavik/cookieanswergen.asp?esnno=12345678"},
      {false, "", "/"},
      {false, "/tavik/renew.asp?p=A1g12345678g5g5be8gB2", "/tavik/renew.asp?p=A1g12345678g5g5be8gB2"},
      // Nothing is encoded on the way: not a percent sign, not a byte of the ANSI code page.
      {true, "/a/b?x=1&y=A%20g&sid=S%2F1", "/a/b?x=1&y=A%20g&sid=S%2F1"},
      {false, "/caf\xE9?n=\xFF", "/caf\xE9?n=\xFF"},
  };
  std::vector<RequestRecord> expected;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.object);
    const Exchange exchange = Get(websvc::kClientHost, row.object, row.secure);
    EXPECT_TRUE(exchange.sent) << exchange.send_error;
    expected.push_back({row.secure ? "https" : "http", static_cast<uint16_t>(row.secure ? 443 : 80), "GET",
                        row.target, "HTTP/1.0", websvc::kClientHost, "vb wininet"});
  }
  EXPECT_EQ(server_->Requests(), expected);
}

TEST_F(RequestTest, ReadsTheBodyInPassesUntilOneGivesNothing) {
  const struct {
    size_t size;
    std::vector<DWORD> reads;
  } rows[] = {
      {5000, {2048, 2048, 904, 0}},
      {2048, {2048, 0}},
      {1, {1, 0}},
      {0, {0}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.size);
    std::string body(row.size, '\0');
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('A' + i % 26);
    server_->SetReply(Page::kRenew, {Mode::kBody, body});
    const Exchange exchange = Get(websvc::kClientHost, "/tavik/renew.asp?p=x", false);
    EXPECT_EQ(exchange.reads, row.reads);
    EXPECT_EQ(exchange.read_error, 0u);
    EXPECT_EQ(exchange.body, body);
  }
}

// What HttpQueryInfoA gives for the form's header labels, after a send that succeeded whatever the status.
TEST_F(RequestTest, AnswersHeaderQueriesForAnyStatus) {
  server_->SetReply(Page::kRenew, {Mode::kFail, ""});
  const HINTERNET session = InternetOpenA("vb wininet", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  const HINTERNET connection = InternetConnectA(session, websvc::kClientHost, 80, "", "", INTERNET_SERVICE_HTTP, 0, 0);
  const HINTERNET request =
      HttpOpenRequestA(connection, "GET", "/tavik/renew.asp", "HTTP/1.0", nullptr, nullptr, 0x80400000, 0);
  char text[1024];
  DWORD size = sizeof text;
  DWORD index = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE, text, &size, &index));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_STATE));
  ASSERT_TRUE(HttpSendRequestA(request, nullptr, 0, nullptr, 0));

  const struct {
    DWORD level;
    const char* text;  // nullptr: no such header
  } rows[] = {
      {HTTP_QUERY_STATUS_CODE, "500"},    {HTTP_QUERY_CONTENT_LENGTH, "6"},
      {HTTP_QUERY_CONTENT_TYPE, "text/html"}, {HTTP_QUERY_LAST_MODIFIED, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.level);
    size = sizeof text;
    index = 0;
    SetLastError(0xdeadbeef);
    const BOOL found = HttpQueryInfoA(request, row.level, text, &size, &index);
    if (row.text == nullptr) {
      EXPECT_FALSE(found);
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HTTP_HEADER_NOT_FOUND));
      continue;
    }
    ASSERT_TRUE(found);
    EXPECT_STREQ(text, row.text);
    EXPECT_EQ(size, std::strlen(row.text));
  }
  size = sizeof text;
  ASSERT_TRUE(HttpQueryInfoA(request, HTTP_QUERY_VERSION, text, &size, nullptr));
  EXPECT_TRUE(std::string(text).starts_with("HTTP/1.")) << text;

  DWORD status = 0;
  size = sizeof status;
  ASSERT_TRUE(HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr));
  EXPECT_EQ(status, 500u);
  // A buffer too small for "text/html" and its NUL asks for the size that fits.
  size = 9;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(HttpQueryInfoA(request, HTTP_QUERY_CONTENT_TYPE, text, &size, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(size, 10u);

  char body[16] = {};
  DWORD read = 0;
  ASSERT_TRUE(InternetReadFile(request, body, sizeof body, &read));
  EXPECT_EQ(std::string(body, read), "Failed");
  InternetCloseHandle(session);
}

TEST_F(RequestTest, GivesTheLibraryVersionAndNoExtendedResponse) {
  const HINTERNET session = InternetOpenA("vb wininet", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  INTERNET_VERSION_INFO version{};
  DWORD size = 4;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(InternetQueryOptionA(session, INTERNET_OPTION_VERSION, &version, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(size, 8u);
  ASSERT_TRUE(InternetQueryOptionA(session, INTERNET_OPTION_VERSION, &version, &size));
  EXPECT_EQ(version.dwMajorVersion, 1u);
  EXPECT_EQ(version.dwMinorVersion, 2u);

  // The form asks for the length first, then reads into a buffer one longer.
  DWORD error = 0xdeadbeef;
  DWORD length = 0xdeadbeef;
  ASSERT_TRUE(InternetGetLastResponseInfoA(&error, nullptr, &length));
  EXPECT_EQ(length, 0u);
  char text[1] = {'x'};
  length = 1;
  ASSERT_TRUE(InternetGetLastResponseInfoA(&error, text, &length));
  EXPECT_EQ(text[0], '\0');
  EXPECT_EQ(error, 0u);
  InternetCloseHandle(session);
}

}  // namespace
}  // namespace xp::wininet::testing
