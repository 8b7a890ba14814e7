// The maker's web service, stood in for: a real HTTP and HTTPS server on 127.0.0.1 that the machine reaches as its
// ports 80 and 443 under the service's host names. It hands out registration challenges the machine's emulated
// token can answer, checks and records registrations and password renewals, logs every request, and can be told
// to misbehave page by page. Tests run it in-process (Server); people run it for a machine with
// `xpmachine web start|stop DIR` (StartService, StopService). Included as "xp/websvc.h".
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "xp/web_service.h"

namespace xp::websvc {

// The service's host names (xp/web_service.h), each of which the hosts table maps to 127.0.0.1.
std::vector<std::string> HostNames();

// The challenge the password program binds a renewed password to (its fixed key index is 5).
inline constexpr char kRenewChallenge[] = "5be83c1a07d94f62a1c0e7b3958d24f6";

// The pages, matched by the last part of the request path ignoring case, in any folder (as the service's own
// server does); any other path is 404 "Not Found".
enum class Page {
  kChallenge,     // "cookieanswergen.asp?esnno=ESN": "<puzzle>PUZ,KID,SID</puzzle>"
  kRegistration,  // "CCookieSet.asp?sessionid=&answer=&esnno=&p0=&p1=&p2=": checked, recorded
  kRenew,         // "renew.asp?p=B g ESN g 5 g CHALLENGE g E": checked, recorded, "Successful"
};
const char* PageName(Page page);

enum class Mode {
  kNormal,   // the page's own answer
  kFail,     // status 500, body "Failed"
  kStall,    // reads the request and never answers, until the server stops
  kGarbage,  // status 200, 2 KiB of bytes that are no text (NULs, control and high bytes)
  kShort,    // status 200 whose body stops halfway through its Content-Length: the connection closes
  kHuge,     // status 200, 4 MiB of blanks and then the page's own answer
  kClose,    // closes the connection without a byte of answer
  kBody,     // status 200 with `body` (the odd replies); in a challenge body "{PUZ}", "{KID}" and "{SID}" become
             // a fresh challenge's fields, and the session is what the body, read as the client reads it, offers
};
struct Reply {
  Mode mode = Mode::kNormal;
  std::string body;
};

// The HTTPS certificate the server shows for the service's names.
enum class Certificate {
  kTrusted,    // issued by the machine's web root, which the machine trusts
  kUntrusted,  // issued by a root the machine does not trust
  kWrongName,  // trusted, but for another name only
  kExpired,    // trusted, but out of date
};

struct Options {
  Certificate certificate = Certificate::kTrusted;
  // Puts the browser stand-in on the machine and associates ".htm" and ".html" with it (see InstallBrowser).
  bool install_browser = true;
};

// One request as it reached the server; DIR/web/requests.log holds one tab-separated line per request.
struct RequestRecord {
  std::string scheme;  // "http" or "https"
  uint16_t port = 0;   // the machine port: 80 or 443
  std::string method;
  std::string target;   // the request target byte for byte
  std::string version;  // "HTTP/1.0"
  std::string host;     // the Host header
  std::string agent;    // the User-Agent header
  bool operator==(const RequestRecord&) const = default;
};

// A registration as CCookieSet.asp checked it (DIR/web/registrations.log).
struct Registration {
  std::string verdict;  // "registered", or why not: "unknown session", "wrong ESN", "unknown token",
                        // "answer does not match", "bad cipher text"
  std::string esn;
  std::string session;
  std::string p0, p1;
  std::string password;  // decrypted, when the answer matched
  bool operator==(const Registration&) const = default;
};

// A renewal as renew.asp checked it (DIR/web/renewals.log).
struct Renewal {
  std::string verdict;  // "renewed", or why not: "malformed", "wrong key index", "wrong challenge",
                        // "unknown token", "bad cipher text", "bound password does not match"
  std::string esn;
  std::string password;
  bool operator==(const Renewal&) const = default;
};

std::vector<RequestRecord> ReadRequests(const std::filesystem::path& machine);
std::vector<Registration> ReadRegistrations(const std::filesystem::path& machine);
std::vector<Renewal> ReadRenewals(const std::filesystem::path& machine);

// The server for the machine XPMACHINE names. Starting it: HTTP and HTTPS on ephemeral ports of 127.0.0.1, recorded
// as the machine's listeners for 127.0.0.1:80 and :443; the service's names added to the hosts table; the machine's
// web root (DIR/web/ca.pem, made once) added to its trusted roots. Destroying it stops it and removes its listeners.
class Server {
 public:
  // Throws std::runtime_error when it cannot start.
  explicit Server(const Options& options = Options{});
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  uint16_t http_port() const;
  uint16_t https_port() const;

  // How a page answers from now on, over both HTTP and HTTPS.
  void SetReply(Page page, Reply reply);
  // While refusing, nothing listens on either port: every connection is refused.
  void Refuse(bool refuse);

  std::vector<RequestRecord> Requests() const;
  std::vector<Registration> Registrations() const;
  std::vector<Renewal> Renewals() const;

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Copies the browser stand-in (`built`, the xp_browser program) to "C:\Program Files\Web Browser\browser.exe" and
// associates ".htm" and ".html" with it in HKLM\SOFTWARE\Classes, for the machine XPMACHINE names. Throws
// std::runtime_error when it cannot.
void InstallBrowser(const std::filesystem::path& built);
inline constexpr char kBrowserPath[] = "C:\\Program Files\\Web Browser\\browser.exe";

// `xpmachine web start|stop DIR`: runs the server for the machine in its own detached process (`program`, the
// xp_websvc program), output in DIR/web/server.log, its pid and ports in DIR/web/server; and ends that process
// again. False with *error when it already runs, does not come up, or (stop) does not run.
bool StartService(const std::filesystem::path& program, const std::filesystem::path& machine, std::string* error);
bool StopService(const std::filesystem::path& machine, std::string* error);

// What DIR/web/server records of a running service.
struct ServiceRecord {
  int pid = 0;
  uint16_t http_port = 0;
  uint16_t https_port = 0;
};
std::optional<ServiceRecord> ReadServiceRecord(const std::filesystem::path& machine);

}  // namespace xp::websvc
