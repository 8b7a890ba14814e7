// enckey and deckey: the key text, then the chained format over the caller's buffers.
#include <climits>

#include "cipherkit.h"
#include "cipherkit_private.h"

namespace tavik::cipherkit {
namespace {

constexpr int kBlock = static_cast<int>(cipher::kAesBlockSize);

int Encrypt(const uint8_t* data, uint8_t* out, const char* key_hex, int* len) {
  KeyBytes key;
  const int code = ReadKeyText(key_hex, &key);
  if (code != kDone) return code;
  if (*len < 0 || *len > INT_MAX - kBlock) return kRefusedLength;
  AesContext context{};
  AesSetEncryptKey(key.bytes, key.size, &context);
  size_t length = static_cast<size_t>(*len);
  if (CbcEncryptBuffer(data, out, context, &length) != kDone) return kNoIv;
  *len = static_cast<int>(length);
  return kDone;
}

int Decrypt(const uint8_t* cipher, uint8_t* out, const char* key_hex, int len) {
  KeyBytes key;
  const int code = ReadKeyText(key_hex, &key);
  if (code != kDone) return code;
  if (len < kBlock) return kRefusedLength;
  AesContext context{};
  AesSetDecryptKey(key.bytes, key.size, &context);
  CbcDecryptBuffer(cipher, out, context, static_cast<size_t>(len));
  return kDone;
}

}  // namespace
}  // namespace tavik::cipherkit

// Exported by cipherkit.
extern "C" int enckey(const unsigned char* data, unsigned char* out, const char* keyHex, int* len) {
  return tavik::cipherkit::Encrypt(data, out, keyHex, len);
}

// Exported by cipherkit.
extern "C" int deckey(const unsigned char* cipher, unsigned char* out, const char* keyHex, int len) {
  return tavik::cipherkit::Decrypt(cipher, out, keyHex, len);
}
