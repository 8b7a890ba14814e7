// The encrypted file format as a stream transform: every whole 16-byte block from the start is AES-128 on its
// own (no chaining, no position), and the last (length mod 16) bytes follow the tail rule. The output has the
// input's length. A file may be processed in pieces whose lengths are multiples of 16, the last piece excepted.
#pragma once

#include <cstddef>
#include <cstdint>

#include "aes.h"

namespace tavik::cipher {

// In place; length 0 leaves the buffer untouched.
void EncryptStream(const AesKey& key, uint8_t* data, size_t length, AesEngine engine = AesEngine::kFastest);
void DecryptStream(const AesKey& key, uint8_t* data, size_t length, AesEngine engine = AesEngine::kFastest);

}  // namespace tavik::cipher
