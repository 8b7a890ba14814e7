// Winsock 1.1 over the host's loopback: the process's table of sockets (SOCKET values go round the range fd_set
// holds, so a closed socket's value comes back only after every other one: closing it twice fails instead of
// closing another), WSAStartup's count, the thread's last error, and the calls in Winsock's shapes. A machine's
// ports are its own: a socket bound to machine port P really listens on a host port of the host's choosing, which
// the machine's listener table (xp/network.h) records for 127.0.0.1:P while it listens; a connect to the machine's
// 127.0.0.1:P goes to the host port recorded, and is refused when none is.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "winsock.h"
#include "ws2_32_private.h"
#include "xp/machine.h"
#include "xp/network.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(ws2_32);

namespace xp::ws2_32 {
namespace {

constexpr WORD kVersion = 0x0101;
constexpr SOCKET kFirstSocket = 0x100;
constexpr SOCKET kLastSocket = FD_SETSIZE - 4;
// How long select waits at most for an outside party at work on a socket's port.
constexpr auto kOutsidePartyWait = std::chrono::seconds(10);
constexpr int kOutsidePartyPollMs = 10;

thread_local int last_error = 0;
std::atomic<int> startups{0};

constexpr char kLoopbackText[] = "127.0.0.1";

struct Entry {
  int fd = -1;
  uint16_t machine_port = 0;  // the port the machine's programs see (0: not bound yet)
  uint16_t host_port = 0;     // the host port it really is, recorded for machine_port while listed
  bool listed = false;        // in the machine's listener table
};

struct Table {
  std::mutex mutex;
  std::map<SOCKET, Entry> entries;
  SOCKET next = kFirstSocket;
};

Table& Sockets() {
  static Table* const table = new Table;
  return *table;
}

// The call's result with the last error set: 0 for success, SOCKET_ERROR otherwise.
int Done(int error) {
  last_error = error;
  return error == 0 ? 0 : SOCKET_ERROR;
}

bool Started() {
  if (startups > 0) return true;
  last_error = WSANOTINITIALISED;
  return false;
}

std::optional<Entry> EntryOf(SOCKET socket) {
  Table& table = Sockets();
  const std::lock_guard<std::mutex> lock(table.mutex);
  const auto found = table.entries.find(socket);
  if (found == table.entries.end()) return std::nullopt;
  return found->second;
}

void Update(SOCKET socket, const Entry& entry) {
  Table& table = Sockets();
  const std::lock_guard<std::mutex> lock(table.mutex);
  const auto found = table.entries.find(socket);
  if (found != table.entries.end()) found->second = entry;
}

// The socket's entry, or nullopt with WSAENOTSOCK (or WSANOTINITIALISED) set.
std::optional<Entry> ResolveEntry(SOCKET socket) {
  if (!Started()) return std::nullopt;
  std::optional<Entry> entry = EntryOf(socket);
  if (!entry) last_error = WSAENOTSOCK;
  return entry;
}

std::optional<int> Resolve(SOCKET socket) {
  const std::optional<Entry> entry = ResolveEntry(socket);
  return entry ? std::optional<int>(entry->fd) : std::nullopt;
}

// INVALID_SOCKET with WSAEMFILE when every value is in use.
SOCKET Insert(const Entry& entry) {
  Table& table = Sockets();
  const std::lock_guard<std::mutex> lock(table.mutex);
  for (SOCKET tried = kFirstSocket; tried <= kLastSocket; tried += 4) {
    const SOCKET socket = table.next;
    table.next = socket >= kLastSocket ? kFirstSocket : socket + 4;
    if (table.entries.count(socket) != 0) continue;
    table.entries[socket] = entry;
    return socket;
  }
  CloseFd(entry.fd);
  last_error = WSAEMFILE;
  return INVALID_SOCKET;
}

// The machine port a socket shows: the one it was bound to, else the host's (a connected socket's own end).
uint16_t MachinePort(const Entry& entry) {
  return entry.machine_port != 0 ? entry.machine_port : LocalPort(entry.fd);
}

// An IPv4 address of the call, host byte order.
bool ReadAddress(const struct sockaddr* address, int length, uint32_t* host, uint16_t* port) {
  if (address == nullptr || length < static_cast<int>(sizeof(sockaddr_in))) return false;
  sockaddr_in in;
  std::memcpy(&in, address, sizeof in);
  if (in.sin_family != AF_INET) return false;
  *host = ntohl(in.sin_addr.s_addr);
  *port = ntohs(in.sin_port);
  return true;
}

bool IsLoopback(uint32_t host) { return (host >> 24) == 127; }

void Keep(fd_set* set, const std::vector<SOCKET>& ready) {
  if (set == nullptr) return;
  FD_ZERO(set);
  for (const SOCKET socket : ready) FD_SET(socket, set);
}

}  // namespace
}  // namespace xp::ws2_32

