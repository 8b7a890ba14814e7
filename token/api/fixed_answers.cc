// Exports with fixed answers: the two protected areas and the library's marker function and variable.
#include <cstring>

#include "tokenapi.h"

namespace tavik::tokenapi {
namespace {

// "vpn" and its length 3, when the buffer holds it with its NUL. The result is 1 whatever happened.
int ProtectedArea(unsigned char* out, int* len) {
  constexpr char kArea[] = "vpn";
  if (out != nullptr && len != nullptr && *len >= static_cast<int>(sizeof(kArea))) {
    std::memcpy(out, kArea, sizeof(kArea));
    *len = static_cast<int>(sizeof(kArea) - 1);
  }
  return 1;
}

}  // namespace
}  // namespace tavik::tokenapi

// Exported by tokenapi.
extern "C" int NuboGetUSBProtectedArea1(unsigned char* out, int* len, int) {
  return tavik::tokenapi::ProtectedArea(out, len);
}

// Exported by tokenapi.
extern "C" int NuboGetUSBProtectedArea2(unsigned char* out, int* len, int) {
  return tavik::tokenapi::ProtectedArea(out, len);
}

// Exported by tokenapi.
extern "C" int fntokenapi(void) { return 42; }

// Exported by tokenapi.
int ntokenapi = 0;  // C linkage from its declaration in tokenapi.h
