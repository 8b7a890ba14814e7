// AES key expansion for the three key sizes, and the choice of block engine.
#include "aes.h"

#include <bit>
#include <cstring>

#include "aes_engines.h"
#include "aes_tables.h"

namespace tavik::cipher {
namespace {

using internal::kInverseRoundTable;
using internal::kSbox;

// InvMixColumns of one 4-byte column, in place: the inverse round table applied to bytes whose substitution
// cancels the table's inverse S-box.
void InvMixColumn(uint8_t* column) {
  uint32_t mixed = 0;
  for (int row = 0; row < 4; ++row) {
    mixed ^= std::rotl(kInverseRoundTable[kSbox[column[row]]], 8 * row);
  }
  for (int row = 0; row < 4; ++row) column[row] = static_cast<uint8_t>(mixed >> (8 * row));
}

// FIPS-197's KeyExpansion for a key of key_words words: each word is the word key_words before it XOR the
// previous word, which first goes through RotWord, SubWord and Rcon at every multiple of key_words and, for
// 256-bit keys, through SubWord alone four words after one.
void ExpandForward(const uint8_t* key, int key_words, int rounds, uint8_t* w) {  // w + 4i is word w[i]
  std::memcpy(w, key, 4 * static_cast<size_t>(key_words));
  for (int i = key_words; i < 4 * (rounds + 1); ++i) {
    const uint8_t* previous = w + 4 * (i - 1);
    uint8_t temp[4] = {previous[0], previous[1], previous[2], previous[3]};
    if (i % key_words == 0) {  // RotWord, SubWord, Rcon
      const uint8_t first = temp[0];
      temp[0] = static_cast<uint8_t>(kSbox[temp[1]] ^ internal::kRoundConstants[i / key_words]);
      temp[1] = kSbox[temp[2]];
      temp[2] = kSbox[temp[3]];
      temp[3] = kSbox[first];
    } else if (key_words > 6 && i % key_words == 4) {
      for (uint8_t& byte : temp) byte = kSbox[byte];
    }
    for (int b = 0; b < 4; ++b) w[4 * i + b] = static_cast<uint8_t>(w[4 * (i - key_words) + b] ^ temp[b]);
  }
}

bool UseAesNi(AesEngine engine) { return engine == AesEngine::kFastest && AesNiAvailable(); }

}  // namespace

bool AesNiAvailable() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("aes") && __builtin_cpu_supports("sse4.1");
}

void ExpandKey(const uint8_t key[kAes128KeySize], AesKey* out) { ExpandKey(key, kAes128KeySize, out); }

bool ExpandKey(const uint8_t* key, size_t key_size, AesKey* out) {
  if (key_size != 16 && key_size != 24 && key_size != 32) return false;
  const int key_words = static_cast<int>(key_size / 4);
  const int rounds = key_words + 6;
  out->rounds = rounds;
  ExpandForward(key, key_words, rounds, out->forward);
  for (int round = 0; round <= rounds; ++round) {
    std::memcpy(out->inverse + 16 * round, out->forward + 16 * (rounds - round), kAesBlockSize);
  }
  for (int round = 1; round < rounds; ++round) {
    for (int c = 0; c < 4; ++c) InvMixColumn(out->inverse + 16 * round + 4 * c);
  }
  return true;
}

void ExpandedKeyBytes(const AesKey& key, uint8_t out[kAes128ExpandedKeySize]) {
  std::memcpy(out, key.forward, kAes128ExpandedKeySize);
}

void EncryptBlock(const AesKey& key, const uint8_t in[kAesBlockSize], uint8_t out[kAesBlockSize],
                  AesEngine engine) {
  std::memmove(out, in, kAesBlockSize);
  EncryptBlocks(key, out, 1, engine);
}

void DecryptBlock(const AesKey& key, const uint8_t in[kAesBlockSize], uint8_t out[kAesBlockSize],
                  AesEngine engine) {
  std::memmove(out, in, kAesBlockSize);
  DecryptBlocks(key, out, 1, engine);
}

void EncryptBlocks(const AesKey& key, uint8_t* data, size_t block_count, AesEngine engine) {
  if (UseAesNi(engine)) {
    internal::AesNiEncryptBlocks(key, data, block_count);
  } else {
    internal::PortableEncryptBlocks(key, data, block_count);
  }
}

void DecryptBlocks(const AesKey& key, uint8_t* data, size_t block_count, AesEngine engine) {
  if (UseAesNi(engine)) {
    internal::AesNiDecryptBlocks(key, data, block_count);
  } else {
    internal::PortableDecryptBlocks(key, data, block_count);
  }
}

}  // namespace tavik::cipher
