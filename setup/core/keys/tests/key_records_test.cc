// The key files' switch on a machine's disk: every state a crash can leave is repaired to the old or the new pair,
// a failed write keeps the old pair, and putting the records aside never replaces an earlier put-aside file; and
// the token's answer as the logon component asks for it.
#include "key_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "scratch_machine.h"
#include "token_keys.h"
#include "xp/usbtoken.h"
#include "xp/faults.h"
#include "xp/machine.h"

namespace tavik::keys {
namespace {

constexpr char kFolder[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP";

std::string Path(const std::string& name) { return std::string(kFolder) + "\\" + name; }

std::string Get(const std::string& name) {
  const HANDLE file =
      CreateFileA(Path(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<none>";
  char data[64];
  DWORD got = 0;
  ReadFile(file, data, sizeof data, &got, nullptr);
  CloseHandle(file);
  return std::string(data, got);
}

void Put(const std::string& name, const std::string& bytes) {
  const HANDLE file = CreateFileA(Path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

bool Exists(const std::string& name) { return GetFileAttributesA(Path(name).c_str()) != INVALID_FILE_ATTRIBUTES; }

const std::string kOldSn(16, 'a'), kOldEfkn(32, 'b'), kNewSn(16, 'c'), kNewEfkn(32, 'd');

class KeyRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"C:\\Program Files\\Quillmarsh", "C:\\Program Files\\Quillmarsh\\Tavik", kFolder}) {
      CreateDirectoryA(folder, nullptr);
    }
    Put(kSnFileName, kOldSn);
    Put(kEfknFileName, kOldEfkn);
  }

  // The pair a reader gets.
  std::pair<std::string, std::string> Pair() {
    uint8_t sn[kSnSize], efkn[kEfknSize];
    if (ReadSnRecord(kFolder, sn) != RecordRead::kRead || ReadEfknRecord(kFolder, efkn) != RecordRead::kRead) return {};
    return {std::string(sn, sn + kSnSize), std::string(efkn, efkn + kEfknSize)};
  }

  SwitchOutcome Switch() {
    return SwitchKeyRecords(kFolder, reinterpret_cast<const uint8_t*>(kNewSn.data()),
                            reinterpret_cast<const uint8_t*>(kNewEfkn.data()));
  }

  bool NoLeftovers() {
    return !Exists("MRVPUZSN.NEW") && !Exists("MRVENTFE.NEW") && !Exists(kSwitchMarkerName);
  }

  xp::test::ScratchMachine machine_;
};

TEST_F(KeyRecordsTest, ASwitchReplacesBothRecordsAndLeavesNothingBehind) {
  EXPECT_EQ(Switch(), SwitchOutcome::kSwitched);
  EXPECT_EQ(Get(kSnFileName), kNewSn);
  EXPECT_EQ(Get(kEfknFileName), kNewEfkn);
  EXPECT_TRUE(NoLeftovers());
}

// What a crash leaves at each step of a switch, and the pair every reader sees afterwards.
TEST_F(KeyRecordsTest, EveryHalfDoneSwitchIsFinishedOrUndoneBeforeAnyRead) {
  struct Case {
    const char* left;
    bool sn_new, efkn_new, marker;  // the files present besides the old records
    bool sn_replaced, efkn_replaced;  // the record already holds the new value
    bool new_pair;
  } cases[] = {
      {"a torn MRVPUZSN.NEW", true, false, false, false, false, false},
      {"both new files, no marker", true, true, false, false, false, false},
      {"the marker made", true, true, true, false, false, true},
      {"MRVPUZSN replaced", false, true, true, true, false, true},
      {"both replaced, the marker left", false, false, true, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.left);
    SetUp();
    if (c.sn_replaced) Put(kSnFileName, kNewSn);
    if (c.efkn_replaced) Put(kEfknFileName, kNewEfkn);
    if (c.sn_new) Put("MRVPUZSN.NEW", c.efkn_new ? kNewSn : kNewSn.substr(0, 7));
    if (c.efkn_new) Put("MRVENTFE.NEW", kNewEfkn);
    if (c.marker) Put(kSwitchMarkerName, "");
    const std::pair<std::string, std::string> expected =
        c.new_pair ? std::pair{kNewSn, kNewEfkn} : std::pair{kOldSn, kOldEfkn};
    EXPECT_EQ(Pair(), expected);
    EXPECT_TRUE(NoLeftovers());
    EXPECT_EQ(Get(kSnFileName), expected.first);
    EXPECT_EQ(Get(kEfknFileName), expected.second);
  }
}

TEST_F(KeyRecordsTest, AFailedOrShortWriteKeepsTheOldPair) {
  struct Case {
    const char* operation;
    const char* path;
    SwitchOutcome outcome;
  } cases[] = {
      {"CreateFileA", "MRVPUZSN.NEW", SwitchOutcome::kSnNotWritten},
      {"WriteFile:short", "MRVPUZSN.NEW", SwitchOutcome::kSnNotWritten},
      {"FlushFileBuffers", "MRVPUZSN.NEW", SwitchOutcome::kSnNotWritten},
      {"WriteFile", "MRVENTFE.NEW", SwitchOutcome::kEfknNotWritten},
      {"WriteFile:short", "MRVENTFE.NEW", SwitchOutcome::kEfknNotWritten},
      {"CreateFileA", kSwitchMarkerName, SwitchOutcome::kEfknNotWritten},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.operation) + " on " + c.path);
    SetUp();
    xp::machine::ArmFault({xp::machine::FaultAction::kFail, c.operation, 1, 1, ERROR_DISK_FULL, c.path});
    EXPECT_EQ(Switch(), c.outcome);
    xp::machine::ClearFaults();
    EXPECT_EQ(Get(kSnFileName), kOldSn);
    EXPECT_EQ(Get(kEfknFileName), kOldEfkn);
    EXPECT_TRUE(NoLeftovers());
  }
}

TEST_F(KeyRecordsTest, ASwitchWhoseRepairCannotFinishTouchesNothing) {
  Put("MRVENTFE.NEW", kNewEfkn);
  Put(kSwitchMarkerName, "");
  xp::machine::ArmFault({xp::machine::FaultAction::kFail, "MoveFileExA", 1, 0, ERROR_SHARING_VIOLATION, "MRVENTFE"});
  EXPECT_EQ(Pair(), (std::pair{kOldSn, kNewEfkn}));  // the marker says MRVENTFE.NEW counts
  EXPECT_EQ(Switch(), SwitchOutcome::kSnNotWritten);
  EXPECT_EQ(Get("MRVENTFE.NEW"), kNewEfkn);
  xp::machine::ClearFaults();
  EXPECT_EQ(RepairKeySwitch(kFolder), RepairOutcome::kFinished);
  EXPECT_EQ(Get(kEfknFileName), kNewEfkn);
}

TEST_F(KeyRecordsTest, ReadsTellMissingAndShortRecordsApart) {
  uint8_t sn[kSnSize], efkn[kEfknSize];
  Put(kEfknFileName, kOldEfkn.substr(0, 31));
  EXPECT_EQ(ReadEfknRecord(kFolder, efkn), RecordRead::kShort);
  DeleteFileA(Path(kSnFileName).c_str());
  EXPECT_EQ(ReadSnRecord(kFolder, sn), RecordRead::kMissing);
}

TEST_F(KeyRecordsTest, PuttingAsideNeverReplacesAnEarlierPutAsidePair) {
  const SYSTEMTIME time{2024, 5, 5, 3, 14, 7, 9, 250};
  PutAsideNames names;
  ASSERT_EQ(PutKeyRecordsAside(kFolder, time, &names), 0);
  EXPECT_EQ(names.sn, Path("MRVPUZSN2024_5_3_14_7_9"));
  EXPECT_EQ(Get("MRVPUZSN2024_5_3_14_7_9"), kOldSn);
  EXPECT_EQ(Get("MRVENTFE2024_5_3_14_7_9"), kOldEfkn);
  EXPECT_FALSE(Exists(kSnFileName));

  // Another refused pair in the same second; and a third, of which only MRVENTFE exists.
  Put(kSnFileName, kNewSn);
  Put(kEfknFileName, kNewEfkn);
  ASSERT_EQ(PutKeyRecordsAside(kFolder, time, &names), 0);
  EXPECT_EQ(names.efkn, Path("MRVENTFE2024_5_3_14_7_9_1"));
  EXPECT_EQ(Get("MRVPUZSN2024_5_3_14_7_9_1"), kNewSn);
  Put(kEfknFileName, "third");
  ASSERT_EQ(PutKeyRecordsAside(kFolder, time, &names), 0);
  EXPECT_EQ(Get("MRVENTFE2024_5_3_14_7_9_2"), "third");
  EXPECT_EQ(Get("MRVPUZSN2024_5_3_14_7_9"), kOldSn);
  EXPECT_EQ(Get("MRVENTFE2024_5_3_14_7_9"), kOldEfkn);
}

TEST_F(KeyRecordsTest, TheRecordFilesListEveryNameTheRecordsGo) {
  Put("MRVENTFE.NEW", kNewEfkn);
  Put(kSwitchMarkerName, "");
  Put("MRVPUZSN2024_5_3_14_7_9", kOldSn);
  Put("MRVSTATE", "1000");
  std::vector<std::string> files = KeyRecordFiles(kFolder);
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{Path("MRVENTFE"), Path("MRVENTFE.NEW"), Path("MRVKEYSW"),
                                             Path("MRVPUZSN"), Path("MRVPUZSN2024_5_3_14_7_9")}));
}

}  // namespace
}  // namespace tavik::keys

