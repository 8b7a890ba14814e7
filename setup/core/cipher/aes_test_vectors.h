// Known-answer vectors shared by every test of the AES core and the file cipher: FIPS-197 Appendix C.1, the
// AES-128 ECB vectors of NIST SP 800-38A F.1.1/F.1.2, and encrypted streams with tails.
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

inline constexpr HexVector kFips197C1 = {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
                                         "69c4e0d86a7b0430d8cdb78070b4c55a"};

// SP 800-38A's key is also the key of FIPS-197 Appendix A.1.
inline constexpr std::string_view kSp800Key = "2b7e151628aed2a6abf7158809cf4f3c";
inline constexpr HexVector kSp800Ecb[] = {
    {kSp800Key, "6bc1bee22e409f96e93d7e117393172a", "3ad77bb40d7a3660a89ecaf32466ef97"},
    {kSp800Key, "ae2d8a571e03ac9c9eb76fac45af8e51", "f5d3d58503b9699de785895a96fdbaaf"},
    {kSp800Key, "30c81c46a35ce411e5fbc1191a0a52ef", "43b1cd7f598ece23881b00e3ed030688"},
    {kSp800Key, "f69f2445df4f9b17ad2b417be66c3710", "7b0c785e27e8ad3f8223207104725dd4"},
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
