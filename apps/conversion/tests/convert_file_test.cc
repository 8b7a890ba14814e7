// One file converted in either direction and into a recovery copy, on a machine's drive: the bytes on disk are the
// file cipher's known output (whole blocks by an independent AES-128-ECB, the tail by the tail rule), the file keeps
// what the file system knew of it, and every failure leaves the file as it was, with nothing committed and no
// temporary copy (or, once committed, a finished file whose stale copy a later settlement deletes).
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstring>
#include <string>
#include <vector>

#include "aes.h"
#include "conversion.h"
#include "pattern.h"
#include "scratch_machine.h"
#include "setupcore.h"
#include "tail_rule.h"
#include "xp/faults.h"
#include "xp/ui_script.h"

namespace tavik::conversion {
namespace {

using Bytes = std::vector<uint8_t>;
using xp::machine::FaultAction;

// An XCFK as the install makes it, from a fixed CFK.
struct Key {
  Key() {
    const unsigned char cfk[17] = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6,
                                   0xab, 0xf7, 0x15, 0x88, 0x09, 0xcf, 0x4f, 0x3c};
    expand_cfk(cfk, xcfk);
  }
  unsigned char xcfk[33] = {};
};

// The file cipher's output computed apart from the code under test: AES-128-ECB of every whole block under the
// XCFK's first 16 bytes, then the tail rule over the expanded key.
Bytes KnownCipher(const Bytes& plain, const unsigned char* xcfk) {
  Bytes out(plain.size());
  const size_t whole = plain.size() / 16 * 16;
  EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
  EVP_EncryptInit_ex(context, EVP_aes_128_ecb(), nullptr, xcfk, nullptr);
  EVP_CIPHER_CTX_set_padding(context, 0);
  int length = 0;
  if (whole > 0) EVP_EncryptUpdate(context, out.data(), &length, plain.data(), static_cast<int>(whole));
  EVP_CIPHER_CTX_free(context);
  if (plain.size() > whole) std::memcpy(out.data() + whole, plain.data() + whole, plain.size() - whole);
  cipher::AesKey schedule;
  cipher::ExpandKey(xcfk, &schedule);
  uint8_t expanded[cipher::kAes128ExpandedKeySize];
  cipher::ExpandedKeyBytes(schedule, expanded);
  cipher::EncryptTail(expanded, out.data() + whole, plain.size() - whole);
  return out;
}

void Put(const std::string& path, const Bytes& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  if (!bytes.empty()) {
    ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  }
  CloseHandle(file);
}

std::optional<Bytes> Get(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  Bytes bytes;
  unsigned char chunk[65536];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  CloseHandle(file);
  return bytes;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Remove(const std::string& path) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path.c_str());
}

class ConvertFileTest : public ::testing::Test {
 protected:
  ConvertFileTest() : machine_(xp::test::ScratchOptions{.no_ui = true}) {
    CreateDirectoryA("C:\\data", nullptr);
    CreateDirectoryA("C:\\Program Files", nullptr);
    CreateDirectoryA("C:\\Program Files\\Quillmarsh", nullptr);
    CreateDirectoryA("C:\\Program Files\\Quillmarsh\\Tavik", nullptr);
    CreateDirectoryA(kInstallFolder, nullptr);
  }
  // The history of a direction, opened afresh.
  History& OpenHistory(const char* name) {
    history_.Clear();
    EXPECT_TRUE(history_.Open(InstallFile(name)));
    return history_;
  }
  void Play(const xp::ui::Script& script) const { machine_.Play(script); }

  xp::test::ScratchMachine machine_;
  Key key_;
  History history_;
};

struct Way {
  const char* what;
  const FileConversion& conversion;
  const char* history;
};
const Way kWays[] = {{"encrypt", kEncryption, "MRVENCHS"}, {"decrypt", kDecryption, "MRVDECHS"}};

// What the file holds before and after a conversion that way.
Bytes Before(const Way& way, const Bytes& plain, const unsigned char* xcfk) {
  return way.conversion.direction == Direction::kEncrypt ? plain : KnownCipher(plain, xcfk);
}
Bytes After(const Way& way, const Bytes& plain, const unsigned char* xcfk) {
  return way.conversion.direction == Direction::kEncrypt ? KnownCipher(plain, xcfk) : plain;
}

