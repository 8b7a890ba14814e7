// Known-answer vectors shared by every test of the AES core, the file cipher and the key cipher: FIPS-197
// Appendix C at each key size, the examples of NIST SP 800-38A at each key size, and encrypted streams with tails.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "hex.h"

namespace tavik::cipher::test_vectors {

struct HexVector {
  std::string_view key;
  std::string_view plain;
  std::string_view cipher;
};

// FIPS-197 Appendix C.1, C.2 and C.3: one plaintext block under the keys 00 01 02 ... of 16, 24 and 32 bytes.
inline constexpr HexVector kFips197C1 = {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
                                         "69c4e0d86a7b0430d8cdb78070b4c55a"};
inline constexpr HexVector kFips197C2 = {"000102030405060708090a0b0c0d0e0f1011121314151617",
                                         "00112233445566778899aabbccddeeff", "dda97ca4864cdfe06eaf70a0ec0d7191"};
inline constexpr HexVector kFips197C3 = {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
                                         "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"};
inline constexpr HexVector kFips197C[] = {kFips197C1, kFips197C2, kFips197C3};

// SP 800-38A's four plaintext blocks and the IV of its CBC and OFB examples.
inline constexpr std::string_view kSp800Plain[4] = {
    "6bc1bee22e409f96e93d7e117393172a", "ae2d8a571e03ac9c9eb76fac45af8e51", "30c81c46a35ce411e5fbc1191a0a52ef",
    "f69f2445df4f9b17ad2b417be66c3710"};
inline constexpr std::string_view kSp800Iv = "000102030405060708090a0b0c0d0e0f";

// SP 800-38A's examples at one key size: ECB (F.1.1, F.1.3, F.1.5), CBC from kSp800Iv (F.2.1, F.2.3, F.2.5), and
// OFB's first two output blocks (F.4.1, F.4.3, F.4.5), which are E(IV) and E(E(IV)).
struct Sp800Examples {
  std::string_view key;
  std::string_view ecb[4];
  std::string_view cbc[4];
  std::string_view ofb_output[2];
};

// The 128-bit key is also FIPS-197 Appendix A.1's; the 192- and 256-bit keys are A.2's and A.3's.
inline constexpr std::string_view kSp800Key = "2b7e151628aed2a6abf7158809cf4f3c";
inline constexpr Sp800Examples kSp800[] = {
    {kSp800Key,
     {"3ad77bb40d7a3660a89ecaf32466ef97", "f5d3d58503b9699de785895a96fdbaaf", "43b1cd7f598ece23881b00e3ed030688",
      "7b0c785e27e8ad3f8223207104725dd4"},
     {"7649abac8119b246cee98e9b12e9197d", "5086cb9b507219ee95db113a917678b2", "73bed6b8e3c1743b7116e69e22229516",
      "3ff1caa1681fac09120eca307586e1a7"},
     {"50fe67cc996d32b6da0937e99bafec60", "d9a4dada0892239f6b8b3d7680e15674"}},
    {"8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b",
     {"bd334f1d6e45f25ff712a214571fa5cc", "974104846d0ad3ad7734ecb3ecee4eef", "ef7afd2270e2e60adce0ba2face6444e",
      "9a4b41ba738d6c72fb16691603c18e0e"},
     {"4f021db243bc633d7178183a9fa071e8", "b4d9ada9ad7dedf4e5e738763f69145a", "571b242012fb7ae07fa9baac3df102e0",
      "08b0e27988598881d920a9e64f5615cd"},
     {"a609b38df3b1133dddff2718ba09565e", "52ef01da52602fe0975f78ac84bf8a50"}},
    {"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
     {"f3eed1bdb5d2a03c064b5a7e3db181f8", "591ccb10d410ed26dc5ba74a31362870", "b6ed21b99ca6f4f9f153e7b1beafed1d",
      "23304b7a39f9f3ff067d8d8f9e24ecc7"},
     {"f58c4c04d6e5f1ba779eabfb5f7bfbd6", "9cfc4e967edb808d679f777bc6702c7d", "39f23369a9d9bacfa530e26304231461",
      "b2eb05e2c39be9fcda6c19078c6a9d1b"},
     {"b7bf3a5df43989dd97f0fa97ebce2f4a", "e1c656305ed1a7a6563805746fe03edc"}},
};

// Whole streams: blocks, then a tail of 1..15 bytes keyed with E[4], E[12], ... of the key's expansion.
// The A.1 key's E[8i+4] for i = 0..14 are 28 09 88 2a 7a 73 47 6d a8 db 7c 11 11 ca 5f; the C.1 key's are
// 04 0c d2 d6 64 68 d2 04 95 fd a9 ad f7 0a e3.
inline constexpr HexVector kStreams[] = {
    {kSp800Key, "00", "41"},
    {kSp800Key, "0000", "4049"},
    {kSp800Key, "000000000000000000000000000000", "404c4153d39a3b6d46dbe0888e52f9"},
    {kFips197C1.key, "00", "20"},
    {kFips197C1.key, "00112233445566778899aabbccddeeff00", "69c4e0d86a7b0430d8cdb78070b4c55a20"},
    {kFips197C1.key, "00112233445566778899aabbccddeeff5a", "69c4e0d86a7b0430d8cdb78070b4c55af2"},
    {kFips197C1.key, "00112233445566778899aabbccddeeff5aa5", "69c4e0d86a7b0430d8cdb78070b4c55af54a"},
    {kFips197C1.key, "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e",
     "0a940bb5416ef045f1c39458c653ea5aa0ee062b83ee209c6f259db758bfe8"},
    {kSp800Key, "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e5130c81c46a35ce4",
     "3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaafc60ca366c97d18"},
};

// Decodes a vector's hex text; a malformed literal yields an empty result, which fails any comparison.
inline std::vector<uint8_t> Bytes(std::string_view text) {
  std::vector<uint8_t> bytes(text.size() / 2);
  if (!hex::DecodeStrict(text, bytes.data(), bytes.size())) bytes.clear();
  return bytes;
}

}  // namespace tavik::cipher::test_vectors
