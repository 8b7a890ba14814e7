// Key text to key bytes, the same steps for every function that takes a key: up to 64 hex digits, either case,
// two per byte, high nibble first; exactly 32, 48 or 64 of them choose AES-128, AES-192 or AES-256.
#include <cstdio>
#include <string_view>

#include "cipherkit_private.h"
#include "hex.h"

namespace tavik::cipherkit {
namespace {

constexpr size_t kMaxDigits = 64;

}  // namespace

int ReadKeyText(const char* key_hex, KeyBytes* key) {
  const std::string_view text = key_hex != nullptr ? std::string_view(key_hex) : std::string_view();
  const std::string_view digits = text.substr(0, kMaxDigits);
  for (const char c : digits) {
    if (hex::DigitValue(c) < 0) {
      std::printf("key must be in hexadecimal notation\n");
      return kKeyNotHex;
    }
  }
  if (text.size() > kMaxDigits) return kKeyTooLong;
  if (digits.size() < 32 || digits.size() % 16 != 0) return kKeyWrongLength;
  key->size = digits.size() / 2;
  hex::DecodeStrict(digits, key->bytes, key->size);
  return kDone;
}

}  // namespace tavik::cipherkit
