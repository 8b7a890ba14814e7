// The password block, its byte-by-byte compare and the lifetime of the accepted bit (status bit 1).
#include "token_fixture.h"

namespace xp::usbtoken {
namespace {

using PasswordTest = TokenTest;

TEST_F(PasswordTest, CleanTokenAcceptsTheEmptyPasswordOnly) {
  Channel channel = Open();
  EXPECT_EQ(channel.Status(), 0x01);
  ASSERT_EQ(channel.ComparePassword("x"), ERROR_SUCCESS);
  EXPECT_EQ(channel.Status(), 0x01);
  ASSERT_EQ(channel.ComparePassword(""), ERROR_SUCCESS);
  EXPECT_EQ(channel.Status(), 0x03);
}

TEST_F(PasswordTest, ComparesAgainstTheProgrammedBlock) {
  Channel channel = Open();
  ASSERT_EQ(channel.ProgramPassword("Secret1"), ERROR_SUCCESS);
  EXPECT_EQ(Look().password_block, PasswordBlock("Secret1"));
  struct Case {
    const char* password;
    uint8_t status;
  };
  const Case cases[] = {{"Secret1", 0x03}, {"", 0x01},        {"secret1", 0x01}, {"Secret1", 0x03},
                        {"Secret", 0x01},  {"Secret12", 0x01}, {"Secret1", 0x03}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.password);
    ASSERT_EQ(channel.ComparePassword(c.password), ERROR_SUCCESS);
    EXPECT_EQ(channel.Status(), c.status);
  }
  const std::string longest(63, 'z');
  ASSERT_EQ(channel.ProgramPassword(longest), ERROR_SUCCESS);
  ASSERT_EQ(channel.ComparePassword(longest), ERROR_SUCCESS);
  EXPECT_EQ(channel.Status(), 0x03);
}

// The accepted bit outlives the open that earned it, until a logout, a failed compare or an unplug.
TEST_F(PasswordTest, AcceptanceLastsAcrossOpensUntilLogoutFailureOrUnplug) {
  {
    Channel first = Open();
    ASSERT_EQ(first.ComparePassword(""), ERROR_SUCCESS);
  }
  Channel second = Open();
  EXPECT_EQ(second.Status(), 0x03);
  ASSERT_EQ(second.Command(0x08), ERROR_SUCCESS);
  EXPECT_EQ(second.Status(), 0x01);

  ASSERT_EQ(second.ComparePassword(""), ERROR_SUCCESS);
  ASSERT_EQ(second.ComparePassword("wrong"), ERROR_SUCCESS);
  EXPECT_EQ(Open().Status(), 0x01);

  ASSERT_EQ(second.ComparePassword(""), ERROR_SUCCESS);
  ASSERT_TRUE(Unplug(root_, id_));
  ASSERT_TRUE(Plug(root_, id_));
  EXPECT_EQ(Open().Status(), 0x01);
}

// Clearing the password block does not by itself withdraw an acceptance.
TEST_F(PasswordTest, ClearingThePasswordKeepsAcceptance) {
  Channel channel = Open();
  ASSERT_EQ(channel.ProgramPassword("Secret1"), ERROR_SUCCESS);
  ASSERT_EQ(channel.ComparePassword("Secret1"), ERROR_SUCCESS);
  ASSERT_EQ(channel.Command(0x0E), ERROR_SUCCESS);
  EXPECT_EQ(Look().password_block, PasswordBlock(""));
  EXPECT_EQ(channel.Status(), 0x03);
}

// A compare sequence broken off by another command decides nothing.
TEST_F(PasswordTest, InterruptedCompareSequenceStartsAgain) {
  Channel channel = Open();
  const auto block = PasswordBlock("");
  for (int i = 1; i <= 40; ++i) {
    ASSERT_EQ(channel.Write(0x34, {block[i]}), ERROR_SUCCESS);
    ASSERT_EQ(channel.Command(0x02), ERROR_SUCCESS);
  }
  ASSERT_EQ(channel.Write(0x30, {0x0C, 0, 0, 0}), ERROR_SUCCESS);
  for (int i = 1; i <= 23; ++i) {
    ASSERT_EQ(channel.Write(0x34, {block[i]}), ERROR_SUCCESS);
    ASSERT_EQ(channel.Command(0x02), ERROR_SUCCESS);
  }
  EXPECT_EQ(channel.Status(), 0x01) << "40 + 23 compares must not count as one sequence";
  ASSERT_EQ(channel.ComparePassword(""), ERROR_SUCCESS);
  EXPECT_EQ(channel.Status(), 0x03);
}

// A sequence left half done by one open (its process died) does not swallow the next caller's bytes.
TEST_F(PasswordTest, CompareSequenceBelongsToTheOpenThatBeganIt) {
  {
    Channel abandoned = Open();
    const auto block = PasswordBlock("");
    for (int i = 1; i <= 30; ++i) {
      ASSERT_EQ(abandoned.Write(0x34, {block[i]}), ERROR_SUCCESS);
      ASSERT_EQ(abandoned.Command(0x02), ERROR_SUCCESS);
    }
  }
  Channel channel = Open();
  ASSERT_EQ(channel.ComparePassword(""), ERROR_SUCCESS);
  EXPECT_EQ(channel.Status(), 0x03);
}

}  // namespace
}  // namespace xp::usbtoken
