// Known answers for the AES core at its three key sizes: the key schedule against FIPS-197's listings, and blocks
// on both engines, one at a time and in runs long enough to use the pipelined path and its leftovers.
#include "aes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "aes_test_vectors.h"

namespace tavik::cipher {
namespace {

using test_vectors::Bytes;

AesKey Expand(std::string_view key_hex) {
  AesKey key{};
  const std::vector<uint8_t> bytes = Bytes(key_hex);
  EXPECT_TRUE(ExpandKey(bytes.data(), bytes.size(), &key)) << key_hex;
  return key;
}

std::vector<uint8_t> Slice(const uint8_t* bytes, size_t offset, size_t length) {
  return std::vector<uint8_t>(bytes + offset, bytes + offset + length);
}

TEST(AesKeySchedule, MatchesFips197Listings) {
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
      // 192 bits: Appendix A.2's w48..w51 and C.2's schedules; 256 bits: A.3's w8..w11 (the first words after a
      // SubWord-only step) and w56..w59, and C.3's.
      {test_vectors::kSp800[1].key, false, 0, "8e73b0f7da0e6452c810f32b809079e5"},
      {test_vectors::kSp800[1].key, false, 192, "e98ba06f448c773c8ecc720401002202"},
      {test_vectors::kFips197C2.key, false, 192, "a4970a331a78dc09c418c271e3a41d5d"},
      {test_vectors::kFips197C2.key, true, 0, "a4970a331a78dc09c418c271e3a41d5d"},
      {test_vectors::kFips197C2.key, true, 16, "d6bebd0dc209ea494db073803e021bb9"},
      {test_vectors::kFips197C2.key, true, 192, "000102030405060708090a0b0c0d0e0f"},
      {test_vectors::kSp800[2].key, false, 32, "9ba354118e6925afa51a8b5f2067fcde"},
      {test_vectors::kSp800[2].key, false, 224, "fe4890d1e6188d0b046df344706c631e"},
      {test_vectors::kFips197C3.key, false, 224, "24fc79ccbf0979e9371ac23c6d68de36"},
      {test_vectors::kFips197C3.key, true, 0, "24fc79ccbf0979e9371ac23c6d68de36"},
      {test_vectors::kFips197C3.key, true, 16, "34f1d1ffbfceaa2ffce9e25f2558016e"},
      {test_vectors::kFips197C3.key, true, 224, "000102030405060708090a0b0c0d0e0f"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.key << (row.inverse ? " inverse" : " forward") << " @" << row.offset);
    const AesKey key = Expand(row.key);
    EXPECT_EQ(Slice(row.inverse ? key.inverse : key.forward, row.offset, 16), Bytes(row.bytes));
  }
}

TEST(AesKeySchedule, RoundsFollowTheKeySizeAndOtherSizesAreRefused) {
  const uint8_t key[33] = {};
  for (const auto& [size, rounds] : {std::pair<size_t, int>{16, 10}, {24, 12}, {32, 14}}) {
    AesKey expanded{};
    EXPECT_TRUE(ExpandKey(key, size, &expanded));
    EXPECT_EQ(expanded.rounds, rounds) << size;
  }
  for (const size_t size : {size_t{0}, size_t{15}, size_t{17}, size_t{20}, size_t{31}, size_t{33}}) {
    AesKey expanded{};
    expanded.rounds = -1;
    EXPECT_FALSE(ExpandKey(key, size, &expanded)) << size;
    EXPECT_EQ(expanded.rounds, -1) << size;
  }
}

TEST(AesKeySchedule, ExpandedKeyBytesIsTheForwardSchedule) {
  const AesKey key = Expand(test_vectors::kSp800Key);
  uint8_t e[kAes128ExpandedKeySize];
  ExpandedKeyBytes(key, e);
  EXPECT_EQ(0, std::memcmp(e, key.forward, sizeof e));
  EXPECT_EQ(e[4], 0x28);  // E[4] = key byte 4
  EXPECT_EQ(e[20], 0x88);  // first byte of w5
}

class AesEngineTest : public ::testing::TestWithParam<AesEngine> {};

INSTANTIATE_TEST_SUITE_P(Engines, AesEngineTest,
                         ::testing::Values(AesEngine::kFastest, AesEngine::kPortable),
                         [](const auto& info) {
                           return info.param == AesEngine::kFastest ? "Fastest" : "Portable";
                         });

TEST_P(AesEngineTest, SingleBlocksMatchKnownAnswers) {
  std::vector<test_vectors::HexVector> vectors(std::begin(test_vectors::kFips197C), std::end(test_vectors::kFips197C));
  for (const auto& examples : test_vectors::kSp800) {
    for (int i = 0; i < 4; ++i) vectors.push_back({examples.key, test_vectors::kSp800Plain[i], examples.ecb[i]});
  }
  for (const auto& vector : vectors) {
    SCOPED_TRACE(vector.plain);
    const AesKey key = Expand(vector.key);
    uint8_t out[kAesBlockSize];
    EncryptBlock(key, Bytes(vector.plain).data(), out, GetParam());
    EXPECT_EQ(Slice(out, 0, 16), Bytes(vector.cipher));
    DecryptBlock(key, out, out, GetParam());  // in place
    EXPECT_EQ(Slice(out, 0, 16), Bytes(vector.plain));
  }
}

// Runs of 1..17 blocks cycle through SP 800-38A's four ECB blocks at each key size: 8 and 16 fill whole pipeline
// groups, the others leave single blocks behind.
TEST_P(AesEngineTest, RunsOfBlocksMatchKnownAnswers) {
  for (const auto& examples : test_vectors::kSp800) {
    const AesKey key = Expand(examples.key);
    for (size_t count = 1; count <= 17; ++count) {
      SCOPED_TRACE(::testing::Message() << examples.key << ", " << count << " blocks");
      std::vector<uint8_t> plain, cipher;
      for (size_t i = 0; i < count; ++i) {
        const auto p = Bytes(test_vectors::kSp800Plain[i % 4]), c = Bytes(examples.ecb[i % 4]);
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
}

}  // namespace
}  // namespace tavik::cipher