TEST_F(ConvertFileTest, EveryLengthEndsAsTheKnownBytesInBothDirectionsAndInTheCopy) {
  for (const Way& way : kWays) {
    History& history = OpenHistory(way.history);
    for (size_t length : {0u, 1u, 15u, 16u, 17u, 65535u, 65536u, 65537u, 3u * 1024 * 1024 + 5}) {
      SCOPED_TRACE(std::string(way.what) + " " + std::to_string(length));
      const std::string path = "C:\\data\\" + std::string(way.what) + std::to_string(length) + ".bin";
      const Bytes plain = xp::test::Pattern(length, static_cast<uint8_t>(length));
      Put(path, Before(way, plain, key_.xcfk));
      EXPECT_EQ(ConvertFileInPlace(way.conversion, key_.xcfk, path, nullptr, &history), kConverted);
      EXPECT_TRUE(Get(path) == After(way, plain, key_.xcfk));
      EXPECT_FALSE(Exists(path + way.conversion.suffix));
      EXPECT_TRUE(history.Contains(path));
    }
  }
  for (size_t length : {0u, 1u, 5u, 16u, 17u, 65537u, 65541u}) {
    SCOPED_TRACE("copy " + std::to_string(length));
    const std::string path = "C:\\data\\copy" + std::to_string(length) + ".bin";
    const Bytes plain = xp::test::Pattern(length, 3);
    const Bytes encrypted = KnownCipher(plain, key_.xcfk);
    Put(path, encrypted);
    Put(path + ".H2K", Bytes(7, 'x'));  // an older copy is replaced, read-only as its user may have left it
    ASSERT_TRUE(SetFileAttributesA((path + ".H2K").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(DecryptFileToCopy(key_.xcfk, path, nullptr), kConverted);
    EXPECT_TRUE(Get(path + ".H2K") == plain);
    EXPECT_TRUE(Get(path) == encrypted);
  }
}

TEST_F(ConvertFileTest, AttributesTimesCompressionSparsenessAndEfsComeBack) {
  const FILETIME creation = {0x11111111, 0x01C00000}, access = {0x22222222, 0x01C10000},
                 write = {0x33333333, 0x01C20000};
  const DWORD kept = FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_SPARSE_FILE | FILE_ATTRIBUTE_ENCRYPTED;
  auto prepare = [&](const std::string& path, const Bytes& bytes) {
    Put(path, bytes);
    ASSERT_TRUE(setCompressSparseAttr(true, path.c_str()));
    ASSERT_TRUE(setCompressSparseAttr(false, path.c_str()));
    ASSERT_TRUE(EncryptFileA(path.c_str()));
    ASSERT_EQ(setFileTime(path.c_str(), &creation, &access, &write), 1);
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  };
  auto expect_kept = [&](const std::string& path, DWORD before) {
    EXPECT_EQ(GetFileAttributesA(path.c_str()), before);
    EXPECT_EQ(before & kept, kept);
    FILETIME c, a, w;
    ASSERT_EQ(getFileTime(path.c_str(), &c, &a, &w), 1);
    EXPECT_EQ(std::memcmp(&c, &creation, sizeof c), 0);
    EXPECT_EQ(std::memcmp(&w, &write, sizeof w), 0);
  };
  const Bytes plain = xp::test::Pattern(70000, 5);
  for (const Way& way : kWays) {
    SCOPED_TRACE(way.what);
    const std::string path = std::string("C:\\data\\kept-") + way.what + ".doc";
    prepare(path, Before(way, plain, key_.xcfk));
    const DWORD before = GetFileAttributesA(path.c_str());
    EXPECT_EQ(ConvertFileInPlace(way.conversion, key_.xcfk, path, nullptr, &OpenHistory(way.history)), kConverted);
    expect_kept(path, before);
    EXPECT_TRUE(Get(path) == After(way, plain, key_.xcfk));
  }
  const std::string path = "C:\\data\\kept-copy.doc";
  prepare(path, KnownCipher(plain, key_.xcfk));
  const DWORD before = GetFileAttributesA(path.c_str());
  EXPECT_EQ(DecryptFileToCopy(key_.xcfk, path, nullptr), kConverted);
  expect_kept(path + ".H2K", before);
  expect_kept(path, before);
  EXPECT_TRUE(Get(path + ".H2K") == plain);
}

// Where a fault hits: the temporary copy (the old content), the file written, or the history.
enum class Side { kOld, kNew, kHistory };
struct FailureRow {
  const char* what;
  const char* operation;  // nullptr: the file is held open by another program
  DWORD error;
  Side side;
  int result;
  bool committed;  // the file ends converted and in the history, with its stale copy beside it
};

TEST_F(ConvertFileTest, EachFailureInPlaceGivesItsCodeAndKeepsTheOldContent) {
  const FailureRow rows[] = {
      {"held open", nullptr, 0, Side::kOld, kRenameFailed, false},
      {"temporary copy not opened", "CreateFileA", ERROR_ACCESS_DENIED, Side::kOld, kOpenReadFailed, false},
      {"attributes unreadable", "GetFileAttributesA", ERROR_ACCESS_DENIED, Side::kOld, kAttributesUnreadable, false},
      {"read fails", "ReadFile", ERROR_READ_FAULT, Side::kOld, kReadFailed, false},
      {"write fails", "WriteFile", ERROR_DISK_FULL, Side::kNew, kWriteFailed, false},
      {"write short", "WriteFile:short", 0, Side::kNew, kWriteFailed, false},
      {"flush fails", "FlushFileBuffers", ERROR_DISK_FULL, Side::kNew, kWriteFailed, false},
      {"attributes not set", "SetFileAttributesA", ERROR_ACCESS_DENIED, Side::kNew, kAttributesNotSet, false},
      {"compression refused", "DeviceIoControl", ERROR_INVALID_FUNCTION, Side::kNew, kCompressionNotSet, false},
      {"history not written", "WriteFile", ERROR_DISK_FULL, Side::kHistory, kHistoryNotWritten, false},
      {"history not flushed", "FlushFileBuffers", ERROR_DISK_FULL, Side::kHistory, kHistoryNotWritten, false},
      {"temporary not deleted", "DeleteFileA", ERROR_ACCESS_DENIED, Side::kOld, kTemporaryNotDeleted, true},
  };
  int n = 0;
  for (const Way& way : kWays) {
    for (const FailureRow& row : rows) {
      SCOPED_TRACE(std::string(way.what) + ": " + row.what);
      const std::string path = "C:\\data\\case" + std::to_string(++n) + "\\f.bin";
      const std::string temporary = path + way.conversion.suffix;
      CreateDirectoryA(path.substr(0, path.rfind('\\')).c_str(), nullptr);
      const Bytes plain = xp::test::Pattern(100000, static_cast<uint8_t>(n));
      const Bytes before = Before(way, plain, key_.xcfk);
      Put(path, before);
      ASSERT_TRUE(setCompressSparseAttr(true, path.c_str()));
      History& history = OpenHistory(way.history);

      xp::ui::Script script;
      if (row.result == kReadFailed) {
        script.ExpectBox("Read error code " + std::to_string(ERROR_READ_FAULT), temporary).Answer(IDOK);
      }
      if (row.operation != nullptr && std::string(row.operation) == "WriteFile:short") {
        script.ExpectBox("Write data failed", "Number of bytes written is incorrect.").Answer(IDOK);
      }
      if (row.result == kOpenReadFailed && way.conversion.direction == Direction::kDecrypt) {
        script.ExpectBox("Open File Failed", "Create write file failed: [005]").Answer(IDOK);
      }
      Play(script);
      HANDLE holder = INVALID_HANDLE_VALUE;
      if (row.operation == nullptr) {
        holder = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
      } else {
        const std::string where = row.side == Side::kOld ? temporary : row.side == Side::kNew ? "\\f.bin" : way.history;
        xp::machine::ArmFault({FaultAction::kFail, row.operation, 1, 1, row.error, where});
      }
      EXPECT_EQ(ConvertFileInPlace(way.conversion, key_.xcfk, path, nullptr, &history), row.result);
      xp::machine::ClearFaults();
      if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
      EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);

      history.Close();
      History reloaded;
      EXPECT_EQ(reloaded.LoadFrom(InstallFile(way.history), InstallFile("none.bak")), History::Load::kLoaded);
      if (row.result != kHistoryNotWritten) {
        EXPECT_EQ(reloaded.Contains(path), row.committed);
      }
      if (row.committed) {
        EXPECT_TRUE(Get(path) == After(way, plain, key_.xcfk));
        EXPECT_TRUE(Get(temporary) == before);
      } else if (row.result == kHistoryNotWritten) {
        // Whether the line reached the disk is not known: both copies stay for the settlement to decide.
        EXPECT_TRUE(Get(path) == After(way, plain, key_.xcfk));
        EXPECT_TRUE(Get(temporary) == before);
      } else {
        EXPECT_TRUE(Get(path) == before);
        EXPECT_FALSE(Exists(temporary));
        EXPECT_TRUE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_COMPRESSED);
      }
    }
  }
}

