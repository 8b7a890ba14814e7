// The token's challenge operation, the PSS store and the answers computed over it, and host-side AES.
#include <cstring>
#include <string>

#include "aes.h"
#include "hex.h"
#include "sha1.h"
#include "token_fixture.h"
#include "tokenio.h"

namespace tavik::tokenio::testing {
namespace {

std::array<uint8_t, 16> Bytes(const char* hex) {
  std::array<uint8_t, 16> out{};
  tavik::hex::DecodeLenient(hex, out.data(), 16);
  return out;
}

std::string Hex(const uint8_t* bytes) {
  char text[33] = {};
  tavik::hex::Encode(bytes, 16, text, /*upper=*/false);
  return text;
}

std::array<uint8_t, 16> Aes(const std::array<uint8_t, 16>& key, std::array<uint8_t, 16> block) {
  tavik::cipher::AesKey schedule;
  tavik::cipher::ExpandKey(key.data(), &schedule);
  tavik::cipher::EncryptBlock(schedule, block.data(), block.data());
  return block;
}

class PuzzleTest : public TokenTest {
 protected:
  // What the token must answer, computed from its provisioned secrets: the key is the slot's key XOR the map
  // bytes the selector picks.
  std::string Expected(int slot, const char* selector, const char* block) const {
    const auto flash = Snap().flash;
    const auto s = Bytes(selector);
    std::array<uint8_t, 16> key;
    for (int i = 0; i < 16; ++i) key[i] = flash[16 * slot + i] ^ flash[256 + s[i]];
    const auto answer = Aes(key, Bytes(block));
    return Hex(answer.data());
  }
};

constexpr char kChallenge[] = "0F1E2D3C4B5A69788796A5B4C3D2E1F0";

TEST_F(PuzzleTest, AnswerIsTheTokensAesUnderTheSlotAndSelector) {
  for (int slot : {0, 7, 15}) {
    char out[33] = {};
    ASSERT_EQ(SolvePuzzle(slot, kChallenge, kChallenge, out), 1) << slot;
    EXPECT_EQ(std::string(out), Expected(slot, kChallenge, kChallenge)) << slot;
  }
}

TEST_F(PuzzleTest, InputCaseDoesNotMatterAndOutputIsLowerCaseWithoutTerminator) {
  char upper[33], lower[33];
  std::memset(upper, '#', sizeof(upper));
  std::memset(lower, '#', sizeof(lower));
  std::string lower_challenge = kChallenge;
  for (char& c : lower_challenge) c = static_cast<char>(std::tolower(c));
  ASSERT_EQ(SolvePuzzle(3, kChallenge, kChallenge, upper), 1);
  ASSERT_EQ(SolvePuzzle(3, lower_challenge.c_str(), lower_challenge.c_str(), lower), 1);
  EXPECT_EQ(std::string(upper, 32), std::string(lower, 32));
  EXPECT_EQ(upper[32], '#');
  EXPECT_EQ(std::string(upper, 32).find_first_not_of("0123456789abcdef"), std::string::npos);
}

TEST_F(PuzzleTest, AnotherTokenGivesAnotherAnswer) {
  char first[33] = {}, second[33] = {};
  ASSERT_EQ(SolvePuzzle(0, kChallenge, kChallenge, first), 1);
  xp::usbtoken::Unplug(machine_.root(), token());
  xp::usbtoken::Provision(machine_.root(), 8);
  ASSERT_EQ(SolvePuzzle(0, kChallenge, kChallenge, second), 1);
  EXPECT_STRNE(first, second);
}

// A slot outside 0..15 would be truncated onto another slot's key; it is refused before any request.
TEST_F(PuzzleTest, SlotsOutsideTheTokenAreRefused) {
  char out[33] = {};
  ClearLog();
  for (int slot : {-2, -1, 16, 255}) {
    EXPECT_EQ(SolvePuzzle(slot, kChallenge, kChallenge, out), 0) << slot;
    EXPECT_EQ(PSolvePuzzle(slot, kChallenge, 1, "abc", 3, out), 0) << slot;
  }
  EXPECT_EQ(vbSolvePuzzle(16, kChallenge, kChallenge, out), 0);
  EXPECT_TRUE(Log().empty());
}

TEST_F(PuzzleTest, EngineThatNeverSignalsFailsTheCall) {
  xp::usbtoken::SetAesDoneDelay(machine_.root(), token(), xp::usbtoken::kAlways);
  ClearLog();
  char out[33] = {};
  EXPECT_EQ(SolvePuzzle(0, kChallenge, kChallenge, out), 0);
  int polls = 0;
  for (const Request& r : Log()) polls += r.code == kRead && r.reg == 0x20;
  EXPECT_EQ(polls, 1 + 31);  // key-ready seen at once, then 31 polls for the result
}

TEST_F(PuzzleTest, PssStoreFillsSlotsInOrderUntilFull) {
  EXPECT_EQ(WritePSS(0, "00112233445566778899aabbccddeeff"), 1);
  uint8_t next = 0;
  ASSERT_EQ(ReadUserDataPage(4, 510, 1, &next), 1);
  EXPECT_EQ(next, 2);
  for (int expected = 2; expected <= 31; ++expected) EXPECT_EQ(WritePSS(0, "01"), expected);
  ASSERT_EQ(ReadUserDataPage(4, 510, 1, &next), 1);
  EXPECT_EQ(next, 32);
  EXPECT_EQ(WritePSS(0, "02"), 0);
  const auto flash = Snap().flash;
  EXPECT_EQ(Hex(flash.data() + 4 * 512), "00112233445566778899aabbccddeeff");
}

TEST_F(PuzzleTest, PssOverwriteOnlyOfUsedSlots) {
  const uint8_t next_is_3 = 3, next_is_4 = 4;
  ASSERT_EQ(WriteUserDataPage(4, 510, 1, &next_is_3), 1);
  EXPECT_EQ(WritePSS(3, "ff"), 0);
  ASSERT_EQ(WriteUserDataPage(4, 510, 1, &next_is_4), 1);
  EXPECT_EQ(WritePSS(3, "abababababababababababababababab"), 3);
  EXPECT_EQ(Hex(Snap().flash.data() + 4 * 512 + 32), "abababababababababababababababab");
}

// Byte 510 can be written by anyone; values that would place a slot outside the page are refused.
TEST_F(PuzzleTest, CorruptNextFreeByteIsNotTrusted) {
  for (uint8_t bad : {0, 33, 200}) {
    ASSERT_EQ(WriteUserDataPage(4, 510, 1, &bad), 1);
    EXPECT_EQ(WritePSS(0, "01"), 0) << int(bad);
    EXPECT_EQ(WritePSS(1, "01"), 0) << int(bad);
  }
  EXPECT_EQ(WritePSS(-1, "01"), 0);
  EXPECT_EQ(WritePSS(32, "01"), 0);
}

TEST_F(PuzzleTest, PSolvePuzzleHashesOrTakesTheInputAsTheBlock) {
  const char secret[] = "8899aabbccddeeff0011223344556677";
  ASSERT_EQ(WritePSS(0, secret), 1);
  const auto key = Bytes(Expected(2, kChallenge, secret).c_str());
  const struct {
    const char* input;
    int length;
  } cases[] = {{"2b7e151628aed2a6abf7158809cf4f3c", 32}, {"abc", 3}, {"", 0}, {"joined-input-of-33-characters-xyz", 33}};
  for (const auto& c : cases) {
    std::array<uint8_t, 16> block;
    if (c.length == 32) {
      block = Bytes(c.input);
    } else {
      const auto digest = tavik::cipher::Sha1(reinterpret_cast<const uint8_t*>(c.input), c.length);
      std::memcpy(block.data(), digest.data(), 16);
    }
    char out[33] = {};
    ASSERT_EQ(PSolvePuzzle(2, kChallenge, 1, c.input, c.length, out), 1) << c.input;
    EXPECT_EQ(std::string(out), Hex(Aes(key, block).data())) << c.input;
    EXPECT_EQ(vbPSolvePuzzle(2, kChallenge, 1, c.input, c.length, out), 1);
  }
  char out[33];
  EXPECT_EQ(PSolvePuzzle(2, kChallenge, 0, "abc", 3, out), 0);
  EXPECT_EQ(PSolvePuzzle(2, kChallenge, 32, "abc", 3, out), 0);
  EXPECT_EQ(PSolvePuzzle(2, kChallenge, 1, "abc", -1, out), 0);
}

TEST_F(PuzzleTest, DoAesRoundTripsInLowerCase) {
  char data[] = "00112233445566778899AABBCCDDEEFF";
  ASSERT_NE(DoAES(data, "2B7E151628AED2A6ABF7158809CF4F3C", 1), 0);
  ASSERT_NE(DoAES(data, "2b7e151628aed2a6abf7158809cf4f3c", 0), 0);
  EXPECT_STREQ(data, "00112233445566778899aabbccddeeff");
}

// A short key text is read up to its end, the missing digits counting as zero, never past it.
TEST_F(PuzzleTest, ShortHexInputsReadAsZeroPadded) {
  char a[] = "00112233445566778899aabbccddeeff";
  char b[] = "00112233445566778899aabbccddeeff";
  DoAES(a, "0001", 1);
  DoAES(b, "00010000000000000000000000000000", 1);
  EXPECT_STREQ(a, b);
}

TEST_F(PuzzleTest, SolvePuzzleHexChecksItsArguments) {
  uint8_t out[16];
  ClearLog();
  EXPECT_EQ(SolvePuzzleHex(1, 2, 3, 4, out, 15), 0);
  EXPECT_EQ(SolvePuzzleHex(0, 2, 3, 4, out, 16), 0);
  EXPECT_EQ(SolvePuzzleHex(1, 2, 3, 513, out, 16), 0);
  EXPECT_TRUE(Log().empty());
  EXPECT_EQ(SolvePuzzleHex(257, 300, 400, 512, out, 16), 1);
  EXPECT_EQ(Commands(), (std::vector<uint8_t>{0x09, 0x19, 0x29, 0x39}));
}

}  // namespace
}  // namespace tavik::tokenio::testing
