// File-system controls: FSCTL_SET_COMPRESSION and FSCTL_SET_SPARSE through DeviceIoControl mark the file, as the
// system's setCompressSparseAttr uses them, and can be made to fail; EncryptFileA marks it encrypted.
#include "files_fixture.h"
#include "xp/faults.h"

namespace xp::kernel32::testing {
namespace {

using ControlsTest = FilesTest;

TEST_F(ControlsTest, CompressionAndSparseness) {
  MakeFile("C:\\c.bin", "compress me");
  const HANDLE file = CreateFileA("C:\\c.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  USHORT format = COMPRESSION_FORMAT_DEFAULT;
  DWORD returned = 99;
  ASSERT_TRUE(DeviceIoControl(file, FSCTL_SET_COMPRESSION, &format, sizeof format, nullptr, 0, &returned, nullptr))
      << GetLastError();
  EXPECT_EQ(returned, 0u);
  ASSERT_TRUE(DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr)) << GetLastError();
  CloseHandle(file);
  EXPECT_EQ(GetFileAttributesA("C:\\c.bin"),
            static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_SPARSE_FILE));
  EXPECT_EQ(ReadAll("C:\\c.bin"), "compress me");
}

TEST_F(ControlsTest, CompressionNeedsReadAndWriteAccessAndCanBeMadeToFail) {
  MakeFile("C:\\c.bin", "x");
  const HANDLE reader = CreateFileA("C:\\c.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  USHORT format = COMPRESSION_FORMAT_DEFAULT;
  DWORD returned = 0;
  SetLastError(0);
  EXPECT_FALSE(DeviceIoControl(reader, FSCTL_SET_COMPRESSION, &format, sizeof format, nullptr, 0, &returned, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(reader);

  machine::Fault fault;
  fault.operation = "DeviceIoControl";
  fault.error = ERROR_INVALID_FUNCTION;
  fault.path_contains = "c.bin";
  machine::ArmFault(fault);
  const HANDLE file = CreateFileA("C:\\c.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  SetLastError(0);
  EXPECT_FALSE(DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
  CloseHandle(file);
  EXPECT_EQ(GetFileAttributesA("C:\\c.bin") & FILE_ATTRIBUTE_SPARSE_FILE, 0u);
}

TEST_F(ControlsTest, EncryptFileMarksFilesAndFolders) {
  MakeFile("C:\\secret.txt", "plain");
  ASSERT_TRUE(EncryptFileA("C:\\secret.txt")) << GetLastError();
  EXPECT_EQ(GetFileAttributesA("C:\\secret.txt"),
            static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_ENCRYPTED));
  EXPECT_EQ(ReadAll("C:\\secret.txt"), "plain");
  ASSERT_TRUE(CreateDirectoryA("C:\\Private", nullptr));
  ASSERT_TRUE(EncryptFileA("C:\\Private")) << GetLastError();
  EXPECT_EQ(GetFileAttributesA("C:\\Private"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ENCRYPTED));

  MakeFile("C:\\held.txt", "x");
  const HANDLE held = CreateFileA("C:\\held.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  SetLastError(0);
  EXPECT_FALSE(EncryptFileA("C:\\held.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(held);
  SetLastError(0);
  EXPECT_FALSE(EncryptFileA("C:\\missing.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
}  // namespace xp::kernel32::testing
