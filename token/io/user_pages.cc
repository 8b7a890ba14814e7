// User data pages 2-31 and raw user flash. Pages 0 and 1 hold the token's keys and identity and are never reached
// through these calls.
#include <cstring>

#include "tokenio.h"
#include "tokenio_private.h"

namespace tavik::tokenio {
namespace {

constexpr int kFirstUserPage = 2;
constexpr int kLastPage = 31;
constexpr unsigned kFirstUserAddress = 1024;

bool PageRangeValid(int page, int offset, int length) {
  return page >= kFirstUserPage && page <= kLastPage && offset >= 0 && length >= 0 && offset <= kPageSize &&
         length <= kPageSize - offset;
}

unsigned PageAddress(int page, int offset) { return static_cast<unsigned>(page * kPageSize + offset); }

// Reads start at an even offset: an odd start reads the rest first, then the pair before it for its second byte.
bool ReadPage(TokenDevice& device, int page, int offset, int length, uint8_t* out) {
  if (length == 0) return true;
  if (offset % 2 == 0) return device.ReadLinear(PageAddress(page, offset), out, static_cast<unsigned>(length));
  if (!device.ReadLinear(PageAddress(page, offset + 1), out + 1, static_cast<unsigned>(length - 1))) return false;
  uint8_t pair[2];
  if (!device.ReadChunk(static_cast<uint8_t>(PageAddress(page, offset - 1) / kBlockSize),
                        static_cast<uint8_t>((offset - 1) % kBlockSize), kCmdReadUserFlash, pair, 2)) {
    return false;
  }
  out[0] = pair[1];
  return true;
}

// A page is rewritten whole: erase, then program all 512 bytes. A failed erase stops before any programming, so
// a page is never programmed over old content and reported as written.
bool RewritePage(TokenDevice& device, int page, const uint8_t image[kPageSize]) {
  const uint8_t address[2] = {static_cast<uint8_t>(page * 8), 0};
  if (!device.WriteRegister(kRegAddress, sizeof(address), address)) return false;
  if (!device.Command(kCmdErasePage)) return false;
  if (!device.WaitReady()) return false;
  return device.ProgramLinear(PageAddress(page, 0), image, kPageSize);
}

bool FlashRangeValid(unsigned address, unsigned length) {
  return address >= kFirstUserAddress && address <= kFlashSize && length <= kFlashSize - address;
}

}  // namespace
}  // namespace tavik::tokenio

using namespace tavik::tokenio;

// Exported by tokenio.
extern "C" int ReadUserDataPage(int page, int offset, int length, unsigned char* out) {
  if (!PageRangeValid(page, offset, length) || (out == nullptr && length > 0)) return 0;
  KeyMutexLock lock;
  if (!lock.held()) return 0;
  TokenDevice device;
  if (!device.ok() || !device.MemoryAccessAllowed()) return 0;
  return ReadPage(device, page, offset, length, out) ? 1 : 0;
}

// Exported by tokenio.
extern "C" int WriteUserDataPage(int page, int offset, int length, const unsigned char* data) {
  if (!PageRangeValid(page, offset, length) || (data == nullptr && length > 0)) return 0;
  KeyMutexLock lock;
  if (!lock.held()) return 0;
  TokenDevice device;
  if (!device.ok() || !device.MemoryAccessAllowed()) return 0;
  uint8_t image[kPageSize];
  if (!ReadUserDataPage(page, 0, kPageSize, image)) return 0;
  if (length > 0) std::memcpy(image + offset, data, static_cast<size_t>(length));
  return RewritePage(device, page, image) ? 1 : 0;
}

// Exported by tokenio.
extern "C" int ReadUserFlash(unsigned address, unsigned length, unsigned char* out) {
  if (!FlashRangeValid(address, length) || (out == nullptr && length > 0)) return 0;
  KeyMutexLock lock;
  if (!lock.held()) return 0;
  TokenDevice device;
  if (!device.ok()) return 0;
  return device.ReadLinear(address, out, length) ? 1 : 0;
}

// Exported by tokenio.
extern "C" int WriteUserFlash(unsigned address, unsigned length, const unsigned char* data) {
  if (!FlashRangeValid(address, length) || (data == nullptr && length > 0)) return 0;
  KeyMutexLock lock;
  if (!lock.held()) return 0;
  TokenDevice device;
  if (!device.ok()) return 0;
  return device.ProgramLinear(address, data, length) ? 1 : 0;
}
