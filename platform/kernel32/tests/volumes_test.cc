// The machine's drives and volumes: letters, kinds, serials and file-system names, free space and a full disk,
// and short names.
#include "files_fixture.h"
#include "xp/short_names.h"

namespace xp::kernel32::testing {
namespace {

using VolumesTest = FilesTest;

TEST_F(VolumesTest, LettersAndKinds) {
  EXPECT_EQ(GetLogicalDrives(), (1u << 2) | (1u << 3) | (1u << 4) | (1u << 5) | (1u << 6));
  struct Case {
    const char* root;
    UINT type;
  };
  for (const Case& c :
       {Case{"C:\\", DRIVE_FIXED}, Case{"d:\\", DRIVE_FIXED}, Case{"E:\\", DRIVE_CDROM}, Case{"F:\\", DRIVE_FIXED},
        Case{"G:\\", DRIVE_FIXED}, Case{"H:\\", DRIVE_NO_ROOT_DIR}, Case{"C:", DRIVE_FIXED},
        Case{"C:\\WINDOWS\\", DRIVE_NO_ROOT_DIR}, Case{"", DRIVE_NO_ROOT_DIR}}) {
    EXPECT_EQ(GetDriveTypeA(c.root), c.type) << c.root;
  }
}

TEST_F(VolumesTest, VolumeInformation) {
  char name[MAX_PATH] = "untouched";
  char label[MAX_PATH] = "untouched";
  DWORD serial = 0, longest = 0, flags = 0;
  ASSERT_TRUE(GetVolumeInformationA("D:\\", label, sizeof label, &serial, &longest, &flags, name, sizeof name));
  EXPECT_STREQ(name, "FAT32");
  EXPECT_STREQ(label, "");
  EXPECT_EQ(serial, kVolumeSerialD);
  EXPECT_EQ(longest, 255u);
  ASSERT_TRUE(GetVolumeInformationA("C:\\", nullptr, 0, &serial, nullptr, nullptr, name, sizeof name));
  EXPECT_STREQ(name, "NTFS");
  EXPECT_EQ(serial, 0x5A3C71E4u);

  SetLastError(0);
  EXPECT_FALSE(GetVolumeInformationA("C:\\", nullptr, 0, nullptr, nullptr, nullptr, name, 4));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_LENGTH));
  SetLastError(0);
  EXPECT_FALSE(GetVolumeInformationA("C:", nullptr, 0, nullptr, nullptr, nullptr, name, sizeof name));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
}

TEST_F(VolumesTest, AVolumeNoFileSystemRecognisesLeavesTheBuffersAlone) {
  char name[MAX_PATH] = "untouched";
  DWORD serial = 7;
  SetLastError(0);
  EXPECT_FALSE(GetVolumeInformationA("F:\\", nullptr, 0, &serial, nullptr, nullptr, name, sizeof name));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNRECOGNIZED_VOLUME));
  EXPECT_STREQ(name, "untouched");
  EXPECT_EQ(serial, 7u);
}

TEST_F(VolumesTest, AVolumeWithAnEmptyFileSystemName) {
  char name[MAX_PATH] = "untouched";
  DWORD serial = 0;
  ASSERT_TRUE(GetVolumeInformationA("G:\\", nullptr, 0, &serial, nullptr, nullptr, name, sizeof name));
  EXPECT_STREQ(name, "");
  EXPECT_EQ(serial, 0x6060u);
}

TEST_F(VolumesTest, FreeSpaceIsTheBudgetAndRunsOut) {
  ULARGE_INTEGER available{}, total{}, free{};
  ASSERT_TRUE(GetDiskFreeSpaceExA("D:\\", &available, &total, &free));
  EXPECT_EQ(available.QuadPart, kFreeBytesD);
  EXPECT_EQ(free.QuadPart, kFreeBytesD);
  EXPECT_GE(total.QuadPart, kFreeBytesD);

  MakeFile("D:\\first.bin", std::string(100 * 1024, 'a'));
  ASSERT_TRUE(GetDiskFreeSpaceExA("D:\\", &available, nullptr, nullptr));
  EXPECT_EQ(available.QuadPart, kFreeBytesD - 100 * 1024);

  const HANDLE file = CreateFileA("D:\\second.bin", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const std::string chunk(64 * 1024, 'b');
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr));
  ASSERT_TRUE(WriteFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr));
  SetLastError(0);
  EXPECT_FALSE(WriteFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(written, 0u);
  CloseHandle(file);
  EXPECT_EQ(ReadAll("D:\\second.bin"), chunk + chunk);
  // Deleting gives the space back.
  ASSERT_TRUE(DeleteFileA("D:\\first.bin"));
  ASSERT_TRUE(GetDiskFreeSpaceExA("D:\\", &available, nullptr, nullptr));
  EXPECT_EQ(available.QuadPart, kFreeBytesD - 128 * 1024);
}

TEST_F(VolumesTest, ShortPathLengthsAndAliases) {
  const std::string long_path = "C:\\Program Files";
  char buffer[MAX_PATH];
  EXPECT_EQ(GetShortPathNameA(long_path.c_str(), buffer, sizeof buffer), long_path.size());
  EXPECT_EQ(buffer, long_path);
  // Too small by one: the size needed, NUL included, and the buffer untouched.
  char small[16] = "untouched";
  EXPECT_EQ(GetShortPathNameA(long_path.c_str(), small, 16), long_path.size() + 1);
  EXPECT_STREQ(small, "untouched");
  EXPECT_EQ(GetShortPathNameA(long_path.c_str(), nullptr, 0), long_path.size() + 1);
  SetLastError(0);
  EXPECT_EQ(GetShortPathNameA("C:\\Program Files\\missing", buffer, sizeof buffer), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  ASSERT_TRUE(CreateDirectoryA("C:\\Program Files\\Quillmarsh", nullptr));
  ASSERT_TRUE(CreateDirectoryA("C:\\Program Files\\Quillmarsh\\Tavik", nullptr));
  AddShortNameAlias("C:\\Program Files", "C:\\PROGRA~1");
  AddShortNameAlias("C:\\Program Files\\Quillmarsh", "C:\\PROGRA~1\\QUILLM~1");
  EXPECT_EQ(GetShortPathNameA("c:\\program files\\quillmarsh\\Tavik", buffer, sizeof buffer), 26u);
  EXPECT_STREQ(buffer, "C:\\PROGRA~1\\QUILLM~1\\Tavik");
  EXPECT_EQ(GetShortPathNameA("C:\\Program Files\\Quillmarsh", buffer, sizeof buffer), 20u);
  EXPECT_STREQ(buffer, "C:\\PROGRA~1\\QUILLM~1");
  EXPECT_EQ(GetShortPathNameA("C:\\WINDOWS", buffer, sizeof buffer), 10u);
  EXPECT_STREQ(buffer, "C:\\WINDOWS");
}

}  // namespace
}  // namespace xp::kernel32::testing
