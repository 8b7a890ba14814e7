// The AES constants as compile-time tables: the S-box and its inverse (from the GF(2^8) logarithm and power
// tables with generator 3), the round constants, and one 32-bit round table per direction.
#pragma once

#include <array>
#include <cstdint>

namespace tavik::cipher::internal {

// Multiplication by x in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1.
constexpr uint8_t Xtime(uint8_t a) { return static_cast<uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1B : 0x00)); }

constexpr uint8_t GfMultiply(uint8_t a, uint8_t b) {
  uint8_t product = 0;
  for (; b != 0; b >>= 1, a = Xtime(a)) {
    if (b & 1) product ^= a;
  }
  return product;
}

constexpr uint8_t RotateByteLeft(uint8_t b, int bits) { return static_cast<uint8_t>((b << bits) | (b >> (8 - bits))); }

constexpr std::array<uint8_t, 256> BuildSbox() {
  std::array<uint8_t, 256> power{};
  std::array<uint8_t, 256> log{};
  uint8_t p = 1;
  for (int i = 0; i < 255; ++i) {
    power[i] = p;
    log[p] = static_cast<uint8_t>(i);
    p = static_cast<uint8_t>(p ^ Xtime(p));  // times the generator 3
  }
  std::array<uint8_t, 256> sbox{};
  for (int x = 0; x < 256; ++x) {
    const uint8_t inverse = x == 0 ? 0 : power[(255 - log[x]) % 255];
    sbox[x] = static_cast<uint8_t>(inverse ^ RotateByteLeft(inverse, 1) ^ RotateByteLeft(inverse, 2) ^
                                   RotateByteLeft(inverse, 3) ^ RotateByteLeft(inverse, 4) ^ 0x63);
  }
  return sbox;
}

constexpr std::array<uint8_t, 256> Invert(const std::array<uint8_t, 256>& table) {
  std::array<uint8_t, 256> inverse{};
  for (int x = 0; x < 256; ++x) inverse[table[x]] = static_cast<uint8_t>(x);
  return inverse;
}

inline constexpr std::array<uint8_t, 256> kSbox = BuildSbox();
inline constexpr std::array<uint8_t, 256> kInverseSbox = Invert(kSbox);

// Round constants for key-expansion steps 1..10 (index 0 unused).
inline constexpr std::array<uint8_t, 11> kRoundConstants = {0x00, 0x01, 0x02, 0x04, 0x08, 0x10,
                                                            0x20, 0x40, 0x80, 0x1B, 0x36};

// A column packs its four bytes little-endian: row 0 in the low byte. Entry x of a round table is the column a
// row-0 byte x contributes after substitution and (Inv)MixColumns; rows 1..3 use the entry rotated left by 8, 16
// and 24 bits.
constexpr uint32_t PackColumn(uint8_t row0, uint8_t row1, uint8_t row2, uint8_t row3) {
  return static_cast<uint32_t>(row0) | static_cast<uint32_t>(row1) << 8 | static_cast<uint32_t>(row2) << 16 |
         static_cast<uint32_t>(row3) << 24;
}

constexpr std::array<uint32_t, 256> BuildForwardRoundTable() {
  std::array<uint32_t, 256> table{};
  for (int x = 0; x < 256; ++x) {
    const uint8_t s = kSbox[x];
    table[x] = PackColumn(GfMultiply(s, 2), s, s, GfMultiply(s, 3));
  }
  return table;
}

constexpr std::array<uint32_t, 256> BuildInverseRoundTable() {
  std::array<uint32_t, 256> table{};
  for (int x = 0; x < 256; ++x) {
    const uint8_t s = kInverseSbox[x];
    table[x] = PackColumn(GfMultiply(s, 14), GfMultiply(s, 9), GfMultiply(s, 13), GfMultiply(s, 11));
  }
  return table;
}

inline constexpr std::array<uint32_t, 256> kForwardRoundTable = BuildForwardRoundTable();
inline constexpr std::array<uint32_t, 256> kInverseRoundTable = BuildInverseRoundTable();

}  // namespace tavik::cipher::internal
