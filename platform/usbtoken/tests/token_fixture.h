// A fresh machine with one provisioned, plugged token, and a channel that speaks the driver's request buffer,
// for the emulated token's tests.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "scratch_machine.h"
#include "xp/usbtoken.h"

namespace xp::usbtoken {

// One open of a token, sending 20-byte requests as the token library does.
class Channel {
 public:
  explicit Channel(std::shared_ptr<xp::DeviceFile> device) : device_(std::move(device)) {}

  DWORD Write(uint16_t reg, const std::vector<uint8_t>& data);
  DWORD Read(uint16_t reg, uint16_t count, std::vector<uint8_t>* out = nullptr);
  DWORD Command(uint8_t command) { return Write(0x30, {command}); }
  uint8_t Status();
  DWORD ReadCounter(uint16_t* value);
  DWORD WriteCounter(uint32_t value);
  // Address register, then a read command (0x0A or 0x0B with n-1 in the high nibble), then register 0x3C.
  DWORD ReadChunk(uint8_t block, uint8_t offset, uint8_t command, size_t n, std::vector<uint8_t>* out);
  DWORD ProgramChunk(uint8_t block, uint8_t offset, const std::vector<uint8_t>& data);
  DWORD ErasePage(uint8_t page);
  // Bytes 1..63 of the password block built from `password`, one compare command each.
  DWORD ComparePassword(const std::string& password);
  DWORD ProgramPassword(const std::string& password);
  // Select the slot, load map byte 256 + selector[i] as input byte i, prepare the key, encrypt `block`.
  DWORD Solve(uint8_t slot, const std::array<uint8_t, 16>& selector, const std::array<uint8_t, 16>& block,
              std::array<uint8_t, 16>* answer);

  xp::DeviceFile& device() { return *device_; }

 private:
  std::shared_ptr<xp::DeviceFile> device_;
};

std::array<uint8_t, kPasswordBlockSize> PasswordBlock(const std::string& password);

class TokenTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Opens the first token's interface; fails the test when it does not open.
  Channel Open(const std::string& id = "");
  Snapshot Look(const std::string& id = "");

  std::optional<xp::test::ScratchMachine> machine_;
  std::filesystem::path root_;
  std::string id_;  // the machine's token, made from seed 0x5EED
};

}  // namespace xp::usbtoken
