// The expanded key forms (XCFK, expanded KN) and the checks on them, over the shared key-record formats.
#include <algorithm>
#include <cstring>

#include "key_format.h"
#include "setupcore_private.h"

// Exported by setupcore.
void expand_cfk(const unsigned char* cfk, unsigned char* xcfk) { tavik::keys::ExpandCfk(cfk, xcfk); }

// Exported by setupcore. Only 16-byte keys exist; a shorter one is zero-filled rather than over-read.
void expand_kn(const unsigned char* kn, unsigned int length, unsigned char* out) {
  unsigned char key[tavik::keys::kKeySize] = {};
  std::memcpy(key, kn, std::min<size_t>(length, sizeof key));
  tavik::keys::ExpandKn(key, out);
}

// Exported by setupcore.
bool bValidXCFK(const unsigned char* xcfk) { return tavik::keys::IsValidXcfk(xcfk); }

// Exported by setupcore. Touches neither the token nor the driver.
bool checkCFKWithoutKernel(const unsigned char* kn, const unsigned char* efkn) {
  return tavik::keys::KnOpensEfkn(kn, efkn);
}
