// Runs the requests a machine's programs send to the kernel host, one at a time, against the host's kernel: each
// Nt call made as the program would have made it in-process (user mode, its buffers marshalled), with the handles
// each connection opened kept apart from every other connection's.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "xp/kernel_protocol.h"
#include "xp/ntos.h"

namespace xp::ntos::host {

// The memory a connection shares with its program for file data: a memory file of kSharedBytes, made at the
// program's hello and mapped on both sides. Its file data is the program's to change at any time; the data
// generation after it is the host's.
class SharedBuffer {
 public:
  SharedBuffer() = default;
  ~SharedBuffer();
  SharedBuffer(const SharedBuffer&) = delete;
  SharedBuffer& operator=(const SharedBuffer&) = delete;

  bool Make();
  int fd() const { return fd_; }
  uint8_t* data() const { return data_; }
  void PublishGeneration(uint64_t generation);

 private:
  int fd_ = -1;
  uint8_t* data_ = nullptr;
};

// One program's connection to the host.
struct Client {
  int fd = -1;
  std::set<uint64_t> handles;  // what this connection opened and has not closed
  std::vector<uint8_t> payload;
  SharedBuffer shared;
};

class RequestHandler {
 public:
  explicit RequestHandler(Kernel& kernel) : kernel_(kernel) {}

  // Runs `request` (its payload in client.payload); the reply's payload is left in *reply_payload, or points into
  // the handler's buffer, valid until the next request.
  kernel_host::Reply Handle(Client& client, const kernel_host::Request& request, const uint8_t** reply_payload);
  // Closes what the connection left open, as the end of a process does.
  void CloseAll(Client& client);

 private:
  kernel_host::Reply Hello(Client& client, const kernel_host::Request& request);
  kernel_host::Reply Open(Client& client, const kernel_host::Request& request);
  kernel_host::Reply Read(Client& client, const kernel_host::Request& request);
  kernel_host::Reply Write(Client& client, const kernel_host::Request& request);
  kernel_host::Reply Query(Client& client, const kernel_host::Request& request);
  kernel_host::Reply SetInformation(Client& client, const kernel_host::Request& request);
  kernel_host::Reply QueryDirectory(Client& client, const kernel_host::Request& request);
  kernel_host::Reply Control(Client& client, const kernel_host::Request& request);
  kernel_host::Reply Service(Client& client, const kernel_host::Request& request);
  // The name an open file has on its volume, for fault points.
  std::string NameOf(uint64_t handle) const;
  // A buffer of at least `size` bytes that outlives the request; zeroed when `zeroed`.
  uint8_t* Scratch(size_t size, bool zeroed);

  Kernel& kernel_;
  std::vector<uint8_t> scratch_;
};

}  // namespace xp::ntos::host
