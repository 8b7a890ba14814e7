// The socket side of the kernel host: accepting programs, reading each request whole, answering it, and ending a
// connection (and closing what it left open) when its program goes away.
#include "kernel_server.h"

#include <poll.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <vector>

namespace xp::ntos::host {
namespace {

namespace fs = std::filesystem;
using kernel_host::Reply;
using kernel_host::Request;

constexpr int kLazyWriterPeriodMs = 1000;
constexpr uint64_t kLazyWriterBytes = 32u << 20;
constexpr auto kRequestSpin = std::chrono::microseconds(50);
// A program that stops halfway through a request is dropped rather than left to stall every other program.
constexpr int kRequestTimeoutSeconds = 10;

}  // namespace

KernelServer::KernelServer(fs::path machine_dir) : machine_dir_(std::move(machine_dir)) {}

KernelServer::~KernelServer() {
  if (listener_ >= 0) {
    ::close(listener_);
    std::error_code ignored;
    fs::remove(kernel_host::SocketPath(machine_dir_), ignored);
    fs::remove(kernel_host::PidPath(machine_dir_), ignored);
  }
  // Last: a program waiting for the host to end sees its connection close once the socket is gone.
  for (Client& client : clients_) ::close(client.fd);
  if (host_lock_ >= 0) ::close(host_lock_);
}

bool KernelServer::Listen(std::string* error) {
  const fs::path socket_path = kernel_host::SocketPath(machine_dir_);
  std::error_code ignored;
  fs::create_directories(socket_path.parent_path(), ignored);
  host_lock_ = ::open(kernel_host::HostLockPath(machine_dir_).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (host_lock_ < 0 || ::flock(host_lock_, LOCK_EX | LOCK_NB) != 0) {
    *error = "a kernel host already runs for " + machine_dir_.string();
    return false;
  }
  fs::remove(socket_path, ignored);
  sockaddr_un address;
  int folder = -1;
  if (!kernel_host::SocketAddress(socket_path, &address, &folder)) {
    *error = "no socket address fits " + socket_path.string();
    return false;
  }
  listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const bool bound = listener_ >= 0 && ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                     ::listen(listener_, 64) == 0;
  if (folder >= 0) ::close(folder);
  if (!bound) {
    *error = "cannot listen on " + socket_path.string() + ": " + std::strerror(errno);
    return false;
  }
  std::ofstream(kernel_host::PidPath(machine_dir_)) << ::getpid() << "\n";
  return true;
}

void KernelServer::Accept() {
  const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;
  const timeval timeout{kRequestTimeoutSeconds, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  clients_.emplace_back().fd = fd;
}

bool KernelServer::Answer(RequestHandler& handler, Client& client) {
  Request request;
  if (!kernel_host::ReceiveAll(client.fd, &request, sizeof request)) return false;
  if (request.payload > kernel_host::kMaxPayload || request.length > kernel_host::kMaxPayload) return false;
  client.payload.resize(request.payload);
  if (request.payload != 0 && !kernel_host::ReceiveAll(client.fd, client.payload.data(), request.payload)) return false;
  const uint8_t* payload = nullptr;
  Reply reply;
  if (request.op == kernel_host::Op::kShutdown) {
    shutdown_ = true;
  } else {
    reply = handler.Handle(client, request, &payload);
    if (request.op == kernel_host::Op::kWrite) written_since_tick_ += request.length;
    if (kernel_host::MayChangeData(request.op)) {
      ++generation_;
      for (Client& each : clients_) each.shared.PublishGeneration(generation_);
    }
    // A new shared buffer starts at the generation that stands.
    if (request.op == kernel_host::Op::kHello) client.shared.PublishGeneration(generation_);
    reply.generation = generation_;
  }
  iovec pieces[2] = {{&reply, sizeof reply}, {const_cast<uint8_t*>(payload), reply.payload}};
  const int count = reply.payload != 0 ? 2 : 1;
  if (request.op == kernel_host::Op::kHello && (request.flags & kernel_host::kSharedBuffer) != 0 &&
      reply.status == STATUS_SUCCESS) {
    return kernel_host::SendWithFd(client.fd, pieces, count, client.shared.fd());
  }
  return kernel_host::SendAll(client.fd, pieces, count);
}

bool KernelServer::Serve(Kernel& kernel, const volatile std::sig_atomic_t* stop) {
  RequestHandler handler(kernel);
  auto last_tick = std::chrono::steady_clock::now();
  std::vector<pollfd> polled;
  while (!shutdown_ && *stop == 0) {
    polled.assign(1, pollfd{listener_, POLLIN, 0});
    for (const Client& client : clients_) polled.push_back({client.fd, POLLIN, 0});
    // A program usually sends its next request at once: looking a little while before sleeping spares a wakeup.
    int ready = 0;
    const auto spin_until = std::chrono::steady_clock::now() + kRequestSpin;
    do {
      ready = ::poll(polled.data(), polled.size(), 0);
    } while (ready == 0 && std::chrono::steady_clock::now() < spin_until);
    if (ready == 0) ready = ::poll(polled.data(), polled.size(), kLazyWriterPeriodMs);
    if (ready > 0) {
      auto client = clients_.begin();
      for (size_t i = 1; i < polled.size() && !shutdown_; ++i, ++client) {
        if (polled[i].revents == 0) continue;
        if (!Answer(handler, *client)) {
          handler.CloseAll(*client);
          ::close(client->fd);
          client->fd = -1;
        }
      }
      std::erase_if(clients_, [](const Client& c) { return c.fd < 0; });
      if (polled[0].revents & POLLIN) Accept();
    }
    const auto now = std::chrono::steady_clock::now();
    // Once a second, and after every kLazyWriterBytes written: the cache never holds more than that dirty for long.
    if (now - last_tick >= std::chrono::milliseconds(kLazyWriterPeriodMs) || written_since_tick_ >= kLazyWriterBytes) {
      written_since_tick_ = 0;
      std::error_code error;
      if (!fs::exists(machine_dir_ / "machine.ini", error)) return false;
      kernel.MakeCurrent();
      kernel.LazyWriterTick();
      last_tick = now;
    }
  }
  return true;
}

}  // namespace xp::ntos::host
