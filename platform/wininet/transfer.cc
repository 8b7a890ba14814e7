// One HTTP exchange over libcurl's multi interface, driven only from the calling thread: no thread of libcurl's,
// no DNS (the machine's routing gives libcurl its connect-to), no proxy, no trust beyond the machine's roots. The
// machine's time-out bounds the connect and every wait for the server's next bytes, so a stalled server fails the
// call instead of hanging it.
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>

#include "wininet_private.h"
#include "xp/network.h"

namespace xp::wininet {
namespace {

constexpr long kPollMs = 100;

uint64_t SteadyMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

void InitialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

struct Transfer::Curl {
  CURL* easy = nullptr;
  CURLM* multi = nullptr;
  bool attached = false;
  curl_slist* headers = nullptr;
  curl_slist* connect_to = nullptr;

  ~Curl() {
    if (attached) curl_multi_remove_handle(multi, easy);
    if (easy != nullptr) curl_easy_cleanup(easy);
    if (multi != nullptr) curl_multi_cleanup(multi);
    curl_slist_free_all(headers);
    curl_slist_free_all(connect_to);
  }

  // One header line of the response; a status line starts a new response (after an interim 1xx one).
  static size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    Transfer& transfer = *static_cast<Transfer*>(user);
    std::string line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    transfer.last_activity_ms_ = SteadyMs();
    Response& response = transfer.response_;
    if (line.starts_with("HTTP/")) {
      response = Response{line, {}};
    } else if (line.empty()) {
      const unsigned status = response.Status();
      transfer.headers_done_ = status >= 200 || (status == 0 && !response.status_line.empty());
    } else if ((line[0] == ' ' || line[0] == '\t') && !response.fields.empty()) {
      response.fields.back().second += " " + line.substr(line.find_first_not_of(" \t"));
    } else {
      const size_t colon = line.find(':');
      const size_t value = colon == std::string::npos ? std::string::npos : line.find_first_not_of(" \t", colon + 1);
      response.fields.emplace_back(line.substr(0, colon),
                                   value == std::string::npos ? std::string() : line.substr(value));
    }
    return size * count;
  }

  static size_t OnBody(char* data, size_t size, size_t count, void* user) {
    Transfer& transfer = *static_cast<Transfer*>(user);
    transfer.pending_.append(data, size * count);
    transfer.last_activity_ms_ = SteadyMs();
    return size * count;
  }
};

Transfer::Transfer(Target target) : target_(std::move(target)) {}

Transfer::~Transfer() = default;

DWORD Transfer::Start() {
  std::string connect_to;
  if (const DWORD code = Route(target_.server, target_.port, &connect_to)) return code;
  timeout_ms_ = TimeoutMs();
  InitialiseCurlOnce();
  curl_ = std::make_unique<Curl>();
  curl_->easy = curl_easy_init();
  curl_->multi = curl_multi_init();
  if (curl_->easy == nullptr || curl_->multi == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  CURL* easy = curl_->easy;

  const std::string url = std::string(target_.secure ? "https://" : "http://") + target_.server + ":" +
                          std::to_string(target_.port) + "/";
  curl_->connect_to = curl_slist_append(nullptr, connect_to.c_str());
  curl_->headers = curl_slist_append(nullptr, "Accept:");
  if (target_.reload) curl_->headers = curl_slist_append(curl_->headers, "Pragma: no-cache");
  const std::string roots = machine::TrustedRootsFile().string();

  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_REQUEST_TARGET, target_.object.c_str());
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION,
                   target_.version == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_CONNECT_TO, curl_->connect_to);
  curl_easy_setopt(easy, CURLOPT_PROXY, "");
  curl_easy_setopt(easy, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, curl_->headers);
  if (!target_.agent.empty()) curl_easy_setopt(easy, CURLOPT_USERAGENT, target_.agent.c_str());
  curl_easy_setopt(easy, CURLOPT_CAINFO, roots.c_str());
  curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeout_ms_));
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Curl::OnHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Curl::OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  if (curl_multi_add_handle(curl_->multi, easy) != CURLM_OK) return ERROR_INTERNET_INTERNAL_ERROR;
  curl_->attached = true;

  last_activity_ms_ = SteadyMs();
  while (!headers_done_ && !finished_) Pump();
  if (headers_done_) return 0;
  return failure_ != 0 ? failure_ : ERROR_HTTP_INVALID_SERVER_RESPONSE;
}

DWORD Transfer::Read(char* buffer, DWORD size, DWORD* read) {
  *read = 0;
  while (pending_.size() < size && !finished_) Pump();
  if (pending_.empty() && failure_ != 0) return failure_;
  const size_t count = std::min<size_t>(size, pending_.size());
  std::memcpy(buffer, pending_.data(), count);
  pending_.erase(0, count);
  *read = static_cast<DWORD>(count);
  return 0;
}

void Transfer::Pump() {
  int running = 0;
  curl_multi_perform(curl_->multi, &running);
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(curl_->multi, &left)) {
    if (message->msg != CURLMSG_DONE) continue;
    long verify_result = 0;
    long os_errno = 0;
    curl_easy_getinfo(curl_->easy, CURLINFO_SSL_VERIFYRESULT, &verify_result);
    curl_easy_getinfo(curl_->easy, CURLINFO_OS_ERRNO, &os_errno);
    Finish(CodeOfCurlResult(message->data.result, verify_result, os_errno));
  }
  if (finished_) return;
  const uint64_t idle = SteadyMs() - last_activity_ms_;
  if (idle >= timeout_ms_) {
    Finish(ERROR_INTERNET_TIMEOUT);
    return;
  }
  const long wait = static_cast<long>(std::min<uint64_t>(kPollMs, timeout_ms_ - idle));
  curl_multi_poll(curl_->multi, nullptr, 0, static_cast<int>(wait), nullptr);
}

void Transfer::Finish(DWORD code) {
  finished_ = true;
  failure_ = code;
  if (curl_->attached) {
    curl_multi_remove_handle(curl_->multi, curl_->easy);
    curl_->attached = false;
  }
}

}  // namespace xp::wininet
