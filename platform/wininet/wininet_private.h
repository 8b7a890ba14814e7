// Declarations shared inside wininet, grouped by the file that defines them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "windows.h"
#include "wininet.h"

namespace xp::wininet {

// response.cc: the headers of one response, as the server sent them.
struct Response {
  std::string status_line;  // "HTTP/1.0 200 OK", without its line end
  std::vector<std::pair<std::string, std::string>> fields;

  // "HTTP/1.0", 200, "OK" out of the status line; empty, 0, empty when it has none of them.
  std::string Version() const;
  unsigned Status() const;
  std::string StatusText() const;
  // The first field of that name (ASCII case ignored).
  const std::string* Field(const std::string& name) const;
  // The status line and every field, each ending in CR LF, and one CR LF more.
  std::string Raw() const;
};

// transfer.cc: one HTTP exchange over libcurl, driven by the caller's thread: Start returns once the response
// headers are in, Read hands out the body as it arrives. Failures are 12xxx codes (0: none).
struct Target {
  bool secure = false;
  std::string server;  // as InternetConnectA got it, for the Host header and the certificate check
  INTERNET_PORT port = 0;
  std::string object;   // the request target, sent byte for byte
  std::string version;  // "HTTP/1.0" or "HTTP/1.1"
  std::string agent;
  bool reload = false;
};

class Transfer {
 public:
  explicit Transfer(Target target);
  ~Transfer();
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  DWORD Start();
  // Fills up to `size` bytes; *read 0 at the end of the body. A failure after some bytes came is reported by the
  // next call, once those bytes have been handed out.
  DWORD Read(char* buffer, DWORD size, DWORD* read);
  const Response& response() const { return response_; }

  struct Curl;  // the libcurl handles and callbacks, in transfer.cc

 private:
  void Pump();  // one round of the transfer: receives what came, or finishes it
  void Finish(DWORD code);

  Target target_;
  std::unique_ptr<Curl> curl_;
  Response response_;
  std::string pending_;  // body bytes received and not yet read
  bool headers_done_ = false;
  bool finished_ = false;
  DWORD failure_ = 0;  // what ended the transfer, reported once pending_ is read
  uint64_t last_activity_ms_ = 0;
  uint64_t timeout_ms_ = 0;
};

// route.cc: where the machine's network takes a connection to server:port: "server:port:127.0.0.1:host_port" for
// libcurl's connect-to, or the 12xxx code of why it goes nowhere.
DWORD Route(const std::string& server, INTERNET_PORT port, std::string* connect_to);
// The machine's time-out for connecting and for each wait on the server, in ms (machine.ini "wininet.timeout_ms").
uint64_t TimeoutMs();

// curl_errors.cc: the 12xxx code of a failed libcurl transfer.
DWORD CodeOfCurlResult(int curl_code, long verify_result, long os_errno);

// handles.cc: the HINTERNET table. Each handle names an object of one kind, made from its parent's handle.
enum class Kind { kSession, kConnection, kRequest };

struct Object {
  Kind kind;
  HINTERNET parent = nullptr;
  // kSession
  std::string agent;
  // kConnection
  std::string server;
  INTERNET_PORT port = 0;
  // kRequest
  Target target;
  std::unique_ptr<Transfer> transfer;
  bool sent = false;
};

HINTERNET InsertObject(std::shared_ptr<Object> object);
// The object of a handle, of the wanted kind; nullptr with the last error set (ERROR_INVALID_HANDLE,
// ERROR_INTERNET_INCORRECT_HANDLE_TYPE) otherwise.
std::shared_ptr<Object> LookUp(HINTERNET handle, Kind kind);
std::shared_ptr<Object> LookUpAny(HINTERNET handle);

// message_table.cc: the text of a 12xxx code, with its closing CR LF; nullptr for a code the table lacks.
const char* MessageText(DWORD code);

}  // namespace xp::wininet
