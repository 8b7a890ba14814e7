// The PSS store on page 4: secrets written to numbered slots, and challenges answered over them.
#include <cstring>

#include "hex.h"
#include "sha1.h"
#include "tokenio.h"
#include "tokenio_private.h"

namespace tavik::tokenio {
namespace {

constexpr int kPssPage = 4;
constexpr int kPssSlotCount = 31;
constexpr int kNextFreeOffset = 510;
constexpr int kStoreFull = 32;
constexpr DWORD kPssTokenSleepMs = 1800;

int SlotOffset(int slot) { return 16 * (slot - 1); }

// The next free slot number from byte 510. The byte can be rewritten by anyone through the page calls, so any
// value outside 1..32 (other than an erased 0xFF, which means 1) is refused instead of trusted.
int NextFreeSlot() {
  uint8_t next = 0;
  if (!ReadUserDataPage(kPssPage, kNextFreeOffset, 1, &next)) return 0;
  if (next == 0xFF) return 1;
  return next >= 1 && next <= kStoreFull ? next : 0;
}

}  // namespace
}  // namespace tavik::tokenio

using namespace tavik::tokenio;

// Exported by tokenio.
extern "C" int WritePSS(int slot, const char* pss) {
  if (pss == nullptr || slot < 0 || slot > kPssSlotCount) return 0;
  uint8_t secret[16];
  tavik::hex::DecodeLenient(pss, secret, 16);
  KeyMutexLock lock;
  if (!lock.held()) return 0;
  const int next = NextFreeSlot();
  if (next == 0) return 0;
  if (slot == 0) {
    if (next == kStoreFull) return 0;
    if (!WriteUserDataPage(kPssPage, SlotOffset(next), 16, secret)) return 0;
    const uint8_t after = static_cast<uint8_t>(next + 1);
    return WriteUserDataPage(kPssPage, kNextFreeOffset, 1, &after) ? next : 0;
  }
  if (slot >= next) return 0;
  return WriteUserDataPage(kPssPage, SlotOffset(slot), 16, secret) ? slot : 0;
}

// Exported by tokenio.
extern "C" int PSolvePuzzle(int slot, const char* challenge, int pss_slot, const char* hash_input, int hash_length,
                            char* out) {
  if (challenge == nullptr || out == nullptr || slot < 0 || slot > 15 || pss_slot < 1 || pss_slot > kPssSlotCount ||
      hash_length < 0 || (hash_input == nullptr && hash_length > 0)) {
    return 0;
  }
  uint8_t secret[16];
  if (!ReadUserDataPage(kPssPage, SlotOffset(pss_slot), 16, secret)) return 0;
  uint8_t selector[16], key[16];
  tavik::hex::DecodeLenient(challenge, selector, 16);
  {
    KeyMutexLock lock;
    if (!lock.held()) return 0;
    Sleep(kPssTokenSleepMs);
    TokenDevice device;
    if (!device.ok() || !TokenAes(device, slot, selector, secret, key)) return 0;
    Sleep(100);
  }
  uint8_t block[16];
  if (hash_length == 32) {
    tavik::hex::DecodeLenient(hash_input, block, 16);
  } else {
    const auto digest = tavik::cipher::Sha1(reinterpret_cast<const uint8_t*>(hash_input),
                                            static_cast<size_t>(hash_length));
    std::memcpy(block, digest.data(), 16);
  }
  AesOneBlock(block, key, 1);
  tavik::hex::Encode(block, 16, out, /*upper=*/false);
  return 1;
}
