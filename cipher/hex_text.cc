// The hex workers behind vbenckeyhex and vbdeckeyhex: cipher bytes as upper-case hex digits, and hex text read
// leniently back into cipher bytes (the text the web service and the programs exchange).
#include "cipherkit.h"
#include "cipherkit_private.h"
#include "hex.h"

namespace tavik::cipherkit {

int EncryptToHex(const uint8_t* data, char* out, const char* key_hex, int* len) {
  if (*len < 0 || static_cast<size_t>(*len) > kMaxStringData) return kRefusedLength;
  uint8_t cipher[kWorkBufferSize] = {};
  const int code = enckey(data, cipher, key_hex, len);
  if (code != kDone) return code;
  hex::Encode(cipher, static_cast<size_t>(*len), out, /*upper=*/true);
  return kDone;
}

int DecryptFromHex(const char* hex, uint8_t* out, const char* key_hex, int m) {
  if (m < static_cast<int>(cipher::kAesBlockSize) || static_cast<size_t>(m) > kMaxStringCipher) {
    return kRefusedLength;
  }
  uint8_t cipher[kWorkBufferSize] = {};
  hex::DecodeLenient(hex, cipher, static_cast<size_t>(m));
  return deckey(cipher, out, key_hex, m);
}

}  // namespace tavik::cipherkit
