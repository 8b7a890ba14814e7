// The computer's accounts through netapi32: enumeration in batches that together list every normal account once,
// and password changes with their refusals, which last for every later logon and can be made to fail on the way
// back by the password history.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "lm.h"
#include "scratch_machine.h"
#include "windows.h"
#include "xp/faults.h"

namespace {

class UsersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream description(machine_.root() / "machine.ini", std::ios::app);
    description << "account.3.name = jdoe\naccount.3.password = Doe12345\naccount.3.administrator = no\n"
                << "account.3.full_name = John Doe\npassword_history = 2\n";
  }

  static bool LogsOn(const char16_t* user, const char16_t* password) {
    HANDLE token = nullptr;
    if (!LogonUserW(user, u".", password, LOGON32_LOGON_INTERACTIVE, LOGON32_PROVIDER_WINNT50, &token)) return false;
    CloseHandle(token);
    return true;
  }

  xp::test::ScratchMachine machine_;
};

TEST_F(UsersTest, BatchesListEveryNormalAccountOnceWithItsFullName) {
  std::vector<std::u16string> names;
  std::vector<std::u16string> full_names;
  DWORD resume = 0;
  int batches = 0;
  NET_API_STATUS status = 0;
  do {
    LPBYTE buffer = nullptr;
    DWORD read = 0;
    DWORD total = 0;
    status = NetUserEnum(nullptr, 10, FILTER_NORMAL_ACCOUNT, &buffer, 64, &read, &total, &resume);
    ASSERT_TRUE(status == NERR_Success || status == ERROR_MORE_DATA) << status;
    EXPECT_EQ(read, 1u) << "64 bytes hold one entry at a time";
    const auto* users = reinterpret_cast<const USER_INFO_10*>(buffer);
    for (DWORD i = 0; i < read; ++i) {
      names.push_back(users[i].usri10_name);
      full_names.push_back(users[i].usri10_full_name);
    }
    NetApiBufferFree(buffer);
    ++batches;
  } while (status == ERROR_MORE_DATA);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"Administrator", u"User", u"jdoe"}));
  EXPECT_EQ(full_names, (std::vector<std::u16string>{u"", u"", u"John Doe"}));
  EXPECT_EQ(batches, 3);

  LPBYTE buffer = nullptr;
  DWORD read = 0;
  DWORD total = 0;
  EXPECT_EQ(NetUserEnum(nullptr, 10, FILTER_NORMAL_ACCOUNT, &buffer, MAX_PREFERRED_LENGTH, &read, &total, nullptr),
            NERR_Success);
  EXPECT_EQ(read, 3u);
  NetApiBufferFree(buffer);
  EXPECT_EQ(NetUserEnum(u"\\\\OTHERPC", 10, FILTER_NORMAL_ACCOUNT, &buffer, MAX_PREFERRED_LENGTH, &read, &total,
                        nullptr),
            NERR_InvalidComputer);
}

TEST_F(UsersTest, AChangedPasswordLastsAndTheHistoryRefusesTheWayBack) {
  const struct {
    const char16_t* domain;
    const char16_t* user;
    const char16_t* old_password;
    const char16_t* new_password;
    NET_API_STATUS status;
  } changes[] = {
      {u"OTHERPC", u"jdoe", u"Doe12345", u"New12345", NERR_InvalidComputer},
      {nullptr, u"nobody", u"x", u"New12345", NERR_UserNotFound},
      {u"WORKSTATION", u"jdoe", u"doe12345", u"New12345", ERROR_INVALID_PASSWORD},
      {nullptr, u"jdoe", u"Doe12345", u"Doe12345", NERR_PasswordTooShort},  // the current one is remembered
      {nullptr, u"JDOE", u"Doe12345", u"New12345", NERR_Success},
      {nullptr, u"jdoe", u"New12345", u"Doe12345", NERR_PasswordTooShort},  // so is the one before
      {u"", u"jdoe", u"New12345", u"", NERR_PasswordTooShort},
  };
  for (const auto& c : changes) {
    SCOPED_TRACE(::testing::Message() << "change " << &c - changes);
    EXPECT_EQ(NetUserChangePassword(c.domain, c.user, c.old_password, c.new_password), c.status);
  }
  EXPECT_TRUE(LogsOn(u"jdoe", u"New12345"));
  EXPECT_FALSE(LogsOn(u"jdoe", u"Doe12345"));

  xp::machine::ArmFault({xp::machine::FaultAction::kFail, "NetUserChangePassword", 1, 1, ERROR_ACCESS_DENIED, ""});
  EXPECT_EQ(NetUserChangePassword(nullptr, u"jdoe", u"New12345", u"Third123"), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(LogsOn(u"jdoe", u"New12345"));
}

}  // namespace
