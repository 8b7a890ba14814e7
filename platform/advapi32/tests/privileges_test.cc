// The restart as the setup library asks for it: enable SeShutdownPrivilege in the process token, then
// ExitWindowsEx(EWX_REBOOT | EWX_FORCE), which records the request and lets the caller go on.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <regex>

#include "scratch_machine.h"
#include "windows.h"
#include "winuser.h"
#include "xp/faults.h"
#include "xp/machine.h"

namespace {

// Enables (or, with attributes 0, disables) the shutdown privilege; the last error after a TRUE result.
DWORD AdjustShutdownPrivilege(DWORD attributes) {
  HANDLE token = nullptr;
  EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = attributes;
  EXPECT_TRUE(LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid));
  SetLastError(0xdeadbeef);
  EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr));
  const DWORD error = GetLastError();
  CloseHandle(token);
  return error;
}

std::vector<std::string> JournalEvents(const std::filesystem::path& machine) {
  std::ifstream in(machine / "journal.log");
  std::vector<std::string> events;
  for (std::string line; std::getline(in, line);) {
    events.push_back(std::regex_replace(line, std::regex("^\\d+ \\d+ "), ""));
  }
  return events;
}

class PrivilegesTest : public ::testing::Test {
 protected:
  void TearDown() override { ::unsetenv("XPMACHINE_USER"); }
  const xp::test::ScratchMachine machine_;
};

TEST_F(PrivilegesTest, TheShutdownPrivilegeHasItsXpLuid) {
  LUID luid{0xdeadbeef, -1};
  EXPECT_TRUE(LookupPrivilegeValueA(nullptr, "seshutdownprivilege", &luid));
  EXPECT_EQ(luid.LowPart, 19u);
  EXPECT_EQ(luid.HighPart, 0);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &luid));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
}

TEST_F(PrivilegesTest, OnlyAccountsHoldingThePrivilegeCanEnableIt) {
  const struct {
    const char* account;
    DWORD error;
  } rows[] = {
      {"Administrator", ERROR_SUCCESS},
      {"User", ERROR_SUCCESS},
      {"SYSTEM", ERROR_SUCCESS},
      {"LOCAL SERVICE", ERROR_NOT_ALL_ASSIGNED},
      {"NETWORK SERVICE", ERROR_NOT_ALL_ASSIGNED},
  };
  for (const auto& row : rows) {
    ::setenv("XPMACHINE_USER", row.account, 1);
    EXPECT_EQ(AdjustShutdownPrivilege(SE_PRIVILEGE_ENABLED), row.error) << row.account;
  }
}

TEST_F(PrivilegesTest, ARestartNeedsThePrivilegeEnabledAndIsRecordedForTheBootCode) {
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0)) << "held, but not enabled";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD));
  EXPECT_EQ(xp::machine::PendingRestart(), std::nullopt);

  EXPECT_EQ(AdjustShutdownPrivilege(SE_PRIVILEGE_ENABLED), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0));
  EXPECT_EQ(xp::machine::PendingRestart(), 6u);
  EXPECT_EQ(JournalEvents(machine_.root()), std::vector<std::string>{"restart requested (flags 6)"});

  EXPECT_EQ(AdjustShutdownPrivilege(0), static_cast<DWORD>(ERROR_SUCCESS));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0)) << "disabled again";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD));
}

TEST_F(PrivilegesTest, AdjustingNeedsTheRightAndOnlyARestartIsImplemented) {
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  TOKEN_PRIVILEGES privileges{1, {{{19, 0}, SE_PRIVILEGE_ENABLED}}};
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(token);

  EXPECT_EQ(AdjustShutdownPrivilege(SE_PRIVILEGE_ENABLED), static_cast<DWORD>(ERROR_SUCCESS));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ExitWindowsEx(0x00000001 /* EWX_SHUTDOWN */, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
  xp::machine::ArmFault({xp::machine::FaultAction::kFail, "ExitWindowsEx", 1, 1, ERROR_NOT_READY, ""});
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
  EXPECT_EQ(xp::machine::PendingRestart(), std::nullopt);
}

}  // namespace
