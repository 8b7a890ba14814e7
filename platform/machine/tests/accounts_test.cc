// The machine's accounts: those of the description with their RIDs, the built-in service accounts, names that
// ignore case, and the account the calling process runs as.
#include "xp/accounts.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "machine_test_fixture.h"

namespace xp::machine {
namespace {

class AccountsTest : public MachineTest {
 protected:
  void SetUp() override {
    options_.accounts = {{"Administrator", "a", true},
                         {"User", "u", false},
                         {"Guest", "", false, "", true},
                         {"Ann", "x", true, "Ann Lee", false, true, true}};
    MachineTest::SetUp();
    ::unsetenv("XPMACHINE_USER");
  }
  void TearDown() override {
    ::unsetenv("XPMACHINE_USER");
    MachineTest::TearDown();
  }
};

TEST_F(AccountsTest, ListsTheDescribedAccountsThenTheServiceAccounts) {
  const struct {
    const char* name;
    AccountKind kind;
    bool administrator;
    uint32_t rid;
  } rows[] = {
      {"Administrator", AccountKind::kUser, true, 500},
      {"User", AccountKind::kUser, false, 1002},
      {"Guest", AccountKind::kUser, false, 501},
      {"Ann", AccountKind::kUser, true, 1004},
      {"SYSTEM", AccountKind::kSystem, true, 0},
      {"LOCAL SERVICE", AccountKind::kLocalService, false, 0},
      {"NETWORK SERVICE", AccountKind::kNetworkService, false, 0},
  };
  const std::vector<Account> accounts = Accounts();
  ASSERT_EQ(accounts.size(), std::size(rows));
  for (size_t i = 0; i < accounts.size(); ++i) {
    SCOPED_TRACE(rows[i].name);
    EXPECT_EQ(accounts[i].name, rows[i].name);
    EXPECT_EQ(accounts[i].kind, rows[i].kind);
    EXPECT_EQ(accounts[i].administrator, rows[i].administrator);
    EXPECT_EQ(accounts[i].rid, rows[i].rid);
  }
}

TEST_F(AccountsTest, FindsNamesIgnoringCaseAndRidsOfDescribedAccountsOnly) {
  EXPECT_EQ(FindAccount("aDMINISTRATOR")->name, "Administrator");
  EXPECT_EQ(FindAccount("local service")->kind, AccountKind::kLocalService);
  EXPECT_EQ(FindAccount("Administrato"), std::nullopt);
  EXPECT_EQ(FindAccountByRid(1004)->name, "Ann");
  EXPECT_EQ(FindAccountByRid(0), std::nullopt) << "the service accounts have no RID of the machine";
}

TEST_F(AccountsTest, DescribedLogonPropertiesAndPasswordChangesThatLast) {
  const Account ann = *FindAccount("ann");
  EXPECT_EQ(ann.full_name, "Ann Lee");
  EXPECT_TRUE(ann.must_change_password);
  EXPECT_TRUE(ann.lan_challenge);
  EXPECT_FALSE(ann.disabled);
  EXPECT_TRUE(FindAccount("Guest")->disabled);
  EXPECT_EQ(AccountPassword(ann), "x");
  EXPECT_TRUE(PasswordHistory(ann).empty());

  ChangeAccountPassword(ann, "second");
  ChangeAccountPassword(*FindAccount("Ann"), "third");
  const Account changed = *FindAccount("Ann");
  EXPECT_EQ(AccountPassword(changed), "third");
  EXPECT_EQ(PasswordHistory(changed), (std::vector<std::string>{"second", "x"}));
  EXPECT_FALSE(changed.must_change_password);
  EXPECT_EQ(AccountPassword(*FindAccount("User")), "u") << "the other accounts keep theirs";
}

TEST_F(AccountsTest, TheMachineIdComesFromTheDescription) {
  EXPECT_EQ(MachineId(), (std::array<uint32_t, 3>{2780515405u, 1203581476u, 3921187024u}));
}

TEST_F(AccountsTest, TheCurrentAccountFollowsXpmachineUser) {
  const struct {
    const char* variable;  // nullptr: unset
    const char* account;
  } rows[] = {
      {nullptr, "Administrator"}, {"", "Administrator"}, {"user", "User"}, {"system", "SYSTEM"}, {"alice", "alice"},
  };
  for (const auto& row : rows) {
    if (row.variable == nullptr) {
      ::unsetenv("XPMACHINE_USER");
    } else {
      ::setenv("XPMACHINE_USER", row.variable, 1);
    }
    EXPECT_EQ(CurrentAccountName(), row.account) << (row.variable ? row.variable : "(unset)");
  }
}

}  // namespace
}  // namespace xp::machine
