// The logon after a whole install, through real boots: the token logon opens the disk (plaintext to programs,
// ciphertext on the disk), the key records rotate at each boot's first logon and at no other, lock and unlock
// take the token (a suspend while locked is told), a Key Answer opens the disk without the token; refused logons
// leave it closed; safe mode starts no driver; damaged key records are rebuilt from the token.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "logon_machine.h"
#include "xp/ui_script.h"

namespace tavik::scenarios {
namespace {

const std::string kSn = std::string(kInstallFolder) + "\\MRVPUZSN";
const std::string kEfkn = std::string(kInstallFolder) + "\\MRVENTFE";

::testing::AssertionResult InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& patterns) {
  size_t at = 0;
  for (const std::string& pattern : patterns) {
    while (at < lines.size() && !xp::ui::Pattern::Wildcard(pattern).Matches(lines[at])) ++at;
    if (at == lines.size()) return ::testing::AssertionFailure() << "no line \"" << pattern << "\" in its place";
    ++at;
  }
  return ::testing::AssertionSuccess();
}

size_t Count(const std::vector<std::string>& lines, const std::string& pattern) {
  return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
    return xp::ui::Pattern::Wildcard(pattern).Matches(line);
  }));
}

// Every protected file reads as its plain content through the machine, and lies on the disk as `disk` holds it.
void ExpectOpen(const LogonMachine& machine, const std::map<std::string, std::string>& disk) {
  for (const auto& [path, plain] : ProtectedFiles()) {
    SCOPED_TRACE(path);
    EXPECT_EQ(machine.Read(path), plain);
    EXPECT_EQ(machine.OnDisk(path), disk.at(path)) << "the disk keeps the ciphertext the install wrote";
  }
}

void ExpectClosed(const LogonMachine& machine) {
  for (const auto& [path, plain] : ProtectedFiles()) EXPECT_NE(machine.Read(path), plain) << path;
}

std::map<std::string, std::string> Disk(const LogonMachine& machine) {
  std::map<std::string, std::string> disk;
  for (const auto& [path, plain] : ProtectedFiles()) disk[path] = machine.OnDisk(path).value_or("");
  return disk;
}

TEST(LogonRoad, TokenLogonRotationLockSuspendUnlockAndAKeyAnswerWithoutTheToken) {
  LogonMachine machine;
  const std::map<std::string, std::string> disk = Disk(machine);
  for (const auto& [path, plain] : ProtectedFiles()) {
    EXPECT_EQ(disk.at(path).size(), plain.size()) << path;
    EXPECT_NE(disk.at(path), plain) << path;
  }
  const std::string installed_sn = machine.OnDisk(kSn).value();

  // The first boot: the token logon, the install's finishing run, then lock, a suspend while locked, and unlock.
  ASSERT_EQ(machine.Boot(TokenLogOn() + FirstAccount() +
                         "ctrl-alt-del \"Windows desktop\"\n"
                         "dialog 400: click 405\n"
                         "dialog 200: power suspend; power resume; ctrl-alt-del\n"
                         "dialog 102: click 1009\n"
                         "dialog 200: ctrl-alt-del\n"
                         "dialog 102: type 1057 \"Secret12\"; click 1010\n"),
            0);
  std::vector<std::string> boot = machine.LastBoot();
  EXPECT_TRUE(InOrder(boot, {"winlogon GINA logongate.dll",
                             "ui dialog 300 control 1045 edit \"" + Hex(installed_sn) + "\"*",
                             "winlogon logon Administrator", "MRVVerifyCFK ran as Administrator",
                             "ui dialog 200 control 206 static \"This computer is currently locked.*\"",
                             "ui dialog 200 control 206 static \"This computer has returned from suspend mode.*\"",
                             "ui dialog 102 end 8"}));
  ExpectOpen(machine, disk);
  const std::string first_sn = machine.OnDisk(kSn).value();
  EXPECT_NE(first_sn, installed_sn) << "the first logon of the boot rotates the records";
  EXPECT_EQ(machine.OnDisk(kEfkn)->size(), 32u);

  // The next boot: the account the token keeps; a new Key Puzzle, the one the last rotation wrote.
  ASSERT_EQ(machine.Boot(TokenLogOn() + KeptAccount()), 0);
  EXPECT_EQ(machine.LastPuzzle(), Hex(first_sn));
  EXPECT_TRUE(InOrder(machine.LastBoot(), {"winlogon logon Administrator"}));
  ExpectOpen(machine, disk);
  const std::string second_sn = machine.OnDisk(kSn).value();
  EXPECT_NE(second_sn, first_sn);

  // Without the token: the web service's Key Answer to the puzzle shown, then the system's own logon.
  machine.UnplugToken();
  ASSERT_EQ(machine.Boot(KeyAnswerLogOn(machine.KeyAnswer(Hex(second_sn)))), 0);
  boot = machine.LastBoot();
  EXPECT_EQ(machine.LastPuzzle(), Hex(second_sn));
  EXPECT_TRUE(InOrder(boot, {"ui dialog 300 end 1", "ui dialog 1500 * open", "winlogon logon Administrator"}));
  ExpectOpen(machine, disk);
  EXPECT_EQ(machine.OnDisk(kSn), second_sn) << "a Key Answer logon rotates nothing";
}

