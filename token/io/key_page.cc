// Provisioning writes of page 0: the 16 key slots and the key-byte map. The token never gives them back.
#include "tokenio.h"
#include "tokenio_private.h"

namespace tavik::tokenio {
namespace {

constexpr unsigned kKeySlotsAddress = 0;
constexpr unsigned kKeyMapAddress = 256;
constexpr unsigned kKeyAreaSize = 256;

int ProgramKeyPage(unsigned address, const uint8_t* data) {
  if (data == nullptr) return 0;
  KeyMutexLock lock;
  if (!lock.held()) return 0;
  TokenDevice device;
  if (!device.ok() || !device.MemoryAccessAllowed()) return 0;
  return device.ProgramLinear(address, data, kKeyAreaSize) ? 1 : 0;
}

}  // namespace
}  // namespace tavik::tokenio

// Exported by tokenio.
extern "C" int BurnAESkeyAll(const unsigned char* keys) {
  return tavik::tokenio::ProgramKeyPage(tavik::tokenio::kKeySlotsAddress, keys);
}

// Exported by tokenio.
extern "C" int BurnIdPadMap(const unsigned char* map) {
  return tavik::tokenio::ProgramKeyPage(tavik::tokenio::kKeyMapAddress, map);
}
