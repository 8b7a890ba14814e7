// The machine's network, which is loopback alone: its hosts table is the only name service, a stand-in server that
// listens on a machine port (80, 443) really listens on a host port that the machine's listener table records, and
// HTTPS trusts the machine's own roots alone. All act on the machine XPMACHINE names. Never included by system code.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace xp::machine {

// "C:\WINDOWS\system32\drivers\etc\hosts", as XP keeps it: "address name [name...]" lines, '#' to the end of a
// line is a comment.
inline constexpr char kHostsFile[] = "C:\\WINDOWS\\system32\\drivers\\etc\\hosts";

// The address the hosts table gives `name` (compared ignoring ASCII case; the first line naming it wins).
std::optional<std::string> LookUpHost(std::string_view name);
// Adds one "address name" line for each name the table does not hold yet; false when the file cannot be written.
bool AddHosts(const std::string& address, const std::vector<std::string>& names);
// True for an IPv4 address text in 127.0.0.0/8: the only addresses a machine can reach.
bool IsLoopbackAddress(std::string_view address);

// DIR/network/listeners: "address:port = host_port" lines. The host port on 127.0.0.1 that serves the machine's
// address:port, when a stand-in server listens there.
std::optional<uint16_t> Listener(const std::string& address, uint16_t port);
// Records (or replaces) a listener; false when the table cannot be written.
bool SetListener(const std::string& address, uint16_t port, uint16_t host_port);
// Removes the listener when it still names `host_port`, so that a server never removes a newer one's record.
bool RemoveListener(const std::string& address, uint16_t port, uint16_t host_port);

// DIR/certificates/roots.pem: the root certificates (PEM) the machine trusts, and nothing else; HTTPS clients of the
// machine verify servers against it.
std::filesystem::path TrustedRootsFile();
// Appends a PEM certificate unless the file holds it already; false when it cannot be written.
bool AddTrustedRoot(const std::string& pem);

}  // namespace xp::machine
