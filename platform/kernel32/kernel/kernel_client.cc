// The program's end of the kernel host's socket: one connection per process (made at the first kernel call, which
// starts the host when none runs), each call one request and its reply under the connection's lock, buffers
// copied both ways. A handle carries the connection it came from, so a handle that outlived its host (or came from
// the parent of a forked child) is refused instead of reaching another file. A read that follows on from the
// previous one asks for a few MiB more into the shared buffer, and the reads after it are served from there, with
// no round trip, for as long as the host's data generation stands where it stood when the bytes were read.
#include "kernel_client.h"

#include <dlfcn.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "host_control.h"
#include "xp/kernel_protocol.h"
#include "xp/machine.h"

namespace xp::kernel32::host {
namespace {

using kernel_host::Op;
using kernel_host::Reply;
using kernel_host::Request;

// Marks a handle's kernel as the host's; the low bits count connections, so a new one never matches old handles.
constexpr uint64_t kHostKernel = uint64_t{1} << 63;
constexpr auto kReplySpin = std::chrono::microseconds(50);
// What a read that follows on from the previous one asks the host for.
constexpr uint32_t kReadAheadBytes = 4u << 20;
static_assert(kReadAheadBytes <= kernel_host::kMaxPayload);

struct Piece {
  const void* data = nullptr;
  size_t size = 0;
};

// The kernel host beside this library: the platform's programs are built into one folder.
std::filesystem::path HostProgram() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&HostProgram), &info) == 0 || info.dli_fname == nullptr) return {};
  return std::filesystem::path(info.dli_fname).parent_path() / "xp_ntoshost";
}

class Connection {
 public:
  // Connects to the kernel host of the machine XPMACHINE names, starting it when none runs. False, with *error,
  // when there is no machine or its kernel does not come up.
  bool Reach(std::string* error) {
    const std::lock_guard<std::mutex> lock(mutex_);
    // XPMACHINE as it stands names the connected machine: nothing else to look at on this, the usual, path.
    const char* named = std::getenv("XPMACHINE");
    if (fd_ >= 0 && pid_ == ::getpid() && named != nullptr && named_ == named && !HungUp()) return true;
    Drop();
    if (!machine::Present()) {
      *error = "XPMACHINE names no machine";
      return false;
    }
    const std::filesystem::path& root = machine::Root();
    const std::filesystem::path socket_path = kernel_host::SocketPath(root);
    fd_ = Connect(socket_path);
    if (fd_ < 0 || !Hello(named)) {
      if (!ntos::host::EnsureKernelHost(HostProgram(), root, error)) return false;
      fd_ = Connect(socket_path);
      if (fd_ < 0 || !Hello(named)) {
        *error = "the machine's kernel host does not answer";
        return false;
      }
    }
    return true;
  }

