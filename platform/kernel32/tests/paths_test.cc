// Windows paths on the machine's drives: names found ignoring case and kept as created, separators collapsed,
// "X:" as the root, and the MAX_PATH limit counted on the path as given.
#include "files_fixture.h"

namespace xp::kernel32::testing {
namespace {

using PathsTest = FilesTest;

TEST_F(PathsTest, NamesAreFoundIgnoringCaseAndKeptAsCreated) {
  ASSERT_TRUE(CreateDirectoryA("C:\\Data", nullptr));
  MakeFile("C:\\Data\\MixedCase.Txt", "hello");
  EXPECT_TRUE(std::filesystem::exists(Host("C:\\Data\\MixedCase.Txt")));
  EXPECT_EQ(ReadAll("c:\\DATA\\mixedcase.TXT"), "hello");
  // Re-creating under another spelling keeps the first spelling.
  MakeFile("C:\\DATA\\MIXEDCASE.TXT", "again");
  EXPECT_EQ(Listing("C:\\data\\*.*"), (std::vector<std::string>{".", "..", "MixedCase.Txt"}));
  EXPECT_EQ(HostText("C:\\Data\\MixedCase.Txt"), "again");
}

TEST_F(PathsTest, FilesPutIntoTheDriveFolderFromOutsideAreFound) {
  PutHostFile("C:\\Outside\\Put.Here", "o");
  EXPECT_EQ(ReadAll("c:\\OUTSIDE\\put.here"), "o");
  EXPECT_EQ(GetFileAttributesA("C:\\outside\\PUT.HERE"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributesA("C:\\outside"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

TEST_F(PathsTest, SpellingsOfTheSamePath) {
  MakeFile("C:\\Data.txt", "x");
  for (const char* spelling :
       {"C:\\\\Data.txt", "C:/Data.txt", "C:\\WINDOWS\\..\\Data.txt", "C:\\.\\Data.txt", "c:\\\\\\data.TXT"}) {
    EXPECT_EQ(ReadAll(spelling), "x") << spelling;
  }
  EXPECT_EQ(GetFileAttributesA("C:"), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesA("C:\\"), FILE_ATTRIBUTE_DIRECTORY);
}

// Components of at most 200 characters making a path of exactly `length` characters on C:.
std::string PathOfLength(size_t length) {
  std::string path = "C:";
  while (path.size() < length) {
    const size_t room = length - path.size() - 1;
    path += "\\" + std::string(std::min<size_t>(room, 200), 'a');
  }
  return path;
}

TEST_F(PathsTest, MaxPathCountsThePathAsGiven) {
  const std::string longest = PathOfLength(259);
  ASSERT_TRUE(CreateDirectoryA(longest.substr(0, longest.rfind('\\')).c_str(), nullptr));
  MakeFile(longest, "fits");
  EXPECT_EQ(ReadAll(longest), "fits");

  struct Case {
    std::string path;
    DWORD error;
  };
  // The doubled backslash makes the same file's path 260 characters long.
  const std::string doubled = "C:\\" + longest.substr(2);
  ASSERT_EQ(doubled.size(), 260u);
  for (const Case& c : {Case{PathOfLength(260), ERROR_FILENAME_EXCED_RANGE}, Case{doubled, ERROR_FILENAME_EXCED_RANGE},
                        Case{std::string(300, 'x'), ERROR_FILENAME_EXCED_RANGE}}) {
    SetLastError(0);
    EXPECT_EQ(CreateFileA(c.path.c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), c.error) << c.path.size();
    EXPECT_EQ(GetFileAttributesA(c.path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_FALSE(MoveFileA(longest.c_str(), c.path.c_str()));
    EXPECT_EQ(GetLastError(), c.error);
  }
  // A folder's path must leave room for an 8.3 name within MAX_PATH.
  EXPECT_FALSE(CreateDirectoryA(PathOfLength(249).c_str(), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
  EXPECT_TRUE(CreateDirectoryA(PathOfLength(248).c_str(), nullptr));
}

TEST_F(PathsTest, FormsTheSystemNeverUsesFailLoudly) {
  for (const char* path : {"relative.txt", "\\rooted.txt", "\\\\server\\share\\x", "C:drive-relative.txt"}) {
    SetLastError(0);
    EXPECT_EQ(GetFileAttributesA(path), INVALID_FILE_ATTRIBUTES) << path;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED)) << path;
  }
  SetLastError(0);
  EXPECT_EQ(GetFileAttributesA(""), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(PathsTest, ALetterTheMachineLacksIsAMissingPath) {
  SetLastError(0);
  EXPECT_EQ(CreateFileA("Q:\\x.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

}  // namespace
}  // namespace xp::kernel32::testing
