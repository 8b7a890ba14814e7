// The register machine: which registers exist and how wide they are, and what each command written to register
// 0x30 and each AES command written to register 0x20 does.
#include "firmware.h"

#include <algorithm>
#include <cstring>

#include "aes128.h"
#include "faults.h"

namespace xp::usbtoken {
namespace {

struct RegisterWidth {
  uint16_t reg;
  uint16_t read;   // bytes a read may ask for; 0: not readable
  uint16_t write;  // bytes a write may carry; 0: not writable
};

constexpr RegisterWidth kRegisters[] = {
    {0x10, 0, 16},  // AES input block
    {0x20, 1, 1},   // AES command (write) and status (read)
    {0x21, 0, 1},   // soft reset
    {0x30, 0, 4},   // command; the key-slot command comes with three zero bytes
    {0x31, 1, 0},   // status
    {0x32, 0, 10},  // block, offset, up to 8 data bytes
    {0x34, 0, 1},   // password byte to compare
    {0x3C, 8, 0},   // read data
    {0x50, 16, 0},  // AES output block
};

const RegisterWidth* FindRegister(uint16_t reg) {
  for (const RegisterWidth& r : kRegisters) {
    if (r.reg == reg) return &r;
  }
  return nullptr;
}

AesBlock SlotKey(const TokenState& state, uint8_t slot) {
  AesBlock key;
  std::memcpy(key.data(), &state.flash[16 * slot], key.size());
  return key;
}

}  // namespace

std::optional<size_t> FlashAddress(uint8_t block, uint8_t offset, size_t length) {
  const size_t address = offset < kBlockSize ? size_t{block} * kBlockSize + offset
                                             : size_t{block & 0xF8u} * kBlockSize + offset;
  if (address + length > kFlashSize) return std::nullopt;
  return address;
}

DWORD Firmware::ReadRegister(uint16_t reg, uint16_t count, uint8_t* out) {
  const RegisterWidth* r = FindRegister(reg);
  if (r == nullptr || r->read == 0) return ERROR_INVALID_FUNCTION;
  if (count == 0 || count > r->read) return ERROR_INVALID_PARAMETER;
  VolatileState& v = state_.vol;
  switch (reg) {
    case 0x20:
      out[0] = ReadAesStatus();
      break;
    case 0x31:
      out[0] = ReadStatus();
      break;
    case 0x3C:
      std::memcpy(out, v.read_data.data(), count);
      break;
    case 0x50:
      std::memcpy(out, v.aes_out.data(), count);
      break;
  }
  return ERROR_SUCCESS;
}

DWORD Firmware::WriteRegister(uint16_t reg, uint16_t count, const uint8_t* data) {
  const RegisterWidth* r = FindRegister(reg);
  if (r == nullptr || r->write == 0) return ERROR_INVALID_FUNCTION;
  if (count == 0 || count > r->write) return ERROR_INVALID_PARAMETER;
  VolatileState& v = state_.vol;
  switch (reg) {
    case 0x10:
      std::memcpy(v.aes_in.data(), data, count);
      return ERROR_SUCCESS;
    case 0x20:
      return AesCommand(data[0]);
    case 0x21:
      if (data[0] != 1) return ERROR_INVALID_PARAMETER;
      ResetVolatile();
      return ERROR_SUCCESS;
    case 0x30:
      return Command(data[0]);
    case 0x32:
      std::memcpy(v.address_data.data(), data, count);
      return ERROR_SUCCESS;
    case 0x34:
      v.password_byte = data[0];
      return ERROR_SUCCESS;
  }
  return ERROR_INVALID_FUNCTION;
}

void Firmware::ResetVolatile() { state_.vol = VolatileState{}; }

// Low nibble: the command; high nibble: a byte count less one, a load index or a key slot.
DWORD Firmware::Command(uint8_t command) {
  const uint8_t code = command & 0x0F;
  const uint8_t high = command >> 4;
  VolatileState& v = state_.vol;
  DWORD result = ERROR_INVALID_FUNCTION;
  switch (code) {
    case 0x02:
      return high == 0 ? ComparePasswordByte() : ERROR_INVALID_FUNCTION;
    case 0x03:
      if (high != 0) break;
      std::fill(state_.flash.begin() + 2 * kPageSize, state_.flash.end(), 0xFF);
      state_.password = CleanPasswordBlock();
      v.accepted = false;
      result = ERROR_SUCCESS;
      break;
    case 0x05:
      result = ProgramFlash(high + 1u);
      break;
    case 0x06:
      if (high != 0) break;
      std::fill_n(state_.flash.begin() + (v.address_data[0] >> 3) * kPageSize, kPageSize, 0xFF);
      result = ERROR_SUCCESS;
      break;
    case 0x07:
      if (high == 7) result = ProgramPasswordBlock();
      break;
    case 0x08:
      if (high != 0) break;
      v.accepted = false;
      result = ERROR_SUCCESS;
      break;
    case 0x09:
      result = LoadByte(high);
      break;
    case 0x0A:
    case 0x0B:
      result = ReadFlash(high + 1u);
      break;
    case 0x0C:
      v.slot = high;
      result = ERROR_SUCCESS;
      break;
    case 0x0E:
      if (high != 0) break;
      state_.password = CleanPasswordBlock();
      result = ERROR_SUCCESS;
      break;
  }
  // Any other command breaks off a password comparison in progress.
  if (result == ERROR_SUCCESS) {
    v.compare_index = 0;
    v.compare_mismatch = false;
  }
  return result;
}

// Bytes 1..63 of the password block are compared one per command; the 63rd decides whether the password is
// accepted, and a mismatch anywhere in the sequence withdraws an earlier acceptance.
DWORD Firmware::ComparePasswordByte() {
  VolatileState& v = state_.vol;
  if (v.password_byte != state_.password[1 + v.compare_index]) v.compare_mismatch = true;
  if (++v.compare_index == kPasswordBlockSize - 1) {
    v.accepted = !v.compare_mismatch;
    v.compare_index = 0;
    v.compare_mismatch = false;
  }
  return ERROR_SUCCESS;
}

DWORD Firmware::ProgramFlash(size_t length) {
  const VolatileState& v = state_.vol;
  const std::optional<size_t> address = FlashAddress(v.address_data[0], v.address_data[1], length);
  if (!address) return ERROR_INVALID_PARAMETER;
  for (size_t i = 0; i < length; ++i) {
    uint8_t& cell = state_.flash[*address + i];
    cell = state_.faults.strict_flash ? (cell & v.address_data[2 + i]) : v.address_data[2 + i];
  }
  return ERROR_SUCCESS;
}

// Page 0 holds the key slots and the key-byte map, which never leave the token.
DWORD Firmware::ReadFlash(size_t length) {
  VolatileState& v = state_.vol;
  const std::optional<size_t> address = FlashAddress(v.address_data[0], v.address_data[1], length);
  if (!address) return ERROR_INVALID_PARAMETER;
  if (*address < kPageSize) return ERROR_ACCESS_DENIED;
  v.read_data.fill(0);
  std::memcpy(v.read_data.data(), &state_.flash[*address], length);
  return ERROR_SUCCESS;
}

// Loads one input byte of the next key preparation. The read-data register then shows the first 8 bytes of the
// loaded bytes encrypted under the selected key slot: a keyed answer that gives away no flash byte.
DWORD Firmware::LoadByte(uint8_t index) {
  VolatileState& v = state_.vol;
  const std::optional<size_t> address = FlashAddress(v.address_data[0], v.address_data[1], 1);
  if (!address) return ERROR_INVALID_PARAMETER;
  v.loaded[index] = state_.flash[*address];
  const AesBlock answer = AesEncrypt(SlotKey(state_, v.slot), v.loaded);
  std::memcpy(v.read_data.data(), answer.data(), v.read_data.size());
  return ERROR_SUCCESS;
}

DWORD Firmware::ProgramPasswordBlock() {
  const VolatileState& v = state_.vol;
  const size_t offset = v.address_data[1];
  if (offset + 8 > kPasswordBlockSize) return ERROR_INVALID_PARAMETER;
  std::memcpy(&state_.password[offset], &v.address_data[2], 8);
  return ERROR_SUCCESS;
}

// 0x08 prepares the key: byte i is key slot byte i XOR loaded byte i. 0x04 encrypts the input block with it.
DWORD Firmware::AesCommand(uint8_t command) {
  VolatileState& v = state_.vol;
  if (command == 0x08) {
    const AesBlock slot_key = SlotKey(state_, v.slot);
    for (size_t i = 0; i < v.aes_key.size(); ++i) v.aes_key[i] = slot_key[i] ^ v.loaded[i];
    v.key_prepared = true;
    v.aes_status = 0x02;
    v.key_ready_hidden = state_.faults.key_ready_delay;
    return ERROR_SUCCESS;
  }
  if (command == 0x04) {
    if (!v.key_prepared) return ERROR_NOT_READY;
    v.aes_out = AesEncrypt(v.aes_key, v.aes_in);
    v.aes_status = 0x03;
    v.done_hidden = state_.faults.done_delay;
    return ERROR_SUCCESS;
  }
  return ERROR_INVALID_PARAMETER;
}

uint8_t Firmware::ReadStatus() {
  uint8_t status = StatusByte(state_);
  if (ConsumeCountdown(state_.faults.status_not_ready)) status &= ~0x01;
  return status;
}

uint8_t Firmware::ReadAesStatus() {
  VolatileState& v = state_.vol;
  uint8_t status = v.aes_status;
  if (ConsumeCountdown(v.key_ready_hidden)) status &= ~0x02;
  if (ConsumeCountdown(v.done_hidden)) status &= ~0x01;
  return status;
}

}  // namespace xp::usbtoken
