// The token's identity text: the start of its identity area, which holds the serial number unless a name was
// written over it.
#include <cstring>

#include "tokenapi.h"
#include "tokenapi_private.h"
#include "tokenio.h"

namespace tavik::tokenapi {
namespace {

constexpr size_t kIdentityAreaSize = 128;
constexpr size_t kMaxIdentityTextLength = 63;

}  // namespace

bool ReadIdentityText(std::string* text) {
  unsigned char area[kIdentityAreaSize];
  if (GetESN(area) != 1) return false;
  text->clear();
  for (size_t i = 0; i < kMaxIdentityTextLength && area[i] != 0x00 && area[i] != 0xFF; ++i) {
    text->push_back(static_cast<char>(area[i]));
  }
  return true;
}

}  // namespace tavik::tokenapi

// Exported by tokenapi. *len: the capacity of out in (64 holds any identity text), the text's length out.
extern "C" int NuboGetUserName(char* out, int* len) {
  if (len == nullptr) return 1;
  std::string text;
  if (!tavik::tokenapi::ReadIdentityText(&text)) {
    *len = 0;
    return 1;
  }
  return tavik::tokenapi::PutText(text, out, len) ? 0 : 1;
}
