// The identity area: its fixed chunk sequence, the serial number rule and the challenge text.
#include <cstring>

#include "esn_text.h"
#include "token_fixture.h"
#include "tokenio.h"

namespace tavik::tokenio::testing {
namespace {

using IdentityTest = TokenTest;

TEST_F(IdentityTest, BurnAndReadUseTheFixedChunkSequence) {
  uint8_t area[128];
  for (int i = 0; i < 128; ++i) area[i] = static_cast<uint8_t>(i * 3);
  ClearLog();
  ASSERT_EQ(BurnESN(area), 1);
  const std::vector<std::vector<uint8_t>> expected_addresses = {
      {8, 0},   {8, 8},   {8, 16},  {8, 24},  {8, 32},  {8, 40},   {8, 48},   {8, 56},
      {9, 64},  {10, 72}, {11, 80}, {12, 88}, {13, 96}, {14, 104}, {15, 112}, {8, 120}};
  const auto writes = Writes(0x32);
  ASSERT_EQ(writes.size(), 16u);
  for (size_t k = 0; k < writes.size(); ++k) {
    EXPECT_EQ(std::vector<uint8_t>(writes[k].begin(), writes[k].begin() + 2), expected_addresses[k]) << k;
    EXPECT_EQ(std::vector<uint8_t>(writes[k].begin() + 2, writes[k].end()),
              std::vector<uint8_t>(area + 8 * k, area + 8 * k + 8));
  }
  EXPECT_EQ(Commands(), std::vector<uint8_t>(16, 0x75));
  uint8_t back[128];
  ASSERT_EQ(GetESN(back), 1);
  EXPECT_EQ(std::memcmp(back, area, 128), 0);
}

TEST_F(IdentityTest, SerialNumberIsEightDigitsCutAtNulOrFF) {
  uint8_t area[128];
  ASSERT_EQ(GetESN(area), 1);
  const std::string esn = tavik::EsnText(area, sizeof(area));
  ASSERT_EQ(esn.size(), 8u);
  EXPECT_EQ(esn.find_first_not_of("0123456789"), std::string::npos);
  EXPECT_EQ(esn, xp::usbtoken::List(machine_.root()).at(0).esn);

  const struct {
    std::vector<uint8_t> bytes;
    std::string text;
  } cases[] = {
      {{'1', '2', '3', '4', '5', '6', '7', '8', 0, 0xFF}, "12345678"},
      {{'1', '2', '3', '4', '5', '6', '7', '8', '9', '0'}, "12345678"},
      {{'1', '2', '3', 0xFF, '5'}, "123"},
      {{'1', '2', 0, '4'}, "12"},
      {{0xFF, 0xFF}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(tavik::EsnText(c.bytes.data(), c.bytes.size()), c.text);
}

TEST_F(IdentityTest, ChallengeIsUpperCaseHexOfBytes21To36) {
  char out[40];
  std::memset(out, 'x', sizeof(out));
  ASSERT_EQ(GetChallenge(out), 1);
  EXPECT_EQ(out[32], '\0');
  const auto flash = Snap().flash;
  char expected[33];
  for (int i = 0; i < 16; ++i) std::snprintf(expected + 2 * i, 3, "%02X", flash[512 + 21 + i]);
  EXPECT_STREQ(out, expected);
}

// A failed read still ends the text and never shows stale memory.
TEST_F(IdentityTest, FailedChallengeReadGivesFixedDigits) {
  xp::usbtoken::AddRequestFault(machine_.root(), token(), xp::usbtoken::RequestFault::Register(0x3C));
  char out[40];
  std::memset(out, 'x', sizeof(out));
  EXPECT_EQ(GetChallenge(out), 0);
  EXPECT_EQ(out[32], '\0');
  EXPECT_STREQ(out, std::string(32, 'F').c_str());
}

}  // namespace
}  // namespace tavik::tokenio::testing
