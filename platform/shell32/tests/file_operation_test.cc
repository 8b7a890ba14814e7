// SHFileOperationA's delete: a whole tree, read-only files included, gone for good; several paths in one list;
// the failures it reports; and the operations and flags it does not do.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "scratch_machine.h"
#include "shellapi.h"
#include "windows.h"
#include "xp/faults.h"

namespace {

class FileOperationTest : public ::testing::Test {
 protected:
  void Put(const std::string& relative, const std::string& text = "x") const {
    const std::filesystem::path host = Drive() / relative;
    std::filesystem::create_directories(host.parent_path());
    std::ofstream(host, std::ios::binary) << text;
  }
  std::filesystem::path Drive() const { return machine_.root() / "drives" / "C"; }

  static int Delete(const char* from, FILEOP_FLAGS flags = FOF_SILENT | FOF_NOCONFIRMATION, UINT function = FO_DELETE) {
    SHFILEOPSTRUCTA operation{};
    operation.wFunc = function;
    operation.pFrom = from;
    operation.fFlags = flags;
    operation.fAnyOperationsAborted = TRUE;
    const int result = SHFileOperationA(&operation);
    EXPECT_FALSE(operation.fAnyOperationsAborted);
    return result;
  }

  xp::test::ScratchMachine machine_;
};

TEST_F(FileOperationTest, DeletesATreeWithReadOnlyFilesPermanently) {
  Put("Cache/a.txt");
  Put("Cache/Sub/b.txt");
  Put("Cache/Sub/Deeper/c.txt");
  ASSERT_TRUE(CreateDirectoryA("C:\\Cache\\Empty", nullptr));
  ASSERT_TRUE(SetFileAttributesA("C:\\Cache\\Sub\\b.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  Put("Other/keep.txt");
  EXPECT_EQ(Delete("C:\\cache\0"), 0);
  EXPECT_EQ(GetFileAttributesA("C:\\Cache"), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(std::filesystem::exists(Drive() / "Cache"));
  EXPECT_TRUE(std::filesystem::exists(Drive() / "Other" / "keep.txt"));
  EXPECT_FALSE(std::filesystem::exists(Drive() / "RECYCLER"));
}

TEST_F(FileOperationTest, SeveralPathsInOneList) {
  Put("one.txt");
  Put("Two/two.txt");
  EXPECT_EQ(Delete("C:\\one.txt\0C:\\Two\0"), 0);
  EXPECT_FALSE(std::filesystem::exists(Drive() / "one.txt"));
  EXPECT_FALSE(std::filesystem::exists(Drive() / "Two"));
}

TEST_F(FileOperationTest, Failures) {
  EXPECT_EQ(Delete("C:\\missing\0"), ERROR_FILE_NOT_FOUND);

  Put("Held/open.txt");
  const HANDLE held =
      CreateFileA("C:\\Held\\open.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Delete("C:\\Held\0"), ERROR_SHARING_VIOLATION);
  CloseHandle(held);
  EXPECT_TRUE(std::filesystem::exists(Drive() / "Held"));

  xp::machine::Fault fault;
  fault.operation = "RemoveDirectoryA";
  fault.error = ERROR_ACCESS_DENIED;
  xp::machine::ArmFault(fault);
  EXPECT_EQ(Delete("C:\\Held\0"), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(std::filesystem::exists(Drive() / "Held" / "open.txt"));
  EXPECT_EQ(Delete("C:\\Held\0"), 0);
}

TEST_F(FileOperationTest, OtherOperationsAndFlagsFailLoudly) {
  Put("kept.txt");
  EXPECT_EQ(Delete("C:\\kept.txt\0", FOF_ALLOWUNDO | FOF_SILENT | FOF_NOCONFIRMATION), ERROR_CALL_NOT_IMPLEMENTED);
  EXPECT_EQ(Delete("C:\\kept.txt\0", FOF_NOCONFIRMATION), ERROR_CALL_NOT_IMPLEMENTED);
  EXPECT_EQ(Delete("C:\\kept.txt\0", FOF_SILENT | FOF_NOCONFIRMATION, FO_COPY), ERROR_CALL_NOT_IMPLEMENTED);
  EXPECT_EQ(Delete("C:\\*.txt\0"), ERROR_CALL_NOT_IMPLEMENTED);
  EXPECT_TRUE(std::filesystem::exists(Drive() / "kept.txt"));
}

}  // namespace
