// A program's connection to a kernel host, spoken in the host's own records, for tests that need to act as
// several programs at once or to send what kernel32 never would.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "xp/kernel_protocol.h"

namespace xp::ntos::host::testing {

struct Answer {
  kernel_host::Reply reply;
  std::vector<uint8_t> payload;
  bool delivered = false;  // false: the host ended the connection
};

class HostConnection {
 public:
  explicit HostConnection(const std::filesystem::path& machine_dir);
  ~HostConnection();
  HostConnection(const HostConnection&) = delete;
  HostConnection& operator=(const HostConnection&) = delete;

  bool connected() const { return fd_ >= 0; }
  Answer Call(kernel_host::Request request, const std::vector<uint8_t>& payload = {});
  // Opens an NT name ("\??\C:\a.txt") for reading and writing with the given sharing and disposition.
  Answer Open(const std::u16string& name, uint32_t share, uint32_t disposition);
  Answer Write(uint64_t handle, const std::string& data, int64_t offset = 0);
  Answer Read(uint64_t handle, uint32_t length, int64_t offset = 0);
  Answer Service(kernel_host::Op op, const std::u16string& service);
  void Disconnect();

 private:
  int fd_ = -1;
};

std::vector<uint8_t> Utf16Bytes(const std::u16string& text);

}  // namespace xp::ntos::host::testing
