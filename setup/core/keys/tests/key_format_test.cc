// The key records against numbers from outside: the bit transposes of the expanded KN, the EFKN as FIPS-197 blocks
// under KN, and the marker test that tells a right unwrap from a wrong one.
#include "key_format.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "aes_test_vectors.h"

namespace tavik::keys {
namespace {

using cipher::test_vectors::Bytes;

std::string Hex(const uint8_t* bytes, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < n; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

TEST(ExpandKn, TransposesEachHalf) {
  struct Case {
    const char* kn;
    const char* expanded;
  } cases[] = {
      {"00000000000000000000000000000000", "0000000000000000000000000000000000000000000000000000000000000000"},
      {"01000000000000000000000000000000", "0100000000000000000000000000000080000000000000000000000000000000"},
      {"ff000000000000000000000000000000",
       "ff0000000000000000000000000000008080808080808080"
       "0000000000000000"},
      {"0102040810204080ff00000000000000", "0102040810204080ff0000000000000080402010080402018080808080808080"},
      {"000102030405060708090a0b0c0d0e0f", "000102030405060708090a0b0c0d0e0f55330f000000000055330fff00000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kn);
    uint8_t out[kExpandedKnSize];
    ExpandKn(Bytes(c.kn).data(), out);
    EXPECT_EQ(Hex(out, sizeof out), c.expanded);
  }
}

TEST(ExpandCfk, InterleavesTheMarkerAndTheKey) {
  const std::vector<uint8_t> cfk = Bytes("000102030405060708090a0b0c0d0e0f");
  uint8_t xcfk[kXcfkSize];
  ExpandCfk(cfk.data(), xcfk);
  for (size_t i = 0; i < kKeySize; ++i) {
    EXPECT_EQ(xcfk[2 * i], static_cast<uint8_t>(kXcfkMarker[i]));
    EXPECT_EQ(xcfk[2 * i + 1], i);
  }
  EXPECT_TRUE(IsValidXcfk(xcfk));
}

TEST(IsValidXcfk, LooksOnlyAtTheEvenBytes) {
  uint8_t xcfk[kXcfkSize];
  ExpandCfk(Bytes("ffeeddccbbaa99887766554433221100").data(), xcfk);
  for (size_t i = 0; i < kXcfkSize; ++i) {
    SCOPED_TRACE(i);
    uint8_t flipped[kXcfkSize];
    std::copy(std::begin(xcfk), std::end(xcfk), flipped);
    flipped[i] ^= 0x01;
    EXPECT_EQ(IsValidXcfk(flipped), i % 2 == 1);
  }
}

TEST(WrapXcfk, EncryptsEachHalfUnderKnAlone) {
  const auto& c1 = cipher::test_vectors::kFips197C1;
  std::vector<uint8_t> two_blocks = Bytes(c1.plain);
  const std::vector<uint8_t> second = Bytes(c1.plain);
  two_blocks.insert(two_blocks.end(), second.begin(), second.end());
  uint8_t efkn[kEfknSize];
  WrapXcfk(Bytes(c1.key).data(), two_blocks.data(), efkn);
  EXPECT_EQ(Hex(efkn, sizeof efkn), std::string(c1.cipher) + std::string(c1.cipher));
  uint8_t back[kXcfkSize];
  UnwrapEfkn(Bytes(c1.key).data(), efkn, back);
  EXPECT_EQ(std::vector<uint8_t>(back, back + kXcfkSize), two_blocks);
}

TEST(KnOpensEfkn, OnlyTheWrappingKeyOpensTheRecord) {
  uint8_t xcfk[kXcfkSize];
  ExpandCfk(Bytes("0f1e2d3c4b5a69788796a5b4c3d2e1f0").data(), xcfk);
  std::vector<uint8_t> kn = Bytes("2b7e151628aed2a6abf7158809cf4f3c");
  uint8_t efkn[kEfknSize];
  WrapXcfk(kn.data(), xcfk, efkn);
  EXPECT_TRUE(KnOpensEfkn(kn.data(), efkn));
  for (size_t bit = 0; bit < 128; bit += 9) {
    SCOPED_TRACE(bit);
    std::vector<uint8_t> wrong = kn;
    wrong[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    EXPECT_FALSE(KnOpensEfkn(wrong.data(), efkn));
  }
}

}  // namespace
}  // namespace tavik::keys
