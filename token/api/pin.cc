// The token's password ("PIN") through one module-wide 128-byte buffer, shared with the name setting and wiped at
// the end of every call that fills it, and the last non-zero answer of the password check, which every response
// reports as its failed attempts.
#include <cstring>

#include "tokenapi.h"
#include "tokenapi_private.h"
#include "tokenio.h"

namespace tavik::tokenapi {
namespace {

constexpr size_t kPinBufferSize = 128;
constexpr int kMaxPinLength = 63;  // what the token's password block holds

unsigned char pin_buffer[kPinBufferSize];
int last_nonzero_check = 0;

// 0xFF fill, then the pin and a NUL. A pin the token cannot hold, or one with a NUL inside, is refused.
bool LoadPin(const char* pin, int length) {
  if (pin == nullptr || length < 0 || length > kMaxPinLength) return false;
  if (std::memchr(pin, '\0', static_cast<size_t>(length)) != nullptr) return false;
  std::memset(pin_buffer, 0xFF, sizeof(pin_buffer));
  std::memcpy(pin_buffer, pin, static_cast<size_t>(length));
  pin_buffer[length] = '\0';
  return true;
}

const char* Pin() { return reinterpret_cast<const char*>(pin_buffer); }

// Wipes the buffer at the end of the call that filled it, so that no password stays in the process's memory.
class PinUse {
 public:
  PinUse() = default;
  ~PinUse() { SecureZeroMemory(pin_buffer, sizeof(pin_buffer)); }
  PinUse(const PinUse&) = delete;
  PinUse& operator=(const PinUse&) = delete;
};

}  // namespace

int LastNonZeroCheckResult() { return last_nonzero_check; }

}  // namespace tavik::tokenapi

using namespace tavik::tokenapi;

// Exported by tokenapi.
extern "C" int NuboPing(void) { return Aping() != 0 ? 1 : 0; }

// Exported by tokenapi. The check's count is read as a signed 16-bit value, as the token reports it.
extern "C" int NuboCheckPin(char* pin, int len) {
  PinUse use;
  if (!LoadPin(pin, len)) return -1;
  const short result = static_cast<short>(CheckPwd(Pin()));
  if (result != 0) last_nonzero_check = result;
  if (result == -1) return -1;
  if (result == 0) return 0;
  return result >= 1 && result <= 3 ? 1 : 2;
}

// Exported by tokenapi.
extern "C" int NuboIsPinChecked(void) { return IsPwdValidated() == 1 ? 1 : 0; }

// Exported by tokenapi.
extern "C" int NuboSetPin(char* pin, int len) {
  PinUse use;
  if (!LoadPin(pin, len)) return 1;
  return BurnPwd(Pin()) == 1 && SoftReset() == 1 ? 0 : 1;
}

// Exported by tokenapi.
extern "C" int NuboResetPin(char* pin, int len) {
  PinUse use;
  if (!LoadPin(pin, len)) return 1;
  return ResetPwd(Pin()) == 1 ? 0 : 1;
}

// Exported by tokenapi. The name, then 0xFF to the end of the 128-byte identity area.
extern "C" int NuboSetUserName(char* name, int len) {
  if (name == nullptr || len < 0 || len > static_cast<int>(kPinBufferSize)) return 1;
  PinUse use;
  std::memset(pin_buffer, 0xFF, sizeof(pin_buffer));
  std::memcpy(pin_buffer, name, static_cast<size_t>(len));
  return BurnESN(pin_buffer) == 1 ? 0 : 1;
}

// Exported by tokenapi.
extern "C" int NuboLogout(void) { return Logout() != 0 ? 0 : 1; }
