// AES-128 (FIPS-197): key expansion and block encryption and decryption, with a portable table-driven engine
// and an AES-NI engine chosen at run time. No allocation, no exceptions, no global mutable state: the kernel
// driver links this too.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavik::cipher {

inline constexpr size_t kAesBlockSize = 16;
inline constexpr size_t kAes128KeySize = 16;
inline constexpr size_t kAes128ExpandedKeySize = 176;  // 11 round keys of 16 bytes

// The expanded key. Both arrays hold round keys as FIPS-197 bytes (word after word, each word's bytes in order),
// which is the layout both engines load directly.
struct Aes128Key {
  // Round keys 0..10 in encryption order; this is also the expanded key E (w[0] .. w[43]).
  alignas(16) uint8_t forward[kAes128ExpandedKeySize];
  // The equivalent inverse cipher's round keys in decryption order: round key 10 first, round key 0 last, with
  // InvMixColumns applied to round keys 1..9.
  alignas(16) uint8_t inverse[kAes128ExpandedKeySize];
};

// Which engine runs the block transform. kFastest uses AES-NI when the processor has it and the portable tables
// otherwise; kPortable forces the tables (tests and benchmarks compare the two).
enum class Aes128Engine { kFastest, kPortable };

// True when kFastest runs on AES-NI on this processor.
bool AesNiAvailable();

void ExpandKey(const uint8_t key[kAes128KeySize], Aes128Key* out);

// Copies the expanded key E (176 bytes, FIPS-197 order).
void ExpandedKeyBytes(const Aes128Key& key, uint8_t out[kAes128ExpandedKeySize]);

// One block; in and out may be the same buffer.
void EncryptBlock(const Aes128Key& key, const uint8_t in[kAesBlockSize], uint8_t out[kAesBlockSize],
                  Aes128Engine engine = Aes128Engine::kFastest);
void DecryptBlock(const Aes128Key& key, const uint8_t in[kAesBlockSize], uint8_t out[kAesBlockSize],
                  Aes128Engine engine = Aes128Engine::kFastest);

// block_count whole blocks in place, each on its own (electronic codebook: no chaining).
void EncryptBlocks(const Aes128Key& key, uint8_t* data, size_t block_count,
                   Aes128Engine engine = Aes128Engine::kFastest);
void DecryptBlocks(const Aes128Key& key, uint8_t* data, size_t block_count,
                   Aes128Engine engine = Aes128Engine::kFastest);

}  // namespace tavik::cipher
