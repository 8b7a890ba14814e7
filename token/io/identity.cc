// The identity area on page 1: the serial number text, the challenge bytes and the password copy.
#include <cstring>

#include "hex.h"
#include "tokenio.h"
#include "tokenio_private.h"

namespace tavik::tokenio {
namespace {

constexpr int kIdentityFirstBlock = 8;
constexpr int kChallengeOffset = 21;
constexpr int kChallengeSize = 16;

// Walks the fixed chunk sequence of the identity area. Offsets past 63 are not reduced: the token maps them onto
// the area itself.
template <typename Transfer>
bool WalkIdentity(int first, int last, Transfer transfer) {
  const int length = last - first + 1;
  if (first < 1 || length <= 0 || length > kPageSize || length % kChunkSize != 0) return false;
  int block = kIdentityFirstBlock + (((first - 1) >> 6) & 7);
  int offset = (first - 1) & 63;
  for (int done = 0; done < length; done += kChunkSize, offset += kChunkSize) {
    if (offset >= kBlockSize) block = kIdentityFirstBlock + ((block + (offset >> 6)) & 7);
    if (!transfer(static_cast<uint8_t>(block), static_cast<uint8_t>(offset), done)) return false;
  }
  return true;
}

}  // namespace

bool ReadIdentity(int first, int last, uint8_t* out) {
  KeyMutexLock lock;
  if (!lock.held()) return false;
  TokenDevice device;
  if (!device.ok()) return false;
  return WalkIdentity(first, last, [&](uint8_t block, uint8_t offset, int done) {
    return device.ReadChunk(block, offset, kCmdReadIdentity, out + done, kChunkSize);
  });
}

bool WriteIdentity(int first, int last, const uint8_t* data) {
  KeyMutexLock lock;
  if (!lock.held()) return false;
  TokenDevice device;
  if (!device.ok()) return false;
  return WalkIdentity(first, last, [&](uint8_t block, uint8_t offset, int done) {
    return device.ProgramChunk(block, offset, data + done, kChunkSize);
  });
}

}  // namespace tavik::tokenio

using namespace tavik::tokenio;

// Exported by tokenio.
extern "C" int GetESN(unsigned char* out) {
  if (out == nullptr) return 0;
  return ReadIdentity(1, kIdentitySize, out) ? 1 : 0;
}

// Exported by tokenio.
extern "C" int BurnESN(const unsigned char* data) {
  if (data == nullptr) return 0;
  return WriteIdentity(1, kIdentitySize, data) ? 1 : 0;
}

// Exported by tokenio. The buffer is prefilled so that a failed read still gives fixed digits, never stale memory.
extern "C" int GetChallenge(char* out) {
  if (out == nullptr) return 0;
  uint8_t area[120];
  std::memset(area, 0xFF, sizeof(area));
  const bool read = ReadIdentity(1, sizeof(area), area);
  tavik::hex::Encode(area + kChallengeOffset, kChallengeSize, out, /*upper=*/true);
  out[32] = '\0';
  return read ? 1 : 0;
}