using namespace xp::ws2_32;

// Exported by ws2_32.
int WSAStartup(WORD version_requested, LPWSADATA data) {
  const WORD major = version_requested & 0xFF;
  const WORD minor = version_requested >> 8;
  if (data == nullptr) return WSAEFAULT;
  std::memset(data, 0, sizeof *data);
  data->wVersion = kVersion;
  data->wHighVersion = kVersion;
  std::strcpy(data->szDescription, "Windows Sockets 1.1 over the machine's loopback");
  std::strcpy(data->szSystemStatus, "Running");
  data->iMaxSockets = 32767;
  if (major < 1 || (major == 1 && minor < 1)) return WSAVERNOTSUPPORTED;
  ++startups;
  return 0;
}

// Exported by ws2_32.
int WSACleanup(void) {
  if (!Started()) return SOCKET_ERROR;
  --startups;
  return 0;
}

// Exported by ws2_32.
int WSAGetLastError(void) { return last_error; }

// Exported by ws2_32.
SOCKET socket(int family, int type, int protocol) {
  if (!Started()) return INVALID_SOCKET;
  if (family != AF_INET || type != SOCK_STREAM || (protocol != 0 && protocol != IPPROTO_TCP)) {
    XP_FIXME("socket", "only TCP over IPv4 is implemented");
    last_error = WSAEAFNOSUPPORT;
    return INVALID_SOCKET;
  }
  int fd = -1;
  if (const int error = OpenTcp(&fd)) {
    last_error = error;
    return INVALID_SOCKET;
  }
  last_error = 0;
  Entry entry;
  entry.fd = fd;
  return Insert(entry);
}

// Exported by ws2_32. Every local address is the loopback's; port 0 is one of the host's choosing, as on Windows.
int bind(SOCKET socket, const struct sockaddr* address, int length) {
  std::optional<Entry> entry = ResolveEntry(socket);
  if (!entry) return SOCKET_ERROR;
  uint32_t host = 0;
  uint16_t port = 0;
  if (!ReadAddress(address, length, &host, &port)) return Done(WSAEFAULT);
  if (host != INADDR_ANY && !IsLoopback(host)) return Done(WSAEADDRNOTAVAIL);
  if (entry->machine_port != 0) return Done(WSAEINVAL);
  if (const int error = BindLoopback(entry->fd)) return Done(error);
  entry->host_port = LocalPort(entry->fd);
  entry->machine_port = port != 0 ? port : entry->host_port;
  Update(socket, *entry);
  return Done(0);
}

// Exported by ws2_32. From here until closesocket the machine's listener table sends its port's connections here.
int listen(SOCKET socket, int backlog) {
  std::optional<Entry> entry = ResolveEntry(socket);
  if (!entry) return SOCKET_ERROR;
  if (entry->machine_port == 0) return Done(WSAEINVAL);
  if (const int error = Listen(entry->fd, backlog)) return Done(error);
  if (!entry->listed) {
    if (!xp::machine::SetListener(kLoopbackText, entry->machine_port, entry->host_port)) return Done(WSAENETDOWN);
    entry->listed = true;
    Update(socket, *entry);
  }
  return Done(0);
}

