// Where a connection of the machine goes: the server name through the machine's hosts table (never DNS) to a
// loopback address, and that address's port through the listener table to the host port of a stand-in server.
// Nothing else is reachable: the machine's only network is loopback.
#include <charconv>

#include "wininet_private.h"
#include "xp/machine.h"
#include "xp/network.h"

namespace xp::wininet {

namespace {

constexpr uint64_t kDefaultTimeoutMs = 60000;  // XP's own connect and receive time-outs

}  // namespace

DWORD Route(const std::string& server, INTERNET_PORT port, std::string* connect_to) {
  std::string address = server;
  if (!machine::IsLoopbackAddress(server)) {
    const std::optional<std::string> listed = machine::LookUpHost(server);
    if (!listed) return ERROR_INTERNET_NAME_NOT_RESOLVED;
    address = *listed;
  }
  if (!machine::IsLoopbackAddress(address)) return ERROR_INTERNET_CANNOT_CONNECT;
  const std::optional<uint16_t> host_port = machine::Listener(address, port);
  if (!host_port) return ERROR_INTERNET_CANNOT_CONNECT;
  *connect_to = server + ":" + std::to_string(port) + ":127.0.0.1:" + std::to_string(*host_port);
  return 0;
}

uint64_t TimeoutMs() {
  const std::optional<std::string> setting = machine::Setting("wininet.timeout_ms");
  uint64_t value = 0;
  if (!setting) return kDefaultTimeoutMs;
  const auto [end, failure] = std::from_chars(setting->data(), setting->data() + setting->size(), value);
  if (failure != std::errc() || end != setting->data() + setting->size() || value == 0) return kDefaultTimeoutMs;
  return value;
}

}  // namespace xp::wininet
