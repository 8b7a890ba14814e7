// Single-block AES-128 on the host, for the token's encrypted password copy and for diagnostics.
#include "aes.h"
#include "hex.h"
#include "tokenio.h"
#include "tokenio_private.h"

namespace tavik::tokenio {

void AesOneBlock(uint8_t data[16], const uint8_t key[16], int encrypt) {
  tavik::cipher::AesKey schedule;
  tavik::cipher::ExpandKey(key, &schedule);
  if (encrypt) {
    tavik::cipher::EncryptBlock(schedule, data, data);
  } else {
    tavik::cipher::DecryptBlock(schedule, data, data);
  }
}

}  // namespace tavik::tokenio

// Exported by tokenio. The 32 digits are replaced in place, in lower case and without a terminator.
extern "C" int DoAES(char* data, const char* key, int encrypt) {
  if (data == nullptr || key == nullptr) return 0;
  uint8_t block[16], key_bytes[16];
  tavik::hex::DecodeLenient(data, block, 16);
  tavik::hex::DecodeLenient(key, key_bytes, 16);
  tavik::tokenio::AesOneBlock(block, key_bytes, encrypt);
  tavik::hex::Encode(block, 16, data, /*upper=*/false);
  return 1;
}