TEST(LogonRoad, ASecondLogonOfTheBootWritesNoRecords) {
  LogonMachine machine;
  ASSERT_EQ(machine.Boot(TokenLogOn() + FirstAccount() +
                         "ctrl-alt-del \"Windows desktop\"\n"
                         "dialog 400: click 1002\n"
                         "dialog 101: click IDOK\n" +
                         TokenLogOn() + KeptAccount()),
            0);
  const std::vector<std::string> boot = machine.LastBoot();
  EXPECT_EQ(Count(boot, "winlogon logon Administrator"), 2u);
  // The second logon dialog shows the records the first logon wrote, and they are still the disk's.
  std::vector<std::string> puzzles;
  const std::regex shown("ui dialog 300 control 1045 edit \"([0-9a-f]*)\"");
  for (const std::string& line : boot) {
    std::smatch match;
    if (std::regex_search(line, match, shown)) puzzles.push_back(match[1]);
  }
  ASSERT_EQ(puzzles.size(), 2u);
  EXPECT_NE(puzzles[0], puzzles[1]);
  EXPECT_EQ(Hex(machine.OnDisk(kSn).value()), puzzles[1]);
  ExpectOpen(machine, Disk(machine));
}

struct Refusal {
  const char* name;
  enum { kWrongPassword, kOtherToken, kNoToken } setup;
  std::string answered;  // what the person sees and answers after Log On
};

class RefusedLogon : public ::testing::TestWithParam<Refusal> {};

TEST_P(RefusedLogon, LeavesTheDiskClosedAndTheRecordsAsTheyWere) {
  const Refusal& refusal = GetParam();
  LogonMachine machine;
  const std::string sn = machine.OnDisk(kSn).value(), efkn = machine.OnDisk(kEfkn).value();
  if (refusal.setup == Refusal::kOtherToken) machine.SwapInOtherToken();
  if (refusal.setup == Refusal::kNoToken) machine.UnplugToken();
  const std::string password = refusal.setup == Refusal::kWrongPassword ? "Secret13" : kTokenPassword;
  ASSERT_EQ(machine.Boot(TokenLogOn(password) + refusal.answered + ShutDownFromLogon()), 0);
  const std::vector<std::string> boot = machine.LastBoot();
  EXPECT_TRUE(InOrder(boot, {"ui dialog 300 end 2"}));
  EXPECT_EQ(Count(boot, "winlogon logon *"), 0u);
  ExpectClosed(machine);
  EXPECT_EQ(machine.OnDisk(kSn), sn);
  EXPECT_EQ(machine.OnDisk(kEfkn), efkn);
}