  uint64_t kernel() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return fd_ >= 0 && pid_ == ::getpid() ? kernel_ : 0;
  }

  // A write of request.length bytes of `data`, through the shared buffer.
  bool WriteData(uint64_t kernel, Request& request, const void* data, Reply* reply) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0 || pid_ != ::getpid() || kernel != kernel_) return false;
    ahead_ = {};
    request.flags |= kernel_host::kSharedBuffer;
    std::memcpy(shared_, data, request.length);
    return ExchangeLocked(request, {}, {}, reply, nullptr, 0);
  }

  // A read of request.length bytes into `into`: from what was read ahead when it holds them, else through the
  // shared buffer, reading ahead when this read follows on from the previous one.
  bool ReadData(uint64_t kernel, Request& request, void* into, Reply* reply) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0 || pid_ != ::getpid() || kernel != kernel_) return false;
    if (ServeFromReadAhead(request, into, reply)) return true;
    const bool follows_on = request.handle == ahead_.handle && request.offset == next_offset_;
    ahead_ = {};
    Request sent = request;
    sent.flags |= kernel_host::kSharedBuffer;
    if (follows_on) sent.length = std::max(request.length, kReadAheadBytes);
    if (!ExchangeLocked(sent, {}, {}, reply, nullptr, 0)) return false;
    if (reply->status < 0 && reply->status != STATUS_END_OF_FILE && sent.length != request.length) {
      // Whatever refused the longer read, the read asked for stands on its own.
      sent.length = request.length;
      if (!ExchangeLocked(sent, {}, {}, reply, nullptr, 0)) return false;
    }
    ahead_.handle = request.handle;
    if (reply->status < 0) return true;
    ahead_ = {request.handle, request.offset, reply->information, reply->information < sent.length,
              reply->generation, true};
    reply->information = std::min<uint64_t>(reply->information, request.length);
    std::memcpy(into, shared_, reply->information);
    next_offset_ = request.offset + static_cast<int64_t>(reply->information);
    return true;
  }

  // One request and its reply over the connection `kernel` names. The reply's payload lands in `into` (at most
  // `capacity` bytes). False when that connection is gone or the host broke off: the connection is dropped.
  bool Exchange(uint64_t kernel, Request& request, Piece first, Piece second, Reply* reply, void* into,
                size_t capacity) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0 || pid_ != ::getpid() || kernel != kernel_) return false;
    return ExchangeLocked(request, first, second, reply, into, capacity);
  }

 private:
  static int Connect(const std::filesystem::path& socket_path) {
    sockaddr_un address;
    int folder = -1;
    const bool fits = kernel_host::SocketAddress(socket_path, &address, &folder);
    int fd = fits ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0) : -1;
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ::close(fd);
      fd = -1;
    }
    if (folder >= 0) ::close(folder);
    return fd;
  }

  // The first request of a connection: the host answers with the shared buffer for file data.
  bool Hello(const char* named) {
    Request hello;
    hello.flags = kernel_host::kSharedBuffer;
    iovec piece{&hello, sizeof hello};
    Reply reply;
    int shared_fd = -1;
    const bool answered = kernel_host::SendAll(fd_, &piece, 1) &&
                          kernel_host::ReceiveWithFd(fd_, &reply, sizeof reply, &shared_fd) && reply.status == 0;
    void* mapped = MAP_FAILED;
    if (shared_fd >= 0) {
      mapped = ::mmap(nullptr, kernel_host::kSharedBytes, PROT_READ | PROT_WRITE, MAP_SHARED, shared_fd, 0);
      ::close(shared_fd);
    }
    if (!answered || mapped == MAP_FAILED) {
      Drop();
      return false;
    }
    shared_ = static_cast<uint8_t*>(mapped);
    pid_ = ::getpid();
    named_ = named;
    kernel_ = kHostKernel | ++connections_;
    return true;
  }

  // What the shared buffer holds from the last read.
  struct ReadAhead {
    uint64_t handle = 0;
    int64_t offset = 0;
    uint64_t length = 0;
    bool ends_file = false;  // the read stopped at the end of the file
    uint64_t generation = 0;
    bool valid = false;
  };

  // The read served from the shared buffer when it holds the whole read (or all of it up to the end of the file)
  // at the generation that stands, and the host still runs.
  bool ServeFromReadAhead(const Request& request, void* into, Reply* reply) {
    if (!ahead_.valid || request.handle != ahead_.handle || request.offset < ahead_.offset) return false;
    const uint64_t from = static_cast<uint64_t>(request.offset - ahead_.offset);
    if (from >= ahead_.length) return false;
    const uint64_t count = std::min<uint64_t>(request.length, ahead_.length - from);
    if (count < request.length && !ahead_.ends_file) return false;
    auto* generation = reinterpret_cast<uint64_t*>(shared_ + kernel_host::kGenerationOffset);
    const uint64_t standing = std::atomic_ref<uint64_t>(*generation).load(std::memory_order_acquire);
    if (standing != ahead_.generation || HungUp()) return false;
    std::memcpy(into, shared_ + from, count);
    *reply = Reply{};
    reply->information = count;
    next_offset_ = request.offset + static_cast<int64_t>(count);
    return true;
  }

  bool ExchangeLocked(Request& request, Piece first, Piece second, Reply* reply, void* into, size_t capacity) {
    request.payload = static_cast<uint32_t>(first.size + second.size);
    iovec pieces[3] = {{&request, sizeof request},
                       {const_cast<void*>(first.data), first.size},
                       {const_cast<void*>(second.data), second.size}};
    const int count = second.size != 0 ? 3 : first.size != 0 ? 2 : 1;
    if (!kernel_host::SendAll(fd_, pieces, count)) {
      Drop();
      return false;
    }
    AwaitReply();
    if (!kernel_host::ReceiveAll(fd_, reply, sizeof *reply) || reply->payload > capacity ||
        (reply->payload != 0 && !kernel_host::ReceiveAll(fd_, into, reply->payload))) {
      Drop();
      return false;
    }
    return true;
  }

  // Between requests nothing comes from the host: a readable connection is one the host ended (it stopped).
  bool HungUp() const {
    pollfd ended{fd_, POLLIN, 0};
    return ::poll(&ended, 1, 0) != 0;
  }

  // Most requests are answered within microseconds: looking for the reply a little while before sleeping on it
  // spares both processes a sleep and a wakeup per request.
  void AwaitReply() const {
    const auto until = std::chrono::steady_clock::now() + kReplySpin;
    pollfd readable{fd_, POLLIN, 0};
    while (::poll(&readable, 1, 0) == 0 && std::chrono::steady_clock::now() < until) {
    }
  }

  void Drop() {
    if (fd_ >= 0) ::close(fd_);
    if (shared_ != nullptr) ::munmap(shared_, kernel_host::kSharedBytes);
    fd_ = -1;
    shared_ = nullptr;
    kernel_ = 0;
    ahead_ = {};
  }

  std::mutex mutex_;
  int fd_ = -1;
  uint8_t* shared_ = nullptr;  // file data both ways, then the data generation (kSharedBytes)
  ReadAhead ahead_;
  int64_t next_offset_ = -1;  // where the last read of ahead_.handle ended
  pid_t pid_ = 0;
  std::string named_;  // XPMACHINE when the connection was made
  uint64_t kernel_ = 0;
  uint64_t connections_ = 0;
};

