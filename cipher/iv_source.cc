// IVs from the system's random source: a peer cannot guess the next IV from the last one, whatever the process has
// encrypted before.
#include <exception>
#include <random>

#include "cipherkit_private.h"

namespace tavik::cipherkit {
namespace {

bool SystemRandomIv(uint8_t iv[cipher::kAesBlockSize]) {
  try {
    std::random_device source;
    for (size_t i = 0; i < cipher::kAesBlockSize; i += 4) {
      const uint32_t word = source();
      for (size_t b = 0; b < 4; ++b) iv[i + b] = static_cast<uint8_t>(word >> (8 * b));
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

IvSource current_source = SystemRandomIv;

}  // namespace

bool DrawIv(uint8_t iv[cipher::kAesBlockSize]) { return current_source(iv); }

IvSource ReplaceIvSource(IvSource source) {
  const IvSource previous = current_source;
  current_source = source != nullptr ? source : SystemRandomIv;
  return previous;
}

}  // namespace tavik::cipherkit
