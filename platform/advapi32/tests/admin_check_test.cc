// The administrator check as the setup library makes it (open the token for reading, size query and read of its
// groups, build S-1-5-32-544, compare), for each account and with each step made to fail.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <cstring>

#include "scratch_machine.h"
#include "windows.h"
#include "xp/faults.h"

namespace {

// 0 a member of Administrators; 1 token not opened; 2 size query failed; 3 no memory; 4 group query failed;
// 5 SID not built; 6 not a member.
int AdminCheck() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &token)) return 1;
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenGroups, nullptr, 0, &size) && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    CloseHandle(token);
    return 2;
  }
  auto* groups = static_cast<TOKEN_GROUPS*>(std::malloc(size));
  if (groups == nullptr) return 3;
  int result = 6;
  SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!GetTokenInformation(token, TokenGroups, groups, size, &size)) {
    result = 4;
  } else if (!AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                                       0, 0, 0, &administrators)) {
    result = 5;
  } else {
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
      if (EqualSid(groups->Groups[i].Sid, administrators)) result = 0;
    }
    FreeSid(administrators);
  }
  std::free(groups);
  CloseHandle(token);
  return result;
}

class AdminCheckTest : public ::testing::Test {
 protected:
  void TearDown() override { ::unsetenv("XPMACHINE_USER"); }
  const xp::test::ScratchMachine machine_;
};

TEST_F(AdminCheckTest, AnswersForEachAccount) {
  const struct {
    const char* account;
    int result;
  } rows[] = {
      {"Administrator", 0}, {"User", 6}, {"SYSTEM", 0}, {"LOCAL SERVICE", 6}, {"NETWORK SERVICE", 6},
  };
  for (const auto& row : rows) {
    ::setenv("XPMACHINE_USER", row.account, 1);
    EXPECT_EQ(AdminCheck(), row.result) << row.account;
  }
}

TEST_F(AdminCheckTest, EachFailedStepGivesItsOwnCode) {
  const struct {
    const char* operation;
    uint32_t nth;
    int result;
  } rows[] = {
      {"OpenProcessToken", 1, 1},
      {"GetTokenInformation", 1, 2},
      {"GetTokenInformation", 2, 4},
      {"AllocateAndInitializeSid", 1, 5},
  };
  for (const auto& row : rows) {
    xp::machine::ClearFaults();
    xp::machine::ArmFault({xp::machine::FaultAction::kFail, row.operation, row.nth, 1, ERROR_ACCESS_DENIED, ""});
    EXPECT_EQ(AdminCheck(), row.result) << row.operation << " call " << row.nth;
    EXPECT_EQ(AdminCheck(), 0) << "only one call fails";
  }
}

TEST_F(AdminCheckTest, TheTokenDescribesTheAccountExactly) {
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  // TOKEN_USER (16 bytes here) and S-1-5-21-a-b-c-500 (28 bytes).
  DWORD size = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetTokenInformation(token, TokenUser, nullptr, 0, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(size, sizeof(TOKEN_USER) + 28);
  alignas(8) BYTE buffer[256];
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetTokenInformation(token, TokenUser, buffer, size - 1, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  ASSERT_TRUE(GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size));
  const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer);
  const BYTE expected_user[] = {1,    5,    0,    0,    0,    0,    0,    5,    21,   0,    0,    0,    0x4D, 0x4C,
                                0xBB, 0xA5, 0x24, 0x32, 0xBD, 0x47, 0xD0, 0x90, 0xB8, 0xE9, 0xF4, 0x01, 0,    0};
  EXPECT_EQ(std::memcmp(user->User.Sid, expected_user, sizeof expected_user), 0)
      << "S-1-5-21-2780515405-1203581476-3921187024-500";

  // GroupCount (with padding) 8, three SID_AND_ATTRIBUTES, then S-1-1-0 (12), S-1-5-32-544 (16), S-1-5-32-545 (16).
  ASSERT_TRUE(GetTokenInformation(token, TokenGroups, buffer, sizeof buffer, &size));
  EXPECT_EQ(size, 8 + 3 * sizeof(SID_AND_ATTRIBUTES) + 12 + 16 + 16);
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer);
  ASSERT_EQ(groups->GroupCount, 3u);
  const BYTE everyone[] = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
  const BYTE administrators[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0};
  const BYTE users[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x21, 0x02, 0, 0};
  EXPECT_EQ(std::memcmp(groups->Groups[0].Sid, everyone, sizeof everyone), 0);
  EXPECT_EQ(std::memcmp(groups->Groups[1].Sid, administrators, sizeof administrators), 0);
  EXPECT_EQ(std::memcmp(groups->Groups[2].Sid, users, sizeof users), 0);
  EXPECT_EQ(groups->Groups[1].Attributes, 0xFu);
  EXPECT_EQ(groups->Groups[2].Attributes, 0x7u);
  CloseHandle(token);
}

TEST_F(AdminCheckTest, ATokenDoesOnlyWhatItsRightsAllow) {
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
  DWORD size = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetTokenInformation(token, TokenUser, nullptr, 0, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(token);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(OpenProcessToken(GetCurrentProcess(), 0x0002 /* TOKEN_DUPLICATE */, &token));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
}

}  // namespace
