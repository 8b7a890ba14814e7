// The token's own AES-128 engine (encryption only, which is all the token does). Kept apart from the system's
// cipher so that a fault in one cannot hide behind the same fault in the other.
#pragma once

#include <array>
#include <cstdint>

namespace xp::usbtoken {

using AesBlock = std::array<uint8_t, 16>;

// The 11 round keys of a 16-byte key, as 44 big-endian words.
std::array<uint32_t, 44> ExpandAesKey(const AesBlock& key);

AesBlock AesEncrypt(const AesBlock& key, const AesBlock& plain);

}  // namespace xp::usbtoken
