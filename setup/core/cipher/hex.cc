// Hex encoding and the two decoders.
#include "hex.h"

namespace tavik::hex {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void Encode(const uint8_t* bytes, size_t n, char* out, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  for (size_t i = 0; i < n; ++i) {
    out[2 * i] = digits[bytes[i] >> 4];
    out[2 * i + 1] = digits[bytes[i] & 0x0F];
  }
}

void DecodeLenient(const char* text, uint8_t* out, size_t n) {
  bool ended = false;
  for (size_t i = 0; i < 2 * n; ++i) {
    if (!ended && text[i] == '\0') ended = true;
    const int value = ended ? 0 : DigitValue(text[i]);
    const uint8_t nibble = static_cast<uint8_t>(value < 0 ? 0 : value);
    if (i % 2 == 0) {
      out[i / 2] = static_cast<uint8_t>(nibble << 4);
    } else {
      out[i / 2] |= nibble;
    }
  }
}

bool DecodeStrict(std::string_view text, uint8_t* out, size_t n) {
  if (text.size() != 2 * n) return false;
  for (char c : text) {
    if (DigitValue(c) < 0) return false;
  }
  for (size_t i = 0; i < n; ++i) {
    out[i] = static_cast<uint8_t>(DigitValue(text[2 * i]) << 4 | DigitValue(text[2 * i + 1]));
  }
  return true;
}

}  // namespace tavik::hex
