// Logons against the machine's accounts: every refusal with its error, a logon's token (its own session and logon
// SID), impersonation that moves HKEY_CURRENT_USER, and a program started as the logged-on user.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "../../kernel32/tests/machine_programs.h"
#include "scratch_machine.h"
#include "userenv.h"
#include "windows.h"
#include "xp/faults.h"
#include "xp/processes.h"

namespace {

class LogonUserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream description(machine_.root() / "machine.ini", std::ios::app);
    description << "account.3.name = alice\naccount.3.password = Al1cePw\naccount.3.administrator = no\n"
                << "account.4.name = Guest\naccount.4.password = guest1\naccount.4.administrator = no\n"
                << "account.4.disabled = yes\n"
                << "account.5.name = bob\naccount.5.password = Bob12345\naccount.5.administrator = no\n"
                << "account.5.must_change_password = yes\n";
  }

  static HANDLE LogOn(const char16_t* user, const char16_t* domain, const char16_t* password, DWORD* error) {
    HANDLE token = nullptr;
    SetLastError(0xdeadbeef);
    const BOOL done = LogonUserW(user, domain, password, LOGON32_LOGON_INTERACTIVE, LOGON32_PROVIDER_WINNT50, &token);
    *error = done ? 0 : GetLastError();
    return done ? token : nullptr;
  }

  static TOKEN_STATISTICS Statistics(HANDLE token) {
    TOKEN_STATISTICS statistics{};
    DWORD size = 0;
    EXPECT_TRUE(GetTokenInformation(token, TokenStatistics, &statistics, sizeof statistics, &size));
    return statistics;
  }

  xp::test::ScratchMachine machine_;
};

TEST_F(LogonUserTest, EachRefusalHasItsError) {
  const struct {
    const char16_t* user;
    const char16_t* domain;
    const char16_t* password;
    DWORD error;
  } rows[] = {
      {u"", u".", u"x", ERROR_INVALID_PARAMETER},
      {u"alice", u"", u"Al1cePw", ERROR_INVALID_PARAMETER},
      {u"alice", u"CORP", u"Al1cePw", ERROR_NO_SUCH_DOMAIN},
      {u"alice", u".", u"al1cepw", ERROR_LOGON_FAILURE},
      {u"nobody", u".", u"Al1cePw", ERROR_LOGON_FAILURE},
      {u"SYSTEM", u".", u"", ERROR_LOGON_FAILURE},
      {u"Guest", u".", u"guest1", ERROR_ACCOUNT_DISABLED},
      {u"Guest", u".", u"wrong", ERROR_LOGON_FAILURE},
      {u"bob", u".", u"Bob12345", ERROR_PASSWORD_MUST_CHANGE},
      {u"ALICE", u"workstation", u"Al1cePw", 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << "row " << &row - rows);
    DWORD error = 0;
    const HANDLE token = LogOn(row.user, row.domain, row.password, &error);
    EXPECT_EQ(error, row.error);
    if (token != nullptr) CloseHandle(token);
  }
  // The refusals no account property gives come from the fault point.
  xp::machine::ArmFault({xp::machine::FaultAction::kFail, "LogonUserW", 1, 1, ERROR_INVALID_LOGON_HOURS, "alice"});
  DWORD error = 0;
  EXPECT_EQ(LogOn(u"alice", u".", u"Al1cePw", &error), nullptr);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_LOGON_HOURS));
}