// Never destroyed: handles may be closed from ELF destructors after static destructors have run.
Connection& TheConnection() {
  static Connection* const connection = new Connection;
  return *connection;
}

Request RequestOn(Op op, const nt::Handle& handle) {
  Request request;
  request.op = op;
  request.handle = reinterpret_cast<uintptr_t>(handle.value);
  return request;
}

Piece TextPiece(const std::u16string& text) { return {text.data(), text.size() * sizeof(char16_t)}; }

// A handle call: STATUS_INVALID_HANDLE when the handle's connection is gone.
NTSTATUS Call(const nt::Handle& handle, Request& request, Piece first, Piece second, Reply* reply, void* into,
              size_t capacity) {
  if (!TheConnection().Exchange(handle.kernel, request, first, second, reply, into, capacity)) {
    return STATUS_INVALID_HANDLE;
  }
  return reply->status;
}

NTSTATUS ServiceCall(Op op, const std::u16string& service, Reply* reply) {
  Request request;
  request.op = op;
  const uint64_t kernel = TheConnection().kernel();
  if (kernel == 0 || !TheConnection().Exchange(kernel, request, TextPiece(service), {}, reply, nullptr, 0)) {
    return STATUS_NO_SUCH_DEVICE;
  }
  return reply->status;
}

}  // namespace

bool Reach(std::string* error) { return TheConnection().Reach(error); }

bool Serves(const nt::Handle& handle) { return (handle.kernel & kHostKernel) != 0; }

NTSTATUS Open(const nt::OpenRequest& open, nt::Handle* handle, ULONG_PTR* information) {
  Request request;
  request.op = Op::kOpen;
  request.access = open.access;
  request.attributes = open.attributes;
  request.share = open.share;
  request.disposition = open.disposition;
  request.options = open.options;
  Reply reply;
  const uint64_t kernel = TheConnection().kernel();
  if (kernel == 0 || !TheConnection().Exchange(kernel, request, TextPiece(open.name), {}, &reply, nullptr, 0)) {
    return STATUS_NO_SUCH_DEVICE;
  }
  if (information != nullptr) *information = reply.information;
  if (NT_SUCCESS(reply.status)) *handle = {reinterpret_cast<HANDLE>(static_cast<uintptr_t>(reply.handle)), kernel};
  return reply.status;
}

NTSTATUS Read(const nt::Handle& handle, void* buffer, ULONG length, LONGLONG offset, ULONG* transferred) {
  *transferred = 0;
  auto* at = static_cast<uint8_t*>(buffer);
  // A long read goes in pieces; it ends early where the file does.
  do {
    const ULONG piece = std::min<ULONG>(length - *transferred, kernel_host::kMaxPayload);
    Request request = RequestOn(Op::kRead, handle);
    request.offset = offset + *transferred;
    request.length = piece;
    Reply reply;
    if (!TheConnection().ReadData(handle.kernel, request, at + *transferred, &reply)) {
      return STATUS_INVALID_HANDLE;
    }
    if (!NT_SUCCESS(reply.status)) return *transferred != 0 ? STATUS_SUCCESS : reply.status;
    *transferred += static_cast<ULONG>(reply.information);
    if (reply.information < piece) break;
  } while (*transferred < length);
  return STATUS_SUCCESS;
}