// Exported by ws2_32.
SOCKET accept(SOCKET socket, struct sockaddr* address, int* length) {
  const std::optional<Entry> listening = ResolveEntry(socket);
  if (!listening) return INVALID_SOCKET;
  int accepted = -1;
  uint32_t host = 0;
  uint16_t port = 0;
  if (const int error = Accept(listening->fd, &accepted, &host, &port)) {
    last_error = error;
    return INVALID_SOCKET;
  }
  if (address != nullptr && length != nullptr && *length >= static_cast<int>(sizeof(sockaddr_in))) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = htonl(host);
    std::memcpy(address, &peer, sizeof peer);
    *length = sizeof peer;
  }
  last_error = 0;
  Entry entry;
  entry.fd = accepted;
  entry.machine_port = listening->machine_port;  // its own end is the listening port
  return Insert(entry);
}

// Exported by ws2_32. Only the machine's own loopback can be reached, and only a port its listener table names.
int connect(SOCKET socket, const struct sockaddr* address, int length) {
  const std::optional<int> fd = Resolve(socket);
  if (!fd) return SOCKET_ERROR;
  uint32_t host = 0;
  uint16_t port = 0;
  if (!ReadAddress(address, length, &host, &port)) return Done(WSAEFAULT);
  if (!IsLoopback(host)) return Done(WSAENETUNREACH);
  const std::string text = std::to_string(host >> 24) + "." + std::to_string((host >> 16) & 0xFF) + "." +
                           std::to_string((host >> 8) & 0xFF) + "." + std::to_string(host & 0xFF);
  const std::optional<uint16_t> host_port = xp::machine::Listener(text, port);
  if (!host_port) return Done(WSAECONNREFUSED);
  return Done(ConnectLoopback(*fd, INADDR_LOOPBACK, *host_port));
}

// Exported by ws2_32. The bytes received (0: the peer closed), or SOCKET_ERROR.
int recv(SOCKET socket, char* buffer, int length, int flags) {
  const std::optional<int> fd = Resolve(socket);
  if (!fd) return SOCKET_ERROR;
  if (flags != 0 || buffer == nullptr || length < 0) return Done(WSAEINVAL);
  int received = 0;
  if (const int error = Receive(*fd, buffer, length, &received)) return Done(error);
  last_error = 0;
  return received;
}

// Exported by ws2_32. Sends every byte (a stream socket blocks until it can).
int send(SOCKET socket, const char* buffer, int length, int flags) {
  const std::optional<int> fd = Resolve(socket);
  if (!fd) return SOCKET_ERROR;
  if (flags != 0 || buffer == nullptr || length < 0) return Done(WSAEINVAL);
  int sent = 0;
  if (const int error = SendAll(*fd, buffer, length, &sent)) return Done(error);
  last_error = 0;
  return sent;
}

// Exported by ws2_32. Error sets report nothing: a failed socket shows as readable, as a Winsock 1.1 stack shows it.
int select(int, fd_set* read_set, fd_set* write_set, fd_set* error_set, const struct timeval* timeout) {
  if (!Started()) return SOCKET_ERROR;
  std::vector<PollEntry> entries;
  std::vector<SOCKET> sockets;
  std::vector<uint16_t> ports;
  for (fd_set* set : {read_set, write_set}) {
    for (SOCKET socket = 0; set != nullptr && socket < FD_SETSIZE; ++socket) {
      if (!FD_ISSET(socket, set)) continue;
      const std::optional<Entry> entry = EntryOf(socket);
      if (!entry) return Done(WSAENOTSOCK);
      entries.push_back({entry->fd, set == read_set, set == write_set});
      ports.push_back(MachinePort(*entry));
      sockets.push_back(socket);
    }
  }
  const int timeout_ms =
      timeout == nullptr ? -1 : static_cast<int>(timeout->tv_sec * 1000 + timeout->tv_usec / 1000);
  int error = 0;
  int ready = Poll(entries, timeout_ms, &error);
  const auto give_up = std::chrono::steady_clock::now() + kOutsidePartyWait;
  const auto party_at_work = [&] {
    for (const uint16_t port : ports) {
      if (OutsidePartyAtWorkOn(port)) return true;
    }
    return false;
  };
  while (ready == 0 && std::chrono::steady_clock::now() < give_up && party_at_work()) {
    ready = Poll(entries, kOutsidePartyPollMs, &error);
  }
  if (ready < 0) return Done(error);
  std::vector<SOCKET> readable, writable;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].readable) readable.push_back(sockets[i]);
    if (entries[i].writable) writable.push_back(sockets[i]);
  }
  Keep(read_set, readable);
  Keep(write_set, writable);
  Keep(error_set, {});
  last_error = 0;
  return ready;
}

