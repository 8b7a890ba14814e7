// The key material through setupcore's exports: random secrets, the token's answers as CFK and KN, the expanded
// forms and the unwrap check, and the hex helpers the Key Answer path uses.
#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "aes_test_vectors.h"
#include "hex.h"
#include "key_format.h"
#include "setupcore_fixture.h"
#include "tokenio.h"
#include "xp/machine.h"
#include "xp/usbtoken.h"

namespace tavik::setupcore::testing {
namespace {

using cipher::test_vectors::Bytes;

TEST(GenerateSecret, NeverDrawsSeparatorBytesAndSpellsThemUpperCase) {
  std::set<unsigned> seen;
  std::set<std::string> secrets;
  for (int call = 0; call < 2000; ++call) {
    unsigned char bin[17];
    char hex[33];
    std::memset(bin, 0xAA, sizeof bin);
    std::memset(hex, 'x', sizeof hex);
    (call % 2 == 0 ? generate_s1 : generate_sn)(bin, hex);
    ASSERT_EQ(bin[16], 0);
    ASSERT_EQ(hex[32], '\0');
    char expected[33];
    for (int i = 0; i < 16; ++i) std::snprintf(expected + 2 * i, 3, "%02X", bin[i]);
    ASSERT_STREQ(hex, expected);
    for (int i = 0; i < 16; ++i) seen.insert(bin[i]);
    secrets.insert(hex);
  }
  for (unsigned separator : {0x00u, 0x09u, 0x0Au, 0x0Du, 0x20u}) EXPECT_EQ(seen.count(separator), 0u) << separator;
  EXPECT_EQ(seen.size(), 256u - 5u);  // every other byte value turns up in 32,000 draws
  EXPECT_EQ(secrets.size(), 2000u);   // calls in the same second still differ
}

TEST(ExpandKn, GivesTheTransposedHalvesWhateverTheLengthArgument) {
  const std::vector<uint8_t> kn = Bytes("0102040810204080ff00000000000000");
  unsigned char out[32];
  expand_kn(kn.data(), 16, out);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 32),
            Bytes("0102040810204080ff0000000000000080402010080402018080808080808080"));
  // A short key is zero-filled, never read past.
  expand_kn(kn.data(), 1, out);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 32),
            Bytes("0100000000000000000000000000000080000000000000000000000000000000"));
}

TEST(CheckCfkWithoutKernel, OpensOnlyTheRecordWrappedUnderKn) {
  const std::vector<uint8_t> cfk = Bytes("00112233445566778899aabbccddeeff");
  unsigned char xcfk[33] = {};
  expand_cfk(cfk.data(), xcfk);
  ASSERT_TRUE(bValidXCFK(xcfk));
  const std::vector<uint8_t> kn = Bytes("2b7e151628aed2a6abf7158809cf4f3c");
  unsigned char expanded[32];
  expand_kn(kn.data(), 16, expanded);
  // The wrap as the install engine does it: _enc of the XCFK under the expanded KN, key length 32.
  unsigned char efkn[32];
  std::memcpy(efkn, xcfk, 32);
  _enc(efkn, 32, expanded, 32);
  EXPECT_TRUE(checkCFKWithoutKernel(kn.data(), efkn));
  std::vector<uint8_t> wrong = kn;
  wrong[15] ^= 0x80;
  EXPECT_FALSE(checkCFKWithoutKernel(wrong.data(), efkn));
  xcfk[2] ^= 1;
  EXPECT_FALSE(bValidXCFK(xcfk));
}

TEST(HexHelpers, PairsKeepTheHighDigitFirstInMemory) {
  const unsigned short pair = _Hex2Ascii(0xA7);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&pair), 2), "a7");

  struct {
    const char* text;
    bool ok;
    unsigned char value;
  } cases[] = {{"aF", true, 0xAF}, {"Fa", true, 0xFA}, {"09", true, 0x09},
               {"g0", false, 0},   {"0G", false, 0},   {" 1", false, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    unsigned char out = 0x5A;
    const auto packed =
        static_cast<unsigned short>(static_cast<unsigned char>(c.text[0]) | static_cast<unsigned char>(c.text[1]) << 8);
    EXPECT_EQ(_Ascii2Hex(&out, packed), c.ok);
    EXPECT_EQ(out, c.ok ? c.value : 0x5A);
  }

  EXPECT_TRUE(bValidHexStr("", 0));
  EXPECT_TRUE(bValidHexStr("0123456789abcdefABCDEF", 22));
  EXPECT_FALSE(bValidHexStr("0123g", 5));
  EXPECT_TRUE(bValidHexStr("0123g", 4));

  const unsigned char bytes[] = {0x00, 0x9F, 0xE1};
  char text[7] = "######";
  expandBin(bytes, 3, text);
  EXPECT_STREQ(text, "009fe1");
}

class TokenAnswerTest : public SetupcoreTest {};

TEST_F(TokenAnswerTest, CfkAndKnAreTheTokensAnswerSpelledTheirWay) {
  const char* selector = "000102030405060708090A0B0C0D0E0F";
  char direct[33] = {};
  ASSERT_EQ(SolvePuzzle(0, selector, keys::kPuzzleBlock, direct), 1);
  std::vector<uint8_t> answer(16);
  ASSERT_TRUE(hex::DecodeStrict(std::string_view(direct, 32), answer.data(), 16));

  const uint64_t before = xp::machine::NowMs();
  unsigned char cfk[17];
  char response[33];
  ASSERT_EQ(generate_cfk(selector, cfk, response), 1);
  EXPECT_GE(xp::machine::NowMs() - before, 3000u);
  EXPECT_EQ(std::vector<uint8_t>(cfk, cfk + 16), answer);
  EXPECT_EQ(cfk[16], 0);
  for (int i = 0; i < 32; ++i) {
    const char token_digit = direct[i];
    const char expected = i % 2 == 0 ? static_cast<char>(std::toupper(token_digit)) : token_digit;
    EXPECT_EQ(response[i], expected) << i;
  }
  EXPECT_EQ(response[32], '\0');

  unsigned char kn[17];
  char kn_text[33];
  // The selector's letter case does not change the answer.
  ASSERT_EQ(generate_kn("000102030405060708090a0b0c0d0e0f", kn_text, kn), 1);
  EXPECT_EQ(std::vector<uint8_t>(kn, kn + 16), answer);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(kn_text[i], std::toupper(direct[i])) << i;
}

TEST_F(TokenAnswerTest, ATokenThatDoesNotAnswerLeavesTheOutputsAlone) {
  xp::usbtoken::Unplug(root(), token());
  const uint64_t before = xp::machine::NowMs();
  unsigned char key[17];
  char text[33];
  std::memset(key, 0x77, sizeof key);
  std::memset(text, 'z', sizeof text);
  EXPECT_EQ(generate_cfk("000102030405060708090A0B0C0D0E0F", key, text), 0);
  EXPECT_EQ(generate_kn("000102030405060708090A0B0C0D0E0F", text, key), 0);
  EXPECT_GE(xp::machine::NowMs() - before, 6000u);  // the pause follows a failed answer too
  EXPECT_EQ(std::string(reinterpret_cast<char*>(key), 17), std::string(17, '\x77'));
  EXPECT_EQ(std::string(text, 33), std::string(33, 'z'));
}

}  // namespace
}  // namespace tavik::setupcore::testing
