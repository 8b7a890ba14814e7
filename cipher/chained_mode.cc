// The library's cipher format, shared with the web service: E(IV) first, then CBC chained from the plain IV. A
// partial last block T of r bytes is stolen into the last whole block Ck: Ck[0..r-1] is written, followed by
// E(Ck[r..15] | T ^ Ck[0..r-1]). Under 16 bytes the data is stolen into E(IV) the same way, with T ^ IV[0..r-1].
// The output is always one block longer than the data and never padded.
#include <cstdio>
#include <cstring>

#include "cipherkit_private.h"

namespace tavik::cipherkit {
namespace {

constexpr size_t kBlock = cipher::kAesBlockSize;

void Xor(const uint8_t* a, const uint8_t* b, uint8_t* out, size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(a[i] ^ b[i]);
}

// n < 16: the 32-byte buffer IV | P ^ IV[0..n-1] | zeros, encrypted at 0 and then at n.
void EncryptShort(const uint8_t* data, uint8_t* out, const AesContext& context, const uint8_t* iv, size_t n) {
  uint8_t buffer[2 * kBlock] = {};
  std::memcpy(buffer, iv, kBlock);
  Xor(data, iv, buffer + kBlock, n);
  AesEncryptBlock(buffer, buffer, context);
  AesEncryptBlock(buffer + n, buffer + n, context);
  std::memcpy(out, buffer, n + kBlock);
}

void EncryptLong(const uint8_t* data, uint8_t* out, const AesContext& context, const uint8_t* iv, size_t n) {
  AesEncryptBlock(iv, out, context);
  const size_t whole = n / kBlock, tail = n % kBlock;
  const uint8_t* previous = iv;
  for (size_t i = 0; i < whole; ++i) {
    uint8_t* block = out + kBlock * (i + 1);
    Xor(data + kBlock * i, previous, block, kBlock);
    AesEncryptBlock(block, block, context);
    previous = block;
  }
  if (tail == 0) return;
  uint8_t last[kBlock];  // Ck[r..15] | T ^ Ck[0..r-1]
  std::memcpy(last, previous + tail, kBlock - tail);
  Xor(data + kBlock * whole, previous, last + kBlock - tail, tail);
  AesEncryptBlock(last, out + kBlock * whole + tail, context);
}

// len < 32: the inverse of EncryptShort, in a zeroed 32-byte buffer.
void DecryptShort(const uint8_t* cipher, uint8_t* out, const AesContext& context, size_t len) {
  const size_t n = len - kBlock;
  uint8_t buffer[2 * kBlock] = {};
  std::memcpy(buffer, cipher, len);
  AesDecryptBlock(buffer + n, buffer + n, context);
  AesDecryptBlock(buffer, buffer, context);  // the IV
  Xor(buffer, buffer + kBlock, out, n);
}

void DecryptLong(const uint8_t* cipher, uint8_t* out, const AesContext& context, size_t len) {
  uint8_t previous[kBlock];
  AesDecryptBlock(cipher, previous, context);  // the IV
  for (size_t at = kBlock; at < len; at += kBlock, out += kBlock) {
    const uint8_t* block = cipher + at;
    const size_t tail = len - at - kBlock;
    if (tail > 0 && tail < kBlock) {
      // Ck[0..r-1], then the final block E(Ck[r..15] | T ^ Ck[0..r-1]) over the rest.
      uint8_t joined[2 * kBlock] = {};
      std::memcpy(joined, block, kBlock + tail);
      AesDecryptBlock(joined + tail, joined + tail, context);  // joined[0..15] is now Ck
      Xor(joined + kBlock, joined, out + kBlock, tail);
      AesDecryptBlock(joined, joined, context);
      Xor(joined, previous, out, kBlock);
      return;
    }
    uint8_t plain[kBlock];
    AesDecryptBlock(block, plain, context);
    Xor(plain, previous, out, kBlock);
    std::memcpy(previous, block, kBlock);
  }
}

}  // namespace

int CbcEncryptBuffer(const uint8_t* data, uint8_t* out, const AesContext& context, size_t* len) {
  uint8_t iv[kBlock];
  if (!DrawIv(iv)) return kNoIv;
  const size_t n = *len;
  if (n < kBlock) {
    EncryptShort(data, out, context, iv, n);
  } else {
    EncryptLong(data, out, context, iv, n);
  }
  std::printf("enc len: %d\n", static_cast<int>(n + kBlock));
  *len = n + kBlock;
  return kDone;
}

void CbcDecryptBuffer(const uint8_t* cipher, uint8_t* out, const AesContext& context, size_t len) {
  if (len < 2 * kBlock) {
    DecryptShort(cipher, out, context, len);
  } else {
    DecryptLong(cipher, out, context, len);
  }
}

}  // namespace tavik::cipherkit
