// The raw host connection of host_connection.h.
#include "host_connection.h"

#include <unistd.h>

#include <cstring>

#include "ddk/ntifs.h"

namespace xp::ntos::host::testing {

using kernel_host::Op;
using kernel_host::Request;

std::vector<uint8_t> Utf16Bytes(const std::u16string& text) {
  std::vector<uint8_t> bytes(text.size() * 2);
  std::memcpy(bytes.data(), text.data(), bytes.size());
  return bytes;
}

HostConnection::HostConnection(const std::filesystem::path& machine_dir) {
  sockaddr_un address;
  int folder = -1;
  if (kernel_host::SocketAddress(kernel_host::SocketPath(machine_dir), &address, &folder)) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) Disconnect();
  }
  if (folder >= 0) ::close(folder);
}

HostConnection::~HostConnection() { Disconnect(); }

void HostConnection::Disconnect() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

Answer HostConnection::Call(Request request, const std::vector<uint8_t>& payload) {
  Answer answer;
  request.payload = static_cast<uint32_t>(payload.size());
  iovec pieces[2] = {{&request, sizeof request}, {const_cast<uint8_t*>(payload.data()), payload.size()}};
  if (fd_ < 0 || !kernel_host::SendAll(fd_, pieces, payload.empty() ? 1 : 2) ||
      !kernel_host::ReceiveAll(fd_, &answer.reply, sizeof answer.reply)) {
    return answer;
  }
  answer.payload.resize(answer.reply.payload);
  answer.delivered =
      answer.payload.empty() || kernel_host::ReceiveAll(fd_, answer.payload.data(), answer.payload.size());
  return answer;
}

Answer HostConnection::Open(const std::u16string& name, uint32_t share, uint32_t disposition) {
  Request request;
  request.op = Op::kOpen;
  request.access = GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE;
  request.share = share;
  request.disposition = disposition;
  request.options = FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE;
  return Call(request, Utf16Bytes(name));
}

Answer HostConnection::Write(uint64_t handle, const std::string& data, int64_t offset) {
  Request request;
  request.op = Op::kWrite;
  request.handle = handle;
  request.offset = offset;
  return Call(request, std::vector<uint8_t>(data.begin(), data.end()));
}

Answer HostConnection::Read(uint64_t handle, uint32_t length, int64_t offset) {
  Request request;
  request.op = Op::kRead;
  request.handle = handle;
  request.offset = offset;
  request.length = length;
  return Call(request);
}

Answer HostConnection::Service(Op op, const std::u16string& service) {
  Request request;
  request.op = op;
  return Call(request, Utf16Bytes(service));
}

}  // namespace xp::ntos::host::testing