TEST_F(LogonUserTest, EachLogonHasItsOwnSessionAndLogonSid) {
  DWORD error = 0;
  const HANDLE first = LogOn(u"alice", u".", u"Al1cePw", &error);
  const HANDLE second = LogOn(u"alice", u".", u"Al1cePw", &error);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  const LUID one = Statistics(first).AuthenticationId;
  const LUID two = Statistics(second).AuthenticationId;
  EXPECT_GT(one.LowPart, 0x3E7u) << "above the system's own sessions";
  EXPECT_NE(one.LowPart, two.LowPart);

  DWORD size = 0;
  EXPECT_FALSE(GetTokenInformation(first, TokenGroups, nullptr, 0, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  std::vector<BYTE> buffer(size);
  ASSERT_TRUE(GetTokenInformation(first, TokenGroups, buffer.data(), size, &size));
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  const SID_AND_ATTRIBUTES& logon = groups->Groups[groups->GroupCount - 1];
  EXPECT_EQ(logon.Attributes, 0xC0000007u);
  ASSERT_EQ(GetLengthSid(logon.Sid), 20u);  // S-1-5-5-0-<session>
  BYTE copy[20];
  EXPECT_FALSE(CopySid(19, copy, logon.Sid));
  ASSERT_TRUE(CopySid(sizeof copy, copy, logon.Sid));
  const DWORD expected[] = {5, 0, one.LowPart};
  EXPECT_EQ(std::memcmp(copy + 8, expected, sizeof expected), 0);
  CloseHandle(first);
  CloseHandle(second);
}

TEST_F(LogonUserTest, AnImpersonatingThreadSeesTheUsersHiveAsItsCurrentUser) {
  DWORD error = 0;
  const HANDLE token = LogOn(u"alice", u".", u"Al1cePw", &error);
  ASSERT_NE(token, nullptr);
  const auto write = [](const char* text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Probe", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "who", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), std::strlen(text) + 1);
    RegCloseKey(key);
  };
  ASSERT_TRUE(ImpersonateLoggedOnUser(token));
  write("alice");
  ASSERT_TRUE(RevertToSelf());
  write("process");
  const auto read = [](const char* key_path) {
    HKEY key = nullptr;
    char text[32] = {};
    DWORD size = sizeof text;
    if (RegOpenKeyExA(HKEY_USERS, key_path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return std::string("-");
    RegQueryValueExA(key, "who", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return std::string(text);
  };
  EXPECT_EQ(read("alice\\Software\\Probe"), "alice");
  EXPECT_EQ(read("Administrator\\Software\\Probe"), "process");
  CloseHandle(token);
}

TEST_F(LogonUserTest, AProgramStartsAsTheUserWithItsDesktopAndTitleJournaled) {
  xp::kernel32::testing::Install(machine_.root(), "C:\\Tools\\child.exe");
  DWORD error = 0;
  const HANDLE token = LogOn(u"alice", u".", u"Al1cePw", &error);
  ASSERT_NE(token, nullptr);
  PROFILEINFOW profile{};
  profile.dwSize = sizeof profile;
  profile.dwFlags = PI_NOUI;
  std::u16string name = u"alice";
  profile.lpUserName = name.data();
  ASSERT_TRUE(LoadUserProfileW(token, &profile));
  LPVOID environment = nullptr;
  ASSERT_TRUE(CreateEnvironmentBlock(&environment, token, FALSE));
  EXPECT_EQ(std::u16string(static_cast<const char16_t*>(environment)),
            u"ALLUSERSPROFILE=C:\\Documents and Settings\\All Users");

  std::u16string command = u"C:\\Tools\\child.exe exit 3";
  std::u16string desktop = u"WinSta0\\Default";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.lpDesktop = desktop.data();
  startup.lpTitle = command.data();
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessAsUserW(token, nullptr, command.data(), nullptr, nullptr, FALSE,
                                   CREATE_UNICODE_ENVIRONMENT, environment, nullptr, &startup, &process));
  EXPECT_EQ(xp::machine::FindProcess(process.dwProcessId)->account, "alice");
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  DestroyEnvironmentBlock(environment);
  EXPECT_TRUE(UnloadUserProfile(token, profile.hProfile));
  const std::vector<std::string> journal = xp::kernel32::testing::JournalEvents(machine_.root());
  EXPECT_NE(std::find(journal.begin(), journal.end(),
                      "advapi32 CreateProcessAsUserW as alice on desktop \"WinSta0\\\\Default\" titled "
                      "\"C:\\\\Tools\\\\child.exe exit 3\": \"C:\\\\Tools\\\\child.exe exit 3\" (with an environment "
                      "block)"),
            journal.end());
  CloseHandle(token);
}

}  // namespace
