// The token tests' machine and request channel.
#include "token_fixture.h"

#include <algorithm>
#include <cstring>

namespace xp::usbtoken {

DWORD Channel::Write(uint16_t reg, const std::vector<uint8_t>& data) {
  uint8_t buffer[kRequestSize] = {};
  buffer[0] = static_cast<uint8_t>(reg);
  buffer[1] = static_cast<uint8_t>(reg >> 8);
  buffer[2] = static_cast<uint8_t>(data.size());
  buffer[3] = static_cast<uint8_t>(data.size() >> 8);
  std::memcpy(buffer + 4, data.data(), std::min<size_t>(data.size(), kRequestSize - 4));
  DWORD returned = 0;
  return device_->IoControl(kWriteRegister, buffer, kRequestSize, buffer, kRequestSize, &returned);
}

DWORD Channel::Read(uint16_t reg, uint16_t count, std::vector<uint8_t>* out) {
  uint8_t buffer[kRequestSize] = {};
  buffer[0] = static_cast<uint8_t>(reg);
  buffer[1] = static_cast<uint8_t>(reg >> 8);
  buffer[2] = static_cast<uint8_t>(count);
  buffer[3] = static_cast<uint8_t>(count >> 8);
  DWORD returned = 0;
  const DWORD result = device_->IoControl(kReadRegister, buffer, kRequestSize, buffer, kRequestSize, &returned);
  if (result == ERROR_SUCCESS && out != nullptr) out->assign(buffer + 4, buffer + 4 + count);
  return result;
}

uint8_t Channel::Status() {
  std::vector<uint8_t> status;
  EXPECT_EQ(Read(0x31, 1, &status), ERROR_SUCCESS);
  return status.empty() ? 0xEE : status[0];
}

DWORD Channel::ReadCounter(uint16_t* value) {
  uint8_t buffer[kRequestSize] = {0xFF, 0x00, 8, 0};
  DWORD returned = 0;
  const DWORD result = device_->IoControl(kReadCounter, buffer, kRequestSize, buffer, kRequestSize, &returned);
  *value = static_cast<uint16_t>(buffer[8] | (buffer[9] << 8));
  return result;
}

DWORD Channel::WriteCounter(uint32_t value) {
  uint8_t buffer[kRequestSize] = {0xFF, 0x00, 8, 0};
  for (int i = 0; i < 4; ++i) buffer[8 + i] = static_cast<uint8_t>(value >> (8 * i));
  DWORD returned = 0;
  return device_->IoControl(kWriteCounter, buffer, kRequestSize, buffer, kRequestSize, &returned);
}

DWORD Channel::ReadChunk(uint8_t block, uint8_t offset, uint8_t command, size_t n, std::vector<uint8_t>* out) {
  if (DWORD r = Write(0x32, {block, offset})) return r;
  if (DWORD r = Command(static_cast<uint8_t>(((n - 1) << 4) | command))) return r;
  std::vector<uint8_t> data;
  if (DWORD r = Read(0x3C, 8, &data)) return r;
  out->assign(data.begin(), data.begin() + static_cast<long>(n));
  return ERROR_SUCCESS;
}

DWORD Channel::ProgramChunk(uint8_t block, uint8_t offset, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> address_data(2 + std::max<size_t>(data.size(), 8), 0);
  address_data[0] = block;
  address_data[1] = offset;
  std::copy(data.begin(), data.end(), address_data.begin() + 2);
  if (DWORD r = Write(0x32, address_data)) return r;
  return Command(static_cast<uint8_t>(((data.size() - 1) << 4) | 0x05));
}

DWORD Channel::ErasePage(uint8_t page) {
  if (DWORD r = Write(0x32, {static_cast<uint8_t>(page * 8), 0})) return r;
  return Command(0x06);
}

std::array<uint8_t, kPasswordBlockSize> PasswordBlock(const std::string& password) {
  std::array<uint8_t, kPasswordBlockSize> block;
  block.fill(0xFF);
  block[0] = 0x00;
  std::memcpy(block.data() + 1, password.data(), std::min<size_t>(password.size(), 63));
  return block;
}

DWORD Channel::ComparePassword(const std::string& password) {
  const auto block = PasswordBlock(password);
  for (size_t i = 1; i < block.size(); ++i) {
    if (DWORD r = Write(0x34, {block[i]})) return r;
    if (DWORD r = Command(0x02)) return r;
  }
  return ERROR_SUCCESS;
}

DWORD Channel::ProgramPassword(const std::string& password) {
  const auto block = PasswordBlock(password);
  for (uint8_t k = 0; k < 8; ++k) {
    std::vector<uint8_t> data(10, 0);
    data[1] = static_cast<uint8_t>(8 * k);
    std::copy(block.begin() + 8 * k, block.begin() + 8 * k + 8, data.begin() + 2);
    if (DWORD r = Write(0x32, data)) return r;
    if (DWORD r = Command(0x77)) return r;
  }
  return ERROR_SUCCESS;
}

DWORD Channel::Solve(uint8_t slot, const std::array<uint8_t, 16>& selector, const std::array<uint8_t, 16>& block,
                     std::array<uint8_t, 16>* answer) {
  if (DWORD r = Write(0x30, {static_cast<uint8_t>(slot * 16 + 0x0C), 0, 0, 0})) return r;
  for (uint8_t i = 0; i < 16; ++i) {
    if (DWORD r = Write(0x32, {static_cast<uint8_t>(4 + (selector[i] >> 6)), static_cast<uint8_t>(selector[i] & 63)}))
      return r;
    if (DWORD r = Command(static_cast<uint8_t>(i * 16 + 0x09))) return r;
  }
  if (DWORD r = Write(0x20, {0x08})) return r;
  if (DWORD r = Write(0x10, std::vector<uint8_t>(block.begin(), block.end()))) return r;
  if (DWORD r = Write(0x20, {0x04})) return r;
  std::vector<uint8_t> out;
  if (DWORD r = Read(0x50, 16, &out)) return r;
  std::copy(out.begin(), out.end(), answer->begin());
  return ERROR_SUCCESS;
}

void TokenTest::SetUp() {
  machine_.emplace(test::ScratchOptions{.token_seed = 0x5EED});
  root_ = machine_->root();
  id_ = machine_->token_id();
}

void TokenTest::TearDown() { machine_.reset(); }

Channel TokenTest::Open(const std::string& id) {
  DWORD error = 0xDEADBEEF;
  std::shared_ptr<xp::DeviceFile> device = OpenInterface(InterfacePath(id.empty() ? id_ : id), &error);
  EXPECT_NE(device, nullptr) << "error " << error;
  return Channel(std::move(device));
}

Snapshot TokenTest::Look(const std::string& id) {
  std::optional<Snapshot> snapshot = Inspect(root_, id.empty() ? id_ : id);
  EXPECT_TRUE(snapshot.has_value());
  return snapshot.value_or(Snapshot{});
}

}  // namespace xp::usbtoken
