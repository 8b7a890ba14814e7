// S1 and SN: 16 random bytes each, drawn from the operating system's random source. Bytes that the token's text
// channels treat as separators (NUL, tab, LF, CR, space) are drawn again.
#include <random>

#include "hex.h"
#include "setupcore_private.h"

namespace tavik::setupcore {
namespace {

constexpr size_t kSecretSize = 16;

bool IsSeparatorByte(unsigned value) {
  return value == 0x00 || value == 0x09 || value == 0x0A || value == 0x0D || value == 0x20;
}

// bin: 16 bytes + NUL; hex: 32 upper-case digits + NUL.
void DrawSecret(unsigned char* bin, char* hex) {
  std::random_device source;
  for (size_t i = 0; i < kSecretSize; ++i) {
    unsigned value;
    do {
      value = source() & 0xFF;
    } while (IsSeparatorByte(value));
    bin[i] = static_cast<unsigned char>(value);
  }
  bin[kSecretSize] = 0;
  hex::Encode(bin, kSecretSize, hex, /*upper=*/true);
  hex[2 * kSecretSize] = '\0';
}

}  // namespace
}  // namespace tavik::setupcore

// Exported by setupcore.
void generate_s1(unsigned char* bin, char* hex) { tavik::setupcore::DrawSecret(bin, hex); }

// Exported by setupcore.
void generate_sn(unsigned char* bin, char* hex) { tavik::setupcore::DrawSecret(bin, hex); }