// Exported by ws2_32. Wakes a peer blocked on the socket; the socket stays until closesocket.
int shutdown(SOCKET socket, int how) {
  const std::optional<int> fd = Resolve(socket);
  if (!fd) return SOCKET_ERROR;
  if (how < SD_RECEIVE || how > SD_BOTH) return Done(WSAEINVAL);
  return Done(Shutdown(*fd, how));
}

// Exported by ws2_32.
int closesocket(SOCKET socket) {
  if (!Started()) return SOCKET_ERROR;
  Entry entry;
  {
    Table& table = Sockets();
    const std::lock_guard<std::mutex> lock(table.mutex);
    const auto found = table.entries.find(socket);
    if (found == table.entries.end()) return Done(WSAENOTSOCK);
    entry = found->second;
    table.entries.erase(found);
  }
  if (entry.listed) xp::machine::RemoveListener(kLoopbackText, entry.machine_port, entry.host_port);
  return Done(CloseFd(entry.fd));
}

// Exported by ws2_32. SO_REUSEADDR has nothing to do (every bind takes a fresh host port); nothing else is implemented.
int setsockopt(SOCKET socket, int level, int name, const char*, int) {
  if (!Resolve(socket)) return SOCKET_ERROR;
  if (level == SOL_SOCKET && name == SO_REUSEADDR) return Done(0);
  XP_FIXME("setsockopt", "option %d at level %d is not implemented", name, level);
  return Done(WSAEINVAL);
}

// Exported by ws2_32.
int getsockname(SOCKET socket, struct sockaddr* address, int* length) {
  const std::optional<Entry> entry = ResolveEntry(socket);
  if (!entry) return SOCKET_ERROR;
  if (address == nullptr || length == nullptr || *length < static_cast<int>(sizeof(sockaddr_in))) {
    return Done(WSAEFAULT);
  }
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(MachinePort(*entry));
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::memcpy(address, &local, sizeof local);
  *length = sizeof local;
  return Done(local.sin_port == 0 ? WSAEINVAL : 0);
}

// Exported by ws2_32.
int gethostname(char* name, int length) {
  if (!Started()) return SOCKET_ERROR;
  const std::string host = xp::machine::Setting("computer_name").value_or("localhost");
  if (name == nullptr || length <= static_cast<int>(host.size())) return Done(WSAEFAULT);
  std::memcpy(name, host.c_str(), host.size() + 1);
  return Done(0);
}

// Exported by ws2_32.
u_short htons(u_short value) { return static_cast<u_short>((value << 8) | (value >> 8)); }
u_short ntohs(u_short value) { return htons(value); }
ULONG htonl(ULONG value) {
  return ((value & 0xFF) << 24) | ((value & 0xFF00) << 8) | ((value >> 8) & 0xFF00) | (value >> 24);
}
ULONG ntohl(ULONG value) { return htonl(value); }

// Exported by ws2_32.
ULONG inet_addr(const char* text) {
  if (text == nullptr) return INADDR_NONE;
  unsigned parts[4];
  char end = 0;
  if (std::sscanf(text, "%u.%u.%u.%u%c", &parts[0], &parts[1], &parts[2], &parts[3], &end) != 4) return INADDR_NONE;
  ULONG host = 0;
  for (const unsigned part : parts) {
    if (part > 255) return INADDR_NONE;
    host = (host << 8) | part;
  }
  return htonl(host);
}