TEST_F(ConvertFileTest, AKeyWithoutTheMarkerConvertsNothing) {
  const unsigned char wrong[33] = {};
  for (const Way& way : kWays) {
    SCOPED_TRACE(way.what);
    const std::string path = std::string("C:\\data\\wrong-") + way.what;
    const Bytes before = xp::test::Pattern(40, 9);
    Put(path, before);
    EXPECT_EQ(ConvertFileInPlace(way.conversion, wrong, path, nullptr, &OpenHistory(way.history)), kWrongKey);
    EXPECT_TRUE(Get(path) == before);
    EXPECT_FALSE(Exists(path + way.conversion.suffix));
    EXPECT_FALSE(history_.Contains(path));
  }
  EXPECT_EQ(DecryptFileToCopy(wrong, "C:\\data\\wrong-decrypt", nullptr), kWrongKey);
  EXPECT_FALSE(Exists("C:\\data\\wrong-decrypt.H2K"));
}

TEST_F(ConvertFileTest, AFailedCopyLeavesTheEncryptedFileAndNoCopy) {
  struct CopyRow {
    const char* what;
    const char* operation;
    DWORD error;
    const char* where;
    uint32_t nth;
    int result;
  };
  const CopyRow rows[] = {
      // The first open reads the file's times.
      {"file not opened", "CreateFileA", ERROR_ACCESS_DENIED, "\\g.bin", 2, kOpenReadFailed},
      {"copy not created", "CreateFileA", ERROR_ACCESS_DENIED, ".H2K", 1, kOpenWriteFailed},
      {"read fails", "ReadFile", ERROR_READ_FAULT, "\\g.bin", 1, kReadFailed},
      {"write fails", "WriteFile", ERROR_DISK_FULL, ".H2K", 1, kWriteFailed},
      {"flush fails", "FlushFileBuffers", ERROR_DISK_FULL, ".H2K", 1, kWriteFailed},
      // The first call clears an older copy's attributes before it is deleted.
      {"attributes not set", "SetFileAttributesA", ERROR_ACCESS_DENIED, ".H2K", 2, kAttributesNotSet},
  };
  const std::string path = "C:\\data\\g.bin";
  const Bytes encrypted = KnownCipher(xp::test::Pattern(90000, 4), key_.xcfk);
  for (const CopyRow& row : rows) {
    SCOPED_TRACE(row.what);
    Put(path, encrypted);
    xp::ui::Script script;
    if (row.result == kReadFailed) {
      script.ExpectBox("Read error code " + std::to_string(ERROR_READ_FAULT), path + ".H2K").Answer(IDOK);
    }
    Play(script);
    xp::machine::ArmFault({FaultAction::kFail, row.operation, row.nth, 1, row.error, row.where});
    EXPECT_EQ(DecryptFileToCopy(key_.xcfk, path, nullptr), row.result);
    xp::machine::ClearFaults();
    EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
    EXPECT_TRUE(Get(path) == encrypted);
    EXPECT_FALSE(Exists(path + ".H2K"));
    Remove(path);
  }
}

}  // namespace
}  // namespace tavik::conversion
