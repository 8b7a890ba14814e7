// SHA-1 over a message held in memory: 64-byte blocks, then the padding block or blocks built on the stack.
#include "sha1.h"

#include <bit>
#include <cstring>

namespace tavik::cipher {
namespace {

constexpr size_t kBlockSize = 64;

uint32_t LoadBigEndian(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
         static_cast<uint32_t>(p[3]);
}

void ProcessBlock(const uint8_t* block, uint32_t h[5]) {
  uint32_t w[80];
  for (int t = 0; t < 16; ++t) w[t] = LoadBigEndian(block + 4 * t);
  for (int t = 16; t < 80; ++t) w[t] = std::rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
  uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
  for (int t = 0; t < 80; ++t) {
    uint32_t f, k;
    if (t < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999;
    } else if (t < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1;
    } else if (t < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDC;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6;
    }
    const uint32_t temp = std::rotl(a, 5) + f + e + w[t] + k;
    e = d;
    d = c;
    c = std::rotl(b, 30);
    b = a;
    a = temp;
  }
  h[0] += a;
  h[1] += b;
  h[2] += c;
  h[3] += d;
  h[4] += e;
}

}  // namespace

std::array<uint8_t, 20> Sha1(const uint8_t* data, size_t length) {
  uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  const size_t whole = length / kBlockSize * kBlockSize;
  for (size_t offset = 0; offset < whole; offset += kBlockSize) ProcessBlock(data + offset, h);

  // The rest, a 1 bit, zeros, and the message length in bits as a 64-bit big-endian number.
  uint8_t padding[2 * kBlockSize] = {};
  const size_t rest = length - whole;
  if (rest > 0) std::memcpy(padding, data + whole, rest);
  padding[rest] = 0x80;
  const size_t padded = rest + 1 + 8 <= kBlockSize ? kBlockSize : 2 * kBlockSize;
  const uint64_t bit_length = static_cast<uint64_t>(length) * 8;
  for (int i = 0; i < 8; ++i) padding[padded - 1 - i] = static_cast<uint8_t>(bit_length >> (8 * i));
  for (size_t offset = 0; offset < padded; offset += kBlockSize) ProcessBlock(padding + offset, h);

  std::array<uint8_t, 20> digest;
  for (int i = 0; i < 5; ++i) {
    for (int b = 0; b < 4; ++b) digest[4 * i + b] = static_cast<uint8_t>(h[i] >> (24 - 8 * b));
  }
  return digest;
}

}  // namespace tavik::cipher
