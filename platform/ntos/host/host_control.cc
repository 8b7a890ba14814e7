// The kernel host seen from outside: a hello to see whether it serves, a detached start (the host outlives the
// program that started it and is nobody's child to reap), a shutdown request whose connection ends only once the
// host has ended, and the power loss.
#include "host_control.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "xp/kernel_protocol.h"
#include "xp/machine.h"
#include "xp/processes.h"

namespace xp::ntos::host {
namespace {

namespace fs = std::filesystem;
using kernel_host::Op;
using Clock = std::chrono::steady_clock;

// Generous: a sanitizer build on a busy machine boots slowly.
constexpr auto kStartTimeout = std::chrono::seconds(30);
constexpr auto kEndTimeout = std::chrono::seconds(30);
// The descriptor the host inherits, open for as long as it lives: its end tells the starter the host is gone.
constexpr int kLifelineFd = 3;

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

// An exclusive lock on a file of DIR/kernel, held for the object's life.
class KernelFolderLock {
 public:
  KernelFolderLock(const fs::path& file, bool wait) {
    fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return;
    int result;
    while ((result = ::flock(fd_, LOCK_EX | (wait ? 0 : LOCK_NB))) != 0 && errno == EINTR) {
    }
    if (result != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~KernelFolderLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  KernelFolderLock(const KernelFolderLock&) = delete;
  KernelFolderLock& operator=(const KernelFolderLock&) = delete;

  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// True while a host process lives for the machine (it holds the host lock from before it listens until it ends).
bool HostAlive(const fs::path& machine_dir) {
  return !KernelFolderLock(kernel_host::HostLockPath(machine_dir), /*wait=*/false).held();
}

std::optional<pid_t> RecordedHostPid(const fs::path& machine_dir) {
  std::ifstream in(kernel_host::PidPath(machine_dir));
  long pid = 0;
  if (!(in >> pid) || pid <= 0) return std::nullopt;
  return static_cast<pid_t>(pid);
}

// The folder as the host is given it, and as its command line is checked against.
std::string HostArgument(const fs::path& machine_dir) {
  std::error_code ignored;
  return fs::absolute(machine_dir, ignored).lexically_normal().string();
}

void NoteInHostLog(const fs::path& machine_dir, const std::string& line) {
  std::ofstream(machine_dir / "kernel" / "host.log", std::ios::app) << line << "\n";
}

// The environment the host runs with: the starter's, without its process record (the host is no process of the
// machine and must not take its starter's record for its own).
std::vector<std::string> HostEnvironment() {
  std::vector<std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!std::string_view(*entry).starts_with("XPMACHINE_PROCESS=")) variables.emplace_back(*entry);
  }
  return variables;
}

// Runs the host in its own session, with only its log for output, as a grandchild that init adopts at once.
// *lifeline: the read end of a pipe whose other end only the host holds. Everything the child needs is made
// before the fork.
bool Spawn(const fs::path& host_program, const fs::path& machine_dir, int* lifeline) {
  const std::string log = (machine_dir / "kernel" / "host.log").string();
  const std::string program = host_program.string();
  const std::string dir = HostArgument(machine_dir);
  const std::vector<std::string> variables = HostEnvironment();
  std::vector<char*> environment;
  for (const std::string& variable : variables) environment.push_back(const_cast<char*>(variable.c_str()));
  environment.push_back(nullptr);
  char* const arguments[] = {const_cast<char*>(program.c_str()), const_cast<char*>(dir.c_str()), nullptr};
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return false;
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(pipe_fds[0]);
    ::close(pipe_fds[1]);
    return false;
  }
  if (child == 0) {
    if (::fork() != 0) ::_exit(0);
    ::setsid();
    const int null_fd = ::open("/dev/null", O_RDONLY);
    const int log_fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (null_fd < 0 || log_fd < 0) ::_exit(127);
    ::dup2(null_fd, 0);
    ::dup2(log_fd, 1);
    ::dup2(log_fd, 2);
    if (pipe_fds[1] == kLifelineFd) {
      ::fcntl(kLifelineFd, F_SETFD, 0);
    } else {
      ::dup2(pipe_fds[1], kLifelineFd);
    }
    // Nothing of the starter's stays open in the host: a pipe it holds would never see its end.
    ::close_range(kLifelineFd + 1, ~0u, 0);
    ::execve(program.c_str(), arguments, environment.data());
    ::_exit(127);
  }
  ::close(pipe_fds[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  *lifeline = pipe_fds[0];
  return true;
}

// Waits until the host answers; false when it ends first (its lifeline closes, or, watched without one, no host
// holds the lock any more) or it takes too long.
bool AwaitAnswer(const fs::path& machine_dir, int lifeline) {
  const Clock::time_point deadline = Clock::now() + kStartTimeout;
  while (Clock::now() < deadline) {
    if (KernelHostAnswers(machine_dir)) return true;
    pollfd ended{lifeline, POLLIN, 0};
    if (lifeline >= 0 && ::poll(&ended, 1, 5) > 0) return KernelHostAnswers(machine_dir);
    if (lifeline < 0) {
      // A host another program started holds its lock while it lives: one that is ending never answers.
      if (!HostAlive(machine_dir)) return KernelHostAnswers(machine_dir);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  return false;
}

// Waits until no host process lives for the machine any more.
bool AwaitEnd(const fs::path& machine_dir) {
  const Clock::time_point deadline = Clock::now() + kEndTimeout;
  while (HostAlive(machine_dir)) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// The recorded host pid, if that process is this machine's host (so a reused pid is never signalled).
std::optional<pid_t> LiveHostPid(const fs::path& machine_dir) {
  const std::optional<pid_t> pid = RecordedHostPid(machine_dir);
  if (!pid) return std::nullopt;
  std::ifstream in("/proc/" + std::to_string(*pid) + "/cmdline", std::ios::binary);
  const std::string command_line((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string expected = std::string("\0", 1) + HostArgument(machine_dir) + std::string("\0", 1);
  if (command_line.find("xp_ntoshost") == std::string::npos || !command_line.ends_with(expected)) {
    return std::nullopt;
  }
  return pid;
}

// A power loss inside the host: the host cannot kill the frozen programs after its own end, so a child of it does,
// once the host has ended. The child keeps no descriptor of the host's but the one that tells it of that end, so
// that nothing (the host's lock, its socket, its clients) outlives the host through it.
void KillAfterThisProcessEnds(const std::vector<pid_t>& frozen) {
  const pid_t host = ::getpid();
  const int ended = static_cast<int>(::syscall(SYS_pidfd_open, host, 0));
  if (::fork() != 0) return;
  const unsigned kept = ended >= 0 ? static_cast<unsigned>(ended) : 0u;
  if (kept > 0) ::syscall(SYS_close_range, 0u, kept - 1, 0u);
  ::syscall(SYS_close_range, kept + 1, ~0u, 0u);
  if (ended >= 0) {
    pollfd gone{ended, POLLIN, 0};
    while (::poll(&gone, 1, -1) < 0 && errno == EINTR) {
    }
  } else {
    while (::getppid() == host) ::usleep(1000);
  }
  machine::KillFrozenProcesses(frozen);
  ::_exit(0);
}

}  // namespace

bool KernelHostAnswers(const fs::path& machine_dir) {
  const int fd = Connect(machine_dir);
  if (fd < 0) return false;
  const bool answered = Ask(fd, Op::kHello);
  ::close(fd);
  return answered;
}

bool EnsureKernelHost(const fs::path& host_program, const fs::path& machine_dir, std::string* error) {
  if (KernelHostAnswers(machine_dir)) return true;
  std::error_code ignored;
  fs::create_directories(machine_dir / "kernel", ignored);
  const KernelFolderLock turn(machine_dir / "kernel" / "start.lock", /*wait=*/true);
  if (KernelHostAnswers(machine_dir)) return true;
  if (HostAlive(machine_dir)) {
    // Started by another program a moment ago, or shutting down: wait for the one, and replace the other.
    if (AwaitAnswer(machine_dir, -1)) return true;
    if (HostAlive(machine_dir)) {
      *error = "the machine's kernel host runs but does not answer (see " +
               (machine_dir / "kernel" / "host.log").string() + ")";
      return false;
    }
  }
  if (const std::optional<pid_t> dead = RecordedHostPid(machine_dir)) {
    const std::string note = "kernel host " + std::to_string(*dead) + " had ended without shutting down";
    NoteInHostLog(machine_dir, "xp_ntoshost: " + note + "; a new one starts");
    if (machine::Present() && fs::equivalent(machine::Root(), machine_dir, ignored)) machine::Journal(note);
  }
  int lifeline = -1;
  if (!Spawn(host_program, machine_dir, &lifeline)) {
    *error = "cannot start " + host_program.string();
    return false;
  }
  const bool answered = AwaitAnswer(machine_dir, lifeline);
  ::close(lifeline);
  if (!answered) *error = "the kernel did not come up (see " + (machine_dir / "kernel" / "host.log").string() + ")";
  return answered;
}

bool StartKernelHost(const fs::path& host_program, const fs::path& machine_dir, std::string* error) {
  if (KernelHostAnswers(machine_dir)) {
    *error = "the machine's kernel already runs";
    return false;
  }
  return EnsureKernelHost(host_program, machine_dir, error);
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
  if (!AwaitEnd(machine_dir)) {
    *error = "the machine's kernel did not end";
    return false;
  }
  return true;
}

bool WriteBackKernelCache(const fs::path& machine_dir) {
  const int fd = Connect(machine_dir);
  if (fd < 0) return !HostAlive(machine_dir);
  const bool written = Ask(fd, Op::kWriteBack);
  ::close(fd);
  return written;
}

void PowerOff(const fs::path& machine_dir) {
  // The programs stop first, so that none of them carries on, then the kernel ends, and only then may anyone see a
  // program end: a waiter that woke while the kernel still ran would read through it what the power loss takes.
  const std::vector<pid_t> frozen = machine::FreezeLaunchedProcesses();
  if (machine::Present()) machine::Journal("power off");
  const std::optional<pid_t> host = LiveHostPid(machine_dir);
  if (host && *host == ::getpid()) {
    KillAfterThisProcessEnds(frozen);
    ::raise(SIGKILL);
  }
  if (host) {
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, *host, 0));
    if (pidfd >= 0) {
      ::syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0);
      ::close(pidfd);
    } else {
      ::kill(*host, SIGKILL);
    }
    AwaitEnd(machine_dir);
  }
  machine::KillFrozenProcesses(frozen);
}

}  // namespace xp::ntos::host
