// The token's firmware: its register machine over the flash, the password block and the AES engine. It acts on
// a TokenState that the driver loads and stores around each request; results are 0 or a Win32 error code.
#pragma once

#include <cstdint>
#include <optional>

#include "token_state.h"

namespace xp::usbtoken {

// The flash address of `length` bytes at (block, offset). An offset of 64 or more counts from the first block
// of the block's page, so the identity area's chunk sequence (8,0) .. (8,56) (9,64) (10,72) .. (15,112) (8,120)
// covers page 1's bytes 0..127 one to one. nullopt when the bytes do not lie inside the flash.
std::optional<size_t> FlashAddress(uint8_t block, uint8_t offset, size_t length);

class Firmware {
 public:
  explicit Firmware(TokenState& state) : state_(state) {}

  DWORD ReadRegister(uint16_t reg, uint16_t count, uint8_t* out);
  DWORD WriteRegister(uint16_t reg, uint16_t count, const uint8_t* data);
  // What plugging in and a soft reset do: every register and sequence starts afresh, the password is no
  // longer accepted.
  void ResetVolatile();

 private:
  DWORD Command(uint8_t command);
  DWORD ComparePasswordByte();
  DWORD ProgramFlash(size_t length);
  DWORD ReadFlash(size_t length);
  DWORD LoadByte(uint8_t index);
  DWORD ProgramPasswordBlock();
  DWORD AesCommand(uint8_t command);
  uint8_t ReadStatus();
  uint8_t ReadAesStatus();

  TokenState& state_;
};

}  // namespace xp::usbtoken
