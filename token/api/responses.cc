// Challenge answers straight from the token: by key slot, or over a secret in the PSS store.
#include <climits>
#include <cstring>

#include "tokenapi.h"
#include "tokenapi_private.h"
#include "tokenio.h"

namespace tavik::tokenapi {
namespace {

bool HoldsChallenge(const char* challenge) {
  return challenge != nullptr && strnlen(challenge, kHexTextLength) == kHexTextLength;
}

}  // namespace
}  // namespace tavik::tokenapi

using namespace tavik::tokenapi;

// Exported by tokenapi. The challenge is both the selector and the block the token encrypts.
extern "C" int NuboGetResponse(int slot, char* challenge, char*, char* out) {
  if (!HoldsChallenge(challenge) || out == nullptr) return 1;
  char block[kHexTextLength + 1];
  std::memcpy(block, challenge, kHexTextLength);
  block[kHexTextLength] = '\0';
  return SolvePuzzle(slot, challenge, block, out) == 1 ? 0 : 1;
}

// Exported by tokenapi.
extern "C" int NuboGetPrivateResponse(unsigned slot, char* challenge, char* hash_input, unsigned hash_length,
                                      char* out, short pss_slot) {
  if (!HoldsChallenge(challenge) || out == nullptr || slot > INT_MAX || hash_length > INT_MAX) return 1;
  return PSolvePuzzle(static_cast<int>(slot), challenge, pss_slot, hash_input, static_cast<int>(hash_length),
                      out) == 1
             ? 0
             : 1;
}
