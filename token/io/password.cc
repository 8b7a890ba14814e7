// The token password: the compare sequence with its failed-attempt counter, programming, clearing and logout.
#include <cstring>

#include "hex.h"
#include "tokenio.h"
#include "tokenio_private.h"

namespace tavik::tokenio {
namespace {

constexpr DWORD kPasswordSleepMs = 2000;
// The counter is reported as a signed 16-bit value by its readers; it saturates so that it never wraps to
// "accepted" or turns negative.
constexpr uint16_t kCounterLimit = 32767;
constexpr int kPasswordCopyOffset = 41;
constexpr int kPasswordCopyBlocks = 4;

bool ProgramPasswordBlock(const uint8_t block[kPasswordBlockSize]) {
  TokenDevice device;
  if (!device.ok()) return false;
  for (int k = 0; k < kPasswordBlockSize / kChunkSize; ++k) {
    uint8_t address[2 + kChunkSize] = {0, static_cast<uint8_t>(kChunkSize * k)};
    std::memcpy(address + 2, block + kChunkSize * k, kChunkSize);
    if (!device.WriteRegister(kRegAddress, sizeof(address), address)) return false;
    if (!device.Command(kCmdProgramPasswordBlock)) return false;
    if (!device.WaitReady()) return false;
  }
  return true;
}

// A compare is accepted when the status shows exactly ready and accepted, with bit 2 or without it.
bool CompareAccepted(uint8_t status) { return status == kStatusAccepted || status == (kStatusAccepted | kStatusBit2); }

// The count after this attempt; -1 when the token did not confirm it, so that no caller is handed a count the token
// may not hold (a token pulled after the compare would otherwise keep its old count unseen).
int CheckPasswordBlock(const uint8_t block[kPasswordBlockSize]) {
  TokenDevice device;
  if (!device.ok()) return -1;
  uint16_t counter = 0;
  if (!device.ReadFailCounter(&counter)) return -1;
  for (int i = 1; i < kPasswordBlockSize; ++i) {
    if (!device.WriteRegisterByte(kRegPasswordByte, block[i])) return -1;
    if (!device.Command(kCmdComparePasswordByte)) return -1;
  }
  uint8_t status = 0;
  if (!device.ReadStatus(&status) || !device.WaitReady()) return -1;
  const uint16_t old_count = counter > kCounterLimit ? kCounterLimit : counter;
  const uint16_t new_count = CompareAccepted(status)
                                 ? 0
                                 : static_cast<uint16_t>(old_count < kCounterLimit ? old_count + 1 : old_count);
  if (!device.WriteFailCounter(new_count) || !device.WaitReady()) return -1;
  return new_count;
}

bool SendSingleCommand(uint8_t command, bool wait) {
  TokenDevice device;
  if (!device.ok() || !device.Command(command)) return false;
  return !wait || device.WaitReady();
}

}  // namespace

bool BuildPasswordBlock(const char* password, uint8_t block[kPasswordBlockSize]) {
  if (password == nullptr) return false;
  const size_t length = strnlen(password, kMaxPasswordLength + 1);
  if (length > kMaxPasswordLength) return false;
  std::memset(block, 0xFF, kPasswordBlockSize);
  block[0] = 0x00;
  std::memcpy(block + 1, password, length);
  return true;
}

}  // namespace tavik::tokenio

using namespace tavik::tokenio;

// Exported by tokenio.
extern "C" int CheckPwd(const char* password) {
  uint8_t block[kPasswordBlockSize];
  if (!BuildPasswordBlock(password, block)) return -1;
  KeyMutexLock lock;
  Sleep(kPasswordSleepMs);
  if (!lock.held()) return -1;
  return CheckPasswordBlock(block);
}

// Exported by tokenio.
extern "C" int IsPwdValidated(void) {
  TokenDevice device;
  uint8_t status = 0;
  if (!device.ok() || !device.ReadStatus(&status)) return 0;
  return (status & kStatusAccepted) == kStatusAccepted ? 1 : 0;
}

// Exported by tokenio.
extern "C" int BurnPwd(const char* password) {
  uint8_t block[kPasswordBlockSize];
  if (!BuildPasswordBlock(password, block)) return 0;
  bool programmed = false;
  {
    KeyMutexLock lock;
    programmed = lock.held() && ProgramPasswordBlock(block);
  }
  Sleep(kPasswordSleepMs);
  return programmed ? 1 : 0;
}

// Exported by tokenio.
extern "C" int ResetPwd(const char* password) {
  uint8_t block[kPasswordBlockSize];
  if (!BuildPasswordBlock(password, block)) return 0;
  KeyMutexLock lock;
  if (!lock.held()) return 0;
  if (!ClearPassword() || !ProgramPasswordBlock(block) || CheckPwd(password) != 0) return 0;
  Sleep(kPasswordSleepMs);
  return 1;
}

// Exported by tokenio.
extern "C" int ClearPassword(void) { return SendSingleCommand(kCmdClearPassword, /*wait=*/true) ? 1 : 0; }

// Exported by tokenio.
extern "C" int MassErase(void) {
  KeyMutexLock lock;
  return lock.held() && SendSingleCommand(kCmdMassErase, /*wait=*/true) ? 1 : 0;
}

// Exported by tokenio.
extern "C" int Logout(void) { return SendSingleCommand(kCmdLogout, /*wait=*/false) ? 1 : 0; }

// Exported by tokenio. Decrypts the token's own copy of its password with the given key; when it is the current
// password, the token is cleared.
extern "C" int ResetEncryptedPwd(const char* key_hex) {
  if (key_hex == nullptr) return 0;
  uint8_t area[120];
  std::memset(area, 0xFF, sizeof(area));
  if (!ReadIdentity(1, sizeof(area), area)) return 0;
  char password[kPasswordBlockSize] = {};
  for (int k = 0; k < kPasswordCopyBlocks; ++k) {
    char digits[32];
    tavik::hex::Encode(area + kPasswordCopyOffset + 16 * k, 16, digits, /*upper=*/true);
    DoAES(digits, key_hex, 0);
    tavik::hex::DecodeLenient(digits, reinterpret_cast<uint8_t*>(password) + 16 * k, 16);
  }
  password[kMaxPasswordLength] = '\0';
  if (CheckPwd(password) != 0) return 0;
  return ClearPassword();
}
