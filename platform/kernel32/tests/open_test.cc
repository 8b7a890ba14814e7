// CreateFileA's dispositions, share modes and read-only files, checked by result and last error as XP gives them.
#include "files_fixture.h"

namespace xp::kernel32::testing {
namespace {

using OpenTest = FilesTest;

struct DispositionCase {
  const char* name;
  bool exists;
  DWORD disposition;
  bool opens;
  DWORD error;
  const char* content_after;  // of C:\f.txt once the handle is closed; nullptr: no file
};

TEST_F(OpenTest, Dispositions) {
  const DispositionCase cases[] = {
      {"create new, absent", false, CREATE_NEW, true, ERROR_SUCCESS, ""},
      {"create new, present", true, CREATE_NEW, false, ERROR_FILE_EXISTS, "old"},
      {"create always, absent", false, CREATE_ALWAYS, true, ERROR_SUCCESS, ""},
      {"create always, present", true, CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS, ""},
      {"open existing, absent", false, OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
      {"open existing, present", true, OPEN_EXISTING, true, ERROR_SUCCESS, "old"},
      {"open always, absent", false, OPEN_ALWAYS, true, ERROR_SUCCESS, ""},
      {"open always, present", true, OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS, "old"},
      {"truncate existing, absent", false, TRUNCATE_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
      {"truncate existing, present", true, TRUNCATE_EXISTING, true, ERROR_SUCCESS, ""},
      {"no such disposition", true, 9, false, ERROR_INVALID_PARAMETER, "old"},
  };
  for (const DispositionCase& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteFileA("C:\\f.txt");
    if (c.exists) MakeFile("C:\\f.txt", "old");
    SetLastError(0xDEAD);
    const HANDLE file = CreateFileA("C:\\f.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr, c.disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(file != INVALID_HANDLE_VALUE, c.opens);
    EXPECT_EQ(GetLastError(), c.error);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    EXPECT_EQ(GetFileAttributesA("C:\\f.txt") != INVALID_FILE_ATTRIBUTES, c.content_after != nullptr);
    if (c.content_after != nullptr) {
      EXPECT_EQ(ReadAll("C:\\f.txt"), c.content_after);
    }
  }
}

TEST_F(OpenTest, MissingFolderAndFolderAsFile) {
  SetLastError(0);
  EXPECT_EQ(CreateFileA("C:\\no\\such\\f.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  SetLastError(0);
  EXPECT_EQ(CreateFileA("C:\\WINDOWS", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

struct ShareCase {
  DWORD first_access;
  DWORD first_share;
  DWORD second_access;
  DWORD second_share;
  bool second_opens;
};

TEST_F(OpenTest, ShareModesOfOpenHandles) {
  MakeFile("C:\\shared.txt", "data");
  const ShareCase cases[] = {
      {GENERIC_READ, 0, GENERIC_READ, FILE_SHARE_READ, false},
      {GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ, true},
      {GENERIC_READ, FILE_SHARE_READ, GENERIC_WRITE, FILE_SHARE_READ, false},
      {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, GENERIC_WRITE,
       FILE_SHARE_READ | FILE_SHARE_WRITE, true},
      // The second asks others not to write, but the first already writes.
      {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, GENERIC_READ, FILE_SHARE_READ, false},
  };
  for (const ShareCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.first_access << "/" << c.first_share << " then "
                                      << c.second_access << "/" << c.second_share);
    const HANDLE first =
        CreateFileA("C:\\shared.txt", c.first_access, c.first_share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    SetLastError(0);
    const HANDLE second =
        CreateFileA("C:\\SHARED.TXT", c.second_access, c.second_share, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.second_opens);
    if (second != INVALID_HANDLE_VALUE) {
      CloseHandle(second);
    } else {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
    CloseHandle(first);
  }
}

TEST_F(OpenTest, AFileHeldOpenWithoutDeleteSharingCannotBeRenamedOrDeleted) {
  MakeFile("C:\\held.txt", "data");
  const HANDLE held = CreateFileA("C:\\held.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(MoveFileA("C:\\held.txt", "C:\\held.H1K"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(DeleteFileA("C:\\held.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(held);

  const HANDLE sharing = CreateFileA("C:\\held.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(sharing, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(MoveFileA("C:\\held.txt", "C:\\held.H1K"));
  CloseHandle(sharing);
  EXPECT_EQ(ReadAll("C:\\held.H1K"), "data");
}

TEST_F(OpenTest, ReadOnlyFiles) {
  MakeFile("C:\\ro.txt", "keep");
  ASSERT_TRUE(SetFileAttributesA("C:\\ro.txt", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesA("C:\\ro.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));

  struct Case {
    DWORD access;
    DWORD disposition;
    bool opens;
  };
  for (const Case& c : {Case{GENERIC_READ, OPEN_EXISTING, true}, Case{GENERIC_WRITE, OPEN_EXISTING, false},
                        Case{GENERIC_WRITE, CREATE_ALWAYS, false}, Case{GENERIC_READ, TRUNCATE_EXISTING, false}}) {
    SetLastError(0);
    const HANDLE file = CreateFileA("C:\\ro.txt", c.access, 0, nullptr, c.disposition, 0, nullptr);
    EXPECT_EQ(file != INVALID_HANDLE_VALUE, c.opens) << c.access << " " << c.disposition;
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
    } else {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
  }
  SetLastError(0);
  EXPECT_FALSE(DeleteFileA("C:\\ro.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  // A read-only file can be renamed; NORMAL clears the flag, and then it can be deleted.
  ASSERT_TRUE(MoveFileA("C:\\ro.txt", "C:\\ro2.txt"));
  EXPECT_EQ(GetFileAttributesA("C:\\ro2.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributesA("C:\\ro2.txt", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesA("C:\\ro2.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(DeleteFileA("C:\\ro2.txt"));
  EXPECT_EQ(GetFileAttributesA("C:\\ro2.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(OpenTest, FlagsOutsideWhatTheSystemUsesFailLoudly) {
  SetLastError(0);
  EXPECT_EQ(CreateFileA("C:\\x.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_OVERLAPPED, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
  EXPECT_EQ(GetFileAttributesA("C:\\x.txt"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(OpenTest, DeleteOnClose) {
  const HANDLE temporary =
      CreateFileA("C:\\tmp.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(temporary, INVALID_HANDLE_VALUE);
  EXPECT_NE(GetFileAttributesA("C:\\tmp.txt"), INVALID_FILE_ATTRIBUTES);
  CloseHandle(temporary);
  EXPECT_EQ(GetFileAttributesA("C:\\tmp.txt"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(OpenTest, ANewFileCreatedEncryptedIsEncrypted) {
  const HANDLE encrypted =
      CreateFileA("C:\\efs.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_ENCRYPTED, nullptr);
  ASSERT_NE(encrypted, INVALID_HANDLE_VALUE);
  CloseHandle(encrypted);
  EXPECT_EQ(GetFileAttributesA("C:\\efs.txt") & FILE_ATTRIBUTE_ENCRYPTED, static_cast<DWORD>(FILE_ATTRIBUTE_ENCRYPTED));
}

}  // namespace
}  // namespace xp::kernel32::testing