namespace tavik::keys {
namespace {

// The token's answer as the logon component asks for it: after the pause, over the lower-case text of the value
// and the fixed block, the very bytes the token's maker works out.
TEST(TokenAnswerTest, IsTheTokensAnswerOverTheFixedBlockAfterThePause) {
  const xp::test::ScratchMachine machine;
  const uint8_t value[kKeySize] = {0xA0, 0xB1, 0xC2, 0xD3, 0xE4, 0xF5, 0x06, 0x17,
                                   0x28, 0x39, 0x4A, 0x5B, 0x6C, 0x7D, 0x8E, 0x9F};
  const uint64_t before = xp::machine::NowMs();
  uint8_t answer[kKeySize] = {};
  ASSERT_EQ(AnswerAfterPause(value, answer), TokenAnswer::kAnswered);
  EXPECT_GE(xp::machine::NowMs() - before, 3000u);
  std::array<uint8_t, 16> selector, block;
  std::copy(value, value + kKeySize, selector.begin());
  for (size_t i = 0; i < 16; ++i) {
    block[i] = static_cast<uint8_t>(std::stoi(std::string(kPuzzleBlock + 2 * i, 2), nullptr, 16));
  }
  const auto expected = xp::usbtoken::TokenAnswer(machine.root(), machine.token_id(), 0, selector, block);
  ASSERT_TRUE(expected.has_value());
  EXPECT_TRUE(std::equal(answer, answer + kKeySize, expected->begin()));

  xp::usbtoken::Unplug(machine.root(), machine.token_id());
  EXPECT_EQ(AnswerAfterPause(value, answer), TokenAnswer::kTokenFailed);
}

}  // namespace
}  // namespace tavik::keys
