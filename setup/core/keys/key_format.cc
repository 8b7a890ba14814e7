// The key-record transforms of key_format.h.
#include "key_format.h"

#include <cstring>

#include "aes.h"

namespace tavik::keys {
namespace {

// Every key here is raw 16 bytes: the expanded KN's upper half never reaches the cipher.
void Crypt(const uint8_t kn[kKeySize], const uint8_t* in, uint8_t* out, bool encrypt) {
  cipher::AesKey schedule;
  cipher::ExpandKey(kn, &schedule);
  if (in != out) std::memmove(out, in, kXcfkSize);
  if (encrypt) {
    cipher::EncryptBlocks(schedule, out, kXcfkSize / cipher::kAesBlockSize);
  } else {
    cipher::DecryptBlocks(schedule, out, kXcfkSize / cipher::kAesBlockSize);
  }
  std::memset(&schedule, 0, sizeof schedule);
}

}  // namespace

void ExpandCfk(const uint8_t cfk[kKeySize], uint8_t xcfk[kXcfkSize]) {
  for (size_t i = 0; i < kKeySize; ++i) {
    xcfk[2 * i] = static_cast<uint8_t>(kXcfkMarker[i]);
    xcfk[2 * i + 1] = cfk[i];
  }
}

void ExpandKn(const uint8_t kn[kKeySize], uint8_t out[kExpandedKnSize]) {
  uint8_t copy[kKeySize];
  std::memcpy(copy, kn, kKeySize);
  std::memcpy(out, copy, kKeySize);
  for (size_t half = 0; half < 2; ++half) {
    for (size_t j = 0; j < 8; ++j) {
      uint8_t column = 0;
      for (size_t k = 0; k < 8; ++k) {
        if ((copy[8 * half + k] >> j) & 1) column |= static_cast<uint8_t>(1u << (7 - k));
      }
      out[kKeySize + 8 * half + j] = column;
    }
  }
}

bool IsValidXcfk(const uint8_t xcfk[kXcfkSize]) {
  for (size_t i = 0; i < kMarkerLength; ++i) {
    if (xcfk[2 * i] != static_cast<uint8_t>(kXcfkMarker[i])) return false;
  }
  return true;
}

void WrapXcfk(const uint8_t kn[kKeySize], const uint8_t xcfk[kXcfkSize], uint8_t efkn[kEfknSize]) {
  Crypt(kn, xcfk, efkn, /*encrypt=*/true);
}

void UnwrapEfkn(const uint8_t kn[kKeySize], const uint8_t efkn[kEfknSize], uint8_t xcfk[kXcfkSize]) {
  Crypt(kn, efkn, xcfk, /*encrypt=*/false);
}

bool KnOpensEfkn(const uint8_t kn[kKeySize], const uint8_t efkn[kEfknSize]) {
  uint8_t xcfk[kXcfkSize];
  UnwrapEfkn(kn, efkn, xcfk);
  const bool valid = IsValidXcfk(xcfk);
  std::memset(xcfk, 0, sizeof xcfk);
  return valid;
}

}  // namespace tavik::keys
