// AES-128 key expansion and the choice of block engine.
#include "aes128.h"

#include <bit>
#include <cstring>

#include "aes128_engines.h"
#include "aes_tables.h"

namespace tavik::cipher {
namespace {

using internal::kInverseRoundTable;
using internal::kSbox;

constexpr int kRounds = 10;

// InvMixColumns of one 4-byte column, in place: the inverse round table applied to bytes whose substitution
// cancels the table's inverse S-box.
void InvMixColumn(uint8_t* column) {
  uint32_t mixed = 0;
  for (int row = 0; row < 4; ++row) {
    mixed ^= std::rotl(kInverseRoundTable[kSbox[column[row]]], 8 * row);
  }
  for (int row = 0; row < 4; ++row) column[row] = static_cast<uint8_t>(mixed >> (8 * row));
}

bool UseAesNi(Aes128Engine engine) { return engine == Aes128Engine::kFastest && AesNiAvailable(); }

}  // namespace

bool AesNiAvailable() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("aes") && __builtin_cpu_supports("sse4.1");
}

void ExpandKey(const uint8_t key[kAes128KeySize], Aes128Key* out) {
  uint8_t* w = out->forward;  // w + 4i is word w[i]
  std::memcpy(w, key, kAes128KeySize);
  for (int i = 4; i < 4 * (kRounds + 1); ++i) {
    const uint8_t* previous = w + 4 * (i - 1);
    uint8_t temp[4] = {previous[0], previous[1], previous[2], previous[3]};
    if (i % 4 == 0) {  // RotWord, SubWord, Rcon
      const uint8_t first = temp[0];
      temp[0] = static_cast<uint8_t>(kSbox[temp[1]] ^ internal::kRoundConstants[i / 4]);
      temp[1] = kSbox[temp[2]];
      temp[2] = kSbox[temp[3]];
      temp[3] = kSbox[first];
    }
    for (int b = 0; b < 4; ++b) w[4 * i + b] = static_cast<uint8_t>(w[4 * (i - 4) + b] ^ temp[b]);
  }
  for (int round = 0; round <= kRounds; ++round) {
    std::memcpy(out->inverse + 16 * round, out->forward + 16 * (kRounds - round), kAesBlockSize);
  }
  for (int round = 1; round < kRounds; ++round) {
    for (int c = 0; c < 4; ++c) InvMixColumn(out->inverse + 16 * round + 4 * c);
  }
}

void ExpandedKeyBytes(const Aes128Key& key, uint8_t out[kAes128ExpandedKeySize]) {
  std::memcpy(out, key.forward, kAes128ExpandedKeySize);
}

void EncryptBlock(const Aes128Key& key, const uint8_t in[kAesBlockSize], uint8_t out[kAesBlockSize],
                  Aes128Engine engine) {
  std::memmove(out, in, kAesBlockSize);
  EncryptBlocks(key, out, 1, engine);
}

void DecryptBlock(const Aes128Key& key, const uint8_t in[kAesBlockSize], uint8_t out[kAesBlockSize],
                  Aes128Engine engine) {
  std::memmove(out, in, kAesBlockSize);
  DecryptBlocks(key, out, 1, engine);
}

void EncryptBlocks(const Aes128Key& key, uint8_t* data, size_t block_count, Aes128Engine engine) {
  if (UseAesNi(engine)) {
    internal::AesNiEncryptBlocks(key, data, block_count);
  } else {
    internal::PortableEncryptBlocks(key, data, block_count);
  }
}

void DecryptBlocks(const Aes128Key& key, uint8_t* data, size_t block_count, Aes128Engine engine) {
  if (UseAesNi(engine)) {
    internal::AesNiDecryptBlocks(key, data, block_count);
  } else {
    internal::PortableDecryptBlocks(key, data, block_count);
  }
}

}  // namespace tavik::cipher
