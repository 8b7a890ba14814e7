// AES (FIPS-197) with 128-, 192- and 256-bit keys: key expansion and block encryption and decryption, with a
// portable table-driven engine and an AES-NI engine chosen at run time. No allocation, no exceptions, no global
// mutable state: the kernel driver links this too.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavik::cipher {

inline constexpr size_t kAesBlockSize = 16;
inline constexpr size_t kAes128KeySize = 16;
inline constexpr size_t kAes128ExpandedKeySize = 176;  // 11 round keys of 16 bytes
inline constexpr int kAesMaxRounds = 14;
inline constexpr size_t kAesMaxExpandedKeySize = kAesBlockSize * (kAesMaxRounds + 1);

// The expanded key. Both arrays hold round keys as FIPS-197 bytes (word after word, each word's bytes in order),
// which is the layout both engines load directly; only the first 16 * (rounds + 1) bytes are used.
struct AesKey {
  // Round keys 0..rounds in encryption order; this is also the expanded key E (w[0] .. w[4 * rounds + 3]).
  alignas(16) uint8_t forward[kAesMaxExpandedKeySize];
  // The equivalent inverse cipher's round keys in decryption order: the last round key first, round key 0 last,
  // with InvMixColumns applied to the ones between.
  alignas(16) uint8_t inverse[kAesMaxExpandedKeySize];
  int rounds;  // 10, 12 or 14 for a 16-, 24- or 32-byte key
};

// Which engine runs the block transform. kFastest uses AES-NI when the processor has it and the portable tables
// otherwise; kPortable forces the tables (tests and benchmarks compare the two).
enum class AesEngine { kFastest, kPortable };

// True when kFastest runs on AES-NI on this processor.
bool AesNiAvailable();

// A 16-byte key: the size of the file key and of every key record.
void ExpandKey(const uint8_t key[kAes128KeySize], AesKey* out);
// A 16-, 24- or 32-byte key; any other size returns false and leaves out untouched.
bool ExpandKey(const uint8_t* key, size_t key_size, AesKey* out);

// Copies the first 176 bytes of the expanded key E: all of it for a 16-byte key.
void ExpandedKeyBytes(const AesKey& key, uint8_t out[kAes128ExpandedKeySize]);

// One block; in and out may be the same buffer.
void EncryptBlock(const AesKey& key, const uint8_t in[kAesBlockSize], uint8_t out[kAesBlockSize],
                  AesEngine engine = AesEngine::kFastest);
void DecryptBlock(const AesKey& key, const uint8_t in[kAesBlockSize], uint8_t out[kAesBlockSize],
                  AesEngine engine = AesEngine::kFastest);

// block_count whole blocks in place, each on its own (electronic codebook: no chaining).
void EncryptBlocks(const AesKey& key, uint8_t* data, size_t block_count, AesEngine engine = AesEngine::kFastest);
void DecryptBlocks(const AesKey& key, uint8_t* data, size_t block_count, AesEngine engine = AesEngine::kFastest);

}  // namespace tavik::cipher
