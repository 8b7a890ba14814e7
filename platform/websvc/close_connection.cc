// Ending a connection before any byte of answer, for a page told to close. The server library writes an answer
// after every handler, so the handler shuts the connection's socket first and that answer goes nowhere. A TLS
// connection names its socket; a plain one is found among the process's sockets by its two loopback ports.
#include <arpa/inet.h>
#include <dirent.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>

#include "websvc_private.h"

namespace xp::websvc {
namespace {

int PortOf(const sockaddr_storage& address) {
  if (address.ss_family != AF_INET) return -1;
  return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

int SocketOf(int local_port, int remote_port) {
  DIR* folder = ::opendir("/proc/self/fd");
  if (folder == nullptr) return -1;
  int found = -1;
  while (const dirent* entry = ::readdir(folder)) {
    char* end = nullptr;
    const long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0') continue;
    sockaddr_storage local{}, remote{};
    socklen_t local_size = sizeof local, remote_size = sizeof remote;
    if (::getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&local), &local_size) != 0 ||
        ::getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&remote), &remote_size) != 0) {
      continue;
    }
    if (PortOf(local) == local_port && PortOf(remote) == remote_port) {
      found = static_cast<int>(fd);
      break;
    }
  }
  ::closedir(folder);
  return found;
}

}  // namespace

void CloseConnection(const httplib::Request& request) {
  const int fd = request.ssl != nullptr ? SSL_get_fd(request.ssl) : SocketOf(request.local_port, request.remote_port);
  if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

}  // namespace xp::websvc
