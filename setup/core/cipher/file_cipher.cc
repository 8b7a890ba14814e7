// Whole blocks, then the tail.
#include "file_cipher.h"

#include "tail_rule.h"

namespace tavik::cipher {

void EncryptStream(const AesKey& key, uint8_t* data, size_t length, AesEngine engine) {
  const size_t blocks = length / kAesBlockSize;
  EncryptBlocks(key, data, blocks, engine);
  EncryptTail(key.forward, data + blocks * kAesBlockSize, length % kAesBlockSize);
}

void DecryptStream(const AesKey& key, uint8_t* data, size_t length, AesEngine engine) {
  const size_t blocks = length / kAesBlockSize;
  DecryptBlocks(key, data, blocks, engine);
  DecryptTail(key.forward, data + blocks * kAesBlockSize, length % kAesBlockSize);
}

}  // namespace tavik::cipher
