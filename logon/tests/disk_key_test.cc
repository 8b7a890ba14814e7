// The disk key's hand-over and the key rotation: a second logon of a boot asks the token nothing; damaged or
// refused key records are told, put aside under their time (never over an earlier pair) and rebuilt from S1; a
// half-done rotation is repaired before the Key Puzzle is shown; and a rotation that fails at any step keeps a pair
// that opens the key, while the logon goes on.
#include <functional>
#include <regex>

#include "key_format.h"
#include "logon_fixture.h"
#include "xp/usbtoken.h"
#include "xp/faults.h"

namespace tavik::logongate::testing {
namespace {

using xp::winlogon::Outcome;

using DiskKeyTest = LogonTest;

const std::string kRecords = std::string(kInstallFolder) + "\\";

std::vector<std::string> FolderFiles(const std::filesystem::path& root) {
  std::vector<std::string> names;
  for (const auto& entry :
       std::filesystem::directory_iterator(root / "drives/C/Program Files/Quillmarsh/Tavik/XP")) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// How many AES encryptions the token made: each token answer is one.
size_t TokenAnswers(const DiskKeyTest& test) {
  size_t answers = 0;
  for (const xp::usbtoken::Request& request : xp::usbtoken::RequestLog(test.root(), test.token_)) {
    answers += request.code == xp::usbtoken::kWriteRegister && request.reg == 0x20 && !request.data.empty() &&
               request.data[0] == 0x04;
  }
  return answers;
}

TEST_F(DiskKeyTest, ASecondLogonOfTheBootAsksTheTokenNothingAndWritesNothing) {
  xp::ui::Script first;
  FirstLogOn(first);
  ShutDownFromDesktop(first);
  ASSERT_EQ(RunWinlogon(first), Outcome::kShutDown);
  const Block sn = Sn();
  const Key efkn = Efkn();
  ASSERT_TRUE(xp::usbtoken::ClearRequestLog(root(), token_));

  xp::ui::Script again;
  Welcome(again);
  TokenLogOn(again);
  ChooseAccount(again, "alice@WORKSTATION");
  ShutDownFromDesktop(again);
  ASSERT_EQ(RunWinlogon(again), Outcome::kShutDown);
  EXPECT_EQ(TokenAnswers(*this), 0u);
  EXPECT_EQ(Sn(), sn);
  EXPECT_EQ(Efkn(), efkn);
  EXPECT_TRUE(InOrder(Journal(), {"winlogon logon alice"}));
}

TEST_F(DiskKeyTest, RecordsThatDoNotOpenAreRebuiltFromS1AndRefusedOnesPutAside) {
  const Block old_sn = keys_.sn;
  const struct {
    const char* what;
    std::function<void(DiskKeyTest&)> damage;
    const char* box;  // nullptr: none
    bool put_aside;
  } rows[] = {
      {"MRVPUZSN missing",
       [](DiskKeyTest& t) {
         std::filesystem::remove(t.root() / "drives/C/Program Files/Quillmarsh/Tavik/XP/MRVPUZSN");
       },
       "Read system file failed[1].\r\nQuillmarsh Tavik will recover system files.", false},
      {"MRVENTFE short", [&](DiskKeyTest& t) { t.PutOnDisk(kRecords + "MRVENTFE", std::string(31, 'x')); },
       "Read system file failed[2].\r\nQuillmarsh Tavik will recover system files.", false},
      {"MRVENTFE the driver refuses", [&](DiskKeyTest& t) { t.PutOnDisk(kRecords + "MRVENTFE", std::string(32, 'x')); },
       nullptr, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TearDown();
    SetUp();
    row.damage(*this);
    const std::string damaged_efkn = OnDisk(kRecords + "MRVENTFE").value_or("");
    xp::ui::Script script;
    Welcome(script);
    TokenLogOn(script);
    if (row.box != nullptr) script.ExpectBox(kCaption, row.box, MB_OK | MB_ICONERROR).Answer(IDOK);
    AddAccount(script, kUser, kDomain, kUserPassword);
    ShutDownFromDesktop(script);
    ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
    EXPECT_TRUE(KeyHeld());
    EXPECT_EQ(ReadThroughMachine(kDocument), kDocumentText);
    EXPECT_TRUE(Opens(TokenAnswerTo(Sn()), Efkn())) << "the rotation wrote a pair that opens the key";
    const std::vector<std::string> files = FolderFiles(root());
    std::vector<std::string> aside;
    for (const std::string& name : files) {
      if (std::regex_match(name, std::regex("MRV(PUZSN|ENTFE)\\d{4}_\\d{1,2}_\\d{1,2}_\\d{1,2}_\\d{1,2}_\\d{1,2}"))) {
        aside.push_back(name);
      }
    }
    if (!row.put_aside) {
      EXPECT_TRUE(aside.empty());
      continue;
    }
    ASSERT_EQ(aside.size(), 2u);
    EXPECT_EQ(aside[0].substr(8), aside[1].substr(8)) << "one time for both";
    EXPECT_EQ(OnDisk(kRecords + aside[1]), std::string(old_sn.begin(), old_sn.end()));
    EXPECT_EQ(OnDisk(kRecords + aside[0]), damaged_efkn);
  }
}

TEST_F(DiskKeyTest, ABadS1RecordStopsTheLogonBeforeTheDriverIsAsked) {
  WriteTokenBytes(2, 20, std::vector<uint8_t>(16, 0xFF));
  xp::ui::Script script;
  Welcome(script);
  TokenLogOn(script);
  script.ExpectBox(kCaption, xp::ui::Pattern::Wildcard("Read Tavik data failed.*"), MB_OK | MB_ICONWARNING)
      .Answer(IDOK);
  ShutDownFromLogon(script);
  ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
  EXPECT_FALSE(KeyHeld());
  EXPECT_EQ(Sn(), keys_.sn);
}

// A crash left a rotation half done: the new pair was committed, one record not yet replaced.
TEST_F(DiskKeyTest, AHalfDoneRotationIsFinishedBeforeTheKeyPuzzleIsShown) {
  Block next_sn = keys_.sn;
  next_sn[0] ^= 0x5A;
  const Block next_kn = TokenAnswerTo(next_sn);
  Key next_efkn;
  keys::WrapXcfk(next_kn.data(), keys_.xcfk.data(), next_efkn.data());
  PutOnDisk(kRecords + "MRVPUZSN.NEW", std::string(next_sn.begin(), next_sn.end()));
  PutOnDisk(kRecords + "MRVENTFE", std::string(next_efkn.begin(), next_efkn.end()));
  PutOnDisk(kRecords + "MRVKEYSW", "");
  xp::ui::Script script;
  ShutDownFromLogon(script);
  ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
  EXPECT_TRUE(InOrder(Ui(), {"dialog 300 control 1045 edit \"" + Hex(next_sn) + "\" disabled readonly"}));
  EXPECT_EQ(Sn(), next_sn);
  EXPECT_EQ(FolderFiles(root()), (std::vector<std::string>{"MRVENTFE", "MRVPUZSN", "MRVVerifyCFK.exe"}));
}

TEST_F(DiskKeyTest, AFailedRotationKeepsAPairThatOpensTheKeyAndTheLogonGoesOn) {
  const struct {
    const char* what;
    std::function<void(DiskKeyTest&)> fault;
    int code;
  } rows[] = {
      {"the driver makes no new SN",
       [](DiskKeyTest&) { xp::machine::ArmFault({xp::machine::FaultAction::kFail, "DeviceIoControl", 3, 1,
                                                 ERROR_GEN_FAILURE, "Morvel"}); },
       1},
      {"the token gives no new KN",
       [](DiskKeyTest& t) {
         xp::usbtoken::RequestFault fault;
         fault.code = xp::usbtoken::kWriteRegister;
         fault.reg = 0x20;
         fault.skip = 2;  // the first answer's key preparation and encryption
         xp::usbtoken::AddRequestFault(t.root(), t.token_, fault);
       },
       2},
      {"the driver wraps no new EFKN",
       [](DiskKeyTest&) { xp::machine::ArmFault({xp::machine::FaultAction::kFail, "DeviceIoControl", 4, 1,
                                                 ERROR_GEN_FAILURE, "Morvel"}); },
       3},
      {"MRVPUZSN.NEW cannot be made",
       [](DiskKeyTest&) { xp::machine::ArmFault({xp::machine::FaultAction::kFail, "CreateFileA", 1, 1,
                                                 ERROR_DISK_FULL, "MRVPUZSN.NEW"}); },
       4},
      {"MRVENTFE.NEW is written short",
       [](DiskKeyTest&) { xp::machine::ArmFault({xp::machine::FaultAction::kFail, "WriteFile:short", 1, 1,
                                                 ERROR_DISK_FULL, "MRVENTFE.NEW"}); },
       5},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TearDown();
    SetUp();
    row.fault(*this);
    xp::ui::Script script;
    Welcome(script);
    TokenLogOn(script);
    script.ExpectBox(kCaption, "Get New Key Returned Error Code " + std::to_string(row.code) + ".",
                     MB_OK | MB_ICONERROR)
        .Answer(IDOK);
    AddAccount(script, kUser, kDomain, kUserPassword);
    ShutDownFromDesktop(script);
    ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
    xp::machine::ClearFaults();
    EXPECT_TRUE(KeyHeld());
    EXPECT_EQ(Sn(), keys_.sn);
    EXPECT_EQ(Efkn(), keys_.efkn);
    EXPECT_EQ(FolderFiles(root()), (std::vector<std::string>{"MRVENTFE", "MRVPUZSN", "MRVVerifyCFK.exe"}));
  }
}

}  // namespace
}  // namespace tavik::logongate::testing
