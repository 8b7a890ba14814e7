// The tail rule: how the last (length mod 16) bytes of an encrypted stream are keyed, so that ciphertext keeps
// the plaintext's length. Byte i is XORed with E[8i+4] of the expanded key, then the bytes are rotated by 3 bits
// as one big-endian bit string (left to encrypt; decryption rotates right first, then XORs).
#pragma once

#include <cstddef>
#include <cstdint>

#include "aes.h"

namespace tavik::cipher {

inline constexpr size_t kMaxTailLength = kAesBlockSize - 1;

// `length` is 0..kMaxTailLength; 0 leaves the bytes as they are. `expanded_key` is E (ExpandedKeyBytes).
void EncryptTail(const uint8_t expanded_key[kAes128ExpandedKeySize], uint8_t* tail, size_t length);
void DecryptTail(const uint8_t expanded_key[kAes128ExpandedKeySize], uint8_t* tail, size_t length);

}  // namespace tavik::cipher
