// The challenge operation: the token encrypts a block under a key it forms from a key slot and selector bytes.
#include "hex.h"
#include "tokenio.h"
#include "tokenio_private.h"

namespace tavik::tokenio {
namespace {

constexpr uint8_t kAesPrepareKey = 0x08;
constexpr uint8_t kAesEncrypt = 0x04;
constexpr uint8_t kAesKeyReady = 0x02;
constexpr uint8_t kAesDone = 0x01;
constexpr int kAesPolls = 31;
constexpr DWORD kAesPollSleepMs = 100;
constexpr uint8_t kKeyMapFirstBlock = 4;

bool PollAes(TokenDevice& device, uint8_t bit) {
  for (int poll = 0; poll < kAesPolls; ++poll) {
    Sleep(kAesPollSleepMs);
    uint8_t status = 0;
    if (!device.ReadRegister(kRegAesControl, 1, &status)) return false;
    if (status & bit) return true;
  }
  return false;
}

bool SlotValid(int slot) { return slot >= 0 && slot <= 15; }

}  // namespace

bool TokenAes(TokenDevice& device, int slot, const uint8_t selector[16], const uint8_t block[16],
              uint8_t answer[16]) {
  if (!SlotValid(slot)) return false;
  const uint8_t select_slot[4] = {static_cast<uint8_t>(slot * 16 + kCmdSelectKeySlot), 0, 0, 0};
  if (!device.WriteRegister(kRegCommand, sizeof(select_slot), select_slot)) return false;
  for (int i = 0; i < 16; ++i) {
    const uint8_t address[2] = {static_cast<uint8_t>(kKeyMapFirstBlock + (selector[i] >> 6)),
                                static_cast<uint8_t>(selector[i] & 63)};
    if (!device.WriteRegister(kRegAddress, sizeof(address), address)) return false;
    if (!device.Command(static_cast<uint8_t>(i * 16 + kCmdLoadKeyByte))) return false;
  }
  if (!device.WriteRegisterByte(kRegAesControl, kAesPrepareKey) || !PollAes(device, kAesKeyReady)) return false;
  if (!device.WriteRegister(kRegAesInput, 16, block)) return false;
  if (!device.WriteRegisterByte(kRegAesControl, kAesEncrypt) || !PollAes(device, kAesDone)) return false;
  return device.ReadRegister(kRegAesOutput, 16, answer);
}

}  // namespace tavik::tokenio

using namespace tavik::tokenio;

// Exported by tokenio.
extern "C" int SolvePuzzle(int slot, const char* selector, const char* block, char* out) {
  if (selector == nullptr || block == nullptr || out == nullptr || slot < 0 || slot > 15) return 0;
  KeyMutexLock lock;
  if (!lock.held()) return 0;
  uint8_t b[16], s[16], answer[16];
  tavik::hex::DecodeLenient(block, b, 16);
  tavik::hex::DecodeLenient(selector, s, 16);
  TokenDevice device;
  if (!device.ok() || !TokenAes(device, slot, s, b, answer)) return 0;
  tavik::hex::Encode(answer, 16, out, /*upper=*/false);
  Sleep(100);
  return 1;
}

// Exported by tokenio. Diagnostic: loads four key-page bytes and reads what the token makes of them.
extern "C" int SolvePuzzleHex(unsigned short a, unsigned short b, unsigned short c, unsigned short d,
                              unsigned char* out, unsigned out_length) {
  if (out == nullptr || out_length < 16) return 0;
  const unsigned short addresses[4] = {a, b, c, d};
  for (unsigned short v : addresses) {
    if (v < 1 || v > kPageSize) return 0;
  }
  KeyMutexLock lock;
  if (!lock.held()) return 0;
  TokenDevice device;
  if (!device.ok()) return 0;
  for (int k = 0; k < 4; ++k) {
    const int v = addresses[k] - 1;
    const uint8_t address[2] = {static_cast<uint8_t>((v >> 6) & 31), static_cast<uint8_t>(v & 63)};
    if (!device.WriteRegister(kRegAddress, sizeof(address), address)) return 0;
    if (!device.Command(static_cast<uint8_t>(k * 16 + kCmdLoadKeyByte))) return 0;
  }
  return device.ReadRegister(kRegReadData, kChunkSize, out) ? 1 : 0;
}
