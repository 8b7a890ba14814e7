// The stream transform: known streams with tails on both engines, round trips of every short length, and a file
// processed in 64 KiB pieces giving the same bytes as one call.
#include "file_cipher.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "aes_test_vectors.h"

namespace tavik::cipher {
namespace {

using test_vectors::Bytes;

AesKey Expand(std::string_view key_hex) {
  AesKey key;
  ExpandKey(Bytes(key_hex).data(), &key);
  return key;
}

std::vector<uint8_t> RandomBytes(size_t length, unsigned seed) {
  std::mt19937 generator(seed);
  std::vector<uint8_t> bytes(length);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(generator());
  return bytes;
}

class FileCipherTest : public ::testing::TestWithParam<AesEngine> {};

INSTANTIATE_TEST_SUITE_P(Engines, FileCipherTest,
                         ::testing::Values(AesEngine::kFastest, AesEngine::kPortable),
                         [](const auto& info) {
                           return info.param == AesEngine::kFastest ? "Fastest" : "Portable";
                         });

TEST_P(FileCipherTest, KnownStreams) {
  for (const auto& vector : test_vectors::kStreams) {
    SCOPED_TRACE(vector.plain);
    const AesKey key = Expand(vector.key);
    std::vector<uint8_t> data = Bytes(vector.plain);
    EncryptStream(key, data.data(), data.size(), GetParam());
    EXPECT_EQ(data, Bytes(vector.cipher));
    DecryptStream(key, data.data(), data.size(), GetParam());
    EXPECT_EQ(data, Bytes(vector.plain));
  }
}

TEST_P(FileCipherTest, RoundTripsEveryLengthUpToThreeBlocks) {
  const AesKey key = Expand(test_vectors::kFips197C1.key);
  for (size_t length = 0; length <= 48; ++length) {
    SCOPED_TRACE(length);
    const std::vector<uint8_t> plain = RandomBytes(length, static_cast<unsigned>(length));
    std::vector<uint8_t> data = plain;
    EncryptStream(key, data.data(), length, GetParam());
    if (length > 0) {
      EXPECT_NE(data, plain);
    }
    DecryptStream(key, data.data(), length, GetParam());
    EXPECT_EQ(data, plain);
  }
}

TEST_P(FileCipherTest, PiecesOfWholeBlocksThenTheRestEqualOneCall) {
  const AesKey key = Expand(test_vectors::kSp800Key);
  constexpr size_t kPiece = 65536;
  const std::vector<uint8_t> plain = RandomBytes(kPiece + 5, 7);
  std::vector<uint8_t> whole = plain;
  EncryptStream(key, whole.data(), whole.size(), GetParam());
  std::vector<uint8_t> pieces = plain;
  EncryptStream(key, pieces.data(), kPiece, GetParam());
  EncryptStream(key, pieces.data() + kPiece, 5, GetParam());
  EXPECT_EQ(pieces, whole);
  DecryptStream(key, pieces.data(), kPiece, GetParam());
  DecryptStream(key, pieces.data() + kPiece, 5, GetParam());
  EXPECT_EQ(pieces, plain);
}

TEST(FileCipher, EnginesAgreeOnRandomStreams) {
  if (!AesNiAvailable()) GTEST_SKIP() << "no AES-NI on this processor: both engines are the portable one";
  const AesKey key = Expand(test_vectors::kFips197C1.key);
  for (size_t length : {1, 15, 16, 17, 127, 128, 129, 143, 4095, 65536, 65541}) {
    SCOPED_TRACE(length);
    const std::vector<uint8_t> plain = RandomBytes(length, static_cast<unsigned>(length) + 100);
    std::vector<uint8_t> fast = plain, portable = plain;
    EncryptStream(key, fast.data(), length, AesEngine::kFastest);
    EncryptStream(key, portable.data(), length, AesEngine::kPortable);
    EXPECT_EQ(fast, portable);
    // Each engine decrypts the other's output.
    DecryptStream(key, fast.data(), length, AesEngine::kPortable);
    DecryptStream(key, portable.data(), length, AesEngine::kFastest);
    EXPECT_EQ(fast, plain);
    EXPECT_EQ(portable, plain);
  }
}

}  // namespace
}  // namespace tavik::cipher
