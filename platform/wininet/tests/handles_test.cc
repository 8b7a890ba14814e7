// The handle rules callers rely on: bad or wrong-kind handles fail with the XP codes, never crash (the forms read
// even after a failed send); closing a session closes what was made from it; and a target that would break the
// request line is refused before anything is sent.
#include "web_fixture.h"

namespace xp::wininet::testing {
namespace {

using HandlesTest = WebTest;

#define EXPECT_FAILS_WITH(call, code)                     \
  do {                                                    \
    SetLastError(0xdeadbeef);                             \
    EXPECT_FALSE(call);                                   \
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(code)); \
  } while (false)

TEST_F(HandlesTest, BadHandlesFailWithXpCodes) {
  const HINTERNET session = InternetOpenA("vb wininet", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  const HINTERNET connection = InternetConnectA(session, websvc::kClientHost, 80, "", "", INTERNET_SERVICE_HTTP, 0, 0);
  const HINTERNET request = HttpOpenRequestA(connection, "GET", "/", "HTTP/1.0", nullptr, nullptr, 0x80400000, 0);
  ASSERT_NE(request, nullptr);
  char buffer[16];
  DWORD read = 0;

  EXPECT_FAILS_WITH(InternetReadFile(nullptr, buffer, sizeof buffer, &read), ERROR_INVALID_HANDLE);
  EXPECT_FAILS_WITH(HttpSendRequestA(nullptr, nullptr, 0, nullptr, 0), ERROR_INVALID_HANDLE);
  EXPECT_FAILS_WITH(InternetConnectA(nullptr, "h", 80, "", "", INTERNET_SERVICE_HTTP, 0, 0), ERROR_INVALID_HANDLE);
  EXPECT_FAILS_WITH(InternetConnectA(connection, "h", 80, "", "", INTERNET_SERVICE_HTTP, 0, 0),
                    ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  EXPECT_FAILS_WITH(HttpOpenRequestA(session, "GET", "/", nullptr, nullptr, nullptr, 0, 0),
                    ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  EXPECT_FAILS_WITH(InternetReadFile(connection, buffer, sizeof buffer, &read), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  EXPECT_FAILS_WITH(InternetReadFile(request, buffer, sizeof buffer, &read), ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  EXPECT_FAILS_WITH(InternetConnectA(session, "", 80, "", "", INTERNET_SERVICE_HTTP, 0, 0), ERROR_INVALID_PARAMETER);
  // A line break in the target would smuggle headers into the request.
  EXPECT_FAILS_WITH(HttpOpenRequestA(connection, "GET", "/a\r\nX-Evil: 1", "HTTP/1.0", nullptr, nullptr, 0, 0),
                    ERROR_INTERNET_INVALID_URL);

  ASSERT_TRUE(HttpSendRequestA(request, nullptr, 0, nullptr, 0));
  ASSERT_TRUE(InternetCloseHandle(session));
  EXPECT_FAILS_WITH(InternetReadFile(request, buffer, sizeof buffer, &read), ERROR_INVALID_HANDLE);
  EXPECT_FAILS_WITH(InternetCloseHandle(connection), ERROR_INVALID_HANDLE);
  EXPECT_FAILS_WITH(InternetCloseHandle(session), ERROR_INVALID_HANDLE);
  EXPECT_EQ(server_->Requests().size(), 1u);
}

// A second send on one request runs the exchange again; each form load gets handles of its own.
TEST_F(HandlesTest, ASecondSendAsksAgain) {
  const HINTERNET session = InternetOpenA("vb wininet", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  const HINTERNET other = InternetOpenA("vb wininet", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  EXPECT_NE(session, other);
  const HINTERNET connection = InternetConnectA(session, websvc::kClientHost, 80, "", "", INTERNET_SERVICE_HTTP, 0, 0);
  const HINTERNET request =
      HttpOpenRequestA(connection, "GET", "/tavik/renew.asp?p=1", "HTTP/1.0", nullptr, nullptr, 0x80400000, 0);
  ASSERT_TRUE(HttpSendRequestA(request, nullptr, 0, nullptr, 0));
  ASSERT_TRUE(HttpSendRequestA(request, nullptr, 0, nullptr, 0));
  char buffer[64];
  DWORD read = 0;
  ASSERT_TRUE(InternetReadFile(request, buffer, sizeof buffer, &read));
  EXPECT_EQ(std::string(buffer, read), "Failed");
  EXPECT_EQ(server_->Requests().size(), 2u);
  InternetCloseHandle(session);
  InternetCloseHandle(other);
}

}  // namespace
}  // namespace xp::wininet::testing
