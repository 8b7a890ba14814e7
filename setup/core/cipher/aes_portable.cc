// The portable engine: table-driven rounds, one 32-bit round table per direction applied with byte rotations.
// Columns are packed little-endian (row 0 in the low byte), the layout of aes_tables.h.
#include <bit>

#include "aes_engines.h"
#include "aes_tables.h"

namespace tavik::cipher::internal {
namespace {

uint32_t LoadColumn(const uint8_t* p) { return PackColumn(p[0], p[1], p[2], p[3]); }

void StoreColumn(uint32_t column, uint8_t* p) {
  p[0] = static_cast<uint8_t>(column);
  p[1] = static_cast<uint8_t>(column >> 8);
  p[2] = static_cast<uint8_t>(column >> 16);
  p[3] = static_cast<uint8_t>(column >> 24);
}

uint8_t Row(uint32_t column, int row) { return static_cast<uint8_t>(column >> (8 * row)); }

// One full round's output column; row r is taken from input column cr (ShiftRows or InvShiftRows chose them).
uint32_t RoundColumn(const std::array<uint32_t, 256>& table, uint32_t c0, uint32_t c1, uint32_t c2, uint32_t c3,
                     uint32_t round_key) {
  return table[Row(c0, 0)] ^ std::rotl(table[Row(c1, 1)], 8) ^ std::rotl(table[Row(c2, 2)], 16) ^
         std::rotl(table[Row(c3, 3)], 24) ^ round_key;
}

// The last round's column: substitution only, no (Inv)MixColumns.
uint32_t LastRoundColumn(const std::array<uint8_t, 256>& sbox, uint32_t c0, uint32_t c1, uint32_t c2, uint32_t c3,
                         uint32_t round_key) {
  return PackColumn(sbox[Row(c0, 0)], sbox[Row(c1, 1)], sbox[Row(c2, 2)], sbox[Row(c3, 3)]) ^ round_key;
}

// Encryption takes row r of column c from column c + r, decryption from column c - r: kShift is +1 or -1, and
// the table, S-box and round keys passed in match the direction.
template <int kShift, int kRounds>
void TransformBlock(const std::array<uint32_t, 256>& table, const std::array<uint8_t, 256>& sbox,
                    const uint8_t* round_keys, uint8_t* block) {
  constexpr int k1 = (4 + kShift) % 4;
  constexpr int k2 = 2;
  constexpr int k3 = (4 - kShift) % 4;
  uint32_t s[4];
  for (int c = 0; c < 4; ++c) s[c] = LoadColumn(block + 4 * c) ^ LoadColumn(round_keys + 4 * c);
  for (int round = 1; round < kRounds; ++round) {
    const uint8_t* rk = round_keys + 16 * round;
    uint32_t t[4];
    for (int c = 0; c < 4; ++c) {
      t[c] = RoundColumn(table, s[c], s[(c + k1) % 4], s[(c + k2) % 4], s[(c + k3) % 4], LoadColumn(rk + 4 * c));
    }
    for (int c = 0; c < 4; ++c) s[c] = t[c];
  }
  const uint8_t* rk = round_keys + 16 * kRounds;
  for (int c = 0; c < 4; ++c) {
    StoreColumn(LastRoundColumn(sbox, s[c], s[(c + k1) % 4], s[(c + k2) % 4], s[(c + k3) % 4], LoadColumn(rk + 4 * c)),
                block + 4 * c);
  }
}

// A run of blocks with one key, its round count fixed at compile time.
template <int kShift>
void TransformRun(const std::array<uint32_t, 256>& table, const std::array<uint8_t, 256>& sbox, const AesKey& key,
                  const uint8_t* round_keys, uint8_t* data, size_t block_count) {
  WithRounds(key, [&](auto rounds) {
    constexpr int kRounds = decltype(rounds)::value;
    for (size_t i = 0; i < block_count; ++i) {
      TransformBlock<kShift, kRounds>(table, sbox, round_keys, data + kAesBlockSize * i);
    }
  });
}

}  // namespace

void PortableEncryptBlocks(const AesKey& key, uint8_t* data, size_t block_count) {
  TransformRun<1>(kForwardRoundTable, kSbox, key, key.forward, data, block_count);
}

void PortableDecryptBlocks(const AesKey& key, uint8_t* data, size_t block_count) {
  TransformRun<-1>(kInverseRoundTable, kInverseSbox, key, key.inverse, data, block_count);
}

}  // namespace tavik::cipher::internal
