// How the programs of a booted machine reach its kernel host: the records on the local socket DIR/kernel/socket.
// A connection carries one request and then its reply, in turn. Both ends are this build on this host, so records
// travel in host byte order. Handles are the host kernel's, good only on the connection that opened them; the
// host closes what a connection left open when it ends, as process rundown does. Never included by system code.
#pragma once

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

namespace xp::kernel_host {

enum class Op : uint32_t {
  kHello = 1,         // answers STATUS_SUCCESS while the host serves; flags kSharedBuffer: the reply carries the
                      // connection's shared buffer (a memory file of kSharedBytes, as SCM_RIGHTS)
  kOpen,              // payload: the NT name (UTF-16); reply: handle, information (FILE_OPENED ...)
  kRead,              // handle, offset, length; reply payload: the bytes read (kSharedBuffer: left in the shared
                      // buffer, reply information: how many); reply generation: the data generation they belong to
  kWrite,             // handle, offset, payload: the bytes (kSharedBuffer: length bytes in the shared buffer);
                      // reply information: bytes written
  kQueryInformation,  // handle, code (class), length; reply payload: the whole buffer
  kSetInformation,    // handle, code (class), payload: the record
  kQueryVolume,       // handle, code (class), length; reply payload: the whole buffer
  kQueryDirectory,    // handle, length, flags kHasPattern with payload the pattern; reply payload: the entries
  kFlush,             // handle
  kDeviceControl,     // handle, code, length (output), payload: input, then for methods other than buffered the
                      // output buffer as given; reply payload: buffered, the information bytes; else the whole output
  kFsControl,         // as kDeviceControl
  kClose,             // handle
  kLoadDriver,        // payload: the service name (UTF-16), loaded from its key as NtLoadDriver does
  kUnloadDriver,      // payload: the service name
  kDriverRunning,     // payload: the service name; reply information: 1 running, 0 not
  kShutdown,          // writes the cache back, ends every connection and the host
  kWriteBack,         // writes every dirty page of the cache back now, as the lazy writer does
};

// Request flags.
inline constexpr uint32_t kHasPattern = 1;
// File data travels through the connection's shared buffer instead of the socket: one copy fewer each way.
inline constexpr uint32_t kSharedBuffer = 2;

struct Request {
  Op op = Op::kHello;
  uint32_t payload = 0;  // bytes after the record
  uint64_t handle = 0;
  int64_t offset = 0;
  uint32_t length = 0;  // bytes the caller's buffer holds: read length, information or output buffer
  uint32_t code = 0;    // information class or control code
  uint32_t access = 0;
  uint32_t share = 0;
  uint32_t disposition = 0;
  uint32_t options = 0;
  uint32_t attributes = 0;
  uint32_t flags = 0;
};

struct Reply {
  int32_t status = 0;
  uint32_t payload = 0;  // bytes after the record
  uint64_t information = 0;
  uint64_t handle = 0;
  uint64_t generation = 0;
};

// A read or write longer than this travels in pieces; a request or reply naming more is refused.
inline constexpr uint32_t kMaxPayload = 8u << 20;

// The data generation: a count the host raises, in every connection's shared buffer, before it answers any
// request that may change what a read returns (every request but reads and queries). Bytes read at one
// generation are still what a read would return while the count stands there, so a program may keep what it read
// ahead and serve later reads from it without asking the host. It lies in the page after the file data.
inline constexpr size_t kGenerationOffset = kMaxPayload;
inline constexpr size_t kSharedBytes = kMaxPayload + 4096;

// Whether a request may change what a later read returns (the host raises the data generation for it).
inline bool MayChangeData(Op op) {
  switch (op) {
    case Op::kHello:
    case Op::kRead:
    case Op::kQueryInformation:
    case Op::kQueryVolume:
    case Op::kQueryDirectory:
    case Op::kDriverRunning:
    case Op::kWriteBack: return false;
    default: return true;
  }
}

inline std::filesystem::path SocketPath(const std::filesystem::path& machine_dir) {
  return machine_dir / "kernel" / "socket";
}

// Held (flock) by the host from before it listens until it ends, however it ends: only one host per machine.
inline std::filesystem::path HostLockPath(const std::filesystem::path& machine_dir) {
  return machine_dir / "kernel" / "host.lock";
}

// The host's pid while it runs; removed when it shuts down, so one left behind tells of a host that died.
inline std::filesystem::path PidPath(const std::filesystem::path& machine_dir) {
  return machine_dir / "kernel" / "pid";
}

// A socket address for `path`. A path longer than sun_path is reached through /proc/self/fd of its folder, opened
// into *folder_fd (closed by the caller once the address is used; -1 when not needed). False when neither fits.
inline bool SocketAddress(const std::filesystem::path& path, sockaddr_un* address, int* folder_fd) {
  *folder_fd = -1;
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  std::string text = path.string();
  if (text.size() >= sizeof address->sun_path) {
    *folder_fd = ::open(path.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (*folder_fd < 0) return false;
    text = "/proc/self/fd/" + std::to_string(*folder_fd) + "/" + path.filename().string();
    if (text.size() >= sizeof address->sun_path) return false;
  }
  std::memcpy(address->sun_path, text.c_str(), text.size() + 1);
  return true;
}

// Sends every byte of the pieces; false when the peer is gone. Never raises SIGPIPE.
inline bool SendAll(int fd, iovec* pieces, int count) {
  while (count > 0) {
    msghdr message{};
    message.msg_iov = pieces;
    message.msg_iovlen = static_cast<size_t>(count);
    const ssize_t sent = ::sendmsg(fd, &message, MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    size_t left = static_cast<size_t>(sent);
    while (count > 0 && left >= pieces->iov_len) {
      left -= pieces->iov_len;
      ++pieces;
      --count;
    }
    if (count > 0) {
      pieces->iov_base = static_cast<char*>(pieces->iov_base) + left;
      pieces->iov_len -= left;
    }
  }
  return true;
}

// Sends the pieces with `passed_fd` attached (SCM_RIGHTS) to their first byte.
inline bool SendWithFd(int fd, iovec* pieces, int count, int passed_fd) {
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr message{};
  message.msg_iov = pieces;
  message.msg_iovlen = static_cast<size_t>(count);
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  cmsghdr* header = CMSG_FIRSTHDR(&message);
  header->cmsg_level = SOL_SOCKET;
  header->cmsg_type = SCM_RIGHTS;
  header->cmsg_len = CMSG_LEN(sizeof(int));
  std::memcpy(CMSG_DATA(header), &passed_fd, sizeof(int));
  size_t total = 0;
  for (int i = 0; i < count; ++i) total += pieces[i].iov_len;
  ssize_t sent;
  do {
    sent = ::sendmsg(fd, &message, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  // The rest, if the first call sent only part, goes without the descriptor.
  if (sent < 0) return false;
  size_t left = static_cast<size_t>(sent);
  while (count > 0 && left >= pieces->iov_len) {
    left -= pieces->iov_len;
    ++pieces;
    --count;
  }
  if (count == 0) return total == static_cast<size_t>(sent);
  pieces->iov_base = static_cast<char*>(pieces->iov_base) + left;
  pieces->iov_len -= left;
  return SendAll(fd, pieces, count);
}

// Fills `size` bytes; false at the end of the stream or on an error.
inline bool ReceiveAll(int fd, void* data, size_t size) {
  auto* at = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t got = ::recv(fd, at, size, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    at += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

// ReceiveAll for a record that may carry a descriptor: *passed_fd is it (close-on-exec), or -1.
inline bool ReceiveWithFd(int fd, void* data, size_t size, int* passed_fd) {
  *passed_fd = -1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  iovec piece{data, size};
  msghdr message{};
  message.msg_iov = &piece;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  ssize_t got;
  do {
    got = ::recvmsg(fd, &message, MSG_CMSG_CLOEXEC);
  } while (got < 0 && errno == EINTR);
  if (got <= 0) return false;
  for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
    if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_RIGHTS) {
      std::memcpy(passed_fd, CMSG_DATA(header), sizeof(int));
    }
  }
  return static_cast<size_t>(got) == size || ReceiveAll(fd, static_cast<char*>(data) + got, size - got);
}

}  // namespace xp::kernel_host
