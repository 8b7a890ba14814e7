// Encrypting one file in place: the file on disk is the cipher of its whole plaintext whatever its length and
// however the reads come back, it keeps what the file system knew of it, and every failure before the commit
// leaves the plain file as it was, with nothing committed and no temporary copy.
#include <cstring>

#include "engine_fixture.h"
#include "winioctl.h"

namespace tavik::diskseal::testing {
using namespace tavik::conversion;

namespace {

class EncryptFileTest : public EngineTest {
 protected:
  void SetUp() override {
    MakeKeys();
    engine().PrepareKeyFromToken("Invalid Data [005]");
    ASSERT_TRUE(engine().key_ready());
    ASSERT_TRUE(engine().InitEncryptionFiles());
  }
  std::vector<std::string> History() const { return Lines(InInstallFolder("MRVENCHS")); }
};

TEST_F(EncryptFileTest, EveryLengthBecomesTheCipherOfTheWholeFile) {
  std::vector<std::string> encrypted;
  for (size_t length : {1u, 15u, 16u, 17u, 65536u, 65541u, 131075u}) {
    const std::string path = "D:\\data\\length" + std::to_string(length) + ".bin";
    const std::string plain = RandomBytes(length, static_cast<uint32_t>(length));
    Put(path, plain);
    EXPECT_EQ(engine().EncryptFileInPlace(path), kConverted) << path;
    EXPECT_TRUE(Get(path) == Encrypted(plain, engine().key())) << path;
    EXPECT_FALSE(Exists(path + ".H1K")) << path;
    encrypted.push_back(path);
  }
  EXPECT_EQ(History(), encrypted);
}

TEST_F(EncryptFileTest, ShortReadsStillFillEveryChunk) {
  const std::string path = "D:\\data\\short-reads.bin";
  const std::string plain = RandomBytes(3 * 65536 + 7, 99);
  Put(path, plain);
  // Three reads in a row come back half full: the first chunk is made of four reads.
  xp::machine::ArmFault({xp::machine::FaultAction::kFail, "ReadFile:short", 1, 3, 0, ".H1K"});
  EXPECT_EQ(engine().EncryptFileInPlace(path), kConverted);
  xp::machine::ClearFaults();
  EXPECT_TRUE(Get(path) == Encrypted(plain, engine().key()));
}

TEST_F(EncryptFileTest, AttributesTimesCompressionSparsenessAndEfsComeBack) {
  const std::string path = "D:\\data\\kept.doc";
  Put(path, RandomBytes(70000, 5));
  ASSERT_TRUE(setCompressSparseAttr(true, path.c_str()));
  ASSERT_TRUE(setCompressSparseAttr(false, path.c_str()));
  ASSERT_TRUE(EncryptFileA(path.c_str()));
  const FILETIME creation = {0x11111111, 0x01C00000}, access = {0x22222222, 0x01C10000},
                 write = {0x33333333, 0x01C20000};
  ASSERT_EQ(setFileTime(path.c_str(), &creation, &access, &write), 1);
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  const DWORD before = Attributes(path);
  ASSERT_EQ(before & (FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_SPARSE_FILE | FILE_ATTRIBUTE_ENCRYPTED),
            DWORD{FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_SPARSE_FILE | FILE_ATTRIBUTE_ENCRYPTED});

  EXPECT_EQ(engine().EncryptFileInPlace(path), kConverted);
  EXPECT_EQ(Attributes(path), before);
  FILETIME creation_after, access_after, write_after;
  ASSERT_EQ(getFileTime(path.c_str(), &creation_after, &access_after, &write_after), 1);
  EXPECT_EQ(std::memcmp(&creation_after, &creation, sizeof creation), 0);
  EXPECT_EQ(std::memcmp(&write_after, &write, sizeof write), 0);
}

TEST_F(EncryptFileTest, AFileHeldOpenStaysPlainUntouched) {
  const std::string path = "D:\\data\\held.txt";
  const std::string plain = "held open by someone else";
  Put(path, plain);
  HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(engine().EncryptFileInPlace(path), kRenameFailed);
  CloseHandle(holder);
  EXPECT_EQ(Get(path), plain);
  EXPECT_FALSE(Exists(path + ".H1K"));
  EXPECT_TRUE(History().empty());
}

// The history could not record the file: both copies stay, and the next run's restore settles the file by what
// the history holds on the disk.
TEST_F(EncryptFileTest, AnUnrecordedCommitLeavesBothCopiesForTheRestore) {
  using xp::machine::FaultAction;
  const std::string path = "D:\\data\\unrecorded.bin";
  const std::string plain = RandomBytes(5000, 11);
  for (const char* operation : {"WriteFile", "FlushFileBuffers"}) {
    SCOPED_TRACE(operation);
    Put(path, plain);
    xp::machine::ArmFault({FaultAction::kFail, operation, 1, 1, ERROR_DISK_FULL, "MRVENCHS"});
    EXPECT_EQ(engine().EncryptFileInPlace(path), kHistoryNotWritten);
    xp::machine::ClearFaults();
    EXPECT_TRUE(Get(path) == Encrypted(plain, engine().key()));
    EXPECT_TRUE(Get(path + ".H1K") == plain);
    SetFileAttributesA((path + ".H1K").c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA((path + ".H1K").c_str());
  }
}

struct FailureRow {
  const char* what;
  xp::machine::Fault fault;
  int result;
  bool committed;  // the file ends encrypted and in the history
};

TEST_F(EncryptFileTest, AFailureBeforeTheCommitPutsThePlainFileBack) {
  using xp::machine::FaultAction;
  const FailureRow rows[] = {
      {"temporary copy not opened",
       {FaultAction::kFail, "CreateFileA", 1, 1, ERROR_ACCESS_DENIED, ".H1K"},
       kOpenReadFailed,
       false},
      {"attributes unreadable",
       {FaultAction::kFail, "GetFileAttributesA", 1, 1, ERROR_ACCESS_DENIED, ".H1K"},
       kAttributesUnreadable,
       false},
      {"read fails", {FaultAction::kFail, "ReadFile", 1, 1, ERROR_READ_FAULT, ".H1K"}, kReadFailed, false},
      {"write fails", {FaultAction::kFail, "WriteFile", 1, 1, ERROR_DISK_FULL, "\\f.bin"}, kWriteFailed, false},
      {"write short", {FaultAction::kFail, "WriteFile:short", 1, 1, 0, "\\f.bin"}, kWriteFailed, false},
      {"flush fails", {FaultAction::kFail, "FlushFileBuffers", 1, 1, ERROR_DISK_FULL, "\\f.bin"}, kWriteFailed, false},
      {"attributes not set",
       {FaultAction::kFail, "SetFileAttributesA", 1, 1, ERROR_ACCESS_DENIED, "\\f.bin"},
       kAttributesNotSet,
       false},
      {"compression refused",
       {FaultAction::kFail, "DeviceIoControl", 1, 1, ERROR_INVALID_FUNCTION, "\\f.bin"},
       kCompressionNotSet,
       false},
      {"temporary not deleted",
       {FaultAction::kFail, "DeleteFileA", 1, 1, ERROR_ACCESS_DENIED, ".H1K"},
       kTemporaryNotDeleted,
       true},
  };
  int n = 0;
  for (const FailureRow& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string folder = "D:\\case" + std::to_string(n++);
    const std::string path = folder + "\\f.bin";
    const std::string plain = RandomBytes(100000, static_cast<uint32_t>(n));
    Put(path, plain);
    ASSERT_TRUE(setCompressSparseAttr(true, path.c_str()));
    xp::ui::Script script;
    if (row.result == kReadFailed) {
      script.ExpectBox("Read error code " + std::to_string(ERROR_READ_FAULT), path + ".H1K").Answer(IDOK);
    }
    if (row.result == kWriteFailed && std::string(row.fault.operation) == "WriteFile:short") {
      script.ExpectBox("Write data failed", "Number of bytes written is incorrect.").Answer(IDOK);
    }
    Play(script);
    xp::machine::ArmFault(row.fault);
    EXPECT_EQ(engine().EncryptFileInPlace(path), row.result);
    xp::machine::ClearFaults();
    EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
    const std::vector<std::string> history = History();
    const bool listed = std::find(history.begin(), history.end(), path) != history.end();
    EXPECT_EQ(listed, row.committed);
    if (row.committed) {
      EXPECT_TRUE(Get(path) == Encrypted(plain, engine().key()));
      EXPECT_TRUE(Get(path + ".H1K") == plain);
    } else {
      EXPECT_TRUE(Get(path) == plain);
      EXPECT_FALSE(Exists(path + ".H1K"));
      EXPECT_TRUE(Attributes(path) & FILE_ATTRIBUTE_COMPRESSED);
    }
  }
}

}  // namespace
}  // namespace tavik::diskseal::testing