NTSTATUS Write(const nt::Handle& handle, const void* buffer, ULONG length, LONGLONG offset, ULONG* transferred) {
  *transferred = 0;
  const auto* at = static_cast<const uint8_t*>(buffer);
  do {
    const ULONG piece = std::min<ULONG>(length - *transferred, kernel_host::kMaxPayload);
    Request request = RequestOn(Op::kWrite, handle);
    request.offset = offset + *transferred;
    request.length = piece;
    Reply reply;
    if (!TheConnection().WriteData(handle.kernel, request, at + *transferred, &reply)) {
      return STATUS_INVALID_HANDLE;
    }
    if (!NT_SUCCESS(reply.status)) return reply.status;
    *transferred += static_cast<ULONG>(reply.information);
    if (reply.information < piece) break;
  } while (*transferred < length);
  return STATUS_SUCCESS;
}

NTSTATUS QueryInformation(const nt::Handle& handle, void* information, ULONG length,
                          FILE_INFORMATION_CLASS information_class) {
  Request request = RequestOn(Op::kQueryInformation, handle);
  request.code = information_class;
  request.length = length;
  Reply reply;
  return Call(handle, request, {}, {}, &reply, information, length);
}

NTSTATUS SetInformation(const nt::Handle& handle, const void* information, ULONG length,
                        FILE_INFORMATION_CLASS information_class) {
  Request request = RequestOn(Op::kSetInformation, handle);
  request.code = information_class;
  Reply reply;
  return Call(handle, request, {information, length}, {}, &reply, nullptr, 0);
}

NTSTATUS QueryVolume(const nt::Handle& handle, void* information, ULONG length,
                     FS_INFORMATION_CLASS information_class) {
  Request request = RequestOn(Op::kQueryVolume, handle);
  request.code = information_class;
  request.length = length;
  Reply reply;
  return Call(handle, request, {}, {}, &reply, information, length);
}

NTSTATUS QueryDirectory(const nt::Handle& handle, void* information, ULONG length, const std::u16string* pattern,
                        ULONG_PTR* returned) {
  *returned = 0;
  Request request = RequestOn(Op::kQueryDirectory, handle);
  request.code = FileBothDirectoryInformation;
  request.length = length;
  request.flags = pattern != nullptr ? kernel_host::kHasPattern : 0;
  Reply reply;
  const NTSTATUS status =
      Call(handle, request, pattern != nullptr ? TextPiece(*pattern) : Piece{}, {}, &reply, information, length);
  if (NT_SUCCESS(status)) *returned = reply.information;
  return status;
}

NTSTATUS Flush(const nt::Handle& handle) {
  Request request = RequestOn(Op::kFlush, handle);
  Reply reply;
  return Call(handle, request, {}, {}, &reply, nullptr, 0);
}

namespace {

NTSTATUS Control(Op op, const nt::Handle& handle, ULONG code, void* input, ULONG input_length, void* output,
                 ULONG output_length, ULONG_PTR* returned) {
  *returned = 0;
  Request request = RequestOn(op, handle);
  request.code = code;
  request.length = output_length;
  // Only the buffered method copies the output; the others let the driver change it in place, so it goes along.
  const bool buffered = METHOD_FROM_CTL_CODE(code) == METHOD_BUFFERED;
  Reply reply;
  const NTSTATUS status = Call(handle, request, {input, input_length}, {output, buffered ? 0 : output_length},
                               &reply, output, output_length);
  if (reply.status == status) *returned = reply.information;
  return status;
}

}  // namespace

NTSTATUS DeviceControl(const nt::Handle& handle, ULONG code, void* input, ULONG input_length, void* output,
                       ULONG output_length, ULONG_PTR* returned) {
  return Control(Op::kDeviceControl, handle, code, input, input_length, output, output_length, returned);
}

NTSTATUS FsControl(const nt::Handle& handle, ULONG code, void* input, ULONG input_length, void* output,
                   ULONG output_length, ULONG_PTR* returned) {
  return Control(Op::kFsControl, handle, code, input, input_length, output, output_length, returned);
}

NTSTATUS Close(const nt::Handle& handle) {
  Request request = RequestOn(Op::kClose, handle);
  Reply reply;
  return Call(handle, request, {}, {}, &reply, nullptr, 0);
}

NTSTATUS LoadDriver(const std::u16string& service) {
  Reply reply;
  return ServiceCall(Op::kLoadDriver, service, &reply);
}

NTSTATUS UnloadDriver(const std::u16string& service) {
  Reply reply;
  return ServiceCall(Op::kUnloadDriver, service, &reply);
}

NTSTATUS DriverRunning(const std::u16string& service, bool* running) {
  Reply reply;
  const NTSTATUS status = ServiceCall(Op::kDriverRunning, service, &reply);
  *running = NT_SUCCESS(status) && reply.information != 0;
  return status;
}

}  // namespace xp::kernel32::host
