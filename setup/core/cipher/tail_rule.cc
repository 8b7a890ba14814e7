// The tail rule's XOR and 3-bit rotation over at most 15 bytes.
#include "tail_rule.h"

namespace tavik::cipher {
namespace {

constexpr int kRotation = 3;

void XorWithKeyBytes(const uint8_t* expanded_key, uint8_t* tail, size_t length) {
  for (size_t i = 0; i < length; ++i) tail[i] ^= expanded_key[8 * i + 4];
}

// Rotates left as one bit string whose most significant bits are in tail[0].
void RotateLeft(uint8_t* tail, size_t length) {
  const uint8_t first = tail[0];
  for (size_t i = 0; i + 1 < length; ++i) {
    tail[i] = static_cast<uint8_t>(tail[i] << kRotation | tail[i + 1] >> (8 - kRotation));
  }
  tail[length - 1] = static_cast<uint8_t>(tail[length - 1] << kRotation | first >> (8 - kRotation));
}

void RotateRight(uint8_t* tail, size_t length) {
  const uint8_t last = tail[length - 1];
  for (size_t i = length - 1; i > 0; --i) {
    tail[i] = static_cast<uint8_t>(tail[i - 1] << (8 - kRotation) | tail[i] >> kRotation);
  }
  tail[0] = static_cast<uint8_t>(last << (8 - kRotation) | tail[0] >> kRotation);
}

}  // namespace

void EncryptTail(const uint8_t expanded_key[kAes128ExpandedKeySize], uint8_t* tail, size_t length) {
  if (length == 0) return;
  XorWithKeyBytes(expanded_key, tail, length);
  RotateLeft(tail, length);
}

void DecryptTail(const uint8_t expanded_key[kAes128ExpandedKeySize], uint8_t* tail, size_t length) {
  if (length == 0) return;
  RotateRight(tail, length);
  XorWithKeyBytes(expanded_key, tail, length);
}

}  // namespace tavik::cipher
