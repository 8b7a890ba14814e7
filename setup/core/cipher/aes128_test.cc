// Known answers for the AES-128 core: the key schedule against FIPS-197's listings, and blocks on both engines,
// one at a time and in runs long enough to use the pipelined path and its leftovers.
#include "aes128.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string_view>
#include <vector>

#include "aes_test_vectors.h"

namespace tavik::cipher {
namespace {

using test_vectors::Bytes;

Aes128Key Expand(std::string_view key_hex) {
  Aes128Key key;
  ExpandKey(Bytes(key_hex).data(), &key);
  return key;
}

std::vector<uint8_t> Slice(const uint8_t* bytes, size_t offset, size_t length) {
  return std::vector<uint8_t>(bytes + offset, bytes + offset + length);
}

TEST(Aes128KeySchedule, MatchesFips197Listings) {
  struct Row {
    std::string_view key;
    bool inverse;
    size_t offset;
    std::string_view bytes;
  };
  const Row rows[] = {
      {test_vectors::kSp800Key, false, 0, "2b7e151628aed2a6abf7158809cf4f3c"},   // w0..w3: the key itself
      {test_vectors::kSp800Key, false, 16, "a0fafe1788542cb123a339392a6c7605"},  // w4..w7
      {test_vectors::kSp800Key, false, 160, "d014f9a8c9ee2589e13f0cc8b6630ca6"},  // w40..w43
      {test_vectors::kFips197C1.key, false, 16, "d6aa74fdd2af72fadaa678f1d6ab76fe"},
      {test_vectors::kFips197C1.key, false, 160, "13111d7fe3944a17f307a78b4d2b30c5"},
      // The equivalent inverse cipher's round keys, in decryption order.
      {test_vectors::kFips197C1.key, true, 0, "13111d7fe3944a17f307a78b4d2b30c5"},
      {test_vectors::kFips197C1.key, true, 16, "13aa29be9c8faff6f770f58000f7bf03"},
      {test_vectors::kFips197C1.key, true, 160, "000102030405060708090a0b0c0d0e0f"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.key << (row.inverse ? " inverse" : " forward") << " @" << row.offset);
    const Aes128Key key = Expand(row.key);
    EXPECT_EQ(Slice(row.inverse ? key.inverse : key.forward, row.offset, 16), Bytes(row.bytes));
  }
}

TEST(Aes128KeySchedule, ExpandedKeyBytesIsTheForwardSchedule) {
  const Aes128Key key = Expand(test_vectors::kSp800Key);
  uint8_t e[kAes128ExpandedKeySize];
  ExpandedKeyBytes(key, e);
  EXPECT_EQ(0, std::memcmp(e, key.forward, sizeof e));
  EXPECT_EQ(e[4], 0x28);  // E[4] = key byte 4
  EXPECT_EQ(e[20], 0x88);  // first byte of w5
}

class Aes128EngineTest : public ::testing::TestWithParam<Aes128Engine> {};

INSTANTIATE_TEST_SUITE_P(Engines, Aes128EngineTest,
                         ::testing::Values(Aes128Engine::kFastest, Aes128Engine::kPortable),
                         [](const auto& info) {
                           return info.param == Aes128Engine::kFastest ? "Fastest" : "Portable";
                         });

TEST_P(Aes128EngineTest, SingleBlocksMatchKnownAnswers) {
  std::vector<test_vectors::HexVector> vectors = {test_vectors::kFips197C1};
  vectors.insert(vectors.end(), std::begin(test_vectors::kSp800Ecb), std::end(test_vectors::kSp800Ecb));
  for (const auto& vector : vectors) {
    SCOPED_TRACE(vector.plain);
    const Aes128Key key = Expand(vector.key);
    uint8_t out[kAesBlockSize];
    EncryptBlock(key, Bytes(vector.plain).data(), out, GetParam());
    EXPECT_EQ(Slice(out, 0, 16), Bytes(vector.cipher));
    DecryptBlock(key, out, out, GetParam());  // in place
    EXPECT_EQ(Slice(out, 0, 16), Bytes(vector.plain));
  }
}

// Runs of 1..17 blocks cycle through SP 800-38A's four blocks: 8 and 16 fill whole pipeline groups, the others
// leave single blocks behind.
TEST_P(Aes128EngineTest, RunsOfBlocksMatchKnownAnswers) {
  const Aes128Key key = Expand(test_vectors::kSp800Key);
  for (size_t count = 1; count <= 17; ++count) {
    SCOPED_TRACE(::testing::Message() << count << " blocks");
    std::vector<uint8_t> plain, cipher;
    for (size_t i = 0; i < count; ++i) {
      const auto& vector = test_vectors::kSp800Ecb[i % 4];
      const auto p = Bytes(vector.plain), c = Bytes(vector.cipher);
      plain.insert(plain.end(), p.begin(), p.end());
      cipher.insert(cipher.end(), c.begin(), c.end());
    }
    std::vector<uint8_t> data = plain;
    EncryptBlocks(key, data.data(), count, GetParam());
    EXPECT_EQ(data, cipher);
    DecryptBlocks(key, data.data(), count, GetParam());
    EXPECT_EQ(data, plain);
  }
}

}  // namespace
}  // namespace tavik::cipher
