// The host's side of each kernel call: the request's buffers become the program's user buffers for the call (so a
// driver probing any other address is refused), the call runs in user mode, and only the bytes the program's
// buffers would hold go back.
#include "request_handler.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

#include "host_control.h"
#include "xp/faults.h"
#include "xp/machine.h"
#include "xp/registry.h"

namespace xp::ntos::host {
namespace {

using kernel_host::Op;
using kernel_host::Reply;
using kernel_host::Request;

// The fault point of a write that reached the kernel; its path is the file's name on its volume ("\dir\file").
constexpr char kPowerLossAfterWrite[] = "kernel:write";

Reply Status(NTSTATUS status, uint64_t information = 0) {
  Reply reply;
  reply.status = status;
  reply.information = information;
  return reply;
}

std::u16string Text(const std::vector<uint8_t>& payload, size_t from = 0) {
  std::u16string text((payload.size() - std::min(from, payload.size())) / 2, u'\0');
  if (!text.empty()) std::memcpy(text.data(), payload.data() + from, text.size() * 2);
  return text;
}

HANDLE AsHandle(uint64_t value) { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value)); }

bool Owns(const Client& client, uint64_t handle) { return client.handles.count(handle) != 0; }

UserBuffersScope::Range RangeOf(const void* start, size_t length) { return {start, length}; }

}  // namespace

SharedBuffer::~SharedBuffer() {
  if (data_ != nullptr) ::munmap(data_, kernel_host::kSharedBytes);
  if (fd_ >= 0) ::close(fd_);
}

