// The token's AES-128 against the FIPS-197 examples (cipher and key expansion) and the SP 800-38A ECB vectors.
#include "aes128.h"

#include <gtest/gtest.h>

#include <string>

namespace xp::usbtoken {
namespace {

AesBlock FromHex(const std::string& hex) {
  AesBlock block{};
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
  return block;
}

struct Vector {
  const char* key;
  const char* plain;
  const char* cipher;
};

constexpr Vector kVectors[] = {
    // FIPS-197 Appendix B and Appendix C.1.
    {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734", "3925841d02dc09fbdc118597196a0b32"},
    {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff", "69c4e0d86a7b0430d8cdb78070b4c55a"},
    // SP 800-38A F.1.1, ECB-AES128.
    {"2b7e151628aed2a6abf7158809cf4f3c", "6bc1bee22e409f96e93d7e117393172a", "3ad77bb40d7a3660a89ecaf32466ef97"},
    {"2b7e151628aed2a6abf7158809cf4f3c", "ae2d8a571e03ac9c9eb76fac45af8e51", "f5d3d58503b9699de785895a96fdbaaf"},
    {"2b7e151628aed2a6abf7158809cf4f3c", "30c81c46a35ce411e5fbc1191a0a52ef", "43b1cd7f598ece23881b00e3ed030688"},
    {"2b7e151628aed2a6abf7158809cf4f3c", "f69f2445df4f9b17ad2b417be66c3710", "7b0c785e27e8ad3f8223207104725dd4"},
};

TEST(TokenAes, EncryptsTheStandardVectors) {
  for (const Vector& v : kVectors) {
    SCOPED_TRACE(v.plain);
    EXPECT_EQ(AesEncrypt(FromHex(v.key), FromHex(v.plain)), FromHex(v.cipher));
  }
}

// FIPS-197 Appendix A.1: the first derived word and the last round key.
TEST(TokenAes, ExpandsTheKeyOfAppendixA) {
  const std::array<uint32_t, 44> words = ExpandAesKey(FromHex("2b7e151628aed2a6abf7158809cf4f3c"));
  EXPECT_EQ(words[4], 0xa0fafe17u);
  EXPECT_EQ(words[40], 0xd014f9a8u);
  EXPECT_EQ(words[41], 0xc9ee2589u);
  EXPECT_EQ(words[42], 0xe13f0cc8u);
  EXPECT_EQ(words[43], 0xb6630ca6u);
}

}  // namespace
}  // namespace xp::usbtoken
