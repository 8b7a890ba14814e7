// Sessions and connections: InternetOpenA, InternetConnectA, and the session-wide queries. Nothing here touches the
// network; the exchange happens when a request is sent.
#include <cstring>

#include "wininet_private.h"
#include "xp/debug.h"
#include "xp/faults.h"

XP_DEBUG_CHANNEL(wininet);

namespace {

using namespace xp::wininet;

constexpr INTERNET_VERSION_INFO kVersion = {1, 2};

std::string Text(LPCSTR text) { return text == nullptr ? std::string() : std::string(text); }

}  // namespace

// Exported by wininet.
extern "C" HINTERNET InternetOpenA(LPCSTR agent, DWORD access_type, LPCSTR proxy, LPCSTR proxy_bypass,
                                   DWORD flags) {
  if (access_type != INTERNET_OPEN_TYPE_PRECONFIG && access_type != INTERNET_OPEN_TYPE_DIRECT) {
    XP_FIXME("InternetOpenA", "only direct access: the machine has no proxy (access type %lu)",
             static_cast<unsigned long>(access_type));
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  if (flags != 0 || (proxy != nullptr && *proxy != '\0') || (proxy_bypass != nullptr && *proxy_bypass != '\0')) {
    XP_FIXME("InternetOpenA", "flags %lu or a proxy", static_cast<unsigned long>(flags));
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("InternetOpenA")) {
    SetLastError(*error);
    return nullptr;
  }
  auto session = std::make_shared<Object>();
  session->kind = Kind::kSession;
  session->agent = Text(agent);
  return InsertObject(std::move(session));
}

// Exported by wininet.
extern "C" HINTERNET InternetConnectA(HINTERNET internet, LPCSTR server_name, INTERNET_PORT port, LPCSTR user_name,
                                      LPCSTR password, DWORD service, DWORD flags, DWORD_PTR /*context*/) {
  const std::shared_ptr<Object> session = LookUp(internet, Kind::kSession);
  if (!session) return nullptr;
  if (service != INTERNET_SERVICE_HTTP || flags != 0) {
    XP_FIXME("InternetConnectA", "only HTTP servers (service %lu, flags %lu)", static_cast<unsigned long>(service),
             static_cast<unsigned long>(flags));
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  if (!Text(user_name).empty() || !Text(password).empty()) {
    XP_FIXME("InternetConnectA", "no server asks for a user name or password");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  if (server_name == nullptr || *server_name == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("InternetConnectA", server_name)) {
    SetLastError(*error);
    return nullptr;
  }
  auto connection = std::make_shared<Object>();
  connection->kind = Kind::kConnection;
  connection->parent = internet;
  connection->agent = session->agent;
  connection->server = server_name;
  connection->port = port;
  return InsertObject(std::move(connection));
}

// Exported by wininet.
extern "C" BOOL InternetQueryOptionA(HINTERNET internet, DWORD option, LPVOID buffer, LPDWORD buffer_length) {
  if (option != INTERNET_OPTION_VERSION) {
    XP_FIXME("InternetQueryOptionA", "only INTERNET_OPTION_VERSION (option %lu)", static_cast<unsigned long>(option));
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  if (internet != nullptr && !LookUpAny(internet)) return FALSE;
  if (buffer_length == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (buffer == nullptr || *buffer_length < sizeof kVersion) {
    *buffer_length = sizeof kVersion;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(buffer, &kVersion, sizeof kVersion);
  *buffer_length = sizeof kVersion;
  return TRUE;
}

// Exported by wininet. HTTP servers send no extended error text, so there is never one to give.
extern "C" BOOL InternetGetLastResponseInfoA(LPDWORD error, LPSTR buffer, LPDWORD buffer_length) {
  if (error == nullptr || buffer_length == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *error = 0;
  if (buffer != nullptr && *buffer_length > 0) buffer[0] = '\0';
  *buffer_length = 0;
  return TRUE;
}