bool SharedBuffer::Make() {
  if (data_ != nullptr) return true;
  fd_ = ::memfd_create("xp-kernel-io", MFD_CLOEXEC);
  if (fd_ < 0 || ::ftruncate(fd_, kernel_host::kSharedBytes) != 0) return false;
  void* mapped = ::mmap(nullptr, kernel_host::kSharedBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
  if (mapped == MAP_FAILED) return false;
  data_ = static_cast<uint8_t*>(mapped);
  return true;
}

void SharedBuffer::PublishGeneration(uint64_t generation) {
  if (data_ == nullptr) return;
  std::atomic_ref<uint64_t>(*reinterpret_cast<uint64_t*>(data_ + kernel_host::kGenerationOffset))
      .store(generation, std::memory_order_release);
}

uint8_t* RequestHandler::Scratch(size_t size, bool zeroed) {
  if (scratch_.size() < size || scratch_.empty()) scratch_.resize(std::max<size_t>(size, 1));
  if (zeroed) std::memset(scratch_.data(), 0, size);
  return scratch_.data();
}

Reply RequestHandler::Handle(Client& client, const Request& request, const uint8_t** reply_payload) {
  *reply_payload = nullptr;
  kernel_.MakeCurrent();
  const bool needs_handle = request.op >= Op::kRead && request.op <= Op::kClose;
  if (needs_handle && !Owns(client, request.handle)) return Status(STATUS_INVALID_HANDLE);
  Reply reply;
  switch (request.op) {
    case Op::kHello: return Hello(client, request);
    case Op::kOpen: return Open(client, request);
    case Op::kRead: reply = Read(client, request); break;
    case Op::kWrite: return Write(client, request);
    case Op::kQueryInformation:
    case Op::kQueryVolume: reply = Query(client, request); break;
    case Op::kSetInformation: return SetInformation(client, request);
    case Op::kQueryDirectory: reply = QueryDirectory(client, request); break;
    case Op::kFlush: {
      IO_STATUS_BLOCK io_status{};
      return Status(NtFlushBuffersFile(AsHandle(request.handle), &io_status));
    }
    case Op::kDeviceControl:
    case Op::kFsControl: reply = Control(client, request); break;
    case Op::kClose:
      client.handles.erase(request.handle);
      return Status(NtClose(AsHandle(request.handle)));
    case Op::kLoadDriver:
    case Op::kUnloadDriver:
    case Op::kDriverRunning: return Service(client, request);
    case Op::kWriteBack:
      kernel_.LazyWriterTick();
      return Status(STATUS_SUCCESS);
    default: return Status(STATUS_NOT_IMPLEMENTED);
  }
  if (reply.payload != 0) *reply_payload = scratch_.data();
  return reply;
}

void RequestHandler::CloseAll(Client& client) {
  kernel_.MakeCurrent();
  for (uint64_t handle : client.handles) NtClose(AsHandle(handle));
  client.handles.clear();
}

Reply RequestHandler::Open(Client& client, const Request& request) {
  std::u16string name = Text(client.payload);
  UNICODE_STRING counted = NtName(name);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &counted, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
  IO_STATUS_BLOCK io_status{};
  HANDLE handle = nullptr;
  NTSTATUS status;
  {
    UserBuffersScope user({RangeOf(name.data(), name.size() * sizeof(char16_t))});
    status = NtCreateFile(&handle, request.access, &attributes, &io_status, nullptr, request.attributes, request.share,
                          request.disposition, request.options, nullptr, 0);
  }
  Reply reply = Status(status, io_status.Information);
  if (NT_SUCCESS(status)) {
    reply.handle = reinterpret_cast<uintptr_t>(handle);
    client.handles.insert(reply.handle);
  }
  return reply;
}

Reply RequestHandler::Hello(Client& client, const Request& request) {
  const bool wants_buffer = (request.flags & kernel_host::kSharedBuffer) != 0;
  return Status(!wants_buffer || client.shared.Make() ? STATUS_SUCCESS : STATUS_INSUFFICIENT_RESOURCES);
}

Reply RequestHandler::Read(Client& client, const Request& request) {
  const bool shared = (request.flags & kernel_host::kSharedBuffer) != 0;
  if (shared && client.shared.data() == nullptr) return Status(STATUS_INVALID_PARAMETER);
  uint8_t* buffer = shared ? client.shared.data() : Scratch(request.length, false);
  IO_STATUS_BLOCK io_status{};
  LARGE_INTEGER at;
  at.QuadPart = request.offset;
  NTSTATUS status;
  {
    UserBuffersScope user({RangeOf(buffer, request.length)});
    status = NtReadFile(AsHandle(request.handle), nullptr, nullptr, nullptr, &io_status, buffer, request.length, &at,
                        nullptr);
  }
  Reply reply = Status(status);
  if (NT_SUCCESS(status)) {
    reply.information = std::min<uint64_t>(io_status.Information, request.length);
    if (!shared) reply.payload = static_cast<uint32_t>(reply.information);
  }
  return reply;
}

Reply RequestHandler::Write(Client& client, const Request& request) {
  const bool shared = (request.flags & kernel_host::kSharedBuffer) != 0;
  if (shared && client.shared.data() == nullptr) return Status(STATUS_INVALID_PARAMETER);
  uint8_t* data = shared ? client.shared.data() : client.payload.data();
  const auto length = static_cast<ULONG>(shared ? request.length : client.payload.size());
  IO_STATUS_BLOCK io_status{};
  LARGE_INTEGER at;
  at.QuadPart = request.offset;
  NTSTATUS status;
  {
    UserBuffersScope user({RangeOf(data, length)});
    status = NtWriteFile(AsHandle(request.handle), nullptr, nullptr, nullptr, &io_status, data, length, &at, nullptr);
  }
  // A power loss armed for after this write: it reached the kernel (its cache), and nothing more ever does.
  if (NT_SUCCESS(status) && machine::PowerLossPoint(kPowerLossAfterWrite, NameOf(request.handle))) {
    PowerOff(machine::Root());
  }
  return Status(status, NT_SUCCESS(status) ? io_status.Information : 0);
}

std::string RequestHandler::NameOf(uint64_t handle) const {
  PFILE_OBJECT file = kernel_.FileObjectOf(AsHandle(handle));
  if (file == nullptr || file->FileName.Buffer == nullptr) return std::string();
  return registry::Utf16ToUtf8(std::u16string(file->FileName.Buffer, file->FileName.Length / sizeof(WCHAR)));
}

Reply RequestHandler::Query(Client&, const Request& request) {
  uint8_t* buffer = Scratch(request.length, true);
  IO_STATUS_BLOCK io_status{};
  NTSTATUS status;
  {
    UserBuffersScope user({RangeOf(buffer, request.length)});
    status = request.op == Op::kQueryInformation
                 ? NtQueryInformationFile(AsHandle(request.handle), &io_status, buffer, request.length,
                                          static_cast<FILE_INFORMATION_CLASS>(request.code))
                 : NtQueryVolumeInformationFile(AsHandle(request.handle), &io_status, buffer, request.length,
                                                static_cast<FS_INFORMATION_CLASS>(request.code));
  }
  Reply reply = Status(status, io_status.Information);
  reply.payload = request.length;
  return reply;
}

Reply RequestHandler::SetInformation(Client& client, const Request& request) {
  const auto information_class = static_cast<FILE_INFORMATION_CLASS>(request.code);
  // A rename or link names its target relative to a handle, which must be one of this program's.
  if ((information_class == FileRenameInformation || information_class == FileLinkInformation) &&
      client.payload.size() >= sizeof(FILE_RENAME_INFORMATION)) {
    FILE_RENAME_INFORMATION header;
    std::memcpy(&header, client.payload.data(), sizeof header);
    if (header.RootDirectory != nullptr && !Owns(client, reinterpret_cast<uintptr_t>(header.RootDirectory))) {
      return Status(STATUS_INVALID_HANDLE);
    }
  }
  IO_STATUS_BLOCK io_status{};
  const auto length = static_cast<ULONG>(client.payload.size());
  UserBuffersScope user({RangeOf(client.payload.data(), length)});
  return Status(NtSetInformationFile(AsHandle(request.handle), &io_status, client.payload.data(), length,
                                     information_class));
}

Reply RequestHandler::QueryDirectory(Client& client, const Request& request) {
  std::u16string pattern = Text(client.payload);
  UNICODE_STRING counted = NtName(pattern);
  const bool has_pattern = (request.flags & kernel_host::kHasPattern) != 0;
  uint8_t* buffer = Scratch(request.length, true);
  IO_STATUS_BLOCK io_status{};
  NTSTATUS status;
  {
    UserBuffersScope user({RangeOf(buffer, request.length), RangeOf(pattern.data(), pattern.size() * 2)});
    status = NtQueryDirectoryFile(AsHandle(request.handle), nullptr, nullptr, nullptr, &io_status, buffer,
                                  request.length, static_cast<FILE_INFORMATION_CLASS>(request.code), FALSE,
                                  has_pattern ? &counted : nullptr, FALSE);
  }
  Reply reply = Status(status, io_status.Information);
  reply.payload = static_cast<uint32_t>(std::min<uint64_t>(io_status.Information, request.length));
  return reply;
}

Reply RequestHandler::Control(Client& client, const Request& request) {
  const bool buffered = METHOD_FROM_CTL_CODE(request.code) == METHOD_BUFFERED;
  const size_t output_given = buffered ? 0 : request.length;
  if (client.payload.size() < output_given) return Status(STATUS_INVALID_PARAMETER);
  const auto input_length = static_cast<ULONG>(client.payload.size() - output_given);
  uint8_t* output = Scratch(request.length, true);
  if (!buffered && request.length != 0) std::memcpy(output, client.payload.data() + input_length, request.length);
  void* input = input_length != 0 ? client.payload.data() : nullptr;
  IO_STATUS_BLOCK io_status{};
  NTSTATUS status;
  {
    UserBuffersScope user({RangeOf(client.payload.data(), client.payload.size()), RangeOf(output, request.length)});
    void* output_or_null = request.length != 0 ? output : nullptr;
    status = request.op == Op::kDeviceControl
                 ? NtDeviceIoControlFile(AsHandle(request.handle), nullptr, nullptr, nullptr, &io_status,
                                         request.code, input, input_length, output_or_null, request.length)
                 : NtFsControlFile(AsHandle(request.handle), nullptr, nullptr, nullptr, &io_status, request.code,
                                   input, input_length, output_or_null, request.length);
  }
  Reply reply = Status(status, io_status.Information);
  reply.payload = buffered ? static_cast<uint32_t>(std::min<uint64_t>(io_status.Information, request.length))
                           : request.length;
  return reply;
}

Reply RequestHandler::Service(Client& client, const Request& request) {
  const std::u16string service = Text(client.payload);
  switch (request.op) {
    case Op::kLoadDriver: return Status(kernel_.LoadService(service));
    case Op::kUnloadDriver: return Status(kernel_.UnloadService(service));
    default: return Status(STATUS_SUCCESS, kernel_.DriverRunning(service) ? 1 : 0);
  }
}

}  // namespace xp::ntos::host
