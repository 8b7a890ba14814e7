// Deleting, moving and copying by name, folders, and attributes and times that follow a file through renames and
// go with it when it is deleted.
#include "files_fixture.h"

namespace xp::kernel32::testing {
namespace {

using NamesTest = FilesTest;

TEST_F(NamesTest, MoveFileRefusesAnExistingTarget) {
  MakeFile("C:\\a.txt", "A");
  MakeFile("C:\\b.txt", "B");
  SetLastError(0);
  EXPECT_FALSE(MoveFileA("C:\\a.txt", "C:\\B.TXT"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(ReadAll("C:\\a.txt"), "A");
  EXPECT_EQ(ReadAll("C:\\b.txt"), "B");
  // Replacing is asked for by name.
  EXPECT_TRUE(MoveFileExA("C:\\a.txt", "C:\\b.txt", MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
  EXPECT_EQ(ReadAll("C:\\b.txt"), "A");
  EXPECT_EQ(GetFileAttributesA("C:\\a.txt"), INVALID_FILE_ATTRIBUTES);

  struct Case {
    const char* from;
    const char* to;
    DWORD error;
  };
  for (const Case& c :
       {Case{"C:\\missing.txt", "C:\\x.txt", ERROR_FILE_NOT_FOUND},
        Case{"C:\\b.txt", "C:\\no\\x.txt", ERROR_PATH_NOT_FOUND}, Case{"C:\\b.txt", "C:\\b.txt", ERROR_SUCCESS}}) {
    SetLastError(0);
    EXPECT_EQ(MoveFileA(c.from, c.to), c.error == ERROR_SUCCESS) << c.from << " -> " << c.to;
    EXPECT_EQ(GetLastError(), c.error) << c.from << " -> " << c.to;
  }
  SetLastError(0);
  EXPECT_FALSE(MoveFileExA("C:\\b.txt", "C:\\c.txt", MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
}

TEST_F(NamesTest, MoveFileCopiesAcrossVolumes) {
  MakeFile("C:\\across.txt", "over");
  ASSERT_TRUE(MoveFileA("C:\\across.txt", "D:\\across.txt"));
  EXPECT_EQ(ReadAll("D:\\across.txt"), "over");
  EXPECT_EQ(GetFileAttributesA("C:\\across.txt"), INVALID_FILE_ATTRIBUTES);
  SetLastError(0);
  EXPECT_FALSE(MoveFileExA("D:\\across.txt", "C:\\back.txt", 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SAME_DEVICE));
}

TEST_F(NamesTest, AttributesAndTimesFollowRenamesAndGoWithDeletes) {
  MakeFile("C:\\doc.txt", "text");
  ASSERT_TRUE(SetFileAttributesA("C:\\doc.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  HANDLE file = CreateFileA("C:\\doc.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  const FILETIME created{0x12345678, 0x01BF0000};
  ASSERT_TRUE(SetFileTime(file, &created, nullptr, nullptr));
  CloseHandle(file);

  ASSERT_TRUE(MoveFileA("C:\\doc.txt", "C:\\doc.H1K"));
  EXPECT_EQ(GetFileAttributesA("C:\\doc.H1K"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  file = CreateFileA("C:\\doc.H1K", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME seen{};
  ASSERT_TRUE(GetFileTime(file, &seen, nullptr, nullptr));
  CloseHandle(file);
  EXPECT_EQ(seen.dwLowDateTime, created.dwLowDateTime);
  EXPECT_EQ(seen.dwHighDateTime, created.dwHighDateTime);

  // The old name is free and a new file there starts afresh; the deleted file's metadata is gone.
  MakeFile("C:\\doc.txt", "new");
  EXPECT_EQ(GetFileAttributesA("C:\\doc.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  ASSERT_TRUE(DeleteFileA("C:\\doc.H1K"));
  MakeFile("C:\\doc.H1K", "again");
  EXPECT_EQ(GetFileAttributesA("C:\\doc.H1K"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
}

TEST_F(NamesTest, RenamedFoldersKeepTheirContents) {
  ASSERT_TRUE(CreateDirectoryA("C:\\old", nullptr));
  MakeFile("C:\\old\\in.txt", "inside");
  ASSERT_TRUE(SetFileAttributesA("C:\\old\\in.txt", FILE_ATTRIBUTE_SYSTEM));
  ASSERT_TRUE(MoveFileA("C:\\old", "C:\\New"));
  EXPECT_EQ(ReadAll("C:\\new\\IN.TXT"), "inside");
  EXPECT_EQ(GetFileAttributesA("C:\\New\\in.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_SYSTEM));
}

TEST_F(NamesTest, Folders) {
  struct Case {
    const char* path;
    DWORD error;
  };
  for (const Case& c : {Case{"C:\\dir", ERROR_SUCCESS}, Case{"C:\\DIR", ERROR_ALREADY_EXISTS},
                        Case{"C:\\none\\dir", ERROR_PATH_NOT_FOUND}, Case{"C:\\", ERROR_ALREADY_EXISTS}}) {
    SetLastError(0);
    EXPECT_EQ(CreateDirectoryA(c.path, nullptr), c.error == ERROR_SUCCESS) << c.path;
    EXPECT_EQ(GetLastError(), c.error) << c.path;
  }
  MakeFile("C:\\dir\\f.txt", "f");

  SetLastError(0);
  EXPECT_FALSE(RemoveDirectoryA("C:\\dir"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
  SetLastError(0);
  EXPECT_FALSE(RemoveDirectoryA("C:\\dir\\f.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
  SetLastError(0);
  EXPECT_FALSE(DeleteFileA("C:\\dir"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  SetLastError(0);
  EXPECT_FALSE(DeleteFileA("C:\\dir\\missing.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  ASSERT_TRUE(DeleteFileA("C:\\dir\\f.txt"));
  EXPECT_TRUE(RemoveDirectoryA("C:\\dir"));
  EXPECT_FALSE(std::filesystem::exists(Host("C:\\dir")));
}

TEST_F(NamesTest, CopyFileCarriesDataAttributesAndWriteTime) {
  MakeFile("C:\\log.txt", "line 1\r\nline 2\r\n");
  ASSERT_TRUE(SetFileAttributesA("C:\\log.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  ASSERT_TRUE(CopyFileA("C:\\log.txt", "C:\\report.txt", FALSE));
  EXPECT_EQ(ReadAll("C:\\report.txt"), "line 1\r\nline 2\r\n");
  EXPECT_EQ(GetFileAttributesA("C:\\report.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));

  SetLastError(0);
  EXPECT_FALSE(CopyFileA("C:\\log.txt", "C:\\report.txt", TRUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  // Over a read-only copy: refused until the copy is made writable.
  SetLastError(0);
  EXPECT_FALSE(CopyFileA("C:\\log.txt", "C:\\report.txt", FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  ASSERT_TRUE(SetFileAttributesA("C:\\report.txt", FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(CopyFileA("C:\\log.txt", "C:\\report.txt", FALSE));
  SetLastError(0);
  EXPECT_FALSE(CopyFileA("C:\\missing.txt", "C:\\copy.txt", FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(NamesTest, SetFileAttributesKeepsWhatTheFileSystemOwns) {
  MakeFile("C:\\s.txt", "s");
  ASSERT_TRUE(SetFileAttributesA("C:\\s.txt", FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_ENCRYPTED |
                                                  FILE_ATTRIBUTE_SPARSE_FILE | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(GetFileAttributesA("C:\\s.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(SetFileAttributesA("C:\\WINDOWS", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesA("C:\\WINDOWS"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  SetLastError(0);
  EXPECT_FALSE(SetFileAttributesA("C:\\missing", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
}  // namespace xp::kernel32::testing