INSTANTIATE_TEST_SUITE_P(
    Logons, RefusedLogon,
    ::testing::Values(
        Refusal{"WrongPassword", Refusal::kWrongPassword,
                "dialog 101: click IDOK\n"},
        Refusal{"OtherToken", Refusal::kOtherToken,
                "box \"Quillmarsh Tavik\" \"Wrong Tavik. Please insert Tavik with this ESN#: *.\" -> OK\n"},
        Refusal{"NoToken", Refusal::kNoToken, "box \"Quillmarsh Tavik\" \"Tavik has not been detected.*\" -> OK\n"}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

TEST(LogonRoad, SafeModeStartsNoDriverAndChecksAKeyAnswerAgainstTheRecord) {
  LogonMachine machine;
  const std::map<std::string, std::string> disk = Disk(machine);
  const std::string sn = machine.OnDisk(kSn).value();
  const std::string add_account =
      "dialog 104: select 1019 \"New_Account\"; click IDOK\ndialog 600: type 608 \"admin\"; click IDOK\n";
  ASSERT_EQ(machine.Boot(TokenLogOn() + add_account, true), 0);
  EXPECT_TRUE(InOrder(machine.LastBoot(), {"winlogon logon Administrator"}));
  ExpectClosed(machine);
  EXPECT_EQ(machine.OnDisk(kSn), sn) << "nothing rotates in safe mode";

  // A wrong answer is refused against the record; the right one is taken and the system's own logon follows.
  machine.UnplugToken();
  const std::string answer = machine.KeyAnswer(Hex(sn));
  std::string wrong = answer;
  wrong[0] = wrong[0] == '0' ? '1' : '0';
  ASSERT_EQ(machine.Boot("dialog 100: enter\n"
                         "dialog 300: click 1048; type 1008 \"" + wrong + "\"; click 203\n"
                         "box \"Quillmarsh Tavik\" \"Invalid Key Answer[3].\\r\\nPlease try again.\" -> OK\n"
                         "dialog 300: type 1008 \"" + answer + "\"; click 203\n"
                         "dialog 1500: type 1502 \"Administrator\"; type 1504 \"admin\"; click IDOK\n",
                         true),
            0);
  EXPECT_TRUE(InOrder(machine.LastBoot(), {"ui dialog 300 end 1", "winlogon logon Administrator"}));
  ExpectClosed(machine);

  // The normal boot after it: the token opens the disk, and the install's run that safe mode held back finishes.
  machine.PlugToken();
  ASSERT_EQ(machine.Boot(TokenLogOn() + KeptAccount() + InstallFinishes()), 0);
  ExpectOpen(machine, disk);
}

struct Damage {
  const char* name;
  std::string efkn;      // what MRVENTFE holds when the machine boots
  std::string answered;  // what the person sees and answers after the password
  bool put_aside;        // the refused pair is renamed aside
};

class DamagedRecords : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedRecords, AreRebuiltFromTheTokenAndTheNextPairOpensTheDisk) {
  const Damage& damage = GetParam();
  LogonMachine machine;
  const std::map<std::string, std::string> disk = Disk(machine);
  machine.PutOnDisk(kEfkn, damage.efkn);
  ASSERT_EQ(machine.Boot(TokenLogOn() + damage.answered + FirstAccount()), 0);
  ExpectOpen(machine, disk);
  const std::vector<std::string> folder = machine.InstallFolder();
  const auto aside = [&](const std::string& record) {
    return Count(folder, record + "*_*_*_*_*_*");
  };
  EXPECT_EQ(aside("MRVPUZSN"), damage.put_aside ? 1u : 0u);
  EXPECT_EQ(aside("MRVENTFE"), damage.put_aside ? 1u : 0u);
  EXPECT_EQ(machine.OnDisk(kEfkn)->size(), 32u);

  // The rebuilt pair is an ordinary one: the next boot's Key Answer opens the disk.
  machine.UnplugToken();
  ASSERT_EQ(machine.Boot(KeyAnswerLogOn(machine.KeyAnswer(Hex(machine.OnDisk(kSn).value())))), 0);
  EXPECT_TRUE(InOrder(machine.LastBoot(), {"ui dialog 300 end 1", "winlogon logon Administrator"}));
  ExpectOpen(machine, disk);
}

INSTANTIATE_TEST_SUITE_P(
    KeyRecords, DamagedRecords,
    ::testing::Values(
        Damage{"ShortEfkn", std::string(20, '\x5a'),
               "box \"Quillmarsh Tavik\" \"Read system file failed[2].\\r\\nQuillmarsh Tavik will recover system "
               "files.\" -> OK\n",
               false},
        Damage{"RefusedEfkn", std::string(32, '\x5a'), "", true}),
    [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tavik::scenarios
