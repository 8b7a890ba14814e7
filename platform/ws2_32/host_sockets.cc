// The host side of the machine's sockets: loopback TCP, with host errors turned into Winsock's.
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "ws2_32_private.h"

namespace xp::ws2_32 {
namespace {

// Winsock's codes are 10000 + the BSD number of the same error.
int WinsockError(int error) {
  switch (error) {
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: return 10024;
    case EAGAIN: return 10035;
    case ENOTSOCK: return 10038;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETUNREACH: return 10051;
    case ECONNABORTED: return 10053;
    case ECONNRESET:
    case EPIPE: return 10054;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    default: return 10022;
  }
}

int Result(int status) { return status < 0 ? WinsockError(errno) : 0; }

sockaddr_in Loopback(uint32_t host, uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(host);
  return address;
}

}  // namespace

int OpenTcp(int* fd) {
  *fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  return Result(*fd);
}

int BindLoopback(int fd) {
  const sockaddr_in address = Loopback(INADDR_LOOPBACK, 0);
  return Result(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address));
}

int Listen(int fd, int backlog) { return Result(::listen(fd, backlog)); }

int Accept(int fd, int* accepted, uint32_t* peer_host, uint16_t* peer_port) {
  sockaddr_in peer{};
  socklen_t length = sizeof peer;
  do {
    *accepted = ::accept4(fd, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
  } while (*accepted < 0 && errno == EINTR);
  if (*accepted < 0) return WinsockError(errno);
  *peer_host = ntohl(peer.sin_addr.s_addr);
  *peer_port = ntohs(peer.sin_port);
  return 0;
}

int ConnectLoopback(int fd, uint32_t host, uint16_t port) {
  const sockaddr_in address = Loopback(host, port);
  int status = 0;
  do {
    status = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (status < 0 && errno == EINTR);
  return Result(status);
}

int Receive(int fd, char* buffer, int length, int* received) {
  ssize_t got = 0;
  do {
    got = ::recv(fd, buffer, static_cast<size_t>(length), 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return WinsockError(errno);
  *received = static_cast<int>(got);
  return 0;
}

int SendAll(int fd, const char* buffer, int length, int* sent) {
  *sent = 0;
  while (*sent < length) {
    const ssize_t put = ::send(fd, buffer + *sent, static_cast<size_t>(length - *sent), MSG_NOSIGNAL);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return WinsockError(errno);
    *sent += static_cast<int>(put);
  }
  return 0;
}

int Shutdown(int fd, int how) {
  const int host_how = how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR;
  return Result(::shutdown(fd, host_how));
}

int CloseFd(int fd) { return Result(::close(fd)); }

uint16_t LocalPort(int fd) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

int Poll(std::vector<PollEntry>& entries, int timeout_ms, int* error) {
  std::vector<pollfd> fds;
  for (const PollEntry& entry : entries) {
    fds.push_back({entry.fd, static_cast<short>((entry.read ? POLLIN : 0) | (entry.write ? POLLOUT : 0)), 0});
  }
  int ready = 0;
  do {
    ready = ::poll(fds.data(), fds.size(), timeout_ms);
  } while (ready < 0 && errno == EINTR);
  if (ready < 0) {
    *error = WinsockError(errno);
    return -1;
  }
  int count = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    const short events = fds[i].revents;
    entries[i].failed = (events & (POLLERR | POLLNVAL)) != 0;
    entries[i].readable = entries[i].read && (events & (POLLIN | POLLHUP | POLLERR)) != 0;
    entries[i].writable = entries[i].write && (events & (POLLOUT | POLLERR)) != 0;
    count += (entries[i].readable ? 1 : 0) + (entries[i].writable ? 1 : 0);
  }
  *error = 0;
  return count;
}

}  // namespace xp::ws2_32
