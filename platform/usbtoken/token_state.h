// Everything a token holds, persistent and volatile, plus the faults a test set on it: the one record that the
// state file stores and every request reads and writes back.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "xp/usbtoken.h"

namespace xp::usbtoken {

inline constexpr size_t kPageSize = 512;
inline constexpr size_t kBlockSize = 64;
inline constexpr size_t kMaxRequestFaults = 16;

// Lost on unplug and on a soft reset; the firmware's registers and its in-flight sequences.
struct VolatileState {
  std::array<uint8_t, 10> address_data{};  // register 0x32: block, offset, up to 8 data bytes
  uint8_t password_byte = 0;               // register 0x34
  uint8_t compare_index = 0;               // password bytes compared so far in this sequence
  bool compare_mismatch = false;
  uint64_t compare_open = 0;  // the open whose compare sequence is in progress
  bool accepted = false;      // status bit 1
  uint8_t slot = 0;
  std::array<uint8_t, 16> loaded{};
  std::array<uint8_t, 8> read_data{};  // register 0x3C
  uint8_t aes_status = 0;              // register 0x20: bit 1 key ready, bit 0 done
  bool key_prepared = false;
  std::array<uint8_t, 16> aes_key{};
  std::array<uint8_t, 16> aes_in{};
  std::array<uint8_t, 16> aes_out{};
  int32_t key_ready_hidden = 0;  // reads of 0x20 that still hide bit 1 (kAlways: all)
  int32_t done_hidden = 0;       // the same for bit 0
};

struct StoredRequestFault {
  bool has_code = false;
  bool has_reg = false;
  uint32_t code = 0;
  uint16_t reg = 0;
  uint32_t skip = 0;
  int32_t times = 0;
  uint32_t error = 0;
};

struct FaultSettings {
  std::vector<StoredRequestFault> requests;
  int32_t status_not_ready = 0;
  int32_t key_ready_delay = 0;
  int32_t done_delay = 0;
  int32_t open_failures = 0;
  uint32_t open_error = 0;
  int32_t close_failures = 0;
  uint32_t close_error = 0;
  uint32_t unplug_after = 0;  // 0: none
  bool strict_flash = false;
};

struct TokenState {
  uint32_t instance = 0;
  uint64_t seed = 0;
  std::array<uint8_t, 16> password_copy_key{};
  bool plugged = false;
  uint64_t plug_generation = 0;  // advances on every unplug, so older handles stay dead
  uint64_t open_serial = 0;      // numbers the opens
  std::array<uint8_t, kFlashSize> flash{};
  std::array<uint8_t, kPasswordBlockSize> password{};
  uint16_t counter = 0;
  VolatileState vol;
  FaultSettings faults;
};

// The password block of a token without a password.
std::array<uint8_t, kPasswordBlockSize> CleanPasswordBlock();

// Byte image of the state file, and back; nullopt for a file that is not a token state.
std::vector<uint8_t> SerializeState(const TokenState& state);
std::optional<TokenState> ParseState(const std::vector<uint8_t>& bytes);

// What a status read returns, faults aside: bit 0 ready, bit 1 password accepted.
uint8_t StatusByte(const TokenState& state);

// The identity text up to its first NUL or 0xFF, at most `limit` characters.
std::string IdentityText(const TokenState& state, size_t limit);

}  // namespace xp::usbtoken
