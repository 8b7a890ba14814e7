// Provisioning from a seed: the identity area as the token library reads it, the key page, determinism.
#include <set>

#include "aes128.h"
#include "token_fixture.h"

namespace xp::usbtoken {
namespace {

using IdentityTest = TokenTest;

// The 16 chunks in the order the token library sends them.
std::vector<uint8_t> ReadIdentityArea(Channel& channel) {
  const std::pair<uint8_t, uint8_t> chunks[] = {{8, 0},   {8, 8},   {8, 16},  {8, 24},  {8, 32},   {8, 40},
                                                {8, 48},  {8, 56},  {9, 64},  {10, 72}, {11, 80},  {12, 88},
                                                {13, 96}, {14, 104}, {15, 112}, {8, 120}};
  std::vector<uint8_t> area;
  for (const auto& [block, offset] : chunks) {
    std::vector<uint8_t> chunk;
    EXPECT_EQ(channel.ReadChunk(block, offset, 0x0A, 8, &chunk), ERROR_SUCCESS);
    area.insert(area.end(), chunk.begin(), chunk.end());
  }
  return area;
}

TEST_F(IdentityTest, IdentityAreaHoldsSerialNumberChallengeAndPasswordCopy) {
  Channel channel = Open();
  const std::vector<uint8_t> area = ReadIdentityArea(channel);
  ASSERT_EQ(area.size(), 128u);
  const Snapshot token = Look();
  EXPECT_TRUE(std::equal(area.begin(), area.end(), token.flash.begin() + 512));

  for (int i = 0; i < 8; ++i) EXPECT_TRUE(area[i] >= '0' && area[i] <= '9') << i;
  EXPECT_EQ(area[8], 0x00);
  for (int i = 9; i < 21; ++i) EXPECT_EQ(area[i], 0xFF) << i;
  EXPECT_NE(std::count(area.begin() + 21, area.begin() + 37, 0xFF), 16);  // challenge
  for (int i = 37; i < 41; ++i) EXPECT_EQ(area[i], 0xFF) << i;
  const AesBlock copy = AesEncrypt(token.password_copy_key, AesBlock{});  // the empty password, NUL-filled
  for (int block = 0; block < 4; ++block) {
    EXPECT_TRUE(std::equal(copy.begin(), copy.end(), area.begin() + 41 + 16 * block)) << block;
  }
  for (int i = 105; i < 128; ++i) EXPECT_EQ(area[i], 0xFF) << i;

  const std::vector<TokenInfo> tokens = List(root_);
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_EQ(tokens[0].esn, std::string(area.begin(), area.begin() + 8));
}

TEST_F(IdentityTest, NewTokenHasKeysAMapPermutationAndNothingElse) {
  const Snapshot token = Look();
  std::set<uint8_t> map(token.flash.begin() + 256, token.flash.begin() + 512);
  EXPECT_EQ(map.size(), 256u);
  EXPECT_NE(std::count(token.flash.begin(), token.flash.begin() + 256, 0xFF), 256);
  EXPECT_TRUE(std::all_of(token.flash.begin() + 1024, token.flash.end(), [](uint8_t b) { return b == 0xFF; }));
  EXPECT_EQ(token.password_block, PasswordBlock(""));
  EXPECT_EQ(token.counter, 0);
  EXPECT_TRUE(token.plugged);
  EXPECT_FALSE(token.accepted);
}

TEST_F(IdentityTest, SameSeedMakesTheSameTokenAndAnotherSeedAnother) {
  const std::string twin = Provision(root_, 0x5EED);
  const std::string other = Provision(root_, 0x5EEE);
  EXPECT_EQ(twin, "token2");
  EXPECT_EQ(other, "token3");
  EXPECT_EQ(Look(twin).flash, Look().flash);
  const Snapshot different = Look(other);
  EXPECT_FALSE(std::equal(different.flash.begin(), different.flash.begin() + 512, Look().flash.begin()));
  EXPECT_NE(List(root_)[2].esn, List(root_)[0].esn);
}

TEST_F(IdentityTest, ChosenSerialNumberKeepsTheSeededSecrets) {
  const std::string chosen = Provision(root_, 0x5EED, "12345678");
  const Snapshot token = Look(chosen);
  EXPECT_EQ(std::string(token.flash.begin() + 512, token.flash.begin() + 521), std::string("12345678\0", 9));
  EXPECT_TRUE(std::equal(token.flash.begin(), token.flash.begin() + 512, Look().flash.begin()));
  EXPECT_EQ(List(root_)[1].esn, "12345678");
  EXPECT_THROW(Provision(root_, 1, std::string(21, '1')), std::invalid_argument);
  EXPECT_THROW(Provision(root_, 1, std::string("1234\0", 5)), std::invalid_argument);
}

}  // namespace
}  // namespace xp::usbtoken
