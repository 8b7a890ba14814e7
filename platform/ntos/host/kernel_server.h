// The kernel host's socket server: listens on DIR/kernel/socket and serves every connection's requests on the one
// thread that runs the kernel, so requests never overlap (the cache's lazy writer runs on that thread too, between
// requests: once a second, and after every 32 MiB written).
#pragma once

#include <csignal>
#include <filesystem>
#include <list>
#include <string>

#include "request_handler.h"

namespace xp::ntos::host {

class KernelServer {
 public:
  explicit KernelServer(std::filesystem::path machine_dir);
  // Closes every connection and removes the socket and the pid file.
  ~KernelServer();
  KernelServer(const KernelServer&) = delete;
  KernelServer& operator=(const KernelServer&) = delete;

  // False, with *error, when another host already runs for the machine or the socket cannot be made. A socket
  // left behind by a host that ended is replaced.
  bool Listen(std::string* error);
  // Serves until a shutdown request arrives or `*stop` becomes nonzero (a signal): true. False when the machine
  // folder went away under the host: there is nothing left to write back to.
  bool Serve(Kernel& kernel, const volatile std::sig_atomic_t* stop);

 private:
  void Accept();
  // Reads and answers one request; false when the connection is over. Sets shutdown_ on a shutdown request.
  bool Answer(RequestHandler& handler, Client& client);

  std::filesystem::path machine_dir_;
  int host_lock_ = -1;  // DIR/kernel/host.lock, held for the host's life
  int listener_ = -1;
  std::list<Client> clients_;
  bool shutdown_ = false;
  uint64_t written_since_tick_ = 0;  // bytes programs wrote since the lazy writer last ran
  uint64_t generation_ = 0;          // the data generation (kernel_protocol.h)
};

}  // namespace xp::ntos::host
