// The hex workers behind vbenckeyhex and vbdeckeyhex: cipher bytes as upper-case hex digits, and hex text read
// back into cipher bytes without complaint about what is not a digit.
#include "cipherkit.h"
#include "cipherkit_private.h"
#include "hex.h"

namespace tavik::cipherkit {
namespace {

// The first 2m characters, ending early at a NUL, through one accumulator: a digit shifts its value in, any other
// character leaves the accumulator as it is but still counts, and every second character gives the next byte (the
// accumulator's low 8 bits). Bytes after an early NUL stay 0.
void ReadCipherHex(const char* hex, uint8_t* cipher, size_t m) {
  unsigned accumulator = 0;
  for (size_t i = 0; i < 2 * m && hex[i] != '\0'; ++i) {
    const int value = hex::DigitValue(hex[i]);
    if (value >= 0) accumulator = accumulator * 16 + static_cast<unsigned>(value);
    if (i % 2 == 1) cipher[i / 2] = static_cast<uint8_t>(accumulator);
  }
}

}  // namespace

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
  ReadCipherHex(hex, cipher, static_cast<size_t>(m));
  return deckey(cipher, out, key_hex, m);
}

}  // namespace tavik::cipherkit
