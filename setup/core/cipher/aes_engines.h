// The two block engines behind aes.h, each over whole blocks in place. The AES-NI engine may run only where
// AesNiAvailable() holds; its file alone is compiled with the AES instruction set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "aes.h"

namespace tavik::cipher::internal {

void PortableEncryptBlocks(const AesKey& key, uint8_t* data, size_t block_count);
void PortableDecryptBlocks(const AesKey& key, uint8_t* data, size_t block_count);

void AesNiEncryptBlocks(const AesKey& key, uint8_t* data, size_t block_count);
void AesNiDecryptBlocks(const AesKey& key, uint8_t* data, size_t block_count);

// Calls body with the key's round count as a compile-time constant, so each engine's rounds unroll as they did
// when AES-128 was the only size.
template <typename Body>
void WithRounds(const AesKey& key, Body&& body) {
  switch (key.rounds) {
    case 12:
      body(std::integral_constant<int, 12>{});
      break;
    case 14:
      body(std::integral_constant<int, 14>{});
      break;
    default:
      body(std::integral_constant<int, 10>{});
      break;
  }
}

}  // namespace tavik::cipher::internal
