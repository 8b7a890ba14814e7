// Declarations shared inside ws2_32, grouped by the file that defines them. They use neither the Winsock types nor
// the host's, since the two sets share names (sockaddr, fd_set, timeval) and meet only here, in plain numbers.
#pragma once

#include <cstdint>
#include <vector>

namespace xp::ws2_32 {

// host_sockets.cc: TCP over the host's loopback. Every call returns a Winsock error code (0: success).
int OpenTcp(int* fd);
// A port of the host's choosing on 127.0.0.1 (the machine's port is the socket table's business).
int BindLoopback(int fd);
int Listen(int fd, int backlog);
int Accept(int fd, int* accepted, uint32_t* peer_host, uint16_t* peer_port);
int ConnectLoopback(int fd, uint32_t host, uint16_t port);
int Receive(int fd, char* buffer, int length, int* received);
int SendAll(int fd, const char* buffer, int length, int* sent);
int Shutdown(int fd, int how);
int CloseFd(int fd);
// The port a socket is bound to, 0 when none.
uint16_t LocalPort(int fd);

struct PollEntry {
  int fd;
  bool read, write;
  bool readable = false, writable = false, failed = false;
};
// Waits up to timeout_ms (-1: without limit) for any entry to be ready; the count of ready entries.
int Poll(std::vector<PollEntry>& entries, int timeout_ms, int* error);

// outside_party.cc: true while an outside party announced it is about to act on `port` (xp/outside_party.h).
bool OutsidePartyAtWorkOn(uint16_t port);

}  // namespace xp::ws2_32
