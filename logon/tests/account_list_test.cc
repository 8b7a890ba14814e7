// The Windows accounts kept on the token: the stored list byte for byte, read back in reverse, records that do not
// hold together (the first bad one ends the list, nothing outside the blob is read), a password that differs only
// in case, a list too long to save, and deleting one account or all of them (every byte a list may take).
#include <functional>

#include "logon_fixture.h"

namespace tavik::logongate::testing {
namespace {

using xp::winlogon::Outcome;
using Bytes = std::vector<uint8_t>;

using AccountListTest = LogonTest;

Bytes FromHex(const std::string& text) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    if (text[i] == ' ') {
      --i;
      continue;
    }
    bytes.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

void Word(Bytes& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void Text(Bytes& out, const std::string& text) {
  for (const char c : text) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(0);
  }
  out.push_back(0);
  out.push_back(0);
}

// One stored record, its size first, with the strings in their order; `spoil` changes its header words.
Bytes Record(const std::string& user, const std::string& domain, const std::string& password,
             const std::function<void(std::array<uint32_t, 10>&)>& spoil = nullptr) {
  const uint32_t u = 2 * (user.size() + 1), d = 2 * (domain.size() + 1), p = 2 * (password.size() + 1), c = 2;
  std::array<uint32_t, 10> words = {0, 40 + u, d, 40, u, 40 + u + d, p, 40 + u + d + p, c, 0};
  if (spoil) spoil(words);
  const uint32_t size = 40 + u + d + p + c;
  Bytes record;
  record.push_back(static_cast<uint8_t>(size));
  record.push_back(static_cast<uint8_t>(size >> 8));
  for (const uint32_t w : words) Word(record, w);
  Text(record, user);
  Text(record, domain);
  Text(record, password);
  Text(record, "");
  return record;
}

// The blob at page 6: its total length, the count, the records.
Bytes Blob(uint8_t count, const std::vector<Bytes>& records) {
  Bytes blob(2, 0);
  blob.push_back(count);
  for (const Bytes& record : records) {
    for (const uint8_t byte : record) blob.push_back(byte);
  }
  blob[0] = static_cast<uint8_t>(blob.size());
  blob[1] = static_cast<uint8_t>(blob.size() >> 8);
  return blob;
}

// Logs on as far as Select Account and cancels there.
void UpToSelectAccount(xp::ui::Script& script) {
  Welcome(script);
  TokenLogOn(script);
  script.Dialog(kSelect).Click(IDCANCEL);
  ShutDownFromLogon(script);
}

TEST_F(AccountListTest, TheStoredListIsTheRecordFormatByteForByte) {
  WriteTokenBytes(7, 0, Bytes(512, 0x5A));  // what an earlier, longer list left
  xp::ui::Script script;
  FirstLogOn(script);
  ShutDownFromDesktop(script);
  ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
  // T = 99; one account of S = 94: reserved, domain at 52 (24 bytes), user at 40 (12), password at 76 (16),
  // comment at 92 (2), flags; then "alice", "WORKSTATION", "Al1cePw" and "" in UTF-16 with their NULs.
  const Bytes expected = FromHex(
      "6300 01 5e00"
      "00000000 34000000 18000000 28000000 0c000000 4c000000 10000000 5c000000 02000000 00000000"
      "61006c00690063006500 0000"
      "57004f0052004b00530054004100540049004f004e00 0000"
      "41006c0031006300650050007700 0000"
      "0000");
  EXPECT_EQ(TokenBytes(6, 0, 99), expected);
  EXPECT_EQ(TokenBytes(6, 99, 512 - 99), Bytes(512 - 99, 0xFF)) << "nothing an earlier list left stays";
  EXPECT_EQ(TokenBytes(7, 0, 512), Bytes(512, 0xFF));
}

TEST_F(AccountListTest, RecordsAreReadInReverseAndTheFirstBadOneEndsTheList) {
  const Bytes bob = Record("bob", "PC", "pw");
  const Bytes carol = Record("carol", "WORKSTATION", "c");
  const struct {
    const char* what;
    Bytes blob;
    const char* items;
  } rows[] = {
      {"two good records", Blob(2, {bob, carol}), R"("carol@WORKSTATION","bob@PC","New_Account")"},
      {"a reserved word that is not 0 is skipped",
       Blob(2, {Record("x", "y", "z", [](auto& w) { w[0] = 1; }), carol}), R"("carol@WORKSTATION","New_Account")"},
      {"a string past its record", Blob(2, {bob, Record("x", "y", "z", [](auto& w) { w[6] = 400; })}),
       R"("bob@PC","New_Account")"},
      {"an odd byte count", Blob(2, {bob, Record("x", "y", "z", [](auto& w) { w[4] = 3; })}),
       R"("bob@PC","New_Account")"},
      {"a string without its NUL", Blob(2, {bob, Record("x", "y", "z", [](auto& w) { w[2] = 2; })}),
       R"("bob@PC","New_Account")"},
      {"an offset inside the header", Blob(2, {bob, Record("x", "y", "z", [](auto& w) { w[3] = 4; })}),
       R"("bob@PC","New_Account")"},
      {"more records counted than stored", Blob(5, {bob}), R"("bob@PC","New_Account")"},
      {"a record longer than the blob", Blob(2, {bob, Bytes{0xF0, 0x00, 0, 0, 0, 0}}), R"("bob@PC","New_Account")"},
      {"an empty blob", Blob(0, {}), R"("New_Account")"},
      {"an erased page", Bytes(512, 0xFF), R"("New_Account")"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TearDown();
    SetUp();
    WriteTokenBytes(6, 0, row.blob);
    xp::ui::Script script;
    UpToSelectAccount(script);
    ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
    EXPECT_TRUE(InOrder(Ui(), {std::string("dialog 104 control 1019 combo * items=") + row.items + "*"}));
  }
}

// Windows passwords are case-sensitive: a password typed in another case is a new one, saved and used.
TEST_F(AccountListTest, APasswordThatDiffersOnlyInCaseReplacesTheStoredOne) {
  WriteTokenBytes(6, 0, Blob(1, {Record(kUser, kDomain, "al1cepw")}));
  SetMachineString("SOFTWARE\\Teradolm\\Gorsewick", "Last User", kUser);
  xp::ui::Script script;
  Welcome(script);
  TokenLogOn(script);
  AddAccount(script, kUser, kDomain, kUserPassword);
  ShutDownFromDesktop(script);
  ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
  EXPECT_TRUE(InOrder(Journal(), {"advapi32 LogonUserW alice session *"}));
  EXPECT_EQ(TokenBytes(6, 0, 99), Blob(1, {Record(kUser, kDomain, kUserPassword)}));
}

TEST_F(AccountListTest, AListTooLongToSaveIsToldAndTheLogonGoesOn) {
  std::vector<Bytes> records;
  for (int i = 0; i < 7; ++i) records.push_back(Record("user" + std::to_string(i), std::string(40, 'D'), "p"));
  const Bytes stored = Blob(7, records);
  ASSERT_GT(stored.size() + 94, 1020u);
  WriteTokenBytes(6, 0, stored);
  xp::ui::Script script;
  FirstLogOn(script);
  script.ExpectBox(kCaption, xp::ui::Pattern::Wildcard("Unable to save account information.*Manage Accounts tool*"),
                   MB_OK | MB_ICONWARNING)
      .Answer(IDOK);
  ShutDownFromDesktop(script);
  ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
  EXPECT_TRUE(InOrder(Journal(), {"winlogon logon alice"}));
  EXPECT_EQ(TokenBytes(6, 0, static_cast<int>(stored.size())), stored);
}

// The options dialog is still up after Manage Accounts.
void ShutDownFromOptions(xp::ui::Script& script) {
  script.Dialog(kOptions).Click(kShutDownButton);
  script.Dialog(kShutdown).Check(kShutdownChoice).Click(IDOK);
}

// Manage Accounts from the logon options.
void ManageAccounts(xp::ui::Script& script) {
  Welcome(script);
  TokenLogOn(script);
  ChooseAccount(script, "alice@WORKSTATION");
  AtDesktop(script);
  script.Dialog(kOptions).Click(kManageButton);
}

TEST_F(AccountListTest, DeletingAnAccountSavesTheListAtOnceWithNothingLeftBehind) {
  WriteTokenBytes(6, 0, Blob(2, {Record("bob", "PC", "pw"), Record(kUser, kDomain, kUserPassword)}));
  xp::ui::Script script;
  ManageAccounts(script);
  script.Dialog(kManage).Click(kDeleteAccount);
  script.ExpectBox("Delete Account", "Please select an account to be deleted from your Tavik.",
                   MB_OK | MB_ICONWARNING)
      .Answer(IDOK);
  script.Dialog(kManage).Select(kAccountList, "bob@PC").Click(kDeleteAccount);
  script.Dialog(kMessage, "Confirm Account Deletion").Click(IDOK);
  script.ExpectBox(kCaption, "Account Deletion Succeeded.", MB_OK).Answer(IDOK);
  script.Dialog(kManage).Click(IDCANCEL);
  ShutDownFromOptions(script);
  ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
  EXPECT_EQ(TokenBytes(6, 0, 99), Blob(1, {Record(kUser, kDomain, kUserPassword)}));
  EXPECT_EQ(TokenBytes(6, 99, 512 - 99), Bytes(512 - 99, 0xFF)) << "bob's password is gone from the token";
}

TEST_F(AccountListTest, DeletingAllErasesEveryByteAListMayTake) {
  WriteTokenBytes(6, 0, Blob(1, {Record(kUser, kDomain, kUserPassword)}));
  WriteTokenBytes(6, 99, Bytes(512 - 99, 0x5A));
  WriteTokenBytes(7, 0, Bytes(512, 0x5A));
  WriteTokenBytes(8, 0, Bytes(2, 0x5A));
  xp::ui::Script script;
  ManageAccounts(script);
  script.Dialog(kManage).Click(kDeleteAll);
  script.ExpectBox("Delete All Accounts", xp::ui::Pattern::Wildcard("Are you sure to delete all accounts*"),
                   MB_YESNO | MB_ICONQUESTION)
      .Answer(IDYES);
  script.Dialog(kManage).Click(IDCANCEL);
  ShutDownFromOptions(script);
  ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
  EXPECT_TRUE(InOrder(Ui(), {"dialog 103 control 1018 button \"Delete Account\" disabled"}));
  EXPECT_EQ(TokenBytes(6, 0, 512), Bytes(512, 0xFF));
  EXPECT_EQ(TokenBytes(7, 0, 512), Bytes(512, 0xFF));
  EXPECT_EQ(TokenBytes(8, 0, 2), (Bytes{0xFF, 0x5A})) << "page 8 holds one byte of the longest list";
}

}  // namespace
}  // namespace tavik::logongate::testing
