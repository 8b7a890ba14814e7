// The hex helpers the setup programs use on key texts: expansion to lower-case digits, one byte to a digit pair
// and back, and the validity test of a typed Key Answer.
#include "hex.h"
#include "setupcore_private.h"

namespace tavik::setupcore {
namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace
}  // namespace tavik::setupcore

// Exported by setupcore.
void expandBin(const unsigned char* in, unsigned short n, char* out) { tavik::hex::Encode(in, n, out, false); }

// Exported by setupcore. Stored in memory, the result reads high digit, low digit.
unsigned short _Hex2Ascii(unsigned char value) {
  char digits[2];
  tavik::hex::Encode(&value, 1, digits, false);
  return static_cast<unsigned short>(static_cast<unsigned char>(digits[0]) |
                                     (static_cast<unsigned char>(digits[1]) << 8));
}

// Exported by setupcore.
bool _Ascii2Hex(unsigned char* out, unsigned short pair) {
  const int high = tavik::setupcore::DigitValue(static_cast<char>(pair & 0xFF));
  const int low = tavik::setupcore::DigitValue(static_cast<char>(pair >> 8));
  if (high < 0 || low < 0) return false;
  *out = static_cast<unsigned char>(high << 4 | low);
  return true;
}

// Exported by setupcore.
bool bValidHexStr(const char* s, unsigned int n) {
  for (unsigned int i = 0; i < n; ++i) {
    if (s == nullptr || tavik::setupcore::DigitValue(s[i]) < 0) return false;
  }
  return true;
}
