// The key operations, one control code each: whether a key is held (the key byte of the driver's statistics), set
// it, check a key answer, and make the next SN and EFKN for the key rotation.
#include <cstring>

#include "interface.h"
#include "interface_private.h"
#include "morvel_ioctl.h"

namespace xp::driver_interface {
namespace {

namespace morvel = tavik::morvel;

// A key-unwrap request: kn (zeros when none), the wrapped or plain key, the flag; TRUE when the reply byte says yes.
BOOL KeyRequest(DWORD code, const BYTE* kn, const BYTE* efk, BYTE flag) {
  if (efk == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  BYTE request[morvel::kKeyUnwrapRequestSize] = {};
  if (kn != nullptr) std::memcpy(request + morvel::kKeyUnwrapKnOffset, kn, morvel::kKnSize);
  std::memcpy(request + morvel::kKeyUnwrapEfkOffset, efk, morvel::kFileKeySize);
  request[morvel::kKeyUnwrapFlagOffset] = flag;
  BYTE reply = 0;
  DWORD returned = 0;
  return ControlRequest(code, request, sizeof request, &reply, sizeof reply, &returned) && returned == 1 && reply != 0;
}

// A request whose reply must fill `output` exactly.
BOOL Transform(DWORD code, const BYTE* input, DWORD input_size, BYTE* output, DWORD output_size) {
  if (input == nullptr || output == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD returned = 0;
  return ControlRequest(code, input, input_size, output, output_size, &returned) && returned == output_size;
}

}  // namespace
}  // namespace xp::driver_interface

using namespace xp::driver_interface;

extern "C" {

// Exported by interface.
BOOL IsCFKSet(BYTE* key_held) {
  if (key_held == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  BYTE stats[morvel::kStatsReplySize] = {};
  DWORD returned = 0;
  if (!ControlRequest(morvel::kGetStats, nullptr, 0, stats, sizeof stats, &returned) || returned != sizeof stats) {
    return FALSE;
  }
  *key_held = stats[morvel::kStatsKeyHeldOffset] != 0 ? 1 : 0;
  return TRUE;
}

// Exported by interface.
BOOL MorvelSetCFK(const BYTE* kn, const BYTE* efkn, BYTE flag) {
  return KeyRequest(morvel::kMorvelSetFKn, kn, efkn, flag);
}

// Exported by interface.
BOOL MorvelCheckCFK(const BYTE* kn, const BYTE* efkn) {
  if (kn == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return KeyRequest(morvel::kMorvelCheckFKn, kn, efkn, 0);
}

// Exported by interface.
BOOL MorvelGetSn(const BYTE* sn, BYTE* next_sn) {
  return Transform(morvel::kMorvelGetSn, sn, morvel::kSnSize, next_sn, morvel::kSnSize);
}

// Exported by interface.
BOOL MorvelGetFKn(const BYTE* next_kn, BYTE* next_efkn) {
  return Transform(morvel::kMorvelGetFKn, next_kn, morvel::kKnSize, next_efkn, morvel::kFileKeySize);
}

// Exported by interface.
BOOL MorvelStart(void) {
  DWORD returned = 0;
  return ControlRequest(morvel::kMorvelStart, nullptr, 0, nullptr, 0, &returned);
}

}  // extern "C"
