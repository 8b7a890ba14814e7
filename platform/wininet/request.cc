// Requests: HttpOpenRequestA describes one GET, HttpSendRequestA runs it up to the response headers,
// InternetReadFile hands out the body and HttpQueryInfoA the headers.
#include <charconv>
#include <cstring>

#include "wininet_private.h"
#include "xp/debug.h"
#include "xp/faults.h"

XP_DEBUG_CHANNEL(wininet);

namespace {

using namespace xp::wininet;

constexpr DWORD kKnownFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_SECURE | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_CACHE_WRITE |
    INTERNET_FLAG_PRAGMA_NOCACHE;

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

bool HoldsControlCharacter(const std::string& text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  }
  return false;
}

// The text of a header level; false when the response has no such header.
bool HeaderText(const Response& response, DWORD level, std::string* text) {
  const char* field = nullptr;
  switch (level) {
    case HTTP_QUERY_CONTENT_TYPE: field = "Content-Type"; break;
    case HTTP_QUERY_CONTENT_LENGTH: field = "Content-Length"; break;
    case HTTP_QUERY_DATE: field = "Date"; break;
    case HTTP_QUERY_LAST_MODIFIED: field = "Last-Modified"; break;
    case HTTP_QUERY_SERVER: field = "Server"; break;
    case HTTP_QUERY_VERSION: *text = response.Version(); return !text->empty();
    case HTTP_QUERY_STATUS_CODE: *text = std::to_string(response.Status()); return response.Status() != 0;
    case HTTP_QUERY_STATUS_TEXT: *text = response.StatusText(); return true;
    case HTTP_QUERY_RAW_HEADERS_CRLF: *text = response.Raw(); return true;
    default: return false;
  }
  const std::string* value = response.Field(field);
  if (value == nullptr) return false;
  *text = *value;
  return true;
}

}  // namespace

// Exported by wininet.
extern "C" HINTERNET HttpOpenRequestA(HINTERNET connect, LPCSTR verb, LPCSTR object, LPCSTR version,
                                      LPCSTR referrer, LPCSTR* accept_types, DWORD flags, DWORD_PTR /*context*/) {
  const std::shared_ptr<Object> connection = LookUp(connect, Kind::kConnection);
  if (!connection) return nullptr;
  const std::string method = verb == nullptr || *verb == '\0' ? "GET" : verb;
  if (method != "GET" || (flags & ~kKnownFlags) != 0 || (referrer != nullptr && *referrer != '\0') ||
      (accept_types != nullptr && accept_types[0] != nullptr)) {
    XP_FIXME("HttpOpenRequestA", "only a plain GET (verb %s, flags %lu)", method.c_str(),
             static_cast<unsigned long>(flags));
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  const std::string http_version = version == nullptr || *version == '\0' ? "HTTP/1.1" : version;
  if (http_version != "HTTP/1.0" && http_version != "HTTP/1.1") {
    XP_FIXME("HttpOpenRequestA", "only HTTP/1.0 and HTTP/1.1 (%s)", http_version.c_str());
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  std::string target = object == nullptr ? "" : object;
  if (target.empty()) target = "/";
  // A line break in the target would end the request line early and smuggle headers in.
  if (HoldsControlCharacter(target)) {
    SetLastError(ERROR_INTERNET_INVALID_URL);
    return nullptr;
  }
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("HttpOpenRequestA", target)) {
    SetLastError(*error);
    return nullptr;
  }
  auto request = std::make_shared<Object>();
  request->kind = Kind::kRequest;
  request->parent = connect;
  request->target.secure = (flags & INTERNET_FLAG_SECURE) != 0;
  request->target.server = connection->server;
  request->target.port = connection->port != INTERNET_INVALID_PORT_NUMBER
                             ? connection->port
                             : (request->target.secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT);
  request->target.object = target;
  request->target.version = http_version;
  request->target.agent = connection->agent;
  request->target.reload = (flags & (INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE)) != 0;
  return InsertObject(std::move(request));
}

// Exported by wininet.
extern "C" BOOL HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headers_length, LPVOID /*optional*/,
                                 DWORD optional_length) {
  const std::shared_ptr<Object> object = LookUp(request, Kind::kRequest);
  if (!object) return FALSE;
  if ((headers != nullptr && *headers != '\0' && headers_length != 0) || optional_length != 0) {
    XP_FIXME("HttpSendRequestA", "no extra headers or request body");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  }
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("HttpSendRequestA", object->target.object)) {
    return Fail(*error);
  }
  // Sending again starts the exchange afresh.
  object->sent = false;
  object->transfer = std::make_unique<Transfer>(object->target);
  if (const DWORD code = object->transfer->Start()) {
    object->transfer.reset();
    return Fail(code);
  }
  object->sent = true;
  return TRUE;
}

// Exported by wininet.
extern "C" BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD to_read, LPDWORD read) {
  if (read == nullptr || (buffer == nullptr && to_read != 0)) return Fail(ERROR_INVALID_PARAMETER);
  *read = 0;
  const std::shared_ptr<Object> object = LookUp(file, Kind::kRequest);
  if (!object) return FALSE;
  if (!object->sent) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("InternetReadFile", object->target.object)) {
    return Fail(*error);
  }
  if (const DWORD code = object->transfer->Read(static_cast<char*>(buffer), to_read, read)) return Fail(code);
  return TRUE;
}

// Exported by wininet.
extern "C" BOOL HttpQueryInfoA(HINTERNET request, DWORD info_level, LPVOID buffer, LPDWORD buffer_length,
                               LPDWORD index) {
  const std::shared_ptr<Object> object = LookUp(request, Kind::kRequest);
  if (!object) return FALSE;
  if (buffer_length == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  const DWORD level = info_level & ~DWORD{HTTP_QUERY_FLAG_NUMBER};
  const bool number = (info_level & HTTP_QUERY_FLAG_NUMBER) != 0;
  if ((index != nullptr && *index != 0) || (level & 0xF0000000) != 0) {
    XP_FIXME("HttpQueryInfoA", "only the first response header (level %lu)", static_cast<unsigned long>(info_level));
    return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  }
  if (!object->sent) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  std::string text;
  if (!HeaderText(object->transfer->response(), level, &text)) return Fail(ERROR_HTTP_HEADER_NOT_FOUND);
  if (number) {
    DWORD value = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (failure != std::errc() || end != text.data() + text.size()) return Fail(ERROR_HTTP_HEADER_NOT_FOUND);
    if (buffer == nullptr || *buffer_length < sizeof value) {
      *buffer_length = sizeof value;
      return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(buffer, &value, sizeof value);
    *buffer_length = sizeof value;
  } else {
    if (buffer == nullptr || *buffer_length < text.size() + 1) {
      *buffer_length = static_cast<DWORD>(text.size() + 1);
      return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    *buffer_length = static_cast<DWORD>(text.size());
  }
  if (index != nullptr) *index = 1;
  return TRUE;
}
