// AES-128 block encryption with the S-box computed from its definition (inverse in GF(2^8), then the affine map),
// so no hand-typed table can carry a typo.
#include "aes128.h"

namespace xp::usbtoken {
namespace {

constexpr uint8_t Times2(uint8_t b) { return static_cast<uint8_t>((b << 1) ^ ((b & 0x80) ? 0x1B : 0x00)); }

constexpr uint8_t RotateLeft(uint8_t b, int n) { return static_cast<uint8_t>((b << n) | (b >> (8 - n))); }

// Multiplicative inverses come from powers of the generator 3: inverse(3^i) = 3^(255 - i).
constexpr std::array<uint8_t, 256> BuildSbox() {
  std::array<uint8_t, 256> power{};
  std::array<uint8_t, 256> log{};
  uint8_t value = 1;
  for (int i = 0; i < 255; ++i) {
    power[i] = value;
    log[value] = static_cast<uint8_t>(i);
    value = static_cast<uint8_t>(Times2(value) ^ value);
  }
  std::array<uint8_t, 256> sbox{};
  for (int x = 0; x < 256; ++x) {
    const uint8_t inverse = x == 0 ? 0 : power[(255 - log[x]) % 255];
    sbox[x] = static_cast<uint8_t>(inverse ^ RotateLeft(inverse, 1) ^ RotateLeft(inverse, 2) ^
                                   RotateLeft(inverse, 3) ^ RotateLeft(inverse, 4) ^ 0x63);
  }
  return sbox;
}

constexpr std::array<uint8_t, 256> kSbox = BuildSbox();

uint32_t SubWord(uint32_t w) {
  return (uint32_t{kSbox[w >> 24]} << 24) | (uint32_t{kSbox[(w >> 16) & 0xFF]} << 16) |
         (uint32_t{kSbox[(w >> 8) & 0xFF]} << 8) | kSbox[w & 0xFF];
}

// The state is kept column by column, as the block's bytes come: state[4 * column + row].
void AddRoundKey(AesBlock& state, const std::array<uint32_t, 44>& words, int round) {
  for (int column = 0; column < 4; ++column) {
    const uint32_t w = words[4 * round + column];
    for (int row = 0; row < 4; ++row) state[4 * column + row] ^= static_cast<uint8_t>(w >> (24 - 8 * row));
  }
}

void SubBytesShiftRows(AesBlock& state) {
  AesBlock shifted;
  for (int column = 0; column < 4; ++column) {
    for (int row = 0; row < 4; ++row) shifted[4 * column + row] = kSbox[state[4 * ((column + row) % 4) + row]];
  }
  state = shifted;
}

void MixColumns(AesBlock& state) {
  for (int column = 0; column < 4; ++column) {
    uint8_t* c = &state[4 * column];
    const uint8_t a0 = c[0], a1 = c[1], a2 = c[2], a3 = c[3];
    c[0] = static_cast<uint8_t>(Times2(a0) ^ Times2(a1) ^ a1 ^ a2 ^ a3);
    c[1] = static_cast<uint8_t>(a0 ^ Times2(a1) ^ Times2(a2) ^ a2 ^ a3);
    c[2] = static_cast<uint8_t>(a0 ^ a1 ^ Times2(a2) ^ Times2(a3) ^ a3);
    c[3] = static_cast<uint8_t>(Times2(a0) ^ a0 ^ a1 ^ a2 ^ Times2(a3));
  }
}

}  // namespace

std::array<uint32_t, 44> ExpandAesKey(const AesBlock& key) {
  std::array<uint32_t, 44> words{};
  for (int i = 0; i < 4; ++i) {
    words[i] = (uint32_t{key[4 * i]} << 24) | (uint32_t{key[4 * i + 1]} << 16) | (uint32_t{key[4 * i + 2]} << 8) |
               key[4 * i + 3];
  }
  uint8_t round_constant = 0x01;
  for (int i = 4; i < 44; ++i) {
    uint32_t temp = words[i - 1];
    if (i % 4 == 0) {
      temp = SubWord((temp << 8) | (temp >> 24)) ^ (uint32_t{round_constant} << 24);
      round_constant = Times2(round_constant);
    }
    words[i] = words[i - 4] ^ temp;
  }
  return words;
}

AesBlock AesEncrypt(const AesBlock& key, const AesBlock& plain) {
  const std::array<uint32_t, 44> words = ExpandAesKey(key);
  AesBlock state = plain;
  AddRoundKey(state, words, 0);
  for (int round = 1; round < 10; ++round) {
    SubBytesShiftRows(state);
    MixColumns(state);
    AddRoundKey(state, words, round);
  }
  SubBytesShiftRows(state);
  AddRoundKey(state, words, 10);
  return state;
}

}  // namespace xp::usbtoken
