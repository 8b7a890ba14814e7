// browser.exe, the machine's web browser stood in for: the program the shell starts for ".htm" files and addresses.
// It journals each address it is given ("browser opens ADDRESS", one line per argument, so a test sees how the
// command line was split) and fetches each http:// or https:// address once through wininet, journaling the
// outcome. Exit code 0 when every address was fetched.
#include <strings.h>

#include <string>

#include "windows.h"
#include "wininet.h"
#include "xp/machine.h"

namespace {

struct Address {
  bool secure = false;
  std::string host;
  INTERNET_PORT port = 0;
  std::string target;
};

// "http[s]://host[:port][/target]"; a fragment never goes to the server.
std::optional<Address> Crack(const std::string& url) {
  Address address;
  size_t rest = 0;
  if (::strncasecmp(url.c_str(), "http://", 7) == 0) {
    rest = 7;
  } else if (::strncasecmp(url.c_str(), "https://", 8) == 0) {
    address.secure = true;
    rest = 8;
  } else {
    return std::nullopt;
  }
  const std::string without_fragment = url.substr(0, url.find('#'));
  const size_t slash = without_fragment.find('/', rest);
  std::string authority = without_fragment.substr(rest, slash == std::string::npos ? std::string::npos : slash - rest);
  address.target = slash == std::string::npos ? "/" : without_fragment.substr(slash);
  const size_t colon = authority.find(':');
  if (colon != std::string::npos) {
    const std::string port = authority.substr(colon + 1);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
        std::stoul(port) > 65535) {
      return std::nullopt;
    }
    address.port = static_cast<INTERNET_PORT>(std::stoul(port));
    authority.resize(colon);
  }
  if (authority.empty()) return std::nullopt;
  address.host = authority;
  return address;
}

// Fetches the page; the journal line says how that went.
bool Fetch(const std::string& url) {
  const std::optional<Address> address = Crack(url);
  if (!address) {
    xp::machine::Journal("browser cannot open " + url + ": not an http or https address");
    return false;
  }
  const HINTERNET session = InternetOpenA("browser", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  const HINTERNET connection = session == nullptr ? nullptr
                                                  : InternetConnectA(session, address->host.c_str(), address->port,
                                                                     nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  const DWORD flags = INTERNET_FLAG_RELOAD | (address->secure ? INTERNET_FLAG_SECURE : 0);
  const HINTERNET request = connection == nullptr
                                ? nullptr
                                : HttpOpenRequestA(connection, "GET", address->target.c_str(), "HTTP/1.1", nullptr,
                                                   nullptr, flags, 0);
  bool fetched = request != nullptr && HttpSendRequestA(request, nullptr, 0, nullptr, 0);
  DWORD status = 0;
  DWORD size = sizeof status;
  size_t length = 0;
  if (fetched) {
    HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
    char buffer[4096];
    DWORD read = 0;
    while ((fetched = InternetReadFile(request, buffer, sizeof buffer, &read)) && read > 0) length += read;
  }
  if (fetched) {
    xp::machine::Journal("browser got HTTP " + std::to_string(status) + " (" + std::to_string(length) + " bytes)");
  } else {
    xp::machine::Journal("browser cannot open " + url + ": error " + std::to_string(GetLastError()));
  }
  if (session != nullptr) InternetCloseHandle(session);
  return fetched;
}

}  // namespace

int main(int argc, char** argv) {
  bool all = true;
  for (int i = 1; i < argc; ++i) xp::machine::Journal(std::string("browser opens ") + argv[i]);
  for (int i = 1; i < argc; ++i) all = Fetch(argv[i]) && all;
  return all ? 0 : 1;
}
