// The kernel host seen from outside: a hello to see whether it serves, a detached start (the host outlives the
// program that started it), and a shutdown request whose connection ends only once the host has ended.
#include "host_control.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "xp/kernel_protocol.h"

namespace xp::ntos::host {
namespace {

namespace fs = std::filesystem;
using kernel_host::Op;

constexpr auto kStartTimeout = std::chrono::seconds(10);

int Connect(const fs::path& machine_dir) {
  sockaddr_un address;
  int folder = -1;
  const bool fits = kernel_host::SocketAddress(kernel_host::SocketPath(machine_dir), &address, &folder);
  int fd = fits ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0) : -1;
  if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    fd = -1;
  }
  if (folder >= 0) ::close(folder);
  return fd;
}

bool Ask(int fd, Op op) {
  kernel_host::Request request;
  request.op = op;
  iovec piece{&request, sizeof request};
  kernel_host::Reply reply;
  return kernel_host::SendAll(fd, &piece, 1) && kernel_host::ReceiveAll(fd, &reply, sizeof reply) &&
         reply.status == 0;
}

// The hosts this process started, by machine folder: a stop waits for its own child, so none is left unreaped.
std::mutex children_lock;
std::map<std::string, pid_t> children;

// Runs the host in its own session, with only its log for output. It outlives this process if need be.
bool Spawn(const fs::path& host_program, const fs::path& machine_dir) {
  const fs::path log = machine_dir / "kernel" / "host.log";
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::setsid();
    const int null_fd = ::open("/dev/null", O_RDONLY);
    const int log_fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (null_fd < 0 || log_fd < 0) ::_exit(127);
    ::dup2(null_fd, 0);
    ::dup2(log_fd, 1);
    ::dup2(log_fd, 2);
    // Nothing of the starter's stays open in the host: a pipe it holds would never see its end.
    ::close_range(3, ~0u, 0);
    ::execl(host_program.c_str(), host_program.c_str(), machine_dir.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  const std::lock_guard<std::mutex> lock(children_lock);
  children[machine_dir.string()] = child;
  return true;
}

// Waits for the host this process started for the machine, once it ends (or, `end` given, ends it first).
void ReapChild(const fs::path& machine_dir, bool end = false) {
  pid_t child = 0;
  {
    const std::lock_guard<std::mutex> lock(children_lock);
    const auto found = children.find(machine_dir.string());
    if (found == children.end()) return;
    child = found->second;
    children.erase(found);
  }
  if (end) ::kill(child, SIGTERM);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

// True once the host this process started for the machine has ended.
bool ChildEnded(const fs::path& machine_dir) {
  const std::lock_guard<std::mutex> lock(children_lock);
  const auto found = children.find(machine_dir.string());
  int status = 0;
  if (found == children.end() || ::waitpid(found->second, &status, WNOHANG) != found->second) return false;
  children.erase(found);
  return true;
}

}  // namespace

bool KernelHostAnswers(const fs::path& machine_dir) {
  const int fd = Connect(machine_dir);
  if (fd < 0) return false;
  const bool answered = Ask(fd, Op::kHello);
  ::close(fd);
  return answered;
}

bool StartKernelHost(const fs::path& host_program, const fs::path& machine_dir, std::string* error) {
  if (KernelHostAnswers(machine_dir)) {
    *error = "the machine's kernel already runs";
    return false;
  }
  std::error_code ignored;
  fs::create_directories(machine_dir / "kernel", ignored);
  if (!Spawn(host_program, machine_dir)) {
    *error = "cannot start " + host_program.string();
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
  while (std::chrono::steady_clock::now() < deadline && !ChildEnded(machine_dir)) {
    if (KernelHostAnswers(machine_dir)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  *error = "the kernel did not come up (see " + (machine_dir / "kernel" / "host.log").string() + ")";
  ReapChild(machine_dir, /*end=*/true);
  return false;
}

bool StopKernelHost(const fs::path& machine_dir, std::string* error) {
  const int fd = Connect(machine_dir);
  if (fd < 0 || !Ask(fd, Op::kShutdown)) {
    if (fd >= 0) ::close(fd);
    *error = "the machine's kernel is not running";
    return false;
  }
  // The host keeps the connection until it has written its cache back and removed its socket.
  char byte;
  for (;;) {
    const ssize_t got = ::recv(fd, &byte, 1, 0);
    if (got == 0 || (got < 0 && errno != EINTR)) break;
  }
  ::close(fd);
  ReapChild(machine_dir);
  return true;
}

}  // namespace xp::ntos::host
