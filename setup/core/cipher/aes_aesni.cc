// The AES-NI engine. Many blocks are pipelined eight at a time, since each AES instruction has a latency of
// several cycles but a new one can start every cycle.
#include <immintrin.h>

#include "aes_engines.h"

namespace tavik::cipher::internal {
namespace {

constexpr size_t kPipelineBlocks = 8;

template <int kRounds>
struct RoundKeys {
  __m128i round[kRounds + 1];
};

template <int kRounds>
RoundKeys<kRounds> LoadRoundKeys(const uint8_t* bytes) {
  RoundKeys<kRounds> keys;
  for (int r = 0; r <= kRounds; ++r) {
    keys.round[r] = _mm_load_si128(reinterpret_cast<const __m128i*>(bytes + 16 * r));
  }
  return keys;
}

struct Encrypt {
  static __m128i Round(__m128i state, __m128i key) { return _mm_aesenc_si128(state, key); }
  static __m128i LastRound(__m128i state, __m128i key) { return _mm_aesenclast_si128(state, key); }
};

struct Decrypt {
  static __m128i Round(__m128i state, __m128i key) { return _mm_aesdec_si128(state, key); }
  static __m128i LastRound(__m128i state, __m128i key) { return _mm_aesdeclast_si128(state, key); }
};

template <typename Direction, size_t kCount, int kRounds>
inline __attribute__((always_inline)) void TransformGroup(const RoundKeys<kRounds>& keys, uint8_t* data) {
  auto* blocks = reinterpret_cast<__m128i*>(data);
  __m128i state[kCount];
  for (size_t i = 0; i < kCount; ++i) state[i] = _mm_xor_si128(_mm_loadu_si128(blocks + i), keys.round[0]);
  for (int r = 1; r < kRounds; ++r) {
    for (size_t i = 0; i < kCount; ++i) state[i] = Direction::Round(state[i], keys.round[r]);
  }
  for (size_t i = 0; i < kCount; ++i) {
    _mm_storeu_si128(blocks + i, Direction::LastRound(state[i], keys.round[kRounds]));
  }
}

template <typename Direction, int kRounds>
void TransformBlocks(const uint8_t* round_key_bytes, uint8_t* data, size_t block_count) {
  const RoundKeys<kRounds> keys = LoadRoundKeys<kRounds>(round_key_bytes);
  for (; block_count >= kPipelineBlocks; block_count -= kPipelineBlocks, data += kPipelineBlocks * kAesBlockSize) {
    TransformGroup<Direction, kPipelineBlocks>(keys, data);
  }
  for (; block_count > 0; --block_count, data += kAesBlockSize) TransformGroup<Direction, 1>(keys, data);
}

}  // namespace

void AesNiEncryptBlocks(const AesKey& key, uint8_t* data, size_t block_count) {
  WithRounds(key, [&](auto rounds) {
    TransformBlocks<Encrypt, decltype(rounds)::value>(key.forward, data, block_count);
  });
}

// The inverse round keys are already in the form AESDEC expects (InvMixColumns applied to all but the first and
// the last).
void AesNiDecryptBlocks(const AesKey& key, uint8_t* data, size_t block_count) {
  WithRounds(key, [&](auto rounds) {
    TransformBlocks<Decrypt, decltype(rounds)::value>(key.inverse, data, block_count);
  });
}

}  // namespace tavik::cipher::internal
