// The fixture of web_fixture.h.
#include "web_fixture.h"

#include "machine_setting.h"

namespace xp::wininet::testing {

WebTest::WebTest(const websvc::Options& options) {
  test::SetMachineSetting(machine_.root(), "wininet.timeout_ms", std::to_string(kTimeoutMs));
  server_ = std::make_unique<websvc::Server>(options);
}

Exchange WebTest::Get(const std::string& host, const std::string& object, bool secure, DWORD piece,
                      INTERNET_PORT port, const char* version) {
  Exchange exchange;
  const HINTERNET session = InternetOpenA("vb wininet", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  EXPECT_NE(session, nullptr);
  if (port == 0) port = secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
  const HINTERNET connection =
      InternetConnectA(session, host.c_str(), port, "", "", INTERNET_SERVICE_HTTP, 0, 0);
  EXPECT_NE(connection, nullptr);
  const DWORD flags = secure ? 0x80C00000 : 0x80400000;
  const HINTERNET request =
      HttpOpenRequestA(connection, "GET", object.c_str(), version, nullptr, nullptr, flags, 0);
  EXPECT_NE(request, nullptr);
  SetLastError(0xdeadbeef);
  exchange.sent = HttpSendRequestA(request, nullptr, 0, nullptr, 0);
  if (!exchange.sent) exchange.send_error = GetLastError();
  std::string buffer(piece, '\0');
  for (;;) {
    DWORD read = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    if (!InternetReadFile(request, buffer.data(), piece, &read)) {
      exchange.read_error = GetLastError();
      break;
    }
    exchange.reads.push_back(read);
    exchange.body.append(buffer.data(), read);
    if (read == 0) break;
  }
  EXPECT_TRUE(InternetCloseHandle(session));
  return exchange;
}

}  // namespace xp::wininet::testing
