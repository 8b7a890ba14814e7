// The file-cipher exports and the process-wide key cache behind them: the 16 key bytes that count, kept in a
// fixed buffer so that no call can fail to allocate or read past a short key, and wiped when callers are done.
#include "cipher_exports.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "aes.h"
#include "file_cipher.h"

namespace tavik::setupcore {
namespace {

// Locked so that callers on different threads cannot overwrite each other's key between caching and expanding.
struct CipherState {
  std::mutex lock;
  uint8_t key[cipher::kAes128KeySize] = {};
};

CipherState& State() {
  static CipherState state;
  return state;
}

// Caches the key's first 16 bytes (a shorter key is zero-filled, never over-read) and expands them.
cipher::AesKey CacheAndExpand(const unsigned char* key, unsigned int key_length) {
  CipherState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  const size_t used = std::min<size_t>(key_length, cipher::kAes128KeySize);
  std::memset(state.key, 0, sizeof state.key);
  if (used > 0) std::memcpy(state.key, key, used);
  cipher::AesKey schedule;
  cipher::ExpandKey(state.key, &schedule);
  return schedule;
}

}  // namespace
}  // namespace tavik::setupcore

using tavik::setupcore::CacheAndExpand;

// Exported by setupcore.
void _enc(unsigned char* data, unsigned int length, unsigned char* key, unsigned int keyLength) {
  const tavik::cipher::AesKey schedule = CacheAndExpand(key, keyLength);
  tavik::cipher::EncryptStream(schedule, data, length);
}

// Exported by setupcore.
void _dec(unsigned char* data, unsigned int length, unsigned char* key, unsigned int keyLength) {
  const tavik::cipher::AesKey schedule = CacheAndExpand(key, keyLength);
  tavik::cipher::DecryptStream(schedule, data, length);
}

// Exported by setupcore. Forgets the cached key and wipes its bytes.
void freeRijndaleTempKey(void) {
  auto& state = tavik::setupcore::State();
  std::lock_guard<std::mutex> guard(state.lock);
  std::memset(state.key, 0, sizeof state.key);
}

// Exported by setupcore. The cipher's tables are compile-time constants, so there is nothing left to build;
// callers that call it first keep working.
void gentables(void) {}
