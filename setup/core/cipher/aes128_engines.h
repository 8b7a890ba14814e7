// The two block engines behind aes128.h, each over whole blocks in place. The AES-NI engine may run only where
// AesNiAvailable() holds; its file alone is compiled with the AES instruction set.
#pragma once

#include <cstddef>
#include <cstdint>

#include "aes128.h"

namespace tavik::cipher::internal {

void PortableEncryptBlocks(const Aes128Key& key, uint8_t* data, size_t block_count);
void PortableDecryptBlocks(const Aes128Key& key, uint8_t* data, size_t block_count);

void AesNiEncryptBlocks(const Aes128Key& key, uint8_t* data, size_t block_count);
void AesNiDecryptBlocks(const Aes128Key& key, uint8_t* data, size_t block_count);

}  // namespace tavik::cipher::internal
