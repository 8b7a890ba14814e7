// The token's identity text, renaming a token, the direct challenge answers and the fixed answers.
#include <string>

#include "api_fixture.h"
#include "tokenapi.h"
#include "tokenio.h"

namespace tavik::tokenapi::testing {
namespace {

using TokenNameTest = TokenApiTest;

std::string UserName(int capacity, int* result) {
  std::string out(static_cast<size_t>(capacity) + 1, '#');
  int len = capacity;
  *result = NuboGetUserName(out.data(), &len);
  return *result == 0 ? std::string(out.c_str(), static_cast<size_t>(len)) : out;
}

TEST_F(TokenNameTest, UserNameIsTheIdentityTextUpToItsEnd) {
  int result = 1;
  EXPECT_EQ(UserName(128, &result), Esn());
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Esn().size(), 8u);

  // A name without 0xFF or NUL is cut at 63 characters.
  std::string name(128, '7');
  ASSERT_EQ(NuboSetUserName(name.data(), 128), 0);
  EXPECT_EQ(UserName(128, &result), std::string(63, '7'));
  std::string shorter = "Alice Token";
  ASSERT_EQ(NuboSetUserName(shorter.data(), static_cast<int>(shorter.size())), 0);
  EXPECT_EQ(UserName(64, &result), shorter);
  const auto identity = Page(1);
  EXPECT_EQ(std::count(identity.begin() + 11, identity.begin() + 128, 0xFF), 117);
}

TEST_F(TokenNameTest, UserNameNeedsRoomForTheTextAndItsNul) {
  char out[8];
  std::memset(out, '#', sizeof(out));
  int len = 8;
  EXPECT_EQ(NuboGetUserName(out, &len), 1);
  EXPECT_EQ(len, 9);
  EXPECT_EQ(std::string(out, 8), std::string(8, '#'));
  EXPECT_EQ(NuboGetUserName(out, nullptr), 1);
}

TEST_F(TokenNameTest, NoTokenGivesNoName) {
  Unplug();
  char out[64];
  int len = 64;
  EXPECT_EQ(NuboGetUserName(out, &len), 1);
  EXPECT_EQ(len, 0);
}

TEST_F(TokenNameTest, OversizedNamesAreRefusedWithoutTouchingTheToken) {
  std::string name(200, 'n');
  ClearLog();
  EXPECT_EQ(NuboSetUserName(name.data(), 129), 1);
  EXPECT_EQ(NuboSetUserName(name.data(), -1), 1);
  EXPECT_EQ(NuboSetUserName(nullptr, 4), 1);
  EXPECT_TRUE(Log().empty());
}

TEST_F(TokenNameTest, DirectAnswersComeFromTheToken) {
  std::string challenge = "00112233445566778899aabbccddeeff";
  char out[33] = {};
  ASSERT_EQ(NuboGetResponse(5, challenge.data(), nullptr, out), 0);
  EXPECT_EQ(std::string(out, 32), Solve(5, challenge, challenge));

  const std::string pss = "0f0e0d0c0b0a09080706050403020100";
  ASSERT_EQ(WritePSS(0, pss.c_str()), 1);
  std::string hash = "user@corp";
  ASSERT_EQ(NuboGetPrivateResponse(2, challenge.data(), hash.data(), 9, out, 1), 0);
  EXPECT_EQ(std::string(out, 32), SolvePrivate(2, challenge, pss, hash));

  std::string short_challenge = "0011";
  EXPECT_EQ(NuboGetResponse(5, short_challenge.data(), nullptr, out), 1);
  EXPECT_EQ(NuboGetPrivateResponse(2, short_challenge.data(), hash.data(), 9, out, 1), 1);
  EXPECT_EQ(NuboGetResponse(16, challenge.data(), nullptr, out), 1);
}

TEST_F(TokenNameTest, FixedAnswers) {
  unsigned char area[8] = {};
  int len = 8;
  EXPECT_EQ(NuboGetUSBProtectedArea1(area, &len, 0), 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(area)), "vpn");
  EXPECT_EQ(len, 3);
  len = 3;  // no room for the NUL: nothing written
  unsigned char small[3] = {'#', '#', '#'};
  EXPECT_EQ(NuboGetUSBProtectedArea2(small, &len, 0), 1);
  EXPECT_EQ(small[0], '#');
  EXPECT_EQ(fntokenapi(), 42);
  EXPECT_EQ(ntokenapi, 0);
  char pwd[4] = "abc";
  len = 4;
  EXPECT_EQ(NuboGetOneTimePwd(pwd, &len), 0);
  EXPECT_EQ(len, 4);
  EXPECT_STREQ(pwd, "abc");
}

}  // namespace
}  // namespace tavik::tokenapi::testing
